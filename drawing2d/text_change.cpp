// Replacing the string of a text record: the new record keeps the old one's geometry, attributes, link number and
// link attributes, and lands where the placement mode asks; and opening rows inside the data for it.
#include "drawing2d/active_attributes.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/record_edits.h"
#include "drawing2d/row_store.h"

namespace kz::drawing2d {
namespace {
struct TextLook {
    double x, y, width, height, pitch, angle, slant;
    int32_t alignment, flags, head_c3, param_c7;
};

TextLook read_look(const drawing_context* ctx, int32_t row) {
    int32_t p = row + 1;
    return TextLook{double(ctx->c4[row]),
                    double(ctx->c5[row]),
                    double(ctx->c2[p]),
                    double(ctx->c3[p]),
                    double(ctx->c4[p]),
                    ctx->c5[p] / 1000000.0,
                    ctx->c6[p] / 1000000.0,
                    ctx->c7[p] & 15,
                    (ctx->c7[p] >> 8) & 1,
                    ctx->c3[row],
                    ctx->c7[p]};
}

int32_t write_text(drawing_context* ctx, int32_t row, const char* string, const TextLook& t) {
    return set_text_rows(ctx, row, string, t.x, t.y, t.width, t.height, t.pitch, t.angle, t.slant, t.alignment,
                         t.flags);
}

// A placement for the writer: reserve from `row` on (row 0 is written as the writer's own 0).
int32_t from_row(int32_t row) { return row == 0 ? 0 : -row; }

// Writes at the old row after the old record and a trial copy are gone, opening rows when the new one is longer.
int32_t write_in_place(drawing_context* ctx, int32_t row, int32_t trial, int32_t old_rows, const char* string,
                       const TextLook& t) {
    int32_t new_rows = primitive_row_count(ctx, trial);
    xlum_delete_primitive(ctx, trial);
    xlum_delete_primitive(ctx, row);
    if (new_rows > old_rows && !insert_rows_at(ctx, row, new_rows - old_rows)) return -1;
    // For row 0 the writer reserves room instead; the rows from 0 are empty now, so they are the room it finds.
    return write_text(ctx, row, string, t);
}
}  // namespace

int insert_rows_at(drawing_context* ctx, int32_t row, int32_t n) {
    mark_row_limits(ctx);
    int32_t end = find_data_end(ctx, row);
    if (end < 0 || n < 0) return 0;
    if (row<ctx->max&& static_cast<int64_t>(end) + n + 100> ctx->max) {
        int64_t want = static_cast<int64_t>(end) + n + 100 + 5000;
        if (want > INT32_MAX - 2000 || !grow_rows(ctx, static_cast<int32_t>(want))) return 0;
    }
    return insert_rows(ctx, row, end, n);
}

int32_t xlum_moji_change(drawing_context* ctx, int32_t row, const char* string, int32_t mode) {
    if (row < 0 || !string || !row_in_columns(ctx, static_cast<int64_t>(row) + 1)) return -1;
    int32_t placement = from_row(row);
    if (mode < 0) {
        placement = mode;
        mode = 1;
    }
    int32_t type = row_type(ctx, row);
    if (row_code(ctx, row) < 1 || (type != kTypeText && type != kTypeKanjiText)) return -1;
    if (!*string) {
        xlum_delete_primitive(ctx, row);
        return -1;
    }
    int32_t old_rows = primitive_row_count(ctx, row);
    save_active_attributes(ctx);
    ctx->active_layer = row_layer(ctx, row);
    ctx->active_group = row_group(ctx, row);
    ctx->active_color = row_color(ctx, row);
    ctx->active_style = row_style(ctx, row);
    const TextLook look = read_look(ctx, row);
    int32_t head = -1;
    switch (mode) {
    case 1:
    case 3: {
        if (mode == 3) {
            int32_t end = find_data_end(ctx, row);
            placement = end < 0 ? placement : from_row(end);
        }
        head = write_text(ctx, placement, string, look);
        // The new record may have taken rows before the old one; the old one stays where it is.
        if (head >= 0) xlum_delete_primitive(ctx, row);
        break;
    }
    case 2:
    case 0: {
        int32_t trial = write_text(ctx, placement, string, look);
        if (trial < 0) break;
        if (mode == 2 && primitive_row_count(ctx, trial) >= old_rows) {
            xlum_delete_primitive(ctx, row);
            head = trial;
        } else {
            head = write_in_place(ctx, row, trial, old_rows, string, look);
        }
        break;
    }
    default: break;
    }
    if (head >= 0) {
        ctx->c3[head] = look.head_c3;
        ctx->c7[head + 1] = look.param_c7;
    }
    restore_active_attributes(ctx);
    return head;
}

}  // namespace kz::drawing2d
