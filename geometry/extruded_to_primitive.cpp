// Extrusions: all sides share one triangle strip (neighbouring sides meet in zero-area joint triangles), and the
// caps are plain polygon faces, the bottom one reversed so that it faces away from the top.
#include "geometry/extruded_to_primitive.h"

#include "geometry/converter_support.h"
#include "geometry/polygon_to_primitive.h"
#include "geometry/vector_math.h"

bool append_outer_wall(COfuPoint3Array& bottom, COfuPoint3Array& top, const COfuGeometry& look,
                       const OfuVector3& side_direction, CO3duPolygonList& list) {
    const int n = bottom.GetSize();
    if (n < 3 || top.GetSize() != n) return false;
    OfuVector3 d = PolygonCentroid(top) - PolygonCentroid(bottom);
    NormalizeVector3(d);
    make_counter_clockwise(bottom, d);
    make_counter_clockwise(top, d);
    fill_wall_strip(append_set(list), top, bottom, look, bottom[0], side_direction);
    return true;
}

void CO3duExtrudedToPrimitive::ConvertExtruded(COfuExtruded* piece, CO3duPolygonList& list, int simplify, int solid) {
    if (solid)
        ConvertSolidExtruded(piece, list, simplify);
    else
        ConvertWireExtruded(piece, list);
}

void CO3duExtrudedToPrimitive::ConvertSolidExtruded(COfuExtruded* piece, CO3duPolygonList& list, int simplify) {
    if (!piece) return;
    if (!append_outer_wall(piece->bottom.points, piece->top.points, *piece, piece->side_texture_direction, list))
        return;
    if (piece->bottom_cap) CO3duPolygonToPrimitive::ConvertPolygon(&piece->bottom, list, 1, simplify, 1);
    if (piece->top_cap) CO3duPolygonToPrimitive::ConvertPolygon(&piece->top, list, 0, simplify, 1);
}

void CO3duExtrudedToPrimitive::ConvertWireExtruded(COfuExtruded* piece, CO3duPolygonList& list) {
    if (!piece) return;
    const COfuPoint3Array& bottom = piece->bottom.points;
    const COfuPoint3Array& top = piece->top.points;
    const int n = bottom.GetSize();
    if (n == 0 || top.GetSize() != n) return;
    append_wire_wall(list, bottom, top, *piece);
}
