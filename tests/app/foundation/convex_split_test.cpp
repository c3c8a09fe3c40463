// 2D crossing, inside and convex-split tests against hand-made cases and Boost.Geometry; the back-to-front sort.
#include <gtest/gtest.h>

#include <algorithm>
#include <boost/geometry.hpp>
#include <boost/geometry/geometries/point_xy.hpp>
#include <boost/geometry/geometries/polygon.hpp>
#include <cmath>
#include <limits>
#include <numeric>
#include <random>
#include <tuple>
#include <vector>

#include "app/foundation/convex_split.h"
#include "app/foundation/index_sort.h"
#include "app/foundation/polygon_tests_2d.h"
#include "support/all_near.h"

namespace kz::foundation {
namespace {

namespace bg = boost::geometry;
using BPoint = bg::model::d2::point_xy<double>;
using BPolygon = bg::model::polygon<BPoint, false>;  // counter-clockwise, as the caps come

constexpr double kPi = 3.141592653589793;

std::vector<double> xyz(std::initializer_list<std::pair<double, double>> pts) {
    std::vector<double> out;
    for (auto [x, y] : pts) out.insert(out.end(), {x, y, 0.0});
    return out;
}

BPolygon to_boost(const std::vector<double>& p) {
    BPolygon poly;
    for (std::size_t k = 0; k + 2 < p.size(); k += 3) bg::append(poly.outer(), BPoint(p[k], p[k + 1]));
    bg::correct(poly);
    return poly;
}

TEST(PlaneTests2d, SegmentCrossingCases) {
    struct Case {
        const char* name;
        std::vector<double> pts;  // a1, a2, b1, b2
        double tol_a, tol_b;
        int mode, want;
        double x, y;
    };
    const Case cases[] = {
        {"plain cross", xyz({{0, 0}, {2, 2}, {0, 2}, {2, 0}}), 0, 0, 0, 1, 1, 1},
        {"short of b", xyz({{0, 0}, {1, 0}, {2, -1}, {2, 1}}), 0, 0, 0, 0, 0, 0},
        {"reached by tolerance", xyz({{0, 0}, {1, 0}, {1.05, -1}, {1.05, 1}}), 0.1, 0, 0, 1, 1.05, 0},
        {"zero length never", xyz({{1, 1}, {1, 1}, {0, 0}, {2, 2}}), 1, 1, 1, 0, 0, 0},
        {"parallel apart", xyz({{0, 0}, {1, 0}, {0, 1}, {1, 1}}), 0, 0, 1, 0, 0, 0},
        {"collinear overlap, mode 1", xyz({{0, 0}, {2, 0}, {1, 0}, {3, 0}}), 0, 0, 1, 1, 2, 0},
        {"collinear overlap, mode 0", xyz({{0, 0}, {2, 0}, {1, 0}, {3, 0}}), 0, 0, 0, 0, 0, 0},
        {"collinear apart, mode 1", xyz({{0, 0}, {1, 0}, {2, 0}, {3, 0}}), 0, 0, 1, 0, 0, 0},
    };
    for (const Case& c : cases) {
        double out[2] = {-9, -9};
        const double* p = c.pts.data();
        ASSERT_EQ(segment_crossing_2d(p, p + 3, p + 6, p + 9, out, c.tol_a, c.tol_b, c.mode), c.want) << c.name;
        if (c.want) {
            EXPECT_TRUE(kz::test::all_near({out[0], out[1]}, {c.x, c.y}, 1e-12)) << c.name;
        }
    }
}

TEST(PlaneTests2d, PointInPolygonAgreesWithBoost) {
    const auto square = xyz({{0, 0}, {1, 0}, {1, 1}, {0, 1}});
    const auto in_square = [&](double x, double y) { return point_in_polygon_2d(x, y, square.data(), 4, 1e-6); };
    EXPECT_EQ(std::tuple(in_square(0.5, 0.5), in_square(1, 1), in_square(0.5, 0), in_square(1.5, 0.5)),
              std::tuple(3, 1, 2, 0));
    // Clockwise and explicitly closed outlines give the same answers; the array is only read.
    auto closed_cw = xyz({{0, 0}, {0, 1}, {1, 1}, {1, 0}, {0, 0}});
    const auto copy = closed_cw;
    EXPECT_EQ(point_in_polygon_2d(0.5, 0.5, closed_cw.data(), 5, 1e-6), 3);
    EXPECT_EQ(closed_cw, copy);

    std::mt19937 rng(4);
    std::uniform_real_distribution<double> u(-12, 12);
    std::vector<double> star;
    for (int k = 0; k < 22; ++k) {
        const double a = 2 * kPi * k / 22, r = k % 2 ? 4 + k % 5 : 10;
        star.insert(star.end(), {r * std::cos(a), r * std::sin(a), 0.0});
    }
    const BPolygon oracle = to_boost(star);
    for (int trial = 0; trial < 2000; ++trial) {
        const double x = u(rng), y = u(rng);
        if (bg::distance(BPoint(x, y), oracle.outer()) < 1e-6) continue;  // the boundary is the tests' own rule
        EXPECT_EQ(point_in_polygon_2d(x, y, star.data(), 22, 1e-9) == 3, bg::within(BPoint(x, y), oracle))
            << x << "," << y;
    }
}

TEST(PlaneTests2d, DiagonalsOfAnLShape) {
    // 0 (0,0), 1 (2,0), 2 (2,1), 3 (1,1), 4 (1,2), 5 (0,2): the reflex corner is 3.
    const auto l = xyz({{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}});
    EXPECT_EQ(is_valid_diagonal(l.data(), 6, 3, 0), 1);
    EXPECT_EQ(is_valid_diagonal(l.data(), 6, 0, 3), 1);
    EXPECT_EQ(is_valid_diagonal(l.data(), 6, 2, 4), 0);  // outside
    EXPECT_EQ(is_valid_diagonal(l.data(), 6, 1, 4), 0);  // crosses the edge 2-3
    EXPECT_EQ(is_valid_diagonal(l.data(), 6, 1, 3), 1);
    EXPECT_EQ(is_valid_diagonal(l.data(), 6, 1, 5), 0);  // runs through the reflex corner
    EXPECT_EQ(is_valid_diagonal(l.data(), 6, 1, 9), 0);  // no such corner
    // A diagonal that an edge from its end continues in a straight line is refused, though it runs inside.
    const auto notch = xyz({{0, 0}, {1, -1}, {2, 0}, {4, 0}, {4, 2}, {0, 2}});
    EXPECT_EQ(is_valid_diagonal(notch.data(), 6, 0, 2), 0);
    EXPECT_EQ(is_valid_diagonal(notch.data(), 6, 1, 5), 1);
}

double piece_area(const PolygonPiece& p) {
    double a = 0;
    for (int k = 0; k < p.count; ++k) {
        const double* u = &p.points[3 * k];
        const double* v = &p.points[3 * ((k + 1) % p.count)];
        a += (u[0] * v[1] - v[0] * u[1]) / 2;
    }
    return a;
}

bool is_convex(const PolygonPiece& p, double orientation) {
    for (int k = 0; k < p.count; ++k) {
        const double* a = &p.points[3 * ((k + p.count - 1) % p.count)];
        const double* b = &p.points[3 * k];
        const double* c = &p.points[3 * ((k + 1) % p.count)];
        const double turn = (b[0] - a[0]) * (c[1] - b[1]) - (b[1] - a[1]) * (c[0] - b[0]);
        if (turn * orientation < -1e-9) return false;
    }
    return true;
}

// Pieces convex, each inside the outline, with texture coordinates and second points carried along, and
// together exactly the outline's area.
void check_split(const std::vector<double>& outline, const char* name, int expect_pieces = -1) {
    const int n = static_cast<int>(outline.size() / 3);
    std::vector<double> tex, second;
    for (int k = 0; k < n; ++k) {
        tex.insert(tex.end(), {outline[3 * k] * 0.5, outline[3 * k + 1] * 0.25});
        second.insert(second.end(), {outline[3 * k], outline[3 * k + 1], 7.0});
    }
    PolygonPiece* chain = triangulate_polygon(outline.data(), n, second.data(), tex.data());
    ASSERT_NE(chain, nullptr) << name;
    const BPolygon oracle = to_boost(outline);
    const double total = std::fabs(bg::area(oracle));
    double sum = 0, signed_sum = 0;
    int pieces = 0;
    for (PolygonPiece* p = chain; p; p = p->next, ++pieces) {
        ASSERT_GE(p->count, 3) << name;
        ASSERT_EQ(std::tuple(p->points.size(), p->texcoords.size()), std::tuple(3u * p->count, 2u * p->count));
        EXPECT_TRUE(p->done);
        for (int k = 0; k < p->count; ++k)
            EXPECT_TRUE(
                kz::test::all_double_eq({p->texcoords[2 * k], p->second[3 * k + 2]}, {p->points[3 * k] * 0.5, 7.0}));
        const double a = piece_area(*p);
        signed_sum += a;
        sum += std::fabs(a);
        EXPECT_TRUE(is_convex(*p, a >= 0 ? 1 : -1)) << name << " piece " << pieces;
        BPolygon piece;
        for (int k = 0; k < p->count; ++k) bg::append(piece.outer(), BPoint(p->points[3 * k], p->points[3 * k + 1]));
        bg::correct(piece);
        EXPECT_TRUE(bg::covered_by(piece, oracle)) << name << " piece " << pieces;
    }
    EXPECT_NEAR(sum, total, 1e-9 * (1 + total)) << name;  // no overlap, no gap
    EXPECT_NEAR(std::fabs(signed_sum), total, 1e-9 * (1 + total)) << name;
    if (expect_pieces >= 0) {
        EXPECT_EQ(pieces, expect_pieces) << name;
    }
    free_polygon_chain(chain);
}

std::vector<double> gear(int n, double inner, double outer, bool clockwise) {
    std::vector<double> out;
    for (int k = 0; k < n; ++k) {
        const double a = (clockwise ? -1 : 1) * 2 * kPi * k / n, r = k % 2 ? inner : outer;
        out.insert(out.end(), {r * std::cos(a), r * std::sin(a), 0.0});
    }
    return out;
}

TEST(ConvexSplit, ConcaveCapsSplitIntoConvexPiecesOfTheSameArea) {
    check_split(xyz({{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}}), "L hexagon", 2);
    check_split(xyz({{0, 0}, {2, 0}, {2, 2}, {0, 2}}), "square", 1);
    check_split(xyz({{0, 0}, {2, 0}, {2, 2}, {0, 2}, {0, 0}}), "closed square", 1);
    check_split(xyz({{0, 0}, {3, 0}, {3, 3}, {2, 3}, {2, 1}, {1, 1}, {1, 3}, {0, 3}}), "U");
    check_split(gear(40, 6, 10, false), "gear");
    check_split(gear(40, 6, 10, true), "clockwise gear");
    // A comb: ten deep teeth on a bar, so most diagonals from a reflex corner run outside.
    std::vector<double> comb = {0, 0, 0, 19, 0, 0};
    for (int k = 9; k >= 0; --k) {
        comb.insert(comb.end(), {2.0 * k + 1, 10, 0, 2.0 * k, 10, 0});
        if (k > 0) comb.insert(comb.end(), {2.0 * k, 1, 0, 2.0 * k - 1, 1, 0});
    }
    check_split(comb, "comb");
    std::mt19937 rng(17);
    std::uniform_real_distribution<double> r(3, 10);
    for (int trial = 0; trial < 20; ++trial) {  // random star-shaped outlines
        std::vector<double> s;
        for (int k = 0; k < 60; ++k) {
            const double a = 2 * kPi * k / 60, rad = r(rng);
            s.insert(s.end(), {rad * std::cos(a), rad * std::sin(a), 0.0});
        }
        check_split(s, "random star");
    }
}

TEST(ConvexSplit, DegenerateOutlinesEnd) {
    // A bow tie crosses itself, a spike doubles back, a line has no area: each gives a chain and ends.
    const std::vector<std::vector<double>> bad = {
        xyz({{0, 0}, {2, 2}, {2, 0}, {0, 2}}),
        xyz({{0, 0}, {4, 0}, {4, 4}, {2, 4}, {2, 8}, {2, 4}, {0, 4}}),
        xyz({{0, 0}, {1, 0}, {2, 0}, {3, 0}}),
        xyz({{0, 0}, {1, 1}, {0, 0}, {1, 1}, {0, 0}, {1, 1}}),
    };
    for (const auto& outline : bad) {
        PolygonPiece* chain =
            triangulate_polygon(outline.data(), static_cast<int>(outline.size() / 3), nullptr, nullptr);
        ASSERT_NE(chain, nullptr);
        int total = 0;
        for (PolygonPiece* p = chain; p; p = p->next) {
            total += p->count;
            EXPECT_TRUE(p->second.empty());
        }
        EXPECT_GE(total, static_cast<int>(outline.size() / 3));
        free_polygon_chain(chain);
    }
    EXPECT_EQ(triangulate_polygon(nullptr, 5, nullptr, nullptr), nullptr);
    const auto two = xyz({{0, 0}, {1, 1}});
    EXPECT_EQ(triangulate_polygon(two.data(), 2, nullptr, nullptr), nullptr);
}

TEST(IndexSort, SortsDescendingCarryingIndices) {
    double v[3] = {3, 1, 2};
    int idx[3] = {0, 1, 2};
    sort_index_range(v, idx, 0, 3);
    EXPECT_EQ(std::vector<double>(v, v + 3), (std::vector<double>{3, 2, 1}));
    EXPECT_EQ(std::vector<int>(idx, idx + 3), (std::vector<int>{0, 2, 1}));

    std::mt19937 rng(2);
    for (int n : {0, 1, 5, 200, 201, 1000, 20000}) {
        for (int kind = 0; kind < 4; ++kind) {
            std::vector<double> values(n);
            std::uniform_real_distribution<double> u(-1000, 1000);
            std::uniform_int_distribution<int> few(0, 3);
            for (int k = 0; k < n; ++k) {
                switch (kind) {
                case 0: values[k] = u(rng); break;
                case 1: values[k] = 42.5; break;                     // a flat plan view: all faces at one depth
                case 2: values[k] = few(rng); break;                 // many equal depths
                default: values[k] = std::pow(2.0, k % 900); break;  // one huge value drags the mean
                }
            }
            std::vector<int> indices(n);
            std::iota(indices.begin(), indices.end(), 0);
            const std::vector<double> original = values;
            sort_index_range(values.data(), indices.data(), 0, n);
            std::vector<double> want = original;
            std::sort(want.begin(), want.end(), std::greater<>());
            ASSERT_EQ(values, want) << "n " << n << " kind " << kind;
            for (int k = 0; k < n; ++k) ASSERT_EQ(original[indices[k]], values[k]);
        }
    }
}

TEST(IndexSort, RangesAndNotANumberEnd) {
    double v[6] = {1, 5, 3, 9, 7, 0};
    int idx[6] = {0, 1, 2, 3, 4, 5};
    sort_index_range(v, idx, 1, 4);
    EXPECT_EQ(std::vector<double>(v, v + 6), (std::vector<double>{1, 9, 5, 3, 7, 0}));
    sort_index_range(v, idx, -1, 4);
    sort_index_range(v, idx, 3, 3);
    sort_index_range(v, idx, 0, 0);
    EXPECT_EQ(std::vector<double>(v, v + 6), (std::vector<double>{1, 9, 5, 3, 7, 0}));
    // Nearly equal depths whose rounded mean lies above all of them: the split must still make progress.
    std::vector<double> close(201, 0.1);
    close.push_back(std::nextafter(0.1, 1.0));
    sort_index_range(close.data(), nullptr, 0, static_cast<int>(close.size()));
    EXPECT_EQ(std::tuple(close.front(), close.back()), std::tuple(std::nextafter(0.1, 1.0), 0.1));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int n : {10, 1000}) {
        std::vector<double> values(n);
        for (int k = 0; k < n; ++k) values[k] = k % 3 == 0 ? nan : k;
        sort_index_range(values.data(), nullptr, 0, n);
        int numbers = 0;
        while (numbers < n && !std::isnan(values[numbers])) ++numbers;
        EXPECT_TRUE(std::is_sorted(values.begin(), values.begin() + numbers, std::greater<>()));
        for (int k = numbers; k < n; ++k) EXPECT_TRUE(std::isnan(values[k])) << k;
    }
}

}  // namespace
}  // namespace kz::foundation
