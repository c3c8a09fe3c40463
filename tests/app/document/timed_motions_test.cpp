// Timed part motions on the hand-driven clock: the eased values of each easing, chained starts, a motion of no
// duration, refused lines, poses and stages played over their time, and an item's motions gone with the item.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/document/view_messages.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/timer_slots.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "document_fixture.h"

namespace kz::view::test {
namespace {

class TimedMotions : public DocumentTest {
public:
    void SetUp() override {
        DocumentTest::SetUp();
        // Item 1 "door" with the recording part "leaf"; item 2 "lamp" with the part "bulb".
        load_text(view, trunk_line("door") + ",,,,,4\n" + shape_line("leaf") + ",,,,,,,4\n" + trunk_line("lamp") +
                            "\n" + shape_line("bulb") + "\n");
    }
    XLeaves* part(int item, int index) { return view->document.trunks.at(item)->parts.at(index); }
    SystemTime now() {
        SystemTime t;
        view->GetClockTime(&t);
        return t;
    }
    // Moves the clock on and lets the tick run, as the timer slot would.
    void tick_at(std::int64_t ms) {
        clock->advance(ms - elapsed_);
        elapsed_ = ms;
        kz::platform::send_message(view->output.view_window[0], UM_VIEW_TICK, 0, 0);
    }
    std::int64_t elapsed_ = 0;
};

TEST_F(TimedMotions, EachEasingReachesItsValuesOnTheClock) {
    const struct {
        int easing;
        double at[4];  // 0, 250, 500, 1000 ms
    } cases[] = {{0, {0, 43.75, 75, 100}}, {1, {0, 25, 50, 100}}, {2, {0, 6.25, 25, 100}}, {7, {0, 25, 50, 100}}};
    for (const auto& c : cases) {
        part(1, 1)->record->dx = 0.0;
        elapsed_ = 0;
        const std::string line = "leaf;dx;now;add100;0;1;" + std::to_string(c.easing);
        ASSERT_EQ(view->AddAction(line.c_str(), part(1, 1), now()), 0);
        view->StartViewTimer();
        const std::int64_t times[4] = {0, 250, 500, 1000};
        for (int k = 0; k < 4; ++k) {
            tick_at(times[k]);
            EXPECT_DOUBLE_EQ(part(1, 1)->record->dx, c.at[k]) << c.easing << " at " << times[k];
        }
        // The tick that finished the motion still counted it; the next one finds nothing and stops the timer.
        EXPECT_NE(kz::foundation::timer_slot_period(view->timeline.timer_slot), 0u) << c.easing;
        tick_at(1100);
        EXPECT_EQ(kz::foundation::timer_slot_period(view->timeline.timer_slot), 0u) << c.easing;
    }
}

TEST_F(TimedMotions, ChainedMotionsAndAMotionOfNoDuration) {
    part(1, 1)->record->action =
        kz::foundation::set_heap_string(part(1, 1)->record->action,
                                        "M;leaf;dx;0;100;0;1;1|M;leaf;dy;10;50;+1;1;1|M;bulb:x;rz;0;90;+0;0;1|"
                                        "M;-(bulb);rz;now;90;+0;0;1|M;leaf;dz;0;100;-0.5;1;1",
                                        nullptr, -1);
    ASSERT_EQ(view->FireLeafActions(1, 1, 1), 1);
    ASSERT_EQ(view->timeline.actions.size(), 3u);  // the bulb targets name no part of the own item
    // dz starts half a second before the start of dy before it: half a second after the click.
    const struct {
        std::int64_t ms;
        double dx, dy, dz;
    } steps[] = {{500, 50, 0, 0}, {1000, 100, 10, 50}, {1500, 100, 30, 100}, {2000, 100, 50, 100}};
    for (const auto& s : steps) {
        tick_at(s.ms);
        EXPECT_DOUBLE_EQ(part(1, 1)->record->dx, s.dx) << s.ms;
        EXPECT_DOUBLE_EQ(part(1, 1)->record->dy, s.dy) << s.ms;
        EXPECT_DOUBLE_EQ(part(1, 1)->record->dz, s.dz) << s.ms;
    }
    // A motion of no duration: set on the first tick after its start, placement and all.
    ASSERT_EQ(view->AddAction("nosuchpart;rz;now;90;0;0;1", part(2, 0), now()), -1);
    ASSERT_EQ(view->AddAction("bulb;rz;now;90;0;0;1", part(2, 0), now()), 0);
    tick_at(2001);
    EXPECT_DOUBLE_EQ(part(2, 1)->record->rz, 90.0);
    // The part's placement follows at once: its x axis turned onto y.
    EXPECT_NEAR(part(2, 1)->L[0], 0.0, 1e-9);
    EXPECT_NEAR(std::abs(part(2, 1)->L[1]), 1.0, 1e-9);
}

TEST_F(TimedMotions, LinesThatNameNoColumnAreRefused) {
    for (const char* column : {"-3", "45", "dq", "", "0"}) {
        const std::string line = std::string("leaf;") + column + ";0;1;0;1;1";
        EXPECT_EQ(view->AddAction(line.c_str(), part(1, 1), now()), -1) << column;
    }
    EXPECT_TRUE(view->timeline.actions.empty());
    EXPECT_EQ(view->AddAction("leaf;44;0;1;0;1;1", part(1, 1), now()), 0);
}

TEST_F(TimedMotions, DeletingAnItemTakesItsMotionsWithIt) {
    view->AddAction("leaf;dx;0;100;5;1;1", part(1, 1), now());
    view->AddAction("bulb;dx;0;100;5;1;1", part(2, 1), now());
    ASSERT_EQ(view->timeline.actions.size(), 2u);
    ASSERT_EQ(view->DeleteTrunk(1, 1), 1);
    ASSERT_EQ(view->timeline.actions.size(), 1u);
    EXPECT_EQ(view->timeline.actions[0].targets.at(0).item, 1);  // the lamp is item 1 now
    tick_at(6000);
    EXPECT_DOUBLE_EQ(part(1, 1)->record->dx, 100.0);
}

TEST_F(TimedMotions, PosesAndStagesPlayOverTheirDurations) {
    load_text(view, trunk_line("door") + ",,,,,4\n" + shape_line("leaf") + ",,,,,,,4\n" +
                        "pose3,1,2,1,open,leaf,0,0,0,0,0,90\nstage3,1,1,up,0,0,400,0,0,0[p]\n");
    XTrunk* door = view->document.trunks.at(1);
    EXPECT_EQ(door->FindAndPlayPose("open", 0.0, 0.0, 0, -1.0), 2.0);
    EXPECT_EQ(door->FindAndPlayPose("UP:x", 0.0, 0.0, 1, -1.0), 1.0);
    const struct {
        std::int64_t ms;
        double rz, z;
    } steps[] = {{500, 22.5, 200}, {1000, 45, 400}, {2000, 90, 400}};
    for (const auto& s : steps) {
        tick_at(s.ms);
        EXPECT_DOUBLE_EQ(part(1, 1)->record->rz, s.rz) << s.ms;
        EXPECT_DOUBLE_EQ(door->base_record()->dz, s.z) << s.ms;
    }
}

}  // namespace
}  // namespace kz::view::test
