#!/usr/bin/python3
"""Writes the drawing fixtures of tests/data/cad with python3-ezdxf, an
independent DXF writer, so that the drawing reader is tested on files it did
not write itself.  Run with Debian's interpreter:

    /usr/bin/python3 scripts/make_dxf_fixtures.py [folder]

Each drawing (R12, R2000, R2013) holds a three-pipe chain of LINEs on layer
SEWER with "MAA" and "sewer" extended data, circles, texts, a polyline,
a block with a reference, and entities the drawing program does not model.
A fourth drawing, fields_r2000.dxf, holds a chain whose lines carry a value of
their own in every entry and coordinate (see make_fields).
"""
import os
import sys

import ezdxf

OUT = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "tests", "data", "cad")

# (record, next, prev, from, to, lat, start, end)
PIPES = [
    (1, 2, 0, "MH1", "MH2", "Main", (1000.0, 200.0, 101.5), (1050.0, 200.0, 101.0)),
    (2, 3, 1, "MH2", "MH3", "Main", (1050.0, 200.0, 101.0), (1100.0, 230.0, 100.4)),
    (3, 0, 2, "MH3", "MH4", "Main", (1100.0, 230.0, 100.4), (1160.0, 230.0, 99.8)),
]


def make(version, name):
    doc = ezdxf.new(version)
    for app in ("MAA", "sewer", "OTHER"):
        doc.appids.new(app)
    doc.layers.new("SEWER", dxfattribs={"color": 1})
    doc.layers.new("Notes", dxfattribs={"color": 3})
    msp = doc.modelspace()
    for rec, nxt, prev, frm, to, lat, a, b in PIPES:
        line = msp.add_line(a, b, dxfattribs={"layer": "SEWER"})
        line.set_xdata("MAA", [(1071, rec), (1070, nxt), (1070, prev), (1070, 0), (1070, 0), (1070, 0), (1070, 0)])
        line.set_xdata("sewer", [(1000, frm), (1000, to), (1000, ""), (1040, 1.25 * rec), (1040, 0.5),
                                 (1040, 0.0), (1040, 0.0), (1000, lat)])
        line.set_xdata("OTHER", [(1000, "kept"), (1010, (1.0, 2.0, 3.0)), (1070, 7)])
    msp.add_line((0, 0), (100, 0), dxfattribs={"layer": "Notes"})
    msp.add_circle((500, 500), 25, dxfattribs={"layer": "Notes"})
    msp.add_circle((600, 500), 10, dxfattribs={"layer": "SEWER"})
    msp.add_text("Road", dxfattribs={"layer": "Notes", "height": 5, "insert": (20, 40)})
    points = [(0, 100), (40, 100), (40, 140), (90, 160)]
    if version == "R12":
        msp.add_polyline2d(points, dxfattribs={"layer": "Notes"})
    else:
        msp.add_lwpolyline(points, dxfattribs={"layer": "Notes"})
    block = doc.blocks.new("Manhole")
    block.add_circle((0, 0), 2)
    block.add_line((-2, 0), (2, 0))
    msp.add_blockref("Manhole", (300, 300))
    # Entities the drawing program does not model.
    if version != "R12":
        hatch = msp.add_hatch(color=2)
        hatch.paths.add_polyline_path([(0, 0), (10, 0), (10, 10), (0, 10)], is_closed=True)
        msp.add_spline([(0, 0), (10, 20), (30, 10), (50, 40)])
        msp.add_ellipse((200, 200), major_axis=(30, 0), ratio=0.5)
    dim = msp.add_linear_dim(base=(0, -20), p1=(0, 0), p2=(100, 0))
    dim.render()
    doc.saveas(os.path.join(OUT, name))


def make_fields(name):
    """A six-pipe chain 1 -> 2 -> ... -> 6 on layer SEWER in which every value
    of a line differs from its other values: links, names, areas, the unused
    entries of both records and the coordinates of both ends.  Pipe r links
    to pipes r + 2, r + 3 and r + 4 (counted round 1 to 6) as its two
    branches and its fourth link.  The marker text carries a sheet grid of
    50-unit squares from (1000, 2000)."""
    doc = ezdxf.new("R2000")
    for app in ("MAA", "sewer", "Sheetindex"):
        doc.appids.new(app)
    doc.layers.new("SEWER")
    doc.layers.new("VANDU")
    msp = doc.modelspace()
    marker = msp.add_text("VANDU", dxfattribs={"layer": "VANDU", "height": 100, "insert": (0, 0)})
    marker.set_xdata("Sheetindex", [(1040, 1000.0), (1040, 2000.0), (1040, 7.0), (1040, 8.0), (1040, 50.0)])
    for r in range(1, 7):
        nxt, prev = (r + 1 if r < 6 else 0), r - 1
        branch1, branch2, link4 = (r + 1) % 6 + 1, (r + 2) % 6 + 1, (r + 3) % 6 + 1
        start = (1010.3 + 100 * r, 2020.4 + 100 * r, 110.2 - 2 * r)
        end = (1040.3 + 100 * r, 2060.4 + 100 * r, 108.6 - 2 * r)
        line = msp.add_line(start, end, dxfattribs={"layer": "SEWER"})
        line.set_xdata("MAA", [(1071, r), (1070, nxt), (1070, prev), (1070, branch1), (1070, branch2),
                               (1070, 40 + r), (1070, link4)])
        line.set_xdata("sewer", [(1000, "F%d" % r), (1000, "T%d" % r), (1000, "X%d" % r), (1040, r + 0.25),
                                 (1040, r + 0.5), (1040, r + 0.75), (1040, r + 0.125), (1000, "Main")])
    doc.saveas(os.path.join(OUT, name))


def main():
    os.makedirs(OUT, exist_ok=True)
    make("R12", "network_r12.dxf")
    make("R2000", "network_r2000.dxf")
    make("R2013", "network_r2013.dxf")
    make_fields("fields_r2000.dxf")


if __name__ == "__main__":
    main()
