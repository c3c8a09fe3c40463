// The OpenGL modeller's shape list and life cycle: node blocks of ten, handles replaced when a shape moves to the
// head or tail, stale and foreign handles refused, what works before Initialize, and a failed Initialize that
// must keep the caller's shapes.
#include <gtest/gtest.h>

#include <vector>

#include "modeller/gl_modelar.h"
#include "tests/modeller/render_support.h"

namespace kz::test {
namespace {

std::vector<_OfuPosition*> order(CO3duGLModelar& m) {
    CO3duPosList list;
    m.GetPosArray(list);
    std::vector<_OfuPosition*> out;
    for (int i = 0; i < list.GetSize(); ++i) out.push_back(list[i]);
    return out;
}

_OfuPosition* add_tagged(CO3duGLModelar& m, unsigned layer) {
    CO3duPrimitive p;
    p.layer = layer;
    return m.AddPrimitive(p);
}

TEST(ShapeList, NodesComeInBlocksOfTenAndGoWithTheLastShape) {
    HeadlessScene s;
    CO3duGLModelar& m = *s.modeller;
    std::vector<_OfuPosition*> shapes;
    const struct { int count, blocks; } steps[] = {{1, 1}, {10, 1}, {11, 2}, {20, 2}, {21, 3}};
    for (const auto& step : steps) {
        while (int(shapes.size()) < step.count) shapes.push_back(add_tagged(m, unsigned(shapes.size())));
        EXPECT_EQ(m.structure().block_count(), step.blocks) << step.count << " shapes";
    }
    // Removing all but one keeps the blocks; the last one frees them, and the next add takes a fresh block.
    for (std::size_t i = 0; i + 1 < shapes.size(); ++i) m.RemoveShapeAt(shapes[i]);
    EXPECT_EQ(m.structure().block_count(), 3);
    m.RemoveShapeAt(shapes.back());
    EXPECT_EQ(shapes.back(), nullptr);
    EXPECT_EQ(m.structure().block_count(), 0);
    EXPECT_TRUE(order(m).empty());
    add_tagged(m, 1);
    EXPECT_EQ(m.structure().block_count(), 1);
}

TEST(ShapeList, MovingToHeadOrTailHandsOutANewHandle) {
    HeadlessScene s;
    CO3duGLModelar& m = *s.modeller;
    _OfuPosition* a = add_tagged(m, 1);
    _OfuPosition* b = add_tagged(m, 2);
    _OfuPosition* c = add_tagged(m, 3);
    const struct {
        bool to_tail;
        int which;  // 0 a, 1 b, 2 c
        std::vector<unsigned> layers;
    } steps[] = {{true, 0, {2, 3, 1}}, {false, 2, {3, 2, 1}}, {true, 1, {3, 1, 2}}, {false, 1, {2, 3, 1}}};
    _OfuPosition* handles[3] = {a, b, c};
    for (const auto& step : steps) {
        _OfuPosition* old = handles[step.which];
        if (step.to_tail)
            m.MoveDepthToTail(handles[step.which]);
        else
            m.MoveDepthToHead(handles[step.which]);
        EXPECT_NE(handles[step.which], old);
        EXPECT_EQ(m.GetLayer(old), 0u);  // the old handle is no shape any more
        std::vector<unsigned> layers;
        for (_OfuPosition* pos : order(m)) layers.push_back(m.GetLayer(pos));
        EXPECT_EQ(layers, step.layers);
    }
    // The only shape moved to the tail still gets a different handle.
    HeadlessScene single;
    _OfuPosition* only = add_tagged(*single.modeller, 9);
    _OfuPosition* old = only;
    single.modeller->MoveDepthToTail(only);
    EXPECT_NE(only, old);
    EXPECT_EQ(single.modeller->GetLayer(only), 9u);
    EXPECT_EQ(single.modeller->GetDrawMode(old), -1);
}

TEST(ShapeList, ForeignAndStaleHandlesAreRefused) {
    HeadlessScene s, other;
    CO3duGLModelar& m = *s.modeller;
    _OfuPosition* kept = add_tagged(m, 4);
    _OfuPosition* gone = add_tagged(m, 5);
    _OfuPosition* stale = gone;
    m.RemoveShapeAt(gone);
    _OfuPosition* foreign = add_tagged(*other.modeller, 6);
    for (_OfuPosition* bad : {stale, foreign, static_cast<_OfuPosition*>(nullptr)}) {
        OfuMatrix4x4 matrix = identity_matrix();
        matrix[3][0] = 5;
        m.SetMatrix(bad, matrix);
        m.SetLayer(bad, 77);
        m.SetProp1(bad, 1, 1);
        int value = -1;
        EXPECT_EQ(m.GetProp1(bad, 1, value), 0);
        EXPECT_EQ(value, 0);
        EXPECT_EQ(m.GetLayer(bad), 0u);
        EXPECT_EQ(m.GetDrawMode(bad), -1);
        CO3duPrimitive p;
        EXPECT_EQ(m.ChangePrimitive(bad, p, O3DU_PRIM_ALL), bad);
        m.MoveShape(bad, matrix);
        _OfuPosition* copy = bad;
        m.MoveDepthToTail(copy);
        EXPECT_EQ(copy, bad);
        m.RemoveShapeAt(copy);
    }
    EXPECT_EQ(other.modeller->GetLayer(foreign), 6u);
    EXPECT_EQ(order(m), std::vector<_OfuPosition*>{kept});
}

TEST(ShapeList, BeforeInitializeNothingIsKeptAndDefaultsAnswer) {
    CO3duGLModelar m;
    CO3duPrimitive p;
    EXPECT_EQ(m.AddPrimitive(p), nullptr);
    EXPECT_EQ(m.GetShadowAccuracy(), 1);
    EXPECT_EQ(m.GetCullMode(), 0);
    EXPECT_EQ(m.GetPersMode(), -1);
    EXPECT_EQ(m.GetCameraMode(), 0);
    const OfuColorValue shadow = m.GetShadowColor();
    EXPECT_EQ(shadow.r, 0.5f);
    EXPECT_EQ(shadow.a, 1.0f);
    HDC none = nullptr;
    EXPECT_EQ(m.Initialize(none), 0);
    m.DrawModel(none);
}

TEST(ShapeList, FailedInitializeKeepsTheShapes) {
    HeadlessScene s;
    CO3duGLModelar& m = *s.modeller;
    _OfuPosition* a = add_tagged(m, 1);
    _OfuPosition* b = add_tagged(m, 2);
    _O3duCamera moved;
    m.GetCamera(moved);
    moved.eye = OfuVector3(5, 5, 5);
    m.SetCamera(moved);
    HDC good = s.dc.get();
    refuse_gl_contexts_for_testing(true);
    const int failed = m.Initialize(good);
    refuse_gl_contexts_for_testing(false);
    ASSERT_EQ(failed, 0);
    EXPECT_EQ(m.scene(), nullptr);
    EXPECT_EQ(m.AddPrimitive(*std::make_unique<CO3duPrimitive>()), nullptr);
    ASSERT_EQ(m.Initialize(good), 1);
    EXPECT_EQ(order(m), (std::vector<_OfuPosition*>{a, b}));
    _O3duCamera camera;
    m.GetCamera(camera);
    EXPECT_EQ(camera.eye.y, -1.0);  // the scene started again from its defaults
    CO3duPrimitive p;
    EXPECT_NE(m.AddPrimitive(p), nullptr);
    m.Finalize();
    EXPECT_TRUE(order(m).empty());
}

}  // namespace
}  // namespace kz::test
