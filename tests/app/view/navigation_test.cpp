// Navigation and the eye move against positions worked out by hand: the drag, wheel and arrow-key table, lens
// steps, the wheel's shadow editing, the main window's wheel, walls that stop the eye and a move on the view clock.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>

#include "app/foundation/eye_record.h"
#include "app/foundation/heap_text.h"
#include "app/scene/figure_record.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "app/view/program_entry.h"
#include "paint_fixture.h"

namespace kz::view::test {
namespace {

namespace plat = kz::platform;
using P = std::array<double, 3>;

// The point at distance r, azimuth az and elevation el (degrees) from p.
P polar(P p, double r, double az, double el) {
    const double a = az * M_PI / 180, e = el * M_PI / 180;
    return {p[0] + r * std::cos(e) * std::cos(a), p[1] + r * std::cos(e) * std::sin(a), p[2] + r * std::sin(e)};
}

void expect_at(const double* got, P want, const char* what) {
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], want[i], 1e-6) << what << " [" << i << "]";
}

// Modifiers held for one case, released afterwards.
struct Modifiers {
    Modifiers(bool ctrl, bool shift) {
        plat::set_forced_key_state(plat::VK_CONTROL, ctrl ? 1 : 0);
        plat::set_forced_key_state(plat::VK_SHIFT, shift ? 1 : 0);
    }
    ~Modifiers() { plat::set_forced_key_state(-1, -1); }
};

class Navigation : public ViewTest {
protected:
    // Eye 1000 from the origin on the -y side, looking along +y.
    void place() {
        const double e[3] = {0, -1000, 0}, t[3] = {0, 0, 0};
        view->SetEye(e, t, 55.0, 0);
    }
    SystemTime after(int ms) {
        clock->advance(ms);
        SystemTime now;
        view->GetClockTime(&now);
        return now;
    }
};

