// Stands in for the Windows window manager as the program uses it: window classes with a procedure, top-level,
// child and owned pop-up windows, sent and posted messages, the default procedure, and the input messages a Qt
// widget receives, translated with Windows' numbering and packing. It has no non-client area, no menus, no dialog
// manager and no system keys (Alt combinations are not delivered, as Windows routes them elsewhere).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kz::platform {

class DeviceContext;

// A window handle is an id, never a pointer, and no two windows get the same one in a process, as on Windows: a
// handle stays safe to pass after its window is gone (calls then do nothing, queued messages are dropped), and a
// later window never answers to it.
struct Window;  // never defined
using WindowHandle = Window*;
using WParam = std::uint64_t;
using LParam = std::int64_t;
using LResult = std::int64_t;
using WindowProcedure = LResult (*)(WindowHandle window, std::uint32_t message, WParam wparam, LParam lparam);

// Window handles travel inside message parameters (a sender in wParam, a view handle in an answer).
inline WParam handle_to_wparam(WindowHandle window) { return reinterpret_cast<std::uintptr_t>(window); }
inline WindowHandle handle_from_wparam(WParam value) {
    return reinterpret_cast<WindowHandle>(static_cast<std::uintptr_t>(value));
}

// Message numbers the program handles, with the system's values.
inline constexpr std::uint32_t WM_CREATE = 0x0001;
inline constexpr std::uint32_t WM_DESTROY = 0x0002;
inline constexpr std::uint32_t WM_SIZE = 0x0005;
inline constexpr std::uint32_t WM_PAINT = 0x000F;
inline constexpr std::uint32_t WM_CLOSE = 0x0010;
inline constexpr std::uint32_t WM_QUIT = 0x0012;
inline constexpr std::uint32_t WM_ERASEBKGND = 0x0014;
inline constexpr std::uint32_t WM_SETCURSOR = 0x0020;
inline constexpr std::uint32_t WM_NCLBUTTONDOWN = 0x00A1;
inline constexpr std::uint32_t WM_KEYDOWN = 0x0100;
inline constexpr std::uint32_t WM_COMMAND = 0x0111;
inline constexpr std::uint32_t WM_MOUSEMOVE = 0x0200;
inline constexpr std::uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr std::uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr std::uint32_t WM_LBUTTONDBLCLK = 0x0203;
inline constexpr std::uint32_t WM_RBUTTONDOWN = 0x0204;
inline constexpr std::uint32_t WM_RBUTTONUP = 0x0205;
inline constexpr std::uint32_t WM_RBUTTONDBLCLK = 0x0206;
inline constexpr std::uint32_t WM_MBUTTONDOWN = 0x0207;
inline constexpr std::uint32_t WM_MBUTTONUP = 0x0208;
inline constexpr std::uint32_t WM_MBUTTONDBLCLK = 0x0209;
inline constexpr std::uint32_t WM_MOUSEWHEEL = 0x020A;
inline constexpr std::uint32_t WM_DROPFILES = 0x0233;
inline constexpr std::uint32_t WM_USER = 0x0400;

inline constexpr WParam HTCLIENT = 1;
inline constexpr WParam HTCLOSE = 20;
inline constexpr WParam SIZE_RESTORED = 0;
inline constexpr int WHEEL_DELTA = 120;

// Key-state bits in the wParam of mouse messages.
inline constexpr WParam MK_LBUTTON = 0x0001;
inline constexpr WParam MK_RBUTTON = 0x0002;
inline constexpr WParam MK_SHIFT = 0x0004;
inline constexpr WParam MK_CONTROL = 0x0008;
inline constexpr WParam MK_MBUTTON = 0x0010;

