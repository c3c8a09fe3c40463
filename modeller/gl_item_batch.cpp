// Making one item batch: every member's vertices moved from its own frame into the first member's, normals turned
// so that lighting them under the first member's matrix gives what lighting the originals under their own gives,
// each vertex coloured with its set's diffuse colour, and the sets' triangles in drawing order, cut into parts
// where the look the colours leave to the material changes. A vertex the member holds once for several sets is
// held once by the batch too, as long as those sets colour it alike.
#include <GL/gl.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "geometry/vector_math.h"
#include "modeller/gl_draw_cache.h"

namespace {

// Inverse of an affine matrix (row vectors, translation in the last row) whose 3x3 part is invertible.
OfuMatrix4x4 affine_inverse(const OfuMatrix4x4& m) {
    const auto& a = m.m;
    const double c00 = a[1][1] * a[2][2] - a[1][2] * a[2][1], c01 = a[1][2] * a[2][0] - a[1][0] * a[2][2],
                 c02 = a[1][0] * a[2][1] - a[1][1] * a[2][0];
    const double det = a[0][0] * c00 + a[0][1] * c01 + a[0][2] * c02;
    OfuMatrix4x4 r = identity_matrix();
    r.m[0][0] = c00 / det;
    r.m[1][0] = c01 / det;
    r.m[2][0] = c02 / det;
    r.m[0][1] = (a[0][2] * a[2][1] - a[0][1] * a[2][2]) / det;
    r.m[1][1] = (a[0][0] * a[2][2] - a[0][2] * a[2][0]) / det;
    r.m[2][1] = (a[0][1] * a[2][0] - a[0][0] * a[2][1]) / det;
    r.m[0][2] = (a[0][1] * a[1][2] - a[0][2] * a[1][1]) / det;
    r.m[1][2] = (a[0][2] * a[1][0] - a[0][0] * a[1][2]) / det;
    r.m[2][2] = (a[0][0] * a[1][1] - a[0][1] * a[1][0]) / det;
    for (int j = 0; j < 3; ++j) r.m[3][j] = -(a[3][0] * r.m[0][j] + a[3][1] * r.m[1][j] + a[3][2] * r.m[2][j]);
    return r;
}

O3duBatchLook look_of(const CO3duGLTrianglePolygons& set) {
    const _OfuMaterial& m = set.material();
    O3duBatchLook look;
    look.ambient_follows = set.material_kind() != O3DU_MATERIAL_VERTEX_COLOR && m.ambient.r == m.diffuse.r &&
                           m.ambient.g == m.diffuse.g && m.ambient.b == m.diffuse.b;
    if (!look.ambient_follows) std::memcpy(look.ambient, &m.ambient.r, sizeof look.ambient);
    std::memcpy(look.specular, &m.specular.r, sizeof look.specular);
    // As the set's own material would be sent: OpenGL refuses a shininess outside 0..128.
    look.shininess = std::clamp(m.power, 0.0f, 128.0f);
    return look;
}

// Where the member's vertices go: its matrix against the batch's frame, and what turns its normals.
struct Move {
    bool none = true;
    OfuMatrix4x4 points;
    double normals[3][3] = {};
};

Move move_into(const OfuMatrix4x4& member, const OfuMatrix4x4& frame, const OfuMatrix4x4& frame_inverse) {
    Move move;
    if (std::memcmp(&member, &frame, sizeof member) == 0) return move;
    move.none = false;
    move.points = member;
    MultiplyMatrix4x4(move.points, frame_inverse);
    // Normals go by the inverse transpose of the points' 3x3 part: frame x member^-1, transposed.
    OfuMatrix4x4 back = frame;
    MultiplyMatrix4x4(back, affine_inverse(member));
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) move.normals[i][j] = back.m[j][i];
    return move;
}

// A member's vertices as the batch holds them: each held vertex of the member once for each look that colours it.
class MemberVertices {
public:
    MemberVertices(O3duItemBatch& batch, const CO3duGLEntity& member, const Move& move)
        : batch_(batch),
          move_(move),
          at_(member.data().vertex_count(), kNone),
          paint_(member.data().vertex_count(), 0) {}

    // The batch's number for vertex i of the set.
    std::uint32_t of(const CO3duGLTrianglePolygons& set, std::size_t i) {
        const std::uint32_t v = set.vertex(i);
        if (at_[v] != kNone && paint_[v] == set.paint()) return at_[v];
        at_[v] = static_cast<std::uint32_t>(batch_.vertex_count());
        paint_[v] = set.paint();
        append(set, i);
        return at_[v];
    }

private:
    static constexpr std::uint32_t kNone = ~0u;

