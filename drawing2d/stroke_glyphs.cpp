// Reading glyphs out of a stroke font block, checked against the block's end at every step.
#include "drawing2d/stroke_glyphs.h"

namespace kz::drawing2d {

namespace {
int read_segments(const unsigned char* data, std::size_t size, std::uint64_t start, double* out) {
    if (start >= size) return 0;
    const unsigned count = data[start];
    if (start + 1 + 4 * std::uint64_t{count} > size) return 0;
    for (unsigned i = 0; i < 4 * count; ++i) out[i] = data[start + 1 + i] / kStrokeFontUnits;
    return static_cast<int>(count);
}
}  // namespace

bool StrokeFontBlock::attach(const unsigned char* data, std::size_t size) {
    *this = StrokeFontBlock();
    if (!data || size < kGlyphDirectoryStart) return false;
    const std::uint64_t header = read_le32(data);
    const unsigned col_lo = data[4], col_hi = data[5], row_lo = data[6], row_hi = data[7];
    if (col_lo > col_hi || row_lo > row_hi) return false;
    const std::uint64_t entries = std::uint64_t{col_hi - col_lo + 1} * (row_hi - row_lo + 1);
    // The directory lies inside the header area, and the glyph area starts within the bytes.
    if (entries * 4 > header || kGlyphDirectoryStart + header > size) return false;
    data_ = data;
    size_ = size;
    glyph_base_ = kGlyphDirectoryStart - 1 + header;
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
    const std::uint32_t value = read_le32(data_ + kGlyphDirectoryStart + 4 * index);
    if (value == 0) return 0;
    return read_segments(data_, size_, glyph_base_ + value, out);
}

int ank_glyph_segments(const unsigned char* data, std::size_t size, unsigned code, double* out) {
    if (!data || code > 255 || size < 512) return 0;
    const unsigned offset = data[2 * code] | data[2 * code + 1] << 8;
    return offset == 0 ? 0 : read_segments(data, size, offset, out);
}

}  // namespace kz::drawing2d
