"""ezdxf's side of the DXF tests.

make VERSION CODEPAGE OUT.dxf EXPECTED.txt: writes a drawing of every entity kind the importer reads, and the
records ezdxf's own expansion predicts after the importer's documented conversions, one a line:
  L x1 y1 x2 y2 | A cx cy r sx sy ex ey (start and end points) | T text x y height alignment angle
  A text reads along `angle`; one that ezdxf's world frame shows mirrored is held readable over the same box:
  turned half round, its left and right alignment exchanged.
mirrored VERSION OUT.dxf EXPECTED.txt: the same for entities drawn seen from below (extrusion 0, 0, -1), as mirror
commands leave them: a door swing (arc and text), a circle, polylines, an attribute, and inserts seen from below
with a text and a one-line MTEXT, one of them inside a turned and scaled insert.
audit FILE.dxf: prints the auditor's error count and the modelspace entity counts by type.
"""
import math
import sys

import ezdxf
from ezdxf.math import Matrix44, Vec3

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

    write_expected(msp, expected)


def emit(e, lines):
    kind = e.dxftype()
    if kind == "INSERT":
        single = e.copy() if e.mcount > 1 else e  # an array is placed once
        if e.mcount > 1:
            single.dxf.column_count = 1
            single.dxf.row_count = 1
        for v in single.virtual_entities():
            emit(v, lines)
        for a in e.attribs:
            emit(a, lines)
    elif kind == "LINE":
        s, t = e.dxf.start, e.dxf.end
        if s.isclose(t):
            t = (t[0] + 1.0, t[1])
        lines.append("L %.6f %.6f %.6f %.6f" % (s[0], s[1], t[0], t[1]))
    elif kind in ("ARC", "CIRCLE"):
        # Entities in an object coordinate system seen from below (a mirror's arcs, mirrored inserts' entities)
        # back to world coordinates, where an arc seen from below runs the other way round.
        ocs = e.ocs()
        r = max(e.dxf.radius, PLOT)
        a0, a1 = (e.dxf.start_angle, e.dxf.end_angle) if kind == "ARC" else (0, 360)
        pts = [ocs.to_wcs(e.dxf.center + (r * math.cos(math.radians(a)), r * math.sin(math.radians(a)), 0))
               for a in (a0, a1)]
        if e.dxf.extrusion[2] < 0:
            pts.reverse()
        c = ocs.to_wcs(e.dxf.center)
        if kind == "CIRCLE":  # whole, from the world's angle 0
            pts = [c + (r, 0, 0)] * 2
        lines.append("A %.6f %.6f %.6f %.6f %.6f %.6f %.6f" % (c[0], c[1], r, pts[0][0], pts[0][1], pts[1][0],
                                                             pts[1][1]))
    elif kind in ("LWPOLYLINE", "POLYLINE"):
        for v in e.virtual_entities():
            emit(v, lines)
    elif kind in ("TEXT", "ATTRIB"):
        h, v = e.dxf.halign, e.dxf.valign
        table = {(1, 0): 1, (2, 0): 2}
        if v in (1, 2, 3) and h in (0, 1, 2):
            table[(h, v)] = 4 * (v - 1) + h
        align = table.get((h, v), 0)
        ocs = e.ocs()
        p = ocs.to_wcs(e.dxf.align_point if (h, v) in table else e.dxf.insert)
        along = ocs.to_wcs(Vec3.from_deg_angle(e.dxf.rotation))
        up = ocs.to_wcs(Vec3.from_deg_angle(e.dxf.rotation + 90))
        angle = math.degrees(math.atan2(along[1], along[0]))
        if along[0] * up[1] - along[1] * up[0] < 0:
            angle += 180
            align = (align & ~3) | (2 - (align & 3))
        lines.append("T %s %.6f %.6f %.6f %d %.6f" % (e.dxf.text.encode("cp932").hex(), p[0], p[1],
                                                      max(e.dxf.height, PLOT), align, round(angle % 360, 6) % 360))
    elif kind == "MTEXT":  # of one line
        ucs = e.ucs()
        align = {1: 8, 2: 9, 3: 10, 4: 4, 5: 5, 6: 6, 7: 0, 8: 1, 9: 2}[e.dxf.attachment_point]
        angle = math.degrees(math.atan2(ucs.ux[1], ucs.ux[0]))
        if ucs.ux[0] * ucs.uy[1] - ucs.ux[1] * ucs.uy[0] < 0:
            angle += 180
            align = (align & ~3) | (2 - (align & 3))
        p = e.dxf.insert
        lines.append("T %s %.6f %.6f %.6f %d %.6f" % (e.plain_text().encode("cp932").hex(), p[0], p[1],
                                                      e.dxf.char_height, align, round(angle % 360, 6) % 360))


