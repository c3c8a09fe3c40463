// Crossings, distances and angles against Boost.Geometry and analytic formulas on random and degenerate cases.
#include <gtest/gtest.h>

#include <boost/geometry.hpp>
#include <cmath>
#include <random>

#include "drawing2d/plane_geometry.h"
#include "support/all_near.h"

namespace bg = boost::geometry;
using Point = bg::model::d2::point_xy<double>;
using Segment = bg::model::segment<Point>;

namespace kz::drawing2d {
namespace {

// Crossing of two infinite lines by Cramer's rule in long double, independent of the routine's case split.
bool oracle_cross(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4,
                  long double* x, long double* y) {
    long double a1 = (long double)y2 - y1, b1 = (long double)x1 - x2, c1 = a1 * x1 + b1 * y1;
    long double a2 = (long double)y4 - y3, b2 = (long double)x3 - x4, c2 = a2 * x3 + b2 * y3;
    long double det = a1 * b2 - a2 * b1;
    if (det == 0) return false;
    *x = (c1 * b2 - c2 * b1) / det;
    *y = (a1 * c2 - a2 * c1) / det;
    return true;
}

TEST(CrossLineLine, RandomLinesMatchCramersRuleAndLieOnBothLines) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> u(-1000, 1000);
    int checked = 0;
    for (int i = 0; i < 20000; ++i) {
        double p[8];
        for (double& v : p) v = u(rng);
        if (i % 4 == 1) p[2] = p[0];  // vertical first
        if (i % 4 == 2) p[7] = p[5];  // horizontal second
        if (i % 8 == 3) {             // near-parallel: second is the first turned by a tiny angle
            double a = 1e-7;
            double dx = p[2] - p[0], dy = p[3] - p[1];
            p[4] = p[0] + 5;
            p[5] = p[1] - 3;
            p[6] = p[4] + dx * std::cos(a) - dy * std::sin(a);
            p[7] = p[5] + dx * std::sin(a) + dy * std::cos(a);
        }
        double x = 0, y = 0;
        int n = cross_line_line(p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], &x, &y);
        long double ox = 0, oy = 0;
        bool has = oracle_cross(p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], &ox, &oy);
        ASSERT_EQ(n, has ? 1 : 0) << i;
        if (!n) continue;
        // Compare relative to the size of the answer: near-parallel lines meet far away.
        long double scale = std::max<long double>(1, std::fabs(ox) + std::fabs(oy));
        EXPECT_NEAR(x / scale, ox / scale, 1e-6) << i;
        EXPECT_NEAR(y / scale, oy / scale, 1e-6) << i;
        if (scale < 1e5) {
            // Distance from each infinite line: Boost's distance to a much lengthened copy of the segment.
            auto extended = [&](double ax, double ay, double bx, double by) {
                double k = 1e6;
                return Segment{{ax - (bx - ax) * k, ay - (by - ay) * k}, {bx + (bx - ax) * k, by + (by - ay) * k}};
            };
            EXPECT_LT(bg::distance(Point(x, y), extended(p[0], p[1], p[2], p[3])), 1e-3);
            EXPECT_LT(bg::distance(Point(x, y), extended(p[4], p[5], p[6], p[7])), 1e-3);
        }
        ++checked;
    }
    EXPECT_GT(checked, 15000);
}

