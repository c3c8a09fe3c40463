// The plane cut of a primitive: every line and triangle set keeps what lies in front of the plane, crossing
// pieces clipped where they meet it, and the section segments found on the way are capped afterwards.
#include <cmath>
#include <vector>

#include "geometry/converter_support.h"
#include "geometry/math_primitive.h"
#include "geometry/shared_math.h"
#include "geometry/vector_math.h"

namespace {

constexpr double kOnPlane = 1e-5;  // a triangle this little behind the plane is kept whole

OfuVector3 carried(const OfuMatrix4x4& m, const OfuVector3& p) {
    OfuVector3 q = p;
    TransformPointByMatrix4x4(m, q);
    return q;
}

OfuVector3 lerp(const OfuVector3& a, const OfuVector3& b, double t) {
    return {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), a.z + t * (b.z - a.z)};
}

// A copy of look placed where edge first-second meets the plane. The crossing is interpolated in model space
// by its share t of the edge rather than intersected in world space and carried back: the same point for the
// affine placements primitives have, and no inverse of the model matrix is needed.
_O3duVertex crossing(const _O3duVertex& look, const _O3duVertex& first, const _O3duVertex& second, double t) {
    _O3duVertex v = look;
    v.position = lerp(first.position, second.position, t);
    v.tex.x = first.tex.x + t * (second.tex.x - first.tex.x);
    v.tex.y = first.tex.y + t * (second.tex.y - first.tex.y);
    return v;
}

// Model space into the plane frame: the model matrix first, then the frame of the plane at p0.
OfuMatrix4x4 model_to_plane(const OfuPlane& plane, const OfuVector3& p0, const OfuMatrix4x4& model) {
    OfuMatrix4x4 frame;
    MakePlaneToXYMatrix(OfuVector3(plane.a, plane.b, plane.c), p0, frame);
    OfuMatrix4x4 m = model;
    MultiplyMatrix4x4(m, frame);
    return m;
}

// An inverse for carrying points. Placements that shrink to a few hundredths fall under the inverse's fixed
// determinant floor; a point does not mind a scaled matrix (the divide by w takes the factor out), so such a
// matrix is scaled to determinant 1 first.
bool inverse_for_points(const OfuMatrix4x4& m, OfuMatrix4x4& out) {
    if (InverseMatrix4x4(m, out)) return true;
    const double det = DeterminantMatrix4x4(m);
    if (!std::isfinite(det) || det == 0.0) return false;
    const double s = std::pow(std::fabs(det), -0.25);
    OfuMatrix4x4 scaled;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) scaled[r][c] = m[r][c] * s;
    return InverseMatrix4x4(scaled, out) == 1;
}

// Kept pieces are gathered in a vector, which grows by doubling, and handed to the list in one piece: adding
// to the list one vertex at a time would copy it again every thousand vertices.
void replace_vertices(CO3duVertexList& list, const std::vector<_O3duVertex>& kept) {
    list.SetSize(0);
    list.SetSize(static_cast<int>(kept.size()));
    for (size_t i = 0; i < kept.size(); ++i) list[static_cast<int>(i)] = kept[i];
}

void widen(OfuVector2& minimum, OfuVector2& maximum, const OfuVector3& p) {
    if (p.x < minimum.x) minimum.x = p.x;
    if (p.y < minimum.y) minimum.y = p.y;
    if (p.x > maximum.x) maximum.x = p.x;
    if (p.y > maximum.y) maximum.y = p.y;
}

