// Cuts by a circle or a rectangle. The pieces are collected in three working drawings that live for one call
// (inside pieces, outside pieces, the records as they stood), then appended behind the data as blocks, each after
// a 0xFFFF separator, in the order the mode digits ask. The cut leaves the search filter as the caller set it.
#include "drawing2d/cuts.h"

#include <cmath>
#include <initializer_list>
#include <vector>

#include "drawing2d/active_attributes.h"
#include "drawing2d/clipping.h"
#include "drawing2d/plane_geometry.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/record_display.h"
#include "drawing2d/record_walk.h"
#include "drawing2d/row_store.h"
#include "drawing2d/search_filter.h"
#include "drawing2d/text_corners.h"
#include "drawing2d/transforms.h"

namespace kz::drawing2d {
namespace {
struct Attributes {
    int32_t layer, group, colour, style;
};

struct LinePiece {
    double x1, y1, x2, y2;
    bool inside;
};

// What the cut made of a record.
enum class Fate { left_alone, outside, taken };

// A drawing of one call's pieces, filled from row 0, with an end row after every record written.
class WorkDrawing {
public:
    WorkDrawing() : owner_{zolt_open()}, lock_(owner_.handle) {}
    explicit operator bool() const { return static_cast<bool>(lock_); }
    drawing_context* ctx() const { return lock_.get(); }
    int32_t end_row() const { return next_; }

    bool line(const Attributes& a, const LinePiece& p, uint32_t link) {
        if (!extend_max(ctx(), next_)) return false;
        drawing_context* c = ctx();
        int32_t row =
            xlum_line_set_d(c, nullptr, next_, a.layer, a.group, a.colour, a.style, p.x1, p.y1, p.x2, p.y2, 1);
        if (row != next_) return false;
        if (row_code(c, row) > 0) {
            c->c3[row] = static_cast<int32_t>((static_cast<uint32_t>(c->c3[row]) & 0xFFFFu) | (link << 16));
            ++next_;
        }
        return close_rows();
    }
    bool arc(const Attributes& a, const ArcRecord& r, double from, double to) {
        if (!extend_max(ctx(), next_)) return false;
        if (set_arc_rows(ctx(), next_, a.layer, a.group, a.colour, a.style, r.cx, r.cy, r.r, wrap_angle(from, 0, 360),
                         wrap_angle(to, 0, 360)))
            next_ += 2;
        return close_rows();
    }
    bool copy(drawing_context* src, int32_t row) {
        int32_t n = primitive_row_count(src, row);
        if (n < 1 || !extend_max(ctx(), next_ + n)) return false;
        if (xlum_bridge(src, row, row + n - 1, ctx(), next_) < 0) return false;
        next_ += n;
        return close_rows();
    }

private:
    bool close_rows() {
        ctx()->c1[next_] = kEndCode;
        return true;
    }
    struct Owner {
        drawing_handle handle;
        ~Owner() {
            if (handle) zolt_close(handle);
        }
    } owner_;
    LockedDrawing lock_;
    int32_t next_ = 0;
};

// Whether a text lies wholly inside the figure: judged only when its origin or a rough corner lies inside, then
// by its four corners (measured, where the rough outline is an estimate). Anything else counts as outside.
template <class Figure>
bool text_inside(const Figure& f, drawing_context* ctx, int32_t row) {
    double c[8];
    int exact = calc_text_corners_rough(ctx, row, c, 0);
    if (exact < 0) return false;
    bool touches = f.holds(ctx->c4[row], ctx->c5[row]);
    for (int i = 0; i < 4; ++i) touches = touches || f.holds(c[2 * i], c[2 * i + 1]);
    if (!touches || (exact == 0 && !calc_text_corners(ctx, row, c, nullptr))) return false;
    for (int i = 0; i < 4; ++i)
        if (!f.holds(c[2 * i], c[2 * i + 1])) return false;
    return true;
}

template <class Figure>
bool type15_inside(const Figure& f, const drawing_context* ctx, int32_t row) {
    double xs[6], ys[6];
    if (!type15_corners(ctx, row, xs, ys)) return false;
    for (int i = 0; i < 4; ++i)
        if (!f.holds(xs[i], ys[i])) return false;
    return true;
}

// The figure's division of lines and arcs, and which points it holds (bounds included).
struct Circle {
    double cx, cy, r;
    bool holds(double x, double y) const { return std::hypot(x - cx, y - cy) <= r; }

