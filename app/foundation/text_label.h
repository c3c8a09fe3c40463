// One screen caption slot of the bridge, also used as the parameter record of text textures: the text, its
// parameters and those of the last build, and what the build made.
#pragma once
#include <cstdint>

struct _OfuPosition;

namespace kz::foundation {

struct TextLabelParams {
    double x = 0.0;     // to the right, pixels
    double y = 0.0;     // downward, pixels
    double size = 35.0;
    std::uint32_t color = 0xFFFFFF;
    char face_name[64] = {};
    std::uint32_t background = 0x583737;
    std::int32_t alignment = 1;
    std::int32_t placement = 0;  // bits 0-1 horizontal (0 left, 1 centre, 2 right), 2-3 vertical (0, 4, 8)
    std::int32_t background_switch = 0;
    double background_transparency = 0.0;
};

struct TextLabel {
    char text[2400] = {};           // Shift_JIS, lines separated by "__"
    char previous_text[2400] = {};  // "---" forces one rebuild
    double margin = 0.0;
    TextLabelParams params;
    TextLabelParams previous_params;
    _OfuPosition* shape = nullptr;
    double width = 0.0, height = 0.0;
    std::int32_t bitmap_width = 0, bitmap_height = 0;
    std::int32_t text_x = 0, text_y = 0;
    std::int32_t anchor_x = 0, anchor_y = 0;
    double line_pitch = 0.0;
    std::int32_t border_points[8][2] = {};
    std::int32_t border_point_count = 0;
};

}  // namespace kz::foundation
