// The eye and camera part of the view's state: the eye record, the lens, the running eye move, the item or part
// the eye follows, stereo and walk factors, and the scene's extent the eye moves measure by.
#pragma once
#include "app/foundation/date_time.h"
#include "app/foundation/eye_record.h"

namespace kz::scene {
class XTrunk;
}

namespace kz::view {

using kz::foundation::SystemTime;

// The running eye move: an animated eye move (no target item) or a camera-entry move to an item's camera part.
struct CameraMove {
    int active = 0;
    int first_step = 0;
    int target_item = -1;
    int hidden_item = -1, hidden_display = 0;
    int end_on_camera_part = 0, remembered_view_mode = 0;
    SystemTime start{};
    double duration_ms = 0.0;
    int easing = 0;
    double start_eye[3] = {}, end_eye[3] = {};
    double start_target[3] = {}, end_target[3] = {};
    double start_lens = 0.0, end_lens = 0.0;
    double value = 0.0;    // handed through to the interpolation
    double times[2] = {};  // the camera entry's pair of time values
};

// Fields declared `{}` get their start value from XView::InitDefaults; the rest start as declared.
struct ViewCamera {
    kz::foundation::EyeRecord* eye = nullptr;  // owned
    int base_lens{};                           // mm; the lens is this divided by the zoom
    double eye_move_time{};                    // seconds of the eye-set and next-camera moves
    double fit_time{};                         // seconds of the fitting and sky moves
    int immediate_eye_move = 0;                // 1: the next settings eye move happens at once
    int collision_check = 0;                   // 1: eye moves stop in front of obstacles
    double stereo_eye_distance{};              // the two eyes lie half of it to each side
    double stereo_factor{};                    // scales the stereo eye separation
    double walk_factor = 1.0;
    int walk_run_flag = 0;
    CameraMove camera_motion;  // the running eye move or camera-entry move
    int camera_move = 0;       // 1 while a camera-entry move runs
    int camera_entry_trunk = -1;
    kz::scene::XTrunk* camera_link_item = nullptr;   // the item whose placement follows the eye
    double camera_link_numbers[12] = {};             // origin xyz, offset xyz, divisor xyz, distance, two angle factors
    void* current_camera_part = nullptr;             // an XLeaves of the item the eye follows; null: the eye is free
    kz::scene::XTrunk* camera_part_owner = nullptr;  // the item of that part
    int next_camera_index = 1;                       // where the next-camera search goes on
    int search_index = 1;                            // where the camera-part search goes on
    double scene_radius = 0.0;                       // 0: not yet computed
    double scene_centre[3] = {};
};

}  // namespace kz::view
