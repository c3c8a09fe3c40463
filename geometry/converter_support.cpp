// Shared steps of the shape converters.
// Everything here appends to or fills sets; nothing keeps state between calls.
#include "geometry/converter_support.h"

#include <vector>

#include "geometry/vector_math.h"

bool is_zero(const OfuVector3& v) { return v.x == 0.0 && v.y == 0.0 && v.z == 0.0; }

CO3duTrianglePolys& append_set(CO3duPolygonList& list) {
    const int index = list.GetSize();
    list.SetSize(index + 1, -1);
    return list[index];
}

OfuVector3 outline_normal(const COfuPoint3Array& outline, int reverse) {
    OfuVector3 n;
    if (!PolygonNormal(outline.GetData(), outline.GetSize(), n)) n = OfuVector3(0.0, 0.0, 1.0);
    if (reverse) n = OfuVector3(-n.x, -n.y, -n.z);
    return n;
}

void take_piece_material(CO3duTrianglePolys& set, const COfuGeometry& piece) {
    set.material = piece.material;
    set.texture_number = piece.texture_number;
    if (piece.texture_number != 0) set.material_type = O3DU_MATERIAL_TEXTURE;
}

namespace {

void set_uv(_O3duVertex& v, const OfuVector3& q, double width, double height) {
    v.tex.x = width != 0.0 ? q.x / width : 0.0;
    v.tex.y = height != 0.0 ? q.y / height : 0.0;
}

}  // namespace

void set_face_texture_coordinates(CO3duTrianglePolys& set, const OfuVector3& normal, const OfuVector3& direction,
                                  const OfuVector3& offset, double width, double height) {
    const int n = set.vertices.GetSize();
    if (n == 0) return;
    const OfuVector3 origin = set.vertices[0].position;
    const OfuVector3 first_edge = n > 1 ? set.vertices[1].position - origin : OfuVector3();
    OfuMatrix4x4 frame;
    MakePlaneToXYMatrixAligned(normal, origin, first_edge, frame);
    const bool turned = !is_zero(direction);
    OfuMatrix4x4 turn = identity_matrix();
    if (turned) {
        OfuVector3 image = direction;
        TransformPointByMatrix4x4(rotation_part(frame), image);
        MakeRotateZMatrix(turn, planar_angle(image));
    }
    for (int i = 0; i < n; ++i) {
        OfuVector3 q = set.vertices[i].position;
        TransformPointByMatrix4x4(frame, q);
        if (turned) {
            TransformPointByMatrix4x4(turn, q);
            q = q + offset;
        }
        set_uv(set.vertices[i], q, width, height);
    }
}

void append_closed_strip(CO3duPolygonList& list, const COfuPoint3Array& points, const OfuVector3& normal,
                         const COfuGeometry& look) {
    const int n = points.GetSize();
    if (n == 0) return;  // nothing to close
    CO3duTrianglePolys& set = append_set(list);
    set.type = O3DU_SET_LINE_STRIP;
    take_piece_material(set, look);
    set.vertices.SetSize(n + 1);
    for (int i = 0; i <= n; ++i) {
        set.vertices[i].position = points[i < n ? i : 0];
        set.vertices[i].normal = normal;
    }
}

OfuVector3 quad_normal(const OfuVector3& a, const OfuVector3& b, const OfuVector3& c, const OfuVector3& d) {
    const OfuVector3 quad[4] = {a, b, c, d};
    OfuVector3 n;
    if (!PolygonNormal(quad, 4, n)) return OfuVector3(0.0, 0.0, 1.0);
    return n;
}

bool is_clockwise_about(const COfuPoint3Array& outline, const OfuVector3& direction) {
    const int n = outline.GetSize();
    if (n < 3) return false;
    OfuMatrix4x4 m;
    MakePlaneToXYMatrix(direction, outline[0], m);
    std::vector<OfuVector3> flat(outline.GetData(), outline.GetData() + n);
    for (OfuVector3& p : flat) TransformPointByMatrix4x4(m, p);
    OfuVector3 normal;
    return PolygonNormal(flat.data(), n, normal) && normal.z < 0.0;
}

