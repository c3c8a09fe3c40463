// Extrusions, holed extrusions and plane-cut columns: closed surfaces of the analytic volume, and their forms.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>

#include "geometry/extruded_to_primitive.h"
#include "geometry/finite_column_to_primitive.h"
#include "geometry/hole_polygon_to_primitive.h"
#include "geometry/shape_to_primitive.h"
#include "mesh_oracles.h"
#include "outline_samples.h"
#include "support/all_near.h"

namespace kz::test {
namespace {

void fill(COfuPolygon& polygon, const std::vector<OfuVector3>& outline, const OfuVector3& shift = {}) {
    polygon.points.SetSize(0);
    for (const OfuVector3& p : outline) polygon.points.Add(p + shift);
}

struct PrismCase {
    std::string name;
    std::vector<OfuVector3> outline;
    OfuVector3 shift;  // top = bottom + shift; the volume is area * shift.z whatever the slant
};

std::vector<PrismCase> prism_cases() {
    return {
        {"square", {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {0, 0, 2}},
        {"square clockwise", reversed({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}), {0, 0, 2}},
        {"square downwards", {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {0, 0, -3}},
        {"slanted L", l_shape(), {0.5, -0.25, 1.5}},
        {"comb", comb(6), {0, 0, 0.7}},
        {"star", star(24, 3.0, 1.0), {1, 1, 4}},
        {"random star", random_star(60, 5), {0, 0, 1}},
    };
}

TEST(ExtrusionConverter, ClosedWithTheAnalyticVolume) {
    unsigned seed = 500;
    for (const PrismCase& c : prism_cases()) {
        const double want = std::fabs(shoelace(c.outline) * c.shift.z);
        const OfuMatrix4x4 m = random_placement(seed++);
        COfuShape shape;
        auto* piece = new COfuExtruded();
        fill(piece->bottom, placed(c.outline, m));
        fill(piece->top, placed(c.outline, m));
        // The shift is placed as a direction, so the rigid motion leaves the volume alone.
        OfuVector3 shift = c.shift;
        TransformPointByMatrix4x4(rotation_part(m), shift);
        for (int i = 0; i < piece->top.points.GetSize(); ++i) piece->top.points[i] = piece->top.points[i] + shift;
        piece->bottom_cap = piece->top_cap = 1;
        shape.AddTail(piece);
        CO3duPrimitive primitive;
        CO3duShapeToPrimitive::ConvertShape(shape, primitive, 0, 1);
        ASSERT_EQ(primitive.sets.GetSize(), 3) << c.name;
        EXPECT_EQ(primitive.sets[0].type, O3DU_SET_TRIANGLE_STRIP);
        EXPECT_EQ(primitive.sets[0].vertices.GetSize(), 4 * static_cast<int>(c.outline.size()));
        const std::vector<Triangle> triangles = drawn_triangles(primitive.sets);
        const Closedness closed = check_closed(triangles);
        EXPECT_EQ(closed.unmatched_edges, 0) << c.name;
        EXPECT_NEAR(enclosed_volume(triangles), want, 1e-9 * want) << c.name;  // positive: normals point out
    }
}

TEST(ExtrusionConverter, ClockwiseOutlinesAreReversedInThePiece) {
    COfuExtruded piece;
    const std::vector<OfuVector3> cw = reversed({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
    fill(piece.bottom, cw);
    fill(piece.top, cw, {0, 0, 1});
    CO3duPolygonList list;
    CO3duExtrudedToPrimitive::ConvertExtruded(&piece, list, 0, 1);
    ASSERT_EQ(list.GetSize(), 1);  // no cap flags
    // Reversed behind the first point: (0,1) (1,1) (1,0) (0,0) becomes (0,1) (0,0) (1,0) (1,1).
    const double want_x[] = {0, 0, 1, 1}, want_y[] = {1, 0, 0, 1};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(std::tuple(piece.bottom.points[i].x, piece.bottom.points[i].y, piece.top.points[i].y),
                  std::tuple(want_x[i], want_y[i], want_y[i]));
    // Side normals point out of the square.
    for (int v = 0; v < list[0].vertices.GetSize(); ++v) {
        const _O3duVertex& x = list[0].vertices[v];
        EXPECT_GT(dot(x.normal, x.position - OfuVector3(0.5, 0.5, x.position.z)), 0.0);
    }
}

TEST(ExtrusionConverter, RefusesUnequalOrTooSmallOutlines) {
    struct Case {
        int bottom, top;
    };
    for (const Case c : {Case{4, 5}, Case{2, 2}, Case{0, 0}}) {
        COfuExtruded piece;
        piece.bottom.points.SetSize(c.bottom);
        piece.top.points.SetSize(c.top);
        piece.bottom_cap = piece.top_cap = 1;
        for (int solid = 0; solid <= 1; ++solid) {
            CO3duPolygonList list;
            CO3duExtrudedToPrimitive::ConvertExtruded(&piece, list, 0, solid);
            if (c.bottom != c.top || solid == 1) {
                EXPECT_EQ(list.GetSize(), 0) << c.bottom << "/" << c.top;
            }
        }
    }
}

TEST(ExtrusionConverter, WireFormHasSideEdgesAndTwoOutlines) {
    COfuExtruded piece;
    fill(piece.bottom, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
    fill(piece.top, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {0, 0, 1});
    CO3duPolygonList list;
    CO3duExtrudedToPrimitive::ConvertExtruded(&piece, list, 0, 0);
    ASSERT_EQ(list.GetSize(), 6);
    for (int s = 0; s < 4; ++s) {
        EXPECT_EQ(list[s].type, O3DU_SET_LINE_LIST);
        ASSERT_EQ(list[s].vertices.GetSize(), 4);
        // The two vertical edges of side s: top[s], bottom[s], then top[s+1], bottom[s+1].
        const int k = (s + 1) % 4;
        const OfuVector3* want[4] = {&piece.top.points[s], &piece.bottom.points[s], &piece.top.points[k],
                                     &piece.bottom.points[k]};
        for (int v = 0; v < 4; ++v)
            EXPECT_EQ(std::tuple(list[s].vertices[v].position.x, list[s].vertices[v].position.y,
                                 list[s].vertices[v].position.z),
                      std::tuple(want[v]->x, want[v]->y, want[v]->z));
        for (int v = 0; v < 4; ++v) {
            // Every corner's normal is the outward normal of its side.
            const OfuVector3 n = list[s].vertices[v].normal;
            EXPECT_NEAR(length(n), 1.0, 1e-12);
            const OfuVector3 mid = list[s].vertices[0].position + list[s].vertices[3].position;
            EXPECT_GT(dot(n, OfuVector3(mid.x / 2 - 0.5, mid.y / 2 - 0.5, 0)), 0.0) << s << " " << v;
        }
    }
    for (int s = 4; s < 6; ++s)
        EXPECT_EQ(std::tuple(list[s].type, list[s].vertices.GetSize()), std::tuple(O3DU_SET_LINE_STRIP, 5));
}

OfuPlane plane_through(double a, double b, double c, double d) {
    const double l = std::sqrt(a * a + b * b + c * c);
    return {a / l, b / l, c / l, d / l};
}

TEST(FiniteColumnConverter, ClosedWithTheVolumeBetweenItsPlanes) {
    // Section anywhere along the axis; bottom z = 0.1x + 0.2y - 1, top z = -0.3x + 0.1y + 5.
    for (const auto& outline : {std::vector<OfuVector3>{{0, 0, 7}, {2, 0, 7}, {2, 1, 7}, {0, 1, 7}},
                                reversed(placed(l_shape(), identity_matrix())), star(10, 2.0, 0.8)}) {
        COfuFiniteColumn column;
        fill(column.section, outline);
        column.axis = OfuVector3(0, 0, 1);
        column.bottom_plane = plane_through(0.1, 0.2, -1, -1);
        column.top_plane = plane_through(-0.3, 0.1, -1, 5);
        // The height is linear over the section, so the mean height is the height at the area centroid.
        double area = 0.0, mx = 0.0, my = 0.0;
        for (size_t i = 0; i < outline.size(); ++i) {
            const OfuVector3& p = outline[i];
            const OfuVector3& q = outline[(i + 1) % outline.size()];
            const double k = p.x * q.y - q.x * p.y;
            area += k / 2;
            mx += (p.x + q.x) * k / 6;
            my += (p.y + q.y) * k / 6;
        }
        const double cx = mx / area, cy = my / area;
        const double want = std::fabs(area) * ((-0.3 * cx + 0.1 * cy + 5) - (0.1 * cx + 0.2 * cy - 1));
        CO3duPolygonList list;
        CO3duShapeToPrimitive::ConvertGeometry(&column, list, 0, 1);
        ASSERT_EQ(list.GetSize(), 3);
        const std::vector<Triangle> triangles = drawn_triangles(list);
        EXPECT_EQ(check_closed(triangles).unmatched_edges, 0);
        EXPECT_NEAR(enclosed_volume(triangles), want, 1e-9 * want);
        CO3duPolygonList wire;
        CO3duShapeToPrimitive::ConvertGeometry(&column, wire, 0, 0);
        EXPECT_EQ(wire.GetSize(), static_cast<int>(outline.size()) + 2);
    }
    COfuFiniteColumn wrong;
    wrong.section.kind = 5;
    wrong.section.points.SetSize(4);
    CO3duPolygonList list;
    CO3duFiniteColumnToPrimitive::ConvertFiniteColumn(&wrong, list, 0, 1);
    EXPECT_EQ(list.GetSize(), 0);
}

TEST(FiniteColumnConverter, IntersectLinePlane) {
    struct Case {
        OfuPlane plane;
        OfuVector3 q, v;
        int result;
        OfuVector3 hit;
    };
    const Case cases[] = {
        {{0, 0, 1, -2}, {1, 1, 0}, {0, 0, 1}, 1, {1, 1, 2}},
        {{1, 0, 0, -3}, {0, 5, 5}, {1, 0, 0}, 1, {3, 5, 5}},
        {{0, 1, 0, 4}, {1, 0, 1}, {0, 2, 0}, 1, {1, -4, 1}},
        {{0, 0, 1, -2}, {1, 1, 0}, {1, 0, 0}, 0, {9, 9, 9}},  // parallel
        {{0, 0, 0, 1}, {1, 1, 0}, {0, 0, 1}, 0, {9, 9, 9}},   // no plane
    };
    for (const Case& c : cases) {
        OfuVector3 hit(9, 9, 9);
        EXPECT_EQ(IntersectLinePlane(c.plane, c.q, c.v, 1e-5, hit), c.result);
        EXPECT_TRUE(kz::test::all_near({hit.x, hit.y, hit.z}, {c.hit.x, c.hit.y, c.hit.z}, 1e-12));
    }
}

COfuPolygon loop(const std::vector<OfuVector3>& outline, const OfuVector3& shift = {}) {
    std::vector<OfuVector3> moved;
    for (const OfuVector3& p : outline) moved.push_back(p + shift);
    return polygon_of(moved);
}

TEST(HoleExtrusionConverter, ClosedWithTheAnalyticVolume) {
    struct Case {
        std::string name;
        std::vector<OfuVector3> outer;
        std::vector<std::vector<OfuVector3>> holes;
        double height;
    };
    const std::vector<Case> cases = {
        {"square ring",
         {{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}},
         {{{1, 1, 0}, {3, 1, 0}, {3, 3, 0}, {1, 3, 0}}},
         2},
        {"two holes, one clockwise",
         regular_polygon(24, 5.0),
         {regular_polygon(8, 1.0, -2, 0), reversed(regular_polygon(6, 1.0, 2, 1))},
         1.5},
        {"star with holes",
         star(30, 6.0, 4.0),
         {regular_polygon(12, 1.0, 1.5, 0), regular_polygon(5, 0.8, -1.5, -1)},
         3},
    };
    unsigned seed = 900;
    for (const Case& c : cases) {
        double want = std::fabs(shoelace(c.outer));
        for (const auto& h : c.holes) want -= std::fabs(shoelace(h));
        want *= c.height;
        const OfuMatrix4x4 m = random_placement(seed++);
        OfuVector3 up(0, 0, c.height);
        TransformPointByMatrix4x4(rotation_part(m), up);
        COfuHoleExtruded piece;
        fill(piece.bottom, placed(c.outer, m));
        fill(piece.top, placed(c.outer, m), up);
        for (const auto& h : c.holes) {
            piece.bottom.holes.Add(loop(placed(h, m)));
            piece.top.holes.Add(loop(placed(h, m), up));
        }
        piece.bottom_cap = piece.top_cap = 1;
        CO3duPolygonList list;
        CO3duShapeToPrimitive::ConvertGeometry(&piece, list, 0, 1);
        ASSERT_EQ(list.GetSize(), 1 + static_cast<int>(c.holes.size()) + 2) << c.name;
        const std::vector<Triangle> triangles = drawn_triangles(list);
        EXPECT_EQ(check_closed(triangles).unmatched_edges, 0) << c.name;
        EXPECT_NEAR(enclosed_volume(triangles), want, 1e-9 * want) << c.name;
    }
}

TEST(HoleExtrusionConverter, UnequalHolePairGetsNoWall) {
    COfuHoleExtruded piece;
    const std::vector<OfuVector3> square = {{0, 0, 0}, {9, 0, 0}, {9, 9, 0}, {0, 9, 0}};
    fill(piece.bottom, square);
    fill(piece.top, square, {0, 0, 1});
    piece.bottom.holes.Add(loop(regular_polygon(4, 1.0, 3, 3)));
    piece.top.holes.Add(loop(regular_polygon(4, 1.0, 3, 3), {0, 0, 1}));
    piece.bottom.holes.Add(loop(regular_polygon(4, 1.0, 6, 6)));
    piece.top.holes.Add(loop(regular_polygon(5, 1.0, 6, 6), {0, 0, 1}));
    CO3duPolygonList solid, wire;
    CO3duHoleExtrudedToPrimitive::ConvertHoleExtruded(&piece, solid, 0, 1);
    EXPECT_EQ(solid.GetSize(), 2);  // outer wall and the first hole's
    CO3duHoleExtrudedToPrimitive::ConvertHoleExtruded(&piece, wire, 0, 0);
    EXPECT_EQ(wire.GetSize(), (4 + 2) + (4 + 2));
    // Hole walls face into the hole.
    for (int v = 0; v < solid[1].vertices.GetSize(); ++v) {
        const _O3duVertex& x = solid[1].vertices[v];
        EXPECT_LT(dot(x.normal, x.position - OfuVector3(3, 3, x.position.z)), 0.0);
    }
}

}  // namespace
}  // namespace kz::test
