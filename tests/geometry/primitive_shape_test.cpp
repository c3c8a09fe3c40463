// Defaults, resets and deep copies of sets and primitives; ownership and node blocks of shapes; clones of pieces.
#include <gtest/gtest.h>

#include <tuple>

#include "geometry/geometry_elements.h"
#include "geometry/primitive.h"
#include "geometry/shape.h"

namespace {

TEST(TrianglePolys, DefaultsAndRemoveAll) {
    CO3duTrianglePolys set;
    EXPECT_EQ(std::tuple(set.type, set.material_type, set.line_width, set.texture_number, set.material.diffuse.r),
              std::tuple(4, 0, 1.0f, 0, 0.8f));
    EXPECT_EQ(std::tuple(set.material.diffuse.b, set.material.ambient.g, set.material.emission.a, set.material.power),
              std::tuple(0.0f, 0.4f, 0.0f, 80.0f));

    set.type = 6;
    set.material_type = 2;
    set.texture_number = 3;
    set.line_width = 2.5f;
    set.material.diffuse.r = 0.1f;
    set.vertices.SetSize(5);
    set.indices.SetSize(2);
    set.RemoveAll();
    EXPECT_EQ(std::tuple(set.type, set.material_type, set.texture_number, set.line_width, set.material.diffuse.r),
              std::tuple(4, 0, 0, 2.5f, 0.1f));
    EXPECT_EQ(std::tuple(set.vertices.GetCapacity(), set.indices.GetCapacity()), std::tuple(0, 0));
}

TEST(Primitive, DefaultsCopiesAndDeleteAll) {
    CO3duPrimitive p;
    EXPECT_EQ(std::tuple(p.draw_mode, p.kind, p.layer, p.polygon_mode), std::tuple(2, 0, 0u, 0));
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(std::tuple(p.model_matrix[r][c], p.texture_matrix[r][c]),
                      std::tuple(r == c ? 1.0 : 0.0, r == c ? 1.0 : 0.0));
    CO3duTrianglePolys set;
    set.vertices.SetSize(3);
    set.vertices[1].position = OfuVector3(1, 2, 3);
    p.sets.Add(set);
    p.draw_mode = 5;
    p.layer = 9;
    p.model_matrix[3][0] = 4.0;
    CO3duPrimitive copy(p);
    copy.sets[0].vertices[1].position.x = -7;
    EXPECT_EQ(p.sets[0].vertices[1].position.x, 1.0);
    CO3duPrimitive assigned;
    assigned = p;
    EXPECT_EQ(std::tuple(assigned.layer, assigned.model_matrix[3][0]), std::tuple(9u, 4.0));
    assigned.DeleteAll();
    EXPECT_EQ(std::tuple(assigned.sets.GetSize(), assigned.draw_mode, assigned.layer, assigned.model_matrix[3][0]),
              std::tuple(0, 5, 9u, 4.0));
}

int g_destroyed = 0;
struct CountedPolygon : COfuPolygon {
    ~CountedPolygon() override { ++g_destroyed; }
};

TEST(Shape, OwnsPiecesInNodeBlocksOfTen) {
    g_destroyed = 0;
    {
        COfuShape shape;
        for (int i = 0; i < 25; ++i) {
            auto* piece = new CountedPolygon();
            piece->texture_number = i;
            shape.AddTail(piece);
        }
        shape.AddTail(nullptr);
        EXPECT_EQ(std::tuple(shape.GetCount(), shape.GetBlockCount()), std::tuple(26, 3));
        int expect = 0;
        for (const COfuShape::Node* n = shape.GetHead(); n && n->geometry; n = n->next)
            EXPECT_EQ(n->geometry->texture_number, expect++);
        EXPECT_EQ(expect, 25);
    }
    EXPECT_EQ(g_destroyed, 25);
}

TEST(Pieces, DefaultsAndKinds) {
    COfuExtruded e;
    EXPECT_EQ(std::tuple(e.kind, e.bottom_cap, e.top_cap, e.material.diffuse.g, e.material.emission.b),
              std::tuple(7, 0, 0, 1.0f, 1.0f));
    EXPECT_EQ(std::tuple(e.material.power, e.side_texture_direction.dim), std::tuple(0.0f, 3));
    EXPECT_EQ(std::tuple(COfuPolygon().kind, COfuPolygon2D().kind, COfuHolePolygon().kind, COfuHolePolygon2D().kind,
                         COfuHoleExtruded().kind, COfuFiniteColumn().kind),
              std::tuple(3, 4, 5, 6, 8, 10));
    COfuPolygon p;
    p.points.SetSize(2);
    EXPECT_EQ(p.points[1].dim, 3);  // outline arrays make constructed vectors
}

TEST(Pieces, ClonesAreDeepAndKeepTheirClass) {
    COfuHolePolygon source;
    source.points.Add(OfuVector3(0, 0, 0));
    source.texture_direction = OfuVector3(1, 0, 0);
    source.texture_width = 2.0;
    for (int h = 0; h < 2; ++h) {
        COfuPolygon hole;
        hole.points.Add(OfuVector3(h, h, 0));
        source.holes.Add(hole);
    }
    std::unique_ptr<COfuGeometry> clone(static_cast<const COfuGeometry&>(source).Clone());
    auto* copy = dynamic_cast<COfuHolePolygon*>(clone.get());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->kind, 5);
    ASSERT_EQ(copy->holes.GetSize(), 2);
    copy->holes[1].points[0].x = 99;
    EXPECT_EQ(std::tuple(source.holes[1].points[0].x, copy->texture_direction.x, copy->texture_width),
              std::tuple(1.0, 1.0, 2.0));

    COfuGeometry bare;
    bare.kind = 3;
    bare.texture_number = 4;
    std::unique_ptr<COfuGeometry> bare_clone(bare.Clone());
    EXPECT_EQ(std::tuple(bare_clone->kind, bare_clone->texture_number), std::tuple(0, 4));

    COfuExtruded e;
    e.bottom.points.SetSize(3);
    e.bottom.points[2].z = 5;
    e.top_cap = 1;
    std::unique_ptr<COfuExtruded> ec(e.Clone());
    EXPECT_EQ(std::tuple(ec->bottom.points[2].z, ec->top_cap), std::tuple(5.0, 1));
}

}  // namespace
