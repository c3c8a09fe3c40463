// Scene counts, unit colours down the part tree, item colour overrides in the modeller's materials, visibility
// inversion and nearness, and the pick status text.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/foundation/bus_mdl.h"
#include "app/foundation/dib_text.h"
#include "app/foundation/heap_text.h"
#include "app/scene/figure_record.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "paint_fixture.h"

namespace kz::view::test {
namespace {

constexpr const char* kBox = "box,w=100,d=100,h=100";

TEST_F(PaintTest, CountsByVisibleHiddenAndShown) {
    const int a = add_box_item(kBox);
    const int b = add_box_item(kBox);
    view->document.trunks[b]->parts[view->document.trunks[b]->AddLeaves()]->record->ReadFigureLine(kBox);
    view->document.trunks[b]->parts[2]->Build(nullptr);
    const int c = add_box_item(kBox);
    view->document.trunks[c]->shown = 0;  // hidden
    (void)a;
    struct Case {
        int proximity;
        int shown_b;
        int stats[4][3];  // trunks, parts, faces, triangles x hidden, visible, shown
    };
    const Case cases[] = {
        // A box has six faces of four points: two triangles each.
        {0, 0, {{1, 2, 2}, {1, 3, 3}, {6, 18, 18}, {12, 36, 36}}},  // without nearness, shown = visible
        {1, 0, {{1, 2, 1}, {1, 3, 1}, {6, 18, 6}, {12, 36, 12}}},
    };
    for (const Case& k : cases) {
        view->display.near_target_display = k.proximity;
        view->document.trunks[b]->shown_too = k.shown_b;
        view->CountScene();
        for (int q = 0; q < 4; ++q)
            for (int col = 0; col < 3; ++col)
                EXPECT_EQ(view->display.scene_stats[q][col], k.stats[q][col]) << q << "," << col;
    }
}

TEST_F(PaintTest, NearnessShowsOnlyItemsNearTheTarget) {
    const int near = add_box_item("box,w=100,d=100,h=100,dx=1000");
    const int far = add_box_item("box,w=100,d=100,h=100,dx=9000");
    const int hidden = add_box_item(kBox);
    view->document.trunks[hidden]->shown = 0;
    view->display.near_target_display = 1;
    view->ApplyProximityDisplay();
    EXPECT_EQ(view->document.trunks[near]->shown_too, 1);
    EXPECT_EQ(view->document.trunks[far]->shown_too, 0);
    EXPECT_EQ(view->document.trunks[hidden]->shown_too, 0);
    view->ResetShownFlags();
    EXPECT_EQ(view->document.trunks[far]->shown_too, 1);
    view->InvertVisibility();
    EXPECT_EQ(view->document.trunks[near]->shown, 0);
    EXPECT_EQ(view->document.trunks[hidden]->shown, 1);
    EXPECT_EQ(view->document.trunks[hidden]->shown_too, 1);
}

// Diffuse colour of the first face set of a part as the modeller holds it.
OfuColorValue part_diffuse(XView* view, XLeaves* part) {
    CO3duPrimitive p;
    view->output.bridge->modeller->GetPrimitive(part->model, p, O3DU_PRIM_MATERIAL);
    return p.sets[0].material.diffuse;
}

TEST_F(PaintTest, UnitColoursComeDownThePartTree) {
    const int plain = add_box_item("box,w=100,d=100,h=100,red=0,green=0,blue=255");
    const int unit = add_item(0, "unit");
    XTrunk* u = view->document.trunks[unit];
    u->base_record()->frefer = kz::foundation::set_heap_string(nullptr, "unit.fig", nullptr, -1);
    u->base_record()->packed_color = 0x0000FF;  // red
    const int inner = add_box_item("box,w=100,d=100,h=100,red=0,green=255,blue=0");
    view->document.trunks[inner]->SetParent(u);
    view->document.trunks[inner]->base_record()->packed_color = 0x00FF00;
    view->document.trunks[plain]->base_record()->packed_color = 0xFF0000;
    view->display.unit_depth = -1;
    view->PropagateUnitColors(view->document.trunks[0], -1);
    EXPECT_EQ(view->document.trunks[plain]->highlight_color, 0xFF0000u);  // its own colour outside every unit
    EXPECT_EQ(view->document.trunks[inner]->highlight_color, 0x0000FFu);  // the unit's colour wins inside it
    const OfuColorValue d = part_diffuse(view, view->document.trunks[inner]->parts[1]);
    EXPECT_GT(d.r, 0.5f);
    EXPECT_LT(d.g, 0.1f);
}

TEST_F(PaintTest, OverrideColourSparesNearlyInvisibleParts) {
    const int item = add_box_item("box,w=100,d=100,h=100,red=0,green=0,blue=255");
    XTrunk* t = view->document.trunks[item];
    XLeaves* clear = t->parts[t->AddLeaves()];
    clear->record->ReadFigureLine("box,w=100,d=100,h=100,red=0,green=0,blue=255,trans=1.0");
    clear->Build(nullptr);
    t->highlight_color = 0x0000FF;
    view->ApplyTrunkAppearance(0, t);
    EXPECT_GT(part_diffuse(view, t->parts[1]).r, 0.5f);
    EXPECT_LT(part_diffuse(view, clear).r, 0.1f);
}

TEST_F(PaintTest, PickStatusText) {
    const int item = add_box_item(kBox);
    view->camera.eye->eye[0] = 1.4, view->camera.eye->eye[1] = -2.6, view->camera.eye->eye[2] = 3;
    view->camera.eye->target[0] = 10, view->camera.eye->target[1] = 20, view->camera.eye->target[2] = 30.4;
    view->camera.eye->lens = 55;
    struct Case {
        int line, trunk, part, face;
        const char* want;
    };
    const std::string tail =
        " \x83\x8c\x83\x93\x83\x59[ 55.0]\x96\xda\x8a\xd4(65.000) eye(1 -3 3)\x81\xa8\x92\x8d\x8e\x8b(10 20 30)";
    const Case cases[] = {
        {-1, -1, -1, -1, ""}, {7, -1, -1, -1, " [\x8d\x73=7]"}, {-1, item, 1, 2, " [\x96\xca=2]"},
        {-1, item, 1, 0, ""},  // face 0 has no number shown
        {-1, item, 0, 2, ""},
    };
    char out[512];
    for (const Case& c : cases) {
        view->input.selected_line = c.line;
        view->input.selected_trunk = c.trunk, view->input.selected_part = c.part, view->input.selected_face = c.face;
        const std::string text = view->FormatPickStatus(out);
        EXPECT_EQ(text, std::string(c.want) + tail + " img=" + std::to_string(view->output.bridge->texture_count));
        EXPECT_STREQ(out, text.c_str());
    }
}

}  // namespace
}  // namespace kz::view::test

