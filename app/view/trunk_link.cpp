// The view's item-array operations over the scene's part tree. Attributes and poses of an item are not linked
// here yet (their copy and the selection's attribute upkeep are marked below); everything else is the item's own.
#include "app/view/trunk_link.h"

#include <algorithm>

#include "app/foundation/heap_text.h"
#include "app/foundation/sjis_string.h"
#include "app/scene/figure_record.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"

namespace kz::view {

XTrunk* trunk_create(kz::scene::XViewServices* view, const double* position, const double* rotation,
                     const double* base_point, const double* base_rotation, const char* name, int index, XTrunk*) {
    // The item finds its parent itself: the view's current item.
    return new XTrunk(view, position, rotation, base_point, base_rotation, name, index);
}

void trunk_destroy(XTrunk* trunk) { delete trunk; }

int trunk_index(const XTrunk* t) { return t ? t->index : -1; }
void trunk_set_index(XTrunk* t, int index) {
    if (t) t->index = index;
}
XTrunk* trunk_parent(const XTrunk* t) { return t ? t->parent : nullptr; }
int trunk_child_count(const XTrunk* t) { return t ? static_cast<int>(t->children.size()) : 0; }
XTrunk* trunk_child(const XTrunk* t, int i) {
    if (!t || i < 0 || i >= trunk_child_count(t)) return nullptr;
    return t->children[i];
}
void trunk_remove_child(XTrunk* parent, XTrunk* child) {
    if (parent) parent->RemoveChild(child);
}
void trunk_move_children_to_parent(XTrunk* trunk, int keep_place) {
    if (trunk) trunk->MoveChildrenToParent(keep_place);
}
void trunk_set_parent(XTrunk* trunk, XTrunk* parent) {
    if (trunk && parent) trunk->SetParent(parent);
}

int trunk_changed(const XTrunk* t) { return t ? t->changed : 0; }
void trunk_set_changed(XTrunk* t, int changed) {
    if (t) t->changed = changed;
}
int trunk_notreal(const XTrunk* t) { return t ? t->notreal : 0; }
void trunk_set_notreal(XTrunk* t, int notreal) {
    if (t) t->notreal = notreal;
}
int trunk_loaded(const XTrunk* t) { return t ? t->loaded : 0; }
void trunk_set_loaded(XTrunk* t, int loaded) {
    if (t) t->loaded = loaded;
}

kz::scene::COBJECTA* trunk_base_record(const XTrunk* t) { return t ? t->base_record() : nullptr; }
const char* trunk_name(const XTrunk* t) {
    const kz::scene::COBJECTA* r = trunk_base_record(t);
    return r && r->name ? r->name : "";
}
int trunk_has_frefer(const XTrunk* t) {
    const kz::scene::COBJECTA* r = trunk_base_record(t);
    return r && r->frefer && *r->frefer ? 1 : 0;
}
int trunk_part_count(const XTrunk* t) { return t ? t->part_count() : 0; }

int trunk_add_part_from_text(XTrunk* trunk, const char* record_text, int line_number) {
    if (!trunk) return -1;
    const int index = trunk->AddLeaves();
    kz::scene::XLeaves* part = trunk->parts[index];
    part->record->ReadFigureLine(record_text ? record_text : "");
    part->line_number = line_number;
    part->Build(nullptr);
    return index;
}

void trunk_hide_part_shape(XTrunk* trunk, int part) {
    if (trunk) trunk->ShowPart(0, part);
}

void trunk_copy_content(XTrunk* copy, const XTrunk* source) {
    if (!copy || !source) return;
    copy->lock_owner = kz::foundation::free_and_null(copy->lock_owner);
    copy->CopyLeavesFrom(const_cast<XTrunk*>(source), 1);
    copy->CopyAttributesFrom(const_cast<XTrunk*>(source));
}

void trunk_recalc_matrices(XTrunk* trunk, int recursive) {
    if (trunk) trunk->RecalcMatrices(recursive);
}

void trunk_drop_new_item_mark(XTrunk* trunk) {
    if (trunk) trunk->SetAttribute("#new item", "#del", "");
}

void trunk_prepare_selected(XTrunk* trunk) {
    if (!trunk) return;
    trunk->SortAttributes();
    trunk->RecomputeAttributes();
}

void trunk_pass_unit_attributes(XTrunk* trunk, XTrunk* unit, int force) {
    if (!trunk) return;
    // A nested unit hands its own attributes down instead of the outer unit's.
    if (force == 1 || trunk_has_frefer(trunk)) {
        unit = trunk;
    } else if (unit) {
        for (int i = 0; i < unit->attributes.count(); ++i) {
            const kz::scene::AttributeRecord& a = unit->attributes[i];
            const char* e = a.expression ? a.expression : "";
            if (kz::foundation::compare_prefix_nocase(e, "=del", 4) == 0)
                trunk->DeleteAttribute(a.name);
            else if (e[0] != '=')
                trunk->SetAttribute(a.name, a.value, e);
        }
    }
    for (XTrunk* child : trunk->children) trunk_pass_unit_attributes(child, unit, 0);
}

void trunk_refresh_highlight(XTrunk* trunk) {
    if (trunk) trunk->RefreshHighlight();
}

void trunk_set_mark_state(XTrunk* trunk, int mark) {
    if (trunk) trunk->mark_state = mark;
}

void trunk_update_highlight(XTrunk* trunk) {
    if (trunk) trunk->UpdateHighlightColor();
}

void trunk_update_selection_display(XTrunk* trunk) {
    if (trunk) trunk->UpdateSelectionDisplay();
}

void trunk_set_mark(XTrunk* trunk, int mark) {
    trunk_set_mark_state(trunk, mark);
    trunk_update_selection_display(trunk);
    trunk_update_highlight(trunk);
}

void trunk_set_visible(XTrunk* trunk, int on, int recursive) {
    if (trunk) trunk->SetVisible(on, recursive);
}

int trunk_part_line_number(const XTrunk* trunk, int part) {
    if (!trunk || part < 0 || part >= trunk->part_count() || !trunk->parts[part]) return -1;
    return trunk->parts[part]->line_number;
}

void trunk_set_shadow_mode(XTrunk* trunk, int mode) {
    if (kz::scene::COBJECTA* r = trunk_base_record(trunk)) r->shadow_mode = mode;
}

void trunk_unit_parts(const XTrunk* trunk, int* first, int* end) {
    *first = *end = -1;
    if (!trunk) return;
    const int a = std::max(trunk->unit_part_start, 1), b = std::min(trunk->unit_part_end, trunk->part_count());
    if (a < b) *first = a, *end = b;
}

void trunk_remove_unit_parts(XTrunk* trunk) {
    if (!trunk) return;
    int first = -1, end = -1;
    trunk_unit_parts(trunk, &first, &end);
    if (first >= 1) trunk->RemoveParts(first, end);
    trunk->unit_part_start = trunk->unit_part_end = -1;
}

const void* trunk_part_object(const XTrunk* trunk, int part) {
    return trunk && part >= 0 && part < trunk->part_count() ? trunk->parts[part] : nullptr;
}

}  // namespace kz::view
