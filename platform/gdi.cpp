// GDI-style drawing over Qt's raster engine. Lines, arcs and polygon interiors are rasterised here, pixel by pixel,
// so that GDI's conventions hold exactly (end points left out, right and bottom edges left out, raster operations
// applied once per pixel); wide pens go through QPainter into a coverage mask; text is drawn with QPainter.
// Bottom-up DIBs are drawn into through a top-down working copy of the touched rows, flipped back afterwards, so
// glyphs are never mirrored.
#include "platform/gdi.h"
#include "platform/message_loop.h"

#include <QApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/device_context_impl.h"
#include "platform/text_codec.h"
#include "platform/window.h"

namespace kz::platform {

void ensure_gui_application() {
    // One application object for the whole program: the window layer's, which fonts, images and the clipboard
    // need as much as windows do.
    ensure_application();
}

bool monitor_work_area(int x, int y, GdiRect* out) {
    ensure_gui_application();
    // Screen coordinates are device pixels (the window layer's), Qt's screens logical ones.
    const double ratio = screen_pixel_ratio();
    x = static_cast<int>(std::lround(x / ratio));
    y = static_cast<int>(std::lround(y / ratio));
    QScreen* screen = QGuiApplication::screenAt(QPoint(x, y));
    if (!screen) {
        // Nearest: the screen whose geometry is closest to the point.
        double best = -1;
        for (QScreen* s : QGuiApplication::screens()) {
            const QRect g = s->geometry();
            const double dx = std::max({g.left() - x, 0, x - g.right()}),
                         dy = std::max({g.top() - y, 0, y - g.bottom()});
            if (best < 0 || dx * dx + dy * dy < best) best = dx * dx + dy * dy, screen = s;
        }
    }
    if (!screen || !out) return false;
    const QRect a = screen->availableGeometry();
    const auto device = [ratio](int v) { return static_cast<int>(std::lround(v * ratio)); };
    *out = {device(a.left()), device(a.top()), device(a.left() + a.width()), device(a.top() + a.height())};
    return true;
}

Pen stock_black_pen() { return Pen{kPsSolid, 0, 0}; }
Pen stock_white_pen() { return Pen{kPsSolid, 0, 0xFFFFFF}; }
Pen stock_null_pen() { return Pen{kPsNull, 0, 0}; }
Brush stock_white_brush() { return Brush{false, 0xFFFFFF}; }
Brush stock_black_brush() { return Brush{false, 0}; }
Brush stock_null_brush() { return Brush{true, 0}; }

std::string map_face_name(std::string_view face) {
    if (!face.empty() && face.front() == '@') face.remove_prefix(1);
    struct Entry {
        std::string_view from;
        std::string_view to;
    };
    static constexpr Entry kMap[] = {
        {"ＭＳ ゴシック", "IPAGothic"}, {"ＭＳ Ｐゴシック", "IPAPGothic"}, {"ＭＳ 明朝", "IPAMincho"},
        {"ＭＳ Ｐ明朝", "IPAPMincho"},  {"MS Gothic", "IPAGothic"},        {"MS PGothic", "IPAPGothic"},
        {"MS Mincho", "IPAMincho"},     {"MS PMincho", "IPAPMincho"},      {"ＭＳ UI Gothic", "IPAPGothic"},
    };
    for (const Entry& e : kMap)
        if (face == e.from) return std::string(e.to);
    return std::string(face);
}

namespace {

GdiState& state(DeviceContext& dc) { return dc.impl()->gdi; }

std::uint32_t to_rgb(ColorRef c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }

std::uint32_t apply_rop2(int rop, std::uint32_t p, std::uint32_t d) {
    switch (rop) {
    case kR2Black: return 0;
    case kR2NotMergePen: return ~(p | d);
    case kR2MaskNotPen: return ~p & d;
    case kR2NotCopyPen: return ~p;
    case kR2MaskPenNot: return p & ~d;
    case kR2Not: return ~d;
    case kR2XorPen: return p ^ d;
    case kR2NotMaskPen: return ~(p & d);
    case kR2MaskPen: return p & d;
    case kR2NotXorPen: return ~(p ^ d);
    case kR2Nop: return d;
    case kR2MergeNotPen: return ~p | d;
    case kR2MergePen: return p | d;
    case kR2MergePenNot: return p | ~d;
    case kR2White: return 0xFFFFFF;
    default: return p;
    }
}

// The pixels of a DC during one drawing call, with the clip rectangle. A top-down 32-bit surface is used in
// place; any other is copied into a top-down RGB32 working image of the call's `area` alone and copied back when
// the call ends, so that many small strokes on a large image cost what they cover. A call that only plots
// (`plots_only`: thin lines and their fills) writes such a surface pixel by pixel instead: a long diagonal line
// would otherwise copy its whole bounding box twice.
class Canvas {
public:
    Canvas(DeviceContext& dc, GdiRect area, bool plots_only = false) : dc_(dc), view_(dc.impl()->surface()) {
        if (!view_) return;
        const GdiState& s = dc.impl()->gdi;
        bounds_ = {0, 0, view_.width, view_.height};
        if (s.clipping) bounds_ = intersect(bounds_, s.clip);
        area = intersect(area, bounds_);
        if (area.left >= area.right || area.top >= area.bottom) {
            bounds_ = {};
            return;
        }
        direct_ = view_.bits_per_pixel == 32 && !view_.bottom_up;
        in_place_ = !direct_ && plots_only;
        if (in_place_) {
            bounds_ = intersect(bounds_, area);
            return;
        }
        if (direct_) {
            image_ = QImage(view_.bits, view_.width, view_.height, view_.stride, QImage::Format_RGB32);
            area.left = 0;
            area.right = view_.width;
        } else {
            origin_x_ = area.left;
            origin_y_ = area.top;
            image_ = QImage(area.right - area.left, area.bottom - area.top, QImage::Format_RGB32);
        }
        area_ = area;
        if (!direct_)
            for (int y = area.top; y < area.bottom; ++y) copy_row(y, true);
        bounds_ = intersect(bounds_, area);
    }
    ~Canvas() {
        if (bounds_.right <= bounds_.left) return;
        if (!direct_ && !in_place_)
            for (int y = area_.top; y < area_.bottom; ++y) copy_row(y, false);
        after_gdi_drawing(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    bool ok() const { return bounds_.right > bounds_.left; }
    bool inside(int x, int y) const {
        return x >= bounds_.left && x < bounds_.right && y >= bounds_.top && y < bounds_.bottom;
    }
    std::uint32_t* pixel(int x, int y) {
        return reinterpret_cast<std::uint32_t*>(image_.scanLine(y - origin_y_)) + (x - origin_x_);
    }
    void plot(int x, int y, ColorRef color, int rop) {
        if (!inside(x, y)) return;
        if (in_place_) {
            std::uint32_t v = load(view_.row(y), x);
            store(view_.row(y), x, 0xFF000000u | (apply_rop2(rop, to_rgb(color), v & 0xFFFFFF) & 0xFFFFFF));
            return;
        }
        std::uint32_t* p = pixel(x, y);
        *p = 0xFF000000u | (apply_rop2(rop, to_rgb(color), *p & 0xFFFFFF) & 0xFFFFFF);
    }
    QImage& image() { return image_; }
    bool direct() const { return direct_; }
    int origin_x() const { return origin_x_; }
    int origin_y() const { return origin_y_; }
    const GdiRect& bounds() const { return bounds_; }

    static GdiRect intersect(const GdiRect& a, const GdiRect& b) {
        return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
    }

private:
    // A pixel of a stored row as 0xFFRRGGBB, and back.
    std::uint32_t load(const std::uint8_t* row, int x) const {
        const std::uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * (view_.bits_per_pixel / 8);
        return 0xFF000000u | (p[2] << 16) | (p[1] << 8) | p[0];
    }
    void store(std::uint8_t* row, int x, std::uint32_t v) const {
        std::uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * (view_.bits_per_pixel / 8);
        p[0] = v & 0xFF;
        p[1] = (v >> 8) & 0xFF;
        p[2] = (v >> 16) & 0xFF;
    }
    void copy_row(int y, bool in) {
        std::uint8_t* src = view_.row(y);
        auto* work = reinterpret_cast<std::uint32_t*>(image_.scanLine(y - origin_y_));
        for (int x = area_.left; x < area_.right; ++x) {
            if (in) {
                work[x - origin_x_] = load(src, x);
            } else {
                store(src, x, work[x - origin_x_]);
            }
        }
    }

    DeviceContext& dc_;
    SurfaceView view_;
    QImage image_;
    GdiRect bounds_{};
    GdiRect area_{};
    int origin_x_ = 0, origin_y_ = 0;
    bool direct_ = false;
    bool in_place_ = false;
};

GdiRect points_bounds(const GdiPoint* pts, int n, int margin) {
    GdiRect r{pts[0].x, pts[0].y, pts[0].x, pts[0].y};
    for (int i = 1; i < n; ++i) {
        r.left = std::min(r.left, pts[i].x);
        r.top = std::min(r.top, pts[i].y);
        r.right = std::max(r.right, pts[i].x);
        r.bottom = std::max(r.bottom, pts[i].y);
    }
    return {r.left - margin, r.top - margin, r.right + margin + 1, r.bottom + margin + 1};
}

int pen_kind(const Pen& pen) { return pen.style & kPsStyleMask; }
bool pen_is_null(const Pen& pen) { return pen_kind(pen) == kPsNull; }
bool pen_is_wide(const Pen& pen) { return pen.width > 1; }

// GDI's cosmetic style patterns, in pixels, starting with an "on" run.
const std::vector<int>* style_pattern(const Pen& pen) {
    static const std::vector<int> dash{18, 6}, dot{3, 3}, dash_dot{9, 6, 3, 6}, dash_dot_dot{9, 3, 3, 3, 3, 3};
    if (pen_is_wide(pen)) return nullptr;
    switch (pen_kind(pen)) {
    case kPsDash: return &dash;
    case kPsDot: return &dot;
    case kPsDashDot: return &dash_dot;
    case kPsDashDotDot: return &dash_dot_dot;
    default: return nullptr;
    }
}

// Whether the pattern is "on" at `phase` pixels from its start.
bool pattern_on(const std::vector<int>& pattern, int phase) {
    int total = 0;
    for (int v : pattern) total += v;
    phase %= total;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (phase < pattern[i]) return i % 2 == 0;
        phase -= pattern[i];
    }
    return false;
}

// A one-pixel line from (x0, y0) up to but not including (x1, y1) (Bresenham), styled and raster-operated.
void cosmetic_segment(Canvas& canvas, GdiState& s, int x0, int y0, int x1, int y1, bool include_end) {
    const Pen& pen = s.pen;
    const std::vector<int>* pattern = style_pattern(pen);
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    int x = x0, y = y0;
    for (;;) {
        const bool at_end = x == x1 && y == y1;
        if (at_end && !include_end) break;
        if (!pattern || pattern_on(*pattern, s.dash_phase))
            canvas.plot(x, y, pen.color, s.rop2);
        else if (s.bk_mode == kOpaque)
            canvas.plot(x, y, s.bk_color, s.rop2);
        if (pattern) ++s.dash_phase;
        if (at_end) break;
        const int e2 = 2 * err;
        if (e2 >= dy) err += dy, x += sx;
        if (e2 <= dx) err += dx, y += sy;
    }
}

// Coverage of a path stroked or filled by QPainter without anti-aliasing, in pixel-index coordinates (pixel (i, j)
// has its centre at (i, j)), combined into the canvas with the raster operation.
void paint_mask(Canvas& canvas, const QPainterPath& path, const QPen* pen, ColorRef color, int rop) {
    const QRectF box =
        (pen ? path.controlPointRect().adjusted(-pen->widthF(), -pen->widthF(), pen->widthF(), pen->widthF())
             : path.controlPointRect());
    GdiRect area{static_cast<int>(std::floor(box.left())) - 1, static_cast<int>(std::floor(box.top())) - 1,
                 static_cast<int>(std::ceil(box.right())) + 2, static_cast<int>(std::ceil(box.bottom())) + 2};
    area = Canvas::intersect(area, canvas.bounds());
    if (area.left >= area.right || area.top >= area.bottom) return;
    QImage mask(area.right - area.left, area.bottom - area.top, QImage::Format_Alpha8);
    mask.fill(0);
    {
        QPainter p(&mask);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.translate(0.5 - area.left, 0.5 - area.top);
        if (pen) {
            p.setPen(*pen);
            p.setBrush(Qt::NoBrush);
        } else {
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::black);
        }
        p.drawPath(path);
    }
    for (int y = 0; y < mask.height(); ++y) {
        const uchar* row = mask.constScanLine(y);
        for (int x = 0; x < mask.width(); ++x)
            if (row[x] >= 128) canvas.plot(area.left + x, area.top + y, color, rop);
    }
}

QPen wide_qpen(const Pen& pen) {
    QPen q(Qt::black);
    q.setWidthF(pen.width);
    const bool geometric = (pen.style & kPsGeometric) != 0;
    switch (pen.style & kPsEndcapMask) {
    case kPsEndcapSquare: q.setCapStyle(Qt::SquareCap); break;
    case kPsEndcapFlat: q.setCapStyle(Qt::FlatCap); break;
    default: q.setCapStyle(Qt::RoundCap);
    }
    switch (pen.style & kPsJoinMask) {
    case kPsJoinBevel: q.setJoinStyle(Qt::BevelJoin); break;
    case kPsJoinMiter: q.setJoinStyle(Qt::MiterJoin); break;
    default: q.setJoinStyle(Qt::RoundJoin);
    }
    if (geometric) {  // geometric pens keep their dashes, scaled by the width
        switch (pen_kind(pen)) {
        case kPsDash: q.setDashPattern({3, 1}); break;
        case kPsDot: q.setDashPattern({1, 1}); break;
        case kPsDashDot: q.setDashPattern({3, 1, 1, 1}); break;
        case kPsDashDotDot: q.setDashPattern({3, 1, 1, 1, 1, 1}); break;
        default: break;
        }
    }
    return q;
}

// The outline of a sequence of points with the current pen: one-pixel pens segment by segment (each segment's end
// is the next one's start, so no pixel is hit twice); wide pens as one stroked path.
void stroke_points(Canvas& canvas, GdiState& s, const std::vector<GdiPoint>& pts, bool closed, bool include_last) {
    if (pen_is_null(s.pen) || pts.empty()) return;
    if (pen_is_wide(s.pen)) {
        QPainterPath path(QPointF(pts[0].x, pts[0].y));
        for (std::size_t i = 1; i < pts.size(); ++i) path.lineTo(pts[i].x, pts[i].y);
        if (closed) path.closeSubpath();
        const QPen q = wide_qpen(s.pen);
        paint_mask(canvas, path, &q, s.pen.color, s.rop2);
        return;
    }
    for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
        const bool last = !closed && i + 2 == pts.size();
        cosmetic_segment(canvas, s, pts[i].x, pts[i].y, pts[i + 1].x, pts[i + 1].y, last && include_last);
    }
    if (closed && pts.size() > 1) cosmetic_segment(canvas, s, pts.back().x, pts.back().y, pts[0].x, pts[0].y, false);
}

// Polygon interior by the alternate rule: pixel (i, j) is filled when its centre (i + 0.5, j + 0.5) lies inside the
// outline drawn through the vertex corners.
void fill_polygon_alternate(Canvas& canvas, const std::vector<QPointF>& pts, ColorRef color, int rop) {
    if (pts.size() < 3) return;
    double top = pts[0].y(), bottom = top;
    for (const QPointF& p : pts) top = std::min(top, p.y()), bottom = std::max(bottom, p.y());
    const int y0 = std::max(static_cast<int>(std::floor(top)), canvas.bounds().top);
    const int y1 = std::min(static_cast<int>(std::ceil(bottom)), canvas.bounds().bottom);
    std::vector<double> xs;
    for (int y = y0; y < y1; ++y) {
        const double yc = y + 0.5;
        xs.clear();
        for (std::size_t i = 0; i < pts.size(); ++i) {
            const QPointF& a = pts[i];
            const QPointF& b = pts[(i + 1) % pts.size()];
            if ((a.y() <= yc) == (b.y() <= yc)) continue;
            xs.push_back(a.x() + (yc - a.y()) * (b.x() - a.x()) / (b.y() - a.y()));
        }
        std::sort(xs.begin(), xs.end());
        for (std::size_t k = 0; k + 1 < xs.size(); k += 2) {
            // centres x + 0.5 in [xs[k], xs[k+1]): x from ceil(xs[k] - 0.5) up to ceil(xs[k+1] - 0.5)
            const int xa = std::max(static_cast<int>(std::ceil(xs[k] - 0.5)), canvas.bounds().left);
            const int xb = std::min(static_cast<int>(std::ceil(xs[k + 1] - 0.5)), canvas.bounds().right);
            for (int x = xa; x < xb; ++x) canvas.plot(x, y, color, rop);
        }
    }
}

struct Ellipse {
    double cx, cy, rx, ry;
};
// The ellipse through the centres of the box's outer pixels (the right and bottom edges are outside the box).
Ellipse ellipse_in(int l, int t, int r, int b) {
    if (l > r) std::swap(l, r);
    if (t > b) std::swap(t, b);
    return {(l + r - 1) / 2.0, (t + b - 1) / 2.0, std::max(0.0, (r - l - 1) / 2.0), std::max(0.0, (b - t - 1) / 2.0)};
}

std::vector<GdiPoint> ellipse_points(const Ellipse& e, double a0, double sweep) {
    const double step = 1.0 / std::max({e.rx, e.ry, 1.0});
    const int n = std::max(2, static_cast<int>(std::ceil(std::abs(sweep) / step)));
    std::vector<GdiPoint> pts;
    pts.reserve(n + 1);
    for (int i = 0; i <= n; ++i) {
        const double a = a0 + sweep * i / n;
        const GdiPoint p{static_cast<int>(std::lround(e.cx + e.rx * std::cos(a))),
                         static_cast<int>(std::lround(e.cy - e.ry * std::sin(a)))};
        if (pts.empty() || pts.back().x != p.x || pts.back().y != p.y) pts.push_back(p);
    }
    return pts;
}

// ---- fonts ----

QFont build_qfont(const LogFont& lf) {
    std::string face(lf.face_name, strnlen(lf.face_name, sizeof(lf.face_name)));
    std::string family = map_face_name(cp932_to_utf8(face));
    if (family.empty()) family = "IPAPGothic";
    QFont font;
    font.setFamilies({QString::fromStdString(family), QStringLiteral("IPAPGothic")});
    font.setStyleStrategy(lf.quality == 3 ? QFont::NoAntialias : QFont::PreferDefault);
    font.setHintingPreference(QFont::PreferNoHinting);
    // A positive height is the cell (ascent + descent); a negative one the em height; Qt's pixel size is the em.
    const int h = lf.height == 0 ? -16 : lf.height;
    int em = std::abs(h);
    if (h > 0) {
        font.setPixelSize(1000);
        const QFontMetricsF m(font);
        const double cell = m.ascent() + m.descent();
        if (cell > 0) em = std::max(1, static_cast<int>(std::lround(h * 1000.0 / cell)));
    }
    font.setPixelSize(std::clamp(em, 1, 20000));
    font.setWeight(lf.weight >= 600 ? QFont::Bold : QFont::Normal);
    font.setItalic(lf.italic != 0);
    font.setUnderline(lf.underline != 0);
    font.setStrikeOut(lf.strike_out != 0);
    if (lf.width > 0) {
        const double natural = QFontMetricsF(font).averageCharWidth();
        if (natural > 0)
            font.setStretch(std::clamp(static_cast<int>(std::lround(lf.width * 100.0 / natural)), 1, 4000));
    }
    return font;
}

// Fonts are made once per logical font: a display measures and draws many texts in few faces and sizes, and
// making a font (with its metrics for a cell height) costs far more than a look-up. The escapement does not
// change the font.
QFont make_qfont(const LogFont& lf) {
    ensure_gui_application();
    LogFont key = lf;
    key.escapement = key.orientation = 0;
    std::string bytes(reinterpret_cast<const char*>(&key), sizeof key);
    static std::unordered_map<std::string, QFont> cache;
    if (auto found = cache.find(bytes); found != cache.end()) return found->second;
    if (cache.size() >= 512) cache.clear();
    return cache.emplace(std::move(bytes), build_qfont(lf)).first->second;
}

QString qstring_from_sjis(std::string_view sjis) { return QString::fromStdString(cp932_to_utf8(sjis)); }

}  // namespace

