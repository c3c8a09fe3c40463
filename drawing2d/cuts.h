// Cutting every record from a row on by a circle or a rectangle into up to three blocks behind the data end.
// Mode digits (hundreds, tens, units name the first, second, third block): 0 or 4 empty, 1 the records as they
// stood before the cut (which then leave the data), 2 the inside pieces, 3 the outside pieces, 5 the outside
// pieces and every record lying wholly outside. Outline digits 1..3 (tens, units) add the cutting outline at the
// start of that block; the hundreds digit keeps it out of that block while the block is empty.
#pragma once
#include <cstdint>

#include "drawing2d/drawing_context.h"

namespace kz::drawing2d {

// 1 when done; 0 when the working drawings cannot be made; the first row when the data has no end row.
int32_t xlum_kiritori_by_circle(drawing_context* ctx, int32_t first, int32_t mode, double cx, double cy, double r,
                                int32_t outline_mode);
int32_t xlum_kiritori_by_rect(drawing_context* ctx, int32_t first, int32_t mode, double xmin, double ymin, double xmax,
                              double ymax, int32_t outline_mode);
inline int32_t cut_by_circle(drawing_context* ctx, int32_t first, int32_t mode, double cx, double cy, double r,
                             int32_t outline_mode) {
    return xlum_kiritori_by_circle(ctx, first, mode, cx, cy, r, outline_mode);
}
inline int32_t cut_by_rect(drawing_context* ctx, int32_t first, int32_t mode, double xmin, double ymin, double xmax,
                           double ymax, int32_t outline_mode) {
    return xlum_kiritori_by_rect(ctx, first, mode, xmin, ymin, xmax, ymax, outline_mode);
}
// 0 for a record head, -1 for the end row, 1 for any other row.
int row_kind(const drawing_context* ctx, int32_t row);

}  // namespace kz::drawing2d
