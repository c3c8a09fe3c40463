// Font slot resolution: a slot name with a font-file extension refers to a loaded stroke font of the linked block,
// any other name to a system font drawn by the device.
#include <strings.h>

#include <cstring>

#include "drawing2d/lumfont.h"

namespace kz::drawing2d {
namespace {
bool name_has(const char* name, const char* upper, const char* lower) {
    return std::strstr(name, upper) || std::strstr(name, lower);
}

// The first loaded font of that file name; a font whose file could not be used is none.
const lumfont_entry* find_font(lumfont_entry* const* fonts, int32_t count, const char* name) {
    if (count > 64) count = 64;
    for (int32_t i = 0; i < count; ++i)
        if (fonts[i] && strcasecmp(fonts[i]->file_name, name) == 0) return fonts[i]->data ? fonts[i] : nullptr;
    return nullptr;
}

void resolve_slot(const lumfont_context* fonts, char (&name)[32], const lumfont_entry*& font, int32_t& kind,
                  bool kanji_slot) {
    name[31] = 0;
    font = nullptr;
    if (name_has(name, ".FNT", ".fnt") || name_has(name, ".IDX", ".idx")) {
        kind = kKanjiFontFile;
        if (kanji_slot && fonts) font = find_font(fonts->kanji_fonts, fonts->kanji_count, name);
    } else if (name_has(name, ".ANK", ".ank") || name_has(name, ".BIN", ".bin")) {
        kind = kAnkFontFile;
        if (!kanji_slot && fonts) font = find_font(fonts->ank_fonts, fonts->ank_count, name);
    } else {
        kind = kWindowsFont;
    }
}
}  // namespace

int resolve_font_slots(drawing_context* ctx) {
    for (int i = 0; i < kSlots; ++i)
        resolve_slot(ctx->linked_font, ctx->ank_font_name[i], ctx->ank_slot_font[i], ctx->ank_slot_kind[i], false);
    for (int i = 0; i < kSlots; ++i)
        resolve_slot(ctx->linked_font, ctx->kanji_font_name[i], ctx->kanji_slot_font[i], ctx->kanji_slot_kind[i], true);
    return 0;
}

}  // namespace kz::drawing2d
