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
    std::uint32_t given_keys = 0;  // kGiven... bits: those of the kept settings that the open model's file gave
};

// Settings a new model does not reset: they stay as the model before left them unless the new model's file gives
// them. Bits of SceneSettings::given_keys.
inline constexpr std::uint32_t kGivenBackground = 1, kGivenShadowSwitch = 2, kGivenShadowPrecision = 4,
                               kGivenMeshWorld = 8, kGivenMenuScreenHeight = 16, kGivenLightPath = 32;

// The start values of those settings, as the view is built.
inline void reset_kept_settings(SceneSettings* s) {
    s->background_color = 0;
    s->shadow_display = 0;
    s->shadow_precision = 0;
    s->mesh_world = 0;
    s->menu_screen_height = 1000.0;
    s->last_light_path.clear();
}

// Where the eye stands or, while a move runs, where it is going: the place a save writes as the eye point.
struct EyePlace {
    double eye[3]{};
    double target[3]{};
    double lens = 0.0;
    bool operator==(const EyePlace&) const = default;
};

// A model opened through a figure set: the figure file's own settings (and eye) as its open left them, and
// those the set's lines made of them. A setting the session has left where the set put it is saved as the
// figure file's own value, so that the set's values never move into the figure file.
struct SetSettingsOverlay {
    int active = 0;  // 1 from a set's settings until the next model
    SceneSettings own;
    SceneSettings after_set;
    EyePlace own_eye;
    EyePlace set_eye;
};

}  // namespace kz::view
