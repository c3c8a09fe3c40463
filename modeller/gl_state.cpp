// Reading the fixed-function state the drawing passes answer for, and the pass observer tests hook in.
#include "modeller/gl_state.h"

#include <GL/gl.h>

#include <sstream>

namespace {

O3duPassObserver g_observer = nullptr;
void* g_observer_data = nullptr;

constexpr GLenum kSwitches[15] = {GL_LIGHTING,       GL_DEPTH_TEST,    GL_BLEND,          GL_CULL_FACE,
                                  GL_STENCIL_TEST,   GL_TEXTURE_2D,    GL_CLIP_PLANE0,    GL_NORMALIZE,
                                  GL_COLOR_MATERIAL, GL_SCISSOR_TEST,  GL_POLYGON_SMOOTH, GL_LINE_SMOOTH,
                                  GL_POINT_SMOOTH,   GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T};
constexpr GLenum kArrays[4] = {GL_VERTEX_ARRAY, GL_NORMAL_ARRAY, GL_COLOR_ARRAY, GL_TEXTURE_COORD_ARRAY};

int get_int(GLenum name) {
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

template <class T, std::size_t N>
void compare(std::ostringstream& out, const char* name, const std::array<T, N>& want, const std::array<T, N>& got) {
    for (std::size_t i = 0; i < N; ++i)
        if (want[i] != got[i]) out << ' ' << name << '[' << i << "] " << want[i] << "->" << got[i];
}

template <class T>
void compare(std::ostringstream& out, const char* name, const T& want, const T& got) {
    if (want != got) out << ' ' << name << ' ' << want << "->" << got;
}

}  // namespace

O3duGLState read_gl_state() {
    O3duGLState s;
    for (std::size_t i = 0; i < s.enabled.size(); ++i) s.enabled[i] = glIsEnabled(kSwitches[i]) == GL_TRUE;
    for (std::size_t i = 0; i < s.arrays.size(); ++i) s.arrays[i] = glIsEnabled(kArrays[i]) == GL_TRUE;
    GLboolean mask[4] = {};
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
    for (int i = 0; i < 4; ++i) s.color_mask[std::size_t(i)] = mask[i] == GL_TRUE;
    GLboolean depth_mask = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depth_mask);
    s.depth_mask = depth_mask == GL_TRUE;
    s.depth_func = get_int(GL_DEPTH_FUNC);
    s.blend_src = get_int(GL_BLEND_SRC);
    s.blend_dst = get_int(GL_BLEND_DST);
    s.cull_face_mode = get_int(GL_CULL_FACE_MODE);
    s.front_face = get_int(GL_FRONT_FACE);
    s.shade_model = get_int(GL_SHADE_MODEL);
    s.matrix_mode = get_int(GL_MATRIX_MODE);
    s.render_mode = get_int(GL_RENDER_MODE);
    s.light_model_two_side = get_int(GL_LIGHT_MODEL_TWO_SIDE);
    s.stencil_func = {get_int(GL_STENCIL_FUNC), get_int(GL_STENCIL_REF), get_int(GL_STENCIL_VALUE_MASK)};
    s.stencil_op = {get_int(GL_STENCIL_FAIL), get_int(GL_STENCIL_PASS_DEPTH_FAIL), get_int(GL_STENCIL_PASS_DEPTH_PASS)};
    s.stencil_writemask = get_int(GL_STENCIL_WRITEMASK);
    GLint polygon_mode[2] = {};
    glGetIntegerv(GL_POLYGON_MODE, polygon_mode);
    s.polygon_mode = {polygon_mode[0], polygon_mode[1]};
    glGetFloatv(GL_LINE_WIDTH, &s.line_width);
    glGetFloatv(GL_POINT_SIZE, &s.point_size);
    s.stack_depth = {get_int(GL_MODELVIEW_STACK_DEPTH), get_int(GL_PROJECTION_STACK_DEPTH),
                     get_int(GL_TEXTURE_STACK_DEPTH)};
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    s.viewport = {viewport[0], viewport[1], viewport[2], viewport[3]};
    return s;
}

