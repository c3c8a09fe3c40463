// Deletion of records, raw byte rows, the link number and link attributes of lines and texts, and the copy of a
// block of rows from one drawing into another.
#include <cstring>

#include "drawing2d/primitive_rows.h"
#include "drawing2d/row_store.h"

namespace kz::drawing2d {
namespace {
int32_t** cells_of(drawing_context* ctx) { return &ctx->c2; }  // c2 .. c7, in order
}  // namespace

int32_t xlum_delete_primitive(drawing_context* ctx, int32_t row) {
    int32_t count = primitive_row_count(ctx, row);
    if (count < 1 || row >= ctx->mat) return 0;
    ctx->c1[row] = 0;
    note_rows_changed(ctx, row);
    int32_t cleared = 1;
    for (int32_t i = 1; i < count && row + i < ctx->mat; ++i) {
        if (row_code_u(ctx, row + i) != kContinuationCode) break;
        ctx->c1[row + i] = 0;
        ++cleared;
    }
    return cleared;
}

int xlum_set_char_dat(drawing_context* ctx, int32_t row, const char* bytes) {
    if (!bytes) bytes = "";
    if (row < 0 || row >= ctx->mat) return 0;
    note_rows_changed(ctx, row);
    int32_t** cols = cells_of(ctx);
    std::size_t len = std::strlen(bytes) + 1;  // the zero byte is stored too
    int rows = 0;
    for (std::size_t i = 0; i < len; ++i) {
        int32_t r = row + static_cast<int32_t>(i / 12);
        if (r >= ctx->mat) break;
        int k = static_cast<int>(i % 12) / 2;
        if (i % 12 == 0) {
            ctx->c1[r] = kContinuationCode;
            ++rows;
        }
        if (i % 2 == 0) cols[k][r] = 0;
        cols[k][r] |= static_cast<int32_t>(static_cast<unsigned char>(bytes[i])) << (8 * (i % 2));
    }
    return rows;
}

int xlum_get_char_dat(drawing_context* ctx, int32_t row, char* buffer, std::size_t capacity) {
    if (!buffer || capacity == 0) return 0;
    buffer[0] = 0;
    if (!row_in_columns(ctx, row) || row_code_u(ctx, row) != kContinuationCode) return 0;
    int32_t** cols = cells_of(ctx);
    std::size_t out = 0;
    for (int32_t r = row; r < ctx->mat && row_code_u(ctx, r) == kContinuationCode; ++r)
        for (int k = 0; k < 6; ++k) {
            const auto cell = static_cast<uint32_t>(cols[k][r]) & 0xFFFF;  // read, never masked in place
            for (int b = 0; b < 2; ++b) {
                char c = static_cast<char>((cell >> (8 * b)) & 0xFF);
                if (c == 0 || out + 1 >= capacity) {
                    buffer[out] = 0;
                    return static_cast<int>(out);
                }
                buffer[out++] = c;
            }
        }
    buffer[out] = 0;
    return static_cast<int>(out);
}

int xlum_get_link_attribute(const drawing_context* ctx, int32_t row, int32_t* link, int32_t* a, int32_t* b, int32_t* c,
                            int32_t* d, int32_t* e, int32_t* f) {
    if (!row_in_columns(ctx, row)) return 0;
    int32_t type = row_type(ctx, row);
    if (row_code(ctx, row) <= 0 || (type != kTypeLine && type != kTypeText && type != kTypeKanjiText)) return 0;
    if (link) *link = static_cast<int32_t>(static_cast<uint32_t>(ctx->c3[row]) >> 16);
    if (type == kTypeLine) return 1;
    if (row + 1 > ctx->mat) return 0;
    uint32_t word = static_cast<uint32_t>(ctx->c7[row + 1]) >> 16;
    if (a) *a = word & 1;
    if (b) *b = (word >> 1) & 1;
    if (c) *c = (word >> 2) & 1;
    if (d) *d = (word >> 3) & 3;
    if (e) *e = (word >> 5) & 7;
    if (f) *f = static_cast<int8_t>((word >> 8) & 0xFF);
    return 1;
}

int xlum_set_link_attribute(drawing_context* ctx, int32_t row, int32_t link, int32_t a, int32_t b, int32_t c, int32_t d,
                            int32_t e, int32_t f) {
    if (!row_in_columns(ctx, row)) return 0;
    int32_t type = row_type(ctx, row);
    if (row_code(ctx, row) <= 0 || (type != kTypeLine && type != kTypeText && type != kTypeKanjiText)) return 0;
    auto set_link = [&](uint32_t value) {
        ctx->c3[row] =
            static_cast<int32_t>((static_cast<uint32_t>(ctx->c3[row]) & 0xFFFFu) | ((value & 0xFFFFu) << 16));
    };
    if (type == kTypeLine) {
        if (link >= 0) set_link(static_cast<uint32_t>(link));
        return 1;
    }
    if (row + 1 > ctx->mat) return 0;
    uint32_t cell = static_cast<uint32_t>(ctx->c7[row + 1]);
    uint32_t word = cell >> 16;
    if (link == 0) {
        set_link(0);
        word = 0;
    } else {
        struct Field {
            int32_t value;
            int shift;
            uint32_t mask;
        };
        const Field fields[] = {{a, 0, 1}, {b, 1, 1}, {c, 2, 1}, {d, 3, 3}, {e, 5, 7}};
        for (const Field& fd : fields)
            if (fd.value >= 0)
                word = (word & ~(fd.mask << fd.shift)) | ((static_cast<uint32_t>(fd.value) & fd.mask) << fd.shift);
        if (f >= 0 && f <= 255) word = (word & ~(0xFFu << 8)) | (static_cast<uint32_t>(f) << 8);
        if (link > 0) set_link(static_cast<uint32_t>(link));
    }
    ctx->c7[row + 1] = static_cast<int32_t>((cell & 0xFFFFu) | (word << 16));
    return 1;
}

int32_t xlum_bridge(drawing_context* src, int32_t first, int32_t last, drawing_context* dst, int32_t dest) {
    if (!src || !dst) return -1;
    bool from_code = dest < 0;
    if (from_code && (dest = find_delimiter_row(dst, 0, dest)) < 0) return -1;
    if (last < 0 && (last = find_delimiter_row(src, first, last)) < 0) return -1;
    if (first < 0 || last < first || last > src->mat) return -1;
    int64_t need = static_cast<int64_t>(dest) + 500 + (last - first);
    if (need > dst->max) {
        if (need + 5000 > INT32_MAX - 2000 || !grow_rows(dst, static_cast<int32_t>(need + 5000))) return -1;
    }
    int32_t at = dest;
    if (from_code) {
        dst->c1[dest] = 0;
        at = dest + 1;
    }
    note_rows_changed(dst, dest);
    int32_t count = last - first + 1;
    int32_t* from_cols[7] = {src->c1, src->c2, src->c3, src->c4, src->c5, src->c6, src->c7};  // re-read after growth
    int32_t* to_cols[7] = {dst->c1, dst->c2, dst->c3, dst->c4, dst->c5, dst->c6, dst->c7};
    for (int k = 0; k < 7; ++k)
        std::memmove(to_cols[k] + at, from_cols[k] + first, static_cast<std::size_t>(count) * sizeof(int32_t));
    return dest;
}

}  // namespace kz::drawing2d
