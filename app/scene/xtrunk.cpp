// XTrunk's life cycle, its shapes and children, moves within the tree, copying shapes from another part and the
// part's own placement values and names.
#include "app/scene/xtrunk.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "app/foundation/heap_text.h"
#include "app/foundation/matrix_ops.h"
#include "app/foundation/sjis_string.h"
#include "app/scene/subtree_walk.h"
#include "app/scene/view_services.h"
#include "app/scene/xleaves.h"

namespace kz::scene {

using namespace kz::foundation;

namespace {

void free_texts(std::vector<char*>& texts) {
    for (char*& t : texts) t = free_and_null(t);
    texts.clear();
}

// A trunk stands in its parent's children exactly when its parent pointer names that parent, so callers append
// only a trunk whose parent they are just setting, and no search of the siblings is needed: a grid of ten thousand
// copies must not cost a scan of all earlier ones each.
void append_child(std::vector<XTrunk*>& children, XTrunk* child) {
    if (children.capacity() < children.size() + 4) children.reserve(children.size() + children.size() / 8 + 16);
    children.push_back(child);
}

}  // namespace

XTrunk::XTrunk(XViewServices* view_in, const double* position, const double* rotation, const double* origin_offset,
               const double* origin_rotation, const char* name, int index_in)
    : view(view_in), index(index_in) {
    if (index == 0) {
        if (view) view->AdoptRootTrunk(this);
    } else {
        parent = view ? view->CurrentTrunk() : nullptr;
        if (parent == this) parent = nullptr;
        if (parent) {
            append_child(parent->children, this);
            view->MarkTrunkChanged(parent);
        }
    }
    AddLeaves();
    COBJECTA& r = *base_record();
    const double zero[3] = {0.0, 0.0, 0.0};
    const double* p = position ? position : zero;
    const double* t = rotation ? rotation : zero;
    const double* o = origin_offset ? origin_offset : zero;
    const double* q = origin_rotation ? origin_rotation : zero;
    r.dx = p[0], r.dy = p[1], r.dz = p[2];
    r.rx = t[0], r.ry = t[1], r.rz = t[2];
    r.odx = o[0], r.ody = o[1], r.odz = o[2];
    r.orx = q[0], r.ory = q[1], r.orz = q[2];
    base()->HoldPlacement();
    r.draw_style = 0;
    r.name = set_heap_string(r.name, name, nullptr, name ? -1 : 0);
    if (view) view->MarkTrunkChanged(this);
}

XTrunk::~XTrunk() {
    for (XLeaves*& part : parts) {
        delete part;
        part = nullptr;
    }
    parts.clear();
    children.clear();
    free_texts(text_list);
    lock_owner = free_and_null(lock_owner);
    free_texts(comment_lines);
}

COBJECTA* XTrunk::base_record() const { return parts.empty() ? nullptr : parts[0]->record; }

void XTrunk::RemoveParts(int first, int end) {
    first = std::max(first, 1);
    end = std::min(end, part_count());
    if (first >= end) return;
    for (XLeaves* kept : parts)
        for (int j = first; j < end; ++j)
            if (kept->anchor == parts[j]) kept->anchor = nullptr;
    for (int j = first; j < end; ++j) delete parts[j];
    parts.erase(parts.begin() + first, parts.begin() + end);
    for (int i = first; i < part_count(); ++i) parts[i]->index = i;
}

int XTrunk::AddLeaves() {
    // Grown by half again, not by a fixed step: an item of many shapes must not copy its list once per few shapes.
    if (parts.capacity() < parts.size() + 4) parts.reserve(parts.size() + 16 + parts.size() / 2);
    auto* leaves = new XLeaves(this);
    leaves->index = static_cast<std::int32_t>(parts.size());
    parts.push_back(leaves);
    if (view) view->MarkTrunkChanged(this);
    return leaves->index;
}

int XTrunk::FindPart(const char* name, int start) {
    if (!name || start < 0) return 0;
    for (int i = start; i < part_count(); ++i) {
        const char* own = parts[i]->record->name;
        if (own && compare_nocase(own, name) == 0) return i;
    }
    return 0;
}

int XTrunk::FindPartParent(int part_index) {
    if (part_index < 0 || part_index >= part_count()) return 0;
    const char* wanted = parts[part_index]->record->parent_name;
    if (!wanted || !*wanted) return 0;
    for (int i = 1; i < part_count(); ++i) {
        const char* own = parts[i]->record->name;
        if (i != part_index && own && compare_nocase(own, wanted) == 0) return i;
    }
    return 0;
}

int XTrunk::GetParentPartIndex() {
    parent_part_cache = 0;
    const COBJECTA* r = base_record();
    if (parent && r && r->parent_name && *r->parent_name) parent_part_cache = parent->FindPart(r->parent_name, 1);
    return parent_part_cache;
}

void XTrunk::FindTrunkInSubtree(const XTrunk* sought, int* found) {
    if (!found || *found >= 0) return;
    walk_subtree(this, [&](XTrunk* t) {
        if (t == sought) *found = t->index;
        return *found < 0;
    });
}

void XTrunk::SetParent(XTrunk* new_parent) {
    XTrunk* target = new_parent ? new_parent : (view ? view->CurrentTrunk() : nullptr);
    if (target == this) return;
    if (target) {
        // Hanging a part below itself would close a loop in the tree.
        int found = -1;
        for (XTrunk* child : children)
            if (child) child->FindTrunkInSubtree(target, &found);
        if (found >= 0) return;
    }
    if (parent) parent->RemoveChild(this);
    parent = target;
    read_from_unit = 0;
    if (view) view->MarkTrunkChanged(this);
    if (parent && parent != this) {
        append_child(parent->children, this);
        if (view) view->MarkTrunkChanged(parent);
    }
}

void XTrunk::RemoveChild(XTrunk* child) {
    // Searched from the end: the child moved away is most often the one just added.
    const auto at = std::find(children.rbegin(), children.rend(), child);
    if (at != children.rend()) children.erase(std::next(at).base());
    if (view) view->MarkTrunkChanged(this);
}

void XTrunk::MoveChildrenToParent(int keep_place) {
    if (children.empty() || !parent) return;
    const COBJECTA& own = *base_record();
    double m[16];
    identity_matrix4(m);
    if (keep_place) {
        const double position[3] = {own.dx, own.dy, own.dz}, rotation[3] = {own.rx, own.ry, own.rz};
        compose_matrix_ops(0, m, position, rotation, 0, op_code("y"), op_code("x"), op_code("z"), op_code("M"));
    }
    const std::vector<XTrunk*> moving = children;
    for (XTrunk* child : moving) {
        if (!child || child->parent != this) continue;
        if (child != parent) {
            append_child(parent->children, child);
            child->parent = parent;
            child->read_from_unit = 0;
            if (view) view->MarkTrunkChanged(parent);
        }
        COBJECTA& c = *child->base_record();
        if (own.parent_name && *own.parent_name)
            c.parent_name = set_heap_string(c.parent_name, own.parent_name, nullptr, -1);
        if (keep_place) {
            // The child's whole placement is carried into the parent's frame: turning a tilted part's angles by
            // adding them would move its children.
            const double position[3] = {c.dx, c.dy, c.dz}, rotation[3] = {c.rx, c.ry, c.rz};
            double placed[16];
            compose_matrix_ops(0, placed, position, rotation, 0, op_code("y"), op_code("x"), op_code("z"),
                               op_code("M"));
            multiply_matrix4(placed, placed, m);
            c.dx = placed[12], c.dy = placed[13], c.dz = placed[14];
            decompose_yxz_angles(placed, &c.rx, &c.ry, &c.rz);
            child->base()->placement_valid = 0;
        }
    }
    std::vector<XTrunk*>().swap(children);
}

int XTrunk::CopyLeavesFrom(XTrunk* source, int with_placement) {
    if (!source || source == this) return 0;
    // The base parts stay while the other parts are replaced: their records take the locks and placement.
    COBJECTA* own = base_record();
    const COBJECTA* from = source->base_record();
    if (!own || !from) return 0;
    for (int i = 1; i < part_count(); ++i) delete parts[i];
    parts.resize(1);
    for (int i = 1; i < source->part_count(); ++i) {
        const int at = AddLeaves();
        parts[at]->Build(source->parts[i]->record);
    }
    own->change_locks = from->change_locks;
    own->limit = set_heap_string(own->limit, from->limit, nullptr, from->limit ? -1 : 0);
    base()->ParseMoveLimits(own->limit);
    if (with_placement) {
        own->draw_style = from->draw_style;
        own->dx = from->dx, own->dy = from->dy, own->dz = from->dz;
        own->rx = from->rx, own->ry = from->ry, own->rz = from->rz;
        own->odx = from->odx, own->ody = from->ody, own->odz = from->odz;
        own->orx = from->orx, own->ory = from->ory, own->orz = from->orz;
    }
    return 0;
}

void XTrunk::SetPlacement(const double* position, const double* rotation) {
    if (view) view->MarkTrunkChanged(this);
    COBJECTA& r = *base_record();
    double* fields[6] = {&r.dx, &r.dy, &r.dz, &r.rx, &r.ry, &r.rz};
    for (int c = 0; c < 3; ++c) {
        if (position && !r.change_locks[1 + c]) *fields[c] = position[c];
        if (rotation && !r.change_locks[4 + c]) *fields[3 + c] = rotation[c];
    }
}

int XTrunk::HasPartFlag(int part_index, int mask) {
    if (part_index < 0 || part_index >= part_count() || !parts[part_index]) return 0;
    return parts[part_index]->record->camera_number & mask;
}

int XTrunk::HasFrefer() {
    const COBJECTA* r = base_record();
    return r && r->frefer && *r->frefer ? 1 : 0;
}

void XTrunk::AddCommentLine(const char* text) {
    if (comment_lines.capacity() < comment_lines.size() + 5) comment_lines.reserve(comment_lines.size() + 10);
    comment_lines.push_back(set_heap_string(nullptr, text ? text : "", nullptr, -1));
}

void XTrunk::EnsureName() {
    COBJECTA& r = *base_record();
    if (r.name && *r.name) return;
    char stamp[64] = {};
    if (view) view->MakeStampName(stamp);
    r.name = set_heap_string(r.name, stamp, nullptr, -1);
}

void XTrunk::ResetMotions() {
    for (XLeaves* part : parts)
        if (part) part->StopMotions();
}

}  // namespace kz::scene