// Virtual-key codes. Letters and digits are their upper-case ASCII codes.
inline constexpr int VK_LBUTTON = 0x01;
inline constexpr int VK_RBUTTON = 0x02;
inline constexpr int VK_MBUTTON = 0x04;
inline constexpr int VK_BACK = 0x08;
inline constexpr int VK_TAB = 0x09;
inline constexpr int VK_RETURN = 0x0D;
inline constexpr int VK_SHIFT = 0x10;
inline constexpr int VK_CONTROL = 0x11;
inline constexpr int VK_MENU = 0x12;
inline constexpr int VK_ESCAPE = 0x1B;
inline constexpr int VK_SPACE = 0x20;
inline constexpr int VK_PRIOR = 0x21;
inline constexpr int VK_NEXT = 0x22;
inline constexpr int VK_END = 0x23;
inline constexpr int VK_HOME = 0x24;
inline constexpr int VK_LEFT = 0x25;
inline constexpr int VK_UP = 0x26;
inline constexpr int VK_RIGHT = 0x27;
inline constexpr int VK_DOWN = 0x28;
inline constexpr int VK_INSERT = 0x2D;
inline constexpr int VK_DELETE = 0x2E;
inline constexpr int VK_NUMPAD0 = 0x60;
inline constexpr int VK_MULTIPLY = 0x6A;
inline constexpr int VK_ADD = 0x6B;
inline constexpr int VK_SUBTRACT = 0x6D;
inline constexpr int VK_DECIMAL = 0x6E;
inline constexpr int VK_DIVIDE = 0x6F;
inline constexpr int VK_F1 = 0x70;
inline constexpr int VK_OEM_PLUS = 0xBB;
inline constexpr int VK_OEM_COMMA = 0xBC;
inline constexpr int VK_OEM_MINUS = 0xBD;
inline constexpr int VK_OEM_PERIOD = 0xBE;

// Window styles: the kind of a window follows from them (child, pop-up, else top-level).
inline constexpr std::uint32_t WS_POPUP = 0x80000000u;
inline constexpr std::uint32_t WS_CHILD = 0x40000000u;
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000u;
inline constexpr std::uint32_t WS_CLIPCHILDREN = 0x02000000u;
inline constexpr std::uint32_t WS_OVERLAPPEDWINDOW = 0x00CF0000u;
inline constexpr std::uint32_t CS_DBLCLKS = 0x0008;

// Packing of coordinates as the system does it: signed 16-bit x in the low and y in the high word.
inline LParam make_point_lparam(int x, int y) {
    return static_cast<LParam>((static_cast<std::uint32_t>(static_cast<std::uint16_t>(y)) << 16) |
                               static_cast<std::uint16_t>(x));
}
inline int lparam_x(LParam value) { return static_cast<std::int16_t>(value & 0xFFFF); }
inline int lparam_y(LParam value) { return static_cast<std::int16_t>((value >> 16) & 0xFFFF); }

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
};
struct Point {
    int x = 0, y = 0;
};

// A window class; the background is the colour painted where the window has no image yet (COLORREF).
struct WindowClass {
    std::string name;
    std::uint32_t style = 0;
    WindowProcedure procedure = nullptr;
    std::uint32_t background = 0xFFFFFF;
    std::string icon;           // a resource name such as "IDI_KZVIEW"; empty for none
    bool arrow_cursor = false;  // the default procedure shows the arrow over such windows; else it leaves the cursor
};
// False when the name is already registered or the class has no procedure.
bool register_window_class(const WindowClass& window_class);

// Creates a window of a registered class: WS_CHILD makes a child of `parent`, WS_POPUP a pop-up owned by it,
// anything else a top-level window (a parent, the desktop included, then only owns it). The procedure gets
// WM_CREATE and then WM_SIZE before this returns; WS_VISIBLE shows the window. Null on an unknown class, or a
// child without a live parent, or when WM_CREATE answers -1. The title is Shift_JIS.
WindowHandle create_window(std::string_view class_name, std::string_view title, std::uint32_t style, int x, int y,
                           int width, int height, WindowHandle parent);
// Sends WM_DESTROY to the window and then its children and removes them; false for a window that is gone.
bool destroy_window(WindowHandle window);
bool is_window(WindowHandle window);
// The whole screen as a window that cannot be destroyed; top-level windows use it as their owner.
WindowHandle desktop_window();

// A direct synchronous call of the window's procedure on the calling (user-interface) thread; 0 for a window
// that is gone.
LResult send_message(WindowHandle window, std::uint32_t message, WParam wparam, LParam lparam);
// Queues the message for the window's procedure; safe from any thread. False when the window is gone or the
// layer is not started.
bool post_message(WindowHandle window, std::uint32_t message, WParam wparam, LParam lparam);
// What a procedure returns for messages it does not handle: WM_CLOSE destroys the window, WM_MOUSEWHEEL goes up
// to the parent, WM_SETCURSOR asks the parent first and otherwise shows the arrow, everything else gives 0.
LResult default_window_procedure(WindowHandle window, std::uint32_t message, WParam wparam, LParam lparam);

