// A prism is the column along the light below a lit triangle, from the triangle down to the plane through its
// corners' far ends. The rectangle is cut by the column's three side planes, then by the triangle's plane and the
// bottom's; what is left is convex and goes to the screen as a fan.
#include "modeller/shadow/near_plane.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

namespace {

// The vertical plane through the light-space edge u -> v, positive on its left seen from the light. It is worked
// out from the two ends taken in one order whichever way the edge runs, so that the two prisms on either side of an
// edge cut the rectangle at the very same points and no pixel along it falls between their parts or into both.
void side_plane(const float* u, const float* v, double plane[4]) {
    const bool forward = u[0] < v[0] || (u[0] == v[0] && u[1] < v[1]);
    const float* a = forward ? u : v;
    const float* b = forward ? v : u;
    plane[0] = -(double(b[1]) - a[1]);
    plane[1] = double(b[0]) - a[0];
    plane[2] = 0.0;
    plane[3] = -(plane[0] * a[0] + plane[1] * a[1]);
    if (!forward)
        for (int k = 0; k < 4; ++k) plane[k] = -plane[k];
}

// The plane through a, b and c, positive on the side its normal (b - a) x (c - a) points to, times `side`.
void plane_through(const double* a, const double* b, const double* c, double side, double plane[4]) {
    const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]}, w[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    plane[0] = side * (u[1] * w[2] - u[2] * w[1]);
    plane[1] = side * (u[2] * w[0] - u[0] * w[2]);
    plane[2] = side * (u[0] * w[1] - u[1] * w[0]);
    plane[3] = -(plane[0] * a[0] + plane[1] * a[1] + plane[2] * a[2]);
}

}  // namespace

