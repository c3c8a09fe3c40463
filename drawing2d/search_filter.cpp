// The search filter fields of a drawing and the candidate list of picks.
// The filter holds for one search: every gathering, pick and crossing search resets it.
#include "drawing2d/search_filter.h"

#include <cmath>

#include "drawing2d/record_display.h"

namespace kz::drawing2d {

int search_filter_accepts(const drawing_context* ctx, int32_t row) {
    if (ctx->search_match_all == 1) return 1;
    if (ctx->by_ura_layer == 0 && !xlum_disp_or_not(ctx, row)) return 0;
    int32_t layer = row_layer(ctx, row), type = row_type(ctx, row);
    if (ctx->by_lock_layer == 1 && ctx->lock_layer[layer] == 1) return 0;
    if (ctx->by_command > 0 && !((static_cast<uint32_t>(ctx->by_command) >> (((type - 1) % 32 + 32) % 32)) & 1u))
        return 0;
    if (ctx->by_layer > 0 && layer != ctx->by_layer) return 0;
    if (ctx->by_group > 0 && row_group(ctx, row) != ctx->by_group) return 0;
    if (ctx->by_color > 0 && row_color(ctx, row) != ctx->by_color) return 0;
    if (ctx->by_style > 0 && row_style(ctx, row) != ctx->by_style) return 0;
    if (ctx->search_exact_type >= 1 && type != ctx->search_exact_type) return 0;
    return 1;
}

int reset_search_filter(drawing_context* ctx) {
    ctx->search_start_row = 0;
    ctx->search_match_all = 0;
    ctx->by_ura_layer = 0;
    ctx->by_lock_layer = 0;
    ctx->by_command = ctx->by_layer = ctx->by_group = ctx->by_color = ctx->by_style = -1;
    return 1;
}

int insert_candidate(search_candidate* list, int capacity, int count, int32_t first_word, int32_t second_word,
                     double distance, double x, double y) {
    if (capacity <= 0 || !(distance >= 0)) return count;
    if (count > capacity) count = capacity;
    if (count < 0) count = 0;
    if (count == capacity && distance >= list[capacity - 1].distance) return count;
    int pos = 0;
    while (pos < count && list[pos].distance <= distance) ++pos;
    int last = count < capacity ? count : capacity - 1;
    for (int i = last; i > pos; --i) list[i] = list[i - 1];
    list[pos] = search_candidate{first_word, second_word, distance, x, y};
    return count < capacity ? count + 1 : capacity;
}

int angle_quadrant(double degrees) {
    if (degrees < 90) return 0;
    if (degrees < 180) return 1;
    if (degrees < 270) return 2;
    return 3;
}

void quadrant_end_point(double cx, double cy, double r, int q, double* x, double* y) {
    switch (((q % 4) + 4) % 4) {
    case 0: *x = cx, *y = cy - r; break;
    case 1: *x = cx - r, *y = cy; break;
    case 2: *x = cx, *y = cy + r; break;
    default: *x = cx + r, *y = cy; break;
    }
}

void arc_quadrant_span(double start, double end, int* first, int* last) {
    int qs = angle_quadrant(start), qe = angle_quadrant(end);
    if ((qs == qe && start >= end) || qs > qe) qe += 4;
    *first = qs;
    *last = qe;
}

}  // namespace kz::drawing2d
