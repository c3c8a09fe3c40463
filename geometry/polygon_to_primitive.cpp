// Flat polygon faces: the outline is laid into XY through its own normal, clipped into ears there, and the
// triangles index the outline's points where they stand.
#include "geometry/polygon_to_primitive.h"

#include <vector>

#include "geometry/converter_support.h"
#include "geometry/ear_clipping.h"
#include "geometry/vector_math.h"

void CO3duPolygonToPrimitive::ConvertPolygon(COfuPolygon* polygon, CO3duPolygonList& list, int reverse, int simplify,
                                             int solid) {
    if (solid)
        ConvertSolidPolygon(polygon, list, reverse, simplify);
    else
        ConvertWirePolygon(polygon, list, reverse);
}

void CO3duPolygonToPrimitive::ConvertSolidPolygon(COfuPolygon* polygon, CO3duPolygonList& list, int reverse,
                                                  int simplify) {
    if (!polygon) return;
    CO3duTrianglePolys& set = append_set(list);
    ConvertSolidPolygont(polygon, set, reverse, simplify);
    if (set.vertices.GetSize() == 0) list.RemoveAt(list.GetSize() - 1, 1);
}

void CO3duPolygonToPrimitive::ConvertSolidPolygont(COfuPolygon* polygon, CO3duTrianglePolys& set, int reverse,
                                                   int simplify) {
    if (!polygon) return;
    const int n = polygon->points.GetSize();
    if (n < 3) return;
    const OfuVector3 up = outline_normal(polygon->points, 0);
    OfuMatrix4x4 m;
    MakePlaneToXYMatrix(up, polygon->points[0], m);
    std::vector<OfuVector3> flat(polygon->points.GetData(), polygon->points.GetData() + n);
    for (OfuVector3& p : flat) TransformPointByMatrix4x4(m, p);
    const std::vector<int> triangles = ear_clip_outline(flat.data(), n, simplify != 0);
    if (triangles.empty()) return;

    const OfuVector3 normal = reverse ? OfuVector3(-up.x, -up.y, -up.z) : up;
    set.type = O3DU_SET_INDEXED_TRIANGLES;
    set.vertices.SetSize(n);
    for (int i = 0; i < n; ++i) {
        set.vertices[i].position = polygon->points[i];
        set.vertices[i].normal = normal;
    }
    const int count = static_cast<int>(triangles.size() / 3);
    set.indices.SetSize(count);
    for (int t = 0; t < count; ++t) {
        const int a = triangles[3 * t], b = triangles[3 * t + 1], c = triangles[3 * t + 2];
        set.indices[t] = reverse ? _O3duVertexIndex{c, b, a} : _O3duVertexIndex{a, b, c};
    }
    take_piece_material(set, *polygon);
    set_face_texture_coordinates(set, normal, polygon->texture_direction, polygon->texture_offset,
                                 polygon->texture_width, polygon->texture_height);
}

void CO3duPolygonToPrimitive::ConvertWirePolygon(COfuPolygon* polygon, CO3duPolygonList& list, int reverse) {
    if (!polygon) return;
    append_closed_strip(list, polygon->points, outline_normal(polygon->points, reverse), *polygon);
}
