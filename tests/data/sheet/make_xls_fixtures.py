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
texts of both widths.  dates1904_xlwt.xls holds dates of the 1904
date system.  xlwt writes no cached results for formulas; the ones given
here are written in its FORMULA record, with the STRING record that a
text result needs.
"""
import datetime as dt
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


if __name__ == "__main__":
    types_fixture()
    long_texts_fixture()
    dates1904_fixture()
