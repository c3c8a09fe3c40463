// The searches' rules on small drawings: capacity and order of candidates, radius units, arc snap points,
// crossings of the two nearest records, picks inside texts, extents and variable searches.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <tuple>

#include "drawing2d/row_store.h"
#include "drawing2d/search.h"
#include "drawing2d/search_filter.h"
#include "drawing_test_support.h"
#include "support/all_near.h"

namespace kz::drawing2d {
namespace {
using SearchPoint = test::DrawingTest;
using SearchCross = test::DrawingTest;
using Gsearch = test::DrawingTest;
using Extents = test::DrawingTest;
using SearchArray = test::DrawingTest;
using SearchFilter = test::DrawingTest;

TEST_F(SearchPoint, CapacityOrderAndRadiusUnits) {
    int32_t l1 = xlum_line_set(ctx, 0, 3, 0, 100, 100);   // end at distance 3
    int32_t l2 = xlum_line_set(ctx, 0, 0, 4, -100, 100);  // end at distance 4
    int32_t l3 = xlum_line_set(ctx, 0, -3, 0, -100, 0);   // end at distance 3, found after l1
    int32_t kinds[3], rows[3];
    double dists[3], xs[3], ys[3];
    ASSERT_EQ(xlum_search_point(ctx, 0, 0, 0, 10, 3, kinds, rows, dists, xs, ys), 3);
    EXPECT_EQ((std::array{rows[0], rows[1], rows[2]}), (std::array{l1, l3, l2}));
    EXPECT_EQ(std::tuple(dists[2], kinds[0]), std::tuple(4, 2));
    ctx->disp_bscale = 2;
    EXPECT_EQ(xlum_search_point(ctx, 0, 0, 0, -7, 3, kinds, rows, dists, xs, ys), 2);  // 3.5 drawing units
    EXPECT_EQ(xlum_search_point(ctx, 0, 0, 0, 0, 3, kinds, rows, dists, xs, ys), 3);   // unlimited
    EXPECT_EQ(xlum_search_point(ctx, 0, 50, 50, 1, 3, kinds, rows, dists, xs, ys), 0);
    EXPECT_EQ(std::pair(rows[0], dists[0]), std::pair(-1, -1.0));
    EXPECT_EQ(xlum_search_point(ctx, l3, 0, 0, 10, 3, kinds, rows, dists, xs, ys), 1);  // from a later row
}

TEST_F(SearchPoint, ArcSnapPoints) {
    xlum_en_set(ctx, 0, 0, 0, 10, 0, 0);  // full circle
    int32_t kinds[10], rows[10];
    double dists[10], xs[10], ys[10];
    EXPECT_EQ(xlum_search_point(ctx, 0, 10, 1, 0, 10, kinds, rows, dists, xs, ys), 6);  // centre, 0..360 by 90
    EXPECT_NEAR(dists[0], 1, 1e-12);
    EXPECT_EQ(kinds[5], 3);
    // At the centre no point on the circle can be nearer than the centre itself: only the centre.
    EXPECT_EQ(xlum_search_point(ctx, 0, 0, 0, 0, 10, kinds, rows, dists, xs, ys), 1);
    ctx->arc_snap_angle_deg = 0;
    EXPECT_EQ(xlum_search_point(ctx, 0, 10, 1, 0, 10, kinds, rows, dists, xs, ys), 1);
    ctx->arc_snap_angle_deg = 90;
    test::Drawing d2;
    drawing_context* c2 = d2.peek();
    xlum_en_set(c2, 0, 0, 0, 10, 30, 120);  // ends and the 90-degree point
    EXPECT_EQ(xlum_search_point(c2, 0, 0, -20, 0, 10, kinds, rows, dists, xs, ys), 4);
    EXPECT_TRUE(kz::test::all_near({xs[0], ys[0]}, {0, -10}, 1e-9));  // (0, -10) at 90 degrees is nearest to (0, -20)
}

TEST_F(SearchCross, TheTwoNearestRecordsGiveTheCrossing) {
    int32_t a = xlum_line_set(ctx, 0, -50, 0, 50, 0);
    int32_t b = xlum_line_set(ctx, 0, 20, -50, 20, 50);
    double x, y, dist;
    int32_t ra, rb;
    ASSERT_EQ(xlum_search_cross(ctx, 0, 19, 1.5, 5, &x, &y, &dist, &ra, &rb), 1);
    EXPECT_EQ(std::pair(ra, rb), std::pair(b, a));  // the vertical is nearer (1 unit) than the horizontal (1.5)
    EXPECT_EQ(std::pair(x, y), std::pair(20.0, 0.0));
    EXPECT_NEAR(dist, std::hypot(1, 1.5), 1e-12);
    EXPECT_EQ(xlum_search_cross(ctx, 0, -40, 1, 5, &x, &y, &dist, &ra, &rb), 0);  // near one line only
    EXPECT_EQ(std::pair(rb, x), std::pair(-1, -40.0));
    int32_t arc = xlum_en_set(ctx, 0, 0, 0, 30, 0, 0);
    double cx = 29, cy = 1;
    ASSERT_EQ(xlum_cross_point_by_primitive(ctx, a, arc, &cx, &cy, nullptr, nullptr), 1);
    EXPECT_DOUBLE_EQ(cx, 30);
    EXPECT_EQ(xlum_cross_point_by_primitive(ctx, a, a + 100, &cx, &cy, nullptr, nullptr), 0);
}

TEST_F(Gsearch, TextsArePickedInsideTheirBox) {
    int32_t t = xlum_moji_set(ctx, 0, "abc", 0, 0, 0, 10, 5, 2, 0, 0);
    int32_t kinds[4], rows[4];
    double dists[4];
    ASSERT_EQ(xlum_gsearch(ctx, 0, 17, -2, 1, 4, kinds, rows, dists), 1);
    EXPECT_EQ(std::tuple(rows[0], kinds[0], dists[0]), std::tuple(t, 5, 0.0));
    EXPECT_EQ(xlum_gsearch(ctx, 0, 35, -2, 1, 4, kinds, rows, dists), 0);
    ctx->ank_res[5] = 1;  // measuring slot: the rough box is 3 x 1.5 wide, the measured one decides too
    EXPECT_EQ(xlum_gsearch(ctx, 0, 1, -2, 1, 4, kinds, rows, dists), 1);
    EXPECT_EQ(xlum_gsearch(ctx, 0, 17, -2, 1, 4, kinds, rows, dists), 0);
}

TEST_F(Extents, EmptyArcsCentresAndTexts) {
    double b[4];
    EXPECT_EQ(xlum_gmxmn(ctx, 0, &b[0], &b[1], &b[2], &b[3]), 0);
    EXPECT_EQ(std::pair(b[0], b[3]), std::pair(-33554431.0, 33554431.0));
    xlum_en_set(ctx, 0, 100, 100, 10, 0, 90);  // quarter from (110, 100) up to (100, 90)
    ASSERT_EQ(xlum_gmxmn(ctx, 0, &b[0], &b[1], &b[2], &b[3]), 1);
    EXPECT_EQ((std::array{b[0], b[1], b[2], b[3]}), (std::array{100.0, 90.0, 110.0, 100.0}));
    ctx->gmxmn_center_sw = 1;
    xlum_gmxmn(ctx, 0, &b[0], &b[1], &b[2], &b[3]);
    EXPECT_EQ(ctx->gmxmn_center_sw, 0);
    xlum_en_set(ctx, 0, 0, 0, 5, 350, 10);  // passes 0 degrees
    xlum_gmxmn(ctx, 0, &b[0], &b[1], &b[2], &b[3]);
    EXPECT_DOUBLE_EQ(b[0], 5 * std::cos(10 * M_PI / 180));
    EXPECT_NEAR(b[1], -5 * std::sin(10 * M_PI / 180), 1e-12);
    xlum_moji_set(ctx, 0, "abc", 200, 50, 0, 10, 5, 2, 0, 0);
    xlum_gmxmn(ctx, 0, &b[0], &b[1], &b[2], &b[3]);
    EXPECT_DOUBLE_EQ(b[2], 234);
}

TEST_F(Extents, RandomArcsAgainstDensifiedArcs) {
    std::mt19937 rng(4);
    for (int i = 0; i < 2000; ++i) {
        double cx = rng() % 1000, cy = rng() % 1000, r = 1 + rng() % 500, s = rng() % 360, e = rng() % 360;
        int32_t row = xlum_en_set(ctx, 0, cx, cy, r, s, e);
        double b[4];
        ASSERT_EQ(arc_extents(ctx, row, &b[0], &b[1], &b[2], &b[3], 0), 1);
        double sweep = s == e ? 360 : std::fmod(e - s + 720, 360), w[4] = {1e300, 1e300, -1e300, -1e300};
        for (int k = 0; k <= 1440; ++k) {
            double a = (s + sweep * k / 1440) * M_PI / 180, x = cx + r * std::cos(a), y = cy - r * std::sin(a);
            w[0] = std::min(w[0], x), w[1] = std::min(w[1], y), w[2] = std::max(w[2], x), w[3] = std::max(w[3], y);
        }
        double slack = r * (1 - std::cos(sweep / 1440 * M_PI / 180)) + 1e-9;
        for (int k = 0; k < 4; ++k) EXPECT_NEAR(b[k], w[k], slack) << i << " " << k;
    }
}

TEST_F(SearchArray, NamedColumnsAndBounds) {
    xlum_line_set(ctx, 0, 1, 2, 3, 4);
    xlum_line_set(ctx, 0, 7, 2, 3, 4);
    EXPECT_EQ(xlum_search_array(ctx, "C4", 7, 0, 10), 1);
    EXPECT_EQ(xlum_search_array(ctx, "c4", 7, 2, 10), -1);
    EXPECT_EQ(xlum_search_array(ctx, "c1h", 2, 0, 10), 0);
    EXPECT_EQ(xlum_search_array(ctx, "c1c", -1, 0, -5), 2);  // first > last: up to the last row
    EXPECT_EQ(xlum_search_array(ctx, "no_such", 0, 0, 5), -1);
    EXPECT_EQ(xlum_search_array(ctx, "disp_layer", 0, 0, 100000), -1);  // held inside the 256 layers
    ctx->disp_layer[255] = 0;
    EXPECT_EQ(xlum_search_array(ctx, "disp_layer", 0, 0, 100000), 255);
    EXPECT_EQ(xlum_search_array(ctx, "line_style_data2", -1, 0, 15), 1);
    EXPECT_EQ(xlum_search_array(ctx, "line_style_data9", -1, 0, 15), -1);
    EXPECT_EQ(xlum_search_array(ctx, "c4", 1, ctx->mat + 10, ctx->mat + 20), -1);
}

TEST_F(SearchFilter, RulesAndCandidateList) {
    int32_t line = xlum_line_set(ctx, 0, 0, 0, 1, 1);
    int32_t arc = xlum_en_set(ctx, 0, 0, 0, 1, 0, 0);
    struct Case {
        int32_t command, layer, lock, exact;
        bool line_in, arc_in;
    } cases[] = {{2, -1, 0, 0, true, false},  {4, -1, 0, 0, false, true},   {-1, 1, 0, 0, true, true},
                 {-1, 2, 0, 0, false, false}, {-1, -1, 1, 0, false, false}, {-1, -1, 0, 3, false, true}};
    for (const auto& c : cases) {
        reset_search_filter(ctx);
        ctx->by_command = c.command;
        ctx->by_layer = c.layer;
        ctx->by_lock_layer = c.lock;
        ctx->lock_layer[1] = 1;
        ctx->search_exact_type = c.exact;
        EXPECT_EQ(search_filter_accepts(ctx, line), c.line_in ? 1 : 0);
        EXPECT_EQ(search_filter_accepts(ctx, arc), c.arc_in ? 1 : 0);
        ctx->search_match_all = 1;
        EXPECT_EQ(search_filter_accepts(ctx, arc), 1);
    }
    reset_search_filter(ctx);
    EXPECT_EQ(ctx->search_exact_type, 3);  // survives resets
    search_candidate list[3];
    int n = 0;
    for (double dist : {5.0, 1.0, 5.0, -1.0, 0.5, 9.0, 5.0})
        n = insert_candidate(list, 3, n, 0, static_cast<int>(dist * 10), dist, 0, 0);
    ASSERT_EQ(n, 3);
    EXPECT_EQ((std::array{list[0].distance, list[1].distance, list[2].distance}), (std::array{0.5, 1.0, 5.0}));
    EXPECT_EQ(insert_candidate(list, 0, 0, 0, 0, 1, 0, 0), 0);
}

}  // namespace
}  // namespace kz::drawing2d
