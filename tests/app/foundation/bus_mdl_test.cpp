// The model bridge end to end on llvmpipe, its pixels against the fixed-function lighting worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "app/foundation/eye_record.h"
#include "bridge_fixture.h"
#include "support/all_near.h"

namespace kz::foundation::test {
namespace {

using kz::test::Frame;
using kz::test::pixel_near;
using kz::test::pixel_of;
using kz::test::Rgb;

using BridgeModel = BridgeTest;
using BridgeCore = BridgeTest;
using BridgePick = BridgeTest;

constexpr int kN = 64;

int prop(CBusMDL& b, _OfuPosition* shape, int key) {
    int v = 0;
    b.modeller->GetProp1(shape, key, v);
    return v;
}

CO3duPrimitive read_back(CBusMDL& b, _OfuPosition* shape) {
    CO3duPrimitive p;
    b.modeller->GetPrimitive(shape, p, O3DU_PRIM_ALL);
    return p;
}

// The lit colour of a face seen head-on under the white sun, blended over the background by its alpha.
Rgb face_colour(const MaterialRecord& m, Rgb background) {
    _OfuMaterial material;
    const double r = (m.color & 0xFF) / 255.0, g = ((m.color >> 8) & 0xFF) / 255.0,
                 b = ((m.color >> 16) & 0xFF) / 255.0;
    material.diffuse = {float(r), float(g), float(b), 1};
    material.ambient = {float(r), float(g), float(b), 1};
    material.specular = {1, 1, 1, 1};
    material.emission = {0, 0, 0, 1};
    material.power = 100;
    const Rgb lit = kz::test::lit_vertex({0, 0, 0}, {0, -1, 0}, material, {white_sun()}, {0, 1, 0});
    const double a = m.transparency <= 0.001 ? 1.0 : 1.0 - m.transparency;
    // The translucent pass draws a shape twice (depth writes off, then on), so it blends over itself once.
    auto mix = [&](int f, int bg) {
        const double once = a * f + (1 - a) * bg;
        return static_cast<int>(std::lround(a * f + (1 - a) * once));
    };
    return {mix(lit.r, background.r), mix(lit.g, background.g), mix(lit.b, background.b)};
}

const Rgb kBackground{0, 0, 179};  // the default scene's 0.7 blue

TEST_F(BridgeModel, FaceListBecomesOneShapeWithTheExpectedPixels) {
    const MaterialRecord red = colour_material(200, 40, 30), green = colour_material(20, 180, 60),
                         glass = colour_material(90, 90, 250, 0.5);
    const auto left = square_facing_camera(-15, 0, 5), middle = square_facing_camera(0, 0, 5),
               right = square_facing_camera(15, 0, 5);
    EXPECT_EQ(b.AddPolygon(left.data(), 4, red, nullptr, nullptr, 0), 0);
    EXPECT_EQ(b.AddPolygon(middle.data(), 4, green, nullptr, nullptr, 0), 1);
    EXPECT_EQ(b.AddPolygon(right.data(), 4, glass, nullptr, nullptr, 0), 2);
    for (int line = 0; line < 2; ++line) {
        b.ReservePolylines();
        PolylineEntry& open = b.OpenPolyline();
        for (int k = 0; k < 250; ++k) open.add_point(-20 + k * 0.1, -1, 12 + line);  // far past any headroom
        open.color = 0xFFFFFF;
        open.line_width = 2;
        b.ClosePolyline();
    }
    FakeShape shape;
    _OfuPosition* handle = b.CommitPolygons(&shape);
    ASSERT_NE(handle, nullptr);
    shape.handle = handle;
    EXPECT_EQ(s.view.timings, (std::vector<int>{13, -13}));

    const CO3duPrimitive p = read_back(b, handle);
    ASSERT_EQ(p.sets.GetSize(), 5);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(p.sets[i].type, O3DU_SET_TRIANGLE_FAN);
        ASSERT_EQ(p.sets[i].vertices.GetSize(), 4);
        for (int k = 0; k < 4; ++k) EXPECT_NEAR(p.sets[i].vertices[k].normal.y, -1.0, 1e-12);  // Newell, shared
        EXPECT_FLOAT_EQ(p.sets[i].material.power, 100.0f);
    }
    EXPECT_FLOAT_EQ(p.sets[2].material.diffuse.a, 0.5f);
    EXPECT_EQ(std::tuple(p.sets[3].type, p.sets[3].vertices.GetSize()), std::tuple(O3DU_SET_LINE_LIST, 250));
    EXPECT_FLOAT_EQ(p.sets[4].line_width, 2.0f);
    EXPECT_EQ(std::tuple(prop(b, handle, kPropFaceSets), prop(b, handle, kPropTransparency),
                         prop(b, handle, kPropPickControl)),
              std::tuple(3, -1, -1));
    std::uint64_t owner = 0;
    b.modeller->GetProp3(handle, kPropShape, owner);
    EXPECT_EQ(owner, reinterpret_cast<std::uintptr_t>(static_cast<BridgeShape*>(&shape)));
    std::uint64_t item = 1;
    EXPECT_EQ(b.modeller->GetProp3(handle, kPropItem, item), 0);  // a shape of no item carries no item
    // The box covers the faces only, not the strokes at y = -1 and z = 12, 13.
    EXPECT_EQ(std::tuple(shape.minimum[0], shape.maximum[0], shape.minimum[1], shape.maximum[2], shape.centre[0]),
              std::tuple(-20, 20, 0, 5, 0));

