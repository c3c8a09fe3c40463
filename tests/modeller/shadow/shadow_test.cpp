// Stencil shadows against a CPU ray cast from the pixels: scenes of blocks over a floor lit by a directional shadow
// light, seen from outside the shadow volumes and from inside them, with the near plane's rectangle in part inside
// them, at both shadow accuracies; the stencil counts of each shape's walls left after cancelling against those of
// every lit triangle's whole prism; the same counts on every road a frame may take (shapes joined past one draw,
// counting in batches or, in a deep frame, in groups, a context without a wrapping stencil or queries, small shares
// of work); volumes rebuilt only when something changed; and their memory given back.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <random>

#include "geometry/vector_math.h"
#include "modeller/gl_capabilities.h"
#include "modeller/shadow/shadows.h"
#include "modeller/shadow/wall_draws.h"
#include "platform/heap_release.h"
#include "platform/memory_status.h"
#include "support/scoped_environment.h"
#include "support/test_paths.h"
#include "tests/modeller/render_support.h"
#include "tests/modeller/shadow/scenes.h"

namespace kz::test {
namespace {

const OfuVector3 kBoxLo(-8, -8, 15), kBoxHi(8, 8, 25);
const OfuVector3 kTravel(0.3, 0.2, -1.0);  // the way the shadow light travels
constexpr int kW = 96, kH = 72;
const Block kFloor{{-40, -40, -1}, {40, 40, 0}};

// A block as one closed indexed mesh, so its outline is the silhouette where lit triangles meet unlit ones.
CO3duPrimitive indexed_box(const Block& b, const _OfuMaterial& material) {
    CO3duPrimitive p;
    CO3duTrianglePolys set;
    set.type = O3DU_SET_INDEXED_TRIANGLES;
    set.material = material;
    set.vertices.SetSize(8);
    for (int i = 0; i < 8; ++i)
        set.vertices[i].position =
            OfuVector3(i & 1 ? b.hi.x : b.lo.x, i & 2 ? b.hi.y : b.lo.y, i & 4 ? b.hi.z : b.lo.z);
    // Counter-clockwise seen from outside.
    const int faces[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                              {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
    for (const auto& f : faces) set.indices.Add(_O3duVertexIndex{f[0], f[1], f[2]});
    p.sets.Add(set);
    return p;
}

// The shadow light switched on, travelling along `travel`, at the accuracy.
OfuLight shine(CO3duGLModelar& m, const OfuVector3& travel, int accuracy) {
    OfuLight light = make_light(OFU_LIGHT_DIRECTIONAL, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, travel);
    light.on = 1;
    m.SetShadowLight(light);
    m.SetShadowAccuracy(accuracy);
    return light;
}

// The perspective camera from eye to target, reaching from 1 to 500.
_O3duCamera look(CO3duGLModelar& m, const OfuVector3& eye, const OfuVector3& target, double fov) {
    const _O3duCamera c = camera_looking(m, eye, target, fov, 1, 500);
    m.SetCamera(c);
    return c;
}

struct ShadowCase {
    const char* name;
    std::vector<Block> blocks = {};  // the first white, the others green
    OfuVector3 eye = {}, target = {};
    int accuracy = 0;
    double fov = 30;
    OfuVector3 travel = kTravel;
    bool one_mesh = false;  // the second block one indexed mesh
    bool wraps = true;      // off: a saturating count, in batches
    double sunk = 0;        // after a first frame the first block (or the shape `sinking`) sinks so far
    std::size_t sinking = 0;
    double near_distance = 1, far_distance = 500;
    bool parallel = false;  // the axonometric camera, looking from the eye's side of the origin at the target
    // Counted in groups of this depth at most, whatever the frame's bound (0: as the frame's bound says), with or
    // without the near caps; the least passes the frame takes; whether the reference of every prism is right too.
    std::uint32_t group_depth = 0;
    bool near_caps = true;
    std::uint64_t least_passes = 0;
    bool reference = true;
};

// The case with every length times s, under its own name.
ShadowCase scaled(ShadowCase k, double s, const char* name) {
    k.name = name;
    const auto times = [s](const OfuVector3& p) { return OfuVector3(p.x * s, p.y * s, p.z * s); };
    for (Block& b : k.blocks) b.lo = times(b.lo), b.hi = times(b.hi);
    k.eye = times(k.eye), k.target = times(k.target);
    k.near_distance *= s, k.far_distance *= s;
    return k;
}

const Block kWideFloor{{-100, -100, -1}, {100, 100, 0}}, kPlate{{-30, -30, 40}, {30, 30, 41}};

// The plate over a wide floor in a light tilted along x, the eye at height 20 and x = eye_x (y = 0).
ShadowCase near_plane_case(const char* name, double eye_x, const OfuVector3& target, double near_distance) {
    return {.name = name,
            .blocks = {kWideFloor, kPlate},
            .eye = {eye_x, 0, 20},
            .target = target,
            .fov = 80,
            .travel = {0.1, 0, -1},
            .near_distance = near_distance};
}

TEST(Shadows, MatchARayCastFromEveryPixel) {
    const Block box{kBoxLo, kBoxHi};
    // Ten blocks side by side joined into one shape of more corners than a shape's screen hull follows.
    std::vector<Block> ten_blocks{kFloor};
    for (int i = 0; i < 10; ++i) ten_blocks.push_back({{-62, -12 + 2.5 * i, 20}, {-50, -10 + 2.5 * i, 32}, i > 0});
    // Inside: under the box, within the shadow of its top face (away from the face's diagonal).
    const OfuVector3 inside(0.3 * 17 + 3, 0.2 * 17 - 1.5, 8), above(10, -120, 90), down(0, 0, -1);
    const ShadowCase thin_prism{.name = "a thin prism across the rectangle, near 20",
                                .blocks = {kWideFloor, {{-1, -60, 40}, {1, 60, 41}}, {{10, 20, 30}, {40, 60, 31}}},
                                .eye = {6, -50, 20},
                                .target = {6, 50, 5},
                                .fov = 80,
                                .travel = {0.1, 0, -1},
                                .near_distance = 20};
    // 260 thin plates stacked across the light, the last ten each set back 2 mm further: the floor below them counts
    // from 250 to 260, and no count there may show as none.
    // As four shapes of 65 plates, each shape's walls bound how many of its prisms a line along the light crosses.
    std::vector<Block> stack = {kFloor}, four_stacks;
    for (int i = 0; i < 260; ++i)
        stack.push_back({{i < 250 ? -30.0 : -30.0 + (i - 249) * 2, -25, 40 + i * 0.1}, {30, 25, 40.05 + i * 0.1}});
    std::vector<Block> one_stack = {kFloor}, short_stack = {kFloor};
    for (const Block& b : stack) {
        const std::size_t i = four_stacks.size();
        four_stacks.push_back({b.lo, b.hi, i > 1 && (i - 1) % 65 != 0});
        one_stack.push_back({b.lo, b.hi, i > 1});
    }
    // 254 plates the same way: the floor below them counts from 245 to 254, past what a wrapping count holds.
    std::vector<Block> stack_254 = {kFloor};
    for (int i = 0; i < 254; ++i)
        stack_254.push_back({{i < 244 ? -30.0 : -30.0 + (i - 243) * 2, -25, 40 + i * 0.1}, {30, 25, 40.05 + i * 0.1}});
    // 260 plates a metre square over a floor 20 km wide, far narrower than any cell of a grid over the floor.
    std::vector<Block> small_plates = {{{-10000, -10000, -1}, {10000, 10000, 0}}};
    for (int i = 0; i < 260; ++i)
        small_plates.push_back(
            {{i < 250 ? -0.5 : -0.5 + (i - 249) * 0.02, -0.5, 5 + i * 0.01}, {0.5, 0.5, 5.005 + i * 0.01}});
    // A louvred roof of 300 slats 12 m long, 0.5 m wide and 1 m apart along x, 3 m up, as one shape: lit from any
    // of the three ways below no line along the light crosses two slats, so the frame counts with wrap-around.
    std::vector<Block> louvres = {{{-200, -200, -1}, {200, 200, 0}}};
    for (int i = 0; i < 300; ++i) louvres.push_back({{i - 150.0, 0, 3}, {i - 149.5, 12, 3.05}, i > 0});
    const auto under_the_louvres = [&](const char* name, const OfuVector3& travel) {
        return ShadowCase{
            .name = name, .blocks = louvres, .eye = {0, -4, 1.6}, .target = {1, 8, 0.5}, .fov = 60, .travel = travel};
    };
    // 130 plates, the last ten set back: counts of 120 to 130, which one group of seven bits could not hold.
    for (int i = 0; i < 130; ++i)
        short_stack.push_back(
            {{i < 120 ? -30.0 : -30.0 + (i - 119) * 2, -25, 40 + i * 0.1}, {30, 25, 40.05 + i * 0.1}});
    // A louvred roof of 300 slats 1 m apart, as many shapes or one, the sun across the row: no line along the light
    // crosses two slats.
    std::vector<Block> slats = {{{-200, -200, -1}, {200, 200, 0}}}, one_roof = slats;
    for (int i = 0; i < 300; ++i) {
        slats.push_back({{-150.0 + i, -20, 20}, {-149.5 + i, 20, 20.05}});
        one_roof.push_back({slats.back().lo, slats.back().hi, i > 0});
    }
    const auto under_the_roof = [](const char* name, const std::vector<Block>& blocks) {
        return ShadowCase{.name = name,
                          .blocks = blocks,
                          .eye = {0, -15, 8},
                          .target = {0, 5, 0},
                          .fov = 60,
                          .travel = {0.3, 0, -1},
                          .group_depth = 255,
                          .least_passes = 1};
    };
    const auto under_the_stack = [](const char* name, const std::vector<Block>& blocks, std::uint64_t passes = 0) {
        return ShadowCase{.name = name,
                          .blocks = blocks,
                          .eye = {-10, -50, 25},
                          .target = {-10, 0, 0},
                          .fov = 50,
                          .travel = {0.1, 0, -1},
                          .least_passes = passes};
    };
    const auto in_groups = [](ShadowCase k, const char* name, std::uint64_t passes) {
        k.name = name, k.group_depth = 255, k.least_passes = passes;
        return k;
    };
    // The near plane in a caster: rays start inside a prism and leave it through the caster's sunlit face, to lit
    // ground. A wall 30 cm wide and 3 m high, the sun on its top and its -x face; a tower the sun lights on its -x
    // and +y faces; a building the eye stands in.
    const Block wall{{-0.15, -40, 0}, {0.15, 40, 3}}, tower{{-2, -2, 0}, {2, 2, 20}};
    const auto over_the_wall = [&](const char* name, double mm) {
        return ShadowCase{.name = name,
                          .blocks = {kWideFloor, wall},
                          .eye = {0, -30, 3 + mm / 1000},
                          .target = {0, 10, 0.5},
                          .fov = 80,
                          .travel = {0.6, 0.15, -1}};
    };
    const auto beside_the_tower = [&](const char* name, double mm) {
        return ShadowCase{.name = name,
                          .blocks = {kWideFloor, tower},
                          .eye = {-2 - mm / 1000, -1, 1.6},
                          .target = {-2 - mm / 1000, 40, 0.5},
                          .fov = 80,
                          .travel = {0.6, -0.4, -1}};
    };
    // 245 plates stacked, each a shape, from the 129th on each set back 40 cm further: the floor below counts 128 to
    // 245 in a wrapping frame.
    std::vector<Block> deep_stack = {kFloor};
    for (int i = 0; i < 245; ++i)
        deep_stack.push_back(
            {{i < 128 ? -30.0 : -30.0 + (i - 127) * 0.4, -25, 40 + i * 0.1}, {30, 25, 40.05 + i * 0.1}});
    const ShadowCase cases[] = {
        {"outside, outlines", {kFloor, box}, above, {0, 0, 0}, 1},
        {"outside, prisms", {kFloor, box}, above, {0, 0, 0}},
        {"inside, outlines", {kFloor, box}, inside, {40, 25, 2}, 1, 80},
        {"inside, prisms", {kFloor, box}, inside, {40, 25, 2}, 0, 80},
        {"outside, silhouette of one mesh", {kFloor, box}, above, {0, 0, 0}, 1, 30, kTravel, true},
        {"inside, silhouette of one mesh", {kFloor, box}, inside, {40, 25, 2}, 1, 80, kTravel, true},
        {"a caster outside the view, its shadow inside",
         {kFloor, {{-62, -6, 20}, {-50, 6, 32}}},
         {0, -30, 100},
         {0, 0, 0},
         0,
         40,
         {1, 0, -1}},
        {"a caster of ten blocks outside the view, its shadow inside, in batches",
         ten_blocks,
         {0, -30, 100},
         {0, 0, 0},
         0,
         40,
         {1, 0, -1},
         false,
         false},
        {"the eye inside a thin prism",
         {kFloor, {{-60, -6, 40}, {60, 6, 40.5}}},
         {2, 0, 20},
         {30, 20, 0},
         0,
         80,
         {0.1, 0, -1}},
        {"the eye below every surface",
         {{{-20, -20, 50}, {20, 20, 52}}, {{-5, -5, 60}, {5, 5, 70}}},
         {10, -20, -30},
         {10, 0, 51},
         0,
         40,
         {0.4, 0.25, -1}},
        // Within the prisms of the top, not of the shelf (first in the shape), whose lit corners lie straight
        // along the sun from the top's.
        {"the eye under a tabletop, above its shelf",
         {kFloor, {{-15, -15, 4}, {15, 15, 5}}, {{-15, -15, 10}, {15, 15, 11}, true}},
         {-10, -5, 7},
         {40, 20, 3},
         0,
         80,
         down},
        // A beam's walls run from behind the eye to beyond the view's left edge, none of their corners in front of
        // the eye on the screen, a box's shadow among them there: the saturating count, in batches, still counts
        // the beam's.
        {"walls reaching behind the eye, in batches",
         {{{-300, -300, -1}, {300, 300, 0}}, {{5, -30, 15}, {7, 200, 16}}, {{20, 22, 5}, {28, 30, 10}}},
         {0, 0, 10},
         {30, 30, 0},
         0,
         60,
         {0.2, 0, -1},
         false,
         false},
        // The plane the walls end on sinks with the floor: the box, kept still, reaches it only built anew.
        {"the floor sunk below every surface", {kFloor, box}, above, {0, 0, 0}, 0, 30, kTravel, false, true, 10},
        // The near plane's rectangle lies partly or wholly in a plate's prism, though the eye does not, or the other
        // way round (the prism's wall on the eye's side stands at x = 32.1 at the eye's height).
        near_plane_case("the eye half a millimetre inside a prism's wall, near 1", 31.6, {31.6, 60, 5}, 1),
        near_plane_case("the eye 3 mm outside a prism's wall, near 20", 35.1, {-40, 0, 5}, 20),
        scaled(near_plane_case("", 32.1 + 3.0 / 20, {-40, 0, 5}, 20), 20,
               "the eye 3 mm outside a prism's wall, near 400"),
        // A prism 2 mm thick crosses the rectangle, none of whose corners, nor the eye, lies in it.
        thin_prism,
        scaled(thin_prism, 20, "a prism 40 mm thick across the rectangle, near 400"),
        over_the_wall("the eye 1 mm above a sunlit wall's top, along it", 1),
        over_the_wall("the eye 5 mm above a sunlit wall's top, along it", 5),
        over_the_wall("the eye 10 mm above a sunlit wall's top, along it", 10),
        // Counted in a group: the lit faces count out inside the group, after its walls.
        in_groups(over_the_wall("", 5), "the eye 5 mm above a sunlit wall's top, in groups", 1),
        beside_the_tower("the eye 1 mm beside a tower's sunlit face, along it", 1),
        beside_the_tower("the eye 5 mm beside a tower's sunlit face, along it", 5),
        beside_the_tower("the eye 10 mm beside a tower's sunlit face, along it", 10),
        {.name = "the eye inside a building, looking out through its sunlit walls",
         .blocks = {kWideFloor, {{-5, -5, 0}, {5, 5, 4}}},
         .eye = {0, 0, 1.6},
         .target = {-30, -12, 0},
         .fov = 80},
        // Behind a 10 m wall, in the prism of its steep sunlit face and in no other.
        {.name = "the eye behind a sunny wall",
         .blocks = {kWideFloor, {{-0.15, -40, 0}, {0.15, 40, 10}}},
         .eye = {2, -30, 5},
         .target = {2, 10, 0},
         .fov = 80,
         .travel = {0.6, 0, -1}},
        under_the_stack("a stack of 245 plates across the light, counting 128 to 245 wrapped", deep_stack),
        under_the_stack("a stack of 254 plates across the light", stack_254),
        // Only the plate moved is built anew; the others' volumes count in the bound as they stand.
        [&] {
            ShadowCase k = under_the_stack("a stack of 254 plates, one sunk 5 mm after a first frame", stack_254);
            k.sunk = 0.005, k.sinking = 100;
            return k;
        }(),
        under_the_louvres("a roof of 300 slats as one shape, the sun across the row", {0, 0.4, -1}),
        under_the_louvres("a roof of 300 slats as one shape, the sun along the row", {0.3, 0, -1}),
        under_the_louvres("a roof of 300 slats as one shape, the sun at 30 degrees to the row",
                          {0.4 * std::cos(M_PI / 6), 0.4 * std::sin(M_PI / 6), -1}),
        {.name = "260 small plates over a floor 20 km wide",
         .blocks = small_plates,
         .eye = {0.3, -2.2, 1.0},
         .target = {0.6, 0, 0.45},
         .fov = 70,
         .travel = {0.1, 0, -1},
         .near_distance = 0.1,
         .far_distance = 100},
        // So deep a frame counts in groups, each within seven bits, a shape deeper than a group on its own.
        under_the_stack("a stack of 260 plates across the light", stack, 3),
        under_the_stack("a stack of 260 plates across the light, four shapes", four_stacks, 4),
        // The reference, counting every prism of the one shape saturating, passes 255 on the way.
        [&] {
            ShadowCase k = under_the_stack("a stack of 260 plates across the light, one shape", one_stack, 2);
            k.reference = false;
            return k;
        }(),
        in_groups(under_the_stack("", short_stack), "a stack of 130 plates in groups", 2),
        under_the_roof("a roof of 300 slats in groups", slats),
        under_the_roof("a roof of 300 slats in groups, one shape", one_roof),
        // Without the near caps the count of the prism the eye stands in falls to -1 beyond it, in a group of its
        // own after the plate above's, whose shadow it must keep.
        {.name = "the eye in a prism without near caps, in groups of one plate",
         .blocks = {kWideFloor, {{-5, -5, 40}, {5, 5, 40.5}}, {{3, -30, 45}, {60, 30, 45.5}}},
         .eye = {-1, 0, 20},
         .target = {100, 0, 5},
         .fov = 40,
         .travel = {0.1, 0, -1},
         .group_depth = 1,
         .near_caps = false,
         .least_passes = 2,
         .reference = false},
        {.name = "the axonometric camera's near plane across a prism",
         .blocks = {kWideFloor, kPlate},
         .eye = {-100, -100, 60},
         .target = {0, 0, 10},
         .travel = {0.1, 0, -1},
         .near_distance = -10,
         .parallel = true},
    };
    for (const ShadowCase& k : cases) {
        SCOPED_TRACE(k.name);
        HeadlessScene scene(kW, kH);
        CO3duGLModelar& m = *scene.modeller;
        const _OfuMaterial white = make_material({1, 1, 1, 1}, {1, 1, 1, 1}),
                           green = make_material({0, 1, 0, 1}, {0, 1, 0, 1});
        ShadowScene shapes;
        for (std::size_t i = 0; i < k.blocks.size(); ++i)
            k.one_mesh&& i == 1 ? shapes.add(m, indexed_box(k.blocks[i], green))
                                : shapes.add_blocks(m, k.blocks, i, i ? green : white);
        const OfuVector3 &eye = k.eye, &target = k.target, &travel = k.travel;
        m.set_shadow_count_wraps(k.wraps);
        shine(m, travel, k.accuracy);
        m.SetShadowColor({1, 0, 0, 0.5f});
        const _O3duCamera c = camera_looking(m, eye, target, k.fov, k.near_distance, k.far_distance);
        const _O3duAxoCamera axo{eye, target, 150, 112.5, k.near_distance, k.far_distance};
        m.SetCamera(c);
        if (k.parallel) {
            m.SetAxoCamera(axo);
            m.SetCameraMode(1);
        }
        const PixelRays rays = k.parallel ? PixelRays(axo, kW, kH) : PixelRays(c, kW, kH);
        if (k.sunk) {
            scene.render();
            OfuMatrix4x4 sunk = identity_matrix();
            sunk[3][2] = -k.sunk;
            shapes.set_matrix(m, k.sinking, sunk);
        }
        set_shadow_group_depth_for_testing(k.group_depth);
        set_shadow_near_caps_for_testing(k.near_caps);
        const Frame f = scene.render();
        set_shadow_group_depth_for_testing(0);
        set_shadow_near_caps_for_testing(true);
        EXPECT_GE(m.shadow_count_passes_last_frame(), k.least_passes);
        const Score score = shapes.compare(f, rays, travel);
        EXPECT_GT(score.judged, kW * kH / 4);
        EXPECT_GT(score.shadowed, 100);
        EXPECT_GE(score.agree, 0.99 * score.judged) << score.agree << " of " << score.judged;
        if (score.agree < 0.99 * score.judged) f.save(std::string("shadow_") + k.name);
        EXPECT_GT(score.background, 100);
        EXPECT_EQ(score.background_dark, 0);  // the background never takes the shadow colour
        // Every lit triangle's prism drawn whole agrees no more often than the walls left after cancelling.
        if (!k.reference) continue;
        m.set_every_prism_shadows(true);
        const Score reference = shapes.compare(scene.render(), rays, travel);
        EXPECT_GE(reference.agree, 0.99 * reference.judged) << reference.agree << " of " << reference.judged;
        EXPECT_GE(score.agree, reference.agree);
    }
}

// AddPrimitive of a shape made on the spot.
_OfuPosition* add(CO3duGLModelar& m, CO3duPrimitive shape) { return m.AddPrimitive(shape); }

// A cylinder about z from z0 to z1, its side one strip over `sweep` radians; with caps, two fans closing it.
CO3duPrimitive cylinder(double radius, double z0, double z1, int segments, double sweep, bool caps,
                        const _OfuMaterial& material) {
    CO3duPrimitive p;
    const auto rim = [&](int s, double z) {
        const double theta = sweep * (s % segments == 0 && sweep > 6.28 ? 0 : s) / segments;
        return OfuVector3(radius * std::cos(theta), radius * std::sin(theta), z);
    };
    CO3duTrianglePolys side;
    side.type = O3DU_SET_TRIANGLE_STRIP;
    side.material = material;
    side.vertices.SetSize(2 * (segments + 1));
    for (int s = 0; s <= segments; ++s) {
        side.vertices[2 * s].position = rim(s, z1);
        side.vertices[2 * s + 1].position = rim(s, z0);
    }
    p.sets.Add(side);
    for (int cap = 0; caps && cap < 2; ++cap) {
        CO3duTrianglePolys fan;
        fan.type = O3DU_SET_TRIANGLE_FAN;
        fan.material = material;
        fan.vertices.SetSize(segments + 2);
        fan.vertices[0].position = OfuVector3(0, 0, cap ? z1 : z0);
        for (int s = 0; s <= segments; ++s) fan.vertices[s + 1].position = rim(cap ? s : segments - s, cap ? z1 : z0);
        p.sets.Add(fan);
    }
    return p;
}

// A bumpy height field as one indexed set, every third triangle wound the other way round.
CO3duPrimitive mixed_winding_field(int n, double size, double z, const _OfuMaterial& material) {
    CO3duPrimitive p;
    CO3duTrianglePolys set;
    set.type = O3DU_SET_INDEXED_TRIANGLES;
    set.material = material;
    set.vertices.SetSize((n + 1) * (n + 1));
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i)
            set.vertices[j * (n + 1) + i].position =
                OfuVector3(size * i / n, size * j / n, z + 2 * std::sin(i * 0.9) * std::cos(j * 0.7));
    int t = 0;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const int a = j * (n + 1) + i, b = a + 1, c = a + n + 1, d = c + 1;
            for (const auto& f : {std::array<int, 3>{a, b, d}, std::array<int, 3>{a, d, c}})
                set.indices.Add(t++ % 3 == 2 ? _O3duVertexIndex{f[0], f[2], f[1]} : _O3duVertexIndex{f[0], f[1], f[2]});
        }
    p.sets.Add(set);
    return p;
}

// Turning by `angle` radians about the axis, then moving by `to` (row vectors).
OfuMatrix4x4 turned(OfuVector3 axis, double angle, const OfuVector3& to) {
    NormalizeVector3(axis);
    const double c = std::cos(angle), s = std::sin(angle), k = 1 - c;
    const double x = axis.x, y = axis.y, z = axis.z;
    OfuMatrix4x4 m = identity_matrix();
    const double r[3][3] = {{c + x * x * k, x * y * k + z * s, x * z * k - y * s},
                            {x * y * k - z * s, c + y * y * k, y * z * k + x * s},
                            {x * z * k + y * s, y * z * k - x * s, c + z * z * k}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) m.m[i][j] = r[i][j];
    m.m[3][0] = to.x, m.m[3][1] = to.y, m.m[3][2] = to.z;
    return m;
}

struct CountCase {
    const char* name;
    std::function<void(CO3duGLModelar&)> add_shapes;
    OfuVector3 eye, target, travel;
    int accuracy = 0;
    int cull_mode = 0;
    double fov = 22;
    // Before the counts are compared: a shape moved (the second one added), or the shadow light off and on.
    bool move = false;
    bool off_and_on = false;
    // Counted with a wrapping stencil (all walls at once) or, off, a saturating one (in batches); and the most
    // draws of walls the frame may make (0: any number).
    bool wraps = true;
    std::uint64_t most_draws = 0;
};

// The curved shapes, each in a turned frame, over a floor.
void curved_shapes(CO3duGLModelar& m) {
    const _OfuMaterial white = make_material({1, 1, 1, 1}, {1, 1, 1, 1}),
                       green = make_material({0, 1, 0, 1}, {0, 1, 0, 1});
    add(m, make_box({-60, -60, -1}, {60, 60, 0}, white));
    CO3duPrimitive ball = banded_ball(9, 12, green), pipe = cylinder(6, -10, 10, 20, 2 * M_PI, true, green);
    OfuMatrix4x4 ball_at = turned({1, 2, 0.5}, 0.7, {-15, 5, 22}), pipe_at = turned({0.3, 1, 0.2}, 1.1, {18, -8, 20});
    m.SetMatrix(m.AddPrimitive(ball), ball_at);
    m.SetMatrix(m.AddPrimitive(pipe), pipe_at);
}

// Where the counts of the outline walls differ from those of every prism's walls: only at pixels none of whose
// eight neighbours differ too, and at most 0.5 % of the pixels either shadows. Saturated counts are left aside.
void expect_counts_match(const std::vector<std::uint8_t>& walls, const std::vector<std::uint8_t>& prisms, int w,
                         int h) {
    ASSERT_EQ(walls.size(), prisms.size());
    ASSERT_EQ(walls.size(), std::size_t(w) * h);
    const auto differs = [&](int x, int y) {
        const std::size_t i = std::size_t(y) * w + x;
        return prisms[i] != 255 && walls[i] != prisms[i];
    };
    int shadowed = 0, different = 0, adjacent = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::size_t i = std::size_t(y) * w + x;
            shadowed += walls[i] != 0 || prisms[i] != 0;
            if (!differs(x, y)) continue;
            ++different;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if ((dx || dy) && x + dx >= 0 && x + dx < w && y + dy >= 0 && y + dy < h && differs(x + dx, y + dy))
                        ++adjacent;
        }
    EXPECT_GT(shadowed, 200);
    EXPECT_EQ(adjacent, 0);
    EXPECT_LE(different, 0.005 * shadowed) << different << " of " << shadowed;
}

TEST(Shadows, OutlineWallsCountAsEveryPrismDoes) {
    const _OfuMaterial white = make_material({1, 1, 1, 1}, {1, 1, 1, 1}),
                       green = make_material({0, 1, 0, 1}, {0, 1, 0, 1});
    const auto floor_and = [=](std::function<void(CO3duGLModelar&)> more) {
        return [=](CO3duGLModelar& m) {
            add(m, make_box({-60, -60, -1}, {60, 60, 0}, white));
            more(m);
        };
    };
    const OfuVector3 oblique(0.4, 0.25, -1.0);
    // Under 250 stacked plates the count nears the stencil's top; the way there passes through the prisms of 12
    // more, each in and out again, which saturates the count unless each counts its increments and its
    // decrements before the next one's. A line along the light may cross more than 250 of them, so the frame counts
    // so even where the stencil wraps. The plates lie above the view and their shadows' edges beyond it, so that no
    // pixel rounds the edges of hundreds of walls.
    const auto near_the_top = floor_and([=](CO3duGLModelar& m) {
        for (int i = 0; i < 250; ++i) add(m, make_box({-80, -200, 40 + i * 0.1}, {200, 200, 40.05 + i * 0.1}, green));
        for (int j = 0; j < 12; ++j) add(m, make_box({-95, -200, 35 + j * 0.5}, {-85, 200, 35.2 + j * 0.5}, green));
    });
    // Posts in a row across a low light: their shadows are long strips side by side, whose screen rectangles
    // overlap while the strips do not.
    const auto posts = floor_and([=](CO3duGLModelar& m) {
        for (int k = -2; k <= 2; ++k)
            add(m, make_box({k * 14.0 - 1, -k * 14.0 - 1, 0}, {k * 14.0 + 1, -k * 14.0 + 1, 12}, green));
    });
    const OfuVector3 low(1, 1, -0.3);
    const CountCase cases[] = {
        {"curved shapes in turned frames",
         curved_shapes,
         {20, -110, 80},
         {0, 0, 5},
         oblique,
         0,
         0,
         22,
         false,
         false,
         true,
         2},
        {"cull mode 1", curved_shapes, {20, -110, 80}, {0, 0, 5}, oblique, 0, 1},
        {"an open surface",
         floor_and([=](CO3duGLModelar& m) {
             CO3duPrimitive half = cylinder(10, -12, 12, 16, M_PI, false, green);
             OfuMatrix4x4 at = turned({1, 0.4, 0.2}, 0.9, {0, 0, 25});
             m.SetMatrix(add(m, half), at);
         }),
         {20, -110, 80},
         {0, 0, 5},
         oblique,
         0,
         1},
        {"a mesh of mixed winding",
         floor_and([=](CO3duGLModelar& m) { add(m, mixed_winding_field(10, 40, 25, green)); }),
         {20, -110, 90},
         {10, 10, 5},
         oblique,
         0,
         0,
         30},
        // Every pixel's ray starts inside the plate's prism, whose walls lie beyond the far plane.
        {"the near plane within a wide prism",
         floor_and([=](CO3duGLModelar& m) {
             add(m, make_box({-600, -600, 40}, {600, 600, 40.5}, green));
         }),
         {0, 0, 20},
         {100, 0, 20},
         {0, 0, -1},
         0,
         0,
         60},
        {"a count near the stencil's top", near_the_top, {-100, 0, 30}, {0, 0, 0}, {0.1, 0.07, -1}, 0, 0, 30},
        {"a count near the stencil's top, in batches",
         near_the_top,
         {-100, 0, 30},
         {0, 0, 0},
         {0.1, 0.07, -1},
         0,
         0,
         30,
         false,
         false,
         false},
        {"long walls side by side, in batches", posts, {0, -60, 160}, {0, 0, 0}, low, 0, 0, 40, false, false, false, 4},
        {"the eye among long walls, in batches", posts, {-30, 10, 5}, {40, -20, 2}, low, 0, 0, 70, false, false, false},
        {"a moving part", curved_shapes, {20, -110, 80}, {0, 0, 5}, oblique, 0, 0, 22, true},
        {"shadows off and on again", curved_shapes, {20, -110, 80}, {0, 0, 5}, oblique, 0, 0, 22, false, true},
    };
    constexpr int w = 160, h = 120;
    for (const CountCase& k : cases) {
        SCOPED_TRACE(k.name);
        HeadlessScene scene(w, h);
        CO3duGLModelar& m = *scene.modeller;
        k.add_shapes(m);
        m.SetCullMode(k.cull_mode);
        m.set_shadow_count_wraps(k.wraps);
        OfuLight light = shine(m, k.travel, k.accuracy);
        look(m, k.eye, k.target, k.fov);
        scene.render();
        if (k.move) {
            OfuMatrix4x4 moved = turned({0.2, 1, 1}, 2.0, {-5, 12, 26});
            m.SetMatrix(m.structure().head()->next, moved);
            scene.render();
        }
        if (k.off_and_on) {
            light.on = 0;
            m.SetShadowLight(light);
            scene.render();
            light.on = 1;
            m.SetShadowLight(light);
        }
        scene.render();
        std::vector<std::uint8_t> walls = scene.stencil();
        if (k.most_draws) {
            EXPECT_LE(m.shadow_wall_draws_last_frame(), k.most_draws);
        }
        // A wrapping frame counted in more than one pass went in groups, which leave the top bit alone where any
        // group counted a shadow: the counts are held to those of the prisms as shadow or none.
        const bool grouped = k.wraps && m.shadow_count_passes_last_frame() > 1;
        m.set_every_prism_shadows(true);
        scene.render();
        std::vector<std::uint8_t> prisms = scene.stencil();
        for (std::vector<std::uint8_t>* counts : {&walls, &prisms})
            for (std::uint8_t& c : *counts) c = grouped && c ? 0x80 : c;
        expect_counts_match(walls, prisms, w, h);
    }
}

// n x n small blocks apart over a floor, each a closed mesh: as many shapes or, joined, one shape (whose walls pass
// one draw at 80 x 80).
void block_field(CO3duGLModelar& m, bool joined, int n) {
    const _OfuMaterial white = make_material({1, 1, 1, 1}, {1, 1, 1, 1}),
                       green = make_material({0, 1, 0, 1}, {0, 1, 0, 1});
    add(m, make_box({-60, -60, -1}, {60, 60, 0}, white));
    CO3duPrimitive all = indexed_box({}, green);
    CO3duTrianglePolys& set = all.sets[0];
    set.vertices.SetSize(0);
    set.indices.SetSize(0);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const OfuVector3 lo(i - n / 2.0, j - n / 2.0, 0);
            CO3duPrimitive block = indexed_box({lo, lo + OfuVector3(0.6, 0.6, 1.5)}, green);
            if (!joined) {
                add(m, block);
                continue;
            }
            const CO3duTrianglePolys& more = block.sets[0];
            const int first = set.vertices.GetSize();
            for (int v = 0; v < more.vertices.GetSize(); ++v) set.vertices.Add(more.vertices[v]);
            for (int t = 0; t < more.indices.GetSize(); ++t) {
                const _O3duVertexIndex& f = more.indices[t];
                set.indices.Add(_O3duVertexIndex{f.a + first, f.b + first, f.c + first});
            }
        }
    if (joined) add(m, all);
}

