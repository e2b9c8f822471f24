#!/usr/bin/python3
"""Writes the .xls fixtures of the workbook reader with python3-xlwt.

    /usr/bin/python3 tests/data/sheet/make_xls_fixtures.py [folder]

types_xlwt.xls holds every kind of value the older format stores: numbers
(as RK, MULRK and NUMBER records), texts in one and two bytes a character
(accented, CJK, beyond the BMP, rich text), booleans, errors, formulas with
each kind of cached result, dates, date-times and times in built-in and
custom formats, several sheets (one with a name in several scripts, one
empty) and empty cells between values.  long_texts_xlwt.xls holds strings
long enough to run over the string table's CONTINUE records, broken inside
texts of both widths.  long_cell_xlwt.xls holds texts as long as a cell
allows.  dates1904_xlwt.xls holds dates of the 1904 date system.  formulas_xlwt.xls holds formulas of every kind of token
xlwt compiles.  bad/xls_sector_loop.xls and bad/xls_record_past_end.xls are
a network sheet damaged in its compound file and in its records.  xlwt
writes no cached results for formulas; the ones given
here are written in its FORMULA record, with the STRING record that a
text result needs.  network_biff5.xls, cp1251_biff5.xls and cp932_biff5.xls are workbooks of
the BIFF5 format (Excel 5.0/95), whose records are written here.
"""
import datetime as dt
import io
import os
import struct
import sys

import xlwt
from xlwt import BIFFRecords, Cell

OUT = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))


class CachedFormula(xlwt.Formula):
    """A formula with the result a spreadsheet would have cached: a number,
    a text, a boolean, an error code or the empty text."""

    def __init__(self, text, kind, value):
        super().__init__(text)
        self.cached = (kind, value)


