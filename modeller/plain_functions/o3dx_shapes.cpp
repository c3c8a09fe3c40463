// The plain-function interface's shape builders: extrusions of an outline (with or without holes) placed between
// two points, and flat polygons with holes, each converted and added as one shape.
#include <cmath>
#include <memory>

#include "geometry/geometry_elements.h"
#include "geometry/math_primitive.h"
#include "geometry/shape.h"
#include "modeller/plain_functions/o3dx_table.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// The frame that stands a profile drawn in the xy plane between two points: its z axis along the way from start
// to end, its x axis horizontal and its y axis upward. False (nothing placed) when the points coincide.
struct ExtrusionFrame {
    bool placed = false;
    OfuVector3 direction;
    OfuMatrix4x4 bottom;
    OfuMatrix4x4 top;
};

OfuMatrix4x4 translation(const double* p) {
    OfuMatrix4x4 t = identity_matrix();
    t[3][0] = p[0];
    t[3][1] = p[1];
    t[3][2] = p[2];
    return t;
}

ExtrusionFrame extrusion_frame(const double* start, const double* end) {
    ExtrusionFrame f;
    OfuVector3 u(end[0] - start[0], end[1] - start[1], end[2] - start[2]);
    if (length(u) < 1e-5) return f;
    NormalizeVector3(u);
    double elevation = 0.0, azimuth = 0.0;
    const bool vertical = DirectionToAngles(u, elevation, azimuth) == 2;
    OfuMatrix4x4 r = identity_matrix(), step;
    if (!vertical) MakeRotateZMatrix(r, kPi / 2);
    MakeRotateYMatrix(step, kPi / 2 - elevation);
    MultiplyMatrix4x4(r, step);
    MakeRotateZMatrix(step, vertical ? 0.0 : azimuth);
    MultiplyMatrix4x4(r, step);
    f.placed = true;
    f.direction = u;
    f.bottom = r;
    MultiplyMatrix4x4(f.bottom, translation(start));
    f.top = r;
    MultiplyMatrix4x4(f.top, translation(end));
    return f;
}

void place(COfuPoint3Array& points, const OfuMatrix4x4& m) {
    for (int i = 0; i < points.GetSize(); ++i) TransformPointByMatrix4x4(m, points[i]);
}

// An outline of `count` (x, y) pairs in the profile plane, closed by repeating its first point when asked.
void outline_from_pairs(COfuPoint3Array& points, const double* xy, int count, bool closed) {
    points.SetSize(count + (closed && count > 0 ? 1 : 0));
    for (int i = 0; i < count; ++i) points[i] = OfuVector3(xy[2 * i], xy[2 * i + 1], 0.0);
    if (closed && count > 0) points[count] = points[0];
}

_OfuMaterial side_material() {
    return CO3duMathPrimitive::MakeMaterialFromColor({0.8f, 0.8f, 0.8f, 1.0f}, 0.2, 0.8, 0.5, 120);
}
_OfuMaterial cap_material() {
    return CO3duMathPrimitive::MakeMaterialFromColor({0.9f, 0.9f, 0.9f, 1.0f}, 0.3, 1.0, 0.8, 200);
}

// Converts the one piece as a solid and adds it; the shape goes with the piece afterwards.
template <class Piece>
_OfuPosition* add_piece(CO3duGLModelar& m, std::unique_ptr<Piece> piece) {
    COfuShape shape;
    shape.AddTail(piece.release());
    return m.AddShape(shape, 0, 1);
}

// Counts of every loop, none negative and the first at least one; their sum, or -1.
long long loop_points(const O3DXLONG* counts, O3DXLONG loops) {
    if (!counts || loops < 1 || counts[0] < 1) return -1;
    long long total = 0;
    for (O3DXLONG k = 0; k < loops; ++k) {
        if (counts[k] < 0) return -1;
        total += counts[k];
    }
    return total;
}

}  // namespace

_OfuPosition* O3dxAddExtruded(O3DXLONG& h, double* xy, O3DXLONG& n, double* start, double* end) {
    CO3duGLModelar* m = o3dx_modeller(h);
    if (!m || !xy || !start || !end || n < 1) return nullptr;
    auto piece = std::make_unique<COfuExtruded>();
    piece->bottom_cap = piece->top_cap = 1;
    outline_from_pairs(piece->bottom.points, xy, n, false);
    piece->top.points = piece->bottom.points;
    const ExtrusionFrame frame = extrusion_frame(start, end);
    if (frame.placed) {
        piece->side_texture_direction = frame.direction;
        place(piece->bottom.points, frame.bottom);
        place(piece->top.points, frame.top);
    }
    piece->material = side_material();
    piece->bottom.material = piece->top.material = cap_material();
    return add_piece(*m, std::move(piece));
}

_OfuPosition* O3dxAddHoleExtruded(O3DXLONG& h, double* xy, O3DXLONG* counts, O3DXLONG& loops, double* start,
                                  double* end) {
    CO3duGLModelar* m = o3dx_modeller(h);
    if (!m || !xy || !start || !end || loop_points(counts, loops) < 0) return nullptr;
    auto piece = std::make_unique<COfuHoleExtruded>();
    piece->bottom_cap = piece->top_cap = 1;
    outline_from_pairs(piece->bottom.points, xy, counts[0], true);
    const double* next = xy + 2 * counts[0];
    piece->bottom.holes.SetSize(loops - 1);
    for (O3DXLONG k = 1; k < loops; ++k) {
        outline_from_pairs(piece->bottom.holes[k - 1].points, next, counts[k], true);
        next += 2 * counts[k];
    }
    piece->top = piece->bottom;
    const ExtrusionFrame frame = extrusion_frame(start, end);
    if (frame.placed) {
        piece->side_texture_direction = frame.direction;
        place(piece->bottom.points, frame.bottom);
        place(piece->top.points, frame.top);
        for (int k = 0; k < piece->bottom.holes.GetSize(); ++k) {
            place(piece->bottom.holes[k].points, frame.bottom);
            place(piece->top.holes[k].points, frame.top);
        }
    }
    piece->material = side_material();
    piece->bottom.material = piece->top.material = cap_material();
    return add_piece(*m, std::move(piece));
}

_OfuPosition* O3dxAddPolyPolygon(O3DXLONG& h, double* xyz, O3DXLONG* counts, O3DXLONG loops) {
    CO3duGLModelar* m = o3dx_modeller(h);
    if (!m || !xyz || loop_points(counts, loops) < 0) return nullptr;
    auto piece = std::make_unique<COfuHolePolygon>();
    const double* next = xyz;
    auto take = [&next](COfuPoint3Array& points, int count, bool closed) {
        points.SetSize(count + (closed ? 1 : 0));
        for (int i = 0; i < count; ++i, next += 3) points[i] = OfuVector3(next[0], next[1], next[2]);
        if (closed) points[count] = points[0];
    };
    take(piece->points, counts[0], true);
    piece->holes.SetSize(loops - 1);
    for (O3DXLONG k = 1; k < loops; ++k) take(piece->holes[k - 1].points, counts[k], false);
    return add_piece(*m, std::move(piece));
}
