// Drawing a drawing, or one record of it, onto a device context: the whole display with its passes, the row
// walkers, lines, arcs, type-15 outlines and texts (by Windows fonts, by stroke fonts or as boxes).
#pragma once
#include <cstdint>
#include <functional>

#include "drawing2d/drawing_context.h"
#include "drawing2d/record_display.h"
#include "platform/gdi.h"

namespace kz::drawing2d {

// 1 when the walk reached the end of the data; 0 when Escape or the stroke limit stopped it, or for no context.
int xlum_gdisp(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t rop, int32_t paint_flags);
int display_rows(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t rop);
int display_passes(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t rop);
int walk_rows(drawing_context* ctx, device_context* dc);
void draw_line_record(drawing_context* ctx, device_context* dc, int32_t row);
void draw_arc_record(drawing_context* ctx, device_context* dc, int32_t row);
void draw_type15_record(drawing_context* ctx, device_context* dc, int32_t row);
// The display transform of an arc: radius and angles (degrees); a start above the end gets 360 added to the end.
void transform_arc(const drawing_context* ctx, double r, double start, double end, double* r_out, double* start_out,
                   double* end_out);
// The frame of every display entry point around its work: the device prepared and clipped to the device
// rectangle, the raster rules applied with rop; afterwards the pen colour, mode, device scale and clip put back.
int on_device(drawing_context* ctx, device_context* dc, int32_t rop, const std::function<int()>& work);
// Clips the device to the device rectangle and returns that rectangle.
platform::GdiRect set_device_clip(const drawing_context* ctx, device_context* dc);
// The overflow flag and the arc limit of a display.
void set_arc_limits(drawing_context* ctx);

// Shared with the layer-order display: the set-up of the passes (pens, limit box, counters, switches, widths A
// and B), the line, text and halo passes over a walk, the end of the passes, and the walker's tests.
int display_layer_order(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t rop);
void prepare_passes(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t widths_a[16],
                    int32_t widths_b[16]);
int run_passes(drawing_context* ctx, device_context* dc, int32_t rop, const int32_t a[16], const int32_t b[16],
               const std::function<int()>& walk);
void finish_passes(drawing_context* ctx, const int32_t caller_widths[16]);
bool row_is_drawn(const drawing_context* ctx, int32_t row);
bool walk_should_stop(drawing_context* ctx);
void draw_record(drawing_context* ctx, device_context* dc, int32_t row);

// Arcs on the device (device centre and radius, degrees counter-clockwise as displayed).
void draw_gdi_arc(drawing_context* ctx, device_context* dc, int cx, int cy, int radius, double start, double end,
                  int fill);
void draw_segmented_arc(drawing_context* ctx, device_context* dc, int cx, int cy, int radius, double start, double end);
int arc_step(const drawing_context* ctx, double r, double start, double end, int* count, double* step);

// Texts.
void draw_text_record(drawing_context* ctx, device_context* dc, int32_t row);
int text_box_corners(drawing_context* ctx, int32_t row, double corners[8], int with_slant);
void draw_text_box(drawing_context* ctx, device_context* dc, const double corners[8], int32_t row, int n);
void draw_gdi_text(drawing_context* ctx, device_context* dc, double x, double y, double width, double height,
                   double pitch, double angle, double slant, platform::ColorRef colour, const char* string,
                   const char* face, int bk_mode, int whole, int type, int slot, int vertical);
// The strokes of a text in a font file's glyphs, the cells starting at (x, y), the first corner of the text's box;
// in make-lines mode they are also written as line records of the text's attributes (from target_row when it is
// 0 or more). 0 when the font has no data.
int draw_ank_strokes(drawing_context* ctx, device_context* dc, const lumfont_entry* font, const char* string, double x,
                     double y, double width, double height, double pitch, double angle, double slant, int alignment,
                     int slot, int make_lines, int32_t row, int32_t target_row, int vertical);
int draw_kanji_strokes(drawing_context* ctx, device_context* dc, const lumfont_entry* font, const char* string,
                       double x, double y, double width, double height, double pitch, double angle, double slant,
                       int alignment, int slot, int make_lines, int32_t row, int32_t target_row, int vertical);
int upright_text_angle(double scale_x, double scale_y, double angle, int alignment, double* angle_out,
                       int* alignment_out, int on);
void measure_slot_fonts(drawing_context* ctx, device_context* dc);
int xlum_make_text_line(drawing_context* ctx, device_context* dc, int32_t row, int32_t target_row, int32_t rop);

}  // namespace kz::drawing2d
