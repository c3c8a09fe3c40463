// The ready-made sets against geometry: closed solids of the right size, grids and lines where asked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "geometry/math_primitive.h"
#include "geometry/vector_math.h"
#include "mesh_oracles.h"
#include "support/all_near.h"

namespace {

TEST(PrimitiveMakers, IcosahedronIsARegularClosedSolid) {
    struct Case {
        double size;
        OfuVector3 centre;
    };
    for (const Case& c : {Case{1.0, {0, 0, 0}}, Case{2.5, {1, -2, 3}}}) {
        CO3duPrimitive primitive;
        _OfuMaterial material;
        material.power = 33.0f;
        CO3duMathPrimitive::Make20Mentai(primitive, c.size, c.centre, material);
        ASSERT_EQ(primitive.sets.GetSize(), 3);
        EXPECT_EQ(std::tuple(primitive.sets[0].type, primitive.sets[1].type, primitive.sets[2].type),
                  std::tuple(O3DU_SET_TRIANGLE_FAN, O3DU_SET_TRIANGLE_FAN, O3DU_SET_TRIANGLE_STRIP));
        for (int s = 0; s < 3; ++s) {
            EXPECT_EQ(primitive.sets[s].material.power, 33.0f);
            for (int i = 0; i < primitive.sets[s].vertices.GetSize(); ++i) {
                const _O3duVertex& v = primitive.sets[s].vertices[i];
                EXPECT_NEAR(length(v.position - c.centre), c.size, 1e-12);
                EXPECT_NEAR(length(v.normal), std::sqrt(0.9045084971874737), 1e-12);
                EXPECT_EQ(v.color[3], 1.0f);
            }
        }
        const auto triangles = kz::test::drawn_triangles(primitive.sets);
        const auto closed = kz::test::check_closed(triangles);
        EXPECT_EQ(std::tuple(triangles.size(), closed.triangles, closed.unmatched_edges), std::tuple(20u, 20, 0));
        // Regular icosahedron of circumradius R: edge a = R / sin(72 degrees), volume 5/12 (3 + sqrt 5) a^3.
        const double a = c.size / std::sin(2 * M_PI / 5);
        std::vector<kz::test::Triangle> about_centre = triangles;
        for (auto& t : about_centre)
            for (auto& p : t) p = p - c.centre;
        EXPECT_NEAR(std::fabs(kz::test::enclosed_volume(about_centre)), 5.0 / 12.0 * (3 + std::sqrt(5.0)) * a * a * a,
                    1e-9);
    }
}

TEST(PrimitiveMakers, MeridianSphereIsClosedAndRound) {
    const double r = 2.0;
    CO3duTrianglePolys set;
    CO3duMathPrimitive::MakeKeiisenKyu(set, 32, 64, r, 0.0, nullptr);
    ASSERT_EQ(std::tuple(set.type, set.vertices.GetSize()), std::tuple(O3DU_SET_TRIANGLE_STRIP, 2 * 32 * 64));
    for (int i = 0; i < set.vertices.GetSize(); ++i) {
        const _O3duVertex& v = set.vertices[i];
        EXPECT_TRUE(kz::test::all_near({length(v.position), length(v.normal - v.position)}, {r, 0.0}, 1e-12));
        // v runs from 1 at +Z to 0 at -Z; u stays inside its step.
        EXPECT_NEAR(v.tex.y, 1.0 - std::acos(std::clamp(v.position.z / r, -1.0, 1.0)) / M_PI, 1e-9);
        const int step = i / 64;
        EXPECT_GE(v.tex.x, step / 64.0 - 1e-12);
        EXPECT_LE(v.tex.x, (step + 1) / 64.0 + 1e-12);
    }
    const auto triangles = kz::test::drawn_triangles(set);
    EXPECT_EQ(kz::test::check_closed(triangles).unmatched_edges, 0);
    const double volume = kz::test::enclosed_volume(triangles);
    EXPECT_GT(volume, 0.0) << "faces turned inwards";
    EXPECT_NEAR(volume, 4.0 / 3.0 * M_PI * r * r * r, 0.01 * volume);

    // A matrix moves the positions, not the normals; a half sweep ends at 180 degrees.
    OfuMatrix4x4 move = identity_matrix();
    move[3][0] = 10.0;
    CO3duMathPrimitive::MakeKeiisenKyu(set, 4, 8, 1.0, 180.0, &move);
    ASSERT_EQ(set.vertices.GetSize(), 2 * 4 * 8);
    double min_x = 1e9;
    for (int i = 0; i < set.vertices.GetSize(); ++i) {
        EXPECT_NEAR(set.vertices[i].position.x - 10.0, set.vertices[i].normal.x, 1e-12);
        min_x = std::min(min_x, set.vertices[i].normal.x);
    }
    EXPECT_GT(min_x, -1e-12);

    // Too few steps or bands: the set is left as it was.
    for (auto [bands, steps] : {std::pair{4, 3}, std::pair{1, 8}}) {
        CO3duTrianglePolys untouched;
        CO3duMathPrimitive::MakeKeiisenKyu(untouched, bands, steps, 1.0, 0.0, nullptr);
        EXPECT_EQ(std::tuple(untouched.vertices.GetSize(), untouched.type), std::tuple(0, O3DU_SET_TRIANGLE_STRIP));
    }
}

// The grid's lines lie at the even steps; no step count means no grid rather than a division by zero.
TEST(PrimitiveMakers, GridAndLine) {
    CO3duPrimitive primitive;
    EXPECT_EQ(CO3duMathPrimitive::MakeGrid({0, 0}, {10, 10}, 2, primitive), 0);
    const CO3duTrianglePolys& grid = primitive.sets[0];
    EXPECT_EQ(grid.type, O3DU_SET_LINE_LIST);
    ASSERT_EQ(grid.vertices.GetSize(), 12);
    for (int i = 0; i < 3; ++i) {
        const double at = 5.0 * i;
        const OfuVector3 want[4] = {{0, at, 0}, {10, at, 0}, {at, 0, 0}, {at, 10, 0}};
        for (int k = 0; k < 4; ++k) EXPECT_NEAR(length(grid.vertices[4 * i + k].position - want[k]), 0.0, 1e-12);
    }
    EXPECT_FLOAT_EQ(grid.material.diffuse.r, 0.64f);
    EXPECT_EQ(CO3duMathPrimitive::MakeGrid({0, 0}, {10, 10}, 0, primitive), -1);
    EXPECT_EQ(CO3duMathPrimitive::MakeLine({1, 2, 3}, {4, 5, 6}, primitive), 1);
    EXPECT_EQ(primitive.sets[1].vertices[1].position.z, 6.0);
}

}  // namespace
