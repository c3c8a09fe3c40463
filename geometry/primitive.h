// CO3duPrimitive: one renderable shape, a list of triangle sets with its draw mode, matrices, kind, layer and
// polygon mode. A plain value with deep copies; the modeller keeps its own converted copy.
#pragma once
#include "geometry/triangle_polys.h"

// Draw-mode bits.
enum : int32_t {
    O3DU_DRAW_HIDDEN = 1,
    O3DU_DRAW_PICKABLE = 2,
    O3DU_DRAW_NO_BOUNDS = 4,  // left out of the bounding box, the scene centre and camera fitting
    O3DU_DRAW_NO_SHADOW = 8,
    O3DU_DRAW_NO_SECTION_CAP = 16,
    // Drawn before every other shape and writing no depth, so it shows only where nothing else is drawn: a ground
    // grid lying in the plane of a floor's top stays under the floor instead of fighting it for the pixels.
    O3DU_DRAW_UNDERLAY = 32,
};

class CO3duPrimitive {
public:
    CO3duPrimitive();
    CO3duPrimitive(const CO3duPrimitive&) = default;
    CO3duPrimitive(CO3duPrimitive&&) noexcept = default;
    CO3duPrimitive& operator=(const CO3duPrimitive&) = default;
    CO3duPrimitive& operator=(CO3duPrimitive&&) noexcept = default;
    virtual ~CO3duPrimitive() = default;

    // Drops every set; the shape's other fields stay.
    void DeleteAll() { sets.RemoveAll(); }

    CO3duPolygonList sets;
    int32_t draw_mode = O3DU_DRAW_PICKABLE;
    OfuMatrix4x4 model_matrix;
    OfuMatrix4x4 texture_matrix;
    int32_t kind = 0;  // 1 = drawn in window coordinates, unlit, casting no shadow
    uint32_t layer = 0;
    int32_t polygon_mode = 0;  // 0 filled, 1 outlines, 2 corner points
};