// ---- state ----

Pen select_pen(DeviceContext& dc, const Pen& pen) { return std::exchange(state(dc).pen, pen); }
Brush select_brush(DeviceContext& dc, const Brush& brush) { return std::exchange(state(dc).brush, brush); }
LogFont select_font(DeviceContext& dc, const LogFont& font) { return std::exchange(state(dc).font, font); }
int set_rop2(DeviceContext& dc, int mode) {
    if (mode < kR2Black || mode > kR2White) return 0;
    return std::exchange(state(dc).rop2, mode);
}
int set_bk_mode(DeviceContext& dc, int mode) {
    if (mode != kTransparent && mode != kOpaque) return 0;
    return std::exchange(state(dc).bk_mode, mode);
}
ColorRef set_bk_color(DeviceContext& dc, ColorRef c) { return std::exchange(state(dc).bk_color, c & 0xFFFFFF); }
ColorRef set_text_color(DeviceContext& dc, ColorRef c) { return std::exchange(state(dc).text_color, c & 0xFFFFFF); }
int set_text_align(DeviceContext& dc, int align) { return std::exchange(state(dc).text_align, align); }
int set_stretch_blt_mode(DeviceContext& dc, int mode) { return std::exchange(state(dc).stretch_mode, mode); }
void set_clip_rect(DeviceContext& dc, const GdiRect* rect) {
    state(dc).clipping = rect != nullptr;
    if (rect) state(dc).clip = *rect;
}
const GdiState& gdi_state(const DeviceContext& dc) { return dc.impl()->gdi; }

