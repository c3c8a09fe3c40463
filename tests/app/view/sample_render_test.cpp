// The sample model loaded through the figure loader and drawn: the background and eye its settings store, and
// the counts of its items, parts, faces and triangles.
#include <gtest/gtest.h>

#include <string>

#include "paint_fixture.h"

namespace kz::view::test {
namespace {

TEST_F(PaintTest, SampleRoomShowsItsSettingsAndCounts) {
    ASSERT_EQ(view->OpenModel(sample_model_path().c_str()), 1);
    ASSERT_EQ(view->trunk_count(), 4);
    // The settings' eye point is reached by an eye move over the eye-move time.
    clock->advance(static_cast<std::int64_t>(view->camera.eye_move_time * 1000));
    SystemTime now;
    view->GetClockTime(&now);
    EXPECT_EQ(view->StepCameraMove(now), 0);
    view->settings.light_value = 1.0;
    view->Redraw(0);
    const Frame f = window_frame(0);
    // "set,haikei,170,200,235" above the horizon; the "eye point" looks at the room in the middle.
    const Rgb sky = f.at(2, kH - 3);
    EXPECT_EQ(sky.r, 170);
    EXPECT_EQ(sky.g, 200);
    EXPECT_EQ(sky.b, 235);
    EXPECT_EQ(view->camera.eye->eye[0], 6500);
    EXPECT_EQ(view->camera.eye->target[2], 900);
    const Rgb middle = f.at(kW / 2, kH / 2);
    EXPECT_FALSE(middle.r == 170 && middle.g == 200 && middle.b == 235);
    if (HasFailure()) f.save("sample_room");

    view->CountScene();
    // Three items: 9 boxes in the room, 5 in the table, one ball of 24 segments by 12 rings. Boxes: 6 faces of
    // 2 triangles; the ball: 24 x 12 faces, the 48 at the poles triangles, the other 240 quads.
    const int want[4] = {3, 15, 14 * 6 + 24 * 12, 14 * 12 + 48 + 240 * 2};
    for (int q = 0; q < 4; ++q) {
        EXPECT_EQ(view->display.scene_stats[q][0], 0) << q;
        EXPECT_EQ(view->display.scene_stats[q][1], want[q]) << q;
        EXPECT_EQ(view->display.scene_stats[q][2], want[q]) << q;
    }
}

}  // namespace
}  // namespace kz::view::test
