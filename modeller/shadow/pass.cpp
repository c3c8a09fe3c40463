// A frame's shadow pass: the volumes that the light, a move or an edit outdated are built anew, counted into the
// stencil on the road the frame's bound and the context allow (shadows.h), and what they shadow is darkened once.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
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
#include "modeller/shadow/screen_reach.h"
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
// Between the passes of a deep frame a pixel holds kShadowed where a pass before found it in shadow, else 0. A group's
// shapes sum to kDeepestGroup at most, so that counted over all eight bits with wrap-around from kShadowed it ends
// within 124 to 250, never at 0 nor among the counts read as below zero, and from 0 within 0 to 122 or below zero:
// the two stay apart with no write mask, which would cost every wall fragment a masked write.
constexpr GLuint kShadowed = 0x80, kLowBits = 0x7F;
constexpr std::uint32_t kDeepestGroup = 122;
// A shape alone of depth up to kDeepestFromShadowed counts with wrap-around from kFromShadowed where a pass before
// shadowed and from 255 elsewhere: counts no lower than 4 below zero end within 0 to kHighShadowed where a pass before
// shadowed or the shape's own count is above zero, and within 251 to 255 elsewhere, so that one quad folds them into
// kHighShadowed and 0. A shape alone after it reads kHighShadowed by its top bit as kShadowed; a group needs
// kShadowed itself.
constexpr GLuint kFromShadowed = 4, kHighShadowed = 250;
constexpr std::uint32_t kDeepestFromShadowed = kHighShadowed - kFromShadowed;
// Every bit of the stencil.
constexpr GLuint kEightBits = 0xFF;

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

// The stencil operations a pass counts under: `up` for a wall entered, `down` for one left.
struct Ops {
    GLenum up, down;
};
constexpr Ops kWrapping{GL_INCR_WRAP, GL_DECR_WRAP}, kSaturating{GL_INCR, GL_DECR};

// The pixel store and transfer modes that read and draw the stencil's bytes as they are, whatever a host program set,
// put back when this goes.
class PlainPixels {
public:
    PlainPixels() {
        glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
        glPushAttrib(GL_PIXEL_MODE_BIT);
        for (const GLenum store : {GL_PACK_ALIGNMENT, GL_UNPACK_ALIGNMENT}) glPixelStorei(store, 1);
        for (const GLenum store :
             {GL_PACK_ROW_LENGTH, GL_PACK_SKIP_ROWS, GL_PACK_SKIP_PIXELS, GL_PACK_SWAP_BYTES, GL_UNPACK_ROW_LENGTH,
              GL_UNPACK_SKIP_ROWS, GL_UNPACK_SKIP_PIXELS, GL_UNPACK_SWAP_BYTES})
            glPixelStorei(store, 0);
        glPixelTransferi(GL_INDEX_SHIFT, 0);
        glPixelTransferi(GL_INDEX_OFFSET, 0);
        glPixelTransferi(GL_MAP_STENCIL, GL_FALSE);
        glPixelZoom(1.0f, 1.0f);
    }
    ~PlainPixels() {
        glPopAttrib();
        glPopClientAttrib();
    }
    PlainPixels(const PlainPixels&) = delete;
    PlainPixels& operator=(const PlainPixels&) = delete;
};

// Draws, clears and pixel writes confined to a rectangle of the viewport (within any scissor box a host program set),
// the scissor put back when this goes.
class ScissorTo {
public:
    ScissorTo(const _O3duViewport& viewport, const O3duPixelRect& rect) {
        glPushAttrib(GL_SCISSOR_BIT);
        GLint x0 = viewport.x + rect.x, y0 = viewport.y + rect.y, x1 = x0 + rect.width, y1 = y0 + rect.height;
        if (glIsEnabled(GL_SCISSOR_TEST)) {
            GLint box[4];
            glGetIntegerv(GL_SCISSOR_BOX, box);
            x0 = std::max(x0, box[0]), y0 = std::max(y0, box[1]);
            x1 = std::min(x1, box[0] + box[2]), y1 = std::min(y1, box[1] + box[3]);
        }
        glEnable(GL_SCISSOR_TEST);
        glScissor(x0, y0, std::max(x1 - x0, 0), std::max(y1 - y0, 0));
    }
    ~ScissorTo() { glPopAttrib(); }
    ScissorTo(const ScissorTo&) = delete;
    ScissorTo& operator=(const ScissorTo&) = delete;
};