// ---- lines and shapes ----

void move_to(DeviceContext& dc, int x, int y, GdiPoint* old) {
    GdiState& s = state(dc);
    if (old) *old = s.position;
    s.position = {x, y};
    s.dash_phase = 0;
}

void line_to(DeviceContext& dc, int x, int y) {
    GdiState& s = state(dc);
    const GdiPoint from = s.position;
    s.position = {x, y};
    const GdiPoint pts[2] = {from, {x, y}};
    Canvas canvas(dc, points_bounds(pts, 2, std::max(s.pen.width, 1) + 1), !pen_is_wide(s.pen));
    if (canvas.ok()) stroke_points(canvas, s, {from, {x, y}}, false, false);
}

void polyline(DeviceContext& dc, const GdiPoint* points, int count) {
    if (!points || count < 2) return;
    GdiState& s = state(dc);
    Canvas canvas(dc, points_bounds(points, count, std::max(s.pen.width, 1) + 1), !pen_is_wide(s.pen));
    if (!canvas.ok()) return;
    s.dash_phase = 0;
    stroke_points(canvas, s, std::vector<GdiPoint>(points, points + count), false, false);
}

void polygon(DeviceContext& dc, const GdiPoint* points, int count) {
    if (!points || count < 2) return;
    GdiState& s = state(dc);
    Canvas canvas(dc, points_bounds(points, count, std::max(s.pen.width, 1) + 1), !pen_is_wide(s.pen));
    if (!canvas.ok()) return;
    if (!s.brush.hollow) {
        std::vector<QPointF> corners;
        for (int i = 0; i < count; ++i) corners.emplace_back(points[i].x, points[i].y);
        fill_polygon_alternate(canvas, corners, s.brush.color, s.rop2);
    }
    s.dash_phase = 0;
    stroke_points(canvas, s, std::vector<GdiPoint>(points, points + count), true, false);
}

