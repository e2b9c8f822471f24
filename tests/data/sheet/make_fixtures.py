#!/usr/bin/python3
"""Writes the workbook fixtures that come from python3-openpyxl and
python3-xlwt, and the damaged files the reader must refuse.

    /usr/bin/python3 tests/data/sheet/make_fixtures.py [folder]

The other writer's fixtures come from make_xlsxwriter_fixtures.c.
"""
import io
import os
import sys
import zipfile

import openpyxl
import xlwt

OUT = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))

HEAD1 = ["From", "To", "Gr.El.", "", "Length", "Inv.El.", "", "Dia", "Slope", "Lateral", "X1", "Y1", "X2", "Y2"]
HEAD2 = ["", "", "From", "To", "m", "From", "To", "mm", "m/m", "", "", "", "", ""]

# A chain MH1 -> MH2 -> MH3 -> MH4 and a branch MH5 -> MH2 joining it.  Some
# numbers are texts (with blanks), one manhole name carries blanks, and the
# diameter 250.5 rounds to the even 250.
CHAIN = [
    ["MH1", "MH2", 102, 101.5, 50, 99, 98.8, 300, 0.004, "A", 0, 0, 50, 0],
    ["MH2", "MH3 ", "101.5", 101, "45.5", 98.7, 98.5, 250.5, 0.0044, "A", 50, 0, 95.5, 0],
    ["MH3", "MH4", 101, 100.2, 40, 98.4, 98.2, 400, 0.005, "A", 95.5, 0, 135.5, 0],
    [" MH5", "MH2", 103, 101.5, 30, 100, 99.9, 200, 0.003, "B", 50, 30, 50, 0],
]


def network_sheet(ws, rows, end):
    ws.append(HEAD1)
    ws.append(HEAD2)
    for r in rows:
        ws.append(r)
    if end is not None:
        ws.append(end)
    # Below the end: never read.
    ws.append(["MH9", "MH8", 1, 1, 1, 1, 1, 100, 0.01, "Z", 0, 0, 0, 0])


def openpyxl_fixtures():
    # The network on the second sheet, which is the active one.
    wb = openpyxl.Workbook()
    notes = wb.active
    notes.title = "Notes"
    notes["A1"] = "not the network"
    ws = wb.create_sheet("Network")
    network_sheet(ws, CHAIN, ["END"])
    wb.active = 1
    wb.save(os.path.join(OUT, "network_openpyxl.xlsx"))

    # Text in a coordinate column (row 4, column 11).
    wb = openpyxl.Workbook()
    rows = [list(r) for r in CHAIN]
    rows[1][10] = "abc"
    network_sheet(wb.active, rows, ["END"])
    wb.save(os.path.join(OUT, "network_badcoord.xlsx"))

    # The column-mapped workbook: headings in row 1, data from row 2 to the
    # first empty From cell; X1 Y1 X2 Y2 in columns 10 to 13.  Row 3 holds a
    # text where the upstream ground level is expected.
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.append(["From", "To", "GrFrom", "GrTo", "Length", "InvFrom", "InvTo", "Dia", "Slope", "X1", "Y1", "X2", "Y2"])
    ws.append([" MH1 ", "MH2", 102, 101.5, 50, 99, 98.8, 300, 0.004, 1, 2, 3, 4])
    ws.append(["MH2", "MH3", "n/a", 101, 45, 98.7, 98.5, 250.5, 0.0044, 5, 6, 7, 8])
    ws.append(["MH3", "MH4", 101, 100.2, 40, 98.4, 98.2, "  400 ", 0.005, 9, 10, 11, 12])
    ws.append([None, "MH5", 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1])
    ws.append(["MH6", "MH7", 1, 1, 1, 1, 1, 150, 1, 1, 1, 1, 1])
    wb.save(os.path.join(OUT, "mapped_openpyxl.xlsx"))

    # Every column of the column-mapped layout, 1 to 15, holds a value of its
    # own in both data rows, so that each field shows which column it read.
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.append(["H%d" % c for c in range(1, 16)])
    for base, dia in ((0, 808), (100, 909)):
        ws.append(["F%d" % (base + 2), "T%d" % (base + 2), base + 3.25, base + 4.5, base + 5.75, base + 6.125,
                   base + 7.375, dia, 0.0099 + base / 10000, base + 10.5, base + 11.5, base + 12.5, base + 13.5,
                   base + 14.5, base + 15.5])
    wb.save(os.path.join(OUT, "mapped_columns_openpyxl.xlsx"))

    # Two sheets: the first holds more filled rows than the active second one.
    wb = openpyxl.Workbook()
    other = wb.active
    other.title = "Other"
    for r in range(1, 8):
        other.append(["x%d" % r])
    ws = wb.create_sheet("Pipes")
    ws.append(["From", "To"])
    ws.append(["P1", "P2"])
    ws.append(["P2", "P3"])
    wb.active = 1
    wb.save(os.path.join(OUT, "mapped_two_sheets.xlsx"))


