// Drawing units to device units, the device resolution, the pens of records (cached per colour, lock state and
// line style), the raster-operation rules of every display entry point, and dashes drawn at their real lengths.
#pragma once
#include <cstdint>
#include <optional>

#include "drawing2d/drawing_context.h"
#include "platform/gdi.h"

namespace kz::drawing2d {

// The last stroke end when there is none.
inline constexpr double kNoStrokeEnd = -100000020.1;

// Fits the window (x1, y1)-(x2, y2) into the device rectangle (dx1, dy1)-(dx2, dy2). 1; 0 when the scale had
// to be limited or for a null context. A negative align fits the whole drawing, centred.
int xlum_make_window_d(drawing_context* ctx, int32_t align, double x1, double y1, double x2, double y2, double dx1,
                       double dy1, double dx2, double dy2);
int32_t xlum_fn_mcx(const drawing_context* ctx, double x);
int32_t xlum_fn_mcy(const drawing_context* ctx, double y);
double xlum_fn_mcxr(const drawing_context* ctx, double x);
double xlum_fn_mcyr(const drawing_context* ctx, double y);
double xlum_fn_mcl(const drawing_context* ctx, double length);
double xlum_fn_gcx(const drawing_context* ctx, double dx);
double xlum_fn_gcy(const drawing_context* ctx, double dy);
// "Create" keeps the device scale and prepares the device; "Back" puts the kept scale back. 0; -1 for other keys.
int xlum_disp_bscale(drawing_context* ctx, device_context* dc, const char* key);
int32_t xlum_disp_black_pen_width(const drawing_context* ctx, int32_t colour);
// Called by every display entry point before drawing: the device and its resolution. Returns the device scale.
double prepare_device(drawing_context* ctx, device_context* dc);
// Orders and limits a rectangle: a zero size widened by 100, sizes cut to the uint32 range, shifted into the int32
// range and rounded.
void normalise_device_rect(double* x1, double* y1, double* x2, double* y2);
int clip_to_window(const drawing_context* ctx, double* x1, double* y1, double* x2, double* y2);
// 1 unless all four corners (x, y pairs) lie beyond the same side of the rectangle.
int box_may_show(const double corners[8], double xmin, double ymin, double xmax, double ymax);

// Working widths: the 16 widths of a display pass (-1 = not drawn; 0 on screen = a one-dot pen).
void dot_widths_for_device(const drawing_context* ctx, const int32_t widths_in[16], int32_t widths_out[16]);
void mili_widths_for_device(const drawing_context* ctx, const double mm_in[16], int32_t widths_out[16]);
// The width the walkers test: 0 = the colour is not drawn.
int32_t color_pen_width(const drawing_context* ctx, int32_t colour);

// Selects the cached pen of a record; returns the pen selected before, or nothing when the record is not drawn
// (then nothing is selected). colour_out receives the pen's colour.
std::optional<platform::Pen> select_record_pen(drawing_context* ctx, device_context* dc, int32_t colour, int32_t style,
                                               int32_t layer, int solid, platform::ColorRef* colour_out = nullptr);
// Empties the pen cache.
void delete_pens(drawing_context* ctx);

// The raster-operation rules around one operation: begin applies them to `rop` (keep_black: mode 1 stays 1), end
// puts back the pen colour and mode of before.
struct RasterState {
    int32_t line_color, text_color, disp_mode;
    int previous_rop;
};
RasterState begin_raster(drawing_context* ctx, device_context* dc, int rop, bool keep_black = false);
void end_raster(drawing_context* ctx, device_context* dc, const RasterState& saved);
// With flag non-zero the rules above, handing back the mode and pen colour of before; with flag 0 the given mode
// and colour are stored as they are. 1; 0 for a null context.
int set_rop_mode(drawing_context* ctx, device_context* dc, int32_t* mode, int32_t* colour, int flag);

// One stroke between device points in the dash style under way, its dashes measured in millimetres.
void draw_styled_segment(drawing_context* ctx, device_context* dc, double x1, double y1, double x2, double y2,
                         bool mark_end, bool continue_pattern);
// One solid stroke between drawing points, clipped to the window.
void draw_window_segment(drawing_context* ctx, device_context* dc, double x1, double y1, double x2, double y2);
// A stroke whose device ends coincide: counted, and one in (zero-length limit + 1) drawn as a dot.
void draw_zero_length(drawing_context* ctx, device_context* dc, int x, int y);
// Clears the dash pattern and the last stroke end.
void reset_dash_state(drawing_context* ctx);

}  // namespace kz::drawing2d