// One frame's count of the shapes' volumes into the stencil, by the road its mode takes (see shadows.h). Every road
// is made of one step, a run of shapes counted in one pass (add_and_count), and leaves a stencil that is not 0
// exactly where a pixel lies in shadow, but for the background, which the caller clears.
class ShadowCount {
public:
    ShadowCount(const CO3duGLScene& scene, const O3duQueryFunctions& queries, bool every_prism, bool near_caps,
                std::function<void(double)> fill)
        : scene_(scene),
          every_prism_(every_prism),
          view_(scene.viewport, scene.viewport.x, scene.viewport.y, double(scene.viewport.x) + scene.viewport.width,
                double(scene.viewport.y) + scene.viewport.height),
          draws_(view_.to_clip(), scene.viewport.width, scene.viewport.height, queries),
          near_caps_(near_caps && o3du_near_rectangle(scene.viewport, near_rectangle_)),
          caps_(near_rectangle_, view_.to_clip(), walls_reach(scene)),
          count_out_(view_.to_clip()),
          fill_(std::move(fill)) {}

    // Where the stencil wraps and the frame's bound stays within kDeepestWrapped: every shape's walls in one pass,
    // modulo 256, which is exact in any order; then the counts just below zero (a wall lost where the walls and a
    // caster's faces round differently along its outline), wrapped to the top, are cleared, as a saturating count
    // leaves them.
    void all_at_once(const std::vector<O3duCountedShape>& shapes) {
        add_and_count(shapes.data(), shapes.data() + shapes.size(), kWrapping);
        clear_below_zero();
    }

    // Where the stencil wraps and the frame is deeper: the groups of the shapes (kept from frame to frame while
    // their volumes stay), each counted with wrap-around on top of what the passes before left (kShadowed or 0) and
    // folded; a shape deeper than a group on its own counts alone, what the passes before left kept apart meanwhile
    // (counted_alone).
    void in_groups(const std::vector<O3duCountedShape>& shapes, O3duShadowGroups& groups, std::uint32_t capacity,
                   std::uint64_t built) {
        // A shape without walls may still hold the eye in a prism: the near caps only add, all they count is shadow.
        std::vector<O3duCountedShape> walled, bare;
        for (const O3duCountedShape& s : shapes) (has_walls(*s.walls) ? walled : bare).push_back(s);
        if (add_and_count(bare.data(), bare.data() + bare.size(), kSaturating)) fold(false);
        groups.take(walled, capacity, built);
        const std::vector<O3duCountedShape>& along = groups.shapes();
        for (const O3duShadowGroup& group : groups.groups()) {
            const O3duCountedShape* first = along.data() + group.begin;
            const O3duCountedShape* last = along.data() + group.end;
            if (group.alone && first->walls->depth > kDeepestGroup) {
                counted_alone(*first, first->walls->depth <= kDeepestWrapped ? kWrapping : kSaturating);
                continue;
            }
            lower_marks();
            if (add_and_count(first, last, kWrapping)) fold(true);
        }
    }

    // Where the stencil saturates (or for the reference of every prism): each shape counts its increments before
    // its decrements, so a count saturates only where one shape alone brings it past 255. Shapes whose walls reach
    // no common pixel go in one batch; a shape the near rectangle cuts counts in a pass of its own, its rays
    // counted out after its walls.
    void shape_by_shape(const std::vector<O3duCountedShape>& shapes) {
        O3duWallBatches batches(scene_.viewport.width, scene_.viewport.height,
                                [&](const std::vector<const CO3duShadowVolumes*>& walls) {
                                    for (const CO3duShadowVolumes* w : walls) add_walls(*w, kSaturating);
                                    count_walls(kSaturating);
                                });
        for (const O3duCountedShape& s : shapes) {
            const int cut = near_caps_ ? caps_.gather(*s.prisms) : 0;
            caps_.clear();
            if (every_prism_ || cut > 0 || counts_out(*s.prisms, cut, in_view(*s.walls)))
                add_and_count(&s, &s + 1, kSaturating);
            else if (in_view(*s.walls))
                batches.add(view_.to_clip(), *s.walls);
        }
        batches.finish();
    }

