// The camera moves of CO3duMathCamera: rotations about the eye or the target in the camera's own azimuth and
// elevation frame, moves along the view, the rectangle zoom and the approach toward a window point.
#include "modeller/camera/o3du_math_camera.h"

#include <algorithm>
#include <cmath>

#include "geometry/shared_math.h"
#include "geometry/vector_math.h"
#include "modeller/camera/o3du_math_matrix.h"

namespace {

constexpr double kTiny = 1e-5;
constexpr double kDegree = M_PI / 180.0;

// Elevation and azimuth (radians) of v; false when v is too short or vertical, when no move is defined.
bool view_angles(const OfuVector3& v, double& phi, double& theta) {
    const double len = length(v);
    if (len < kTiny) return false;
    if (v.x == 0.0 && v.y == 0.0) return false;
    phi = std::asin(std::clamp(v.z / len, -1.0, 1.0));
    if (v.x != 0.0) {
        theta = std::atan(v.y / v.x);
        if (v.x < 0.0) theta += M_PI;
    } else {
        theta = v.y > 0.0 ? M_PI / 2 : -M_PI / 2;
    }
    return true;
}

OfuMatrix4x4 rz(double a) {
    OfuMatrix4x4 m;
    MakeRotateZMatrix(m, a);
    return m;
}

OfuMatrix4x4 ry(double a) {
    OfuMatrix4x4 m;
    MakeRotateYMatrix(m, a);
    return m;
}

OfuMatrix4x4 translation(double x, double y, double z) {
    OfuMatrix4x4 t = identity_matrix();
    t[3][0] = x;
    t[3][1] = y;
    t[3][2] = z;
    return t;
}

// v turned by the vertical angle in its own vertical plane, then about z by the horizontal angle (radians).
OfuVector3 swing(const OfuVector3& v, double theta, double vertical, double horizontal) {
    OfuMatrix4x4 m = rz(-theta);
    MultiplyMatrix4x4(m, ry(-vertical));
    MultiplyMatrix4x4(m, rz(theta + horizontal));
    OfuVector3 out = v;
    TransformPointByMatrix4x4(m, out);
    return out;
}

// Whether an elevation of phi (radians) plus delta (degrees) stays strictly off the poles.
bool stays_off_pole(double phi, double delta) {
    const double e = phi / kDegree + delta;
    return e > -90.0 && e < 90.0;
}

template <class Camera>
void round_dolly(Camera& camera, double vertical, double horizontal) {
    const OfuVector3 e = camera.eye - camera.target;
    double phi = 0.0, theta = 0.0;
    if (!view_angles(e, phi, theta) || !stays_off_pole(phi, vertical)) return;
    camera.eye = camera.target + swing(e, theta, vertical * kDegree, horizontal * kDegree);
}

}  // namespace

void CO3duMathCamera::PanTilt(_O3duCamera& camera, double pan, double tilt) {
    const OfuVector3 v = camera.target - camera.eye;
    double phi = 0.0, theta = 0.0;
    if (!view_angles(v, phi, theta) || !stays_off_pole(phi, tilt)) return;
    camera.target = camera.eye + swing(v, theta, tilt * kDegree, -pan * kDegree);
}

void CO3duMathCamera::RoundDolly(_O3duCamera& camera, double vertical, double horizontal) {
    round_dolly(camera, vertical, horizontal);
}

void CO3duMathCamera::RoundDolly(_O3duAxoCamera& camera, double vertical, double horizontal) {
    round_dolly(camera, vertical, horizontal);
}

void CO3duMathCamera::Dolly(_O3duCamera& camera, double forward, double left, double up, int eye_only) {
    double phi = 0.0, theta = 0.0;
    if (!view_angles(camera.target - camera.eye, phi, theta)) return;
    const double c = std::cos(theta), s = std::sin(theta);
    const OfuVector3 d(forward * c - left * s, forward * s + left * c, up);
    camera.eye = camera.eye + d;
    if (!eye_only) camera.target = camera.target + d;
}

void CO3duMathCamera::Fly(_O3duCamera& camera, double forward, double right, double up, int eye_only) {
    double phi = 0.0, theta = 0.0;
    if (!view_angles(camera.target - camera.eye, phi, theta)) return;
    OfuMatrix4x4 m = rz(-theta);
    MultiplyMatrix4x4(m, ry(phi));
    MultiplyMatrix4x4(m, translation(forward, -right, up));
    MultiplyMatrix4x4(m, ry(-phi));
    MultiplyMatrix4x4(m, rz(theta));
    TransformPointByMatrix4x4(m, camera.eye);
    if (!eye_only) TransformPointByMatrix4x4(m, camera.target);
}