std::string gl_state_differences(const O3duGLState& want, const O3duGLState& got) {
    std::ostringstream out;
    compare(out, "enabled", want.enabled, got.enabled);
    compare(out, "arrays", want.arrays, got.arrays);
    compare(out, "color_mask", want.color_mask, got.color_mask);
    compare(out, "depth_mask", want.depth_mask, got.depth_mask);
    compare(out, "depth_func", want.depth_func, got.depth_func);
    compare(out, "blend_src", want.blend_src, got.blend_src);
    compare(out, "blend_dst", want.blend_dst, got.blend_dst);
    compare(out, "cull_face_mode", want.cull_face_mode, got.cull_face_mode);
    compare(out, "front_face", want.front_face, got.front_face);
    compare(out, "shade_model", want.shade_model, got.shade_model);
    compare(out, "matrix_mode", want.matrix_mode, got.matrix_mode);
    compare(out, "render_mode", want.render_mode, got.render_mode);
    compare(out, "light_model_two_side", want.light_model_two_side, got.light_model_two_side);
    compare(out, "stencil_func", want.stencil_func, got.stencil_func);
    compare(out, "stencil_op", want.stencil_op, got.stencil_op);
    compare(out, "stencil_writemask", want.stencil_writemask, got.stencil_writemask);
    compare(out, "polygon_mode", want.polygon_mode, got.polygon_mode);
    compare(out, "line_width", want.line_width, got.line_width);
    compare(out, "point_size", want.point_size, got.point_size);
    compare(out, "stack_depth", want.stack_depth, got.stack_depth);
    compare(out, "viewport", want.viewport, got.viewport);
    return out.str();
}

O3duKeptState::O3duKeptState(unsigned what) : what_(what) {
    if (what_ & cull) {
        cull_face_ = glIsEnabled(GL_CULL_FACE) == GL_TRUE;
        cull_face_mode_ = get_int(GL_CULL_FACE_MODE);
    }
    if (what_ & depth_test) depth_test_ = glIsEnabled(GL_DEPTH_TEST) == GL_TRUE;
    if (what_ & texture) texture_ = glIsEnabled(GL_TEXTURE_2D) == GL_TRUE;
    if (what_ & stencil) {
        stencil_func_ = {get_int(GL_STENCIL_FUNC), get_int(GL_STENCIL_REF), get_int(GL_STENCIL_VALUE_MASK)};
        stencil_op_ = {get_int(GL_STENCIL_FAIL), get_int(GL_STENCIL_PASS_DEPTH_FAIL),
                       get_int(GL_STENCIL_PASS_DEPTH_PASS)};
    }
    if (what_ & line_width) {
        glGetFloatv(GL_LINE_WIDTH, &line_width_);
        glGetFloatv(GL_POINT_SIZE, &point_size_);
    }
}

O3duKeptState::~O3duKeptState() {
    const auto set = [](GLenum cap, bool on) { on ? glEnable(cap) : glDisable(cap); };
    if (what_ & cull) {
        set(GL_CULL_FACE, cull_face_);
        glCullFace(static_cast<GLenum>(cull_face_mode_));
    }
    if (what_ & depth_test) set(GL_DEPTH_TEST, depth_test_);
    if (what_ & texture) set(GL_TEXTURE_2D, texture_);
    if (what_ & stencil) {
        glStencilFunc(static_cast<GLenum>(stencil_func_[0]), stencil_func_[1], static_cast<GLuint>(stencil_func_[2]));
        glStencilOp(static_cast<GLenum>(stencil_op_[0]), static_cast<GLenum>(stencil_op_[1]),
                    static_cast<GLenum>(stencil_op_[2]));
    }
    if (what_ & line_width) {
        glLineWidth(line_width_);
        glPointSize(point_size_);
    }
}

void set_pass_observer(O3duPassObserver observer, void* data) {
    g_observer = observer;
    g_observer_data = data;
}

O3duPassScope::O3duPassScope(O3duPass pass) : pass_(pass) {
    if (g_observer) g_observer(pass_, false, g_observer_data);
}

O3duPassScope::~O3duPassScope() {
    if (g_observer) g_observer(pass_, true, g_observer_data);
}
