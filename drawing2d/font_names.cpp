// The font names of the 16 slots (a kanji and a single-byte name each, 31 bytes at most) as text records, the
// named variables and the commands read and set them; every change resolves the slots again.
#include <strings.h>

#include <cstring>

#include "drawing2d/active_attributes.h"
#include "drawing2d/lumfont.h"
#include "platform/crt/mbcs.h"

namespace kz::drawing2d {
namespace {
bool valid_slot(int32_t slot) { return slot >= 0 && slot < kSlots; }

int copy_out(const char* name, char* buffer, std::size_t capacity) {
    if (!buffer || capacity == 0) return 0;
    std::size_t n = strnlen(name, 31);
    if (n >= capacity) n = capacity - 1;
    std::memcpy(buffer, name, n);
    buffer[n] = 0;
    return 1;
}

// Which name a key means: 2 the kanji name ("text" or "kanji"), 1 the single-byte name ("ank"), 0 none.
int key_kind(const char* key) {
    if (!key) return 0;
    if (strncasecmp(key, "text", 4) == 0 || strncasecmp(key, "kanji", 5) == 0) return 2;
    if (strncasecmp(key, "ank", 3) == 0) return 1;
    return 0;
}
}  // namespace

void copy_font_name(char (&field)[32], const char* name) {
    std::size_t n = 0;
    for (const char* p = name ? name : ""; p[n];) {
        std::size_t step = kz::crt::is_sjis_lead(static_cast<unsigned char>(p[n])) && p[n + 1] ? 2 : 1;
        if (n + step > 31) break;
        n += step;
    }
    std::memcpy(field, name ? name : "", n);
    std::memset(field + n, 0, 32 - n);
}

int xlum_get_font(const drawing_context* ctx, int32_t row, char* buffer, std::size_t capacity) {
    if (row < 0 || row > ctx->mat || row_code(ctx, row) <= 0) return 0;
    int32_t slot = row_color(ctx, row);
    if (!valid_slot(slot)) slot = 5;
    int32_t type = row_type(ctx, row);
    if (type == kTypeText) return copy_out(ctx->ank_font_name[slot], buffer, capacity);
    if (type == kTypeKanjiText) return copy_out(ctx->kanji_font_name[slot], buffer, capacity);
    return 0;
}

int xlum_get_text_font(const drawing_context* ctx, int32_t slot, char* buffer, std::size_t capacity) {
    return valid_slot(slot) ? copy_out(ctx->kanji_font_name[slot], buffer, capacity) : 0;
}

int xlum_set_text_font(drawing_context* ctx, int32_t slot, const char* name) {
    if (!valid_slot(slot)) return 0;
    copy_font_name(ctx->kanji_font_name[slot], name);
    copy_font_name(ctx->ank_font_name[slot], name);
    resolve_font_slots(ctx);
    return 1;
}

int xlum_get_string(const drawing_context* ctx, const char* key, int32_t slot, char* buffer, std::size_t capacity) {
    int kind = key_kind(key);
    if (!kind || !valid_slot(slot)) return 0;
    return copy_out(kind == 2 ? ctx->kanji_font_name[slot] : ctx->ank_font_name[slot], buffer, capacity);
}

int xlum_set_string(drawing_context* ctx, const char* key, int32_t slot, const char* string) {
    int kind = key_kind(key);
    if (!kind || !valid_slot(slot)) return 0;
    copy_font_name(kind == 2 ? ctx->kanji_font_name[slot] : ctx->ank_font_name[slot], string);
    resolve_font_slots(ctx);
    return 1;
}

}  // namespace kz::drawing2d
