// The ground grid and the box marker: their line sets, their pixels on llvmpipe, and that neither can be picked.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>

#include "bridge_fixture.h"
#include "support/all_near.h"

namespace kz::foundation::test {
namespace {

using kz::test::Frame;
using kz::test::Rgb;

constexpr int kSize = 160;

// Lines carry no normals, so the test light is all ambient and bright enough to saturate every channel the
// colour has: a channel reads 255 where the colour has it and 0 where it has not.
void saturating_light(CBusMDL& b) {
    b.modeller->SetLight(0, OfuLight{});
    b.modeller->SetLight(
        1, kz::test::make_light(OFU_LIGHT_DIRECTIONAL, {1, 1, 1, 1}, {1, 1, 1, 1}, {0, 0, 0, 1}, {0, 0, -1}));
    b.modeller->SetBkColor({0, 0, 0, 1});
}

void look(CBusMDL& b, const OfuVector3& eye, const OfuVector3& target, double fov) {
    _O3duCamera c;
    c.eye = eye;
    c.target = target;
    c.fov = fov;
    c.near_distance = 10;
    c.far_distance = 100000;
    c.aspect = 1;
    b.modeller->SetCamera(c);
}

// Whether a pixel within one of where p lands has exactly the colour.
::testing::AssertionResult colour_near_point(const Frame& f, const _O3duCamera& c, const OfuVector3& p, Rgb want,
                                             const std::string& name) {
    double fx = 0, fy = 0;
    kz::test::project(c, f.width, f.height, p, fx, fy);
    const int x = static_cast<int>(std::floor(fx)), y = static_cast<int>(std::floor(fy));
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            if (x + dx < 0 || y + dy < 0 || x + dx >= f.width || y + dy >= f.height) continue;
            const Rgb got = f.at(x + dx, y + dy);
            if (got.r == want.r && got.g == want.g && got.b == want.b) return ::testing::AssertionSuccess();
        }
    f.save(name);
    return ::testing::AssertionFailure() << "no pixel of (" << want.r << ", " << want.g << ", " << want.b << ") near ("
                                         << x << ", " << y << "); frame written as " << name;
}

TEST(GroundGrid, LineSetsAndAxisColours) {
    BridgeScene s;
    CBusMDL& b = *s.bridge;
    for (int level : {0, 255, 0x1FF}) {
        _OfuPosition* grid = b.AddGroundGrid(0x404040, level);
        ASSERT_NE(grid, nullptr);
        CO3duPrimitive p;
        b.modeller->GetPrimitive(grid, p, O3DU_PRIM_ALL);
        ASSERT_EQ(p.sets.GetSize(), 4);
        const int counts[4] = {496, 16, 16, 16};
        double reach = 0, fine = 0;
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(p.sets[i].type, O3DU_SET_LINE_LIST);
            ASSERT_EQ(p.sets[i].vertices.GetSize(), counts[i]);
        }
        for (int k = 0; k < 400; ++k) {
            const OfuVector3& v = p.sets[0].vertices[k].position;
            reach = std::max({reach, std::fabs(v.x), std::fabs(v.y)});
            EXPECT_EQ(v.z, 0);
        }
        for (int k = 400; k < 472; ++k)
            fine = std::max(
                {fine, std::fabs(p.sets[0].vertices[k].position.x), std::fabs(p.sets[0].vertices[k].position.y)});
        EXPECT_EQ(std::tuple(reach, fine), std::tuple(50000, 1000));
        EXPECT_EQ(std::tuple(p.sets[0].vertices[472].position.x, p.sets[0].vertices[495].position.x,
                             p.sets[3].vertices[1].position.z),
                  std::tuple(-50000, 0, 50000));
        EXPECT_FLOAT_EQ(p.sets[0].material.diffuse.r, 0x40 / 255.0f);
        const float l = (level & 0xFF) / 255.0f * 2;
        const float x_axis[3] = {l, l, 2}, y_axis[3] = {2, l, l}, z_axis[3] = {l, 2, l};
        for (int i = 0; i < 3; ++i) {
            const float* want = i == 0 ? x_axis : i == 1 ? y_axis : z_axis;
            const _OfuMaterial& m = p.sets[i + 1].material;
            EXPECT_TRUE(kz::test::all_float_eq({m.diffuse.r, m.ambient.g, m.diffuse.b}, {want[0], want[1], want[2]}))
                << level;
            EXPECT_TRUE(kz::test::all_float_eq({m.specular.g, m.diffuse.a}, {2.0f, 1.0f}));
        }
        b.RemoveShape(grid);
    }
}

