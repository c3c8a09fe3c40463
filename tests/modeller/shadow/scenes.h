// Scenes for the shadow tests and the CPU ray cast they are held to: the shapes of a scene go both into a modeller
// and, as world triangles, into the cast, which tells for a point of the window what its ray meets first beyond the
// near plane and whether that lies in the shadow light's shadow. A seeded generator makes scenes of random boxes and
// balls over a floor, with eyes above them and among them.
#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "tests/modeller/render_support.h"

namespace kz::test {

// An axis-aligned block; one joined to the block before it is part of the same shape.
struct Block {
    OfuVector3 lo, hi;
    bool joined = false;
};

// A ball of `rings` bands, each band its own strip set, so neighbouring bands share their vertices across sets.
CO3duPrimitive banded_ball(double radius, int rings, const _OfuMaterial& material);

// The rays of a window's pixels: from the near plane, through a perspective camera (up (0, 0, 1)) or an
// axonometric one (looking from the origin's side, as the modeller sets it up).
struct PixelRays {
    PixelRays(const _O3duCamera& camera, int width, int height);
    PixelRays(const _O3duAxoCamera& camera, int width, int height);
    // The ray of the window point (x, y), in pixels from the bottom left.
    void ray(double x, double y, OfuVector3& from, OfuVector3& along) const;

    int width, height;
    bool parallel = false;
    OfuVector3 origin;                       // the eye, or the target (parallel)
    OfuVector3 forward;                      // unit
    OfuVector3 side, up;                     // unit, across the window
    double half_width = 0, half_height = 0;  // at distance 1 from the eye, or of the window (parallel)
    double near_distance = 0;                // from the eye, or the near plane's offset along forward (parallel)
};

// What a ray meets first: a shape's face (the shape 1 + its number, the face a plane of it) and whether that point
// lies in shadow; shape 0 for the background, -1 for a face edge-on to the light.
struct Seen {
    int shape = 0, face = 0;
    bool shadowed = false;
    bool operator==(const Seen&) const = default;
};

// How a frame agrees with the cast: pixels judged (every corner and the centre seeing the same face, in shadow or
// not), of them in shadow, and agreeing (darkened exactly when in shadow); the background's pixels and of them
// darkened.
struct Score {
    int judged = 0, shadowed = 0, agree = 0;
    int background = 0, background_dark = 0;
};

class ShadowScene {
public:
    // Adds the shape to the modeller, and its filled triangle sets, through its model matrix, to the cast.
    _OfuPosition* add(CO3duGLModelar& m, const CO3duPrimitive& shape);
    // A box of the blocks from `first` on that are joined to it, one shape.
    _OfuPosition* add_blocks(CO3duGLModelar& m, const std::vector<Block>& blocks, std::size_t& first,
                             const _OfuMaterial& material);
    // Moves the shape added as number `shape` by the matrix, in the modeller and in the cast.
    void set_matrix(CO3duGLModelar& m, std::size_t shape, OfuMatrix4x4 matrix);
    // Whether the shape added as number `shape` is seen and whether it casts, in the cast alone.
    void set_drawn(std::size_t shape, bool seen, bool casts) {
        shapes_[shape].seen = seen, shapes_[shape].casts = casts;
    }

    // The first face in front of the ray beyond its start (faces turned from the ray are culled), lit by a
    // directional light travelling along `travel` or not.
    Seen see(const OfuVector3& from, const OfuVector3& along, const OfuVector3& travel) const;
    // Where the frame darkens (red above 100, green below 40) against where the cast finds shadow.
    Score compare(const Frame& frame, const PixelRays& rays, const OfuVector3& travel) const;

private:
    struct Shape {
        _OfuPosition* pos = nullptr;
        CO3duPrimitive primitive;
        std::vector<double> corners;  // 9 a triangle, world coordinates
        std::vector<double> normals;  // 3 a triangle, unit
        std::vector<int> faces;       // a triangle's face: the first triangle in its plane
        double lo[3], hi[3];
        bool seen = true, casts = true;
    };
    void place(Shape& shape);
    // The nearest triangle the ray meets beyond t0 and before t (facing it when `culled`), or -1, its distance into
    // t; or, given `lit` (towards the light), any triangle facing the light that the ray meets.
    int first_hit(const Shape& shape, const OfuVector3& from, const OfuVector3& along, double t0, bool culled,
                  const OfuVector3* lit, double& t) const;