def write_expected(msp, expected):
    lines = []
    for e in msp:
        emit(e, lines)
    with open(expected, "w") as f:
        f.write("\n".join(lines) + "\n")


def mirrored(version, out, expected):
    doc = ezdxf.new(version)
    doc.header["$LIMMIN"] = (-500, -500)
    doc.header["$LIMMAX"] = (1500, 1500)
    msp = doc.modelspace()
    mirror = Matrix44.scale(-1, 1, 1)
    # A door at world (-150, 0) with its swing and its tag, mirrored: ezdxf keeps their object coordinates and
    # turns their plane over.
    for e in (msp.add_arc((-150, 0), 80, 0, 90), msp.add_line((-150, 0), (-70, 0)),
              msp.add_text("D1", dxfattribs={"insert": (-120, 20), "height": 5, "rotation": 30}),
              msp.add_text("R", dxfattribs={"insert": (-100, 40), "height": 4, "halign": 2,
                                            "align_point": (-100, 40)}),
              msp.add_circle((-300, 50), 12)):
        e.transform(mirror)
    points = [(-400, 0, 0, 0, 0.5), (-360, 0, 0, 0, 0), (-360, 30, 0, 0, -1), (-400, 30, 0, 0, 0)]
    if version == "R12":
        poly = msp.add_polyline2d([], close=True)
        for p in points:
            poly.append_vertex((p[0], p[1]), dxfattribs={"bulge": p[4]})
    else:
        poly = msp.add_lwpolyline(points, format="xyseb", close=True)
    poly.transform(mirror)
    door = doc.blocks.new("DOOR", base_point=(0, 0))
    door.add_line((0, 0), (90, 0))
    door.add_arc((0, 0), 90, 0, 90)
    door.add_text("W", dxfattribs={"insert": (10, 5), "height": 3})
    door.add_attdef("TAG", (20, 10), dxfattribs={"height": 3})
    if version != "R12":
        door.add_mtext("M1", dxfattribs={"insert": (30, 20), "char_height": 2, "attachment_point": 7,
                                         "rotation": 15})
    for e in (msp.add_blockref("DOOR", (600, 100), dxfattribs={"rotation": 20}),):
        e.add_auto_attribs({"TAG": "D2"})
        e.transform(mirror)
    # A door inserted seen from below, alone and inside a turned, scaled insert (ezdxf mirrors an insert by its
    # scale instead).
    msp.add_blockref("DOOR", (300, -200), dxfattribs={"rotation": 30, "extrusion": (0, 0, -1)})
    wing = doc.blocks.new("WING")
    wing.add_blockref("DOOR", (50, 0), dxfattribs={"rotation": 10, "extrusion": (0, 0, -1)})
    msp.add_blockref("WING", (800, 400), dxfattribs={"rotation": 45, "xscale": 1.5, "yscale": 1.5})
    doc.saveas(out)
    write_expected(ezdxf.readfile(out).modelspace(), expected)


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
    elif sys.argv[1] == "mirrored":
        mirrored(sys.argv[2], sys.argv[3], sys.argv[4])
    else:
        audit(sys.argv[2])
