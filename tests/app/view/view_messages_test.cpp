// Message dispatch of the view windows against a recording parent: forwarding of standard messages, passing on
// of private messages the view does not handle, the interaction commands, the tick, pause and resume, and the
// main window's own three private messages.
#include <gtest/gtest.h>

#include <string>

#include "app/foundation/heap_text.h"

#include "app/document/view_messages.h"
#include "app/foundation/timer_slots.h"
#include "app/view/program_entry.h"
#include "tests/support/xview/view_fixture.h"

namespace kz::view::test {
namespace {

namespace plat = kz::platform;
using ViewMessages = ViewTest;

TEST_F(ViewMessages, EveryStandardMessageReachesTheParentFirst) {
    const std::uint32_t messages[] = {plat::WM_MOUSEMOVE,   plat::WM_LBUTTONDOWN, plat::WM_LBUTTONUP,
                                      plat::WM_RBUTTONDOWN, plat::WM_MBUTTONDOWN, plat::WM_MBUTTONUP,
                                      plat::WM_SETCURSOR,   plat::WM_ERASEBKGND,  plat::WM_KEYDOWN};
    for (int w = 0; w < 2; ++w) {
        for (std::uint32_t m : messages) {
            parent_log().clear();
            view->input.button_state = 7;
            const plat::LParam l = plat::make_point_lparam(12, -3);
            plat::send_message(view->output.view_window[w], m, 0x1234, l);
            const auto got = received(UM_VIEW_FORWARD + m);
            ASSERT_EQ(got.size(), 1u) << std::hex << m << " window " << w;
            EXPECT_EQ(got[0].wparam, 0x1234u);
            EXPECT_EQ(got[0].lparam, l);
            // The parent sees the message before the view acts on it.
            EXPECT_EQ(got[0].button_state, 7);
        }
    }
    // Only the first view window drives the mouse state.
    view->input.button_state = 7;
    plat::send_message(view->output.view_window[1], plat::WM_MBUTTONUP, 0, 0);
    EXPECT_EQ(view->input.button_state, 7);
    plat::send_message(view->output.view_window[0], plat::WM_MBUTTONUP, 0, 0);
    EXPECT_EQ(view->input.button_state, 0);
}

TEST_F(ViewMessages, UnhandledPrivateMessagesGoToTheParentWithTheWindow) {
    const std::uint32_t passed[] = {0x5800, WIN_LAYOUT_A, WIN_LAYOUT_B, SELECT_OUT, 0x5FFE};
    for (int w = 0; w < 2; ++w) {
        for (std::uint32_t m : passed) {
            parent_log().clear();
            plat::send_message(view->output.view_window[w], m, 0xBEEF, 77);
            const auto got = received(m);
            ASSERT_EQ(got.size(), 1u) << std::hex << m;
            EXPECT_EQ(got[0].wparam, plat::handle_to_wparam(view->output.view_window[w]));
            EXPECT_EQ(got[0].lparam, 77);
        }
    }
    // Outside the private range nothing is passed on.
    parent_log().clear();
    plat::send_message(view->output.view_window[0], 0x6000, 1, 2);
    plat::send_message(view->output.view_window[0], 0x4FFF, 1, 2);
    EXPECT_TRUE(parent_log().empty());
}

TEST_F(ViewMessages, InteractionCommandsSetClassModeTargetAndBits) {
    struct Step {
        std::uint32_t message;
        int interaction_class, view_mode, target, bits;
    };
    const Step steps[] = {
        {VIEW_WALK, 1, 2, 0, 3},         {VIEW_HEAD, 1, 3, 0, 3},       {move_trunk_x + 2, 2, 3, 2, 4},
        {move_leaves_xy, 2, 3, 3, 3},    {rotate_trunk_z, 2, 3, 2, 32}, {rotate_trunk_x, 2, 3, 2, 40},
        {rotate_trunk_x, 2, 3, 2, 8},    {rotate_trunk_z, 2, 3, 2, 40}, {rotate_trunk_y, 2, 3, 2, 16},
        {rotate_leaves_yz, 2, 3, 3, 48}, {VIEW_CENTER, 3, 3, 0, 48},    {VIEW_CENTER, 1, 1, 0, 48},
        {VIEW_AROUND, 1, 1, 0, 48},
    };
    for (const Step& s : steps) {
        plat::send_message(view->output.view_window[0], s.message, 0, 0);
        EXPECT_EQ(view->input.interaction_class, s.interaction_class) << std::hex << s.message;
        EXPECT_EQ(view->input.view_mode, s.view_mode) << std::hex << s.message;
        EXPECT_EQ(view->input.target, s.target) << std::hex << s.message;
        EXPECT_EQ(view->input.tool_bits, s.bits) << std::hex << s.message;
    }
    EXPECT_TRUE(received(VIEW_WALK).empty());
}

TEST_F(ViewMessages, DisplayTogglesCycle) {
    EXPECT_EQ(view->display.selection_display_mode, 5);
    const int expected[] = {0, 1, 2, 0};
    for (int mode : expected) {
        plat::send_message(view->output.view_window[0], DISP_TRANSPA, 0, 0);
        EXPECT_EQ(view->display.selection_display_mode, mode);
    }
    plat::send_message(view->output.view_window[0], DISP_WIRE, 0, 0);
    EXPECT_EQ(view->display.wire_display, 1);
    plat::send_message(view->output.view_window[0], DISP_WIRE, 0, 0);
    EXPECT_EQ(view->display.wire_display, 0);
    plat::send_message(view->output.view_window[0], UM_VIEW_SET_BKCOLOR, 0, 0x336699);
    EXPECT_EQ(view->settings.background_color, 0x336699u);
}

TEST_F(ViewMessages, TickRunsTheScheduleAndRearmsWhileSomethingRuns) {
    const int slot = view->timeline.timer_slot;
    kz::foundation::timer_start(slot, 10.0);  // long period: the test drives the ticks itself
    kz::foundation::timer_callback(slot);     // the tick is posted and the slot disarmed
    EXPECT_FALSE(kz::foundation::timer_slot_armed(slot));
    view->timeline.keep_running = 1;
    clock->advance(40);
    plat::send_message(view->output.view_window[0], UM_VIEW_TICK, 0, 0);
    EXPECT_TRUE(kz::foundation::timer_slot_armed(slot));
    EXPECT_GT(kz::foundation::timer_slot_period(slot), 0u);
    SystemTime now;
    view->GetClockTime(&now);
    EXPECT_EQ(kz::foundation::time_diff_ms(view->timeline.schedule_time, now), 0);
    // Nothing left to animate: the slot stops and the clock offset goes back to 0.
    view->timeline.keep_running = 0;
    view->timeline.clock_offset_ms = 500.0;
    plat::send_message(view->output.view_window[0], UM_VIEW_TICK, 0, 0);
    EXPECT_EQ(kz::foundation::timer_slot_period(slot), 0u);
    EXPECT_DOUBLE_EQ(view->timeline.clock_offset_ms, 0.0);
    // A suspended schedule ignores the tick.
    view->timeline.schedule_suspended = 1;
    view->timeline.schedule_time = SystemTime{};
    plat::send_message(view->output.view_window[0], UM_VIEW_TICK, 0, 0);
    EXPECT_EQ(view->timeline.schedule_time.year, 0);
}

TEST_F(ViewMessages, PauseStopsAndResumeRestartsTheSlot) {
    const int slot = view->timeline.timer_slot;
    kz::foundation::timer_start(slot, 10.0);
    plat::send_message(view->output.view_window[0], PLAY_POSE, 0, 0);
    EXPECT_EQ(kz::foundation::timer_slot_period(slot), 0u);
    EXPECT_NE(view->timeline.pause_time.year, 0);
    clock->advance(2000);
    plat::send_message(view->output.view_window[0], PLAY_RESTART, 0, 0);
    EXPECT_EQ(kz::foundation::timer_slot_period(slot), 33u);  // 1 / 30 s
    EXPECT_EQ(view->timeline.pause_time.year, 0);
    EXPECT_DOUBLE_EQ(view->timeline.clock_offset_ms, 0.0);  // the paused span stays in the clock
    // Resume without a pause does nothing.
    kz::foundation::timer_stop(slot);
    plat::send_message(view->output.view_window[0], PLAY_RESTART, 0, 0);
    EXPECT_EQ(kz::foundation::timer_slot_period(slot), 0u);
    // The stop command stops the slot and clears the timed lists.
    kz::foundation::timer_start(slot, 10.0);
    view->timeline.timed_list[0].push_back(TimedEntry{kz::foundation::set_heap_string(nullptr, "x", nullptr, -1), 1});
    plat::send_message(view->output.view_window[0], PLAY_STOP, 0, 0);
    EXPECT_EQ(kz::foundation::timer_slot_period(slot), 0u);
    EXPECT_TRUE(view->timeline.timed_list[0].empty());
}

TEST_F(ViewMessages, NotificationListFollowsTheMode) {
    const int list[10] = {21779, 0, 2, 21781, 0, 0, 0, 0, 0, 0};
    view->SendNotifyList(list);
    view->output.notify_mode = 1;
    view->SendNotifyList(list);
    const auto got = received(UM_VIEW_NOTIFY_LIST);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].text, "21779,0,2,21781,0,0,0,0,0,0");
    EXPECT_EQ(got[1].text, "0,0,2,21781,0,0,0,0,0,0");
}

