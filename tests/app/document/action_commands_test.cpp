// Every action command's effect on the view, one row each: display, eye moves, attributes, parameters, colours,
// hits and camera entries, captions, poses and stages; the chained time and the statement rules.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "app/foundation/bus_mdl.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "document_fixture.h"

namespace kz::view::test {
namespace {

class ActionCommands : public DocumentTest {
public:
    // Item 1 "lamp" (kind lamp) with the parts bulb and shade; item 2 "door" (kind door) with the recording part
    // leaf, its pose "open" and its stage "up".
    void load() {
        load_text(view, trunk_line("lamp") + "\natr,kind,lamp,,[a]\n" + shape_line("bulb") + "\n" +
                            shape_line("shade") + "\n" + trunk_line("door") + ",,,,,4\natr,kind,door,,[a]\n" +
                            "box,500,0,0,,,,,,,,,,100,100,100,,,,,,,,,,,,,,leaf,,,,,,,4\n" +
                            "pose3,1,2,1,open,leaf,0,0,0,0,0,90\nstage3,1,1,up,0,0,400,0,0,0[p]\n");
        view->document.trunks[0]->RecalcMatrices(1);
    }
    XTrunk* item(int i) { return view->document.trunks.at(static_cast<std::size_t>(i)); }
    kz::scene::COBJECTA* record(int i, int p) { return item(i)->parts.at(static_cast<std::size_t>(p))->record; }
    std::string attribute(int i, const char* name) {
        char value[256] = {};
        return item(i)->GetAttribute(name, value, sizeof value) >= -1 ? value : "<none>";
    }
    const double* eye() { return view->camera.eye->eye; }
    const double* target() { return view->camera.eye->target; }
};

TEST_F(ActionCommands, EachCommandChangesTheView) {
    using Check = std::function<void(ActionCommands&)>;
    // Two poses of six columns each: the second one's motions start `ms` after the first one's.
    const auto second_pose_after = [](std::int64_t ms) -> Check {
        return [ms](ActionCommands& t) {
            ASSERT_EQ(t.view->timeline.actions.size(), 12u);
            EXPECT_EQ(
                kz::foundation::time_diff_ms(t.view->timeline.actions[0].start, t.view->timeline.actions[6].start), ms);
        };
    };
    const struct {
        const char* text;
        double time;  // the chained time it returns, from 1
        Check check;
    } cases[] = {
        {"chdisp:kind=lamp,0 // on again: chdisp:kind=lamp,1", 1,
         [](ActionCommands& t) {
             EXPECT_EQ(t.item(1)->shown, 0);
             EXPECT_EQ(t.item(2)->shown, 1);
         }},
        {"mkitem:kind=lamp,color,red,,0,kind=lamp; mkitem:kind=door,size,9,,0", 1,
         [](ActionCommands& t) {
             EXPECT_EQ(t.attribute(1, "color"), "red");
             EXPECT_EQ(t.attribute(2, "size"), "<none>");  // no own item, no match: nothing
         }},
        {"chpara:kind=lamp(bulb),B,,200,C,5,300; chpara:kind=lamp(*),no disp,D,,50", 1,
         [](ActionCommands& t) {
             EXPECT_EQ(t.record(1, 1)->dx, 200.0);
             EXPECT_EQ(t.record(1, 1)->dy, 0.0);  // expected 5, found 0
             EXPECT_EQ(t.record(1, 1)->dz, 50.0);
             EXPECT_EQ(t.record(1, 2)->dz, 50.0);
         }},
        {"chcol:kind=lamp(bulb),255.0.0; chcol:kind=door,0.300.-4,0", 1,
         [](ActionCommands& t) {
             EXPECT_EQ(t.record(1, 1)->packed_color, 0x0000FFu);
             EXPECT_EQ(t.record(1, 2)->packed_color, t.record(1, 0)->packed_color);
             EXPECT_EQ(t.record(2, 0)->packed_color, 0x00FF00u);  // channels held to a byte
         }},
        {"chcpos:1,2,3,4,5,6", 1,
         [](ActionCommands& t) {
             EXPECT_EQ(t.eye()[2], 3.0);
             EXPECT_EQ(t.target()[0], 4.0);
         }},
        {"eyepos:kind=door(leaf),0,-1000,1600,0,0,0,1600", 1,
         [](ActionCommands& t) {
             EXPECT_NEAR(t.eye()[0], 500.0, 1e-9);  // the leaf's origin plus the offsets
             EXPECT_NEAR(t.eye()[1], -1000.0, 1e-9);
             EXPECT_NEAR(t.target()[2], 1600.0, 1e-9);
         }},
        {"hit:kind=door(leaf),2", 1,
         [](ActionCommands& t) {
             ASSERT_EQ(t.view->timeline.timed_list[0].size(), 1u);
             EXPECT_STREQ(t.view->timeline.timed_list[0][0].text, "0;0;kind=door(leaf);2;");
             EXPECT_EQ(t.view->timeline.timed_list[0][0].kind, 2);
         }},
        {"eye:kind=door,0,1.5,1", 1,
         [](ActionCommands& t) {
             ASSERT_EQ(t.view->timeline.timed_list[0].size(), 1u);
             EXPECT_STREQ(t.view->timeline.timed_list[0][0].text, "2;0;;0;1.500000;1.000000");
         }},
        {"jimaku:3:hello", 1, [](ActionCommands& t) { EXPECT_STREQ(t.view->output.bridge->labels[3].text, "hello"); }},
        {"window:active,1", 1, [](ActionCommands& t) { EXPECT_EQ(t.eye()[0], 100.0); }},
        {"pose:kind=door,open,,0.5; pose:kind=door,open,+0,2", 3.5,
         [](ActionCommands& t) {
             // Six columns per pose, the second starting as the first ends.
             ASSERT_EQ(t.view->timeline.actions.size(), 12u);
             EXPECT_EQ(
                 kz::foundation::time_diff_ms(t.view->timeline.actions[0].start, t.view->timeline.actions[6].start),
                 500);
         }},
        // "+n" and "-n" count from the chained time (1.5 after the first pose), any other word from the stamp.
        {"pose:kind=door,open,,0.5; pose:kind=door,open,+1,2", 4.5, second_pose_after(1500)},
        {"pose:kind=door,open,,0.5; pose:kind=door,open,-1,2", 2.5, second_pose_after(-500)},
        {"pose:kind=door,open,,0.5; pose:kind=door,open,2,2", 4, second_pose_after(1000)},
        {"stage:kind=door,UP,,3", 4,
         [](ActionCommands& t) {
             EXPECT_EQ(t.view->timeline.actions.size(), 6u);
             EXPECT_EQ(t.view->timeline.actions[2].to_word, "400.000000");
         }},
        {"stage:kind=door,UP,+2,3", 6, [](ActionCommands& t) { EXPECT_EQ(t.view->timeline.actions.size(), 6u); }},
        {"stage:kind=door,UP,-0.5,3", 3.5, [](ActionCommands& t) { EXPECT_EQ(t.view->timeline.actions.size(), 6u); }},
        {"popview:2", 3, [](ActionCommands& t) { EXPECT_EQ(t.view->camera.camera_motion.active, 1); }},
        {"averyveryveryverylongcommandword:x; chdisp:kind=nothing,0", 1,
         [](ActionCommands& t) { EXPECT_EQ(t.item(1)->shown, 1); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        load();
        view->ClearTimedLists();
        view->ClearActions();
        view->ResetEye();
        EXPECT_DOUBLE_EQ(view->ExecActionCommand(c.text, 1.0, -1, -1), c.time);
        c.check(*this);
    }
}

TEST_F(ActionCommands, PopviewReturnsToWhereTheLastEyeMoveStarted) {
    load();
    view->ResetEye();
    const double to_eye[3] = {0, -5000, 0}, to_target[3] = {0, 0, 0};
    view->AnimateEyeTo(to_target, 0, to_eye, 1.0, 0.0, 0.0, 0.0);
    clock->advance(1000);
    SystemTime now;
    view->GetClockTime(&now);
    view->StepCameraMove(now);
    EXPECT_EQ(eye()[1], -5000.0);
    view->ExecActionCommand("popview:", 0.0, -1, -1);
    EXPECT_EQ(eye()[1], -100.0);
}

}  // namespace
}  // namespace kz::view::test
