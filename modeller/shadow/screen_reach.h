// Where on the screen one shape's shadow volume can change the stencil: a rectangle of the viewport's pixels that
// holds every pixel its walls and lit faces cover, so that work done for that shape alone (clearing, folding,
// reading the stencil back) need not cover the whole window.
#pragma once
#include "geometry/ofu_types.h"
#include "modeller/gl_entity.h"

// Pixels x..x + width - 1 and y..y + height - 1 of the viewport, counted from its bottom left.
struct O3duPixelRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool empty() const { return width <= 0 || height <= 0; }
};

// The pixels of a viewport of `width` x `height` that the volume's walls and lit faces can reach, seen through
// `to_clip` (light space to clip coordinates, row vectors). The walls lie between the boxes of their corners and of
// their far ends, the lit faces in theirs, so all lie within the hull of those boxes' corners; where any corner lies
// on or behind the near plane, or out of a double's reach, the hull's picture is not the picture of its corners and
// the whole viewport is given.
O3duPixelRect o3du_screen_reach(const CO3duShadowVolumes& volumes, const OfuMatrix4x4& to_clip, int width, int height);
