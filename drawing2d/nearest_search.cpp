// Picking: the points of records nearest to a point, the records within a distance, and the crossing of the two
// records nearest to a point. Each walk sees only the records that pass the search filter and resets it after.
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "drawing2d/plane_geometry.h"
#include "drawing2d/record_display.h"
#include "drawing2d/record_walk.h"
#include "drawing2d/row_store.h"
#include "drawing2d/search.h"
#include "drawing2d/search_filter.h"
#include "drawing2d/text_corners.h"

namespace kz::drawing2d {
namespace {
constexpr unsigned kWorkFlags = kz::crt::kGlobalMoveable | kz::crt::kGlobalZeroInit | kz::crt::kGlobalShare;
// Snap points along one arc are kept to a sane number whatever step is asked for.
constexpr double kMinSnapStep = 360.0 / 100000.0;

// A candidate list in a movable memory block for the duration of one search.
class CandidateBlock {
public:
    explicit CandidateBlock(int capacity)
        : handle_(kz::crt::global_alloc(kWorkFlags, static_cast<std::size_t>(capacity) * sizeof(search_candidate))),
          list_(handle_ ? static_cast<search_candidate*>(kz::crt::global_lock(handle_)) : nullptr) {}
    ~CandidateBlock() {
        if (handle_) {
            kz::crt::global_unlock(handle_);
            kz::crt::global_free(handle_);
        }
    }
    CandidateBlock(const CandidateBlock&) = delete;
    CandidateBlock& operator=(const CandidateBlock&) = delete;
    search_candidate* get() const { return list_; }

private:
    kz::crt::GlobalHandle handle_;
    search_candidate* list_;
};

struct Picker {
    search_candidate* list;
    int capacity;
    int count = 0;
    double x, y, r;

