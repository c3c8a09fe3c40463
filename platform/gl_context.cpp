// OpenGL contexts on Mesa's surfaceless EGL platform, standing in for WGL: one process-wide display, one RGBA8 /
// depth 24 / stencil 8 config, a compatibility-profile context per GlContext and a pbuffer per device context.
// Not here: on-screen surfaces, vsync, context sharing, multisampling, threads other than the caller's.
#include "platform/gl_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <cstring>
#include <mutex>
#include <string>

#ifndef GL_PACK_INVERT_MESA
#define GL_PACK_INVERT_MESA 0x8758
#endif

#include "platform/crt/c_numbers.h"
#include "platform/device_context_impl.h"
#include "platform/report.h"

namespace kz::platform {
namespace {

// EGL's latest error as its code in hex, for the line that says what failed.
std::string egl_error_text() {
    char text[16];
    kz::crt::c_snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(eglGetError()));
    return text;
}

struct Display {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLConfig config = nullptr;
    EGLint red = 0, green = 0, blue = 0, alpha = 0, depth = 0, stencil = 0;
    bool ok = false;
};

// Opened once and kept for the process: terminating EGL while another context may still exist is unsafe, and
// Mesa frees its state at exit anyway.
const Display& display() {
    static Display d;
    static std::once_flag once;
    std::call_once(once, [] {
        auto get_platform_display =
            reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
        if (!get_platform_display) return;
        d.display = get_platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        EGLint major = 0, minor = 0;
        if (d.display == EGL_NO_DISPLAY || !eglInitialize(d.display, &major, &minor)) {
            report_line("EGL surfaceless display unavailable (" + egl_error_text() + ")");
            return;
        }
        const EGLint wanted[] = {EGL_SURFACE_TYPE,
                                 EGL_PBUFFER_BIT,
                                 EGL_RENDERABLE_TYPE,
                                 EGL_OPENGL_BIT,
                                 EGL_RED_SIZE,
                                 8,
                                 EGL_GREEN_SIZE,
                                 8,
                                 EGL_BLUE_SIZE,
                                 8,
                                 EGL_DEPTH_SIZE,
                                 24,
                                 EGL_STENCIL_SIZE,
                                 8,
                                 EGL_NONE};
        EGLConfig configs[64];
        EGLint count = 0;
        if (!eglChooseConfig(d.display, wanted, configs, 64, &count) || count == 0) return;
        // Exactly 8 bits a channel (Mesa also offers 10-bit ones first); alpha preferred, as BGRA reads fastest.
        int best = -1, best_score = -1;
        for (int i = 0; i < count; ++i) {
            EGLint r, g, b, a;
            eglGetConfigAttrib(d.display, configs[i], EGL_RED_SIZE, &r);
            eglGetConfigAttrib(d.display, configs[i], EGL_GREEN_SIZE, &g);
            eglGetConfigAttrib(d.display, configs[i], EGL_BLUE_SIZE, &b);
            eglGetConfigAttrib(d.display, configs[i], EGL_ALPHA_SIZE, &a);
            if (r != 8 || g != 8 || b != 8) continue;
            const int score = a == 8 ? 2 : 1;
            if (score > best_score) best = i, best_score = score;
        }
        if (best < 0) return;
        d.config = configs[best];
        eglGetConfigAttrib(d.display, d.config, EGL_RED_SIZE, &d.red);
        eglGetConfigAttrib(d.display, d.config, EGL_GREEN_SIZE, &d.green);
        eglGetConfigAttrib(d.display, d.config, EGL_BLUE_SIZE, &d.blue);
        eglGetConfigAttrib(d.display, d.config, EGL_ALPHA_SIZE, &d.alpha);
        eglGetConfigAttrib(d.display, d.config, EGL_DEPTH_SIZE, &d.depth);
        eglGetConfigAttrib(d.display, d.config, EGL_STENCIL_SIZE, &d.stencil);
        d.ok = eglBindAPI(EGL_OPENGL_API) == EGL_TRUE;
    });
    return d;
}

thread_local DeviceContext* t_dc = nullptr;
thread_local GlContext* t_context = nullptr;

// Pixel-store state is saved and restored around our own transfers so the renderer's settings survive.
struct PackState {
    GLint alignment = 4, row_length = 0, skip_rows = 0, skip_pixels = 0;
    PackState() {
        glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
        glGetIntegerv(GL_PACK_ROW_LENGTH, &row_length);
        glGetIntegerv(GL_PACK_SKIP_ROWS, &skip_rows);
        glGetIntegerv(GL_PACK_SKIP_PIXELS, &skip_pixels);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        glPixelStorei(GL_PACK_SKIP_ROWS, 0);
        glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    }
    ~PackState() {
        glPixelStorei(GL_PACK_ALIGNMENT, alignment);
        glPixelStorei(GL_PACK_ROW_LENGTH, row_length);
        glPixelStorei(GL_PACK_SKIP_ROWS, skip_rows);
        glPixelStorei(GL_PACK_SKIP_PIXELS, skip_pixels);
    }
};

// Whether glReadPixels can hand rows over top row first (Mesa's pack-invert), so top-down surfaces are read in
// place too. Asked once: every context here comes from the same driver.
bool pack_invert_available() {
    static const bool available = [] {
        const auto* names = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
        return names && std::strstr(names, "GL_MESA_pack_invert") != nullptr;
    }();
    return available;
}

// The frame of the current target into the DC's pixels, read once, straight to where they stay: bottom-up DIB rows
// are what glReadPixels gives, top-down ones (a window's backing image, which its window shows as it is) come
// top row first through pack-invert. Only a driver without it needs the scratch rows and a flip.
void read_back(DeviceContext& dc) {
    DeviceContext::Impl& impl = *dc.impl();
    const SurfaceView view = impl.surface();
    if (!view || !impl.gl.surface) return;
    const int w = std::min(view.width, impl.gl.width);
    const int h = std::min(view.height, impl.gl.height);
    if (w <= 0 || h <= 0) return;
    PackState pack;
    const GLenum format = view.bits_per_pixel == 24 ? GL_BGR : GL_BGRA;
    // Rows of the surface's width, padded to 4 bytes as DIB rows are: a part of a frame lands in its place.
    glPixelStorei(GL_PACK_ROW_LENGTH, view.width);
    const bool packed_rows = view.stride == dib_stride(view.width, view.bits_per_pixel);
    if (packed_rows && view.bottom_up) {
        glReadPixels(0, 0, w, h, format, GL_UNSIGNED_BYTE, view.bits);
        return;
    }
    if (packed_rows && pack_invert_available()) {
        glPixelStorei(GL_PACK_INVERT_MESA, GL_TRUE);
        // GL row h-1, the top of what is read, is picture row view.height-h.
        glReadPixels(0, 0, w, h, format, GL_UNSIGNED_BYTE, view.row(view.height - h));
        glPixelStorei(GL_PACK_INVERT_MESA, GL_FALSE);
        return;
    }
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    const int bpp = view.bits_per_pixel / 8;
    const std::size_t row = static_cast<std::size_t>(dib_stride(w, view.bits_per_pixel));
    impl.gl.scratch.resize(row * h);
    glReadPixels(0, 0, w, h, format, GL_UNSIGNED_BYTE, impl.gl.scratch.data());
    for (int y = 0; y < h; ++y)  // GL row 0 is the bottom of the picture, picture row view.height-1
        std::memcpy(view.row(view.height - 1 - y), &impl.gl.scratch[row * y], static_cast<std::size_t>(w) * bpp);
}

// A new pbuffer starts as a copy of the memory DC's bitmap, as drawing on Windows goes on top of
// whatever the bitmap holds.
void upload_bitmap(DeviceContext& dc) {
    const SurfaceView view = dc.impl()->surface();
    if (!view || !view.bottom_up) return;
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_PIXEL_MODE_BIT | GL_CURRENT_BIT | GL_DEPTH_BUFFER_BIT);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    for (GLenum cap : {GL_DEPTH_TEST, GL_STENCIL_TEST, GL_BLEND, GL_ALPHA_TEST, GL_TEXTURE_2D, GL_FOG, GL_CLIP_PLANE0,
                       GL_COLOR_LOGIC_OP, GL_DITHER})
        glDisable(cap);
    glDepthMask(GL_FALSE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glPixelZoom(1.0f, 1.0f);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    using WindowPos2i = void (*)(GLint, GLint);
    static auto window_pos = reinterpret_cast<WindowPos2i>(gl_function("glWindowPos2i"));
    if (window_pos) {
        window_pos(0, 0);
        glDrawPixels(view.width, view.height, view.bits_per_pixel == 24 ? GL_BGR : GL_BGRA, GL_UNSIGNED_BYTE,
                     view.bits);
    }
    glPopClientAttrib();
    glPopAttrib();
}

// Makes sure the DC's pbuffer exists at the DC's current size; returns whether it was (re)made.
bool ensure_target(DeviceContext& dc, bool* fresh) {
    const Display& d = display();
    GlTarget& target = dc.impl()->gl;
    *fresh = false;
    const int w = std::max(dc.width(), 1), h = std::max(dc.height(), 1);
    if (target.surface && target.width == w && target.height == h) return true;
    destroy_gl_target(target);
    const EGLint attributes[] = {EGL_WIDTH, w, EGL_HEIGHT, h, EGL_NONE};
    EGLSurface surface = eglCreatePbufferSurface(d.display, d.config, attributes);
    if (surface == EGL_NO_SURFACE) {
        report_line("cannot make a " + kz::crt::int_text(w) + "x" + kz::crt::int_text(h) + " offscreen target (" +
                    egl_error_text() + ")");
        return false;
    }
    target.surface = surface;
    target.width = w;
    target.height = h;
    *fresh = true;
    return true;
}

}  // namespace

