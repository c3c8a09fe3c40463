// The door example played through the view window: its start event puts up a caption, a click on the door
// swings it open, shows a second caption and moves the eye to the viewpoint, from where the doorway shows open.
#include <gtest/gtest.h>

#include <string>

#include "app/document/view_messages.h"
#include "app/foundation/bus_mdl.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "mouse_fixture.h"

namespace kz::view::test {
namespace {

class DoorDemo : public MouseTest {
public:
    void tick_after(std::int64_t ms) {
        clock->advance(ms);
        kz::platform::send_message(view->output.view_window[0], UM_VIEW_TICK, 0, 0);
    }
    std::string caption(int slot) const { return view->output.bridge->labels[slot].text; }
};

TEST_F(DoorDemo, AClickOpensTheDoorWithACaptionAndAnEyeMove) {
    ASSERT_EQ(view->OpenModel(example_model_path("door-demo/door.fig").c_str()), 1);
    ASSERT_EQ(view->trunk_count(), 4);  // the root, the hall, the door and the viewpoint
    tick_after(static_cast<std::int64_t>(view->camera.eye_move_time * 1000) + 1);  // the settings' eye
    view->FireStartActions();
    tick_after(1);  // the start event fires the part...
    tick_after(1);  // ...whose hit shows the caption
    EXPECT_EQ(caption(0), "Click the door");

    XTrunk* door = view->document.trunks[2];
    ASSERT_STREQ(door->parts.at(1)->record->name, "leaf");
    const double leaf_middle[3] = {1450, 30, 1050};
    const kz::platform::Point at = pixel_of(leaf_middle);
    send(kz::platform::WM_LBUTTONDOWN, at.x, at.y, kz::platform::MK_LBUTTON);
    send(kz::platform::WM_LBUTTONUP, at.x, at.y);
    for (int step = 0; step < 30; ++step) tick_after(100);
    EXPECT_DOUBLE_EQ(door->parts[1]->record->rz, 90.0);
    EXPECT_EQ(caption(1), "The door opens");
    // The eye ends on the viewpoint's camera part, looking through the doorway.
    const double want_eye[3] = {1450, -2500, 1600};
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(view->camera.eye->eye[k], want_eye[k], 1e-6) << k;
    EXPECT_GT(view->camera.eye->target[1], want_eye[1]);
    EXPECT_NEAR(view->camera.eye->target[2], 1600, 1e-6);

    // The middle of the frame shows the sky behind the open doorway; the closed door would fill it.
    view->Redraw(0);
    const Frame open = window_frame(0);
    const Rgb middle = open.at(kW / 2, kH / 2);
    EXPECT_EQ(middle.r, 200);
    EXPECT_EQ(middle.g, 215);
    EXPECT_EQ(middle.b, 230);
    door->parts[1]->SetParameter(6, 0.0);
    door->RecalcMatrices(1);
    view->Redraw(0);
    const Rgb closed = window_frame(0).at(kW / 2, kH / 2);
    EXPECT_FALSE(closed.r == 200 && closed.g == 215 && closed.b == 230);
    if (HasFailure()) open.save("door_demo_open");
}

}  // namespace
}  // namespace kz::view::test
