// The parts of the display that searches and writers share: whether a record's layer is shown, the display
// transform, the outline of a type-15 record, and the single-record draw.
#pragma once
#include <cstdint>

#include "drawing2d/drawing_context.h"

namespace kz::drawing2d {

int xlum_disp_or_not(const drawing_context* ctx, int32_t row);
void display_transform_point(const drawing_context* ctx, double x, double y, double* out_x, double* out_y);
// The 6 outline points of a type-15 record (4 corners, the first again, the origin), display-transformed;
// 0 when the record's second row lies beyond the columns.
int type15_corners(const drawing_context* ctx, int32_t row, double xs[6], double ys[6]);
// Draws one record whatever its layer, type switch or colour. 1; 0 for no context or a row outside the columns.
int xlum_gdisp_one(drawing_context* ctx, device_context* dc, int32_t row, int32_t rop);

}  // namespace kz::drawing2d
