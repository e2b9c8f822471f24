#!/usr/bin/env bash
# Builds the workbook-reader fuzz target with clang's libFuzzer and the
# address and undefined-behaviour sanitizers, seeds a corpus with the
# workbook fixtures and fuzzes for a bounded time.
#   fuzz/build_and_run_workbook.sh [seconds]     (default 30)
# Exits non-zero when the fuzzer finds a crash, leak, hang or sanitizer report.
set -euo pipefail

SECONDS_TO_RUN="${1:-30}"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh" fuzz-workbook
fuzz_objects platform/sheet platform/runtime -- \
  platform/sheet/workbook.cpp platform/sheet/reader_xlsx.cpp platform/sheet/reader_xls.cpp \
  platform/sheet/cfb_reader.cpp platform/sheet/xls_text.cpp \
  platform/sheet/local_application.cpp \
  platform/runtime/conversions.cpp platform/runtime/variant.cpp platform/runtime/vberror.cpp

"$CXX" "${FLAGS[@]}" -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  "$SEWER_ROOT/fuzz/read_workbook_fuzz.cpp" "${objects[@]}" -lzip -lexpat \
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
