// The viewer with a pause of 60 ms in every step of long work, for the test that closes its window while it opens
// a model: the test's small files keep it as busy as huge ones would. The program is the viewer's own main with
// this file linked in beside it.
#include <chrono>
#include <thread>

#include "app/document/xview.h"

namespace {

const bool g_paused = [] {
    kz::view::set_work_step_hook_for_testing([] { std::this_thread::sleep_for(std::chrono::milliseconds(60)); });
    return true;
}();

}  // namespace
