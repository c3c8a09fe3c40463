// The first view window's buttons, moves and wheel: the camera press, release and double click, the hover
// popups and action cursor, the Alt-drag of the section plane and the camera drag that navigation carries out.
#include <cmath>
#include <cstdint>

#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "app/foundation/timer_slots.h"
#include "app/scene/figure_record.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "app/view/overlay_texts.h"
#include "platform/window.h"

namespace kz::view {

namespace plat = kz::platform;

namespace {

// Above this many triangles in visible items a drag frame is drawn without shadows, so the drag keeps up.
constexpr int kShadowFreeDragTriangles = 6000;
// Above this many trunks (the root included) a release redraws the shadows that the drag frames left out.
constexpr int kShadowRedrawTrunks = 17;

bool same_point(plat::Point a, plat::Point b) { return a.x == b.x && a.y == b.y; }

std::int64_t packed(plat::Point p) { return pack_view_point(p.x, p.y); }

}  // namespace

bool XView::key_held(int virtual_key) { return (plat::async_key_state(virtual_key) & 0x8000) != 0; }

XLeaves* XView::PartUnderPoint(plat::Point point, int* item, int* part) {
    if (!output.bridge) return nullptr;
    return ShapeOwner(output.bridge->HitTestShape(static_cast<std::uint64_t>(packed(point))), item, part);
}

int XView::IndexOfTrunk(const XTrunk* trunk) const {
    if (!trunk) return -1;
    if (trunk->index >= 0 && trunk->index < trunk_count() && document.trunks[trunk->index] == trunk)
        return trunk->index;
    for (int i = 0; i < trunk_count(); ++i)
        if (document.trunks[i] == trunk) return i;
    return -1;
}

void XView::StartViewTimer() {
    // A frame rate of 0 would ask for an endless period; the default rate keeps the schedule moving.
    const double rate = timeline.frame_rate > 0.0 ? timeline.frame_rate : 30.0;
    kz::foundation::timer_start(timeline.timer_slot, 1.0 / rate);
}

void XView::OnLeftDown(LParam lparam) {
    const plat::Point point{plat::lparam_x(lparam), plat::lparam_y(lparam)};
    plat::set_capture(output.view_window[0]);
    // Alt makes the press a camera press for this one message; the tools stay chosen.
    const bool alt = key_held(plat::VK_MENU);
    const int saved_class = input.interaction_class, saved_target = input.target;
    if (alt) input.interaction_class = 1, input.target = 0;
    switch (input.interaction_class) {
    case 1: CameraPress(point); break;
    case 2: BeginMoveItem(point); break;
    case 3:
        ApproachFace(packed(point), 0);
        input.interaction_class = 1;
        return;
    default: return;
    }
    if (alt) input.interaction_class = saved_class, input.target = saved_target;
}

void XView::OnLeftUp(LParam lparam) {
    const plat::Point point{plat::lparam_x(lparam), plat::lparam_y(lparam)};
    plat::release_capture();
    RouteLeftButton(point, &XView::EndMoveItem, &XView::CameraRelease);
}

void XView::OnLeftDoubleClick(LParam lparam) {
    const plat::Point point{plat::lparam_x(lparam), plat::lparam_y(lparam)};
    if (input.interaction_class == 2) {
        input.button_state = 8;
        input.mouse.last = point;
    } else if (input.interaction_class == 1 || input.interaction_class == 3) {
        CameraDoubleClick(point);
    }
}

void XView::OnMouseMove(WParam keys, LParam lparam) {
    const plat::Point point{plat::lparam_x(lparam), plat::lparam_y(lparam)};
    // A modal box that an action opened while the button was down took its release. The first move that shows
    // the button up ends the press as that release would have, so the move is a hover and no drag.
    if ((input.button_state & 1) && !(keys & plat::MK_LBUTTON)) OnLeftUp(lparam);
    input.mouse.current = point;
    RouteLeftButton(point, &XView::MoveItemStep, &XView::DragCamera);
}

void XView::RouteLeftButton(plat::Point point, void (XView::*tools)(plat::Point), void (XView::*camera)(plat::Point)) {
    // Alt makes the message a camera message for this one message. Only then is the class put back: a
    // one-click tool hands the class back to the camera on its release.
    const bool alt = key_held(plat::VK_MENU);
    const int saved_class = input.interaction_class;
    if (alt) input.interaction_class = 1;
    if (input.interaction_class == 2)
        (this->*tools)(point);
    else if (input.interaction_class == 1 || input.interaction_class == 3)
        (this->*camera)(point);
    if (alt) input.interaction_class = saved_class;
}

void XView::OnMiddleDown(LParam lparam) {
    const plat::Point point{plat::lparam_x(lparam), plat::lparam_y(lparam)};
    if (key_held(plat::VK_CONTROL)) {
        input.button_state = 16;
        input.mouse.last = input.mouse.current = point;
    } else if (key_held(plat::VK_SHIFT) && display.near_target_display == 0) {
        display.near_target_display = 1;
        ResetShownFlags();
        LookAtPoint(packed(point));
        DrawOverlayText(kNearOnlyText);
    } else {
        LookAtPoint(packed(point));
    }
}

void XView::OnRightDown(LParam lparam) {
    const plat::Point point{plat::lparam_x(lparam), plat::lparam_y(lparam)};
    if (key_held(plat::VK_CONTROL) && key_held(plat::VK_SHIFT) && !key_held(plat::VK_MENU)) {
        for (int k = 1; k < trunk_count(); ++k)
            if (XTrunk* t = document.trunks[k]; t && t->shown == 0) t->SetVisible(1, 0);
        Redraw(0);
        return;
    }
    int item = 0, part = -1, face = -1;
    double hit[3] = {};
    PickItem(packed(point), &item, &part, &face, 1, 1, hit);
    display.selection_display_mode = 0;
    if (item >= 1)
        SelectItem(item, part, face);
    else
        SelectItem(-1, -1, -1);
    Redraw(0);
    display.selection_display_mode = 5;
}

void XView::OnWheelMessage(int, int delta, plat::Point) {
    if (input.interaction_class < 1 || input.interaction_class > 3) return;
    OnMouseWheel(static_cast<std::int16_t>(delta & 0xFFFF));
}

void XView::CameraPress(plat::Point point) {
    if (key_held(plat::VK_MENU) && input.last_tool_id != 0) {
        const std::int64_t tool_point = static_cast<std::int64_t>(plat::make_point_lparam(point.x, point.y));
        switch (input.last_tool_id) {
        case 0x5729: ToolPasteImage(tool_point); break;
        case 0x572A: ToolPickImage(tool_point); break;
        case 0x572B: ToolUnpasteFace(tool_point); break;
        case 0x572C: ToolUnpastePart(tool_point); break;
        case 0x572D: ToolUnpasteItem(tool_point); break;
        default: break;
        }
        return;
    }
    input.mouse.press = input.mouse.last = input.mouse.current = point;
    input.mouse.near_target_at_press = display.near_target_display;
    input.button_state = 1;
    // A press settles any hover still waiting, so it cannot overwrite what the press shows.
    input.mouse.hover_pending = 0;
    if (timeline.actions_off) return;
    input.mouse.clicked_item = input.mouse.clicked_part = 0;
    if (!PartUnderPoint(point, &input.mouse.clicked_item, &input.mouse.clicked_part))
        input.mouse.clicked_item = input.mouse.clicked_part = 0;
    HideCommentWindow();
    FireLeafActions(input.mouse.clicked_item, input.mouse.clicked_part, 1);
    StartViewTimer();
}

void XView::CameraRelease(plat::Point point) {
    if (same_point(point, input.mouse.press)) {
        if (key_held(plat::VK_CONTROL)) ApproachPoint(packed(point));
    } else if (input.mouse.near_target_at_press == 0 && display.near_target_display == 1) {
        display.near_target_display = 0;
        RestoreNearHidden();
        Redraw(0);
    } else if (settings.shadow_display == 1 && trunk_count() > kShadowRedrawTrunks) {
        Redraw(0);
    }
    input.button_state = 2;
}

void XView::CameraDoubleClick(plat::Point point) {
    input.button_state = 8;
    if (same_point(point, input.mouse.press)) {
        int item = 0, part = -1, face = -1;
        double hit[3] = {};
        PickItem(packed(input.mouse.press), &item, &part, &face, 1, 1, hit);
        if (item >= 1)
            for (int k = 0; k < 3; ++k) input.mouse.tool_reference[k] = hit[k];
        SelectItem(item, part, face);
        FireLeafActions(item, part, 2);
        StartViewTimer();
    }
    Redraw(0);
}

void XView::DragCamera(plat::Point point) {
    input.mouse.current = point;
    if (!(input.button_state & 1)) {
        // Queued moves only leave their position; the pick runs once for the last of them.
        input.mouse.hover_point = point;
        input.mouse.hover_popup = key_held(plat::VK_SHIFT)                                       ? 2
                                  : (key_held(plat::VK_CONTROL) || display.comment_display == 1) ? 1
                                                                                                 : 0;
        if (!input.mouse.hover_pending) {
            input.mouse.hover_pending = 1;
            plat::post_message(output.view_window[0], plat::WM_SETCURSOR, plat::handle_to_wparam(output.view_window[0]),
                               0);
        }
    } else if (display.section_switch == 1 && key_held(plat::VK_MENU)) {
        const int dx = input.mouse.current.x - input.mouse.last.x, dy = input.mouse.current.y - input.mouse.last.y;
        const double step = input.alt_drag_step * (key_held(plat::VK_SHIFT) ? 0.1 : 1.0);
        const double d = std::abs(dx) > std::abs(dy) ? -dx : dy;
        const int axis = display.section_axis >= 0 && display.section_axis < 3 ? display.section_axis : 0;
        for (int k = 0; k < 3; ++k) display.section_point[k] += d * step * display.section_axes[axis][k];
        PushSectionPlane(1);
        Redraw(0);
    } else if (Navigate(&input.mouse.last, &input.mouse.current, 0, 0)) {
        const int saved_shadow = settings.shadow_display;
        if (display.scene_stats[3][1] > kShadowFreeDragTriangles) settings.shadow_display = 0;
        Redraw(0);
        settings.shadow_display = saved_shadow;
    }
    input.button_state |= 4;
    input.mouse.last = input.mouse.current;
}

void XView::ResolveHoverPick() {
    if (!input.mouse.hover_pending) return;
    input.mouse.hover_pending = 0;
    const plat::Point point = input.mouse.hover_point;
    if (input.mouse.hover_popup)
        ShowAttributePopup(point, input.mouse.hover_popup);
    else
        HideCommentWindow();
    if (!output.bridge) return;
    const XLeaves* part = PartUnderPoint(point, nullptr, nullptr);
    if (part && part->record && part->record->action && *part->record->action)
        input.mouse.hover = 4;
    else if (input.mouse.hover == 4)
        input.mouse.hover = 0;
}

}  // namespace kz::view
