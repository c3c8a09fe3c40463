// Pixel formats, contexts and texture names of the OpenGL modeller over the platform's context layer.
// Texture numbers reach OpenGL through an explicit table, so nothing depends on which names a context hands out.
#include "modeller/gl_renderer.h"

#include <GL/gl.h>

#include "platform/device_context.h"

namespace {
bool g_refuse_contexts = false;
}

void refuse_gl_contexts_for_testing(bool refuse) { g_refuse_contexts = refuse; }

CO3duGLRenderer::~CO3duGLRenderer() { ReleaseContext(); }

void CO3duGLRenderer::ReleaseContext() {
    if (!context_) return;
    if (kz::platform::current_context() == context_.get()) kz::platform::make_current(nullptr, nullptr);
    context_.reset();
    capabilities_ = {};
    texture_names_.clear();  // they lived in the context
    hdc = nullptr;
}

int CO3duGLRenderer::setup_pixel_format(HDC target, std::uint32_t flags) {
    ReleaseContext();
    if (!target || g_refuse_contexts) return 0;
    kz::platform::PixelFormatDescriptor wanted;
    wanted.flags = flags;
    wanted.pixel_type = 0;
    wanted.color_bits = 24;
    wanted.depth_bits = 24;
    wanted.stencil_bits = 8;
    const int format = kz::platform::choose_pixel_format(*target, wanted);
    if (format == 0) return 0;
    if (!kz::platform::set_pixel_format(*target, format, wanted)) return 0;
    if (!kz::platform::describe_pixel_format(*target, format, &wanted)) return 0;
    pixel_format = wanted;
    context_ = kz::platform::GlContext::create(*target);
    if (!context_) return 0;
    if (!kz::platform::make_current(target, context_.get())) {
        context_.reset();
        return 0;
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    capabilities_ = o3du_gl_capabilities();
    hdc = target;
    return 1;
}

int CO3duGLRenderer::SetupWindowPixelFormat(HDC target) {
    return setup_pixel_format(
        target, kz::platform::kPfdDrawToWindow | kz::platform::kPfdSupportOpenGL | kz::platform::kPfdDoubleBuffer);
}

int CO3duGLRenderer::SetupBitmapPixelFormat(HDC target) {
    return setup_pixel_format(target, kz::platform::kPfdDrawToBitmap | kz::platform::kPfdSupportOpenGL);
}

void CO3duGLRenderer::UploadTextures(const CO3duTextureTable& table) {
    // Names of an earlier upload into this same context are given back before new ones are made.
    if (!texture_names_.empty()) {
        glDeleteTextures(static_cast<GLsizei>(texture_names_.size()), texture_names_.data());
        texture_names_.clear();
    }
    const int count = table.GetSize();
    if (count == 0) {
        glDisable(GL_TEXTURE_2D);
        return;
    }
    texture_names_.resize(static_cast<std::size_t>(count));
    glGenTextures(count, texture_names_.data());
    glEnable(GL_TEXTURE_2D);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);  // DIB rows are padded to 4 bytes
    for (int i = 0; i < count; ++i) {
        const _OfuBitmap& image = table[i];
        glBindTexture(GL_TEXTURE_2D, texture_names_[std::size_t(i)]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        const int bits = image.info_header.biBitCount;
        if (bits != 24 && bits != 32) continue;  // 1-bit images stay without an image: their sets draw untextured
        glTexImage2D(GL_TEXTURE_2D, 0, bits == 24 ? GL_RGB : GL_RGBA, image.info_header.biWidth,
                     image.info_header.biHeight, 0, bits == 24 ? GL_BGR : GL_BGRA, GL_UNSIGNED_BYTE,
                     image.pixels.GetData());
    }
    glBindTexture(GL_TEXTURE_2D, 0);
}

std::uint32_t CO3duGLRenderer::texture_name(std::int32_t number) const {
    if (number < 1 || static_cast<std::size_t>(number) > texture_names_.size()) return 0;
    return texture_names_[static_cast<std::size_t>(number - 1)];
}

CO3duGLCurrent::CO3duGLCurrent(CO3duGLRenderer& renderer, HDC hdc) {
    if (!hdc || !renderer.has_context()) return;
    current_ = kz::platform::make_current(hdc, renderer.context());
    renderer.line_scale = static_cast<float>(hdc->pixel_ratio());
}

CO3duGLCurrent::~CO3duGLCurrent() {
    if (current_) kz::platform::make_current(nullptr, nullptr);
}