    const Frame f = s.render();
    const _O3duCamera c = s.camera();
    int x = 0, y = 0;
    const struct {
        double cx;
        MaterialRecord m;
    } probes[] = {{-15, red}, {0, green}, {15, glass}};
    for (const auto& probe : probes) {
        pixel_of(c, {probe.cx, 0, 0}, x, y);
        EXPECT_TRUE(pixel_near(f, x, y, face_colour(probe.m, kBackground), 3, "bridge_faces"));
    }
    pixel_of(c, {0, 0, 9}, x, y);  // between the faces and the strokes
    EXPECT_TRUE(pixel_near(f, x, y, kBackground, 1, "bridge_faces"));
    pixel_of(c, {0, -1, 12}, x, y);
    const Rgb stroke = f.at(x, y);
    EXPECT_FALSE(stroke.r == 0 && stroke.g == 0 && std::abs(stroke.b - 179) <= 1) << "stroke not drawn";

    b.FreePolygonBuffers();
    EXPECT_EQ(std::tuple(b.polygons.size(), b.polyline_count), std::tuple(0u, 0));
    EXPECT_EQ(b.CommitPolygons(&shape), nullptr);
}

TEST_F(BridgeModel, VisibilityDrawModeAndColourChangesReachTheModeller) {
    const MaterialRecord green = colour_material(20, 180, 60);
    const auto face = square_facing_camera(0, 0, 8);
    b.AddPolygon(face.data(), 4, green, nullptr, nullptr, 0);
    b.ReservePolylines();
    b.OpenPolyline().add_point(0, 0, 20);
    b.OpenPolyline().add_point(1, 0, 20);
    b.ClosePolyline();
    FakeShape shape;
    shape.materials = {green};
    _OfuPosition* h = b.CommitPolygons(&shape);
    shape.handle = h;
    ASSERT_NE(h, nullptr);
    const _O3duCamera c = s.camera();
    int cx = 0, cy = 0, ex = 0, ey = 0;
    pixel_of(c, {0, 0, 0}, cx, cy);
    pixel_of(c, {0, 0, -8}, ex, ey);  // on the face's first (bottom) edge
    EXPECT_TRUE(pixel_near(s.render(), cx, cy, face_colour(green, kBackground), 3, "bridge_visible"));

    // Hidden: gone from the frame and, as its pick control says "while visible", not pickable; with the
    // control at "always" it stays pickable though hidden.
    EXPECT_EQ(b.SetShapeVisible(h, 0), 1);
    EXPECT_EQ(read_back(b, h).draw_mode & 3, O3DU_DRAW_HIDDEN);
    b.SetBlendProps(h, -1, 0);
    b.SetShapeVisible(h, 0);
    EXPECT_EQ(read_back(b, h).draw_mode & 3, O3DU_DRAW_HIDDEN | O3DU_DRAW_PICKABLE);
    EXPECT_TRUE(pixel_near(s.render(), cx, cy, kBackground, 1, "bridge_hidden"));
    b.SetBlendProps(h, -1, -1);
    b.SetShapeVisible(h, 0);
    EXPECT_EQ(read_back(b, h).draw_mode & 3, O3DU_DRAW_HIDDEN);
    b.SetShapeVisible(h, 1);
    EXPECT_EQ(read_back(b, h).draw_mode & 3, O3DU_DRAW_PICKABLE);
    b.SetBlendProps(h, -1, 1);
    b.SetShapeVisible(h, 1);
    EXPECT_EQ(read_back(b, h).draw_mode & 3, 0);

    // Outline drawing: the face's inside shows the background, its edge the colour; strokes stay line lists.
    b.SetFaceDrawMode(h, 0, 12);
    CO3duPrimitive p = read_back(b, h);
    EXPECT_EQ(std::tuple(p.sets[0].type, p.sets[1].type), std::tuple(O3DU_SET_LINE_STRIP, O3DU_SET_LINE_LIST));
    EXPECT_FLOAT_EQ(p.sets[0].line_width, 9.0f);
    Frame f = s.render();
    EXPECT_TRUE(pixel_near(f, cx, cy, kBackground, 1, "bridge_outline"));
    const Rgb edge = f.at(ex, ey + 1);
    EXPECT_GT(edge.g, 100) << "outline edge not drawn";
    b.SetFaceDrawMode(h, 0, 3);  // already outlines: the width stays
    EXPECT_FLOAT_EQ(read_back(b, h).sets[0].line_width, 9.0f);
    b.SetFaceDrawMode(h, 1, 0);
    p = read_back(b, h);
    EXPECT_EQ(p.sets[0].type, O3DU_SET_TRIANGLE_FAN);
    EXPECT_FLOAT_EQ(p.sets[0].line_width, 1.0f);

    // Colours: a given record recolours the faces, none restores the shape's own; strokes are left alone.
    const MaterialRecord red = colour_material(250, 0, 0);
    EXPECT_EQ(b.ApplyObjectColors(&shape, &red, kPartAll), 1);
    p = read_back(b, h);
    EXPECT_FLOAT_EQ(p.sets[0].material.diffuse.r, 250 / 255.0f);
    const OfuColorValue stroke_before = p.sets[1].material.diffuse;
    EXPECT_TRUE(pixel_near(s.render(), cx, cy, face_colour(red, kBackground), 3, "bridge_red"));
    b.ApplyObjectColors(&shape, nullptr, kPartDiffuse);
    p = read_back(b, h);
    EXPECT_FLOAT_EQ(p.sets[0].material.diffuse.r, 20 / 255.0f);
    EXPECT_FLOAT_EQ(p.sets[0].material.ambient.r, 250 / 255.0f);  // ambient bit not given
    EXPECT_FLOAT_EQ(p.sets[1].material.diffuse.g, stroke_before.g);

    EXPECT_EQ(b.SetTransparency(h, 0.75), 1);
    p = read_back(b, h);
    EXPECT_TRUE(kz::test::all_float_eq({p.sets[0].material.diffuse.a, p.sets[1].material.diffuse.a}, {0.25f, 0.25f}));
    b.SetTransparency(h, 2.0);
    EXPECT_FLOAT_EQ(read_back(b, h).sets[0].material.diffuse.a, 0.0f);
    EXPECT_EQ(std::tuple(prop(b, h, kPropPickControl), prop(b, h, kPropTransparency)), std::tuple(1, 0));

    const long mode = read_back(b, h).draw_mode;
    EXPECT_EQ(b.SetDrawModeBit8(h, 1), mode | 8);
    EXPECT_EQ(b.SetDrawModeBit8(h, 0), mode & ~8L);

    OfuMatrix4x4 m = identity_matrix();
    m[3][2] = 1000;  // far behind the camera's far plane
    b.SetShapeMatrix(h, m);
    b.SetTransparency(h, 0);
    EXPECT_TRUE(pixel_near(s.render(), cx, cy, kBackground, 1, "bridge_moved"));

    EXPECT_EQ(b.RemoveShape(h), 0);
    CO3duPosList all;
    b.modeller->GetPosArray(all);
    EXPECT_EQ(all.GetSize(), 0);
}

TEST_F(BridgeModel, MaterialRecordEdgeCases) {
    const auto face = square_facing_camera(0, 0, 1);
    const double tex[8] = {0, 0, 1, 0, 1, 1, 0, 1};
    MaterialRecord none_on_purpose = colour_material(10, 20, 30), plain = none_on_purpose, textured = none_on_purpose,
                   sphere = none_on_purpose;
    none_on_purpose.texture = -1;
    textured.texture = 3;
    sphere.texture = 4;
    plain.transparency = 0.0005;
    b.AddPolygon(face.data(), 4, none_on_purpose, nullptr, tex, 0);
    b.AddPolygon(face.data(), 4, plain, nullptr, nullptr, 0);
    b.AddPolygon(face.data(), 4, textured, nullptr, tex, 0);
    b.AddPolygon(face.data(), 4, sphere, nullptr, tex, 1);
    EXPECT_EQ(b.AddPolygon(nullptr, 4, plain, nullptr, nullptr, 0), -1);
    EXPECT_EQ(b.AddPolygon(face.data(), 0, plain, nullptr, nullptr, 0), -1);
    FakeShape shape;
    shape.hit_flag = -1;
    _OfuPosition* h = b.CommitPolygons(&shape);
    ASSERT_NE(h, nullptr);
    CO3duPrimitive p;
    b.modeller->GetPrimitive(h, p, O3DU_PRIM_ALL);
    ASSERT_EQ(p.sets.GetSize(), 4);
    const CO3duTrianglePolys defaults;
    EXPECT_EQ(std::tuple(p.sets[0].texture_number, p.sets[0].material_type, p.sets[1].texture_number,
                         p.sets[1].material_type),
              std::tuple(0, O3DU_MATERIAL_TEXTURE, defaults.texture_number, defaults.material_type));
    EXPECT_FLOAT_EQ(p.sets[1].material.diffuse.a, 1.0f);
    EXPECT_EQ(std::tuple(p.sets[2].material_type, p.sets[3].material_type),
              std::tuple(O3DU_MATERIAL_TEXTURE, O3DU_MATERIAL_SPHERE_MAP));
    EXPECT_DOUBLE_EQ(p.sets[2].vertices[2].tex.x, 1.0);
    // Face 0 decides properties 3 and 4: opaque, and the hit flag -1 makes it always pickable.
    EXPECT_EQ(std::tuple(prop(b, h, kPropTransparency), prop(b, h, kPropPickControl)), std::tuple(-1, 0));

    struct {
        double t;
        int hit, p3, p4;
        float alpha;
    } rules[] = {{2.0, 0, 0, 1, 0.0f},      {2.0, -1, 0, 0, 0.0f},     {0.5, 1, -1, 1, 0.5f},
                 {0.999, 0, 0, -1, 0.001f}, {0.0005, 0, -1, -1, 1.0f}, {-3.0, 0, -1, -1, 1.0f}};
    for (auto r : rules) {
        b.SetOpacityProps(h, r.t, r.hit);
        EXPECT_EQ(prop(b, h, kPropTransparency), r.p3) << r.t;
        EXPECT_EQ(prop(b, h, kPropPickControl), r.p4) << r.t << " " << r.hit;
        EXPECT_FLOAT_EQ(opacity_of(r.t), r.alpha) << r.t;
    }
    // Factors of 0 take the bridge's; others multiply the colour.
    _OfuMaterial m;
    MaterialRecord factors = colour_material(255, 51, 0);
    factors.ambient = 0.5;
    factors.specular = 0.25;
    b.ApplyMaterialRecord(m, factors, kPartAll);
    EXPECT_TRUE(kz::test::all_float_eq({m.ambient.r, m.diffuse.g, m.specular.b}, {0.5f, 0.2f, 0.25f}));
    _OfuMaterial untouched;
    b.ApplyMaterialRecord(untouched, factors, 0);
    EXPECT_FLOAT_EQ(untouched.diffuse.r, _OfuMaterial{}.diffuse.r);

    // Nothing happens to shapes that do not exist.
    EXPECT_EQ(b.SetTransparency(nullptr, 0.5), 0);
    EXPECT_EQ(b.SetShapeVisible(nullptr, 1), 0);
    EXPECT_EQ(b.SetDrawModeBit8(nullptr, 1), 0);
    EXPECT_EQ(b.SetBlendProps(nullptr, 0, 0), 0);
    EXPECT_EQ(b.ApplyObjectColors(nullptr, nullptr, 15), 0);
    EXPECT_EQ(b.ApplyObjectColors(&shape, nullptr, 15), 0);  // its handle is still null
    b.SetFaceDrawMode(nullptr, 0, 1);
    b.SetShapeMatrix(nullptr, identity_matrix());
}

TEST_F(BridgeModel, CommitWithoutFacesAddsNothingAndKeepsStrokes) {
    b.ReservePolylines();
    b.OpenPolyline().add_point(0, 0, 0);
    b.ClosePolyline();
    EXPECT_EQ(b.CommitPolygons(nullptr), nullptr);
    EXPECT_EQ(std::tuple(b.polyline_count, s.view.timings.empty()), std::tuple(1, true));
    // An empty stroke leaves an empty set in its place.
    b.ReservePolylines();
    b.ClosePolyline();
    const auto face = square_facing_camera(0, 0, 1);
    b.AddPolygon(face.data(), 4, colour_material(1, 2, 3), nullptr, nullptr, 0);
    _OfuPosition* h = b.CommitPolygons(nullptr);
    ASSERT_NE(h, nullptr);
    CO3duPrimitive p;
    b.modeller->GetPrimitive(h, p, O3DU_PRIM_ALL);
    ASSERT_EQ(p.sets.GetSize(), 3);
    EXPECT_EQ(std::tuple(p.sets[1].vertices.GetSize(), p.sets[2].vertices.GetSize()), std::tuple(1, 0));
}

TEST_F(BridgeModel, ShapesOfOneItemAreTaggedAndDrawnAsOneBatch) {
    FakeShape shapes[3];
    shapes[0].item = shapes[1].item = 7;
    for (int i = 0; i < 3; ++i) {
        const auto face = square_facing_camera(-12 + 12 * i, 0, 5);
        b.AddPolygon(face.data(), 4, colour_material(60 * i, 200, 100), nullptr, nullptr, 0);
        shapes[i].handle = b.CommitPolygons(&shapes[i]);
        b.FreePolygonBuffers();
        std::uint64_t item = 0;
        EXPECT_EQ(b.modeller->GetProp3(shapes[i].handle, kPropItem, item), i < 2 ? 1 : 0) << i;
        EXPECT_EQ(item, shapes[i].item) << i;
    }
    s.render();
    const Frame batched = s.render();
    EXPECT_EQ(b.modeller->draw_cache().batch_count(), 1u);
    set_draw_cache_for_testing(false);
    const Frame by_shape = s.render();
    set_draw_cache_for_testing(true);
    EXPECT_EQ(batched.bytes, by_shape.bytes);
}

TEST_F(BridgeCore, DefaultSceneAndLifeCycle) {
    EXPECT_EQ(std::tuple(b.modeller->bridge, s.view.shadow_display), std::tuple(&b, 0));
    OfuColorValue bg{};
    b.modeller->GetBkColor(bg);
    EXPECT_TRUE(kz::test::all_float_eq({bg.b, bg.a}, {0.7f, 1.0f}));
    OfuLight l0, l1, l5;
    b.modeller->GetLight(0, l0);
    b.modeller->GetLight(5, l5);
    EXPECT_EQ(std::tuple(l0.type, l0.on, l5.on), std::tuple(OFU_LIGHT_POSITIONAL, 1, 0));
    FakeView plain;
    CBusMDL fresh(&plain);
    fresh.modeller->GetLight(1, l1);
    EXPECT_EQ(std::tuple(l1.type, l1.on), std::tuple(OFU_LIGHT_DIRECTIONAL, 1));
    EXPECT_DOUBLE_EQ(l1.direction.z, -1.0);
    EXPECT_EQ(std::tuple(fresh.frame_count, fresh.device_dirty), std::tuple(0, 1));
    EXPECT_DOUBLE_EQ(fresh.ambient_factor, 1.0);

    // A draw re-initialises once; after a resize the view marks the device dirty again.
    fresh.DrawModel(nullptr);
    EXPECT_EQ(std::tuple(fresh.frame_count, fresh.device_dirty), std::tuple(1, 0));
    fresh.DrawModel(nullptr);
    EXPECT_EQ(fresh.frame_count, 2);
    EXPECT_GE(fresh.last_draw_time, 0.0);

    // No device context anywhere: nothing drawn, nothing counted.
    FakeView headless(64, false);
    CBusMDL blind(&headless);
    blind.DrawModel(nullptr);
    EXPECT_EQ(std::tuple(blind.frame_count, blind.device_dirty), std::tuple(0, 1));
    blind.InitDevice(nullptr);
}

TEST_F(BridgeCore, ViewportAndAspect) {
    EyeRecord eye;
    eye.screen_origin_x = 10;
    eye.screen_origin_y = 15;
    eye.screen_width = 800;
    eye.screen_height = 600;
    eye.window_height = 650;
    b.UpdateViewport(eye);
    _O3duViewport vp;
    b.modeller->GetViewport(vp);
    EXPECT_EQ(std::tuple(vp.x, vp.y, vp.width, vp.height), std::tuple(10, 35, 800, 600));  // y from the bottom
    EXPECT_DOUBLE_EQ(s.camera().aspect, 800.0 / 600.0);
    eye.screen_height = 0;  // minimised
    b.UpdateViewport(eye);
    EXPECT_DOUBLE_EQ(s.camera().aspect, 800.0 / 600.0);
}

TEST_F(BridgeCore, OffscreenBackgroundIsRestoredFromTheView) {
    s.view.background = 0x0080FF;  // orange
    s.view.light = 0.5;
    b.RenderToDib(32, 32, -1);
    OfuColorValue bg{};
    b.modeller->GetBkColor(bg);
    EXPECT_FLOAT_EQ(bg.b, 0.7f);  // untouched
    EXPECT_FLOAT_EQ(s.view.background_during_render.b, 0.7f);
    b.RenderToDib(32, 32, 0x00FF00);
    EXPECT_EQ(std::tuple(s.view.background_during_render.g, s.view.background_during_render.r), std::tuple(1.0f, 0.0f));
    b.modeller->GetBkColor(bg);
    EXPECT_FLOAT_EQ(bg.r, 0.5f);
    EXPECT_NEAR(bg.g, 128 / 255.0 * 0.5, 1e-6);
    EXPECT_TRUE(kz::test::all_float_eq({bg.b, bg.a}, {0.0f, 1.0f}));
}

// Picking goes through the modeller's HitTest and GetDepthToPoint3.
TEST_F(BridgePick, PicksTheFaceUnderAPackedWindowPoint) {
    const auto face = square_facing_camera(5, 0, 6);
    b.AddPolygon(face.data(), 4, colour_material(200, 200, 200), nullptr, nullptr, 0);
    FakeShape shape;
    _OfuPosition* h = b.CommitPolygons(&shape);
    ASSERT_NE(h, nullptr);
    b.DrawModel(nullptr);
    int x = 0, y = 0;
    pixel_of(s.camera(), {5, 0, 2}, x, y);
    const int window_y = kN - 1 - y;  // window points count from the top
    const std::uint64_t packed = static_cast<std::uint32_t>(x) | (static_cast<std::uint64_t>(window_y) << 32);
    double hit[3] = {-1, -1, -1};
    EXPECT_EQ(b.PickShapeAt(packed, hit), h);
    EXPECT_TRUE(kz::test::all_near({hit[0], hit[2]}, {5, 2}, 1.0));
    EXPECT_NEAR(hit[1], 0, 0.5);
    EXPECT_EQ(b.HitTestShape(packed), h);
    // x and y come from the low and high halves: swapped, the point misses the face.
    const std::uint64_t swapped = static_cast<std::uint32_t>(window_y) | (static_cast<std::uint64_t>(x) << 32);
    EXPECT_EQ(b.PickShapeAt(swapped, hit), nullptr);
    EXPECT_EQ(b.HitTestShape(1), nullptr);
}

}  // namespace
}  // namespace kz::foundation::test
