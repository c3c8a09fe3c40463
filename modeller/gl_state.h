// The fixed-function state the modeller's drawing passes answer for, read back from the current context, and a
// hook that lets a test read it as each pass begins and ends.
#pragma once
#include <array>
#include <string>

struct O3duGLState {
    // Switches: lighting, depth test, blend, cull face, stencil test, 2D texture, clip plane 0, normalize, colour
    // material, scissor test, the three smoothings and both texture generations.
    std::array<bool, 15> enabled{};
    // Client arrays: vertex, normal, colour, texture coordinate.
    std::array<bool, 4> arrays{};
    std::array<bool, 4> color_mask{};
    bool depth_mask = false;
    int depth_func = 0, blend_src = 0, blend_dst = 0, cull_face_mode = 0, front_face = 0, shade_model = 0;
    int matrix_mode = 0, render_mode = 0, light_model_two_side = 0;
    std::array<int, 3> stencil_func{};  // function, reference, value mask
    std::array<int, 3> stencil_op{};    // fail, depth fail, pass
    int stencil_writemask = 0;
    std::array<int, 2> polygon_mode{};  // front, back
    float line_width = 0.0f, point_size = 0.0f;
    std::array<int, 3> stack_depth{};  // modelview, projection, texture
    std::array<int, 4> viewport{};

    bool operator==(const O3duGLState&) const = default;
};

// The state of the context current on this thread.
O3duGLState read_gl_state();
// The fields in which two states differ, named, for a test's message; empty when they agree.
std::string gl_state_differences(const O3duGLState& expected, const O3duGLState& actual);

// Puts back, when it goes, the pieces of state a pass changes on its way but whose end its drawing does not fix,
// so a pass leaves them as it found them.
class O3duKeptState {
public:
    enum : unsigned { cull = 1, depth_test = 2, stencil = 4, line_width = 8, texture = 16 };
    explicit O3duKeptState(unsigned what);
    ~O3duKeptState();
    O3duKeptState(const O3duKeptState&) = delete;
    O3duKeptState& operator=(const O3duKeptState&) = delete;

private:
    unsigned what_;
    bool cull_face_ = false, depth_test_ = false, texture_ = false;
    int cull_face_mode_ = 0;
    std::array<int, 3> stencil_func_{}, stencil_op_{};
    float line_width_ = 1.0f, point_size_ = 1.0f;
};

enum class O3duPass { frame, opaque, translucent, shadow, section_caps, window_shape, pick };

// Test hook: called with the modeller's context current as each pass begins (end false) and ends (end true).
using O3duPassObserver = void (*)(O3duPass pass, bool end, void* data);
void set_pass_observer(O3duPassObserver observer, void* data);

// Tells the observer, if there is one, that a pass begins now and ends with this object.
class O3duPassScope {
public:
    explicit O3duPassScope(O3duPass pass);
    ~O3duPassScope();
    O3duPassScope(const O3duPassScope&) = delete;
    O3duPassScope& operator=(const O3duPassScope&) = delete;

private:
    O3duPass pass_;
};
