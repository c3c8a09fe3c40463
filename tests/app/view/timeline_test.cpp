// The timeline on a hand-driven clock: which action items a click queues and when they fall due, what a due hit
// fires, the start events, the tick's animation of items, a clicked camera action played to its end, and the
// next-camera message's round of the items with camera entries.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/document/view_messages.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/matrix_ops.h"
#include "app/foundation/timer_slots.h"
#include "app/scene/condition_list.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "paint_fixture.h"

namespace kz::view::test {
namespace {

namespace fnd = kz::foundation;
using Entries = std::vector<std::pair<int, std::string>>;  // kind, text

Entries entries_of(const XView* view) {
    Entries out;
    for (const TimedEntry& e : view->timeline.timed_list[0]) out.emplace_back(e.kind, e.text ? e.text : "");
    return out;
}
void tick(XView* view) { kz::platform::send_message(view->output.view_window[0], UM_VIEW_TICK, 0, 0); }
SystemTime shifted(SystemTime t, double seconds) {
    fnd::add_seconds_to_time(t, seconds);
    return t;
}

// Item 1 has a button (part 1) and a lamp (part 2) whose camera entries, far in the future, show that it fired.
class TimelineTest : public ViewTest {
public:
    void SetUp() override {
        ViewTest::SetUp();
        add_item(0, "item");
        add_part(1, "button", "");
        add_part(1, "lamp", "C;ran;100|C2;ran2;100");
    }
    int add_part(int item, const char* name, const char* action) {
        XTrunk* trunk = view->document.trunks[item];
        XLeaves* part = trunk->parts[trunk->AddLeaves()];
        part->record->name = fnd::set_heap_string(part->record->name, name, nullptr, -1);
        part->record->action = fnd::set_heap_string(part->record->action, action, nullptr, -1);
        return part->index;
    }
    bool queued(const std::string& text) const {
        const Entries e = entries_of(view);
        return std::any_of(e.begin(), e.end(), [&](const auto& x) { return x.second == text; });
    }
    bool lamp_fired() const { return queued("1;2;ran;100"); }
    SystemTime now() {
        SystemTime t;
        view->GetClockTime(&t);
        return t;
    }
    bool timer_running() const { return fnd::timer_slot_period(view->timeline.timer_slot) != 0; }
};

TEST_F(TimelineTest, AClickQueuesTheItemsOfItsMaskFromRealPartsOnly) {
    const int part = add_part(1, "p",
                              "H;a;0|h1;b;0| H2;c;0 |C;d;0|c2;e;0|M3;f;0|Z;g;0|H;|H|C3;h;0|"
                              "M;p;dx;0;1;9;1|m2;p;dy;0;1;9;1");
    const Entries all = {{2, "1;3;a;0"}, {2, "1;3;b;0"}, {2, "1;3;c;0"}, {1, "1;3;d;0"}, {1, "1;3;e;0"}};
    const struct {
        int mask;
        Entries expected;
        std::vector<int> columns;  // of the motions added
    } cases[] = {{0, all, {1, 2}}, {1, {all[0], all[1], all[3]}, {1}}, {2, {all[2], all[4]}, {2}}, {3, {}, {}}};
    for (const auto& c : cases) {
        view->ClearTimedLists();
        view->ClearActions();
        EXPECT_EQ(view->FireLeafActions(1, part, c.mask), 1);
        EXPECT_EQ(entries_of(view), c.expected) << c.mask;
        std::vector<int> columns;
        for (const ActionRecord& a : view->timeline.actions) columns.push_back(a.column);
        EXPECT_EQ(columns, c.columns) << c.mask;
    }
    view->ClearTimedLists();
    const int root_part = add_part(0, "rootpart", "H;a;0");
    view->document.trunks[1]->base_record()->action = fnd::set_heap_string(nullptr, "H;a;0", nullptr, -1);
    for (const auto& [item, p] : {std::pair{0, root_part}, {1, 0}, {1, 9}, {-1, part}, {2, part}, {1, 1}})
        EXPECT_EQ(view->FireLeafActions(item, p, 0), 0) << item << "," << p;
    view->timeline.actions_off = 1;
    EXPECT_EQ(view->FireLeafActions(1, part, 0), 0);
    EXPECT_TRUE(entries_of(view).empty());
}

TEST_F(TimelineTest, DueTimesCountFromTheStampOrFromTheLastStart) {
    const SystemTime stamp = now();
    // The first relative offset, before anything started, counts from the stamp.
    const struct {
        const char* line;
        int ms;
    } cases[] = {{"H;1;1;t;+3", 3000},   {"H;1;1;t;0", 0},      {"H;1;1;t;+2", 2000}, {"H;1;1;t;-0.5", 1500},
                 {"C;1;1;t;1.25", 1250}, {"h2;1;1;t;+0", 1250}, {"H;1;1;t", 0},       {"X;1;1;t;4", 4000}};
    for (const auto& c : cases) {
        const int index = view->QueueAction(c.line, stamp, 0);
        EXPECT_EQ(fnd::time_diff_ms(stamp, view->timeline.timed_list[0].at(index).due), c.ms) << c.line;
    }
    EXPECT_EQ(view->timeline.timed_list[0].back().kind, 0);
    // A line of the other variant is left out; the answer is the last entry there is.
    const int last = static_cast<int>(view->timeline.timed_list[0].size()) - 1;
    EXPECT_EQ(view->QueueAction("H2;1;1;t;0", stamp, 1), last);
    EXPECT_EQ(view->QueueAction("C;1;1;t;0", stamp, 2), last);
    EXPECT_EQ(static_cast<int>(view->timeline.timed_list[0].size()) - 1, last);
}

TEST_F(TimelineTest, EntriesRunOnlyInsideTheirDueWindow) {
    const struct {
        double due;  // seconds from now
        bool runs, stays;
    } cases[] = {{0.0, true, false}, {-3599.0, true, false}, {-3600.0, false, false}, {0.5, false, true}};
    for (const auto& c : cases) {
        view->ClearTimedLists();
        view->QueueAction("H;1;1;lamp;0", shifted(now(), c.due), 0);
        view->RunTimedEntries(now());
        EXPECT_EQ(lamp_fired(), c.runs) << c.due;
        EXPECT_EQ(queued("1;1;lamp;0"), c.stays) << c.due;
    }
    clock->advance(500);  // the waiting one's time has come
    view->RunTimedEntries(now());
    EXPECT_TRUE(lamp_fired());
    // Command lines keep the same window: two due of three run, the answer counts the waiting and the run.
    const SystemTime t = now();
    for (double due : {0.0, 1.0, 0.0}) view->AddTimedCommand("x", shifted(t, due), 0, 1, 2);
    EXPECT_EQ(view->RunTimedCommands(t), 3 + 2);
    EXPECT_EQ(view->timeline.timed_list[1].size(), 1u);
}

TEST_F(TimelineTest, AHitFiresTheTargetAfterItsTag) {
    const struct {
        const char* entry;
        bool fires;
    } cases[] = {{"1;1;lamp;0", true},
                 {"1;1;[wav=a.wav]lamp;0", true},
                 {"1;1;<web=x.htm>lamp;0", true},
                 {"1;1;[jump=b.fig]lamp;0", false},
                 {"1;1;[pose=open]lamp;0", false},
                 {"1;1;[wav=a.wav lamp;0", false},
                 {"1;1;[wav=a.wav];0", false},
                 {"1;1;:lamp;0", false}};
    for (const auto& c : cases) {
        view->ClearTimedLists();
        EXPECT_EQ(view->ExecTag(c.entry), 0);
        EXPECT_EQ(lamp_fired(), c.fires) << c.entry;
    }
    view->ClearTimedLists();
    view->ExecTag("1;1;lamp;0;;;2");  // the entry's mask reaches the fired part
    EXPECT_EQ(entries_of(view), (Entries{{1, "1;2;ran2;100"}}));
    // Two parts that hit each other at once take one turn a scan, even on a clock that stands still.
    view->ClearTimedLists();
    add_part(1, "ping", "H;pong;0");
    add_part(1, "pong", "H;ping;0");
    view->QueueAction("H;1;1;ping;0", now(), 0);
    for (const char* next : {"1;3;pong;0", "1;4;ping;0"}) {
        view->RunTimedEntries(now());
        EXPECT_EQ(entries_of(view), (Entries{{2, next}}));
    }
}

TEST_F(TimelineTest, AnEntryFollowsItsItemWhenAnEarlierItemIsDeleted) {
    const int doomed = add_item(0, "doomed");
    const int mover = add_item(0, "mover");
    add_part(mover, "button", "");
    add_part(mover, "lamp", "C;ran;100");
    view->QueueAction(("H;" + std::to_string(mover) + ";1;lamp;0").c_str(), now(), 0);
    ASSERT_EQ(view->DeleteTrunk(doomed, 1), 1);
    view->RunTimedEntries(now());
    EXPECT_TRUE(queued(std::to_string(mover - 1) + ";2;ran;100"));
}

TEST_F(TimelineTest, StartEventsAndEyeSetQueueTheirEntriesAndWakeTheClock) {
    const char* marks[][3] = {{"1", "s-btn", "C;one;100"},
                              {"start", "start", "C;two;100"},
                              {"0", "s-btn", "C;no;100"},
                              {"start", "s-btn", "C;no;100"}};
    for (const auto& m : marks) {
        const int item = add_item(0, m[1]);
        view->document.trunks[item]->SetAttribute("start", m[0], nullptr);
        add_part(item, m[1], m[2]);
    }
    view->timeline.actions_off = 1;
    view->FireStartActions();
    EXPECT_FALSE(timer_running());
    view->timeline.actions_off = 0;
    view->FireStartActions();
    EXPECT_TRUE(timer_running());
    view->RunTimedEntries(now());
    EXPECT_EQ(entries_of(view), (Entries{{1, "2;1;one;100"}, {1, "3;1;two;100"}}));

    view->ClearTimedLists();
    kz::foundation::timer_stop(view->timeline.timer_slot);
    for (int refused : {0, view->trunk_count()})
        kz::platform::send_message(view->output.view_window[0], EYE_SET, refused, 0);
    EXPECT_FALSE(timer_running());
    view->camera.eye_move_time = 0.75;
    kz::platform::send_message(view->output.view_window[0], EYE_SET, 1, 0);
    EXPECT_EQ(entries_of(view), (Entries{{1, "1;0;;0;0.750000;1"}}));
    EXPECT_TRUE(timer_running());
}

TEST_F(TimelineTest, FindTargetTrunkTakesTheFirstMatchDepthFirst) {
    const int a = add_item(0, "a"), b = add_item(a, "b"), c = add_item(a, "c"), d = add_item(0, "d");
    for (int i : {b, d}) view->document.trunks[i]->SetAttribute("k", "1", nullptr);
    for (int i : {c, d}) view->document.trunks[i]->SetAttribute("j", "1", nullptr);
    const struct {
        std::string condition;
        int own, expected;  // -1: no match, the result left alone
    } cases[] = {{"#top", -1, 0}, {"k=1", -1, b}, {"j=1", -1, c}, {"(x)", c, c}, {"k=2", -1, -1}};
    for (const auto& cs : cases) {
        kz::scene::ConditionList list;
        kz::scene::init_condition_list(&list);
        kz::scene::parse_condition(&list, cs.condition.c_str(), 0, static_cast<int>(cs.condition.size()), cs.own, 0,
                                   -1);
        XTrunk* found = view->document.trunks[a];
        EXPECT_EQ(view->FindTargetTrunk(view->document.trunks[0], &list, &found), cs.expected >= 0) << cs.condition;
        EXPECT_EQ(found, view->document.trunks[cs.expected >= 0 ? cs.expected : a]) << cs.condition;
        kz::scene::free_condition_list(&list);
    }
}

TEST_F(TimelineTest, NextCameraMessageVisitsTheItemsWithCameraEntriesInTurn) {
    add_part(add_item(0, "plain"), "door", "H;[wav=a.wav];0");
    const int far = add_item(0, "far");
    add_part(far, "view", "m;x;rz;0;1;0;1|c1;far;0");
    view->document.trunks[far]->base_record()->dx = 500.0;
    view->document.trunks[far]->RecalcMatrices(1);
    add_item(0, "last");
    EXPECT_EQ(view->FindTrunkByAttribute("#name", "FAR", 0), far);
    EXPECT_EQ(view->FindTrunkByAttribute("#name", "far", far + 1), -1);
    for (const int expected : {1, far, 1}) {  // past the last camera item the search starts again
        kz::platform::send_message(view->output.view_window[0], UM_VIEW_NEXT_CAMERA, 0, 0);
        EXPECT_EQ(view->input.selected_trunk, expected);
        clock->advance(1000);
        tick(view);
        EXPECT_NEAR(view->camera.eye->target[0], expected == far ? 500.0 : 0.0, 1e-6);
    }
}

TEST_F(TimelineTest, TheScheduleAnimatesItemsAndCountsWhatIsLeft) {
    XTrunk* trunk = view->document.trunks[1];
    XLeaves* part = trunk->parts[1];
    trunk->RecalcMatrices(1);
    const std::vector<double> placed(part->L, part->L + 16);
    const SystemTime start = now();
    part->AllocMotionTable();
    part->motions[1] = kz::scene::MotionSlot{start, 1000.0, 0.0, 0, 100.0, 0, 1, 1};  // dx 0 to 100, linear
    trunk->animating = 1;
    view->QueueAction("C;1;1;t;0", shifted(start, 60), 0);

    EXPECT_EQ(view->RunSchedule(shifted(start, 0.5)), 1 + 1);
    EXPECT_DOUBLE_EQ(part->record->dx, 50.0);
    // The tick placed the part anew: placing it again changes nothing, and it is not where it was.
    const std::vector<double> moved(part->L, part->L + 16);
    trunk->RecalcMatrices(1);
    EXPECT_EQ(std::vector<double>(part->L, part->L + 16), moved);
    EXPECT_NE(moved, placed);
    view->RunSchedule(shifted(start, 1));
    EXPECT_DOUBLE_EQ(part->record->dx, 100.0);
    EXPECT_EQ(view->RunSchedule(shifted(start, 1)), 0 + 1);
    EXPECT_EQ(trunk->animating, 0);
    view->timeline.schedule_halted = 1;
    EXPECT_EQ(view->RunSchedule(shifted(start, 1)), 0);
    // A halted schedule stops the timer even with motions waiting; new lists set it going again.
    view->StartViewTimer();
    ASSERT_EQ(view->AddAction("button;dx;0;1;100;1;1", part, start), 0);
    tick(view);
    EXPECT_FALSE(timer_running());
    view->ClearTimedLists();
    view->StartViewTimer();
    tick(view);
    EXPECT_TRUE(timer_running());
}

// Through the window procedure: the click fires the part's camera action, the ticks carry the eye onto the
// item's camera part over the action's two seconds.
using TimelineCameraTest = PaintTest;
TEST_F(TimelineCameraTest, AClickedCameraActionMovesTheEyeOntoTheCameraPart) {
    XTrunk* trunk = view->document.trunks[add_box_item("box,w=400,d=400,h=400,red=255,green=0,blue=0")];
    double centre[3];
    view->ComputeSceneBounds(nullptr, centre);
    trunk->parts[1]->record->action = fnd::set_heap_string(nullptr, "C;(eye);0;2;1", nullptr, -1);
    XLeaves* camera = trunk->parts[trunk->AddLeaves()];
    camera->record->ReadFigureLine("box,w=10,d=10,h=10,dx=300,dy=-3000,dz=500,rx=-90");
    camera->record->name = fnd::set_heap_string(camera->record->name, "eye", nullptr, -1);
    camera->record->camera_number = 1;
    camera->record->camera_value = 1000.0;
    camera->Build(nullptr);
    trunk->RecalcMatrices(1);
    const double from[3] = {centre[0], centre[1] - 2000, centre[2]};
    look(from, centre);
    view->Redraw(1);
    double end_eye[3], end_target[3];
    const double origin[3] = {0.0, 0.0, 0.0}, ahead[3] = {0.0, 0.0, 1000.0};
    fnd::transform_point(end_eye, origin, camera->L);
    fnd::transform_point(end_target, ahead, camera->L);
    ASSERT_NEAR(end_eye[1], -3000.0, 1e-6);

    const LParam click = kz::platform::make_point_lparam(kW / 2, kH / 2);
    kz::platform::send_message(view->output.view_window[0], kz::platform::WM_LBUTTONDOWN, 1, click);
    kz::platform::send_message(view->output.view_window[0], kz::platform::WM_LBUTTONUP, 0, click);
    ASSERT_EQ(entries_of(view), (Entries{{1, "1;1;(eye);0;2;1"}}));
    tick(view);
    EXPECT_TRUE(entries_of(view).empty());
    clock->advance(1000);
    tick(view);
    for (int i = 0; i < 3; ++i) {  // half the time on the ease-out curve: three quarters of the way
        EXPECT_NEAR(view->camera.eye->eye[i], from[i] + (end_eye[i] - from[i]) * 0.75, 1e-6) << i;
        EXPECT_NEAR(view->camera.eye->target[i], centre[i] + (end_target[i] - centre[i]) * 0.75, 1e-6) << i;
    }
    clock->advance(1000);
    tick(view);
    EXPECT_EQ(view->camera.camera_motion.active, 0);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(view->camera.eye->eye[i], end_eye[i], 1e-6) << i;
}

}  // namespace
}  // namespace kz::view::test
