// The near plane's rectangle within the shadow prisms. Counting from the eye's side (z-pass) meets only the walls
// between the near plane and a surface: a pixel whose ray starts on the near plane inside a prism has passed none of
// that prism's walls, so the prism's one is added to it directly, by drawing the part of the rectangle inside the
// prism. The eye itself may stand outside every prism that the rectangle reaches into, and inside one that the
// rectangle leaves in part.
#pragma once
#include <GL/gl.h>

#include <vector>

#include "modeller/gl_entity.h"
#include "modeller/o3du_records.h"
#include "modeller/shadow/volumes.h"

// The viewport's rectangle on the near plane of the current modelview and projection matrices, in the coordinates
// the modelview takes: its corners, counter-clockwise on the screen from the bottom left. False when the matrices
// have no inverse.
bool o3du_near_rectangle(const _O3duViewport& viewport, double corners[4][3]);

// Counts down each pixel whose ray leaves one of a shape's prisms through its top, the lit triangle, before it meets
// what is drawn there: the triangles' faces turned from the light, depth tested, in light space as the walls are
// drawn. A ray that starts inside a shape's prism and leaves it so (through a face culled where it is drawn) is
// counted out as it left by a wall; for a closed shape no other ray does, as meeting a face from outside ends it
// there. The faces of a pass's shapes are gathered and counted out in one draw once its walls are counted, as a draw
// a shape cost a frame of many small open shapes more than their pixels: a small shape's faces are copied, each left
// out where it faces the eye, as culling would leave it; a large shape's are drawn from its own corners.
class O3duCountOut {
public:
    // to_clip: light space to clip coordinates (row vectors), for telling where a face faces.
    explicit O3duCountOut(const OfuMatrix4x4& to_clip) : to_clip_(to_clip) {}
    void add(const CO3duShadowVolumes& prisms);
    // Counts out under the stencil operation `decrement` what was gathered, and empties the gathering.
    void count(GLenum decrement);

private:
    OfuMatrix4x4 to_clip_;
    std::vector<float> triangles_;  // 9 a face
    std::vector<const CO3duShadowVolumes*> large_;
};

// Whether the shape's lit faces count out the rays that leave its prisms through them: where faces are culled
// (cull mode 0), for a shape the near rectangle cut (`cut` parts of it inside its prisms), whose prisms rays start
// in, and for an open one whose walls may be in view, which rays from outside may enter by a wall and leave by the
// top. Where faces are drawn from both sides no ray passes one.
bool o3du_counts_out_through_lit_faces(const CO3duShadowVolumes& prisms, int cut, bool walls_in_view, int cull_mode);

class O3duNearCaps {
public:
    // corners: the near rectangle in light space; to_clip: light space to clip coordinates (row vectors); walls:
    // the reach the volumes' walls were built with, which ends their prisms below.
    O3duNearCaps(const double corners[4][3], const OfuMatrix4x4& to_clip, const O3duShadowSettings& walls);

    // Gathers the parts of the rectangle inside the prisms of the shape's lit triangles; returns how many prisms
    // it reaches into.
    int gather(const CO3duShadowVolumes& volumes);
    // The parts gathered so far, as triangles in normalised device coordinates (x, y a corner).
    const std::vector<double>& triangles() const { return triangles_; }
    void clear() { triangles_.clear(); }

private:
    // Keeps the part of polygon_ where a x + b y + c z + d >= 0.
    void clip(const double plane[4]);

    double corners_[4][3];
    double lo_[3], hi_[3];  // the rectangle's bounds
    OfuMatrix4x4 to_clip_;
    O3duShadowSettings walls_;
    std::vector<double> polygon_, scratch_;  // 3 a corner
    std::vector<double> triangles_;
};
