// OpenGL rendering contexts in place of WGL: pixel formats chosen for a device context, contexts created for it,
// made current and released. Runs on Mesa's surfaceless EGL platform with offscreen pbuffer targets; there is no
// on-screen surface, no overlay plane, no accumulation buffer and no context sharing (display lists stay private).
#pragma once
#include <cstdint>
#include <memory>

namespace kz::platform {

class DeviceContext;

enum PixelFormatFlags : std::uint32_t {
    kPfdDoubleBuffer = 0x00000001,
    kPfdDrawToWindow = 0x00000004,
    kPfdDrawToBitmap = 0x00000008,
    kPfdSupportOpenGL = 0x00000020,
};

// The 40-byte pixel-format record the renderer fills, chooses by, and keeps to learn what it got (depth bits for
// picking). Field order and widths are those of the record it stands for.
struct PixelFormatDescriptor {
    std::uint16_t size = 40;
    std::uint16_t version = 1;
    std::uint32_t flags = 0;
    std::uint8_t pixel_type = 0;  // 0 RGBA
    std::uint8_t color_bits = 0;
    std::uint8_t red_bits = 0, red_shift = 0, green_bits = 0, green_shift = 0, blue_bits = 0, blue_shift = 0;
    std::uint8_t alpha_bits = 0, alpha_shift = 0;
    std::uint8_t accum_bits = 0, accum_red_bits = 0, accum_green_bits = 0, accum_blue_bits = 0, accum_alpha_bits = 0;
    std::uint8_t depth_bits = 0;
    std::uint8_t stencil_bits = 0;
    std::uint8_t aux_buffers = 0;
    std::uint8_t layer_type = 0;  // 0 main plane
    std::uint8_t reserved = 0;
    std::uint32_t layer_mask = 0, visible_mask = 0, damage_mask = 0;
};
static_assert(sizeof(PixelFormatDescriptor) == 40);

// The one format on offer: 8-bit RGBA colour, 24-bit depth, 8-bit stencil (32-bit depth with stencil does not
// exist on Mesa). Returns its number (1), or 0 when OpenGL cannot be had at all or the request is not RGBA.
int choose_pixel_format(DeviceContext& dc, const PixelFormatDescriptor& wanted);
// Fixes the format of the device context (once, as the platform allows; setting the same format again is fine).
bool set_pixel_format(DeviceContext& dc, int format, const PixelFormatDescriptor& wanted);
// Writes what format `format` really is into *out; returns the number of formats (1), 0 for an unknown format.
int describe_pixel_format(DeviceContext& dc, int format, PixelFormatDescriptor* out);

// A compatibility-profile OpenGL context. Destroying it releases it first when it is current on this thread.
class GlContext {
public:
    // Null when the device context has no pixel format or EGL refuses.
    static std::unique_ptr<GlContext> create(DeviceContext& dc);
    ~GlContext();
    GlContext(const GlContext&) = delete;
    GlContext& operator=(const GlContext&) = delete;

    struct Impl;
    Impl* impl() { return impl_.get(); }

private:
    explicit GlContext(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// An OpenGL function beyond version 1.1 by its name, as the driver offers it to the current context (what
// wglGetProcAddress gives on Windows); null when there is none. A name given is no promise that the context
// supports it: the caller asks the context's version first.
void* gl_function(const char* name);

// Makes `context` current on this thread, drawing into `dc`'s offscreen target; a null context (or dc) releases
// whatever is current. Releasing from a memory device context first copies the frame into its bitmap, as drawing
// into a bitmap on Windows lands in the bits at once. Returns false when either cannot be used.
bool make_current(DeviceContext* dc, GlContext* context);
// The device context and context current on this thread (null when none).
DeviceContext* current_device_context();
GlContext* current_context();
// Window: reads the frame into the backing image (top-down BGRA) and calls its present callback. Memory DC: copies
// the frame into its bitmap. Works only while a context is current on `dc`; returns false otherwise.
bool swap_buffers(DeviceContext& dc);

}  // namespace kz::platform
