// Picking against known geometry: the shape under a point and a depth that unprojects onto its surface, nothing
// over the background, hits nearest first, non-pickable shapes left out, and the stencil pick's answer equal to
// the full selection pick past the wrap of the stencil names; picks that pass over far shapes answer as picks over
// every shape, after any change of the shapes, and a derived modeller's hooks are asked about every shape.
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "tests/modeller/render_support.h"

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

struct Picks {
    int ones = 0, alls = 0;
    _O3duSelect one{};
    std::vector<_O3duSelect> all = std::vector<_O3duSelect>(6);
};

Picks picks_at(CO3duGLModelar& m, HDC hdc, int x, int y) {
    Picks p;
    p.ones = m.HitTest(hdc, x, y, &p.one, 1);
    p.alls = m.HitTest(hdc, x, y, p.all.data(), 6);
    return p;
}

// Both picks through the index against both over every shape at a grid of pixels; the number of pixels that hit.
int indexed_picks_agree(CO3duGLModelar& m, HDC hdc, int width, int height) {
    int hits = 0;
    for (int y = 1; y < height; y += 4)
        for (int x = 1; x < width; x += 4) {
            SCOPED_TRACE(testing::Message() << "at " << x << "," << y);
            const Picks indexed = picks_at(m, hdc, x, y);
            set_pick_index_for_testing(false);
            const Picks full = picks_at(m, hdc, x, y);
            set_pick_index_for_testing(true);
            EXPECT_EQ(indexed.ones, full.ones);
            EXPECT_EQ(indexed.one.position, full.one.position);
            EXPECT_EQ(indexed.one.depth, full.one.depth);
            EXPECT_EQ(indexed.alls, full.alls);
            for (std::size_t k = 0; k < full.all.size(); ++k) {
                EXPECT_EQ(indexed.all[k].position, full.all[k].position) << k;
                EXPECT_EQ(indexed.all[k].depth, full.all[k].depth) << k;
            }
            hits += full.ones;
        }
    return hits;
}

OfuMatrix4x4 moved_by(double x, double y, double z) {
    OfuMatrix4x4 m = identity_matrix();
    m[3][0] = x, m[3][1] = y, m[3][2] = z;
    return m;
}

// Three hundred boxes, some drawn as wide outlines, then each change that can bring a shape into a pixel's view:
// the index must follow every one.
TEST(Picking, IndexedPicksEqualPicksOverEveryShapeThroughChanges) {
    HeadlessScene s(96, 80);
    CO3duGLModelar& m = *s.modeller;
    HDC hdc = s.dc.get();
    unsigned seed = 7;
    const auto next = [&](double lo, double hi) {
        seed = seed * 1103515245u + 12345u;
        return lo + (hi - lo) * double((seed >> 8) & 0xFFFF) / 65535.0;
    };
    std::vector<_OfuPosition*> shapes;
    for (int i = 0; i < 300; ++i) {
        // The first few sit in the top left corner, for the changes below to bring to the middle.
        const OfuVector3 lo =
            i < 5 ? OfuVector3(-32 + 3 * i, 30, 20) : OfuVector3(next(-32, 28), next(-20, 40), next(-26, 22));
        const OfuVector3 size = i < 5 ? OfuVector3(3, 3, 3) : OfuVector3(next(0.5, 5), next(0.5, 5), next(0.5, 5));
        CO3duPrimitive box = make_box(lo, OfuVector3(lo.x + size.x, lo.y + size.y, lo.z + size.z), kWhite);
        if (i % 10 == 9) {
            box.polygon_mode = 1;
            for (int k = 0; k < box.sets.GetSize(); ++k) box.sets[k].line_width = 5;
        }
        shapes.push_back(m.AddPrimitive(box));
    }
    CO3duPrimitive front = make_box({-6, -45, -6}, {6, -40, 6}, kWhite);
    OfuMatrix4x4 to_middle = moved_by(29, -75, -21), aside = moved_by(20, -70, -30);
    const std::function<void()> changes[] = {
        [] {},
        [&] { m.SetMatrix(shapes[1], to_middle); },
        [&] { m.SetDrawMode(shapes[1], 0); },
        [&] { m.SetDrawMode(shapes[1], O3DU_DRAW_PICKABLE); },
        [&] { m.MoveShape(shapes[2], aside); },
        [&] { m.ChangePrimitive(shapes[3], front, O3DU_PRIM_GEOMETRY); },
        [&] { m.RemoveShapeAt(shapes[3]); },
        [&] { shapes.push_back(m.AddPrimitive(front)); },
        [&] { m.MoveDepthToHead(shapes[4]); },
    };
    int step = 0;
    for (const auto& change : changes) {
        SCOPED_TRACE(testing::Message() << "change " << step++);
        change();
        EXPECT_GT(indexed_picks_agree(m, hdc, 96, 80), 100);
    }
}