// How many of the bytes differ.
std::size_t bytes_apart(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    if (a.size() != b.size()) return std::max(a.size(), b.size());
    std::size_t apart = 0;
    for (std::size_t i = 0; i < a.size(); ++i) apart += a[i] != b[i];
    return apart;
}

// A road the shadows' count may take, drawn beside the default one: the shapes joined, the counting, what the
// context answers it offers, and the share of work the rasterizer is handed at a time.
struct RoadCase {
    const char* name;
    int blocks;  // a side of the field
    int accuracy = 0;
    bool joined = false;
    bool wraps = true;  // set_shadow_count_wraps
    bool context_wraps = true, queries = true;
    double share = 0;       // bins, 0 the default
    int waits = 0;          // the least waits between shares
    std::size_t apart = 0;  // the most stencil bytes that may differ
};

TEST(Shadows, CountAsTheDefaultRoadDoesOnEveryOther) {
    constexpr double kSmallShare = 500;
    // In batches a shape's count saturates on its own, which can leave a pixel apart from the count of many shapes.
    const RoadCase cases[] = {
        {"80 x 80 blocks as one shape and as 6,400", 80, 0, true},
        {"80 x 80 blocks as one shape and as 6,400, outlines", 80, 1, true},
        {"80 x 80 blocks as one shape and as 6,400, in batches", 80, 0, true, false, true, true, 0, 0, 2},
        {"80 x 80 blocks as one shape and as 6,400, outlines in batches", 80, 1, true, false, true, true, 0, 0, 2},
        {"small shares, in batches", 20, 0, false, false, true, true, kSmallShare, 2},
        {"small shares without occlusion queries, in batches", 20, 0, false, false, true, false, kSmallShare, 2},
        {"small shares, a context of neither", 20, 0, false, true, false, false, kSmallShare, 2},
    };
    constexpr int w = 640, h = 480;
    int waits[2] = {0, 0};  // on a query's result, on glFinish
    // A wait on a query's result ends with that result there.
    O3duQueryFunctions queries;
    set_wall_wait_observer_for_testing([&](bool finished, GLuint mark) {
        ++waits[finished];
        GLuint through = 0;
        if (mark) queries.result(mark, GL_QUERY_RESULT_AVAILABLE, &through);
        EXPECT_EQ(through, mark ? 1u : 0u);
    });
    struct Drawn {
        Frame frame;
        std::vector<std::uint8_t> stencil;
        std::uint64_t draws = 0, passes = 0;
        int waits[2] = {0, 0};
    };
    for (const RoadCase& k : cases) {
        SCOPED_TRACE(k.name);
        // Both contexts live at once, the road's answering as limited, the default's as its driver does.
        limit_gl_capabilities_for_testing(k.context_wraps, k.queries);
        HeadlessScene road(w, h);
        limit_gl_capabilities_for_testing(true, true);
        HeadlessScene plain(w, h);
        // A share waits only where the rasterizer threads are behind it: the frame is drawn again, up to 30 times,
        // until its shares have waited as often as asked.
        const auto draw = [&](HeadlessScene& scene, bool joined, bool wraps, double share, int wanted) {
            CO3duGLModelar& m = *scene.modeller;
            queries = m.renderer().capabilities().queries;
            if (!m.structure().head()) block_field(m, joined, k.blocks);
            m.set_shadow_count_wraps(wraps);
            shine(m, {0.6, 0.4, -0.5}, k.accuracy);
            m.SetShadowColor({1, 0, 0, 0.5f});
            look(m, {0, -0.125 * k.blocks, 1.25 * k.blocks}, {0, 0, 0}, 45);
            set_wall_share_for_testing(share);
            waits[0] = waits[1] = 0;
            Drawn d;
            for (int frame = 0; frame == 0 || (frame < 30 && waits[0] + waits[1] < wanted); ++frame)
                d.frame = scene.render();
            d.stencil = scene.stencil();
            d.draws = m.shadow_wall_draws_last_frame();
            d.passes = m.shadow_count_passes_last_frame();
            std::copy(waits, waits + 2, d.waits);
            return d;
        };
        // The default road counts as the row's road should: in batches where the stencil does not wrap.
        Drawn got = draw(road, k.joined, k.wraps, k.share, k.waits),
              want = draw(plain, false, k.wraps && k.context_wraps, 0, 0);
        // A wrapping frame counted in more than one pass went in groups (one shape as deep as the field may be):
        // its stencil holds shadow or none.
        if (k.wraps && k.context_wraps && got.passes > 1)
            for (std::vector<std::uint8_t>* counts : {&got.stencil, &want.stencil})
                for (std::uint8_t& c : *counts) c = c ? 0x80 : 0;
        EXPECT_LE(bytes_apart(got.stencil, want.stencil), k.apart);
        EXPECT_LE(bytes_apart(got.frame.bytes, want.frame.bytes), 3 * k.apart);  // three bytes a pixel
        EXPECT_GT(std::count_if(want.stencil.begin(), want.stencil.end(), [](std::uint8_t c) { return c != 0; }),
                  w * h / 10);
        CO3duGLModelar& m = *road.modeller;
        if (k.joined) {
            const CO3duGLEntity& one = *m.structure().head()->next->entity;
            const CO3duShadowVolumes& volumes = k.accuracy == 1 ? one.outline_volumes() : one.prism_volumes();
            EXPECT_GT(volumes.corners.size() / 3, O3duWallDraws::kCorners);
        }
        // Each context answers for itself, and its frames go the way its answers lead: as many draws as the
        // default road's, shares waiting on glFinish or on queries as the context offers them.
        const O3duGLCapabilities& offered = m.renderer().capabilities();
        EXPECT_EQ(offered.stencil_wraps, k.context_wraps);
        EXPECT_EQ(offered.queries.usable(), k.queries);
        EXPECT_TRUE(plain.modeller->renderer().capabilities().stencil_wraps);
        if (!k.joined) {
            EXPECT_EQ(got.draws, want.draws);
        }
        EXPECT_GE(got.waits[0] + got.waits[1], k.waits);
        EXPECT_EQ(got.waits[k.queries ? 1 : 0], 0);
        EXPECT_EQ(want.waits[1], 0);
        OfuLight light;
        m.GetShadowLight(light);
        light.on = 0;
        m.SetShadowLight(light);
        road.render();
        EXPECT_EQ(m.shadow_volume_bytes(), 0u);
    }
    set_wall_wait_observer_for_testing({});
}