void rectangle(DeviceContext& dc, int l, int t, int r, int b) {
    if (l > r) std::swap(l, r);
    if (t > b) std::swap(t, b);
    GdiState& s = state(dc);
    Canvas canvas(dc, {l - s.pen.width - 1, t - s.pen.width - 1, r + s.pen.width + 1, b + s.pen.width + 1});
    if (!canvas.ok()) return;
    const bool null_pen = pen_is_null(s.pen);
    if (!s.brush.hollow) {
        const int fr = null_pen ? r - 1 : r, fb = null_pen ? b - 1 : b;
        for (int y = t; y < fb; ++y)
            for (int x = l; x < fr; ++x) canvas.plot(x, y, s.brush.color, s.rop2);
    }
    if (!null_pen && r - l >= 1 && b - t >= 1) {
        s.dash_phase = 0;
        stroke_points(canvas, s, {{l, t}, {r - 1, t}, {r - 1, b - 1}, {l, b - 1}}, true, false);
    }
}

void ellipse(DeviceContext& dc, int l, int t, int r, int b) {
    GdiState& s = state(dc);
    const Ellipse e = ellipse_in(l, t, r, b);
    Canvas canvas(dc, {std::min(l, r) - s.pen.width - 2, std::min(t, b) - s.pen.width - 2,
                       std::max(l, r) + s.pen.width + 2, std::max(t, b) + s.pen.width + 2});
    if (!canvas.ok()) return;
    if (!s.brush.hollow && e.rx > 0 && e.ry > 0) {
        const int y0 = static_cast<int>(std::floor(e.cy - e.ry)), y1 = static_cast<int>(std::ceil(e.cy + e.ry));
        const int x0 = static_cast<int>(std::floor(e.cx - e.rx)), x1 = static_cast<int>(std::ceil(e.cx + e.rx));
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                const double u = (x - e.cx) / e.rx, v = (y - e.cy) / e.ry;
                if (u * u + v * v < 1.0) canvas.plot(x, y, s.brush.color, s.rop2);
            }
    }
    s.dash_phase = 0;
    std::vector<GdiPoint> pts = ellipse_points(e, 0.0, 2 * M_PI);
    if (pts.size() > 1 && pts.back().x == pts.front().x && pts.back().y == pts.front().y) pts.pop_back();
    stroke_points(canvas, s, pts, true, false);
}

