// Link lines, text origin marks and the row helpers of the cuts (see link_lines.h).
#include "drawing2d/link_lines.h"

#include "drawing2d/primitive_rows.h"

namespace kz::drawing2d {

namespace {

uint32_t high_half(int32_t cell) { return static_cast<uint32_t>(cell) & 0xFFFF0000u; }
int32_t with_high_half(int32_t cell, uint32_t high) {
    return static_cast<int32_t>((static_cast<uint32_t>(cell) & 0xFFFFu) | high);
}

}  // namespace

void copy_link_attributes(const drawing_context* source, int32_t source_row, drawing_context* target,
                          int32_t target_row) {
    if (!source || !target || !row_in_columns(source, source_row) || !row_in_columns(target, target_row)) return;
    target->c3[target_row] = with_high_half(target->c3[target_row], high_half(source->c3[source_row]));
    const int32_t type = row_type(source, source_row);
    if ((type == kTypeText || type == kTypeKanjiText) && row_in_columns(source, int64_t{source_row} + 1) &&
        row_in_columns(target, int64_t{target_row} + 1))
        target->c7[target_row + 1] = with_high_half(target->c7[target_row + 1], high_half(source->c7[source_row + 1]));
}

}  // namespace kz::drawing2d
