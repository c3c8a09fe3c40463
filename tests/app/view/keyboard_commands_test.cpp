// The view's keys through the main window's procedure, grouped as the key help groups them: display switches,
// navigation, output, editing, layers and the new model from the clipboard; the walk-through key. Dialogs answer
// in test mode; what a key says shows as green type in the frame's top band until the next redraw.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/document/view_messages.h"
#include "app/foundation/bus_mdl.h"
#include "app/foundation/dib_text.h"
#include "app/foundation/heap_text.h"
#include "app/scene/figure_record.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "app/view/overlay_texts.h"
#include "app/view/program_entry.h"
#include "modeller/files/o3du_write_mesh3.h"
#include "mouse_fixture.h"
#include "platform/clipboard.h"
#include "platform/cursors.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "platform/message_loop.h"
#include "support/scoped_environment.h"
#include "support/test_paths.h"

namespace kz::view::test {
namespace {

namespace plat = kz::platform;

constexpr Rgb kGreen{0, 255, 0};

// The walk flag each time the main window got F or a close; a close is kept from destroying the window here.
std::vector<int>& walk_seen() {
    static std::vector<int> seen;
    return seen;
}

plat::LResult spying_main(plat::WindowHandle w, std::uint32_t message, plat::WParam wparam, plat::LParam lparam) {
    if ((message == plat::WM_KEYDOWN && wparam == 'F') || message == plat::WM_CLOSE)
        walk_seen().push_back(g_view ? g_view->camera.walk_run_flag : -1);
    return message == plat::WM_CLOSE ? 0 : MainWindowProc(w, message, wparam, lparam);
}

class Keys : public MouseTest {
public:
    void SetUp() override {
        MouseTest::SetUp();
        main_window = create_main_window("KzKeysMain", spying_main);
        ASSERT_NE(main_window, nullptr);
        g_view = view;
    }
    void TearDown() override {
        g_view = nullptr;
        plat::destroy_window(main_window);
        MouseTest::TearDown();
    }
    void press(int key, int held = 0) {
        hold(held);
        plat::send_message(main_window, plat::WM_KEYDOWN, static_cast<plat::WParam>(key), 1);
        hold(0);
    }
    void point_at(plat::Point p) { send(plat::WM_MOUSEMOVE, p.x, p.y); }
    // Pixels near a colour in the rows top..bottom (counted from the top) of the first window's frame.
    int pixels_in_rows(int top, int bottom, Rgb want) const {
        const Frame f = window_frame(0);
        int n = 0;
        for (int y = top; y < bottom && y < f.height; ++y)
            for (int x = 0; x < f.width; ++x) {
                const Rgb p = f.at(x, f.height - 1 - y);
                n += std::abs(p.r - want.r) < 40 && std::abs(p.g - want.g) < 40 && std::abs(p.b - want.b) < 40;
            }
        return n;
    }
    plat::WindowHandle main_window = nullptr;
};

using Probe = double (*)(const XView&);

double parts_holding_faces(const XView& v) {
    int n = 0;
    for (const XTrunk* t : v.document.trunks)
        for (int i = 0; t && i < t->part_count(); ++i) n += t->parts[i] && t->parts[i]->holds_faces();
    return n;
}

// Each row presses its key again and again; the switch reads as listed after each press, and a key that reports
// itself leaves green type at the top of the frame.
TEST_F(Keys, DisplaySwitchesStepAndSayWhatTheyDid) {
    cube_scene();
    view->display.selection_display_mode = 5;  // as after start-up
    const struct {
        int key, held;
        Probe probe;
        std::vector<double> after;
        bool says;
    } cases[] = {
        {'A', 0, [](const XView& v) { return double(v.display.axis_display); }, {1, 0}, true},
        {'C', 0, [](const XView& v) { return double(v.display.comment_display); }, {0, 1}, true},
        {'C', plat::VK_SHIFT, [](const XView& v) { return v.display.comment_text_factor; }, {1.5, 2.25, 1.0}, false},
        {'E', 0, [](const XView& v) { return double(v.display.plan_display); }, {1, 0}, true},
        {'E', plat::VK_SHIFT, [](const XView& v) { return double(v.display.plan_display); }, {2, 0}, true},
        {'E', 0, parts_holding_faces, {0, 0}, true},  // the plan's faces go with each drawing
        {'I', 0, [](const XView& v) { return double(v.display.wire_display); }, {1, 0}, false},
        {'U', 0, [](const XView& v) { return double(v.display.selection_display_mode); }, {0, 1, 2, 0}, false},
        {'N', 0, [](const XView& v) { return double(v.display.ground_grid_switch); }, {1, 0}, true},
        {'O', 0, [](const XView& v) { return double(v.input.image_paste_range); }, {0, 1, 2, 3}, true},
        {'V', 0, [](const XView& v) { return double(v.input.view_mode); }, {2, 3, 1}, false},
        {'S', 0, [](const XView& v) { return double(v.settings.shadow_display); }, {1, 0}, true},
        {'H', 0, [](const XView& v) { return double(v.display.near_target_display); }, {1, 0}, true},
        {'Z', 0, [](const XView& v) { return double(v.display.action_parts_display); }, {1, 0}, false},
        {'J', 0, [](const XView& v) { return double(v.camera.scene_radius > 0); }, {1}, true},
        {'M', 0, [](const XView& v) { return double(v.settings.mesh_world); }, {0}, false},  // no mesh: no switch
        {'D', plat::VK_SHIFT, [](const XView& v) { return double(v.display.section_side); }, {1, 0}, false},
        {plat::VK_ADD, 0, [](const XView& v) { return v.camera.stereo_factor; }, {1.0}, false},  // one window
        {'W', 0, [](const XView& v) { return double(v.output.window_layout); }, {1, 2}, false},
        {plat::VK_ADD, 0, [](const XView& v) { return v.camera.stereo_factor; }, {1.1, 1.21}, false},
        {plat::VK_SUBTRACT, 0, [](const XView& v) { return v.camera.stereo_factor; }, {1.1}, false},
        {'W', 0, [](const XView& v) { return double(v.output.window_layout); }, {3, 0}, false},
    };
    const Frame plain = window_frame(0);
    for (const auto& c : cases) {
        for (std::size_t i = 0; i < c.after.size(); ++i) {
            SCOPED_TRACE(std::string(1, char(c.key)) + " press " + std::to_string(i + 1));
            view->Redraw(0);
            press(c.key, c.held);
            EXPECT_NEAR(c.probe(*view), c.after[i], 1e-9);
            EXPECT_EQ(pixels_in_rows(0, 16, kGreen) > 20, c.says);
        }
    }
    EXPECT_EQ(received(UM_VIEW_SHADOW_CHANGED).size(), 2u);
    // Everything switched back: the same picture. Z shows the parts without actions see-through, and then each
    // part with its own display again.
    view->Redraw(1);
    EXPECT_EQ(window_frame(0).bytes, plain.bytes);
    press('Z');
    EXPECT_NE(window_frame(0).bytes, plain.bytes);
    press('Z');
    EXPECT_EQ(window_frame(0).bytes, plain.bytes);
}

TEST_F(Keys, ArrowsAndPagesMoveTheEyeInEveryClassHomeFitsTheModel) {
    cube_scene();
    const double eye[3] = {0, -1000, 0}, target[3] = {0, 0, 0};
    const struct {
        int interaction_class, mode, key;
        double eye_y, eye_x_sign;
    } cases[] = {
        {1, 1, plat::VK_PRIOR, -900, 0},  {1, 1, plat::VK_NEXT, -1000 / 0.9, 0},
        {1, 2, plat::VK_UP, -1050, 0},    {2, 2, plat::VK_DOWN, -950, 0},
        {3, 1, plat::VK_LEFT, -1000, -1}, {2, 3, plat::VK_RIGHT, -1000, 0},  // a head turn moves the target
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        look(eye, target);
        view->input.interaction_class = c.interaction_class, view->input.view_mode = c.mode;
        press(c.key);
        EXPECT_NEAR(view->camera.eye->eye[1], c.eye_y, 0.5);
        if (c.eye_x_sign != 0) {
            EXPECT_LT(view->camera.eye->eye[0] * c.eye_x_sign, 0.0);
        }
    }
    EXPECT_LT(view->camera.eye->target[0], 0.0);  // the target's azimuth from the eye grew
    view->input.interaction_class = 1;
    view->camera.fit_time = 0.0;
    press(plat::VK_HOME);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(view->camera.eye->target[k], 200.0, 1e-6);
}

TEST_F(Keys, ShiftAndCtrlShowTheirCursorsOnceInTheCameraClass) {
    plat::set_capture(view->output.view_window[0]);
    const struct {
        int mode, key, last_key;
        const char* cursor;  // null: unchanged
    } cases[] = {
        {1, plat::VK_SHIFT, 0, "CURSOR_WALK"},        {2, plat::VK_SHIFT, 0, "CURSOR_MOVE_UPDOWN_TRUNK"},
        {1, plat::VK_SHIFT, plat::VK_SHIFT, nullptr},  // auto-repeat
        {1, plat::VK_CONTROL, 0, "CURSOR_HEAD"},      {3, plat::VK_CONTROL, plat::VK_CONTROL, "CURSOR_WALK"},
    };
    for (const auto& c : cases) {
        plat::set_cursor(plat::arrow_cursor());
        view->input.view_mode = c.mode, view->input.last_key = c.last_key;
        press(c.key);
        EXPECT_EQ(plat::window_cursor(view->output.view_window[0]),
                  c.cursor ? plat::load_cursor(c.cursor) : plat::arrow_cursor())
            << c.mode << " " << c.key;
        EXPECT_EQ(view->input.last_key, c.key);
    }
    plat::release_capture();
}

TEST_F(Keys, HelpAndReportFillTheirLinesOverTheFrameUntilTheNextRedraw) {
    view->LayoutWindows(320, 680);
    cube_scene();
    const struct {
        int key, lines;
        Rgb colour;
    } cases[] = {{plat::VK_ESCAPE, 34, kGreen}, {'R', 10, {0xFF, 0x4D, 0x00}}};
    for (const auto& c : cases) {
        view->Redraw(0);
        press(c.key);
        for (int n = 1; n <= c.lines; ++n) EXPECT_GT(pixels_in_rows(19 * n, 19 * n + 16, c.colour), 30) << n;
        EXPECT_EQ(pixels_in_rows(19 * (c.lines + 1) + 2, 19 * (c.lines + 1) + 14, c.colour), 0) << c.key;
        view->Redraw(0);
        EXPECT_EQ(pixels_in_rows(19, 19 * c.lines + 16, c.colour), 0) << c.key;
    }
    // The report's triangle row counts the cube: 12 triangles, all shown.
    EXPECT_EQ(view->display.scene_stats[3][1], 12);
    // With two more cubes hidden, the count rows read: in shown items, of them drawn, in hidden items, all. The
    // rows typed over the report as they must read change no pixel (the window wide enough for the totals).
    view->LayoutWindows(480, 680);
    for (int k = 0; k < 2; ++k) view->document.trunks[add_box_item("box,0,0,0,,,,,,,,,,90,90,90")]->SetVisible(0, 0);
    view->Redraw(0);
    press('R');
    const Frame report = window_frame(0);
    const char* counts[] = {"\x8eO\x8ap\x96\xca\x90\x94       12 (      12)       24       36     ",
                            "Leaf            6 (       6)       12       18     ",
                            "Leaves          1 (       1)        2        3     ",
                            "Trunk           1 (       1)        2        3     "};
    for (int n = 2; n <= 5; ++n)
        kz::foundation::text_out_gdi(view->output.view_dc[0].get(), counts[n - 2], 10, 19 * n, 16, 0x004DFF,
                                     kGothicFace, 0x010000, 0, 0.0);
    EXPECT_TRUE(window_frame(0).bytes == report.bytes) << "a count row reads otherwise";
}

// On a display of pixel ratio 2 the key help's first line starts twice as far in and down and stands twice as high.
TEST_F(Keys, KeyHelpFollowsThePixelRatio) {
    view->LayoutWindows(320, 680);
    int box[2][3];  // per ratio: top row, height, left column of the first line's green
    for (int r = 1; r <= 2; ++r) {
        view->output.view_dc[0]->set_pixel_ratio(r);
        view->Redraw(0);
        press(plat::VK_ESCAPE);
        const Frame f = window_frame(0);
        int top = -1, bottom = -1, left = f.width;
        for (int y = 0; y < 38 * r && y < f.height; ++y)
            for (int x = 0; x < f.width; ++x) {
                const Rgb p = f.at(x, f.height - 1 - y);
                if (p.g < 200 || p.r > 60 || p.b > 60) continue;
                top = top < 0 ? y : top, bottom = y, left = std::min(left, x);
            }
        ASSERT_GE(top, 0) << r;
        box[r - 1][0] = top, box[r - 1][1] = bottom - top + 1, box[r - 1][2] = left;
    }
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(box[1][k], 2 * box[0][k], 2) << k;
}

TEST_F(Keys, PrintAndCacheClearing) {
    // Cancelled, nothing is said; accepted where no printer is set up, that nothing was printed.
    for (const bool accepted : {false, true}) {
        plat::DialogTestAnswers answers;
        answers.print_accepted = accepted;
        plat::set_dialog_test_mode(true, answers);
        testing::internal::CaptureStderr();
        press('P');
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(plat::take_dialog_test_log(), std::vector<std::string>{"print"});
        EXPECT_EQ(said, accepted ? "kzview: print: no printer is set up; nothing was printed\n" : "");
    }
    // Folders of this test's own stand for the user's cache home and the shared temporary folder; only the
    // private folder's "kz3d_temp" is emptied, and it comes back the user's alone.
    const std::string top = kz::test::output_dir() + "/view_keys_temp";
    const std::string mine = top + "/cache/kzview", shared = top + "/tmp";
    std::filesystem::remove_all(top);
    kz::test::ScopedEnvironment env;
    env.set("XDG_CACHE_HOME", top + "/cache");
    env.set("TMPDIR", shared);
    const struct {
        std::string folder;
        bool cleared;
    } cases[] = {{mine + "/kz3d_other", false},
                 {mine + "/sub/kz3d_temp", false},
                 {mine + "/kzview_tempp", false},
                 {shared + "/kz3d_temp", false},
                 {mine + "/kz3d_temp", true}};
    for (const auto& c : cases) {
        std::filesystem::create_directories(c.folder);
        // The program's own folders are the user's alone, as it makes them; a looser one would be set aside.
        std::filesystem::permissions(c.folder, std::filesystem::perms::owner_all);
        std::ofstream(c.folder + "/cached.bin") << "x";
        view->document.work_folder = plat::from_native_path(c.folder);
        view->Redraw(0);
        press(116);
        EXPECT_EQ(std::filesystem::exists(c.folder + "/cached.bin"), !c.cleared) << c.folder;
        EXPECT_TRUE(std::filesystem::is_directory(c.folder));
        EXPECT_EQ(pixels_in_rows(10, 26, {0x19, 0xFF, 0xFF}) > 20, c.cleared) << c.folder;
    }
    struct stat st;
    EXPECT_EQ(::stat((mine + "/kz3d_temp").c_str(), &st) == 0 ? st.st_mode & 07777 : 0u, 0700u);
}

TEST_F(Keys, EditingKeysActOnWhatLiesUnderThePointer) {
    const int cube = cube_scene();
    const plat::Point on_cube = pixel_of(kCubeTop);
    point_at(on_cube);
    // D lays the section through the part under the pointer, then steps its axis until it goes off.
    for (int expected_axis : {0, 1, 2}) {
        press('D');
        EXPECT_EQ(view->display.section_switch, 1);
        EXPECT_EQ(view->display.section_axis, expected_axis);
    }
    press('D');
    EXPECT_EQ(view->display.section_switch, 0);
    plat::DialogTestAnswers colour;
    colour.color = 0x3020FF;
    plat::set_dialog_test_mode(true, colour);
    press('D', plat::VK_CONTROL);
    EXPECT_DOUBLE_EQ(view->display.section_cap_color[0], 255.0);
    EXPECT_DOUBLE_EQ(view->display.section_cap_color[2], 0x30);
    press('X');
    EXPECT_EQ(view->settings.background_color, 0x3020FFu);
    press('B');
    EXPECT_EQ(received(UM_VIEW_PLAYBACK_STOPPED).size(), 1u);
    // T hides the item under the pointer (with Shift the items below it too), Q turns every item's visibility
    // over, Delete removes the selection.
    const int below = add_item(cube, "below");
    press('T');
    EXPECT_EQ(view->document.trunks[cube]->shown, 0);
    EXPECT_EQ(view->document.trunks[below]->shown, 1);
    press('Q');
    EXPECT_EQ(view->document.trunks[cube]->shown, 1);
    view->document.trunks[below]->SetVisible(1, 0);
    press('T', plat::VK_SHIFT);
    EXPECT_EQ(view->document.trunks[below]->shown, 0);
    view->document.trunks[cube]->SetVisible(1, 1);
    view->SelectItem(cube, 1, 0);
    press(plat::VK_DELETE);
    EXPECT_EQ(view->trunk_count(), 2);  // the item below takes its place
}

TEST_F(Keys, YStandsAtThePointerOrLeavesTheCameraPart) {
    cube_scene();
    point_at(pixel_of(kCubeTop));
    const double before = view->camera.eye->eye[2];
    view->camera.eye_move_time = 0.0;
    press('Y');
    EXPECT_EQ(view->input.interaction_class, 3);
    EXPECT_LT(view->camera.eye->eye[2], before);  // standing on the cube's top
    view->input.view_mode = 2;
    view->camera.current_camera_part = view->document.trunks[1]->parts[1];
    press('Y');
    EXPECT_EQ(view->input.view_mode, 1);
    EXPECT_EQ(view->camera.current_camera_part, nullptr);
}

TEST_F(Keys, LayerKeyHidesEveryItemOfTheLayerUnderThePointer) {
    const int cube = cube_scene();
    const int other = add_box_item("box,3000,0,0,,,,,,,,,,100,100,100");
    const int unlayered = add_box_item("box,-3000,0,0,,,,,,,,,,100,100,100");
    for (auto [item, layer] : {std::pair{cube, "walls"}, {other, "Walls"}}) {
        kz::scene::COBJECTA* r = view->document.trunks[item]->base_record();
        r->layer = kz::foundation::set_heap_string(r->layer, layer, nullptr, -1);
    }
    view->Redraw(0);
    point_at(pixel_of(kCubeTop));
    press('L');
    EXPECT_EQ(view->document.trunks[cube]->shown, 0);
    EXPECT_EQ(view->document.trunks[other]->shown, 0);
    EXPECT_EQ(view->document.trunks[unlayered]->shown, 1);
    // Over nothing the key hides nothing (the unlayered items included).
    point_at({1, 1});
    press('L');
    EXPECT_EQ(view->document.trunks[unlayered]->shown, 1);
}

// M shows and hides a world mesh, the scene of an OM3 file opened as the model.
TEST_F(Keys, MeshKeyHidesAndShowsTheWorldMesh) {
    cube_scene();
    const std::string path = kz::test::output_file("view_keys_mesh.om3");
    ASSERT_EQ(CO3duWriteMesh3::WriteModel(*view->output.bridge->modeller, path.c_str(), 1), 1);
    ASSERT_EQ(view->OpenModel(plat::from_native_path(path).c_str()), 1);
    ASSERT_NE(view->output.bridge->mesh_shape, nullptr);
    const double from[3] = {200, -3000, 2000}, to[3] = {200, 200, 0};
    look(from, to);
    view->Redraw(0);
    const Frame shown = window_frame(0);
    for (int expected : {0, 1}) {
        press('M');
        EXPECT_EQ(view->settings.mesh_world, expected);
        EXPECT_EQ(window_frame(0).bytes == shown.bytes, expected == 1);
    }
}

// G: a clipboard that holds a model asks first only when the open model changed; one that holds no model leaves
// the open model and its marks as they are, asks nothing and says so on standard error.
TEST_F(Keys, NewModelAsksFirstOnlyWhenTheModelChanged) {
    const std::string model = "trunk,0,0,0,,,,,,,,,,,,,,,,,,,,,,,,,,pasted\r\n";
    const struct {
        int changed, answer;
        std::string clipboard;
        bool asked, renewed;
    } cases[] = {{1, plat::IDCANCEL, model, true, false},
                 {1, plat::IDOK, model, true, true},
                 {0, plat::IDCANCEL, model, false, true},
                 {1, plat::IDOK, "\r\njust words\r\n", false, false},
                 {0, plat::IDOK, "", false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.clipboard);
        const int cube = cube_scene();
        view->document.trunks[0]->changed = c.changed;
        plat::set_clipboard_data(plat::kClipboardText, c.clipboard);
        plat::DialogTestAnswers answers;
        answers.message_box = c.answer;
        plat::set_dialog_test_mode(true, answers);
        parent_log().clear();
        testing::internal::CaptureStderr();
        press('G');
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_EQ(plat::take_dialog_test_log().size(), c.asked ? 1u : 0u);
        EXPECT_EQ(item_named("pasted") == 1 && view->trunk_count() == 2, c.renewed);
        const auto lists = received(UM_VIEW_NOTIFY_LIST);
        if (c.renewed) {
            ASSERT_EQ(lists.size(), 1u);
            EXPECT_EQ(lists[0].text, "21779,0,2,21778,21777,21781,0,0,0,0");
            EXPECT_EQ(view->document.trunks[0]->changed, 0);
        } else {
            EXPECT_TRUE(lists.empty());
            EXPECT_EQ(item_named("cube"), cube);
            EXPECT_EQ(view->document.trunks[0]->changed, c.changed);
        }
        const bool holds_no_model = c.clipboard != model;
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), holds_no_model ? 1 : 0) << errors;
        EXPECT_EQ(errors.find("clipboard") != std::string::npos, holds_no_model) << errors;
    }
}

