// The view windows and the comment window: their classes, the table from a window to its view, and the handling
// of standard window messages, each reported to the parent window before the view acts on it.
#include <cstring>

#include "app/document/view_messages.h"
#include "app/document/xview.h"
#include "app/foundation/date_time.h"

namespace kz::view {

namespace plat = kz::platform;

namespace {

struct ViewWindowEntry {
    WindowHandle window = nullptr;
    XView* view = nullptr;
};
// Room for the two windows of the one view and a second view's, for the short overlap of a replacement.
constexpr int kViewWindowCapacity = 4;
ViewWindowEntry g_view_windows[kViewWindowCapacity];
int g_view_window_count = 0;

void add_view_window(WindowHandle window, XView* view) {
    if (!window) return;
    for (int i = 0; i < g_view_window_count; ++i)
        if (g_view_windows[i].window == window) return;
    if (g_view_window_count >= kViewWindowCapacity) return;
    g_view_windows[g_view_window_count++] = {window, view};
}

}  // namespace

void register_view_windows(XView* view) {
    for (WindowHandle w : view->output.view_window) add_view_window(w, view);
}

void unregister_view_windows(XView* view) {
    int kept = 0;
    for (int i = 0; i < g_view_window_count; ++i)
        if (g_view_windows[i].view != view) g_view_windows[kept++] = g_view_windows[i];
    for (int i = kept; i < g_view_window_count; ++i) g_view_windows[i] = {};
    g_view_window_count = kept;
}

XView* find_view_of_window(WindowHandle window) {
    for (int i = 0; i < g_view_window_count; ++i)
        if (g_view_windows[i].window == window) return g_view_windows[i].view;
    return nullptr;
}

int view_window_table_count() { return g_view_window_count; }

// A window class that gets double clicks; a second registration fails quietly.
static void register_double_click_class(const char* name, plat::WindowProcedure procedure, std::uint32_t background) {
    plat::WindowClass c;
    c.name = name;
    c.style = plat::CS_DBLCLKS;
    c.procedure = procedure;
    c.background = background;
    plat::register_window_class(c);
}

void XView::RegisterViewClass() { register_double_click_class("XviewWindow", XviewWndProc, 0x000000); }

void XView::RegisterCommentClass() { register_double_click_class("OXU comment window", CommentWndProc, 0xFFFFFF); }

LResult XviewWndProc(WindowHandle window, std::uint32_t message, WParam wparam, LParam lparam) {
    XView* view = find_view_of_window(window);
    if (!view) return plat::default_window_procedure(window, message, wparam, lparam);
    if (message < plat::WM_USER) return view->OnWindowMessage(window, message, wparam, lparam);
    if (message >= UM_VIEW_FIRST && message <= UM_VIEW_LAST)
        return view->OnViewMessage(window, message, wparam, lparam);
    return 0;
}

LResult CommentWndProc(WindowHandle window, std::uint32_t message, WParam wparam, LParam lparam) {
    // The pointer must never rest on the comment, or it would hide what it describes.
    if (message == plat::WM_MOUSEMOVE && g_view_window_count > 0 && g_view_windows[0].view)
        plat::set_window_position(g_view_windows[0].view->output.comment_window, -5000, -5000);
    return plat::default_window_procedure(window, message, wparam, lparam);
}

LResult XView::OnWindowMessage(WindowHandle window, std::uint32_t message, WParam wparam, LParam lparam) {
    plat::send_message(output.parent, UM_VIEW_FORWARD + message, wparam, lparam);
    if (message == plat::WM_ERASEBKGND) return 0;
    if (window != output.view_window[0]) return plat::default_window_procedure(window, message, wparam, lparam);
    switch (message) {
    case plat::WM_SETCURSOR: UpdateCursor(); break;
    case plat::WM_MOUSEMOVE:
        OnMouseMove(wparam, lparam);
        if (input.press_pending) {
            input.press_to_move_seconds = kz::foundation::perf_timer_seconds(input.press_frequency, input.press_start);
            input.press_pending = 0;
        }
        break;
    case plat::WM_LBUTTONDOWN:
        kz::foundation::start_perf_timer(&input.press_frequency, &input.press_start);
        input.press_pending = 1;
        OnLeftDown(lparam);
        input.press_handling_seconds = kz::foundation::perf_timer_seconds(input.press_frequency, input.press_start);
        break;
    case plat::WM_LBUTTONUP: OnLeftUp(lparam); break;
    case plat::WM_LBUTTONDBLCLK: OnLeftDoubleClick(lparam); break;
    case plat::WM_RBUTTONDOWN: OnRightDown(lparam); break;
    case plat::WM_MBUTTONDOWN: OnMiddleDown(lparam); break;
    case plat::WM_MBUTTONUP: input.button_state = 0; break;
    default: break;
    }
    return plat::default_window_procedure(window, message, wparam, lparam);
}

}  // namespace kz::view
