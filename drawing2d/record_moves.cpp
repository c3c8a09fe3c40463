// Moving a record to another row and exchanging two records. Records always move whole: a destination inside
// a record means the record's head, and records of different lengths carry the rows between them along.
#include <algorithm>
#include <vector>

#include "drawing2d/primitive_rows.h"
#include "drawing2d/record_edits.h"
#include "drawing2d/row_store.h"
#include "drawing2d/selection.h"

namespace kz::drawing2d {

int32_t xlum_move_primitive(drawing_context* ctx, int32_t row, int32_t destination) {
    if (destination == row) return destination;
    if (!row_in_columns(ctx, row) || row_code(ctx, row) < 1) return row;
    int32_t n = primitive_row_count(ctx, row);
    int32_t end = find_data_end(ctx, row < destination || destination < 0 ? row : destination);
    if (n < 1 || end < 0) return row;
    if (destination < 0 || destination > end) destination = end;
    if (row < ctx->max) {
        if (static_cast<int64_t>(end) + 100 + n > ctx->max) {
            int64_t want = static_cast<int64_t>(end) + 100 + n + 5000;
            if (want > INT32_MAX - 2000 || !grow_rows(ctx, static_cast<int32_t>(want))) return row;
        }
    } else if (destination < ctx->mau || row < ctx->mau || static_cast<int64_t>(end) + n + 10 > ctx->mat) {
        // Within the spare block a record moves only inside it, and only while its rows stay in the columns.
        return row;
    }
    while (destination > 0 && row_code_u(ctx, destination) == kContinuationCode) --destination;
    if (destination == row) return destination;
    move_rows(ctx, destination, destination + n, end - destination + 1);
    if (destination < row) row += n;
    move_rows(ctx, row, destination, n);
    xlum_delete_primitive(ctx, row);
    ctx->data_end = end + n;
    return destination;
}

int swap_records(drawing_context* ctx, int32_t row_a, int32_t row_b) {
    if (row_a == row_b) return 1;
    if (row_a > row_b) std::swap(row_a, row_b);
    // A row that starts no record (an empty or a delimiter row) is exchanged as one row.
    auto span_of = [&](int32_t row) { return row_code(ctx, row) > 0 ? primitive_row_count(ctx, row) : 1; };
    int32_t na = span_of(row_a), nb = span_of(row_b);
    if (na < 1 || nb < 1 || row_a + na > row_b || !row_in_columns(ctx, static_cast<int64_t>(row_b) + nb - 1)) return 0;
    // [a][between][b] becomes [b][between][a]: one rotation of the whole span per column.
    int32_t span = row_b + nb - row_a;
    std::vector<int32_t> held(static_cast<std::size_t>(span));
    int32_t* const* cols = columns(ctx);
    for (int k = 0; k < 7; ++k) {
        int32_t* col = cols[k] + row_a;
        auto b_at = held.begin();
        b_at = std::copy(col + (row_b - row_a), col + span, b_at);
        b_at = std::copy(col + na, col + (row_b - row_a), b_at);
        std::copy(col, col + na, b_at);
        std::copy(held.begin(), held.end(), col);
    }
    note_rows_changed(ctx, row_a);
    return 1;
}

}  // namespace kz::drawing2d
