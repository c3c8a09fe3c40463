// The stencil shadow pass of a frame: volumes refreshed where their light, matrix or geometry changed, counted
// into the stencil buffer (z-pass, with one added where the near plane's rectangle lies inside a prism), and the
// counted pixels darkened by one quad in the shadow colour. Where the stencil wraps (OpenGL 1.4), all walls count at
// once, every increment and decrement modulo 256, and the counts just below zero are cleared before darkening. A
// frame whose counts may come near 256 counts there in groups of shapes whose counts stay below 124, each group in
// the low seven bits modulo 128 and then folded into the top bit, which keeps "shadowed" from group to group; a
// shape deeper than a group on its own, and every frame where the stencil saturates, count shape by shape: each
// shape counts its increments before its decrements, so a count saturates only where one shape alone brings it
// past the stencil's 255. At night there are no volumes: every pixel drawn nearer than the background is darkened.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <typeinfo>
#include <vector>

#include "geometry/shared_math.h"
#include "geometry/vector_math.h"
#include "modeller/camera/o3du_math_matrix.h"
#include "modeller/gl_modelar.h"
#include "modeller/gl_passes.h"
#include "modeller/gl_state.h"
#include "modeller/gl_view_volume.h"
#include "modeller/shadow/depth.h"
#include "modeller/shadow/groups.h"
#include "modeller/shadow/near_plane.h"
#include "modeller/shadow/shadows.h"
#include "modeller/shadow/volumes.h"
#include "modeller/shadow/wall_batches.h"
#include "modeller/shadow/wall_draws.h"