TEST_F(Navigation, DragWheelAndKeysMoveTheEyeAsTheTableSays) {
    const P E{0, -1000, 0}, T{0, 0, 0};
    const double head = 4.0 / 55.0 * 10.0;  // 10 pixels at the head-turn scale of a 55 mm lens
    const struct {
        const char* what;
        int mode;
        bool ctrl, shift;
        int dx, dy, wheel, key;
        P eye, target;
        double lens;
        int result;
    } cases[] = {
        {"around: 10 px right turns 2 degrees", 1, false, false, 10, 0, 0, 0, polar(T, 1000, -92, 0), T, 55, 1},
        {"around: 10 px down raises 2 degrees", 1, false, false, 0, 10, 0, 0, polar(T, 1000, -90, 2), T, 55, 1},
        {"around: wheel forward", 1, false, false, 0, 0, 120, 0, {0, -900, 0}, T, 55, 1},
        {"around: wheel back", 1, false, false, 0, 0, -120, 0, {0, -1000 / 0.9, 0}, T, 55, 1},
        {"around Ctrl: head turn, lens", 1, true, false, 10, 0, 120, 0, E, polar(E, 1000, 90 + head, 0), 56, 1},
        {"around Shift: sideways", 1, false, true, 10, 0, 0, 0, {200, -1000, 0}, {200, 0, 0}, 55, 1},
        {"around Shift: wheel does nothing", 1, false, true, 0, 0, 120, 0, E, T, 55, 0},
        {"walk: drag up walks ahead", 2, false, false, 0, -10, 120, 0, {0, -800, 0}, {0, 200, 0}, 55, 1},
        {"walk Ctrl+Shift: Ctrl wins", 2, true, true, 10, 0, 120, 0, E, polar(E, 1000, 90 + head, 0), 56, 1},
        {"walk Shift: up and down", 2, false, true, 0, 10, 0, 0, {0, -1000, 200}, {0, 0, 200}, 55, 1},
        {"head: look up", 3, false, false, 0, 10, 120, 0, E, polar(E, 1000, 90, head), 55, 1},
        {"head Ctrl: walks, lens back", 3, true, false, 0, -10, -120, 0, {0, -800, 0}, {0, 200, 0}, 54, 1},
        {"around: left arrow", 1, false, false, 0, 0, 0, plat::VK_LEFT, polar(T, 1000, -89.9, 0), T, 55, 1},
        {"around: up arrow", 1, false, false, 0, 0, 0, plat::VK_UP, polar(T, 1000, -90, -0.1), T, 55, 1},
        {"walk: up arrow steps back", 2, false, false, 0, 0, 0, plat::VK_UP, {0, -1050, 0}, {0, -50, 0}, 55, 1},
        {"walk: right arrow", 2, false, false, 0, 0, 0, plat::VK_RIGHT, E, polar(E, 1000, 90.1, 0), 55, 1},
        {"head: down arrow", 3, false, false, 0, 0, 0, plat::VK_DOWN, E, polar(E, 1000, 90, 0.1), 55, 1},
        {"head: up arrow", 3, false, false, 0, 0, 0, plat::VK_UP, E, polar(E, 1000, 90, -0.1), 55, 1},
        {"head: left arrow", 3, false, false, 0, 0, 0, plat::VK_LEFT, E, polar(E, 1000, 89.9, 0), 55, 1},
        {"walk: down arrow steps ahead", 2, false, false, 0, 0, 0, plat::VK_DOWN, {0, -950, 0}, {0, 50, 0}, 55, 1},
        {"no such mode", 4, false, false, 10, 10, 120, plat::VK_UP, E, T, 55, 0},
    };
    for (const auto& c : cases) {
        place();
        view->input.view_mode = c.mode;
        Modifiers keys(c.ctrl, c.shift);
        const plat::Point from{50, 50}, to{50 + c.dx, 50 + c.dy};
        EXPECT_EQ(view->Navigate(&from, &to, c.wheel, c.key), c.result) << c.what;
        expect_at(view->camera.eye->eye, c.eye, c.what);
        expect_at(view->camera.eye->target, c.target, c.what);
        EXPECT_DOUBLE_EQ(view->camera.eye->lens, c.lens) << c.what;
    }
}

TEST_F(Navigation, LensPoleApproachAndFitLimits) {
    const double steps[][3] = {{100, 1, 110}, {110, -1, 100}, {101.4, -1, 100}, {600, 1, 600}, {1, -1, 1}};
    for (const auto& s : steps) {
        view->camera.eye->lens = s[0];
        view->LensStep(static_cast<int>(s[1]));
        EXPECT_DOUBLE_EQ(view->camera.eye->lens, s[2]) << s[0];
        EXPECT_DOUBLE_EQ(view->camera.eye->zoom_ratio, 55.0 / s[2]);
    }
    const double near_eye[3] = {0, -5, 0}, origin[3] = {0, 0, 0};
    for (double z : {1000.0, -1000.0}) {  // a step that would pass over the pole, or under it
        const double eye[3] = {0, -1, z};
        view->SetEye(eye, origin, 55.0, 0);
        view->OrbitElevation(z > 0 ? 1 : -1, 0.2);
        expect_at(view->camera.eye->eye, {0, -1, z}, "pole");
    }
    view->SetEye(near_eye, origin, 0.0, 0);
    view->ApproachStep(1, 0.1, 0);
    expect_at(view->camera.eye->eye, {0, -9, 0}, "approach from at least 10");
    view->camera.eye->lens = 110;
    view->FitEyeToModel(0.0);  // nothing but the root: the radius counts as 1000
    expect_at(view->camera.eye->eye, {0, -1.5 * 1000 * 110 / 55, 0}, "fit");
}

