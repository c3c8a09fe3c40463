// Construction and destruction of the one view object, its defaults, the eye record and the small tables that
// belong to the object itself: kind names, the image-name table and item states.
#include "app/document/xview.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "app/document/view_messages.h"
#include "app/foundation/bus_mdl.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/timer_slots.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"

namespace kz::view {

namespace {

constexpr const char* kLinkBase = "http://www.kzview.example/kz3d/function/";

void set_kind_names(std::array<std::string, kKindNameCount>& names) {
    for (std::string& n : names) n.clear();
    const char* table[] = {"",         "trunk", "box",   "ball",  "hankyuu", "sui",
                           "cylinder", "poly",  "hpoly", "zpoly", "d3poly",  "kaiten"};
    for (int i = 0; i < 12; ++i) names[i] = table[i];
    names[20] = "refer";
    names[21] = "putref";
    names[22] = "pose";
    names[23] = "stage";
}

// World to view axes as the eye record keeps them: depth along the line of sight, then left, then up.
void compute_view_matrices(EyeRecord& e) {
    double f[3] = {e.target[0] - e.eye[0], e.target[1] - e.eye[1], e.target[2] - e.eye[2]};
    double len = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
    if (len < 1e-12) {
        f[0] = 1.0, f[1] = 0.0, f[2] = 0.0;
        len = 1.0;
    }
    for (double& v : f) v /= len;
    double left[3] = {-f[1], f[0], 0.0};  // up (0, 0, 1) x forward
    double ll = std::sqrt(left[0] * left[0] + left[1] * left[1]);
    if (ll < 1e-12) {
        left[0] = 0.0, left[1] = 1.0, ll = 1.0;  // looking straight up or down
    }
    for (double& v : left) v /= ll;
    const double up[3] = {f[1] * left[2] - f[2] * left[1], f[2] * left[0] - f[0] * left[2],
                          f[0] * left[1] - f[1] * left[0]};
    const double* axes[3] = {f, left, up};
    double* m = e.view_matrix;
    double* inv = e.inverse_view_matrix;
    for (int c = 0; c < 3; ++c) {
        for (int r = 0; r < 3; ++r) {
            m[r * 4 + c] = axes[c][r];
            inv[c * 4 + r] = axes[c][r];
        }
        m[12 + c] = -(e.eye[0] * axes[c][0] + e.eye[1] * axes[c][1] + e.eye[2] * axes[c][2]);
        m[c * 4 + 3] = 0.0;
        inv[c * 4 + 3] = 0.0;
        inv[12 + c] = e.eye[c];
    }
    m[15] = inv[15] = 1.0;
}

bool same_double(double a, double b) { return !std::isnan(a) && !std::isnan(b) && a == b; }

}  // namespace

XView::XView(WindowHandle parent_window, void* instance_handle) {
    output.instance = instance_handle;
    SetClock(nullptr);
    RegisterViewClass();
    RegisterCommentClass();
    // Empty when the user's private folder cannot be trusted: then nothing is downloaded or cached.
    document.temp_folder = kz::platform::temp_path();
    set_kind_names(document.kind_names);
    ClearTimings();
    output.parent = parent_window;
    InitDefaults();
    if (!document.temp_folder.empty()) {
        document.work_folder = document.temp_folder + "kz3d_temp";
        kz::platform::create_private_directory(document.work_folder);  // an existing folder is fine
    }
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    CreateEyeRecord();
    SetShadowDefaults();

    for (WindowHandle& w : output.view_window) {
        w = kz::platform::create_window("XviewWindow", "XVIEW", kz::platform::WS_CHILD | kz::platform::WS_VISIBLE, 0, 0,
                                        64, 64, output.parent);
    }
    register_view_windows(this);
    for (int i = 0; i < 2; ++i) {
        output.view_dc[i] = kz::platform::DeviceContext::create_window(64, 64);
        WindowHandle w = output.view_window[i];
        // The window shows the frame where it was read back: no copy between the read-back and the window.
        output.view_dc[i]->set_present_callback(
            [w](kz::platform::DeviceContext& dc) { kz::platform::present_window_frame(w, dc); });
        // The window's own device context: the modeller's walk-through and orbit draw their frames through it.
        kz::platform::set_window_dc(w, output.view_dc[i].get());
    }
    output.bridge = new CBusMDL(this);
    document.random_number = std::rand();
    document.folder_stack = kz::foundation::push_string_pair(nullptr, "", "");

    output.comment_window =
        kz::platform::create_window("OXU comment window", "COMMENTVIEW",
                                    kz::platform::WS_POPUP | kz::platform::WS_VISIBLE, 0, 0, 128, 64, output.parent);
    kz::platform::move_window(output.comment_window, 0, 0, 128, 64, true);
    kz::platform::show_window(output.comment_window, false);

    MakeRootTrunk();
    timeline.timer_slot = kz::foundation::timer_register(output.view_window[0], UM_VIEW_TICK);
    kz::foundation::timer_stop(timeline.timer_slot);
}

XView::~XView() {
    kz::foundation::timer_stop(timeline.timer_slot);
    // Our own lock files lie in the folder of the model in view; the folder stack below gives older folders back.
    RemoveOwnLockFiles();
    while (document.folder_stack && document.folder_stack->below) PopDataFolder();
    kz::foundation::free_string_pairs(document.folder_stack);
    document.folder_stack = nullptr;
    timeline.frame_rate = 30.0;
    ClearTimedLists();
    CloseScene();
    delete camera.eye;
    camera.eye = nullptr;
    delete output.bridge;
    output.bridge = nullptr;
    unregister_view_windows(this);
    for (int i = 0; i < 2; ++i) {
        kz::platform::set_window_dc(output.view_window[i], nullptr);
        output.view_dc[i].reset();
        kz::platform::destroy_window(output.view_window[i]);
        output.view_window[i] = nullptr;
    }
    document.base_folder = kz::foundation::free_and_null(document.base_folder);
    document.data_folder = kz::foundation::free_and_null(document.data_folder);
    document.data_file_name = kz::foundation::free_and_null(document.data_file_name);
    kz::platform::destroy_window(output.comment_window);
    output.comment_window = nullptr;
    FreeOwnedTables();
}

void XView::FreeOwnedTables() {
    for (char*& t : document.text_table) t = kz::foundation::free_and_null(t);
    document.text_table.clear();
    document.pushref_table.clear();
    document.image_names.clear();
    ClearNamedLists();
    ClearCommandBlocks();
    TruncateReferenceStack(0);
    document.range_lower.clear();
    document.range_upper.clear();
    document.user_name = kz::foundation::free_and_null(document.user_name);
}

// The start values of the fields the parts declare `{}`; each is written here and nowhere else.
void XView::InitDefaults() {
    camera.base_lens = 55;  // first: the settings' lens starts as the base lens
    camera.eye_move_time = 0.3;
    camera.fit_time = 0.3;
    camera.stereo_eye_distance = 65.0;
    camera.stereo_factor = 1.0;
    reset_kept_settings(&settings);
    settings.settings_eye[0] = 1.0, settings.settings_eye[1] = -2.0, settings.settings_eye[2] = 1.0;
    settings.settings_target[0] = settings.settings_target[1] = settings.settings_target[2] = 0.0;
    settings.settings_lens = camera.base_lens;
    input.interaction_class = 1;
    input.view_mode = 1;
    input.target = 0;
    input.tool_bits = 3;
    input.tool_origin_state = -1;
    input.selected_trunk = input.selected_part = input.selected_face = -1;
    input.button_state = 2;
    input.alt_drag_step = 10.0;
    input.image_paste_range = 3;
    display.selection_display_mode = 5;
    display.comment_display = 1;
    display.comment_text_factor = 1.0;
    document.link_base = kLinkBase;
    output.screen_scale = 1.0;
    timeline.frame_rate = 30.0;
}

void XView::CreateEyeRecord() {
    delete camera.eye;
    camera.eye = new EyeRecord{};
    ResetEye();
    camera.eye->pens[0] = kz::platform::Pen{kz::platform::kPsNull, 0, 0};
    camera.eye->pens[1] = kz::platform::Pen{kz::platform::kPsSolid, 1, 0x000000};
    camera.eye->pens[2] = kz::platform::Pen{kz::platform::kPsSolid, 1, 0xFFFFFF};
    camera.eye->pens[3] = kz::platform::Pen{kz::platform::kPsSolid, 1, 0xC8C8C8};
}

void XView::ResetEye() {
    if (!camera.eye) return;
    EyeRecord& e = *camera.eye;
    e.eye[0] = 100.0, e.eye[1] = -100.0, e.eye[2] = 100.0;
    e.target[0] = e.target[1] = e.target[2] = 0.0;
    e.screen_origin_x = e.screen_origin_y = 0;
    compute_view_matrices(e);
    e.window_left_factor = -1.6;
    e.window_bottom_factor = -1.0;
    e.window_width_factor = 3.2;
    SetZoom(1.0);
    e.pixels_per_unit = 200.0;
    e.two_sided = 1;
    e.light_intensity = 1.0;
    e.light_azimuth = 270.0;
    e.light_altitude = 45.0;
    const double az = e.light_azimuth * M_PI / 180.0, alt = e.light_altitude * M_PI / 180.0;
    e.light_direction[0] = std::cos(alt) * std::cos(az);
    e.light_direction[1] = std::cos(alt) * std::sin(az);
    e.light_direction[2] = std::sin(alt);
}

void XView::SetZoom(double zoom) {
    if (!camera.eye) return;
    double lens = zoom > 0.0 ? camera.base_lens / zoom : camera.base_lens;
    if (lens < 1.0) lens = 1.0;
    if (lens > 600.0) lens = 600.0;
    camera.eye->lens = lens;
    camera.eye->zoom_ratio = camera.base_lens / lens;
    SendTitle();
}

void XView::CopyEyeRecord(EyeRecord* destination, const EyeRecord* source) {
    if (destination && source && destination != source) *destination = *source;
}

int XView::SameTrunkState(const TrunkState& a, const TrunkState& b) {
    if (a.numbers.size() != b.numbers.size() || a.values.size() != b.values.size()) return 0;
    if (a.numbers != b.numbers || a.values != b.values) return 0;
    for (int i = 0; i < 5; ++i)
        if (!same_double(a.doubles[i], b.doubles[i])) return 0;
    return a.last[0] == b.last[0] && a.last[1] == b.last[1] ? 1 : 0;
}

const char* XView::KindName(int kind) const {
    return kind >= 0 && kind < kKindNameCount ? document.kind_names[kind].c_str() : "";
}

int XView::InternName(const char* name) {
    if (!name) name = "";
    const int found = FindImageName(name);
    if (found >= 0) return found;
    if (document.image_names.size() == document.image_names.capacity())
        document.image_names.reserve(document.image_names.size() + 100);
    document.image_names.emplace_back(name);
    return static_cast<int>(document.image_names.size()) - 1;
}

int XView::FindImageName(const char* name) const {
    if (!name) return -1;
    for (std::size_t i = 0; i < document.image_names.size(); ++i)
        if (document.image_names[i] == name) return static_cast<int>(i);
    return -1;
}

XTrunk* XView::TrunkAt(int index) { return index >= 0 && index < trunk_count() ? document.trunks[index] : nullptr; }

void XView::NotifyStageAdded() { kz::platform::send_message(output.parent, UM_VIEW_STAGE_ADDED, 0, 0); }

void XView::PushDataFolder() {
    document.folder_stack =
        kz::foundation::push_string_pair(document.folder_stack, document.data_folder, document.data_file_name);
}

void XView::PopDataFolder() {
    document.folder_stack =
        kz::foundation::pop_string_pair(document.folder_stack, &document.data_folder, &document.data_file_name);
}

}  // namespace kz::view
