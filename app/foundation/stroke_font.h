// The built-in stroke font: the font block (a glyph directory over JIS X 0208 rows and columns, each glyph a list
// of straight segments in 1/194 of the character height) and the lookup of a Shift_JIS character's strokes.
#pragma once
#include <cstddef>
#include <cstdint>

#include "app/foundation/program_resources.h"

namespace kz::foundation {

// Font units per character height; glyph coordinates are bytes and may exceed it.
inline constexpr double kStrokeFontUnits = 194.0;
// The most segments one glyph has (its count is a byte): the room get_kanji_line's output needs, times 4 doubles.
inline constexpr int kMaxGlyphSegments = 255;

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

// Locks the resource "JAPANESEFNT" of type "LUMFONT" of the module (null: the program) as the process's stroke
// font. A missing or damaged block leaves the program without a font and says "not find!" in a message box
// titled "LUMFONT".
void load_font_resource(const ResourceModule* module);

// The strokes of one character: two bytes, a double-byte Shift_JIS character or a single-byte character
// followed by NUL (drawn as its full-width form). out has room for kMaxGlyphSegments * 4 doubles. Returns the
// segment count, 0 for a character without glyph, -1 without a font or for a code outside the font. Without a
// font the user is told once, not once per character.
int get_kanji_line(const char* character, double* out);

// The process's stroke font (empty before load_font_resource or when it failed).
const StrokeFontBlock& stroke_font();

}  // namespace kz::foundation
