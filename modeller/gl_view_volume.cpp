// Planes of a window rectangle's view volume from the camera's matrices, and the box-against-planes test.
#include "modeller/gl_view_volume.h"

#include <GL/gl.h>

#include <cmath>

#include "geometry/vector_math.h"

namespace {

constexpr int kNoWindowKind = 1;

}  // namespace

O3duViewVolume::O3duViewVolume(const _O3duViewport& viewport, double x0, double y0, double x1, double y1)
    : viewport_(viewport), x0_(x0), y0_(y0), x1_(x1), y1_(y1) {
    // OpenGL keeps its matrices column by column, which is this library's row-vector layout.
    OfuMatrix4x4 view, projection;
    glGetDoublev(GL_MODELVIEW_MATRIX, &view.m[0][0]);
    glGetDoublev(GL_PROJECTION_MATRIX, &projection.m[0][0]);
    view_projection_ = view;
    MultiplyMatrix4x4(view_projection_, projection);
    make_planes(0.0, planes_);
}

void O3duViewVolume::make_planes(double reach, double planes[6][4]) const {
    const double w = viewport_.width > 0 ? viewport_.width : 1, h = viewport_.height > 0 ? viewport_.height : 1;
    // The rectangle in normalised device coordinates.
    const double nx0 = 2.0 * (x0_ - reach - viewport_.x) / w - 1.0, nx1 = 2.0 * (x1_ + reach - viewport_.x) / w - 1.0;
    const double ny0 = 2.0 * (y0_ - reach - viewport_.y) / h - 1.0, ny1 = 2.0 * (y1_ + reach - viewport_.y) / h - 1.0;
    const OfuMatrix4x4& c = view_projection_;
    for (int i = 0; i < 4; ++i) {
        const double x = c.m[i][0], y = c.m[i][1], z = c.m[i][2], q = c.m[i][3];
        planes[0][i] = x - nx0 * q;
        planes[1][i] = nx1 * q - x;
        planes[2][i] = y - ny0 * q;
        planes[3][i] = ny1 * q - y;
        planes[4][i] = z + q;
        planes[5][i] = q - z;
    }
}

O3duViewVolume::Reach O3duViewVolume::place(const CO3duGLEntity& entity, const OfuMatrix4x4& m, O3duWorldBox& box) {
    if (entity.kind == kNoWindowKind) return Reach::anywhere;
    if (m.m[0][3] != 0.0 || m.m[1][3] != 0.0 || m.m[2][3] != 0.0 || m.m[3][3] != 1.0) return Reach::anywhere;
    const float* lo = entity.box_lo();
    const float* hi = entity.box_hi();
    if (lo[0] > hi[0]) return Reach::nowhere;
    box = moved_box(lo, hi, m);
    return Reach::box;
}

O3duWorldBox O3duWorldBox::between(const float* lo, const float* hi) {
    O3duWorldBox box;
    for (int j = 0; j < 3; ++j) {
        box.centre[j] = 0.5 * (double(lo[j]) + double(hi[j]));
        box.extent[j] = 0.5 * (double(hi[j]) - double(lo[j]));
    }
    return box;
}

O3duWorldBox O3duViewVolume::moved_box(const float* lo, const float* hi, const OfuMatrix4x4& m) {
    O3duWorldBox box;
    for (int j = 0; j < 3; ++j) {
        box.centre[j] = m.m[3][j];
        box.extent[j] = 0.0;
        for (int i = 0; i < 3; ++i) {
            box.centre[j] += 0.5 * (double(lo[i]) + double(hi[i])) * m.m[i][j];
            box.extent[j] += 0.5 * (double(hi[i]) - double(lo[i])) * std::fabs(m.m[i][j]);
        }
    }
    return box;
}

bool O3duViewVolume::beyond(const O3duWorldBox& box, const double* p) {
    return box.along(p) + p[3] + box.reach_along(p) < 0.0;
}

bool O3duViewVolume::outside(const O3duWorldBox& box, const double (*planes)[4]) {
    for (int k = 0; k < 6; ++k)
        if (beyond(box, planes[k])) return true;
    return false;
}

bool O3duViewVolume::misses_both(const O3duWorldBox& a, const O3duWorldBox& b) const {
    for (int k = 0; k < 6; ++k)
        if (beyond(a, planes_[k]) && beyond(b, planes_[k])) return true;
    return false;
}

void O3duViewVolume::set_section(const OfuPlane& plane) {
    section_ = true;
    section_plane_[0] = plane.a, section_plane_[1] = plane.b, section_plane_[2] = plane.c, section_plane_[3] = plane.d;
}

O3duViewVolume::Side O3duViewVolume::section_side(const O3duWorldBox& box) const {
    if (!section_) return Side::kept;
    const double* p = section_plane_;
    double distance = p[3], radius = 0.0, scale = std::fabs(p[3]);
    for (int j = 0; j < 3; ++j) {
        distance += p[j] * box.centre[j];
        radius += std::fabs(p[j]) * box.extent[j];
        scale += std::fabs(p[j] * box.centre[j]);
    }
    // OpenGL clips in single precision, after the vertices went through two matrices: a margin far wider than
    // its rounding, and still a small fraction of a millimetre in a model tens of metres across.
    const double margin = 1e-5 * (scale + radius);
    if (distance - radius > margin) return Side::kept;
    if (distance + radius < -margin) return Side::cut;
    return Side::crossed;
}

bool O3duViewVolume::section_opens(const CO3duGLEntity& entity, const OfuMatrix4x4& m) const {
    O3duWorldBox box;
    const Reach reach = place(entity, m, box);
    if (reach != Reach::box) return reach == Reach::anywhere;
    return section_side(box) == Side::crossed && !reaches_nothing(entity, box);
}

bool O3duViewVolume::misses(const CO3duGLEntity& entity, const OfuMatrix4x4& m) const {
    O3duWorldBox box;
    const Reach reach = place(entity, m, box);
    if (reach != Reach::box) return reach == Reach::nowhere;
    // The clip plane cuts lines and points at their vertices, however wide they are drawn.
    if (section_side(box) == Side::cut) return true;
    return reaches_nothing(entity, box);
}

bool O3duViewVolume::reaches_nothing(const CO3duGLEntity& entity, const O3duWorldBox& box) const {
    const float pixels = entity.pixel_reach();
    if (pixels <= 0.0f) return outside(box, planes_);
    double reached[6][4];
    make_planes(pixels, reached);
    return outside(box, reached);
}
