// The GDI plan view's projection: it must put faces on the same pixels as the OpenGL view of the same eye, and
// it must never hand GDI a point behind the eye, hence the side-plane clipping before every projection.
#include "app/foundation/view_projection.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "app/foundation/eye_record.h"
#include "app/foundation/matrix_ops.h"
#include "platform/gdi.h"

namespace kz::foundation {

namespace {

// Far beyond any window yet safe to convert: GDI gets a clipped-away coordinate instead of undefined behaviour.
int to_pixel(double v) {
    if (!(v == v)) return 0;
    return static_cast<int>(std::clamp(v, -1.0e9, 1.0e9));
}

// Signed distance-like value of a view point from one side plane, >= 0 inside.
double side_value(const EyeRecord& e, int side, const double* p) {
    switch (side) {
    case kSideLeft: return p[0] - e.frustum_left * p[2];
    case kSideRight: return (e.frustum_left + e.frustum_width) * p[2] - p[0];
    case kSideBottom: return p[1] - e.frustum_bottom * p[2];
    default: return (e.frustum_bottom + e.frustum_height) * p[2] - p[1];
    }
}

void lerp_onto(const double* p, const double* q, double fp, double fq, double* out) {
    const double t = fp / (fp - fq);
    for (int i = 0; i < 3; ++i) out[i] = p[i] + t * (q[i] - p[i]);
}

bool same_point(const double* a, const double* b) { return a[0] == b[0] && a[1] == b[1] && a[2] == b[2]; }

void close_polygon(std::vector<double>& poly) {
    const std::size_t n = poly.size() / 3;
    poly.resize(n * 3);
    if (n >= 1 && !same_point(&poly[0], &poly[3 * (n - 1)])) poly.insert(poly.end(), poly.begin(), poly.begin() + 3);
}

}  // namespace

void transform_to_view(const EyeRecord& eye, const double* world, double* out) {
    double r[3];
    transform_point(r, world, eye.view_matrix);
    out[0] = -r[1];
    out[1] = r[2];
    out[2] = r[0];
}

int transform_points_to_view(const EyeRecord& eye, double* points, int n) {
    if (!points || n < 1) return 0;
    for (int i = 0; i < n; ++i) transform_to_view(eye, points + 3 * i, points + 3 * i);
    return n;
}

void transform_from_view(const EyeRecord& eye, const double* view, double* out) {
    const double r[3] = {view[2], -view[0], view[1]};
    transform_point(out, r, eye.inverse_view_matrix);
}

void project_points_to_screen(const EyeRecord& eye, int n, const double* v, int* screen) {
    for (int i = 0; i < n; ++i) {
        double depth = v[3 * i + 2];
        if (std::fabs(depth) < 1e-11) depth = std::signbit(depth) ? -1e-11 : 1e-11;
        const double sx = (v[3 * i] / depth - eye.screen_offset_x) * eye.screen_scale + eye.window_left;
        const double sy =
            eye.window_top + eye.window_pixel_height - (v[3 * i + 1] / depth - eye.screen_offset_y) * eye.screen_scale;
        screen[2 * i] = to_pixel(sx);
        screen[2 * i + 1] = to_pixel(sy);
    }
}

void unproject_screen_point(const EyeRecord& eye, std::uint64_t packed, double* out) {
    const int sx = static_cast<std::int32_t>(packed & 0xFFFFFFFFu);
    const int sy = static_cast<std::int32_t>(packed >> 32);
    const double scale = eye.screen_scale;
    out[0] = ((sx - eye.window_left) / scale + eye.screen_offset_x) * scale;
    out[1] = ((eye.window_top + eye.window_pixel_height - sy) / scale + eye.screen_offset_y) * scale;
    out[2] = scale;
}

int clip_segment_to_side(const EyeRecord& eye, int side, double* p, double* q) {
    const double fp = side_value(eye, side, p), fq = side_value(eye, side, q);
    if (fp < 0 && fq < 0) return 0;
    if (!(fp == fp) || !(fq == fq)) return 0;
    if (fp < 0)
        lerp_onto(p, q, fp, fq, p);
    else if (fq < 0)
        lerp_onto(p, q, fp, fq, q);
    return 1;
}

int clip_segment_to_view(const EyeRecord& eye, double* p, double* q) {
    for (int side = 0; side < 4; ++side)
        if (!clip_segment_to_side(eye, side, p, q)) return 0;
    return 1;
}

int clip_polygon_to_side(const EyeRecord& eye, int side, std::vector<double>& poly) {
    close_polygon(poly);
    const std::size_t n = poly.size() / 3;
    std::vector<double> out;
    out.reserve(poly.size() + 6);
    for (std::size_t i = 0; i + 1 < n; ++i) {
        const double* p = &poly[3 * i];
        const double* q = &poly[3 * (i + 1)];
        const double fp = side_value(eye, side, p), fq = side_value(eye, side, q);
        if (fp >= 0) out.insert(out.end(), p, p + 3);
        if ((fp >= 0) != (fq >= 0) && fp == fp && fq == fq) {
            double x[3];
            lerp_onto(p, q, fp, fq, x);
            out.insert(out.end(), x, x + 3);
        }
    }
    poly.swap(out);
    close_polygon(poly);
    if (poly.size() / 3 < 2) poly.clear();
    return static_cast<int>(poly.size() / 3);
}

int clip_polygon_to_view(const EyeRecord& eye, std::vector<double>& poly) {
    for (int side = 0; side < 4; ++side)
        if (clip_polygon_to_side(eye, side, poly) == 0) return 0;
    return static_cast<int>(poly.size() / 3);
}

int project_polygon_to_screen(const EyeRecord& eye, const double* view_points, int n, std::vector<int>& screen) {
    screen.clear();
    if (!view_points || n < 1) return 0;
    std::vector<double> poly(view_points, view_points + 3 * static_cast<std::size_t>(n));
    const int count = clip_polygon_to_view(eye, poly);
    if (count < 3) return 0;
    screen.resize(2 * static_cast<std::size_t>(count));
    project_points_to_screen(eye, count, poly.data(), screen.data());
    return count;
}

int draw_projected_line(const EyeRecord& eye, kz::platform::DeviceContext& dc, const double* p0, const double* p1,
                        std::int64_t color) {
    double a[3], b[3];
    transform_to_view(eye, p0, a);
    transform_to_view(eye, p1, b);
    if (!clip_segment_to_view(eye, a, b)) return 0;
    double both[6] = {a[0], a[1], a[2], b[0], b[1], b[2]};
    int s[4];
    project_points_to_screen(eye, 2, both, s);
    namespace gdi = kz::platform;
    const bool own_pen = color >= 0;
    gdi::Pen old;
    if (own_pen) old = gdi::select_pen(dc, gdi::Pen{gdi::kPsSolid, 1, static_cast<gdi::ColorRef>(color)});
    gdi::move_to(dc, s[0], s[1]);
    gdi::line_to(dc, s[2], s[3]);
    if (own_pen) gdi::select_pen(dc, old);
    return 1;
}

void draw_plan_polygon(const EyeRecord& eye, const int* screen, int n, kz::platform::DeviceContext& dc,
                       std::uint32_t color, int pen_choice) {
    namespace gdi = kz::platform;
    if (!screen || n < 1) return;
    int pen = 0;
    if (pen_choice == 1) {
        pen = 1;
    } else if (pen_choice == -1) {
        for (int i = 0; i + 1 < n && pen == 0; ++i)
            if (screen[2 * i] - screen[2 * i + 2] >= 11 || screen[2 * i + 1] - screen[2 * i + 3] >= 11) pen = 1;
    }
    std::vector<gdi::GdiPoint> pts(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) pts[i] = {screen[2 * i], screen[2 * i + 1]};
    if (eye.outline_mode == 2) {
        const gdi::Pen old = gdi::select_pen(dc, eye.pens[2]);
        gdi::polyline(dc, pts.data(), n);
        gdi::select_pen(dc, old);
        return;
    }
    const gdi::Pen old_pen = gdi::select_pen(dc, eye.pens[pen]);
    const gdi::Brush old_brush = gdi::select_brush(dc, gdi::Brush{false, color});
    gdi::polygon(dc, pts.data(), n);
    gdi::select_brush(dc, old_brush);
    gdi::select_pen(dc, old_pen);
}

}  // namespace kz::foundation
