#!/usr/bin/env bash
# Builds a fuzz target with clang's libFuzzer and the address and
# undefined-behaviour sanitizers, seeds its corpus and fuzzes for a bounded
# time.
#   fuzz/build_and_run.sh [seconds] [collection|dxf]     (default 60, collection)
# collection: LoadCollection, seeded with saved collections;
# dxf: the drawing reader, seeded with the drawings of tests/data/cad.
# Exits non-zero when the fuzzer finds a crash, leak, hang or sanitizer report.
set -euo pipefail

SEWER_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
SECONDS_TO_RUN="${1:-60}"
TARGET="${2:-collection}"
if [ -n "${SEWER_BUILD:-}" ]; then OUT="$SEWER_BUILD-fuzz"; else OUT="$SEWER_ROOT/build-fuzz"; fi
CORPUS="$OUT/corpus"
[ "$TARGET" = collection ] || CORPUS="$OUT/corpus-$TARGET"
mkdir -p "$OUT/obj" "$CORPUS" "$OUT/artifacts"

CXX="${FUZZ_CXX:-clang++}"
FLAGS=(-std=c++20 -O1 -g -fno-omit-frame-pointer -I"$SEWER_ROOT")
SAN=(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined)
RUNTIME=(platform/runtime/conversions.cpp platform/runtime/propertybag.cpp platform/runtime/variant.cpp
         platform/runtime/vberror.cpp)
case "$TARGET" in
  collection)
    SOURCES=(model/node_collection.cpp model/node_collection_sort.cpp model/node_collection_bytes.cpp model/sewer.cpp
             "${RUNTIME[@]}")
    HEADERS=("$SEWER_ROOT"/model/*.h "$SEWER_ROOT"/platform/runtime/*.h)
    FUZZER=load_collection_fuzz
    MAX_LEN=65536
    ;;
  dxf)
    SOURCES=(platform/cad/client.cpp platform/cad/document.cpp platform/cad/dxf_reader.cpp platform/cad/local_client.cpp
             platform/cad/new_drawing.cpp platform/runtime/files.cpp "${RUNTIME[@]}")
    HEADERS=("$SEWER_ROOT"/platform/cad/*.h "$SEWER_ROOT"/platform/runtime/*.h)
    FUZZER=dxf_reader_fuzz
    MAX_LEN=32768
    ;;
  *) echo "unknown fuzz target $TARGET" >&2; exit 2 ;;
esac

# A changed header rebuilds every object (the headers are few and shared).
newest_header="$(ls -t "${HEADERS[@]}" | head -n 1)"
objects=()
for src in "${SOURCES[@]}"; do
  obj="$OUT/obj/$(echo "$src" | tr '/' '_').o"
  if [ ! -f "$obj" ] || [ "$SEWER_ROOT/$src" -nt "$obj" ] || [ "$newest_header" -nt "$obj" ]; then
    "$CXX" "${FLAGS[@]}" "${SAN[@]}" -c "$SEWER_ROOT/$src" -o "$obj"
  fi
  objects+=("$obj")
done

"$CXX" "${FLAGS[@]}" -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  "$SEWER_ROOT/fuzz/$FUZZER.cpp" "${objects[@]}" -o "$OUT/$FUZZER"

if [ "$TARGET" = collection ]; then
  "$CXX" "${FLAGS[@]}" -fsanitize=address,undefined "$SEWER_ROOT/fuzz/make_seeds.cpp" "${objects[@]}" \
    -o "$OUT/make_seeds"
  "$OUT/make_seeds" "$CORPUS"
else
  cp "$SEWER_ROOT"/tests/data/cad/*.dxf "$CORPUS/"
fi

"$OUT/$FUZZER" "$CORPUS" \
  -max_total_time="$SECONDS_TO_RUN" -timeout=10 -rss_limit_mb=2048 -max_len="$MAX_LEN" \
  -artifact_prefix="$OUT/artifacts/" -print_final_stats=1
