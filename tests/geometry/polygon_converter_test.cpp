// Plain polygon faces: triangle areas against the analytic area in any orientation, and the documented cases.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>

#include "geometry/polygon_to_primitive.h"
#include "mesh_oracles.h"
#include "outline_samples.h"
#include "support/all_near.h"

namespace kz::test {
namespace {

struct AreaCase {
    std::string name;
    std::vector<OfuVector3> outline;  // in XY
};

std::vector<AreaCase> area_cases() {
    std::vector<AreaCase> cases = {
        {"triangle", regular_polygon(3, 1.0)},
        {"square", {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}},
        {"L", l_shape()},
        {"L clockwise", reversed(l_shape())},
        {"comb 5", comb(5)},
        {"comb 40", comb(40)},
        {"circle 200", regular_polygon(200, 3.0)},
        {"star 12", star(12, 2.0, 0.5)},
        {"star 120", star(120, 2.0, 1.5)},
        {"collinear runs", {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {3, 1, 0}, {3, 2, 0}, {0, 2, 0}, {0, 1, 0}}},
        {"large coordinates", regular_polygon(17, 5000.0, 1e5, -2e5)},
    };
    for (unsigned seed = 1; seed <= 30; ++seed)
        cases.push_back({"random star " + std::to_string(seed), random_star(10 + 7 * seed, seed)});
    return cases;
}

TEST(PolygonConverter, TriangleAreasSumToTheOutlineArea) {
    int placement = 0;
    for (const AreaCase& c : area_cases()) {
        const double want = std::fabs(shoelace(c.outline));
        for (int reverse = 0; reverse <= 1; ++reverse) {
            const OfuMatrix4x4 m = random_placement(100 + placement++);
            COfuPolygon polygon = polygon_of(placed(c.outline, m));
            CO3duPolygonList list;
            CO3duPolygonToPrimitive::ConvertPolygon(&polygon, list, reverse, 0, 1);
            ASSERT_EQ(list.GetSize(), 1) << c.name;
            const CO3duTrianglePolys& set = list[0];
            EXPECT_EQ(set.type, O3DU_SET_INDEXED_TRIANGLES);
            EXPECT_EQ(set.vertices.GetSize(), static_cast<int>(c.outline.size()));
            EXPECT_LE(set.indices.GetSize(), static_cast<int>(c.outline.size()) - 2) << c.name;
            // The face's normal, which the triangles must all turn counter-clockwise about.
            OfuVector3 n = set.vertices[0].normal;
            double signed_sum = 0.0, plain_sum = 0.0;
            for (const Triangle& t : drawn_triangles(set)) {
                const double a = signed_area(t, n);
                EXPECT_GT(a, -1e-12 * want) << c.name << ": a triangle turned the wrong way";
                signed_sum += a;
                plain_sum += triangle_area(t);
            }
            EXPECT_NEAR(signed_sum, want, 1e-9 * want) << c.name << " reverse " << reverse;
            EXPECT_NEAR(plain_sum, want, 1e-9 * want) << c.name << " reverse " << reverse;
            // The normal is the outline's own, flipped for reverse.
            const double side = dot(n, placed_normal(m)) * (shoelace(c.outline) > 0 ? 1 : -1);
            EXPECT_NEAR(side, reverse ? -1.0 : 1.0, 1e-9) << c.name;
        }
    }
}

TEST(PolygonConverter, SmallCases) {
    struct Case {
        std::vector<OfuVector3> outline;
        int reverse, sets, triangles;
        double normal_z;
    };
    const std::vector<OfuVector3> square = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    const Case cases[] = {
        {square, 0, 1, 2, 1.0},
        {square, 1, 1, 2, -1.0},
        {regular_polygon(3, 1.0), 0, 1, 1, 1.0},
        {{{0, 0, 0}, {1, 0, 0}}, 0, 0, 0, 0.0},
        {l_shape(), 0, 1, 4, 1.0},
    };
    for (const Case& c : cases) {
        COfuPolygon polygon = polygon_of(c.outline);
        CO3duPolygonList list;
        CO3duPolygonToPrimitive::ConvertPolygon(&polygon, list, c.reverse, 0, 1);
        ASSERT_EQ(list.GetSize(), c.sets);
        if (!c.sets) continue;
        EXPECT_EQ(list[0].indices.GetSize(), c.triangles);
        for (int v = 0; v < list[0].vertices.GetSize(); ++v) EXPECT_EQ(list[0].vertices[v].normal.z, c.normal_z);
    }
    // reverse flips every triangle's index order.
    COfuPolygon polygon = polygon_of(square);
    CO3duPolygonList plain, flipped;
    CO3duPolygonToPrimitive::ConvertPolygon(&polygon, plain, 0, 0, 1);
    CO3duPolygonToPrimitive::ConvertPolygon(&polygon, flipped, 1, 0, 1);
    for (int t = 0; t < 2; ++t)
        EXPECT_EQ(std::tuple(plain[0].indices[t].a, plain[0].indices[t].b, plain[0].indices[t].c),
                  std::tuple(flipped[0].indices[t].c, flipped[0].indices[t].b, flipped[0].indices[t].a));
}

TEST(PolygonConverter, WireOutlineIsClosed) {
    COfuPolygon polygon = polygon_of({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
    polygon.material.power = 7.0f;
    CO3duPolygonList list;
    CO3duPolygonToPrimitive::ConvertPolygon(&polygon, list, 1, 0, 0);
    ASSERT_EQ(list.GetSize(), 1);
    EXPECT_EQ(list[0].type, O3DU_SET_LINE_STRIP);
    ASSERT_EQ(list[0].vertices.GetSize(), 5);
    EXPECT_EQ(std::tuple(list[0].vertices[4].position.x, list[0].vertices[4].position.y, list[0].vertices[2].normal.z,
                         list[0].material.power),
              std::tuple(list[0].vertices[0].position.x, list[0].vertices[0].position.y, -1.0, 7.0f));
}

TEST(PolygonConverter, TextureCoordinates) {
    struct Case {
        OfuVector3 direction, offset;
        double u2, v2;  // of vertex 2, (1, 1) in the face frame
        double u1, v1;  // of vertex 1, (1, 0)
    };
    const Case cases[] = {
        {{0, 0, 0}, {5, 5, 0}, 0.5, 1.0, 0.5, 0.0},    // no direction: the frame alone, no offset
        {{0, 1, 0}, {0, 0, 0}, -0.5, 1.0, 0.0, 1.0},   // a quarter turn
        {{0, 1, 0}, {1, 0.5, 0}, 0.0, 1.5, 0.5, 1.5},  // then the offset
    };
    for (const Case& c : cases) {
        COfuPolygon polygon = polygon_of({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
        polygon.texture_number = 2;
        polygon.texture_width = 2.0;
        polygon.texture_height = 1.0;
        polygon.texture_direction = c.direction;
        polygon.texture_offset = c.offset;
        CO3duPolygonList list;
        CO3duPolygonToPrimitive::ConvertPolygon(&polygon, list, 0, 0, 1);
        ASSERT_EQ(list.GetSize(), 1);
        EXPECT_EQ(std::tuple(list[0].material_type, list[0].texture_number), std::tuple(O3DU_MATERIAL_TEXTURE, 2));
        EXPECT_TRUE(kz::test::all_near({list[0].vertices[2].tex.x, list[0].vertices[2].tex.y, list[0].vertices[1].tex.x,
                                        list[0].vertices[1].tex.y},
                                       {c.u2, c.v2, c.u1, c.v1}, 1e-12));
    }
}

TEST(PolygonConverter, ThinningKeepsTheShape) {
    for (int n : {50, 1000, 20000}) {
        const std::vector<OfuVector3> circle = regular_polygon(n, 10.0);
        COfuPolygon polygon = polygon_of(circle);
        CO3duPolygonList list;
        CO3duPolygonToPrimitive::ConvertPolygon(&polygon, list, 0, 1, 1);
        ASSERT_EQ(list.GetSize(), 1);
        double area = 0.0;
        for (const Triangle& t : drawn_triangles(list[0])) area += signed_area(t, OfuVector3(0, 0, 1));
        // Thinned to grid representatives: still the disc, within the grid's resolution.
        EXPECT_NEAR(area, M_PI * 100.0, 0.03 * M_PI * 100.0) << n;
        EXPECT_LT(list[0].indices.GetSize(), 400) << n;
    }
}

TEST(PolygonConverter, DegenerateOutlinesProduceNoSetAndNoFault) {
    const double nan = std::nan(""), inf = INFINITY;
    const std::vector<std::vector<OfuVector3>> cases = {
        {},
        {{1, 1, 1}},
        {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}},
        {{2, 2, 2}, {2, 2, 2}, {2, 2, 2}},
        {{0, 0, 0}, {1e-7, 0, 0}, {0, 1e-7, 0}},
        {{0, 0, 0}, {nan, 0, 0}, {1, 1, 0}, {0, 1, 0}},
        {{0, 0, 0}, {inf, 0, 0}, {1, 1, 0}},
    };
    for (const auto& outline : cases) {
        for (int simplify = 0; simplify <= 1; ++simplify) {
            COfuPolygon polygon = polygon_of(outline);
            CO3duPolygonList list;
            CO3duPolygonToPrimitive::ConvertPolygon(&polygon, list, 0, simplify, 1);
            for (int s = 0; s < list.GetSize(); ++s)
                for (int t = 0; t < list[s].indices.GetSize(); ++t) {
                    const _O3duVertexIndex& i = list[s].indices[t];
                    ASSERT_TRUE(i.a >= 0 && i.b >= 0 && i.c >= 0);
                    ASSERT_LT(std::max({i.a, i.b, i.c}), list[s].vertices.GetSize());
                }
            if (outline.size() < 3 || outline.size() == 4) {
                EXPECT_EQ(list.GetSize(), 0) << outline.size();
            }
        }
    }
    CO3duPolygonList list;
    CO3duPolygonToPrimitive::ConvertPolygon(nullptr, list, 0, 0, 1);
    CO3duPolygonToPrimitive::ConvertPolygon(nullptr, list, 0, 0, 0);
    EXPECT_EQ(list.GetSize(), 0);
}

}  // namespace
}  // namespace kz::test
