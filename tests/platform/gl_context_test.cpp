// Offscreen OpenGL through our contexts: a lit triangle against colours worked out by hand, on each surface.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

#include "platform/crt/global_memory.h"
#include "platform/device_context.h"
#include "platform/gdi.h"
#include "platform/gl_context.h"
#include "platform/window.h"
#include "support/all_near.h"
#include "tests/platform/ui_test_support.h"

namespace kz::platform {
namespace {

// Material (1.0, 0.6, 0.2), white light along (0, 0.8, 0.6) onto the normal (0, 0, 1): n.l = 0.6, no ambient or
// specular, so the face is (0.6, 0.36, 0.12) = bytes (153, 91.8, 30.6) -> R 153, G 92, B 31.
constexpr int kLitR = 153, kLitG = 92, kLitB = 31;

struct Bgr {
    int b, g, r;
};

void draw_lit_triangle(int w, int h, float clear_r = 0.0f, float clear_g = 0.0f, float clear_b = 1.0f) {
    glViewport(0, 0, w, h);
    glClearColor(clear_r, clear_g, clear_b, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, w, 0, h, -1, 1);  // vertices in window pixels, y up
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const GLfloat zero[] = {0, 0, 0, 1}, white[] = {1, 1, 1, 1}, dir[] = {0.0f, 0.8f, 0.6f, 0.0f};
    const GLfloat diffuse[] = {1.0f, 0.6f, 0.2f, 1.0f};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, zero);
    glLightfv(GL_LIGHT0, GL_AMBIENT, zero);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_SPECULAR, zero);
    glLightfv(GL_LIGHT0, GL_POSITION, dir);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, zero);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, zero);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, zero);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_DEPTH_TEST);
    glBegin(GL_TRIANGLES);
    glNormal3f(0, 0, 1);
    glVertex2f(2, 2);
    glVertex2f(w - 2.0f, 2);
    glVertex2f(2, h - 2.0f);
    glEnd();
    glFlush();
}

// Whether the centre of GL pixel (x, y) lies inside the triangle, with a margin so that pixels on an edge (where
// the rasteriser's tie rule decides) are left out: 1 inside, 0 outside, -1 too close to tell.
int triangle_side(int w, int h, int x, int y) {
    const double cx = x + 0.5, cy = y + 0.5;
    const double a = cx - 2, b = cy - 2;
    // hypotenuse from (w-2, 2) to (2, h-2): (cx-2)/(w-4) + (cy-2)/(h-4) = 1
    const double c = 1.0 - (a / (w - 4.0) + b / (h - 4.0));
    const double margin = 0.75;
    const double dist_c = c * (w - 4.0) * (h - 4.0) / std::hypot(w - 4.0, h - 4.0);
    if (a > margin && b > margin && dist_c > margin) return 1;
    if (a < -margin || b < -margin || dist_c < -margin) return 0;
    return -1;
}

// Checks every pixel; `at(x, y)` gives GL pixel (x, y) (y up).
template <typename At>
void expect_triangle(int w, int h, At at, Bgr background) {
    int inside = 0, outside = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int side = triangle_side(w, h, x, y);
            if (side < 0) continue;
            const Bgr p = at(x, y);
            const Bgr want = side ? Bgr{kLitB, kLitG, kLitR} : background;
            ASSERT_TRUE(kz::test::all_near({p.b, p.g, p.r}, {want.b, want.g, want.r}, 1)) << "pixel " << x << "," << y;
            (side ? inside : outside)++;
        }
    EXPECT_GT(inside, w * h / 6);
    EXPECT_GT(outside, w * h / 6);
}

// GL pixel (x, y) of top-down BGRA rows: GL row y is row h-1-y.
auto top_down(const std::uint8_t* bytes, int h, int stride) {
    return [=](int x, int y) {
        const std::uint8_t* p = bytes + (h - 1 - y) * stride + x * 4;
        return Bgr{p[0], p[1], p[2]};
    };
}

PixelFormatDescriptor bitmap_format() {
    PixelFormatDescriptor p;
    p.flags = kPfdDrawToBitmap | kPfdSupportOpenGL;
    p.color_bits = 24;
    p.depth_bits = 32;
    p.stencil_bits = 1;
    return p;
}