TEST_F(Keys, KReloadsTheCurrentFigureFile) {
    const std::string folder = kz::test::output_dir() + "/view_keys_reload";
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/one.fig", std::ios::binary)
        << "trunk,0,0,0,,,,,,,,,,,,,,,,,,,,,,,,,,one\r\nbox,0,0,0,,,,,,,,,,100,100,100\r\n";
    press('K');  // no current figure: nothing
    EXPECT_EQ(view->trunk_count(), 1);
    view->document.current_figure_path = plat::from_native_path(folder + "/one.fig");
    press('K');
    EXPECT_GT(view->trunk_count(), 1);
    EXPECT_EQ(view->document.force_download, 0);
}

TEST_F(Keys, KeysOutsideTheTableAreLeftToNavigation) {
    for (int key : {8, 26, 117, int('S')}) {
        hold(key == 'S' ? plat::VK_CONTROL : 0);
        EXPECT_EQ(view->OnKeyDown(key), 0) << key;
    }
    view->input.interaction_class = 4;  // no class of the view: keys do nothing but are kept
    press(plat::VK_ESCAPE);
    EXPECT_EQ(view->input.last_key, plat::VK_ESCAPE);
}

// F posts the walk-through, which then runs its own loop inside the message that starts it; a second F, or a
// close of the window, arrives while it runs and ends it.
TEST_F(Keys, WalkThroughStartsPostedAndStopsOnFOrClose) {
    cube_scene();
    for (std::uint32_t stop : {plat::WM_KEYDOWN, plat::WM_CLOSE}) {
        SCOPED_TRACE(stop);
        press('F');
        walk_seen().clear();
        EXPECT_EQ(view->camera.walk_run_flag, 0) << "started inside the key's own handling";
        plat::post_message(main_window, stop, 'F', 1);
        plat::pump_messages();
        EXPECT_EQ(walk_seen(), std::vector<int>{1});  // the stop came while the walk ran
        EXPECT_EQ(view->camera.walk_run_flag, 0);
    }
}

// Ctrl+S reaches the save ahead of the key table: a new model asks for its name and is written there.
TEST_F(Keys, CtrlSSavesTheModel) {
    const std::string file = kz::test::output_file("keys-saved.fig");
    std::filesystem::remove(file);
    plat::DialogTestAnswers answers;
    answers.file_name = plat::from_native_path(file);
    plat::set_dialog_test_mode(true, answers);
    add_item(0, "saved item");
    press('S');
    EXPECT_FALSE(std::filesystem::exists(file));
    press('S', plat::VK_CONTROL);
    plat::set_dialog_test_mode(false);
    const std::string text = kz::test::read_all(file);
    EXPECT_NE(text.find("saved item"), std::string::npos) << text;
}

}  // namespace
}  // namespace kz::view::test
