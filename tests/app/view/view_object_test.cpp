// The view object itself: its state right after construction, the root item and a new model, the clock and
// interpolation over time, the timing slots and the image-name table.
#include <gtest/gtest.h>

#include <cmath>

#include "app/foundation/heap_text.h"

#include "app/foundation/timer_slots.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "tests/support/xview/view_fixture.h"

namespace kz::view::test {
namespace {

using ViewObject = ViewTest;

TEST_F(ViewObject, StartsInTheCameraClassWithNothingSelected) {
    EXPECT_EQ(view->input.interaction_class, 1);
    EXPECT_EQ(view->input.view_mode, 1);
    EXPECT_EQ(view->input.tool_bits, 3);
    EXPECT_EQ(view->input.target, 0);
    EXPECT_EQ(view->input.selected_trunk, -1);
    EXPECT_EQ(view->input.selected_part, -1);
    EXPECT_EQ(view->input.selected_face, -1);
    EXPECT_DOUBLE_EQ(view->camera.eye->lens, 55.0);
    EXPECT_DOUBLE_EQ(view->settings.settings_lens, 55.0);  // the settings' lens starts as the base lens
    EXPECT_DOUBLE_EQ(view->timeline.frame_rate, 30.0);
    EXPECT_DOUBLE_EQ(view->camera.eye->eye[0], 100.0);
    EXPECT_DOUBLE_EQ(view->camera.eye->eye[1], -100.0);
    EXPECT_DOUBLE_EQ(view->camera.eye->eye[2], 100.0);
    for (double t : view->camera.eye->target) EXPECT_DOUBLE_EQ(t, 0.0);
    // The view matrix puts the target straight ahead: no sideways or vertical offset, depth = eye distance.
    const double* m = view->camera.eye->view_matrix;
    const double depth = m[12], side = m[13], up = m[14];
    EXPECT_NEAR(depth, std::sqrt(3.0) * 100.0, 1e-9);
    EXPECT_NEAR(side, 0.0, 1e-9);
    EXPECT_NEAR(up, 0.0, 1e-9);
    // The slot exists but does not run.
    ASSERT_GE(view->timeline.timer_slot, 0);
    EXPECT_EQ(kz::foundation::timer_slot_period(view->timeline.timer_slot), 0u);
    EXPECT_EQ(view_window_table_count(), 2);
    EXPECT_EQ(find_view_of_window(view->output.view_window[1]), view);
}

TEST_F(ViewObject, KindNameTableHoldsTheRecordKinds) {
    const struct {
        int kind;
        const char* name;
    } table[] = {{0, ""},        {1, "trunk"},    {2, "box"},  {3, "ball"},   {4, "hankyuu"},
                 {5, "sui"},     {6, "cylinder"}, {7, "poly"}, {8, "hpoly"},  {9, "zpoly"},
                 {10, "d3poly"}, {11, "kaiten"},  {12, ""},    {20, "refer"}, {21, "putref"},
                 {22, "pose"},   {23, "stage"},   {31, ""},    {-1, ""},      {32, ""}};
    for (const auto& row : table) EXPECT_STREQ(view->KindName(row.kind), row.name) << row.kind;
}

TEST_F(ViewObject, NewModelHasOnlyTheRootWithItsHiddenBox) {
    add_item(0, "a");
    add_item(1, "b");
    view->document.user_name = kz::foundation::set_heap_string(nullptr, "someone", nullptr, -1);
    view->NewModel();
    ASSERT_EQ(view->trunk_count(), 1);
    XTrunk* root = view->document.trunks[0];
    EXPECT_STREQ(root->base_record()->name, "Root Trunk");
    EXPECT_EQ(root->index, 0);
    ASSERT_EQ(root->part_count(), 2);
    const kz::scene::COBJECTA* box = root->parts[1]->record;
    EXPECT_EQ(box->kind, 2);
    EXPECT_DOUBLE_EQ(box->w, 0.1);
    EXPECT_DOUBLE_EQ(box->d, 0.1);
    EXPECT_DOUBLE_EQ(box->h, 0.1);
    EXPECT_DOUBLE_EQ(box->trans, 1.0);
    EXPECT_EQ(root->parts[1]->line_number, -1);
    EXPECT_EQ(view->document.reference_stack.size(), 1u);
    EXPECT_EQ(root->changed, 0);
    EXPECT_EQ(view->document.current_trunk_index, 0);
    EXPECT_EQ(view->document.user_name, nullptr);
    ASSERT_EQ(view->document.image_names.size(), 1u);
    EXPECT_EQ(view->document.image_names[0], "clear");
    EXPECT_NE(view->display.sky_shape, nullptr);
}

// From 0 to 10 over 1000 ms, started at the clock's reading.
TEST_F(ViewObject, InterpolateAtTimeEasesEachWay) {
    const struct {
        int easing;
        double at_500;
    } table[] = {{0, 7.5}, {1, 5.0}, {2, 2.5}};
    for (const auto& row : table) {
        SystemTime start, now;
        view->timeline.clock_offset_ms = 0.0;
        view->GetClockTime(&start);
        double value = -99.0;
        EXPECT_EQ(view->InterpolateAtTime(start, 0.0, 10.0, start, 1000.0, &value, row.easing), 0);
        EXPECT_DOUBLE_EQ(value, 0.0) << row.easing;
        clock->advance(500);
        view->GetClockTime(&now);
        EXPECT_EQ(view->InterpolateAtTime(start, 0.0, 10.0, now, 1000.0, &value, row.easing), 0);
        EXPECT_DOUBLE_EQ(value, row.at_500) << row.easing;
        clock->advance(500);
        view->GetClockTime(&now);
        EXPECT_EQ(view->InterpolateAtTime(start, 0.0, 10.0, now, 1000.0, &value, row.easing), 1);
        EXPECT_DOUBLE_EQ(value, 10.0) << row.easing;
        // Before the start: -1 and the value left alone.
        value = 42.0;
        EXPECT_EQ(view->InterpolateAtTime(now, 0.0, 10.0, start, 1000.0, &value, row.easing), -1);
        EXPECT_DOUBLE_EQ(value, 42.0);
        // The clock offset counts against the elapsed time, in milliseconds.
        view->timeline.clock_offset_ms = 600.0;
        EXPECT_EQ(view->InterpolateAtTime(start, 0.0, 10.0, now, 1000.0, &value, 1), 0);
        EXPECT_DOUBLE_EQ(value, 4.0);
    }
}

// The clock starts at 23:59:59.500 on the last day of a month; stamps across the month end keep their distance.
TEST_F(ViewObject, ClockRunsAcrossAMonthEnd) {
    SystemTime before, after;
    view->GetClockTime(&before);
    clock->advance(1500);
    view->GetClockTime(&after);
    EXPECT_EQ(after.month, before.month == 12 ? 1 : before.month + 1);
    EXPECT_EQ(after.day, 1);
    EXPECT_EQ(after.second, 1);
    double value = 0.0;
    EXPECT_EQ(view->InterpolateAtTime(before, 0.0, 10.0, after, 3000.0, &value, 1), 0);
    EXPECT_DOUBLE_EQ(value, 5.0);
    // The clock offset moves the clock forward by milliseconds.
    view->timeline.clock_offset_ms = 250.0;
    SystemTime moved;
    view->GetClockTime(&moved);
    EXPECT_EQ(kz::foundation::time_diff_ms(after, moved), 250);
    EXPECT_EQ(view->timeline.clock_last_time.millisecond, moved.millisecond);
}

TEST_F(ViewObject, TimingSlotsAddOnlyWhileRunning) {
    view->BeginTiming(5);
    clock->advance(250);
    view->EndTiming(5);
    EXPECT_DOUBLE_EQ(view->timeline.timings[5].total_seconds, 0.25);
    EXPECT_EQ(view->timeline.timings[5].count, 1);
    clock->advance(100);
    view->EndTiming(5);  // no longer running
    EXPECT_DOUBLE_EQ(view->timeline.timings[5].total_seconds, 0.25);
    // Slot 0's mark starts equal to its number, so it adds without a begin.
    view->EndTiming(0);
    clock->advance(100);
    view->BeginTiming(0);
    clock->advance(100);
    view->EndTiming(0);
    EXPECT_GT(view->timeline.timings[0].total_seconds, 0.0);
    view->BeginTiming(kTimingSlotCount);  // outside the table: ignored
    view->ClearTimings();
    EXPECT_DOUBLE_EQ(view->timeline.timings[5].total_seconds, 0.0);
}

TEST_F(ViewObject, InternNameKeepsTheFirstIndex) {
    const int a = view->InternName("wall.bmp");
    const int b = view->InternName("floor.png");
    EXPECT_NE(a, b);
    EXPECT_EQ(view->InternName("wall.bmp"), a);
    EXPECT_EQ(view->InternName("WALL.bmp"), b + 1);  // exact comparison
    EXPECT_EQ(view->FindImageName("floor.png"), b);
    EXPECT_EQ(view->FindImageName("none"), -1);
    for (int i = 0; i < 250; ++i) view->InternName(("n" + std::to_string(i)).c_str());
    EXPECT_EQ(view->InternName("floor.png"), b);
}

TEST_F(ViewObject, SameTrunkStateTreatsNanAsChanged) {
    TrunkState a, b;
    a.numbers = b.numbers = {1, 2};
    a.values = b.values = {3, 4};
    EXPECT_EQ(XView::SameTrunkState(a, b), 1);
    b.doubles[2] = std::nan("");
    a.doubles[2] = std::nan("");
    EXPECT_EQ(XView::SameTrunkState(a, b), 0);
    b.doubles[2] = a.doubles[2] = 1.0;
    b.values[1] = 5;
    EXPECT_EQ(XView::SameTrunkState(a, b), 0);
    b.values = a.values;
    b.last[1] = 1;
    EXPECT_EQ(XView::SameTrunkState(a, b), 0);
}

}  // namespace
}  // namespace kz::view::test
