// Device contexts in place of the window and memory DCs of Windows: a window DC is an offscreen
// target sized to the window plus a backing image that swapping fills; a memory DC draws into the bitmap selected
// into it (a device bitmap, a DIB section, or a packed DIB in a movable block). No printer or metafile DCs here,
// no mapping modes: one logical unit is one pixel.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/crt/global_memory.h"

namespace kz::platform {

// A GDI bitmap: either device-compatible (32-bit, rows top-down) or a DIB section (24 or 32 bits, rows bottom-up,
// padded to 4 bytes, held as a packed DIB - info header then rows - in a movable block the bitmap owns).
class Bitmap {
public:
    static std::unique_ptr<Bitmap> create_compatible(int width, int height);
    static std::unique_ptr<Bitmap> create_dib_section(int width, int height, int bits_per_pixel);
    ~Bitmap();
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    int width() const;
    int height() const;
    int bits_per_pixel() const;
    bool is_dib_section() const;
    int stride() const;
    // First stored row: the top row of a device bitmap, the bottom row of a DIB section.
    std::uint8_t* bits();
    const std::uint8_t* bits() const;

    struct Impl;
    Impl* impl() const { return impl_.get(); }

private:
    explicit Bitmap(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

class DeviceContext {
public:
    // The DC of a window of the given client size; sizes below 1 count as 1.
    static std::unique_ptr<DeviceContext> create_window(int width, int height);
    // A memory DC with nothing selected (drawing does nothing until a bitmap is selected).
    static std::unique_ptr<DeviceContext> create_memory();
    // A memory DC drawing straight into a packed DIB (24 or 32 bits, no palette) held in a movable block, which
    // must outlive the DC. Null when the block is not such a DIB.
    static std::unique_ptr<DeviceContext> create_memory_over_dib(crt::GlobalHandle dib);
    ~DeviceContext();
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;

    bool is_window() const;
    // Drawing size: the window's client size or the selected bitmap's.
    int width() const;
    int height() const;

    // Window DC: the window layer calls this when the client area changes; the offscreen target follows at the next
    // make-current. The backing image keeps its top-left pixels.
    void resize(int width, int height);
    // Window DC: the frame as top-down BGRA (4 bytes a pixel), valid until the next resize.
    int backing_width() const;
    int backing_height() const;
    int backing_stride() const;
    const std::uint8_t* backing_bytes() const;
    std::uint8_t* backing_bytes();
    // Device pixels per display unit (the window's pixel ratio, 1 unless set): what is given in pixels to look a
    // certain size, as line widths are, is drawn that many times as wide.
    void set_pixel_ratio(double ratio);
    double pixel_ratio() const;
    // Called after every swap and after GDI drawing into a window DC, so the window can repaint from the backing.
    void set_present_callback(std::function<void(DeviceContext&)> callback);
    void notify_present();

    // Memory DC: selects a bitmap (not owned; it must outlive its selection) and returns the one selected before.
    Bitmap* select_bitmap(Bitmap* bitmap);
    Bitmap* selected_bitmap() const;

    struct Impl;
    Impl* impl() const { return impl_.get(); }

private:
    explicit DeviceContext(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// The packed-DIB layout shared by every DIB user: 40-byte info header, then bottom-up rows padded to 4 bytes.
struct DibInfoHeader {
    std::uint32_t size = 40;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t planes = 1;
    std::uint16_t bit_count = 24;
    std::uint32_t compression = 0;
    std::uint32_t size_image = 0;
    std::int32_t x_pels_per_meter = 0;
    std::int32_t y_pels_per_meter = 0;
    std::uint32_t clr_used = 0;
    std::uint32_t clr_important = 0;
};
static_assert(sizeof(DibInfoHeader) == 40);

constexpr int dib_stride(int width, int bits_per_pixel) {
    return static_cast<int>(((static_cast<long long>(width) * bits_per_pixel + 31) / 32) * 4);
}
// A new zero-filled packed DIB (header filled in), or null when the size is absurd or memory runs out.
crt::GlobalHandle allocate_packed_dib(int width, int height, int bits_per_pixel);

}  // namespace kz::platform
