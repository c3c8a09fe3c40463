// XLeaf: the face's points and normals, area and width, their world places, depth, plane and the GDI drawing and hit
// test of the plan and hidden-line modes.
#include "app/scene/xleaf.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "app/foundation/eye_record.h"
#include "app/foundation/matrix_ops.h"
#include "app/foundation/small_vector_math.h"
#include "app/foundation/vector_geometry.h"
#include "app/foundation/view_projection.h"
#include "app/scene/view_services.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "platform/device_context.h"

namespace kz::scene {

using namespace kz::foundation;

void face_plane_matrices(const FacePlacement& placement, double* to_plane, double* to_shape) {
    const double edge[3] = {0.0, 0.0, placement.edge};
    double edge_turn[16];
    if (to_plane) {
        compose_matrix_ops(0, to_plane, placement.origin, placement.turn, 0, op_code("M-"), op_code("z-"),
                           op_code("x-"));
        compose_matrix_ops(0, edge_turn, nullptr, edge, 0, op_code("z-"));
        multiply_matrix4(to_plane, to_plane, edge_turn);
    }
    if (to_shape) {
        compose_matrix_ops(0, to_shape, placement.origin, placement.turn, 0, op_code("x"), op_code("z"), op_code("M"));
        compose_matrix_ops(0, edge_turn, nullptr, edge, 0, op_code("z"));
        multiply_matrix4(to_shape, edge_turn, to_shape);
    }
}

XLeaf::XLeaf(XLeaves* owner_in, std::int32_t code) : owner(owner_in), face_code(code) {}

XLeaf::~XLeaf() = default;

void XLeaf::AllocPoints(int n) {
    n = std::max(n, 0);
    count_ = 0;
    capacity_ = n;
    own_normals_ = n > 0;
    points_ = n > 0 ? std::make_unique<double[]>(6 * std::size_t(n)) : nullptr;
}

void XLeaf::HoldNormals() {
    if (own_normals_ || capacity_ < 1) return;
    auto block = std::make_unique<double[]>(6 * std::size_t(capacity_));
    std::copy(points_.get(), points_.get() + 3 * std::size_t(capacity_), block.get());
    for (int i = 0; i < capacity_; ++i) std::copy(normal, normal + 3, block.get() + 3 * (std::size_t(capacity_) + i));
    points_ = std::move(block);
    own_normals_ = true;
}

void XLeaf::SetPoints(const double* points, int n, std::int64_t color_in, const double* normals) {
    if (!points || n < 1) return;
    capacity_ = n;
    own_normals_ = normals != nullptr;
    points_ = std::make_unique<double[]>((own_normals_ ? 6 : 3) * std::size_t(n));
    double face_normal[3] = {0.0, 0.0, 0.0};
    polygon_normal(points, n, face_normal, nullptr);
    std::copy(face_normal, face_normal + 3, normal);
    std::copy(points, points + 3 * std::size_t(n), points_.get());
    if (normals) std::copy(normals, normals + 3 * std::size_t(n), points_.get() + 3 * std::size_t(n));
    count_ = n;
    if (color_in >= 0) color = static_cast<std::uint32_t>(color_in);
    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
        const double* p = local_point(i);
        const double* q = local_point((i + 1) % n);
        sum += (q[1] + p[1]) * (p[0] - q[0]) / 2.0;
    }
    area = std::fabs(sum);
    double lo = DBL_MAX, hi = -DBL_MAX;
    for (int i = 0; i < std::max(n - 1, 1); ++i) {
        lo = std::min(lo, local_point(i)[0]);
        hi = std::max(hi, local_point(i)[0]);
    }
    width = hi - lo;
}

void XLeaf::ShapePoint(int i, double* out) const { transform_point(out, local_point(i), frame().data()); }

void XLeaf::SetPlacement(const FacePlacement& placement) {
    placement_ = placement;
    placed_ = true;
}

std::array<double, 16> XLeaf::frame() const {
    std::array<double, 16> m;
    if (placed_)
        face_plane_matrices(placement_, nullptr, m.data());
    else
        identity_matrix4(m.data());
    return m;
}

std::array<double, 16> XLeaf::frame_inverse() const {
    std::array<double, 16> m;
    if (placed_)
        face_plane_matrices(placement_, m.data(), nullptr);
    else
        identity_matrix4(m.data());
    return m;
}

void XLeaf::SetPointNormal(int i, const double* normal_in_face) {
    if (i < 0 || i >= count_ || !normal_in_face) return;
    HoldNormals();
    std::copy(normal_in_face, normal_in_face + 3, points_.get() + 3 * (std::size_t(capacity_) + i));
}

std::array<double, 16> XLeaf::world() const {
    std::array<double, 16> m = frame();
    if (owner) multiply_matrix4(m.data(), m.data(), owner->L);
    return m;
}

std::array<double, 16> XLeaf::world_inverse() const {
    std::array<double, 16> m = frame_inverse();
    if (owner) {
        const std::array<double, 16> shape_inverse = owner->L_inverse();
        multiply_matrix4(m.data(), shape_inverse.data(), m.data());
    }
    return m;
}

