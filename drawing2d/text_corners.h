// Outline of a text record: four corners in drawing units (P0 origin side bottom, P1 top, P2 far top, P3 far
// bottom, before rotation), from the stored values, from a rough width estimate, or measured on the device.
#pragma once
#include <cstdint>

#include "drawing2d/drawing_context.h"

namespace kz::drawing2d {

void text_corners(double x, double y, int n, double width, double height, double pitch, double angle, double slant,
                  int alignment, double out[8]);
// 0 when the row is no text whose parameter row lies within the columns (out untouched).
int calc_text_corners_stored(const drawing_context* ctx, int32_t row, double out[8]);
// 1 with the stored values, 0 with an estimated width (a system-font slot that asks for measuring); -1 for no text.
int calc_text_corners_rough(const drawing_context* ctx, int32_t row, double out[8], int mode);
// Measured on the drawing's device when a system-font slot asks for it; `string` replaces the record's own text.
// Without slant the box is upright whatever the record's slant.
int calc_text_corners(drawing_context* ctx, int32_t row, double out[8], const char* string, bool with_slant = true);
int xlum_get_text_4point(drawing_context* ctx, int32_t row, double* x1, double* y1, double* x2, double* y2, double* x3,
                         double* y3, double* x4, double* y4);
inline int xlum_get_oozappa_text_area(const drawing_context* ctx, int32_t row, double out[8], int flag) {
    return calc_text_corners_rough(ctx, row, out, flag);
}
// Texts are measured on the given device, else on the desktop's; a measurer that fails leaves the estimate from
// the byte count. Tests may install their own measurer: the previous one is returned, and null puts back the
// device's.
using TextWidthMeasurer = bool (*)(device_context* dc, const char* face, const char* text, int pixel_height, int width,
                                   int bold, int height_type, int italic, double* out);
TextWidthMeasurer set_text_width_measurer(TextWidthMeasurer measurer);
double measure_text_ratio(device_context* dc, const char* string, const char* face, int height, int width, int bold,
                          int height_type, int italic);
double measure_text_with_font(device_context* dc, const char* face, const char* string, int pixel_height, int width,
                              int bold, int height_type, int italic);

}  // namespace kz::drawing2d