def _formula_biff(self):
    rpn = self.frmla.rpn()
    kind, value = getattr(self.frmla, "cached", ("empty", None))
    if kind == "number":
        result = struct.pack("<d", value)
    else:
        code = {"text": 0, "bool": 1, "error": 2, "empty": 3}[kind]
        byte = int(value) if kind in ("bool", "error") else 0
        result = struct.pack("<BBBBHH", code, 0, byte, 0, 0, 0xFFFF)
    data = struct.pack("<3H", self.rowx, self.colx, self.xf_idx) + result + struct.pack("<HL", 0, 0) + rpn
    out = struct.pack("<2H", 0x0006, len(data)) + data
    if kind == "text":
        try:
            chars, flag = value.encode("latin1"), 0
        except UnicodeEncodeError:
            chars, flag = value.encode("utf_16_le"), 1
        body = struct.pack("<HB", len(value.encode("utf_16_le")) // 2, flag) + chars
        out += struct.pack("<2H", 0x0207, len(body)) + body
    return out


Cell.FormulaCell.get_biff_data = _formula_biff

# The pipes of the network fixtures (make_fixtures.py): a chain and a branch.
NETWORK = [
    ["MH1", "MH2", 102, 101.5, 50, 99, 98.8, 300, 0.004, "A", 0, 0, 50, 0],
    ["MH2", "MH3", 101.5, 101, 45.5, 98.7, 98.5, 250, 0.0044, "A", 50, 0, 95.5, 0],
    ["MH3", "MH4", 101, 100.2, 40, 98.4, 98.2, 400, 0.005, "A", 95.5, 0, 135.5, 0],
    ["MH5", "MH2", 103, 101.5, 30, 100, 99.9, 200, 0.003, "B", 50, 30, 50, 0],
    ["MH6", "MH5", 104, 103, 30, 101, 100.9, 200, 0.003, "B", 80, 30, 50, 30],
]

NUMBERS = [0, 1, -7, 123456789, 536870912, 1.5, 0.004, 3.14159265358979, 1e300, -2.5e-10, 12345.67, -0.01]
TEXTS = ["plain", "Déjà vu", "Straße", "東京都下水道", "emoji 😀 ok", '"quoted"', "  blanks  ", "Ωμέγα ≤ 5 €", "x"]
DATE_FORMATS = ["M/D/YY", "YYYY-MM-DD", "DD/MM/YYYY hh:mm:ss", "hh:mm", "h:mm:ss", "[h]:mm:ss", "dd.mm.yyyy",
                "mmm-yy", "D-MMM", "M/D/YY h:mm", "mm:ss", "0.00", "General", "#,##0.00 \"mm\"", "d h", "yy"]
SERIALS = [0, 0.25, 0.999999, 1, 1.5, 59, 59.75, 60, 60.5, 61, 366.123456, 36526.999999, 45000.75,
           43831.4999994, 73109.5, 80000.25, -1, 2958465.75, 2958466, 1e10]


def values_sheet(ws):
    ws.write(0, 0, "Numbers")
    for c, v in enumerate(NUMBERS):
        ws.write(1, c, v)           # neighbours become MULRK records
    ws.write(2, 0, "Texts")
    for c, v in enumerate(TEXTS):
        ws.write(3, 2 * c, v)        # an empty cell between each two
    ws.write(4, 0, True)
    ws.write(4, 1, False)
    ws.row(4).set_cell_error(2, "#DIV/0!")
    ws.row(4).set_cell_error(3, 0x2A)
    ws.row(5).set_cell_rich_text(0, ["rich ", ("text ", xlwt.easyfont("bold true")), ("Ärger", xlwt.easyfont("italic true"))])
    ws.write(6, 0, CachedFormula("1+41.5", "number", 42.5))
    ws.write(6, 1, CachedFormula("\"Ergebnis \"&\"ä\"", "text", "Ergebnis ä"))
    ws.write(6, 2, CachedFormula("\"名\"&\"前\"", "text", "名前"))
    ws.write(6, 3, CachedFormula("1=1", "bool", 1))
    ws.write(6, 4, CachedFormula("1/0", "error", 0x07))
    ws.write(6, 5, CachedFormula("\"\"", "empty", None))
    ws.write(6, 6, CachedFormula("1+1", "number", 45000.75), xlwt.easyxf(num_format_str="YYYY-MM-DD"))
    ws.write(6, 7, CachedFormula("\"b\"", "text", "b" * 300))
    ws.write(9, 3, "after empty rows")
    ws.write(255, 255, "last column")


def dates_sheet(ws, serials):
    for c, f in enumerate(DATE_FORMATS):
        ws.write(0, c, f)
        style = xlwt.easyxf(num_format_str=f)
        for r, v in enumerate(serials):
            ws.write(r + 1, c, v, style)
    ws.write(0, len(DATE_FORMATS), "written as dates")
    style = xlwt.easyxf(num_format_str="YYYY-MM-DD hh:mm:ss")
    for r, v in enumerate([dt.date(1900, 1, 1), dt.date(1900, 2, 28), dt.date(1900, 3, 1), dt.datetime(2024, 2, 29, 13, 45, 7),
                           dt.time(6, 30), dt.datetime(2099, 12, 31, 23, 59, 59)]):
        ws.write(r + 1, len(DATE_FORMATS), v, style)


def long_texts_sheet(ws):
    # Long strings: the string table runs over several CONTINUE records,
    # breaking inside strings of both widths.
    ws.write(0, 0, "L" * 10000)
    ws.write(1, 0, "水" * 9000)
    ws.write(2, 0, "é" * 8300)
    for r in range(3, 1503):
        ws.write(r, 0, "string %d ünïcödé %s" % (r, "名" * (r % 7)))
        ws.write(r, 1, r * 0.5)
        ws.write(r, 2, "string %d ünïcödé %s" % (r - 1, "名" * ((r - 1) % 7)))   # shared with the row above


def types_fixture():
    wb = xlwt.Workbook()
    values_sheet(wb.add_sheet("Values"))
    dates_sheet(wb.add_sheet("Dates"), SERIALS)
    wb.add_sheet("Ünïcode 名前").write(0, 0, "名前")
    wb.add_sheet("Empty")
    wb.save(os.path.join(OUT, "types_xlwt.xls"))


def long_texts_fixture():
    wb = xlwt.Workbook()
    long_texts_sheet(wb.add_sheet("Long"))
    wb.save(os.path.join(OUT, "long_texts_xlwt.xls"))


def dates1904_fixture():
    wb = xlwt.Workbook()
    wb.dates_1904 = True
    dates_sheet(wb.add_sheet("Dates"), [0, 0.5, 1, 1.25, 59, 60, 61, 36526.999999, 45000.75, 2957003.5, 2957004])
    wb.save(os.path.join(OUT, "dates1904_xlwt.xls"))


# Formulas as xlwt compiles them, one a row with a number after it: their
# tokens (references, 3-D references, ranges, texts of both widths, numbers,
# integers, booleans, functions of fixed and variable counts, the IF jumps)
# fix their FORMULA records' lengths, which the reader checks.
FORMULAS = ['A1+1', 'SUM(A1:B2)', 'Other!A1*2', 'SUM(Other!A1:B3)', 'IF(A1>0,"yes","no")', '-A1%', 'TRUE',
            '"Straße "&"水"', '1.5E10+7', 'SUM(A1,B2,C3)', '$A$1-A$2+$B3', 'AVERAGE(A1:A3)/COUNT(A1:A3)',
            'ROUND(PI(),2)', 'ISERROR(1/0)', '2^3<>8', '(A1)', 'NOT(FALSE)']


def long_cell_fixture():
    # The longest text a cell holds, in the string table over its CONTINUE
    # records: 32,767 characters of two bytes (three of UTF-8).
    wb = xlwt.Workbook()
    ws = wb.add_sheet("Long")
    ws.write(0, 0, "\u6c34" * 32767)
    ws.write(1, 0, "after")
    wb.save(os.path.join(OUT, "long_cell_xlwt.xls"))


def formulas_fixture():
    wb = xlwt.Workbook()
    ws = wb.add_sheet("Formulas")
    wb.add_sheet("Other").write(0, 0, 1)
    for r, text in enumerate(FORMULAS):
        ws.write(r, 0, CachedFormula(text, "number", r + 0.5))
        ws.write(r, 1, r)
    wb.save(os.path.join(OUT, "formulas_xlwt.xls"))


# --- BIFF5 (Excel 5.0/95) files ---------------------------------------------------
# xlwt writes BIFF8 only: these records are written here from the format's
# description, the compound file around them by xlwt.

def rec(kind, data=b""):
    return struct.pack("<HH", kind, len(data)) + data


def biff5_bof(kind):
    return rec(0x0809, struct.pack("<HHHH", 0x0500, kind, 0x0DBB, 0x07CC))


def biff5_text(text, code_page, width="<H"):
    data = text.encode("cp%d" % code_page)
    return struct.pack(width, len(data)) + data


# The cell formats: 16 style formats, then cells in General (16), in the
# custom date format 164 (17), in the built-in date-time format 22 (18) and
# in the custom format 165 "0.00" (19).
BIFF5_XF_FORMATS = [0] * 16 + [0, 164, 22, 165]


def biff5_stream(sheets, code_page=None, formats=((164, "YYYY-MM-DD"), (165, "0.00"))):
    """A BIFF5 workbook stream: the globals (BOF, CODEPAGE unless None,
    FORMAT and XF records, one BOUNDSHEET a sheet, EOF), then each sheet
    (name, cell records) between BOF and EOF."""
    page = code_page or 1252
    head = biff5_bof(0x0005)
    if code_page is not None:
        head += rec(0x0042, struct.pack("<H", code_page))
    head += rec(0x0022, struct.pack("<H", 0))
    for index, text in formats:
        head += rec(0x041E, struct.pack("<H", index) + biff5_text(text, page, "<B"))
    for number_format in BIFF5_XF_FORMATS:
        head += rec(0x00E0, struct.pack("<HH", 0, number_format) + bytes(12))
    bound = sum(4 + 7 + len(name.encode("cp%d" % page)) for name, _ in sheets)
    offset = len(head) + bound + 4
    bodies = b""
    for name, cells in sheets:
        head += rec(0x0085, struct.pack("<IBB", offset, 0, 0) + biff5_text(name, page, "<B"))
        body = biff5_bof(0x0010) + b"".join(cells) + rec(0x000A)
        bodies += body
        offset += len(body)
    return head + rec(0x000A) + bodies


def biff5_cell(kind, row, col, xf, data):
    return rec(kind, struct.pack("<HHH", row, col, xf) + data)


def rk_int(n, hundredths=False):
    return (n << 2) | 2 | (1 if hundredths else 0)


def save_compound(path, stream, name):
    """Writes the stream into a compound file as xlwt does, under `name`
    ("Workbook" as xlwt names it, or "Book")."""
    buf = io.BytesIO()
    xlwt.CompoundDoc.XlsDoc().save(buf, stream)
    data = bytearray(buf.getvalue())
    old = "Workbook\0".encode("utf_16_le")
    at = data.rindex(old)
    new = (name + "\0").encode("utf_16_le")
    data[at:at + 64] = new + bytes(64 - len(new))
    struct.pack_into("<H", data, at + 64, len(new))
    with open(os.path.join(OUT, path), "wb") as f:
        f.write(data)


def biff5_fixtures():
    """network_biff5.xls: a network sheet in the default code page 1252 (no
    CODEPAGE record) in a stream "Book": texts in LABEL and RSTRING records
    and as a formula's result, numbers as NUMBER, RK (integer and
    hundredths) and MULRK records, a boolean, an error, dates in a custom
    and a built-in format, a number in "0.00".  cp1251_biff5.xls: a sheet in
    code page 1251 in a stream "Workbook".  cp932_biff5.xls: a sheet in code
    page 932."""
    cp = 1252
    label = lambda r, c, text: biff5_cell(0x0204, r, c, 16, biff5_text(text, cp))
    cells = [label(0, 0, "From"), label(0, 1, "To"), label(0, 2, "Straße é"),
             biff5_cell(0x00D6, 0, 3, 16, biff5_text("Gefälle €", cp) + struct.pack("<BBB", 1, 0, 1))]
    for r, (frm, to, ground, _, _, invert, _, length, *_rest) in enumerate(NETWORK, start=1):
        cells += [label(r, 0, frm), label(r, 1, to),
                  biff5_cell(0x0203, r, 2, 16, struct.pack("<d", ground)),
                  biff5_cell(0x027E, r, 3, 16, struct.pack("<I", rk_int(round(invert * 100), True))),
                  rec(0x00BD, struct.pack("<HH", r, 4) + struct.pack("<HIHI", 16, rk_int(length), 19, rk_int(r)) + struct.pack("<H", 5))]
    cells += [biff5_cell(0x0203, 6, 0, 17, struct.pack("<d", 45000.75)),       # 2023-03-15 18:00 as a date
              biff5_cell(0x0203, 6, 1, 18, struct.pack("<d", 45000.75)),       # and as a date and time
              biff5_cell(0x0205, 6, 2, 16, struct.pack("<BB", 1, 0)),         # TRUE
              biff5_cell(0x0205, 6, 3, 16, struct.pack("<BB", 0x07, 1)),      # #DIV/0!
              biff5_cell(0x0006, 6, 4, 16, struct.pack("<BBBBHH", 0, 0, 0, 0, 0, 0xFFFF) + struct.pack("<HIH", 0, 0, 0)),
              rec(0x0207, biff5_text("Schacht Ö", cp)),
              biff5_cell(0x0006, 6, 5, 16, struct.pack("<d", 42.5) + struct.pack("<HIH", 0, 0, 0)),
              label(7, 0, "END")]
    save_compound("network_biff5.xls", biff5_stream([("Netz Ä", cells), ("Leer", [])]), "Book")

    cp = 1251
    cells = [label(0, 0, "Колодец"), label(1, 0, "Труба №1"), biff5_cell(0x0203, 1, 1, 16, struct.pack("<d", 12.25))]
    save_compound("cp1251_biff5.xls", biff5_stream([("Сеть", cells)], code_page=1251), "Workbook")

    # Code page 932, of characters of two bytes and half-width katakana of
    # one: a sheet name, texts in LABEL and RSTRING records and as a
    # formula's result, and a custom format of two characters whose second
    # bytes are the letters "d" and "m" (a number format, not a date's).
    cp = 932
    cells = [label(0, 0, "マンホール１"), label(0, 1, "ｱｲｳ ～ ①"),
             biff5_cell(0x00D6, 1, 0, 16, biff5_text("東京都下水道", cp) + struct.pack("<BBB", 1, 0, 1)),
             biff5_cell(0x0006, 1, 1, 16, struct.pack("<BBBBHH", 0, 0, 0, 0, 0, 0xFFFF) + struct.pack("<HIH", 0, 0, 0)),
             rec(0x0207, biff5_text("管路", cp)),
             biff5_cell(0x0203, 2, 0, 19, struct.pack("<d", 45000.75)),
             biff5_cell(0x0203, 2, 1, 17, struct.pack("<d", 45000.75))]
    save_compound("cp932_biff5.xls",
                  biff5_stream([("下水道", cells)], code_page=932, formats=((164, "YYYY-MM-DD"), (165, '"嬰盈"0.00'))),
                  "Workbook")


# --- Damaged files -----------------------------------------------------------------

def workbook_stream(data):
    """The sectors of the "Workbook" stream of a version-3 compound file as
    xlwt writes it (the allocation table listed in the header alone), its
    size, and the offset of the allocation table's entry of each sector."""
    fat_sectors = struct.unpack_from("<109I", data, 76)[:struct.unpack_from("<I", data, 44)[0]]
    fat_entry = lambda s: (fat_sectors[s // 128] + 1) * 512 + 4 * (s % 128)
    nxt = lambda s: struct.unpack_from("<I", data, fat_entry(s))[0]
    s, directory = struct.unpack_from("<I", data, 48)[0], b""
    while s != 0xFFFFFFFE:
        directory += data[(s + 1) * 512:(s + 2) * 512]
        s = nxt(s)
    for at in range(0, len(directory), 128):
        name = directory[at:at + struct.unpack_from("<H", directory, at + 64)[0]].decode("utf_16_le").rstrip("\0")
        if name == "Workbook":
            start, size = struct.unpack_from("<II", directory, at + 116)
            chain = [start]
            while nxt(chain[-1]) != 0xFFFFFFFE:
                chain.append(nxt(chain[-1]))
            return chain, size, fat_entry
    raise ValueError("no Workbook stream")


def damaged_fixtures():
    """The network sheet of network_xlwt.xls, damaged: its stream's sector
    chain loops back from its fourth sector to its second, or the last cell
    record of its sheet declares one byte more than the stream holds."""
    wb = xlwt.Workbook()
    ws = wb.add_sheet("Network")
    for r, values in enumerate([["From", "To"], [""]] + NETWORK + [["END"]]):
        for c, v in enumerate(values):
            if v != "":
                ws.write(r, c, v)
    buf = io.BytesIO()
    wb.save(buf)
    good = bytearray(buf.getvalue())
    chain, size, fat_entry = workbook_stream(good)

    loop = bytearray(good)
    struct.pack_into("<I", loop, fat_entry(chain[3]), chain[1])
    os.makedirs(os.path.join(OUT, "bad"), exist_ok=True)
    with open(os.path.join(OUT, "bad", "xls_sector_loop.xls"), "wb") as f:
        f.write(loop)

    # The stream's bytes in order; the records of the sheet, the last cell
    # record before its EOF found by walking them.
    stream = b"".join(good[(s + 1) * 512:(s + 2) * 512] for s in chain)[:size]
    at, last_cell = 0, None
    while at + 4 <= size:
        kind, length = struct.unpack_from("<HH", stream, at)
        if kind in (0x0203, 0x027E, 0x00BD, 0x00FD):
            last_cell = at
        at += 4 + length
    past = bytearray(good)
    where = chain[last_cell // 512] + 1
    offset = where * 512 + last_cell % 512 + 2
    struct.pack_into("<H", past, offset, size - last_cell - 4 + 1)
    with open(os.path.join(OUT, "bad", "xls_record_past_end.xls"), "wb") as f:
        f.write(past)


if __name__ == "__main__":
    types_fixture()
    long_texts_fixture()
    dates1904_fixture()
    long_cell_fixture()
    formulas_fixture()
    damaged_fixtures()
    biff5_fixtures()