// Where the stencil wraps, every shape's walls count at once; in batches each shape counts its increments before its
// decrements, and a count that would end below zero ends at 0. Both leave the same stencil, byte for byte, but at a
// pixel where one shape's walls alone take the count below zero before another's bring it up again (in batches
// that shape saturates on its own).
TEST(Shadows, AWrappingCountLeavesTheStencilOfCountsInBatches) {
    constexpr int w = 160, h = 120;
    // A dozen scenes, each with shadows in sight; in that of seed 19 some walls round below zero.
    for (std::uint32_t seed = 19; seed <= 30; ++seed)
        for (const double near_distance : {1.0, 0.2}) {
            const bool among = seed % 2 == 0;
            SCOPED_TRACE(testing::Message() << "seed " << seed << (among ? ", the eye among the shapes" : ", above")
                                            << ", near " << near_distance);
            const RandomScene random = random_scene(seed, among);
            HeadlessScene scene(w, h);
            CO3duGLModelar& m = *scene.modeller;
            for (const CO3duPrimitive& shape : random.shapes) add(m, shape);
            shine(m, random.travel, seed % 4 < 2 ? 0 : 1);
            m.SetCamera(camera_looking(m, random.eye, random.target, 50, near_distance, 500));
            scene.render();
            const std::vector<std::uint8_t> wrapped = scene.stencil();
            m.set_shadow_count_wraps(false);
            scene.render();
            const std::vector<std::uint8_t> batched = scene.stencil();
            int shadowed = 0, different = 0;
            for (std::size_t i = 0; i < wrapped.size(); ++i) {
                shadowed += batched[i] != 0;
                different += wrapped[i] != batched[i];
            }
            EXPECT_GT(shadowed, 100);
            EXPECT_LE(different, 1);
        }
}