TEST(CrossLineLine, SpecialCasesAndThreshold) {
    double x = 0, y = 0;
    struct Case {
        double p[8];
        int n;
        double x, y;
    } cases[] = {
        {{1, 0, 1, 5, 3, 0, 3, 5}, 0, 0, 0},   // two verticals
        {{1, 0, 1, 5, 1, 2, 1, 9}, 0, 0, 0},   // collinear verticals
        {{2, 0, 2, 5, -1, 3, 7, 3}, 1, 2, 3},  // vertical and horizontal
        {{-1, 3, 7, 3, 2, 0, 2, 5}, 1, 2, 3},  // horizontal and vertical
        {{0, 1, 5, 1, 0, 2, 5, 2}, 0, 0, 0},   // two horizontals
        {{4, 4, 4, 4, 0, 1, 10, 1}, 1, 4, 1},  // a point first: treated as vertical
        {{4, 4, 4, 4, 4, 0, 4, 8}, 0, 0, 0},   // a point and a vertical
        {{4, 4, 4, 4, 0, 0, 2, 1}, 1, 4, 2},   // a point and an oblique line: x of the point
        {{0, 0, 2, 2, 5, 5, 5, 5}, 1, 5, 5},   // oblique and a point: the point's vertical
    };
    for (const auto& c : cases) {
        x = y = -99;
        ASSERT_EQ(cross_line_line(c.p[0], c.p[1], c.p[2], c.p[3], c.p[4], c.p[5], c.p[6], c.p[7], &x, &y), c.n);
        if (c.n) {
            EXPECT_DOUBLE_EQ(x, c.x);
            EXPECT_DOUBLE_EQ(y, c.y);
        }
    }
    // Determinant (y2-y1)(x4-x3) - (x2-x1)(y4-y3) of 5e-10 is parallel, of 2e-9 is not.
    EXPECT_EQ(cross_line_line(0, 0, 1, 1, 0, 1, 1, 2 + 5e-10, &x, &y), 0);
    EXPECT_EQ(cross_line_line(0, 0, 1, 1, 0, 1, 1, 2 + 2e-9, &x, &y), 1);
}

TEST(CrossOrNot, RandomSegmentsAgreeWithBoostIntersects) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> u(-100, 100);
    int agree = 0, compared = 0;
    for (int i = 0; i < 20000; ++i) {
        double p[8];
        for (double& v : p) v = u(rng);
        if (i % 5 == 0) p[3] = p[1];
        if (i % 7 == 0) p[6] = p[4];
        Segment s1{{p[0], p[1]}, {p[2], p[3]}}, s2{{p[4], p[5]}, {p[6], p[7]}};
        // Skip cases whose answer is decided within rounding (an end within 1e-6 of the other segment).
        double margin = std::min({bg::distance(Point(p[0], p[1]), s2), bg::distance(Point(p[2], p[3]), s2),
                                  bg::distance(Point(p[4], p[5]), s1), bg::distance(Point(p[6], p[7]), s1)});
        if (margin < 1e-6) continue;
        double x, y;
        int got = xfc_cross_or_not(p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], &x, &y, 0, 0);
        bool want = bg::intersects(s1, s2);
        ++compared;
        if (got == (want ? 1 : 0))
            ++agree;
        else
            ADD_FAILURE() << i;
        if (got) {
            EXPECT_LT(bg::distance(Point(x, y), s1), 1e-6);
            EXPECT_LT(bg::distance(Point(x, y), s2), 1e-6);
        }
    }
    EXPECT_EQ(agree, compared);
    EXPECT_GT(compared, 19000);
}

TEST(CrossOrNot, TolerancesLengthenEachSegment) {
    double x, y;
    // The second segment stops 2 short of the first; a tolerance of 3 on it reaches, 1 does not.
    EXPECT_EQ(xfc_cross_or_not(0, 0, 10, 0, 5, 2, 5, 10, &x, &y, 0, 3), 1);
    EXPECT_DOUBLE_EQ(x, 5);
    EXPECT_DOUBLE_EQ(y, 0);
    EXPECT_EQ(xfc_cross_or_not(0, 0, 10, 0, 5, 2, 5, 10, &x, &y, 0, 1), 0);
    EXPECT_EQ(xfc_cross_or_not(0, 0, 10, 0, 12, -5, 12, 5, nullptr, nullptr, 3, 0), 1);
    EXPECT_EQ(xfc_cross_or_not(0, 0, 0, 0, 12, -5, 12, 5, nullptr, nullptr, 3, 0), 0);  // zero-length first
}

