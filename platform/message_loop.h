// Stands in for the thread's message queue and loops: the application object behind every window, the main
// loop with its quit request, and the one-step pump that camera animations and walk-throughs run while they hold
// the user-interface thread. Posted messages are Qt posted events; there is no per-window filtering, no idle
// processing and no accelerator handling.
#pragma once

namespace kz::platform {

// Creates the Qt application on first use (windows, dialogs, the clipboard and printing need it); the one
// instance lives until the process ends. Returns false when no platform plugin can be loaded.
bool ensure_application();

// Runs until a quit is requested; returns the code given to post_quit_message. A quit requested before the call
// ends it at once.
int run_message_loop();
// Asks the main loop to end with `code` once the current message returns. Nested pumps report it and leave it
// in place for the main loop.
void post_quit_message(int code);
bool quit_requested();

enum class PumpResult {
    nothing,          // no message was waiting
    dispatched,       // messages were delivered to their procedures
    close_requested,  // a window was asked to close meanwhile (its procedure has seen WM_CLOSE)
    quit_requested,   // a quit is pending: a nested loop should return
};
// Delivers every message and input event waiting now, without blocking, and says whether a nested loop should
// stop.
PumpResult pump_messages();

// While long work holds the user-interface thread (a unit file downloading, a large file being read): the windows
// repaint from their last image and a close request (the close box, or a posted WM_CLOSE) is noted rather than
// acted on; every other message, the mouse and the keys included, is held back meanwhile, so nothing reaches a
// half-built model or starts a second load over it. When the outermost scope ends, what was held is posted again
// in its order (input with the keys that were down with it) and a noted close goes on to its window as WM_CLOSE,
// so the window closes as soon as the program is back in its loop.
class WaitScope {
public:
    WaitScope();
    ~WaitScope();
    WaitScope(const WaitScope&) = delete;
    WaitScope& operator=(const WaitScope&) = delete;
};
// Serves the windows as a WaitScope allows, without blocking; false once a close was asked for during the wait or
// a quit is pending (the waiting work should stop).
bool serve_windows_while_waiting();

// Blocks the calling thread for at least `milliseconds`, as the animations' frame pacing sleeps between frames.
void sleep_milliseconds(unsigned milliseconds);

}  // namespace kz::platform
