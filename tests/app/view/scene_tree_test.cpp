// The item array: deletion and copy keep every stored index right, the root stays, units collect change marks,
// command blocks and number ranges.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/document/view_messages.h"
#include "app/foundation/heap_text.h"
#include "app/scene/xtrunk.h"
#include "tests/support/xview/view_fixture.h"

namespace kz::view::test {
namespace {

namespace plat = kz::platform;
using SceneTree = ViewTest;

char* heap(const char* text) { return kz::foundation::set_heap_string(nullptr, text, nullptr, -1); }

// Every entry's own index equals its slot, and every child's parent link points back.
void expect_consistent(XView* view) {
    for (int i = 0; i < view->trunk_count(); ++i) {
        XTrunk* t = view->document.trunks[i];
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->index, i);
        for (XTrunk* c : t->children) EXPECT_EQ(c->parent, t);
    }
}

// root(0) -> a(1) -> b(2) -> c(3); a -> d(4); root -> e(5)
void build_six(ViewTest& test, int* ids) {
    ids[0] = 0;
    ids[1] = test.add_item(0, "a");
    ids[2] = test.add_item(1, "b");
    ids[3] = test.add_item(2, "c");
    ids[4] = test.add_item(1, "d");
    ids[5] = test.add_item(0, "e");
}

TEST_F(SceneTree, DeletingAnItemRenumbersEveryTable) {
    int ids[6];
    build_six(*this, ids);
    ASSERT_EQ(view->trunk_count(), 6);
    // One reference into each table to the deleted item (2), one below it (1) and one above it (4 or 5).
    view->input.selected_trunk = 5;
    view->document.current_trunk_index = 4;
    view->camera.camera_entry_trunk = 2;
    view->camera.camera_motion.hidden_item = 2;
    view->camera.camera_motion.target_item = 4;
    view->document.pushref_table = {1, 2, 4, 5};
    view->timeline.timed_list[0].push_back(TimedEntry{heap("a"), 2});
    view->timeline.timed_list[0].push_back(TimedEntry{heap("b"), 5});
    view->timeline.timed_list[1].push_back(TimedEntry{heap("c"), 1});
    view->camera.next_camera_index = 4;

    ASSERT_EQ(view->DeleteTrunk(2, 1), 1);
    ASSERT_EQ(view->trunk_count(), 5);
    expect_consistent(view);
    EXPECT_EQ(view->input.selected_trunk, 4);
    EXPECT_EQ(view->document.current_trunk_index, 3);
    EXPECT_EQ(view->camera.camera_entry_trunk, -1);
    EXPECT_EQ(view->camera.camera_motion.hidden_item, -1);
    EXPECT_EQ(view->camera.camera_motion.target_item, 3);
    EXPECT_EQ(view->document.pushref_table, (std::vector<int>{1, -1, 3, 4}));
    EXPECT_EQ(view->timeline.timed_list[0][0].trunk, -1);
    EXPECT_EQ(view->timeline.timed_list[0][1].trunk, 4);
    EXPECT_EQ(view->timeline.timed_list[1][0].trunk, 1);
    EXPECT_EQ(view->camera.next_camera_index, 3);
    // b's child c was handed to a.
    XTrunk* a = view->document.trunks[1];
    ASSERT_EQ(a->children.size(), 2u);
    EXPECT_EQ(std::string(a->children[0]->base_record()->name) + a->children[1]->base_record()->name, "dc");
    EXPECT_EQ(a->changed, 1);

    // Deleting the selected item clears the selection.
    ASSERT_EQ(view->DeleteTrunk(4, 1), 1);
    EXPECT_EQ(view->input.selected_trunk, -1);
    expect_consistent(view);
}

TEST_F(SceneTree, RootIsNeverUnlinkedAndBadIndicesDoNothing) {
    int ids[6];
    build_six(*this, ids);
    const struct { int index, unlink; } refused[] = {{0, 1}, {-1, 0}, {6, 0}, {6, 1}, {100, 1}};
    for (const auto& r : refused) EXPECT_EQ(view->DeleteTrunk(r.index, r.unlink), 0) << r.index;
    EXPECT_EQ(view->trunk_count(), 6);
    EXPECT_EQ(view->DeleteTrunkTree(view->document.trunks[0], 0), 0);
    EXPECT_EQ(view->DeleteTrunkTree(nullptr, 1), 0);
    // Cutting the root's tree deletes everything below it and keeps the root.
    plat::send_message(view->output.view_window[0], UM_VIEW_CUT_ITEM, 0, 0);
    EXPECT_EQ(view->trunk_count(), 6);
    plat::send_message(view->output.view_window[0], UM_VIEW_CUT_TREE, 0, 0);
    EXPECT_EQ(view->trunk_count(), 1);
    EXPECT_TRUE(view->document.trunks[0]->children.empty());
    const auto notes = received(UM_VIEW_NOTIFY_LIST);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].text, "21779,0,2,0,0,0,0,0,0,0");
}

