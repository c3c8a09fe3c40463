// The built-in stroke font: the program's font block (the glyph reader is the drawing library's, which reads the
// kanji font files of the same format) and the lookup of a Shift_JIS character's strokes.
#pragma once
#include "app/foundation/program_resources.h"
#include "drawing2d/stroke_glyphs.h"

namespace kz::foundation {

using kz::drawing2d::kMaxGlyphSegments;
using kz::drawing2d::kStrokeFontUnits;
using kz::drawing2d::StrokeFontBlock;

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
