// Records exchanged through the modeller interface: cameras, viewport, lights and pick results.
// Field order and widths are those the mesh files and the plain-function interface rely on.
#pragma once
#include <cstdint>

#include "geometry/ofu_types.h"

// Perspective camera: field of view is the full vertical opening in degrees; aspect is width / height.
struct _O3duCamera {
    OfuVector3 eye;
    OfuVector3 target;
    double fov = 0.0;
    double near_distance = 0.0;
    double far_distance = 0.0;
    double aspect = 0.0;
};

// Parallel camera: the visible window (model units) is centred on the target.
struct _O3duAxoCamera {
    OfuVector3 eye;
    OfuVector3 target;
    double window_width = 0.0;
    double window_height = 0.0;
    double near_distance = 0.0;
    double far_distance = 0.0;
};

struct _O3duViewport {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// Light types of the interface record.
enum : std::int32_t {
    OFU_LIGHT_POSITIONAL = 0,
    OFU_LIGHT_DIRECTIONAL = 1,
};

// One light as callers see it; direction is the way the light travels.
struct OfuLight {
    std::int32_t type = OFU_LIGHT_POSITIONAL;
    OfuColorValue diffuse{0.0f, 0.0f, 0.0f, 0.0f};
    OfuColorValue ambient{0.0f, 0.0f, 0.0f, 0.0f};
    OfuColorValue specular{0.0f, 0.0f, 0.0f, 0.0f};
    OfuVector3 position;
    OfuVector3 direction;
    std::int32_t on = 0;
    float attenuation = 0.0f;
};

// One pick hit: depth is the window depth (0 near, 1 far), pass the PreDraw pass that drew the hit.
struct _O3duSelect {
    _OfuPosition* position = nullptr;
    double depth = 0.0;
    std::int32_t pass = 0;
};