TEST_F(SceneTree, DeletingASubtreeRemovesItAndKeepsTheRest) {
    int ids[6];
    build_six(*this, ids);
    view->input.selected_trunk = 5;
    view->document.pushref_table = {3, 5};
    ASSERT_EQ(view->DeleteTrunkTree(view->document.trunks[1], 1), 1);  // a, b, c, d
    ASSERT_EQ(view->trunk_count(), 2);
    expect_consistent(view);
    EXPECT_STREQ(view->document.trunks[1]->base_record()->name, "e");
    EXPECT_EQ(view->input.selected_trunk, 1);
    EXPECT_EQ(view->document.pushref_table, (std::vector<int>{-1, 1}));
    ASSERT_EQ(view->document.trunks[0]->children.size(), 1u);
    EXPECT_EQ(view->document.trunks[0]->children[0], view->document.trunks[1]);
}

TEST_F(SceneTree, CopiesFillConsecutiveSlotsParentsFirst) {
    int ids[6];
    build_six(*this, ids);
    XTrunk* e = view->document.trunks[5];
    view->BuildTrunks(view->document.trunks[1], e);  // a's subtree: b, c, d under e
    ASSERT_EQ(view->trunk_count(), 9);
    expect_consistent(view);
    const char* names[] = {"b", "c", "d"};
    for (int i = 0; i < 3; ++i) EXPECT_STREQ(view->document.trunks[6 + i]->base_record()->name, names[i]);
    EXPECT_EQ(view->document.trunks[6]->parent, e);
    EXPECT_EQ(view->document.trunks[7]->parent, view->document.trunks[6]);
    EXPECT_EQ(view->document.trunks[8]->parent, e);
    // Copying a subtree into itself copies it once.
    view->BuildTrunks(view->document.trunks[1], view->document.trunks[3]);  // under c, which is inside a's subtree
    ASSERT_EQ(view->trunk_count(), 12);
    expect_consistent(view);
    // Deleting a copy renumbers the copies behind it.
    view->input.selected_trunk = 8;
    ASSERT_EQ(view->DeleteTrunkTree(view->document.trunks[6], 1), 1);
    EXPECT_EQ(view->trunk_count(), 10);
    EXPECT_EQ(view->input.selected_trunk, 6);
    expect_consistent(view);
}

TEST_F(SceneTree, SelectingSendsTheNotificationAndClearsWithMinusOne) {
    int ids[6];
    build_six(*this, ids);
    view->SelectItem(3, 7, 2);
    EXPECT_EQ(view->input.selected_trunk, 3);
    EXPECT_EQ(view->input.selected_part, 0);  // outside the item's parts
    EXPECT_EQ(view->input.selected_face, 2);
    auto notes = received(UM_VIEW_NOTIFY_LIST);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].text, "21779,3,0,21778,21777,0,0,0,0,0");
    view->SelectItem(-1, 4, 4);
    EXPECT_EQ(view->input.selected_trunk, -1);
    EXPECT_EQ(view->input.selected_part, 0);
    EXPECT_EQ(view->input.selected_face, 0);
    EXPECT_EQ(received(UM_VIEW_NOTIFY_LIST).size(), 1u);
    // Deleting the selection through its command.
    view->SelectItem(5, 0, 0);
    plat::send_message(view->output.view_window[0], UM_VIEW_DELETE_SELECTED, 0, 0);
    EXPECT_EQ(view->trunk_count(), 5);
    EXPECT_EQ(view->input.selected_trunk, -1);
}

TEST_F(SceneTree, ChangeMarksReachTheUnit) {
    int ids[6];
    build_six(*this, ids);
    XTrunk* a = view->document.trunks[1];
    a->base_record()->frefer = heap("Z:\\models\\unit.fig");
    view->document.trunks[2]->read_from_unit = 1;  // b's row came from a's file, as the unit's reader marks it
    view->ClearChangedFlags(view->document.trunks[0]);
    EXPECT_EQ(view->HasChangedUnits(view->document.trunks[0]), 0);
    view->MarkTrunkChanged(view->document.trunks[3]);  // c, inside a's unit
    EXPECT_EQ(a->changed, 1);
    EXPECT_EQ(view->document.trunks[0]->changed, 0);
    EXPECT_EQ(view->FindUnitTrunk(view->document.trunks[3]), a);
    EXPECT_EQ(view->FindUnitTrunk(a), view->document.trunks[0]);
    EXPECT_EQ(view->HasChangedUnits(view->document.trunks[0]), 1);
    view->MarkTrunkChanged(view->document.trunks[5]);
    EXPECT_EQ(view->HasChangedUnits(view->document.trunks[0]), 1);  // the root is now changed itself
    view->ClearChangedFlags(view->document.trunks[0]);
    view->MarkTrunkChanged(view->document.trunks[4]);  // d: in a's unit, its row from the model's own file
    EXPECT_EQ(view->HasChangedUnits(a), 1);
    view->ClearChangedFlags(view->document.trunks[0]);
    view->document.change_lock = 1;
    view->MarkTrunkChanged(view->document.trunks[3]);
    EXPECT_EQ(a->changed, 0);
}

