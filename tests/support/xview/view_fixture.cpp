// The recording parent window and the view fixture shared by the view tests.
#include "tests/support/xview/view_fixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/document/view_messages.h"
#include "app/foundation/timer_slots.h"
#include "app/scene/figure_record.h"
#include "app/scene/xtrunk.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "platform/message_loop.h"
#include "platform/shell.h"
#include "support/test_paths.h"

namespace kz::view::test {

namespace plat = kz::platform;

std::vector<RecordedMessage>& parent_log() {
    static std::vector<RecordedMessage> log;
    return log;
}

XView*& watched_view() {
    static XView* view = nullptr;
    return view;
}

plat::WindowHandle create_main_window(const char* class_name, plat::WindowProcedure procedure, const char* title) {
    plat::WindowClass c;
    c.name = class_name;
    c.procedure = procedure;
    plat::register_window_class(c);
    return plat::create_window(class_name, title, 0x02CF0000u, 0, 0, 200, 100, plat::desktop_window());
}

ScratchFolder::ScratchFolder(const std::string& name) : native(kz::test::output_dir() + "/" + name) {
    std::filesystem::remove_all(native);
    std::filesystem::create_directories(native);
    windows = plat::from_native_path(native) + "\\";
}

void ScratchFolder::write(const std::string& file, const std::string& text) const {
    std::filesystem::create_directories(std::filesystem::path(native + "/" + file).parent_path());
    std::ofstream(native + "/" + file, std::ios::binary) << text;
}

bool ScratchFolder::exists(const std::string& file) const { return std::filesystem::exists(native + "/" + file); }

namespace {

plat::LResult recording_parent(plat::WindowHandle window, std::uint32_t message, plat::WParam wparam,
                               plat::LParam lparam) {
    RecordedMessage m{message, wparam, lparam, {}, watched_view() ? watched_view()->input.button_state : -1};
    if (message == UM_VIEW_NOTIFY_LIST && lparam)
        m.text = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(lparam));
    parent_log().push_back(m);
    if (message < plat::WM_USER) return plat::default_window_procedure(window, message, wparam, lparam);
    return 0;
}

}  // namespace

void ViewTest::SetUp() {
    ASSERT_TRUE(plat::ensure_application());
    // No view test waits for a person or hands anything to the desktop.
    plat::set_dialog_test_mode(true);
    plat::set_shell_test_mode(true);
    // An earlier test's main window, destroyed, asked for a quit that no loop took: the program's loop would have
    // ended on it, and long work would stop on it here.
    if (plat::quit_requested()) plat::run_message_loop();
    plat::WindowClass c;
    c.name = "KzViewTestParent";
    c.procedure = recording_parent;
    plat::register_window_class(c);
    parent_window = plat::create_window("KzViewTestParent", "parent", plat::WS_OVERLAPPEDWINDOW, 0, 0, 320, 240,
                                        plat::desktop_window());
    ASSERT_NE(parent_window, nullptr);
    view = new XView(parent_window, nullptr);
    clock = std::make_unique<ManualViewClock>();
    view->SetClock(clock.get());
    watched_view() = view;
    parent_log().clear();
}

void ViewTest::TearDown() {
    watched_view() = nullptr;
    delete view;
    view = nullptr;
    plat::destroy_window(parent_window);
    kz::foundation::timer_release_all();
    parent_log().clear();
    plat::set_dialog_test_mode(false);
    plat::set_shell_test_mode(false);
}

std::vector<RecordedMessage> ViewTest::received(std::uint32_t message) const {
    std::vector<RecordedMessage> out;
    for (const RecordedMessage& m : parent_log())
        if (m.message == message) out.push_back(m);
    return out;
}

std::string example_model_path(const std::string& file) {
    const char* dir = std::getenv("KZ_SOURCE_DIR");
    std::string path = std::string("Z:") + (dir ? dir : ".") + "/examples/" + file;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::string sample_model_path() { return example_model_path("sample-room/room.fig"); }

int ViewTest::add_item(int parent_index, const char* name) {
    view->document.current_trunk_index = parent_index;
    return view->CreateTrunk(nullptr, nullptr, nullptr, nullptr, name);
}

void ViewTest::restart_view() {
    watched_view() = nullptr;
    delete view;
    view = new XView(parent_window, nullptr);
    view->SetClock(clock.get());
    watched_view() = view;
}

int ViewTest::item_named(const char* name) const {
    int found = -1;
    for (int i = 1; i < view->trunk_count(); ++i) {
        const XTrunk* t = view->document.trunks[i];
        if (t && t->base_record()->name && std::string(t->base_record()->name) == name) found = i;
    }
    return found;
}

}  // namespace kz::view::test