// A frame counted in groups darkens the pixels that counting shape by shape, saturating, darkens, and both where
// the ray cast finds shadow: seeded scenes counted in groups of depth 2 (the deeper shapes, balls mostly, alone),
// and under a seeded stack of 260 plates, a frame deep enough to count in groups of itself.
TEST(Shadows, CountsInGroupsDarkenAsShapeByShape) {
    constexpr int w = 160, h = 120;
    const _OfuMaterial green = make_material({0, 1, 0, 1}, {0, 1, 0, 1});
    for (std::uint32_t seed = 19; seed <= 26; ++seed)
        for (const bool stack : {false, true}) {
            const bool among = seed % 2 == 0;
            SCOPED_TRACE(testing::Message() << "seed " << seed << (among ? ", the eye among the shapes" : ", above")
                                            << (stack ? ", under 260 plates" : ""));
            RandomScene random = random_scene(seed, among);
            std::mt19937 place(seed);
            const auto between = [&](double a, double b) {
                return std::uniform_real_distribution<double>(a, b)(place);
            };
            for (int i = 0; stack && i < 260; ++i) {
                const OfuVector3 lo(between(-30, -20), between(-30, -20), 30 + i * 0.1);
                random.shapes.push_back(make_box(lo, {between(20, 30), between(20, 30), lo.z + 0.05}, green));
            }
            HeadlessScene scene(w, h);
            CO3duGLModelar& m = *scene.modeller;
            ShadowScene shapes;
            for (const CO3duPrimitive& shape : random.shapes) shapes.add(m, shape);
            shine(m, random.travel, seed % 4 < 2 ? 0 : 1);
            m.SetShadowColor({1, 0, 0, 0.5f});
            const _O3duCamera c = camera_looking(m, random.eye, random.target, 50, 1, 500);
            m.SetCamera(c);
            const PixelRays rays(c, w, h);
            set_shadow_group_depth_for_testing(stack ? 0 : 2);
            const Frame grouped = scene.render();
            set_shadow_group_depth_for_testing(0);
            EXPECT_GE(m.shadow_count_passes_last_frame(), 2u);
            EXPECT_LE(m.shadow_count_passes_last_frame(), stack ? 12u : random.shapes.size());
            m.set_shadow_count_wraps(false);
            const Frame single = scene.render();
            int apart = 0;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const Rgb a = grouped.at(x, y), b = single.at(x, y);
                    apart += a.r != b.r || a.g != b.g || a.b != b.b;
                }
            EXPECT_LE(apart, 2);
            const Score score = shapes.compare(grouped, rays, random.travel);
            EXPECT_GE(score.agree, 0.99 * score.judged) << score.agree << " of " << score.judged;
            EXPECT_GE(score.agree + 2, shapes.compare(single, rays, random.travel).agree);
        }
}

