// Holed faces: where every loop edge is present the triangle areas add up to the outline minus its holes; cases
// where the mesher leaves an edge out are reported, not hidden.
#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <random>
#include <string>
#include <tuple>

#include "geometry/hole_mesh.h"
#include "geometry/hole_polygon_to_primitive.h"
#include "mesh_oracles.h"
#include "outline_samples.h"
#include "support/all_near.h"

namespace kz::test {
namespace {

COfuHolePolygon holed(const std::vector<OfuVector3>& outer, const std::vector<std::vector<OfuVector3>>& holes) {
    COfuHolePolygon p;
    for (const OfuVector3& q : outer) p.points.Add(q);
    for (const auto& h : holes) p.holes.Add(polygon_of(h));
    return p;
}

// Whether the triangles' edges lying along the segment a-b cover all of it (midpoints may split it).
bool segment_covered(const OfuVector3& a, const OfuVector3& b, const std::vector<Triangle>& triangles) {
    const OfuVector3 d = b - a;
    const double len2 = dot(d, d);
    if (len2 <= 1e-10) return true;
    std::vector<std::pair<double, double>> spans;
    auto param = [&](const OfuVector3& p, double& s) {
        const OfuVector3 w = p - a;
        s = dot(w, d) / len2;
        const OfuVector3 off = w - OfuVector3(d.x * s, d.y * s, d.z * s);
        return dot(off, off) < 1e-16 * (1 + len2);
    };
    for (const Triangle& t : triangles)
        for (int k = 0; k < 3; ++k) {
            double s0, s1;
            if (param(t[k], s0) && param(t[(k + 1) % 3], s1)) spans.emplace_back(std::min(s0, s1), std::max(s0, s1));
        }
    std::sort(spans.begin(), spans.end());
    double reach = 0.0;
    for (const auto& [lo, hi] : spans) {
        if (lo > reach + 1e-9) break;
        reach = std::max(reach, hi);
    }
    return reach >= 1.0 - 1e-9;
}

bool all_loop_edges_present(const COfuHolePolygon& p, const std::vector<Triangle>& triangles) {
    auto loop_ok = [&](const COfuPoint3Array& pts) {
        for (int i = 0; i < pts.GetSize(); ++i)
            if (!segment_covered(pts[i], pts[(i + 1) % pts.GetSize()], triangles)) return false;
        return true;
    };
    if (!loop_ok(p.points)) return false;
    for (int h = 0; h < p.holes.GetSize(); ++h)
        if (!loop_ok(p.holes[h].points)) return false;
    return true;
}

struct HoledCase {
    std::string name;
    std::vector<OfuVector3> outer;
    std::vector<std::vector<OfuVector3>> holes;
};

std::vector<HoledCase> holed_cases() {
    std::vector<OfuVector3> closed_square = {{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}, {0, 0, 0}};
    std::vector<HoledCase> cases = {
        {"square ring", {{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}}, {{{1, 1, 0}, {3, 1, 0}, {3, 3, 0}, {1, 3, 0}}}},
        {"no holes, concave", l_shape(), {}},
        {"comb, no holes", comb(8), {}},
        {"loops closed by repeating their first point",
         closed_square,
         {{{1, 1, 0}, {2, 1, 0}, {2, 2, 0}, {1, 2, 0}, {1, 1, 0}}}},
        {"two holes", regular_polygon(40, 10.0), {regular_polygon(7, 2.0, -4, 0), regular_polygon(9, 2.5, 4, 1)}},
        {"clockwise outline and hole", reversed(regular_polygon(16, 5.0)), {reversed(regular_polygon(5, 1.0))}},
        {"star with holes", star(40, 8.0, 6.0), {regular_polygon(12, 1.0, 2, 0), regular_polygon(6, 1.5, -2, -2)}},
        {"hole close to the outline",
         {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}},
         {{{0.01, 1, 0}, {5, 1, 0}, {5, 9, 0}, {0.01, 9, 0}}}},
        {"long thin sliver", {{0, 0, 0}, {100, 0, 0}, {100, 0.05, 0}, {50, 0.02, 0}, {0, 0.05, 0}}, {}},
        {"dense circle with a dense hole", regular_polygon(300, 10.0), {regular_polygon(200, 4.0, 1, 0)}},
        {"random star with holes",
         random_star(80, 3, 0.6, 1.0),
         {regular_polygon(6, 0.1, 0.2, 0), regular_polygon(6, 0.1, -0.2, 0.1)}},
    };
    // Straight sides made of many collinear points: the square from lo to hi, a point at every unit.
    const auto ruled = [](int lo, int hi) {
        std::vector<OfuVector3> out;
        for (int i = lo; i < hi; ++i) out.emplace_back(i, lo, 0);
        for (int i = lo; i < hi; ++i) out.emplace_back(hi, i, 0);
        for (int i = hi; i > lo; --i) out.emplace_back(i, hi, 0);
        for (int i = hi; i > lo; --i) out.emplace_back(lo, i, 0);
        return out;
    };
    cases.push_back({"ruled sides", ruled(0, 30), {ruled(10, 20)}});
    cases.push_back(
        {"needle", {{0, 0, 0}, {1, 0, 0}, {1, 0.4, 0}, {200, 0.5, 0}, {1, 0.6, 0}, {1, 1, 0}, {0, 1, 0}}, {}});
    cases.push_back({"hole a hair from the outline",
                     {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}},
                     {{{2e-6, 1, 0}, {5, 1, 0}, {5, 9, 0}, {2e-6, 9, 0}}}});
    cases.push_back({"hole touching an outline corner",
                     {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}},
                     {{{0, 0, 0}, {3, 1, 0}, {1, 3, 0}}}});
    // Many small holes in a grid.
    std::vector<std::vector<OfuVector3>> grid;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) grid.push_back(regular_polygon(4, 0.5, 2.0 * i - 3, 2.0 * j - 3, M_PI / 4));
    cases.push_back({"grid of sixteen holes", regular_polygon(64, 7.0), grid});
    return cases;
}

