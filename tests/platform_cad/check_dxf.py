#!/usr/bin/python3
"""Independent check of a drawing with python3-ezdxf.

    check_dxf.py FILE                 read FILE and audit it
    check_dxf.py ORIGINAL WRITTEN     also compare WRITTEN with ORIGINAL: the
                                      same model-space entities (type, handle,
                                      layer), layers, blocks and extended data

Prints one line per fault and exits 1 when there is any; prints a summary of
the last file's model space ("entities=N handles=... ") otherwise.
"""
import sys

import ezdxf


def load(path, faults):
    doc = ezdxf.readfile(path)
    auditor = doc.audit()
    for e in auditor.errors:
        faults.append(f"{path}: audit error: {e.message}")
    return doc


def describe(doc):
    out = {}
    for e in doc.modelspace():
        xdata = {}
        if e.xdata:
            for app in e.xdata.data:
                xdata[app] = [(t.code, t.value if not isinstance(t.value, tuple) else tuple(round(v, 9) for v in t.value))
                              for t in e.get_xdata(app)]
        out[e.dxf.handle] = (e.dxftype(), e.dxf.layer, xdata)
    layers = sorted((l.dxf.name, l.dxf.color) for l in doc.layers)
    blocks = sorted(b.name for b in doc.blocks)
    return out, layers, blocks


def main():
    faults = []
    docs = [load(p, faults) for p in sys.argv[1:]]
    if len(docs) == 2:
        a, b = describe(docs[0]), describe(docs[1])
        for what, x, y in (("entities", a[0], b[0]), ("layers", a[1], b[1]), ("blocks", a[2], b[2])):
            if x != y:
                faults.append(f"{what} differ:\n  {x}\n  {y}")
    for f in faults:
        print(f)
    if faults:
        return 1
    msp = list(docs[-1].modelspace())
    print(f"entities={len(msp)} version={docs[-1].dxfversion}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
