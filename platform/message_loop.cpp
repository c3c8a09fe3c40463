// The application object and the loops over Qt's event dispatching. Qt's own loop objects are not used: the main
// loop and the nested pump both call processEvents, so a quit requested inside a nested loop is still seen by the
// main loop when control returns to it.
#include "platform/message_loop.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QThread>
#include <chrono>
#include <thread>

#include "platform/window.h"

namespace kz::platform {

namespace {

bool g_quit = false;
int g_quit_code = 0;

}  // namespace

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