TEST(PointSegmentDistance, RandomPointsAgreeWithBoost) {
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> u(-50, 50);
    for (int i = 0; i < 20000; ++i) {
        double x1 = u(rng), y1 = u(rng), x2 = u(rng), y2 = u(rng), px = u(rng), py = u(rng);
        if (i % 6 == 0) x2 = x1;
        if (i % 6 == 1) y2 = y1;
        double tol = std::fabs(u(rng));
        Segment s{{x1, y1}, {x2, y2}};
        // Only a foot on the segment counts: the distance to the segment equals the distance to its line there.
        double along =
            ((px - x1) * (x2 - x1) + (py - y1) * (y2 - y1)) / ((x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1));
        if (std::fabs(along) < 1e-9 || std::fabs(along - 1) < 1e-9) continue;
        double want = bg::distance(Point(px, py), s);
        bool foot_on = along > 0 && along < 1;
        if (std::fabs(want - tol) < 1e-9) continue;
        double got = point_segment_distance(px, py, x1, y1, x2, y2, tol);
        if (foot_on && want <= tol) {
            EXPECT_NEAR(got, want, 1e-9) << i;
        } else {
            EXPECT_EQ(got, -1.0) << i;
        }
    }
}

TEST(PointDistances, PointPointAndRightLeft) {
    EXPECT_DOUBLE_EQ(point_point_distance(0, 0, 3, 4, 5), 5);
    EXPECT_EQ(point_point_distance(0, 0, 3, 4, 4.99), -1.0);
    EXPECT_EQ(point_point_distance(0, 0, 3, 4, 4), -1.0);
    // y runs down: seen on screen the point (5, 1) lies right of the line from (0,0) to (10,0).
    EXPECT_EQ(right_left(5, 1, 0, 0, 10, 0, 0), 1);
    EXPECT_EQ(right_left(5, -1, 0, 0, 10, 0, 0), -1);
    EXPECT_EQ(right_left(5, 0, 0, 0, 10, 0, 0), 0);
    EXPECT_EQ(right_left(5, 0.5, 0, 0, 10, 0, 1), 0);  // within the tolerance of the line
    EXPECT_EQ(right_left(5, 1, 2, 2, 2, 2, 0), -1);    // zero-length line
    EXPECT_EQ(right_left(0, 0, 0, 0, 10, 0, 100), 0);  // on the first end
}

// The point of a circle at angle a (degrees), y down.
void at(double cx, double cy, double r, double a, double* x, double* y) {
    *x = cx + r * std::cos(a * M_PI / 180);
    *y = cy - r * std::sin(a * M_PI / 180);
}

TEST(CircleCrossings, RandomCirclesGivePointsOnBothCircles) {
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> u(-100, 100), ur(1, 80);
    int two = 0;
    for (int i = 0; i < 10000; ++i) {
        double cx1 = u(rng), cy1 = u(rng), r1 = ur(rng), cx2 = u(rng), cy2 = u(rng), r2 = ur(rng);
        double d = std::hypot(cx2 - cx1, cy2 - cy1);
        double xa, ya, xb, yb;
        int n = cross_circle_circle(cx1, cy1, r1, cx2, cy2, r2, &xa, &ya, &xb, &yb);
        bool meet = d <= r1 + r2 && d >= std::fabs(r1 - r2);
        if (std::fabs(d - (r1 + r2)) < 1e-6 || std::fabs(d - std::fabs(r1 - r2)) < 1e-6) continue;
        ASSERT_EQ(n, meet ? 2 : 0) << i;
        if (n == 2) {
            ++two;
            for (auto [x, y] : {std::pair{xa, ya}, std::pair{xb, yb}}) {
                EXPECT_NEAR(std::hypot(x - cx1, y - cy1), r1, 1e-7);
                EXPECT_NEAR(std::hypot(x - cx2, y - cy2), r2, 1e-7);
            }
        }
        // A line through the centres crosses circle 1 at its two diameter ends, nearer end first from P1.
        double la, lb, lc, ld;
        int m = cross_line_circle(cx1, cy1, r1, cx1 - 200, cy1, cx1 + 200, cy1, &la, &lb, &lc, &ld);
        ASSERT_EQ(m, 2);
        EXPECT_NEAR(la, cx1 - r1, 1e-9);
        EXPECT_NEAR(lc, cx1 + r1, 1e-9);
    }
    EXPECT_GT(two, 1000);
    double xa, ya;
    EXPECT_EQ(cross_circle_circle(0, 0, 4, 10, 0, 6, &xa, &ya, nullptr, nullptr), 1);  // touching from outside
    EXPECT_DOUBLE_EQ(xa, 4);
    EXPECT_DOUBLE_EQ(ya, 0);
    EXPECT_EQ(cross_circle_circle(1, 1, 4, 1, 1, 6, &xa, &ya, nullptr, nullptr), 0);  // same centre
}

