#!/usr/bin/env bash
# Builds the drawing-reader fuzz target with clang's libFuzzer and the
# address and undefined-behaviour sanitizers, seeds a corpus with the
# drawings of tests/data/cad and fuzzes for a bounded time.
#   fuzz/build_and_run_dxf.sh [seconds]     (default 30)
# Exits non-zero when the fuzzer finds a crash, leak, hang or sanitizer report.
set -euo pipefail

SECONDS_TO_RUN="${1:-30}"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh" fuzz-dxf
fuzz_objects platform/cad platform/runtime -- \
  platform/cad/client.cpp platform/cad/document.cpp platform/cad/dxf_reader.cpp platform/cad/local_client.cpp \
  platform/cad/new_drawing.cpp platform/runtime/files.cpp platform/runtime/conversions.cpp \
  platform/runtime/propertybag.cpp platform/runtime/variant.cpp platform/runtime/vberror.cpp

"$CXX" "${FLAGS[@]}" -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  "$SEWER_ROOT/fuzz/dxf_reader_fuzz.cpp" "${objects[@]}" -o "$OUT/dxf_reader_fuzz"

cp "$SEWER_ROOT"/tests/data/cad/*.dxf "$OUT/corpus/"

"$OUT/dxf_reader_fuzz" "$OUT/corpus" \
  -max_total_time="$SECONDS_TO_RUN" -timeout=10 -rss_limit_mb=2048 -max_len=32768 \
  -artifact_prefix="$OUT/artifacts/" -print_final_stats=1
