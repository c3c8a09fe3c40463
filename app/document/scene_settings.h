// The scene settings the "set" lines carry and the per-frame state reads: background, light, shadow and site,
// the settings' eye, and the menu screen height.
#pragma once
#include <cstdint>
#include <string>

namespace kz::view {

// Fields declared `{}` get their start value from XView::InitDefaults, the shadow and light fields from
// XView::SetShadowDefaults; the rest start as declared.
struct SceneSettings {
    std::uint32_t background_color{};  // COLORREF
    double light_value{};              // light level
    double sun[3]{};                   // ambient, diffuse, specular
    double head[4]{};                  // ambient, diffuse, specular, "head gen"
    int shadow_display = 0;            // the shadow switch
    int shadow_precision = 0;
    std::uint32_t shadow_color{};
    double shadow_transparency{};
    double latitude{}, longitude{};
    double north_angle{};
    double shadow_date{};  // day of the year, 0-based
    double shadow_time{};  // hours of the day
    double settings_eye[3]{};
    double settings_target[3]{};
    double settings_lens{};
    int eye_point_given = 0;  // 1: the eye point line was read and the eye still has to go there
    int mesh_world = 0;
    double menu_screen_height{};  // the screen height the model's window-sized items were made for
    std::string last_light_path;
};

}  // namespace kz::view