// The quad that darkens the counted pixels, by day and at night, and a shape drawn in window coordinates at depth 0
// stand within the depth range whatever the near and far distances: near from 0.01 to 400 and far up to 250,000 at
// random, and as the view sets them from the eye's distance d to a scene of radius r (near = d - r clamped to
// 20..400, far = 6 r + d, r at least 25,000).
TEST(Shadows, DarkeningAndScreenShapesShowWhateverTheDepthRange) {
    struct Range {
        double eye, near_distance, far_distance;  // the eye's distance to the scene, whose size follows it
    };
    std::vector<Range> ranges;
    std::mt19937 random(20261209);
    const auto between = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(random); };
    for (int i = 0; i < 60; ++i) {
        const double near_distance = std::pow(10.0, between(-2, std::log10(400.0)));
        const double eye = near_distance * std::pow(10.0, between(std::log10(3.0), 2));
        ranges.push_back({eye, near_distance, std::min(250000.0, eye * std::pow(10.0, between(std::log10(2.0), 3)))});
    }
    for (int i = 0; i < 40; ++i) {
        const double eye = 100 * std::pow(1000.0, i / 39.0), r = std::max(25000.0, 1.2 * 0.6 * eye);
        ranges.push_back({eye, std::clamp(eye - r, 20.0, 400.0), 6 * r + eye});
    }
    const _OfuMaterial green = make_material({0, 1, 0, 1}, {0, 1, 0, 1});
    HeadlessScene scene(48, 36);
    CO3duGLModelar& m = *scene.modeller;
    shine(m, kTravel, 0);
    m.SetShadowColor({1, 0, 0, 0.5f});
    for (const Range& range : ranges) {
        SCOPED_TRACE(testing::Message() << "eye " << range.eye << ", near " << range.near_distance << ", far "
                                        << range.far_distance);
        m.RemoveShapeAll();
        const double s = 0.4 * range.eye;
        add(m, make_box({-s, -s, -s * 0.02}, {s, s, 0}, green));
        add(m, make_box({-s * 0.2, -s * 0.2, s * 0.1}, {s * 0.2, s * 0.2, s * 0.3}, green));
        // A panel 8 pixels square at the window's top left corner, its face towards the eye at depth 0.
        CO3duPrimitive panel = make_box({1, 1, 0}, {9, 9, 3}, make_material({1, 1, 1, 1}, {1, 1, 1, 1}));
        panel.kind = 1;
        add(m, panel);
        const OfuVector3 eye(0.3 * range.eye / 1.2, -range.eye / 1.2, 0.6 * range.eye / 1.2);
        m.SetCamera(camera_looking(m, eye, {0, 0, 0}, 40, range.near_distance, range.far_distance));
        for (const bool night : {false, true}) {
            m.set_night(night);
            const Frame f = scene.render();
            const std::vector<std::uint8_t> stencil = scene.stencil();
            int counted = 0, darkened = 0;
            for (int y = 0; y < f.height; ++y)
                for (int x = 0; x < f.width; ++x) {
                    if (!stencil[std::size_t(y) * f.width + x]) continue;
                    ++counted;
                    darkened += f.at(x, y).r > 100;
                }
            EXPECT_GT(counted, night ? 400 : 20) << (night ? "at night" : "by day");
            EXPECT_EQ(darkened, counted) << (night ? "at night" : "by day");
            if (!night) {
                EXPECT_GT(f.at(4, f.height - 5).g, 200) << "the panel";
            }
        }
    }
}

