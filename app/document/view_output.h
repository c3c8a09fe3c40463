// The output part of the view's state: the windows, their layout and device contexts, the bridge that owns the
// modeller, and what the view tells its parent window.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/device_context.h"
#include "platform/window.h"

namespace kz::foundation {
class CBusMDL;
}

namespace kz::view {

// Fields declared `{}` get their start value from XView::InitDefaults; the rest start as declared.
struct ViewOutput {
    void* instance = nullptr;                     // the program's module handle
    kz::platform::WindowHandle parent = nullptr;  // the main window
    kz::platform::WindowHandle view_window[2] = {nullptr, nullptr};
    std::unique_ptr<kz::platform::DeviceContext> view_dc[2];  // the view windows' device contexts
    kz::platform::WindowHandle comment_window = nullptr;      // the hover and attribute popup
    std::string comment_text;
    kz::foundation::CBusMDL* bridge = nullptr;  // owned; it owns the modeller
    int margin[4] = {0, 0, 0, 0};               // left, right, top, bottom
    int fixed_width = 0, fixed_height = 0;      // 0: the view fills the client area
    int layout_done = 0;
    int layout_width = 0, layout_height = 0;    // the last layout's size
    int window_layout = 0, applied_layout = 0;  // 0..3, and the one last applied
    double screen_scale{};                      // the eye record's window height over the menu screen height
    double draw_time = 0.0;                     // seconds the last redraw took
    int redraws_held = 0;                       // 1 while the program starts: the start file's model is drawn once
    int held_redraw_flag = 0;                   // what the held redraws asked for (1: refresh every item's marks)
    int notify_mode = 0;                        // 1: the notify list's first number goes out as 0
    // Start-up timing from outside: 1 while the program is to end at the first frame of its start model, and the
    // triangles of that model as the first frame after the read found them shown (-1 until then).
    int end_at_start_frame = 0;
    std::int64_t start_model_triangles = -1;
};

}  // namespace kz::view
