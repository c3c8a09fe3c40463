// GLU's polygon tessellator as the peer of our triangulations: the same loops in, a triangle count out.
// Header-only so that each benchmark program stays a single source file.
#pragma once
#include <GL/glu.h>

#include <array>
#include <vector>

#include "geometry/ofu_types.h"

namespace kz::bench {

class GluTessellator {
public:
    GluTessellator() : tess_(gluNewTess()) {
        gluTessCallback(tess_, GLU_TESS_BEGIN, reinterpret_cast<_GLUfuncptr>(&on_begin));
        gluTessCallback(tess_, GLU_TESS_VERTEX_DATA, reinterpret_cast<_GLUfuncptr>(&on_vertex));
        gluTessCallback(tess_, GLU_TESS_EDGE_FLAG, reinterpret_cast<_GLUfuncptr>(&on_edge_flag));  // triangles only
        gluTessCallback(tess_, GLU_TESS_COMBINE_DATA, reinterpret_cast<_GLUfuncptr>(&on_combine));
        gluTessCallback(tess_, GLU_TESS_END, reinterpret_cast<_GLUfuncptr>(&on_end));
        gluTessProperty(tess_, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_ODD);
    }
    ~GluTessellator() { gluDeleteTess(tess_); }
    GluTessellator(const GluTessellator&) = delete;
    GluTessellator& operator=(const GluTessellator&) = delete;

    // Loop 0 is the outline, the rest are holes; returns the number of triangles.
    int run(const std::vector<std::vector<OfuVector3>>& loops) {
        vertices_ = 0;
        extra_.clear();
        coords_.clear();
        for (const auto& loop : loops)
            for (const OfuVector3& p : loop) coords_.push_back({p.x, p.y, p.z});
        gluTessNormal(tess_, 0, 0, 1);
        gluTessBeginPolygon(tess_, this);
        size_t k = 0;
        for (const auto& loop : loops) {
            gluTessBeginContour(tess_);
            for (size_t i = 0; i < loop.size(); ++i, ++k) gluTessVertex(tess_, coords_[k].data(), coords_[k].data());
            gluTessEndContour(tess_);
        }
        gluTessEndPolygon(tess_);
        return vertices_ / 3;
    }

private:
    static void on_begin(GLenum) {}
    static void on_end() {}
    static void on_edge_flag(GLboolean) {}
    static void on_vertex(void*, void* self) { ++static_cast<GluTessellator*>(self)->vertices_; }
    static void on_combine(GLdouble c[3], void* [4], GLfloat[4], void** out, void* self) {
        auto* t = static_cast<GluTessellator*>(self);
        t->extra_.push_back({c[0], c[1], c[2]});
        *out = t->extra_.back().data();
    }

    GLUtesselator* tess_;
    int vertices_ = 0;
    std::vector<std::array<double, 3>> coords_;
    std::vector<std::array<double, 3>> extra_;
};

}  // namespace kz::bench
