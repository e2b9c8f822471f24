#!/usr/bin/env bash
# Builds the workbook-reader fuzz target with clang's libFuzzer and the
# address and undefined-behaviour sanitizers, seeds a corpus with the
# workbook fixtures and fuzzes for a bounded time.
#   fuzz/build_and_run_workbook.sh [seconds]     (default 30)
# Exits non-zero when the fuzzer finds a crash, leak, hang or sanitizer report.
set -euo pipefail

SEWER_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
SECONDS_TO_RUN="${1:-30}"
if [ -n "${SEWER_BUILD:-}" ]; then OUT="$SEWER_BUILD-fuzz-workbook"; else OUT="$SEWER_ROOT/build-fuzz-workbook"; fi
mkdir -p "$OUT/obj" "$OUT/corpus" "$OUT/artifacts"

CXX="${FUZZ_CXX:-clang++}"
FLAGS=(-std=c++20 -O1 -g -fno-omit-frame-pointer -I"$SEWER_ROOT")
SAN=(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined)
SOURCES=(
  platform/sheet/workbook.cpp platform/sheet/reader_xlsx.cpp platform/sheet/reader_xls.cpp
  platform/sheet/local_application.cpp
  platform/runtime/conversions.cpp platform/runtime/variant.cpp platform/runtime/vberror.cpp
)

newest_header="$(ls -t "$SEWER_ROOT"/platform/sheet/*.h "$SEWER_ROOT"/platform/runtime/*.h | head -n 1)"
objects=()
for src in "${SOURCES[@]}"; do
  obj="$OUT/obj/$(echo "$src" | tr '/' '_').o"
  if [ ! -f "$obj" ] || [ "$SEWER_ROOT/$src" -nt "$obj" ] || [ "$newest_header" -nt "$obj" ]; then
    "$CXX" "${FLAGS[@]}" "${SAN[@]}" -c "$SEWER_ROOT/$src" -o "$obj"
  fi
  objects+=("$obj")
done

"$CXX" "${FLAGS[@]}" -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  "$SEWER_ROOT/fuzz/read_workbook_fuzz.cpp" "${objects[@]}" -lzip -lpugixml -lfreexl \
  -o "$OUT/read_workbook_fuzz"

# Seeds: the small workbook fixtures (the oversized one stays out), each
# also as its inflated parts.
find "$SEWER_ROOT/tests/data/sheet" -name '*.xlsx' -size -64k -exec cp {} "$OUT/corpus/" \;
/usr/bin/python3 - "$SEWER_ROOT/tests/data/sheet" "$OUT/corpus" <<'PY'
import os, sys, zipfile
src, out = sys.argv[1], sys.argv[2]
for root, _, files in os.walk(src):
    for f in files:
        path = os.path.join(root, f)
        if not f.endswith(".xlsx") or os.path.getsize(path) > 65536:
            continue
        try:
            z = zipfile.ZipFile(path)
            blob = b"PARTS\0" + b"".join(n.encode() + b"\0" + z.read(n) + b"\0" for n in z.namelist()
                                          if not n.startswith("docProps") and "theme" not in n and "styles" not in n)
        except Exception:
            continue
        with open(os.path.join(out, "parts_" + f), "wb") as o:
            o.write(blob[:65536])
PY

"$OUT/read_workbook_fuzz" "$OUT/corpus" \
  -max_total_time="$SECONDS_TO_RUN" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
  -artifact_prefix="$OUT/artifacts/" -print_final_stats=1
