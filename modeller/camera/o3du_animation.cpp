// Timed camera moves: the eased moves between two cameras with their message pump, the linear moves of the
// modeller, the continuous orbit and the animated fit of the whole model.
#include <cmath>
#include <cstdlib>

#include "geometry/vector_math.h"
#include "modeller/camera/o3du_animation_host.h"
#include "modeller/camera/o3du_math_camera.h"
#include "modeller/o3du_modelar.h"

namespace {

OfuVector3 lerp(const OfuVector3& a, const OfuVector3& b, double s) {
    return {a.x + (b.x - a.x) * s, a.y + (b.y - a.y) * s, a.z + (b.z - a.z) * s};
}

_O3duCamera between(const _O3duCamera& from, const _O3duCamera& to, double s) {
    _O3duCamera c = from;
    c.eye = lerp(from.eye, to.eye, s);
    c.target = lerp(from.target, to.target, s);
    return c;
}

_O3duAxoCamera between(const _O3duAxoCamera& from, const _O3duAxoCamera& to, double s) {
    _O3duAxoCamera c = from;
    c.eye = lerp(from.eye, to.eye, s);
    c.target = lerp(from.target, to.target, s);
    c.window_width = from.window_width + (to.window_width - from.window_width) * s;
    c.window_height = from.window_height + (to.window_height - from.window_height) * s;
    return c;
}

void put(CO3duModelar& m, const _O3duCamera& c) { m.SetCamera(c); }
void put(CO3duModelar& m, const _O3duAxoCamera& c) { m.SetAxoCamera(c); }

int elapsed(CO3duAnimationHost& host, std::uint32_t start) { return static_cast<int>(host.time_get_time() - start); }

// The eased move; the parallel camera looks at the frame spacing before the end, the perspective one after.
template <class Camera>
void eased_move(CO3duModelar* modeller, const Camera& from, const Camera& to, double total, HDC hdc, int& flag,
                bool spacing_first) {
    if (!modeller || total == 0.0 || std::isnan(total)) return;
    CO3duAnimationHost& host = animation_host();
    const std::uint32_t start = host.time_get_time();
    int last = 0;
    for (;;) {
        if (host.pump() == O3duPump::stop) {
            flag = 0;
            return;
        }
        if (flag <= 0) return;
        const int e = elapsed(host, start);
        const bool close_frame = std::abs(last - e) < 10;
        if (!spacing_first || !close_frame) {
            if (e >= total) {
                put(*modeller, to);
                return;
            }
        }
        if (close_frame) {
            host.sleep(10);
            last = e;
            continue;
        }
        last = e;
        const double remaining = 1.0 - e / total;
        put(*modeller, between(from, to, 1.0 - remaining * remaining));
        modeller->DrawModel(hdc);
    }
}

template <class Camera>
void linear_move(CO3duModelar& modeller, const Camera& from, const Camera& to, double total, HDC hdc) {
    CO3duAnimationHost& host = animation_host();
    const std::uint32_t start = host.time_get_time();
    int last = 0;
    for (int e = elapsed(host, start); e < total; e = elapsed(host, start)) {
        if (std::abs(last - e) < 10) {
            host.sleep(10);
        } else {
            put(modeller, between(from, to, e / total));
            modeller.DrawModel(hdc);
        }
        last = e;
    }
}

}  // namespace

void CO3duMathCamera::AnimationCamera_Sec2(CO3duModelar* modeller, _O3duCamera from, _O3duCamera to,
                                           double milliseconds, HDC hdc, int& flag) {
    eased_move(modeller, from, to, milliseconds, hdc, flag, false);
}

void CO3duMathCamera::AnimationCamera_Sec2(CO3duModelar* modeller, _O3duAxoCamera from, _O3duAxoCamera to,
                                           double milliseconds, HDC hdc, int& flag) {
    eased_move(modeller, from, to, milliseconds, hdc, flag, true);
}

void CO3duMathCamera::AnimationCamera_Sec(CO3duModelar* modeller, _O3duCamera from, _O3duCamera to, double milliseconds,
                                          HDC hdc) {
    int flag = 1;
    AnimationCamera_Sec2(modeller, from, to, milliseconds, hdc, flag);
}