namespace kz::view::test {
namespace {

TEST(CommentColumns, CutToWidthKeepsDoubleByteCharactersWhole) {
    struct Case {
        const char* text;
        int width;
        const char* piece;  // padded to the width
        int consumed;
    };
    const Case cases[] = {
        {"abcdef", 4, "abcd", 4},
        {"ab__cd", 4, "ab  ", 4},  // a line end inside the piece ends it and goes with it
        {"a\x82\xa0"
         "b",
         2, "a ", 1},  // the lead byte would end the piece: one byte shorter
        {"\x82\xa0\x82\xa1", 3, "\x82\xa0 ", 2},
        {"", 3, "   ", 0},
    };
    char buffer[16];
    for (const Case& c : cases) {
        EXPECT_EQ(XView::CutToWidth(c.text, buffer, c.width), c.consumed) << c.text;
        EXPECT_STREQ(buffer, c.piece) << c.text;
    }
}

TEST(CommentColumns, JoinColumnsLaysTextsSideBySide) {
    char* out = kz::foundation::set_heap_string(nullptr, "head__", nullptr, -1);
    out = XView::JoinColumns(out, "name", 5, "longvalue", 4, "x__y", 2);
    EXPECT_STREQ(out, "head__name longx __     valuy __     e     __");
    kz::foundation::free_and_null(out);
    // A column narrower than a double-byte character drops it instead of stalling.
    out = XView::JoinColumns(nullptr, "\x82\xa0z", 1, "", 1, "", 1);
    EXPECT_STREQ(out, "   __z  __");
    kz::foundation::free_and_null(out);
}

TEST_F(PaintTest, CommentPopupStaysOnTheWorkArea) {
    kz::platform::GdiRect work{};
    kz::foundation::get_monitor_work_area({0, 0}, &work);
    ASSERT_GT(work.right, 200);
    const kz::platform::Point origin = kz::platform::client_to_screen(view->output.view_window[0], {0, 0});
    struct Case {
        int x, y;  // screen point
        int want_x, want_y;
    };
    // "abcd" in 24-pixel type with margin 8: 24 x 0.5 x (4 + 4) + 16 = 112 wide, (3 + 24) + 16 = 43 high.
    const Case cases[] = {
        {100, 100, 116, 132},
        {work.right - 20, 100, work.right - 112 - 10, 132},  // opens to the left of the point
        {100, work.bottom - 20, 116, work.bottom - 43 - 32},
        {-50, -50, 10, 10},  // never nearer than 10 to the left or top
    };
    for (const Case& c : cases) {
        view->ShowTextWindow("abcd", {c.x - origin.x, c.y - origin.y}, 3, 24, 8);
        const kz::platform::Rect r = kz::platform::window_rect(view->output.comment_window);
        EXPECT_EQ(r.left, c.want_x);
        EXPECT_EQ(r.top, c.want_y);
        EXPECT_EQ(r.right - r.left, 112);
        EXPECT_EQ(r.bottom - r.top, 43);
    }
    EXPECT_EQ(view->output.comment_text, "abcd");
    // The one line hangs inside the window: the top margin stays white and the type lies below it, whole.
    std::vector<std::uint8_t> bgra;
    int w = 0, h = 0;
    ASSERT_TRUE(kz::platform::window_image(view->output.comment_window, &bgra, &w, &h));
    int ink_above = 0, ink_in_line = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool ink = bgra[std::size_t(y * w + x) * 4] < 128;
            (y < 8 ? ink_above : ink_in_line) += (ink && y < 8 + 24) ? 1 : 0;
        }
    EXPECT_EQ(ink_above, 0);
    EXPECT_GT(ink_in_line, 20);
    view->HideCommentWindow();
    EXPECT_TRUE(view->output.comment_text.empty());
}

}  // namespace
}  // namespace kz::view::test
