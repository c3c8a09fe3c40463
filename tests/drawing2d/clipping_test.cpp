// Segments clipped to rectangles against Boost.Geometry, segments divided by circles, arcs divided by
// rectangles against densified arcs, and arcs divided by circles.
#include <gtest/gtest.h>

#include <boost/geometry.hpp>
#include <cmath>
#include <random>
#include <tuple>

#include "drawing2d/clipping.h"
#include "support/all_near.h"

namespace bg = boost::geometry;
using Point = bg::model::d2::point_xy<double>;
using Line = bg::model::linestring<Point>;
using Box = bg::model::box<Point>;

namespace kz::drawing2d {
namespace {

TEST(LineClipByRect, RandomSegmentsAgreeWithBoostIntersection) {
    std::mt19937_64 rng(21);
    std::uniform_real_distribution<double> u(-50, 150);
    Box box{{0, 0}, {100, 60}};
    int inside = 0, clipped = 0, outside = 0;
    for (int i = 0; i < 20000; ++i) {
        double x1 = u(rng), y1 = u(rng), x2 = u(rng), y2 = u(rng);
        if (i % 9 == 0) x2 = x1;
        if (i % 9 == 1) y2 = y1;
        Line seg{{x1, y1}, {x2, y2}};
        std::vector<Line> parts;
        bg::intersection(box, seg, parts);
        double ox1, oy1, ox2, oy2;
        int got = clip_segment_by_rect_coded(0, 0, 100, 60, x1, y1, x2, y2, &ox1, &oy1, &ox2, &oy2);
        double want_len = 0;
        for (const Line& p : parts) want_len += bg::length(p);
        bool wholly_in = bg::covered_by(Point(x1, y1), box) && bg::covered_by(Point(x2, y2), box);
        if (want_len < 1e-6 && !wholly_in) {
            EXPECT_TRUE(got == 0 || std::hypot(ox2 - ox1, oy2 - oy1) < 1e-6) << i;
            ++outside;
            continue;
        }
        ASSERT_NE(got, 0) << i;
        EXPECT_EQ(got, wholly_in ? 1 : 2) << i;
        EXPECT_NEAR(std::hypot(ox2 - ox1, oy2 - oy1), want_len, 1e-7) << i;
        for (auto [x, y] : {std::pair{ox1, oy1}, std::pair{ox2, oy2}}) {
            EXPECT_TRUE(x >= -1e-9 && x <= 100 + 1e-9 && y >= -1e-9 && y <= 60 + 1e-9) << i;
            EXPECT_LT(bg::distance(Point(x, y), seg), 1e-7) << i;
        }
        (wholly_in ? inside : clipped)++;
    }
    EXPECT_GT(inside, 500);
    EXPECT_GT(clipped, 5000);
    EXPECT_GT(outside, 1000);
}

TEST(LineClipByRect, EdgeCases) {
    double x1 = -1, y1 = 0.5, x2 = 0.5, y2 = 2;
    EXPECT_EQ(xfc_line_clip_by_rect(0, 0, 1, 1, x1, y1, x2, y2, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(xfc_line_clip_by_rect(0, 0, 1, 1, -2, 0, -2, 5, nullptr, nullptr, nullptr, nullptr), 0);
    double a = -1, b = 0.5, c = 2, dd = 0.5;
    EXPECT_EQ(xfc_line_clip_by_rect_in_place(0, 0, 1, 1, &a, &b, &c, &dd), 1);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(c, 1);
    EXPECT_EQ(rect_outcode(-1, 5, 0, 0, 1, 1), 0x1001);
    EXPECT_EQ(rect_outcode(2, -1, 0, 0, 1, 1), 0x110);
    EXPECT_EQ(rect_outcode(0.5, 0.5, 0, 0, 1, 1), 0);
}

TEST(LineClipByCircle, DivisionPointsAndFlags) {
    int count, inside[3];
    double xs[4], ys[4];
    // Wholly inside: no crossing for the plain division, the whole segment for the cut.
    EXPECT_EQ(xcf_line_clip_by_circle(0, 0, 10, -2, 0, 2, 0, &count, inside, xs, ys, 0), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(clip_segment_by_circle_for_cut(0, 0, 10, -2, 0, 2, 0, &count, inside, xs, ys, 0), 1);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(inside[0], 1);
    // Through the circle: out, in, out.
    ASSERT_EQ(xcf_line_clip_by_circle(0, 0, 10, 20, 0, -20, 0, &count, inside, xs, ys, 0), 1);
    ASSERT_EQ(count, 4);
    EXPECT_EQ(std::tuple(xs[1], xs[2], inside[0] * 100 + inside[1] * 10 + inside[2]), std::tuple(10, -10, 10));
    ASSERT_EQ(clip_segment_by_circle_for_cut(0, 0, 10, 0, 0, 20, 0, &count, inside, xs, ys, 0), 2);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(std::tuple(inside[0], inside[1]), std::tuple(1, 0));
    // Stopping 3 short of the circle: a tolerance of 5 lengthens it to cross.
    EXPECT_EQ(xcf_line_clip_by_circle(0, 0, 10, 0, 0, 7, 0, &count, inside, xs, ys, 0), 0);
    ASSERT_EQ(xcf_line_clip_by_circle(0, 0, 10, 0, 0, 7, 0, &count, inside, xs, ys, 5), 1);
    EXPECT_EQ(count, 3);
    EXPECT_TRUE(kz::test::all_double_eq({xs[0], xs[1], xs[2]}, {-5, 10, 12}));
    double e[4] = {9, 9, 9, 9};
    EXPECT_EQ(extend_segment(0, 0, 0, 0, &e[0], &e[1], &e[2], &e[3], 5), 0);
    EXPECT_EQ(extend_segment(0, 0, 3, 4, &e[0], &e[1], &e[2], &e[3], 0), 1);
    EXPECT_EQ(e[0], 9);
}

// Whether the point of the arc at angle a lies in the box, by sampling the piece densely: the fraction inside.
double inside_fraction(double cx, double cy, double r, double a0, double a1, const Box& box) {
    if (a1 < a0) a1 += 360;
    int in = 0, n = 200;
    for (int k = 1; k < n; ++k) {
        double a = (a0 + (a1 - a0) * k / n) * M_PI / 180;
        if (bg::covered_by(Point(cx + r * std::cos(a), cy - r * std::sin(a)), box)) ++in;
    }
    return in / double(n - 1);
}

TEST(ArcClipByRect, RandomArcsSplitIntoPiecesWhollyInOrOut) {
    std::mt19937_64 rng(33);
    std::uniform_real_distribution<double> u(-40, 140), ur(5, 80), ua(0, 360);
    Box box{{0, 0}, {100, 60}};
    int pieces = 0;
    for (int i = 0; i < 3000; ++i) {
        double cx = u(rng), cy = u(rng), r = ur(rng), s = ua(rng), e = ua(rng);
        if (i % 5 == 0) s = 0, e = 360;
        int count, inside[9];
        double angles[10];
        int any = xfc_arc_clip_by_rect(0, 0, 100, 60, cx, cy, r, s, e, &count, inside, angles);
        ASSERT_GE(count, 2);
        ASSERT_LE(count, 10);
        int seen = 0;
        for (int k = 0; k + 1 < count; ++k) {
            double f = inside_fraction(cx, cy, r, angles[k], angles[k + 1], box);
            // A piece is on one side, short of the 3-unit merge tolerance near its ends.
            double span = std::fmod(angles[k + 1] - angles[k] + 720, 360) * M_PI / 180 * r;
            if (span < 20) continue;
            EXPECT_TRUE(inside[k] ? f > 0.8 : f < 0.2) << i << " piece " << k << " f " << f;
            seen |= inside[k];
            ++pieces;
        }
        if (seen) {
            EXPECT_EQ(any, 1);
        }
    }
    EXPECT_GT(pieces, 3000);
}

TEST(ArcClip, EdgeCases) {
    int count, inside[9];
    double angles[10];
    // Through the corner (10, 10) of the box 10..20 from centre (0, 10) with radius 10: one division there.
    xfc_arc_clip_by_rect(10, 10, 20, 20, 0, 10, 10, 270, 90, &count, inside, angles);
    EXPECT_EQ(count, 3);
    // A full circle cut by a smaller circle across it: three angles, the outside piece wrapping through 360.
    ASSERT_EQ(xfc_arc_clip_by_arc(-10, 0, 5, 0, 360, 0, 0, 10, 0, 360, &count, inside, angles), 1);
    ASSERT_EQ(count, 3);
    EXPECT_GT(angles[0], angles[1]);
    EXPECT_EQ(std::tuple(inside[0], inside[1]), std::tuple(0, 1));
    EXPECT_NEAR(angles[2], angles[0], 1e-12);
    // A crossing 1 unit (along the arc) from its own end does not divide it.
    double crossing = 180 - std::acos(0.875) * 180 / M_PI;  // where the two circles above meet
    xfc_arc_clip_by_arc(-10, 0, 5, 0, 360, 0, 0, 10, 0, crossing + 1.0 / 10 * 180 / M_PI, &count, inside, angles);
    EXPECT_EQ(count, 2);
    xfc_arc_clip_by_arc(-10, 0, 5, 0, 360, 0, 0, 10, 0, crossing + 4.0 / 10 * 180 / M_PI, &count, inside, angles);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(xfc_arc_clip_by_arc(0, 0, 0, 0, 360, 0, 0, 10, 0, 90, &count, inside, angles), 0);
    EXPECT_EQ(count, 0);
    // A crossing 1.7 units after the start is merged away; the piece then counts as inside by its point at a
    // third of its span, although its middle lies outside.
    double ymin = -100 * std::sin(1.0 * M_PI / 180);
    EXPECT_EQ(xfc_arc_clip_by_rect(0, ymin, 200, 10, 0, 0, 100, 0, 2.86, &count, inside, angles), 1);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(inside[0], 1);
    EXPECT_TRUE(kz::test::all_near({relative_angle(350, 10, 0), relative_angle(10, 9, 5)}, {20, -1}, 1e-12));
}

}  // namespace
}  // namespace kz::drawing2d
