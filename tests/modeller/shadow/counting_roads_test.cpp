// The roads a frame's shadow count may take, each held to the ray cast on the same scenes: every shape at once with
// wrap-around, in groups of seven bits, shape by shape where the stencil saturates, and a shape deeper than a group
// counted alone over eight bits (with wrap-around within 250, saturating beyond) between groups that shadowed before
// it; the passes each road reports, and none for a frame without shadows. A shape alone takes the counts a little
// below zero as no shadow, as the count shape by shape does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "modeller/shadow/shadows.h"
#include "modeller/shadow/wall_draws.h"
#include "platform/gl_context.h"
#include "tests/modeller/render_support.h"
#include "tests/modeller/shadow/scenes.h"

namespace kz::test {
namespace {

enum class Road { at_once, in_groups, shape_by_shape };

const char* name_of(Road road) {
    return road == Road::at_once ? "at once" : road == Road::in_groups ? "in groups" : "shape by shape";
}

// A scene of shapes, its sun and an eye, as the cast and the modeller take it; a shape whose bound lies past a
// group's, with the least and the most that bound may be.
struct RoadScene {
    std::string name;
    std::vector<Road> roads;
    std::vector<CO3duPrimitive> shapes;
    OfuVector3 eye, target, travel;
    double fov = 50;
    int width = 160, height = 120;
    int accuracy = 0;
    std::size_t deep_shape = 0;  // 0 for none
    std::uint32_t least_bound = 0, most_bound = 0;
};

// Each block a box, those joined to the block before it in its shape; the first white, the others green.
std::vector<CO3duPrimitive> boxes_of(const std::vector<Block>& blocks) {
    const _OfuMaterial white = make_material({1, 1, 1, 1}, {1, 1, 1, 1}),
                       green = make_material({0, 1, 0, 1}, {0, 1, 0, 1});
    std::vector<CO3duPrimitive> shapes;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const CO3duPrimitive box = make_box(blocks[i].lo, blocks[i].hi, i ? green : white);
        if (!blocks[i].joined) {
            shapes.push_back(box);
            continue;
        }
        for (int j = 0; j < box.sets.GetSize(); ++j) shapes.back().sets.Add(box.sets[j]);
    }
    return shapes;
}

// Shape 1 (the second added) holds `slats` thin slats 45 m up in a row along x across the view, 0.5 m wide and 1 m
// apart, whose prisms an eye at 20 m looking along the row sees through one after another, and a roof 47 m up over
// a wall 300 m from the eye, whose face it shadows; and, out of sight, `stacked` plates one above the other, each
// set in from the one below in the light's view so that the stack's prisms nest, whose depth is the shape's bound.
// Then 110 plates 70 m up, each a shape, one group, which shadow another part of the wall before the shape counts,
// and the wall. The frame's bound passes 250: its groups count first the plates, then the shape alone, then the
// wall and the floor.
RoadScene slats_before_a_wall(int slats, int stacked) {
    const OfuVector3 travel(0.1, 0.4, -1);
    RoadScene scene{.name = std::to_string(slats) + " slats before a wall and " + std::to_string(stacked) +
                            " plates stacked, one shape",
                    .roads = {Road::in_groups},
                    .shapes = {},
                    .eye = {-200, 15, 20},
                    .target = {170, 15, 20},
                    .travel = travel,
                    .fov = 20,
                    .width = 96,
                    .height = 72,
                    .deep_shape = 1,
                    .least_bound = std::uint32_t(stacked),
                    .most_bound = std::uint32_t(stacked)};
    std::vector<Block> b;
    b.push_back({{-400, -300, -1}, {400, 300, 0}});
    for (int i = 0; i < slats; ++i) b.push_back({{i - 130.0, -150, 45}, {i - 129.5, 150, 45.05}, i > 0});
    b.push_back({{160, -40, 47}, {175, 40, 47.5}, true});
    // A plate lit from above at height z covers, in the light's view, its outline moved by (0.1, 0.4) z.
    for (int i = 0; i < stacked; ++i) {
        const double z = 20 + 0.1 * i, in = 0.02 * i;
        b.push_back(
            {{200 + in - 0.1 * z, -100 + in - 0.4 * z, z}, {230 - in - 0.1 * z, -80 - in - 0.4 * z, z + 0.05}, true});
    }
    for (int i = 0; i < 110; ++i) {
        const double z = 70 + 0.1 * i;
        b.push_back({{158, 42, z}, {172, 60, z + 0.05}});
    }
    b.push_back({{170, -40, 0}, {171, 75, 40}});
    scene.shapes = boxes_of(b);
    return scene;
}

// `stacked` plates one above the other as one shape, each set 1 cm further along the sun than the one below, so that
// the floor below counts `stacked` over most of their shadow; above them 130 plates, each a shape, over part of it
// and beyond, which shadow the floor before the shape counts; and the same stack again behind the eye, alone in a
// pass that draws nothing, after which the shadow of the plates holds all the same. The frame's bound passes 250.
RoadScene plates_under_plates(int stacked) {
    RoadScene scene{.name = std::to_string(stacked) + " plates stacked as one shape under 130 plates",
                    .roads = {Road::in_groups},
                    .shapes = {},
                    .eye = {-10, -50, 25},
                    .target = {-10, 0, 0},
                    .travel = {0.1, 0, -1},
                    .deep_shape = 1,
                    .least_bound = std::uint32_t(stacked),
                    .most_bound = std::uint32_t(stacked)};
    std::vector<Block> b = {{{-40, -40, -1}, {40, 40, 0}}};
    for (int i = 0; i < stacked; ++i) b.push_back({{-20, -25, 20 + 0.1 * i}, {20, 25, 20.05 + 0.1 * i}, i > 0});
    for (int i = 0; i < 130; ++i) b.push_back({{-36, -20, 40 + 0.1 * i}, {-8, 20, 40.05 + 0.1 * i}});
    for (int i = 0; i < stacked; ++i) b.push_back({{-20, -325, 20 + 0.1 * i}, {20, -275, 20.05 + 0.1 * i}, i > 0});
    scene.shapes = boxes_of(b);
    return scene;
}

// `stacked` plates as one shape 30 m up behind an eye 3 m above the floor, whose shadow a sun low ahead of it casts
// over the eye onto the top of a wall 10 m ahead, its volume reaching from behind the eye and passing above it, its
// walls' far ends on the floor below the eye's line; and 130 plates 60 m up further behind, each a shape, nearer the
// sun, whose shadow falls on part of the stack's and is counted before it. The frame's bound passes 250.
RoadScene stack_behind_the_eye(int stacked) {
    RoadScene scene{.name = std::to_string(stacked) + " plates stacked as one shape behind the eye",
                    .roads = {Road::in_groups},
                    .shapes = {},
                    .eye = {0, 0, 3},
                    .target = {0, 40, 0},
                    .travel = {0, 1, -0.6},
                    .deep_shape = 1,
                    .least_bound = std::uint32_t(stacked),
                    .most_bound = std::uint32_t(stacked)};
    std::vector<Block> b = {{{-100, -100, -1}, {100, 100, 0}}};
    for (int i = 0; i < stacked; ++i) b.push_back({{-10, -35, 30 + 0.1 * i}, {10, -5, 30.05 + 0.1 * i}, i > 0});
    for (int i = 0; i < 130; ++i) b.push_back({{-5, -70, 60 + 0.01 * i}, {15, -50, 60.005 + 0.01 * i}});
    b.push_back({{-30, 10, 0}, {30, 11, 12}});
    scene.shapes = boxes_of(b);
    return scene;
}

// The plates under plates above, with two plates 10 m up below the stack, further from the sun, each a shape, whose
// shadow on the floor, counted in a group after the stack, counts 2 within the stack's.
RoadScene plates_under_plates_over_two(int stacked) {
    RoadScene scene = plates_under_plates(stacked);
    scene.name += " over two plates";
    for (const double z : {10.0, 10.5}) scene.shapes.push_back(boxes_of({{{-15, -10, z}, {-5, 10, z + 0.05}}})[0]);
    return scene;
}

struct Drawn {
    Score score;
    std::uint64_t passes = 0;
    std::uint32_t deep_bound = 0;
};

// The scene's shapes into the modeller and the cast, its sun and its camera, counted on the road; the frame.
Frame render_on(HeadlessScene& scene, const RoadScene& k, Road road, ShadowScene& shapes, _O3duCamera& c,
                OfuLight& light) {
    CO3duGLModelar& m = *scene.modeller;
    for (const CO3duPrimitive& shape : k.shapes) shapes.add(m, shape);
    light = make_light(OFU_LIGHT_DIRECTIONAL, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, k.travel);
    light.on = 1;
    m.SetShadowLight(light);
    m.SetShadowAccuracy(k.accuracy);
    m.SetShadowColor({1, 0, 0, 0.5f});
    c = camera_looking(m, k.eye, k.target, k.fov, 1, 2000);
    m.SetCamera(c);
    m.set_shadow_count_wraps(road != Road::shape_by_shape);
    // Groups of two at the most: the deeper shapes, the balls mostly, count alone.
    set_shadow_group_depth_for_testing(road == Road::in_groups && !k.deep_shape ? 2 : 0);
    const Frame f = scene.render();
    set_shadow_group_depth_for_testing(0);
    return f;
}

Drawn draw(const RoadScene& k, Road road) {
    HeadlessScene scene(k.width, k.height);
    CO3duGLModelar& m = *scene.modeller;
    ShadowScene shapes;
    _O3duCamera c;
    OfuLight light;
    const Frame f = render_on(scene, k, road, shapes, c, light);
    Drawn d{shapes.compare(f, PixelRays(c, k.width, k.height), k.travel), m.shadow_count_passes_last_frame()};
    const _OfuPosition* deep = m.structure().head();
    for (std::size_t i = 0; i < k.deep_shape; ++i) deep = deep->next;
    d.deep_bound = (k.accuracy == 1 ? deep->entity->outline_volumes() : deep->entity->prism_volumes()).depth;
    if (d.score.agree < 0.99 * d.score.judged) f.save("roads_" + k.name + "_" + name_of(road));
    // A frame without shadows counts in no pass, whatever the frame before it counted in.
    light.on = 0;
    m.SetShadowLight(light);
    scene.render();
    EXPECT_EQ(m.shadow_count_passes_last_frame(), 0u) << "shadows off";
    light.on = 1;
    m.SetShadowLight(light);
    m.set_night(true);
    scene.render();
    EXPECT_EQ(m.shadow_count_passes_last_frame(), 0u) << "at night";
    return d;
}

// Every road darkens where the cast finds shadow, on seeded scenes of boxes and balls and on shapes deeper than a
// group: one whose bound lies between 123 and 250, counted with wrap-around, where a saturating count of its walls
// would stop at 255 on the way through its slats' prisms and lose the shadow behind them; and one deeper, which
// saturates. Both count after a group that shadowed part of the wall, whose pixels keep their shadow. A frame that
// wraps counts in one pass; one in groups in a pass a group or shape alone.
TEST(ShadowRoads, EveryRoadDarkensWhereTheCastFindsShadow) {
    std::vector<RoadScene> scenes;
    for (std::uint32_t seed = 19; seed <= 22; ++seed) {
        const RandomScene random = random_scene(seed, seed % 2 == 0);
        scenes.push_back({.name = "seed " + std::to_string(seed),
                          .roads = {Road::at_once, Road::in_groups, Road::shape_by_shape},
                          .shapes = random.shapes,
                          .eye = random.eye,
                          .target = random.target,
                          .travel = random.travel,
                          .accuracy = int(seed / 2 % 2)});
    }
    scenes.push_back(plates_under_plates(126));
    scenes.push_back(plates_under_plates_over_two(126));
    scenes.push_back(stack_behind_the_eye(130));
    scenes.push_back(slats_before_a_wall(260, 150));
    // Where the count saturates, a ray through more than 255 of one shape's prisms loses its count; 200 do not.
    scenes.push_back(slats_before_a_wall(200, 260));
    scenes.back().roads.push_back(Road::shape_by_shape);
    for (const RoadScene& k : scenes) {
        for (const Road road : k.roads) {
            SCOPED_TRACE(k.name + ", " + name_of(road));
            const Drawn d = draw(k, road);
            EXPECT_GT(d.score.judged, k.width * k.height / 4);
            EXPECT_GT(d.score.shadowed, 100);
            EXPECT_GE(d.score.agree, 0.99 * d.score.judged) << d.score.agree << " of " << d.score.judged;
            if (k.deep_shape) {
                EXPECT_GE(d.deep_bound, k.least_bound);
                EXPECT_LE(d.deep_bound, k.most_bound);
            }
            if (road == Road::at_once) {
                EXPECT_EQ(d.passes, 1u);
            } else if (road == Road::in_groups) {
                EXPECT_GE(d.passes, 2u);
            }
        }
    }
}

// A host's viewport anywhere in the window: on every road (a shape alone among them, after groups that shadowed),
// the frame in a viewport off the window's corner darkens where the cast finds shadow as the frame at the corner
// does, and the window around it keeps the background. (Pixel for pixel the two differ a little where the floor
// meets walls far off: the rasterizer interpolates depths from window coordinates, which round otherwise.)
TEST(ShadowRoads, AViewportOffTheWindowsCornerDarkensAsAtTheCorner) {
    const RandomScene random = random_scene(19, false);
    const RoadScene scenes[] = {{.name = "seed 19",
                                 .roads = {Road::at_once, Road::in_groups, Road::shape_by_shape},
                                 .shapes = random.shapes,
                                 .eye = random.eye,
                                 .target = random.target,
                                 .travel = random.travel},
                                plates_under_plates(126)};
    for (const RoadScene& k : scenes)
        for (const Road road : k.roads)
            for (const auto& [x, y] : {std::pair{0, 0}, {k.width / 2, 0}, {0, k.height / 2}, {k.width / 2 + 3, 29}}) {
                SCOPED_TRACE(k.name + ", " + name_of(road) + ", the viewport at " + std::to_string(x) + ", " +
                             std::to_string(y));
                HeadlessScene window(k.width * 3 / 2 + 8, k.height * 3 / 2 + 8);
                _O3duViewport view{x, y, k.width, k.height};
                window.modeller->SetViewport(view);
                ShadowScene cast;
                _O3duCamera c;
                OfuLight light;
                const Frame f = render_on(window, k, road, cast, c, light);
                Frame inside(k.width, k.height);
                int outside = 0;
                const Rgb background = f.at(f.width - 1, f.height - 1);
                for (int wy = 0; wy < f.height; ++wy)
                    for (int wx = 0; wx < f.width; ++wx) {
                        const Rgb a = f.at(wx, wy);
                        if (wx >= x && wx < x + k.width && wy >= y && wy < y + k.height)
                            std::copy_n(&f.bytes[std::size_t(wy) * f.stride() + std::size_t(wx) * 3], 3,
                                        &inside.bytes[std::size_t(wy - y) * inside.stride() + std::size_t(wx - x) * 3]);
                        else
                            outside += a.r != background.r || a.g != background.g || a.b != background.b;
                    }
                const Score score = cast.compare(inside, PixelRays(c, k.width, k.height), k.travel);
                EXPECT_GT(score.judged, k.width * k.height / 4);
                EXPECT_GT(score.shadowed, 100);
                EXPECT_GE(score.agree, 0.99 * score.judged) << score.agree << " of " << score.judged;
                EXPECT_EQ(outside, 0);
            }
}

// Without near caps a count starts on the near plane, so a ray from an eye inside one prism ends one below zero
// once it has left it: a shape counted alone with wrap-around reads that as no shadow, as a saturating count
// leaves it. One shape of 125 plates stacked (deeper than a group) and a roof over the eye, whose prism holds the
// eye, over a floor: counted in groups, the frame is the one counted shape by shape, pixel for pixel.
TEST(ShadowRoads, AShapeAloneTakesCountsBelowZeroAsNoShadow) {
    std::vector<Block> b = {{{-60, -60, -1}, {60, 60, 0}}, {{-8, -8, 10}, {8, 8, 10.2}}};
    for (int i = 0; i < 125; ++i) b.push_back({{-10, 25, 20 + 0.1 * i}, {10, 45, 20.05 + 0.1 * i}, true});
    HeadlessScene scene(96, 72);
    CO3duGLModelar& m = *scene.modeller;
    for (CO3duPrimitive& shape : boxes_of(b)) m.AddPrimitive(shape);
    OfuLight light = make_light(OFU_LIGHT_DIRECTIONAL, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, {0.1, 0, -1});
    light.on = 1;
    m.SetShadowLight(light);
    m.SetShadowAccuracy(0);
    m.SetShadowColor({1, 0, 0, 0.5f});
    m.SetCamera(camera_looking(m, {0, -2, 4}, {0, 30, 0}, 70, 1, 500));
    set_shadow_near_caps_for_testing(false);
    set_shadow_group_depth_for_testing(255);
    const Frame grouped = scene.render();
    const std::uint64_t passes = m.shadow_count_passes_last_frame();
    set_shadow_group_depth_for_testing(0);
    m.set_shadow_count_wraps(false);
    const Frame saturated = scene.render();
    set_shadow_near_caps_for_testing(true);
    EXPECT_GE(passes, 2u);
    int shadowed = 0, apart = 0;
    for (int y = 0; y < grouped.height; ++y)
        for (int x = 0; x < grouped.width; ++x) {
            const Rgb a = grouped.at(x, y), c = saturated.at(x, y);
            shadowed += c.r > 100 && c.g < 40;
            apart += a.r != c.r || a.g != c.g || a.b != c.b;
        }
    EXPECT_GT(shadowed, 100);
    EXPECT_EQ(apart, 0);
}

// The groups of a deep frame are kept from frame to frame only while the shapes and their volumes stay: 126 fins in
// a row along x, each a shape, counted in groups of 122 at the most. Under a high sun across the row no line along
// the light meets two fins, and they make one group; under a low sun along the row the floor beyond them lies in
// every fin's shadow, counting 126, which one group of seven bits reads as below zero, so they make two. A fin taken
// away, the groups go over the shapes left.
TEST(ShadowRoads, GroupsFollowTheSunAndTheShapes) {
    std::vector<Block> fins = {{{-60, -80, -1}, {400, 80, 0}}};
    for (int i = 0; i < 126; ++i) fins.push_back({{double(i), -10, 0}, {i + 0.2, 10, 12}});
    HeadlessScene scene(160, 120);
    CO3duGLModelar& m = *scene.modeller;
    ShadowScene cast;
    std::vector<_OfuPosition*> shapes;
    // Each shape with a texture matrix of its own keeps the block its volumes live in when they are built anew, so
    // that only the count of builds tells the groups that the volumes changed.
    for (CO3duPrimitive& shape : boxes_of(fins)) {
        shape.texture_matrix[0][0] = 2;
        shapes.push_back(cast.add(m, shape));
    }
    m.SetShadowAccuracy(0);
    m.SetShadowColor({1, 0, 0, 0.5f});
    const _O3duCamera c = camera_looking(m, {150, -90, 90}, {150, 0, 0}, 50, 1, 1000);
    m.SetCamera(c);
    set_shadow_group_depth_for_testing(255);
    const auto held_to_the_cast = [&](const OfuVector3& travel, std::uint64_t passes, int least_shadowed) {
        OfuLight light = make_light(OFU_LIGHT_DIRECTIONAL, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, travel);
        light.on = 1;
        m.SetShadowLight(light);
        const Frame f = scene.render();
        EXPECT_EQ(m.shadow_count_passes_last_frame(), passes);
        const Score score = cast.compare(f, PixelRays(c, 160, 120), travel);
        EXPECT_GE(score.shadowed, least_shadowed);
        EXPECT_GE(score.agree, 0.99 * score.judged) << score.agree << " of " << score.judged;
    };
    held_to_the_cast({0, 0.3, -1}, 1, 0);
    {
        SCOPED_TRACE("the sun low along the row");
        held_to_the_cast({1, 0, -0.06}, 2, 1000);
    }
    {
        SCOPED_TRACE("a fin taken away");
        m.RemoveShapeAt(shapes[60]);
        cast.set_drawn(60, false, false);
        held_to_the_cast({1, 0, -0.06}, 2, 1000);
    }
    // Nothing casting, the groups are none, and no pixel takes the shadow colour.
    for (_OfuPosition*& pos : shapes)
        if (pos) m.SetDrawMode(pos, O3DU_DRAW_PICKABLE | O3DU_DRAW_NO_SHADOW);
    const Frame none = scene.render();
    EXPECT_EQ(m.shadow_count_passes_last_frame(), 0u);
    int dark = 0;
    for (int y = 0; y < none.height; ++y)
        for (int x = 0; x < none.width; ++x) dark += none.at(x, y).r > 100 && none.at(x, y).g < 40;
    EXPECT_EQ(dark, 0);
    set_shadow_group_depth_for_testing(0);
}

// Groups over a grid that must be made coarser: 8,000 plates of 5 cm scattered over 500 m would ask for cells of a
// few centimetres, and four plates 500 m wide below the floor would then fill millions of cells; 50 blocks in sight
// cast the shadows seen. Seeded, counted in
// groups of 122 at the most, against the same frame counted in one wrapping pass, which is exact where the frame's
// bound stays within 250: a group's count is its shapes' sum, below zero only where the one pass's sum is too.
TEST(ShadowRoads, GroupsOfSmallShapesOverHugeOnes) {
    std::mt19937 random(74);
    const auto between = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(random); };
    std::vector<Block> blocks = {{{-260, -260, -1}, {260, 260, 0}}};
    for (int i = 0; i < 4; ++i) blocks.push_back({{-250, -250, -50.0 + i}, {250, 250, -49.95 + i}});
    for (int i = 0; i < 8000; ++i) {
        const OfuVector3 lo(between(-250, 250), between(-250, 250), between(1, 30));
        blocks.push_back({lo, {lo.x + 0.05, lo.y + 0.05, lo.z + 0.05}});
    }
    for (int i = 0; i < 50; ++i) {
        const OfuVector3 lo(between(-30, 30), between(-30, 30), between(0, 5));
        blocks.push_back({lo, {lo.x + 2, lo.y + 2, lo.z + 3}});
    }
    HeadlessScene scene(320, 240);
    CO3duGLModelar& m = *scene.modeller;
    for (CO3duPrimitive& shape : boxes_of(blocks)) m.AddPrimitive(shape);
    OfuLight light = make_light(OFU_LIGHT_DIRECTIONAL, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, {0.3, 0.2, -1});
    light.on = 1;
    m.SetShadowLight(light);
    m.SetShadowAccuracy(0);
    m.SetShadowColor({1, 0, 0, 0.5f});
    m.SetCamera(camera_looking(m, {0, -60, 40}, {0, 0, 0}, 60, 1, 2000));
    set_shadow_group_depth_for_testing(255);
    const Frame grouped = scene.render();
    const std::uint64_t passes = m.shadow_count_passes_last_frame();
    set_shadow_group_depth_for_testing(0);
    set_shadow_one_wrapping_pass_for_testing(true);
    const Frame once = scene.render();
    set_shadow_one_wrapping_pass_for_testing(false);
    EXPECT_GE(passes, 1u);
    EXPECT_EQ(m.shadow_count_passes_last_frame(), 1u);
    int shadowed = 0, apart = 0;
    for (int y = 0; y < once.height; ++y)
        for (int x = 0; x < once.width; ++x) {
            const Rgb a = grouped.at(x, y), b = once.at(x, y);
            shadowed += b.r > 100 && b.g < 40;
            apart += a.r != b.r || a.g != b.g || a.b != b.b;
        }
    EXPECT_GT(shadowed, 500);
    EXPECT_EQ(apart, 0);
}