    std::vector<Shape> shapes_;
};

// A seeded scene of boxes and balls (white, green) over a floor (white) 120 wide about the origin, and an eye with
// its target: above them, or among them at the height of the shapes.
struct RandomScene {
    std::vector<CO3duPrimitive> shapes;
    OfuVector3 eye, target, travel;
};
RandomScene random_scene(std::uint32_t seed, bool among);

// A flat face over its corners, counter-clockwise as its front is seen, one triangle fan: one-sided, as a polygon
// without the two-sided flag is; with `back`, a second fan over the same corners the other way round, as a
// two-sided one is.
CO3duPrimitive one_face(const std::vector<OfuVector3>& corners, const _OfuMaterial& material, bool back = false);
// The triangles, counter-clockwise as their fronts are seen, as one indexed set whose triangles share a vertex
// wherever their corners meet.
CO3duPrimitive indexed_mesh(const std::vector<std::array<OfuVector3, 3>>& triangles, const _OfuMaterial& material);
// The volumes the builder makes of the shape's first set as a whole shape, under a light travelling along `travel`,
// reaching 1000 along it, at the outline accuracy.
void build_volumes(const CO3duPrimitive& shape, const OfuVector3& travel, CO3duShadowVolumes& outlines,
                   CO3duShadowVolumes& prisms, int accuracy = 0);

// Counts the shapes looked at, so a frame that rebuilds volumes shows one more visit per shape.
class CountingModelar : public CO3duGLModelar {
public:
    int DrawStart(_OfuPosition*& pos) override {
        ++starts;
        return CO3duGLModelar::DrawStart(pos);
    }
    // The frame drawn after a change, handed to `check`; how many shapes it built anew: the visits beyond those of
    // the frame after it.
    template <class Check>
    int rebuilds_of_next_frame(HeadlessScene& scene, Check&& check) {
        starts = 0;
        check(scene.render());
        const int changed = starts;
        starts = 0;
        scene.render();
        return changed - starts;
    }
    int starts = 0;
};

// A triangle in light space, counter-clockwise seen from the light: x, y of each corner, as floats, as the volumes'
// builder keeps them.
using LightTriangle = std::array<float, 6>;
// The triangles of the primitive's sets that cast, through its model matrix and `to_light`, in light space as the
// volumes' builder rounds their corners (to floats): those facing the light, and with `cull`, those facing away,
// turned (their area at least 1e-5). False where one stands so nearly edge-on (its area within 1e-4 of none, but not
// none) that whether it casts, and at outline accuracy which way it is taken, is a matter of rounding.
bool cast_triangles(const CO3duPrimitive& shape, const OfuMatrix4x4& to_light, bool cull,
                    std::vector<LightTriangle>& lit);
// The most of the triangles over one point: the plane cut into strips by vertical lines through every corner and
// every point where two edges cross, and the most triangles over one point of the line halfway across each strip. A
// strip or an interval narrower than a millionth of a millionth of the triangles' size is taken as a line: a corner
// a float step off an edge still makes a sliver far wider.
int stack_depth(const std::vector<LightTriangle>& lit);

// The shadow light along `travel` (shadow colour red, half covering) and a perspective camera from eye to target;
// the frame rendered and held to the cast of `shapes`.
Score sunlit_frame(HeadlessScene& scene, const ShadowScene& shapes, const OfuVector3& travel, const OfuVector3& eye,
                   const OfuVector3& target, double fov, double near_distance, double far_distance);

// A triangle in the world, its corners counter-clockwise seen from the side it faces.
using WorldTriangle = std::array<OfuVector3, 3>;
// A box from lo to hi turned by `angle` about z around `about`, its twelve triangles counter-clockwise seen from
// outside.
void add_box(std::vector<WorldTriangle>& out, const OfuVector3& lo, const OfuVector3& hi, double angle = 0,
             OfuVector3 about = {0, 0, 0});
// A flat rectangle facing up, two triangles.
void add_plate(std::vector<WorldTriangle>& out, double x0, double y0, double x1, double y1, double z);

}  // namespace kz::test