WindowHandle parent_window(WindowHandle window);
bool move_window(WindowHandle window, int x, int y, int width, int height, bool repaint);
// Moves without resizing (the pop-up comment window is pushed out of the pointer's way).
bool set_window_position(WindowHandle window, int x, int y);
bool show_window(WindowHandle window, bool visible);
bool is_window_visible(WindowHandle window);
Rect client_rect(WindowHandle window);
// In screen coordinates; for the desktop window, the screen.
Rect window_rect(WindowHandle window);
Point client_to_screen(WindowHandle window, Point point);
Point screen_to_client(WindowHandle window, Point point);
Point cursor_position();
bool set_window_text(WindowHandle window, std::string_view title_sjis);
std::string window_text(WindowHandle window);
void set_focus(WindowHandle window);
// Mouse capture: moves and releases reach the capturing window even outside it.
void set_capture(WindowHandle window);
void release_capture();
WindowHandle capture_window();
// Lets the window receive WM_DROPFILES.
void accept_dropped_files(WindowHandle window, bool accept);
// Asks for a WM_PAINT (not sent when a procedure only presents a new image).
void invalidate_window(WindowHandle window);
// The window that last received pointer input (a set cursor shows there).
WindowHandle pointer_window();

// Shows 32-bit BGRA pixels as the window's content and repaints it; `bgra` is the top row and a negative stride
// walks rows held bottom-up. The image keeps its size when the window is resized until the next one arrives.
// False for bad arguments or a window that is gone.
bool present_window_image(WindowHandle window, const std::uint8_t* bgra, int width, int height, int stride);
// Shows a window DC's frame (DeviceContext::backing_bytes) as the window's content and repaints it. The window
// shows the DC's pixels in place, not a copy: it keeps them alive (a resized or destroyed DC leaves the window its
// last frame) and shows later drawing into them at its next paint, which presenting again asks for, as swapping
// and GDI drawing do through the DC's present callback. False for a window that is gone.
bool present_window_frame(WindowHandle window, DeviceContext& dc);
// Benchmark hook: called after each image a window is given (null: none); timing a start up to its first frame.
void set_present_hook_for_testing(void (*hook)());

// The image the window shows, as last presented: top-down BGRA rows of width * 4 bytes. False when it has none.
bool window_image(WindowHandle window, std::vector<std::uint8_t>* bgra, int* width, int* height);

// Dropped files: the handle of WM_DROPFILES (its wParam) lists Shift_JIS names in Windows form.
using DropHandle = WParam;
// index 0xFFFFFFFF gives the count; else the length of the name and the name itself when `out` is given.
unsigned drop_query_file(DropHandle drop, unsigned index, std::string* out);
void drop_finish(DropHandle drop);

// Key state as the asynchronous key query reports it: 0x8000 when down. While a translated input message is
// dispatched, Shift, Ctrl and Alt come from that event; otherwise from the platform.
short async_key_state(int virtual_key);
// Test hook: holds a key down (1) or up (0) for async_key_state whatever the platform reports; -1 releases the key
// to the platform again (virtual key -1 with -1 releases every forced key).
void set_forced_key_state(int virtual_key, int down);

// The device context a window is drawn with, as a Windows class with its own DC keeps one (GetDC on such a
// window gives it back): its owner sets it, and code that has only the window, such as the camera animations,
// draws its frames through it. Not owned; null when none is set or the window is gone.
void set_window_dc(WindowHandle window, DeviceContext* dc);
DeviceContext* window_dc(WindowHandle window);

// Sizes, positions, points and images are in device pixels, as a Windows program aware of the display's scale
// sees them. The ratio of device pixels to the display's own units: 2 on a display scaled to 200 %. What the
// program gives in pixels to look a certain size (text heights, line widths) is multiplied by it.
double window_pixel_ratio(WindowHandle window);
double screen_pixel_ratio();

// Qt's widget behind a window, for the platform layer and tests only (a QWidget*, untyped here).
void* native_widget(WindowHandle window);

namespace detail {
// The message loop's view of the window layer.
void start_window_layer();            // on the user-interface thread, once the application exists
std::uint64_t close_request_count();  // WM_CLOSE deliveries so far
void release_destroyed_windows();     // frees what destroyed windows left while their events were running
// The window layer's view of a wait (message_loop's WaitScope): while one runs, posted messages, input and size
// changes are held back, a close is noted instead of acted on, windows repaint from their last image and dropped
// files are refused.
bool waiting();
void hold_message(WindowHandle window, std::uint32_t message, WParam wparam, LParam lparam);
// Input is held with the modifier keys of its event (the window layer's own encoding) and delivered with them.
void hold_input(WindowHandle window, std::uint32_t message, WParam wparam, LParam lparam, int modifiers);
void post_input(WindowHandle window, std::uint32_t message, WParam wparam, LParam lparam, int modifiers);
void note_close_request(WindowHandle window);
}  // namespace detail

}  // namespace kz::platform
