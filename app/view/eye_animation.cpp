// The animated eye move: AnimateEyeTo starts it (or moves the eye at once) and StepCameraMove advances it, or a
// camera-entry move to an item's camera part, on every tick of the view clock.
#include <cstdint>
#include <cstring>

#include "app/document/xview.h"
#include "app/foundation/timer_slots.h"
#include "app/foundation/vector_geometry.h"
#include "app/scene/xtrunk.h"

namespace kz::view {

void XView::ShowCameraMoveItem() {
    CameraMove& move = camera.camera_motion;
    if (XTrunk* item = move.hidden_item > 0 ? TrunkAt(move.hidden_item) : nullptr)
        item->SetVisible(move.hidden_display, 0);
    move.hidden_item = -1;
}

int XView::AnimateEyeTo(const double* to_target, int mode, const double* to_eye, double seconds, double lens,
                        double value, double distance) {
    LookFromCameraPart(nullptr, nullptr);
    if (!camera.eye || !to_target) return 1;
    double end_target[3], end_eye[3];
    std::memcpy(end_target, to_target, sizeof end_target);
    std::memcpy(end_eye, to_eye ? to_eye : camera.eye->eye, sizeof end_eye);
    if (!to_eye && mode == 1) {
        double direction[3];
        const double current = kz::foundation::distance_with_direction(camera.eye->target, camera.eye->eye, direction);
        const double d = distance > 0.0 ? distance : current;
        for (int i = 0; i < 3; ++i) end_eye[i] = end_target[i] + direction[i] * d;
    }
    CameraMove& move = camera.camera_motion;
    if (seconds > 0.0 && display.near_target_display == 0) {
        GetClockTime(&move.start);
        std::memcpy(move.start_eye, camera.eye->eye, sizeof move.start_eye);
        std::memcpy(move.start_target, camera.eye->target, sizeof move.start_target);
        std::memcpy(move.end_eye, end_eye, sizeof move.end_eye);
        std::memcpy(move.end_target, end_target, sizeof move.end_target);
        move.start_lens = camera.eye->lens;
        move.end_lens = lens > 0.0 ? lens : camera.eye->lens;
        move.duration_ms = seconds * 1000.0;
        move.value = value;
        move.easing = static_cast<int>(value);
        // An eye move replaces a camera-entry move that was running: it no longer ends on that item's part.
        move.target_item = -1;
        move.end_on_camera_part = 0;
        move.first_step = 1;
        move.active = 1;
        Redraw(0);
        StartViewTimer();
        return 1;
    }
    // A move at once also ends one still running, which would otherwise pull the eye back on the next tick.
    if (move.active) {
        ShowCameraMoveItem();
        move.active = 0;
        move.target_item = -1;
    }
    SetEye(end_eye, end_target, lens, camera.collision_check);
    Redraw(0);
    return 1;
}

int XView::StepCameraMove(const SystemTime& now) {
    CameraMove& move = camera.camera_motion;
    if (!move.active) return 0;
    XTrunk* item = move.target_item > 0 ? TrunkAt(move.target_item) : nullptr;
    if (move.first_step && item) {
        if (camera.current_camera_part) {
            LookFromCameraPart(nullptr, nullptr);
            move.remembered_view_mode = input.view_mode;
            move.end_on_camera_part = 1;
        }
        ShowCameraMoveItem();
        move.hidden_item = move.target_item;
        move.hidden_display = item->shown;
        item->SetVisible(0, 0);
    }
    move.first_step = 0;
    double f = 0.0;
    const int state = InterpolateAtTime(move.start, 0.0, 1.0, now, move.duration_ms, &f, move.easing);
    if (state < 0) return -1;
    if (state == 1) {
        ShowCameraMoveItem();
        if (move.end_on_camera_part && item) {
            LookFromCameraPart(item, nullptr);
            input.view_mode = move.remembered_view_mode;
        }
        move.active = 0;
        move.target_item = -1;
        move.end_on_camera_part = 0;
        SetEye(move.end_eye, move.end_target, move.end_lens, camera.collision_check);
        return 0;
    }
    double at_eye[3], at_target[3];
    for (int i = 0; i < 3; ++i) {
        at_eye[i] = move.start_eye[i] + (move.end_eye[i] - move.start_eye[i]) * f;
        at_target[i] = move.start_target[i] + (move.end_target[i] - move.start_target[i]) * f;
    }
    SetEye(at_eye, at_target, move.start_lens + (move.end_lens - move.start_lens) * f, camera.collision_check);
    return 1;
}

}  // namespace kz::view
