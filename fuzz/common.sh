# Shared by the fuzz scripts: where they build, the compiler and sanitizer
# flags, and the instrumented objects of the sources a target reads.
#   source fuzz/common.sh <name>         sets SEWER_ROOT, OUT, CXX, FLAGS, SAN
#   fuzz_objects <header-dir>... -- <source>...   sets objects=(...)
SEWER_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [ -n "${SEWER_BUILD:-}" ]; then OUT="$SEWER_BUILD-$1"; else OUT="$SEWER_ROOT/build-$1"; fi
mkdir -p "$OUT/obj" "$OUT/corpus" "$OUT/artifacts"

CXX="${FUZZ_CXX:-clang++}"
FLAGS=(-std=c++20 -O1 -g -fno-omit-frame-pointer -I"$SEWER_ROOT")
SAN=(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined)

# A changed header rebuilds every object (the headers are few and shared).
fuzz_objects() {
  local dirs=() src obj
  while [ "$1" != "--" ]; do dirs+=("$SEWER_ROOT/$1"); shift; done
  shift
  local newest_header
  newest_header="$(ls -t $(printf '%s/*.h ' "${dirs[@]}") | head -n 1)"
  objects=()
  for src in "$@"; do
    obj="$OUT/obj/$(echo "$src" | tr '/' '_').o"
    if [ ! -f "$obj" ] || [ "$SEWER_ROOT/$src" -nt "$obj" ] || [ "$newest_header" -nt "$obj" ]; then
      "$CXX" "${FLAGS[@]}" "${SAN[@]}" -c "$SEWER_ROOT/$src" -o "$obj"
    fi
    objects+=("$obj")
  done
}