// Draws every shape 20 units along x from where its matrix puts it.
class ShiftingModelar : public CO3duGLModelar {
public:
    int PreDraw(_OfuPosition*&, OfuMatrix4x4& m, int) override {
        m[3][0] += 20.0;
        return 0;
    }
};

TEST(Picking, AShapeAHookMovesIsPickedWhereItIsDrawn) {
    static_assert(!kKeepsBaseHooks<ShiftingModelar>);
    auto dc = kz::platform::DeviceContext::create_window(96, 80);
    ShiftingModelar m;
    HDC hdc = dc.get();
    ASSERT_EQ(m.Initialize(hdc), 1);
    _O3duCamera c;
    m.GetCamera(c);
    c.eye = OfuVector3(0, -100, 0);
    m.SetCamera(c);
    CO3duPrimitive box = make_box({-25, -5, -5}, {-15, 5, 5}, kWhite);
    _OfuPosition* pos = m.AddPrimitive(box);
    _O3duSelect hit{};
    EXPECT_EQ(m.HitTestS(hdc, 48, 40, hit), pos);
}

// A caption (window pixels 10 to 20 across and 5 to 15 down from the viewport's top) is picked where it is drawn,
// by both picks, wherever the host put the viewport in the window; beside it, the box behind it.
TEST(Picking, ACaptionIsPickedWhereAViewportOffTheCornerDrawsIt) {
    for (const auto& [x, y] : {std::pair{0, 0}, {24, 0}, {0, 30}, {17, 9}}) {
        SCOPED_TRACE(::testing::Message() << "the viewport at " << x << ", " << y);
        auto dc = kz::platform::DeviceContext::create_window(96 + 40, 80 + 40);
        CO3duGLModelar m;
        HDC hdc = dc.get();
        ASSERT_EQ(m.Initialize(hdc), 1);
        _O3duViewport view{x, y, 96, 80};
        m.SetViewport(view);
        _O3duCamera c;
        m.GetCamera(c);
        c.eye = OfuVector3(0, -100, 0);
        m.SetCamera(c);
        CO3duPrimitive label;
        label.kind = 1;
        CO3duTrianglePolys set;
        set.type = O3DU_SET_TRIANGLE_STRIP;
        set.material = kWhite;
        set.vertices.SetSize(4);
        const double xs[4] = {10, 10, 20, 20}, ys[4] = {5, 15, 5, 15};
        for (int i = 0; i < 4; ++i) set.vertices[i].position = OfuVector3(xs[i], ys[i], 1);
        label.sets.Add(set);
        _OfuPosition* caption = m.AddPrimitive(label);
        CO3duPrimitive box = make_box({-40, -5, -40}, {40, 5, 40}, kWhite);
        _OfuPosition* behind = m.AddPrimitive(box);
        // The pick's rows count down from the viewport's height: the caption's middle row, 10 down from the top,
        // is row 80 - 10 from the viewport's foot.
        const int px = x + 15, py = 10 - y;
        _O3duSelect one{};
        EXPECT_EQ(m.HitTestS(hdc, px, py, one), caption);
        std::vector<_O3duSelect> hits(4);
        ASSERT_EQ(m.HitTest(hdc, px, py, hits.data(), 4), 2);
        EXPECT_EQ(hits[0].position, caption);
        EXPECT_EQ(hits[1].position, behind);
        EXPECT_EQ(m.HitTestS(hdc, x + 30, py, one), behind);
    }
}

}  // namespace
}  // namespace kz::test
