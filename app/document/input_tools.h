// The input and tools part of the view's state: the interaction state words, the selection, the mouse and drag
// state of the tools, the left-press timings, and the face tools' paste settings.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "app/scene/xleaves.h"
#include "platform/window.h"

namespace kz::view {

// The drag plane (local axes at the hit point), the last drag point and its copy, and the stored drag pick.
struct DragPlane {
    double matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    double point[3] = {};
    double normal[3] = {0, 0, 1};
    double last[3] = {};
    double last_copy[3] = {};
    int pick_trunk = -1, pick_part = -1, pick_face = -1;
    double pick_height = 0.0;
};

// The press, last and current points, the hover cursor state and the points of an item drag. The state word
// itself (bit 1 left down, 4 moved; 2 after a release, 8 after a double click, 16 Ctrl middle press) is
// InputTools::button_state, which the window procedure also writes.
struct MouseState {
    kz::platform::Point press{}, last{}, current{};
    int hover = 0;  // 0 none, 1 finger one, 2 finger double, 3 finger alt, 4 finger move
    // A hover move waiting for its pick: its point and popup mode (0 hide, 1 comment, 2 attributes).
    int hover_pending = 0;
    kz::platform::Point hover_point{};
    int hover_popup = 0;
    int clicked_item = 0, clicked_part = 0;
    double tool_reference[3] = {};
    double drag_start[3] = {};
    double drag_origin[3] = {};
    int selected_face_count = 0;
    int near_target_at_press = 0;
};

// Fields declared `{}` get their start value from XView::InitDefaults; the rest start as declared.
struct InputTools {
    int interaction_class{};  // 1 camera, 2 tools, 3 centre pick
    int view_mode{};          // 1 around, 2 walk, 3 head
    int target{};             // 0 none, 2 item, 3 part, 4 pasted image
    int tool_bits{};          // 1 x, 2 y, 4 z, 8, 16, 32 rotation about x, y, z
    // 1: a tool taken for one click returns to the camera class on release; 2: a link tag runs a command.
    int tool_origin_state{};
    int last_tool_id = 0;  // the face tool used last (Alt+click repeats it)
    int last_key = 0;
    int selected_trunk{}, selected_part{}, selected_face{};
    int selected_line = -1;  // the selected item's line in its file
    double selected_position[3] = {};
    int button_state{};  // the state word of MouseState's comment
    MouseState mouse;    // press/last/current points, hover state and drag points
    DragPlane drag;      // the drag plane, last drag points and the stored drag pick
    kz::platform::Point tool_point{};
    double alt_drag_step{};
    double window_item_scale = 1.0;  // pixels per window unit, for items drawn in window coordinates
    int second_set = 0;              // 1: the part steps work on the second set of columns
    // The left press's handling time and its time to the first move, and the press being timed.
    double press_handling_seconds = 0.0, press_to_move_seconds = 0.0;
    std::int64_t press_start = 0, press_frequency = 0;
    int press_pending = 0;
    // The face tools' paste: 1 while a paste list is rebuilt, the range the O key cycles, the image to paste.
    int face_paste = 0;
    int image_paste_range{};
    std::string paste_image_name;
    int paste_size_switch = 0;
    double paste_size[2] = {};
    // The faces of the shape picked last, made for that pick when the shape keeps none: the face a pick returns
    // lives until the next pick, and picking shape after shape leaves none of them holding faces.
    std::optional<kz::scene::XLeaves::FaceWalk> picked_faces;
};

}  // namespace kz::view
