// Text records: a head row, a parameter row and string rows of six characters. Texts with double-byte characters
// are held wholly in double-byte form, each cell the JIS code of a character (or its Shift_JIS pair when it has no
// JIS form), so that a reader can tell the two apart by the high byte.
#include <cstring>

#include "drawing2d/active_attributes.h"
#include "drawing2d/plane_geometry.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/record_display.h"
#include "drawing2d/row_store.h"
#include "drawing2d/text_utils.h"
#include "platform/crt/jis_codes.h"

namespace kz::drawing2d {
namespace {
constexpr std::size_t kMaxTextBytes = 1023;

double fold_slant(double slant) {
    slant = normalize_degrees(slant);
    if (slant >= 80) {
        if (slant < 180)
            slant = 80;
        else if (slant < 280)
            slant = 280;
    }
    return slant;
}

bool fits_int32(double v) { return v >= -2147483648.0 && v <= 2147483647.0; }
}  // namespace

int write_text_rows(drawing_context* ctx, int32_t row, int32_t type, int32_t layer, int32_t group, int32_t colour,
                    int32_t style, double x, double y, double width, double height, double pitch, double angle,
                    double slant, int32_t alignment, const char* string, int32_t flags) {
    angle = normalize_degrees(angle);
    slant = fold_slant(slant);
    if (row < 0 || !string || !*string) return 0;
    std::size_t bytes = std::strlen(string);
    if (bytes > kMaxTextBytes) return 0;
    if (type == kTypeKanjiText) bytes &= ~static_cast<std::size_t>(1);
    if (bytes == 0) return 0;
    int n = type == kTypeKanjiText ? static_cast<int>(bytes / 2) : static_cast<int>(bytes);
    if (static_cast<int64_t>(row) + 13 + (n - 1) / 6 > ctx->mat) return 0;
    if (!fits_int32(x) || !fits_int32(y) || !(width <= 2147483647.0) || !(height <= 2147483647.0)) return 0;
    note_rows_changed(ctx, row);
    ctx->c1[row] = (layer & 0xFF) | ((type & 0xFF) << 8);
    ctx->c2[row] = group & 0xFFFF;
    ctx->c3[row] = (style & 0xFF) | ((colour & 0xFF) << 8);
    ctx->c4[row] = round_to_int32(x);
    ctx->c5[row] = round_to_int32(y);
    ctx->c6[row] = n;
    ctx->c7[row] = 0;
    int32_t p = row + 1;
    ctx->c1[p] = kContinuationCode;
    ctx->c2[p] = round_to_int32(width < 0.5 ? 0.5 : width);
    ctx->c3[p] = round_to_int32(height < 0.5 ? 0.5 : height);
    ctx->c4[p] = round_to_int32(pitch);
    ctx->c5[p] = angle_to_millionths(angle);
    ctx->c6[p] = angle_to_millionths(slant);
    ctx->c7[p] = static_cast<int32_t>(static_cast<uint32_t>(alignment) + static_cast<uint32_t>(flags) * 256u);
    int32_t* cells[6] = {ctx->c2, ctx->c3, ctx->c4, ctx->c5, ctx->c6, ctx->c7};
    const auto* s = reinterpret_cast<const unsigned char*>(string);
    for (int i = 0; i < n; ++i) {
        int32_t r = row + 2 + i / 6;
        if (i % 6 == 0) {
            ctx->c1[r] = kContinuationCode;
            for (auto* col : cells) col[r] = 0;
        }
        int32_t value;
        if (type == kTypeKanjiText) {
            unsigned pair = (static_cast<unsigned>(s[2 * i]) << 8) | s[2 * i + 1];
            unsigned jis = kz::crt::sjis_to_jis(pair);
            value = static_cast<int32_t>(jis ? jis : pair);
        } else {
            value = s[i];
        }
        cells[i % 6][r] = value;
    }
    return 1;
}

namespace {
using StoredText = char[2 * kTextBuffer + 4];

// The form a string is stored in: double-byte characters only when it holds any (cut to an even length), else as
// it is. The record type, or 0 when the string cannot be stored; `n` its characters, `rows` its string rows.
int32_t stored_text(const char* string, StoredText& text, int* n, int* rows) {
    if (!string || !*string) return 0;
    std::size_t bytes = std::strlen(string);
    if (bytes > kMaxTextBytes) return 0;
    int32_t type = kTypeText;
    if (sjis_char_count(string) != static_cast<int>(bytes)) {
        std::size_t full = static_cast<std::size_t>(to_full_width(string, text, sizeof text)) & ~std::size_t{1};
        text[full] = 0;
        if (full > kMaxTextBytes || full == 0) return 0;
        bytes = full;
        type = kTypeKanjiText;
    } else {
        std::memcpy(text, string, bytes + 1);
    }
    *n = type == kTypeKanjiText ? static_cast<int>(bytes / 2) : static_cast<int>(bytes);
    *rows = (*n - 1) / 6 + 1;
    return *rows > 500 ? 0 : type;
}
}  // namespace

int32_t text_record_rows(const char* string) {
    StoredText text;
    int n, string_rows;
    return stored_text(string, text, &n, &string_rows) ? string_rows + 2 : 0;
}

int32_t set_text_rows(drawing_context* ctx, int32_t row, const char* string, double x, double y, double width,
                      double height, double pitch, double angle, double slant, int32_t alignment, int32_t flags) {
    StoredText text;
    int n, string_rows;
    const int32_t type = stored_text(string, text, &n, &string_rows);
    if (!type) return -1;
    if (row < 1) {
        row = reserve_rows(ctx, row, string_rows + 2);
        if (row < 0) return -1;
    }
    if (row >= ctx->mat) return -1;
    bool was_end = row_code_u(ctx, row) == kEndCode;
    if (!write_text_rows(ctx, row, type, ctx->active_layer, ctx->active_group, ctx->active_color, ctx->active_style, x,
                         y, width, height, pitch, angle, slant, alignment, text, flags))
        return -1;
    if (was_end) {
        ctx->c1[row + 2 + string_rows] = kEndCode;
        ctx->data_end = row + 2 + string_rows;
    }
    return row;
}

int32_t xlum_moji_set(drawing_context* ctx, int32_t row, const char* string, double x, double y, double mode,
                      double width, double height, double pitch, double angle, double slant) {
    angle = normalize_degrees(angle);
    slant = fold_slant(slant);
    int32_t m = (mode >= -2147483648.0 && mode <= 2147483647.0) ? static_cast<int32_t>(mode) : 0;
    return set_text_rows(ctx, row, string, x, y, width, height, pitch, angle, slant, m & 15, (m & 0x100) ? 1 : 0);
}

int32_t xlum_set_text(drawing_context* ctx, device_context* dc, int32_t draw_mode, int32_t row, const char* string,
                      int32_t kind, double x, double y, double width, double height, double pitch, double angle,
                      double slant, int32_t alignment, int32_t layer, int32_t group, int32_t colour, int32_t style) {
    char* converted = nullptr;
    if (kind == kTypeText)
        converted = xlum_new_kacnv_string(nullptr, string);
    else if (kind == kTypeKanjiText)
        converted = xlum_new_akcnv_string(nullptr, string);
    xlum_push_pop_active(ctx, 1, layer, group, colour, style);
    row = xlum_moji_set(ctx, row, converted ? converted : string, x, y, alignment, width, height, pitch, angle, slant);
    xlum_push_pop_active(ctx, -1, 0, 0, 0, 0);
    release_block(converted);
    if (dc && row >= 0) xlum_gdisp_one(ctx, dc, row, draw_mode);
    return row;
}

int xlum_getchar(drawing_context* ctx, int32_t row, char* buffer, std::size_t capacity) {
    if (!buffer || capacity == 0) return 0;
    buffer[0] = 0;
    if (!row_in_columns(ctx, row) || row + 2 > ctx->mat) return 0;
    int32_t type = row_type(ctx, row);
    int n = static_cast<int16_t>(ctx->c6[row] & 0xFFFF);
    if ((type != kTypeText && type != kTypeKanjiText) || n <= 0) return 0;
    int32_t* cells[6] = {ctx->c2, ctx->c3, ctx->c4, ctx->c5, ctx->c6, ctx->c7};
    std::size_t out = 0, width = type == kTypeKanjiText ? 2 : 1;
    for (int i = 0; i < n && out + width < capacity; ++i) {
        int32_t r = row + 2 + i / 6;
        if (r >= ctx->mat || row_code_u(ctx, r) != kContinuationCode) break;
        // Only the low bytes carry the character; the rest of the cell is kept as stored, so that reading a
        // text never changes what a save writes back.
        const auto cell = static_cast<uint32_t>(cells[i % 6][r]);
        if (type == kTypeText) {
            buffer[out++] = static_cast<char>(cell & 0xFF);
        } else {
            unsigned code = cell & 0xFFFF, sjis = kz::crt::jis_to_sjis(code);
            if (sjis) code = sjis;
            buffer[out++] = static_cast<char>(code >> 8);
            buffer[out++] = static_cast<char>(code & 0xFF);
        }
    }
    buffer[out] = 0;
    return static_cast<int>(std::strlen(buffer));
}

}  // namespace kz::drawing2d