def types_fixture():
    # Every kind of value a cell holds, a far sparse cell, and a row left empty.
    import datetime
    wb = openpyxl.Workbook()
    ws = wb.active
    ws["A1"] = True
    ws["B1"] = False
    ws["C1"] = "#DIV/0!"
    ws["D1"] = datetime.datetime(2024, 3, 1, 12, 0, 0)
    ws["E1"] = 1234567.125
    ws["F1"] = "  text with blanks  "
    ws["G1"] = "x & <y>"
    ws["A3"] = -0.5
    ws["AB100"] = "far"
    wb.save(os.path.join(OUT, "types_openpyxl.xlsx"))


# The number formats and serials of the "Dates" sheets of make_xls_fixtures.py,
# so that the .xlsx and the .xls of one workbook are read side by side.
DATE_FORMATS = ["M/D/YY", "YYYY-MM-DD", "DD/MM/YYYY hh:mm:ss", "hh:mm", "h:mm:ss", "[h]:mm:ss", "dd.mm.yyyy",
                "mmm-yy", "D-MMM", "M/D/YY h:mm", "mm:ss", "0.00", "General", "#,##0.00 \"mm\"", "d h", "yy"]
SERIALS = [0, 0.25, 0.999999, 1, 1.5, 59, 59.75, 60, 60.5, 61, 366.123456, 36526.999999, 45000.75,
           43831.4999994, 73109.5, 80000.25, -1, 2958465.75, 2958466, 1e10]
SERIALS_1904 = [0, 0.5, 1, 1.25, 59, 60, 61, 36526.999999, 45000.75, 2957003.5, 2957004]


def dates_fixtures():
    # Every serial in every format, in a workbook of each date system; then
    # dates, a time and a duration as openpyxl writes them, counted from
    # the workbook's own day 0: 2024-01-02 15:00 in a date format and in a
    # date-time format, 18:00 in a time format, 30 hours in a duration's.
    import datetime
    from openpyxl.utils.datetime import CALENDAR_MAC_1904
    for name, serials, system in (("dates_openpyxl.xlsx", SERIALS, None), ("dates1904_openpyxl.xlsx", SERIALS_1904, CALENDAR_MAC_1904)):
        wb = openpyxl.Workbook()
        if system:
            wb.epoch = system
        ws = wb.active
        ws.title = "Dates"
        for c, f in enumerate(DATE_FORMATS):
            ws.cell(row=1, column=c + 1, value=f)
            for r, v in enumerate(serials):
                ws.cell(row=r + 2, column=c + 1, value=v).number_format = f
        written = [(datetime.datetime(2024, 1, 2, 15, 0), "yyyy-mm-dd"), (datetime.datetime(2024, 1, 2, 15, 0), "yyyy-mm-dd hh:mm"),
                   (datetime.time(18, 0), "hh:mm"), (datetime.timedelta(hours=30), "[h]:mm")]
        col = len(DATE_FORMATS) + 1
        ws.cell(row=1, column=col, value="written as dates")
        for r, (v, f) in enumerate(written):
            ws.cell(row=r + 2, column=col, value=v).number_format = f
        wb.save(os.path.join(OUT, name))


def long_text_fixture():
    # The longest texts a cell holds: 32,767 characters of three bytes of
    # UTF-8 each, and 32,767 UTF-16 units of characters beyond U+FFFF (two
    # units each) and a letter.
    wb = openpyxl.Workbook()
    ws = wb.active
    ws["A1"] = "\u6c34" * 32767
    ws["A2"] = "\U0001F600" * 16383 + "a"
    wb.save(os.path.join(OUT, "long_text_openpyxl.xlsx"))