TEST(HolePolygonConverter, AreaIsOutlineMinusHolesWhereEveryLoopEdgeIsPresent) {
    unsigned seed = 300;
    std::vector<std::string> left_out;
    for (const HoledCase& c : holed_cases()) {
        double want = std::fabs(shoelace(c.outer));
        for (const auto& h : c.holes) want -= std::fabs(shoelace(h));
        const OfuMatrix4x4 m = random_placement(seed++);
        std::vector<std::vector<OfuVector3>> holes;
        for (const auto& h : c.holes) holes.push_back(placed(h, m));
        COfuHolePolygon polygon = holed(placed(c.outer, m), holes);
        OfuMatrix4x4 flat;
        MakePlaneToXYMatrix(placed_normal(m), polygon.points[0], flat);
        std::vector<std::vector<FlatPoint>> flat_holes;
        for (const auto& h : holes) {
            flat_holes.emplace_back();
            for (OfuVector3 q : h) {
                TransformPointByMatrix4x4(flat, q);
                flat_holes.back().push_back({q.x, q.y});
            }
        }
        for (int reverse = 0; reverse <= 1; ++reverse) {
            CO3duPolygonList list;
            CO3duHolePolygonToPrimitive::ConvertHolePolygon(&polygon, list, reverse, 0, 1);
            ASSERT_EQ(list.GetSize(), 1) << c.name;
            const CO3duTrianglePolys& set = list[0];
            ASSERT_EQ(set.type, O3DU_SET_INDEXED_TRIANGLES);
            const OfuVector3 n = set.vertices[0].normal;
            const std::vector<Triangle> triangles = drawn_triangles(set);
            double signed_sum = 0.0, plain_sum = 0.0;
            for (const Triangle& t : triangles) {
                const double a = signed_area(t, n);
                EXPECT_GT(a, -1e-12 * want) << c.name << ": a triangle turned the wrong way";
                signed_sum += a;
                plain_sum += triangle_area(t);
                // No kept triangle has its centroid in a hole.
                OfuVector3 centroid((t[0].x + t[1].x + t[2].x) / 3, (t[0].y + t[1].y + t[2].y) / 3,
                                    (t[0].z + t[1].z + t[2].z) / 3);
                TransformPointByMatrix4x4(flat, centroid);
                for (const std::vector<FlatPoint>& ring : flat_holes)
                    EXPECT_EQ(point_in_loop({centroid.x, centroid.y}, ring.data(), static_cast<int>(ring.size()), 1e-5),
                              0)
                        << c.name;
            }
            // Nothing outside the outline is ever kept, so the covered area can only fall short.
            EXPECT_LE(plain_sum, want * (1 + 1e-9)) << c.name;
            if (!all_loop_edges_present(polygon, triangles)) {
                if (!reverse) left_out.push_back(c.name);
                continue;
            }
            EXPECT_NEAR(signed_sum, want, 1e-9 * want) << c.name << " reverse " << reverse;
            EXPECT_NEAR(plain_sum, want, 1e-9 * want) << c.name << " reverse " << reverse;
            EXPECT_NEAR(std::fabs(dot(n, placed_normal(m))), 1.0, 1e-9);
        }
    }
    for (const std::string& name : left_out) std::cout << "[ note ] a loop edge is left out: " << name << "\n";
    RecordProperty("loop_edges_left_out", static_cast<int>(left_out.size()));
    // Most shapes must come out whole; a mesher that drops edges everywhere is broken, not tolerant.
    EXPECT_LE(left_out.size(), 2u);
}

