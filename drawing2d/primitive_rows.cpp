// Allocation and growth of the seven columns, with the gathering area and the spare block behind the data,
// and the row searches that every walker relies on; the guard codes at max and mat stop every search.
#include "drawing2d/primitive_rows.h"

#include <cstdlib>
#include <cstring>

#include "drawing2d/text_utils.h"

namespace kz::drawing2d {
namespace {
int32_t** column_slots(drawing_context* ctx) { return &ctx->c1; }

void move_rows_raw(drawing_context* ctx, int32_t first, int32_t count, int32_t dest) {
    if (count <= 0 || first == dest) return;
    int32_t** cols = column_slots(ctx);
    for (int k = 0; k < 7; ++k)
        std::memmove(cols[k] + dest, cols[k] + first, static_cast<std::size_t>(count) * sizeof(int32_t));
}
}  // namespace

void free_rows(drawing_context* ctx) {
    int32_t** cols = column_slots(ctx);
    for (int k = 0; k < 7; ++k) cols[k] = static_cast<int32_t*>(release_block(cols[k]));
}

int open_rows(drawing_context* ctx, int32_t n) {
    if (!ctx || n < 1) return 0;
    int32_t** cols = column_slots(ctx);
    std::size_t cells = static_cast<std::size_t>(n) + 1501;
    for (int k = 0; k < 7; ++k) {
        cols[k] = static_cast<int32_t*>(fresh_block(cols[k], cells * sizeof(int32_t)));
        if (!cols[k]) {
            free_rows(ctx);
            return 0;
        }
    }
    ctx->max = n;
    ctx->mau = n + 500;
    ctx->mat = n + 1500;
    ctx->c1[0] = kEndCode;
    ctx->data_end = 0;
    ctx->append_scan_hint = 0;
    return 1;
}

int grow_rows(drawing_context* ctx, int32_t n) {
    if (!ctx) return 0;
    if (n == ctx->max) return 1;
    if (n < 1 || n > 0x7FFFFFFF - 2000) return 0;
    int32_t spare = ctx->mat - ctx->mau + 1;  // rows mau .. mat
    if (n < ctx->max) move_rows_raw(ctx, ctx->mau, spare, n + 500);
    std::size_t cells = static_cast<std::size_t>(n) + 1501;
    int32_t** cols = column_slots(ctx);
    std::size_t old_cells = static_cast<std::size_t>(ctx->mat) + 1;
    for (int k = 0; k < 7; ++k) {
        auto* grown = static_cast<int32_t*>(std::realloc(cols[k], cells * sizeof(int32_t)));
        if (!grown) {
            if (cells < old_cells) continue;  // a shrink that fails keeps the larger block, which still serves
            return 0;  // columns grown so far are only larger than needed; the capacity stays as it was
        }
        if (cells > old_cells) std::memset(grown + old_cells, 0, (cells - old_cells) * sizeof(int32_t));
        cols[k] = grown;
    }
    if (n > ctx->max) {
        move_rows_raw(ctx, ctx->mau, spare, n + 500);
        // The old spare rows that now lie in the gathering area no longer hold anything.
        int32_t clear_to = ctx->mat < n + 500 ? ctx->mat + 1 : n + 500;
        for (int k = 0; k < 7; ++k)
            if (clear_to > ctx->mau)
                std::memset(cols[k] + ctx->mau, 0, static_cast<std::size_t>(clear_to - ctx->mau) * sizeof(int32_t));
    }
    ctx->mat = n + 1500;
    ctx->mau = n + 500;
    ctx->max = n;
    ctx->c1[n] = kEndCode;
    return 1;
}

void xlum_memory_kakuho(drawing_context* ctx, int32_t row) {
    if (ctx && ctx->max - 500 < row && row <= ctx->max) grow_rows(ctx, ctx->max + 5000);
}

int extend_max(drawing_context* ctx, int32_t row) {
    if (row >= ctx->mau) return ctx->mat - row > 500 ? 1 : 0;
    if (ctx->max - row > 500) return 1;
    return ctx->max <= INT32_MAX - 7000 && grow_rows(ctx, ctx->max + 5000) ? 1 : 0;
}

int mark_row_limits(drawing_context* ctx) {
    ctx->c1[ctx->max] = kEndCode;
    ctx->c1[ctx->mat] = kEndCode;
    return 0;
}

int32_t find_data_end(drawing_context* ctx, int32_t from) {
    mark_row_limits(ctx);
    if (from < 0) from = 0;
    if (from >= ctx->mat) return -1;
    for (int32_t row = from; row < ctx->mat; ++row)
        if (row_code_u(ctx, row) == kEndCode) {
            ctx->data_end = row;
            return row;
        }
    return -1;
}

int32_t find_code_row(drawing_context* ctx, int32_t from, int32_t code) {
    mark_row_limits(ctx);
    if (from < 0) from = 0;
    for (int32_t row = from; row < ctx->mat; ++row) {
        int32_t c = row_code(ctx, row);
        if (c == code) return row;
        if (c == -1) return -1;
    }
    return -1;
}

int32_t find_delimiter_row(drawing_context* ctx, int32_t from, int32_t lowest_code) {
    mark_row_limits(ctx);
    if (from < 0) from = 0;
    if (from >= ctx->mat) return -1;
    for (int32_t row = from; row < ctx->mat; ++row) {
        int32_t c = row_code(ctx, row);
        if (c < 0 && c >= lowest_code) return row;
        if (c == -1) return -1;
    }
    return -1;
}

int32_t primitive_row_count(const drawing_context* ctx, int32_t row) {
    if (!row_in_columns(ctx, row)) return 0;
    switch (row_type(ctx, row)) {
    case kTypeLine: return 1;
    case kTypeArc: return 2;
    case kTypeText:
    case kTypeKanjiText:
    case kTypeTextLike: return 3 + (static_cast<int16_t>(ctx->c6[row] & 0xFFFF) - 1) / 6;
    case kTypeMultiRow: {
        // The count comes from the file: a record never reaches past the columns.
        int32_t n = row + 1 <= ctx->mat ? ctx->c2[row + 1] : 0;
        return n < 0 ? 0 : (n > ctx->mat - row ? ctx->mat - row : n);
    }
    default: return 0;
    }
}

void shift_row_range(drawing_context* ctx, int32_t first, int32_t last, int32_t dest) {
    if (last < first) return;
    move_rows_raw(ctx, first, last - first + 1, dest);
    note_rows_changed(ctx, first < dest ? first : dest);
}

}  // namespace kz::drawing2d
