// Record-level edits in place: a text's string, a record moved to another row, line records ordered into a
// connected chain and a point tested against the outline they close, fresh link numbers and delimiter rows cleared.
#pragma once
#include <cstdint>

#include "drawing2d/drawing_context.h"

namespace kz::drawing2d {

// Placement: 0 at the old row (following records pushed down when it grows), 1 at the first room from the row
// (a negative mode -m: from row m), 2 as 1 unless the new text is shorter, then as 0, 3 at the data end.
// The new head row; -1 on failure or after an empty string (which deletes the text).
int32_t xlum_moji_change(drawing_context* ctx, int32_t row, const char* string, int32_t mode);
// n empty rows opened at the row, everything from there to the data end moved down; 0 when the rows cannot grow.
int insert_rows_at(drawing_context* ctx, int32_t row, int32_t n);
// Moves a record before the record at the destination (negative: the data end); the destination row, or the
// given row when refused.
int32_t xlum_move_primitive(drawing_context* ctx, int32_t row, int32_t destination);
// Exchanges two whole records; of different lengths, the rows between them move so that neither is split.
int swap_records(drawing_context* ctx, int32_t row_a, int32_t row_b);

// The first line from `first` with an end within 5 units of (x, y), turned to start there; -1 when none.
int32_t find_connected_line(drawing_context* ctx, int32_t first, double x, double y);
// Orders the lines of a layer and group (negative: any) into a chain from its first line; the number chained,
// -1 when no line was found.
int32_t xlum_sort_polyline(drawing_context* ctx, int32_t first, int32_t layer, int32_t group, int32_t* first_row,
                           int32_t* end_row);
// 1 when (x, y) lies inside the outline the group's chained lines close, 0 outside, -1 when the group has none.
int xlum_inside_group(drawing_context* ctx, double x, double y, int32_t group, int32_t first);

int xlum_change_new_link_code(drawing_context* ctx, int32_t first);
// Clears the delimiter rows of first .. last (negative: up to the end row); the number cleared.
int32_t xlum_delete_delimit_code(drawing_context* ctx, int32_t first, int32_t last);

}  // namespace kz::drawing2d
