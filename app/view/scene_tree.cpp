// The view's side of the item array: creating, copying and deleting items while every stored index stays right,
// change flags, units, selection and closing the scene.
#include <cstring>
#include <vector>

#include "app/document/view_messages.h"
#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/timer_slots.h"
#include "app/scene/figure_record.h"
#include "app/view/trunk_link.h"

namespace kz::view {

namespace {

// An index into the item array after entry `deleted` left it: the deleted one becomes -1, later ones move down.
void renumber(int& index, int deleted) {
    if (index == deleted)
        index = -1;
    else if (index > deleted)
        --index;
}
// A search position rather than a reference: it only follows the entries that move down.
void renumber_cursor(int& index, int deleted) {
    if (index > deleted) --index;
}

}  // namespace

int XView::CreateTrunk(const double* position, const double* rotation, const double* base_point,
                       const double* base_rotation, const char* name) {
    const int index = trunk_count();
    XTrunk* trunk = trunk_create(this, position, rotation, base_point, base_rotation, name, index,
                                 index == 0 ? nullptr : CurrentTrunk());
    if (index == 0 && !document.trunks.empty() && document.trunks[0] == trunk) {
        // the root placed itself
    } else {
        document.trunks.push_back(trunk);
    }
    if (!trunk) return index;  // an empty slot, counted; callers test it
    trunk_set_notreal(trunk, document.notreal_mark);
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
    for (int i = trunk_child_count(source) - 1; i >= 0; --i) stack.push_back({trunk_child(source, i), -1});
    while (!stack.empty()) {
        auto [trunk, parent_node] = stack.back();
        stack.pop_back();
        nodes.push_back({trunk, parent_node});
        const int me = static_cast<int>(nodes.size()) - 1;
        for (int i = trunk_child_count(trunk) - 1; i >= 0; --i) stack.push_back({trunk_child(trunk, i), me});
    }
    std::vector<XTrunk*> copies(nodes.size(), nullptr);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const int index = CreateTrunk(nullptr, nullptr, nullptr, nullptr, trunk_name(nodes[i].source));
        XTrunk* copy = document.trunks[index];
        if (!copy) continue;
        copies[i] = copy;
        XTrunk* parent_copy = nodes[i].parent < 0 ? new_parent : copies[nodes[i].parent];
        trunk_set_parent(copy, parent_copy);
        trunk_copy_content(copy, nodes[i].source);
        timeline.running_part_count += trunk_part_count(nodes[i].source);
        MarkTrunkChanged(copy);
    }
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
    XTrunk* parent_trunk = unlink ? trunk_parent(trunk) : nullptr;
    if (unlink) {
        trunk_move_children_to_parent(trunk, 1);
        if (parent_trunk) trunk_remove_child(parent_trunk, trunk);
    }
    trunk_destroy(trunk);
    document.trunks.erase(document.trunks.begin() + index);
    for (int i = index; i < trunk_count(); ++i)
        if (document.trunks[i]) trunk_set_index(document.trunks[i], i);
    RenumberAfterDelete(index);
    if (parent_trunk) trunk_recalc_matrices(parent_trunk, 1);
    return 1;
}

int XView::DeleteTrunkTree(XTrunk* trunk, int recursive) {
    if (!trunk) return 0;
    if (recursive) {
        while (trunk_child_count(trunk) > 0) {
            const int before = trunk_child_count(trunk);
            DeleteTrunkTree(trunk_child(trunk, 0), 1);
            if (trunk_child_count(trunk) >= before) break;  // a child that would not go: stop rather than spin
        }
    }
    const int index = trunk_index(trunk);
    if (index <= 0 || index >= trunk_count() || document.trunks[index] != trunk) return 0;
    return DeleteTrunk(index, 1);
}

void XView::UnloadReferences(XTrunk* trunk) {
    if (!trunk) return;
    if (trunk_has_frefer(trunk)) {
        UnloadReference(trunk, 1);
        return;
    }
    for (int i = 0; i < trunk_child_count(trunk); ++i) UnloadReferences(trunk_child(trunk, i));
}

void XView::UnloadReference(XTrunk* trunk, int recursive) {
    if (!trunk) return;
    while (trunk_child_count(trunk) > 0) {
        const int before = trunk_child_count(trunk);
        DeleteTrunkTree(trunk_child(trunk, 0), recursive);
        if (trunk_child_count(trunk) >= before) break;
    }
    // The unit's own shape lines went into this item after those of the file that refers to it; a reload must
    // not leave them behind to be added a second time.
    int first = -1, end = -1;
    trunk_unit_parts(trunk, &first, &end);
    if (first >= 1) {
        for (int p = first; p < end; ++p)
            if (camera.current_camera_part && trunk_part_object(trunk, p) == camera.current_camera_part)
                LookFromCameraPart(nullptr, nullptr);
        // Part indices of the item shift: a selection inside it would name another part.
        if (input.selected_trunk == trunk_index(trunk) && input.selected_part >= first) SelectItem(-1, -1, -1);
    }
    trunk_remove_unit_parts(trunk);
    trunk_set_loaded(trunk, 0);
}

