// Image decoding and encoding through Qt's image readers and writers, with the packed-DIB layout the renderer and
// the file writers share. Reading goes through the file layer (name mapping, case fallback) and writing through
// its replacing writer, so a failed save leaves the old file.
#include "platform/image_io.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QMimeDatabase>
#include <QMimeType>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/crt/c_numbers.h"
#include "platform/device_context.h"
#include "platform/file_system.h"
#include "platform/gdi.h"
#include "platform/image_damage.h"
#include "platform/report.h"

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
// The image is converted a strip of rows at a time straight into the DIB, so no second full-size copy of it is
// made on the way.
crt::GlobalHandle dib_from_image(const QImage& image, bool palette) {
    const bool indexed = palette || image.format() == QImage::Format_Indexed8 ||
                         image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB;
    const bool with_alpha = !indexed && image.hasAlphaChannel();
    const int bits = with_alpha ? 32 : 24;
    const int w = image.width(), h = image.height();
    crt::GlobalHandle handle = allocate_packed_dib(w, h, bits);
    if (!handle) return nullptr;
    LockedDib dib(handle);
    const int stride = dib_stride(w, bits);
    constexpr int kStripRows = 64;
    for (int top = 0; top < h; top += kStripRows) {
        const int rows = std::min(kStripRows, h - top);
        const QImage strip = image.copy(0, top, w, rows).convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < rows; ++y) {
            const auto* in = reinterpret_cast<const QRgb*>(strip.constScanLine(y));
            std::uint8_t* out = dib.bits + static_cast<std::ptrdiff_t>(h - 1 - (top + y)) * stride;
            for (int x = 0; x < w; ++x, out += bits / 8) {
                QRgb c = in[x];
                if (!with_alpha) {
                    // Whatever is not plain direct colour is laid over magenta, as the system's codec path does.
                    const int a = qAlpha(c);
                    if (a == 0)
                        c = qRgb(255, 0, 255);
                    else if (a < 255)
                        c = qRgb((qRed(c) * a + 255 * (255 - a) + 127) / 255, (qGreen(c) * a + 127) / 255,
                                 (qBlue(c) * a + 255 * (255 - a) + 127) / 255);
                }
                out[0] = static_cast<std::uint8_t>(qBlue(c));
                out[1] = static_cast<std::uint8_t>(qGreen(c));
                out[2] = static_cast<std::uint8_t>(qRed(c));
                if (bits == 32) out[3] = static_cast<std::uint8_t>(qAlpha(c));
            }
        }
    }
    return handle;
}

bool fits(std::int64_t width, std::int64_t height) {
    return width >= 0 && height >= 0 && width * height <= kMaxImagePixels;
}

// A GIF's frames may lie anywhere on (or off) its logical screen, and the reader draws each on a canvas that
// holds both: every frame's canvas is checked from the headers before anything is decoded. A file cut short
// passes with what it has; the reader then fails on it.
bool gif_frames_fit(const std::uint8_t* data, std::size_t size) {
    auto u16 = [&](std::size_t at) { return static_cast<std::int64_t>(data[at] | (data[at + 1] << 8)); };
    auto skip_sub_blocks = [&](std::size_t at) {
        while (at < size && data[at] != 0) at += std::size_t(data[at]) + 1;
        return at + 1;
    };
    if (size < 13) return true;
    const std::int64_t screen_w = u16(6), screen_h = u16(8);
    if (!fits(screen_w, screen_h)) return false;
    std::size_t at = 13;
    if (data[10] & 0x80) at += 3 * (std::size_t(1) << ((data[10] & 7) + 1));
    while (at < size) {
        const std::uint8_t block = data[at];
        if (block == 0x21) {
            at = skip_sub_blocks(at + 2);
        } else if (block == 0x2C) {
            if (at + 10 > size) return true;
            const std::int64_t left = u16(at + 1), top = u16(at + 3), w = u16(at + 5), h = u16(at + 7);
            if (!fits(w, h) || !fits(std::max(screen_w, left + w), std::max(screen_h, top + h))) return false;
            const std::uint8_t flags = data[at + 9];
            at += 10;
            if (flags & 0x80) at += 3 * (std::size_t(1) << ((flags & 7) + 1));
            at = skip_sub_blocks(at + 1);
        } else {
            return true;  // the trailer, or bytes the reader will stop at
        }
    }
    return true;
}