void CO3duModelar::AnimationCamera(_O3duCamera from, _O3duCamera to, double milliseconds, HDC hdc) {
    if (GetCameraMode() == 0) linear_move(*this, from, to, milliseconds, hdc);
}

void CO3duModelar::AnimationAxoCamera(_O3duAxoCamera from, _O3duAxoCamera to, double milliseconds, HDC hdc) {
    if (GetCameraMode() == 1) linear_move(*this, from, to, milliseconds, hdc);
}

int CO3duMathCamera::RoundAnimationStart(CO3duModelar& modeller, int& flag, HWND hwnd, int period) {
    if (period <= 0) return 1;
    if (flag != 0) {
        flag = 0;
        return 0;
    }
    flag = 1;
    CO3duAnimationHost& host = animation_host();
    const double step = 360.0 / period;
    std::uint32_t frame = 0;
    while (flag > 0) {
        const O3duPump pumped = host.pump();
        if (pumped == O3duPump::stop) {
            flag = 0;
            return 0;
        }
        if (pumped == O3duPump::none) {
            const std::uint32_t t0 = host.time_get_time();
            // The angle follows the time the last frame took, so one turn takes one period whatever the frame rate.
            modeller.RoundDolly(0.0, frame * step);
            HDC hdc = host.get_dc(hwnd);
            modeller.DrawModel(hdc);
            host.release_dc(hwnd, hdc);
            frame = host.time_get_time() - t0;
        }
        host.sleep(0);
    }
    return 1;
}

namespace {

void get(CO3duModelar& m, _O3duCamera& c) { m.GetCamera(c); }
void get(CO3duModelar& m, _O3duAxoCamera& c) { m.GetAxoCamera(c); }
void animate(CO3duModelar& m, const _O3duCamera& from, const _O3duCamera& to, int ms, HDC hdc) {
    m.AnimationCamera(from, to, ms, hdc);
}
void animate(CO3duModelar& m, const _O3duAxoCamera& from, const _O3duAxoCamera& to, int ms, HDC hdc) {
    m.AnimationAxoCamera(from, to, ms, hdc);
}

// Places the camera looking at the centre (from where `place` puts the eye), fits it, and animates the way there
// from where it was.
template <class Camera, class Place>
void fly_to_whole_model(CO3duModelar& modeller, int filter, HDC hdc, int milliseconds, Place place) {
    OfuVector3 center;
    modeller.GetCenterPoint(center, filter);
    Camera from;
    get(modeller, from);
    Camera moved = from;
    place(moved, center);
    put(modeller, moved);
    modeller.SetCameraForAllView_Hi(filter);
    Camera to;
    get(modeller, to);
    animate(modeller, from, to, milliseconds, hdc);
    put(modeller, to);
    modeller.DrawModel(hdc);
}

template <class Camera>
void keep_direction(Camera& camera, const OfuVector3& center) {
    camera.eye = camera.eye + (center - camera.target);
    camera.target = center;
}

}  // namespace

void CO3duMathCamera::ModelarAllmodelView(CO3duModelar* modeller, int filter, HDC hdc, int milliseconds) {
    if (!modeller) return;
    if (modeller->GetCameraMode() == 0)
        fly_to_whole_model<_O3duCamera>(*modeller, filter, hdc, milliseconds, keep_direction<_O3duCamera>);
    else
        fly_to_whole_model<_O3duAxoCamera>(*modeller, filter, hdc, milliseconds, keep_direction<_O3duAxoCamera>);
}

void CO3duMathCamera::ModelarAllmodelView_vp(CO3duModelar* modeller, int filter, HDC hdc, int milliseconds,
                                             OfuVector3 view_vector) {
    if (!modeller) return;
    fly_to_whole_model<_O3duCamera>(*modeller, filter, hdc, milliseconds,
                                    [&](_O3duCamera& camera, const OfuVector3& center) {
                                        camera.target = center;
                                        camera.eye = center - view_vector;
                                    });
}
