// Stepped moves and turns under locks and limits, action firing over a subtree, hiding by layer, camera-entry
// moves and grid copies made by "dup" lines of a loaded file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "app/foundation/heap_text.h"
#include "app/scene/condition_list.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "paint_fixture.h"
#include "tests/support/test_paths.h"

namespace kz::view::test {
namespace {

using kz::foundation::set_heap_string;
using PartOperations = PaintTest;
using Values = std::vector<double>;

const char* kBox = "box,0,0,0,,,,,,,,,,100,100,100";

XLeaves* add_part(XTrunk* trunk, const char* line, const char* name) {
    XLeaves* part = trunk->parts[trunk->AddLeaves()];
    part->record->ReadFigureLine(line);
    part->record->name = set_heap_string(part->record->name, name, nullptr, -1);
    part->Build(nullptr);
    return part;
}

Values placement(const kz::scene::COBJECTA* r) { return {r->dx, r->dy, r->dz, r->rx, r->ry, r->rz}; }

TEST_F(PartOperations, CodesLocksAndLimitsDecideWhatMoves) {
    // a = 1, b = 2, c = 3: the code's bits choose which of them act, on which axis.
    const struct {
        int op;
        Values want;
    } cases[] = {
        {1, {1, 0, 0, 0, 0, 0}},  {2, {0, 2, 0, 0, 0, 0}},  {3, {1, 2, 0, 0, 0, 0}},  {4, {0, 0, 3, 0, 0, 0}},
        {8, {0, 0, 0, 1, 0, 0}},  {16, {0, 0, 0, 0, 2, 0}}, {24, {0, 0, 0, 1, 2, 0}}, {32, {0, 0, 0, 0, 0, 3}},
        {40, {0, 0, 0, 1, 0, 3}}, {48, {0, 0, 0, 0, 2, 3}}, {5, Values(6)},           {56, Values(6)},
    };
    for (const auto& c : cases) {
        const int item = add_box_item(kBox, "item");
        view->ApplyPartOperation(item, 2, c.op, 1.0, 2.0, 3.0);
        EXPECT_EQ(placement(view->document.trunks[item]->base_record()), c.want) << "op " << c.op;
    }
    const int item = add_box_item(kBox, "item");
    XTrunk* t = view->document.trunks[item];
    view->input.selected_part = 1;  // target kind 3: the selected part, not the base
    view->ApplyPartOperation(item, 3, 3, 5.0, 6.0, 7.0);
    EXPECT_EQ(placement(t->parts[1]->record), (Values{5, 6, 0, 0, 0, 0}));
    EXPECT_EQ(placement(t->base_record()), Values(6));

    kz::scene::COBJECTA* r = t->base_record();
    r->change_locks[2] = r->change_locks[6] = 1;  // dy, rz
    EXPECT_EQ(view->MovePart(t->base(), 10, 10, 10), 1);
    EXPECT_EQ(view->RotatePart(t->base(), 5, 5, 5), 1);
    EXPECT_EQ(placement(r), (Values{10, 0, 10, 5, 5, 0}));
    r->change_locks[1] = r->change_locks[3] = 1;
    EXPECT_EQ(view->MovePart(t->base(), 10, 10, 10), 0);
    EXPECT_EQ(placement(r), (Values{10, 0, 10, 5, 5, 0}));
    // The second set moves the base point under the same locks and within its own columns' limits.
    r->change_locks[1] = r->change_locks[3] = 0;
    ASSERT_EQ(t->base()->ParseMoveLimits("A;dx;-5;20|A;odx;-5;40"), 1);
    view->input.second_set = 1;
    EXPECT_EQ(view->MovePart(t->base(), 100, 100, 3), 1);
    EXPECT_EQ((Values{r->odx, r->ody, r->odz, r->dx}), (Values{40, 0, 3, 10}));
    view->input.second_set = 0;
    view->MovePart(t->base(), 100, 0, 0);
    EXPECT_EQ(r->dx, 20.0);
}

TEST_F(PartOperations, MatchingPartsFireChildrenFirstButNeverTheOrigin) {
    // root -> a (door, knob) -> b (door); c with its base part alone.
    const int a = add_item(0, "a");
    const int b = add_item(a, "b");
    const int c = add_item(0, "c");
    for (auto [item, name] : {std::pair{a, "door"}, {a, "knob"}, {b, "door"}})
        add_part(view->document.trunks[item], kBox, name)->record->action =
            set_heap_string(nullptr, "H;x", nullptr, -1);
    using Fired = std::vector<std::pair<int, int>>;
    auto fired = [&](std::string target, int origin_item, int origin_part) {
        view->ClearTimedLists();
        kz::scene::ConditionList condition;
        kz::scene::init_condition_list(&condition);
        kz::scene::parse_condition(&condition, target.data(), 0, static_cast<int>(target.size()), origin_item,
                                   origin_part, 0);
        view->FireMatchingLeafActions(origin_item, origin_part, view->document.trunks[0], &condition, 0);
        kz::scene::free_condition_list(&condition);
        Fired out;  // each entry's text begins with its item and part
        for (const TimedEntry& e : view->timeline.timed_list[0]) {
            char* rest = nullptr;
            const int item = static_cast<int>(std::strtol(e.text, &rest, 10));
            out.push_back({item, static_cast<int>(std::strtol(rest + 1, nullptr, 10))});
        }
        return out;
    };
    EXPECT_EQ(fired("*=1(*)", a, 1), (Fired{{b, 1}, {a, 2}}));
    EXPECT_EQ(fired("*=1(door)", a, 1), (Fired{{b, 1}}));
    EXPECT_EQ(fired("*=1(door)", c, 0), (Fired{{b, 1}, {a, 1}}));
    EXPECT_EQ(fired("*=1(trunk)", c, 0), (Fired{{b, 1}, {a, 1}}));
}

TEST_F(PartOperations, HideLayerByNameOrTheUnlayered) {
    std::vector<int> items;
    for (const char* layer : {"Walls", "walls", "Doors", ""}) {
        items.push_back(add_box_item(kBox, "item"));
        kz::scene::COBJECTA* r = view->document.trunks[items.back()]->base_record();
        r->layer = set_heap_string(r->layer, layer, nullptr, -1);
    }
    auto shown = [&] {
        std::vector<int> out;
        for (int i : items) out.push_back(view->document.trunks[i]->shown);
        return out;
    };
    view->HideLayer(view->document.trunks[0], "WALLS");
    EXPECT_EQ(shown(), (std::vector<int>{0, 0, 1, 1}));
    view->HideLayer(view->document.trunks[0], "");
    EXPECT_EQ(shown(), (std::vector<int>{0, 0, 1, 0}));
}

TEST_F(PartOperations, CameraEntryMoveHeadsForTheCameraPart) {
    const int plain = add_box_item(kBox, "plain");
    const int item = add_box_item(kBox, "camera item");
    XTrunk* t = view->document.trunks[item];
    t->base_record()->dx = 1000, t->base_record()->dy = 2000, t->base_record()->dz = 300;
    // A half turn about y sends local x and z to -x and -z, whichever way turns are counted.
    XLeaves* camera = add_part(t, "box,100,0,50,,180,,,,,,,,10,10,10", "lens");
    camera->record->camera_number = 1;
    camera->record->camera_value = 500.0;
    t->RecalcMatrices(1);
    view->camera.eye->lens = 50.0;
    const double eye[3] = {1, 2, 3}, target[3] = {4, 5, 6};
    look(eye, target);
    view->StartCameraMove((std::to_string(plain) + ";0;;0;2;1").c_str());
    EXPECT_EQ(view->camera.camera_move, 0) << "an item without a camera part starts nothing";

    view->StartCameraMove((std::to_string(item) + ";0;;0;2.5;1;5000;7").c_str());
    const CameraMove& m = view->camera.camera_motion;
    EXPECT_EQ(
        (Values{double(view->camera.camera_move), double(m.active), double(m.target_item), m.duration_ms, m.value}),
        (Values{1, 2, double(item), 2500, 7}));
    EXPECT_EQ((Values{m.start_lens, m.end_lens}), (Values{50, 1000}));
    EXPECT_EQ((Values{m.start_eye[2], m.start_target[2]}), (Values{3, 6}));
    const double end_eye[3] = {1100, 2000, 350}, end_target[3] = {1100, 2000, -150};
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(m.end_eye[k], end_eye[k], 1e-6) << k;
        EXPECT_NEAR(m.end_target[k], end_target[k], 1e-6) << k;
    }
    EXPECT_EQ(view->camera.current_camera_part, camera);
    EXPECT_EQ(view->input.view_mode, 3);
    // No lens given: the current one, clamped; a stored reach of 0.1 or less: the default one; mode -1 frees.
    view->camera.eye->lens = 1.0;
    camera->record->camera_value = 0.05;
    view->StartCameraMove((std::to_string(item) + ";0;;0;1;-1").c_str());
    EXPECT_EQ((Values{m.end_lens, m.end_target[2]}), (Values{2, 350 - 8000.0}));
    EXPECT_EQ(view->camera.current_camera_part, nullptr);
}

TEST_F(PartOperations, DupLinesCopyAnItemOverAGrid) {
    const std::string path = kz::test::output_file("grid_copy.fig");
    // "chair" copied 3 x 2 (with children, of which it has none yet); "stool" 3 x 1, its bad counts taken as 1.
    std::ofstream(path, std::ios::binary) << "trunk,100,200,0,,,,,,,,,,,,,,,,,,,,,,,,,,chair\r\n"
                                             "box,0,0,0,,,,,,,,,,400,400,450,,,,,,1,200,100,50,,,,,seat\r\n"
                                             "dup,500,700,0,0,0,15,3,2,1,,,,,,,,,1\r\n"
                                             "{\r\ntrunk,0,0,450,,,,,,,,,,,,,,,,,,,,,,,,,,cushion\r\n}\r\n"
                                             "trunk,0,-1000,0,,,,,,,,,,,,,,,,,,,,,,,,,,stool\r\n"
                                             "dup,400,0,0,0,0,30,3,0,-2\r\n";
    std::string name = "Z:" + path;
    for (char& ch : name)
        if (ch == '/') ch = '\\';
    ASSERT_EQ(view->OpenModel(name.c_str()), 1);
    std::vector<XTrunk*> chairs, stools;
    for (XTrunk* t : view->document.trunks) {
        const std::string n = t && t->base_record()->name ? t->base_record()->name : "";
        if (n == "chair") chairs.push_back(t);
        if (n == "stool") stools.push_back(t);
    }
    ASSERT_EQ(chairs.size(), 6u);
    ASSERT_EQ(stools.size(), 3u);
    EXPECT_EQ(chairs[0]->children.size(), 1u);
    for (int n = 1; n < 6; ++n) {
        const int i = n % 3, j = n / 3;
        EXPECT_EQ(placement(chairs[n]->base_record()),
                  (Values{100.0 + 500 * i, 200.0 + 700 * j, 0, 0, 0, 15.0 * (i + j)}))
            << n;
        EXPECT_EQ(chairs[n]->parent, chairs[0]->parent);
        EXPECT_TRUE(chairs[n]->children.empty());
        ASSERT_EQ(chairs[n]->part_count(), 2);
        EXPECT_STREQ(chairs[n]->parts[1]->record->name, "seat");
    }
    for (int n = 1; n < 3; ++n)
        EXPECT_EQ(placement(stools[n]->base_record()), (Values{400.0 * n, -1000, 0, 0, 0, 30.0 * n}));

    // With children the subtree comes along; the holder's lock does not; damaged counts copy nothing.
    chairs[0]->lock_owner = set_heap_string(chairs[0]->lock_owner, "alice", nullptr, -1);
    const int before = view->trunk_count();
    const double step[3] = {1, 0, 0}, turn[3] = {0, 0, 0}, counts[3] = {2.9, 1, 1};
    const double huge[3] = {1e6, 1e6, 1}, broken[3] = {std::nan(""), -4, 0};
    EXPECT_EQ(view->DuplicateTrunkGrid(chairs[0]->index, step, turn, counts, 1), 1);
    ASSERT_EQ(view->trunk_count(), before + 2);
    ASSERT_EQ(view->document.trunks[before]->children, std::vector<XTrunk*>{view->document.trunks[before + 1]});
    EXPECT_TRUE(!view->document.trunks[before]->lock_owner || !*view->document.trunks[before]->lock_owner);
    EXPECT_EQ(view->DuplicateTrunkGrid(chairs[0]->index, step, turn, huge, 0), 0);
    EXPECT_EQ(view->DuplicateTrunkGrid(chairs[0]->index, step, turn, broken, 0), 0);
    EXPECT_EQ(view->trunk_count(), before + 2);
}

}  // namespace
}  // namespace kz::view::test
