// The viewer's side of long work on the user-interface thread (reading figure, mesh and drawing files, laying a
// drawing on a face): every step asks whether to go on, and every few dozen milliseconds the windows are served.
#include <chrono>

#include "app/document/xview.h"
#include "platform/message_loop.h"

namespace kz::view {

namespace {

// Often enough that the window answers a close at once and repaints while it is dragged over.
constexpr auto kServeEvery = std::chrono::milliseconds(50);

void (*g_work_step_hook)() = nullptr;

}  // namespace

void set_work_step_hook_for_testing(void (*hook)()) { g_work_step_hook = hook; }

bool XView::KeepWorking() {
    if (document.guard.stopped()) return false;
    if (g_work_step_hook) g_work_step_hook();
    // A model that outgrows its memory budget is stopped like one that outgrows its counts.
    if (!document.guard.check_memory()) return false;
    const auto now = std::chrono::steady_clock::now();
    // A close already asked for is asked about again at every step, until the program is back in its loop.
    if (!document.close_pending && now - document.windows_served < kServeEvery) return true;
    document.windows_served = now;
    {
        // The windows repaint their last image (never the model half built) and a close is noted; input and
        // messages wait until the work is done.
        kz::platform::WaitScope wait;
        document.close_pending = !kz::platform::serve_windows_while_waiting();
    }
    if (!document.close_pending) return true;
    document.guard.stop(nullptr, "the window was closed");
    return false;
}

}  // namespace kz::view