void arc(DeviceContext& dc, int l, int t, int r, int b, int xs, int ys, int xe, int ye) {
    GdiState& s = state(dc);
    const Ellipse e = ellipse_in(l, t, r, b);
    Canvas canvas(dc, {std::min(l, r) - s.pen.width - 2, std::min(t, b) - s.pen.width - 2,
                       std::max(l, r) + s.pen.width + 2, std::max(t, b) + s.pen.width + 2});
    if (!canvas.ok()) return;
    // Parameter angle of the point where the ray from the centre through (x, y) meets the ellipse; y grows
    // downward on the device, so counter-clockwise on screen is increasing angle with y negated.
    auto angle_of = [&](int x, int y) {
        return std::atan2(-(y - e.cy) / std::max(e.ry, 1e-9), (x - e.cx) / std::max(e.rx, 1e-9));
    };
    const double a0 = angle_of(xs, ys);
    double sweep = angle_of(xe, ye) - a0;
    if (sweep <= 1e-12) sweep += 2 * M_PI;
    s.dash_phase = 0;
    stroke_points(canvas, s, ellipse_points(e, a0, sweep), false, true);
}

void fill_rect(DeviceContext& dc, const GdiRect& rect, const Brush& brush) {
    if (brush.hollow) return;
    Canvas canvas(dc, rect);
    if (!canvas.ok()) return;
    const GdiRect area = Canvas::intersect(rect, canvas.bounds());
    const std::uint32_t v = 0xFF000000u | to_rgb(brush.color);
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) *canvas.pixel(x, y) = v;
}