// The walls' shares wait for the rasterizer threads only where they are still on the share two before: with every
// share finished before the next goes on, none is reported as a wait, while the frame's own shares, drawn as fast
// as they go, report waits (as CountAsTheDefaultRoadDoesOnEveryOther shows).
TEST(WallShares, AShareTheThreadsAreThroughWithTakesNoWait) {
    HeadlessScene scene(320, 240);
    CO3duGLModelar& m = *scene.modeller;
    const _OfuMaterial green = make_material({0, 1, 0, 1}, {0, 1, 0, 1});
    for (int i = 0; i < 100; ++i) {
        CO3duPrimitive box = make_box({i % 10 * 3.0, i / 10 * 3.0, 0}, {i % 10 * 3.0 + 2, i / 10 * 3.0 + 2, 4}, green);
        m.AddPrimitive(box);
    }
    OfuLight light = make_light(OFU_LIGHT_DIRECTIONAL, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, {0.6, 0.4, -0.5});
    light.on = 1;
    m.SetShadowLight(light);
    m.SetShadowAccuracy(0);
    m.SetCamera(camera_looking(m, {15, -30, 40}, {15, 15, 0}, 45, 1, 500));
    scene.render();
    ASSERT_TRUE(m.renderer().capabilities().queries.usable());
    int waits = 0;
    set_wall_wait_observer_for_testing([&](bool, GLuint) { ++waits; });
    set_wall_share_for_testing(50);
    ASSERT_TRUE(kz::platform::make_current(scene.dc.get(), m.renderer().context()));
    {
        OfuMatrix4x4 to_clip = identity_matrix();
        to_clip[2][3] = 0.01;  // every corner ahead of the eye
        O3duWallDraws draws(to_clip, 320, 240, m.renderer().capabilities().queries);
        for (const _OfuPosition* node = m.structure().head(); node; node = node->next) {
            draws.add(node->entity->prism_volumes());
            glFinish();
            draws.count(GL_INCR_WRAP, GL_DECR_WRAP);
        }
        EXPECT_GT(draws.draws(), 150u);
    }
    kz::platform::make_current(nullptr, nullptr);
    set_wall_share_for_testing(0);
    set_wall_wait_observer_for_testing({});
    EXPECT_EQ(waits, 0);
}

}  // namespace
}  // namespace kz::test
