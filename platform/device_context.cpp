// Window and memory device contexts and GDI bitmaps: where the pixels of a DC live. The GL target and the GDI
// drawing state hang off the DC; their behaviour is in gl_context.cpp and gdi.cpp.
#include "platform/device_context.h"

#include <algorithm>
#include <cstring>

#include "platform/device_context_impl.h"

namespace kz::platform {
namespace {
// Far beyond any screen or print size the system renders (it caps print renders at 5000 a side); a guard against
// sizes computed from bad input, not a feature limit.
constexpr long long kMaxPixels = 16384LL * 16384LL;

bool size_ok(int width, int height) {
    return width > 0 && height > 0 && static_cast<long long>(width) * height <= kMaxPixels;
}
}  // namespace

crt::GlobalHandle allocate_packed_dib(int width, int height, int bits_per_pixel) {
    if (!size_ok(width, height) || (bits_per_pixel != 24 && bits_per_pixel != 32)) return nullptr;
    const std::size_t image = static_cast<std::size_t>(dib_stride(width, bits_per_pixel)) * height;
    crt::GlobalHandle h = crt::global_alloc(crt::kGlobalMoveable | crt::kGlobalZeroInit, sizeof(DibInfoHeader) + image);
    if (!h) return nullptr;
    auto* header = static_cast<DibInfoHeader*>(crt::global_lock(h));
    *header = DibInfoHeader{};
    header->width = width;
    header->height = height;
    header->bit_count = static_cast<std::uint16_t>(bits_per_pixel);
    header->size_image = static_cast<std::uint32_t>(image);
    crt::global_unlock(h);
    return h;
}

// ---- Bitmap ----

Bitmap::Impl::~Impl() {
    if (dib) {
        while (crt::global_unlock(dib)) {}
        crt::global_free(dib);
    }
}

SurfaceView Bitmap::Impl::view() const {
    SurfaceView v;
    v.width = width;
    v.height = height;
    v.bits_per_pixel = bits_per_pixel;
    if (dib_section) {
        v.bits = dib_bits;
        v.stride = dib_stride(width, bits_per_pixel);
        v.bottom_up = true;
    } else {
        v.bits = const_cast<std::uint8_t*>(device_pixels.data());
        v.stride = width * 4;
    }
    return v;
}

Bitmap::Bitmap(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Bitmap::~Bitmap() = default;

std::unique_ptr<Bitmap> Bitmap::create_compatible(int width, int height) {
    if (!size_ok(width, height)) return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->width = width;
    impl->height = height;
    impl->bits_per_pixel = 32;
    impl->device_pixels.assign(static_cast<std::size_t>(width) * height * 4, 0);
    return std::unique_ptr<Bitmap>(new Bitmap(std::move(impl)));
}

std::unique_ptr<Bitmap> Bitmap::create_dib_section(int width, int height, int bits_per_pixel) {
    crt::GlobalHandle h = allocate_packed_dib(width, height, bits_per_pixel);
    if (!h) return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->width = width;
    impl->height = height;
    impl->bits_per_pixel = bits_per_pixel;
    impl->dib_section = true;
    impl->dib = h;
    // Kept locked for the bitmap's life: the bits pointer is handed out like a DIB section's.
    impl->dib_bits = static_cast<std::uint8_t*>(crt::global_lock(h)) + sizeof(DibInfoHeader);
    return std::unique_ptr<Bitmap>(new Bitmap(std::move(impl)));
}

int Bitmap::width() const { return impl_->width; }
int Bitmap::height() const { return impl_->height; }
int Bitmap::bits_per_pixel() const { return impl_->bits_per_pixel; }
bool Bitmap::is_dib_section() const { return impl_->dib_section; }
int Bitmap::stride() const { return impl_->view().stride; }
std::uint8_t* Bitmap::bits() { return impl_->view().bits; }
const std::uint8_t* Bitmap::bits() const { return impl_->view().bits; }

// ---- DeviceContext ----

SurfaceView DeviceContext::Impl::surface() const {
    if (window) {
        SurfaceView v;
        v.bits = backing->data();
        v.width = window_width;
        v.height = window_height;
        v.stride = window_width * 4;
        return v;
    }
    if (selected) return selected->impl()->view();
    if (external_dib) {
        // The block stays valid while the DC lives (the caller's promise); its address never moves here.
        auto* header = static_cast<DibInfoHeader*>(crt::global_lock(external_dib));
        crt::global_unlock(external_dib);
        if (!header) return {};
        SurfaceView v;
        v.bits = reinterpret_cast<std::uint8_t*>(header) + sizeof(DibInfoHeader);
        v.width = header->width;
        v.height = header->height;
        v.bits_per_pixel = header->bit_count;
        v.stride = dib_stride(header->width, header->bit_count);
        v.bottom_up = true;
        return v;
    }
    return {};
}

DeviceContext::DeviceContext(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

DeviceContext::~DeviceContext() {
    if (current_device_context() == this) make_current(nullptr, nullptr);
    destroy_gl_target(impl_->gl);
}

std::unique_ptr<DeviceContext> DeviceContext::create_window(int width, int height) {
    auto impl = std::make_unique<Impl>();
    impl->window = true;
    std::unique_ptr<DeviceContext> dc(new DeviceContext(std::move(impl)));
    dc->impl_->backing->assign(4, 0);
    dc->resize(width, height);
    return dc;
}

std::unique_ptr<DeviceContext> DeviceContext::create_memory() {
    return std::unique_ptr<DeviceContext>(new DeviceContext(std::make_unique<Impl>()));
}

std::unique_ptr<DeviceContext> DeviceContext::create_memory_over_dib(crt::GlobalHandle dib) {
    const std::size_t size = crt::global_size(dib);
    if (size < sizeof(DibInfoHeader)) return nullptr;
    auto* header = static_cast<const DibInfoHeader*>(crt::global_lock(dib));
    const bool ok = header && header->size == sizeof(DibInfoHeader) && size_ok(header->width, header->height) &&
                    (header->bit_count == 24 || header->bit_count == 32) && header->compression == 0 &&
                    header->clr_used == 0 &&
                    size - sizeof(DibInfoHeader) >=
                        static_cast<std::size_t>(dib_stride(header->width, header->bit_count)) * header->height;
    crt::global_unlock(dib);
    if (!ok) return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->external_dib = dib;
    return std::unique_ptr<DeviceContext>(new DeviceContext(std::move(impl)));
}

bool DeviceContext::is_window() const { return impl_->window; }
int DeviceContext::width() const { return impl_->surface().width; }
int DeviceContext::height() const { return impl_->surface().height; }
void DeviceContext::set_pixel_ratio(double ratio) { impl_->pixel_ratio = ratio >= 1.0 && ratio <= 16.0 ? ratio : 1.0; }
double DeviceContext::pixel_ratio() const { return impl_->pixel_ratio; }

void DeviceContext::resize(int width, int height) {
    if (!impl_->window) return;
    // A painter kept for texts must not outlive the pixels it was opened on.
    impl_->text_painter.reset();
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (!size_ok(width, height)) return;
    if (width == impl_->window_width && height == impl_->window_height && !impl_->backing->empty() &&
        impl_->backing->size() == static_cast<std::size_t>(width) * height * 4)
        return;
    std::vector<std::uint8_t> next(static_cast<std::size_t>(width) * height * 4, 0);
    const int keep_w = std::min(width, impl_->window_width);
    const int keep_h = std::min(height, impl_->window_height);
    const std::vector<std::uint8_t>& last = *impl_->backing;
    if (last.size() >= static_cast<std::size_t>(impl_->window_width) * impl_->window_height * 4)
        for (int y = 0; y < keep_h; ++y)
            std::memcpy(&next[static_cast<std::size_t>(y) * width * 4],
                        &last[static_cast<std::size_t>(y) * impl_->window_width * 4],
                        static_cast<std::size_t>(keep_w) * 4);
    impl_->backing = std::make_shared<std::vector<std::uint8_t>>(std::move(next));
    impl_->window_width = width;
    impl_->window_height = height;
}

int DeviceContext::backing_width() const { return impl_->window ? impl_->window_width : 0; }
int DeviceContext::backing_height() const { return impl_->window ? impl_->window_height : 0; }
int DeviceContext::backing_stride() const { return impl_->window ? impl_->window_width * 4 : 0; }
const std::uint8_t* DeviceContext::backing_bytes() const { return impl_->window ? impl_->backing->data() : nullptr; }
std::uint8_t* DeviceContext::backing_bytes() { return impl_->window ? impl_->backing->data() : nullptr; }

void DeviceContext::set_present_callback(std::function<void(DeviceContext&)> callback) {
    impl_->present = std::move(callback);
}

void DeviceContext::notify_present() {
    if (impl_->window && impl_->present) impl_->present(*this);
}

void after_gdi_drawing(DeviceContext& dc) {
    DeviceContext::Impl& impl = *dc.impl();
    if (impl.gl.surface && !impl.window) impl.gl.stale = true;
    if (impl.window) dc.notify_present();
}

Bitmap* DeviceContext::select_bitmap(Bitmap* bitmap) {
    if (impl_->window) return nullptr;
    Bitmap* old = impl_->selected;
    impl_->text_painter.reset();
    impl_->selected = bitmap;
    impl_->external_dib = nullptr;
    return old;
}

Bitmap* DeviceContext::selected_bitmap() const { return impl_->selected; }

}  // namespace kz::platform
