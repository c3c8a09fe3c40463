// The pass loop every sweep over the shapes shares, and the vertex filter of bounds and camera fitting.
#pragma once
#include <GL/gl.h>

#include <cstring>

#include "geometry/vector_math.h"
#include "modeller/gl_entity.h"
#include "modeller/gl_structure.h"
#include "modeller/o3du_modelar.h"

// Calls visit(node, entity) for every shape (of the list, or of a part of it) in drawing order. Sweeps over many shapes
// wait mostly on memory, so the hot fields (flags, box, model matrix) of a shape some places ahead are asked for while
// this one is worked on.
template <class Visit>
void for_each_shape(const std::vector<O3duShapeRef>& order, Visit visit) {
    constexpr std::size_t kAhead = 8;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i + kAhead < order.size()) {
            const char* hot = reinterpret_cast<const char*>(order[i + kAhead].entity);
            for (std::size_t line = 0; line < 192; line += 64) __builtin_prefetch(hot + line);
        }
        visit(order[i].node, *order[i].entity);
    }
}

template <class Visit>
void for_each_shape(const CO3duGLStructure& structure, Visit visit) {
    for_each_shape(structure.in_order(), visit);
}

// Puts back the model matrix a pass loop may have moved; an unmoved one is not written, which would only dirty
// its cache lines.
inline void restore_matrix(OfuMatrix4x4& m, const OfuMatrix4x4& saved) {
    if (std::memcmp(&m, &saved, sizeof m) != 0) m = saved;
}

// PreDraw before each pass (it may move the shape), then draw, until PreDraw asks for no further pass or draw
// reports that the shape must wait. Returns the number of passes.
template <class Draw>
int draw_passes(CO3duModelar& modeller, _OfuPosition*& pos, OfuMatrix4x4& model_matrix, Draw draw) {
    int passes = 0;
    for (;;) {
        const int more = modeller.PreDraw(pos, model_matrix, passes);
        ++passes;
        if (!draw() || !more) return passes;
    }
}

// Filter bits: 1 leaves out point sets, 2 line lists, 4 every set, 8 sets not fully opaque.
inline bool set_kept(const CO3duGLTrianglePolygons& set, int filter) {
    if (filter & 4) return false;
    if ((filter & 1) && set.mode() == GL_POINTS) return false;
    if ((filter & 2) && set.mode() == GL_LINES) return false;
    if ((filter & 8) && set.material().diffuse.a < 1.0f) return false;
    return true;
}

// Calls visit(point) for every vertex of the shape's kept sets, moved by m.
template <class Visit>
void for_each_kept_vertex(const CO3duGLEntity& entity, const OfuMatrix4x4& m, int filter, Visit visit) {
    for (const CO3duGLTrianglePolygons set : entity.sets()) {
        if (!set_kept(set, filter)) continue;
        for (std::size_t i = 0; i < std::size_t(std::max(set.vertex_count(), 0)); ++i) {
            const float* q = set.position(i);
            OfuVector3 p(q[0], q[1], q[2]);
            TransformPointByMatrix4x4(m, p);
            visit(p);
        }
    }
}

// Running lower and upper corners of a set of points.
struct O3duBox {
    bool empty = true;
    OfuVector3 lo, hi;
    void add(const OfuVector3& p) {
        if (empty) {
            lo = hi = p;
            empty = false;
            return;
        }
        lo = OfuVector3(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
        hi = OfuVector3(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
    }
};
