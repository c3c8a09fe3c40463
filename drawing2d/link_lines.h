// Link lines (a text and the line that carry the same link number, joined by a stroke), text origin marks, and
// the copy of link numbers that the cuts' temporary drawings need.
#pragma once
#include <cstdint>

#include "drawing2d/drawing_context.h"

namespace kz::drawing2d {

// The link number of a head row and, for a text, the link attributes of its parameter row.
void copy_link_attributes(const drawing_context* source, int32_t source_row, drawing_context* target,
                          int32_t target_row);

// Link lines from each linked text's box centre to the middle of its line. 1, or 0 when Escape or the stroke
// limit stopped it. A line whose link number another line took first loses it.
int xlum_draw_link_line(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t rop);
// Hollow circles at the origins of the shown texts. 1.
int xlum_draw_text_origin(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t rop);
// The origin mark of one text (pen of colour 7, style 1, solid when asked, on the text's layer); false when that
// pen is not drawn.
bool draw_text_origin_mark(drawing_context* ctx, device_context* dc, int32_t row, int solid);

}  // namespace kz::drawing2d
