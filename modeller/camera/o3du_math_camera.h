// CO3duMathCamera: the camera moves the modeller's navigation slots call (pan and tilt, orbit, dolly, fly, zoom to
// a rectangle, approach a window point), the parallel camera's screen rectangle, and the timed camera animations.
#pragma once
#include "geometry/ofu_types.h"
#include "modeller/o3du_records.h"
#include "modeller/o3du_win_types.h"

class CO3duModelar;

class CO3duMathCamera {
public:
    CO3duMathCamera() {}
    CO3duMathCamera(const CO3duMathCamera&) {}
    CO3duMathCamera& operator=(const CO3duMathCamera&) { return *this; }
    virtual ~CO3duMathCamera() {}

    // Angles in degrees. Moves that would leave the camera without a direction, or looking straight up or down,
    // leave it as it is.
    static void PanTilt(_O3duCamera& camera, double pan, double tilt);
    static void RoundDolly(_O3duCamera& camera, double vertical, double horizontal);
    static void RoundDolly(_O3duAxoCamera& camera, double vertical, double horizontal);
    static void Dolly(_O3duCamera& camera, double forward, double left, double up, int eye_only);
    static void Fly(_O3duCamera& camera, double forward, double right, double up, int eye_only);
    static void Fly(_O3duAxoCamera& camera, double zoom, double right, double up, int eye_only);
    // 1 with the enlarged viewport written; 0 for a rectangle too thin or a zoom beyond fivefold.
    static int ViewportZoom(const _O3duCamera& camera, _O3duViewport& viewport, OfuVector2 corner1, OfuVector2 corner2);
    static void ApproachCamera(_O3duCamera& camera, OfuVector2 point, double viewport_height, double ratio,
                               double distance);
    static void TargetToScreen(_O3duAxoCamera& camera, _OFUDRECT& rect);

    // Timed animations (o3du_animation.cpp). The run flag belongs to the caller; see there.
    static void AnimationCamera_Sec2(CO3duModelar* modeller, _O3duCamera from, _O3duCamera to, double milliseconds,
                                     HDC hdc, int& flag);
    static void AnimationCamera_Sec2(CO3duModelar* modeller, _O3duAxoCamera from, _O3duAxoCamera to,
                                     double milliseconds, HDC hdc, int& flag);
    static void AnimationCamera_Sec(CO3duModelar* modeller, _O3duCamera from, _O3duCamera to, double milliseconds,
                                    HDC hdc);
    static int RoundAnimationStart(CO3duModelar& modeller, int& flag, HWND hwnd, int period_milliseconds);
    static void ModelarAllmodelView(CO3duModelar* modeller, int filter, HDC hdc, int milliseconds);
    static void ModelarAllmodelView_vp(CO3duModelar* modeller, int filter, HDC hdc, int milliseconds,
                                       OfuVector3 view_vector);
    static int Walk(CO3duModelar* modeller, int filter, int& flag, HWND hwnd);
};