int XView::HasChangedUnits(XTrunk* trunk) {
    if (!trunk) return 0;
    if (!document.trunks.empty() && trunk == document.trunks[0] && trunk_changed(trunk) == 1) return 1;
    int count = trunk_has_frefer(trunk) && trunk_changed(trunk) == 1 ? 1 : 0;
    for (int i = 0; i < trunk_child_count(trunk); ++i) count += HasChangedUnits(trunk_child(trunk, i));
    return count;
}

void XView::ClearChangedFlags(XTrunk* trunk) {
    if (!trunk) return;
    trunk_set_changed(trunk, 0);
    for (int i = 0; i < trunk_child_count(trunk); ++i) ClearChangedFlags(trunk_child(trunk, i));
}

int XView::MarkTrunkChanged(XTrunk* trunk) {
    if (!trunk || document.change_lock == 1) return 0;
    trunk_set_changed(trunk, 1);
    if (XTrunk* unit = FindUnitTrunk(trunk)) trunk_set_changed(unit, 1);
    return 1;
}

XTrunk* XView::FindUnitTrunk(XTrunk* trunk) {
    XTrunk* root = document.trunks.empty() ? nullptr : document.trunks[0];
    if (!trunk) return root;
    for (XTrunk* p = trunk_parent(trunk); p; p = trunk_parent(p))
        if (trunk_has_frefer(p)) return p;
    return root;
}

void XView::MarkFamilyOf(XTrunk* selected, void (*mark)(XTrunk*, int)) {
    std::vector<XTrunk*> stack;
    for (int i = 0; i < trunk_child_count(selected); ++i) stack.push_back(trunk_child(selected, i));
    while (!stack.empty()) {
        XTrunk* t = stack.back();
        stack.pop_back();
        mark(t, 1);
        for (int i = 0; i < trunk_child_count(t); ++i) stack.push_back(trunk_child(t, i));
    }
    for (XTrunk* p = trunk_parent(selected); p && p != document.trunks[0]; p = trunk_parent(p)) mark(p, 2);
}

void XView::MarkSelectionFamily() {
    if (input.selected_trunk <= 0 || input.selected_trunk >= trunk_count()) return;
    MarkFamilyOf(document.trunks[input.selected_trunk], trunk_set_mark);
}

void XView::RefreshMarks() {
    if (display.selection_display_mode == 3) {
        for (int i = 1; i < trunk_count(); ++i) trunk_set_mark_state(document.trunks[i], 0);
        if (input.selected_trunk > 0 && input.selected_trunk < trunk_count() && document.trunks[input.selected_trunk])
            MarkFamilyOf(document.trunks[input.selected_trunk], trunk_set_mark_state);
    }
    for (int i = 1; i < trunk_count(); ++i) trunk_update_highlight(document.trunks[i]);
}

void XView::RefreshSelectionStyles() {
    for (int i = 1; i < trunk_count(); ++i) trunk_update_selection_display(document.trunks[i]);
}

void XView::SelectItem(int t, int p, int f) {
    if (input.selected_trunk >= 0 && input.selected_trunk < trunk_count() && document.trunks[input.selected_trunk]) {
        XTrunk* old = document.trunks[input.selected_trunk];
        input.selected_trunk = -1;
        trunk_drop_new_item_mark(old);
        trunk_refresh_highlight(old);
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
    XTrunk* unit = trunk_has_frefer(item) ? item : FindUnitTrunk(item);
    if (unit && unit != document.trunks[0])
        for (int i = 0; i < trunk_child_count(unit); ++i) trunk_pass_unit_attributes(trunk_child(unit, i), unit, 0);
    if (input.selected_part < 0 || input.selected_part >= trunk_part_count(item)) input.selected_part = 0;
    trunk_prepare_selected(item);
    const int list[10] = {static_cast<int>(UM_VIEW_ITEMS_CHANGED), t, 0, 0x5512, 0x5511, 0, 0, 0, 0, 0};
    SendNotifyList(list);
    if (const kz::scene::COBJECTA* base = trunk_base_record(item)) {
        input.selected_position[0] = base->dx;
        input.selected_position[1] = base->dy;
        input.selected_position[2] = base->dz;
    }
    input.selected_line = trunk_part_line_number(item, input.selected_part);
    trunk_refresh_highlight(item);
}

void XView::ClearTimedLists() {
    for (std::vector<TimedEntry>& list : timeline.timed_list) {
        for (TimedEntry& e : list) e.text = kz::foundation::free_and_null(e.text);
        list.clear();
    }
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