    // 0 wholly outside; otherwise the pieces, and 1 when the line lies wholly inside.
    int line(double x1, double y1, double x2, double y2, std::vector<LinePiece>& out) const {
        int count = 0, inside[3];
        double xs[4], ys[4];
        int result = clip_segment_by_circle_for_cut(cx, cy, r, x1, y1, x2, y2, &count, inside, xs, ys, 0);
        for (int i = 0; result && i + 1 < count; ++i)
            out.push_back({xs[i], ys[i], xs[i + 1], ys[i + 1], inside[i] == 1});
        return result;
    }
    int arc(const ArcRecord& a, int* count, int inside[9], double angles[10]) const {
        if (a.cx == cx && a.cy == cy && a.r == r) return 0;
        return xfc_arc_clip_by_arc(cx, cy, r, 0, 360, a.cx, a.cy, a.r, a.start, a.end, count, inside, angles);
    }
};

struct Rect {
    double xmin, ymin, xmax, ymax;
    bool holds(double x, double y) const { return rect_outcode(x, y, xmin, ymin, xmax, ymax) == 0; }

    int line(double x1, double y1, double x2, double y2, std::vector<LinePiece>& out) const {
        // A line lying on an edge is not cut.
        if (x1 == x2 ? (x1 == xmin || x1 == xmax) : (y1 == y2 && (y1 == ymin || y1 == ymax))) return 0;
        double ox1 = 0, oy1 = 0, ox2 = 0, oy2 = 0;
        int result = clip_segment_by_rect_coded(xmin, ymin, xmax, ymax, x1, y1, x2, y2, &ox1, &oy1, &ox2, &oy2);
        if (result == 0) return 0;
        if (result == 1) {
            out.push_back({x1, y1, x2, y2, true});
            return 1;
        }
        if (x1 != ox1 || y1 != oy1) out.push_back({x1, y1, ox1, oy1, false});
        out.push_back({ox1, oy1, ox2, oy2, true});
        if (ox2 != x2 || oy2 != y2) out.push_back({ox2, oy2, x2, y2, false});
        return 2;
    }
    int arc(const ArcRecord& a, int* count, int inside[9], double angles[10]) const {
        return xfc_arc_clip_by_rect(xmin, ymin, xmax, ymax, a.cx, a.cy, a.r, a.start, a.end, count, inside, angles);
    }
};

int digit(int32_t value, int place) { return static_cast<int>(std::abs(static_cast<int64_t>(value)) / place % 10); }

class Cut {
public:
    Cut(drawing_context* ctx, int32_t mode) : ctx_(ctx) {
        for (int place : {100, 10, 1}) {
            int d = digit(mode, place);
            want_uncut_ = want_uncut_ || d == 1;
            want_inside_ = want_inside_ || d == 2;
            want_outside_ = want_outside_ || d == 3 || d == 5;
            copy_outside_ = copy_outside_ || d == 5;
        }
    }
    bool ready() const { return inside_ && outside_ && uncut_; }

    // Cuts the records from `first` up to `end`; false when a working drawing could not take more.
    template <class Figure>
    void walk(int32_t first, int32_t end, const Figure& figure) {
        for (int32_t row = first; row <= end; ++row) {
            int kind = row_kind(ctx_, row);
            if (kind == -1) return;
            if (kind == 1 || !search_filter_accepts(ctx_, row)) continue;
            int32_t rows = primitive_row_count(ctx_, row);
            bool ok = true;
            Fate fate = cut_record(row, figure, &ok);
            if (ok && fate == Fate::outside && copy_outside_) ok = outside_.copy(ctx_, row);
            if (ok && fate == Fate::taken && want_uncut_) {
                ok = uncut_.copy(ctx_, row);
                if (ok) xlum_delete_primitive(ctx_, row);
            }
            if (!ok) return;
            if (rows > 1) row += rows - 1;
        }
    }

    WorkDrawing* block(int d) {
        switch (d) {
        case 1: return &uncut_;
        case 2: return &inside_;
        case 3:
        case 5: return &outside_;
        default: return nullptr;
        }
    }

private:
    template <class Figure>
    Fate cut_record(int32_t row, const Figure& figure, bool* ok) {
        const Attributes a{row_layer(ctx_, row), row_group(ctx_, row), row_color(ctx_, row), row_style(ctx_, row)};
        switch (row_type(ctx_, row)) {
        case kTypeLine: {
            std::vector<LinePiece> pieces;
            int result = figure.line(ctx_->c4[row], ctx_->c5[row], ctx_->c6[row], ctx_->c7[row], pieces);
            if (result == 0) return Fate::outside;
            uint32_t link = result == 1 ? static_cast<uint32_t>(ctx_->c3[row]) >> 16 : 0;
            for (const LinePiece& p : pieces)
                if (p.inside ? want_inside_ : want_outside_)
                    *ok = *ok && (p.inside ? inside_ : outside_).line(a, p, link);
            return Fate::taken;
        }
        case kTypeArc: {
            ArcRecord arc;
            if (!read_arc(ctx_, row, &arc)) return Fate::left_alone;
            if (arc.start == arc.end) arc.start = 0, arc.end = 360;
            if (arc.end < arc.start) arc.end += 360;
            int count = 0, inside[9] = {};
            double angles[10];
            if (!figure.arc(arc, &count, inside, angles)) return Fate::outside;
            for (int k = 0; k + 1 < count; ++k)
                if (inside[k] ? want_inside_ : want_outside_)
                    *ok = *ok && (inside[k] ? inside_ : outside_).arc(a, arc, angles[k], angles[k + 1]);
            return Fate::taken;
        }
        case kTypeText:
        case kTypeKanjiText:
        case kTypeMultiRow: {
            bool in = row_type(ctx_, row) == kTypeMultiRow ? type15_inside(figure, ctx_, row)
                                                           : text_inside(figure, ctx_, row);
            if (!in) return Fate::outside;
            if (want_inside_) *ok = inside_.copy(ctx_, row);
            return Fate::taken;
        }
        default: return Fate::left_alone;
        }
    }