// The limit is on the pixel count, whatever the shape.
std::string limit_text() {
    return kz::crt::int_text(kMaxImagePixels) + " (" + kz::crt::int_text(kMaxImageSide) + " x " +
           kz::crt::int_text(kMaxImageSide) + ")";
}

std::string over_the_limit(std::int64_t width, std::int64_t height) {
    return "image of " + kz::crt::int_text(width) + " x " + kz::crt::int_text(height) + " pixels, more than the " +
           limit_text() + " accepted; not read";
}

// The size the header gives, with a negative height (a top-down BMP) as its absolute value; invalid when it gives
// none, or a height no int can negate.
QSize declared_size(QImageReader& reader) {
    const QSize size = reader.size();
    if (size.width() < 0 || size.height() == std::numeric_limits<int>::min()) return {};
    return size.height() < 0 ? QSize(size.width(), -size.height()) : size;
}

// Qt's allocation limit is one for the whole process: decodes take turns, each under the limit it is given, and the
// warning Qt gives when it refuses an image for passing it (naming no file) is taken as the refusal it is.
class AllocationLimit {
public:
    // `quiet`: everything said on this thread meanwhile is dropped (a header read, whose complaints the damage check
    // says again naming the file).
    explicit AllocationLimit(int mib, bool quiet = false) : turn_(turns()), before_(QImageReader::allocationLimit()) {
        QImageReader::setAllocationLimit(mib);
        g_refused = false;
        g_said.clear();
        g_held.clear();
        g_cut = false;
        g_quiet = quiet;
        g_decoding = std::this_thread::get_id();
        g_previous = qInstallMessageHandler(&AllocationLimit::on_message);
    }
    ~AllocationLimit() {
        qInstallMessageHandler(g_previous.load());
        g_decoding = std::thread::id();
        QImageReader::setAllocationLimit(before_);
    }
    AllocationLimit(const AllocationLimit&) = delete;
    AllocationLimit& operator=(const AllocationLimit&) = delete;
    bool refused() const { return g_refused; }
    // The first thing a decoder said during this turn.
    const std::string& said() const { return g_said; }
    // Whether the decoder said it ran out of data inside the scan: it fills the rest in and reads "successfully".
    bool cut_short() const { return g_cut; }
    // What the decoders said during a read that succeeded and was whole goes on as they said it.
    void pass_on() const {
        const QtMessageHandler previous = g_previous.load();
        for (const Said& s : g_held)
            if (previous) previous(s.type, QMessageLogContext(nullptr, 0, nullptr, s.category.c_str()), s.message);
    }

private:
    struct Said {
        QtMsgType type;
        std::string category;
        QString message;
    };
    static std::mutex& turns() {
        static std::mutex m;
        return m;
    }
    // What the decoders say (their categories begin with "qt.gui.imageio") names no file: it is held until the read
    // has ended, for the one line that names the file when the read fails, or to be passed on when it succeeds.
    static void on_message(QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (g_quiet && std::this_thread::get_id() == g_decoding.load()) return;
        if (std::this_thread::get_id() == g_decoding.load() && context.category &&
            std::strncmp(context.category, "qt.gui.imageio", 14) == 0) {
            if (message.contains("allocation limit")) {
                g_refused = true;
            } else if (message.contains("premature end of data segment")) {
                g_cut = true;
            } else {
                if (g_said.empty()) g_said = message.toStdString();
                g_held.push_back({type, context.category, message});
            }
            return;
        }
        if (const QtMessageHandler previous = g_previous.load()) previous(type, context, message);
    }
    // Set and read only by the thread whose turn it is.
    static inline std::vector<Said> g_held;
    static inline bool g_cut = false;
    static inline bool g_quiet = false;
    static inline std::string g_said;
    static inline std::atomic<bool> g_refused{false};
    static inline std::atomic<std::thread::id> g_decoding{};
    static inline std::atomic<QtMessageHandler> g_previous{nullptr};
    std::lock_guard<std::mutex> turn_;
    int before_;
};