TEST(SegmentCircle, CountsOnlyCrossingsOnTheSegmentWithAValidPointFirst) {
    double xa, ya, xb, yb;
    struct Case {
        double x1, y1, x2, y2;
        int n;
        double fx;
    } cases[] = {
        {-20, 0, 20, 0, 2, -10}, {0, 0, 20, 0, 1, 10},    {-20, 0, 0, 0, 1, -10}, {0, 0, 10, 0, 1, 10},
        {-5, 0, 5, 0, 0, 0},     {-20, 30, 20, 30, 0, 0}, {3, 3, 3, 3, 0, 0},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(cross_segment_circle(0, 0, 10, c.x1, c.y1, c.x2, c.y2, &xa, &ya, &xb, &yb), c.n);
        if (c.n) {
            EXPECT_DOUBLE_EQ(xa, c.fx);
        }
    }
}

TEST(ArcCrossings, ArcsAgainstAnalyticAngles) {
    double xs[2], ys[2];
    // Two unit-spaced full circles cross at angles +-60 about the first centre... and 120/240 about the second.
    ASSERT_EQ(xcf_cross_arc_arc(0, 0, 10, 0, 360, 10, 0, 10, 0, 360, xs, ys, 0), 2);
    // About the second centre (10, 0) the crossings lie at 120 and 240 degrees: only 120 is in 0..130.
    ASSERT_EQ(xcf_cross_arc_arc(0, 0, 10, 0, 360, 10, 0, 10, 0, 130, xs, ys, 0), 1);
    double ex, ey;
    at(10, 0, 10, 120, &ex, &ey);
    EXPECT_TRUE(kz::test::all_near({xs[0], ys[0]}, {ex, ey}, 1e-9));
    ASSERT_EQ(xcf_cross_arc_arc(0, 0, 10, 0, 360, 10, 0, 10, 0, 90, xs, ys, 0), 0);
    // A tolerance of 1 unit on radius 10 widens the second arc by 5.73 degrees at both ends.
    ASSERT_EQ(xcf_cross_arc_arc(0, 0, 10, 0, 360, 10, 0, 10, 0, 115, xs, ys, 1.0), 1);
    // Line and arc: the horizontal through the centre meets the arc 0..90 only at angle 0.
    ASSERT_EQ(xcf_cross_line_arc(-20, 5, 20, 5, 0, 5, 10, 0, 90, xs, ys, 0), 1);
    EXPECT_NEAR(xs[0], 10, 1e-9);
    // The segment stopping 2 short of the circle counts with a tolerance of 3.
    EXPECT_EQ(xcf_cross_line_arc(-20, 5, 8, 5, 0, 5, 10, 0, 90, xs, ys, 0), 0);
    EXPECT_EQ(xcf_cross_line_arc(-20, 5, 8, 5, 0, 5, 10, 0, 90, xs, ys, 3), 1);
    EXPECT_EQ(xcf_cross_line_arc(-20, 5, 20, 5, 0, 5, 0, 0, 90, xs, ys, 0), 0);  // no radius
}

