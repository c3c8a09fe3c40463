// The planar mesher: exact cover on convex outlines, every point inside on others, and the rules of its settings.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "geometry/auto_mesh.h"
#include "geometry/point_in_polygon_2d.h"

namespace {

using Ring = std::vector<std::array<double, 2>>;

struct Outline {
    std::string name;
    Ring ring;
    std::vector<Ring> holes;
};

COfuHolePolygon2D make_polygon(const Outline& o) {
    COfuHolePolygon2D polygon;
    for (const auto& p : o.ring) polygon.points.Add(OfuVector2(p[0], p[1]));
    for (const Ring& h : o.holes) {
        COfuPolygon2D hole;
        for (const auto& p : h) hole.points.Add(OfuVector2(p[0], p[1]));
        polygon.holes.Add(hole);
    }
    return polygon;
}

struct Mesh {
    std::vector<OfuVector2> points;
    std::vector<int> kinds, triangles;
};

Mesh run(int method, COfuHolePolygon2D& polygon, long divisions, long level) {
    COfuPoint2Array points;
    COfuArray<int> kinds, triangles;
    CO3duAutoMesh mesher;
    int result = -1;
    if (method == 1) result = mesher.DivisionType01(polygon, points, kinds, triangles, divisions, level);
    if (method == 2) result = mesher.DivisionType02(polygon, points, kinds, triangles, divisions, level);
    if (method == 3) result = mesher.DivisionType03(polygon, points, kinds, triangles, divisions, level);
    EXPECT_EQ(result, 0);
    Mesh m;
    for (int i = 0; i < points.GetSize(); ++i) m.points.push_back(points[i]);
    for (int i = 0; i < kinds.GetSize(); ++i) m.kinds.push_back(kinds[i]);
    for (int i = 0; i < triangles.GetSize(); ++i) m.triangles.push_back(triangles[i]);
    return m;
}

double ring_area(const Ring& r) {
    double a = 0.0;
    for (size_t i = 0; i < r.size(); ++i) {
        const auto &p = r[i], &q = r[(i + 1) % r.size()];
        a += p[0] * q[1] - q[0] * p[1];
    }
    return 0.5 * a;
}

double doubled_area(const Mesh& m, size_t t) {
    const OfuVector2 &a = m.points[m.triangles[t]], &b = m.points[m.triangles[t + 1]],
                     &c = m.points[m.triangles[t + 2]];
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

// Even-odd crossing count and distance to the ring: an oracle of its own, not the mesher's winding angle.
bool crosses_odd(const OfuVector2& p, const Ring& r) {
    bool odd = false;
    for (size_t i = 0, j = r.size() - 1; i < r.size(); j = i++)
        if ((r[i][1] > p.y) != (r[j][1] > p.y) &&
            p.x < (r[j][0] - r[i][0]) * (p.y - r[i][1]) / (r[j][1] - r[i][1]) + r[i][0])
            odd = !odd;
    return odd;
}

double distance_to_ring(const OfuVector2& p, const Ring& r) {
    double best = INFINITY;
    for (size_t i = 0; i < r.size(); ++i) {
        const auto &a = r[i], &b = r[(i + 1) % r.size()];
        const double dx = b[0] - a[0], dy = b[1] - a[1];
        const double len2 = dx * dx + dy * dy;
        double t = len2 > 0 ? ((p.x - a[0]) * dx + (p.y - a[1]) * dy) / len2 : 0.0;
        t = std::clamp(t, 0.0, 1.0);
        best = std::min(best, std::hypot(p.x - a[0] - t * dx, p.y - a[1] - t * dy));
    }
    return best;
}

bool inside_or_on(const OfuVector2& p, const Outline& o, double tolerance) {
    if (distance_to_ring(p, o.ring) <= tolerance) return true;
    if (!crosses_odd(p, o.ring)) return false;
    for (const Ring& h : o.holes)
        if (crosses_odd(p, h) && distance_to_ring(p, h) > tolerance) return false;
    return true;
}

// Checks every mesh must pass.
void expect_sound(const Mesh& m, const Outline& o, const std::string& what) {
    ASSERT_EQ(std::tuple(m.points.size(), m.triangles.size() % 3), std::tuple(m.kinds.size(), 0u)) << what;
    ASSERT_GE(m.points.size(), o.ring.size()) << what;
    for (size_t i = 0; i < o.ring.size(); ++i)
        EXPECT_EQ(std::tuple(m.kinds[i], m.points[i].x, m.points[i].y),
                  std::tuple(O3DU_MESH_RING_VERTEX, o.ring[i][0], o.ring[i][1]))
            << what;
    for (int t : m.triangles) ASSERT_TRUE(t >= 0 && t < static_cast<int>(m.points.size())) << what;
    const double tolerance = 1e-9 * std::sqrt(std::fabs(ring_area(o.ring)));
    for (size_t i = 0; i < m.points.size(); ++i) {
        ASSERT_TRUE(std::isfinite(m.points[i].x) && std::isfinite(m.points[i].y)) << what << " point " << i;
        ASSERT_TRUE(m.kinds[i] >= 0 && m.kinds[i] <= 2) << what;
        EXPECT_TRUE(inside_or_on(m.points[i], o, tolerance))
            << what << " point " << i << " (" << m.points[i].x << ", " << m.points[i].y << ") kind " << m.kinds[i];
    }
}

Ring regular(int n, double r, double cx, double cy) {
    Ring out;
    for (int i = 0; i < n; ++i)
        out.push_back({cx + r * std::cos(2 * M_PI * i / n), cy + r * std::sin(2 * M_PI * i / n)});
    return out;
}

// Convex, with uneven corner angles and edge lengths.
Ring uneven_convex(int n, unsigned seed, double a, double b) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> jitter(-0.3, 0.3);
    Ring out;
    for (int i = 0; i < n; ++i) {
        const double t = 2 * M_PI * (i + jitter(rng)) / n;
        out.push_back({a * std::cos(t), b * std::sin(t)});
    }
    return out;
}

std::vector<Outline> convex_outlines() {
    return {{"square", {{0, 0}, {10, 0}, {10, 10}, {0, 10}}, {}},
            {"clockwise_strip", {{0, 0}, {0, 4}, {30, 4}, {30, 0}}, {}},
            {"hexagon", regular(6, 5.0, 100.0, -50.0), {}},
            {"uneven17", uneven_convex(17, 7, 8.0, 3.0), {}},
            {"triangle", {{0, 0}, {7, 1}, {2, 6}}, {}}};
}

struct Setting {
    int method;
    long divisions, level;
};

class ConvexCover : public ::testing::TestWithParam<Setting> {};

// The walk-through's floor: the mesh covers the outline exactly, every triangle turning the expected way.
TEST_P(ConvexCover, CoversExactlyWithoutInvertedTriangles) {
    const Setting s = GetParam();
    for (const Outline& o : convex_outlines()) {
        COfuHolePolygon2D polygon = make_polygon(o);
        const Mesh m = run(s.method, polygon, s.divisions, s.level);
        const std::string what = o.name + " method " + std::to_string(s.method) + " d " + std::to_string(s.divisions);
        expect_sound(m, o, what);
        const double area = ring_area(o.ring);
        // Types 1 and 2 come from the triangulator (counter-clockwise); type 3 follows the ring.
        const double sense = s.method == 3 && area < 0 ? -1.0 : 1.0;
        double covered = 0.0;
        int inverted = 0;
        for (size_t t = 0; t < m.triangles.size(); t += 3) {
            const double a = 0.5 * doubled_area(m, t) * sense;
            if (a <= 1e-12 * std::fabs(area)) ++inverted;
            covered += a;
        }
        EXPECT_EQ(inverted, 0) << what;
        EXPECT_LE(std::fabs(covered - std::fabs(area)), 1e-9 * std::fabs(area)) << what;
        // Neighbouring triangles share their edge nodes: no point is made twice.
        for (size_t i = 0; i < m.points.size(); ++i)
            for (size_t j = i + 1; j < m.points.size(); ++j)
                ASSERT_GT(std::hypot(m.points[i].x - m.points[j].x, m.points[i].y - m.points[j].y), 1e-9) << what;
    }
}

INSTANTIATE_TEST_SUITE_P(Settings, ConvexCover,
                         ::testing::Values(Setting{3, 15, 3}, Setting{3, 4, 1}, Setting{3, 0, 3}, Setting{2, 15, 3},
                                           Setting{2, 3, 2}, Setting{1, 15, 3}, Setting{1, 6, 1}));

std::vector<Outline> awkward_outlines() {
    const Ring square = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    Ring star;
    for (int i = 0; i < 12; ++i) {
        const double r = i % 2 ? 2.0 : 6.0;
        star.push_back({r * std::cos(M_PI * i / 6), r * std::sin(M_PI * i / 6)});
    }
    Ring random_star;
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> radius(0.3, 1.0);
    for (int i = 0; i < 40; ++i) {
        const double r = 10 * radius(rng);
        random_star.push_back({r * std::cos(M_PI * i / 20), r * std::sin(M_PI * i / 20)});
    }
    Ring comb = {{0, 0}, {9, 0}};
    for (int t = 4; t >= 0; --t) {
        comb.push_back({2.0 * t + 1, 4});
        comb.push_back({2.0 * t, 4});
        if (t > 0) {
            comb.push_back({2.0 * t, 1});
            comb.push_back({2.0 * t - 1, 1});
        }
    }
    return {{"l_shape", {{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}}, {}},
            {"comb", comb, {}},
            {"star", star, {}},
            {"random_star", random_star, {}},
            {"square_hole", square, {{{3, 3}, {3, 7}, {7, 7}, {7, 3}}}},
            {"two_holes", square, {{{1, 1}, {4, 1}, {4, 4}, {1, 4}}, regular(7, 2.0, 6.5, 6.5)}},
            {"star_hole", star, {regular(5, 1.0, 0.0, 0.0)}}};
}

class AwkwardOutline : public ::testing::TestWithParam<Setting> {};

// Concave outlines and holes: whatever the mesh looks like, every point stays inside or on the boundary.
TEST_P(AwkwardOutline, EveryPointInsideNothingBroken) {
    const Setting s = GetParam();
    for (const Outline& o : awkward_outlines()) {
        COfuHolePolygon2D polygon = make_polygon(o);
        const Mesh m = run(s.method, polygon, s.divisions, s.level);
        expect_sound(m, o, o.name + " method " + std::to_string(s.method) + " d " + std::to_string(s.divisions));
        // Type 2 drops whole first triangles whose centre falls in a hole: a big hole can take them all.
        EXPECT_TRUE(s.method == 2 || !m.triangles.empty()) << o.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Settings, AwkwardOutline,
                         ::testing::Values(Setting{3, 15, 3}, Setting{3, 3, 3}, Setting{2, 15, 3}, Setting{2, 3, 3},
                                           Setting{1, 15, 3}, Setting{1, 5, 3}));

TEST(AutoMesh, WalkThroughFloorCounts) {
    const Outline floor{"floor", {{0, 0}, {4000, 0}, {4000, 3000}, {0, 3000}}, {}};
    COfuHolePolygon2D polygon = make_polygon(floor);
    CO3duPoint2List points;
    CO3duIntegerList kinds, triangles;
    CO3duAutoMesh().DivisionType03(polygon, points, kinds, triangles, 15, 3);
    EXPECT_EQ(triangles.GetSize(), 3 * 1024);
    ASSERT_EQ(points.GetSize(), 545);
    int by_kind[3] = {0, 0, 0};
    for (int i = 0; i < kinds.GetSize(); ++i) ++by_kind[kinds[i]];
    EXPECT_EQ(std::tuple(by_kind[0], by_kind[1], by_kind[2]), std::tuple(4, 60, 481));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(std::tuple(points[i].x, points[i].y), std::tuple(floor.ring[i][0], floor.ring[i][1]));
}

// Divisions 0 keep every first triangle whole; type 1 takes 0 and below as 1; a level sets the passes
// (1: d/4, 2: d/2, 3: d, others none), so level 1 with d = 3 smooths nothing.
TEST(AutoMesh, DivisionsAndLevels) {
    const Outline o{"uneven", uneven_convex(9, 3, 5.0, 4.0), {}};
    COfuHolePolygon2D polygon = make_polygon(o);
    const Mesh fan = run(3, polygon, 0, 3);
    EXPECT_EQ(std::tuple(fan.triangles.size(), fan.points.size()), std::tuple(3u * 9, 10u));
    const Mesh delaunay = run(2, polygon, 0, 3);
    EXPECT_EQ(std::tuple(delaunay.triangles.size(), delaunay.points.size()), std::tuple(3u * 7, 9u));

    auto same = [](const Mesh& a, const Mesh& b) {
        if (a.points.size() != b.points.size() || a.triangles != b.triangles) return false;
        for (size_t i = 0; i < a.points.size(); ++i)
            if (a.points[i].x != b.points[i].x || a.points[i].y != b.points[i].y) return false;
        return true;
    };
    EXPECT_TRUE(same(run(1, polygon, -4, 1), run(1, polygon, 1, 1)));
    for (int method : {2, 3}) {
        const Mesh unsmoothed = run(method, polygon, 3, 0);
        EXPECT_TRUE(same(run(method, polygon, 3, 1), unsmoothed)) << method;
        EXPECT_TRUE(same(run(method, polygon, 3, 4), unsmoothed)) << method;
        EXPECT_FALSE(same(run(method, polygon, 3, 3), unsmoothed)) << method;
    }
}

// The fan's centre gathers one triangle per outline vertex; past 30 it is left alone, and the pass goes on.
// (The scheme never moves it anyway, so what is checked is that the crowded point is handled safely.)
TEST(AutoMesh, CrowdedPointIsLeftWhereItIs) {
    for (int n : {31, 45, 80}) {
        const Outline o{"uneven", uneven_convex(n, 11, 9.0, 5.0), {}};
        COfuHolePolygon2D polygon = make_polygon(o);
        const Mesh m = run(3, polygon, 2, 3);
        expect_sound(m, o, "crowded " + std::to_string(n));
        double mx = 0.0, my = 0.0;
        for (const auto& p : o.ring) mx += p[0] / n, my += p[1] / n;
        ASSERT_EQ(m.kinds[n], O3DU_MESH_INTERIOR);
        EXPECT_LT(std::hypot(m.points[n].x - mx, m.points[n].y - my), 1e-12) << n;
    }
}

TEST(AutoMesh, ListFormIgnoresHoles) {
    const Outline holed = awkward_outlines()[4];
    COfuHolePolygon2D with_hole = make_polygon(holed);
    COfuHolePolygon2D without = make_polygon({"plain", holed.ring, {}});
    CO3duPoint2List pa, pb;
    CO3duIntegerList ka, kb, ta, tb;
    CO3duAutoMesh mesher;
    mesher.DivisionType03(with_hole, pa, ka, ta, 6, 3);
    mesher.DivisionType03(without, pb, kb, tb, 6, 3);
    ASSERT_EQ(std::tuple(pa.GetSize(), ta.GetSize()), std::tuple(pb.GetSize(), tb.GetSize()));
    EXPECT_EQ(with_hole.holes.GetSize(), 1);
    for (int i = 0; i < pa.GetSize(); ++i) EXPECT_EQ(pa[i].x, pb[i].x);
}

// Odd inputs end, without NaN: no outline, one point repeated, a line, a NaN, absurd division counts.
TEST(AutoMesh, OddInputsEndCleanly) {
    const std::vector<Outline> odd = {{"empty", {}, {}},
                                      {"one_place", {{3, 3}, {3, 3}, {3, 3}, {3, 3}}, {}},
                                      {"line", {{0, 0}, {5, 0}, {10, 0}}, {}},
                                      {"nan", {{0, 0}, {NAN, 1}, {1, 1}}, {}}};
    for (const Outline& o : odd)
        for (int method : {1, 2, 3})
            for (long d : {0L, 3L, 15L}) {
                COfuHolePolygon2D polygon = make_polygon(o);
                const Mesh m = run(method, polygon, d, 3);
                for (const OfuVector2& p : m.points) ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y)) << o.name;
                for (int t : m.triangles) ASSERT_TRUE(t >= 0 && t < static_cast<int>(m.points.size())) << o.name;
                EXPECT_TRUE(m.points.empty() || (o.name != "empty" && o.name != "nan")) << o.name << method;
            }
    COfuHolePolygon2D square = make_polygon(convex_outlines()[0]);
    for (int method : {1, 2, 3}) EXPECT_TRUE(run(method, square, 2000000000L, 3).points.empty()) << method;
}

// The inside test behind all clean-up: outer edges and vertices are inside, a hole's are not.
TEST(AutoMesh, PointInHolePolygon) {
    const Outline o = awkward_outlines()[4];  // 10 x 10 square, hole from 3 to 7
    const COfuHolePolygon2D polygon = make_polygon(o);
    struct Case {
        double x, y;
        int ring_result;  // against the outer ring alone
        int result;
    };
    const Case cases[] = {{1, 1, 1, 1},  {5, 0, 2, 1},  {0, 0, 3, 1},       {10, 10, 3, 1}, {11, 5, 0, 0},
                          {5, 5, 1, 0},  {3, 5, 1, 0},  {7, 7, 1, 0},       {-1, -1, 0, 0}, {2.999, 5, 1, 1},
                          {15, 0, 0, 0}, {5, 10, 2, 1}, {10.00001, 5, 0, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(PointInPolygon2D(OfuVector2(c.x, c.y), polygon.points, 1e-5), c.ring_result) << c.x << "," << c.y;
        EXPECT_EQ(PointInHolePolygon2D(OfuVector2(c.x, c.y), polygon), c.result) << c.x << "," << c.y;
    }
}

}  // namespace