namespace {

bool same_matrix(const OfuMatrix4x4& a, const OfuMatrix4x4& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool g_near_caps = true;
bool g_one_wrapping_pass = false;
std::uint32_t g_group_depth = 0;

// The quad standing for the background, as a fraction of the depth range: a pixel drawn nearer may lie in shadow.
constexpr double kBackgroundDepth = 0.99999;
// Where the quads that pass the depth test anyway stand: halfway between the near and far planes.
constexpr double kWithinRange = 0.5;
// The deepest count a frame counts with wrap-around, and the counts a wrapping frame takes as below zero: those
// from kBelowZero up, whose top six bits are set.
constexpr std::uint32_t kDeepestWrapped = 250;
constexpr GLuint kBelowZero = 0xFC;
// A deep frame's groups count in the low seven bits, the counts from kGroupBelowZero up reading as below zero; the
// top bit marks the pixels a group before found in shadow. A group's shapes sum to kDeepestGroup at most.
constexpr GLuint kGroupBits = 0x7F, kGroupBelowZero = 0x7C, kShadowedBit = 0x80;
constexpr std::uint32_t kDeepestGroup = 122;

// Triangles in normalised device coordinates (x, y a corner), at the middle of the depth range: whatever the near
// and far distances, they stand inside it.
void draw_device_triangles(const std::vector<double>& xy) {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glBegin(GL_TRIANGLES);
    for (std::size_t i = 0; i + 1 < xy.size(); i += 2) glVertex3d(xy[i], xy[i + 1], 0.0);
    glEnd();
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

// A plane for the walls to end on: below every surface a frame draws, with the eye above it. The segment from the
// eye to any surface it sees then stays above the plane, so nothing of a wall beyond it comes between them, and the
// counts of pixels where nothing was drawn are cleared anyway; walls ending there count as walls reaching the far
// plane do, for far fewer pixels. The plane faces one of the world's axes or the light, whichever makes the walls
// of the shapes' boxes shortest in all; it lies a step below the lowest surface, rounded down to a power-of-two
// grid, so that shapes moving about seldom move it (a move rebuilds every volume). The plane in light space goes
// into `plane` (see O3duShadowSettings::floor); false: none serves, the walls reach the far distance, and `plane` is
// left alone.
bool floor_below_surfaces(const CO3duGLStructure& structure, const OfuMatrix4x4& inverse, const OfuVector3& eye,
                          double plane[4]) {
    // The light-space z axis in the world: towards the light.
    const double towards[3] = {inverse.m[2][0], inverse.m[2][1], inverse.m[2][2]};
    constexpr int kCandidates = 7;
    double normal[kCandidates][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    std::copy(towards, towards + 3, normal[6]);
    double low[kCandidates], high[kCandidates], sum[kCandidates] = {};
    std::fill(low, low + kCandidates, HUGE_VAL);
    std::fill(high, high + kCandidates, -HUGE_VAL);
    double boxes = 0.0;
    for (const _OfuPosition* node = structure.head(); node; node = node->next) {
        const CO3duGLEntity& entity = *node->entity;
        if (entity.draw_mode & O3DU_DRAW_HIDDEN) continue;
        O3duWorldBox box;
        const O3duViewVolume::Reach reach = O3duViewVolume::place(entity, entity.model_matrix, box);
        if (reach == O3duViewVolume::Reach::anywhere) return false;
        if (reach == O3duViewVolume::Reach::nowhere) continue;
        boxes += 1.0;
        for (int k = 0; k < kCandidates; ++k) {
            const double centre = box.along(normal[k]), radius = box.reach_along(normal[k]);
            low[k] = std::min(low[k], centre - radius);
            high[k] = std::max(high[k], centre + radius);
            sum[k] += centre;
        }
    }
    int best = -1;
    double best_length = HUGE_VAL, best_d = 0.0;
    for (int k = 0; k < kCandidates && boxes > 0.0; ++k) {
        const double* n = normal[k];
        const double slope = n[0] * towards[0] + n[1] * towards[1] + n[2] * towards[2];
        if (!(slope > 1e-3) || !(low[k] <= high[k])) continue;
        double step = 1.0;
        while (step <= (high[k] - low[k]) * 0.01 + 1.0) step *= 2;
        const double d = step * (std::floor(low[k] / step) - 1.0);
        if (!(n[0] * eye.x + n[1] * eye.y + n[2] * eye.z > d)) continue;
        // How far the walls from the boxes' centres reach along the light, in all.
        const double length = (sum[k] - boxes * d) / slope;
        if (length < best_length) best = k, best_length = length, best_d = d;
    }
    if (best < 0) return false;
    const double* n = normal[best];
    for (int i = 0; i < 4; ++i) plane[i] = n[0] * inverse.m[i][0] + n[1] * inverse.m[i][1] + n[2] * inverse.m[i][2];
    plane[3] -= best_d;
    return true;
}

}  // namespace

void set_shadow_near_caps_for_testing(bool on) { g_near_caps = on; }
void set_shadow_one_wrapping_pass_for_testing(bool on) { g_one_wrapping_pass = on; }
void set_shadow_group_depth_for_testing(std::uint32_t depth) { g_group_depth = depth; }

void CO3duGLModelar::build_shadow_volumes(O3duShadowBuilder& builder, CO3duGLEntity& entity,
                                          const OfuMatrix4x4& model_matrix) {
    if (entity.kind == 1) return;
    OfuMatrix4x4 to_light = model_matrix;
    MultiplyMatrix4x4(to_light, scene_->light_matrix);
    for (const CO3duGLTrianglePolygons set : entity.sets())
        if (set_casts(set)) builder.add_set(set, to_light);
}

void CO3duGLModelar::set_every_prism_shadows(bool on) {
    every_prism_shadows_ = on;
    if (scene_) scene_->shadow_rebuild = 1;
}

void CO3duGLModelar::refresh_shadow_volumes() {
    CO3duGLScene& scene = *scene_;
    const float* d = scene.shadow_light.direction;
    OfuMatrix4x4 light = identity_matrix(), inverse = identity_matrix();
    MakePlaneToXYMatrix(OfuVector3(d[0], d[1], d[2]), OfuVector3(0, 0, 0), light);
    InverseMatrix4x4(light, inverse);
    double near_distance = 0.0, far_distance = 0.0;
    scene.depth_range(near_distance, far_distance);
    double extrusion = scene.camera_mode == 1 ? far_distance - near_distance : far_distance;
    // Hooks of a derived modeller may draw shapes elsewhere than their matrices say: their walls reach all the way.
    // Walls that end on a floor plane reach no further whatever the depth range, which the view may change from
    // frame to frame.
    double floor_plane[4] = {0.0, 0.0, 0.0, 0.0};
    if (scene.camera_mode == 0 && !every_prism_shadows_ && typeid(*this) == *plain_hooks_ &&
        floor_below_surfaces(structure_, inverse, scene.camera.eye, floor_plane))
        extrusion = HUGE_VAL;
    // Volumes are only as good as the light and reach they were built with.
    if (!same_matrix(light, scene.light_matrix) || extrusion != scene.shadow_extrusion ||
        !std::equal(floor_plane, floor_plane + 4, scene.shadow_floor))
        scene.shadow_rebuild = 1;
    scene.light_matrix = light;
    scene.light_inverse = inverse;
    scene.shadow_extrusion = extrusion;
    std::copy(floor_plane, floor_plane + 4, scene.shadow_floor);
    const bool all = scene.shadow_rebuild != 0;
    bool rebuilt = all;
    scene.shadow_rebuild = 0;
    O3duShadowSettings settings;
    settings.accuracy = scene.shadow_accuracy;
    settings.cull_mode = scene.cull_mode;
    settings.extrusion = extrusion;
    std::copy(floor_plane, floor_plane + 4, settings.floor);
    settings.every_prism = every_prism_shadows_;
    const bool outlines = scene.shadow_accuracy == 1 && !every_prism_shadows_;
    O3duShadowDepth depth;
    // Each shape's share of the bound is taken while its volumes are at hand, built just now or as they stand; after
    // a rebuild of some shapes only, in a pass of its own.
    // A shape without volumes keeps none of its own.
    const auto add_depth = [&](CO3duGLEntity& entity) {
        if (!(entity.draw_mode & O3DU_DRAW_HIDDEN) && entity.kind != 1 &&
            (outlines ? entity.outline_volumes() : entity.prism_volumes()).depth > 0)
            depth.add(outlines ? entity.outline_volumes_to_fill() : entity.prism_volumes_to_fill());
    };
    O3duShadowBuilder builder;
    const bool plain = typeid(*this) == *plain_hooks_;
    for (_OfuPosition* node = structure_.head(); node; node = node->next) {
        _OfuPosition* pos = node;
        CO3duGLEntity& entity = *node->entity;
        if (!(all || entity.shadow_rebuild) || !DrawStart(pos)) {
            if (all) add_depth(entity);
            continue;
        }
        rebuilt = true;
        if (entity.shadow_rebuild) entity.shadow_closed = -1;
        entity.shadow_rebuild = 0;
        entity.clear_shadow_volumes();
        if ((entity.draw_mode & (O3DU_DRAW_HIDDEN | O3DU_DRAW_NO_SHADOW)) || entity.polygon_mode != GL_FILL) {
            DrawEnd(pos, 0);
            continue;
        }
        const OfuMatrix4x4 saved = entity.model_matrix;
        // A derived modeller's hooks may draw a shape otherwise from one build to the next.
        builder.begin(settings, entity.outline_volumes_to_fill(), entity.prism_volumes_to_fill(),
                      plain ? &entity.shadow_closed : nullptr);
        const int passes = draw_passes(*this, pos, entity.model_matrix, [&] {
            build_shadow_volumes(builder, entity, entity.model_matrix);
            return true;
        });
        builder.finish();
        DrawEnd(pos, passes);
        restore_matrix(entity.model_matrix, saved);
        if (all) add_depth(entity);
    }
    if (!rebuilt) return;
    if (!all)
        for (const _OfuPosition* node = structure_.head(); node; node = node->next) add_depth(*node->entity);
    shadow_depth_ = depth.most(kDeepestWrapped);
}

void CO3duGLModelar::count_shadow_volumes() {
    CO3duGLScene& scene = *scene_;
    const _O3duViewport& v = scene.viewport;
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glEnableClientState(GL_VERTEX_ARRAY);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glMultMatrixd(&scene.light_inverse.m[0][0]);
    // A shape whose volume, from its walls to their far ends, lies wholly outside the view draws no walls. The
    // view's planes, taken under the light's matrix, are in light space, as the volumes are.
    const O3duViewVolume view(v, v.x, v.y, double(v.x) + v.width, double(v.y) + v.height);
    // The reference of every prism draws every wall, as the counts it stands for were made.
    const auto out_of_view = [&](const CO3duShadowVolumes& volumes) {
        if (volumes.walls_lo[0] > volumes.walls_hi[0]) return true;
        if (every_prism_shadows_) return false;
        return view.misses_both(O3duWorldBox::between(volumes.walls_lo, volumes.walls_hi),
                                O3duWorldBox::between(volumes.ends_lo, volumes.ends_hi));
    };
    const bool outlines = scene.shadow_accuracy == 1 && !every_prism_shadows_;
    // Light space to clip coordinates, for where on the screen walls fall and which way they face.
    const OfuMatrix4x4& to_clip = view.to_clip();
    O3duWallDraws draws(to_clip, v.width, v.height, renderer_.capabilities().queries);
    // A wrapping count is exact modulo 256 in any order, so every shape's walls count in one go. Otherwise a
    // count saturates, and each shape counts its increments before its decrements, in batches of shapes that
    // reach no common pixel.
    bool wraps = !every_prism_shadows_ && shadow_count_wraps_ && renderer_.capabilities().stencil_wraps;
    // A wrapping count shows 256 as none, and the counts just below it as below zero: a frame whose volumes a line
    // along the light may cross more often than kDeepestWrapped counts in groups where the stencil wraps, and where
    // it saturates as there.
    const bool deep = (shadow_depth_ > kDeepestWrapped && !g_one_wrapping_pass) || g_group_depth > 0;
    const bool grouped = wraps && deep;
    if (deep) wraps = false;
    const GLenum increment = wraps ? GL_INCR_WRAP : GL_INCR, decrement = wraps ? GL_DECR_WRAP : GL_DECR;
    std::uint64_t passes = 0;
    O3duWallBatches batches(v.width, v.height, [&](const std::vector<const CO3duShadowVolumes*>& shapes) {
        for (const CO3duShadowVolumes* volumes : shapes) draws.add(*volumes);
        draws.count(increment, decrement);
        ++passes;
    });
    // The parts of the near rectangle inside prisms, in light space as the walls are; the prisms end below where
    // their walls do.
    double near_rectangle[4][3];
    const bool near_caps = g_near_caps && o3du_near_rectangle(v, near_rectangle);
    O3duShadowSettings walls_reach;
    walls_reach.extrusion = scene.shadow_extrusion;
    std::copy(scene.shadow_floor, scene.shadow_floor + 4, walls_reach.floor);
    O3duNearCaps caps(near_rectangle, to_clip, walls_reach);
    // z-pass counts start on the near plane and miss the prisms a pixel's ray starts in: the part of the rectangle
    // inside each adds one, before the shape's walls count. The reference of every prism counts each shape on its
    // own.
    const auto add_near_caps = [&](const CO3duShadowVolumes& prisms, GLenum add) {
        const int cut = near_caps ? caps.gather(prisms) : 0;
        if (cut > 0) {
            glStencilOp(GL_KEEP, GL_KEEP, add);
            glDisable(GL_CULL_FACE);
            glDisable(GL_DEPTH_TEST);
            draw_device_triangles(caps.triangles());
            caps.clear();
            glEnable(GL_DEPTH_TEST);
            glEnable(GL_CULL_FACE);
        }
        return cut;
    };
    // A ray that starts in a prism, or enters an open shape's by a wall, may leave it through its top, the caster's
    // lit face, which has no wall: the shape's lit faces count it out, after its walls where the count saturates.
    const auto counts_out = [&](const CO3duShadowVolumes& prisms, int cut, bool walls) {
        return o3du_counts_out_through_lit_faces(prisms, cut, walls, scene.cull_mode);
    };
    // The shapes a deep frame counts in groups, and whether near caps were counted before them.
    std::vector<O3duCountedShape> deep_shapes;
    bool capped = false;
    for (_OfuPosition* node = structure_.head(); node; node = node->next) {
        const CO3duGLEntity& entity = *node->entity;
        if ((entity.draw_mode & O3DU_DRAW_HIDDEN) || entity.kind == 1) continue;
        const CO3duShadowVolumes& volumes = outlines ? entity.outline_volumes() : entity.prism_volumes();
        const bool walls = !out_of_view(volumes);
        if (grouped && walls) {
            deep_shapes.push_back({&volumes, &entity.prism_volumes()});
            continue;
        }
        const int cut = add_near_caps(entity.prism_volumes(), increment);
        capped = capped || cut > 0;
        const bool out = counts_out(entity.prism_volumes(), cut, walls);
        if (walls && wraps) {
            draws.add(volumes);
            passes = 1;
            if (draws.spills()) draws.count(increment, decrement);
        } else if (walls && (cut > 0 || out || every_prism_shadows_)) {
            draws.add(volumes);
            draws.count(increment, decrement);
            ++passes;
        } else if (walls) {
            batches.add(to_clip, volumes);
        }
        if (out) o3du_count_out_through_lit_faces(entity.prism_volumes(), decrement);
    }
    batches.finish();
    draws.count(increment, decrement);
    if (grouped) {
        // Near caps of shapes whose walls lie out of view only add: all they counted is shadow.
        if (capped) fold_shadow_counts(false);
        const std::uint32_t most = g_group_depth ? std::min(g_group_depth, kDeepestGroup) : kDeepestGroup;
        const std::vector<O3duShadowGroup> groups = o3du_shadow_groups(deep_shapes, most);
        std::vector<const CO3duShadowVolumes*> out_shapes;
        for (const O3duShadowGroup& group : groups) {
            // A group counts modulo 128 below the top bit; a shape alone saturates as where the stencil does not
            // wrap, over all eight bits.
            const GLenum up = group.alone ? GL_INCR : GL_INCR_WRAP, down = group.alone ? GL_DECR : GL_DECR_WRAP;
            glStencilMask(group.alone ? ~0u : kGroupBits);
            out_shapes.clear();
            for (std::size_t i = group.begin; i < group.end; ++i) {
                const int cut = add_near_caps(*deep_shapes[i].prisms, up);
                if (counts_out(*deep_shapes[i].prisms, cut, true)) out_shapes.push_back(deep_shapes[i].prisms);
                draws.add(*deep_shapes[i].walls);
                if (draws.spills()) draws.count(up, down);
            }
            draws.count(up, down);
            for (const CO3duShadowVolumes* prisms : out_shapes) o3du_count_out_through_lit_faces(*prisms, down);
            ++passes;
            fold_shadow_counts(!group.alone);
        }
    }
    shadow_count_passes_last_frame_ = passes;
    shadow_wall_draws_last_frame_ = draws.draws();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    // Where nothing was drawn the count means nothing: the background is never in shadow.
    glStencilOp(GL_KEEP, GL_KEEP, GL_ZERO);
    glDisable(GL_CULL_FACE);
    fill_viewport(kBackgroundDepth);
    if (wraps) {
        // Counts a little below zero (a wall lost where the walls and a caster's faces round differently along its
        // outline) have wrapped to the top: they mean no shadow, as a saturating count leaves them.
        glStencilFunc(GL_EQUAL, kBelowZero, kBelowZero);
        glDisable(GL_DEPTH_TEST);
        fill_viewport(kWithinRange);
        glEnable(GL_DEPTH_TEST);
        glStencilFunc(GL_ALWAYS, 1, ~0u);
    }
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CCW);
    glDisableClientState(GL_VERTEX_ARRAY);
}

void CO3duGLModelar::fold_shadow_counts(bool below_zero) {
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    if (below_zero) {
        glStencilMask(kGroupBits);
        glStencilFunc(GL_EQUAL, kGroupBelowZero, kGroupBelowZero);
        glStencilOp(GL_KEEP, GL_ZERO, GL_ZERO);
        fill_viewport(kWithinRange);
    }
    // The reference's low bits are clear: a pixel whose low bits are not takes the top bit alone.
    glStencilMask(~0u);
    glStencilFunc(GL_NOTEQUAL, kShadowedBit, kGroupBits);
    glStencilOp(GL_KEEP, GL_REPLACE, GL_REPLACE);
    fill_viewport(kWithinRange);
    glStencilFunc(GL_ALWAYS, 1, ~0u);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
}

// The pixels that the background's quad, clearing the counts by day, finds drawn nearer: those a shadow can reach.
void CO3duGLModelar::mark_drawn_pixels() {
    glStencilOp(GL_KEEP, GL_REPLACE, GL_KEEP);
    glDisable(GL_CULL_FACE);
    fill_viewport(kBackgroundDepth);
}

void CO3duGLModelar::fill_viewport(double fraction) {
    const _O3duViewport& v = scene_->viewport;
    double near_distance = 0.0, far_distance = 0.0;
    scene_->depth_range(near_distance, far_distance);
    const double depth = (far_distance - near_distance) * fraction;
    push_window_projection();
    glBegin(GL_TRIANGLE_STRIP);
    glVertex3d(0.0, 0.0, depth);
    glVertex3d(v.width, 0.0, depth);
    glVertex3d(0.0, v.height, depth);
    glVertex3d(v.width, v.height, depth);
    glEnd();
    pop_window_projection();
}

void CO3duGLModelar::draw_shadows() {
    O3duPassScope pass(O3duPass::shadow);
    if (!night_) refresh_shadow_volumes();
    // Culling, depth test, texturing and the stencil settings serve the counting and darkening only.
    O3duKeptState kept(O3duKeptState::cull | O3duKeptState::depth_test | O3duKeptState::stencil |
                       O3duKeptState::texture);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glEnable(GL_STENCIL_TEST);
    // Counting the volumes and marking the night's pixels write the stencil alone (the marking its reference, 1).
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glDepthMask(GL_FALSE);
    glStencilFunc(GL_ALWAYS, 1, ~0u);
    if (night_)
        mark_drawn_pixels();
    else
        count_shadow_volumes();
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    const OfuColorValue& c = scene_->shadow_color;
    glColor4f(c.r, c.g, c.b, c.a);
    glStencilFunc(GL_NOTEQUAL, 0, ~0u);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    // Within the depth range: on the near plane itself, rounding drops the quad for some near and far distances.
    fill_viewport(kWithinRange);
    glDepthMask(GL_TRUE);
    glDisable(GL_STENCIL_TEST);
    glEnable(GL_LIGHTING);
}
