// Arcs on the device: GDI's Arc and Ellipse where they are fast and right, chains of short strokes where dashes
// must run on around the arc or the radius is too large for GDI.
#include <algorithm>
#include <cmath>

#include "drawing2d/device_mapping.h"
#include "drawing2d/drawing_display.h"
#include "drawing2d/plane_geometry.h"
#include "drawing2d/text_utils.h"
#include "platform/device_context.h"

namespace kz::drawing2d {
namespace {
double radians(double degrees) { return degrees * M_PI / 180.0; }

// The angle (degrees) whose chord stays within 0.1 device unit of a circle of radius R.
double chord_step(double radius) {
    return 2 * std::atan2(std::sqrt(radius * radius - (radius - 0.1) * (radius - 0.1)), radius - 0.1) * 180.0 / M_PI;
}

void small_cross(drawing_context* ctx, device_context* dc, int x, int y) {
    platform::move_to(*dc, x - 1, y - 1);
    platform::line_to(*dc, x + 2, y + 2);
    platform::move_to(*dc, x - 1, y + 1);
    platform::line_to(*dc, x + 2, y - 2);
    ctx->stroke_count += 2;
}
}  // namespace

int arc_step(const drawing_context* ctx, double r, double start, double end, int* count, double* step) {
    double sweep = wrap_angle(end - start, 0, 360);
    if (sweep < 1e-6) sweep = 360;
    const double radius = xlum_fn_mcl(ctx, r);
    double s = radius >= 1 ? std::min(chord_step(radius), 120.0) : sweep / 2;
    if (s < 1) s = 1;
    const int n = std::max(1, round_to_int32(sweep / s));
    *count = n;
    *step = sweep / n;
    return 1;
}

void draw_gdi_arc(drawing_context* ctx, device_context* dc, int cx, int cy, int radius, double start, double end,
                  int fill) {
    if (radius < 2) {
        small_cross(ctx, dc, cx, cy);
        return;
    }
    if (start == end) start = 0, end = 360;
    const int left = cx - radius, top = cy - radius, right = cx + radius + 1, bottom = cy + radius + 1;
    const auto hollow_ellipse = [&] {
        const platform::Brush previous = platform::select_brush(*dc, platform::stock_null_brush());
        platform::ellipse(*dc, left, top, right, bottom);
        platform::select_brush(*dc, previous);
    };
    if (end - start >= 360) {
        if (fill == 0) {
            hollow_ellipse();
        } else {
            const platform::Pen pen = platform::gdi_state(*dc).pen;
            const platform::Brush brush = platform::select_brush(*dc, platform::Brush{false, pen.color});
            const platform::Pen previous =
                fill == 1 ? pen : platform::select_pen(*dc, platform::Pen{platform::kPsSolid, 1, 0});
            platform::ellipse(*dc, left, top, right, bottom);
            platform::select_pen(*dc, previous);
            platform::select_brush(*dc, brush);
        }
    } else {
        const int xs = round_to_int32(cx + radius * std::cos(radians(start)));
        const int ys = round_to_int32(cy - radius * std::sin(radians(start)));
        const int xe = round_to_int32(cx + radius * std::cos(radians(end)));
        const int ye = round_to_int32(cy - radius * std::sin(radians(end)));
        if (xs != xe || ys != ye) {
            platform::arc(*dc, left, top, right, bottom, xs, ys, xe, ye);
        } else if (end - start <= 10) {
            platform::move_to(*dc, xs, ys);
            platform::line_to(*dc, xe, ye);
        } else {
            hollow_ellipse();
        }
    }
    ctx->stroke_count += 2;
}

void draw_segmented_arc(drawing_context* ctx, device_context* dc, int cx, int cy, int radius, double start,
                        double end) {
    if (radius < 2) {
        small_cross(ctx, dc, cx, cy);
        return;
    }
    const double step = std::clamp(chord_step(radius), 1.0, 120.0);
    if (end < start) end += 360;
    double px = cx + radius * std::cos(radians(start)), py = cy - radius * std::sin(radians(start));
    bool first = true;
    for (double a = start + step;; a += step) {
        const bool last = a >= end;
        if (last) a = end;
        const double x = cx + radius * std::cos(radians(a)), y = cy - radius * std::sin(radians(a));
        draw_styled_segment(ctx, dc, px, py, x, y, last, !first);
        first = false;
        px = x, py = y;
        if (last) break;
    }
}

}  // namespace kz::drawing2d
