// Building the stencil shadow volumes of one triangle set in light space (the light shining along -z): a prism
// per lit triangle, and at outline accuracy the walls along the outlines of the lit parts.
#pragma once
#include "geometry/ofu_types.h"
#include "modeller/gl_entity.h"

struct O3duShadowSettings {
    int accuracy = 0;        // 1: outline volumes as well
    int cull_mode = 0;       // non-zero: triangles facing away from the light cast too, reversed
    double extrusion = 0.0;  // how far the volumes reach along -z
};

// Whether the set casts at all: fully opaque, not a 32-bit texture, drawn as triangles.
bool casts_shadow(const CO3duGLTrianglePolygons& set, bool translucent_texture);

// Adds the set's volumes, its vertices moved by to_light (row vectors, divided by w).
void add_shadow_volumes(const CO3duGLTrianglePolygons& set, const OfuMatrix4x4& to_light,
                        const O3duShadowSettings& settings, CO3duShadowVolumes& outlines, CO3duShadowVolumes& prisms);