    std::uint64_t passes() const { return passes_; }
    std::uint64_t draws() const { return draws_.draws(); }

private:
    static O3duShadowSettings walls_reach(const CO3duGLScene& scene) {
        O3duShadowSettings reach;
        reach.extrusion = scene.shadow_extrusion;
        std::copy(scene.shadow_floor, scene.shadow_floor + 4, reach.floor);
        return reach;
    }
    static bool has_walls(const CO3duShadowVolumes& walls) { return walls.walls_lo[0] <= walls.walls_hi[0]; }
    // A shape whose volume, from its walls to their far ends, lies wholly outside the view draws no walls (the
    // view's planes, taken under the light's matrix, are in light space, as the volumes are). The reference of
    // every prism draws every wall, as the counts it stands for were made.
    bool in_view(const CO3duShadowVolumes& walls) const {
        if (!has_walls(walls)) return false;
        return every_prism_ || !view_.misses_both(O3duWorldBox::between(walls.walls_lo, walls.walls_hi),
                                                  O3duWorldBox::between(walls.ends_lo, walls.ends_hi));
    }

    // The step every road takes: a run of shapes counted in one pass under `ops`. z-pass counts start on the near
    // plane and miss the prisms a pixel's ray starts in, so the part of the rectangle inside each shape's prisms
    // adds one first; then the walls in view count; then the rays that leave a shape's prisms through its lit faces
    // are counted out, after the walls, as a saturating count needs. Returns whether it drew anything.
    bool add_and_count(const O3duCountedShape* first, const O3duCountedShape* last, Ops ops) {
        cuts_.clear();
        bool walls = false, drew = false;
        for (const O3duCountedShape* s = first; s != last; ++s) {
            cuts_.push_back(add_near_caps(*s->prisms, ops.up));
            drew = drew || cuts_.back() > 0;
            if (!in_view(*s->walls)) continue;
            add_walls(*s->walls, ops);
            walls = true;
        }
        if (walls) count_walls(ops);
        for (const O3duCountedShape* s = first; s != last; ++s)
            if (counts_out(*s->prisms, cuts_[std::size_t(s - first)], in_view(*s->walls))) {
                count_out_.add(*s->prisms);
                drew = true;
            }
        count_out_.count(ops.down);
        return walls || drew;
    }
    // Walls are gathered shape by shape and counted whenever they fill more than one draw, between shapes, so that
    // a shape's increments still come before its decrements.
    void add_walls(const CO3duShadowVolumes& walls, Ops ops) {
        draws_.add(walls);
        if (draws_.spills()) draws_.count(ops.up, ops.down);
    }
    void count_walls(Ops ops) {
        draws_.count(ops.up, ops.down);
        ++passes_;
    }
    // Draws the parts of the near rectangle inside the shape's prisms under `add`; returns how many prisms it cut.
    int add_near_caps(const CO3duShadowVolumes& prisms, GLenum add) {
        const int cut = near_caps_ ? caps_.gather(prisms) : 0;
        if (cut > 0) {
            glStencilOp(GL_KEEP, GL_KEEP, add);
            glDisable(GL_CULL_FACE);
            glDisable(GL_DEPTH_TEST);
            draw_device_triangles(caps_.triangles());
            glEnable(GL_DEPTH_TEST);
            glEnable(GL_CULL_FACE);
        }
        caps_.clear();
        return cut;
    }
    // Whether the rays that leave the shape's prisms through its lit faces (the top of a prism, which has no wall)
    // are counted out: those that start in the prisms of a shape the near rectangle cut, and those that enter an
    // open shape's by a wall in view (o3du_counts_out_through_lit_faces).
    bool counts_out(const CO3duShadowVolumes& prisms, int cut, bool walls_in_view) const {
        return o3du_counts_out_through_lit_faces(prisms, cut, walls_in_view, scene_.cull_mode);
    }

