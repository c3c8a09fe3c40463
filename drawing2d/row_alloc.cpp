// Finding room for new rows (holes left by deletions first, else at the data end, growing the columns) and
// opening space inside the rows. Appends keep a scan hint so that they do not walk from row 0 every time; the
// hint only skips rows known to be neither empty nor an end code, so the row chosen is the one a full scan finds.
#include <cstring>

#include "drawing2d/primitive_rows.h"
#include "drawing2d/row_store.h"

namespace kz::drawing2d {

int32_t reserve_rows(drawing_context* ctx, int32_t from, int32_t n) {
    mark_row_limits(ctx);
    if (n < 0) return -1;
    int32_t start = from == -1 ? 0 : (from < 0 ? (from == INT32_MIN ? ctx->mat : -from) : from);
    if (start >= ctx->mat) start = 0;
    bool hinted = ctx->client_locks == 0 && start <= ctx->append_scan_hint && ctx->append_scan_hint < ctx->mat;
    int32_t scan = hinted ? ctx->append_scan_hint : start;
    int32_t first_empty = -1, run = 0, row = scan;
    for (; row < ctx->mat && row_code_u(ctx, row) != kEndCode; ++row) {
        if (row_code_u(ctx, row) != 0) {
            run = 0;
            continue;
        }
        if (first_empty < 0) first_empty = row;
        if (n > 0 && ++run == n) {
            if (hinted) ctx->append_scan_hint = first_empty;
            return row - n + 1;
        }
    }
    int32_t e = row;
    if (start > ctx->max) {
        if (static_cast<int64_t>(e) + n + 10 > ctx->mat) return -1;
    } else if (static_cast<int64_t>(e) + n + 500 > ctx->max) {
        if (static_cast<int64_t>(ctx->max) + n + 5000 > INT32_MAX - 2000 || !grow_rows(ctx, ctx->max + n + 5000))
            return -1;
    }
    for (int32_t i = 0; i < n; ++i) ctx->c1[e + i] = 0;
    ctx->c1[e + n] = kEndCode;
    ctx->data_end = e + n;
    if (hinted) ctx->append_scan_hint = first_empty >= 0 ? first_empty : e;
    return e;
}

namespace {
int open_space(drawing_context* ctx, int32_t row, int32_t end, int32_t n, bool row_by_row) {
    if (row < 0 || n < 0 || end < row || end >= ctx->mat) return 0;
    if (row < ctx->mau) {
        xlum_memory_kakuho(ctx, end + n);
        // An insertion that carries the data end past the capacity in one step grows as far as it needs.
        if (static_cast<int64_t>(end) + n + 10 > ctx->max &&
            (static_cast<int64_t>(end) + n + 5000 > INT32_MAX - 2000 || !grow_rows(ctx, end + n + 5000)))
            return 0;
    } else if (static_cast<int64_t>(end) + n + 10 > ctx->mat) {
        return 0;
    }
    int32_t* cols[7] = {ctx->c1, ctx->c2, ctx->c3, ctx->c4, ctx->c5, ctx->c6, ctx->c7};  // after any growth
    if (row_by_row) {
        for (int32_t r = end; r >= row; --r)
            for (auto* col : cols) col[r + n] = col[r];
    } else {
        for (auto* col : cols)
            std::memmove(col + row + n, col + row, static_cast<std::size_t>(end - row + 1) * sizeof(int32_t));
    }
    for (int32_t r = row; r < row + n; ++r) ctx->c1[r] = 0;
    note_rows_changed(ctx, row);
    return 1;
}
}  // namespace

int insert_rows(drawing_context* ctx, int32_t row, int32_t end, int32_t n) {
    if (end < 0 && (end = find_data_end(ctx, 1 - end)) < 0) return 0;
    return open_space(ctx, row, end, n, true);
}

int xlum_insert_space(drawing_context* ctx, int32_t row, int32_t end, int32_t n) {
    if (end < 1 && (end = find_data_end(ctx, -end)) < 0) return 0;
    return open_space(ctx, row, end, n, false);
}

}  // namespace kz::drawing2d
