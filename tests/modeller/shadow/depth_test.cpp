// A shape's depth as its volumes' builder works it out from the walls, against the strip count of how many of its
// lit triangles stack over a point of light space (scenes.h): never below it for any shape (seeded random triangles,
// stacked and overlapping plates, closed boxes, slats at random angles, strips sharing edges, T-junctions, lit from
// random directions), and equal to it on closed boxes and on a roof of 300 slats under three suns.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "geometry/vector_math.h"
#include "modeller/shadow/volumes.h"
#include "tests/modeller/shadow/scenes.h"

namespace kz::test {
namespace {

using Triangle = WorldTriangle;

// The shape as one set of indexed triangles, each with corners of its own (the builder joins equal positions).
CO3duPrimitive shape_of(const std::vector<Triangle>& triangles) {
    CO3duPrimitive p;
    CO3duTrianglePolys set;
    set.type = O3DU_SET_INDEXED_TRIANGLES;
    set.material.diffuse = {1, 1, 1, 1};
    set.vertices.SetSize(int(triangles.size() * 3));
    for (std::size_t t = 0; t < triangles.size(); ++t) {
        for (int k = 0; k < 3; ++k) set.vertices[int(t * 3 + k)].position = triangles[t][k];
        const int a = int(t * 3);
        set.indices.Add(_O3duVertexIndex{a, a + 1, a + 2});
    }
    p.sets.Add(set);
    return p;
}

struct Depths {
    std::uint32_t built = 0;  // the prisms' depth as the builder left it
    int judged = 0;           // the strip count of the triangles that cast
};

Depths depths(const std::vector<Triangle>& triangles, const OfuVector3& travel) {
    const CO3duPrimitive shape = shape_of(triangles);
    CO3duGLEntity entity;
    entity.ConvertSets(shape);
    OfuMatrix4x4 to_light;
    MakePlaneToXYMatrix(OfuVector3(-travel.x, -travel.y, -travel.z), OfuVector3(0, 0, 0), to_light);
    O3duShadowSettings settings;
    settings.extrusion = 1000;
    CO3duShadowVolumes outlines, prisms;
    add_shadow_volumes(entity.set(0), to_light, settings, outlines, prisms);
    std::vector<LightTriangle> lit;
    cast_triangles(shape, to_light, false, lit);
    return {prisms.depth, stack_depth(lit)};
}

// 300 slats 12 m long, 100 x 20 mm across, 200 mm apart along x, 3 m up, the row turned by `angle` about z.
std::vector<Triangle> slat_roof(double angle) {
    std::vector<Triangle> roof;
    for (int i = 0; i < 300; ++i) add_box(roof, {0.2 * i, 0, 3}, {0.2 * i + 0.1, 12, 3.02}, angle);
    return roof;
}

// The kinds of seeded shape, each lit from a random direction.
std::vector<Triangle> random_shape(std::mt19937& rng, int kind) {
    std::uniform_real_distribution<double> u(0, 1);
    std::vector<Triangle> s;
    const auto point = [&](double z) { return OfuVector3(10 * u(rng), 10 * u(rng), z); };
    const int n = 1 + int(u(rng) * 12);
    switch (kind) {
    case 0:  // triangles anywhere, either way round
        for (int i = 0; i < n; ++i) s.push_back({point(u(rng)), point(u(rng)), point(u(rng))});
        break;
    case 1:  // plates stacked over one footprint, some moved a little or a lot
        for (int i = 0; i < n; ++i) {
            const double dx = u(rng) < 0.5 ? 0 : u(rng) * (u(rng) < 0.5 ? 0.01 : 5), dy = u(rng) < 0.7 ? 0 : u(rng);
            add_plate(s, dx, dy, 4 + dx, 3 + dy, i * 0.1);
        }
        break;
    case 2:  // closed boxes, apart, touching or overlapping
        for (int i = 0; i < n; ++i) {
            const OfuVector3 lo = point(u(rng)), size(0.2 + 3 * u(rng), 0.2 + 3 * u(rng), 0.2 + 2 * u(rng));
            add_box(s, lo, {lo.x + size.x, lo.y + size.y, lo.z + size.z}, u(rng) < 0.5 ? 0 : 6 * u(rng), lo);
        }
        break;
    case 3: {  // slats at a random angle, apart or overlapping
        const double angle = 6 * u(rng), gap = 0.05 + 0.3 * u(rng);
        for (int i = 0; i < 4 * n; ++i) add_box(s, {gap * i, 0, 1}, {gap * i + 0.1, 5, 1.02 + u(rng)}, angle);
        break;
    }
    case 4: {  // a strip sharing its edges, its heights random, some triangles turned over
        for (int i = 0; i < 2 * n; ++i) {
            const OfuVector3 a(i * 0.5, 0, u(rng)), b(i * 0.5, 1 + u(rng), u(rng)), c(i * 0.5 + 0.5, 0, u(rng)),
                d(i * 0.5 + 0.5 + u(rng) * (u(rng) < 0.3 ? -1.5 : 0.2), 1.2, u(rng));
            s.push_back({a, c, b});
            s.push_back({b, c, d});
        }
        break;
    }
    default: {  // T-junctions: a fan whose corners lie on the edges of triangles beside it
        for (int i = 0; i < n; ++i) {
            const double x = 3 * u(rng), y = 3 * u(rng), w = 1 + 2 * u(rng), z = u(rng);
            const OfuVector3 a(x, y, z), b(x + w, y, z), c(x + w, y + w, z), m(x + w / 2, y, z),
                below(x + w / 2, y - w * u(rng), z);
            s.push_back({a, m, c});
            s.push_back({m, b, c});
            s.push_back({a, below, b});
        }
    }
    }
    return s;
}

TEST(ShadowDepth, NeverBelowTheDeepestStackOfAShapesLitTriangles) {
    int below = 0;
    for (std::uint32_t seed = 0; seed < 600; ++seed) {
        std::mt19937 rng(seed);
        const int kind = int(seed % 6);
        const std::vector<Triangle> shape = random_shape(rng, kind);
        std::uniform_real_distribution<double> u(-1, 1);
        const OfuVector3 travel(u(rng), u(rng), -1.0 - u(rng) * 0.5);
        const Depths d = depths(shape, travel);
        if (int(d.built) < d.judged) {
            ++below;
            ADD_FAILURE() << "seed " << seed << " kind " << kind << ": " << d.built << " below " << d.judged;
        }
    }
    EXPECT_EQ(below, 0);
}

TEST(ShadowDepth, EqualsTheDeepestStackOnBoxesAndSlats) {
    struct Case {
        const char* name;
        std::vector<Triangle> shape;
        OfuVector3 travel;
        int depth;  // the judge's answer, known
    };
    std::vector<Triangle> boxes, turned_boxes;
    for (int i = 0; i < 10; ++i) {
        add_box(boxes, {i * 1.2, (i % 2) * 1.3, 0}, {i * 1.2 + 0.2, (i % 2) * 1.3 + 0.3, 0.3 + (i % 3) * 0.25});
        add_box(turned_boxes, {i * 2.0, 0, 0}, {i * 2.0 + 1, 1, 1}, 0.1 * i, {i * 2.0, 0, 0});
    }
    const Case cases[] = {
        {"ten closed boxes apart, their lit faces sharing edges", boxes, {0.3, 0.2, -1}, 1},
        {"ten turned boxes", turned_boxes, {0.3, -0.2, -1}, 1},
        {"300 slats as one shape, the sun across the row", slat_roof(0), {0, 0.6, -1}, 1},
        {"300 slats as one shape, the sun along the row", slat_roof(0), {0.3, 0, -1}, 1},
        {"300 slats as one shape, the sun at 30 degrees to the row",
         slat_roof(0),
         {0.5 * std::cos(M_PI / 6), 0.5 * std::sin(M_PI / 6), -1},
         1},
        {"300 slats turned 30 degrees, the sun across",
         slat_roof(M_PI / 6),
         {-0.6 * std::sin(M_PI / 6), 0.6 * std::cos(M_PI / 6), -1},
         1},
        {"300 slats as one shape, the sun along the row and low: their shadows stack", slat_roof(0), {8, 0, -1}, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        const Depths d = depths(k.shape, k.travel);
        if (k.depth) {
            EXPECT_EQ(d.judged, k.depth);
            EXPECT_EQ(int(d.built), d.judged);
        }
        EXPECT_GE(int(d.built), d.judged);
    }
}

}  // namespace
}  // namespace kz::test