    // A shape deeper than a group counts alone over all eight bits: with wrap-around where its bound stays within
    // kDeepestWrapped, which is exact, and saturating where it is deeper. Counted from kShadowed, such a count could
    // end anywhere: a wrapping count within kDeepestFromShadowed starts from kFromShadowed where a pass before shadowed
    // and from 255 elsewhere instead, from which a shadowed pixel's count and any other ends on its own side of
    // kHighShadowed; a saturating count keeps what the passes before left apart meanwhile, read out, cleared so the
    // count starts at 0 everywhere, and put back after the count is folded. Either way a pixel already shadowed stays
    // so whatever this shape counts there, and nothing is done beyond the pixels the shape's count can reach.
    void counted_alone(const O3duCountedShape& shape, Ops ops) {
        if (!marked_) {
            if (add_and_count(&shape, &shape + 1, ops)) fold(ops.up == GL_INCR_WRAP);
            return;
        }
        // The parts of the near rectangle inside the shape's prisms can lie anywhere in the viewport.
        const int cut = near_caps_ ? caps_.gather(*shape.prisms) : 0;
        caps_.clear();
        const O3duPixelRect reach =
            cut > 0 ? O3duPixelRect{0, 0, scene_.viewport.width, scene_.viewport.height}
                    : o3du_screen_reach(*shape.walls, view_.to_clip(), scene_.viewport.width, scene_.viewport.height);
        const ScissorTo only(scene_.viewport, reach);
        if (reach.empty()) {
            add_and_count(&shape, &shape + 1, ops);
            return;
        }
        if (ops.up == GL_INCR_WRAP && shape.walls->depth <= kDeepestFromShadowed) {
            // A pixel shadowed before holds the top bit (kShadowed or kHighShadowed), which the test sees against
            // kFromShadowed's clear one; 0 turns to 255.
            stencil_quad(GL_NOTEQUAL, kFromShadowed, kShadowed, GL_REPLACE, kEightBits, GL_INVERT);
            add_and_count(&shape, &shape + 1, ops);
            stencil_quad(GL_GEQUAL, kHighShadowed, kEightBits, GL_REPLACE, kEightBits, GL_ZERO);
            high_marks_ = united(high_marks_, reach);
            return;
        }
        shadowed_.resize(std::size_t(reach.width) * reach.height);
        {
            const PlainPixels plain;
            glReadPixels(scene_.viewport.x + reach.x, scene_.viewport.y + reach.y, reach.width, reach.height,
                         GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, shadowed_.data());
        }
        stencil_quad(GL_ALWAYS, 0, 0, GL_ZERO, kEightBits);
        if (add_and_count(&shape, &shape + 1, ops)) fold(ops.up == GL_INCR_WRAP);
        // The pixels shadowed before take the lowest bit, and then kShadowed, as a count folds.
        for (std::uint8_t& s : shadowed_) s = s ? 1 : 0;
        {
            const PlainPixels plain;
            glStencilMask(1);
            draw_window_pixels(scene_.viewport, reach, shadowed_.data());
            glStencilMask(kEightBits);
        }
        fold(false);
    }

    // Before a group counts: the pixels that hold kHighShadowed take kShadowed.
    void lower_marks() {
        if (high_marks_.empty()) return;
        const ScissorTo only(scene_.viewport, high_marks_);
        stencil_quad(GL_EQUAL, kShadowed, kShadowed, GL_REPLACE, kEightBits);
        high_marks_ = {};
    }
    static O3duPixelRect united(const O3duPixelRect& a, const O3duPixelRect& b) {
        if (a.empty()) return b;
        const int x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
        return {x0, y0, std::max(a.x + a.width, b.x + b.width) - x0, std::max(a.y + a.height, b.y + b.height) - y0};
    }

    // The counts of an eight-bit count that wrapped a little below zero (252 to 255, whose top six bits are set): no
    // shadow.
    void clear_below_zero() { stencil_quad(GL_EQUAL, kBelowZero, kBelowZero, GL_ZERO, kEightBits); }

    // After a pass of a deep frame: every pixel whose count is not 0 takes kShadowed, once the counts below zero
    // of a count that wraps (`below_zero`) are cleared (a count that saturates has none).
    void fold(bool below_zero) {
        if (below_zero) clear_below_zero();
        // The reference's low bits are clear: a pixel whose low bits are not takes kShadowed, and one that holds
        // kShadowed keeps it.
        stencil_quad(GL_NOTEQUAL, kShadowed, kLowBits, GL_REPLACE, kEightBits);
        marked_ = true;
    }
    // One quad over the viewport that passes the depth test and changes the stencil by `op` where the stencil test
    // (func, ref, mask) passes and by `otherwise` where it fails, in the bits of `write`.
    void stencil_quad(GLenum func, GLint ref, GLuint mask, GLenum op, GLuint write, GLenum otherwise = GL_KEEP) {
        glDisable(GL_CULL_FACE);
        glDisable(GL_DEPTH_TEST);
        glStencilMask(write);
        glStencilFunc(func, ref, mask);
        glStencilOp(otherwise, op, op);
        fill_(kWithinRange);
        glStencilMask(kEightBits);
        glStencilFunc(GL_ALWAYS, 1, ~0u);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
    }
    // Writes the stencil bytes of the viewport's pixels in `rect`, from its bottom left, through the stencil's
    // write mask.
    static void draw_window_pixels(const _O3duViewport& viewport, const O3duPixelRect& rect,
                                   const std::uint8_t* bytes) {
        GLint kept[4];
        glGetIntegerv(GL_VIEWPORT, kept);
        glViewport(viewport.x + rect.x, viewport.y + rect.y, rect.width, rect.height);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glOrtho(0.0, rect.width, 0.0, rect.height, -1.0, 1.0);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        // A quarter pixel in, so that no rounding puts the position outside the view; the pixels' centres stay
        // within the rectangle it starts.
        glRasterPos2d(0.25, 0.25);
        glDrawPixels(rect.width, rect.height, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, bytes);
        glPopMatrix();
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glViewport(kept[0], kept[1], kept[2], kept[3]);
    }

