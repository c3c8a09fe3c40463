// Packed DIBs, text and small drawing helpers over the platform's device contexts and GDI layer.
#include "app/foundation/dib_text.h"

#include <cmath>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "app/foundation/field_tokenizer.h"
#include "platform/clipboard.h"
#include "platform/text_codec.h"

namespace kz::foundation {

const char kDefaultFaceName[] = "\x82\x6c\x82\x72\x20\x82\x6f\x96\xbe\x92\xa9";

namespace {

// Integer part (toward zero), as the C conversion does.
int trunc_int(double v) {
    if (!(v > -2147483648.0 && v < 2147483648.0)) return 0;
    return static_cast<int>(v);
}

// A locked DIB block with its header kind, palette and pixel rows checked against the block's size.
struct DibView {
    crt::GlobalHandle handle = nullptr;
    std::uint8_t* base = nullptr;
    std::size_t size = 0;
    int width = 0, height = 0, bits = 0;
    std::uint8_t* pixels = nullptr;
    explicit DibView(crt::GlobalHandle h) : handle(h) {
        size = crt::global_size(h);
        if (size < 12) return;
        base = static_cast<std::uint8_t*>(crt::global_lock(h));
        if (!base) return;
        std::uint32_t header_size;
        std::memcpy(&header_size, base, 4);
        if (header_size != 40 && header_size != 12) return;
        if (header_size == 40 && size < 40) return;
        width = dib_width(base);
        height = dib_height(base);
        std::uint16_t bit_count;
        std::memcpy(&bit_count, base + (header_size == 40 ? 14 : 10), 2);
        bits = bit_count;
        const std::size_t offset = header_size + static_cast<std::size_t>(dib_palette_size(base));
        if (width <= 0 || height <= 0 || bits <= 0 || offset > size) return;
        const std::uint64_t need = static_cast<std::uint64_t>(dib_row_stride(width, (bits + 7) / 8)) * height;
        if (need > size - offset) return;
        pixels = base + offset;
    }
    ~DibView() {
        if (base) crt::global_unlock(handle);
    }
    bool ok() const { return pixels != nullptr; }
    std::uint8_t* row(int y_from_bottom) const {
        return pixels + static_cast<std::size_t>(y_from_bottom) * dib_row_stride(width, bits / 8);
    }
};

std::u16string utf16(const char* text) { return platform::cp932_to_utf16(text ? text : ""); }

}  // namespace

crt::GlobalHandle create_dib24(int width, int height) {
    crt::GlobalHandle h = platform::allocate_packed_dib(width, height, 24);
    if (!h) return nullptr;
    auto* header = static_cast<platform::DibInfoHeader*>(crt::global_lock(h));
    header->size_image = static_cast<std::uint32_t>(dib_row_stride(width, 3)) * static_cast<std::uint32_t>(height);
    std::memset(reinterpret_cast<std::uint8_t*>(header) + 40, 255, header->size_image);
    crt::global_unlock(h);
    return h;
}

int create_memory_dc(int width, int height, std::unique_ptr<DeviceContext>* dc,
                     std::unique_ptr<platform::Bitmap>* bitmap, platform::Bitmap** previous) {
    auto memory = DeviceContext::create_memory();
    auto b = platform::Bitmap::create_compatible(std::max(width, 1), std::max(height, 1));
    platform::Bitmap* old = b ? memory->select_bitmap(b.get()) : nullptr;
    if (dc) *dc = std::move(memory);
    if (bitmap) *bitmap = std::move(b);
    if (previous) *previous = old;
    return 0;
}

void dib_from_memory_dc(crt::GlobalHandle dib, int width, int height, std::unique_ptr<DeviceContext>& dc,
                        std::unique_ptr<platform::Bitmap>& bitmap, platform::Bitmap* previous) {
    if (bitmap) {
        const std::size_t block = crt::global_size(dib);
        if (auto* base = static_cast<std::uint8_t*>(crt::global_lock(dib))) {
            std::uint32_t header_size = 0;
            if (block >= 4) std::memcpy(&header_size, base, 4);
            const std::size_t offset = (header_size == 40 || header_size == 12) && block >= header_size
                                           ? header_size + static_cast<std::size_t>(dib_palette_size(base))
                                           : block;
            const std::size_t stride = static_cast<std::size_t>(dib_row_stride(width, 3));
            int lines = std::min(height, bitmap->height());
            if (stride == 0 || offset >= block)
                lines = 0;
            else
                lines = static_cast<int>(
                    std::min<std::size_t>(static_cast<std::size_t>(std::max(lines, 0)), (block - offset) / stride));
            if (width == bitmap->width() && lines > 0) platform::get_dib_bits(*bitmap, 0, lines, base + offset, 24);
            crt::global_unlock(dib);
        }
    }
    if (dc) dc->select_bitmap(previous);
    bitmap.reset();
    dc.reset();
}

namespace {
// A size field of either header kind: 16-bit in the 12-byte core header, 32-bit signed in the 40-byte one.
int dib_header_size_field(const void* header, int core_offset, int info_offset) {
    if (!header) return 0;
    const auto* p = static_cast<const std::uint8_t*>(header);
    std::uint32_t size;
    std::memcpy(&size, p, 4);
    if (size == 12) {
        std::uint16_t v;
        std::memcpy(&v, p + core_offset, 2);
        return v;
    }
    std::int32_t v;
    std::memcpy(&v, p + info_offset, 4);
    return v;
}
}  // namespace

int dib_width(const void* header) { return dib_header_size_field(header, 4, 4); }
int dib_height(const void* header) { return dib_header_size_field(header, 6, 8); }

int dib_row_stride(int width, int bytes_per_pixel) { return ((width * bytes_per_pixel - 1) & ~3) + 4; }

int dib_palette_size(const void* header) {
    if (!header) return 0;
    const auto* p = static_cast<const std::uint8_t*>(header);
    std::uint32_t size;
    std::memcpy(&size, p, 4);
    if (size == 12) {
        std::uint16_t bits;
        std::memcpy(&bits, p + 10, 2);
        return bits == 1 ? 6 : bits == 4 ? 48 : bits == 8 ? 768 : 0;
    }
    std::uint16_t bits;
    std::uint32_t used;
    std::memcpy(&bits, p + 14, 2);
    std::memcpy(&used, p + 32, 4);
    if (used & 0xFFFF) return static_cast<int>((used & 0xFFFF) * 4);
    return bits == 1 ? 8 : bits == 4 ? 64 : bits == 8 ? 1024 : 0;
}

int draw_dib(DeviceContext* dc, const GdiRect& destination, crt::GlobalHandle dib, const GdiRect& source) {
    if (!dib || !dc) return 0;
    DibView view(dib);
    if (!view.ok() || (view.bits != 24 && view.bits != 32) || dib_palette_size(view.base) != 0) return 0;
    platform::DibInfoHeader header;
    header.width = view.width;
    header.height = view.height;
    header.bit_count = static_cast<std::uint16_t>(view.bits);
    platform::set_stretch_blt_mode(*dc, 3);  // COLORONCOLOR
    const int dw = destination.right - destination.left, dh = destination.bottom - destination.top;
    const int sw = source.right - source.left, sh = source.bottom - source.top;
    // Our transfers count source rows from the top of the picture, so the bottom-up flip of the source origin
    // that Windows' bottom-up DIB calls need is already done there.
    if (dw == sw && dh == sh)
        return platform::set_dib_bits_to_device(*dc, destination.left, destination.top, dw, dh, source.left, source.top,
                                                header, view.pixels);
    return platform::stretch_dib_bits(*dc, destination.left, destination.top, dw, dh, source.left, source.top, sw, sh,
                                      header, view.pixels);
}

crt::GlobalHandle make_anaglyph_dib(crt::GlobalHandle left, crt::GlobalHandle right, int mode) {
    DibView l(left), r(right);
    // Reading the right picture by the left one's size would run past a smaller block: refuse mismatches.
    if (!l.ok() || !r.ok() || l.bits != 24 || r.bits != 24 || l.width != r.width || l.height != r.height)
        return nullptr;
    crt::GlobalHandle out = create_dib24(l.width, l.height);
    if (!out) return nullptr;
    DibView o(out);
    for (int y = 0; y < l.height; ++y) {
        const std::uint8_t* pl = l.row(y);
        const std::uint8_t* pr = r.row(y);
        std::uint8_t* po = o.row(y);
        for (int x = 0; x < l.width; ++x, pl += 3, pr += 3, po += 3) {
            if (mode == 0) {
                po[0] = pr[0];
                po[1] = pr[1];
                po[2] = static_cast<std::uint8_t>((pl[1] + pl[0] + 1) / 2);
            } else {
                const auto grey = [](const std::uint8_t* p) {
                    return static_cast<std::uint8_t>(0.6 * p[1] + 0.1 * p[0] + 0.3 * p[2]);
                };
                po[0] = po[1] = grey(pr);
                po[2] = grey(pl);
            }
        }
    }
    return out;
}

void make_logfont(LogFont* out, double height, const char* face, const LogFont* templ, int bold) {
    if (!out) return;
    if (templ) {
        *out = *templ;
        if (!out->face_name[0]) std::memcpy(out->face_name, kDefaultFaceName, sizeof kDefaultFaceName);
    } else {
        *out = LogFont{};
        out->weight = bold == 0 ? 400 : 700;
        out->char_set = 1;  // DEFAULT_CHARSET
        std::memcpy(out->face_name, kDefaultFaceName, sizeof kDefaultFaceName);
    }
    out->height = std::max(1, trunc_int(height));
    if (face && *face) {
        std::memset(out->face_name, 0, sizeof out->face_name);
        std::strncpy(out->face_name, face, sizeof out->face_name - 1);
    }
}

void text_out_gdi(DeviceContext* dc, const char* text, double x, double y, double height, ColorRef color,
                  const char* face, int background, int bold, double angle) {
    if (!dc || !text) return;
    platform::set_rop2(*dc, platform::kR2CopyPen);
    if (background >= 0) {
        platform::set_bk_color(*dc, static_cast<ColorRef>(background));
        platform::set_bk_mode(*dc, platform::kOpaque);
    } else {
        platform::set_bk_mode(*dc, platform::kTransparent);
    }
    platform::set_text_color(*dc, color);
    LogFont font;
    font.height = trunc_int(height);
    font.escapement = trunc_int(angle * 10);
    font.weight = bold ? 700 : 400;
    font.char_set = 1;
    const char* name = face && *face ? face : kDefaultFaceName;
    std::strncpy(font.face_name, name, sizeof font.face_name - 1);
    const LogFont old = platform::select_font(*dc, font);
    platform::text_out(*dc, trunc_int(x + 0.5), trunc_int(y + 0.5), text);
    platform::select_font(*dc, old);
}

void draw_text(DeviceContext* dc, const char* text, double x, double y, double height, ColorRef color, const char* face,
               int background, const LogFont* templ, int bold, const GdiPoint* anchor, double angle, Graphics* graphics,
               double line_offset) {
    if ((!dc && !graphics) || !text) return;
    const double ax = anchor ? anchor->x : trunc_int(x), ay = anchor ? anchor->y : trunc_int(y);
    if (!graphics) {
        if (angle != 0) {  // the point turns with the text about the anchor
            const double a = -angle * M_PI / 180.0, dx = x - ax, dy = y - ay;
            x = ax + dx * std::cos(a) - dy * std::sin(a);
            y = ay + dx * std::sin(a) + dy * std::cos(a);
        }
        text_out_gdi(dc, text, x, y, height, color, face, background, 0, angle);
        return;
    }
    const std::uint32_t argb = 0xFF000000u | ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
    LogFont font;
    make_logfont(&font, height, face, templ, bold);
    const bool vertical = font.face_name[0] == '@';
    if (vertical) x -= 1.1 * height;
    // The drawing surface has its y axis upward: flip, after turning about the anchor.
    graphics->set_transform(1, 0, 0, -1, 0, 0);
    if (angle != 0) graphics->rotate_about(-angle, ax, ay + line_offset);
    graphics->draw_string(utf16(text), font, x, y + line_offset, argb, vertical);
    graphics->reset_transform();
}

void draw_multiline_text(DeviceContext* dc, const char* text, double x, double y, double height, ColorRef color,
                         const char* face, int background, double spacing, int* longest, int* line_count, int alignment,
                         int bold, double angle, Graphics* graphics, double line_offset) {
    std::vector<std::string> lines;
    const std::string t = text ? text : "";
    std::size_t begin = 0;
    for (std::size_t i = 0; i < t.size();) {
        if (t[i] == '_' && i + 1 < t.size() && t[i + 1] == '_') {
            lines.push_back(t.substr(begin, i - begin));
            i += 2;
            begin = i;
            continue;
        }
        i += static_cast<std::size_t>(sjis_char_size(t.c_str() + i));
    }
    lines.push_back(t.substr(begin));
    int widest = 0;
    for (const std::string& l : lines) widest = std::max(widest, static_cast<int>(l.size()));
    if (longest) *longest = widest;
    if (line_count) *line_count = static_cast<int>(lines.size());
    if (!dc && !graphics) return;
    const double pitch = height + std::abs(spacing);
    const double start = spacing < 0 ? y - pitch * static_cast<double>(lines.size() - 1) : y;
    const double vertical = (alignment & 12) == 0 ? -height : (alignment & 12) == 4 ? -height / 2 : 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const double bytes = static_cast<double>(lines[i].size());
        const double horizontal = (alignment & 3) == 1   ? -bytes * height / 4
                                  : (alignment & 3) == 2 ? -bytes * height / 2
                                                         : 0;
        const int lx = trunc_int(x + horizontal + 0.5);
        const int ly = trunc_int(start + pitch * static_cast<double>(i) + vertical + 0.5);
        draw_text(dc, lines[i].c_str(), lx, ly, height, color, face, background, nullptr, bold, nullptr, angle,
                  graphics, line_offset);
    }
}