struct GlContext::Impl {
    EGLContext context = EGL_NO_CONTEXT;
};

void destroy_gl_target(GlTarget& target) {
    if (target.surface) eglDestroySurface(display().display, static_cast<EGLSurface>(target.surface));
    target.surface = nullptr;
    target.width = target.height = 0;
    target.scratch.clear();
}

void* gl_function(const char* name) { return reinterpret_cast<void*>(eglGetProcAddress(name)); }

int choose_pixel_format(DeviceContext&, const PixelFormatDescriptor& wanted) {
    if (wanted.pixel_type != 0) return 0;
    return display().ok ? 1 : 0;
}

bool set_pixel_format(DeviceContext& dc, int format, const PixelFormatDescriptor& wanted) {
    GlTarget& target = dc.impl()->gl;
    if (format != 1 || !display().ok) return false;
    if (target.format != 0 && target.format != format) return false;
    target.format = format;
    target.descriptor = wanted;
    return true;
}

int describe_pixel_format(DeviceContext& dc, int format, PixelFormatDescriptor* out) {
    const Display& d = display();
    if (format != 1 || !d.ok) return 0;
    if (out) {
        PixelFormatDescriptor p;
        p.flags = kPfdSupportOpenGL | (dc.is_window() ? kPfdDrawToWindow | kPfdDoubleBuffer : kPfdDrawToBitmap);
        p.color_bits = static_cast<std::uint8_t>(d.red + d.green + d.blue + d.alpha);
        p.red_bits = static_cast<std::uint8_t>(d.red);
        p.red_shift = 16;
        p.green_bits = static_cast<std::uint8_t>(d.green);
        p.green_shift = 8;
        p.blue_bits = static_cast<std::uint8_t>(d.blue);
        p.blue_shift = 0;
        p.alpha_bits = static_cast<std::uint8_t>(d.alpha);
        p.alpha_shift = d.alpha ? 24 : 0;
        p.depth_bits = static_cast<std::uint8_t>(d.depth);
        p.stencil_bits = static_cast<std::uint8_t>(d.stencil);
        *out = p;
    }
    return 1;
}

