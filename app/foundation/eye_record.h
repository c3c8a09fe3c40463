// The view's camera and projection record as the foundation's GDI plan drawing, clipping and the bridge's
// viewport update read it. The view owns the one instance, fills it and keeps it current.
#pragma once
#include <cstdint>

#include "platform/gdi.h"

namespace kz::foundation {

struct EyeRecord {
    double eye[3] = {100.0, -100.0, 100.0};
    double target[3] = {0.0, 0.0, 0.0};
    double twist = 0.0;  // radians about the line of sight
    // World -> view axes (row vectors: r = [x y z 1] x view_matrix; r0 is the depth, r1 points left, r2 up)
    // and the way back.
    double view_matrix[16] = {};
    double inverse_view_matrix[16] = {};
    // Projection window in units of x / depth: left, bottom, width.
    double window_left_factor = -1.6;
    double window_bottom_factor = -1.0;
    double window_width_factor = 3.2;
    double zoom_ratio = 1.0;
    double lens = 55.0;
    double pixels_per_unit = 200.0;
    std::int32_t screen_origin_x = 0;  // margins of the screen area inside the window
    std::int32_t screen_origin_y = 0;
    std::int32_t screen_width = 0;
    std::int32_t screen_height = 0;
    std::int32_t window_height = 0;
    std::int32_t two_sided = 1;
    double light_intensity = 1.0;
    double light_azimuth = 270.0;
    double light_altitude = 45.0;
    double light_direction[3] = {0.0, 0.0, 0.0};
    // Pens of the GDI face drawing: none (fill only), black, white, light grey.
    kz::platform::Pen pens[4] = {};
    std::int32_t outline_mode = 0;  // 2 draws faces as outlines with the third pen
    // Frustum side planes x = a z, x = (a + w) z, y = b z, y = (b + h) z of the clipper.
    double frustum_left = -1.6;
    double frustum_bottom = -1.0;
    double frustum_width = 3.2;
    double frustum_height = 2.0;
    // Screen mapping: sx = (x / depth - offset_x) * scale + window_left, sy = window_top + window_pixel_height -
    // (y / depth - offset_y) * scale.
    double screen_offset_x = -1.6;
    double screen_offset_y = -1.0;
    double screen_scale = 200.0;
    std::int32_t window_left = 0;
    std::int32_t window_top = 0;
    std::int32_t window_pixel_height = 0;
};

}  // namespace kz::foundation