void set_pixel(DeviceContext& dc, int x, int y, ColorRef color) {
    Canvas canvas(dc, {x, y, x + 1, y + 1});
    if (canvas.ok() && canvas.inside(x, y)) *canvas.pixel(x, y) = 0xFF000000u | to_rgb(color);
}

std::int64_t get_pixel(const DeviceContext& dc, int x, int y) {
    const SurfaceView v = dc.impl()->surface();
    if (!v || x < 0 || y < 0 || x >= v.width || y >= v.height) return -1;
    const std::uint8_t* p = v.row(y) + static_cast<std::ptrdiff_t>(x) * (v.bits_per_pixel / 8);
    return rgb(p[2], p[1], p[0]);
}

// ---- text ----

// A device bitmap keeps one painter between texts: beginning a painter makes a raster engine and resolves its font
// anew, which costs more than drawing a short text. Another surface gets a new painter.
struct TextPainter {
    explicit TextPainter(const SurfaceView& v) : image(v.bits, v.width, v.height, v.stride, QImage::Format_RGB32) {
        painter.begin(&image);
    }
    bool paints_on(const SurfaceView& v) const {
        return image.constBits() == v.bits && image.width() == v.width && image.height() == v.height &&
               image.bytesPerLine() == v.stride;
    }
    QImage image;
    QPainter painter;
    std::optional<LogFont> font;  // the one set last, escapement aside
};

namespace {
QPainter& surface_painter(DeviceContext& dc, const LogFont& font, const QFont& qfont) {
    auto& kept = dc.impl()->text_painter;
    const SurfaceView view = dc.impl()->surface();
    if (!kept || !kept->paints_on(view)) {
        kept.reset();
        kept = std::make_shared<TextPainter>(view);
    }
    LogFont key = font;
    key.escapement = key.orientation = 0;
    if (!kept->font || std::memcmp(&*kept->font, &key, sizeof key) != 0) {
        kept->painter.setFont(qfont);
        kept->font = key;
    }
    return kept->painter;
}
}  // namespace

void text_out(DeviceContext& dc, int x, int y, std::string_view sjis) {
    GdiState& s = state(dc);
    if (sjis.empty()) return;
    const QFont font = make_qfont(s.font);
    const QFontMetricsF m(font);
    const QString text = qstring_from_sjis(sjis);
    // Measuring shapes the text as drawing it does again: only an alignment, the current position or an opaque
    // background need the real width; otherwise a bound on it limits the rows drawn.
    const bool measure = (s.text_align & (kTaRight | kTaUpdateCp)) != 0 || s.bk_mode == kOpaque;
    const double width = measure ? m.horizontalAdvance(text) : text.size() * std::max(m.maxWidth(), 2 * m.height());
    const double cell = m.ascent() + m.descent();
    if (s.text_align & kTaUpdateCp) x = s.position.x, y = s.position.y;
    double dx = 0;
    if ((s.text_align & kTaCenter) == kTaCenter)
        dx = -width / 2;
    else if (s.text_align & kTaRight)
        dx = -width;
    double top = 0;  // cell top relative to the reference point
    if ((s.text_align & kTaBaseline) == kTaBaseline)
        top = -m.ascent();
    else if (s.text_align & kTaBottom)
        top = -cell;
    const double angle = s.font.escapement / 10.0;
    QTransform transform;
    transform.translate(x, y);
    transform.rotate(-angle);
    const QRectF cell_rect(dx, top, width, cell);
    const QRect box = transform.mapRect(cell_rect).toAlignedRect().adjusted(-2, -2, 2, 2);
    if (s.text_align & kTaUpdateCp) s.position.x += static_cast<int>(std::lround(width));
    Canvas canvas(dc, {box.left(), box.top(), box.right() + 1, box.bottom() + 1});
    if (!canvas.ok()) return;
    // A window's backing image may move with every resize: windows paint afresh.
    const bool keep = canvas.direct() && !dc.is_window();
    std::optional<QPainter> own;
    if (!keep) {
        own.emplace(&canvas.image());
        own->setFont(font);
    }
    QPainter& p = keep ? surface_painter(dc, s.font, font) : *own;
    const GdiRect& b = canvas.bounds();
    p.resetTransform();
    p.setClipRect(QRect(b.left - canvas.origin_x(), b.top - canvas.origin_y(), b.right - b.left, b.bottom - b.top));
    p.translate(-canvas.origin_x(), -canvas.origin_y());
    p.setTransform(transform, true);
    if (s.bk_mode == kOpaque) p.fillRect(cell_rect, QColor::fromRgb(to_rgb(s.bk_color)));
    p.setPen(QColor::fromRgb(to_rgb(s.text_color)));
    p.drawText(QPointF(dx, top + m.ascent()), text);
}