// Our own limit in Qt's terms: MiB of decoded image at 4 bytes a pixel.
constexpr int kOwnLimitMib = static_cast<int>(kMaxImagePixels * 4 >> 20);

constexpr char kNotRead[] = "picture not read: ";

// `why` is set for every refusal the user should hear of: an image larger than the limit, and a file that is no
// picture or not a whole one. A refusal of the caller's budget is the budget's to tell.
crt::GlobalHandle decode_image(const void* data, std::size_t size, int fit_side, std::string* why,
                               const ImageBudget& budget = {}) {
    if (!data || size == 0) {
        *why = std::string(kNotRead) + "the file is empty";
        return nullptr;
    }
    if (size > kMaxReadBytes) return nullptr;
    ensure_gui_application();  // Qt finds its format plugins (jpeg, gif, tiff) only with an application object
    QByteArray bytes = QByteArray::fromRawData(static_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(false);
    if (reader.format().isEmpty()) {
        *why = std::string(kNotRead) + "not a picture (a file of type " +
               QMimeDatabase().mimeTypeForData(bytes).name().toStdString() + ")";
        return nullptr;
    }
    // A damaged file is said as damaged, after what its header asks was weighed (a picture too large is said as too
    // large), but for a PNG: libpng prints a line of its own, naming no file, on any read of a file cut short.
    const std::string damage = image_damage(static_cast<const std::uint8_t*>(data), size);
    if (!damage.empty() && reader.format() == "png") {
        *why = kNotRead + damage;
        return nullptr;
    }
    const bool palette = reader.format() == "gif";
    if (palette && !gif_frames_fit(static_cast<const std::uint8_t*>(data), size)) {
        *why = "a frame larger than the " + limit_text() + " pixels accepted; not read";
        return nullptr;
    }
    // Ours on the declared size before anything is decoded.
    QSize declared;
    {
        // What a decoder says of a file cut inside its header names no file; the damage check below says it.
        const AllocationLimit quiet(kOwnLimitMib, true);
        declared = declared_size(reader);
    }
    if (declared.isValid() && !fits(declared.width(), declared.height())) {
        *why = over_the_limit(declared.width(), declared.height());
        return nullptr;
    }
    if (fit_side > 0 && declared.isValid() && (declared.width() > fit_side || declared.height() > fit_side) &&
        reader.supportsOption(QImageIOHandler::ScaledSize))
        reader.setScaledSize(QSize(std::min(declared.width(), fit_side), std::min(declared.height(), fit_side)));
    const QSize decoded = reader.scaledSize().isValid() ? reader.scaledSize() : declared;
    const std::int64_t weighed = decoded.isValid() ? std::int64_t(decoded.width()) * decoded.height() : 0;
    if (budget.may_take && weighed > 0 && !budget.may_take(std::uint64_t(weighed) * 8)) return nullptr;
    if (!damage.empty()) {
        *why = kNotRead + damage;
        return nullptr;
    }
    // Qt's guard on what the decoder really allocates, whatever the header said: our limit, or what the budget has
    // left when that is less.
    const std::uint64_t room = budget.room ? budget.room() : UINT64_MAX;
    const int limit_mib = static_cast<int>(std::clamp<std::uint64_t>(room >> 20, 1, kOwnLimitMib));
    QImage image;
    bool refused = false, cut = false;
    std::string said;
    {
        AllocationLimit limit(limit_mib);
        const bool read = reader.read(&image) && !image.isNull();
        refused = !read && limit.refused();
        cut = read && limit.cut_short();
        if (!read) {
            image = QImage();
            said = limit.said().empty() ? reader.errorString().toStdString() : limit.said();
        } else if (!cut) {
            limit.pass_on();
        }
    }
    if (cut) {
        *why = kNotRead + std::string(kPictureCutShort);
        return nullptr;
    }
    if (refused) {
        if (limit_mib < kOwnLimitMib) {
            if (budget.may_take) budget.may_take(room + 1);
        } else {
            *why = "image larger than the " + limit_text() + " pixels accepted; not read";
        }
        return nullptr;
    }
    if (image.isNull()) {
        *why = kNotRead + ("the picture is damaged (" + said + ")");
        return nullptr;
    }
    if (!fits(image.width(), image.height())) {
        *why = over_the_limit(image.width(), image.height());
        return nullptr;
    }
    // The header said less than the file held (or nothing): the decoded image is taken already, its DIB is weighed
    // before it is made.
    const std::int64_t pixels = std::int64_t(image.width()) * image.height();
    if (budget.may_take && pixels > weighed && !budget.may_take(std::uint64_t(pixels) * 4)) return nullptr;
    return dib_from_image(image, palette);
}

}  // namespace

