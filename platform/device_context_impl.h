// Inside of device contexts and bitmaps, shared by the DC, GL and GDI code of the platform layer only.
// Free of Qt and EGL: the offscreen target is kept as plain handles.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/device_context.h"
#include "platform/gdi.h"

namespace kz::platform {

// Where a DC's pixels are: rows of 24- or 32-bit BGR(A) pixels, top-down or bottom-up.
struct SurfaceView {
    std::uint8_t* bits = nullptr;  // first stored row
    int width = 0;
    int height = 0;
    int stride = 0;
    int bits_per_pixel = 32;
    bool bottom_up = false;
    explicit operator bool() const { return bits && width > 0 && height > 0; }
    std::uint8_t* row(int y) const {
        return bits + static_cast<std::ptrdiff_t>(bottom_up ? height - 1 - y : y) * stride;
    }
};

struct Bitmap::Impl {
    int width = 0;
    int height = 0;
    int bits_per_pixel = 32;
    bool dib_section = false;
    std::vector<std::uint8_t> device_pixels;  // compatible bitmap, top-down BGRA
    crt::GlobalHandle dib = nullptr;          // DIB section block: header + rows
    std::uint8_t* dib_bits = nullptr;
    SurfaceView view() const;
    ~Impl();
};

// The EGL pbuffer behind a DC, as opaque handles (gl_context.cpp owns their meaning).
struct GlTarget {
    void* surface = nullptr;  // EGLSurface
    int width = 0;
    int height = 0;
    int format = 0;  // pixel format set on the DC, 0 none
    PixelFormatDescriptor descriptor;
    std::vector<std::uint8_t> scratch;  // read-back rows, bottom-up, where they cannot be read in place
    bool stale = false;                 // a memory DC's bitmap was drawn on by GDI since the pbuffer last took it in
};
void destroy_gl_target(GlTarget& target);  // gl_context.cpp

// The painter gdi.cpp keeps on a DC's surface between texts (its type holds Qt objects, so it stays opaque here).
struct TextPainter;

struct DeviceContext::Impl {
    bool window = false;
    double pixel_ratio = 1.0;
    // Window DC
    int window_width = 1;
    int window_height = 1;
    // Top-down BGRA. Shared with the window it is presented in, which shows it without copying; a resize makes a
    // new one, so the window keeps the old pixels until the next present.
    std::shared_ptr<std::vector<std::uint8_t>> backing = std::make_shared<std::vector<std::uint8_t>>();
    std::function<void(DeviceContext&)> present;
    // Memory DC
    Bitmap* selected = nullptr;
    crt::GlobalHandle external_dib = nullptr;

    GlTarget gl;
    GdiState gdi;
    // Ended before another bitmap is selected, so it never outlives the pixels it paints on.
    std::shared_ptr<TextPainter> text_painter;

    SurfaceView surface() const;
};

// After GDI drawing into a DC: a memory DC's GL target must take the bitmap in again, a window repaints.
void after_gdi_drawing(DeviceContext& dc);

}  // namespace kz::platform