    const CO3duGLScene& scene_;
    const bool every_prism_;
    const O3duViewVolume view_;
    O3duWallDraws draws_;
    // The near plane's rectangle in light space, as the walls are; the prisms end below where their walls do.
    double near_rectangle_[4][3] = {};
    const bool near_caps_;
    O3duNearCaps caps_;
    O3duCountOut count_out_;
    std::function<void(double)> fill_;
    std::uint64_t passes_ = 0;
    // Whether a pass before left kShadowed anywhere, and where shapes alone may have left kHighShadowed.
    bool marked_ = false;
    O3duPixelRect high_marks_;
    std::vector<int> cuts_;
    std::vector<std::uint8_t> shadowed_;
};

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
    if (!shadow_builder_) shadow_builder_ = std::make_unique<O3duShadowBuilder>();
    O3duShadowBuilder& builder = *shadow_builder_;
    builder.start_rebuild();
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
    // What this rebuild's largest shape did not need of the scratch is not kept for the next.
    if (builder.holds_far_more_than_used()) shadow_builder_.reset();
    if (!rebuilt) return;
    if (!all)
        for (const _OfuPosition* node = structure_.head(); node; node = node->next) add_depth(*node->entity);
    shadow_depth_ = depth.most(kDeepestWrapped);
    ++shadow_volumes_built_;
}

void CO3duGLModelar::count_shadow_volumes() {
    CO3duGLScene& scene = *scene_;
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glEnableClientState(GL_VERTEX_ARRAY);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glMultMatrixd(&scene.light_inverse.m[0][0]);
    const bool outlines = scene.shadow_accuracy == 1 && !every_prism_shadows_;
    const bool context_wraps = renderer_.capabilities().stencil_wraps;
    ShadowCount count(scene, renderer_.capabilities().queries, every_prism_shadows_, g_near_caps,
                      [this](double fraction) { fill_viewport(fraction); });
    // The shapes in the order of the list, whatever of them is in view.
    std::vector<O3duCountedShape> shapes;
    for (_OfuPosition* node = structure_.head(); node; node = node->next) {
        const CO3duGLEntity& entity = *node->entity;
        if ((entity.draw_mode & O3DU_DRAW_HIDDEN) || entity.kind == 1) continue;
        shapes.push_back({outlines ? &entity.outline_volumes() : &entity.prism_volumes(), &entity.prism_volumes()});
    }
    // A wrapping count shows 256 as none and the counts just below it as below zero: a frame whose bound passes
    // kDeepestWrapped counts in groups where the stencil wraps, and where it saturates as there. The reference of
    // every prism counts each shape on its own.
    const bool wraps = !every_prism_shadows_ && shadow_count_wraps_ && context_wraps;
    const bool deep = (shadow_depth_ > kDeepestWrapped && !g_one_wrapping_pass) || g_group_depth > 0;
    if (wraps && !deep) {
        count.all_at_once(shapes);
    } else if (wraps) {
        if (!shadow_groups_) shadow_groups_ = std::make_unique<O3duShadowGroups>();
        const std::uint32_t capacity = g_group_depth ? std::min(g_group_depth, kDeepestGroup) : kDeepestGroup;
        count.in_groups(shapes, *shadow_groups_, capacity, shadow_volumes_built_);
    } else {
        count.shape_by_shape(shapes);
    }
    shadow_count_passes_last_frame_ = count.passes();
    shadow_wall_draws_last_frame_ = count.draws();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    // Where nothing was drawn the count means nothing: the background is never in shadow.
    glStencilOp(GL_KEEP, GL_KEEP, GL_ZERO);
    glDisable(GL_CULL_FACE);
    fill_viewport(kBackgroundDepth);
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CCW);
    glDisableClientState(GL_VERTEX_ARRAY);
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
