// Capacity, growth and the small walkers of the record rows: end codes, guards, codes and record row counts.
#pragma once
#include <cstdint>

#include "drawing2d/drawing_context.h"

namespace kz::drawing2d {

int open_rows(drawing_context* ctx, int32_t n);
int grow_rows(drawing_context* ctx, int32_t n);
inline int xlum_add_mpw_mem(drawing_context* ctx, int32_t n) { return grow_rows(ctx, n); }
void xlum_memory_kakuho(drawing_context* ctx, int32_t row);
int mark_row_limits(drawing_context* ctx);
int32_t find_data_end(drawing_context* ctx, int32_t from);
inline int32_t xlum_search_dend(drawing_context* ctx, int32_t from) { return find_data_end(ctx, from); }
int32_t find_code_row(drawing_context* ctx, int32_t from, int32_t code);
int32_t find_delimiter_row(drawing_context* ctx, int32_t from, int32_t lowest_code);
int32_t primitive_row_count(const drawing_context* ctx, int32_t row);
void shift_row_range(drawing_context* ctx, int32_t first, int32_t last, int32_t dest);
void free_rows(drawing_context* ctx);
// 1 when more than 500 rows are free after the row (growing the capacity when the row lies below it), else 0.
int extend_max(drawing_context* ctx, int32_t row);

// Whether `row` is a valid index into the columns (0 .. mat).
inline bool row_in_columns(const drawing_context* ctx, int64_t row) { return row >= 0 && row <= ctx->mat; }
// Rows from `row` on may have become empty or end codes: appends must look there again.
inline void note_rows_changed(drawing_context* ctx, int32_t row) {
    if (row < ctx->append_scan_hint) ctx->append_scan_hint = row < 0 ? 0 : row;
}

}  // namespace kz::drawing2d