    void append(const CO3duGLTrianglePolygons& set, std::size_t i) {
        const float* v = set.position(i);
        const float* n = set.normal(i);
        std::vector<float>& out = batch_.vertices;
        if (move_.none) {
            out.insert(out.end(), v, v + 3);
            out.insert(out.end(), n, n + 3);
        } else {
            const auto& m = move_.points.m;
            for (int j = 0; j < 3; ++j)
                out.push_back(static_cast<float>(v[0] * m[0][j] + v[1] * m[1][j] + v[2] * m[2][j] + m[3][j]));
            const auto& r = move_.normals;
            for (int j = 0; j < 3; ++j)
                out.push_back(static_cast<float>(n[0] * r[0][j] + n[1] * r[1][j] + n[2] * r[2][j]));
        }
        const OfuColorValue& d = set.material().diffuse;
        const float* c = set.color(i);
        if (set.material_kind() != O3DU_MATERIAL_VERTEX_COLOR)
            out.insert(out.end(), {d.r, d.g, d.b});
        else if (!c)
            out.insert(out.end(), {0.0f, 0.0f, 0.0f});
        else
            out.insert(out.end(), c, c + 3);
    }

    O3duItemBatch& batch_;
    const Move& move_;
    std::vector<std::uint32_t> at_;  // batch number of each held vertex, for the look in paint_
    std::vector<std::uint32_t> paint_;
};

void widen(O3duWorldBox& box, bool& empty, const O3duWorldBox& more) {
    for (int j = 0; j < 3; ++j) {
        const double lo = more.centre[j] - more.extent[j], hi = more.centre[j] + more.extent[j];
        const double old_lo = box.centre[j] - box.extent[j], old_hi = box.centre[j] + box.extent[j];
        const double new_lo = empty ? lo : std::min(lo, old_lo), new_hi = empty ? hi : std::max(hi, old_hi);
        box.centre[j] = 0.5 * (new_lo + new_hi);
        box.extent[j] = std::max(new_hi - box.centre[j], box.centre[j] - new_lo);
    }
    empty = false;
}

}  // namespace

std::unique_ptr<O3duItemBatch> make_item_batch(const std::vector<CO3duGLEntity*>& members, std::uint32_t frame) {
    auto batch = std::make_unique<O3duItemBatch>();
    batch->members = members;
    batch->members.shrink_to_fit();
    batch->built_frame = frame;
    batch->frame = members.front()->model_matrix;
    const OfuMatrix4x4 frame_inverse = affine_inverse(batch->frame);
    std::size_t vertices = 0;
    for (const CO3duGLEntity* member : members) vertices += member->data().vertex_count();
    batch->vertices.reserve(vertices * O3duItemBatch::kStride);
    std::vector<std::uint32_t> indices;
    bool empty = true;
    for (const CO3duGLEntity* member : members) {
        const Move move = move_into(member->model_matrix, batch->frame, frame_inverse);
        MemberVertices vertices_of(*batch, *member, move);
        for (const CO3duGLTrianglePolygons set : member->sets()) {
            const std::size_t first = indices.size();
            append_set_elements(set, indices);
            for (std::size_t k = first; k < indices.size(); ++k) indices[k] = vertices_of.of(set, indices[k]);
            const std::uint32_t count = static_cast<std::uint32_t>(indices.size() - first);
            if (count == 0) continue;
            const O3duBatchLook look = look_of(set);
            if (batch->parts.empty() || !(batch->parts.back().look == look))
                batch->parts.push_back({static_cast<std::uint32_t>(first), 0, look});
            batch->parts.back().count += count;
        }
        O3duWorldBox box;
        if (O3duViewVolume::place(*member, member->model_matrix, box) == O3duViewVolume::Reach::box)
            widen(batch->box, empty, box);
    }
    if (empty) batch->box = O3duWorldBox{{0.0, 0.0, 0.0}, {-1.0, -1.0, -1.0}};
    batch->vertices.shrink_to_fit();
    batch->parts.shrink_to_fit();
    if (batch->vertex_count() <= std::numeric_limits<std::uint16_t>::max() + std::size_t(1))
        batch->short_indices.assign(indices.begin(), indices.end());
    else
        batch->indices = std::move(indices);
    batch->indices.shrink_to_fit();
    return batch;
}
