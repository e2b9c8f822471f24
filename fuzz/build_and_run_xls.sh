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
# And a BIFF8 workbook stream saved as the file itself, with no compound
# file around it: the globals (BOF, one BOUNDSHEET "Ne", EOF), then the
# sheet's BOF, a NUMBER 1 in A1 and EOF.
printf '%b' '\x09\x08\x10\x00\x00\x06\x05\x00' '\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
  '\x85\x00\x0a\x00\x26\x00\x00\x00\x00\x00\x02\x00Ne' '\x0a\x00\x00\x00' \
  '\x09\x08\x10\x00\x00\x06\x10\x00' '\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
  '\x03\x02\x0e\x00\x00\x00\x00\x00\x0f\x00\x00\x00\x00\x00\x00\x00\xf0\x3f' '\x0a\x00\x00\x00' \
  >"$OUT/corpus/bare_biff8_stream.xls"

"$OUT/read_xls_fuzz" "$OUT/corpus" \
  -max_total_time="$SECONDS_TO_RUN" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
  -artifact_prefix="$OUT/artifacts/" -print_final_stats=1