std::array<double, 3> XLeaf::world_point(int i) const {
    std::array<double, 3> p;
    transform_point(p.data(), local_point(i), world().data());
    return p;
}

std::array<double, 3> XLeaf::world_normal(int i) const {
    std::array<double, 3> n;
    transform_direction(n.data(), local_normal(i), world().data());
    return n;
}

std::vector<double> XLeaf::world_points() const {
    const std::array<double, 16> m = world();
    std::vector<double> out(3 * std::size_t(count_));
    for (int i = 0; i < count_; ++i) transform_point(&out[3 * i], local_point(i), m.data());
    return out;
}

int XLeaf::GetWorldPlane(double* point, double* normal_out) {
    if (count_ < 3) return 0;
    const std::array<double, 16> m = world();
    if (point) transform_point(point, local_point(0), m.data());
    if (normal_out) transform_direction(normal_out, normal, m.data());
    return 1;
}

double XLeaf::ComputeDepth(const double* eye, const double* target, double* nearest) {
    depth = -1.0;
    if (nearest) *nearest = -1.0;
    if (count_ < 3 || !eye) return -1.0;
    const std::vector<double> points = world_points();
    double far_distance = 0.0, near_target = DBL_MAX;
    for (int i = 0; i < count_; ++i) {
        far_distance = std::max(far_distance, vec3_distance(&points[3 * i], eye));
        if (target) near_target = std::min(near_target, vec3_distance(&points[3 * i], target));
    }
    if (nearest && target) *nearest = near_target;
    depth = far_distance;
    return depth;
}

int XLeaf::HitTestScreenPoint(std::uint64_t screen_point) {
    XViewServices* v = owner ? owner->view() : nullptr;
    EyeRecord* eye = v ? v->Eye() : nullptr;
    if (!eye || count_ < 3) return 0;
    std::vector<double> view_points = world_points();
    transform_points_to_view(*eye, view_points.data(), count_);
    std::vector<int> screen;
    const int n = project_polygon_to_screen(*eye, view_points.data(), count_, screen);
    if (n < 3) return 0;
    const int point[2] = {static_cast<std::int32_t>(screen_point & 0xFFFFFFFFu),
                          static_cast<std::int32_t>(screen_point >> 32)};
    return point_in_polygon(point, screen.data(), n);
}

int XLeaf::DrawPastedLines(void* device_context) {
    XViewServices* v = owner ? owner->view() : nullptr;
    EyeRecord* eye = v ? v->Eye() : nullptr;
    if (lines.size() < 3 || !eye || !device_context) return 0;
    auto& dc = *static_cast<kz::platform::DeviceContext*>(device_context);
    const std::array<double, 16> m = world();
    for (const PastedLine& line : lines) {
        double a[3], b[3];
        transform_point(a, line.start, m.data());
        transform_point(b, line.end, m.data());
        draw_projected_line(*eye, dc, a, b, lines[0].color);
    }
    return 1;
}

int XLeaf::Draw(void* device_context) {
    XViewServices* v = owner ? owner->view() : nullptr;
    EyeRecord* eye = v ? v->Eye() : nullptr;
    if (!eye || count_ < 3) return 0;
    if (!device_context) return 1;
    auto& dc = *static_cast<kz::platform::DeviceContext*>(device_context);
    const std::array<double, 16> m = world();
    const std::vector<double> world_copy = world_points();
    std::vector<double> view_points = world_copy;
    transform_points_to_view(*eye, view_points.data(), count_);
    std::vector<int> screen;
    const int n = project_polygon_to_screen(*eye, view_points.data(), count_, screen);
    if (n < 3) return 0;
    XTrunk* trunk = owner->owner;
    const std::uint32_t base_color = trunk && trunk->highlight_color ? trunk->highlight_color : color;
    double world_normal_now[3];
    transform_direction(world_normal_now, normal, m.data());
    const std::uint32_t fill = scale_color(shade_factor(*eye, world_normal_now, nullptr), base_color, nullptr);
    const COBJECTA* base = trunk ? trunk->base_record() : nullptr;
    const int style = base && base->draw_style >= 1 ? base->draw_style : owner->record->draw_style;
    const std::int32_t saved_mode = eye->outline_mode;
    eye->outline_mode = style == 2 ? 2 : 0;
    draw_plan_polygon(*eye, screen.data(), n, dc, fill, owner->selection);
    eye->outline_mode = saved_mode;
    DrawPastedLines(device_context);
    for (int i = 0; i < count_; ++i) {
        const double* at = &world_copy[3 * i];
        double along[3], tip[3];
        transform_direction(along, local_normal(i), m.data());
        for (int k = 0; k < 3; ++k) tip[k] = at[k] + 20.0 * along[k];
        draw_projected_line(*eye, dc, at, tip, 0xFFFFFF);
    }
    return 1;
}

}  // namespace kz::scene