TEST(GroundGrid, RendersItsAxesWhereTheCameraPutsThem) {
    BridgeScene s(kSize);
    CBusMDL& b = *s.bridge;
    saturating_light(b);
    look(b, {3000, -5000, 3500}, {800, 800, 300}, 50);
    ASSERT_NE(b.AddGroundGrid(0x00FFFF, 0), nullptr);  // yellow grid
    const Frame f = s.render();
    const _O3duCamera c = s.camera();
    const Rgb blue{0, 0, 255}, red{255, 0, 0}, green{0, 255, 0}, yellow{255, 255, 0}, black{0, 0, 0};
    EXPECT_TRUE(colour_near_point(f, c, {3500, 0, 0}, blue, "grid_x_axis"));
    EXPECT_TRUE(colour_near_point(f, c, {0, 3500, 0}, red, "grid_y_axis"));
    EXPECT_TRUE(colour_near_point(f, c, {0, 0, 1500}, green, "grid_z_axis"));
    EXPECT_TRUE(colour_near_point(f, c, {-2500, 0, 0}, yellow, "grid_negative_x"));
    EXPECT_TRUE(colour_near_point(f, c, {2000, 2500, 0}, yellow, "grid_coarse_line"));
    EXPECT_TRUE(colour_near_point(f, c, {1500, 1500, 0}, black, "grid_between_lines"));
    EXPECT_TRUE(colour_near_point(f, c, {500, 500, 600}, black, "grid_above"));
}

TEST(AxisMarker, BoxOutlinesAxesAndOpacity) {
    BridgeScene s(kSize);
    CBusMDL& b = *s.bridge;
    _OfuPosition* marker = b.AddAxisMarker(200, 100, 0x00FFFF, 0.0005, 300, 0x0000FF, 0x00FF00, 0xFF0000, 2.0);
    ASSERT_NE(marker, nullptr);
    CO3duPrimitive p;
    b.modeller->GetPrimitive(marker, p, O3DU_PRIM_ALL);
    ASSERT_EQ(p.sets.GetSize(), 5);
    EXPECT_EQ(std::tuple(p.sets[0].type, p.sets[1].type), std::tuple(O3DU_SET_LINE_STRIP, O3DU_SET_LINE_STRIP));
    ASSERT_EQ(p.sets[1].vertices.GetSize(), 5);
    for (int k = 0; k < 5; ++k) EXPECT_EQ(p.sets[1].vertices[k].position.z, 50);
    EXPECT_EQ(p.sets[0].vertices[0].position.x, -100);  // corner 3 first
    EXPECT_EQ(std::tuple(p.sets[0].vertices[0].position.y, p.sets[0].vertices[4].position.y, p.sets[4].type,
                         p.sets[4].vertices[1].position.z),
              std::tuple(100, 100, O3DU_SET_LINE_LIST, 300));
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(kz::test::all_float_eq({p.sets[i].material.diffuse.a, p.sets[i].line_width}, {1.0f, 2.0f}));
    _OfuPosition* faint = b.AddAxisMarker(10, 10, 0, 0.25, 10, 0, 0, 0, 1);
    CO3duPrimitive q;
    b.modeller->GetPrimitive(faint, q, O3DU_PRIM_MATERIAL);
    EXPECT_FLOAT_EQ(q.sets[3].material.ambient.a, 0.75f);
    b.RemoveShape(faint);

    saturating_light(b);
    look(b, {500, -700, 400}, {0, 0, 40}, 40);
    const Frame f = s.render();
    const _O3duCamera c = s.camera();
    EXPECT_TRUE(colour_near_point(f, c, {0, -100, 50}, {255, 255, 0}, "marker_top_edge"));
    EXPECT_TRUE(colour_near_point(f, c, {100, 0, 0}, {255, 255, 0}, "marker_bottom_edge"));
    EXPECT_TRUE(colour_near_point(f, c, {250, 0, 0}, {255, 0, 0}, "marker_x_axis"));
    EXPECT_TRUE(colour_near_point(f, c, {0, 250, 0}, {0, 255, 0}, "marker_y_axis"));
    EXPECT_TRUE(colour_near_point(f, c, {0, 0, 250}, {0, 0, 255}, "marker_z_axis"));
    EXPECT_TRUE(colour_near_point(f, c, {0, -100, 25}, {0, 0, 0}, "marker_open_side"));
}

TEST(AxisMarker, NeitherShapeCanBePicked) {
    BridgeScene s;
    CBusMDL& b = *s.bridge;
    _OfuPosition* shapes[2] = {b.AddGroundGrid(0xFFFFFF, 0), b.AddAxisMarker(1, 1, 0, 0, 1, 0, 0, 0, 1)};
    for (_OfuPosition* h : shapes) {
        ASSERT_NE(h, nullptr);
        int p3 = 0, p4 = 0;
        b.modeller->GetProp1(h, kPropTransparency, p3);
        b.modeller->GetProp1(h, kPropPickControl, p4);
        EXPECT_EQ(std::tuple(p3, p4), std::tuple(-1, 1));
        for (int visible : {1, 0, 1}) {
            b.SetShapeVisible(h, visible);
            CO3duPrimitive p;
            b.modeller->GetPrimitive(h, p, O3DU_PRIM_DRAW_MODE);
            EXPECT_EQ(std::tuple(p.draw_mode & O3DU_DRAW_PICKABLE, p.draw_mode & O3DU_DRAW_HIDDEN),
                      std::tuple(0, visible ? 0 : 1));
        }
    }
}

}  // namespace
}  // namespace kz::foundation::test