    void point(int32_t kind, int32_t row, double px, double py) {
        count = insert_candidate(list, capacity, count, kind, row, point_point_distance(px, py, x, y, r), px, py);
    }
    void distance(int32_t kind, int32_t row, double d) {
        count = insert_candidate(list, capacity, count, kind, row, d, 0, 0);
    }
};

void nearest_points_of(drawing_context* ctx, int32_t row, Picker& p) {
    int32_t type = row_type(ctx, row);
    if (type == kTypeLine) {
        p.point(type, row, ctx->c4[row], ctx->c5[row]);
        p.point(type, row, ctx->c6[row], ctx->c7[row]);
    } else if (type == kTypeArc) {
        ArcRecord a;
        if (!read_arc(ctx, row, &a)) return;
        p.point(type, row, a.cx, a.cy);
        double off_circle = std::fabs(std::hypot(p.x - a.cx, p.y - a.cy) - a.r);
        if (p.count > 0 && !(off_circle < p.list[p.count - 1].distance)) return;
        double step = ctx->arc_snap_angle_deg;
        auto at = [&](double deg) {
            double t = deg * M_PI / 180.0;
            p.point(type, row, a.cx + a.r * std::cos(t), a.cy - a.r * std::sin(t));
        };
        bool full = (a.start == 0 && a.end == 360) || a.start == a.end;
        if (step > 0 && step < kMinSnapStep) step = kMinSnapStep;
        if (full) {
            if (step > 0)
                for (int k = 0; k * step <= 360; ++k) at(k * step);
            return;
        }
        at(a.start);
        at(a.end);
        if (step > 0) {
            double sweep = a.end - a.start;
            if (sweep < 0) sweep += 360;
            for (int k = 0; k * step <= 360; ++k) {
                double rel = k * step - a.start;
                if (rel < 0) rel += 360;
                if (rel <= sweep) at(k * step);
            }
        }
    } else if (type == kTypeText || type == kTypeKanjiText) {
        p.point(type, row, ctx->c4[row], ctx->c5[row]);
    } else if (type == kTypeMultiRow) {
        double xs[6], ys[6];
        if (!type15_corners(ctx, row, xs, ys)) return;
        for (int i : {0, 1, 2, 3, 5}) p.point(type, row, xs[i], ys[i]);
    }
}

// Whether (x, y) lies inside or on the quadrilateral of text corners.
bool inside_corners(double x, double y, const double c[8]) {
    for (int i = 0; i < 4; ++i) {
        int j = (i + 1) % 4;
        if (right_left(x, y, c[2 * i], c[2 * i + 1], c[2 * j], c[2 * j + 1], 0) == -1) return false;
    }
    return true;
}

void pick_near_point(drawing_context* ctx, int32_t row, Picker& p) {
    int32_t type = row_type(ctx, row);
    if (type == kTypeLine) {
        p.distance(type, row,
                   point_segment_distance(p.x, p.y, ctx->c4[row], ctx->c5[row], ctx->c6[row], ctx->c7[row], p.r));
    } else if (type == kTypeArc) {
        ArcRecord a;
        if (read_arc(ctx, row, &a))
            p.distance(type, row, point_arc_distance(p.x, p.y, a.cx, a.cy, a.r, a.start, a.end, p.r));
    } else if (type == kTypeMultiRow) {
        double xs[6], ys[6];
        if (!type15_corners(ctx, row, xs, ys)) return;
        for (int i = 0; i < 4; ++i)
            p.distance(type, row, point_segment_distance(p.x, p.y, xs[i], ys[i], xs[i + 1], ys[i + 1], p.r));
    } else if (type == kTypeText || type == kTypeKanjiText) {
        double c[8];
        int exact = calc_text_corners_rough(ctx, row, c, 0);
        if (exact < 0 || !inside_corners(p.x, p.y, c)) return;
        if (exact == 0 && (!calc_text_corners(ctx, row, c, nullptr) || !inside_corners(p.x, p.y, c))) return;
        p.distance(type, row, 0.0);
    }
}

template <class Walk>
int run_pick(drawing_context* ctx, int32_t first, double x, double y, double r, int n, Walk walk_record,
             search_candidate** out, CandidateBlock& block) {
    *out = block.get();
    if (!*out) return -2;
    Picker p{*out, n, 0, x, y, search_radius(ctx, r)};
    ctx->search_start_row = first;
    walk_head_rows(ctx, first, [&](int32_t row) {
        if (search_filter_accepts(ctx, row)) walk_record(ctx, row, p);
        return true;
    });
    reset_search_filter(ctx);
    return p.count;
}
}  // namespace

double search_radius(const drawing_context* ctx, double r) {
    if (r < 0) return ctx->disp_bscale > 0 ? -r / ctx->disp_bscale : 1e10;
    if (r == 0 || std::isnan(r)) return 1e10;
    return r;
}

namespace {
// Presets the outputs, runs one pick walk and copies the candidates out (xs and ys may be null).
template <class Walk>
int pick_to_outputs(drawing_context* ctx, int32_t first, double x, double y, double r, int n, Walk walk, int32_t* kinds,
                    int32_t* rows, double* distances, double* xs, double* ys) {
    if (n < 0) n = 0;
    for (int i = 0; i < n; ++i) {
        if (kinds) kinds[i] = 0;
        if (rows) rows[i] = -1;
        if (distances) distances[i] = -1.0;
        if (xs) xs[i] = 0;
        if (ys) ys[i] = 0;
    }
    CandidateBlock block(n);
    search_candidate* list = nullptr;
    int count = run_pick(ctx, first, x, y, r, n, walk, &list, block);
    for (int i = 0; i < count; ++i) {
        if (kinds) kinds[i] = list[i].kind;
        if (rows) rows[i] = list[i].row;
        if (distances) distances[i] = list[i].distance;
        if (xs) xs[i] = list[i].x;
        if (ys) ys[i] = list[i].y;
    }
    return count;
}
}  // namespace

int xlum_search_point(drawing_context* ctx, int32_t first, double x, double y, double r, int n, int32_t* kinds,
                      int32_t* rows, double* distances, double* xs, double* ys) {
    return pick_to_outputs(ctx, first, x, y, r, n, nearest_points_of, kinds, rows, distances, xs, ys);
}

int xlum_gsearch(drawing_context* ctx, int32_t first, double x, double y, double r, int n, int32_t* kinds,
                 int32_t* rows, double* distances) {
    return pick_to_outputs(ctx, first, x, y, r, n, pick_near_point, kinds, rows, distances, nullptr, nullptr);
}

int xlum_cross_point_by_primitive(const drawing_context* ctx, int32_t row_a, int32_t row_b, double* x, double* y,
                                  double* other_x, double* other_y) {
    if (!row_in_columns(ctx, row_a) || !row_in_columns(ctx, row_b)) return 0;
    int32_t ta = row_type(ctx, row_a), tb = row_type(ctx, row_b);
    if (row_code(ctx, row_a) < 1 || row_code(ctx, row_b) < 1) return 0;
    if (ta == kTypeLine && tb == kTypeLine)
        return cross_line_line(ctx->c4[row_a], ctx->c5[row_a], ctx->c6[row_a], ctx->c7[row_a], ctx->c4[row_b],
                               ctx->c5[row_b], ctx->c6[row_b], ctx->c7[row_b], x, y);
    if ((ta == kTypeLine && tb == kTypeArc) || (ta == kTypeArc && tb == kTypeLine)) {
        int32_t line = ta == kTypeLine ? row_a : row_b, arc = ta == kTypeArc ? row_a : row_b;
        ArcRecord a;
        if (!read_arc(ctx, arc, &a)) return 0;
        return nearest_line_circle_crossing(ctx->c4[line], ctx->c5[line], ctx->c6[line], ctx->c7[line], a.cx, a.cy, a.r,
                                            x, y, other_x, other_y);
    }
    if (ta == kTypeArc && tb == kTypeArc) {
        ArcRecord a, b;
        if (!read_arc(ctx, row_a, &a) || !read_arc(ctx, row_b, &b)) return 0;
        return nearest_circle_crossing(a.cx, a.cy, a.r, b.cx, b.cy, b.r, x, y, other_x, other_y);
    }
    return 0;
}

int xlum_search_cross(drawing_context* ctx, int32_t first, double x, double y, double r, double* out_x, double* out_y,
                      double* distance, int32_t* row_a, int32_t* row_b) {
    if (out_x) *out_x = 0;
    if (out_y) *out_y = 0;
    if (distance) *distance = -1.0;
    if (row_a) *row_a = -1;
    if (row_b) *row_b = -1;
    r = search_radius(ctx, r);
    ctx->search_start_row = first;
    search_candidate list[16];
    int count = 0;
    walk_head_rows(ctx, first, [&](int32_t row) {
        if (!search_filter_accepts(ctx, row)) return true;
        int32_t type = row_type(ctx, row);
        ArcRecord a;
        if (type == kTypeLine)
            count = insert_candidate(
                list, 16, count, type, row,
                point_segment_distance(x, y, ctx->c4[row], ctx->c5[row], ctx->c6[row], ctx->c7[row], r), 0, 0);
        else if (type == kTypeArc && read_arc(ctx, row, &a))
            count = insert_candidate(list, 16, count, type, row,
                                     point_arc_distance(x, y, a.cx, a.cy, a.r, a.start, a.end, r), 0, 0);
        return true;
    });
    reset_search_filter(ctx);
    if (out_x) *out_x = x;
    if (out_y) *out_y = y;
    if (count < 2) return 0;
    if (row_a) *row_a = list[0].row;
    for (int i = 1; i < count; ++i) {
        double cx = x, cy = y;
        if (!xlum_cross_point_by_primitive(ctx, list[0].row, list[i].row, &cx, &cy, nullptr, nullptr)) continue;
        double d = std::hypot(cx - x, cy - y);
        if (!(d <= r)) continue;
        if (out_x) *out_x = cx;
        if (out_y) *out_y = cy;
        if (distance) *distance = d;
        if (row_b) *row_b = list[i].row;
        return 1;
    }
    return 0;
}

}  // namespace kz::drawing2d
