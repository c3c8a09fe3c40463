// The viewer's own main with a pause of 60 ms in every step of long work: the busy-window test's small files keep
// it as busy as huge ones would.
#include <chrono>
#include <thread>

#include "app/document/xview.h"

namespace {

const bool g_paused = [] {
    kz::view::set_work_step_hook_for_testing([] { std::this_thread::sleep_for(std::chrono::milliseconds(60)); });
    return true;
}();

}  // namespace
