// The few operations the view's item array needs of a part-tree item, in one place so the array code does not
// depend on how the item object lays out its tree links, parts and records.
#pragma once

namespace kz::scene {
class XTrunk;
class COBJECTA;
class XViewServices;
}  // namespace kz::scene

namespace kz::view {

using kz::scene::XTrunk;

// A new item with its base shape; null vectors give zeros. `parent` null: no parent (the root).
XTrunk* trunk_create(kz::scene::XViewServices* view, const double* position, const double* rotation,
                     const double* base_point, const double* base_rotation, const char* name, int index,
                     XTrunk* parent);
void trunk_destroy(XTrunk* trunk);

int trunk_index(const XTrunk* trunk);
void trunk_set_index(XTrunk* trunk, int index);
XTrunk* trunk_parent(const XTrunk* trunk);
int trunk_child_count(const XTrunk* trunk);
XTrunk* trunk_child(const XTrunk* trunk, int i);
void trunk_remove_child(XTrunk* parent, XTrunk* child);
// Hands every child to the trunk's parent, after the trunk's place in the parent's children.
void trunk_move_children_to_parent(XTrunk* trunk, int keep_place);
// Refuses the trunk itself and its descendants.
void trunk_set_parent(XTrunk* trunk, XTrunk* parent);

int trunk_changed(const XTrunk* trunk);
void trunk_set_changed(XTrunk* trunk, int changed);
int trunk_notreal(const XTrunk* trunk);
void trunk_set_notreal(XTrunk* trunk, int notreal);
int trunk_loaded(const XTrunk* trunk);
void trunk_set_loaded(XTrunk* trunk, int loaded);

// The base shape's record (name, "#frefer" file, placement); null for a null trunk.
kz::scene::COBJECTA* trunk_base_record(const XTrunk* trunk);
const char* trunk_name(const XTrunk* trunk);
int trunk_has_frefer(const XTrunk* trunk);
int trunk_part_count(const XTrunk* trunk);
// Appends a part built from a figure record text; the new part's index.
int trunk_add_part_from_text(XTrunk* trunk, const char* record_text, int line_number);
void trunk_hide_part_shape(XTrunk* trunk, int part);
// The parts a unit read into the item added: first and end (-1, -1 when none) / removes them.
void trunk_unit_parts(const XTrunk* trunk, int* first, int* end);
void trunk_remove_unit_parts(XTrunk* trunk);
// The part object at an index (null outside), for comparing with the part the eye follows.
const void* trunk_part_object(const XTrunk* trunk, int part);

// Copy of a subtree node: parts with surface and placement, attributes and poses; the lock owner is dropped.
void trunk_copy_content(XTrunk* copy, const XTrunk* source);
void trunk_recalc_matrices(XTrunk* trunk, int recursive);
// Selection upkeep of an item: drop its "#new item" mark / recompute its attributes / refresh its highlight.
void trunk_drop_new_item_mark(XTrunk* trunk);
void trunk_prepare_selected(XTrunk* trunk);
void trunk_refresh_highlight(XTrunk* trunk);
void trunk_pass_unit_attributes(XTrunk* trunk, XTrunk* unit, int force);
// Mark state (1 below the selection, 2 above it) with the item's selection display and highlight refreshed.
void trunk_set_mark(XTrunk* trunk, int mark);
// The same steps one at a time, for the per-frame refresh of every item.
void trunk_set_mark_state(XTrunk* trunk, int mark);
void trunk_update_highlight(XTrunk* trunk);
void trunk_update_selection_display(XTrunk* trunk);
void trunk_set_visible(XTrunk* trunk, int on, int recursive);
// The figure-line number of a part, -1 when unknown.
int trunk_part_line_number(const XTrunk* trunk, int part);
// Shadow mode of the base record (0 cast, 1 none, 2 per part).
void trunk_set_shadow_mode(XTrunk* trunk, int mode);

}  // namespace kz::view
