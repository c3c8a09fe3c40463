// The default animation host: the steady clock, the platform's sleep and message pump.
#include "modeller/camera/o3du_animation_host.h"

#include <chrono>

#include "platform/message_loop.h"
#include "platform/window.h"

namespace {

CO3duAnimationHost* g_host = nullptr;

}  // namespace

std::uint32_t CO3duAnimationHost::time_get_time() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void CO3duAnimationHost::sleep(unsigned milliseconds) { kz::platform::sleep_milliseconds(milliseconds); }

O3duPump CO3duAnimationHost::pump() {
    const kz::platform::PumpResult result = kz::platform::pump_messages();
    if (stop_pending_ || result == kz::platform::PumpResult::close_requested ||
        result == kz::platform::PumpResult::quit_requested) {
        stop_pending_ = false;
        return O3duPump::stop;
    }
    return result == kz::platform::PumpResult::dispatched ? O3duPump::other : O3duPump::none;
}

HDC CO3duAnimationHost::get_dc(HWND window) { return kz::platform::window_dc(window); }

void CO3duAnimationHost::release_dc(HWND, HDC) {}

void CO3duAnimationHost::note_message(std::uint32_t message, std::uint64_t wparam, std::int64_t lparam) {
    if ((message == kz::platform::WM_COMMAND && wparam == 2 && lparam == 0) ||
        (message == kz::platform::WM_NCLBUTTONDOWN && wparam == kz::platform::HTCLOSE))
        stop_pending_ = true;
}

CO3duAnimationHost& animation_host() {
    static CO3duAnimationHost fallback;
    return g_host ? *g_host : fallback;
}

CO3duAnimationHostScope::CO3duAnimationHostScope(CO3duAnimationHost& host) : previous_(g_host) { g_host = &host; }

CO3duAnimationHostScope::~CO3duAnimationHostScope() { g_host = previous_; }