void reverse_behind_first(COfuPoint3Array& outline) {
    for (int i = 1, j = outline.GetSize() - 1; i < j; ++i, --j) {
        const OfuVector3 t = outline[i];
        outline[i] = outline[j];
        outline[j] = t;
    }
}

void make_counter_clockwise(COfuPoint3Array& outline, const OfuVector3& direction) {
    if (is_clockwise_about(outline, direction)) reverse_behind_first(outline);
}

void fill_wall_strip(CO3duTrianglePolys& set, const COfuPoint3Array& first, const COfuPoint3Array& second,
                     const COfuGeometry& look, const OfuVector3& origin, const OfuVector3& direction) {
    const int n = first.GetSize();
    set.type = O3DU_SET_TRIANGLE_STRIP;
    take_piece_material(set, look);
    set.vertices.SetSize(4 * n);
    for (int i = 0; i < n; ++i) {
        const int k = i + 1 < n ? i + 1 : 0;
        // The quad first[i], second[i], second[i+1], first[i+1] turns counter-clockwise seen from outside.
        const OfuVector3 normal = quad_normal(first[i], second[i], second[k], first[k]);
        const OfuVector3* corners[4] = {&first[i], &second[i], &first[k], &second[k]};
        for (int c = 0; c < 4; ++c) {
            _O3duVertex& v = set.vertices[4 * i + c];
            v.position = *corners[c];
            v.normal = normal;
        }
        if (look.texture_number == 0) continue;
        OfuMatrix4x4 frame;
        if (is_zero(direction))
            MakePlaneToXYMatrix(normal, origin, frame);
        else
            MakePlaneToXYMatrixAligned(normal, origin, direction, frame);
        for (int c = 0; c < 4; ++c) {
            OfuVector3 q = *corners[c];
            TransformPointByMatrix4x4(frame, q);
            set_uv(set.vertices[4 * i + c], q, look.texture_width, look.texture_height);
        }
    }
}

void append_wire_sides(CO3duPolygonList& list, const COfuPoint3Array& bottom, const COfuPoint3Array& top,
                       const COfuGeometry& look) {
    const int n = bottom.GetSize();
    for (int i = 0; i < n; ++i) {
        const int k = i + 1 < n ? i + 1 : 0;
        CO3duTrianglePolys& set = append_set(list);
        set.type = O3DU_SET_LINE_LIST;
        take_piece_material(set, look);
        set.vertices.SetSize(4);
        // Around the side: top[i], bottom[i], bottom[i+1], top[i+1]; each corner's normal is the cross product of
        // its outgoing and incoming edges, which points out of the solid for a counter-clockwise outline.
        const OfuVector3* ring[4] = {&top[i], &bottom[i], &bottom[k], &top[k]};
        const int slot[4] = {0, 1, 3, 2};  // where each ring corner sits in the line list
        for (int c = 0; c < 4; ++c) {
            const OfuVector3& here = *ring[c];
            OfuVector3 normal = cross(*ring[(c + 1) % 4] - here, *ring[(c + 3) % 4] - here);
            NormalizeVector3(normal);
            set.vertices[slot[c]].position = here;
            set.vertices[slot[c]].normal = normal;
        }
    }
}

void append_wire_wall(CO3duPolygonList& list, const COfuPoint3Array& bottom, const COfuPoint3Array& top,
                      const COfuGeometry& look) {
    append_wire_sides(list, bottom, top, look);
    for (const COfuPoint3Array* outline : {&bottom, &top}) {
        OfuVector3 normal;
        PolygonNormal(outline->GetData(), outline->GetSize(), normal);
        append_closed_strip(list, *outline, normal, look);
    }
}
