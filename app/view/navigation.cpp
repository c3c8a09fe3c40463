// Navigation: the eye and target moved by drags, the wheel and the arrow keys in the around, walk and head modes,
// the lens steps, the obstacle check of eye moves, fitting the model into view and the wheel's shadow editing.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "app/document/view_messages.h"
#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "app/foundation/date_time.h"
#include "app/foundation/vector_geometry.h"
#include "app/scene/figure_record.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "platform/crt/c_numbers.h"
#include "platform/window.h"

namespace kz::view {

namespace fnd = kz::foundation;
namespace plat = kz::platform;

namespace {

constexpr double kNoObstacle = 1.0e10;
// "影時刻： %2d月%2d日%2d時%2d分  北(%3.0f度)" in the system's code page.
constexpr char kShadowTimeFormat[] =
    "\x89\x65\x8e\x9e\x8d\x8f\x81\x46 %2d\x8c\x8e%2d\x93\xfa%2d\x8e\x9e%2d\x95\xaa  \x96\x6b(%3.0f\x93\x78)";

// The part's display flags as decoded from "dispmode" (1 filled, 2 outline, 3 both), the same flags the picks
// test: bit 1 makes a part an obstacle.
int display_flags(const XLeaves* part) { return part && part->record ? part->record->draw_style : 0; }

void add_scaled(double* out, const double* p, const double* v, double k) {
    for (int i = 0; i < 3; ++i) out[i] = p[i] + v[i] * k;
}

// `moving` turned about `centre` by the azimuth and elevation steps (degrees) into out. A step of the elevation
// to or past +-90 is refused, so the turn never passes over the pole.
bool turn_about(const double* centre, const double* moving, double azimuth_step, double elevation_step, double* out) {
    double polar[3];
    fnd::vector_to_polar(centre, moving, polar, nullptr);
    polar[2] += azimuth_step;
    if (elevation_step != 0.0) {
        polar[1] += elevation_step;
        if (polar[1] >= 90.0 || polar[1] <= -90.0) return false;
    }
    fnd::polar_to_point(centre, polar, out);
    return true;
}

// Eye and target moved together by the offset, through the obstacle check when it is on.
void shift_eye(XView& view, const double* offset) {
    double moved_eye[3], moved_target[3];
    add_scaled(moved_eye, view.camera.eye->eye, offset, 1.0);
    add_scaled(moved_target, view.camera.eye->target, offset, 1.0);
    view.SetEye(moved_eye, moved_target, 0.0, view.camera.collision_check);
}

// The item moved or the part turned under the eye: the placement is recomputed and the eye follows the part.
void follow_camera_part(XView& view, XLeaves* part) {
    if (part->owner) part->owner->RecalcMatrices(1);
    view.LookFromCameraPart(nullptr, part);
}

// A walk moves eye and target; with the eye on a camera part it moves the part's item instead, in walk mode only.
void walk_by(XView& view, const double* offset) {
    auto* part = static_cast<XLeaves*>(view.camera.current_camera_part);
    if (!part) {
        shift_eye(view, offset);
        return;
    }
    if (view.input.view_mode != 2 || !part->owner || !part->owner->base()) return;
    view.MovePart(part->owner->base(), offset[0], offset[1], offset[2]);
    follow_camera_part(view, part);
}

// The part a head turn acts on: a camera part flagged 2 hands it to its parent shape unless that is the base.
XLeaves* camera_turn_part(XLeaves* part) {
    XTrunk* item = part->owner;
    if (item && item->HasPartFlag(part->index, 2) && part->anchor && part->anchor != item->base()) return part->anchor;
    return part;
}

}  // namespace

int XView::SetEye(const double* new_eye, const double* new_target, double lens, int check) {
    if (!camera.eye || !new_eye || !new_target) return 0;
    // A move of no length cannot reach an obstacle, and a camera turned along it would have no direction.
    const double length = fnd::distance_3d(camera.eye->eye, new_eye);
    if (check == 1 && length > 0.0 && length >= ObstacleDistance(camera.eye->eye, new_eye)) return 0;
    if (lens > 0.0) {
        camera.eye->lens = std::fmin(std::fmax(lens, 1.0), 600.0);
        camera.eye->zoom_ratio = camera.base_lens / camera.eye->lens;
        SendTitle();
    }
    std::memmove(camera.eye->eye, new_eye, sizeof camera.eye->eye);
    std::memmove(camera.eye->target, new_target, sizeof camera.eye->target);
    UpdateViewMatrices();
    return 1;
}

double XView::ObstacleDistance(const double* from, const double* to) {
    CO3duGLModelar* m = output.bridge ? output.bridge->modeller.get() : nullptr;
    if (!m || !camera.eye) return kNoObstacle;
    const int cx = camera.eye->screen_origin_x + camera.eye->screen_width / 2;
    const int cy = camera.eye->screen_origin_y + camera.eye->screen_height / 2;
    const std::int64_t centre = pack_view_point(cx, cy);
    _O3duCamera kept;
    m->GetCamera(kept);
    _O3duCamera along = kept;
    along.eye = OfuVector3(from[0], from[1], from[2]);
    along.target = OfuVector3(to[0], to[1], to[2]);
    m->SetCamera(along);
    XLeaves* part = PartAtPoint(centre);
    m->SetCamera(kept);
    if (!part || !(display_flags(part) & 1)) return kNoObstacle;
    double hit[3] = {};
    XTrunk* item = part->owner;
    if (item && item->HasPartFlag(0, 8)) {
        hit[0] = cx / input.window_item_scale, hit[1] = cy / input.window_item_scale;
    } else {
        // The face is looked for along the move's own ray, not the line of sight: a sideways or backward move
        // meets walls that the view direction would see edge-on or from behind.
        double saved_eye[3], saved_target[3];
        std::memcpy(saved_eye, camera.eye->eye, sizeof saved_eye);
        std::memcpy(saved_target, camera.eye->target, sizeof saved_target);
        std::memmove(camera.eye->eye, from, sizeof camera.eye->eye);
        std::memmove(camera.eye->target, to, sizeof camera.eye->target);
        UpdateViewMatrices();
        int face = -1;
        const bool found = PickFace(centre, part, hit, &face) != nullptr;
        std::memcpy(camera.eye->eye, saved_eye, sizeof saved_eye);
        std::memcpy(camera.eye->target, saved_target, sizeof saved_target);
        UpdateViewMatrices();
        if (!found) return kNoObstacle;
    }
    return fnd::distance_3d(from, hit);
}

int XView::ApproachStep(double amount, double fraction, int mode) {
    if (amount == 0.0 || !camera.eye) return amount == 0.0 ? 0 : 1;
    const double k = amount > 0.0 ? 1.0 - fraction : 1.0 / (1.0 - fraction);
    if (k == 1.0) return 1;
    // Mode 0 slides the eye along the line from the target, mode 1 the target along the line from the eye.
    const double* anchor = mode == 1 ? camera.eye->eye : camera.eye->target;
    const double* moving = mode == 1 ? camera.eye->target : camera.eye->eye;
    double direction[3];
    const double d = fnd::distance_with_direction(anchor, moving, direction);
    const double moved_distance = std::fmax(std::fmax(d, 10.0) * k, 0.1);
    double moved[3];
    add_scaled(moved, anchor, direction, moved_distance);
    if (mode == 1)
        SetEye(camera.eye->eye, moved, 0.0, camera.collision_check);
    else
        SetEye(moved, camera.eye->target, 0.0, camera.collision_check);
    return 1;
}

int XView::OrbitAzimuth(double amount, double scale) {
    if (amount == 0.0) return 0;
    double moved[3];
    if (camera.eye && turn_about(camera.eye->target, camera.eye->eye, -amount * scale, 0.0, moved))
        SetEye(moved, camera.eye->target, 0.0, camera.collision_check);
    return 1;
}

int XView::OrbitElevation(double amount, double scale) {
    if (amount == 0.0) return 0;
    double moved[3];
    if (camera.eye && turn_about(camera.eye->target, camera.eye->eye, 0.0, amount * scale, moved))
        SetEye(moved, camera.eye->target, 0.0, camera.collision_check);
    return 1;
}

int XView::WalkForward(double amount, double scale, int horizontal) {
    if (amount == 0.0) return 0;
    if (!camera.eye) return 1;
    double direction[3];
    fnd::distance_with_direction(camera.eye->eye, camera.eye->target, direction);
    if (horizontal == 1) fnd::normalize_xyz(direction[0], direction[1], 0.0, direction);
    const double k = -amount * scale;
    const double offset[3] = {direction[0] * k, direction[1] * k, direction[2] * k};
    walk_by(*this, offset);
    return 1;
}

int XView::WalkSideways(double amount, double scale) {
    if (amount == 0.0) return 0;
    if (!camera.eye) return 1;
    double direction[3], side[3];
    fnd::distance_with_direction(camera.eye->eye, camera.eye->target, direction);
    fnd::normalize_xyz(direction[1], -direction[0], 0.0, side);
    for (double& v : side) v *= amount * scale;
    shift_eye(*this, side);
    return 1;
}

int XView::WalkVertical(double amount, double scale) {
    if (amount == 0.0) return 0;
    if (!camera.eye) return 1;
    const double up[3] = {0.0, 0.0, amount * scale};
    walk_by(*this, up);
    return 1;
}

int XView::HeadAzimuth(double amount, double scale) {
    if (amount == 0.0) return 0;
    if (!camera.eye) return 1;
    if (camera.current_camera_part) {
        if (input.view_mode != 2 && input.view_mode != 3) return 1;
        auto* part = static_cast<XLeaves*>(camera.current_camera_part);
        RotatePart(input.view_mode == 3 ? camera_turn_part(part) : part, 0.0, 0.0, amount * scale);
        follow_camera_part(*this, part);
        return 1;
    }
    // The target turns without an obstacle check; the view matrices follow with the next frame.
    turn_about(camera.eye->eye, camera.eye->target, amount * scale, 0.0, camera.eye->target);
    return 1;
}

int XView::HeadElevation(double amount, double scale) {
    if (amount == 0.0) return 0;
    if (!camera.eye) return 1;
    if (camera.current_camera_part) {
        auto* part = static_cast<XLeaves*>(camera.current_camera_part);
        RotatePart(camera_turn_part(part), -amount * scale, 0.0, 0.0);
        follow_camera_part(*this, part);
        return 1;
    }
    turn_about(camera.eye->eye, camera.eye->target, 0.0, amount * scale, camera.eye->target);
    return 1;
}

int XView::LensStep(int delta) {
    if (delta == 0) return 0;
    if (!camera.eye) return 1;
    double lens = std::floor(camera.eye->lens + delta + 0.5);
    // Above 100 mm the lens moves in steps of 10.
    if (lens > 100.0) lens = std::floor(camera.eye->lens / 10.0 + 0.5) * 10.0 + 10.0 * delta;
    camera.eye->lens = std::fmin(std::fmax(lens, 1.0), 600.0);
    camera.eye->zoom_ratio = camera.base_lens / camera.eye->lens;
    SendTitle();
    return 1;
}

int XView::Navigate(const kz::platform::Point* from, const kz::platform::Point* to, int wheel_delta, int key) {
    if (input.view_mode < 1 || input.view_mode > 3 || !camera.eye) return 0;
    const double dx = from && to ? to->x - from->x : 0.0;
    const double dy = from && to ? to->y - from->y : 0.0;
    const int w = wheel_delta > 0 ? 1 : wheel_delta < 0 ? -1 : 0;
    const double head = 4.0 / camera.eye->lens;
    const bool ctrl = XView::key_held(plat::VK_CONTROL);
    const bool shift = !ctrl && XView::key_held(plat::VK_SHIFT);
    int moved = 0;
    // Both drag steps of a row run even when the first moved nothing.
    const auto walk = [&] { moved |= WalkSideways(dx, 20.0) | WalkForward(dy, 20.0, 1); };
    const auto turn = [&] { moved |= HeadAzimuth(dx, head) | HeadElevation(dy, head); };
    if (shift && input.view_mode != 1) {
        moved |= WalkVertical(dy, 20.0);
    } else if (shift || (ctrl && input.view_mode == 3)) {
        walk();
    } else if (ctrl || input.view_mode == 3) {
        turn();
    } else if (input.view_mode == 2) {
        walk();
    } else {
        moved |= OrbitAzimuth(dx, 0.2) | OrbitElevation(dy, 0.2);
    }
    if (w != 0) {
        if (ctrl)
            moved |= LensStep(w > 0 ? 1 : -1);
        else if (!shift && input.view_mode == 1)
            moved |= ApproachStep(w, 0.1, 0);
    }
    const bool around = input.view_mode == 1, walking = input.view_mode == 2;
    switch (key) {
    case plat::VK_LEFT: moved |= around ? OrbitAzimuth(-1, 0.1) : HeadAzimuth(-1, 0.1); break;
    case plat::VK_RIGHT: moved |= around ? OrbitAzimuth(1, 0.1) : HeadAzimuth(1, 0.1); break;
    case plat::VK_UP:
        moved |= around ? OrbitElevation(-1, 0.1) : walking ? WalkForward(1, 50.0, 1) : HeadElevation(-1, 0.1);
        break;
    case plat::VK_DOWN:
        moved |= around ? OrbitElevation(1, 0.1) : walking ? WalkForward(-1, 50.0, 1) : HeadElevation(1, 0.1);
        break;
    default: break;
    }
    return moved != 0 ? 1 : 0;
}

void XView::OnMouseWheel(int delta) {
    if (input.interaction_class < 1 || input.interaction_class > 3) return;
    const int notch = static_cast<std::int16_t>(delta & 0xFFFF);
    if (notch == 0) return;
    const bool ctrl = XView::key_held(plat::VK_CONTROL), shift = XView::key_held(plat::VK_SHIFT);
    if (settings.shadow_display != 1 || (!ctrl && !shift)) {
        if (Navigate(nullptr, nullptr, notch, 0)) Redraw(0);
        return;
    }
    SceneSettings& st = settings;
    const bool back = notch < 1;
    if (ctrl && shift) {
        st.north_angle += back ? -10.0 : 10.0;
        if (st.north_angle > 360.0) st.north_angle -= 360.0;
        if (st.north_angle < 0.0) st.north_angle += 360.0;
    } else if (ctrl) {
        settings.shadow_date = fnd::wrap_index(static_cast<int>(settings.shadow_date) + (back ? -1 : 1), 365);
    } else {
        int hour = 0, minute = 0;
        fnd::hours_to_hour_minute(settings.shadow_time, &hour, &minute);
        minute = minute / 10 * 10 + (back ? -10 : 10);
        // The hour stops at its limits while the minutes wrap.
        if (minute < 0) minute += 60, hour = hour > 0 ? hour - 1 : 0;
        if (minute >= 60) minute -= 60, hour = hour < 23 ? hour + 1 : 23;
        settings.shadow_time = hour + minute / 60.0;
    }
    Redraw(0);
    plat::send_message(output.parent, UM_VIEW_SHADOW_CHANGED, 0, 0);
    int month = 1, day = 1, hour = 0, minute = 0;
    fnd::day_of_year_to_month_day(static_cast<int>(settings.shadow_date), &month, &day);
    fnd::hours_to_hour_minute(settings.shadow_time, &hour, &minute);
    char text[128];
    kz::crt::c_snprintf(text, sizeof text, kShadowTimeFormat, month, day, hour, minute, st.north_angle);
    DrawOverlayText(text);
}

void XView::FitEyeToModel(double seconds) {
    input.view_mode = 1;
    if (!camera.eye) return;
    // A model just opened has not been drawn yet: its bounds are taken now rather than left at "not computed".
    if (camera.scene_radius == 0.0 && (trunk_count() > 1 || (output.bridge && output.bridge->mesh_shape)))
        camera.scene_radius = ComputeSceneBounds(nullptr, camera.scene_centre);
    const double r = camera.scene_radius > 0.0 ? camera.scene_radius : 1000.0;
    double direction[3];
    fnd::distance_with_direction(camera.eye->target, camera.eye->eye, direction);
    double to_eye[3];
    add_scaled(to_eye, camera.scene_centre, direction, camera.eye->lens / camera.base_lens * 1.5 * r);
    AnimateEyeTo(camera.scene_centre, 0, to_eye, seconds, 0.0, 0.0, 0.0);
}

}  // namespace kz::view
