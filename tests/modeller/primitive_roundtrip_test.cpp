// Shapes in and out of the OpenGL modeller: what AddPrimitive keeps and GetPrimitive gives back under each flag
// bit, what ChangePrimitive replaces (including sets and vertices whose counts changed), and moving vertex data.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "modeller/gl_modelar.h"
#include "tests/modeller/render_support.h"

namespace kz::test {
namespace {

OfuMatrix4x4 translation(double x, double y, double z) {
    OfuMatrix4x4 m = identity_matrix();
    m[3][0] = x, m[3][1] = y, m[3][2] = z;
    return m;
}

// Two sets unlike the defaults in every field: indexed triangles with values that floats cannot hold exactly,
// and a line strip; and a fan whose vertices repeat the strip's, exactly or but for one part (held once only
// when the same to the bit).
CO3duPrimitive sample_primitive() {
    CO3duPrimitive p;
    CO3duTrianglePolys a;
    a.type = O3DU_SET_INDEXED_TRIANGLES;
    a.material = make_material({0.1f, 0.2f, 0.3f, 0.4f}, {0.5f, 0.6f, 0.7f, 0.8f}, {0.9f, 0.15f, 0.25f, 0.35f}, 42.f);
    a.material.emission = {0.45f, 0.55f, 0.65f, 0.75f};
    a.material_type = O3DU_MATERIAL_TEXTURE;
    a.line_width = 2.5f;
    a.texture_number = 3;
    a.vertices.SetSize(4);
    for (int i = 0; i < 4; ++i) {
        a.vertices[i].position = OfuVector3(0.1 * (i + 1), -1.0 / 3 * i, 1e7 + 0.3 * i);
        a.vertices[i].normal = OfuVector3(0, i % 2 ? 1 : 0, i % 2 ? 0 : 1);
        a.vertices[i].color[0] = 0.11f * i, a.vertices[i].color[1] = 0.2f, a.vertices[i].color[2] = 0.3f;
        a.vertices[i].color[3] = 0.3f;  // never kept: translucency is the material's
        a.vertices[i].tex = OfuVector2(0.25 * i, 1.0 - 0.25 * i);
    }
    a.indices.SetSize(2);
    a.indices[0] = {0, 1, 2};
    a.indices[1] = {2, 1, 3};
    p.sets.Add(a);
    CO3duTrianglePolys b;
    b.type = O3DU_SET_LINE_STRIP;
    b.vertices.SetSize(3);
    for (int i = 0; i < 3; ++i) b.vertices[i].position = OfuVector3(i, i * i, -i);
    p.sets.Add(b);
    CO3duTrianglePolys c;
    c.type = O3DU_SET_TRIANGLE_FAN;
    c.vertices.SetSize(5);
    for (int i = 0; i < 5; ++i) c.vertices[i] = b.vertices[i % 3];
    c.vertices[1].tex = OfuVector2(0.5, 0.25);
    c.vertices[2].color[2] = 0.5f;
    c.vertices[4].normal = OfuVector3(0, -0.0, 0);
    p.sets.Add(c);
    p.draw_mode = O3DU_DRAW_PICKABLE | O3DU_DRAW_NO_SECTION_CAP;
    p.model_matrix = translation(1, 2, 3);
    p.texture_matrix = translation(0.5, 0.25, 0);
    p.kind = 0;
    p.layer = 7;
    p.polygon_mode = 1;
    return p;
}

struct FlagCase {
    long flag;
    std::string what;
};

TEST(PrimitiveRoundTrip, EachFlagBringsBackItsPartOnly) {
    HeadlessScene s;
    CO3duPrimitive in = sample_primitive();
    _OfuPosition* pos = s.modeller->AddPrimitive(in);
    ASSERT_NE(pos, nullptr);
    const std::vector<FlagCase> cases = {
        {0, "nothing"},    {1, "geometry"},      {2, "material"}, {4, "set type"},         {8, "texture"},
        {16, "draw mode"}, {32, "model matrix"}, {64, "layer"},   {128, "texture matrix"}, {256, "polygon mode"}};
    const CO3duPrimitive fresh;
    const CO3duTrianglePolys fresh_set;
    for (const FlagCase& tc : cases) {
        SCOPED_TRACE(tc.what);
        CO3duPrimitive out;
        out.sets.SetSize(5);  // emptied first
        s.modeller->GetPrimitive(pos, out, tc.flag);
        ASSERT_EQ(out.sets.GetSize(), in.sets.GetSize());
        for (int si = 0; si < in.sets.GetSize(); ++si) {
            const CO3duTrianglePolys& want = in.sets[si];
            const CO3duTrianglePolys& got = out.sets[si];
            ASSERT_EQ(got.vertices.GetSize(), want.vertices.GetSize());
            for (int i = 0; i < want.vertices.GetSize(); ++i) {
                const _O3duVertex& w = want.vertices[i];
                const _O3duVertex& g = got.vertices[i];
                if (tc.flag == 1) {
                    EXPECT_EQ(g.position.x, double(float(w.position.x)));
                    EXPECT_EQ(g.position.y, double(float(w.position.y)));
                    EXPECT_EQ(g.position.z, double(float(w.position.z)));
                    EXPECT_EQ(g.normal.y, w.normal.y);
                    EXPECT_EQ(std::signbit(g.normal.y), std::signbit(w.normal.y));
                    EXPECT_EQ(g.normal.z, w.normal.z);
                } else {
                    EXPECT_EQ(g.position.x, 0.0);
                }
                if (tc.flag == 2) {
                    EXPECT_EQ(g.color[0], w.color[0]);
                    EXPECT_EQ(g.color[2], w.color[2]);
                    EXPECT_EQ(g.color[3], 1.0f);
                } else {
                    EXPECT_EQ(g.color[1], 0.0f);
                }
                if (tc.flag == 8) {
                    EXPECT_EQ(g.tex.x, double(float(w.tex.x)));
                    EXPECT_EQ(g.tex.y, double(float(w.tex.y)));
                } else {
                    EXPECT_EQ(g.tex.y, 0.0);
                }
            }
            if (tc.flag == 2) {
                EXPECT_EQ(std::memcmp(&got.material, &want.material, sizeof want.material), 0);
                EXPECT_EQ(got.material_type, want.material_type);
            } else {
                EXPECT_EQ(got.material.power, fresh_set.material.power);
                EXPECT_EQ(got.material_type, fresh_set.material_type);
            }
            if (tc.flag == 4) {
                EXPECT_EQ(got.type, want.type);
                EXPECT_EQ(got.line_width, want.line_width);
                ASSERT_EQ(got.indices.GetSize(), want.indices.GetSize());
                for (int i = 0; i < want.indices.GetSize(); ++i)
                    EXPECT_TRUE(got.indices[i].a == want.indices[i].a && got.indices[i].b == want.indices[i].b &&
                                got.indices[i].c == want.indices[i].c);
            } else {
                EXPECT_EQ(got.type, fresh_set.type);
                EXPECT_EQ(got.indices.GetSize(), 0);
            }
            EXPECT_EQ(got.texture_number, tc.flag == 8 ? want.texture_number : 0);
        }
        EXPECT_EQ(out.draw_mode, tc.flag == 16 ? in.draw_mode : fresh.draw_mode);
        EXPECT_EQ(out.model_matrix[3][1], tc.flag == 32 ? 2.0 : 0.0);
        EXPECT_EQ(out.layer, tc.flag == 64 ? 7u : 0u);
        EXPECT_EQ(out.texture_matrix[3][0], tc.flag == 128 ? 0.5 : 0.0);
        EXPECT_EQ(out.polygon_mode, tc.flag == 256 ? 1 : 0);
    }
}

TEST(PrimitiveRoundTrip, OddShapesConvert) {
    HeadlessScene s;
    CO3duPrimitive empty;
    _OfuPosition* none = s.modeller->AddPrimitive(empty);
    ASSERT_NE(none, nullptr);
    CO3duPrimitive out;
    s.modeller->GetPrimitive(none, out, O3DU_PRIM_ALL);
    EXPECT_EQ(out.sets.GetSize(), 0);
    s.render();  // draws nothing, and nothing breaks

    // Element counts come from the vertex count, truncated; indices outside the vertex list are dropped.
    const struct {
        int type, vertices;
        std::vector<_O3duVertexIndex> indices;
        int elements;
    } cases[] = {{O3DU_SET_TRIANGLE_LIST, 7, {}, 2},
                 {O3DU_SET_LINE_LIST, 5, {}, 2},
                 {O3DU_SET_LINE_STRIP, 0, {}, 0},
                 {O3DU_SET_TRIANGLE_FAN, 5, {}, 3},
                 {O3DU_SET_INDEXED_TRIANGLES, 3, {{0, 1, 2}, {0, 1, 3}, {-1, 0, 1}, {2, 1, 0}}, 2}};
    for (const auto& tc : cases) {
        CO3duPrimitive p;
        CO3duTrianglePolys set;
        set.type = tc.type;
        set.vertices.SetSize(tc.vertices);
        for (const _O3duVertexIndex& t : tc.indices) set.indices.Add(t);
        p.sets.Add(set);
        _OfuPosition* pos = s.modeller->AddPrimitive(p);
        const CO3duGLEntity* entity = s.modeller->structure().entity_of(pos);
        ASSERT_NE(entity, nullptr);
        EXPECT_EQ(entity->set(0).element_count(), tc.elements) << "type " << tc.type;
        EXPECT_EQ(entity->set(0).index_count(), std::size_t(entity->set(0).indexed() ? tc.elements * 3 : 0));
    }
    // More vertices than a shape matches against each other (65,536), the later ones repeating earlier ones.
    CO3duPrimitive many;
    CO3duTrianglePolys points;
    points.type = O3DU_SET_POINTS;
    points.vertices.SetSize(70000);
    for (int i = 0; i < 70000; ++i) points.vertices[i].position = OfuVector3(i % 66000, 0, 0);
    many.sets.Add(points);
    CO3duPrimitive back;
    s.modeller->GetPrimitive(s.modeller->AddPrimitive(many), back, O3DU_PRIM_GEOMETRY);
    ASSERT_EQ(back.sets[0].vertices.GetSize(), 70000);
    for (int i = 0; i < 70000; ++i) ASSERT_EQ(back.sets[0].vertices[i].position.x, double(i % 66000)) << i;
    s.render();
}

TEST(PrimitiveRoundTrip, ChangeReplacesWhatTheFlagsSay) {
    HeadlessScene s;
    CO3duPrimitive in = sample_primitive();
    _OfuPosition* pos = s.modeller->AddPrimitive(in);

    // Flags 0 change only the kind.
    CO3duPrimitive other = sample_primitive();
    other.kind = 1;
    other.layer = 99;
    other.sets[0].vertices[0].position.x = 55;
    EXPECT_EQ(s.modeller->ChangePrimitive(pos, other, 0), pos);
    CO3duPrimitive out;
    s.modeller->GetPrimitive(pos, out, O3DU_PRIM_ALL);
    EXPECT_EQ(out.kind, 1);
    EXPECT_EQ(out.layer, 7u);
    EXPECT_EQ(out.sets[0].vertices[0].position.x, double(0.1f));

    // Material only: positions stay, the material and colours follow.
    other.sets[0].material.diffuse.a = 0.25f;
    s.modeller->ChangePrimitive(pos, other, O3DU_PRIM_MATERIAL);
    s.modeller->GetPrimitive(pos, out, O3DU_PRIM_ALL);
    EXPECT_EQ(out.sets[0].material.diffuse.a, 0.25f);
    EXPECT_EQ(out.sets[0].vertices[0].position.x, double(0.1f));

    // Fewer sets than the shape has: the whole shape is converted afresh, nothing read past the new sets.
    CO3duPrimitive one;
    one.sets.Add(other.sets[1]);
    s.modeller->ChangePrimitive(pos, one, O3DU_PRIM_TEXTURE);
    s.modeller->GetPrimitive(pos, out, O3DU_PRIM_ALL);
    ASSERT_EQ(out.sets.GetSize(), 1);
    EXPECT_EQ(out.sets[0].type, O3DU_SET_LINE_STRIP);
    EXPECT_EQ(out.sets[0].vertices.GetSize(), 3);

    // More vertices in a set under the colour flag: that set is converted whole.
    CO3duPrimitive longer;
    longer.sets.Add(other.sets[0]);
    longer.sets[0].vertices.SetSize(9);
    longer.sets[0].vertices[8].color[1] = 0.5f;
    s.modeller->ChangePrimitive(pos, longer, O3DU_PRIM_MATERIAL);
    s.modeller->GetPrimitive(pos, out, O3DU_PRIM_ALL);
    ASSERT_EQ(out.sets[0].vertices.GetSize(), 9);
    EXPECT_EQ(out.sets[0].vertices[8].color[1], 0.5f);
    EXPECT_EQ(out.sets[0].type, O3DU_SET_INDEXED_TRIANGLES);

    // Same counts, new indices (one of them out of range) under the set-type flag.
    longer.sets[0].indices.SetSize(2);
    longer.sets[0].indices[0] = {8, 7, 6};
    longer.sets[0].indices[1] = {0, 1, 9};
    s.modeller->ChangePrimitive(pos, longer, O3DU_PRIM_SET_TYPE);
    s.modeller->GetPrimitive(pos, out, O3DU_PRIM_SET_TYPE);
    ASSERT_EQ(out.sets[0].indices.GetSize(), 1);
    EXPECT_EQ(out.sets[0].indices[0].a, 8);
    s.render();
}

TEST(PrimitiveRoundTrip, ShadowRebuildFollowsGeometryChanges) {
    HeadlessScene s;
    CO3duPrimitive in = sample_primitive();
    _OfuPosition* pos = s.modeller->AddPrimitive(in);
    CO3duGLEntity* entity = s.modeller->structure().entity_of(pos);
    // Each part given back as it was: the draw mode set again rebuilds nothing, as SetDrawMode's does not.
    for (long flags : {1L, 2L, 4L, 8L, 16L, 32L, 64L, 128L, 256L}) {
        entity->shadow_rebuild = 0;
        s.modeller->ChangePrimitive(pos, in, flags);
        EXPECT_EQ(entity->shadow_rebuild, (flags & (1 | 4 | 32)) ? 1 : 0) << flags;
    }
    // A draw mode that hides the shape or its shadow, or shows it again, rebuilds; one that leaves both does not.
    for (const auto& [mode, rebuilt] : {std::pair{in.draw_mode | O3DU_DRAW_HIDDEN, 1}, std::pair{in.draw_mode, 1},
                                        std::pair{in.draw_mode | O3DU_DRAW_NO_SHADOW, 1},
                                        std::pair{in.draw_mode | O3DU_DRAW_NO_SHADOW | O3DU_DRAW_NO_SECTION_CAP, 0}}) {
        entity->shadow_rebuild = 0;
        CO3duPrimitive changed = in;
        changed.draw_mode = mode;
        s.modeller->ChangePrimitive(pos, changed, O3DU_PRIM_DRAW_MODE);
        EXPECT_EQ(entity->shadow_rebuild, rebuilt) << mode;
    }
    entity->shadow_rebuild = 0;
    OfuMatrix4x4 m = translation(1, 1, 1);
    s.modeller->SetMatrix(pos, m);
    EXPECT_EQ(entity->shadow_rebuild, 1);
}

TEST(PrimitiveRoundTrip, MoveShapeMovesVerticesNotTheMatrix) {
    HeadlessScene s;
    CO3duPrimitive in = sample_primitive();
    _OfuPosition* gl = s.modeller->AddPrimitive(in);
    _OfuPosition* generic = s.modeller->AddPrimitive(in);
    // A quarter turn about z, then a shift: (x, y, z) -> (-y + 10, x, z + 1); normals turn alike.
    OfuMatrix4x4 m = identity_matrix();
    m[0][0] = 0, m[0][1] = 1, m[1][0] = -1, m[1][1] = 0;
    m[3][0] = 10, m[3][2] = 1;
    s.modeller->MoveShape(gl, m);
    s.modeller->CO3duModelar::MoveShape(generic, m);  // the interface's own version, through Get/ChangePrimitive
    for (_OfuPosition* pos : {gl, generic}) {
        CO3duPrimitive out;
        s.modeller->GetPrimitive(pos, out, O3DU_PRIM_GEOMETRY | O3DU_PRIM_MATRIX);
        EXPECT_EQ(out.model_matrix[3][0], 1.0);
        for (int i = 0; i < 4; ++i) {
            const _O3duVertex& w = in.sets[0].vertices[i];
            const _O3duVertex& g = out.sets[0].vertices[i];
            EXPECT_NEAR(g.position.x, -w.position.y + 10, 1e-5);
            EXPECT_NEAR(g.position.y, w.position.x, 1e-5);
            EXPECT_NEAR(g.position.z, w.position.z + 1, 2);  // 1e7 in float
            EXPECT_NEAR(g.normal.x, -w.normal.y, 1e-6);
            EXPECT_NEAR(g.normal.y, w.normal.x, 1e-6);
        }
    }
}

TEST(PrimitiveRoundTrip, HelpersChangeMaterialAlphaAndDrawMode) {
    HeadlessScene s;
    CO3duPrimitive in = sample_primitive();
    _OfuPosition* pos = s.modeller->AddPrimitive(in);
    s.modeller->ChangeAlpha(pos, 0.75f);
    CO3duPrimitive out;
    s.modeller->GetPrimitive(pos, out, O3DU_PRIM_MATERIAL);
    EXPECT_EQ(out.sets[0].material.diffuse.a, 0.75f);
    EXPECT_EQ(out.sets[1].material.diffuse.a, 0.75f);
    _OfuMaterial m = make_material({0.3f, 0.3f, 0.3f, 1}, {0.1f, 0.1f, 0.1f, 1}, {0, 0, 0, 1}, 5);
    s.modeller->ChangeMaterial(pos, m);
    s.modeller->GetPrimitive(pos, out, O3DU_PRIM_MATERIAL);
    EXPECT_EQ(out.sets[1].material.power, 5.0f);
    EXPECT_EQ(out.sets[0].material.ambient.g, 0.1f);
    // The interface's draw-mode helpers and the modeller's own agree.
    s.modeller->CO3duModelar::SetDrawMode(pos, O3DU_DRAW_HIDDEN);
    EXPECT_EQ(s.modeller->GetDrawMode(pos), O3DU_DRAW_HIDDEN);
    s.modeller->SetDrawMode(pos, O3DU_DRAW_NO_SHADOW);
    EXPECT_EQ(s.modeller->CO3duModelar::GetDrawMode(pos), O3DU_DRAW_NO_SHADOW);
}

}  // namespace
}  // namespace kz::test