bool o3du_near_rectangle(const _O3duViewport& v, double corners[4][3]) {
    if (v.width <= 0 || v.height <= 0) return false;
    GLdouble model[16], projection[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    const GLint viewport[4] = {v.x, v.y, v.width, v.height};
    const double x0 = v.x, x1 = double(v.x) + v.width, y0 = v.y, y1 = double(v.y) + v.height;
    const double x[4] = {x0, x1, x1, x0}, y[4] = {y0, y0, y1, y1};
    for (int k = 0; k < 4; ++k) {
        double* c = corners[k];
        // Window depth 0 is the near plane.
        if (gluUnProject(x[k], y[k], 0.0, model, projection, viewport, &c[0], &c[1], &c[2]) != GL_TRUE) return false;
        if (!std::isfinite(c[0]) || !std::isfinite(c[1]) || !std::isfinite(c[2])) return false;
    }
    return true;
}

namespace {

// The most lit faces of a shape whose faces are copied into the draw of a pass's count-out.
constexpr std::size_t kCopiedFaces = 256;

// The state that the lit faces count out under, set while this lives.
class CountingOut {
public:
    explicit CountingOut(GLenum decrement) {
        glStencilOp(GL_KEEP, GL_KEEP, decrement);
        // Counter-clockwise seen from the light (the light's matrix turns, never mirrors): a ray leaving the prism
        // upwards sees the triangle's other face.
        glFrontFace(GL_CCW);
        glCullFace(GL_FRONT);
        // Two steps of depth farther than where they stand: a face drawn in the same plane (the back face of a
        // two-sided surface) is what the ray ends on, at the top of the prism, and must not see them in front of it
        // as rounding may. Steps of their own slope would reach past what a ray seeing a face edge-on meets just
        // beyond it.
        glEnable(GL_POLYGON_OFFSET_FILL);
        glPolygonOffset(0.0f, 2.0f);
    }
    ~CountingOut() {
        glDisable(GL_POLYGON_OFFSET_FILL);
        glCullFace(GL_BACK);
    }
    CountingOut(const CountingOut&) = delete;
    CountingOut& operator=(const CountingOut&) = delete;
};

void draw_lit_faces(const CO3duShadowVolumes& volumes) {
    const CO3duVolumeIndices& lit = volumes.lit;
    glVertexPointer(3, GL_FLOAT, 0, volumes.corners.data());
    const auto count = static_cast<GLsizei>(lit.size());
    if (lit.narrow.empty())
        glDrawElements(GL_TRIANGLES, count, GL_UNSIGNED_INT, lit.wide.data());
    else
        glDrawElements(GL_TRIANGLES, count, GL_UNSIGNED_SHORT, lit.narrow.data());
}

// Whether the face p (light space) faces the eye of the clip coordinates `to_clip` takes it to, by far more than
// any rounding of its corners could turn, and lies wholly in front of it: counter-clockwise on the screen, which
// is where the homogeneous determinant of the clip x, y and w of its corners is above nothing, w above nothing
// at each. Such a face is culled where the lit faces count out.
bool faces_the_eye(const float* const p[3], const OfuMatrix4x4& to_clip) {
    double c[3][3];
    for (int k = 0; k < 3; ++k)
        for (int j = 0; j < 3; ++j) {
            const int column = j == 2 ? 3 : j;
            c[k][j] = p[k][0] * to_clip.m[0][column] + p[k][1] * to_clip.m[1][column] + p[k][2] * to_clip.m[2][column] +
                      to_clip.m[3][column];
        }
    if (!(c[0][2] > 0.0 && c[1][2] > 0.0 && c[2][2] > 0.0)) return false;
    const double det = c[0][0] * (c[1][1] * c[2][2] - c[1][2] * c[2][1]) -
                       c[0][1] * (c[1][0] * c[2][2] - c[1][2] * c[2][0]) +
                       c[0][2] * (c[1][0] * c[2][1] - c[1][1] * c[2][0]);
    // Hadamard's bound on the determinant: the product of its rows' lengths.
    double most = 1.0;
    for (const double* row : c) most *= std::sqrt(row[0] * row[0] + row[1] * row[1] + row[2] * row[2]);
    return det > 1e-4 * most;
}

}  // namespace

void O3duCountOut::add(const CO3duShadowVolumes& prisms) {
    const CO3duVolumeIndices& lit = prisms.lit;
    if (lit.size() / 3 > kCopiedFaces) {
        large_.push_back(&prisms);
        return;
    }
    const float* corner = prisms.corners.data();
    for (std::size_t t = 0; t + 2 < lit.size(); t += 3) {
        const float* p[3] = {corner + std::size_t(lit[t]) * 3, corner + std::size_t(lit[t + 1]) * 3,
                             corner + std::size_t(lit[t + 2]) * 3};
        if (faces_the_eye(p, to_clip_)) continue;
        for (const float* q : p) triangles_.insert(triangles_.end(), q, q + 3);
    }
}

void O3duCountOut::count(GLenum decrement) {
    if (triangles_.empty() && large_.empty()) return;
    const CountingOut state(decrement);
    for (const CO3duShadowVolumes* prisms : large_)
        if (prisms->lit.size() > 0) draw_lit_faces(*prisms);
    if (!triangles_.empty()) {
        glVertexPointer(3, GL_FLOAT, 0, triangles_.data());
        glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(triangles_.size() / 3));
    }
    triangles_.clear();
    large_.clear();
}

bool o3du_counts_out_through_lit_faces(const CO3duShadowVolumes& prisms, int cut, bool walls_in_view, int cull_mode) {
    return cull_mode == 0 && (cut > 0 || (walls_in_view && prisms.open));
}

O3duNearCaps::O3duNearCaps(const double corners[4][3], const OfuMatrix4x4& to_clip, const O3duShadowSettings& walls)
    : to_clip_(to_clip), walls_(walls) {
    for (int j = 0; j < 3; ++j) lo_[j] = HUGE_VAL, hi_[j] = -HUGE_VAL;
    for (int k = 0; k < 4; ++k)
        for (int j = 0; j < 3; ++j) {
            corners_[k][j] = corners[k][j];
            lo_[j] = std::min(lo_[j], corners[k][j]);
            hi_[j] = std::max(hi_[j], corners[k][j]);
        }
}

