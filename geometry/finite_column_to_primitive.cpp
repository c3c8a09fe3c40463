// Plane-cut columns: the section's points are carried along the axis onto both end planes, and the two outlines
// are then built exactly as a capped extrusion without a side texture direction.
#include "geometry/finite_column_to_primitive.h"

#include <cmath>

#include "geometry/converter_support.h"
#include "geometry/extruded_to_primitive.h"
#include "geometry/vector_math.h"

int IntersectLinePlane(const OfuPlane& plane, const OfuVector3& q, const OfuVector3& v, double tolerance,
                       OfuVector3& hit) {
    OfuVector3 n(plane.a, plane.b, plane.c);
    NormalizeVector3(n);
    const double along = dot(n, v);
    if (std::fabs(along) < tolerance) return 0;
    OfuVector3 on_plane;
    if (std::fabs(plane.c) >= tolerance)
        on_plane = OfuVector3(0.0, 0.0, -plane.d / plane.c);
    else if (std::fabs(plane.a) >= tolerance)
        on_plane = OfuVector3(-plane.d / plane.a, 0.0, 0.0);
    else if (std::fabs(plane.b) >= tolerance)
        on_plane = OfuVector3(0.0, -plane.d / plane.b, 0.0);
    else
        return 0;
    const double s = dot(n, on_plane - q) / along;
    hit = OfuVector3(q.x + s * v.x, q.y + s * v.y, q.z + s * v.z);
    return 1;
}

namespace {

constexpr double kTolerance = 1e-5;

bool usable(const COfuFiniteColumn* piece) {
    return piece && piece->kind == OFU_KIND_FINITE_COLUMN && piece->section.kind == OFU_KIND_POLYGON;
}

// The two cut outlines as an extrusion carrying the column's look; a point whose line misses a plane stays at
// the origin.
void cut_outlines(const COfuFiniteColumn& piece, COfuExtruded& out) {
    const int n = piece.section.points.GetSize();
    out.copy_common(piece);
    out.bottom.copy_common(piece);
    out.top.copy_common(piece);
    out.bottom.points.SetSize(n);
    out.top.points.SetSize(n);
    for (int i = 0; i < n; ++i) {
        IntersectLinePlane(piece.bottom_plane, piece.section.points[i], piece.axis, kTolerance, out.bottom.points[i]);
        IntersectLinePlane(piece.top_plane, piece.section.points[i], piece.axis, kTolerance, out.top.points[i]);
    }
    out.bottom_cap = 1;
    out.top_cap = 1;
}

}  // namespace

void CO3duFiniteColumnToPrimitive::ConvertFiniteColumn(COfuFiniteColumn* piece, CO3duPolygonList& list, int simplify,
                                                       int solid) {
    if (solid)
        ConvertSolidFiniteColumn(piece, list, simplify);
    else
        ConvertWireFiniteColumn(piece, list);
}

void CO3duFiniteColumnToPrimitive::ConvertSolidFiniteColumn(COfuFiniteColumn* piece, CO3duPolygonList& list,
                                                            int simplify) {
    if (!usable(piece)) return;
    COfuExtruded extrusion;
    cut_outlines(*piece, extrusion);
    // The section keeps the order its outlines are turned to, as an extrusion keeps the order of its own.
    if (piece->section.points.GetSize() >= 3) {
        OfuVector3 d = PolygonCentroid(extrusion.top.points) - PolygonCentroid(extrusion.bottom.points);
        NormalizeVector3(d);
        if (is_clockwise_about(extrusion.bottom.points, d)) reverse_behind_first(piece->section.points);
    }
    CO3duExtrudedToPrimitive::ConvertSolidExtruded(&extrusion, list, simplify);
}

void CO3duFiniteColumnToPrimitive::ConvertWireFiniteColumn(COfuFiniteColumn* piece, CO3duPolygonList& list) {
    if (!usable(piece)) return;
    COfuExtruded extrusion;
    cut_outlines(*piece, extrusion);
    CO3duExtrudedToPrimitive::ConvertWireExtruded(&extrusion, list);
}
