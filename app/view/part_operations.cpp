// Operations the user and the model's actions apply to items and parts: stepped moves and turns under the axis
// locks, action firing over a subtree, hiding by layer, the built-in walk, camera-entry moves and grid copies.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "app/foundation/field_tokenizer.h"
#include "app/foundation/matrix_ops.h"
#include "app/foundation/sjis_string.h"
#include "app/scene/condition_list.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "modeller/camera/o3du_math_camera.h"

namespace kz::view {

namespace fnd = kz::foundation;
using kz::scene::COBJECTA;

namespace {

// A grid copy is asked for by one figure line; more cells than this is a damaged line, not a model.
constexpr long long kMaxGridCells = 10000;
constexpr double kDefaultCameraReach = 8000.0;

// Adds the deltas to three placement columns (first, first + 1, first + 2) where the lock of the matching
// column of the first set (lock_first ..) is clear; 1 when any value moved.
int step_columns(XLeaves* part, int first, int lock_first, const double* delta) {
    if (!part || !part->record) return 0;
    int moved = 0;
    for (int axis = 0; axis < 3; ++axis) {
        if (delta[axis] == 0.0 || part->record->change_locks[lock_first + axis]) continue;
        const int column = first + axis;
        part->record->SetFieldByColumn(column, part->GetParameter(column) + delta[axis]);
        // The clamp stores the value through the part, which marks the item changed and the placement stale.
        part->ClampParameter(column);
        moved = 1;
    }
    return moved;
}

std::string field_text(const char* text, int pos, int len) {
    return pos >= 0 && len > 0 ? std::string(text + pos, static_cast<std::size_t>(len)) : std::string();
}

}  // namespace

void XView::CollectSubtree(XTrunk* trunk, std::vector<XTrunk*>* out) {
    if (!trunk || !out) return;
    // Children first, each subtree in child order, without recursion: a deep file must not exhaust the stack.
    struct Visit {
        XTrunk* trunk;
        std::size_t next_child;
    };
    std::vector<Visit> stack{{trunk, 0}};
    while (!stack.empty()) {
        Visit& top = stack.back();
        if (top.next_child < top.trunk->children.size()) {
            XTrunk* child = top.trunk->children[top.next_child++];
            if (child) stack.push_back({child, 0});
            continue;
        }
        out->push_back(top.trunk);
        stack.pop_back();
    }
}

int XView::ApplyPartOperation(int trunk_index, int target_kind, int op, double a, double b, double c) {
    XTrunk* trunk = trunk_index >= 1 ? TrunkAt(trunk_index) : nullptr;
    if (!trunk) return 0;
    const int part_index = target_kind == 3 ? input.selected_part : 0;
    if (part_index < 0 || part_index >= trunk->part_count()) return 0;
    XLeaves* part = trunk->parts[part_index];
    switch (op) {
    case 1: MovePart(part, a, 0.0, 0.0); break;
    case 2: MovePart(part, 0.0, b, 0.0); break;
    case 3: MovePart(part, a, b, 0.0); break;
    case 4: MovePart(part, 0.0, 0.0, c); break;
    case 8:
    case 16:
    case 24:
    case 32:
    case 40:
    case 48: RotatePart(part, (op & 8) ? a : 0.0, (op & 16) ? b : 0.0, (op & 32) ? c : 0.0); break;
    default: break;
    }
    return 0;
}

int XView::MovePart(XLeaves* part, double dx, double dy, double dz) {
    const double delta[3] = {dx, dy, dz};
    // The second set moves the base point; its limits are those of its own columns, the locks those of dx..dz.
    return step_columns(part, input.second_set ? 7 : 1, 1, delta);
}

int XView::RotatePart(XLeaves* part, double ax, double ay, double az) {
    const double delta[3] = {ax, ay, az};
    return step_columns(part, input.second_set ? 10 : 4, 4, delta);
}

void XView::FireMatchingLeafActions(int origin_trunk, int origin_part, XTrunk* trunk,
                                    const kz::scene::ConditionList* condition, int kind) {
    if (!trunk || !condition) return;
    std::vector<XTrunk*> order;
    CollectSubtree(trunk, &order);
    for (XTrunk* t : order) {
        if (!t->MatchTarget(condition)) continue;
        const int named = t->FindTargetPart(condition);
        if (named == -1) continue;
        int first = 0, last = -1;
        if (named == 0)
            first = last = 1;
        else if (named > 0)
            first = last = named;
        else
            first = 1, last = t->part_count() - 1;
        last = std::min(last, t->part_count() - 1);
        for (int p = first; p <= last; ++p) {
            // An action never fires itself again through its own target.
            if (t->index == origin_trunk && p == origin_part) continue;
            FireLeafActions(t->index, p, kind);
        }
    }
}

int XView::HideLayer(XTrunk* trunk, const char* layer) {
    if (!trunk) return 0;
    const bool named = layer && *layer;
    std::vector<XTrunk*> order;
    CollectSubtree(trunk, &order);
    for (XTrunk* t : order) {
        const COBJECTA* base = t->base_record();
        const char* own = base ? base->layer : nullptr;
        const bool has_layer = own && *own;
        if (named ? (has_layer && fnd::compare_nocase(own, layer) == 0) : !has_layer) t->SetVisible(0, 0);
    }
    return 0;
}

void XView::ToggleWalk(int on) {
    CO3duGLModelar* modeller = output.bridge ? output.bridge->modeller.get() : nullptr;
    if (!modeller) return;
    if (on == 1) {
        if (camera.walk_run_flag == 1) return;
        camera.walk_run_flag = 0;
        CO3duMathCamera::Walk(modeller, 3, camera.walk_run_flag, output.view_window[0]);
        return;
    }
    camera.walk_run_flag = 0;
    _O3duCamera gl_camera;
    modeller->GetCamera(gl_camera);
    if (camera.eye) {
        camera.eye->eye[0] = gl_camera.eye.x, camera.eye->eye[1] = gl_camera.eye.y,
        camera.eye->eye[2] = gl_camera.eye.z;
        camera.eye->target[0] = gl_camera.target.x, camera.eye->target[1] = gl_camera.target.y,
        camera.eye->target[2] = gl_camera.target.z;
    }
    UpdateViewMatrices();
}

void XView::StartCameraMove(const char* entry_text) {
    if (!entry_text || !camera.eye) return;
    static const fnd::FieldSeparators semicolon(";");
    int pos = 0, len = 0;
    const int trunk_index = fnd::get_field_int(entry_text, pos, len, semicolon, 0);
    const int second = fnd::get_field_int(entry_text, pos, len, semicolon, 0);
    int target_pos = pos, target_len = 0;
    const int after_target = pos >= 0 ? fnd::get_field(entry_text, target_pos, target_len, semicolon) : -1;
    pos = after_target;
    const double offset = fnd::get_field_double(entry_text, pos, len, semicolon, 0.0);
    const double seconds = fnd::get_field_double(entry_text, pos, len, semicolon, 0.0);
    const int mode = fnd::get_field_int(entry_text, pos, len, semicolon, 0);
    int lens_pos = pos, lens_len = 0;
    if (pos >= 0) fnd::get_field(entry_text, lens_pos, lens_len, semicolon);
    const double given_lens = fnd::get_field_double(entry_text, pos, len, semicolon, 0.0);
    const double value = fnd::get_field_double(entry_text, pos, len, semicolon, 0.0);
    const double lens = std::clamp(lens_len > 0 ? given_lens : camera.eye->lens, 2.0, 1000.0);

    const std::string target_text = field_text(entry_text, target_pos, target_len);
    XTrunk* own = trunk_index >= 1 ? TrunkAt(trunk_index) : nullptr;
    const int parent_index = own && own->parent ? own->parent->index : -1;
    kz::scene::ConditionList condition;
    kz::scene::init_condition_list(&condition);
    kz::scene::parse_condition(&condition, target_text.c_str(), 0, static_cast<int>(target_text.size()), trunk_index,
                               second, trunk_index > 0 ? parent_index : -1);
    // An empty target names the entry's own item; searching with it would stop at the root.
    XTrunk* found = nullptr;
    if (!target_text.empty() && !document.trunks.empty()) FindTargetTrunk(document.trunks[0], &condition, &found);
    XTrunk* camera_trunk = found ? found : own;
    int part_index = 0;
    if (camera_trunk && camera_trunk->index >= 1) {
        if (condition.part_name && *condition.part_name) part_index = camera_trunk->FindPart(condition.part_name, 1);
        if (part_index < 1 || !camera_trunk->HasPartFlag(part_index, 3)) {
            part_index = 0;
            for (int p = 1; p < camera_trunk->part_count() && !part_index; ++p)
                if (camera_trunk->HasPartFlag(p, 3)) part_index = p;
        }
    }
    kz::scene::free_condition_list(&condition);
    if (!camera_trunk || camera_trunk->index < 1 || part_index < 1) return;
    XLeaves* part = camera_trunk->parts[part_index];

    if (camera.camera_entry_trunk >= 1 && camera.camera_entry_trunk != camera_trunk->index) {
        if (XTrunk* previous = TrunkAt(camera.camera_entry_trunk)) {
            if (COBJECTA* base = previous->base_record()) base->draw_style = 0;
            for (XLeaves* p : previous->parts)
                if (output.bridge && p && p->record)
                    output.bridge->SetFaceDrawMode(p->model, p->record->draw_style, p->record->line_width_digit);
        }
    }
    camera.camera_entry_trunk = camera_trunk->index;

    CameraMove& m = camera.camera_motion;
    std::copy(camera.eye->eye, camera.eye->eye + 3, m.start_eye);
    std::copy(camera.eye->target, camera.eye->target + 3, m.start_target);
    m.start_lens = camera.eye->lens;
    const double origin[3] = {0.0, 0.0, 0.0};
    const double reach = part->record->camera_value > 0.1 ? part->record->camera_value : kDefaultCameraReach;
    const double ahead[3] = {0.0, 0.0, reach};
    fnd::transform_point(m.end_eye, origin, part->L);
    fnd::transform_point(m.end_target, ahead, part->L);
    m.end_lens = lens;
    m.times[0] = offset;
    m.times[1] = seconds;
    m.duration_ms = seconds * 1000.0;
    m.value = value;
    m.target_item = camera_trunk->index;
    m.first_step = 1;
    m.easing = 0;
    GetClockTime(&m.start);
    m.active = 2;
    camera.camera_move = 1;
    if (mode == 1) {
        camera.current_camera_part = part;
        camera.camera_part_owner = camera_trunk;
        input.view_mode = 3;
    } else if (mode == -1) {
        LookFromCameraPart(nullptr, nullptr);
    }
}

int XView::DuplicateTrunkGrid(int source_index, const double* step, const double* increment, const double* counts,
                              int with_children) {
    XTrunk* source = source_index >= 1 ? TrunkAt(source_index) : nullptr;
    if (!source || !step || !increment || !counts) return 0;
    int n[3];
    for (int axis = 0; axis < 3; ++axis) n[axis] = std::max(1, kz::scene::truncate_to_int(counts[axis]));
    if (static_cast<long long>(n[0]) * n[1] * n[2] > kMaxGridCells) return 0;
    // A copy stands beside its source, never inside it, whichever item is current while the line is read.
    XTrunk* owner = document.reference_stack.empty() ? nullptr : document.reference_stack.back().owner;
    if (!owner) owner = source->parent ? source->parent : TrunkAt(0);
    const std::string name = source->base_record()->name ? source->base_record()->name : "";
    int made = 0;
    for (int k = 0; k < n[2]; ++k)
        for (int j = 0; j < n[1]; ++j)
            for (int i = 0; i < n[0]; ++i) {
                if (i == 0 && j == 0 && k == 0) continue;
                if (document.guard.stopped()) return made;  // the open's budget is spent
                XTrunk* copy = TrunkAt(CreateTrunk(nullptr, nullptr, nullptr, nullptr, name.c_str()));
                if (!copy) continue;
                if (owner && owner != copy) copy->SetParent(owner);
                CopyTrunkContent(copy, source);
                COBJECTA* base = copy->base_record();
                const double cell[3] = {static_cast<double>(i), static_cast<double>(j), static_cast<double>(k)};
                const double turns = i + j + k;
                double* position[3] = {&base->dx, &base->dy, &base->dz};
                double* rotation[3] = {&base->rx, &base->ry, &base->rz};
                for (int axis = 0; axis < 3; ++axis) {
                    *position[axis] += cell[axis] * step[axis];
                    *rotation[axis] += turns * increment[axis];
                }
                if (with_children == 1) BuildTrunks(source, copy);
                copy->RecalcMatrices(1);
                ++made;
            }
    return made;
}

}  // namespace kz::view
