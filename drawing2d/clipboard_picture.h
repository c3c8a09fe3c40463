// The picture that goes on the clipboard beside a copied drawing's native block and text.
#pragma once
#include <cstdint>

#include "drawing2d/drawing_context.h"

namespace kz::drawing2d {

// The drawn area (the records' extents widened by a paper millimetre) and the picture's size in pixels.
struct PictureFrame {
    double xmin, ymin, xmax, ymax;
    int width, height;
};
PictureFrame picture_frame(drawing_context* ctx, int32_t row);
// 1 when the picture of the records from `row` on was added to the clipboard (what it holds stays).
int copy_picture_to_clipboard(drawing_context* ctx, int32_t row);

}  // namespace kz::drawing2d