crt::GlobalHandle load_image_dib_from_memory(const void* data, std::size_t size, int fit_side) {
    std::string why;
    return decode_image(data, size, fit_side, &why);
}

crt::GlobalHandle load_image_dib(std::string_view windows_path, int fit_side, const ImageBudget& budget) {
    std::string bytes, why;
    if (!read_whole_file(windows_path, &bytes, kMaxReadBytes, &why)) {
        // A missing file is named by the caller, who knows what it was looked for as.
        if (file_exists(windows_path)) report_line(display_name(windows_path) + ": " + kNotRead + why);
        return nullptr;
    }
    crt::GlobalHandle dib = decode_image(bytes.data(), bytes.size(), fit_side, &why, budget);
    if (!why.empty()) report_line(display_name(windows_path) + ": " + why);
    return dib;
}

bool save_dib_as_bmp(std::string_view windows_path, crt::GlobalHandle dib, std::string* why) {
    LockedDib d(dib);
    if (!d.valid()) {
        if (why) *why = "not a picture that can be written";
        return false;
    }
    const std::uint32_t image = static_cast<std::uint32_t>(dib_stride(d.header->width, d.header->bit_count)) *
                                static_cast<std::uint32_t>(d.header->height);
    std::uint8_t file_header[14] = {'B', 'M'};
    const std::uint32_t file_size = image + 54, offset = 54;
    std::memcpy(file_header + 2, &file_size, 4);
    std::memcpy(file_header + 10, &offset, 4);
    DibInfoHeader header = *d.header;
    header.size_image = image;
    FileWriter out(windows_path);
    if (out.write(file_header, sizeof file_header) && out.write(&header, sizeof header) && out.write(d.bits, image) &&
        out.commit())
        return true;
    if (why) *why = out.failure();
    return false;
}

std::optional<std::string> encode_dib_as_png(crt::GlobalHandle dib, std::int64_t transparent) {
    LockedDib d(dib);
    if (!d.valid()) return std::nullopt;
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
    if (!writer.write(image)) return std::nullopt;
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

bool save_dib_as_png(std::string_view windows_path, crt::GlobalHandle dib, std::int64_t transparent, std::string* why) {
    const std::optional<std::string> png = encode_dib_as_png(dib, transparent);
    if (!png) {
        if (why) *why = "not a picture that can be written";
        return false;
    }
    return write_whole_file(windows_path, *png, why);
}

}  // namespace kz::platform
