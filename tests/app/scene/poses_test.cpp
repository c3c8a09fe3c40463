// Poses and stages of an item: filling, playing, names matched before their colon, and copies.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "app/foundation/heap_text.h"
#include "bridged_view.h"

namespace kz::scene {
namespace {

class Poses : public ::testing::Test {
protected:
    void SetUp() override {
        view.add_trunk("root");
        item = view.add_trunk("item");
        for (const char* name : {"a", "b", "c"}) add_part(item, name, name[0] != 'c');
    }
    static void add_part(XTrunk* trunk, const char* name, bool records) {
        COBJECTA* r = trunk->parts[trunk->AddLeaves()]->record;
        r->name = kz::foundation::set_heap_string(r->name, name, nullptr, -1);
        r->dx = 7.0;
        r->camera_number = records ? 4 : 0;
    }
    void pose(int index, const char* part, double rz, const char* name = "open") {
        const double p[3] = {1, 2, 3}, q[3] = {0, 0, rz};
        item->AddPoseEntry(index, 2.0, 1.0, name, part, p, q, &last);
    }
    std::vector<std::string> actions() {
        std::vector<std::string> out;
        for (const std::string& c : view.calls)
            if (c.rfind("AddAction ", 0) == 0) out.push_back(c.substr(10));
        view.calls.clear();
        return out;
    }
    test::BridgedView view{false};
    XTrunk* item = nullptr;
    int last = 0x7FFFFFFF;
};

TEST_F(Poses, LinesFillPosesPartByPart) {
    pose(1, "a", 10);
    pose(1, "B", 20);
    pose(2, "a", 30);
    pose(-1, "b", 40);  // a negative index adds to the latest pose
    pose(3, "c", 50);   // c records no poses: nothing is set, but a pose opens
    ASSERT_EQ(item->poses.size(), 3u);
    const std::vector<std::vector<int>> unset = {{0, 0}, {0, 0}, {1, 1}};
    const std::vector<std::vector<double>> rz = {{10, 20}, {30, 40}, {0, 0}};
    for (std::size_t i = 0; i < 3; ++i) {
        ASSERT_EQ(item->poses[i].entries.size(), 2u);  // one per recording part
        for (std::size_t j = 0; j < 2; ++j)
            EXPECT_EQ(std::tuple(item->poses[i].entries[j].unset, item->poses[i].entries[j].rotation[2]),
                      std::tuple(unset[i][j], rz[i][j]))
                << i << j;
    }
    // An entry not set keeps the part's values from when the pose opened.
    EXPECT_EQ(std::tuple(item->poses[2].entries[0].position[0], last), std::tuple(7.0, 3));
}

TEST_F(Poses, PlayingQueuesOneMotionPerSetUnlockedColumn) {
    pose(1, "a", 90);
    item->parts[1]->record->change_locks[2] = 1;  // dy of a is locked
    EXPECT_EQ(item->PlayPose(0, 1.5, 0.0, -1.0), 2.0);
    EXPECT_EQ(actions(),
              (std::vector<std::string>{
                  "a;dx;now;1.000000;1.500000;2.000000;1.000000", "a;dz;now;3.000000;1.500000;2.000000;1.000000",
                  "a;rx;now;0.000000;1.500000;2.000000;1.000000", "a;ry;now;0.000000;1.500000;2.000000;1.000000",
                  "a;rz;now;90.000000;1.500000;2.000000;1.000000"}));
    const struct {
        int index;
        double duration, last, used;
        const char* first;
    } cases[] = {
        {9, 3.0, 2.0, 3.0, "a;dx;now;1.000000;0.000000;3.000000;2.000000"},  // past the end: the last record
        {-4, 0.0, -1.0, 2.0, "a;dx;now;1.000000;0.000000;2.000000;1.000000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(item->PlayPose(c.index, 0.0, c.duration, c.last), c.used);
        EXPECT_EQ(actions().at(0), c.first);
    }
    item->poses[0].duration = 0.0;
    EXPECT_EQ(item->PlayPose(0, 0.0, 0.0, -1.0), 0.5);
    EXPECT_EQ(actions().at(0), "a;dx;now;1.000000;0.000000;0.500000;1.000000");
    item->ClearPoses();
    EXPECT_EQ(item->PlayPose(0, 0.0, 0.0, -1.0), 0.0);
    EXPECT_TRUE(actions().empty());
}

TEST_F(Poses, StagesNeedARecordingBasePartAndAreFoundByKindAndName) {
    const double p[3] = {5, 0, 0}, q[3] = {};
    item->AddStage(1.0, 0.0, "OPEN:2", p, q);
    EXPECT_TRUE(item->poses.empty());
    item->base_record()->camera_number = 4;
    item->AddStage(1.0, 0.0, "OPEN:2", p, q);
    ASSERT_EQ(item->poses.size(), 1u);
    EXPECT_NE(std::find(view.calls.begin(), view.calls.end(), "NotifyStageAdded"), view.calls.end());
    pose(1, "a", 90, "open");
    view.calls.clear();
    EXPECT_EQ(item->FindAndPlayPose("open", 4.0, 0.0, 1, -1.0), 5.0);
    EXPECT_EQ(actions().at(0), "trunk;dx;now;5.000000;4.000000;1.000000;0.000000");
    EXPECT_EQ(item->FindAndPlayPose("open", 4.0, 0.0, 0, -1.0), 6.0);
    EXPECT_EQ(actions().at(0), "a;dx;now;1.000000;4.000000;2.000000;1.000000");
    EXPECT_EQ(item->FindAndPlayPose("shut", 4.0, 0.0, 0, -1.0), 4.0);
    EXPECT_TRUE(actions().empty());
}

TEST_F(Poses, CopyReplacesSameNamedRecordsInPlaceAndAppendsTheRest) {
    pose(1, "a", 10, "open");
    pose(2, "a", 20, "shut");
    XTrunk* other = view.add_trunk("other");
    add_part(other, "a", true);
    const double p[3] = {}, q[3] = {0, 0, 99};
    int other_last = -1;
    other->AddPoseEntry(1, 1.0, 0.0, "OPEN:3", "a", p, q, &other_last);
    other->AddPoseEntry(2, 1.0, 0.0, "wide", "a", p, q, &other_last);
    item->CopyPosesFrom(other);
    ASSERT_EQ(item->poses.size(), 3u);
    EXPECT_EQ(std::tuple(item->poses[0].name, item->poses[0].entries.size()), std::tuple("OPEN:3", 1u));
    EXPECT_EQ(std::tuple(item->poses[1].name, item->poses[2].name, item->poses[2].entries[0].rotation[2]),
              std::tuple("shut", "wide", 99.0));
}

}  // namespace
}  // namespace kz::scene
