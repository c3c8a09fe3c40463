// The application object and the loops over Qt's event dispatching. Qt's own loop objects are not used: the main
// loop and the nested pump both call processEvents, so a quit requested inside a nested loop is still seen by the
// main loop when control returns to it.
#include "platform/message_loop.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QThread>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "platform/window.h"

namespace kz::platform {

namespace {

bool g_quit = false;
int g_quit_code = 0;

struct HeldMessage {
    WindowHandle window;
    std::uint32_t message;
    WParam wparam;
    LParam lparam;
    int modifiers;  // input: the keys held with it, as the window layer keeps them; -1: a posted message
};

// The wait in progress (scopes nest; the outermost one releases what was held).
struct Wait {
    int depth = 0;
    bool close_asked = false;
    WindowHandle close_window = nullptr;  // a close from the close box, to be handed on as WM_CLOSE
    std::vector<HeldMessage> held;
};
Wait g_wait;

}  // namespace

namespace detail {

bool waiting() { return g_wait.depth > 0; }

void hold_message(WindowHandle window, std::uint32_t message, WParam wparam, LParam lparam) {
    if (message == WM_CLOSE) g_wait.close_asked = true;
    g_wait.held.push_back({window, message, wparam, lparam, -1});
}

void hold_input(WindowHandle window, std::uint32_t message, WParam wparam, LParam lparam, int modifiers) {
    // Moves of the pointer that follow one another leave only the last, as the system's queue keeps them.
    if (message == WM_MOUSEMOVE && !g_wait.held.empty()) {
        HeldMessage& last = g_wait.held.back();
        if (last.message == WM_MOUSEMOVE && last.window == window && last.modifiers >= 0) {
            last = {window, message, wparam, lparam, modifiers};
            return;
        }
    }
    g_wait.held.push_back({window, message, wparam, lparam, modifiers});
}

void note_close_request(WindowHandle window) {
    g_wait.close_asked = true;
    if (!g_wait.close_window) g_wait.close_window = window;
}

}  // namespace detail

WaitScope::WaitScope() { ++g_wait.depth; }

WaitScope::~WaitScope() {
    if (--g_wait.depth > 0) return;
    Wait done = std::move(g_wait);
    g_wait = Wait{};
    for (const HeldMessage& m : done.held) {
        if (m.modifiers < 0)
            post_message(m.window, m.message, m.wparam, m.lparam);
        else
            detail::post_input(m.window, m.message, m.wparam, m.lparam, m.modifiers);
    }
    if (done.close_window) post_message(done.close_window, WM_CLOSE, 0, 0);
}

bool serve_windows_while_waiting() {
    // Every event is taken, the window system's close among them; the window layer holds the input back itself.
    if (QCoreApplication::instance() && qobject_cast<QApplication*>(QCoreApplication::instance()))
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    return !g_wait.close_asked && !g_quit;
}

bool ensure_application() {
    if (QCoreApplication::instance()) {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return false;
        detail::start_window_layer();
        return true;
    }
    static int argc = 1;
    static char name[] = "kzview";
    static char* argv[] = {name, nullptr};
    // Kept for the whole process and never deleted: Qt tears down process-wide objects of its own at exit that
    // the application's destructor would still use. The pointer keeps it reachable, so nothing counts as leaked.
    static QApplication* application = new QApplication(argc, argv);
    (void)application;
    QApplication::setQuitOnLastWindowClosed(false);
    detail::start_window_layer();
    return true;
}

int run_message_loop() {
    if (!ensure_application()) return 0;
    while (!g_quit) {
        detail::release_destroyed_windows();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    detail::release_destroyed_windows();
    g_quit = false;
    return g_quit_code;
}

void post_quit_message(int code) {
    g_quit = true;
    g_quit_code = code;
    // A loop waiting for events must look at the flag again.
    if (auto* dispatcher = QAbstractEventDispatcher::instance(QThread::currentThread())) dispatcher->wakeUp();
}

bool quit_requested() { return g_quit; }

PumpResult pump_messages() {
    if (!ensure_application()) return PumpResult::nothing;
    const auto closes_before = detail::close_request_count();
    const bool had_events = QCoreApplication::instance()->thread()->eventDispatcher() &&
                            QAbstractEventDispatcher::instance()->processEvents(QEventLoop::AllEvents);
    if (g_quit) return PumpResult::quit_requested;
    if (detail::close_request_count() != closes_before) return PumpResult::close_requested;
    return had_events ? PumpResult::dispatched : PumpResult::nothing;
}

void sleep_milliseconds(unsigned milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

}  // namespace kz::platform