TEST(Shadows, VolumesAreRebuiltOnlyWhenSomethingChanged) {
    auto dc = kz::platform::DeviceContext::create_window(32, 32);
    CountingModelar m;
    HDC hdc = dc.get();
    ASSERT_EQ(m.Initialize(hdc), 1);
    CO3duPrimitive box = make_box(kBoxLo, kBoxHi, make_material({0, 1, 0, 1}, {0, 1, 0, 1}));
    _OfuPosition* pos = m.AddPrimitive(box);
    OfuLight light = make_light(OFU_LIGHT_DIRECTIONAL, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, kTravel);
    light.on = 1;
    m.SetShadowLight(light);
    const auto frame_starts = [&] {
        m.starts = 0;
        m.DrawModel(hdc);
        return m.starts;
    };
    EXPECT_EQ(frame_starts(), 2);  // drawn, and volumes built
    EXPECT_EQ(frame_starts(), 1);
    m.SetShadowLight(light);  // the same light again
    EXPECT_EQ(m.scene()->shadow_rebuild, 0);
    EXPECT_EQ(frame_starts(), 1);
    OfuMatrix4x4 moved = identity_matrix();
    moved[3][0] = 5;
    m.SetMatrix(pos, moved);
    EXPECT_EQ(frame_starts(), 2);
    light.direction = OfuVector3(0, 0, -1);
    m.SetShadowLight(light);
    EXPECT_EQ(frame_starts(), 2);
    EXPECT_EQ(m.GetShadowRebuild(pos), 0);
    light.on = 0;  // off: the volumes go
    m.SetShadowLight(light);
    EXPECT_EQ(m.GetShadowRebuild(pos), 1);
    EXPECT_EQ(frame_starts(), 1);
    light.on = 1;  // on again with the same sun: built anew
    m.SetShadowLight(light);
    EXPECT_EQ(frame_starts(), 2);
    EXPECT_EQ(frame_starts(), 1);
    // The same draw mode again, a change of what casting leaves alone, or a part recoloured and still opaque.
    m.SetDrawMode(pos, O3DU_DRAW_PICKABLE);
    EXPECT_EQ(frame_starts(), 1);
    m.SetDrawMode(pos, O3DU_DRAW_PICKABLE | O3DU_DRAW_NO_SECTION_CAP);
    EXPECT_EQ(frame_starts(), 1);
    box.sets[0].material.diffuse.r = 0.5f;
    m.ChangePrimitive(pos, box, O3DU_PRIM_MATERIAL);
    EXPECT_EQ(frame_starts(), 1);
    m.SetDrawMode(pos, O3DU_DRAW_HIDDEN);  // not drawn, its volumes freed
    EXPECT_EQ(frame_starts(), 2);
    EXPECT_EQ(frame_starts(), 1);
}