void CO3duMathCamera::Fly(_O3duAxoCamera& camera, double zoom, double right, double up, int eye_only) {
    if (std::fabs(camera.window_height) < kTiny) return;
    camera.window_width -= camera.window_width / camera.window_height * zoom;
    camera.window_height -= zoom;
    OfuMatrix4x4 view;
    MakeLookAtMatrix(OfuVector3(0, 0, 0), camera.target - camera.eye, 1.0, view);
    // The view frame's axes in world coordinates are the columns of its rotation.
    const OfuVector3 across(view[0][0], view[1][0], view[2][0]);
    const OfuVector3 upward(view[0][1], view[1][1], view[2][1]);
    const OfuVector3 ahead(-view[0][2], -view[1][2], -view[2][2]);
    const auto scaled = [](const OfuVector3& v, double k) { return OfuVector3(v.x * k, v.y * k, v.z * k); };
    camera.eye = camera.eye + scaled(across, right) + scaled(upward, up);
    camera.target = camera.target + OfuVector3(right, up, 0.0);
    if (!eye_only) camera.target = camera.target + scaled(across, right) + scaled(upward, up) + scaled(ahead, zoom);
}

int CO3duMathCamera::ViewportZoom(const _O3duCamera& camera, _O3duViewport& viewport, OfuVector2 c1, OfuVector2 c2) {
    const double right = double(viewport.x) + viewport.width;
    const double top = double(viewport.y) + viewport.height;
    const double x0 = viewport.x, y0 = viewport.y, w0 = viewport.width, h0 = viewport.height;
    if (c1.x < 0) c1.x = 0;
    if (c1.y < 0) c1.y = 0;
    if (c2.x > right) c2.x = right;
    if (c2.y > top) c2.y = top;
    const double wd = std::trunc(c2.x - c1.x), hd = std::trunc(c2.y - c1.y);
    if (!(wd >= 1.0 && hd >= 1.0 && wd < 2e9 && hd < 2e9)) {
        // The rectangle's size is written even when it is refused; the caller discards the viewport then.
        if (std::fabs(wd) < 2e9 && std::fabs(hd) < 2e9) {
            viewport.width = static_cast<std::int32_t>(wd);
            viewport.height = static_cast<std::int32_t>(hd);
        }
        return 0;
    }
    viewport.width = static_cast<std::int32_t>(wd);
    viewport.height = static_cast<std::int32_t>(hd);
    const double a = camera.aspect;
    if (!(a > kTiny)) return 0;  // no aspect to keep
    double rw = wd, rh = wd / a;
    if (std::trunc(wd / hd) > a) {
        rw = a * hd;
        rh = hd;
    }
    if (c1.x + rw > right) c1.x = c2.x - rw;
    if (c1.y + rh > top) c1.y = c2.y - rh;
    const double s = w0 / rw;
    if (!(s <= 5.0)) return 0;
    const double nx = (x0 - c1.x) * s, ny = (y0 - (top - c1.y - rh)) * s, nw = w0 * s, nh = h0 * s;
    for (double v : {nx, ny, nw, nh})
        if (!(std::fabs(v) < 2e9)) return 0;
    viewport = {static_cast<std::int32_t>(nx), static_cast<std::int32_t>(ny), static_cast<std::int32_t>(nw),
                static_cast<std::int32_t>(nh)};
    return 1;
}

void CO3duMathCamera::ApproachCamera(_O3duCamera& camera, OfuVector2 q, double viewport_height, double ratio,
                                     double distance) {
    const double t = std::tan(camera.fov * M_PI / 360.0);
    if (distance != 0.0) {
        if (std::fabs(viewport_height) < kTiny) return;
        Fly(camera, distance - ratio * distance / viewport_height, 0.0, 0.0, 1);
        return;
    }
    if (!(std::fabs(t) > kTiny)) return;
    const double d = viewport_height / (2.0 * t);
    OfuMatrix4x4 m, inverse;
    CO3duMathMatrix::GetToViewMatrix(camera, d, m);
    if (!InverseMatrix4x4(m, inverse)) return;
    // The view matrix puts the eye at (0, 0, d), so the window point's own spot on the picture plane, focal
    // length d ahead of the eye, is at z = 0; aiming through it brings the point to the middle of the view.
    OfuVector3 w(q.x, q.y, 0.0);
    TransformPointByMatrix4x4(inverse, w);
    OfuVector3 direction = w - camera.eye;
    NormalizeVector3(direction);
    const double reach = length(camera.target - camera.eye);
    camera.target = camera.eye + OfuVector3(direction.x * reach, direction.y * reach, direction.z * reach);
}

void CO3duMathCamera::TargetToScreen(_O3duAxoCamera& camera, _OFUDRECT& rect) {
    if (std::fabs(camera.window_height) < kTiny) return;
    OfuMatrix4x4 m;
    MakeLookAtMatrix(OfuVector3(0, 0, 0), camera.target - camera.eye, 1.0, m);
    OfuVector3 s = camera.target;
    TransformPointByMatrix4x4(m, s);
    rect.left = s.x - camera.window_width / 2;
    rect.top = s.y + camera.window_height / 2;
    rect.right = s.x + camera.window_width / 2;
    rect.bottom = s.y - camera.window_height / 2;
}
