// CO3duGLRenderer: the background colour and the OpenGL context of the modeller, with the pixel-format set-up
// for window and memory device contexts and the table from texture numbers to the context's texture names.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "modeller/gl_capabilities.h"
#include "modeller/gl_structure.h"
#include "modeller/o3du_win_types.h"
#include "platform/gl_context.h"

class CO3duGLRenderer {
public:
    CO3duGLRenderer() = default;
    CO3duGLRenderer(const CO3duGLRenderer&) = delete;
    CO3duGLRenderer& operator=(const CO3duGLRenderer&) = delete;
    virtual ~CO3duGLRenderer();

    // Release any context, fix the device context's pixel format, create a context for it and make it current.
    // 0 when the format or the context cannot be had.
    int SetupWindowPixelFormat(HDC hdc);
    int SetupBitmapPixelFormat(HDC hdc);
    // Releases and deletes the context; its texture names go with it.
    void ReleaseContext();

    // Loads every texture of the table into the current context under freshly generated names.
    void UploadTextures(const CO3duTextureTable& table);
    // The context's name for texture number n (from 1), 0 when it has none.
    std::uint32_t texture_name(std::int32_t number) const;

    bool has_context() const { return context_ != nullptr; }
    kz::platform::GlContext* context() const { return context_.get(); }
    // What the context offers beyond OpenGL 1.1, asked as it was made; nothing without a context.
    const O3duGLCapabilities& capabilities() const { return capabilities_; }

    float background[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    // Line widths and point sizes are drawn this many times as wide: the pixel ratio of the device context drawn
    // into now, so a line of width 1 looks the same on a display scaled to 200 %.
    float line_scale = 1.0f;
    HDC hdc = nullptr;  // the device context the context was made for
    kz::platform::PixelFormatDescriptor pixel_format;

private:
    int setup_pixel_format(HDC hdc, std::uint32_t flags);

    std::unique_ptr<kz::platform::GlContext> context_;
    O3duGLCapabilities capabilities_;
    std::vector<std::uint32_t> texture_names_;
};

// Makes every following context set-up fail as on a machine without OpenGL, until called again with false;
// for the tests of what the modeller does when its device goes.
void refuse_gl_contexts_for_testing(bool refuse);

// Makes the renderer's context current on a device context for the span of one operation and releases it at the
// end, so several modellers and device contexts can share the thread.
class CO3duGLCurrent {
public:
    CO3duGLCurrent(CO3duGLRenderer& renderer, HDC hdc);
    ~CO3duGLCurrent();
    CO3duGLCurrent(const CO3duGLCurrent&) = delete;
    CO3duGLCurrent& operator=(const CO3duGLCurrent&) = delete;
    explicit operator bool() const { return current_; }

private:
    bool current_ = false;
};