GdiSize text_extent(DeviceContext& dc, std::string_view sjis) {
    const QFontMetricsF m(make_qfont(state(dc).font));
    return {static_cast<int>(std::lround(m.horizontalAdvance(qstring_from_sjis(sjis)))),
            static_cast<int>(std::lround(m.ascent() + m.descent()))};
}

TextMetrics text_metrics(DeviceContext& dc) {
    const QFontMetricsF m(make_qfont(state(dc).font));
    TextMetrics t;
    t.ascent = static_cast<int>(std::lround(m.ascent()));
    t.descent = static_cast<int>(std::lround(m.descent()));
    t.height = t.ascent + t.descent;
    t.ave_char_width = static_cast<int>(std::lround(m.averageCharWidth()));
    t.max_char_width = static_cast<int>(std::lround(m.maxWidth()));
    return t;
}

// ---- transfers ----

namespace {
// Reads pixels of a packed DIB (24/32 bits, bottom-up, or top-down for a negative height) by top-down row.
struct DibReader {
    const std::uint8_t* bits = nullptr;
    int width = 0, height = 0, stride = 0, bpp = 0;
    bool bottom_up = true;
    bool init(const DibInfoHeader& h, const void* data) {
        if (!data || h.width <= 0 || h.height == 0 || (h.bit_count != 24 && h.bit_count != 32) || h.compression != 0)
            return false;
        bits = static_cast<const std::uint8_t*>(data);
        width = h.width;
        height = std::abs(h.height);
        bottom_up = h.height > 0;
        bpp = h.bit_count / 8;
        stride = dib_stride(width, h.bit_count);
        return true;
    }
    std::uint32_t at(int x, int y) const {
        const std::uint8_t* p = bits + static_cast<std::ptrdiff_t>(bottom_up ? height - 1 - y : y) * stride + x * bpp;
        return 0xFF000000u | (p[2] << 16) | (p[1] << 8) | p[0];
    }
};

int transfer(DeviceContext& dc, int x, int y, int w, int h, int sx, int sy, int sw, int sh, const DibReader& src) {
    if (w == 0 || h == 0 || sw == 0 || sh == 0) return 0;
    const bool mirror_x = (w < 0) != (sw < 0), mirror_y = (h < 0) != (sh < 0);
    const int aw = std::abs(w), ah = std::abs(h), asw = std::abs(sw), ash = std::abs(sh);
    if (w < 0) x -= aw - 1;  // a negative extent runs left/up from the given corner
    if (h < 0) y -= ah - 1;
    if (sw < 0) sx -= asw - 1;
    if (sh < 0) sy -= ash - 1;
    Canvas canvas(dc, {x, y, x + aw, y + ah});
    if (!canvas.ok()) return 0;
    for (int j = 0; j < ah; ++j) {
        const int dy = y + j;
        if (dy < canvas.bounds().top || dy >= canvas.bounds().bottom) continue;
        int v = static_cast<int>((static_cast<long long>(j) * 2 + 1) * ash / (2LL * ah));
        if (mirror_y) v = ash - 1 - v;
        const int syy = sy + v;
        if (syy < 0 || syy >= src.height) continue;
        for (int i = 0; i < aw; ++i) {
            const int dx = x + i;
            if (!canvas.inside(dx, dy)) continue;
            int u = static_cast<int>((static_cast<long long>(i) * 2 + 1) * asw / (2LL * aw));
            if (mirror_x) u = asw - 1 - u;
            const int sxx = sx + u;
            if (sxx < 0 || sxx >= src.width) continue;
            *canvas.pixel(dx, dy) = src.at(sxx, syy);
        }
    }
    return ah;
}
}  // namespace

int set_dib_bits_to_device(DeviceContext& dc, int x, int y, int width, int height, int sx, int sy,
                           const DibInfoHeader& header, const void* bits) {
    DibReader src;
    if (!src.init(header, bits) || width <= 0 || height <= 0) return 0;
    return transfer(dc, x, y, width, height, sx, sy, width, height, src);
}

int stretch_dib_bits(DeviceContext& dc, int x, int y, int width, int height, int sx, int sy, int swidth, int sheight,
                     const DibInfoHeader& header, const void* bits) {
    DibReader src;
    if (!src.init(header, bits)) return 0;
    return transfer(dc, x, y, width, height, sx, sy, swidth, sheight, src);
}

bool bit_blt(DeviceContext& dst, int x, int y, int width, int height, const DeviceContext& src, int sx, int sy) {
    const SurfaceView from = src.impl()->surface();
    if (!from || width <= 0 || height <= 0) return false;
    // Through a top-down copy of the source rows, so a DC can be copied onto itself.
    std::vector<std::uint32_t> rows(static_cast<std::size_t>(width) * height, 0);
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i) {
            const int px = sx + i, py = sy + j;
            if (px < 0 || py < 0 || px >= from.width || py >= from.height) continue;
            const std::uint8_t* p = from.row(py) + static_cast<std::ptrdiff_t>(px) * (from.bits_per_pixel / 8);
            rows[static_cast<std::size_t>(j) * width + i] = 0xFF000000u | (p[2] << 16) | (p[1] << 8) | p[0];
        }
    Canvas canvas(dst, {x, y, x + width, y + height});
    if (!canvas.ok()) return true;
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i)
            if (canvas.inside(x + i, y + j))
                *canvas.pixel(x + i, y + j) = rows[static_cast<std::size_t>(j) * width + i];
    return true;
}

