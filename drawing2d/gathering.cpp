// Gathering records into a selection block behind the data end, and the searches for lines crossing a segment.
// Every one of them resets the search filter before it returns, so a filter the caller sets holds for one call.
#include <algorithm>
#include <cmath>

#include "drawing2d/plane_geometry.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/search_filter.h"
#include "drawing2d/selection.h"
#include "drawing2d/transforms.h"

namespace kz::drawing2d {
namespace {
template <class Test>
int32_t gather(drawing_context* ctx, int32_t first, Test test) {
    if (first < 0) first = 0;
    int32_t end = find_data_end(ctx, first);
    if (end < 0) {
        reset_search_filter(ctx);
        return -1;
    }
    ctx->c1[end] = kEndCode;
    ctx->c1[end + 1] = kEndCode;
    int32_t dest = end + 1;
    for (int32_t row = first; row < ctx->mat; ++row) {
        int32_t code = row_code(ctx, row);
        if (code == -1) break;  // the separator: gathered records are never walked again
        if (code < 1 || !search_filter_accepts(ctx, row) || !test(row)) continue;
        int32_t n = primitive_row_count(ctx, row);
        if (n < 1) continue;
        if (first < ctx->max && dest + n >= ctx->max - 100) {
            row = xlum_gpack(ctx, first, dest, row);
            dest = find_code_row(ctx, find_code_row(ctx, first, -1) + 1, -1);
            // Packing alone may not free enough: the block must never run into the guard row and the spare block.
            if (dest + n >= ctx->max - 100 && !grow_rows(ctx, ctx->max + n + 5000)) break;
        }
        if (dest + n >= ctx->mat) break;
        move_rows(ctx, row, dest, n);
        for (int32_t i = 0; i < n; ++i) ctx->c1[row + i] = 0;
        dest += n;
        ctx->c1[dest] = kEndCode;
        row += n - 1;
    }
    xlum_gpack(ctx, first, dest, -1);
    mark_row_limits(ctx);
    note_rows_changed(ctx, first);
    int32_t separator = find_data_end(ctx, first);
    reset_search_filter(ctx);
    return separator;
}

struct Box {
    double xmin, ymin, xmax, ymax;
    Box(double x1, double y1, double x2, double y2)
        : xmin(std::min(x1, x2)), ymin(std::min(y1, y2)), xmax(std::max(x1, x2)), ymax(std::max(y1, y2)) {}
};

// Each line record from `first` that passes the filter and crosses the segment, until the visitor says stop;
// the row where the walk ended (-1 at the end row).
template <class Visit>
int32_t walk_crossing_lines(drawing_context* ctx, int32_t first, double x1, double y1, double x2, double y2,
                            double tol1, double tol2, Visit visit) {
    mark_row_limits(ctx);
    for (int32_t row = first < 0 ? 0 : first; row < ctx->mat; ++row) {
        int32_t code = row_code(ctx, row);
        if (code == -1) return -1;
        if (code < 1 || row_type(ctx, row) != kTypeLine || !search_filter_accepts(ctx, row)) continue;
        double x = 0, y = 0;
        if (xfc_cross_or_not(x1, y1, x2, y2, ctx->c4[row], ctx->c5[row], ctx->c6[row], ctx->c7[row], &x, &y, tol1,
                             tol2) &&
            !visit(row, x, y))
            return row;
    }
    return -1;
}
}  // namespace

int32_t move_rows(drawing_context* ctx, int32_t source, int32_t destination, int32_t count) {
    if (count > 0 && source != destination) shift_row_range(ctx, source, source + count - 1, destination);
    return destination + count;
}

int32_t xlum_gatrn(drawing_context* ctx, int32_t first, double x1, double y1, double x2, double y2) {
    Box b(x1, y1, x2, y2);
    return gather(ctx, first,
                  [&](int32_t row) { return record_wholly_inside(ctx, row, b.xmin, b.ymin, b.xmax, b.ymax) == 0; });
}

int32_t xlum_gptrn(drawing_context* ctx, int32_t first, double x1, double y1, double x2, double y2) {
    Box b(x1, y1, x2, y2);
    return gather(ctx, first,
                  [&](int32_t row) { return record_partly_inside(ctx, row, b.xmin, b.ymin, b.xmax, b.ymax) == 0; });
}

int32_t xlum_gcatrn(drawing_context* ctx, int32_t first) {
    return gather(ctx, first, [](int32_t) { return true; });
}

int32_t xlum_gsegm(drawing_context* ctx, int32_t first, int32_t group) {
    return gather(ctx, first, [&](int32_t row) { return static_cast<int16_t>(ctx->c2[row] & 0xFFFF) == group; });
}

int32_t xlum_gcltrn(drawing_context* ctx, int32_t first, double x1, double y1, double x2, double y2, double tol1,
                    double tol2) {
    return gather(ctx, first,
                  [&](int32_t row) { return record_crosses_segment(ctx, row, x1, y1, x2, y2, tol1, tol2) == 1; });
}

int32_t xlum_gscl(drawing_context* ctx, int32_t first, double x1, double y1, double x2, double y2, double tol1,
                  double tol2) {
    int32_t found =
        walk_crossing_lines(ctx, first, x1, y1, x2, y2, tol1, tol2, [](int32_t, double, double) { return false; });
    reset_search_filter(ctx);
    return found;
}

int xlum_gsncl(drawing_context* ctx, int32_t first, double x1, double y1, double x2, double y2, double px, double py,
               int32_t* first_side, int32_t* second_side, double tol1, double tol2) {
    if (first_side) *first_side = -1;
    if (second_side) *second_side = -1;
    search_candidate sides[2] = {};
    int counts[2] = {0, 0};
    walk_crossing_lines(ctx, first, x1, y1, x2, y2, tol1, tol2, [&](int32_t row, double x, double y) {
        int side = (x - px) * (x2 - px) + (y - py) * (y2 - py) < 0 ? 0 : 1;
        counts[side] =
            insert_candidate(&sides[side], 1, counts[side], kTypeLine, row, std::hypot(x - px, y - py), x, y);
        return true;
    });
    if (first_side && counts[0]) *first_side = sides[0].row;
    if (second_side && counts[1]) *second_side = sides[1].row;
    reset_search_filter(ctx);
    return 0;
}

}  // namespace kz::drawing2d
