// Bounding box and centre of the model, and the two camera fits that bring the whole model into view.
#include <algorithm>
#include <cmath>

#include "modeller/camera/o3du_math_matrix.h"
#include "modeller/gl_modelar.h"
#include "modeller/gl_passes.h"

namespace {

constexpr double kTiny = 1e-5;
constexpr double kDegree = M_PI / 180.0;

bool counts_for_bounds(const CO3duGLEntity& entity) {
    return !(entity.draw_mode & (O3DU_DRAW_HIDDEN | O3DU_DRAW_NO_BOUNDS));
}

// The field of view (degrees) a fit works with: a tall viewport narrows it so that the sides fit as well. The
// narrowed angle never exceeds the true horizontal opening, which the plain rule overshoots for wide views.
double fitting_fov(const _O3duCamera& camera) {
    const double f = camera.fov;
    if (camera.aspect >= 1.0) return f;
    const double horizontal = 2.0 * std::atan(std::tan(f * kDegree / 2) * camera.aspect) / kDegree;
    const double t = std::tan(f * kDegree);
    if (!(t > 0.0) || !std::isfinite(t)) return horizontal;
    return std::min(0.8 * std::atan(t * camera.aspect) / kDegree, horizontal);
}

OfuVector3 scaled(const OfuVector3& v, double k) { return {v.x * k, v.y * k, v.z * k}; }

OfuVector3 unit_or_as_is(OfuVector3 v) {
    NormalizeVector3(v);
    return v;
}

}  // namespace

void CO3duGLModelar::GetBoundingBox(OfuVector3& max, OfuVector3& min, int filter) {
    O3duBox box;
    for (_OfuPosition* node = structure_.head(); node; node = node->next) {
        const CO3duGLEntity& entity = *node->entity;
        if (!counts_for_bounds(entity)) continue;
        for_each_kept_vertex(entity, entity.model_matrix, filter, [&](const OfuVector3& p) { box.add(p); });
    }
    if (box.empty) return;
    max = box.hi;
    min = box.lo;
}

void CO3duGLModelar::visit_fitted_vertices(int filter, const std::function<void(const OfuVector3&)>& visit) {
    for (_OfuPosition* node = structure_.head(); node; node = node->next) {
        _OfuPosition* pos = node;
        CO3duGLEntity& entity = *node->entity;
        if (!DrawStart(pos) || !counts_for_bounds(entity)) continue;
        const OfuMatrix4x4 saved = entity.model_matrix;
        const int passes = draw_passes(*this, pos, entity.model_matrix, [&] {
            for_each_kept_vertex(entity, entity.model_matrix, filter, visit);
            return true;
        });
        DrawEnd(pos, passes);
        restore_matrix(entity.model_matrix, saved);
    }
}

void CO3duGLModelar::GetCenterPoint(OfuVector3& center, int filter) {
    O3duBox box;
    visit_fitted_vertices(filter, [&](const OfuVector3& p) { box.add(p); });
    center = box.empty ? OfuVector3(0, 0, 0) : scaled(box.lo + box.hi, 0.5);
}

void CO3duGLModelar::SetCameraForAllView_Low(int filter) {
    if (!scene_) return;
    _O3duCamera camera = scene_->camera;
    _O3duAxoCamera axo = scene_->axo_camera;
    const bool perspective = scene_->camera_mode == 0;
    const double fov = fitting_fov(camera);
    OfuMatrix4x4 view;
    if (perspective) {
        CO3duMathMatrix::GetToViewMatrix(camera, 0.0, view);
        scene_->pers_mode = 0;
    } else {
        MakeLookAtMatrix(axo.eye, axo.target, 1.0, view);
    }
    O3duBox world, seen;
    visit_fitted_vertices(filter, [&](const OfuVector3& p) {
        world.add(p);
        OfuVector3 v = p;
        TransformPointByMatrix4x4(view, v);
        seen.add(v);
    });
    if (seen.empty) return;
    const double ex = std::fabs(seen.lo.x) > std::fabs(seen.hi.x) ? seen.lo.x : seen.hi.x;
    const double ey = std::fabs(seen.lo.y) > std::fabs(seen.hi.y) ? seen.lo.y : seen.hi.y;
    const double e = std::fabs(std::fabs(ex) > std::fabs(ey) ? ex : ey);
    const OfuVector3 size = world.hi - world.lo;
    const double s = std::max({size.x, size.y, size.z});
    if (perspective) {
        const double t = std::tan(fov * kDegree / 2);
        if (!(t > kTiny)) return;
        const double d = e / t + seen.hi.z - camera.near_distance;
        camera.eye = camera.eye - scaled(unit_or_as_is(camera.target - camera.eye), d);
        camera.far_distance = 10.0 * s;
        SetCamera(camera);
    } else {
        const double ratio = axo.window_height == 0.0 ? 1.0 : axo.window_width / axo.window_height;
        axo.near_distance = -5.0 * s;
        axo.far_distance = 5.0 * s;
        axo.window_height = e;
        axo.window_width = ratio * e;
        SetAxoCamera(axo);
    }
}

void CO3duGLModelar::SetCameraForAllView_Hi(int filter) {
    if (!scene_) return;
    SetCameraForAllView_Low(filter);
    _O3duCamera camera = scene_->camera;
    _O3duAxoCamera axo = scene_->axo_camera;
    const bool perspective = scene_->camera_mode == 0;
    _O3duCamera narrowed = camera;
    narrowed.fov = fitting_fov(camera);
    OfuMatrix4x4 projection;
    if (perspective)
        CO3duMathMatrix::GetPerspectiveMatrix(narrowed, 0.0, projection);
    else
        MakeLookAtMatrix(axo.eye, axo.target, 1.0, projection);
    bool any = false;
    double e = 0.0, z_at_e = 0.0;
    visit_fitted_vertices(filter, [&](const OfuVector3& p) {
        OfuVector3 v = p;
        TransformPointByMatrix4x4(projection, v);
        const double reach = std::max(std::fabs(v.x), std::fabs(v.y));
        if (!any || reach > e) {
            e = reach;
            z_at_e = v.z;
            any = true;
        }
    });
    if (!any) return;
    if (perspective) {
        const double t = std::tan(narrowed.fov * kDegree / 2);
        if (!(t > kTiny)) return;
        const double d = z_at_e + e / t - camera.near_distance;
        camera.eye = camera.eye - scaled(unit_or_as_is(camera.target - camera.eye), d);
        SetCamera(camera);
    } else {
        const double ratio = std::fabs(axo.window_height) < kTiny ? 1.0 : axo.window_width / axo.window_height;
        axo.window_height = 2.0 * e;
        axo.window_width = ratio * 2.0 * e;
        SetAxoCamera(axo);
    }
}