// The main window's procedure: the view handle query, the title, the ignored message and the wheel's guard.
TEST_F(ViewMessages, MainWindowAnswersTheViewQueryAndTheTitle) {
    const plat::WindowHandle main_window = create_main_window("KzViewTestMain", MainWindowProc, "kzview_oxu");
    ASSERT_NE(main_window, nullptr);
    g_view = view;
    parent_log().clear();
    plat::send_message(main_window, UM_QUERY_VIEW, plat::handle_to_wparam(parent_window), 0);
    const auto answer = received(UM_QUERY_VIEW);
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(answer[0].wparam, plat::handle_to_wparam(view->output.view_window[0]));
    EXPECT_EQ(answer[0].lparam, -1);

    const std::string title = "room.fig";
    plat::send_message(main_window, UM_SET_TITLE, 0, reinterpret_cast<plat::LParam>(title.c_str()));
    EXPECT_EQ(plat::window_text(main_window), "KZ3Dview room.fig");
    const std::string too_long(512, 'x');
    plat::send_message(main_window, UM_SET_TITLE, 0, reinterpret_cast<plat::LParam>(too_long.c_str()));
    EXPECT_EQ(plat::window_text(main_window), "KZ3Dview room.fig");
    const std::string longest(511, 'y');
    plat::send_message(main_window, UM_SET_TITLE, 0, reinterpret_cast<plat::LParam>(longest.c_str()));
    EXPECT_EQ(plat::window_text(main_window), "KZ3Dview " + longest);

    EXPECT_EQ(plat::send_message(main_window, UM_MAIN_IGNORED, 1, 2), 0);
    g_view = nullptr;
    plat::destroy_window(main_window);
}

}  // namespace
}  // namespace kz::view::test