GlContext::GlContext(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

GlContext::~GlContext() {
    if (t_context == this) make_current(nullptr, nullptr);
    eglDestroyContext(display().display, impl_->context);
}

std::unique_ptr<GlContext> GlContext::create(DeviceContext& dc) {
    const Display& d = display();
    if (!d.ok || dc.impl()->gl.format == 0) return nullptr;
    const EGLint attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                 EGL_NONE};
    EGLContext context = eglCreateContext(d.display, d.config, EGL_NO_CONTEXT, attributes);
    if (context == EGL_NO_CONTEXT) {
        report_line("cannot create an OpenGL context (" + egl_error_text() + ")");
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->context = context;
    return std::unique_ptr<GlContext>(new GlContext(std::move(impl)));
}

bool make_current(DeviceContext* dc, GlContext* context) {
    const Display& d = display();
    if (t_dc && t_context && !t_dc->is_window() && (t_dc != dc || t_context != context)) read_back(*t_dc);
    if (!dc || !context) {
        if (d.ok) eglMakeCurrent(d.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        t_dc = nullptr;
        t_context = nullptr;
        return true;
    }
    if (!d.ok || dc->impl()->gl.format == 0) return false;
    bool fresh = false;
    if (!ensure_target(*dc, &fresh)) return false;
    auto surface = static_cast<EGLSurface>(dc->impl()->gl.surface);
    if (!eglMakeCurrent(d.display, surface, surface, context->impl()->context)) {
        t_dc = nullptr;
        t_context = nullptr;
        return false;
    }
    t_dc = dc;
    t_context = context;
    if (!dc->is_window() && (fresh || dc->impl()->gl.stale)) {
        upload_bitmap(*dc);
        dc->impl()->gl.stale = false;
    }
    return true;
}

DeviceContext* current_device_context() { return t_dc; }
GlContext* current_context() { return t_context; }

bool swap_buffers(DeviceContext& dc) {
    if (t_dc != &dc || !t_context) return false;
    glFinish();
    read_back(dc);
    dc.notify_present();
    return true;
}

}  // namespace kz::platform
