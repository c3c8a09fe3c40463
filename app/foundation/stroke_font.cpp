// Reading the stroke font block and the process-wide font of the program; the block is used in place, the way
// the locked resource was, and is never copied or cached.
#include "app/foundation/stroke_font.h"

#include "platform/crt/jis_codes.h"
#include "platform/dialogs.h"

namespace kz::foundation {
namespace {

constexpr std::size_t kDirectoryStart = 30;

StrokeFontBlock g_font;
// The missing font is told once per load: a text of a thousand characters must not bring a thousand boxes.
bool g_missing_told = false;

std::uint32_t read32(const unsigned char* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void tell_font_missing(const char* text) {
    if (g_missing_told) return;
    g_missing_told = true;
    platform::message_box(nullptr, text, "LUMFONT", platform::MB_OK);
}

}  // namespace

bool StrokeFontBlock::attach(const unsigned char* data, std::size_t size) {
    *this = StrokeFontBlock();
    if (!data || size < kDirectoryStart) return false;
    const std::uint64_t header = read32(data);
    const unsigned col_lo = data[4], col_hi = data[5], row_lo = data[6], row_hi = data[7];
    if (col_lo > col_hi || row_lo > row_hi) return false;
    const std::uint64_t entries = std::uint64_t{col_hi - col_lo + 1} * (row_hi - row_lo + 1);
    // The directory lies inside the header area, and the glyph area starts within the bytes.
    if (entries * 4 > header || kDirectoryStart + header > size) return false;
    data_ = data;
    size_ = size;
    glyph_base_ = kDirectoryStart - 1 + header;
    column_low_ = col_lo;
    column_high_ = col_hi;
    row_low_ = row_lo;
    row_high_ = row_hi;
    return true;
}

int StrokeFontBlock::glyph_segments(unsigned jis, double* out) const {
    if (!data_) return -1;
    const unsigned row = (jis >> 8) & 0xFF, column = jis & 0xFF;
    if (jis > 0xFFFF || column < column_low_ || column > column_high_ || row < row_low_ || row > row_high_) return -1;
    const std::size_t index = std::size_t{column_high_ - column_low_ + 1} * (row - row_low_) + (column - column_low_);
    const std::uint32_t value = read32(data_ + kDirectoryStart + 4 * index);
    if (value == 0) return 0;
    const std::uint64_t start = glyph_base_ + value;
    if (start >= size_) return 0;
    const unsigned count = data_[start];
    if (start + 1 + 4 * std::uint64_t{count} > size_) return 0;
    const unsigned char* p = data_ + start + 1;
    for (unsigned i = 0; i < 4 * count; ++i) out[i] = p[i] / kStrokeFontUnits;
    return static_cast<int>(count);
}

void load_font_resource(const ResourceModule* module) {
    std::size_t size = 0;
    const unsigned char* data = lock_resource(module, "LUMFONT", "JAPANESEFNT", &size);
    g_missing_told = false;
    if (!g_font.attach(data, size)) tell_font_missing("not find!");
}

int get_kanji_line(const char* character, double* out) {
    if (g_font.empty()) {
        tell_font_missing("get_kanji_line not find!");
        return -1;
    }
    if (!character || !out) return -1;
    const auto* c = reinterpret_cast<const unsigned char*>(character);
    const unsigned code = c[0] == 0 ? 0 : c[1] == 0 ? kz::crt::sjis_full_width(c[0]) : (c[0] << 8 | c[1]);
    return g_font.glyph_segments(kz::crt::sjis_to_jis(code), out);
}

const StrokeFontBlock& stroke_font() { return g_font; }

}  // namespace kz::foundation
