// The repair walk: unknown types, out-of-range colours, styles and arc angles, records whose continuation rows are
// missing, duplicate link numbers of lines, and links without a partner. A damaged record never takes the end
// code with it: the walk clears only the rows that belong to the record.
#include <vector>

#include "drawing2d/primitive_rows.h"
#include "drawing2d/repair.h"
#include "drawing2d/row_store.h"

namespace kz::drawing2d {
namespace {
constexpr int64_t kFullTurn = 360000000;

uint32_t link_of(const drawing_context* ctx, int32_t row) { return static_cast<uint32_t>(ctx->c3[row]) >> 16; }
void clear_link(drawing_context* ctx, int32_t row) { ctx->c3[row] &= 0xFFFF; }

void fix_colour_and_style(drawing_context* ctx, int32_t row) {
    uint32_t cell = static_cast<uint32_t>(ctx->c3[row]);
    uint32_t style = cell & 0xFF, colour = (cell >> 8) & 0xFF;
    if (colour > 15) colour = 5;
    if (style == 0 || style > 8) style = 1;
    ctx->c3[row] = static_cast<int32_t>((cell & 0xFFFF0000u) | (colour << 8) | style);
}

// Into 0..360 degrees by whole turns (a stored angle is at most a few turns out).
int32_t normalized_angle(int32_t millionths) {
    int64_t a = millionths;
    while (a < 0) a += kFullTurn;
    while (a > kFullTurn) a -= kFullTurn;
    return static_cast<int32_t>(a);
}

class Repair {
public:
    explicit Repair(drawing_context* ctx) : ctx_(ctx), line_links_(65536), text_links_(65536) {}

    int32_t run(int32_t start) {
        mark_row_limits(ctx_);
        int32_t row = start < 0 ? 0 : start;
        while (row < ctx_->max && row_code_u(ctx_, row) != kEndCode) row += check(row);
        pair_links(start < 0 ? 0 : start);
        return repairs_;
    }

private:
    // Checks the record at `row`; the number of rows to move on.
    int32_t check(int32_t row) {
        ctx_->c1[row] &= 0xFFFF;
        uint32_t type = static_cast<uint32_t>(row_type(ctx_, row));
        switch (type) {
        case 0: return 1;
        case kTypeLine: check_line(row); return 1;
        case kTypeArc: return check_arc(row);
        case kTypeText:
        case kTypeKanjiText:
        case kTypePointRecord:
        case kTypeTextLike: {
            if (type != kTypeTextLike && link_of(ctx_, row)) text_links_[link_of(ctx_, row)] = true;
            fix_colour_and_style(ctx_, row);
            int64_t n = ctx_->c6[row];
            return check_continuation(row, 3 + (n - 1) / 6);
        }
        case kTypeMultiRow: {
            fix_colour_and_style(ctx_, row);
            int64_t count = row + 1 < ctx_->mat ? ctx_->c2[row + 1] : -1;
            return check_continuation(row, count);
        }
        default: clear(row); return 1;  // unknown types, continuation rows out of place, delimiters
        }
    }

    void check_line(int32_t row) {
        uint32_t link = link_of(ctx_, row);
        if (link) {
            if (line_links_[link]) {
                clear_link(ctx_, row);
                ++repairs_;
            } else {
                line_links_[link] = true;
            }
        }
        if ((ctx_->baketu_mode & 1) && ctx_->c4[row] == ctx_->c6[row] && ctx_->c5[row] == ctx_->c7[row]) {
            clear(row);
            return;
        }
        fix_colour_and_style(ctx_, row);
    }

    int32_t check_arc(int32_t row) {
        fix_colour_and_style(ctx_, row);
        int32_t second = row + 1;
        if (second >= ctx_->max || row_code_u(ctx_, second) == kEndCode) {
            clear(row);
            return 1;
        }
        ctx_->c6[second] = normalized_angle(ctx_->c6[second]);
        ctx_->c7[second] = normalized_angle(ctx_->c7[second]);
        if (row_code_u(ctx_, second) != kContinuationCode) {
            clear(row);
            clear(second);
        }
        return 2;
    }

    // A record of `count` rows: its continuation rows must all be there, else the head and those found go.
    int32_t check_continuation(int32_t row, int64_t count) {
        if (count < 1) {
            clear(row);
            return 1;
        }
        int32_t found = 1;
        while (found < count && row + found < ctx_->max && row_code_u(ctx_, row + found) == kContinuationCode) ++found;
        if (found == count) return found;
        for (int32_t i = 0; i < found; ++i) clear(row + i);
        return found;
    }

    void pair_links(int32_t start) {
        for (int32_t row = start; row < ctx_->max && row_code_u(ctx_, row) != kEndCode; ++row) {
            if (row_code(ctx_, row) <= 0) continue;
            uint32_t link = link_of(ctx_, row);
            if (!link) continue;
            int32_t type = row_type(ctx_, row);
            bool lonely =
                (type == kTypeLine && !text_links_[link]) ||
                ((type == kTypeText || type == kTypeKanjiText || type == kTypePointRecord) && !line_links_[link]);
            if (lonely) {
                clear_link(ctx_, row);
                ++repairs_;
            }
        }
    }

    void clear(int32_t row) {
        ctx_->c1[row] = 0;
        note_rows_changed(ctx_, row);
        ++repairs_;
    }

    drawing_context* ctx_;
    std::vector<bool> line_links_, text_links_;
    int32_t repairs_ = 0;
};
}  // namespace

int32_t xlum_gbaketu(drawing_context* ctx, int32_t start) { return Repair(ctx).run(start); }

}  // namespace kz::drawing2d