    drawing_context* ctx_;
    bool want_uncut_ = false, want_inside_ = false, want_outside_ = false, copy_outside_ = false;
    WorkDrawing inside_, outside_, uncut_;
};

// The first rows of the three blocks and the end row of the last.
struct Blocks {
    int32_t first[3];
    int32_t end;
};
Blocks find_blocks(drawing_context* ctx, int32_t from) {
    Blocks b{};
    int32_t at = from;
    for (int32_t& f : b.first) at = f = find_data_end(ctx, at) + 1;
    b.end = find_data_end(ctx, at);
    return b;
}

template <class Figure, class WriteOutline>
int32_t cut(drawing_context* ctx, int32_t first, int32_t mode, const Figure& figure, int32_t outline_mode,
            int32_t outline_rows, WriteOutline write_outline) {
    if (first < 0) first = 0;
    mark_row_limits(ctx);
    int32_t end = find_data_end(ctx, first);
    if (end < 0) {
        for (int32_t row = first; row <= first + 2 && row <= ctx->mat; ++row) ctx->c1[row] = kEndCode;
        return first;
    }
    for (int32_t row = end + 1; row <= end + 2 && row <= ctx->mat; ++row) ctx->c1[row] = kEndCode;
    {
        Cut work(ctx, mode);
        if (!work.ready()) return 0;
        work.walk(first, end, figure);
        xlum_gpack(ctx, first, -1, -1);
        int32_t separators[3];
        for (int i = 0; i < 3; ++i) {
            int32_t at = separators[i] = find_data_end(ctx, first);
            ctx->c1[at] = 0;
            WorkDrawing* from = work.block(digit(mode, i == 0 ? 100 : i == 1 ? 10 : 1));
            if (!from || xlum_bridge(from->ctx(), 0, from->end_row(), ctx, at + 1) < 0) ctx->c1[at + 1] = kEndCode;
        }
        for (int32_t at : separators) ctx->c1[at] = kEndCode;
    }
    int32_t group = xlum_get_aki(ctx, "SEGMENT", 0);
    int keep_out_of_empty = digit(outline_mode, 100);
    for (int place : {10, 1}) {
        int d = digit(outline_mode, place);
        if (d < 1 || d > 3) continue;
        Blocks blocks = find_blocks(ctx, first);
        int32_t at = blocks.first[d - 1];
        // An empty block is one whose first row is already its end row.
        if (d == keep_out_of_empty && row_code_u(ctx, at) == kEndCode) continue;
        if (!insert_rows(ctx, at, blocks.end, outline_rows)) continue;
        write_outline(at, group);
    }
    find_data_end(ctx, first);
    return 1;
}
}  // namespace

int row_kind(const drawing_context* ctx, int32_t row) {
    int32_t code = row_code(ctx, row);
    return code > 0 ? 0 : code == -1 ? -1 : 1;
}

int32_t xlum_kiritori_by_circle(drawing_context* ctx, int32_t first, int32_t mode, double cx, double cy, double r,
                                int32_t outline_mode) {
    return cut(ctx, first, mode, Circle{cx, cy, r}, outline_mode, 2, [&](int32_t at, int32_t group) {
        xlum_set_arc(ctx, nullptr, 0, at, cx, cy, r, 0, 360, ctx->active_layer, group, ctx->active_color,
                     ctx->active_style);
    });
}

int32_t xlum_kiritori_by_rect(drawing_context* ctx, int32_t first, int32_t mode, double xmin, double ymin, double xmax,
                              double ymax, int32_t outline_mode) {
    return cut(ctx, first, mode, Rect{xmin, ymin, xmax, ymax}, outline_mode, 4, [&](int32_t at, int32_t group) {
        const double xs[5] = {xmin, xmax, xmax, xmin, xmin}, ys[5] = {ymin, ymin, ymax, ymax, ymin};
        for (int i = 0; i < 4; ++i)
            xlum_set_line(ctx, nullptr, 0, at + i, xs[i], ys[i], xs[i + 1], ys[i + 1], ctx->active_layer, group,
                          ctx->active_color, ctx->active_style);
    });
}

}  // namespace kz::drawing2d
