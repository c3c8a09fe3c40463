// Fitting the window into the device rectangle, mapping both ways, the device resolution and the working widths.
#include "drawing2d/device_mapping.h"

#include <strings.h>
#include <algorithm>
#include <cmath>

#include "drawing2d/clipping.h"
#include "drawing2d/search.h"
#include "drawing2d/text_utils.h"
#include "platform/device_context.h"

namespace kz::drawing2d {
namespace {
constexpr double kInt32Min = -2147483648.0, kInt32Max = 2147483647.0, kUint32Max = 4294967295.0;

void normalise_span(double* a, double* b) {
    if (*a > *b) std::swap(*a, *b);
    double size = *b - *a;
    if (size == 0) size = 100;
    if (size > kUint32Max) size = kUint32Max;
    *b = *a + size;
    if (*a < kInt32Min) *a = kInt32Min, *b = kInt32Min + size;
    if (*b > kInt32Max) *b = kInt32Max, *a = kInt32Max - size;
    *a = round_to_int32(*a);
    *b = round_to_int32(*b);
}

// Placement of the window along one axis: 0 keeps the low edge, 1 centres, 2 keeps the high edge.
void place(int how, double low, double high, double span, double* out_low, double* out_high) {
    if (how == 1) {
        const double centre = (low + high) / 2;
        *out_low = centre - span / 2;
        *out_high = centre + span / 2;
    } else if (how == 2) {
        *out_low = high - span;
        *out_high = high;
    } else {
        *out_low = low;
        *out_high = low + span;
    }
}

// GetDeviceCaps(LOGPIXELSX): a screen's 96 dots per inch, times the display's pixel ratio.
double logical_pixels(const device_context* dc) { return dc ? 96.0 * dc->pixel_ratio() : 96.0; }

bool on_screen(const drawing_context* ctx) { return ctx->print_device == 0; }
bool on_printer(const drawing_context* ctx) { return ctx->print_device >= 1 && ctx->print_device <= 3; }
}  // namespace

void normalise_device_rect(double* x1, double* y1, double* x2, double* y2) {
    normalise_span(x1, x2);
    normalise_span(y1, y2);
}

int xlum_make_window_d(drawing_context* ctx, int32_t align, double x1, double y1, double x2, double y2, double dx1,
                       double dy1, double dx2, double dy2) {
    if (!ctx) return 0;
    if (align < 0) {
        xlum_gmxmn(ctx, 0, &x1, &y1, &x2, &y2);
        align = 5;
    }
    normalise_device_rect(&x1, &y1, &x2, &y2);
    normalise_device_rect(&dx1, &dy1, &dx2, &dy2);
    const double ww = std::max(x2 - x1, 1.0), wh = std::max(y2 - y1, 1.0);
    const double dw = std::max(dx2 - dx1, 1.0), dh = std::max(dy2 - dy1, 1.0);
    int result = 1;
    const bool by_width = dw / ww <= dh / wh;
    double scale = by_width ? dw / ww : dh / wh;
    const double least = (by_width ? dw : dh) / kUint32Max;
    if (least > scale) scale = least, result = 0;
    if (scale > 10.0) scale = 10.0, result = 0;
    const int horizontal = (align & 3) == 3 ? 0 : align & 3, vertical = (align & 12) == 12 ? 0 : (align & 12) / 4;
    place(horizontal, x1, x2, dw / scale, &ctx->dwxmin, &ctx->dwxmax);
    place(vertical, y1, y2, dh / scale, &ctx->dwymin, &ctx->dwymax);
    ctx->disp_bscale = scale;
    ctx->dvxmin = dx1;
    ctx->dvymin = dy1;
    ctx->dvxmax = dx2;
    ctx->dvymax = dy2;
    ctx->dv_width = dx2 - dx1;
    ctx->dv_height = dy2 - dy1;
    ctx->dw_width = ctx->dwxmax - ctx->dwxmin;
    ctx->dw_height = ctx->dwymax - ctx->dwymin;
    return result;
}

double xlum_fn_mcxr(const drawing_context* ctx, double x) { return (x - ctx->dwxmin) * ctx->disp_bscale + ctx->dvxmin; }
double xlum_fn_mcyr(const drawing_context* ctx, double y) { return (y - ctx->dwymin) * ctx->disp_bscale + ctx->dvymin; }
int32_t xlum_fn_mcx(const drawing_context* ctx, double x) { return round_to_int32(xlum_fn_mcxr(ctx, x)); }
int32_t xlum_fn_mcy(const drawing_context* ctx, double y) { return round_to_int32(xlum_fn_mcyr(ctx, y)); }
double xlum_fn_mcl(const drawing_context* ctx, double length) { return length * ctx->disp_bscale; }
double xlum_fn_gcx(const drawing_context* ctx, double dx) {
    return (dx - ctx->dvxmin) / ctx->disp_bscale + ctx->dwxmin;
}
double xlum_fn_gcy(const drawing_context* ctx, double dy) {
    return (dy - ctx->dvymin) / ctx->disp_bscale + ctx->dwymin;
}

double prepare_device(drawing_context* ctx, device_context* dc) {
    if (!ctx) return 1.0;
    ctx->disp_layer[0] = ctx->disp_layer[255] = 1;
    ctx->current_dc = dc;
    switch (ctx->print_device) {
    case 1:
    case 3: ctx->device_dpi = logical_pixels(dc); break;
    case 2: ctx->device_dpi = ctx->meta_dpi; break;
    case 0:
        ctx->device_dpi = ctx->crt_dpi;
        if (ctx->disp_pen_width < 1) {  // real widths on screen: the window as it would be printed
            if (ctx->print_scale <= 0) ctx->print_scale = 100;
            double inches = ctx->plot_scale * ctx->dw_width / ctx->print_scale / 25.4;
            if (inches <= 0) inches = ctx->dv_width / 100;
            ctx->device_dpi = ctx->dv_width / inches;
        }
        break;
    default: ctx->print_device = 0; ctx->device_dpi = logical_pixels(dc);
    }
    return ctx->disp_bscale;
}

int xlum_disp_bscale(drawing_context* ctx, device_context* dc, const char* key) {
    if (!ctx || !key) return -1;
    if (strcasecmp(key, "Create") == 0) {
        ctx->saved_bscale = ctx->disp_bscale;
        prepare_device(ctx, dc);
        return 0;
    }
    if (strcasecmp(key, "Back") == 0) {
        ctx->disp_bscale = ctx->saved_bscale;
        ctx->current_dc = nullptr;
        return 0;
    }
    return -1;
}

int clip_to_window(const drawing_context* ctx, double* x1, double* y1, double* x2, double* y2) {
    return xfc_line_clip_by_rect_in_place(ctx->dwxmin, ctx->dwymin, ctx->dwxmax, ctx->dwymax, x1, y1, x2, y2);
}

int box_may_show(const double c[8], double xmin, double ymin, double xmax, double ymax) {
    int all = ~0;
    for (int i = 0; i < 4; ++i) {
        const double x = c[2 * i], y = c[2 * i + 1];
        all &= (x < xmin ? 4096 : 0) | (x > xmax ? 256 : 0) | (y < ymin ? 16 : 0) | (y > ymax ? 1 : 0);
    }
    return all == 0 ? 1 : 0;
}

void dot_widths_for_device(const drawing_context* ctx, const int32_t in[16], int32_t out[16]) {
    for (int c = 0; c < 16; ++c) {
        if (on_screen(ctx))
            out[c] = in[c] < 0 ? -1 : in[c];
        else if (on_printer(ctx))
            out[c] = in[c] < 1 ? -1 : in[c];
    }
}

namespace {
int32_t mili_width(const drawing_context* ctx, double mm) {
    const double f = 25.4 / ctx->plot_scale * ctx->disp_bscale * ctx->print_scale;
    return std::max(1, round_to_int32(mm / 25.4 * f));
}
}  // namespace

void mili_widths_for_device(const drawing_context* ctx, const double mm[16], int32_t out[16]) {
    for (int c = 0; c < 16; ++c) {
        if (on_screen(ctx))
            out[c] = mm[c] < 0 ? -1 : mili_width(ctx, mm[c]);
        else if (on_printer(ctx))
            out[c] = mm[c] <= 0 ? -1 : mili_width(ctx, mm[c]);
    }
}

int32_t color_pen_width(const drawing_context* ctx, int32_t colour) {
    const int32_t w = ctx->pen_width[colour < 0 ? 15 : colour > 15 ? 0 : colour];
    if (on_screen(ctx)) {
        if (w < 0) return 0;
        if (w == 0) return 1;
    } else if (w < 1) {
        return 0;
    }
    return ctx->disp_pen_width >= 0 ? ctx->disp_pen_width : w;
}

int32_t xlum_disp_black_pen_width(const drawing_context* ctx, int32_t colour) {
    if (!ctx) return 0;
    const int c = colour < 0 ? 15 : colour > 15 ? 0 : colour;
    int32_t w = 1;
    if (ctx->pen_width_sw == 0) {
        w = ctx->pen_width[c];
        if (on_screen(ctx))
            w = w < 0 ? -1 : w;
        else if (on_printer(ctx))
            w = w < 1 ? -1 : w;
        else
            w = 1;
    } else if (ctx->pen_width_sw == 1) {
        const double mm = ctx->pen_width_mili[c];
        if (ctx->print_device >= 4) return ctx->disp_pen_width >= 1 ? ctx->disp_pen_width : 1;
        if ((on_screen(ctx) && mm < 0) || (on_printer(ctx) && mm <= 0)) return 0;
        w = mili_width(ctx, mm);
    }
    return ctx->disp_pen_width < 1 || w < 1 ? w : ctx->disp_pen_width;
}

}  // namespace kz::drawing2d
