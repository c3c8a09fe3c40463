// The plain-function interface drives two modellers side by side through one script of calls: each builds,
// draws and picks its own scene, and each frame shows what its own calls asked for.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "modeller/plain_functions/o3dx_interface.h"
#include "modeller/plain_functions/o3dx_table.h"
#include "platform/device_context.h"
#include "support/test_paths.h"
#include "tests/modeller/render_support.h"

namespace kz::test {
namespace {

using kz::platform::DeviceContext;

// The window's frame after a present (top-down BGRA), as RGB at (x, y) from the top left.
Rgb shown(const DeviceContext& dc, int x, int y) {
    const std::uint8_t* p = dc.backing_bytes() + std::size_t(y) * dc.backing_stride() + std::size_t(x) * 4;
    return {p[2], p[1], p[0]};
}

bool near(Rgb a, Rgb b) { return std::abs(a.r - b.r) <= 3 && std::abs(a.g - b.g) <= 3 && std::abs(a.b - b.b) <= 3; }

struct Host {
    std::unique_ptr<DeviceContext> dc = DeviceContext::create_window(64, 64);
    HDC hdc = dc.get();
    O3DXLONG h = -1;
    // Looks along +y from 100 in front of the origin under a white headlight, over the background given.
    void look(double* background) {
        double camera[10] = {0, -100, 0, 0, 0, 0, 30, 10, 1000, 1};
        double light[21] = {0, 1, 1, 1, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 0};
        O3DXLONG zero = 0;
        ASSERT_EQ(O3dxSetCamera(h, camera), 1);
        ASSERT_EQ(O3dxSetLight(h, zero, light), 1);
        ASSERT_EQ(O3dxSetBkColor(h, background), 1);
    }
    void draw() { ASSERT_EQ(O3dxDrawModel(h, hdc), 1); }
    _OfuPosition* pick(int x, int y) {
        O3DXLONG px = x, py = y;
        return O3dxHitTest(h, px, py, hdc);
    }
};

TEST(O3dxInterface, TwoModellersFollowTheirOwnCalls) {
    ASSERT_EQ(O3dxCreate(), 1);
    Host a, b;
    a.h = O3dxOpen(a.hdc);
    b.h = O3dxOpen(b.hdc);
    ASSERT_EQ(a.h, 0);
    ASSERT_EQ(b.h, 1);
    double red[3] = {0.4, 0, 0}, blue[3] = {0, 0, 0.4};  // dark
    a.look(red);
    b.look(blue);

    // A: a 20 x 20 square block along y, seen face on. B: a 30 x 30 frame with a 10 x 10 hole.
    double square[8] = {-10, -10, 10, -10, 10, 10, -10, 10};
    double start[3] = {0, -5, 0}, end[3] = {0, 5, 0};
    O3DXLONG four = 4;
    _OfuPosition* block = O3dxAddExtruded(a.h, square, four, start, end);
    double frame[16] = {-15, -15, 15, -15, 15, 15, -15, 15, -5, -5, 5, -5, 5, 5, -5, 5};
    O3DXLONG counts[2] = {4, 4}, loops = 2;
    _OfuPosition* ring = O3dxAddHoleExtruded(b.h, frame, counts, loops, start, end);
    ASSERT_NE(block, nullptr);
    ASSERT_NE(ring, nullptr);

    a.draw();
    b.draw();
    const Rgb lit_grey = shown(*a.dc, 32, 32);
    EXPECT_GT(lit_grey.r, 120);
    EXPECT_TRUE(near(lit_grey, {lit_grey.r, lit_grey.r, lit_grey.r}));
    EXPECT_TRUE(near(shown(*a.dc, 2, 2), {102, 0, 0}));
    EXPECT_TRUE(near(shown(*b.dc, 32, 32), {0, 0, 102})) << "B's hole shows its background";
    EXPECT_GT(shown(*b.dc, 32, 22).r, 120) << "B's frame around it";
    EXPECT_EQ(a.pick(32, 32), block);
    EXPECT_EQ(b.pick(32, 32), nullptr);
    EXPECT_EQ(b.pick(32, 22), ring);

    // A turns green and translucent (its handle changes); B's frame is moved away and its copy of A's block,
    // taken through the current primitive, stands in its place.
    double green[4] = {0, 1, 0, 1};
    ASSERT_EQ(O3dxSetMaterial(a.h, block, green, 0.2, 0.8, 0, 10), 1);
    EXPECT_EQ(a.pick(32, 32), block);
    double moved[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 200, 0, 0, 1};
    ASSERT_EQ(O3dxSetMatrix(b.h, ring, moved), 1);
    ASSERT_EQ(O3dxGetPrimitive(a.h, block), 1);
    _OfuPosition* copy = O3dxAddPrimitive(b.h);
    ASSERT_NE(copy, nullptr);
    a.draw();
    b.draw();
    const Rgb a_green = shown(*a.dc, 32, 32), b_green = shown(*b.dc, 32, 32);
    EXPECT_GT(a_green.g, 100);
    EXPECT_LT(a_green.r, 30);
    EXPECT_TRUE(near(a_green, b_green));
    EXPECT_TRUE(near(shown(*b.dc, 32, 12), {0, 0, 102})) << "the frame has gone";
    EXPECT_EQ(b.pick(32, 32), copy);

    // Hiding A's block leaves its background; B is untouched by it.
    O3DXLONG hidden = 1;
    ASSERT_EQ(O3dxSetDrawMode(a.h, block, hidden), 1);
    a.draw();
    b.draw();
    EXPECT_TRUE(near(shown(*a.dc, 32, 32), {102, 0, 0}));
    EXPECT_EQ(a.pick(32, 32), nullptr);
    EXPECT_TRUE(near(shown(*b.dc, 32, 32), b_green));

    // Properties, cameras and files by handle.
    O3DXLONG key = 5, value = 77, back = 0;
    O3dxSetProp(b.h, copy, key, value);
    O3dxGetProp(b.h, copy, key, back);
    EXPECT_EQ(back, 77);
    double seen[10] = {};
    O3dxGetCamera(b.h, seen);
    EXPECT_EQ(seen[1], -100);
    const std::string path = output_file("o3dx_b.om3");
    ASSERT_EQ(O3dxWrite(b.h, path.c_str()), 1);
    EXPECT_NE(O3dxRead(a.h, path.c_str()), nullptr);
    a.draw();
    EXPECT_TRUE(near(shown(*a.dc, 32, 32), b_green)) << "B's scene, read into A as one shape";

    ASSERT_EQ(O3dxDelete(), 1);
    EXPECT_EQ(O3dxDrawModel(a.h, a.hdc), 0);
}

TEST(O3dxInterface, BadHandlesTouchNothing) {
    O3dxCreate();
    auto dc = DeviceContext::create_window(8, 8);
    HDC hdc = dc.get();
    std::vector<O3DXLONG> opened;
    for (int i = 0; i < 16; ++i) opened.push_back(O3dxOpen(hdc));
    EXPECT_EQ(opened.back(), 15);
    EXPECT_EQ(O3dxOpen(hdc), -1);
    double square[8] = {0, 0, 1, 0, 1, 1, 0, 1}, p[3] = {0, 0, 0}, q[3] = {0, 0, 1}, camera[10] = {};
    O3DXLONG four = 4;
    for (O3DXLONG bad : {-1, 16, 3}) {
        if (bad == 3) {
            O3dxDelete();  // every slot free now
            opened.clear();
        }
        _OfuPosition* none = nullptr;
        EXPECT_EQ(O3dxAddExtruded(bad, square, four, p, q), nullptr) << bad;
        EXPECT_EQ(O3dxGetCamera(bad, camera), 0) << bad;
        EXPECT_EQ(O3dxSetDrawMode(bad, none, four), 0) << bad;
        EXPECT_EQ(O3dxAddPrimitive(bad), nullptr) << bad;
    }
    O3DXLONG h = O3dxOpen(hdc);
    EXPECT_EQ(O3dxAddPrimitive(h), nullptr) << "no current primitive yet";
    O3dxDelete();
}

// A host's polygon with a hole shows the background through the hole. Alpha below 1 moves a shape to the end of
// the drawing order, so what lies behind it shows through; alpha 1 moves it to the start. Either way the host's
// handle variable is replaced by the moved shape's.
TEST(O3dxInterface, PolyPolygonHolesAndAlphaOrder) {
    O3dxCreate();
    Host host;
    host.h = O3dxOpen(host.hdc);
    double red[3] = {0.4, 0, 0};
    host.look(red);
    // A 30 x 30 square facing the eye with a 10 x 10 hole (its loop left open), and a block behind both.
    double xyz[24] = {-15, 0, -15, 15, 0, -15, 15, 0, 15, -15, 0, 15, -5, 0, -5, 5, 0, -5, 5, 0, 5, -5, 0, 5};
    O3DXLONG counts[2] = {4, 4}, none = 0;
    EXPECT_EQ(O3dxAddPolyPolygon(host.h, xyz, nullptr, 2), nullptr);
    EXPECT_EQ(O3dxAddPolyPolygon(host.h, xyz, counts, 0), nullptr);
    EXPECT_EQ(O3dxAddPolyPolygon(host.h, xyz, &none, 1), nullptr);
    _OfuPosition* const added = O3dxAddPolyPolygon(host.h, xyz, counts, 2);
    ASSERT_NE(added, nullptr);
    double square[8] = {-20, -20, 20, -20, 20, 20, -20, 20}, start[3] = {0, 20, 0}, end[3] = {0, 30, 0};
    O3DXLONG four = 4;
    _OfuPosition* block = O3dxAddExtruded(host.h, square, four, start, end);
    double green[4] = {0, 1, 0, 1};
    ASSERT_EQ(O3dxSetMaterial(host.h, block, green, 0.2, 0.8, 0, 10), 1);
    host.draw();
    const Rgb polygon = shown(*host.dc, 32, 20);
    EXPECT_GT(polygon.r + polygon.g + polygon.b, 150);
    EXPECT_LT(shown(*host.dc, 32, 32).r, 30) << "the block behind shows through the hole";
    EXPECT_GT(shown(*host.dc, 32, 32).g, 100);

    auto order = [&] {
        CO3duPosList shapes;
        o3dx_modeller(host.h)->GetPosArray(shapes);
        std::vector<_OfuPosition*> out;
        for (int i = 0; i < shapes.GetSize(); ++i) out.push_back(shapes[i]);
        return out;
    };
    EXPECT_EQ(order(), (std::vector<_OfuPosition*>{block, added}));
    _OfuPosition* shape = added;
    double half = 0.5, whole = 1.0;
    _OfuPosition* moved = O3dxSetAlpha(host.h, shape, half);
    EXPECT_EQ(moved, shape);
    EXPECT_EQ(order(), (std::vector<_OfuPosition*>{block, shape}));
    CO3duPrimitive got;
    o3dx_modeller(host.h)->GetPrimitive(shape, got, O3DU_PRIM_ALL);
    for (int k = 0; k < got.sets.GetSize(); ++k) EXPECT_EQ(got.sets[k].material.diffuse.a, 0.5f) << k;
    host.draw();
    const Rgb through = shown(*host.dc, 32, 20);
    EXPECT_GT(through.g, through.r + 40) << "the green block shows through the translucent polygon";
    EXPECT_LT(through.r, polygon.r - 40);

    moved = O3dxSetAlpha(host.h, shape, whole);
    EXPECT_EQ(moved, shape);
    EXPECT_EQ(order(), (std::vector<_OfuPosition*>{shape, block}));
    host.draw();
    EXPECT_TRUE(near(shown(*host.dc, 32, 20), polygon));
    O3dxDelete();
}

// The draw mode and the matrix change alone: a window-coordinate shape stays one, its sets as they were.
TEST(O3dxInterface, DrawModeAndMatrixChangeOnlyThemselves) {
    O3dxCreate();
    Host host;
    host.h = O3dxOpen(host.hdc);
    CO3duPrimitive label = make_box({0, 0, 0}, {10, 10, 1}, make_material({1, 1, 1, 1}, {0, 0, 0, 1}));
    label.kind = 1;
    label.layer = 6;
    _OfuPosition* shape = o3dx_modeller(host.h)->AddPrimitive(label);
    O3DXLONG mode = O3DU_DRAW_NO_SHADOW;
    double m[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 5, 6, 7, 1};
    ASSERT_EQ(O3dxSetDrawMode(host.h, shape, mode), 1);
    ASSERT_EQ(O3dxSetMatrix(host.h, shape, m), 1);
    CO3duPrimitive got;
    o3dx_modeller(host.h)->GetPrimitive(shape, got, O3DU_PRIM_ALL);
    EXPECT_EQ(got.kind, 1);
    EXPECT_EQ(got.layer, 6u);
    EXPECT_EQ(got.draw_mode, O3DU_DRAW_NO_SHADOW);
    EXPECT_EQ(got.model_matrix[3][1], 6);
    EXPECT_EQ(got.sets.GetSize(), 6);
    O3dxDelete();
}

}  // namespace
}  // namespace kz::test