// Carries the cap, built in the plane frame, into the primitive's model space beside the clipped sets.
// Positions go back through the frame and the model matrix; normals, being normals of a plane, go through
// the model matrix's own linear part, which is the inverse's transpose.
bool carry_cap(CO3duTrianglePolys& cap, const OfuPlane& plane, const OfuVector3& p0, const OfuMatrix4x4& model) {
    OfuMatrix4x4 frame, from_frame, from_world;
    MakePlaneToXYMatrix(OfuVector3(plane.a, plane.b, plane.c), p0, frame);
    if (!InverseMatrix4x4(frame, from_frame) || !inverse_for_points(model, from_world)) return false;
    const OfuMatrix4x4 turn = rotation_part(from_frame);
    OfuMatrix4x4 back = from_frame;
    MultiplyMatrix4x4(back, from_world);
    for (int i = 0; i < cap.vertices.GetSize(); ++i) {
        _O3duVertex& v = cap.vertices[i];
        TransformPointByMatrix4x4(back, v.position);
        OfuVector3 n = carried(turn, v.normal);
        v.normal = OfuVector3(model[0][0] * n.x + model[0][1] * n.y + model[0][2] * n.z,
                              model[1][0] * n.x + model[1][1] * n.y + model[1][2] * n.z,
                              model[2][0] * n.x + model[2][1] * n.y + model[2][2] * n.z);
        NormalizeVector3(v.normal);
    }
    return true;
}

}  // namespace

OfuPlane CO3duMathPrimitive::PlaneFromThreePoints(const OfuVector3& p0, const OfuVector3& p1, const OfuVector3& p2) {
    OfuVector3 n = cross(p2 - p1, p0 - p1);
    NormalizeVector3(n);
    OfuPlane plane;
    plane.a = n.x;
    plane.b = n.y;
    plane.c = n.z;
    plane.d = -(n.x * p0.x + n.y * p0.y + n.z * p0.z);
    return plane;
}

int CO3duMathPrimitive::GetLineCutType(const _O3duVertex& v0, const _O3duVertex& v1, const OfuMatrix4x4& to_plane,
                                       _O3duVertex& out0) {
    const double z0 = carried(to_plane, v0.position).z, z1 = carried(to_plane, v1.position).z;
    if (z0 >= 0.0 && z1 >= 0.0) return 0;
    if (z0 < 0.0 && z1 < 0.0) return 1;
    out0 = crossing(v0, v0, v1, z0 / (z0 - z1));
    return z0 < 0.0 ? 2 : 3;
}

void CO3duMathPrimitive::CutLinelistPlane(CO3duVertexList& vertices, const OfuPlane& plane, const OfuVector3& p0,
                                          const OfuMatrix4x4& model) {
    const OfuMatrix4x4 to_plane = model_to_plane(plane, p0, model);
    std::vector<_O3duVertex> kept;
    for (int i = 0; i + 1 < vertices.GetSize(); i += 2) {
        const _O3duVertex& v0 = vertices[i];
        const _O3duVertex& v1 = vertices[i + 1];
        _O3duVertex x;
        switch (GetLineCutType(v0, v1, to_plane, x)) {
        case 0: kept.insert(kept.end(), {v0, v1}); break;
        case 2: kept.insert(kept.end(), {x, v1}); break;
        case 3: kept.insert(kept.end(), {v0, x}); break;
        default: break;
        }
    }
    replace_vertices(vertices, kept);
}

void CO3duMathPrimitive::CutLinestripPlane(CO3duVertexList& vertices, const OfuPlane& plane, const OfuVector3& p0,
                                           const OfuMatrix4x4& model) {
    // Taken apart into its segments, the strip is cut as a list.
    CO3duVertexList segments;
    const int n = vertices.GetSize();
    if (n >= 2) segments.SetSize(2 * (n - 1));
    for (int i = 0; i + 1 < n; ++i) {
        segments[2 * i] = vertices[i];
        segments[2 * i + 1] = vertices[i + 1];
    }
    CutLinelistPlane(segments, plane, p0, model);
    vertices = std::move(segments);
}

