// Outline volumes (shadow accuracy 1) of meshes whose lit triangles share a directed edge: pages hinged on one
// spine and fanned out over each other, faces that partly overlap a neighbour across their common edge, a face given
// twice; seeded, over a floor under random suns, held to the ray cast. Two lit triangles on the same side of a
// common edge both have it in the same direction, and the outline walls must count it twice. The outline walls'
// depth, which the frame's counting rests on, never reads below how many lit triangles stack over a point.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "geometry/vector_math.h"
#include "tests/modeller/render_support.h"
#include "tests/modeller/shadow/scenes.h"

namespace kz::test {
namespace {

using Triangle = std::array<OfuVector3, 3>;

// A seeded mesh 8 to 12 m up: pages on a spine (in half of them one on its other side too), or two faces over a
// common edge, one narrower and tilted so that it covers part of the other; one in three also gives one face twice.
std::vector<Triangle> folded_mesh(std::mt19937& random) {
    const auto between = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(random); };
    const double turn = between(0, 2 * M_PI), h = between(8, 12), half = between(2, 5);
    // The spine from a to b; `left` lies on its left seen from above, so (a, b, p) turns counter-clockwise for any
    // point p out along it.
    const OfuVector3 along(std::cos(turn), std::sin(turn), 0), left(-std::sin(turn), std::cos(turn), 0);
    const OfuVector3 a(-half * along.x, -half * along.y, h), b(half * along.x, half * along.y, h);
    const auto out = [&](const OfuVector3& from, double reach, double rise) {
        return OfuVector3(from.x + reach * left.x, from.y + reach * left.y, from.z + rise);
    };
    std::vector<Triangle> mesh;
    if (between(0, 1) < 0.5) {
        const OfuVector3 mid((a.x + b.x) / 2, (a.y + b.y) / 2, h);
        for (int page = 2 + int(between(0, 3)); page > 0; --page) {
            const double shift = between(-half, half);
            const OfuVector3 at(mid.x + shift * along.x, mid.y + shift * along.y, h);
            mesh.push_back({a, b, out(at, between(1.5, 5), between(-1.5, 1.5))});
        }
        // Half the books open: one page on the spine's other side, which has it the other way round.
        if (between(0, 1) < 0.5) mesh.push_back({b, a, out(mid, -between(1.5, 5), between(-1.5, 1.5))});
    } else {
        const double reach = between(3, 6), rise = between(-1, 1);
        mesh.push_back({a, b, out(b, reach, 0)});
        mesh.push_back({a, out(b, reach, 0), out(a, reach, 0)});
        const double part = between(0.3, 0.8);
        mesh.push_back({a, b, out(b, reach * part, rise)});
        mesh.push_back({a, out(b, reach * part, rise), out(a, reach * part * between(0.5, 1.5), rise)});
    }
    if (between(0, 1) < 1.0 / 3) mesh.push_back(mesh[std::size_t(between(0, double(mesh.size())))]);
    return mesh;
}

// The most lit triangles (turned to the light) that hold one point seen along the light, over the middle of each and
// points just inside its corners: never more than the deepest stack.
int stacked(const std::vector<Triangle>& mesh, OfuVector3 travel) {
    NormalizeVector3(travel);
    OfuVector3 u = cross(travel, OfuVector3(0.6, 0.3, 0.2));
    NormalizeVector3(u);
    const OfuVector3 v = cross(travel, u);
    const auto flat = [&](const OfuVector3& p) { return std::array<double, 2>{dot(p, u), dot(p, v)}; };
    const auto turn = [](const std::array<double, 2>& a, const std::array<double, 2>& b,
                         const std::array<double, 2>& c) {
        return (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]);
    };
    std::vector<std::array<std::array<double, 2>, 3>> lit;
    for (const Triangle& t : mesh)
        if (dot(cross(t[1] - t[0], t[2] - t[0]), travel) < 0) lit.push_back({flat(t[0]), flat(t[1]), flat(t[2])});
    int most = 0;
    const double weights[4][3] = {
        {1.0 / 3, 1.0 / 3, 1.0 / 3}, {0.98, 0.01, 0.01}, {0.01, 0.98, 0.01}, {0.01, 0.01, 0.98}};
    for (const auto& t : lit)
        for (const auto& w : weights) {
            const std::array<double, 2> q{w[0] * t[0][0] + w[1] * t[1][0] + w[2] * t[2][0],
                                          w[0] * t[0][1] + w[1] * t[1][1] + w[2] * t[2][1]};
            int holding = 0;
            for (const auto& o : lit) {
                const double s = turn(o[0], o[1], o[2]), a = turn(o[0], o[1], q) * s, b = turn(o[1], o[2], q) * s,
                             c = turn(o[2], o[0], q) * s;
                holding += a > 1e-9 && b > 1e-9 && c > 1e-9;
            }
            most = std::max(most, holding);
        }
    return most;
}

TEST(Shadows, OutlineWallsOfFoldedAndOverlappingFacesMatchARayCast) {
    constexpr int w = 160, h = 120;
    const _OfuMaterial white = make_material({1, 1, 1, 1}, {1, 1, 1, 1}),
                       green = make_material({0, 1, 0, 1}, {0, 1, 0, 1});
    std::mt19937 random(20261212);
    const auto between = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(random); };
    for (int seed = 0; seed <= 24; ++seed) {
        // The first: two triangles over one edge, the second covering half of the first.
        const Triangle first{OfuVector3(-4, 0, 10), OfuVector3(4, 0, 10), OfuVector3(0, 6, 10)},
            second{OfuVector3(-4, 0, 10), OfuVector3(4, 0, 10), OfuVector3(0, 3, 11)};
        const std::vector<Triangle> mesh = seed == 0 ? std::vector<Triangle>{first, second} : folded_mesh(random);
        const OfuVector3 travel(between(-0.4, 0.4), between(-0.4, 0.4), -1);
        SCOPED_TRACE(testing::Message() << "mesh " << seed << " of " << mesh.size() << " triangles");
        CO3duShadowVolumes outlines, prisms;
        build_volumes(indexed_mesh(mesh, green), travel, outlines, prisms, 1);
        EXPECT_GE(int(outlines.depth), stacked(mesh, travel)) << "the outline walls' depth";
        HeadlessScene scene(w, h);
        CO3duGLModelar& m = *scene.modeller;
        ShadowScene cast;
        cast.add(m, make_box({-40, -40, -1}, {40, 40, 0}, white));
        cast.add(m, indexed_mesh(mesh, green));
        OfuLight light = make_light(OFU_LIGHT_DIRECTIONAL, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, travel);
        light.on = 1;
        m.SetShadowLight(light);
        m.SetShadowAccuracy(1);
        m.SetShadowColor({1, 0, 0, 0.5f});
        const OfuVector3 shadow(10 * travel.x, 10 * travel.y, 0);
        const _O3duCamera c = camera_looking(m, {shadow.x + 3, shadow.y - 20, 24}, shadow, 40, 1, 500);
        m.SetCamera(c);
        const Frame f = scene.render();
        const Score score = cast.compare(f, PixelRays(c, w, h), travel);
        EXPECT_GT(score.shadowed, 100);
        // Wrong pixels are few against the whole floor: they are held to the shadow's size (its edges round).
        EXPECT_LE(score.judged - score.agree, score.shadowed / 50) << score.agree << " of " << score.judged;
    }
}

}  // namespace
}  // namespace kz::test
