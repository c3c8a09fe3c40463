// The view's side of the item array: creating, copying and deleting items while every stored index stays right,
// change flags, units, selection and closing the scene.
#include <algorithm>
#include <cstring>
#include <vector>

#include "app/document/view_messages.h"
#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/sjis_string.h"
#include "app/foundation/timer_slots.h"
#include "app/scene/figure_record.h"
#include "app/scene/subtree_walk.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"

namespace kz::view {

namespace {

// An index into the item array after entry `deleted` left it: the deleted one becomes -1, later ones move down.
void renumber(int& index, int deleted) {
    if (index == deleted)
        index = -1;
    else if (index > deleted)
        --index;
}
// The first item at or after `start` that `match` accepts; -1 when none.
template <class Match>
int first_trunk_from(const std::vector<XTrunk*>& trunks, int start, Match match) {
    for (int i = std::max(start, 0); i < static_cast<int>(trunks.size()); ++i)
        if (trunks[i] && match(trunks[i])) return i;
    return -1;
}

// A search position rather than a reference: it only follows the entries that move down.
void renumber_cursor(int& index, int deleted) {
    if (index > deleted) --index;
}

}  // namespace

int XView::CreateTrunk(const double* position, const double* rotation, const double* base_point,
                       const double* base_rotation, const char* name) {
    const int index = trunk_count();
    // The item takes the current item as its parent itself; the root adopts its own slot.
    XTrunk* trunk = new XTrunk(this, position, rotation, base_point, base_rotation, name, index);
    if (index == 0 && !document.trunks.empty() && document.trunks[0] == trunk) {
        // the root placed itself
    } else {
        document.trunks.push_back(trunk);
    }
    if (!trunk) return index;  // an empty slot, counted; callers test it
    // The root is the view's own, not one of the items the model asks for.
    if (index > 0) document.guard.add_items(1);
    trunk->notreal = document.notreal_mark;
    MarkTrunkChanged(trunk);
    return index;
}

void XView::AdoptRootTrunk(XTrunk* root) {
    if (!root) return;
    if (document.trunks.empty())
        document.trunks.push_back(root);
    else
        document.trunks[0] = root;
    document.current_trunk_index = 0;
}

void XView::BuildTrunks(XTrunk* source, XTrunk* new_parent) {
    if (!source || !new_parent) return;
    // The source subtree is listed before anything is made, so a copy placed inside its own source is copied
    // once and never walked again.
    struct Node {
        XTrunk* source;
        int parent;  // position in `nodes` of the node whose copy becomes the parent; -1: new_parent
    };
    std::vector<Node> nodes;
    std::vector<std::pair<XTrunk*, int>> stack;
    for (auto c = source->children.rbegin(); c != source->children.rend(); ++c) stack.push_back({*c, -1});
    while (!stack.empty()) {
        auto [trunk, parent_node] = stack.back();
        stack.pop_back();
        nodes.push_back({trunk, parent_node});
        const int me = static_cast<int>(nodes.size()) - 1;
        for (auto c = trunk->children.rbegin(); c != trunk->children.rend(); ++c) stack.push_back({*c, me});
    }
    std::vector<XTrunk*> copies(nodes.size(), nullptr);
    // A stopped open copies no further part.
    for (std::size_t i = 0; i < nodes.size() && !document.guard.stopped(); ++i) {
        const kz::scene::COBJECTA* record = nodes[i].source->base_record();
        const int index = CreateTrunk(nullptr, nullptr, nullptr, nullptr, record ? record->name : nullptr);
        XTrunk* copy = document.trunks[index];
        if (!copy) continue;
        copies[i] = copy;
        XTrunk* parent_copy = nodes[i].parent < 0 ? new_parent : copies[nodes[i].parent];
        copy->SetParent(parent_copy);
        CopyTrunkContent(copy, nodes[i].source);
        MarkTrunkChanged(copy);
    }
}

void XView::CopyTrunkContent(XTrunk* copy, XTrunk* source) {
    copy->lock_owner = kz::foundation::free_and_null(copy->lock_owner);
    copy->CopyLeavesFrom(source, 1);
    copy->CopyAttributesFrom(source);
    copy->ClearPoses();
    copy->CopyPosesFrom(source);
    timeline.running_part_count += source->part_count();
    document.guard.add_shapes(source->part_count() - 1);
}

void XView::RenumberAfterDelete(int deleted) {
    renumber(input.selected_trunk, deleted);
    if (input.selected_trunk < 0) input.selected_line = -1;
    renumber(document.current_trunk_index, deleted);
    renumber(camera.camera_entry_trunk, deleted);
    renumber(camera.camera_motion.target_item, deleted);
    renumber(camera.camera_motion.hidden_item, deleted);
    for (int& i : document.pushref_table) renumber(i, deleted);
    for (std::vector<TimedEntry>& list : timeline.timed_list)
        for (TimedEntry& e : list) renumber(e.trunk, deleted);
    RenumberActions(deleted);
    renumber_cursor(camera.next_camera_index, deleted);
    renumber_cursor(camera.search_index, deleted);
}

int XView::DeleteTrunk(int index, int unlink) {
    if (document.trunks.empty() || index >= trunk_count() || index < (unlink ? 1 : 0)) return 0;
    XTrunk* trunk = document.trunks[index];
    if (!trunk) return 0;
    if (index == document.current_trunk_index) document.current_trunk_index = -1;
    if (unlink) MarkTrunkChanged(trunk);
    if (camera.camera_link_item == trunk) camera.camera_link_item = nullptr;
    for (ReferenceLevel& level : document.reference_stack)
        if (level.owner == trunk) level.owner = nullptr;
    if (camera.camera_part_owner == trunk) {
        camera.current_camera_part = nullptr;
        camera.camera_part_owner = nullptr;
    }
    XTrunk* parent_trunk = unlink ? trunk->parent : nullptr;
    if (unlink) {
        trunk->MoveChildrenToParent(1);
        if (parent_trunk) parent_trunk->RemoveChild(trunk);
    }
    delete trunk;
    document.trunks.erase(document.trunks.begin() + index);
    // The items from here on moved down one place: they are looked through again for stamp names.
    document.stamp_scanned = std::min<std::size_t>(document.stamp_scanned, index);
    for (int i = index; i < trunk_count(); ++i)
        if (document.trunks[i]) document.trunks[i]->index = i;
    RenumberAfterDelete(index);
    if (parent_trunk) parent_trunk->RecalcMatrices(1);
    return 1;
}

int XView::DeleteTrunkTree(XTrunk* trunk, int recursive) {
    if (!trunk) return 0;
    if (recursive) {
        // The deepest first, listed before anything goes and without recursion.
        std::vector<XTrunk*> below;
        kz::scene::walk_subtree_children_first(trunk, [&](XTrunk* t) {
            if (t != trunk) below.push_back(t);
        });
        for (XTrunk* t : below)
            if (t->index > 0 && t->index < trunk_count() && document.trunks[t->index] == t) DeleteTrunk(t->index, 1);
    }
    const int index = trunk->index;
    if (index <= 0 || index >= trunk_count() || document.trunks[index] != trunk) return 0;
    return DeleteTrunk(index, 1);
}

void XView::UnloadReferences(XTrunk* trunk) {
    kz::scene::walk_subtree(trunk, [&](XTrunk* t) {
        if (!t->HasFrefer()) return true;
        UnloadReference(t, 1);
        return false;
    });
}

void XView::UnloadReference(XTrunk* trunk, int recursive) {
    if (!trunk) return;
    // Items the referring file placed under the unit are not the unit's to take away.
    for (std::size_t i = 0; i < trunk->children.size();) {
        const std::size_t before = trunk->children.size();
        if (trunk->children[i]->read_from_unit == 1) DeleteTrunkTree(trunk->children[i], recursive);
        if (trunk->children.size() >= before) ++i;
    }
    // The unit's own shape lines went into this item after those of the file that refers to it; a reload must
    // not leave them behind to be added a second time.
    const int first = std::max(trunk->unit_part_start, 1), end = std::min(trunk->unit_part_end, trunk->part_count());
    if (first < end) {
        for (int p = first; p < end; ++p)
            if (camera.current_camera_part && trunk->parts[p] == camera.current_camera_part)
                LookFromCameraPart(nullptr, nullptr);
        // Part indices of the item shift: a selection inside it would name another part.
        if (input.selected_trunk == trunk->index && input.selected_part >= first) SelectItem(-1, -1, -1);
        trunk->RemoveParts(first, end);
    }
    trunk->unit_part_start = trunk->unit_part_end = -1;
    trunk->loaded = 0;
}

int XView::HasChangedUnits(XTrunk* trunk) {
    if (!trunk) return 0;
    if (!document.trunks.empty() && trunk == document.trunks[0] && trunk->changed == 1) return 1;
    int count = 0;
    kz::scene::walk_subtree(trunk, [&](XTrunk* t) {
        if (t->HasFrefer() && t->changed == 1) ++count;
        return true;
    });
    return count;
}

void XView::ClearChangedFlags(XTrunk* trunk) {
    kz::scene::walk_subtree(trunk, [](XTrunk* t) {
        t->changed = 0;
        return true;
    });
}

int XView::MarkTrunkChanged(XTrunk* trunk) {
    if (!trunk || document.change_lock == 1) return 0;
    trunk->changed = 1;
    if (XTrunk* unit = FindUnitTrunk(trunk)) unit->changed = 1;
    if (XTrunk* file = FindRowFileTrunk(trunk)) file->changed = 1;
    return 1;
}

XTrunk* XView::FindRowFileTrunk(XTrunk* trunk) {
    XTrunk* root = document.trunks.empty() ? nullptr : document.trunks[0];
    for (XTrunk* t = trunk; t && t->parent; t = t->parent)
        if (t->parent == root || (t->parent->HasFrefer() && t->read_from_unit == 1)) return t->parent;
    return root;
}

XTrunk* XView::FindUnitTrunk(XTrunk* trunk) {
    XTrunk* root = document.trunks.empty() ? nullptr : document.trunks[0];
    if (!trunk) return root;
    for (XTrunk* p = trunk->parent; p; p = p->parent)
        if (p->HasFrefer()) return p;
    return root;
}

void XView::MarkFamilyOf(XTrunk* selected, void (*mark)(XTrunk*, int)) {
    std::vector<XTrunk*> stack(selected->children.begin(), selected->children.end());
    while (!stack.empty()) {
        XTrunk* t = stack.back();
        stack.pop_back();
        mark(t, 1);
        stack.insert(stack.end(), t->children.begin(), t->children.end());
    }
    for (XTrunk* p = selected->parent; p && p != document.trunks[0]; p = p->parent) mark(p, 2);
}

void XView::MarkSelectionFamily() {
    if (input.selected_trunk <= 0 || input.selected_trunk >= trunk_count()) return;
    MarkFamilyOf(document.trunks[input.selected_trunk], [](XTrunk* t, int mark) {
        t->mark_state = mark;
        t->UpdateSelectionDisplay();
        t->UpdateHighlightColor();
    });
}

void XView::RefreshMarks() {
    if (display.selection_display_mode == 3) {
        for (int i = 1; i < trunk_count(); ++i)
            if (XTrunk* t = document.trunks[i]) t->mark_state = 0;
        if (input.selected_trunk > 0 && input.selected_trunk < trunk_count() && document.trunks[input.selected_trunk])
            MarkFamilyOf(document.trunks[input.selected_trunk], [](XTrunk* t, int mark) { t->mark_state = mark; });
    }
    for (int i = 1; i < trunk_count(); ++i)
        if (XTrunk* t = document.trunks[i]) t->UpdateHighlightColor();
}

void XView::RefreshSelectionStyles() {
    for (int i = 1; i < trunk_count(); ++i)
        if (XTrunk* t = document.trunks[i]) t->UpdateSelectionDisplay();
}

void XView::SelectItem(int t, int p, int f) {
    if (input.selected_trunk >= 0 && input.selected_trunk < trunk_count() && document.trunks[input.selected_trunk]) {
        XTrunk* old = document.trunks[input.selected_trunk];
        input.selected_trunk = -1;
        old->SetAttribute("#new item", "#del", "");
        old->RefreshHighlight();
    }
    input.selected_trunk = t;
    input.selected_part = p;
    input.selected_face = f;
    if (t < 0 || t >= trunk_count() || !document.trunks[t]) {
        input.selected_trunk = -1;
        input.selected_part = 0;
        input.selected_face = 0;
        input.selected_line = -1;
        return;
    }
    XTrunk* item = document.trunks[t];
    XTrunk* unit = item->HasFrefer() ? item : FindUnitTrunk(item);
    if (unit && unit != document.trunks[0])
        for (XTrunk* child : unit->children) PassUnitAttributes(child, unit, 0);
    if (input.selected_part < 0 || input.selected_part >= item->part_count()) input.selected_part = 0;
    item->SortAttributes();
    item->RecomputeAttributes();
    const int list[10] = {static_cast<int>(UM_VIEW_ITEMS_CHANGED), t, 0, 0x5512, 0x5511, 0, 0, 0, 0, 0};
    SendNotifyList(list);
    if (const kz::scene::COBJECTA* base = item->base_record()) {
        input.selected_position[0] = base->dx;
        input.selected_position[1] = base->dy;
        input.selected_position[2] = base->dz;
    }
    const kz::scene::XLeaves* part =
        input.selected_part < item->part_count() ? item->parts[input.selected_part] : nullptr;
    input.selected_line = part ? part->line_number : -1;
    item->RefreshHighlight();
}

void XView::PassUnitAttributes(XTrunk* trunk, XTrunk* unit, int force) {
    // Each item with the unit its parent hands down, without recursion.
    std::vector<std::pair<XTrunk*, XTrunk*>> stack;
    if (trunk) stack.push_back({trunk, unit});
    while (!stack.empty()) {
        auto [t, from] = stack.back();
        stack.pop_back();
        // A nested unit hands its own attributes down instead of the outer unit's.
        if ((t == trunk && force == 1) || t->HasFrefer()) {
            from = t;
        } else if (from) {
            for (int i = 0; i < from->attributes.count(); ++i) {
                const kz::scene::AttributeRecord& a = from->attributes[i];
                const char* e = a.expression ? a.expression : "";
                if (kz::foundation::compare_prefix_nocase(e, "=del", 4) == 0)
                    t->DeleteAttribute(a.name);
                else if (e[0] != '=')
                    t->SetAttribute(a.name, a.value, e);
            }
        }
        for (auto c = t->children.rbegin(); c != t->children.rend(); ++c)
            if (*c) stack.push_back({*c, from});
    }
}

int XView::FindTrunkByAttribute(const char* name, const char* value, int start) {
    return first_trunk_from(document.trunks, start, [&](XTrunk* t) { return t->AttributeEquals(name, value) != 0; });
}

void XView::FocusNextMatch() {
    int start = camera.next_camera_index;
    if (start < 1 || start >= trunk_count()) start = 1;
    int hit = first_trunk_from(document.trunks, start, HasCameraEntry);
    if (hit < 0 && start > 1) hit = first_trunk_from(document.trunks, 1, HasCameraEntry);
    if (hit < 1) return;
    camera.next_camera_index = hit + 1;
    double box[6];
    document.trunks[hit]->GetPartBounds(nullptr, box, 1);
    const double centre[3] = {(box[0] + box[3]) * 0.5, (box[1] + box[4]) * 0.5, (box[2] + box[5]) * 0.5};
    AnimateEyeTo(centre, 1, nullptr, camera.eye_move_time, 0.0, 0.0, 0.0);
    SelectItem(hit, 1, 0);
    Redraw(0);
}

void XView::ClearTimedLists() {
    for (std::vector<TimedEntry>& list : timeline.timed_list) {
        for (TimedEntry& e : list) e.text = kz::foundation::free_and_null(e.text);
        list.clear();
    }
    ++timeline.timed_list_generation;
    // A halted schedule runs again once its lists are new.
    timeline.schedule_halted = 0;
    ShowCameraMoveItem();
    camera.camera_motion.active = 0;
    camera.camera_motion.target_item = -1;
    camera.camera_motion.end_on_camera_part = 0;
    camera.camera_move = 0;
    timeline.playback_step = 0;
    timeline.clock_offset_ms = 0.0;
    camera.camera_entry_trunk = -1;
    timeline.last_fired_step = -99;
}

void XView::CloseScene() {
    ClearTimedLists();
    ClearActions();
    ClearCommandBlocks();
    TruncateReferenceStack(0);
    for (int i = trunk_count() - 1; i >= 0; --i) {
        if (!DeleteTrunk(i, 0)) {
            // An empty slot: nothing to destroy, but it must leave the array too.
            document.trunks.erase(document.trunks.begin() + i);
        }
    }
    document.trunks.clear();
    document.trunks.shrink_to_fit();
    document.stamp_names.clear();
    document.stamp_scanned = 0;
    camera.camera_link_item = nullptr;
    timeline.running_part_count = 0;
    camera.scene_radius = 0.0;  // the next model is fitted and lit to its own bounds, not to this one's
    if (output.bridge) {
        output.bridge->ResetTextLabels();
        output.bridge->RemoveShape(output.bridge->mesh_shape);
        output.bridge->mesh_shape = nullptr;
        output.bridge->RemoveAllTextures();
    }
    document.image_names.clear();
    document.image_names.reserve(100);
    document.image_names.emplace_back("clear");
}

void XView::StopPlayback() {
    kz::foundation::timer_stop(timeline.timer_slot);
    ClearTimedLists();
    ClearActions();
    kz::platform::send_message(output.parent, UM_VIEW_PLAYBACK_STOPPED, 0, 0);
}

void XView::TruncateReferenceStack(int depth) {
    if (depth < 0) depth = 0;
    if (depth >= static_cast<int>(document.reference_stack.size())) return;
    for (std::size_t i = depth; i < document.reference_stack.size(); ++i) {
        ReferenceLevel& level = document.reference_stack[i];
        level.file = kz::foundation::free_and_null(level.file);
        level.text = kz::foundation::free_and_null(level.text);
        level.object.reset();
    }
    document.reference_stack.resize(depth);
    if (depth == 0) document.reference_stack.shrink_to_fit();
}

}  // namespace kz::view
