// A texture reloaded with or without an alpha channel turns the shadows of the sets using it off or on: the next
// frame's shadows follow it, held to the ray cast, and only the shapes whose shadow it changes are built anew; an
// image of the same depth, or a draw mode set again through ChangePrimitive, builds nothing.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "tests/modeller/render_support.h"
#include "tests/modeller/shadow/scenes.h"

namespace kz::test {
namespace {

struct TextureStep {
    const char* name;
    std::function<void(CO3duGLModelar&)> change;
    int rebuilt;
    std::vector<bool> casting;  // shapes 1 to 5 (after the floor) casting in the cast after the step
};

TEST(Shadows, VolumesFollowATextureReloadOnlyWhereItsDepthTurnsTheirShadow) {
    constexpr int w = 96, h = 72;
    HeadlessScene scene(w, h);
    scene.replace_modeller(std::make_unique<CountingModelar>());
    auto& m = static_cast<CountingModelar&>(*scene.modeller);
    ShadowScene cast;
    const _OfuMaterial white = make_material({1, 1, 1, 1}, {1, 1, 1, 1}),
                       green = make_material({0, 1, 0, 1}, {0, 1, 0, 1});
    cast.add(m, make_box({-80, -80, -1}, {80, 80, 0}, white));
    // Five blocks outside the view, their shadows inside: textured 1, textured 2, untextured, textured 1 but
    // translucent, and textured 3, a number no image has yet; and one textured 1 hidden.
    const int textures[6] = {1, 2, 0, 1, 3, 1};
    std::vector<_OfuPosition*> shapes;
    for (int i = 0; i < 6; ++i) {
        CO3duPrimitive block = make_box({-62, -34 + 12.0 * (i % 5), 20}, {-50, -26 + 12.0 * (i % 5), 32}, green);
        for (int s = 0; s < block.sets.GetSize(); ++s) {
            block.sets[s].texture_number = textures[i];
            if (i == 3) block.sets[s].material.diffuse.a = 0.5f;
        }
        if (i == 5) block.draw_mode |= O3DU_DRAW_HIDDEN;
        shapes.push_back(cast.add(m, block));
    }
    cast.set_drawn(4, true, false);
    cast.set_drawn(6, false, false);
    // Out of view and casting none whatever their texture: a block textured 1 drawn as lines, and one drawn in
    // window coordinates.
    for (const int kind : {0, 1}) {
        CO3duPrimitive block = make_box({200, 200, 0}, {210, 210, 10}, green);
        for (int s = 0; s < block.sets.GetSize(); ++s) block.sets[s].texture_number = 1;
        block.polygon_mode = kind ? 0 : 1;
        block.kind = kind;
        m.AddPrimitive(block);
    }
    _OfuBitmap rgb = blank_image(4, 4, 24), rgba = blank_image(4, 4, 32), other = blank_image(8, 8, 32);
    ASSERT_EQ(m.AddTexture(rgb), 1u);
    ASSERT_EQ(m.AddTexture(rgb), 2u);
    const OfuVector3 travel(1, 0, -1);
    OfuLight light = make_light(OFU_LIGHT_DIRECTIONAL, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, travel);
    light.on = 1;
    m.SetShadowLight(light);
    m.SetShadowColor({1, 0, 0, 0.5f});
    const _O3duCamera c = camera_looking(m, {0, -30, 100}, {0, 0, 0}, 40, 1, 500);
    m.SetCamera(c);
    const auto held_to_the_cast = [&](const Frame& f) {
        const Score score = cast.compare(f, PixelRays(c, w, h), travel);
        EXPECT_GT(score.judged, w * h / 4);
        EXPECT_GT(score.shadowed, 100);
        EXPECT_GE(score.agree, 0.99 * score.judged) << score.agree << " of " << score.judged;
    };
    held_to_the_cast(scene.render());
    const TextureStep steps[] = {
        {"texture 1 reloaded with an alpha channel",
         [&](CO3duGLModelar& g) { g.ChangeTexture(1, rgba); },
         1,
         {false, true, true, false, true}},
        {"texture 1 reloaded with another alpha image",
         [&](CO3duGLModelar& g) { g.ChangeTexture(1, other); },
         0,
         {false, true, true, false, true}},
        {"texture 2 reloaded without one",
         [&](CO3duGLModelar& g) { g.ChangeTexture(2, rgb); },
         0,
         {false, true, true, false, true}},
        {"texture 1 reloaded without one",
         [&](CO3duGLModelar& g) { g.ChangeTexture(1, rgb); },
         1,
         {true, true, true, false, true}},
        {"texture 2 reloaded with one",
         [&](CO3duGLModelar& g) { g.ChangeTexture(2, rgba); },
         1,
         {true, false, true, false, true}},
        {"texture 3 added with one",
         [&](CO3duGLModelar& g) { EXPECT_EQ(g.AddTexture(rgba), 3u); },
         1,
         {true, false, true, false, false}},
        {"every texture removed", [&](CO3duGLModelar& g) { g.RemoveAllTexture(); }, 2, {true, true, true, false, true}},
        {"every texture removed again",
         [&](CO3duGLModelar& g) { g.RemoveAllTexture(); },
         0,
         {true, true, true, false, true}},
        {"the same draw mode given again",
         [&](CO3duGLModelar& g) {
             CO3duPrimitive p;
             g.GetPrimitive(shapes[0], p, O3DU_PRIM_DRAW_MODE);
             g.ChangePrimitive(shapes[0], p, O3DU_PRIM_DRAW_MODE);
         },
         0,
         {true, true, true, false, true}},
    };
    for (const TextureStep& step : steps) {
        SCOPED_TRACE(step.name);
        step.change(m);
        for (std::size_t i = 0; i < step.casting.size(); ++i) cast.set_drawn(i + 1, true, step.casting[i]);
        EXPECT_EQ(m.rebuilds_of_next_frame(scene, held_to_the_cast), step.rebuilt) << "shapes built anew";
    }
}

}  // namespace
}  // namespace kz::test
