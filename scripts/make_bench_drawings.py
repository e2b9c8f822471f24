#!/usr/bin/python3
"""Writes the drawings of the drawing-exchange bench with python3-ezdxf:
networks of LINEs on layer SEWER with "MAA" and "sewer" extended data.

    /usr/bin/python3 scripts/make_bench_drawings.py FOLDER COUNT...

Each COUNT gives FOLDER/pipes_COUNT.dxf (R2000): laterals of 100 pipes
each, the pipes of a lateral chained by their next and previous links, and
every lateral after the first flowing into a pipe of the first.  Link fields
hold 16-bit numbers, so pipes numbered beyond 32,767 get no links (such a
drawing serves to time the preparation, which reads no links).
"""
import os
import sys

import ezdxf

LATERAL = 100
LINK_MAX = 32767


def make(path, count):
    doc = ezdxf.new("R2000")
    for app in ("MAA", "sewer"):
        doc.appids.new(app)
    doc.layers.new("SEWER", dxfattribs={"color": 1})
    msp = doc.modelspace()
    for r in range(1, count + 1):
        lateral, k = divmod(r - 1, LATERAL)       # k: place in the lateral, from 0
        last = k == LATERAL - 1 or r == count
        nxt = r + 1 if not last else (0 if lateral == 0 else 1 + lateral % LATERAL)
        prev = r - 1 if k > 0 else 0
        if r > LINK_MAX or nxt > LINK_MAX:
            nxt = prev = 0
        x0, y = 50.0 * k, 100.0 * lateral
        z0 = 100.0 - 0.25 * k
        line = msp.add_line((x0, y, z0), (x0 + 50.0, y, z0 - 0.25), dxfattribs={"layer": "SEWER"})
        line.set_xdata("MAA", [(1071, r), (1070, nxt), (1070, prev), (1070, 0), (1070, 0), (1070, 0), (1070, 0)])
        line.set_xdata("sewer", [(1000, "MH%d" % r), (1000, "MH%d" % (r + 1)), (1000, ""), (1040, 1.25),
                                 (1040, 0.5), (1040, 0.0), (1040, 0.0), (1000, "Lateral%d" % (lateral + 1))])
    doc.saveas(path)


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for count in sys.argv[2:]:
        make(os.path.join(folder, "pipes_%s.dxf" % count), int(count))


if __name__ == "__main__":
    main()