void O3duNearCaps::clip(const double plane[4]) {
    scratch_.clear();
    const std::size_t n = polygon_.size() / 3;
    const auto side = [&](const double* p) { return plane[0] * p[0] + plane[1] * p[1] + plane[2] * p[2] + plane[3]; };
    for (std::size_t i = 0; i < n; ++i) {
        const double* p = &polygon_[i * 3];
        const double* q = &polygon_[(i + 1) % n * 3];
        const double dp = side(p), dq = side(q);
        if (dp >= 0.0) scratch_.insert(scratch_.end(), p, p + 3);
        if ((dp >= 0.0) != (dq >= 0.0)) {
            const double t = dp / (dp - dq);
            scratch_.insert(scratch_.end(),
                            {p[0] + t * (q[0] - p[0]), p[1] + t * (q[1] - p[1]), p[2] + t * (q[2] - p[2])});
        }
    }
    polygon_.swap(scratch_);
}

int O3duNearCaps::gather(const CO3duShadowVolumes& volumes) {
    // A rectangle wholly above the lit corners' highest point, or beside their bounds, lies in none of the prisms.
    const float* lo = volumes.lit_lo;
    const float* hi = volumes.lit_hi;
    if (lo[0] > hi[0] || hi_[0] < lo[0] || lo_[0] > hi[0] || hi_[1] < lo[1] || lo_[1] > hi[1] || lo_[2] >= hi[2])
        return 0;
    int reached = 0;
    const CO3duVolumeIndices& lit = volumes.lit;
    const float* corner = volumes.corners.data();
    for (std::size_t t = 0; t + 2 < lit.size(); t += 3) {
        const float* p[3] = {corner + std::size_t(lit[t]) * 3, corner + std::size_t(lit[t + 1]) * 3,
                             corner + std::size_t(lit[t + 2]) * 3};
        if (std::max({p[0][0], p[1][0], p[2][0]}) < lo_[0] || std::min({p[0][0], p[1][0], p[2][0]}) > hi_[0] ||
            std::max({p[0][1], p[1][1], p[2][1]}) < lo_[1] || std::min({p[0][1], p[1][1], p[2][1]}) > hi_[1] ||
            std::max({p[0][2], p[1][2], p[2][2]}) <= lo_[2])
            continue;
        polygon_.assign(&corners_[0][0], &corners_[0][0] + 12);
        double plane[4];
        for (int e = 0; e < 3 && !polygon_.empty(); ++e) {
            side_plane(p[e], p[(e + 1) % 3], plane);
            clip(plane);
        }
        double top[3][3], bottom[3][3];
        for (int k = 0; k < 3; ++k) {
            std::copy(p[k], p[k] + 3, top[k]);
            std::copy(p[k], p[k] + 3, bottom[k]);
            bottom[k][2] -= walls_.reach(p[k]);
        }
        // Below the triangle (its normal points up, towards the light), above the far ends.
        plane_through(top[0], top[1], top[2], -1.0, plane);
        if (polygon_.size() >= 9) clip(plane);
        plane_through(bottom[0], bottom[1], bottom[2], 1.0, plane);
        if (polygon_.size() >= 9) clip(plane);
        const std::size_t n = polygon_.size() / 3;
        if (n < 3) continue;
        ++reached;
        // On the near plane every point has w > 0 (perspective) or w = 1 (parallel).
        const OfuMatrix4x4& m = to_clip_;
        const std::size_t first = triangles_.size();
        for (std::size_t i = 0; i < n; ++i) {
            const double* q = &polygon_[i * 3];
            double c[4];
            for (int j = 0; j < 4; ++j) c[j] = q[0] * m.m[0][j] + q[1] * m.m[1][j] + q[2] * m.m[2][j] + m.m[3][j];
            if (i >= 3)
                triangles_.insert(triangles_.end(), {triangles_[first], triangles_[first + 1], triangles_.end()[-2],
                                                     triangles_.end()[-1]});
            triangles_.insert(triangles_.end(), {c[0] / c[3], c[1] / c[3]});
        }
    }
    return reached;
}
