// The bridge's image plumbing: image files to packed DIBs, DIBs and 32-bit drawing bitmaps to modeller images,
// stretching to the power-of-two sides the modeller insists on, and DIBs written out as BMP and PNG files.
#include <cstring>
#include <string>

#include "app/foundation/bridge_services.h"
#include "app/foundation/bus_mdl.h"
#include "platform/device_context.h"
#include "platform/image_io.h"
#include "platform/path_names.h"
#include "platform/report.h"

namespace kz::foundation {

namespace {

using kz::crt::GlobalHandle;
using kz::platform::DibInfoHeader;

// A locked packed DIB whose header and rows were checked against its block: 40-byte header, no palette, no
// compression, bottom-up rows of 24 or 32 bits. Anything else counts as no image at all.
class LockedDib {
public:
    explicit LockedDib(GlobalHandle h) : handle_(h) {
        const std::size_t size = kz::crt::global_size(h);
        if (size < sizeof(DibInfoHeader)) return;
        base_ = static_cast<std::uint8_t*>(kz::crt::global_lock(h));
        if (!base_) return;
        std::memcpy(&header_, base_, sizeof header_);
        const DibInfoHeader& d = header_;
        if (d.size != 40 || d.width <= 0 || d.height <= 0 || d.compression != 0 || d.clr_used != 0 ||
            (d.bit_count != 24 && d.bit_count != 32))
            return;
        const std::uint64_t need = static_cast<std::uint64_t>(kz::platform::dib_stride(d.width, d.bit_count)) *
                                   static_cast<std::uint64_t>(d.height);
        valid_ = need <= size - sizeof(DibInfoHeader);
    }
    ~LockedDib() {
        if (base_) kz::crt::global_unlock(handle_);
    }
    LockedDib(const LockedDib&) = delete;
    LockedDib& operator=(const LockedDib&) = delete;

