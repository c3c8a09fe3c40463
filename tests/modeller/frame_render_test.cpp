// Frames drawn headless on llvmpipe and read back through the modeller: background, a lit box against the
// fixed-function lighting worked out by hand, translucency in the pass order, section caps, textures the right way
// up, window-coordinate captions at their pixels.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/modeller/render_support.h"

namespace kz::test {
namespace {

constexpr int kN = HeadlessScene::kSize;

_O3duCamera camera_of(CO3duGLModelar& m) {
    _O3duCamera c;
    m.GetCamera(c);
    return c;
}

TEST(FrameRender, ClearsToTheBackgroundInEveryOutput) {
    const std::vector<OfuColorValue> colours = {{0.2f, 0.4f, 0.6f, 0.3f}, {1, 1, 1, 1}, {0, 0, 0, 0}};
    for (const OfuColorValue& c : colours) {
        HeadlessScene s;
        s.modeller->SetBkColor(c);
        const Rgb want{int(std::lround(c.r * 255)), int(std::lround(c.g * 255)), int(std::lround(c.b * 255))};
        const Frame f = s.render();
        for (auto [x, y] : {std::pair{0, 0}, {kN - 1, kN - 1}, {kN / 2, kN / 2}})
            EXPECT_TRUE(pixel_near(f, x, y, want, 1, "background"));
        // The window path: swapped into the backing image, top-down BGRA.
        HDC hdc = s.dc.get();
        s.modeller->DrawModel(hdc);
        const std::uint8_t* p = s.dc->backing_bytes() + std::size_t(kN / 2) * s.dc->backing_stride() + 4 * (kN / 2);
        EXPECT_NEAR(p[2], want.r, 1);
        EXPECT_NEAR(p[1], want.g, 1);
        EXPECT_NEAR(p[0], want.b, 1);
    }
}

struct LitBoxCase {
    std::string name;
    OfuVector3 eye;
    bool headlight;                                         // light 0 (positional, at the eye) or light 1 (directional)
    std::vector<std::pair<OfuVector3, OfuVector3>> probes;  // face centre, face normal
};

TEST(FrameRender, LitBoxMatchesFixedFunctionLighting) {
    const _OfuMaterial material =
        make_material({0.6f, 0.4f, 0.2f, 1}, {0.5f, 0.3f, 0.1f, 1}, {0.3f, 0.3f, 0.3f, 1}, 20.0f);
    const OfuColorValue diffuse{0.8f, 0.7f, 0.9f, 1}, ambient{0.1f, 0.2f, 0.1f, 1}, specular{0.5f, 0.5f, 0.5f, 1};
    const OfuVector3 sun_travel(-2.0 / 7, 3.0 / 7, -6.0 / 7);
    const std::vector<LitBoxCase> cases = {
        {"headlight", {0, -100, 0}, true, {{{0, -10, 0}, {0, -1, 0}}}},
        {"sun from an angle",
         {60, -80, 50},
         false,
         {{{0, -10, 0}, {0, -1, 0}}, {{10, 0, 0}, {1, 0, 0}}, {{0, 0, 10}, {0, 0, 1}}}},
    };
    for (const LitBoxCase& tc : cases) {
        SCOPED_TRACE(tc.name);
        HeadlessScene s;
        _O3duCamera c = camera_of(*s.modeller);
        c.eye = tc.eye;
        s.modeller->SetCamera(c);
        OracleLight oracle;
        oracle.diffuse = diffuse;
        oracle.ambient = ambient;
        oracle.specular = specular;
        if (tc.headlight) {
            OfuLight head = make_light(OFU_LIGHT_POSITIONAL, diffuse, ambient, specular);
            head.attenuation = 0.002f;
            s.modeller->SetLight(0, head);
            oracle.positional = true;
            oracle.position = tc.eye;
            oracle.linear_attenuation = 0.002;
        } else {
            OfuLight off;
            s.modeller->SetLight(0, off);
            s.modeller->SetLight(1, make_light(OFU_LIGHT_DIRECTIONAL, diffuse, ambient, specular, sun_travel));
            oracle.toward_light = OfuVector3(-sun_travel.x, -sun_travel.y, -sun_travel.z);
        }
        CO3duPrimitive box = make_box({-10, -10, -10}, {10, 10, 10}, material);
        ASSERT_NE(s.modeller->AddPrimitive(box), nullptr);
        const Frame f = s.render();
        const OfuVector3 view(c.target.x - c.eye.x, c.target.y - c.eye.y, c.target.z - c.eye.z);
        for (const auto& [centre, normal] : tc.probes) {
            // Smooth shading interpolates the corner colours; each face here lights its four corners alike (the
            // headlight sits on the face's axis, the sun is directional), so one corner gives the whole face.
            const OfuVector3 corner(centre.x + (normal.x == 0 ? 10 : 0), centre.y + (normal.y == 0 ? 10 : 0),
                                    centre.z + (normal.z == 0 ? 10 : 0));
            const Rgb want = lit_vertex(corner, normal, material, {oracle}, view);
            int x = 0, y = 0;
            pixel_of(c, centre, x, y);
            EXPECT_TRUE(pixel_near(f, x, y, want, 2, "lit_box_" + std::to_string(x) + "_" + std::to_string(y)));
        }
        EXPECT_TRUE(pixel_near(f, 1, 1, {0, 0, 0}, 0, "lit_box_corner"));
    }
}

TEST(FrameRender, ShininessIsClampedNotLeftAtThePreviousSets) {
    HeadlessScene s;
    // Light from the right at an angle: n.h = 0.9487 on faces looking at the camera.
    const OfuVector3 travel(-0.6, 0.8, 0);
    s.modeller->SetLight(1, make_light(OFU_LIGHT_DIRECTIONAL, {0, 0, 0, 1}, {0, 0, 0, 1}, {1, 1, 1, 1}, travel));
    const _OfuMaterial dull = make_material({0, 0, 0, 1}, {0, 0, 0, 1}, {1, 1, 1, 1}, 10);
    const _OfuMaterial sharp = make_material({0, 0, 0, 1}, {0, 0, 0, 1}, {1, 1, 1, 1}, 500);
    s.modeller->AddPrimitive(*std::make_unique<CO3duPrimitive>(make_quad_facing_minus_y(-20, -5, -2, 5, 0, dull)));
    s.modeller->AddPrimitive(*std::make_unique<CO3duPrimitive>(make_quad_facing_minus_y(2, -5, 20, 5, 0, sharp)));
    const Frame f = s.render();
    const _O3duCamera c = camera_of(*s.modeller);
    OracleLight sun;
    sun.toward_light = OfuVector3(0.6, -0.8, 0);
    sun.specular = {1, 1, 1, 1};
    const OfuVector3 view(0, 1, 0);
    _OfuMaterial clamped = sharp;
    clamped.power = 128;
    int x = 0, y = 0;
    pixel_of(c, {-11, 0, 0}, x, y);
    EXPECT_TRUE(pixel_near(f, x, y, lit_vertex({-11, 0, 0}, {0, -1, 0}, dull, {sun}, view), 2, "shininess_10"));
    pixel_of(c, {11, 0, 0}, x, y);
    EXPECT_TRUE(pixel_near(f, x, y, lit_vertex({11, 0, 0}, {0, -1, 0}, clamped, {sun}, view), 2, "shininess_500"));
}

TEST(FrameRender, TranslucentShapesBlendOverOpaqueOnesWhateverTheListOrder) {
    const _OfuMaterial red = make_material({1, 0, 0, 1}, {0, 0, 0, 1});
    const _OfuMaterial glass = make_material({0, 0, 1, 0.5f}, {0, 0, 0, 1});
    for (bool glass_first : {true, false}) {
        SCOPED_TRACE(glass_first ? "glass first" : "glass last");
        HeadlessScene s;
        white_light_along_y(*s.modeller);
        CO3duPrimitive opaque = make_quad_facing_minus_y(-15, -10, 5, 10, 5, red);
        CO3duPrimitive translucent = make_quad_facing_minus_y(-5, -10, 15, 10, -5, glass);
        if (glass_first) s.modeller->AddPrimitive(translucent);
        s.modeller->AddPrimitive(opaque);
        if (!glass_first) s.modeller->AddPrimitive(translucent);
        const Frame f = s.render();
        const _O3duCamera c = camera_of(*s.modeller);
        int x = 0, y = 0;
        // The queue is drawn twice (depth writes off, then on), each time blending at alpha 0.5:
        // over red: 0.5 blue + 0.5 red, then 0.5 blue + 0.5 of that = (0.25, 0, 0.75).
        pixel_of(c, {0, -5, 0}, x, y);
        EXPECT_TRUE(pixel_near(f, x, y, {64, 0, 191}, 2, "glass_over_red"));
        pixel_of(c, {11, -5, 0}, x, y);
        EXPECT_TRUE(pixel_near(f, x, y, {0, 0, 191}, 2, "glass_over_black"));
        pixel_of(c, {-12, 5, 0}, x, y);
        EXPECT_TRUE(pixel_near(f, x, y, {255, 0, 0}, 1, "red_alone"));
    }
}

TEST(FrameRender, SectionPlaneCutsAndCapsInTheCapColour) {
    const _OfuMaterial grey = make_material({0.8f, 0.8f, 0.8f, 1}, {0, 0, 0, 1});
    const OfuColorValue cap{0.2f, 0.6f, 0.4f, 1};
    const OfuColorValue background{0.5f, 0.5f, 0.5f, 1};
    for (int on : {0, 1}) {
        SCOPED_TRACE(on ? "section on" : "section off");
        HeadlessScene s;
        white_light_along_y(*s.modeller);
        s.modeller->SetBkColor(background);
        s.modeller->AddPrimitive(*std::make_unique<CO3duPrimitive>(make_box({-10, -10, -10}, {10, 10, 10}, grey)));
        CO3duPrimitive uncapped = make_box({14, -10, -5}, {24, 10, 5}, grey);
        uncapped.draw_mode = O3DU_DRAW_PICKABLE | O3DU_DRAW_NO_SECTION_CAP;
        s.modeller->AddPrimitive(uncapped);
        // Keep what lies at y >= 0: the near halves of both boxes go.
        s.modeller->SetCliping(on, OfuPlane{0, 1, 0, 0}, cap);
        const Frame f = s.render();
        const _O3duCamera c = camera_of(*s.modeller);
        int x = 0, y = 0;
        pixel_of(c, {0, -10, 0}, x, y);
        EXPECT_TRUE(pixel_near(f, x, y, on ? Rgb{51, 153, 102} : Rgb{204, 204, 204}, 2, "section_box"));
        pixel_of(c, {19, -10, 0}, x, y);
        EXPECT_TRUE(pixel_near(f, x, y, on ? Rgb{128, 128, 128} : Rgb{204, 204, 204}, 2, "section_uncapped"));
    }
}

TEST(FrameRender, VertexColoursAreOpaqueWhateverTheirAlpha) {
    HeadlessScene s;
    white_light_along_y(*s.modeller);
    CO3duPrimitive quad = make_quad_facing_minus_y(-10, -10, 10, 10, 0, make_material({1, 1, 1, 1}, {0, 0, 0, 1}));
    quad.sets[0].material_type = O3DU_MATERIAL_VERTEX_COLOR;
    for (int i = 0; i < 4; ++i) {
        float* c = quad.sets[0].vertices[i].color;
        c[0] = 0.0f, c[1] = 1.0f, c[2] = 0.4f, c[3] = 0.3f;
    }
    s.modeller->AddPrimitive(quad);
    // The colour stands in for the diffuse material; translucency would come from the material alone.
    EXPECT_TRUE(pixel_near(s.render(), kN / 2, kN / 2, {0, 255, 102}, 2, "vertex_colours"));
}

// An 8 x 8 image whose quadrants are red (bottom left), green (bottom right), blue (top left) and white, stored
// bottom row first as a DIB is.
_OfuBitmap quadrant_image() {
    _OfuBitmap image = blank_image(8, 8, 24);
    for (int row = 0; row < 8; ++row)
        for (int col = 0; col < 8; ++col) {
            const bool top = row >= 4, right = col >= 4;
            const Rgb c =
                !top ? (right ? Rgb{0, 255, 0} : Rgb{255, 0, 0}) : (right ? Rgb{255, 255, 255} : Rgb{0, 0, 255});
            std::uint8_t* p = &image.pixels[row * 24 + col * 3];
            p[0] = std::uint8_t(c.b), p[1] = std::uint8_t(c.g), p[2] = std::uint8_t(c.r);
        }
    return image;
}

// A white quad across the middle of the view, textured with texture `number`.
CO3duPrimitive textured_quad(int number) {
    CO3duPrimitive quad = make_quad_facing_minus_y(-10, -10, 10, 10, 0, make_material({1, 1, 1, 1}, {0, 0, 0, 1}));
    quad.sets[0].material_type = O3DU_MATERIAL_TEXTURE;
    quad.sets[0].texture_number = number;
    return quad;
}

TEST(FrameRender, TexturedQuadShowsTheImageTheRightWayUp) {
    HeadlessScene s;
    white_light_along_y(*s.modeller);
    _OfuBitmap unused = blank_image(2, 2, 24);
    ASSERT_EQ(s.modeller->AddTexture(unused), 1u);
    _OfuBitmap image = quadrant_image();
    ASSERT_EQ(s.modeller->AddTexture(image), 2u);
    CO3duPrimitive quad = textured_quad(2);
    _OfuPosition* pos = s.modeller->AddPrimitive(quad);
    // An untextured shape drawn after a textured one shows none of its texture.
    CO3duPrimitive plain = make_quad_facing_minus_y(13, -4, 21, 4, 0, make_material({1, 1, 1, 1}, {0, 0, 0, 1}));
    s.modeller->AddPrimitive(plain);
    const _O3duCamera c = camera_of(*s.modeller);
    int x = 0, y = 0;
    pixel_of(c, {-5, 0, -5}, x, y);
    // Images reach OpenGL with the next context set-up: until then the quad is plain lit white.
    EXPECT_TRUE(pixel_near(s.render(), x, y, {255, 255, 255}, 1, "texture_before_initialize"));
    HDC hdc = s.dc.get();
    ASSERT_EQ(s.modeller->Initialize(hdc), 1);
    const Frame f = s.render();
    const struct {
        OfuVector3 at;
        Rgb want;
    } quadrants[] = {
        {{-5, 0, -5}, {255, 0, 0}}, {{5, 0, -5}, {0, 255, 0}}, {{-5, 0, 5}, {0, 0, 255}}, {{5, 0, 5}, {255, 255, 255}}};
    for (const auto& q : quadrants) {
        pixel_of(c, q.at, x, y);
        EXPECT_TRUE(pixel_near(f, x, y, q.want, 2, "textured_quad"));
    }
    pixel_of(c, {17, 0, 0}, x, y);
    EXPECT_TRUE(pixel_near(f, x, y, {255, 255, 255}, 1, "untextured_after_textured"));
    // The shape's texture matrix mirrors u: u' = 1 - u puts the green quadrant at the bottom left.
    OfuMatrix4x4 mirror = identity_matrix();
    mirror[0][0] = -1;
    mirror[3][0] = 1;
    s.modeller->SetTexMatrix(pos, mirror);
    pixel_of(c, {-5, 0, -5}, x, y);
    EXPECT_TRUE(pixel_near(s.render(), x, y, {0, 255, 0}, 2, "texture_matrix"));
}

TEST(FrameRender, TextureWithAlphaIsDrawnInTheTranslucentPass) {
    HeadlessScene s;
    white_light_along_y(*s.modeller);
    _OfuBitmap image = blank_image(2, 2, 32);
    for (int i = 0; i < 4; ++i) {
        std::uint8_t* p = &image.pixels[i * 4];
        p[0] = 0, p[1] = 0, p[2] = 255, p[3] = 128;  // red at alpha 128/255
    }
    ASSERT_EQ(s.modeller->AddTexture(image), 1u);
    HDC hdc = s.dc.get();
    ASSERT_EQ(s.modeller->Initialize(hdc), 1);
    CO3duPrimitive quad = textured_quad(1);
    s.modeller->AddPrimitive(quad);
    // Twice at alpha a = 128/255 over black: 255a, then 255a + (1 - a) 255a = 191.7.
    EXPECT_TRUE(pixel_near(s.render(), kN / 2, kN / 2, {192, 0, 0}, 2, "texture_alpha"));
}

// A caption quad in window pixels (x 10..20, y 5..15 from the top), unlit, in its ambient colour.
CO3duPrimitive caption() {
    CO3duPrimitive p;
    p.kind = 1;
    CO3duTrianglePolys set;
    set.type = O3DU_SET_TRIANGLE_STRIP;
    set.material = make_material({0, 0, 0, 1}, {1, 0.5f, 0, 1});
    set.vertices.SetSize(4);
    const double xs[4] = {10, 10, 20, 20}, ys[4] = {5, 15, 5, 15};
    for (int i = 0; i < 4; ++i) {
        set.vertices[i].position = OfuVector3(xs[i], ys[i], 1);
        set.vertices[i].normal = OfuVector3(0, 0, -1);
    }
    p.sets.Add(set);
    return p;
}

TEST(FrameRender, WindowCoordinateCaptionLandsOnItsPixels) {
    HeadlessScene s;
    CO3duPrimitive p = caption();
    s.modeller->AddPrimitive(p);
    // A section plane that removes everything of the model does not touch captions.
    s.modeller->SetCliping(1, OfuPlane{0, 0, 0, -1}, {0, 0, 0, 1});
    const Frame f = s.render();
    const Rgb orange{255, 128, 0}, none{0, 0, 0};
    const struct {
        int x, row;  // row counts from the top
        Rgb want;
    } probes[] = {{15, 10, orange}, {10, 5, orange}, {19, 14, orange}, {9, 10, none},
                  {20, 10, none},   {15, 4, none},   {15, 15, none}};
    for (const auto& p : probes) EXPECT_TRUE(pixel_near(f, p.x, kN - 1 - p.row, p.want, 1, "caption"));
}

// A caption first in the list, then a grey box lit straight on.
void add_caption_then_box(CO3duGLModelar& m) {
    white_light_along_y(m);
    CO3duPrimitive label = caption();
    m.AddPrimitive(label);
    CO3duPrimitive box = make_box({-10, -10, -10}, {10, 10, 10}, make_material({0.8f, 0.8f, 0.8f, 1}, {0, 0, 0, 1}));
    m.AddPrimitive(box);
}

// A caption counts its pixels from the viewport's corner, wherever the host put the viewport in the window.
TEST(FrameRender, CaptionLandsOnItsPixelsInAViewportOffTheCorner) {
    for (const auto& [x, y] : {std::pair{0, 0}, {24, 0}, {0, 30}, {17, 9}}) {
        SCOPED_TRACE(::testing::Message() << "the viewport at " << x << ", " << y);
        HeadlessScene s(kN + 40, kN + 40);
        CO3duPrimitive p = caption();
        s.modeller->AddPrimitive(p);
        _O3duViewport view{x, y, kN, kN};
        s.modeller->SetViewport(view);
        const Frame f = s.render();
        const Rgb orange{255, 128, 0}, none{0, 0, 0};
        // Rows from the viewport's top.
        const struct {
            int x, row;
            Rgb want;
        } probes[] = {{15, 10, orange}, {10, 5, orange}, {19, 14, orange}, {9, 10, none}, {20, 10, none}};
        for (const auto& q : probes)
            EXPECT_TRUE(pixel_near(f, x + q.x, y + kN - 1 - q.row, q.want, 1, "caption_in_viewport"));
    }
}

TEST(FrameRender, CaptionLeavesClippingAsTheSectionSwitchSays) {
    HeadlessScene s;
    add_caption_then_box(*s.modeller);
    // One frame with a section leaves its plane in the context; the next frame has none.
    s.modeller->SetCliping(1, OfuPlane{0, 1, 0, 0}, {0, 0, 0, 1});
    s.render();
    s.modeller->SetCliping(0, OfuPlane{0, 1, 0, 0}, {0, 0, 0, 1});
    EXPECT_TRUE(pixel_near(s.render(), kN / 2, kN / 2, {204, 204, 204}, 2, "after_caption"));
}

TEST(FrameRender, ShapesAfterACaptionKeepAViewportOffTheCorner) {
    HeadlessScene s;
    add_caption_then_box(*s.modeller);
    _O3duViewport right_part{16, 0, 48, 64};
    s.modeller->SetViewport(right_part);
    const Frame f = s.render();
    EXPECT_TRUE(pixel_near(f, 46, 32, {204, 204, 204}, 2, "viewport_box"));  // box centred at x = 16 + 24
    EXPECT_TRUE(pixel_near(f, 14, 32, {0, 0, 0}, 0, "viewport_left"));
}

}  // namespace
}  // namespace kz::test
