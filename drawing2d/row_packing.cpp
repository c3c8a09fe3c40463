// Packing empty rows out of the record rows, and moving a block of rows. Continuation and delimiter rows are not
// empty and travel with their neighbours; rows behind the first end row (a gathered block) are never touched.
#include "drawing2d/primitive_rows.h"
#include "drawing2d/transforms.h"

namespace kz::drawing2d {
namespace {
bool is_empty_row(const drawing_context* ctx, int32_t row) { return (ctx->c1[row] & 0xFFFF) == 0; }

void copy_row(drawing_context* ctx, int32_t from, int32_t to) {
    int32_t* const* cols = columns(ctx);
    for (int k = 0; k < 7; ++k) cols[k][to] = cols[k][from];
}

// Rows hole .. last keep their non-empty rows, in order, from `hole` on; returns the row after the last kept one.
// A followed row that is kept, or `follow_moves_if_empty` says moves with the row before it, gets its new index.
int32_t close_gaps(drawing_context* ctx, int32_t hole, int32_t last, int32_t* follow, bool ending_rows_move) {
    int32_t write = hole;
    int32_t new_follow = *follow;
    for (int32_t row = hole; row <= last; ++row) {
        if (is_empty_row(ctx, row)) {
            // The row that ends a moved run goes with it (and is overwritten by the next run).
            if (ending_rows_move && row == *follow && row > hole && !is_empty_row(ctx, row - 1)) new_follow = write;
            continue;
        }
        if (row == *follow) new_follow = write;
        if (write != row) copy_row(ctx, row, write);
        ++write;
    }
    *follow = new_follow;
    return write;
}

int32_t pack_to_end(drawing_context* ctx, int32_t first, int32_t follow) {
    int32_t row = first;
    while (row < ctx->mat && row_code_u(ctx, row) != kEndCode && !is_empty_row(ctx, row)) ++row;
    if (row_code_u(ctx, row) == kEndCode) {
        ctx->data_end = row;
        return follow >= 0 ? follow : row;
    }
    int32_t hole = row, end = row;
    while (end < ctx->mat && row_code_u(ctx, end) != kEndCode) ++end;
    int32_t write = close_gaps(ctx, hole, end, &follow, true);
    int32_t new_end = write - 1;  // the end row is the last row kept
    ctx->data_end = new_end;
    note_rows_changed(ctx, hole);
    return follow >= 0 ? follow : new_end;
}

int32_t pack_range(drawing_context* ctx, int32_t first, int32_t last, int32_t follow) {
    if (first == last) return follow >= 0 ? follow : first;
    int32_t hole = first;
    while (hole < last && !is_empty_row(ctx, hole)) ++hole;
    if (hole >= last) return follow >= 0 ? follow : last;
    int32_t write = close_gaps(ctx, hole, last, &follow, false);
    int32_t* const* cols = columns(ctx);
    for (int32_t row = write; row <= last; ++row)
        for (int k = 0; k < 7; ++k) cols[k][row] = 0;
    note_rows_changed(ctx, hole);
    return follow >= 0 ? follow : write - 1;
}
}  // namespace

int32_t xlum_gpack(drawing_context* ctx, int32_t first, int32_t last, int32_t follow) {
    mark_row_limits(ctx);
    if (first < 0) first = 0;
    if (first >= ctx->max) return -1;
    if (last < first) return pack_to_end(ctx, first, follow);
    if (last >= ctx->mat) last = ctx->mat - 1;  // the guard row stays where it is
    return pack_range(ctx, first, last, follow);
}

int xlum_gntrn(drawing_context* ctx, int32_t first, int32_t last, int32_t dest) {
    if (first < 0 || first > last || last >= ctx->mat || dest < 0) return 0;
    if (first < ctx->max && last > ctx->max) return 0;
    int64_t count = static_cast<int64_t>(last) - first;
    if (dest <= ctx->max) {
        int64_t new_end = dest + count;
        if (new_end + 500 >= ctx->max) {
            if (new_end + 5000 > INT32_MAX - 2000) return 0;
            int32_t old_max = ctx->max, old_mau = ctx->mau;
            if (!grow_rows(ctx, static_cast<int32_t>(new_end + 5000))) return 0;
            // A block in the spare area moved with it.
            if (first >= old_mau) {
                first += ctx->max - old_max;
                last += ctx->max - old_max;
            }
        }
    } else if (count > 1200) {
        return 0;
    }
    if (dest + count >= ctx->mat) return 0;  // never past the columns
    shift_row_range(ctx, first, last, dest);
    return 1;
}

}  // namespace kz::drawing2d
