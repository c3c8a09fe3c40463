// The scene settings carried in "set" lines: applying one line (key and values) and writing the current values
// back as the "set" lines at the head of a saved top unit.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "app/document/xview.h"
#include "app/foundation/date_time.h"
#include "app/foundation/estring.h"
#include "app/foundation/field_tokenizer.h"
#include "app/foundation/number_text.h"
#include "app/foundation/sjis_string.h"
#include "app/scene/figure_record.h"
#include "platform/crt/c_numbers.h"

namespace kz::view {

namespace fnd = kz::foundation;

namespace {

const fnd::FieldSeparators& separators() {
    static const fnd::FieldSeparators seps("\t", ",");
    return seps;
}

// Walks the value fields of one line; an empty field gives the default handed in.
class ValueReader {
public:
    ValueReader(const char* text, int next) : text_(text), pos_(next) {}
    // A value the writers could not write back within the 110 bytes a number field holds (not finite, or of
    // 1e100 and beyond) is refused: it counts as an empty field.
    double number(double default_value) {
        int len = 0;
        const double v = fnd::get_field_double(text_, pos_, len, separators(), default_value);
        return std::isfinite(v) && std::fabs(v) < 1e100 ? v : default_value;
    }
    int integer(int default_value) {
        int len = 0;
        return fnd::get_field_int(text_, pos_, len, separators(), default_value);
    }
    int position() const { return pos_; }

private:
    const char* text_;
    int pos_;
};

int colour_byte(double v) { return kz::scene::truncate_to_int(v + 0.5) & 0xFF; }

// A path that reads back as it is: written bare, unless a separator in it would then end the field (its quotes,
// trimmed as it was read, protected it), then in quotes. One of the two reads back whatever a line gave.
std::string path_field(const std::string& path) {
    const std::string quoted = '"' + path + '"';
    char back[1024];
    int pos = 0, len = 0;
    fnd::get_field(path.c_str(), pos, len, separators(), back, sizeof back);
    return path == back ? path : quoted;
}

// Each value a "set" line writes: the session's where it moved away from the set's, else the figure file's own.
template <class T>
void own_unless_changed(T* now, const T& set, const T& own) {
    if (*now == set) *now = own;
}

void own_unless_changed(SceneSettings* now, const SceneSettings& set, const SceneSettings& own) {
    own_unless_changed(&now->background_color, set.background_color, own.background_color);
    for (int i = 0; i < 3; ++i) {
        own_unless_changed(&now->sun[i], set.sun[i], own.sun[i]);
        own_unless_changed(&now->head[i], set.head[i], own.head[i]);
    }
    own_unless_changed(&now->mesh_world, set.mesh_world, own.mesh_world);
    own_unless_changed(&now->menu_screen_height, set.menu_screen_height, own.menu_screen_height);
    own_unless_changed(&now->shadow_display, set.shadow_display, own.shadow_display);
    own_unless_changed(&now->shadow_precision, set.shadow_precision, own.shadow_precision);
    own_unless_changed(&now->shadow_transparency, set.shadow_transparency, own.shadow_transparency);
    own_unless_changed(&now->latitude, set.latitude, own.latitude);
    own_unless_changed(&now->longitude, set.longitude, own.longitude);
    own_unless_changed(&now->shadow_date, set.shadow_date, own.shadow_date);
    own_unless_changed(&now->shadow_time, set.shadow_time, own.shadow_time);
    own_unless_changed(&now->north_angle, set.north_angle, own.north_angle);
    own_unless_changed(&now->last_light_path, set.last_light_path, own.last_light_path);
}

}  // namespace

void XView::ApplySetting(const char* text) {
    if (!text || !*text) return;
    char key[64] = {};
    int pos = 0, len = 0;
    const int next = fnd::get_field(text, pos, len, separators(), key, sizeof key);
    auto is = [&](const char* k) {
        return len == static_cast<int>(std::strlen(k)) && fnd::compare_prefix_nocase(text + pos, k, len) == 0;
    };
    ValueReader v(text, next);
    SceneSettings& s = settings;
    if (is("haikei") || is("bgcolor")) {
        const int red = colour_byte(v.number(0.0));
        const int green = colour_byte(v.number(0.0));
        const int blue = colour_byte(v.number(0.0));
        settings.background_color = static_cast<std::uint32_t>(red + green * 256 + blue * 65536);
        s.given_keys |= kGivenBackground;
    } else if (is("sun amb")) {
        s.sun[0] = v.number(s.sun[0]);
    } else if (is("sun dif")) {
        s.sun[1] = v.number(s.sun[1]);
    } else if (is("sun spe")) {
        s.sun[2] = v.number(s.sun[2]);
    } else if (is("head amb")) {
        s.head[0] = v.number(s.head[0]);
    } else if (is("head dif")) {
        s.head[1] = v.number(s.head[1]);
    } else if (is("head spe")) {
        s.head[2] = v.number(s.head[2]);
    } else if (is("head gen")) {
        s.head[3] = 0.0;
    } else if (is("eye point")) {
        for (double& c : settings.settings_eye) c = v.number(0.0);
        for (double& c : settings.settings_target) c = v.number(0.0);
        settings.settings_lens = v.number(settings.settings_lens);
        s.eye_point_given = 1;
    } else if (is("mesh world")) {
        s.mesh_world = v.integer(1) != 0 ? 1 : 0;
        s.given_keys |= kGivenMeshWorld;
    } else if (is("menu_screen_height")) {
        settings.menu_screen_height = v.number(settings.menu_screen_height);
        s.given_keys |= kGivenMenuScreenHeight;
    } else if (is("shadow_disp_sw")) {
        settings.shadow_display = v.integer(settings.shadow_display);
        s.given_keys |= kGivenShadowSwitch;
    } else if (is("shadow_seisai")) {
        s.shadow_precision = v.integer(s.shadow_precision);
        s.given_keys |= kGivenShadowPrecision;
    } else if (is("shadow_trans")) {
        s.shadow_transparency = v.number(s.shadow_transparency);
    } else if (is("shadow_hokui")) {
        s.latitude = v.number(s.latitude);
        s.longitude = v.number(s.longitude);
    } else if (is("shadow_month")) {
        SystemTime now{};
        GetClockTime(&now);
        const int month = v.integer(now.month);
        const int day = v.integer(now.day);
        const int hour = v.integer(now.hour);
        const int minute = v.integer(now.minute);
        settings.shadow_date = fnd::month_day_to_day_of_year(month, day);
        settings.shadow_time = fnd::hour_minute_to_hours(hour, minute);
    } else if (is("north_angle")) {
        s.north_angle = v.number(s.north_angle);
    } else if (is("last_light_path")) {
        if (next < 0) return;  // nothing after the key: the stored path stays
        char path[1024] = {};
        int p = next, plen = 0;
        fnd::get_field(text, p, plen, separators(), path, sizeof path);
        s.last_light_path = path;
        s.given_keys |= kGivenLightPath;
    }
}

EyePlace XView::EyeHeading() const {
    EyePlace p;
    const CameraMove& move = camera.camera_motion;
    const double* eye = move.active ? move.end_eye : camera.eye ? camera.eye->eye : settings.settings_eye;
    const double* target = move.active ? move.end_target : camera.eye ? camera.eye->target : settings.settings_target;
    std::copy(eye, eye + 3, p.eye);
    std::copy(target, target + 3, p.target);
    // The lens as the eye takes it: a move's end lens is clamped when the move arrives.
    p.lens = std::fmin(std::fmax(move.active  ? move.end_lens
                                 : camera.eye ? camera.eye->lens
                                              : settings.settings_lens,
                                 1.0),
                       600.0);
    return p;
}

int XView::WriteSettings(fnd::EString* buffer, const char* separator) {
    if (!buffer) return 0;
    const std::string sep = separator ? separator : "\t";
    char line[1400];
    auto put = [&](const char* key, const std::string& values) {
        buffer->AppendParts("set", sep.c_str(), key, sep.c_str());
        buffer->AppendParts(values.c_str(), "\r\n");
    };
    auto fmt = [&](const char* format, double value) {
        kz::crt::c_snprintf(line, sizeof line, format, value);
        return std::string(line);
    };
    SceneSettings s = settings;
    const double* e = camera.eye ? camera.eye->eye : settings.settings_eye;
    const double* t = camera.eye ? camera.eye->target : settings.settings_target;
    double lens = camera.eye ? camera.eye->lens : settings.settings_lens;
    const SetSettingsOverlay& overlay = document.set_overlay;
    if (overlay.active) {
        // Opened through a figure set: what the session left as the set gave it goes back as the file's own.
        own_unless_changed(&s, overlay.after_set, overlay.own);
        if (EyeHeading() == overlay.set_eye)
            e = overlay.own_eye.eye, t = overlay.own_eye.target, lens = overlay.own_eye.lens;
    }
    put("haikei", kz::crt::int_text(s.background_color & 0xFF) + sep +
                      kz::crt::int_text((s.background_color >> 8) & 0xFF) + sep +
                      kz::crt::int_text((s.background_color >> 16) & 0xFF));
    const char* factor_keys[] = {"sun amb", "sun dif", "sun spe", "head amb", "head dif", "head spe"};
    const double factors[] = {s.sun[0], s.sun[1], s.sun[2], s.head[0], s.head[1], s.head[2]};
    for (int i = 0; i < 6; ++i) put(factor_keys[i], fmt("%5.3f", factors[i]));
    std::string eye_values;
    const double values[7] = {e[0], e[1], e[2], t[0], t[1], t[2], lens};
    for (int i = 0; i < 7; ++i) {
        char number[64];
        fnd::format_number(values[i], number, sizeof number);
        eye_values += (i ? sep : std::string()) + number;
    }
    put("eye point", eye_values);
    put("mesh world", kz::crt::int_text(s.mesh_world));
    put("menu_screen_height", fmt("%7.1f", s.menu_screen_height));
    put("shadow_disp_sw", kz::crt::int_text(s.shadow_display));
    put("shadow_seisai", kz::crt::int_text(s.shadow_precision));
    put("shadow_trans", fmt("%4.2f", s.shadow_transparency));
    put("shadow_hokui", fmt("%9.4f", s.latitude) + sep + fmt("%9.4f", s.longitude));
    int month = 1, day = 1, hour = 0, minute = 0;
    fnd::day_of_year_to_month_day(kz::scene::truncate_to_int(s.shadow_date), &month, &day);
    fnd::hours_to_hour_minute(s.shadow_time, &hour, &minute);
    put("shadow_month", kz::crt::int_text(month) + sep + kz::crt::int_text(day) + sep + kz::crt::int_text(hour) + sep +
                            kz::crt::int_text(minute));
    put("north_angle", fmt("%9.4f", s.north_angle));
    put("last_light_path", path_field(s.last_light_path));
    return 0;
}

}  // namespace kz::view