bool setup(DeviceContext& dc, PixelFormatDescriptor* obtained = nullptr) {
    PixelFormatDescriptor want = bitmap_format();
    const int format = choose_pixel_format(dc, want);
    if (!format || !set_pixel_format(dc, format, want)) return false;
    PixelFormatDescriptor got;
    if (!describe_pixel_format(dc, format, &got)) return false;
    if (obtained) *obtained = got;
    return true;
}

struct DibBlock {
    crt::GlobalHandle h;
    explicit DibBlock(int w, int hgt) : h(allocate_packed_dib(w, hgt, 24)) {}
    ~DibBlock() { crt::global_free(h); }
    std::uint8_t* bits() { return static_cast<std::uint8_t*>(crt::global_lock(h)) + 40; }
    void unlock() { crt::global_unlock(h); }
};

TEST(GlContext, PixelFormatReportsWhatWasObtained) {
    auto dc = DeviceContext::create_window(8, 8);
    PixelFormatDescriptor got;
    ASSERT_TRUE(setup(*dc, &got));
    EXPECT_EQ(got.size, 40);
    // Asked for 32 depth bits: Mesa has 24 with stencil, and we say so.
    EXPECT_EQ(std::tuple(got.depth_bits, got.stencil_bits, got.red_bits, got.flags),
              std::tuple(24, 8, 8, unsigned(kPfdDrawToWindow | kPfdSupportOpenGL | kPfdDoubleBuffer)));
    PixelFormatDescriptor palette;
    palette.pixel_type = 1;
    EXPECT_EQ(choose_pixel_format(*dc, palette), 0);
    auto no_format = DeviceContext::create_window(8, 8);
    EXPECT_EQ(GlContext::create(*no_format), nullptr);  // no pixel format set: no context, as on Windows
}

TEST(GlContext, LitTriangleIntoDib24) {
    const int w = 37, h = 29;  // odd width: rows carry padding (stride 112 for 111 bytes)
    DibBlock dib(w, h);
    auto dc = DeviceContext::create_memory_over_dib(dib.h);
    ASSERT_TRUE(dc);
    ASSERT_TRUE(setup(*dc));
    auto context = GlContext::create(*dc);
    ASSERT_TRUE(context);
    ASSERT_TRUE(make_current(dc.get(), context.get()));
    EXPECT_EQ(current_device_context(), dc.get());
    draw_lit_triangle(w, h);
    ASSERT_TRUE(make_current(nullptr, nullptr));  // release copies the frame into the bits
    EXPECT_EQ(current_context(), nullptr);
    std::uint8_t* bits = dib.bits();
    const int stride = dib_stride(w, 24);
    ASSERT_EQ(stride, 112);
    // Bottom-up rows: GL row y is DIB row y from the start of the bits.
    expect_triangle(
        w, h,
        [&](int x, int y) {
            const std::uint8_t* p = bits + y * stride + x * 3;
            return Bgr{p[0], p[1], p[2]};
        },
        Bgr{255, 0, 0});
    dib.unlock();
}

TEST(GlContext, LitTriangleIntoWindowBackingAndPresent) {
    const int w = 40, h = 30;
    kz::test::register_test_classes();
    WindowHandle window = create_window("KzTestPlain", "x", WS_VISIBLE, 0, 0, w, h, desktop_window());
    auto dc = DeviceContext::create_window(w, h);
    int presented = 0;
    dc->set_present_callback([&](DeviceContext& d) {
        EXPECT_EQ(&d, dc.get());
        ++presented;
        EXPECT_TRUE(present_window_frame(window, d));
    });
    ASSERT_TRUE(setup(*dc));
    auto context = GlContext::create(*dc);
    ASSERT_TRUE(make_current(dc.get(), context.get()));
    std::vector<std::uint8_t> shown;
    int shown_w = 0, shown_h = 0;
    for (float red : {0.0f, 1.0f}) {  // the second frame must reach the window as well, over the first
        draw_lit_triangle(w, h, red, 0.0f, 1.0f);
        ASSERT_TRUE(swap_buffers(*dc));
        ASSERT_TRUE(window_image(window, &shown, &shown_w, &shown_h));
        ASSERT_EQ(std::tuple(shown_w, shown_h), std::tuple(w, h));
        // Top-down BGRA on the window and in the backing image.
        expect_triangle(w, h, top_down(shown.data(), h, w * 4), Bgr{255, 0, red > 0 ? 255 : 0});
        ASSERT_EQ(dc->backing_stride(), w * 4);
        EXPECT_TRUE(std::equal(shown.begin(), shown.end(), dc->backing_bytes()));
    }
    EXPECT_EQ(presented, 2);
    make_current(nullptr, nullptr);
    EXPECT_FALSE(swap_buffers(*dc));  // nothing current: nothing to show
    dc->resize(20, 10);               // new pixels for the DC; the window keeps the last frame until the next one
    dc.reset();
    ASSERT_TRUE(window_image(window, &shown, &shown_w, &shown_h));
    EXPECT_EQ(shown_w, w);
    EXPECT_EQ(shown[(2 * w + w - 3) * 4 + 2], 255);  // top right, outside the triangle: the red background
    destroy_window(window);
}

