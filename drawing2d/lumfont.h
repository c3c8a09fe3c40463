// The font block linked into drawings (kanji and single-byte stroke fonts loaded from font files), its loading and
// linking, and the resolution of a drawing's 16 + 16 font slots against it.
#pragma once
#include <cstddef>
#include <cstdint>

#include "drawing2d/drawing_context.h"

namespace kz::drawing2d {

// One loaded font file: its bytes (null when the file could not be used) and its file name without directory.
struct lumfont_entry {
    void* data;
    std::size_t size;
    char file_name[512];
};

struct lumfont_context {
    char kanji_directory[512];
    int32_t kanji_count;
    lumfont_entry* kanji_fonts[64];
    char ank_directory[512];
    int32_t ank_count;
    lumfont_entry* ank_fonts[64];
};

using lumfont_handle = kz::crt::GlobalHandle;

// Slot kinds.
constexpr int32_t kWindowsFont = 0;
constexpr int32_t kAnkFontFile = 1;
constexpr int32_t kKanjiFontFile = 2;

// The layout of a kanji font (".fnt", or an ".idx" and ".dat" pair combined): the index size, the row and
// column ranges "!~!~", the index from byte 30 and the glyphs after it.
constexpr uint32_t kKanjiIndexBytes = 35344;
constexpr std::size_t kKanjiGlyphStart = 30 + kKanjiIndexBytes;

lumfont_handle lumfont_open();
// Loads every single-byte (".ank", then ".bin") or kanji (".fnt", then ".idx" with ".dat") font of the directory
// (which ends with its separator), replacing the fonts of that kind. 0; 1 when the handle cannot be locked.
int lumfont_load_ank(lumfont_handle handle, const char* directory);
int lumfont_load_kanji(lumfont_handle handle, const char* directory);
// Releases every font and the block; drawings still linked to it are unlinked first. 1; 0 for a bad handle.
int lumfont_close(lumfont_handle handle);
lumfont_context* lumfont_lock(lumfont_handle handle);
void lumfont_unlock(lumfont_handle handle);

// With a key beginning "LINK" (case ignored) links the font block into the drawing and returns it; otherwise
// unlinks it from the drawing (every slot pointer into it is cleared) and returns null.
lumfont_context* zolt_link_lumfont(drawing_handle handle, lumfont_handle font, const char* key);
// Unlinks whatever font block the drawing has (when it closes).
void unlink_font_block(drawing_context* ctx);
// After a font block's fonts changed: the slots of every drawing linked to it are resolved again.
void refresh_linked_drawings(const lumfont_context* fonts);
// Before a font block goes: every drawing linked to it is unlinked.
void forget_font_block(const lumfont_context* fonts);

// The "SetFontType" command: kinds and font entries of every slot from its name and the linked font block.
int resolve_font_slots(drawing_context* ctx);

}  // namespace kz::drawing2d
