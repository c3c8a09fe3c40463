// Base camera moves of CO3duModelar (pan and tilt, dolly, fly, orbit, zoom to a rectangle, approach a point):
// each reads the camera through the interface, moves it with CO3duMathCamera and writes it back.
#include "geometry/vector_math.h"
#include "modeller/camera/o3du_math_camera.h"
#include "modeller/o3du_modelar.h"

void CO3duModelar::PanTilt(double pan, double tilt) {
    _O3duCamera camera;
    GetCamera(camera);
    CO3duMathCamera::PanTilt(camera, pan, tilt);
    SetCamera(camera);
}

void CO3duModelar::Dolly(double x, double y, double z, int flag) {
    _O3duCamera camera;
    GetCamera(camera);
    CO3duMathCamera::Dolly(camera, x, y, z, flag);
    SetCamera(camera);
}

void CO3duModelar::Fly(double x, double y, double z, int flag) {
    if (GetCameraMode() == 0) {
        _O3duCamera camera;
        GetCamera(camera);
        CO3duMathCamera::Fly(camera, x, y, z, flag);
        SetCamera(camera);
    } else {
        _O3duAxoCamera camera;
        GetAxoCamera(camera);
        CO3duMathCamera::Fly(camera, x, y, z, flag);
        SetAxoCamera(camera);
    }
}

void CO3duModelar::RoundDolly(double vertical, double horizontal) {
    if (GetCameraMode() == 0) {
        _O3duCamera camera;
        GetCamera(camera);
        CO3duMathCamera::RoundDolly(camera, vertical, horizontal);
        SetCamera(camera);
    } else {
        _O3duAxoCamera camera;
        GetAxoCamera(camera);
        CO3duMathCamera::RoundDolly(camera, vertical, horizontal);
        SetAxoCamera(camera);
    }
}

int CO3duModelar::ViewportZoom(OfuVector2 p1, OfuVector2 p2) {
    _O3duCamera camera;
    _O3duViewport viewport;
    GetCamera(camera);
    GetViewport(viewport);
    const int result = CO3duMathCamera::ViewportZoom(camera, viewport, p1, p2);
    if (result) SetViewport(viewport);
    return result;
}

void CO3duModelar::ApproachCamera(OfuVector2 point, double ratio, int pick, HDC hdc) {
    _O3duViewport v;
    GetViewport(v);
    const OfuVector2 q(point.x - v.width * 0.5, v.height * 0.5 - point.y);
    _O3duCamera camera;
    GetCamera(camera);
    double d = 0.0;
    _O3duSelect select{nullptr, 0.0, 0};
    if (pick && hdc && HitTest(hdc, static_cast<int>(point.x), static_cast<int>(point.y), &select, 1)) {
        const OfuVector3 view = camera.target - camera.eye;
        GetDepthToPoint3_Hi(hdc, select, static_cast<int>(point.x), static_cast<int>(point.y), camera.target);
        camera.eye = camera.target - view;
        d = length(view);
    }
    CO3duMathCamera::ApproachCamera(camera, q, static_cast<double>(v.height), ratio, d);
    SetCamera(camera);
}
