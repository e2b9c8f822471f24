#!/usr/bin/env bash
# Builds the LoadCollection fuzz target with clang's libFuzzer and the
# address and undefined-behaviour sanitizers, seeds a corpus with saved
# collections and fuzzes for a bounded time.
#   fuzz/build_and_run.sh [seconds]     (default 60)
# Exits non-zero when the fuzzer finds a crash, leak, hang or sanitizer report.
set -euo pipefail

SECONDS_TO_RUN="${1:-60}"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh" fuzz
fuzz_objects model platform/runtime -- \
  model/node_collection.cpp model/node_collection_sort.cpp model/node_collection_bytes.cpp model/sewer.cpp \
  platform/runtime/conversions.cpp platform/runtime/propertybag.cpp platform/runtime/variant.cpp \
  platform/runtime/vberror.cpp

"$CXX" "${FLAGS[@]}" -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  "$SEWER_ROOT/fuzz/load_collection_fuzz.cpp" "${objects[@]}" -o "$OUT/load_collection_fuzz"
"$CXX" "${FLAGS[@]}" -fsanitize=address,undefined "$SEWER_ROOT/fuzz/make_seeds.cpp" "${objects[@]}" \
  -o "$OUT/make_seeds"

"$OUT/make_seeds" "$OUT/corpus"

"$OUT/load_collection_fuzz" "$OUT/corpus" \
  -max_total_time="$SECONDS_TO_RUN" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
  -artifact_prefix="$OUT/artifacts/" -print_final_stats=1