int get_dib_bits(const Bitmap& bitmap, int first, int lines, void* bits, int bits_per_pixel) {
    if (!bits || (bits_per_pixel != 24 && bits_per_pixel != 32) || first < 0 || lines <= 0) return 0;
    const SurfaceView v = bitmap.impl()->view();
    const int last = std::min(first + lines, v.height);
    const int stride = dib_stride(v.width, bits_per_pixel);
    const int out_bpp = bits_per_pixel / 8, in_bpp = v.bits_per_pixel / 8;
    auto* out = static_cast<std::uint8_t*>(bits);
    for (int k = first; k < last; ++k) {  // k counts rows from the bottom
        const std::uint8_t* in = v.row(v.height - 1 - k);
        std::uint8_t* o = out + static_cast<std::ptrdiff_t>(k - first) * stride;
        std::memset(o, 0, static_cast<std::size_t>(stride));
        for (int x = 0; x < v.width; ++x) {
            std::memcpy(o + x * out_bpp, in + x * in_bpp, 3);
            if (out_bpp == 4) o[x * 4 + 3] = in_bpp == 4 ? in[x * 4 + 3] : 0;
        }
    }
    return std::max(0, last - first);
}

// ---- GDI+ subset ----

struct Graphics::Impl {
    Bitmap& bitmap;
    QImage image;
    bool direct = false;
    QTransform transform;
    explicit Impl(Bitmap& b) : bitmap(b) {}
};

Graphics::Graphics(Bitmap& bitmap) : impl_(std::make_unique<Impl>(bitmap)) {
    ensure_gui_application();
    const SurfaceView v = bitmap.impl()->view();
    if (v.bits_per_pixel == 32 && !v.bottom_up) {
        impl_->image = QImage(v.bits, v.width, v.height, v.stride, QImage::Format_ARGB32);
        impl_->direct = true;
    } else {
        impl_->image = QImage(v.width, v.height, QImage::Format_ARGB32);
        for (int y = 0; y < v.height; ++y) {
            auto* out = reinterpret_cast<std::uint32_t*>(impl_->image.scanLine(y));
            const std::uint8_t* in = v.row(y);
            for (int x = 0; x < v.width; ++x) {
                const std::uint8_t* p = in + x * (v.bits_per_pixel / 8);
                const std::uint32_t a = v.bits_per_pixel == 32 ? p[3] : 0xFF;
                out[x] = (a << 24) | (p[2] << 16) | (p[1] << 8) | p[0];
            }
        }
    }
}

Graphics::~Graphics() {
    if (impl_->direct) return;
    const SurfaceView v = impl_->bitmap.impl()->view();
    for (int y = 0; y < v.height; ++y) {
        const auto* in = reinterpret_cast<const std::uint32_t*>(impl_->image.constScanLine(y));
        std::uint8_t* out = v.row(y);
        for (int x = 0; x < v.width; ++x) {
            std::uint8_t* p = out + x * (v.bits_per_pixel / 8);
            p[0] = in[x] & 0xFF;
            p[1] = (in[x] >> 8) & 0xFF;
            p[2] = (in[x] >> 16) & 0xFF;
            if (v.bits_per_pixel == 32) p[3] = in[x] >> 24;
        }
    }
}

void Graphics::set_transform(double m11, double m12, double m21, double m22, double dx, double dy) {
    impl_->transform = QTransform(m11, m12, m21, m22, dx, dy);
}
void Graphics::reset_transform() { impl_->transform.reset(); }
void Graphics::rotate_about(double degrees, double x, double y) {
    QTransform r;
    r.translate(x, y);
    r.rotate(degrees);
    r.translate(-x, -y);
    impl_->transform = r * impl_->transform;
}

void Graphics::clear(std::uint32_t argb) { impl_->image.fill(argb); }

void Graphics::fill_polygon(const GdiPoint* points, int count, std::uint32_t argb) {
    if (!points || count < 3) return;
    QPainter p(&impl_->image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setTransform(impl_->transform);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromRgba(argb));
    QPolygonF poly;
    for (int i = 0; i < count; ++i) poly << QPointF(points[i].x, points[i].y);
    p.drawPolygon(poly);
}

void Graphics::draw_string(std::u16string_view text, const LogFont& font, double x, double y, std::uint32_t argb,
                           bool vertical) {
    if (text.empty()) return;
    const QFont qfont = make_qfont(font);
    const QFontMetricsF m(qfont);
    QPainter p(&impl_->image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setTransform(impl_->transform);
    p.setFont(qfont);
    p.setPen(QColor::fromRgba(argb));
    const QString s = QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
    if (!vertical) {
        p.drawText(QPointF(x, y + m.ascent()), s);
        return;
    }
    const double pitch = m.ascent() + m.descent();
    int row = 0;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const qsizetype n = s.at(i).isHighSurrogate() && i + 1 < s.size() ? 2 : 1;
        p.drawText(QPointF(x, y + m.ascent() + pitch * row++), s.mid(i, n));
        i += n - 1;
    }
}

}  // namespace kz::platform
