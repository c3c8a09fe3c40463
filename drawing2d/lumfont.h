// The font block linked into drawings (kanji and single-byte stroke fonts loaded from font files) and the
// resolution of a drawing's 16 + 16 font slots against it.
#pragma once
#include <cstdint>

#include "drawing2d/drawing_context.h"

namespace kz::drawing2d {

struct lumfont_entry {
    void* data;
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

// Slot kinds.
constexpr int32_t kWindowsFont = 0;
constexpr int32_t kAnkFontFile = 1;
constexpr int32_t kKanjiFontFile = 2;

// The "SetFontType" command: kinds and font pointers of every slot from its name and the linked font block.
int resolve_font_slots(drawing_context* ctx);

}  // namespace kz::drawing2d
