// Dimensions kept beside a drawing: the ".DIM" text file next to an MPW file and a layer-name file of the same
// name, the text formatting of a dimension value, and the link between a dimension line and its text.
#pragma once
#include <cstdint>

#include "drawing2d/drawing_context.h"

namespace kz::drawing2d {

// Reads base.MPW at `row`, the layer names and base.DIM, building each dimension as records; 0 when the MPW part
// cannot be read.
int xlum_dimconv_read(drawing_context* ctx, const char* path, int32_t row);
// Splits the dimensions out into base.DIM, writes the rest as base.MPW (and base.LAY); the drawing is left as it
// was. The result of the MPW write.
int xlum_dimconv_write(drawing_context* ctx, const char* path, int32_t row);

// The value as text: unit (1 /10, 2 /1000, 3 /1000000, twice for square), rounding (bit 0 of mode; type mode / 2:
// half up, 0.001 up, up, to a half) to `decimals` digits, zeros kept unless delzero is 1, "," every three digits
// when thousands is 1. A heap string; `old` is released.
char* xlum_new_marume(char* old, double value, int mode, int decimals, int unit, int thousands, int square,
                      int delzero);
// Links the text to the line (link < 0: a free link number) with the text's format; with recompute 1 the text is
// rewritten from the line's length. The text's row, or -1 when the rows are no line and text.
int32_t xlum_set_dimstring(drawing_context* ctx, device_context* dc, int32_t rop, int recompute, int32_t line_row,
                           int32_t text_row, int format, int decimals, int thousands, int unit, int delzero,
                           int32_t link);
// Replaces the text by the line's length in the text's own format; the new text's row (-1 when none was written).
int32_t xlum_change_dimstring_d(drawing_context* ctx, device_context* dc, int32_t rop, int32_t line_row,
                                int32_t text_row, int32_t new_row);
// The cosine of the angle between two segments' directions; 1 when either is shorter than 1e-9.
double segment_direction_cosine(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4);

}  // namespace kz::drawing2d