TEST(HolePolygonConverter, ReverseFlipsNormalAndWinding) {
    COfuHolePolygon polygon =
        holed({{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}}, {{{1, 1, 0}, {3, 1, 0}, {3, 3, 0}, {1, 3, 0}}});
    CO3duPolygonList plain, flipped;
    CO3duHolePolygonToPrimitive::ConvertHolePolygon(&polygon, plain, 0, 0, 1);
    CO3duHolePolygonToPrimitive::ConvertHolePolygon(&polygon, flipped, 1, 0, 1);
    ASSERT_EQ(plain[0].indices.GetSize(), flipped[0].indices.GetSize());
    EXPECT_EQ(std::tuple(plain[0].vertices[0].normal.z, flipped[0].vertices[0].normal.z), std::tuple(1.0, -1.0));
    for (int t = 0; t < plain[0].indices.GetSize(); ++t)
        EXPECT_EQ(std::tuple(plain[0].indices[t].a, plain[0].indices[t].c),
                  std::tuple(flipped[0].indices[t].c, flipped[0].indices[t].a));
}

TEST(HolePolygonConverter, WireFormHasOneClosedStripPerLoop) {
    COfuHolePolygon polygon = holed({{0, 0, 0}, {9, 0, 0}, {9, 9, 0}, {0, 9, 0}},
                                    {regular_polygon(4, 1.0, 3, 3), regular_polygon(4, 1.0, 6, 6), {}});
    CO3duPolygonList list;
    CO3duHolePolygonToPrimitive::ConvertHolePolygon(&polygon, list, 1, 0, 0);
    ASSERT_EQ(list.GetSize(), 3);  // the empty third hole has nothing to close
    for (int s = 0; s < 3; ++s) {
        EXPECT_EQ(list[s].type, O3DU_SET_LINE_STRIP);
        ASSERT_EQ(list[s].vertices.GetSize(), 5);
        EXPECT_EQ(std::tuple(list[s].vertices[4].position.x, list[s].vertices[2].normal.z),
                  std::tuple(list[s].vertices[0].position.x, -1.0));
    }
}

TEST(HolePolygonConverter, HoledFaceTakesItsOwnTextureFrame) {
    COfuHolePolygon polygon = holed({{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}}, {regular_polygon(4, 1.0, 2, 2)});
    polygon.texture_number = 1;
    polygon.texture_width = 4.0;
    polygon.texture_height = 2.0;
    polygon.texture_direction = OfuVector3(0, 1, 0);  // the holed polygon's own pair
    polygon.COfuPolygon::texture_direction = OfuVector3(0, 0, 0);
    CO3duPolygonList list;
    CO3duHolePolygonToPrimitive::ConvertHolePolygon(&polygon, list, 0, 0, 1);
    ASSERT_EQ(list.GetSize(), 1);
    EXPECT_EQ(list[0].material_type, O3DU_MATERIAL_TEXTURE);
    // Vertex 2 is (4, 4): turned a quarter it becomes (-4, 4).
    EXPECT_TRUE(kz::test::all_near({list[0].vertices[2].tex.x, list[0].vertices[2].tex.y}, {-1.0, 2.0}, 1e-9));
}

TEST(HolePolygonConverter, DegenerateLoopsProduceNoFault) {
    const double nan = std::nan("");
    const std::vector<HoledCase> cases = {
        {"empty", {}, {}},
        {"collinear outline", {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, {}},
        {"one point", {{3, 3, 3}}, {{{1, 1, 1}}}},
        {"all points equal", {{1, 1, 0}, {1, 1, 0}, {1, 1, 0}, {1, 1, 0}}, {}},
        {"hole outside", {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {regular_polygon(5, 0.2, 5, 5)}},
        {"hole equal to outline",
         {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}},
         {{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}}},
        {"hole of two points", {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{{0.2, 0.2, 0}, {0.8, 0.8, 0}}}},
        {"NaN in a hole",
         {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}},
         {{{0.2, 0.2, 0}, {nan, 0.3, 0}, {0.3, 0.6, 0}}}},
        {"tiny", {{0, 0, 0}, {1e-6, 0, 0}, {1e-6, 1e-6, 0}, {0, 1e-6, 0}}, {}},
    };
    std::vector<HoledCase> all = cases;
    // A large outline with one bad point: refused at once rather than split pass after pass.
    for (double bad : {nan, double(INFINITY)}) {
        std::vector<OfuVector3> big = regular_polygon(2000, 50.0);
        big[700].y = bad;
        all.push_back({"large with a bad point", big, {regular_polygon(300, 5.0)}});
    }
    for (const HoledCase& c : all) {
        COfuHolePolygon polygon = holed(c.outer, c.holes);
        for (int solid = 0; solid <= 1; ++solid) {
            CO3duPolygonList list;
            CO3duHolePolygonToPrimitive::ConvertHolePolygon(&polygon, list, 0, 0, solid);
            for (int s = 0; s < list.GetSize(); ++s)
                for (int t = 0; t < list[s].indices.GetSize(); ++t) {
                    const _O3duVertexIndex& i = list[s].indices[t];
                    ASSERT_TRUE(i.a >= 0 && i.b >= 0 && i.c >= 0) << c.name;
                    ASSERT_LT(std::max({i.a, i.b, i.c}), list[s].vertices.GetSize()) << c.name;
                }
        }
    }
}