// Selecting inside a unit hands the unit's attributes to its items ("=del" removes one), the previous selection
// loses its "#new item" mark, and copies carry their attributes along.
TEST_F(SceneTree, UnitAttributesReachItsItemsAndCopiesCarryThem) {
    int ids[6];
    build_six(*this, ids);
    XTrunk* a = view->document.trunks[1];
    a->base_record()->frefer = heap("Z:\\models\\unit.fig");
    a->SetAttribute("maker", "acme", "");
    a->SetAttribute("gone", "x", "=del");
    XTrunk* c = view->document.trunks[3];
    c->SetAttribute("gone", "old", "");
    c->SetAttribute("#new item", "1", "");
    view->SelectItem(3, 0, 0);
    char value[64];
    for (int i : {2, 3, 4}) {
        ASSERT_GE(view->document.trunks[i]->GetAttribute("maker", value, sizeof value), 0) << i;
        EXPECT_STREQ(value, "acme");
    }
    EXPECT_EQ(view->document.trunks[5]->GetAttribute("maker", value, sizeof value), -99);  // outside the unit
    EXPECT_EQ(c->GetAttribute("gone", value, sizeof value), -99);
    view->SelectItem(5, 0, 0);
    EXPECT_EQ(c->GetAttribute("#new item", value, sizeof value), -99);
    view->BuildTrunks(a, view->document.trunks[5]);  // b, c, d copied under e
    ASSERT_EQ(view->trunk_count(), 9);
    XTrunk* copy = view->document.trunks[7];
    EXPECT_STREQ(copy->base_record()->name, "c");
    ASSERT_GE(copy->GetAttribute("maker", value, sizeof value), 0);
    EXPECT_STREQ(value, "acme");
}

TEST_F(SceneTree, CommandBlocksAreNamedOnceAndReplacedByName) {
    const int first = view->OpenCommandBlock(nullptr, -1, -1);
    const int second = view->OpenCommandBlock("", 2.0, 3.0);
    ASSERT_EQ(view->document.command_blocks.size(), 2u);
    const std::string n1 = view->document.command_blocks[first]->name, n2 = view->document.command_blocks[second]->name;
    EXPECT_EQ(n1.substr(0, 4), "exc-");
    EXPECT_NE(n1, n2);
    EXPECT_EQ(std::stoi(n2.substr(4)), std::stoi(n1.substr(4)) + 1);
    EXPECT_DOUBLE_EQ(view->document.command_blocks[second]->first, 2.0);
    view->OpenCommandBlock("Door:open", 1.0, -1.0);
    const int replaced = view->OpenCommandBlock("DOOR:close", -1.0, -1.0);
    EXPECT_EQ(view->document.command_blocks.size(), 3u);
    EXPECT_STREQ(view->document.command_blocks[replaced]->name, "DOOR:close");
    view->RemoveCommandBlock(7);
    EXPECT_EQ(view->document.command_blocks.size(), 3u);
    view->ClearCommandBlocks();
    EXPECT_TRUE(view->document.command_blocks.empty());
    EXPECT_EQ(view->document.current_command_block, -1);
}

TEST_F(SceneTree, NumberRanges) {
    view->ParseNumberRanges("3.10-12.2000-;99");
    const struct {
        int n, in;
    } table[] = {{3, 1}, {4, 0}, {10, 1}, {12, 1}, {13, 0}, {1999, 0}, {2000, 1}, {2999, 1}, {3000, 0}, {99, 0}};
    for (const auto& row : table) EXPECT_EQ(view->InNumberRanges(row.n), row.in) << row.n;
    view->ParseNumberRanges("");
    EXPECT_EQ(view->InNumberRanges(-5), 1);
    view->ParseNumberRanges("1500-");
    EXPECT_EQ(view->InNumberRanges(1999), 1);
    EXPECT_EQ(view->InNumberRanges(2000), 0);
}

TEST_F(SceneTree, ClosingTheSceneEmptiesEverything) {
    int ids[6];
    build_six(*this, ids);
    view->InternName("wall.bmp");
    view->OpenCommandBlock("x", 0, 0);
    view->timeline.timed_list[1].push_back(TimedEntry{heap("t"), 2});
    view->timeline.clock_offset_ms = 100.0;
    view->CloseScene();
    EXPECT_EQ(view->trunk_count(), 0);
    EXPECT_TRUE(view->document.command_blocks.empty());
    EXPECT_TRUE(view->timeline.timed_list[1].empty());
    EXPECT_DOUBLE_EQ(view->timeline.clock_offset_ms, 0.0);
    ASSERT_EQ(view->document.image_names.size(), 1u);
    EXPECT_EQ(view->InternName("clear"), 0);
    EXPECT_TRUE(view->document.reference_stack.empty());
    view->MakeRootTrunk();
    EXPECT_EQ(view->trunk_count(), 1);
}

}  // namespace
}  // namespace kz::view::test
