// Strokes on the device: dashes at their real lengths in millimetres (a pattern runs on from one stroke into the
// next), solid strokes that keep their end pixel, and the thinning of strokes too short to see.
#include <algorithm>
#include <cmath>

#include "drawing2d/device_mapping.h"
#include "drawing2d/text_utils.h"

namespace kz::drawing2d {
namespace {
// A pattern with more pieces than this over one stroke is drawn solid: it would look solid anyway, and an absurdly
// fine pattern must not keep a display busy for ever.
constexpr double kMostPieces = 1e6;

int device_round(double v) { return truncate_to_int32(v + 0.5); }

void stroke(device_context* dc, int x1, int y1, int x2, int y2) {
    platform::move_to(*dc, x1, y1);
    platform::line_to(*dc, x2, y2);
}

// The pattern's period in millimetres; 0 for a solid style.
double pattern_period(const double* p) {
    if (p[0] == 0 || p[1] == 0) return 0;
    double period = 0;
    for (int k = 0; k < 16 && p[k] != 0; ++k) period += std::abs(p[k]);
    return period;
}
}  // namespace

void reset_dash_state(drawing_context* ctx) {
    ctx->dash_phase = 0;
    ctx->dash_index = 0;
    ctx->last_pen_x = ctx->last_pen_y = kNoStrokeEnd;
}

void draw_zero_length(drawing_context* ctx, device_context* dc, int x, int y) {
    if (ctx->zero_length_count < ctx->zero_length_limit) {
        ++ctx->zero_length_count;
        return;
    }
    stroke(dc, x, y, ctx->dot_widening == 1 ? x + 1 : x, y);
    ctx->zero_length_count = 0;
    ++ctx->stroke_count;
}

void draw_styled_segment(drawing_context* ctx, device_context* dc, double x1, double y1, double x2, double y2,
                         bool mark_end, bool continue_pattern) {
    if (!ctx || !dc) return;
    const int style = ctx->dash_style < 0 || ctx->dash_style > 8 ? 1 : ctx->dash_style;
    const double* p = ctx->line_style_data[style];
    const double dpi = ctx->device_dpi;
    const double device_length = std::hypot(x2 - x1, y2 - y1);
    const double length = dpi > 0 ? 25.4 / dpi * device_length : 0;
    double period = pattern_period(p);
    if (period > 0 && length / period > kMostPieces) period = 0;
    if (!continue_pattern) {
        ctx->dash_phase = 0;
        ctx->dash_index = 0;
        if (period > 0) {
            const double whole = period + std::abs(p[0]);
            if (whole > length) {
                // Centred, unless the first dash would then be too short to see.
                ctx->dash_phase = (whole - length) / 2;
                if ((p[0] - ctx->dash_phase) * dpi / 25.4 < 2) ctx->dash_phase = 0;
            }
        }
    }
    if (dpi <= 0 || length < 1e-10) return;
    if (period > 0) {
        const double ux = (x2 - x1) / length, uy = (y2 - y1) / length;  // device units per millimetre
        double remaining = length, at = 0;
        bool last_gap = false;
        while (remaining > 0) {
            if (ctx->dash_index < 0 || ctx->dash_index >= 16 || p[ctx->dash_index] == 0) ctx->dash_index = 0;
            const double entry = p[ctx->dash_index];
            double piece = std::max(0.0, std::abs(entry) - ctx->dash_phase);
            if (piece > remaining + 0.001) {
                piece = remaining;
                ctx->dash_phase += remaining;
                remaining = 0;
            } else {
                ++ctx->dash_index;
                remaining -= piece;
                ctx->dash_phase = 0;
            }
            const double from = at;
            at += piece;
            last_gap = entry < 0;
            if (entry > 0) {
                stroke(dc, device_round(x1 + ux * from), device_round(y1 + uy * from), device_round(x1 + ux * at),
                       device_round(y1 + uy * at));
                ++ctx->stroke_count;
            }
        }
        if (last_gap && mark_end) {
            const int ex = device_round(x2), ey = device_round(y2);
            stroke(dc, ex, ey, ex + 1, ey);
            ++ctx->stroke_count;
        }
        return;
    }
    const int ax = device_round(x1), ay = device_round(y1), bx = device_round(x2), by = device_round(y2);
    ctx->dash_phase = 0;
    if (ax == bx && ay == by) {
        draw_zero_length(ctx, dc, ax, ay);
        return;
    }
    platform::move_to(*dc, ax, ay);
    const bool widen = ctx->dot_widening != 0 && !continue_pattern;
    if (widen && ay == by) {
        platform::line_to(*dc, bx + (bx > ax ? 1 : -1), by);
    } else if (widen && ax == bx) {
        platform::line_to(*dc, bx, by + (by > ay ? 1 : -1));
    } else {
        platform::line_to(*dc, bx, by);
        if (widen) platform::line_to(*dc, bx + 1, by);
    }
    ++ctx->stroke_count;
}

void draw_window_segment(drawing_context* ctx, device_context* dc, double x1, double y1, double x2, double y2) {
    if (!ctx || !dc || !clip_to_window(ctx, &x1, &y1, &x2, &y2)) return;
    const int ax = xlum_fn_mcx(ctx, x1), ay = xlum_fn_mcy(ctx, y1), bx = xlum_fn_mcx(ctx, x2),
              by = xlum_fn_mcy(ctx, y2);
    if (ax == bx && ay == by)
        draw_zero_length(ctx, dc, ax, ay);
    else
        stroke(dc, ax, ay, bx, by);
    ++ctx->stroke_count;
}

}  // namespace kz::drawing2d
