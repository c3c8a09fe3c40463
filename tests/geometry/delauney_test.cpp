// The incremental triangulation against CGAL's under exact predicates (ties allowed), and the seed's bookkeeping.
#include <gtest/gtest.h>

#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>

#include <algorithm>
#include <array>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "geometry/delauney.h"

namespace {

using K = CGAL::Exact_predicates_inexact_constructions_kernel;
using Point = K::Point_2;
using Face = std::array<int, 3>;  // input point numbers, smallest first, cyclic order kept

Face normalised(int a, int b, int c) {
    Face f{a, b, c};
    std::rotate(f.begin(), std::min_element(f.begin(), f.end()), f.end());
    return f;
}

struct PointSet {
    const char* name;
    std::vector<Point> points;
};

// Isotropic coordinates well inside a 10000 x 10000 seed.
std::vector<PointSet> point_sets() {
    std::mt19937 rng(2024);
    std::vector<PointSet> sets;
    std::uniform_real_distribution<double> spread(4000.0, 6000.0);
    PointSet uniform{"uniform", {}};
    for (int i = 0; i < 1500; ++i) uniform.points.emplace_back(spread(rng), spread(rng));
    sets.push_back(uniform);

    PointSet clustered{"clustered", {}};
    std::normal_distribution<double> around(0.0, 25.0);
    for (int c = 0; c < 8; ++c) {
        const double cx = spread(rng), cy = spread(rng);
        for (int i = 0; i < 180; ++i) clustered.points.emplace_back(cx + around(rng), cy + around(rng));
    }
    sets.push_back(clustered);

    // Every square of a lattice has four co-circular corners: either diagonal is right.
    PointSet lattice{"lattice", {}};
    for (int i = 0; i < 30; ++i)
        for (int j = 0; j < 30; ++j) lattice.points.emplace_back(4500.0 + 20.0 * i, 4500.0 + 20.0 * j);
    std::shuffle(lattice.points.begin(), lattice.points.end(), rng);
    sets.push_back(lattice);
    return sets;
}

class DelauneyAgainstCgal : public ::testing::TestWithParam<int> {};

// Parameter: point set (0..2), then 3 more when the points are handed over at once (AddPoints).
TEST_P(DelauneyAgainstCgal, EmptyCirclesAndSameTriangles) {
    const PointSet set = point_sets()[GetParam() % 3];
    const int n = static_cast<int>(set.points.size());
    const double seed = 10000.0;
    CO3duDelauney dt;
    dt.InitRectangle(seed, seed);
    if (GetParam() < 3) {
        for (const Point& p : set.points) dt.AddPoint(p.x(), p.y());
    } else {
        std::vector<double> x, y;
        for (const Point& p : set.points) x.push_back(p.x()), y.push_back(p.y());
        dt.AddPoints(x.data(), y.data(), n);
    }
    ASSERT_EQ(dt.GetPointCount(), n + 4) << set.name;

    std::set<Face> ours;
    for (int t = 0; t < dt.GetTriangleCount(); ++t) {
        int a, b, c;
        ASSERT_EQ(dt.GetTriangle(t, a, b, c), 1);
        if (a < 4 || b < 4 || c < 4) continue;
        ours.insert(normalised(a - 4, b - 4, c - 4));
    }

    // Ours: counter-clockwise, nothing strictly inside a circumcircle; a triangle CGAL lacks must be a tie.
    CGAL::Delaunay_triangulation_2<K> reference(set.points.begin(), set.points.end());
    std::set<Face> theirs;
    std::map<Point, int> number;
    for (int i = 0; i < n; ++i) number.emplace(set.points[i], i);
    for (auto f = reference.finite_faces_begin(); f != reference.finite_faces_end(); ++f)
        theirs.insert(
            normalised(number[f->vertex(0)->point()], number[f->vertex(1)->point()], number[f->vertex(2)->point()]));
    for (const Face& f : ours) {
        const Point &a = set.points[f[0]], &b = set.points[f[1]], &c = set.points[f[2]];
        ASSERT_EQ(CGAL::orientation(a, b, c), CGAL::LEFT_TURN) << set.name;
        bool tie = false;
        for (int i = 0; i < n; ++i) {
            if (i == f[0] || i == f[1] || i == f[2]) continue;
            const CGAL::Oriented_side side = CGAL::side_of_oriented_circle(a, b, c, set.points[i]);
            ASSERT_NE(side, CGAL::ON_POSITIVE_SIDE) << set.name << ": point " << i << " inside a circumcircle";
            tie = tie || side == CGAL::ON_ORIENTED_BOUNDARY;
        }
        EXPECT_TRUE(theirs.count(f) || tie) << set.name << ": triangle not in the reference and not a tie";
    }
    // Theirs: every triangle whose circle keeps clear of the seed corners must be ours (or lose to a tie).
    const Point corners[4] = {{0, 0}, {seed, 0}, {seed, seed}, {0, seed}};
    int missing = 0, clear = 0;
    for (const Face& f : theirs) {
        bool touches_seed = false;
        for (const Point& corner : corners)
            touches_seed =
                touches_seed || CGAL::side_of_oriented_circle(set.points[f[0]], set.points[f[1]], set.points[f[2]],
                                                              corner) != CGAL::ON_NEGATIVE_SIDE;
        if (touches_seed) continue;
        ++clear;
        if (!ours.count(f)) ++missing;
    }
    EXPECT_GT(clear, n) << set.name;
    if (std::string(set.name) == "lattice")
        EXPECT_EQ(ours.size(), theirs.size()) << "a lattice triangulates into the same number of triangles";
    else
        EXPECT_EQ(missing, 0) << set.name;
}

INSTANTIATE_TEST_SUITE_P(PointSets, DelauneyAgainstCgal, ::testing::Range(0, 6), [](const auto& info) {
    return std::string(point_sets()[info.param % 3].name) + (info.param < 3 ? "" : "_at_once");
});

double total_area(const CO3duDelauney& dt) {
    double area = 0.0;
    for (int t = 0; t < dt.GetTriangleCount(); ++t) {
        int a, b, c;
        double ax, ay, bx, by, cx, cy;
        dt.GetTriangle(t, a, b, c);
        dt.GetPoint(a, ax, ay);
        dt.GetPoint(b, bx, by);
        dt.GetPoint(c, cx, cy);
        const double doubled = (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
        EXPECT_GE(doubled, 0.0) << "triangle " << t << " turns clockwise";
        area += 0.5 * doubled;
    }
    return area;
}

// Points on edges, repeated points and points outside: the seed is tiled exactly, and the counts follow
// the rules (repeats stored again, outsiders skipped, accessors refusing numbers out of range).
TEST(Delauney, SeedBookkeeping) {
    struct Case {
        std::vector<std::array<double, 2>> points;
        int point_count, triangle_count;
    };
    const Case cases[] = {
        {{}, 4, 2},
        {{{5, 5}}, 5, 4},                    // on the seed's diagonal
        {{{3, 4}, {3, 4}}, 6, 6},            // a repeat is stored, never merged
        {{{3, 4}, {-1, 2}, {11, 3}}, 5, 4},  // outside the seed: ignored
        {{{0, 5}, {10, 10}, {2, 2}}, 7, 8},  // on the seed's border and on a corner
    };
    for (const bool at_once : {false, true})
        for (const Case& c : cases) {
            CO3duDelauney dt;
            dt.InitRectangle(10.0, 10.0);
            std::vector<double> xs, ys;
            for (const auto& p : c.points) xs.push_back(p[0]), ys.push_back(p[1]);
            if (at_once)
                dt.AddPoints(xs.data(), ys.data(), static_cast<int>(xs.size()));
            else
                for (std::size_t i = 0; i < xs.size(); ++i) dt.AddPoint(xs[i], ys[i]);
            EXPECT_EQ(dt.GetPointCount(), c.point_count);
            EXPECT_EQ(dt.GetTriangleCount(), c.triangle_count);
            EXPECT_NEAR(total_area(dt), 100.0, 1e-9);
            double x, y;
            int a, b, t;
            EXPECT_EQ(dt.GetPoint(dt.GetPointCount(), x, y), 0);
            EXPECT_EQ(dt.GetPoint(-1, x, y), 0);
            EXPECT_EQ(dt.GetTriangle(dt.GetTriangleCount(), a, b, t), 0);
        }
    // Without a seed there is nowhere to put a point.
    CO3duDelauney empty;
    empty.AddPoint(0.0, 0.0);
    const double origin = 0.0;
    empty.AddPoints(&origin, &origin, 1);
    EXPECT_EQ(empty.GetPointCount(), 0);
}

// Points handed over at once, after some given one by one, make the very triangles (by their point numbers and
// coordinates) that the same points added one at a time make: random points have no ties to decide otherwise.
TEST(Delauney, AtOnceMakesTheTrianglesOfOneAtATime) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> spread(0.0, 1000.0);
    std::vector<double> x(20000), y(20000);
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = spread(rng), y[i] = spread(rng);
    const auto triangles = [](const CO3duDelauney& dt) {
        std::set<std::array<double, 6>> out;
        for (int t = 0; t < dt.GetTriangleCount(); ++t) {
            int v[3];
            dt.GetTriangle(t, v[0], v[1], v[2]);
            const Face f = normalised(v[0], v[1], v[2]);
            std::array<double, 6> corners{};
            for (int k = 0; k < 3; ++k) dt.GetPoint(f[k], corners[2 * k], corners[2 * k + 1]);
            out.insert(corners);
        }
        return out;
    };
    CO3duDelauney one, many;
    one.InitRectangle(1000.0, 1000.0);
    many.InitRectangle(1000.0, 1000.0);
    for (std::size_t i = 0; i < x.size(); ++i) one.AddPoint(x[i], y[i]);
    for (std::size_t i = 0; i < 100; ++i) many.AddPoint(x[i], y[i]);
    many.AddPoints(x.data() + 100, y.data() + 100, static_cast<int>(x.size()) - 100);
    ASSERT_EQ(many.GetPointCount(), one.GetPointCount());
    for (int i = 0; i < one.GetPointCount(); i += 97) {
        double ax, ay, bx, by;
        one.GetPoint(i, ax, ay);
        many.GetPoint(i, bx, by);
        EXPECT_TRUE(ax == bx && ay == by) << "point " << i;
    }
    EXPECT_TRUE(triangles(one) == triangles(many));
}

}  // namespace