TEST(HoleMesh, PointInLoop) {
    const FlatPoint square[] = {{0, 0}, {2, 0}, {2, 2}, {0, 2}};
    const FlatPoint clockwise[] = {{0, 2}, {2, 2}, {2, 0}, {0, 0}};
    const FlatPoint u_shape[] = {{0, 0}, {3, 0}, {3, 3}, {2, 3}, {2, 1}, {1, 1}, {1, 3}, {0, 3}};
    struct Case {
        const FlatPoint* loop;
        int count;
        FlatPoint p;
        int want;
    };
    const Case cases[] = {
        {square, 4, {1, 1}, 1},        {square, 4, {3, 1}, 0},    {square, 4, {1, 0}, 2},    {square, 4, {2, 2}, 3},
        {square, 4, {2, 2.000001}, 3}, {clockwise, 4, {1, 1}, 1}, {u_shape, 8, {1.5, 2}, 0}, {u_shape, 8, {0.5, 2}, 1},
        {u_shape, 8, {1.5, 0.5}, 1},   {square, 2, {1, 1}, 0},    {square, 4, {-1, 0}, 0},   {square, 4, {1, 2}, 2},
    };
    for (const Case& c : cases) EXPECT_EQ(point_in_loop(c.p, c.loop, c.count, 1e-5), c.want) << c.p.x << "," << c.p.y;
}

TEST(HoleMesh, PointsWithinToleranceOfAnInsertedPointAreMergedIntoIt) {
    // The outline repeats its first point and a hole corner sits 5e-6 from an earlier one.
    COfuHolePolygon polygon = holed({{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}, {0, 0, 0}},
                                    {{{1, 1, 0}, {2, 1, 0}, {2, 2, 0}, {1, 2, 0}, {1.000005, 1, 0}}});
    HoleMesh mesh;
    ASSERT_TRUE(mesh_hole_polygon(polygon, mesh));
    ASSERT_FALSE(mesh.triangles.empty());
    for (int index : mesh.triangles) {
        EXPECT_NE(index, 4);  // the outline's repeated first point
        EXPECT_NE(index, 9);  // the hole's near-duplicate corner
    }
}

TEST(HoleMesh, CrumpledLoopsFinishWithBoundedOutput) {
    // Loops whose points scatter off any plane flatten into self-crossing, overlapping rings: the triangulation
    // meets near-degenerate cavities, which must neither multiply triangles nor run on.
    std::mt19937 rng(4242);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (int trial = 0; trial < 40; ++trial) {
        auto scatter = [&](int n, double r) {
            std::vector<OfuVector3> out;
            for (int i = 0; i < n; ++i) out.emplace_back(r * u(rng), r * u(rng), r * u(rng) * (trial % 3));
            return out;
        };
        COfuHolePolygon polygon = holed(scatter(30 + trial, 10.0), {scatter(12, 3.0), scatter(9, 2.0)});
        if (trial % 2) {
            // Or a ring seen almost edge-on: dense, nearly collinear loops.
            auto squash = [&](std::vector<OfuVector3> v) {
                for (OfuVector3& p : v) p.y *= 1e-6 * (1 + trial);
                return v;
            };
            polygon = holed(squash(regular_polygon(100 + 10 * trial, 10.0)), {squash(regular_polygon(60, 4.0, 1, 0))});
        }
        HoleMesh mesh;
        if (!mesh_hole_polygon(polygon, mesh)) continue;
        const size_t input = polygon.points.GetSize() + polygon.holes[0].points.GetSize() + (trial % 2 ? 0 : 9);
        EXPECT_LE(mesh.points.size(), 12 * input);
        EXPECT_LE(mesh.triangles.size(), 3 * 2 * mesh.points.size());
        for (int index : mesh.triangles) ASSERT_LT(static_cast<size_t>(index), mesh.points.size());
    }
}

}  // namespace
}  // namespace kz::test
