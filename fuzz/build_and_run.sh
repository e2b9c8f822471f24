#!/usr/bin/env bash
# Builds the LoadCollection fuzz target with clang's libFuzzer and the
# address and undefined-behaviour sanitizers, seeds a corpus with saved
# collections and fuzzes for a bounded time: most of it on small inputs,
# the last quarter on inputs of several megabytes (a large network, a shape
# that declares far more elements than the file has bytes), with the memory
# limit that catches a load allocating far beyond its file's size.
#   fuzz/build_and_run.sh [seconds]     (default 60)
# Exits non-zero when the fuzzer finds a crash, leak, hang or sanitizer report.
set -euo pipefail

SECONDS_TO_RUN="${1:-60}"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh" fuzz
mkdir -p "$OUT/corpus-large"
fuzz_objects model platform/runtime -- \
  model/node_collection.cpp model/node_collection_sort.cpp model/node_collection_bytes.cpp model/sewer.cpp \
  platform/runtime/conversions.cpp platform/runtime/propertybag.cpp platform/runtime/variant.cpp \
  platform/runtime/vberror.cpp

"$CXX" "${FLAGS[@]}" -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  "$SEWER_ROOT/fuzz/load_collection_fuzz.cpp" "${objects[@]}" -o "$OUT/load_collection_fuzz"
"$CXX" "${FLAGS[@]}" -fsanitize=address,undefined "$SEWER_ROOT/fuzz/make_seeds.cpp" "${objects[@]}" \
  -o "$OUT/make_seeds"

"$OUT/make_seeds" "$OUT/corpus" "$OUT/corpus-large"

LARGE_SECONDS=$(( SECONDS_TO_RUN / 4 > 5 ? SECONDS_TO_RUN / 4 : 5 ))
SMALL_SECONDS=$(( SECONDS_TO_RUN - LARGE_SECONDS > 5 ? SECONDS_TO_RUN - LARGE_SECONDS : 5 ))

"$OUT/load_collection_fuzz" "$OUT/corpus" \
  -max_total_time="$SMALL_SECONDS" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
  -artifact_prefix="$OUT/artifacts/" -print_final_stats=1

# Inputs up to 8 MB: a load may hold a few dozen times its file's size
# (sanitizer overhead included well under the limit), never gigabytes.
# What this phase finds goes to a folder of its own, emptied at each run,
# so that inputs of megabytes do not pile up from run to run.
rm -rf "$OUT/corpus-large-found"
mkdir -p "$OUT/corpus-large-found"
"$OUT/load_collection_fuzz" "$OUT/corpus-large-found" "$OUT/corpus-large" \
  -max_total_time="$LARGE_SECONDS" -timeout=20 -rss_limit_mb=2048 -max_len=8388608 \
  -artifact_prefix="$OUT/artifacts/large-" -print_final_stats=1