int CO3duMathPrimitive::GetTrialgleCutType(const _O3duVertex& a, const _O3duVertex& b, const _O3duVertex& c,
                                           const OfuMatrix4x4& to_plane, std::vector<_O3duVertex>& kept,
                                           Section& section) {
    const OfuVector3 fa = carried(to_plane, a.position), fb = carried(to_plane, b.position),
                     fc = carried(to_plane, c.position);
    const double za = fa.z, zb = fb.z, zc = fc.z;
    if (za >= -kOnPlane && zb >= -kOnPlane && zc >= -kOnPlane) {
        kept.insert(kept.end(), {a, b, c});
        return 0;
    }
    if (za < 0.0 && zb < 0.0 && zc < 0.0) return 1;

    // The edges a crossing can lie on, each from its first vertex to its second.
    struct Edge {
        const _O3duVertex* first;
        const _O3duVertex* second;
        const OfuVector3* frame_first;
        const OfuVector3* frame_second;
    };
    const Edge cb{&c, &b, &fc, &fb}, ac{&a, &c, &fa, &fc}, ba{&b, &a, &fb, &fa};
    int result;
    const Edge *on_x, *on_y;
    if (zc < 0.0 && za >= 0.0 && zb >= 0.0) {
        result = 2, on_x = &cb, on_y = &ac;
    } else if (zb < 0.0 && za >= 0.0 && zc >= 0.0) {
        result = 3, on_x = &cb, on_y = &ba;
    } else if (za < 0.0 && zb >= 0.0 && zc >= 0.0) {
        result = 4, on_x = &ba, on_y = &ac;
    } else if (zc >= 0.0 && za < 0.0 && zb < 0.0) {
        result = 5, on_x = &cb, on_y = &ac;
    } else if (zb >= 0.0 && za < 0.0 && zc < 0.0) {
        result = 6, on_x = &cb, on_y = &ba;
    } else {
        result = 7, on_x = &ba, on_y = &ac;
    }
    // The two ends of an edge lie on opposite sides, so the share of the edge is well defined.
    const double tx = on_x->frame_first->z / (on_x->frame_first->z - on_x->frame_second->z);
    const double ty = on_y->frame_first->z / (on_y->frame_first->z - on_y->frame_second->z);
    const _O3duVertex x = crossing(c, *on_x->first, *on_x->second, tx);
    const _O3duVertex y = crossing(b, *on_y->first, *on_y->second, ty);

    const OfuVector3 sx = lerp(*on_x->frame_first, *on_x->frame_second, tx);
    const OfuVector3 sy = lerp(*on_y->frame_first, *on_y->frame_second, ty);
    if (section.starts.GetSize() == 0) {
        section.minimum = OfuVector2(sx.x, sx.y);
        section.maximum = section.minimum;
    }
    // The extent covers the ends as well as the starts, so that no section point falls outside the cap raster.
    widen(section.minimum, section.maximum, sx);
    widen(section.minimum, section.maximum, sy);
    section.starts.Add(sx);
    section.ends.Add(sy);

    auto keep = [&kept](const _O3duVertex& p, const _O3duVertex& q, const _O3duVertex& r) {
        kept.insert(kept.end(), {p, q, r});
    };
    switch (result) {
    case 2:
        keep(x, a, b);
        keep(y, a, x);
        break;
    case 3:
        keep(a, y, x);
        keep(c, a, x);
        break;
    case 4:
        keep(c, y, b);
        keep(b, y, x);
        break;
    case 5: keep(c, y, x); break;
    case 6: keep(b, x, y); break;
    default: keep(a, x, y); break;
    }
    return result;
}

void CO3duMathPrimitive::cut_triangles(CO3duVertexList& vertices, const int* corners, int count, const OfuPlane& plane,
                                       const OfuVector3& p0, const OfuMatrix4x4& model, Section& section) {
    const OfuMatrix4x4 to_plane = model_to_plane(plane, p0, model);
    std::vector<_O3duVertex> kept;
    kept.reserve(static_cast<size_t>(count));
    for (int t = 0; t + 2 < count; t += 3)
        GetTrialgleCutType(vertices[corners[t]], vertices[corners[t + 1]], vertices[corners[t + 2]], to_plane, kept,
                           section);
    replace_vertices(vertices, kept);
}

void CO3duMathPrimitive::CutTriListPlane(CO3duVertexList& vertices, const OfuPlane& plane, const OfuVector3& p0,
                                         const OfuMatrix4x4& model, Section& section) {
    std::vector<int> corners(static_cast<size_t>(vertices.GetSize() / 3 * 3));
    for (size_t i = 0; i < corners.size(); ++i) corners[i] = static_cast<int>(i);
    cut_triangles(vertices, corners.data(), static_cast<int>(corners.size()), plane, p0, model, section);
}