    bool valid() const { return valid_; }
    const DibInfoHeader& header() const { return header_; }
    int stride() const { return kz::platform::dib_stride(header_.width, header_.bit_count); }
    std::uint8_t* row(int from_bottom) const {
        return base_ + sizeof(DibInfoHeader) + static_cast<std::size_t>(from_bottom) * stride();
    }

private:
    GlobalHandle handle_;
    std::uint8_t* base_ = nullptr;
    DibInfoHeader header_;
    bool valid_ = false;
};

constexpr int kMaxTextureSide = 4096;

// The smallest of 4, 8, ... 4096 that holds the side; 4096 for anything larger.
int pow2_side(int side) {
    int target = 4;
    while (target < side && target < kMaxTextureSide) target *= 2;
    return target;
}

}  // namespace

GlobalHandle CBusMDL::LoadImageFile(const char* path) {
    // The codec layer takes the Shift_JIS path as it stands, so nothing here touches the process locale.
    if (!path || !*path) return nullptr;
    return kz::platform::load_image_dib(path);
}

int CBusMDL::LoadImageToBitmap(const char* path, _OfuBitmap& bitmap) {
    // A texture never has a side above 4096, so a larger picture may be decoded smaller where its reader can.
    // The pixels are weighed against the open's memory before they are decoded, and decoded within what it has left.
    kz::platform::ImageBudget budget;
    budget.may_take = [this, path](std::uint64_t bytes) { return !view || view->MemoryAllows(bytes, path); };
    budget.room = [this] { return view ? view->MemoryRoom() : UINT64_MAX; };
    GlobalHandle dib = path && *path ? kz::platform::load_image_dib(path, kMaxTextureSide, budget) : nullptr;
    if (!dib) return -1;
    DibToBitmap(dib, bitmap);
    return 1;
}

int CBusMDL::DibToBitmap(GlobalHandle dib, _OfuBitmap& bitmap) {
    if (!dib) return 0;
    GlobalHandle scaled = ScaleDibToPow2(dib);
    int result = 0;
    {
        LockedDib d(scaled);
        if (d.valid()) {
            const DibInfoHeader& h = d.header();
            BITMAPINFOHEADER& info = bitmap.info_header;
            info.biWidth = h.width;
            info.biHeight = h.height;
            info.biPlanes = 1;
            info.biBitCount = h.bit_count;
            info.biCompression = 0;
            info.biSizeImage = static_cast<std::uint32_t>(d.stride()) * static_cast<std::uint32_t>(h.height);
            info.biXPelsPerMeter = h.x_pels_per_meter;
            info.biYPelsPerMeter = h.y_pels_per_meter;
            info.biClrUsed = info.biClrImportant = 0;
            if (PrepareDibBuffers(bitmap.pixels, bitmap.palette, bitmap.file_header, info) == 1) {
                std::memcpy(bitmap.pixels.GetData(), d.row(0), static_cast<std::size_t>(bitmap.pixels.GetSize()));
                result = 1;
            }
        }
    }
    kz::crt::global_free(scaled);
    return result;
}

GlobalHandle CBusMDL::GdipBitmapToDib(const kz::platform::Bitmap& bitmap) {
    if (bitmap.bits_per_pixel() != 32) return nullptr;
    const int w = bitmap.width(), h = bitmap.height();
    GlobalHandle dib = kz::platform::allocate_packed_dib(w, h, 32);
    if (!dib) return nullptr;
    auto* base = static_cast<std::uint8_t*>(kz::crt::global_lock(dib));
    auto* header = reinterpret_cast<DibInfoHeader*>(base);
    header->size_image = static_cast<std::uint32_t>(w) * static_cast<std::uint32_t>(h) * 4;
    // The drawing bitmap is handed over first row first, so its top row becomes the DIB's bottom row: the texts
    // drawn into it are drawn upside down for that reason.
    const std::size_t bytes = static_cast<std::size_t>(w) * 4;
    for (int y = 0; y < h; ++y) {
        const int stored = bitmap.is_dib_section() ? h - 1 - y : y;
        std::memcpy(base + sizeof(DibInfoHeader) + static_cast<std::size_t>(y) * bytes,
                    bitmap.bits() + static_cast<std::size_t>(stored) * bitmap.stride(), bytes);
    }
    kz::crt::global_unlock(dib);
    return dib;
}

GlobalHandle CBusMDL::ScaleDibToPow2(GlobalHandle dib) {
    int sw = 0, sh = 0, tw = 0, th = 0, bits = 0;
    {
        LockedDib d(dib);
        if (!d.valid()) return dib;
        sw = d.header().width;
        sh = d.header().height;
        bits = d.header().bit_count;
        tw = pow2_side(sw);
        th = pow2_side(sh);
    }
    if (tw == sw && th == sh) return dib;
    GlobalHandle out = kz::platform::allocate_packed_dib(tw, th, bits);
    if (!out) return dib;
    {
        LockedDib from(dib), to(out);
        // Nearest source pixel, as a colour-on-colour stretch picks it; all bytes move, so a 32-bit image keeps
        // its alpha (a stretch through a device would make it opaque).
        const int bytes = bits / 8;
        for (int j = 0; j < th; ++j) {
            const int v = static_cast<int>((2LL * j + 1) * sh / (2LL * th));
            const std::uint8_t* src = from.row(v);
            std::uint8_t* dst = to.row(j);
            for (int i = 0; i < tw; ++i) {
                const int u = static_cast<int>((2LL * i + 1) * sw / (2LL * tw));
                std::memcpy(dst + static_cast<std::size_t>(i) * bytes, src + static_cast<std::size_t>(u) * bytes,
                            static_cast<std::size_t>(bytes));
            }
        }
    }
    kz::crt::global_free(dib);
    return out;
}

namespace {

// A host gets only 1 or 0 back: the reason goes to standard error, as every failed write's does.
int written_or_told(const char* path, bool written, const std::string& why) {
    if (!written)
        kz::platform::report_line(kz::platform::display_name(path) +
                                  ": picture not written: " + (why.empty() ? std::string("no picture to write") : why));
    return written ? 1 : 0;
}

}  // namespace

int CBusMDL::WriteBmpFile(const char* path, GlobalHandle dib) {
    std::string why;
    const int written =
        modeller && path && *path && dib && written_or_told(path, kz::platform::save_dib_as_bmp(path, dib, &why), why)
            ? 1
            : 0;
    // The DIB is the writer's whether or not the file could be made; keeping it on failure would leak it.
    if (dib) kz::crt::global_free(dib);
    return written;
}

int CBusMDL::WritePngFile(const char* path, GlobalHandle dib, std::int32_t transparent) {
    if (!modeller || !path || !*path || !dib) return 0;
    std::string why;
    return written_or_told(path, kz::platform::save_dib_as_png(path, dib, transparent < 0 ? -1 : transparent, &why),
                           why);
}

}  // namespace kz::foundation
