// Line records chained end to end: a group's lines reordered into a connected chain (each turned to run on from
// the one before), and whether a point lies inside the outline such a chain closes, by its winding angle.
// Ends join within 5 units in x and in y; a walk that finds nothing records where it stopped.
#include <cmath>
#include <utility>

#include "drawing2d/primitive_rows.h"
#include "drawing2d/record_edits.h"

namespace kz::drawing2d {
namespace {
constexpr double kJoin = 5.0;

bool joins(double ax, double ay, double bx, double by) {
    return std::fabs(ax - bx) < kJoin && std::fabs(ay - by) < kJoin;
}

bool is_line(const drawing_context* ctx, int32_t row) {
    return row_code(ctx, row) > 0 && row_type(ctx, row) == kTypeLine;
}

// The row where a chain walk from `first` stops (the end row or a group end) without a hit, and the walk's record of
// it.
int32_t stopped_at(drawing_context* ctx, int32_t row) {
    ctx->last_joined_row = row;
    ctx->last_joined_code = row_code(ctx, row);
    return -1;
}

bool walk_ends(const drawing_context* ctx, int32_t row) {
    int32_t code = row_code(ctx, row);
    return code == -1 || code == static_cast<int16_t>(kGroupEndCode);
}

// The first line record from `first` that `take` accepts; -1 (recorded) when the walk ends first.
template <class Take>
int32_t find_line(drawing_context* ctx, int32_t first, Take take) {
    mark_row_limits(ctx);
    int32_t row = first < 0 ? 0 : first;
    for (; row < ctx->mat && !walk_ends(ctx, row); ++row)
        if (is_line(ctx, row) && take(row)) return row;
    return stopped_at(ctx, row < ctx->mat ? row : ctx->mat);
}

struct ChainFilter {
    int32_t layer, group;
    bool accepts(const drawing_context* ctx, int32_t row) const {
        if (!ctx->disp_layer[row_layer(ctx, row)]) return false;
        bool style8 = row_style(ctx, row) == 8;
        if ((ctx->chain_skip_style8 == 1 && style8) || (ctx->chain_only_style8 == 1 && !style8)) return false;
        return (layer < 0 || row_layer(ctx, row) == layer) && (group < 0 || row_group(ctx, row) == group);
    }
};

// Chains lines onto the line at `start`: the number of lines chained (with the start) and the row after the chain.
// Each accepted line is exchanged into the row after the chain, so the chain stays one run of rows.
int32_t build_chain(drawing_context* ctx, int32_t start, const ChainFilter& filter, int32_t* end_row) {
    const double sx = ctx->c4[start], sy = ctx->c5[start];
    int32_t count = 1, next = start + 1;
    for (;;) {
        int32_t found = next - 1;
        do found = find_connected_line(ctx, found + 1, ctx->c6[next - 1], ctx->c7[next - 1]);
        while (found >= 0 && !filter.accepts(ctx, found));
        if (found < 0) break;
        swap_records(ctx, next, found);
        ++count;
        *end_row = ++next;
        if (ctx->c6[next - 1] == sx && ctx->c7[next - 1] == sy) break;
    }
    return count;
}
}  // namespace

int32_t find_connected_line(drawing_context* ctx, int32_t first, double x, double y) {
    return find_line(ctx, first, [&](int32_t row) {
        if (joins(ctx->c4[row], ctx->c5[row], x, y)) return true;
        if (!joins(ctx->c6[row], ctx->c7[row], x, y)) return false;
        std::swap(ctx->c4[row], ctx->c6[row]);
        std::swap(ctx->c5[row], ctx->c7[row]);
        return true;
    });
}

int32_t xlum_sort_polyline(drawing_context* ctx, int32_t first, int32_t layer, int32_t group, int32_t* first_row,
                           int32_t* end_row) {
    int32_t unused = -1;
    if (!first_row) first_row = &unused;
    if (!end_row) end_row = &unused;
    *first_row = *end_row = -1;
    int32_t head = find_line(ctx, first, [](int32_t) { return true; });
    if (head < 0) return -1;
    *first_row = head;
    const ChainFilter filter{layer, group};
    int32_t start = find_line(ctx, head, [&](int32_t row) { return filter.accepts(ctx, row); });
    if (start < 0) return -1;
    swap_records(ctx, head, start);
    return build_chain(ctx, head, filter, end_row);
}

int xlum_inside_group(drawing_context* ctx, double x, double y, int32_t group, int32_t first) {
    const ChainFilter filter{-1, group};
    int32_t start = find_line(ctx, first, [&](int32_t row) { return filter.accepts(ctx, row); });
    if (start < 0) return -1;
    int32_t end = -1;
    int32_t count = build_chain(ctx, start, filter, &end);
    double sum = 0;
    for (int32_t row = start; row < start + count; ++row) {
        double ax = ctx->c4[row] - x, ay = ctx->c5[row] - y, bx = ctx->c6[row] - x, by = ctx->c7[row] - y;
        double cross = by * ax - bx * ay, dot = by * ay + bx * ax;
        if (cross != 0 || dot != 0) sum += std::atan2(cross, dot);
    }
    return std::fabs(sum) > M_PI ? 1 : 0;
}

}  // namespace kz::drawing2d
