"""ezdxf's side of the DXF tests.

make VERSION CODEPAGE OUT.dxf EXPECTED.txt: writes a drawing of every entity kind the importer reads, and the
records ezdxf's own expansion predicts after the importer's documented conversions, one a line:
  L x1 y1 x2 y2 | A cx cy r sx sy ex ey (start and end points) | T text x y height alignment
audit FILE.dxf: prints the auditor's error count and the modelspace entity counts by type.
"""
import math
import sys

import ezdxf

PLOT = 0.001  # the importer's default unit: drawing units are thousandths


def make(version, codepage, out, expected):
    doc = ezdxf.new(version)
    if codepage:
        doc.header["$DWGCODEPAGE"] = codepage
    doc.header["$LIMMIN"] = (-500, -500)
    doc.header["$LIMMAX"] = (1500, 1500)
    for name in ("7", "WALL"):
        doc.layers.add(name)
    for lt in ("DASHED", "CENTER"):
        if lt not in doc.linetypes:
            doc.linetypes.add(lt, pattern=[0.5, 0.25, -0.25])
    msp = doc.modelspace()
    msp.add_line((0, 0), (10, 0), dxfattribs={"layer": "7"})
    msp.add_line((5, 5), (5, 5), dxfattribs={"layer": "WALL", "linetype": "DASHED"})  # zero length
    msp.add_line((1, 2), (30, 40), dxfattribs={"layer": "WALL", "linetype": "CENTER", "color": 1})
    msp.add_circle((100, 100), 25)
    msp.add_circle((120, 100), 0.0001)  # below one drawing unit
    msp.add_arc((200, 50), 10, 30, 120)
    msp.add_arc((250, 50), 12, 300, 45)
    points = [(300, 0, 0, 0, 1), (320, 0, 0, 0, 0), (320, 30, 0, 0, -0.5), (300, 30, 0, 0, 0)]
    if version == "R12":
        msp.add_polyline2d([(p[0], p[1]) for p in points], format="xy", close=True)
        poly = msp.add_polyline2d([], close=False)
        for p in points:
            poly.append_vertex((p[0] + 100, p[1]), dxfattribs={"bulge": p[4]} if p[4] else {})
    else:
        msp.add_lwpolyline([(p[0], p[1], 0, 0, 0) for p in points], close=True)
        msp.add_lwpolyline([(p[0] + 100, p[1], 0, 0, p[4]) for p in points], format="xyseb")
    for i, (h, v) in enumerate([(0, 0), (1, 0), (2, 0), (0, 1), (1, 2), (2, 3)]):
        t = msp.add_text("Txt%d" % i, dxfattribs={"height": 5, "rotation": 15 * i, "halign": h, "valign": v})
        t.dxf.insert = (600, 40 * i)
        t.dxf.align_point = (610, 40 * i + 3)
    msp.add_text("\u56f3\u9762ABC", dxfattribs={"height": 8, "insert": (700, 0)})
    inner = doc.blocks.new("INNER", base_point=(1, 1))
    inner.add_line((1, 1), (6, 1))
    inner.add_arc((1, 1), 4, 0, 90)
    inner.add_text("In", dxfattribs={"height": 2, "insert": (1, 3)})
    outer = doc.blocks.new("OUTER")
    outer.add_line((0, 0), (0, 20))
    outer.add_blockref("INNER", (10, 10), dxfattribs={"rotation": 30})
    msp.add_blockref("OUTER", (800, 100), dxfattribs={"rotation": 45, "xscale": 2, "yscale": 2})
    msp.add_blockref("INNER", (900, 100), dxfattribs={"xscale": -1.5, "yscale": 1.5})  # mirrored
    m = msp.add_blockref("INNER", (1000, 100), dxfattribs={"column_count": 3, "row_count": 2,
                                                          "column_spacing": 20, "row_spacing": 20})
    doc.saveas(out)

    lines = []

    def emit(e):
        kind = e.dxftype()
        if kind == "INSERT":
            single = e.copy() if e.mcount > 1 else e  # an array is placed once
            if e.mcount > 1:
                single.dxf.column_count = 1
                single.dxf.row_count = 1
            for v in single.virtual_entities():
                emit(v)
        elif kind == "LINE":
            s, t = e.dxf.start, e.dxf.end
            if s.isclose(t):
                t = (t[0] + 1.0, t[1])
            lines.append("L %.6f %.6f %.6f %.6f" % (s[0], s[1], t[0], t[1]))
        elif kind in ("ARC", "CIRCLE"):
            # Mirrored inserts give entities in an object coordinate system seen from below: back to world
            # coordinates, where an arc seen from below runs the other way round.
            ocs = e.ocs()
            r = max(e.dxf.radius, PLOT)
            a0, a1 = (e.dxf.start_angle, e.dxf.end_angle) if kind == "ARC" else (0, 360)
            pts = [ocs.to_wcs(e.dxf.center + (r * math.cos(math.radians(a)), r * math.sin(math.radians(a)), 0))
                   for a in (a0, a1)]
            if e.dxf.extrusion[2] < 0:
                pts.reverse()
            c = ocs.to_wcs(e.dxf.center)
            lines.append("A %.6f %.6f %.6f %.6f %.6f %.6f %.6f" % (c[0], c[1], r, pts[0][0], pts[0][1], pts[1][0],
                                                                 pts[1][1]))
        elif kind in ("LWPOLYLINE", "POLYLINE"):
            for v in e.virtual_entities():
                emit(v)
        elif kind == "TEXT":
            h, v = e.dxf.halign, e.dxf.valign
            table = {(1, 0): 1, (2, 0): 2}
            if v in (1, 2, 3) and h in (0, 1, 2):
                table[(h, v)] = 4 * (v - 1) + h
            align = table.get((h, v), 0)
            p = e.ocs().to_wcs(e.dxf.align_point if (h, v) in table else e.dxf.insert)
            lines.append("T %s %.6f %.6f %.6f %d" % (e.dxf.text.encode("cp932").hex(), p[0], p[1],
                                                     max(e.dxf.height, PLOT), align))

    for e in msp:
        emit(e)
    with open(expected, "w") as f:
        f.write("\n".join(lines) + "\n")


def audit(path):
    doc = ezdxf.readfile(path)
    auditor = doc.audit()
    counts = {}
    for e in doc.modelspace():
        counts[e.dxftype()] = counts.get(e.dxftype(), 0) + 1
    print("errors", len(auditor.errors))
    for k in sorted(counts):
        print(k, counts[k])
    for e in doc.modelspace().query("TEXT"):
        print("text", e.dxf.text.encode("cp932").hex())


if __name__ == "__main__":
    if sys.argv[1] == "make":
        make(sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5])
    else:
        audit(sys.argv[2])
