// The stroke font block: a glyph directory over JIS X 0208 rows and columns, each glyph a list of straight
// segments in 1/194 of the character height. The program's built-in font and the kanji font files share it.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kz::drawing2d {

// Font units per character height; glyph coordinates are bytes and may exceed it.
inline constexpr double kStrokeFontUnits = 194.0;
// The most segments one glyph has (its count is a byte): the room a glyph's output needs, times 4 doubles.
inline constexpr int kMaxGlyphSegments = 255;
// Bytes before the glyph directory.
inline constexpr std::size_t kGlyphDirectoryStart = 30;

// A font block read in place. It is taken only when its header, directory and glyph area fit the bytes given;
// every glyph is checked against the end of the block before it is read.
class StrokeFontBlock {
public:
    StrokeFontBlock() = default;
    // false, leaving the block empty, when the bytes are no whole font block.
    bool attach(const unsigned char* data, std::size_t size);
    bool empty() const { return data_ == nullptr; }

    // The glyph of a JIS code (row in the high byte, column in the low byte) as 4 doubles per segment (x1, y1,
    // x2, y2 in character heights, y upward): the segment count; 0 without glyph or when the glyph would run past
    // the block; -1 when the block is empty or the code lies outside its ranges.
    int glyph_segments(unsigned jis, double* out) const;

private:
    const unsigned char* data_ = nullptr;
    std::size_t size_ = 0;
    std::uint64_t glyph_base_ = 0;  // offset of glyph data byte 1 is glyph_base_ + 1
    unsigned column_low_ = 0, column_high_ = 0, row_low_ = 0, row_high_ = 0;
};

// The glyph of a byte code in a single-byte font (256 little-endian 16-bit offsets from the font's start, 0 for
// none, each glyph a count and its segments as in the kanji fonts), in character heights as above: the segment
// count; 0 without glyph or when the font is too short for it.
int ank_glyph_segments(const unsigned char* data, std::size_t size, unsigned code, double* out);

// Little-endian 32-bit value at p.
inline std::uint32_t read_le32(const unsigned char* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace kz::drawing2d
