#!/usr/bin/python3
"""Writes the hostile workbooks of the sheet bench into a folder:

  bomb.xlsx   about 254 KB whose sheet part inflates to 260,000,000 bytes of
              empty elements inside the sheet data;
  cells.xlsx  about 500 KB holding 16.6 million numeric cells (1013 rows of
              16384 columns, no references).

Both are written with Python's zipfile, so that the reader under test is
not checked against its own writer.
    make_sheet_bombs.py <folder>
"""
import os
import sys
import zipfile

CONTENT_TYPES = (
    '<?xml version="1.0" encoding="UTF-8"?>'
    '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
    '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
    '<Default Extension="xml" ContentType="application/xml"/>'
    '</Types>')
ROOT_RELS = (
    '<?xml version="1.0" encoding="UTF-8"?>'
    '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
    '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument"'
    ' Target="xl/workbook.xml"/></Relationships>')
WORKBOOK = (
    '<?xml version="1.0" encoding="UTF-8"?>'
    '<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
    ' xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">'
    '<sheets><sheet name="Sheet1" sheetId="1" r:id="rId1"/></sheets></workbook>')
WORKBOOK_RELS = (
    '<?xml version="1.0" encoding="UTF-8"?>'
    '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
    '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet"'
    ' Target="worksheets/sheet1.xml"/></Relationships>')
SHEET_HEAD = (
    '<?xml version="1.0" encoding="UTF-8"?>'
    '<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>')
SHEET_TAIL = '</sheetData></worksheet>'


def write(path, sheet_chunks):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        z.writestr("[Content_Types].xml", CONTENT_TYPES)
        z.writestr("_rels/.rels", ROOT_RELS)
        z.writestr("xl/workbook.xml", WORKBOOK)
        z.writestr("xl/_rels/workbook.xml.rels", WORKBOOK_RELS)
        with z.open("xl/worksheets/sheet1.xml", "w", force_zip64=True) as member:
            member.write(SHEET_HEAD.encode())
            for chunk in sheet_chunks():
                member.write(chunk)
            member.write(SHEET_TAIL.encode())


def empty_elements():
    chunk = b"<a/>" * (1 << 18)          # 1 MiB
    total = 260_000_000 // 4
    left = total
    while left > 0:
        n = min(left, 1 << 18)
        yield chunk[: n * 4]
        left -= n


def many_cells():
    row = b"<row>" + b"<c><v>1</v></c>" * 16384 + b"</row>"
    for _ in range(1013):
        yield row


def main():
    folder = sys.argv[1]
    write(os.path.join(folder, "bomb.xlsx"), empty_elements)
    write(os.path.join(folder, "cells.xlsx"), many_cells)


if __name__ == "__main__":
    main()