// A change of what the second shape added draws, made in the modeller and in the cast alike, and how many shapes'
// volumes the next frame builds for it.
struct DrawnStep {
    const char* name;
    std::function<void(CO3duGLModelar&, ShadowScene&, _OfuPosition*)> change;
    int rebuilt = 1;
};

// The draw mode set, the shape seen and casting in the cast as it says.
DrawnStep draw_mode(const char* name, long mode, int rebuilt = 1) {
    return {name,
            [=](CO3duGLModelar& m, ShadowScene& cast, _OfuPosition* pos) {
                m.SetDrawMode(pos, mode);
                cast.set_drawn(1, !(mode & O3DU_DRAW_HIDDEN), !(mode & (O3DU_DRAW_HIDDEN | O3DU_DRAW_NO_SHADOW)));
            },
            rebuilt};
}

// The shape edited and changed by the flags, casting or not in the cast; `set` edits every set.
DrawnStep edited(const char* name, long flags, bool casts, std::function<void(CO3duPrimitive&)> edit,
                 std::function<void(CO3duTrianglePolys&)> set = {}, int rebuilt = 1) {
    return {name,
            [=](CO3duGLModelar& m, ShadowScene& cast, _OfuPosition* pos) {
                CO3duPrimitive p;
                m.GetPrimitive(pos, p, O3DU_PRIM_ALL);
                edit(p);
                for (int i = 0; set && i < p.sets.GetSize(); ++i) set(p.sets[i]);
                m.ChangePrimitive(pos, p, flags);
                cast.set_drawn(1, true, casts);
            },
            rebuilt};
}

