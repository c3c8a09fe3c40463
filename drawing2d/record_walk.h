// Walking the head rows of a drawing from a start row to the data end, within the columns.
#pragma once
#include <cstdint>

#include "drawing2d/drawing_context.h"
#include "drawing2d/primitive_rows.h"

namespace kz::drawing2d {

// Calls visit(row) for every head row (code above 0) from `first` up to the first end code; the limit rows are
// marked first, so the walk never passes mat. A visitor returning false stops the walk.
template <class Visit>
void walk_head_rows(drawing_context* ctx, int32_t first, Visit visit) {
    mark_row_limits(ctx);
    for (int32_t row = first < 0 ? 0 : first; row < ctx->mat; ++row) {
        int32_t code = row_code(ctx, row);
        if (code == -1) return;
        if (code < 1) continue;
        if (!visit(row)) return;
    }
}

// Arc parameters of the record at `row` (centre, radius, start and end in degrees); false when its second row
// lies beyond the columns.
struct ArcRecord {
    double cx, cy, r, start, end;
};
bool read_arc(const drawing_context* ctx, int32_t row, ArcRecord* arc);

}  // namespace kz::drawing2d
