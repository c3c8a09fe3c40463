// WinMain and the main window's procedure: the start-up order, the full-screen frame around the view windows,
// the keys, wheel and dropped files it hands to the view, and the shut-down after the message loop.
#include "app/view/program_entry.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "app/document/view_messages.h"
#include "app/document/xview.h"
#include "app/foundation/paths.h"
#include "app/foundation/stroke_font.h"
#include "app/view/command_channel.h"
#include "platform/file_system.h"
#include "platform/message_loop.h"
#include "platform/report.h"

namespace kz::view {

namespace plat = kz::platform;

void* g_instance = nullptr;
plat::WindowHandle g_main_window = nullptr;
XView* g_view = nullptr;

namespace {

constexpr int kPath = kz::foundation::kPathBufferSize;

void on_dropped_files(plat::DropHandle drop) {
    std::string name;
    plat::drop_query_file(drop, 0, &name);
    plat::drop_finish(drop);
    if (!g_view || name.empty() || name.size() >= 1024) return;
    switch (kz::foundation::get_file_kind(name.c_str())) {
    case 1:
        g_view->OpenModel(name.c_str());
        g_view->SendTitle();
        break;
    case 2: {
        g_view->input.paste_image_name = name;
        const plat::Point p = plat::screen_to_client(g_view->output.view_window[0], plat::cursor_position());
        g_view->ToolPasteImage(static_cast<std::int64_t>(plat::make_point_lparam(p.x, p.y)));
        break;
    }
    default: break;  // drawings and unknown names are not opened here
    }
}

}  // namespace

plat::LResult MainWindowProc(plat::WindowHandle window, std::uint32_t message, plat::WParam wparam,
                             plat::LParam lparam) {
    switch (message) {
    case plat::WM_CREATE: return 0;
    case plat::WM_DESTROY: plat::post_quit_message(static_cast<int>(wparam)); return 0;
    case plat::WM_SIZE: {
        const int width = plat::lparam_x(lparam), height = plat::lparam_y(lparam);
        if (g_view && width >= 1 && height >= 1) {
            g_view->LayoutWindows(width, height);
            g_view->Redraw(0);
        }
        return plat::default_window_procedure(window, message, wparam, lparam);
    }
    case plat::WM_PAINT:
    case plat::WM_ERASEBKGND: return 0;
    case plat::WM_KEYDOWN:
        // Ctrl+S saves the model before any key of the view's own sees it.
        if (g_view && wparam == 'S' && XView::key_held(plat::VK_CONTROL)) {
            g_view->SaveModel();
            return 0;
        }
        if (g_view) g_view->OnKeyMessage(static_cast<int>(wparam));
        return 0;
    case plat::WM_MOUSEWHEEL: {
        const unsigned high = static_cast<unsigned>((wparam >> 16) & 0xFFFF);
        if (high == 0 || !g_view) return 0;
        const plat::Point p = plat::screen_to_client(g_view->output.view_window[0], plat::cursor_position());
        g_view->OnWheelMessage(0, static_cast<int>(high), p);
        return 0;
    }
    case plat::WM_DROPFILES: on_dropped_files(wparam); return 0;
    case UM_MAIN_IGNORED: return 0;
    case UM_QUERY_VIEW:
        if (g_view)
            plat::send_message(plat::handle_from_wparam(wparam), UM_QUERY_VIEW,
                               plat::handle_to_wparam(g_view->output.view_window[0]), -1);
        return 0;
    case UM_SET_TITLE: {
        const char* text = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(lparam));
        if (text && strnlen(text, 512) < 512) plat::set_window_text(window, std::string("KZ3Dview ") + text);
        return 0;
    }
    default: return plat::default_window_procedure(window, message, wparam, lparam);
    }
}

int WinMain(void* instance, void* previous_instance, const char* command_line, int show_command) {
    g_instance = instance;
    g_view = nullptr;
    // What the libraries have to say is the viewer's to say, under its name.
    plat::set_report_function(print_viewer_line);
    if (!plat::ensure_application()) return 0;

    // The user's own temporary folder; when it cannot be trusted the program runs without one (said on stderr).
    if (const std::string temp = plat::temp_path(); !temp.empty())
        plat::create_private_directory(temp + "kzview_tempp");

    const std::string program_path = plat::module_file_name();
    char folder[kPath] = {}, file[kPath] = {};
    kz::foundation::split_folder_and_file(program_path.c_str(), folder, file);
    const std::string program_folder = folder;

    char start_name[kPath] = {};
    kz::foundation::decode_path_from_file_name(file, start_name, ".fig");
    // The decorated copies share the program's stem and extension; the running program is never among them.
    std::string stem = file, extension;
    if (const std::size_t dot = stem.rfind('.'); dot != std::string::npos) {
        extension = stem.substr(dot);
        stem.resize(dot);
    }
    kz::foundation::delete_file_copies(folder, stem.c_str(), extension.c_str());

    if (!previous_instance) {
        plat::WindowClass c;
        c.name = "KZ3DviewMainWindow";
        c.procedure = MainWindowProc;
        c.icon = "IDI_KZVIEW";
        c.arrow_cursor = true;
        c.background = 0xFFFFFF;
        if (!plat::register_window_class(c)) return 0;
    }
    g_main_window =
        plat::create_window("KZ3DviewMainWindow", "kzview_oxu", 0x02CF0000u, 99, 50, 501, 350, plat::desktop_window());
    if (!g_main_window) return 0;
    plat::show_window(g_main_window, show_command != 0);
    plat::accept_dropped_files(g_main_window, true);

    kz::foundation::load_font_resource(nullptr);

    g_view = new XView(g_main_window, instance);
    // Nothing is drawn until the start file is in: the first frame shown is its model's, rendered once.
    g_view->output.redraws_held = 1;
    g_view->document.program_folder = program_folder;
    const plat::Rect client = plat::client_rect(g_main_window);
    g_view->LayoutWindows(client.right - client.left, client.bottom - client.top);
    g_view->display.selection_display_mode = 5;
    g_view->document.leave_without_asking = 1;
    const plat::Rect screen = plat::window_rect(plat::desktop_window());
    plat::move_window(g_main_window, 0, 0, screen.right, screen.bottom, true);

    ChooseStartFile(g_view, program_folder, start_name, command_line);
    // Start-up timing from outside (KZVIEW_EXIT_AFTER_FIRST_FRAME set): the program ends, as if it were closed,
    // at the first frame that shows the start model, from the one drawn below on.
    if (std::getenv("KZVIEW_EXIT_AFTER_FIRST_FRAME")) g_view->EndAtStartModelFrame();
    // A close that came while the start model opened ends the program before its first frame.
    if (!g_view->document.close_pending) {
        g_view->FireStartActions();
        // The start file's model and settings show at once, not only at the first tick or input.
        g_view->output.redraws_held = 0;
        g_view->Redraw(g_view->output.held_redraw_flag);
    }
    plat::set_focus(g_main_window);

    listen_for_programs(g_view);
    const int code = plat::run_message_loop();
    stop_listening_for_programs();

    delete g_view;
    g_view = nullptr;
    plat::destroy_window(g_main_window);
    g_main_window = nullptr;
    return code;
}

}  // namespace kz::view