// Hiding, showing, casting no shadow, a translucent material, a 32-bit texture or lines instead of faces: each
// change shows in the shadows of the next frame, held to the cast, and rebuilds only the volumes of the shape it
// touched. Where a shape shown again brings the count past what one wrapping count holds, the frame knows it.
TEST(Shadows, FollowWhatIsDrawnByTheNextFrame) {
    // Two stacks of 130 plates over the floor, as two shapes: under both the counts reach 250 to 260 (the second's
    // last ten set back 2 mm each), under the first's wider end 130. And a post, which moves.
    std::vector<Block> stacks = {kFloor};
    for (int i = 0; i < 260; ++i)
        stacks.push_back({{i < 250 ? -30.0 : -30.0 + (i - 249) * 2, -25, 40 + i * 0.1},
                          {30, i < 130 ? 35.0 : 25.0, 40.05 + i * 0.1},
                          i != 0 && i != 130});
    stacks.push_back({{-22, -30, 0}, {-19, -27, 8}});
    const ShadowCase host{.name = "two stacks and a post",
                          .blocks = stacks,
                          .eye = {-10, -50, 25},
                          .target = {-10, 0, 0},
                          .fov = 50,
                          .travel = {0.1, 0, -1}};
    // Two blocks outside the view, their shadows inside.
    const ShadowCase outside{.name = "casters outside the view",
                             .blocks = {kFloor, {{-62, -6, 20}, {-50, 6, 32}}, {{-62, 12, 20}, {-50, 22, 32}}},
                             .eye = {0, -30, 100},
                             .target = {0, 0, 0},
                             .fov = 40,
                             .travel = {1, 0, -1}};
    const auto nothing = [](CO3duPrimitive&) {};
    const DrawnStep moved{"the post moved", [](CO3duGLModelar& m, ShadowScene& cast, _OfuPosition*) {
                              OfuMatrix4x4 moved = identity_matrix();
                              moved[3][1] = -6;
                              cast.set_matrix(m, 3, moved);
                          }};
    const std::pair<const ShadowCase*, std::vector<DrawnStep>> cases[] = {
        {&host,
         {draw_mode("a stack hidden", O3DU_DRAW_PICKABLE | O3DU_DRAW_HIDDEN), moved,
          draw_mode("the stack shown again", O3DU_DRAW_PICKABLE)}},
        {&outside,
         {draw_mode("casting no shadow", O3DU_DRAW_PICKABLE | O3DU_DRAW_NO_SHADOW),
          draw_mode("the same mode again", O3DU_DRAW_PICKABLE | O3DU_DRAW_NO_SHADOW, 0),
          draw_mode("casting again", O3DU_DRAW_PICKABLE)}},
        {&outside,
         {edited(
              "recoloured", O3DU_PRIM_MATERIAL, true, nothing,
              [](CO3duTrianglePolys& set) { set.material.diffuse.b = 1; }, 0),
          edited("translucent", O3DU_PRIM_MATERIAL, false, nothing,
                 [](CO3duTrianglePolys& set) { set.material.diffuse.a = 0.5f; }),
          edited("opaque again", O3DU_PRIM_MATERIAL, true, nothing,
                 [](CO3duTrianglePolys& set) { set.material.diffuse.a = 1; })}},
        {&outside,
         {edited("a 32-bit texture", O3DU_PRIM_TEXTURE, false, nothing,
                 [](CO3duTrianglePolys& set) { set.texture_number = 1; }),
          edited("no texture", O3DU_PRIM_TEXTURE, true, nothing,
                 [](CO3duTrianglePolys& set) { set.texture_number = 0; })}},
        {&outside,
         {edited("drawn as lines", O3DU_PRIM_POLYGON_MODE, false, [](CO3duPrimitive& p) { p.polygon_mode = 1; }),
          edited("filled again", O3DU_PRIM_POLYGON_MODE, true, [](CO3duPrimitive& p) { p.polygon_mode = 0; })}},
    };
    for (const auto& [at, steps] : cases) {
        SCOPED_TRACE(steps.front().name);
        HeadlessScene scene(kW, kH);
        scene.replace_modeller(std::make_unique<CountingModelar>());
        auto& m = static_cast<CountingModelar&>(*scene.modeller);
        _OfuBitmap image = blank_image(4, 4, 32);
        ASSERT_EQ(m.AddTexture(image), 1u);
        ShadowScene cast;
        std::vector<_OfuPosition*> shapes;
        const _OfuMaterial white = make_material({1, 1, 1, 1}, {1, 1, 1, 1}),
                           green = make_material({0, 1, 0, 1}, {0, 1, 0, 1});
        for (std::size_t i = 0; i < at->blocks.size(); ++i)
            shapes.push_back(cast.add_blocks(m, at->blocks, i, i ? green : white));
        shine(m, at->travel, 0);
        m.SetShadowColor({1, 0, 0, 0.5f});
        const _O3duCamera c = camera_looking(m, at->eye, at->target, at->fov, 1, 500);
        m.SetCamera(c);
        const auto held_to_the_cast = [&](const Frame& f) {
            const Score score = cast.compare(f, PixelRays(c, kW, kH), at->travel);
            EXPECT_GT(score.judged, kW * kH / 4);
            EXPECT_GT(score.shadowed, 100);
            EXPECT_GE(score.agree, 0.99 * score.judged) << score.agree << " of " << score.judged;
        };
        held_to_the_cast(scene.render());
        for (const DrawnStep& step : steps) {
            SCOPED_TRACE(step.name);
            step.change(m, cast, shapes[1]);
            EXPECT_EQ(m.rebuilds_of_next_frame(scene, held_to_the_cast), step.rebuilt) << "shapes built anew";
        }
    }
}

// Shadows switched off, or night falling, give back what every shape's volumes held: no shape keeps any of them.
// And once volumes of tens of megabytes in many small blocks have gone, the process holds no more than before they
// came on but for half their size, far above what the driver's memory moves by between frames (a few megabytes) and
// what the sanitizer keeps resident of the blocks it handed out (their shadow, an eighth). The memory is the
// resident size in every build, read before shadows come on with the heap's free pages given back; a first round
// leaves the frames' and the allocator's own lasting state. The row runs in a process of its own, as the viewer does:
// what earlier tests of the same process left in the heap and the driver is not the volumes'.
TEST(Shadows, GiveTheirMemoryBack) {
    if (!std::getenv("KZ_SHADOW_MEMORY_ROW")) {
        kz::test::ScopedEnvironment environment;
        environment.set("KZ_SHADOW_MEMORY_ROW", "1");
        environment.set("KZ_TEST_OUTPUT", kz::test::output_dir() + "/shadow-memory-row");
        const std::string log = kz::test::output_dir() + "/shadow-memory-row.log";
        const std::string run = kz::test::self_path() + " --gtest_filter=Shadows.GiveTheirMemoryBack >" + log + " 2>&1";
        EXPECT_EQ(std::system(run.c_str()), 0) << kz::test::read_all(log).substr(0, 4000);
        return;
    }
    HeadlessScene scene(64, 48);
    CO3duGLModelar& m = *scene.modeller;
    const _OfuMaterial green = make_material({0, 1, 0, 1}, {0, 1, 0, 1});
    add(m, make_box({-60, -60, -1}, {60, 60, 0}, green));
    look(m, {20, -110, 80}, {0, 0, 5}, 22);
    OfuLight light = shine(m, {0.4, 0.25, -1}, 1);
    // Balls in sight, and finer ones far behind the eye, whose walls no frame draws.
    CO3duPrimitive ball = banded_ball(6, 40, green);
    for (int i = 0; i < 4; ++i) {
        ball.model_matrix[3][0] = i * 15 - 20;
        add(m, ball);
    }
    CO3duPrimitive fine = banded_ball(6, 20, green);
    for (int i = 0; i < 1000; ++i) {
        fine.model_matrix[3][0] = (i % 40) * 15 - 300;
        fine.model_matrix[3][1] = -400 - (i / 40) * 15;
        add(m, fine);
    }
    kz::platform::set_memory_by_resident_size_for_testing(true);
    for (const int round : {0, 1, 2}) {
        const bool night = round == 1;
        SCOPED_TRACE(night ? "night" : "shadows off");
        light.on = 0;
        m.SetShadowLight(light);
        m.set_night(false);
        scene.render();
        kz::platform::release_free_heap();
        const std::uint64_t before = kz::platform::memory_in_use();
        light.on = 1;
        m.SetShadowLight(light);
        scene.render();
        const std::size_t held = m.shadow_volume_bytes();
        EXPECT_GT(held, 32u << 20);
        light.on = 0;
        if (night)
            m.set_night(true);
        else
            m.SetShadowLight(light);
        scene.render();
        EXPECT_EQ(m.shadow_volume_bytes(), 0u);
        const std::uint64_t after = kz::platform::memory_in_use();
        if (round > 0) {
            EXPECT_LT(after, before + held / 2) << "of " << before << ", the volumes held " << held;
        }
    }
    kz::platform::set_memory_by_resident_size_for_testing(false);
}

}  // namespace
}  // namespace kz::test
