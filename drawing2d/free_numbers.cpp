// Free layer, group and link numbers: the first number nobody uses, searched upward from a start (downward for a
// negative start) and then around from the other end of the range.
#include <strings.h>

#include <vector>

#include "drawing2d/active_attributes.h"
#include "drawing2d/record_walk.h"

namespace kz::drawing2d {
namespace {
// The two-way search over 1..top: a positive start s searches s + 1 .. top, then 1 .. s; a negative start -s
// searches s - 1 down to 1, then top down to s. 1 when every number is used.
int32_t two_way_search(const std::vector<bool>& used, int32_t start, int32_t top) {
    if (start == 0) start = 1;
    if (start > top) start = top;
    if (start < -top) start = -top;
    if (start > 0) {
        for (int32_t n = start + 1; n <= top; ++n)
            if (!used[n]) return n;
        for (int32_t n = 1; n <= start; ++n)
            if (!used[n]) return n;
    } else {
        int32_t s = -start;
        for (int32_t n = s - 1; n >= 1; --n)
            if (!used[n]) return n;
        for (int32_t n = top; n >= s; --n)
            if (!used[n]) return n;
    }
    return 1;
}
}  // namespace

int32_t xlum_get_aki(drawing_context* ctx, const char* key, int32_t start) {
    if (!key) return -1;
    if (strcasecmp(key, "group") == 0 || strcasecmp(key, "segment") == 0) {
        std::vector<bool> used(32001);
        walk_head_rows(ctx, 0, [&](int32_t row) {
            int32_t group = row_group(ctx, row);
            if (group <= 32000) used[group] = true;
            return true;
        });
        return two_way_search(used, start, 32000);
    }
    if (strcasecmp(key, "layer") == 0) {
        xlum_make_layer_exist(ctx, 0);
        std::vector<bool> used(256);
        for (int i = 0; i < 256; ++i) used[i] = ctx->layer_exist[i] != 0;
        return two_way_search(used, start, 255);
    }
    if (strcasecmp(key, "link") == 0) {
        std::vector<bool> used(65535);
        walk_head_rows(ctx, 0, [&](int32_t row) {
            uint32_t link = static_cast<uint32_t>(ctx->c3[row]) >> 16;
            if (link <= 65534) used[link] = true;
            return true;
        });
        if (start < 1 || start > 65534) start = 1;
        for (int32_t n = start; n <= 65534; ++n)
            if (!used[n]) return n;
        for (int32_t n = 1; n < start; ++n)
            if (!used[n]) return n;
        return 1;
    }
    return -1;
}

}  // namespace kz::drawing2d
