// Image decoding and encoding through Qt's image readers and writers, with the packed-DIB layout the renderer and
// the file writers share. Reading goes through the file layer (name mapping, case fallback) and writing through
// its replacing writer, so a failed save leaves the old file.
#include "platform/image_io.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

#include <cstring>
#include <string>

#include "platform/device_context.h"
#include "platform/file_system.h"
#include "platform/gdi.h"

namespace kz::platform {
namespace {

struct LockedDib {
    crt::GlobalHandle handle;
    DibInfoHeader* header = nullptr;
    std::uint8_t* bits = nullptr;
    explicit LockedDib(crt::GlobalHandle h) : handle(h) {
        if (crt::global_size(h) < sizeof(DibInfoHeader)) return;
        header = static_cast<DibInfoHeader*>(crt::global_lock(h));
        if (header) bits = reinterpret_cast<std::uint8_t*>(header) + sizeof(DibInfoHeader);
    }
    ~LockedDib() {
        if (header) crt::global_unlock(handle);
    }
    // A DIB we can read: 40-byte header, 24 or 32 bits, no palette, and all its rows inside the block.
    bool valid() const {
        if (!header || header->size != sizeof(DibInfoHeader) || header->width <= 0 || header->height <= 0 ||
            (header->bit_count != 24 && header->bit_count != 32) || header->compression != 0 || header->clr_used)
            return false;
        const std::uint64_t need = static_cast<std::uint64_t>(dib_stride(header->width, header->bit_count)) *
                                   static_cast<std::uint64_t>(header->height);
        return crt::global_size(handle) - sizeof(DibInfoHeader) >= need;
    }
};

// `palette`: the file holds palette pixels even when the reader hands them over as direct colour (GIF).
crt::GlobalHandle dib_from_image(const QImage& image, bool palette) {
    const bool indexed = palette || image.format() == QImage::Format_Indexed8 ||
                         image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB;
    const bool with_alpha = !indexed && image.hasAlphaChannel();
    const int bits = with_alpha ? 32 : 24;
    QImage source;
    if (with_alpha) {
        source = image.convertToFormat(QImage::Format_ARGB32);
    } else {
        // Whatever is not plain direct colour is laid over magenta, as the original codec path does.
        QImage over(image.size(), QImage::Format_RGB32);
        over.fill(QColor(255, 0, 255));
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < argb.height(); ++y) {
            const auto* in = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
            auto* out = reinterpret_cast<QRgb*>(over.scanLine(y));
            for (int x = 0; x < argb.width(); ++x) {
                const int a = qAlpha(in[x]);
                if (a == 255)
                    out[x] = in[x];
                else if (a > 0)
                    out[x] = qRgb((qRed(in[x]) * a + 255 * (255 - a) + 127) / 255, (qGreen(in[x]) * a + 127) / 255,
                                  (qBlue(in[x]) * a + 255 * (255 - a) + 127) / 255);
            }
        }
        source = over;
    }
    crt::GlobalHandle h = allocate_packed_dib(source.width(), source.height(), bits);
    if (!h) return nullptr;
    LockedDib dib(h);
    const int stride = dib_stride(source.width(), bits);
    for (int y = 0; y < source.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        std::uint8_t* out = dib.bits + static_cast<std::ptrdiff_t>(source.height() - 1 - y) * stride;
        for (int x = 0; x < source.width(); ++x) {
            out[0] = static_cast<std::uint8_t>(qBlue(in[x]));
            out[1] = static_cast<std::uint8_t>(qGreen(in[x]));
            out[2] = static_cast<std::uint8_t>(qRed(in[x]));
            if (bits == 32) out[3] = static_cast<std::uint8_t>(qAlpha(in[x]));
            out += bits / 8;
        }
    }
    return h;
}

}  // namespace

crt::GlobalHandle load_image_dib_from_memory(const void* data, std::size_t size) {
    if (!data || size == 0 || size > (std::size_t(1) << 31)) return nullptr;
    ensure_gui_application();  // Qt finds its format plugins (jpeg, gif, tiff) only with an application object
    QByteArray bytes = QByteArray::fromRawData(static_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(false);
    // Qt's own guard, and ours on the declared size before anything is decoded.
    QImageReader::setAllocationLimit(1024);
    const bool palette = reader.format() == "gif";
    const QSize declared = reader.size();
    if (declared.isValid() && static_cast<std::int64_t>(declared.width()) * declared.height() > kMaxImagePixels)
        return nullptr;
    QImage image;
    if (!reader.read(&image) || image.isNull()) return nullptr;
    if (static_cast<std::int64_t>(image.width()) * image.height() > kMaxImagePixels) return nullptr;
    return dib_from_image(image, palette);
}

crt::GlobalHandle load_image_dib(std::string_view windows_path) {
    std::string bytes;
    if (!read_whole_file(windows_path, &bytes)) return nullptr;
    return load_image_dib_from_memory(bytes.data(), bytes.size());
}

bool save_dib_as_bmp(std::string_view windows_path, crt::GlobalHandle dib) {
    LockedDib d(dib);
    if (!d.valid()) return false;
    const std::uint32_t image = static_cast<std::uint32_t>(dib_stride(d.header->width, d.header->bit_count)) *
                                static_cast<std::uint32_t>(d.header->height);
    std::uint8_t file_header[14] = {'B', 'M'};
    const std::uint32_t file_size = image + 54, offset = 54;
    std::memcpy(file_header + 2, &file_size, 4);
    std::memcpy(file_header + 10, &offset, 4);
    DibInfoHeader header = *d.header;
    header.size_image = image;
    FileWriter out(windows_path);
    return out.write(file_header, sizeof file_header) && out.write(&header, sizeof header) &&
           out.write(d.bits, image) && out.commit();
}

bool save_dib_as_png(std::string_view windows_path, crt::GlobalHandle dib, std::int64_t transparent) {
    LockedDib d(dib);
    if (!d.valid()) return false;
    const int w = d.header->width, h = d.header->height, bpp = d.header->bit_count / 8;
    const int stride = dib_stride(w, d.header->bit_count);
    QImage image(w, h, QImage::Format_ARGB32);
    const QRgb key = transparent >= 0
                         ? qRgb(static_cast<int>(transparent & 0xFF), static_cast<int>((transparent >> 8) & 0xFF),
                                static_cast<int>((transparent >> 16) & 0xFF))
                         : 0;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* in = d.bits + static_cast<std::ptrdiff_t>(h - 1 - y) * stride;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x, in += bpp) {
            const QRgb c = qRgb(in[2], in[1], in[0]);
            out[x] = transparent >= 0 && c == key ? 0x00FFFFFFu : c;
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image)) return false;
    return write_whole_file(windows_path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

}  // namespace kz::platform
