// Link lines (a text and the line that carry the same link number, joined by a stroke), text origin marks, and
// the copy of link numbers that the cuts' temporary drawings need.
#pragma once
#include <cstdint>

#include "drawing2d/drawing_context.h"

namespace kz::drawing2d {

// The link number of a head row and, for a text, the link attributes of its parameter row.
void copy_link_attributes(const drawing_context* source, int32_t source_row, drawing_context* target,
                          int32_t target_row);

}  // namespace kz::drawing2d