def norefs_fixture():
    # Rows and cells without their numbers (allowed by the format): each
    # follows the one before it.
    parts = base_parts('<row><c t="s"><v>0</v></c><c><v>2</v></c></row>'
                       '<row r="4"><c r="B4" t="inlineStr"><is><r><t>ri</t></r><r><t>ch</t></r></is></c><c><v>5</v></c></row>'
                       '<row><c t="b"><v>1</v></c></row>')
    package(os.path.join(OUT, "norefs.xlsx"), parts)


def xls_fixture():
    wb = xlwt.Workbook()
    ws = wb.add_sheet("Network")
    rows = [HEAD1, HEAD2] + CHAIN + [["END"]]
    for r, values in enumerate(rows):
        for c, v in enumerate(values):
            if v is not None and v != "":
                ws.write(r, c, v)
    wb.save(os.path.join(OUT, "network_xlwt.xls"))


# --- Damaged files -----------------------------------------------------------------

CONTENT_TYPES = """<?xml version="1.0" encoding="UTF-8"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>"""
ROOT_RELS = """<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>
</Relationships>"""
WORKBOOK = """<?xml version="1.0" encoding="UTF-8"?>
<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">
<sheets><sheet name="S" sheetId="1" r:id="rId1"/></sheets></workbook>"""
WORKBOOK_RELS = """<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>
<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/>
</Relationships>"""
SST = """<?xml version="1.0" encoding="UTF-8"?>
<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><si><t>one</t></si><si><t>two</t></si></sst>"""


def sheet_xml(body):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<worksheet xmlns="http://schemas.openxmlformats.org/'
            'spreadsheetml/2006/main"><sheetData>' + body + '</sheetData></worksheet>')


def package(path, parts):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in parts.items():
            z.writestr(name, data)


def base_parts(sheet_body):
    return {
        "[Content_Types].xml": CONTENT_TYPES,
        "_rels/.rels": ROOT_RELS,
        "xl/workbook.xml": WORKBOOK,
        "xl/_rels/workbook.xml.rels": WORKBOOK_RELS,
        "xl/sharedStrings.xml": SST,
        "xl/worksheets/sheet1.xml": sheet_xml(sheet_body),
    }


def damaged_fixtures():
    bad = os.path.join(OUT, "bad")
    os.makedirs(bad, exist_ok=True)
    # A shared-string index past the two strings there are.
    package(os.path.join(bad, "sst_index.xlsx"), base_parts('<row r="1"><c r="A1" t="s"><v>7</v></c></row>'))
    # A shared-string index too large for any integer.
    package(os.path.join(bad, "sst_huge.xlsx"), base_parts('<row r="1"><c r="A1" t="s"><v>8e30</v></c></row>'))
    # The sheet the workbook names is not in the package.
    parts = base_parts("")
    del parts["xl/worksheets/sheet1.xml"]
    package(os.path.join(bad, "missing_part.xlsx"), parts)
    # Malformed XML in the sheet.
    parts = base_parts('<row r="1"><c r="A1"><v>1</v></row>')
    package(os.path.join(bad, "bad_xml.xlsx"), parts)
    # A cell reference beyond the last column.
    package(os.path.join(bad, "bad_ref.xlsx"), base_parts('<row r="1"><c r="ZZZZ1"><v>1</v></c></row>'))
    # The first half of a good file.
    with open(os.path.join(OUT, "network_openpyxl.xlsx"), "rb") as f:
        good = f.read()
    with open(os.path.join(bad, "truncated.xlsx"), "wb") as f:
        f.write(good[: len(good) // 2])
    # A sheet part that inflates past the reader's 256 MiB limit.
    parts = base_parts("")
    del parts["xl/worksheets/sheet1.xml"]
    with zipfile.ZipFile(os.path.join(bad, "bomb.xlsx"), "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        for name, data in parts.items():
            z.writestr(name, data)
        with z.open("xl/worksheets/sheet1.xml", "w", force_zip64=True) as member:
            member.write(sheet_xml("")[:-len("</sheetData></worksheet>")].encode())
            chunk = b" " * (1 << 20)
            for _ in range(260):
                member.write(chunk)
            member.write(b"</sheetData></worksheet>")
    # Not a workbook at all.
    with open(os.path.join(bad, "text.xlsx"), "w") as f:
        f.write("From,To\nMH1,MH2\n")


if __name__ == "__main__":
    openpyxl_fixtures()
    types_fixture()
    norefs_fixture()
    dates_fixtures()
    long_text_fixture()
    xls_fixture()
    damaged_fixtures()
