// Picking against known geometry: the shape under a point and a depth that unprojects onto its surface, nothing
// over the background, hits nearest first, non-pickable shapes left out, and the stencil pick's answer equal to
// the full selection pick past the wrap of the stencil names.
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "render_support.h"

namespace kz::test {
namespace {

const _OfuMaterial kWhite = make_material({1, 1, 1, 1}, {1, 1, 1, 1});

// Window point (y downwards) of a world point, where the pick reads its pixel.
void window_point(const _O3duCamera& c, int width, int height, const OfuVector3& p, int& x, int& y) {
    double fx = 0, fy = 0;
    project(c, width, height, p, fx, fy);
    x = int(fx);
    y = height - int(fy);
}

TEST(Picking, FindsTheShapeAndItsSurfaceDepth) {
    HeadlessScene s(96, 80);
    CO3duGLModelar& m = *s.modeller;
    HDC hdc = s.dc.get();
    CO3duPrimitive near_box = make_box({-10, -20, -10}, {10, -10, 10}, kWhite);
    CO3duPrimitive far_box = make_box({-30, 10, -30}, {30, 20, 30}, kWhite);
    _OfuPosition* near_pos = m.AddPrimitive(near_box);
    _OfuPosition* far_pos = m.AddPrimitive(far_box);
    _O3duCamera c;
    m.GetCamera(c);
    struct Case {
        OfuVector3 at;       // a point on the front face of the expected shape
        _OfuPosition* want;  // null: background
    };
    for (const Case& k : {Case{{3, -20, 4}, near_pos}, Case{{20, 10, -20}, far_pos}, Case{{200, 10, 200}, nullptr}}) {
        int x = 0, y = 0;
        window_point(c, 96, 80, k.at, x, y);
        for (const int max : {1, 4}) {
            SCOPED_TRACE(testing::Message() << "max " << max << " at " << x << "," << y);
            std::vector<_O3duSelect> hits(4);
            const int n = m.HitTest(hdc, x, y, hits.data(), max);
            if (!k.want) {
                EXPECT_EQ(n, 0);
                continue;
            }
            ASSERT_GE(n, 1);
            EXPECT_EQ(hits[0].position, k.want);
            OfuVector3 point;
            m.GetDepthToPoint3(hdc, x, y, hits[0].depth, point);
            // On the face's plane, and within a pixel's width of the picked pixel's line of sight.
            const double pixel = 2 * std::tan(15 * M_PI / 180) * (k.at.y - c.eye.y) / 80;
            EXPECT_NEAR(point.y, k.at.y, 0.05);
            EXPECT_NEAR(point.x, k.at.x, 1.5 * pixel);
            EXPECT_NEAR(point.z, k.at.z, 1.5 * pixel);
        }
    }
    // Overlapping shapes come back nearest first.
    std::vector<_O3duSelect> hits(4);
    int x = 0, y = 0;
    window_point(c, 96, 80, {0, -20, 0}, x, y);
    ASSERT_EQ(m.HitTest(hdc, x, y, hits.data(), 4), 2);
    EXPECT_EQ(hits[0].position, near_pos);
    EXPECT_EQ(hits[1].position, far_pos);
    EXPECT_LT(hits[0].depth, hits[1].depth);
    // Made unpickable, the near box neither answers nor hides the far one.
    m.SetDrawMode(near_pos, 0);
    _O3duSelect one{nullptr, 0.5, 9};
    EXPECT_EQ(m.HitTestS(hdc, x, y, one), far_pos);
    EXPECT_EQ(one.pass, 0);
    // Off the drawing there is nothing to read; the caller's record stays as it was.
    _O3duSelect untouched{nullptr, 0.25, 7};
    EXPECT_EQ(m.HitTestS(hdc, -5, 500, untouched), nullptr);
    EXPECT_EQ(untouched.depth, 0.25);
}

TEST(Picking, RefinedDepthLandsOnTheSurface) {
    HeadlessScene s(96, 80);
    CO3duGLModelar& m = *s.modeller;
    HDC hdc = s.dc.get();
    CO3duPrimitive box = make_box({-10, -20, -10}, {10, -10, 10}, kWhite);
    _OfuPosition* pos = m.AddPrimitive(box);
    _O3duCamera c;
    m.GetCamera(c);
    int x = 0, y = 0;
    window_point(c, 96, 80, {4, -20, -3}, x, y);
    _O3duSelect select{};
    OfuVector3 point(1e9, 1e9, 1e9);
    m.GetDepthToPoint3_Hi(hdc, select, x, y, point);
    EXPECT_EQ(select.position, pos);
    EXPECT_NEAR(point.y, -20.0, 0.01);
    _O3duCamera after;
    m.GetCamera(after);
    EXPECT_EQ(after.near_distance, c.near_distance);  // the camera comes back as it was
    EXPECT_EQ(after.far_distance, c.far_distance);
}

// Six hundred small squares in three layers, so the stencil names wrap twice; the stencil pick must name the
// same shape at the same depth as the full selection pick everywhere, scissored or not.
TEST(Picking, StencilPickAgreesWithSelectionPastTheNameWrap) {
    HeadlessScene s(80, 80);
    CO3duGLModelar& m = *s.modeller;
    HDC hdc = s.dc.get();
    std::vector<_OfuPosition*> shapes;
    for (int layer = 0; layer < 3; ++layer)
        for (int i = 0; i < 200; ++i) {
            const double x0 = -20 + (i % 20) * 2.0 + layer * 0.7, z0 = -20 + (i / 20) * 4.0 + layer * 1.3;
            CO3duPrimitive q =
                make_quad_facing_minus_y(x0, z0, x0 + 2.6, z0 + 3.5, -double(layer) * 3 + (i % 7) * 0.2, kWhite);
            shapes.push_back(m.AddPrimitive(q));
        }
    int agreed = 0, hits_seen = 0;
    for (int y = 2; y < 80; y += 5)
        for (int x = 2; x < 80; x += 5) {
            _O3duSelect stencil{}, scissorless{};
            std::vector<_O3duSelect> all(8);
            const int n1 = m.HitTest(hdc, x, y, &stencil, 1);
            set_pick_scissor_for_testing(false);
            const int n2 = m.HitTest(hdc, x, y, &scissorless, 1);
            set_pick_scissor_for_testing(true);
            const int n = m.HitTest(hdc, x, y, all.data(), 8);
            ASSERT_EQ(n1, n > 0 ? 1 : 0) << x << "," << y;
            ASSERT_EQ(n2, n1);
            if (n == 0) continue;
            ++hits_seen;
            EXPECT_EQ(stencil.position, scissorless.position);
            EXPECT_EQ(stencil.depth, scissorless.depth);
            if (stencil.position == all[0].position && std::fabs(stencil.depth - all[0].depth) < 1e-6) ++agreed;
        }
    EXPECT_GT(hits_seen, 100);
    EXPECT_EQ(agreed, hits_seen);
}

}  // namespace
}  // namespace kz::test
