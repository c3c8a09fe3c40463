// The display switches part of the view's state: what is drawn and how (wire, translucency, axes, plan, grid,
// section plane, action parts, popups), the handle markers and grid shapes, and the scene counts shown.
#pragma once
#include <cstdint>

struct _OfuPosition;

namespace kz::view {

// Fields declared `{}` get their start value from XView::InitDefaults; the rest start as declared.
struct DisplaySwitches {
    int wire_display = 0;
    int selection_display_mode{};  // 0..5; the translucency switch cycles 0, 1, 2
    int near_target_display = 0;   // 1: only the parts near the target are drawn
    int axis_display = 0;
    int plan_display = 0;  // 0 the 3D view, 1 the plan outline, 2 nothing drawn
    int action_parts_display = 0;
    int comment_display{};  // 1: the hover popup shows
    double comment_text_factor{};
    int texture_option = 0;
    int edit_flag = 0;
    int ground_grid_switch = 0;
    _OfuPosition* ground_grid_shape = nullptr;
    std::uint32_t sky_color = 0x808080;
    _OfuPosition* sky_shape = nullptr;  // the ground grid drawn in the sky colour
    _OfuPosition* handle_markers[5] = {};
    // Section plane: point, three axes, the chosen one and its side, cap colour 0..255.
    int section_switch = 0, section_defined = 0;
    double section_point[3] = {};
    double section_axes[3][3] = {};
    int section_axis = 0, section_side = 0;
    double section_cap_color[3] = {255.0, 0.0, 0.0};
    int unit_depth = 0;          // unit files above the item the colour walk is at
    int scene_stats[4][3] = {};  // trunks, parts, faces, triangles x hidden, visible, shown
    int face_total = 0;
};

}  // namespace kz::view
