// Every drawing pass leaves the fixed-function state as its end prescribes and everything else as it found it:
// the state is read as each pass begins and ends, in frames with culling off and shadows, with a section and caps,
// with a screen caption, with a batch of an item's shapes, and in both picks.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <map>
#include <vector>

#include "modeller/gl_draw_cache.h"
#include "modeller/gl_state.h"
#include "tests/modeller/render_support.h"

namespace kz::test {
namespace {

struct Watch {
    std::vector<O3duGLState> begun;
    std::map<O3duPass, int> seen;
    std::vector<std::string> faults;
    int cull_mode = 0;
    bool section = false;
};

// What a pass leaves, given what it found.
O3duGLState prescribed(O3duPass pass, O3duGLState s, const Watch& w) {
    enum {
        lighting,
        depth_test,
        blend,
        cull_face,
        stencil_test,
        texture_2d,
        clip_plane,
        normalize,
        color_material,
        scissor,
        polygon_smooth,
        line_smooth,
        point_smooth,
        gen_s,
        gen_t
    };
    const auto drawn = [&] {
        s.color_mask = {true, true, true, true};
        s.depth_mask = true;
        s.polygon_mode = {GL_FILL, GL_FILL};
    };
    const auto culling = [&](bool section_caps) {
        s.enabled[cull_face] = w.cull_mode == 0 || section_caps;
        if (w.cull_mode == 0 || section_caps) s.cull_face_mode = section_caps ? GL_FRONT : GL_BACK;
    };
    switch (pass) {
    case O3duPass::opaque: drawn(); break;
    case O3duPass::translucent:
        s.depth_mask = true;
        s.polygon_mode = {GL_FILL, GL_FILL};
        break;
    case O3duPass::window_shape:  // the caption below: its one set leaves its line width
        s.polygon_mode = {GL_FILL, GL_FILL};
        s.line_width = s.point_size = 3.0f;
        break;
    case O3duPass::shadow:
        drawn();
        s.enabled[stencil_test] = false;
        s.enabled[lighting] = true;
        s.front_face = GL_CCW;
        break;
    case O3duPass::section_caps:
        drawn();
        s.enabled[lighting] = true;
        s.arrays[0] = false;
        break;
    case O3duPass::frame:
        drawn();
        culling(w.section);
        if (w.cull_mode) s.light_model_two_side = 1;
        s.enabled[clip_plane] = false;
        s.enabled[texture_2d] = false;
        break;
    case O3duPass::pick:
        drawn();
        culling(false);
        for (int e : {lighting, depth_test}) s.enabled[std::size_t(e)] = true;
        for (int e : {stencil_test, clip_plane, scissor, polygon_smooth, line_smooth, point_smooth})
            s.enabled[std::size_t(e)] = false;
        s.arrays[0] = false;
        s.render_mode = GL_RENDER;
        s.matrix_mode = GL_MODELVIEW;
        break;
    }
    return s;
}

void observe(O3duPass pass, bool end, void* data) {
    auto& w = *static_cast<Watch*>(data);
    if (!end) {
        w.begun.push_back(read_gl_state());
        return;
    }
    ++w.seen[pass];
    const std::string diff = gl_state_differences(prescribed(pass, w.begun.back(), w), read_gl_state());
    w.begun.pop_back();
    if (!diff.empty()) w.faults.push_back("pass " + std::to_string(int(pass)) + ":" + diff);
}

CO3duPrimitive caption() {
    CO3duPrimitive p;
    p.kind = 1;
    CO3duTrianglePolys lines;
    lines.type = O3DU_SET_LINE_LIST;
    lines.line_width = 3.0f;
    lines.material = make_material({1, 1, 1, 1}, {1, 1, 0, 1});
    lines.vertices.SetSize(2);
    lines.vertices[0].position = OfuVector3(5, 5, 1);
    lines.vertices[1].position = OfuVector3(40, 5, 1);
    p.sets.Add(lines);
    return p;
}

TEST(GlState, EveryPassLeavesWhatItsEndPrescribesAndNothingElse) {
    HeadlessScene s;
    CO3duGLModelar& m = *s.modeller;
    CO3duPrimitive solid = make_box({-10, -10, -10}, {10, 10, 10}, make_material({1, 0, 0, 1}, {1, 0, 0, 1}));
    CO3duPrimitive glass = make_box({-30, -20, -5}, {-15, -15, 5}, make_material({0, 0, 1, 0.5f}, {0, 0, 1, 0.5f}));
    CO3duPrimitive label = caption();
    CO3duPrimitive beside = make_box({12, -5, -5}, {20, 5, 5}, make_material({0, 1, 0, 1}, {0, 0.5f, 0, 1}));
    for (CO3duPrimitive* p : {&glass, &label, &solid, &beside}) {
        _OfuPosition* pos = m.AddPrimitive(*p);
        ASSERT_NE(pos, nullptr);
        // The two opaque boxes, last in the list, are one item: from the second frame on they are one batch.
        if (p == &solid || p == &beside) m.SetProp3(pos, kO3duItemProperty, 1);
    }
    OfuLight sun = make_light(OFU_LIGHT_DIRECTIONAL, {1, 1, 1, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, {0.3, 0.2, -1});
    sun.on = 1;

    Watch w;
    set_pass_observer(observe, &w);
    // Two-sided, the boxes drawn as their batch from the second frame on; then with shadows, which draw them one by
    // one: culling is off before the shadow pass counts with it on.
    w.cull_mode = 1;
    m.SetCullMode(1);
    s.render();
    s.render();
    ASSERT_EQ(m.draw_cache().batch_count(), 1u);
    m.SetShadowLight(sun);
    s.render();
    // One-sided with a section: the caps are drawn with front faces culled.
    w.cull_mode = 0;
    w.section = true;
    m.SetCullMode(0);
    m.SetCliping(1, OfuPlane{0, 0, -1, 0}, {0, 1, 0, 1});
    s.render();
    s.render();
    _O3duSelect hits[4];
    HDC hdc = s.dc.get();
    m.HitTest(hdc, HeadlessScene::kSize / 2, HeadlessScene::kSize / 2, hits, 1);
    m.HitTest(hdc, HeadlessScene::kSize / 2, HeadlessScene::kSize / 2, hits, 4);
    set_pass_observer(nullptr, nullptr);

    for (O3duPass pass : {O3duPass::frame, O3duPass::opaque, O3duPass::translucent, O3duPass::shadow,
                          O3duPass::section_caps, O3duPass::window_shape, O3duPass::pick})
        EXPECT_GE(w.seen[pass], 1) << "pass " << int(pass) << " never ran";
    EXPECT_EQ(w.faults, std::vector<std::string>{});
}

}  // namespace
}  // namespace kz::test
