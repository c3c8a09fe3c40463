// What the camera animations need of the program around them: a millisecond clock, a sleep, one cycle of the
// message pump and the device context of a window. The running host can be replaced (a fake clock in tests, the
// view's own window device contexts).
#pragma once
#include <cstdint>

#include "modeller/o3du_win_types.h"

enum class O3duPump {
    none,   // no message was waiting
    other,  // messages were delivered
    stop,   // a stop or close was asked for, or the program is quitting: the animation must end
};

class CO3duAnimationHost {
public:
    CO3duAnimationHost() = default;
    CO3duAnimationHost(const CO3duAnimationHost&) = delete;
    CO3duAnimationHost& operator=(const CO3duAnimationHost&) = delete;
    virtual ~CO3duAnimationHost() = default;

    // Milliseconds from an arbitrary start, wrapping at 2^32.
    virtual std::uint32_t time_get_time();
    virtual void sleep(unsigned milliseconds);
    // Delivers the waiting messages. A window close or a quit ends the animation; the quit itself stays pending for
    // the main loop.
    virtual O3duPump pump();
    // The device context to draw a frame of the window into: the one its owner set for it (its swap shows the
    // frame in the window); null when there is none (the camera still moves).
    virtual HDC get_dc(HWND window);
    virtual void release_dc(HWND window, HDC hdc);

    // Window procedures hand every message they receive here: the cancel command (WM_COMMAND with wParam 2 and
    // lParam 0) and a click on the close box stop the running animation at its next pump.
    void note_message(std::uint32_t message, std::uint64_t wparam, std::int64_t lparam);

private:
    bool stop_pending_ = false;
};

// The host animations use now.
CO3duAnimationHost& animation_host();

// Puts a host in place for its own lifetime and restores the previous one.
class CO3duAnimationHostScope {
public:
    explicit CO3duAnimationHostScope(CO3duAnimationHost& host);
    ~CO3duAnimationHostScope();
    CO3duAnimationHostScope(const CO3duAnimationHostScope&) = delete;
    CO3duAnimationHostScope& operator=(const CO3duAnimationHostScope&) = delete;

private:
    CO3duAnimationHost* previous_;
};