TEST_F(Navigation, ShadowWheelEditsDateTimeAndNorth) {
    view->settings.shadow_display = 1;
    double& north = view->settings.north_angle;
    const struct {
        bool ctrl, shift;
        int delta;  // the unsigned high word, as the main window hands it on
        double date, time, angle, want_date, want_time, want_angle;
    } cases[] = {
        {true, false, 120, 364, 12, 0, 0, 12, 0},
        {true, false, 0xFF88, 0, 12, 0, 364, 12, 0},
        {false, true, 120, 9, 23 + 50 / 60.0, 0, 9, 23, 0},
        {false, true, 0xFF88, 9, 5 / 60.0, 0, 9, 50 / 60.0, 0},
        {true, true, 120, 9, 12, 355, 9, 12, 5},
        {true, true, 0xFF88, 9, 12, 0, 9, 12, 350},
    };
    std::size_t notices = 0;
    for (const auto& c : cases) {
        Modifiers keys(c.ctrl, c.shift);
        view->settings.shadow_date = c.date, view->settings.shadow_time = c.time, north = c.angle;
        view->OnMouseWheel(c.delta);
        EXPECT_DOUBLE_EQ(view->settings.shadow_date, c.want_date);
        EXPECT_NEAR(view->settings.shadow_time, c.want_time, 1e-9);
        EXPECT_DOUBLE_EQ(north, c.want_angle);
        EXPECT_EQ(received(0x5514).size(), ++notices);
    }
}

// The main window's wheel: a notch dollies; with Ctrl the lens changes and the title shows it.
TEST_F(Navigation, MainWindowWheelDolliesAndZooms) {
    const plat::WindowHandle main_window = create_main_window("KzNavigationMain", MainWindowProc);
    ASSERT_NE(main_window, nullptr);
    view->output.parent = main_window;
    g_view = view;
    place();
    plat::send_message(main_window, plat::WM_MOUSEWHEEL, plat::WParam(120) << 16, 0);
    expect_at(view->camera.eye->eye, {0, -900, 0}, "dolly");
    // The model's file in the title by its native path (a Shift_JIS name whose trail byte is 0x5C included).
    view->document.data_folder =
        kz::foundation::set_heap_string(view->document.data_folder, "Z:\\tmp\\\x95\x5c\\", nullptr, -1);
    view->document.data_file_name =
        kz::foundation::set_heap_string(view->document.data_file_name, "room.fig", nullptr, -1);
    Modifiers keys(true, false);
    plat::send_message(main_window, plat::WM_MOUSEWHEEL, plat::WParam(0xFF88) << 16, 0);
    EXPECT_DOUBLE_EQ(view->camera.eye->lens, 54.0);
    EXPECT_EQ(plat::window_text(main_window), "KZ3Dview /tmp/\x95\x5c/room.fig[54mm](1.000)");
    // A control in the name shows as its escape: no tool that prints titles gets it.
    view->document.data_file_name =
        kz::foundation::set_heap_string(view->document.data_file_name, "\033c.fig", nullptr, -1);
    plat::send_message(main_window, plat::WM_MOUSEWHEEL, plat::WParam(0xFF88) << 16, 0);
    EXPECT_EQ(plat::window_text(main_window).find("/tmp/\x95\x5c/\\x1Bc.fig["), 9u) << plat::window_text(main_window);
    g_view = nullptr;
    view->output.parent = parent_window;
    plat::destroy_window(main_window);
}

