// Windows, sent and posted messages, the main loop and the nested pump, on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QWidget>
#include <atomic>
#include <thread>
#include <tuple>

#include "platform/timer.h"
#include "tests/platform/ui_test_support.h"

namespace kz::platform {
namespace {

using kz::test::seen;
using kz::test::seen_of;

constexpr std::uint32_t kA = WM_USER + 1, kB = WM_USER + 2, kC = WM_USER + 3, kD = WM_USER + 4, kE = WM_USER + 5;

std::vector<std::uint32_t> user_messages() {
    std::vector<std::uint32_t> out;
    for (const auto& s : seen())
        if (s.message >= WM_USER) out.push_back(s.message);
    return out;
}

class WindowMessages : public ::testing::Test {
protected:
    void SetUp() override { kz::test::register_test_classes(); }
    void TearDown() override {
        kz::test::message_hook() = nullptr;
        if (window_) destroy_window(window_);
    }
    WindowHandle make(std::uint32_t style = WS_OVERLAPPEDWINDOW) {
        window_ = create_window("KzTestWindow", "test", style, 10, 10, 120, 80, desktop_window());
        return window_;
    }
    WindowHandle window_ = nullptr;
};

TEST_F(WindowMessages, CreationSendsCreateThenSizeAndUnknownClassFails) {
    WindowHandle w = make();
    ASSERT_NE(w, nullptr);
    ASSERT_GE(seen().size(), 2u);
    EXPECT_EQ(std::tuple(seen()[0].message, seen()[1].message, lparam_x(seen()[1].lparam), lparam_y(seen()[1].lparam)),
              std::tuple(WM_CREATE, WM_SIZE, 120, 80));
    EXPECT_EQ(create_window("NoSuchClass", "x", 0, 0, 0, 10, 10, nullptr), nullptr);
    // A child needs a live parent.
    EXPECT_EQ(create_window("KzTestWindow", "x", WS_CHILD, 0, 0, 10, 10, nullptr), nullptr);
    WindowClass again;
    again.name = "KzTestWindow";
    again.procedure = kz::test::recording_procedure;
    EXPECT_FALSE(register_window_class(again));
}

TEST_F(WindowMessages, SendRunsAtOncePostsRunInOrderAfterIt) {
    WindowHandle w = make();
    seen().clear();
    kz::test::message_hook() = [w](const kz::test::Seen& s) -> LResult {
        if (s.message == kA) {
            send_message(w, kD, 0, 0);  // nested send runs inside A
            post_message(w, kE, 0, 0);  // queued behind B
        }
        return s.message == kC ? 42 : 0;
    };
    ASSERT_TRUE(post_message(w, kA, 1, 2));
    ASSERT_TRUE(post_message(w, kB, 3, 4));
    EXPECT_EQ(send_message(w, kC, 0, 0), 42);
    EXPECT_EQ(user_messages(), (std::vector<std::uint32_t>{kC}));
    kz::test::pump_until([] { return user_messages().size() == 5; });
    EXPECT_EQ(user_messages(), (std::vector<std::uint32_t>{kC, kA, kD, kB, kE}));
    EXPECT_EQ(std::tuple(seen_of(kA).at(0).wparam, seen_of(kB).at(0).lparam), std::tuple(1u, 4));
}

TEST_F(WindowMessages, PostsFromAnotherThreadArriveInOrder) {
    WindowHandle w = make();
    seen().clear();
    std::thread poster([w] {
        for (int i = 0; i < 200; ++i) post_message(w, kA, static_cast<WParam>(i), 0);
    });
    poster.join();
    ASSERT_TRUE(kz::test::pump_until([] { return seen_of(kA).size() == 200; }));
    const auto got = seen_of(kA);
    for (int i = 0; i < 200; ++i) EXPECT_EQ(got[i].wparam, static_cast<WParam>(i));
}

TEST_F(WindowMessages, SendFromAnotherThreadWaitsForTheUserInterfaceThread) {
    WindowHandle w = make();
    seen().clear();
    kz::test::message_hook() = [](const kz::test::Seen& s) -> LResult { return s.message == kA ? 99 : 0; };
    std::atomic<LResult> answer{0};
    std::thread sender([&] { answer = send_message(w, kA, 5, 6); });
    ASSERT_TRUE(kz::test::pump_until([&] { return answer.load() != 0; }));
    sender.join();
    EXPECT_EQ(answer.load(), 99);
    ASSERT_EQ(seen_of(kA).size(), 1u);
    EXPECT_EQ(seen_of(kA)[0].wparam, 5u);
}

TEST_F(WindowMessages, DestroyedWindowRefusesMessagesAndChildrenHearDestroyAfterParent) {
    WindowHandle parent = make();
    WindowHandle child = create_window("KzTestPlain", "child", WS_CHILD | WS_VISIBLE, 0, 0, 20, 20, parent);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(parent_window(child), parent);
    ASSERT_TRUE(post_message(parent, kA, 0, 0));  // still queued when the window goes
    seen().clear();
    ASSERT_TRUE(destroy_window(parent));
    window_ = nullptr;
    const auto destroys = seen_of(WM_DESTROY);
    ASSERT_EQ(destroys.size(), 2u);
    EXPECT_EQ(std::tuple(destroys[0].window, destroys[1].window), std::tuple(parent, child));
    EXPECT_EQ(std::tuple(is_window(parent), is_window(child)), std::tuple(false, false));
    EXPECT_EQ(send_message(child, kB, 0, 0), 0);
    EXPECT_FALSE(post_message(parent, kB, 0, 0));
    EXPECT_FALSE(destroy_window(parent));
    seen().clear();
    for (int i = 0; i < 20; ++i) pump_messages();
    EXPECT_TRUE(seen().empty());  // the message queued before the destruction is dropped
}

// Heap addresses come back at once after a free; a handle must not, or a message still queued for a window that
// is gone reaches the next window made.
TEST_F(WindowMessages, MessagesQueuedForADestroyedWindowNeverReachALaterOne) {
    for (int round = 0; round < 16; ++round) {
        WindowHandle old = create_window("KzTestPlain", "old", 0, 0, 0, 20, 20, desktop_window());
        ASSERT_TRUE(post_message(old, kA, 0, 0));
        ASSERT_TRUE(destroy_window(old));
        WindowHandle fresh = make();
        EXPECT_NE(fresh, old);
        kz::test::pump_until([] { return false; }, 3);
        EXPECT_TRUE(seen_of(kA).empty()) << "round " << round;
        destroy_window(fresh);
        window_ = nullptr;
    }
}

TEST_F(WindowMessages, MoveReportsTheNewSizeEvenWhenHidden) {
    WindowHandle w = make();  // not WS_VISIBLE
    seen().clear();
    ASSERT_TRUE(move_window(w, 0, 0, 300, 200, false));
    const auto sizes = seen_of(WM_SIZE);
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(std::tuple(lparam_x(sizes[0].lparam), lparam_y(sizes[0].lparam)), std::tuple(300, 200));
    const Rect r = client_rect(w);
    EXPECT_EQ(std::tuple(r.right, r.bottom), std::tuple(300, 200));
    seen().clear();
    move_window(w, 5, 5, 300, 200, false);  // same size: no report
    EXPECT_TRUE(seen_of(WM_SIZE).empty());
}

TEST_F(WindowMessages, TitlesCrossAsShiftJis) {
    WindowHandle w = make();
    const std::string title_sjis = "KZ3Dview \x8f\xb0";  // "KZ3Dview 床"
    ASSERT_TRUE(set_window_text(w, title_sjis));
    auto* widget = static_cast<QWidget*>(native_widget(w));
    EXPECT_EQ(widget->windowTitle(), QString::fromUtf8("KZ3Dview 床"));
    EXPECT_EQ(window_text(w), title_sjis);
}

// The program's nested loops (camera animation, walk-through): ticks and a posted stop message are delivered
// inside the loop; a second loop is ended by closing the window, whose destruction then ends the main loop.
TEST_F(WindowMessages, NestedPumpDeliversTicksAndStopThenCloseEndsItAndTheMainLoop) {
    constexpr std::uint32_t kStart = WM_USER + 10, kTick = WM_USER + 11, kStop = WM_USER + 12;
    WindowHandle w = make(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    std::atomic<int> posted_ticks{0};
    int ticks_first = 0, ticks_second = 0, loops = 0;
    bool stopped_by_message = false;
    PumpResult second_end = PumpResult::nothing;
    bool running = false;
    PeriodicTimer timer;
    timer.start(2, [&] {
        if (post_message(w, kTick, 0, 0)) ++posted_ticks;
    });
    kz::test::message_hook() = [&](const kz::test::Seen& s) -> LResult {
        switch (s.message) {
        case kStart: {
            ++loops;
            running = true;
            PumpResult r = PumpResult::nothing;
            while (running) {
                r = pump_messages();
                if (r == PumpResult::close_requested || r == PumpResult::quit_requested) break;
                sleep_milliseconds(1);
            }
            if (loops == 1) {
                stopped_by_message = !running && r != PumpResult::close_requested;
                post_message(w, kStart, 0, 0);
            } else {
                second_end = r;
            }
            return 0;
        }
        case kTick:
            if (loops == 1) {
                if (++ticks_first == 5) post_message(w, kStop, 0, 0);
            } else if (++ticks_second == 5) {
                static_cast<QWidget*>(native_widget(w))->close();  // the user closes the window
            }
            return 0;
        case kStop: running = false; return 0;
        case WM_DESTROY: post_quit_message(7); return 0;
        default: return default_window_procedure(s.window, s.message, s.wparam, s.lparam);
        }
    };
    post_message(w, kStart, 0, 0);
    EXPECT_EQ(run_message_loop(), 7);
    timer.stop();
    window_ = nullptr;
    EXPECT_EQ(loops, 2);
    EXPECT_TRUE(stopped_by_message);
    EXPECT_GE(ticks_first, 5);
    EXPECT_EQ(ticks_second, 5);
    EXPECT_TRUE(second_end == PumpResult::close_requested || second_end == PumpResult::quit_requested);
    EXPECT_EQ(std::tuple(is_window(w), seen_of(WM_CLOSE).size()), std::tuple(false, 1u));
}

TEST_F(WindowMessages, AWaitHoldsMessagesAndNotesACloseUntilItEnds) {
    for (bool close_box : {true, false}) {
        WindowHandle w = make();
        for (int i = 0; i < 5; ++i) pump_messages();
        seen().clear();
        {
            WaitScope wait;
            post_message(w, kA, 1, 0);
            EXPECT_TRUE(serve_windows_while_waiting());
            EXPECT_TRUE(user_messages().empty()) << "nothing but paint is served while waiting";
            if (close_box)
                static_cast<QWidget*>(native_widget(w))->close();
            else
                post_message(w, WM_CLOSE, 0, 0);
            EXPECT_FALSE(serve_windows_while_waiting()) << "the wait ends once a close was asked for";
            EXPECT_EQ(std::tuple(seen_of(WM_CLOSE).empty(), is_window(w)), std::tuple(true, true));
        }
        for (int i = 0; i < 5; ++i) pump_messages();
        EXPECT_EQ(user_messages(), std::vector<std::uint32_t>{kA}) << "held messages come after the wait";
        EXPECT_EQ(seen_of(WM_CLOSE).size(), 1u);
        EXPECT_FALSE(is_window(w)) << "the close goes on to the window";
    }
}

TEST_F(WindowMessages, QuitBeforeTheLoopEndsItAtOnce) {
    post_quit_message(3);
    EXPECT_TRUE(quit_requested());
    EXPECT_EQ(run_message_loop(), 3);
    EXPECT_FALSE(quit_requested());
}

TEST(PeriodicTimer, ClampsZeroPeriodAndStopJoins) {
    PeriodicTimer timer;
    std::atomic<int> ticks{0};
    ASSERT_TRUE(timer.start(0, [&] { ++ticks; }));
    EXPECT_EQ(std::tuple(timer.period_ms(), timer.running()), std::tuple(1u, true));
    while (ticks.load() < 3) std::this_thread::yield();
    timer.stop();
    const int after_stop = ticks.load();
    sleep_milliseconds(20);
    EXPECT_EQ(ticks.load(), after_stop);  // joined: nothing runs after stop
    EXPECT_EQ(std::tuple(timer.period_ms(), timer.running()), std::tuple(0u, false));
}

}  // namespace
}  // namespace kz::platform