TEST(ArcDistance, RandomPointsAgainstAngleAndRadius) {
    std::mt19937_64 rng(9);
    std::uniform_real_distribution<double> u(-30, 30), ua(0, 360);
    for (int i = 0; i < 20000; ++i) {
        double px = u(rng), py = u(rng), r = 10 + u(rng) / 4, start = ua(rng), end = ua(rng), tol = 3;
        double a = std::atan2(-py, px) * 180 / M_PI;  // angle about (0, 0), y down
        if (a < 0) a += 360;
        double sweep = end >= start ? end - start : end - start + 360;
        double rel = a >= start ? a - start : a - start + 360;
        double radial = std::fabs(std::hypot(px, py) - r);
        if (std::fabs(rel - sweep) < 1e-9 || std::fabs(radial - tol) < 1e-9 || rel < 1e-9) continue;
        double got = point_arc_distance(px, py, 0, 0, r, start, end, tol);
        if (rel < sweep && radial <= tol) {
            EXPECT_NEAR(got, radial, 1e-9) << i;
        } else {
            EXPECT_EQ(got, -1.0) << i;
        }
    }
    double x, y;
    at(0, 0, 10, 90, &x, &y);
    EXPECT_EQ(point_arc_distance(x, y, 0, 0, 10, 0, 90, 1), -1.0);  // the end is not on the arc
    at(0, 0, 10, 0, &x, &y);
    EXPECT_NEAR(point_arc_distance(x, y, 0, 0, 10, 0, 90, 1), 0, 1e-12);
    EXPECT_EQ(point_arc_distance(0, 0, 0, 0, 10, 0, 90, 1), -1.0);  // the centre, radius beyond tolerance
    EXPECT_EQ(point_arc_distance(0, 0, 0, 0, 0.5, 0, 90, 1), 0.5);
    at(0, 0, 10, 200, &x, &y);
    EXPECT_NEAR(point_arc_distance(x, y, 0, 0, 10, 30, 30, 1), 0, 1e-12);  // equal angles: full circle
}

TEST(Angles, RangesNormalisingMirrorAndRotation) {
    struct Range {
        double start, end, angle, tol;
        int in;
    } ranges[] = {{350, 10, 5, 0, 1}, {350, 10, 20, 0, 0}, {0, 90, -1, 2, 1},   {0, 90, -3, 2, 0},
                  {0, 90, 91, 2, 1},  {0, 90, 180, 0, 0},  {0, 360, 200, 0, 1}, {90, 90, 90, 0, 1}};
    for (const auto& r : ranges) EXPECT_EQ(angle_in_range(r.start, r.end, r.angle, r.tol), r.in) << r.angle;
    EXPECT_EQ(normalize_degrees(720), 360);
    EXPECT_EQ(normalize_degrees(-360), 0);
    EXPECT_EQ(normalize_degrees(360), 360);
    EXPECT_NEAR(normalize_degrees(-30), 330, 1e-12);
    EXPECT_NEAR(normalize_degrees(1e300), std::fmod(1e300, 360.0), 360.0);  // huge values end, and end in range
    EXPECT_GE(normalize_degrees(-1e300), 0);
    EXPECT_EQ(mirror_angle(0, 90), 270);
    EXPECT_EQ(mirror_angle(90, 30), 150);
    EXPECT_EQ(mirror_angle(300, 100), 140);
    double x, y;
    rotate_point_deg(34, 0, 90, &x, &y);
    EXPECT_NEAR(x, 0, 1e-12);
    EXPECT_NEAR(y, -34, 1e-12);
}

TEST(NearestCrossing, PicksTheCrossingNearerTheGivenPoint) {
    double x = 0, y = 100, ox, oy;
    ASSERT_EQ(nearest_line_circle_crossing(-20, 0, 20, 0, 0, 0, 10, &x, &y, &ox, &oy), 1);
    EXPECT_DOUBLE_EQ(x, 10);  // a tie takes the second crossing
    EXPECT_DOUBLE_EQ(ox, -10);
    x = -9, y = 1;
    ASSERT_EQ(nearest_line_circle_crossing(-20, 0, 20, 0, 0, 0, 10, &x, &y, nullptr, nullptr), 1);
    EXPECT_DOUBLE_EQ(x, -10);
    x = 5, y = 20;
    ASSERT_EQ(nearest_circle_crossing(0, 0, 10, 10, 0, 10, &x, &y, &ox, &oy), 1);
    EXPECT_NEAR(x, 5, 1e-9);
    EXPECT_NEAR(y, std::sqrt(75.0), 1e-9);
    EXPECT_EQ(nearest_circle_crossing(0, 0, 1, 10, 0, 1, &x, &y, nullptr, nullptr), 0);
}

}  // namespace
}  // namespace kz::drawing2d
