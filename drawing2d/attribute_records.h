// Settings that no file header holds (pens, colours, font slots, line styles, layer names) saved as text records
// beginning with a key ("&RUV." or "<~"): appended after the data just before a file is written, and found,
// applied and removed right after a file is read.
#pragma once
#include <cstdint>

#include "drawing2d/drawing_context.h"

namespace kz::drawing2d {

// From `row` to the data end: every text record that begins with a key is applied when `apply` is 1 and then
// deleted; the rows are packed. 1.
int read_attribute_records(drawing_context* ctx, int32_t row, int apply);
// Appends the attribute records after the data from `row` on, on `layer` (negative: a free layer). 0.
int write_attribute_records(drawing_context* ctx, int32_t row, int32_t layer);
// Writes one text record with the given attributes (those out of range from the active ones); a row below 1
// reserves rows searching from its absolute value. The row used (the absolute value when none was found).
int32_t put_attribute_text(drawing_context* ctx, int32_t row, int32_t layer, int32_t group, int32_t colour,
                           int32_t style, double x, double y, double width, double height, double pitch, double angle,
                           double slant, int32_t alignment, const char* text, int32_t flags);

}  // namespace kz::drawing2d