void draw_line_or_rect(DeviceContext* dc, int x1, int y1, int x2, int y2, int brush_color, int shape, int rop) {
    if (!dc) return;
    const int old_rop = platform::set_rop2(*dc, rop < 1 ? platform::kR2CopyPen : rop);
    const platform::Brush brush =
        brush_color >= 0 ? platform::Brush{false, static_cast<ColorRef>(brush_color)} : platform::stock_null_brush();
    const platform::Brush old_brush = platform::select_brush(*dc, brush);
    if (shape == 0) {
        platform::move_to(*dc, x1, y1);
        platform::line_to(*dc, x2, y2);
    } else if (shape == 1) {
        platform::rectangle(*dc, x1, y1, x2, y2);
    } else if (shape == 2) {
        platform::fill_rect(*dc, {std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)}, brush);
    }
    platform::select_brush(*dc, old_brush);
    if (old_rop) platform::set_rop2(*dc, old_rop);
}

int fill_polygon(DeviceContext* dc, const GdiPoint* points, int count, ColorRef color, const platform::Pen& pen) {
    if (!dc) return 1;
    const platform::Pen old_pen = platform::select_pen(*dc, pen);
    const platform::Brush old_brush = platform::select_brush(*dc, platform::Brush{false, color});
    platform::polygon(*dc, points, count);
    platform::select_brush(*dc, old_brush);
    platform::select_pen(*dc, old_pen);
    return 1;
}

void get_monitor_work_area(const GdiPoint& point, GdiRect* out) {
    if (out && !platform::monitor_work_area(point.x, point.y, out)) *out = GdiRect{};
}

void lparam_to_point(std::intptr_t lparam, GdiPoint* out) {
    if (!out) return;
    out->x = static_cast<std::int16_t>(lparam & 0xFFFF);
    out->y = static_cast<std::int16_t>((lparam >> 16) & 0xFFFF);
}

int copy_text_to_clipboard(const char* text, int keep) {
    if (!text || !*text) return 0;
    return platform::set_clipboard_data(platform::kClipboardText, text, keep == 1) ? 1 : 0;
}

}  // namespace kz::foundation