TEST(GlContext, TwoContextsOnOneThreadKeepTheirOwnState) {
    const int w = 24, h = 20;
    auto dc1 = DeviceContext::create_window(w, h);
    auto dc2 = DeviceContext::create_window(w, h);
    ASSERT_TRUE(setup(*dc1));
    ASSERT_TRUE(setup(*dc2));
    auto c1 = GlContext::create(*dc1);
    auto c2 = GlContext::create(*dc2);
    ASSERT_TRUE(c1 && c2);

    ASSERT_TRUE(make_current(dc1.get(), c1.get()));
    glClearColor(1, 0, 0, 1);  // state of context 1: red clear
    glClear(GL_COLOR_BUFFER_BIT);
    swap_buffers(*dc1);

    ASSERT_TRUE(make_current(dc2.get(), c2.get()));
    draw_lit_triangle(w, h, 0, 1, 0);  // context 2: green clear, lighting on
    swap_buffers(*dc2);

    ASSERT_TRUE(make_current(dc1.get(), c1.get()));
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(std::tuple(clear[0], clear[1]), std::tuple(1.0f, 0.0f));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    glClear(GL_COLOR_BUFFER_BIT);
    swap_buffers(*dc1);
    make_current(nullptr, nullptr);

    for (int i = 0; i < w * h; ++i)  // dc1 all red, untouched by context 2's triangle
        ASSERT_EQ(std::tuple(dc1->backing_bytes()[i * 4 + 2], dc1->backing_bytes()[i * 4 + 1]), std::tuple(255, 0));
    expect_triangle(w, h, top_down(dc2->backing_bytes(), h, w * 4), Bgr{0, 255, 0});
    c2.reset();  // destroying a context that is not current leaves the current one alone
    EXPECT_EQ(current_context(), nullptr);
}

TEST(GlContext, ResizedWindowKeepsRenderingRight) {
    auto dc = DeviceContext::create_window(20, 16);
    ASSERT_TRUE(setup(*dc));
    auto context = GlContext::create(*dc);
    for (auto [w, h] : {std::pair{20, 16}, std::pair{64, 48}, std::pair{33, 51}}) {
        dc->resize(w, h);
        ASSERT_TRUE(make_current(dc.get(), context.get()));
        draw_lit_triangle(w, h);
        ASSERT_TRUE(swap_buffers(*dc));
        make_current(nullptr, nullptr);
        ASSERT_EQ(std::tuple(dc->backing_width(), dc->backing_height()), std::tuple(w, h));
        expect_triangle(w, h, top_down(dc->backing_bytes(), h, dc->backing_stride()), Bgr{255, 0, 0});
    }
}

TEST(GlContext, MemoryDcDrawsOverWhatGdiPutInTheBitmap) {
    const int w = 16, h = 16;
    DibBlock dib(w, h);
    auto dc = DeviceContext::create_memory_over_dib(dib.h);
    fill_rect(*dc, {0, 0, w, h}, Brush{false, rgb(10, 20, 30)});
    ASSERT_TRUE(setup(*dc));
    auto context = GlContext::create(*dc);
    ASSERT_TRUE(make_current(dc.get(), context.get()));
    glViewport(0, 0, w, h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, w, 0, h, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor3ub(200, 100, 50);
    glRecti(0, 0, 8, 16);  // left half only, no clear
    make_current(nullptr, nullptr);
    // Drawn on the left; on the right GDI's fill survived the GL pass.
    EXPECT_EQ(std::tuple(get_pixel(*dc, 2, 5), get_pixel(*dc, 12, 5)), std::tuple(rgb(200, 100, 50), rgb(10, 20, 30)));
}

}  // namespace
}  // namespace kz::platform
