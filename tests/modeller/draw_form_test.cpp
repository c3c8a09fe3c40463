// The entity's draw form (alike neighbouring sets drawn at once): a retint of one face after the merge shows, the
// sets read back one by one as they were given, and picks still find the shape and its depth.
#include <gtest/gtest.h>

#include "tests/modeller/render_support.h"

namespace kz::test {
namespace {

constexpr int kN = HeadlessScene::kSize;

TEST(DrawForm, RetintedFaceShowsAndTheSetsReadBackAsGiven) {
    HeadlessScene s;
    const _OfuMaterial red = make_material({0, 0, 0, 1}, {1, 0, 0, 1});
    CO3duPrimitive box = make_box({-10, -10, -10}, {10, 10, 10}, red);
    _OfuPosition* pos = s.modeller->AddPrimitive(box);
    ASSERT_NE(pos, nullptr);
    // Lights off: the global ambient of 0.2 times the material's ambient.
    EXPECT_TRUE(pixel_near(s.render(), kN / 2, kN / 2, {51, 0, 0}, 2, "draw_form_red"));

    // Face 2 looks at the camera; the merged draw must split around it.
    CO3duPrimitive changed;
    s.modeller->GetPrimitive(pos, changed, 2);
    ASSERT_EQ(changed.sets.GetSize(), 6);
    changed.sets[2].material = make_material({0, 0, 0, 1}, {0, 1, 0, 1});
    s.modeller->ChangePrimitive(pos, changed, 2);
    EXPECT_TRUE(pixel_near(s.render(), kN / 2, kN / 2, {0, 51, 0}, 2, "draw_form_green"));

    CO3duPrimitive back;
    s.modeller->GetPrimitive(pos, back, 1 | 2 | 4 | 8);
    ASSERT_EQ(back.sets.GetSize(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(back.sets[i].type, box.sets[i].type);
        ASSERT_EQ(back.sets[i].vertices.GetSize(), box.sets[i].vertices.GetSize());
        EXPECT_EQ(back.sets[i].vertices[3].position.x, box.sets[i].vertices[3].position.x);
        EXPECT_EQ(back.sets[i].material.ambient.g, i == 2 ? 1.0f : 0.0f) << "set " << i;
    }

    // Both picks find the box in front, at the depth of its front face.
    HDC hdc = s.dc.get();
    _O3duSelect hits[2] = {};
    ASSERT_EQ(s.modeller->HitTest(hdc, kN / 2, kN / 2, hits, 1), 1);
    EXPECT_EQ(hits[0].position, pos);
    ASSERT_EQ(s.modeller->HitTest(hdc, kN / 2, kN / 2, hits, 2), 1);
    EXPECT_EQ(hits[0].position, pos);
    EXPECT_GT(hits[0].depth, 0.0);
    EXPECT_LT(hits[0].depth, 1.0);
    EXPECT_EQ(s.modeller->HitTest(hdc, 1, 1, hits, 1), 0);
}

}  // namespace
}  // namespace kz::test
