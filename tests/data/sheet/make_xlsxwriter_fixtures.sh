#!/usr/bin/env bash
# Builds make_xlsxwriter_fixtures.c against libxlsxwriter and writes its
# fixtures into this folder (or the folder given).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
out="${1:-$here}"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
cc -O1 -o "$tmp/make_fixtures" "$here/make_xlsxwriter_fixtures.c" $(pkg-config --cflags --libs xlsxwriter)
"$tmp/make_fixtures" "$out"
