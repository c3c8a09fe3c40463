// Paint of closed outlines: the lines and arcs of a layer (or of a group) become segments, chained into polygons
// and filled with a null pen. A layer is tested against the device by its extent before anything is gathered, and
// arcs that cannot show become single chords.
#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>

#include "drawing2d/device_mapping.h"
#include "drawing2d/drawing_display.h"
#include "drawing2d/outline_chains.h"
#include "drawing2d/paint.h"
#include "drawing2d/record_display.h"
#include "drawing2d/record_walk.h"
#include "drawing2d/row_store.h"
#include "drawing2d/search.h"
#include "drawing2d/text_utils.h"

namespace kz::drawing2d {

namespace {

// Beyond this a mapped point no longer survives GDI's fixed-point arithmetic.
constexpr double kDeviceLimit = 2147483647.0 / 2.2;
constexpr double kPolygonSpan = 32000.0;

platform::ColorRef colorref(int32_t colour) { return static_cast<platform::ColorRef>(colour) & 0xFFFFFF; }

int32_t record_pen_color(const drawing_context* ctx, int32_t row) {
    const int32_t c = row_color(ctx, row);
    return ctx->pen_color[c > 15 ? 0 : c];
}

void device_point(const drawing_context* ctx, double x, double y, double* dx, double* dy) {
    double tx = 0, ty = 0;
    display_transform_point(ctx, x, y, &tx, &ty);
    *dx = xlum_fn_mcxr(ctx, tx);
    *dy = xlum_fn_mcyr(ctx, ty);
}

bool meets_device(const drawing_context* ctx, double x0, double y0, double x1, double y1) {
    return !(x1 < ctx->dvxmin || x0 > ctx->dvxmax || y1 < ctx->dvymin || y0 > ctx->dvymax);
}

// Whether a drawing box, display-transformed and mapped, meets the device rectangle.
bool box_meets_device(const drawing_context* ctx, double xmin, double ymin, double xmax, double ymax) {
    double x0 = DBL_MAX, y0 = DBL_MAX, x1 = -DBL_MAX, y1 = -DBL_MAX;
    for (const auto& [x, y] :
         std::array<std::array<double, 2>, 4>{{{xmin, ymin}, {xmax, ymin}, {xmax, ymax}, {xmin, ymax}}}) {
        double dx = 0, dy = 0;
        device_point(ctx, x, y, &dx, &dy);
        extend_box(dx, dy, &x0, &y0, &x1, &y1);
    }
    return meets_device(ctx, x0, y0, x1, y1);
}

void add_arc_chords(const drawing_context* ctx, int32_t row, std::vector<OutlineSegment>& out) {
    ArcRecord a;
    if (!read_arc(ctx, row, &a)) return;
    const int32_t colour = record_pen_color(ctx, row);
    const auto point = [&](double r, double degrees) {
        const double t = degrees * M_PI / 180.0;
        return OutlinePoint{round_to_int32(a.cx + r * std::cos(t)), round_to_int32(a.cy - r * std::sin(t))};
    };
    if (!box_meets_device(ctx, a.cx - a.r, a.cy - a.r, a.cx + a.r, a.cy + a.r)) {
        if (a.start == a.end) return;
        const OutlinePoint p = point(a.r, a.start), q = point(a.r, a.end);
        out.push_back({p.x, p.y, q.x, q.y, colour});
        return;
    }
    const double scale = std::max(std::abs(ctx->disp_scale_x), std::abs(ctx->disp_scale_y));
    int count = 1;
    double step = 0;
    arc_step(ctx, a.r * scale, a.start, a.end, &count, &step);
    // The points between the ends lie half a device unit outside the circle, so the chords do not cut into it.
    const double unit = xlum_fn_mcl(ctx, scale);
    const double outer = unit > 0 ? a.r + 0.5 / unit : a.r;
    OutlinePoint last = point(a.r, a.start);
    for (int i = 1; i <= count; ++i) {
        const OutlinePoint p = i == count ? point(a.r, a.start + step * count) : point(outer, a.start + step * i);
        out.push_back({last.x, last.y, p.x, p.y, colour});
        last = p;
    }
}

bool is_outline(const drawing_context* ctx, int32_t row) {
    const int32_t type = row_type(ctx, row);
    return type == kTypeLine || type == kTypeArc;
}

// The polygons' pen and brush for one layer or group: a null pen, and a solid brush of the colour when it is 0 or
// more; both put back at the end.
class PaintPen {
public:
    PaintPen(device_context* dc, int32_t colour)
        : dc_(dc),
          pen_(platform::select_pen(*dc, platform::stock_null_pen())),
          brush_(colour >= 0 ? platform::select_brush(*dc, platform::Brush{false, colorref(colour)})
                             : platform::gdi_state(*dc).brush) {}
    ~PaintPen() {
        platform::select_brush(*dc_, brush_);
        platform::select_pen(*dc_, pen_);
    }
    PaintPen(const PaintPen&) = delete;
    PaintPen& operator=(const PaintPen&) = delete;

private:
    device_context* dc_;
    platform::Pen pen_;
    platform::Brush brush_;
};

int32_t layer_paint_color(const drawing_context* ctx, int layer, int32_t colour) {
    const int32_t own = ctx->paint_layer_color[layer];
    int32_t c = colour >= 0 ? colour : ctx->disp_paint_color != -1 && own >= 0 ? ctx->disp_paint_color : own;
    if (ctx->lock_paint_same_color_sw == 0 && ctx->lock_layer[layer] != 0 && c >= 0) c = ctx->lock_layer_color;
    return c;
}

// Paints one layer's outline rows; false when the stroke limit was passed.
bool paint_layer_rows(drawing_context* ctx, device_context* dc, std::span<const int32_t> rows, int32_t colour) {
    if (colour == -1 || rows.empty()) return true;
    double box[4];
    if (outline_extent(ctx, rows, box) && box_meets_device(ctx, box[0], box[1], box[2], box[3]))
        paint_in_colour(ctx, dc, rows, colour);
    return !(ctx->draw_limit >= 1 && ctx->stroke_count > ctx->draw_limit);
}

}  // namespace

void gather_outline_segments(const drawing_context* ctx, std::span<const int32_t> rows,
                             std::vector<OutlineSegment>& out) {
    out.clear();
    for (int32_t row : rows) {
        if (row_type(ctx, row) == kTypeLine)
            out.push_back({ctx->c4[row], ctx->c5[row], ctx->c6[row], ctx->c7[row], record_pen_color(ctx, row)});
        else if (row_type(ctx, row) == kTypeArc)
            add_arc_chords(ctx, row, out);
    }
}

int outline_extent(const drawing_context* ctx, std::span<const int32_t> rows, double box[4]) {
    box[0] = box[1] = DBL_MAX;
    box[2] = box[3] = -DBL_MAX;
    int any = 0;
    for (int32_t row : rows) {
        double b[4];
        if (row_type(ctx, row) == kTypeLine) {
            extend_box(ctx->c4[row], ctx->c5[row], &box[0], &box[1], &box[2], &box[3]);
            extend_box(ctx->c6[row], ctx->c7[row], &box[0], &box[1], &box[2], &box[3]);
        } else if (arc_extents(ctx, row, &b[0], &b[1], &b[2], &b[3], 0)) {
            extend_box(b[0], b[1], &box[0], &box[1], &box[2], &box[3]);
            extend_box(b[2], b[3], &box[0], &box[1], &box[2], &box[3]);
        } else {
            continue;
        }
        any = 1;
    }
    return any;
}

void paint_polygons(drawing_context* ctx, device_context* dc, const std::vector<OutlineSegment>& segments,
                    int32_t mode) {
    std::vector<OutlinePoint> points;
    std::vector<OutlinePolygon> polygons;
    chain_outline_segments(segments, points, polygons);
    std::vector<platform::GdiPoint> mapped;
    const double width = ctx->dvxmax - ctx->dvxmin, height = ctx->dvymax - ctx->dvymin;
    for (const OutlinePolygon& polygon : polygons) {
        mapped.clear();
        double x0 = DBL_MAX, y0 = DBL_MAX, x1 = -DBL_MAX, y1 = -DBL_MAX;
        bool too_far = false;
        for (std::size_t i = polygon.first; i < polygon.first + polygon.count && !too_far; ++i) {
            double x = 0, y = 0;
            device_point(ctx, points[i].x, points[i].y, &x, &y);
            too_far = !(std::abs(x) <= kDeviceLimit && std::abs(y) <= kDeviceLimit);
            extend_box(x, y, &x0, &y0, &x1, &y1);
            mapped.push_back({round_to_int32(x), round_to_int32(y)});
        }
        if (too_far || !meets_device(ctx, x0, y0, x1, y1)) continue;
        const double w = x1 - x0, h = y1 - y0;
        if (!((w < kPolygonSpan && h < kPolygonSpan) || (w < 3 * width && h < 3 * height))) continue;
        const int n = static_cast<int>(mapped.size());
        if (mode == -2) {
            const platform::Brush previous =
                platform::select_brush(*dc, platform::Brush{false, colorref(polygon.color)});
            platform::polygon(*dc, mapped.data(), n);
            platform::select_brush(*dc, previous);
        } else {
            platform::polygon(*dc, mapped.data(), n);
        }
        ctx->stroke_count += n;
    }
}

void paint_in_colour(drawing_context* ctx, device_context* dc, std::span<const int32_t> rows, int32_t colour) {
    std::vector<OutlineSegment> segments;
    gather_outline_segments(ctx, rows, segments);
    const PaintPen pen(dc, colour);
    paint_polygons(ctx, dc, segments, colour);
}

int paint_layers(drawing_context* ctx, device_context* dc, int32_t start_row, const int32_t layer_flags[kLayers],
                 int32_t colour) {
    ctx->stroke_count = 0;
    bool selected[kLayers], any = false;
    for (int l = 0; l < kLayers; ++l) {
        selected[l] = layer_flags[l] != 0 && ctx->paint_layer_color[l] != -1;
        any = any || selected[l];
    }
    if (!any || start_row < 0 || start_row > ctx->mat || row_code(ctx, start_row) == -1) return 0;
    std::array<std::vector<int32_t>, kLayers> rows;
    walk_head_rows(ctx, start_row, [&](int32_t row) {
        if (is_outline(ctx, row) && selected[row_layer(ctx, row)]) rows[row_layer(ctx, row)].push_back(row);
        return true;
    });
    const bool up = ctx->layer_paint_jun == 1, locked_first = ctx->lock_paint_same_color_sw == 0;
    for (int pass = 0; pass < (locked_first ? 2 : 1); ++pass)
        for (int i = 0; i < kLayers; ++i) {
            const int l = up ? i : kLayers - 1 - i;
            if (locked_first && (ctx->lock_layer[l] != 0) != (pass == 0)) continue;
            if (!paint_layer_rows(ctx, dc, rows[l], layer_paint_color(ctx, l, colour))) return 1;
        }
    return 1;
}

int paint_layer_range(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t first_layer,
                      int32_t last_layer, int32_t colour) {
    int32_t flags[kLayers];
    for (int l = 0; l < kLayers; ++l) flags[l] = l >= first_layer && l <= last_layer ? 1 : 0;
    return paint_layers(ctx, dc, start_row, flags, colour);
}

int paint_displayed_layers(drawing_context* ctx, device_context* dc, int32_t start_row) {
    int32_t flags[kLayers];
    for (int l = 0; l < kLayers; ++l)
        flags[l] = ctx->disp_layer_number == -1 ? ctx->disp_layer[l] != 0 : l == ctx->disp_layer_number;
    return paint_layers(ctx, dc, start_row, flags, -1);
}

int paint_layers_ordered(drawing_context* ctx, device_context* dc, std::span<const int32_t> rows, int32_t layer,
                         int32_t colour) {
    if (layer < 0 || layer >= kLayers || ctx->paint_layer_color[layer] == -1) return 1;
    std::vector<int32_t> outline;
    for (int32_t row : rows)
        if (row_code(ctx, row) > 0 && is_outline(ctx, row) && row_layer(ctx, row) == layer) outline.push_back(row);
    paint_layer_rows(ctx, dc, outline, layer_paint_color(ctx, layer, colour));
    return 1;
}

}  // namespace kz::drawing2d
