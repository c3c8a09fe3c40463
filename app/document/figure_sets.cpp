// Figure set files: the "figfile" line naming the figure file to open and the "set" lines applied after it,
// which override the figure file's own settings.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>

#include "app/document/xview.h"
#include "app/foundation/field_tokenizer.h"
#include "app/foundation/paths.h"
#include "app/foundation/sjis_string.h"
#include "platform/file_system.h"

namespace kz::view {

namespace fnd = kz::foundation;

namespace {

constexpr int kPath = fnd::kPathBufferSize;
// A set file is a handful of lines; anything larger is not one.
constexpr std::size_t kMaxSetFileBytes = std::size_t(16) << 20;
constexpr std::size_t kSetLineBytes = 4095;

// Calls `each` with the first item and the rest of every line (lines longer than 4095 bytes come in pieces) until
// it returns false.
void walk_set_lines(const std::string& bytes, const std::function<bool(const std::string&, const char*)>& each) {
    static const fnd::FieldSeparators seps("\t", ",");
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = bytes.size();
        for (std::size_t piece = pos; piece < end || piece == pos; piece += kSetLineBytes) {
            const std::string line = bytes.substr(piece, std::min(kSetLineBytes, end - piece));
            if (line.find('\0') != std::string::npos) break;
            char item[256] = {};
            int p = 0, len = 0;
            const int next = fnd::get_field(line.c_str(), p, len, seps, item, sizeof item);
            if (next >= 0 && !each(item, line.c_str() + next)) return;
            if (end - piece <= kSetLineBytes) break;
        }
        pos = end + 1;
    }
}

}  // namespace

// Reads a set file given by the caller's name into `bytes`; false (reported) when it cannot be had.
static bool read_set_file(XView* view, const char* path, std::string* bytes) {
    const std::string base = base_folder_of(view->document.base_folder);
    char full[kPath] = {}, local[kPath] = {};
    fnd::resolve_relative_path(full, path, base.c_str(), 0);
    view->MapDataName(full, local);
    std::string why;
    if (!kz::platform::read_whole_file(local, bytes, kMaxSetFileBytes, &why)) {
        report_unit_problem(path, ("figure set file cannot be read: " + why).c_str());
        return false;
    }
    return true;
}

int XView::FindStartFigFile(const char* path, char* figure_name) {
    if (figure_name) *figure_name = '\0';
    if (!path || !*path) return 0;
    char folder[kPath] = {};
    fnd::split_folder_and_file(path, folder, nullptr);
    std::string bytes;
    if (!read_set_file(this, path, &bytes)) return 0;
    walk_set_lines(bytes, [&](const std::string& item, const char* value) {
        if (fnd::compare_nocase(item.c_str(), "figfile") != 0) return true;
        char name[kPath] = {};
        fnd::copy_string_bounded(name, value, kPath);
        fnd::trim_blanks_quotes(name);
        if (figure_name && *name) fnd::resolve_relative_path(figure_name, name, folder, 0);
        return false;
    });
    return 1;
}

int XView::LoadStartSettings(const char* path) {
    if (!path || !*path) return 0;
    std::string bytes;
    if (!read_set_file(this, path, &bytes)) return 0;
    // The figure file keeps its own settings: a save writes them back, not the set's (XView::WriteSettings).
    SetSettingsOverlay& overlay = document.set_overlay;
    if (!overlay.active) {
        overlay.own = settings;
        overlay.own_eye = EyeHeading();
        // What the figure file did not give is its start value, not what an earlier model left.
        SceneSettings start;
        reset_kept_settings(&start);
        SceneSettings& own = overlay.own;
        const std::uint32_t given = own.given_keys;
        if (!(given & kGivenBackground)) own.background_color = start.background_color;
        if (!(given & kGivenShadowSwitch)) own.shadow_display = start.shadow_display;
        if (!(given & kGivenShadowPrecision)) own.shadow_precision = start.shadow_precision;
        if (!(given & kGivenMeshWorld)) own.mesh_world = start.mesh_world;
        if (!(given & kGivenMenuScreenHeight)) own.menu_screen_height = start.menu_screen_height;
        if (!(given & kGivenLightPath)) own.last_light_path = start.last_light_path;
    }
    const int eye_was_given = settings.eye_point_given;
    settings.eye_point_given = 0;
    walk_set_lines(bytes, [&](const std::string& item, const char* value) {
        if (fnd::compare_nocase(item.c_str(), "set") == 0) ApplySetting(value);
        return true;
    });
    overlay.after_set = settings;
    overlay.active = 1;
    if (settings.eye_point_given) {
        // Where the set's eye point will take the eye (XView::GoToStartEye).
        EyePlace& e = overlay.set_eye;
        std::copy(settings.settings_eye, settings.settings_eye + 3, e.eye);
        std::copy(settings.settings_target, settings.settings_target + 3, e.target);
        e.lens =
            std::fmin(std::fmax(settings.settings_lens > 0.0 ? settings.settings_lens : EyeHeading().lens, 1.0), 600.0);
    } else {
        overlay.set_eye = overlay.own_eye;
        settings.eye_point_given = eye_was_given;
    }
    return 1;
}

}  // namespace kz::view