// With the obstacle check on, moves sideways, backward and forward stop short of walls of display flag 1 and pass
// through one without it.
TEST_F(PaintTest, WallsStopSidewaysBackwardAndForwardMoves) {
    add_box_item("box,w=4000,d=100,h=3000,dx=-2000,dy=-400,dz=0");            // right side: y -400..-300
    add_box_item("box,w=100,d=4000,h=3000,dx=-600,dy=-2000,dz=0");            // behind: x -600..-500
    add_box_item("box,w=100,d=4000,h=3000,dx=500,dy=-2000,dz=0,dispmode=2");  // ahead, not an obstacle
    // Ahead: x 1300..1400, filled by its draw-style bit (dispmode 4), which is what makes an obstacle.
    add_box_item("box,w=100,d=4000,h=3000,dx=1300,dy=-2000,dz=0,dispmode=4");
    const double e[3] = {0, 0, 1000}, t[3] = {1000, 0, 1000};
    look(e, t);
    view->Redraw(0);
    view->camera.collision_check = 1;
    const struct {
        double sideways, forward;
        int times;
        P eye;
    } cases[] = {{10, 0, 3, {0, -200, 1000}}, {0, 10, 4, {-400, 0, 1000}}, {0, -10, 8, {1200, 0, 1000}}};
    for (const auto& c : cases) {
        view->SetEye(e, t, 0.0, 0);
        for (int i = 0; i < c.times; ++i) view->WalkSideways(c.sideways, 20), view->WalkForward(c.forward, 20, 1);
        expect_at(view->camera.eye->eye, c.eye, "walled");
    }
}

TEST_F(Navigation, EyeMoveEasesOutOverItsTimeAndAMoveAtOnceEndsIt) {
    place();
    const SystemTime before = after(0);
    clock->advance(100);
    const double to_eye[3] = {1000, 0, 400}, to_target[3] = {100, 200, 100};
    view->AnimateEyeTo(to_target, 0, to_eye, 0.3, 35.0, 0.0, 0.0);
    expect_at(view->camera.eye->eye, {0, -1000, 0}, "before the first tick");
    EXPECT_EQ(view->StepCameraMove(after(150)), 1);
    expect_at(view->camera.eye->eye, {750, -250, 300}, "half the time, three quarters of the way");
    EXPECT_DOUBLE_EQ(view->camera.eye->lens, 40.0);
    EXPECT_EQ(view->StepCameraMove(before), -1);
    clock->advance(150);
    view->OnTimerTick();  // the tick's schedule takes the last step
    EXPECT_EQ(view->camera.camera_motion.active, 0);
    expect_at(view->camera.eye->eye, {1000, 0, 400}, "end");
    expect_at(view->camera.eye->target, {100, 200, 100}, "end");
    EXPECT_DOUBLE_EQ(view->camera.eye->lens, 35.0);

    view->AnimateEyeTo(to_target, 0, to_eye, 0.3, 0.0, 0.0, 0.0);
    view->AnimateEyeTo(to_target, 1, nullptr, 0.0, 0.0, 0.0, 200.0);  // along the current direction, at once
    EXPECT_EQ(view->StepCameraMove(after(150)), 0);
    const double k = 200 / std::sqrt(900 * 900 + 200 * 200 + 300 * 300);
    expect_at(view->camera.eye->eye, {100 + 900 * k, 200 - 200 * k, 100 + 300 * k}, "at once");
}

// A camera entry's move hides its item on the way and leaves the eye on the item's camera part, in the view mode
// that was current when it started.
TEST_F(Navigation, CameraEntryMoveHidesItsItemAndEndsOnItsCameraPart) {
    const int item = add_item(0, "car");
    XTrunk* car = view->document.trunks[item];
    XLeaves* seat = car->parts[car->AddLeaves()];
    seat->record->camera_number = 1;
    car->RecalcMatrices(1);
    view->StartCameraMove((std::to_string(item) + ";0;;0;0.3;1").c_str());
    EXPECT_EQ(view->StepCameraMove(after(150)), 1);
    EXPECT_EQ(car->shown, 0);
    EXPECT_EQ(view->camera.current_camera_part, nullptr);
    view->input.view_mode = 1;
    EXPECT_EQ(view->StepCameraMove(after(150)), 0);
    EXPECT_EQ(car->shown, 1);
    EXPECT_EQ(view->camera.current_camera_part, seat);
    EXPECT_EQ(view->input.view_mode, 3);
}

}  // namespace
}  // namespace kz::view::test
