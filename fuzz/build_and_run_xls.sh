#!/usr/bin/env bash
# Builds the .xls-reader fuzz target with clang's libFuzzer and the address
# and undefined-behaviour sanitizers, seeds a corpus with the .xls fixtures
# and fuzzes for a bounded time.
#   fuzz/build_and_run_xls.sh [seconds]     (default 30)
# Exits non-zero when the fuzzer finds a crash, leak, hang or sanitizer report.
set -euo pipefail

SECONDS_TO_RUN="${1:-30}"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh" fuzz-xls
fuzz_objects platform/sheet platform/runtime -- \
  platform/sheet/workbook.cpp platform/sheet/reader_xls.cpp platform/sheet/cfb_reader.cpp platform/sheet/xls_text.cpp \
  platform/sheet/reader_xlsx.cpp platform/sheet/local_application.cpp \
  platform/runtime/conversions.cpp platform/runtime/variant.cpp platform/runtime/vberror.cpp

"$CXX" "${FLAGS[@]}" -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  "$SEWER_ROOT/fuzz/read_xls_fuzz.cpp" "${objects[@]}" -lzip -lexpat \
  -o "$OUT/read_xls_fuzz"

# Seeds: the .xls fixtures small enough to mutate quickly, BIFF8 ones of
# xlwt and the BIFF5 ones (network_biff5.xls, cp1251_biff5.xls).
find "$SEWER_ROOT/tests/data/sheet" -name '*.xls' -size -64k -exec cp {} "$OUT/corpus/" \;

"$OUT/read_xls_fuzz" "$OUT/corpus" \
  -max_total_time="$SECONDS_TO_RUN" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
  -artifact_prefix="$OUT/artifacts/" -print_final_stats=1
