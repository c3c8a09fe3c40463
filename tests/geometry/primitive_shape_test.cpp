// Defaults, resets and deep copies of sets and primitives; ownership and node blocks of shapes; clones of pieces.
#include <gtest/gtest.h>

#include "geometry/geometry_elements.h"
#include "geometry/primitive.h"
#include "geometry/shape.h"

namespace {

TEST(TrianglePolys, DefaultsAndRemoveAll) {
    CO3duTrianglePolys set;
    EXPECT_EQ(set.type, 4);
    EXPECT_EQ(set.material_type, 0);
    EXPECT_EQ(set.line_width, 1.0f);
    EXPECT_EQ(set.texture_number, 0);
    EXPECT_EQ(set.material.diffuse.r, 0.8f);
    EXPECT_EQ(set.material.diffuse.b, 0.0f);
    EXPECT_EQ(set.material.ambient.g, 0.4f);
    EXPECT_EQ(set.material.emission.a, 0.0f);
    EXPECT_EQ(set.material.power, 80.0f);

    set.type = 6;
    set.material_type = 2;
    set.texture_number = 3;
    set.line_width = 2.5f;
    set.material.diffuse.r = 0.1f;
    set.vertices.SetSize(5);
    set.indices.SetSize(2);
    set.RemoveAll();
    EXPECT_EQ(set.type, 4);
    EXPECT_EQ(set.material_type, 0);
    EXPECT_EQ(set.texture_number, 0);
    EXPECT_EQ(set.line_width, 2.5f);
    EXPECT_EQ(set.material.diffuse.r, 0.1f);
    EXPECT_EQ(set.vertices.GetCapacity(), 0);
    EXPECT_EQ(set.indices.GetCapacity(), 0);
}

TEST(Primitive, DefaultsCopiesAndDeleteAll) {
    CO3duPrimitive p;
    EXPECT_EQ(p.draw_mode, 2);
    EXPECT_EQ(p.kind, 0);
    EXPECT_EQ(p.layer, 0u);
    EXPECT_EQ(p.polygon_mode, 0);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(p.model_matrix[r][c], r == c ? 1.0 : 0.0);
            EXPECT_EQ(p.texture_matrix[r][c], r == c ? 1.0 : 0.0);
        }
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
    EXPECT_EQ(assigned.layer, 9u);
    EXPECT_EQ(assigned.model_matrix[3][0], 4.0);
    assigned.DeleteAll();
    EXPECT_EQ(assigned.sets.GetSize(), 0);
    EXPECT_EQ(assigned.draw_mode, 5);
    EXPECT_EQ(assigned.layer, 9u);
    EXPECT_EQ(assigned.model_matrix[3][0], 4.0);
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
        EXPECT_EQ(shape.GetCount(), 26);
        EXPECT_EQ(shape.GetBlockCount(), 3);
        int expect = 0;
        for (const COfuShape::Node* n = shape.GetHead(); n && n->geometry; n = n->next)
            EXPECT_EQ(n->geometry->texture_number, expect++);
        EXPECT_EQ(expect, 25);
    }
    EXPECT_EQ(g_destroyed, 25);
}

TEST(Pieces, DefaultsAndKinds) {
    COfuExtruded e;
    EXPECT_EQ(e.kind, 7);
    EXPECT_EQ(e.bottom_cap, 0);
    EXPECT_EQ(e.top_cap, 0);
    EXPECT_EQ(e.material.diffuse.g, 1.0f);
    EXPECT_EQ(e.material.emission.b, 1.0f);
    EXPECT_EQ(e.material.power, 0.0f);
    EXPECT_EQ(e.side_texture_direction.dim, 3);
    EXPECT_EQ(COfuPolygon().kind, 3);
    EXPECT_EQ(COfuPolygon2D().kind, 4);
    EXPECT_EQ(COfuHolePolygon().kind, 5);
    EXPECT_EQ(COfuHolePolygon2D().kind, 6);
    EXPECT_EQ(COfuHoleExtruded().kind, 8);
    EXPECT_EQ(COfuFiniteColumn().kind, 10);
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
    EXPECT_EQ(source.holes[1].points[0].x, 1.0);
    EXPECT_EQ(copy->texture_direction.x, 1.0);
    EXPECT_EQ(copy->texture_width, 2.0);

    COfuGeometry bare;
    bare.kind = 3;
    bare.texture_number = 4;
    std::unique_ptr<COfuGeometry> bare_clone(bare.Clone());
    EXPECT_EQ(bare_clone->kind, 0);
    EXPECT_EQ(bare_clone->texture_number, 4);

    COfuExtruded e;
    e.bottom.points.SetSize(3);
    e.bottom.points[2].z = 5;
    e.top_cap = 1;
    std::unique_ptr<COfuExtruded> ec(e.Clone());
    EXPECT_EQ(ec->bottom.points[2].z, 5.0);
    EXPECT_EQ(ec->top_cap, 1);
}

}  // namespace
