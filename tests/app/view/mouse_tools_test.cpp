// The tools class through the first view window: an item dragged along the floor stays under the cursor and
// turns by the pixel movement under its locks, a locked item refuses with its owner's message, the cursor shows
// the class and tool, an image dropped on a face swaps its texture on screen, and drops onto nothing or onto a
// locked item are refused while a user name is set.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "app/document/view_messages.h"
#include "app/foundation/heap_text.h"
#include "app/scene/figure_record.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "mouse_fixture.h"
#include "platform/cursors.h"
#include "support/test_paths.h"

namespace kz::view::test {
namespace {

namespace plat = kz::platform;
using Log = std::vector<std::string>;

class MouseTools : public MouseTest {
public:
    void tools(int target, int bits) {
        view->input.interaction_class = 2, view->input.target = target, view->input.tool_bits = bits;
    }
    kz::scene::COBJECTA& base_of(int item) { return *view->document.trunks[item]->base_record(); }
    char* set_text(char* old, const char* text) { return kz::foundation::set_heap_string(old, text, nullptr, -1); }
};

TEST_F(MouseTools, DraggedItemSlidesAlongTheFloorUnderTheCursor) {
    const int item = cube_scene();
    tools(2, 3);
    const _O3duCamera seen = camera();
    const plat::Point press = pixel_of(kCubeTop), release{press.x + 20, press.y + 6};
    view->document.trunks[item]->changed = 0;
    drag(press, release);
    const kz::scene::COBJECTA& r = base_of(item);
    EXPECT_EQ(r.dz, 0.0);
    // The point grabbed on the top moved with the item and is under the cursor again.
    const double moved[3] = {view->input.mouse.drag_start[0] + r.dx, view->input.mouse.drag_start[1] + r.dy,
                             kCubeTop[2]};
    const plat::Point now = pixel_of(moved, seen);
    EXPECT_NEAR(now.x, release.x, 1);
    EXPECT_NEAR(now.y, release.y, 1);
    EXPECT_EQ(view->input.selected_trunk, item);
    EXPECT_EQ(view->document.trunks[item]->changed, 1);
    EXPECT_EQ(received(0x5512).size(), 1u);
    EXPECT_EQ(received(0x5513).size(), 1u);
    // A press whose release went elsewhere ends, as that release would, with the first move that shows the
    // button up: once, and the moves drag nothing.
    send(plat::WM_LBUTTONDOWN, release.x, release.y, plat::MK_LBUTTON);
    const double dx = r.dx;
    for (int x : {30, 60}) send(plat::WM_MOUSEMOVE, release.x + x, release.y);
    EXPECT_EQ(std::tuple(r.dx, received(0x5512).size(), plat::capture_window()), std::tuple(dx, 2u, nullptr));
}

TEST_F(MouseTools, TurnsFollowThePixelMovementAndTheLocks) {
    struct Case {
        const char* name;
        int bits;
        bool lock_all_but_rx;
        double rx, ry, rz;
    } cases[] = {
        {"z tool turns by dx", 32, false, 0, 0, 5},
        {"y and z tools", 48, false, 0, 3, 5},
        {"only rx free: any tool turns about x by dy", 3, true, 3, 0, 0},
    };
    for (const auto& c : cases) {
        const int item = add_box_item("box,0,0,0,,,,,,,,,,100,100,100,,,,,,1,200,100,50");
        for (int column : {1, 2, 3, 5, 6}) base_of(item).change_locks[column] = c.lock_all_but_rx;
        tools(2, c.bits);
        view->SelectItem(item, 0, 0);
        view->input.button_state = 1;
        view->input.mouse.last = {50, 50};
        view->MoveItemStep({55, 53});
        EXPECT_DOUBLE_EQ(base_of(item).rx, c.rx) << c.name;
        EXPECT_DOUBLE_EQ(base_of(item).ry, c.ry) << c.name;
        EXPECT_DOUBLE_EQ(base_of(item).rz, c.rz) << c.name;
    }
}

TEST_F(MouseTools, LockedItemRefusesToMoveWithItsOwnersMessage) {
    const int item = cube_scene();
    view->document.user_name = set_text(view->document.user_name, "guest");
    tools(2, 3);
    for (const auto& [owner, message] :
         {std::pair{"abc", "abc\r\nがロックしています。"}, std::pair{"#READ_only", "読み取り専用です。"}}) {
        view->document.trunks[item]->lock_owner = set_text(view->document.trunks[item]->lock_owner, owner);
        const plat::Point press = pixel_of(kCubeTop);
        drag(press, {press.x + 20, press.y});
        EXPECT_EQ(plat::take_dialog_test_log(), Log{std::string("message_box 移動できません|") + message});
        EXPECT_EQ(view->input.selected_trunk, -1);
        EXPECT_EQ(base_of(item).dx, 0.0) << owner;
    }
}

TEST_F(MouseTools, CursorShowsWhatAClickWillDo) {
    struct Case {
        int interaction_class, hover, view_mode, target, bits, key;
        const char* cursor;  // null: unchanged, "": the arrow
    } cases[] = {
        {1, 0, 1, 0, 3, 0, "CURSOR_AROUND"},          {1, 0, 2, 0, 3, 0, "CURSOR_WALK"},
        {1, 4, 3, 0, 3, 0, "CURSOR_FINGER_MOVE"},     {1, 0, 1, 0, 3, plat::VK_SHIFT, nullptr},
        {2, 0, 1, 2, 3, 0, "CURSOR_MOVE_TRUNK"},      {2, 0, 1, 3, 4, 0, "CURSOR_MOVE_UPDOWN_LEAVES"},
        {2, 0, 1, 2, 32, 0, "CURSOR_ROTATE_Z_TRUNK"}, {2, 0, 1, 2, 48, 0, ""},
        {3, 0, 1, 0, 3, 0, "CURSOR_CENTER"},
    };
    plat::set_capture(view->output.view_window[0]);  // cursors show over the window that last had the pointer
    plat::release_capture();
    for (const auto& c : cases) {
        plat::set_cursor(plat::wait_cursor());
        view->input.interaction_class = c.interaction_class, view->input.mouse.hover = c.hover,
        view->input.view_mode = c.view_mode;
        tools(c.target, c.bits);
        view->input.interaction_class = c.interaction_class;
        hold(c.key);
        plat::send_message(view->output.view_window[0], plat::WM_SETCURSOR, 0, 0);
        const plat::CursorHandle want = !c.cursor   ? plat::wait_cursor()
                                        : *c.cursor ? plat::load_cursor(c.cursor)
                                                    : plat::arrow_cursor();
        ASSERT_NE(want, nullptr);
        EXPECT_EQ(plat::window_cursor(view->output.view_window[0]), want) << (c.cursor ? c.cursor : "unchanged");
    }
}

// An 8 x 8 24-bit BMP of one colour, named as the model names files.
std::string write_bmp(const char* name, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    const std::string path = kz::test::output_dir() + "/" + name;
    std::vector<std::uint8_t> file(54 + 8 * 8 * 3, 0);
    const auto put = [&](int at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) file[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    file[0] = 'B', file[1] = 'M', file[26] = 1, file[28] = 24;
    put(2, static_cast<std::uint32_t>(file.size())), put(10, 54), put(14, 40), put(18, 8), put(22, 8);
    for (std::size_t i = 54; i < file.size(); i += 3) file[i] = b, file[i + 1] = g, file[i + 2] = r;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
    std::string inside = "Z:" + path;
    for (char& c : inside)
        if (c == '/') c = '\\';
    return inside;
}

TEST_F(MouseTools, ImageDroppedOnAFaceSwapsItsTextureOnScreen) {
    add_item(0, "first");  // the cube is not item 1, so the tool's ending must name the right item
    const int item = cube_scene();
    view->document.trunks[item]->changed = 0;
    const plat::Point top = pixel_of(kCubeTop);
    const auto paste = [&](const std::string& image) {
        view->input.paste_image_name = image;
        plat::send_message(view->output.view_window[0], UM_VIEW_TOOL_PASTE_IMAGE,
                           static_cast<plat::WParam>(plat::make_point_lparam(top.x, top.y)), 0);
        view->Redraw(0);
        return window_frame(0).at(top.x, kH - 1 - top.y);
    };
    hold(plat::VK_SHIFT);  // the first paste: this face only
    const Rgb red = paste(write_bmp("mouse_red.bmp", 255, 0, 0));
    EXPECT_EQ(view->document.trunks[item]->changed, 1);
    hold(0);  // a face that shows an image already: swapped on the item's parts
    const Rgb blue = paste(write_bmp("mouse_blue.bmp", 0, 0, 255));
    EXPECT_GT(red.r, 200);
    EXPECT_LT(red.b, 40);
    EXPECT_GT(blue.b, 200);
    EXPECT_LT(blue.r, 40);
    kz::scene::COBJECTA& record = *view->document.trunks[item]->parts[1]->record;
    ASSERT_EQ(record.paste_count, 1);
    EXPECT_NE(std::string(record.paste_entries[0].source).find("mouse_blue.bmp"), std::string::npos);

    // The unpaste-face tool missing everything, then Alt+clicks in the tools class repeat it there.
    plat::send_message(view->output.view_window[0], UM_VIEW_TOOL_UNPASTE_FACE, 0, 0);
    tools(2, 3);
    hold(plat::VK_MENU);
    drag(top, top);
    EXPECT_EQ(record.paste_count, 0);
    EXPECT_EQ(view->input.interaction_class, 2) << "Alt switches the class for its own messages only";
}

TEST_F(MouseTools, DropsOnNothingOrOnALockedItemAreRefusedWhileAUserNameIsSet) {
    const int item = cube_scene();
    const auto drop = [&](plat::Point client) {
        const plat::Point p = plat::client_to_screen(view->output.view_window[0], client);
        view->DropAtPoint((std::to_string(p.x) + "," + std::to_string(p.y) + ",Z:\\nowhere\\unit.fig").c_str());
        return plat::take_dialog_test_log();
    };
    const std::string sorry = "message_box 管理者|guest 様\r\n申し訳ありませんが、";
    EXPECT_EQ(drop({2, 2}), Log{}) << "no user name: no refusal";
    view->document.user_name = set_text(view->document.user_name, "guest");
    EXPECT_EQ(drop({2, 2}), Log{sorry + "備品は何かの上に置いてください。"});
    EXPECT_EQ(drop(pixel_of(kCubeTop)), Log{});
    view->document.trunks[item]->lock_owner = set_text(nullptr, "someone");
    EXPECT_EQ(drop(pixel_of(kCubeTop)), Log{sorry + "ロックされた備品上に物は置けません。"});
}

}  // namespace
}  // namespace kz::view::test