void CO3duMathPrimitive::CutTriStripToPlane(CO3duVertexList& vertices, const OfuPlane& plane, const OfuVector3& p0,
                                            const OfuMatrix4x4& model, Section& section) {
    // Every other strip triangle is drawn with its first two corners swapped; the cut keeps that winding.
    std::vector<int> corners;
    for (int k = 0; k + 2 < vertices.GetSize(); ++k) {
        if (k % 2 == 0)
            corners.insert(corners.end(), {k, k + 1, k + 2});
        else
            corners.insert(corners.end(), {k + 1, k, k + 2});
    }
    cut_triangles(vertices, corners.data(), static_cast<int>(corners.size()), plane, p0, model, section);
}

void CO3duMathPrimitive::CutTriFanPlane(CO3duVertexList& vertices, const OfuPlane& plane, const OfuVector3& p0,
                                        const OfuMatrix4x4& model, Section& section) {
    std::vector<int> corners;
    for (int k = 1; k + 1 < vertices.GetSize(); ++k) corners.insert(corners.end(), {0, k, k + 1});
    cut_triangles(vertices, corners.data(), static_cast<int>(corners.size()), plane, p0, model, section);
}

void CO3duMathPrimitive::CutTriIndexPlane(CO3duVertexList& vertices, CO3duVertexIndexList& indices,
                                          const OfuPlane& plane, const OfuVector3& p0, const OfuMatrix4x4& model,
                                          Section& section) {
    // An index outside the vertex list names no vertex: its triangle is dropped rather than read.
    const int n = vertices.GetSize();
    std::vector<int> corners;
    for (int t = 0; t < indices.GetSize(); ++t) {
        const _O3duVertexIndex& f = indices[t];
        if (f.a < 0 || f.a >= n || f.b < 0 || f.b >= n || f.c < 0 || f.c >= n) continue;
        corners.insert(corners.end(), {f.a, f.b, f.c});
    }
    cut_triangles(vertices, corners.data(), static_cast<int>(corners.size()), plane, p0, model, section);
    indices.RemoveAll();
}

void CO3duMathPrimitive::CutPrimitiveToPlane(CO3duPrimitive& primitive, const OfuVector3* points, _OfuMaterial material,
                                             int texture_number, double texture_width, double texture_height) {
    if (!points) return;
    const OfuPlane plane = PlaneFromThreePoints(points[0], points[1], points[2]);
    const OfuVector3& p0 = points[0];
    const OfuMatrix4x4& model = primitive.model_matrix;
    CO3duPoint3List starts, ends;
    OfuVector2 minimum, maximum;
    Section section{starts, ends, minimum, maximum};

    const int count = primitive.sets.GetSize();
    for (int i = 0; i < count; ++i) {
        CO3duTrianglePolys& set = primitive.sets[i];
        switch (set.type) {
        case O3DU_SET_LINE_LIST: CutLinelistPlane(set.vertices, plane, p0, model); break;
        case O3DU_SET_LINE_STRIP: CutLinestripPlane(set.vertices, plane, p0, model); break;
        case O3DU_SET_TRIANGLE_LIST: CutTriListPlane(set.vertices, plane, p0, model, section); break;
        case O3DU_SET_TRIANGLE_STRIP: CutTriStripToPlane(set.vertices, plane, p0, model, section); break;
        case O3DU_SET_TRIANGLE_FAN: CutTriFanPlane(set.vertices, plane, p0, model, section); break;
        case O3DU_SET_INDEXED_TRIANGLES: CutTriIndexPlane(set.vertices, set.indices, plane, p0, model, section); break;
        default: continue;
        }
        set.type = set.type <= O3DU_SET_LINE_STRIP ? O3DU_SET_LINE_LIST : O3DU_SET_TRIANGLE_LIST;
    }

    append_set(primitive.sets);
    const int last = primitive.sets.GetSize() - 1;
    Make2DEdgeToPolygon(starts, ends, minimum, maximum, &primitive.sets[last], material, texture_number, texture_width,
                        texture_height);
    // A model matrix without an inverse leaves nowhere to put the cap.
    if (primitive.sets[last].vertices.GetSize() == 0 || !carry_cap(primitive.sets[last], plane, p0, model))
        primitive.sets.RemoveAt(last);
}
