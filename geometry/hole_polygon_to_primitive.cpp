// Holed faces go through the holed mesher; their outlines and walls reuse the plain polygon and extrusion steps.
// Hole walls are built with bottom and top exchanged so that they face into the hole, away from the material.
#include "geometry/hole_polygon_to_primitive.h"

#include <algorithm>

#include "geometry/converter_support.h"
#include "geometry/extruded_to_primitive.h"
#include "geometry/hole_mesh.h"
#include "geometry/vector_math.h"

void CO3duHolePolygonToPrimitive::ConvertHolePolygon(COfuHolePolygon* polygon, CO3duPolygonList& list, int reverse,
                                                     int simplify, int solid) {
    if (solid)
        ConvertSolidHolePolygon(polygon, list, reverse, simplify);
    else
        ConvertWireHolePolygon(polygon, list, reverse);
}

void CO3duHolePolygonToPrimitive::ConvertSolidHolePolygon(COfuHolePolygon* polygon, CO3duPolygonList& list, int reverse,
                                                          int /*simplify*/) {
    if (!polygon) return;
    HoleMesh mesh;
    if (!mesh_hole_polygon(*polygon, mesh)) return;
    const int n = static_cast<int>(mesh.points.size());
    if (n < 3) return;
    if (mesh.triangles.empty()) mesh.triangles = {0, 1, 2};

    const OfuVector3 normal = outline_normal(polygon->points, reverse);
    CO3duTrianglePolys& set = append_set(list);
    set.type = O3DU_SET_INDEXED_TRIANGLES;
    set.vertices.SetSize(n);
    for (int i = 0; i < n; ++i) {
        set.vertices[i].position = mesh.points[i];
        set.vertices[i].normal = normal;
    }
    const int count = static_cast<int>(mesh.triangles.size() / 3);
    set.indices.SetSize(count);
    for (int t = 0; t < count; ++t) {
        const int a = mesh.triangles[3 * t], b = mesh.triangles[3 * t + 1], c = mesh.triangles[3 * t + 2];
        set.indices[t] = reverse ? _O3duVertexIndex{c, b, a} : _O3duVertexIndex{a, b, c};
    }
    take_piece_material(set, *polygon);
    set_face_texture_coordinates(set, normal, polygon->texture_direction, polygon->texture_offset,
                                 polygon->texture_width, polygon->texture_height);
}

void CO3duHolePolygonToPrimitive::ConvertWireHolePolygon(COfuHolePolygon* polygon, CO3duPolygonList& list,
                                                         int reverse) {
    if (!polygon) return;
    const OfuVector3 normal = outline_normal(polygon->points, reverse);
    append_closed_strip(list, polygon->points, normal, *polygon);
    for (int h = 0; h < polygon->holes.GetSize(); ++h)
        append_closed_strip(list, polygon->holes[h].points, normal, *polygon);
}

void CO3duHoleExtrudedToPrimitive::ConvertHoleExtruded(COfuHoleExtruded* piece, CO3duPolygonList& list, int simplify,
                                                       int solid) {
    if (solid)
        ConvertSolidHoleExtruded(piece, list, simplify);
    else
        ConvertWireHoleExtruded(piece, list);
}

namespace {

// Hole k has a wall only when both ends hold it with the same, non-zero point count.
bool hole_pair(COfuHoleExtruded& piece, int k) {
    return k < piece.bottom.holes.GetSize() && k < piece.top.holes.GetSize() &&
           piece.bottom.holes[k].points.GetSize() > 0 &&
           piece.bottom.holes[k].points.GetSize() == piece.top.holes[k].points.GetSize();
}

int hole_pairs_to_try(const COfuHoleExtruded& piece) {
    return std::min(piece.bottom.holes.GetSize(), piece.top.holes.GetSize());
}

}  // namespace

void CO3duHoleExtrudedToPrimitive::ConvertSolidHoleExtruded(COfuHoleExtruded* piece, CO3duPolygonList& list,
                                                            int simplify) {
    if (!piece) return;
    if (!append_outer_wall(piece->bottom.points, piece->top.points, *piece, piece->side_texture_direction, list))
        return;
    for (int k = 0; k < hole_pairs_to_try(*piece); ++k) {
        if (!hole_pair(*piece, k)) continue;
        COfuPoint3Array& bottom = piece->bottom.holes[k].points;
        COfuPoint3Array& top = piece->top.holes[k].points;
        OfuVector3 d = PolygonCentroid(top) - PolygonCentroid(bottom);
        NormalizeVector3(d);
        make_counter_clockwise(bottom, d);
        make_counter_clockwise(top, d);
        fill_wall_strip(append_set(list), bottom, top, *piece, bottom[0], piece->side_texture_direction);
    }
    if (piece->bottom_cap) CO3duHolePolygonToPrimitive::ConvertHolePolygon(&piece->bottom, list, 1, simplify, 1);
    if (piece->top_cap) CO3duHolePolygonToPrimitive::ConvertHolePolygon(&piece->top, list, 0, simplify, 1);
}

void CO3duHoleExtrudedToPrimitive::ConvertWireHoleExtruded(COfuHoleExtruded* piece, CO3duPolygonList& list) {
    if (!piece) return;
    const int n = piece->bottom.points.GetSize();
    if (n == 0 || piece->top.points.GetSize() != n) return;
    append_wire_wall(list, piece->bottom.points, piece->top.points, *piece);
    for (int k = 0; k < hole_pairs_to_try(*piece); ++k)
        if (hole_pair(*piece, k))
            append_wire_wall(list, piece->bottom.holes[k].points, piece->top.holes[k].points, *piece);
}
