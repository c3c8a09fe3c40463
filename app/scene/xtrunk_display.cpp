// What a part pushes to the bridge about how it is shown: visibility, shadows, fill or outline, the selection
// highlight of the display modes, and its axes drawn with GDI.
#include "app/foundation/bus_mdl.h"
#include "app/foundation/eye_record.h"
#include "app/foundation/matrix_ops.h"
#include "app/foundation/view_projection.h"
#include "app/scene/subtree_walk.h"
#include "app/scene/view_services.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "platform/device_context.h"

namespace kz::scene {

using namespace kz::foundation;

namespace {

CBusMDL* bridge_of(XViewServices* view) { return view ? view->Bridge() : nullptr; }

struct Highlight {
    std::uint32_t color;
    double transparency;
};

constexpr Highlight kNone{0, 0.0};
constexpr Highlight kSelected{0x0000FF, 0.0001};
constexpr Highlight kFaded{0xDED2C8, 0.9};
constexpr Highlight kBelow{0x00FF00, 0.0001};
constexpr Highlight kAbove{0x00FFFF, 0.0001};

Highlight highlight_for(int display_mode, bool selected, int mark) {
    switch (display_mode) {
    case 0: return selected ? Highlight{0, 0.5} : kNone;
    case 1: return selected ? kNone : Highlight{0, 0.9};
    case 2: return selected ? kSelected : kFaded;
    case 3: return selected ? kSelected : mark == 1 ? kBelow : mark == 2 ? kAbove : kFaded;
    case 4: return selected ? kSelected : mark == 1 ? kBelow : kFaded;
    default: return kNone;
    }
}

}  // namespace

void XTrunk::ShowPart(int show, int part_index) {
    CBusMDL* bridge = bridge_of(view);
    if (!bridge || part_index < 1 || part_index >= part_count()) return;
    bridge->SetShapeVisible(parts[part_index]->model, show);
}

void XTrunk::SetVisible(int show, int recursive) {
    if (!recursive) {
        SetOwnVisible(show);
        return;
    }
    walk_subtree_children_first(this, [show](XTrunk* t) { t->SetOwnVisible(show); });
}

void XTrunk::SetOwnVisible(int show) {
    shown = shown_too = show;
    if (CBusMDL* bridge = bridge_of(view))
        for (int i = 1; i < part_count(); ++i) bridge->SetShapeVisible(parts[i]->model, show);
}

void XTrunk::PushShadowFlags(int recursive, int part_index) {
    if (!recursive || part_index != 0) {
        PushOwnShadowFlags(part_index);
        return;
    }
    walk_subtree_children_first(this, [](XTrunk* t) { t->PushOwnShadowFlags(0); });
}

void XTrunk::PushOwnShadowFlags(int part_index) {
    CBusMDL* bridge = bridge_of(view);
    if (!bridge || parts.empty()) return;
    const int base_mode = base_record()->shadow_mode;
    auto push = [&](XLeaves* part) {
        const int value = base_mode == 0 ? 0 : base_mode == 1 ? 1 : part->record->shadow_mode;
        bridge->SetDrawModeBit8(part->model, value);
    };
    // One part is reached by its number: every part's build pushes its own, and a pass over all of them each
    // time made an item of many shapes quadratic to open.
    if (part_index != 0) {
        if (part_index > 0 && part_index < part_count()) push(parts[part_index]);
        return;
    }
    for (XLeaves* part : parts) push(part);
}

void XTrunk::PushDrawStyle() {
    CBusMDL* bridge = bridge_of(view);
    if (!bridge) return;
    const int base_style = base_record()->draw_style;
    for (XLeaves* part : parts) {
        const COBJECTA& r = *part->record;
        bridge->SetFaceDrawMode(part->model, base_style >= 1 ? base_style : r.draw_style, r.line_width_digit);
    }
}

void XTrunk::UpdateSelectionDisplay() {
    COBJECTA& r = *base_record();
    if (view && index == view->SelectedTrunkIndex()) {
        r.draw_style = 0;
        UpdateHighlightColor();
    } else {
        r.draw_style = view && view->WireSwitch() == 1 ? 2 : 0;
    }
    PushDrawStyle();
}

int XTrunk::UpdateHighlightColor() {
    const bool selected = view && index == view->SelectedTrunkIndex();
    const Highlight h = highlight_for(view ? view->DisplayMode() : 0, selected, mark_state);
    highlight_color = h.color;
    highlight_transparency = h.transparency;
    if (view) view->ApplyTrunkAppearance(0, this);
    return 0;
}

void XTrunk::RefreshHighlight() {
    if (!view) return;
    const int mode = view->DisplayMode();
    if (mode == 3 || mode == 4) {
        for (int i = 0; i < view->TrunkCount(); ++i) {
            XTrunk* t = view->TrunkAt(i);
            if (!t || t->mark_state == 0) continue;
            t->mark_state = 0;
            t->UpdateSelectionDisplay();
            t->UpdateHighlightColor();
        }
        if (view->SelectedTrunkIndex() > 0) view->MarkSelectionFamily();
    }
    UpdateSelectionDisplay();
    UpdateHighlightColor();
}

std::uint32_t XTrunk::GetDrawColor() {
    if (highlight_color > 0) return highlight_color;
    return base_record()->packed_color;
}

double XTrunk::GetTransparency() {
    if (highlight_transparency > 0) return highlight_transparency;
    const double own = base_record()->trans;
    return own > 0 ? own : 0.0;
}

int XTrunk::DrawAxes(void* device_context, int mask, double length) {
    EyeRecord* eye = view ? view->Eye() : nullptr;
    if (!eye || !device_context) return 0;
    static const std::int64_t colours[3] = {0xFF0000, 0x0000FF, 0xFFFF00};
    double points[4][3] = {{0, 0, 0}, {length, 0, 0}, {0, length, 0}, {0, 0, length}};
    const Matrix16 q = base()->Q();
    for (auto& p : points) transform_point(p, p, q.data());
    auto& dc = *static_cast<kz::platform::DeviceContext*>(device_context);
    for (int axis = 0; axis < 3; ++axis)
        if (mask & (1 << axis)) draw_projected_line(*eye, dc, points[0], points[axis + 1], colours[axis]);
    return 0;
}

}  // namespace kz::scene
