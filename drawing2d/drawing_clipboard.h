// Drawings on the clipboard: the records from a row to the data end as the library's own block ("LUMBRA-MPW":
// the drawing header, then the seven column slices), as a picture for other programs and as the plain text of the
// text records in lines and columns. Pasting takes the native block only.
#pragma once
#include <cstdint>

#include "drawing2d/drawing_context.h"

namespace kz::drawing2d {

// 1, or 0 when there is nothing from `row` on or the clipboard refuses the block.
int xlum_cboard_copy(drawing_context* ctx, int32_t row);
// 1, or 0 when the clipboard holds no sound native block or the rows cannot grow (the drawing is then unchanged).
int xlum_cboard_paste(drawing_context* ctx, int32_t row);
// The number of bytes put on the clipboard as text (0 when there are no texts).
int copy_texts_to_clipboard(drawing_context* ctx, int32_t row);

}  // namespace kz::drawing2d
