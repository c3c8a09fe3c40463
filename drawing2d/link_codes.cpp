// Fresh link numbers for linked lines (their texts follow them) and the clearing of delimiter rows.
#include <unordered_map>
#include <vector>

#include "drawing2d/primitive_rows.h"
#include "drawing2d/record_edits.h"
#include "drawing2d/record_walk.h"
#include "drawing2d/repair.h"

namespace kz::drawing2d {
namespace {
uint32_t link_of(const drawing_context* ctx, int32_t row) { return static_cast<uint32_t>(ctx->c3[row]) >> 16; }
void set_link(drawing_context* ctx, int32_t row, uint32_t link) {
    ctx->c3[row] = static_cast<int32_t>((static_cast<uint32_t>(ctx->c3[row]) & 0xFFFFu) | (link << 16));
}
}  // namespace

int xlum_change_new_link_code(drawing_context* ctx, int32_t first) {
    xlum_gbaketu(ctx, first);
    std::vector<bool> used(66000);
    walk_head_rows(ctx, 0, [&](int32_t row) {
        used[link_of(ctx, row)] = true;
        return true;
    });
    // The texts still carrying each old number: the first line renumbered with that number takes them all.
    std::unordered_map<uint32_t, std::vector<int32_t>> texts;
    std::vector<int32_t> lines;
    walk_head_rows(ctx, first, [&](int32_t row) {
        int32_t type = row_type(ctx, row);
        if (link_of(ctx, row) == 0) return true;
        if (type == kTypeLine) lines.push_back(row);
        if (type == kTypeText || type == kTypeKanjiText) texts[link_of(ctx, row)].push_back(row);
        return true;
    });
    uint32_t next = 1;
    for (int32_t line : lines) {
        while (next < 65535 && used[next]) ++next;
        if (next >= 65535) break;
        used[next] = true;
        uint32_t old = link_of(ctx, line);
        set_link(ctx, line, next);
        if (auto it = texts.find(old); it != texts.end()) {
            for (int32_t text : it->second) set_link(ctx, text, next);
            texts.erase(it);
        }
    }
    return 1;
}

int32_t xlum_delete_delimit_code(drawing_context* ctx, int32_t first, int32_t last) {
    mark_row_limits(ctx);
    if (first < 0) first = 0;
    if (first >= ctx->mat) return 0;
    // With a last row the range is walked whole (an end row inside it is no delimiter); without, to the end row.
    bool to_end = last < 0;
    if (to_end || last >= ctx->mat) last = ctx->mat - 1;
    int32_t cleared = 0;
    for (int32_t row = first; row <= last; ++row) {
        if (to_end && row_code_u(ctx, row) == kEndCode) break;
        if (row_code(ctx, row) < -1 && row_code_u(ctx, row) != kContinuationCode) {
            ctx->c1[row] = 0;
            ++cleared;
        }
    }
    if (cleared) note_rows_changed(ctx, first);
    return cleared;
}

}  // namespace kz::drawing2d
