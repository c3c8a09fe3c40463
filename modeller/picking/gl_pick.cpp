// Picking of CO3duGLModelar: the stencil pick for the one nearest shape, the selection pick for every shape under
// a point with exact depths, and the window point behind a depth. Picks draw into the back buffer, never shown.
#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <typeinfo>
#include <vector>

#include "modeller/gl_modelar.h"
#include "modeller/gl_passes.h"
#include "modeller/gl_state.h"

namespace {

bool g_scissor = true;
bool g_index = true;

// Nearest first. Comb sort keeps the order of equal depths the way the viewer has always shown them.
void sort_by_depth(std::vector<_O3duSelect>& hits) {
    std::size_t gap = hits.size();
    bool swapped = true;
    while (gap > 1 || swapped) {
        gap = std::max<std::size_t>(1, gap * 10 / 13);
        swapped = false;
        for (std::size_t i = 0; i + gap < hits.size(); ++i) {
            if (hits[i].depth > hits[i + gap].depth) {
                std::swap(hits[i], hits[i + gap]);
                swapped = true;
            }
        }
    }
}

float depth_at(int x, int row) {
    GLfloat depth = 1.0f;
    glReadPixels(x, row, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    return depth;
}

GLuint stencil_at(int x, int row) {
    GLuint value = 0;
    glReadPixels(x, row, 1, 1, GL_STENCIL_INDEX, GL_UNSIGNED_INT, &value);
    return value;
}

bool pickable(const CO3duGLEntity& entity) { return (entity.draw_mode & O3DU_DRAW_PICKABLE) != 0; }

// Every pass of every pickable shape of `shapes` the hooks accept, in drawing order: visit(node, entity, pass) with
// the shape's model matrix as that pass has it.
template <class Visit>
void for_each_pick_pass(CO3duGLModelar& m, const std::vector<O3duShapeRef>& shapes, Visit visit) {
    for_each_shape(shapes, [&](_OfuPosition* node, CO3duGLEntity& entity) {
        _OfuPosition* pos = node;
        if (!m.DrawStart(pos) || !pickable(entity)) return;
        const OfuMatrix4x4 saved = entity.model_matrix;
        int pass = 0;
        const int passes = draw_passes(m, pos, entity.model_matrix, [&] {
            visit(node, entity, pass++);
            return true;
        });
        m.DrawEnd(pos, passes);
        restore_matrix(entity.model_matrix, saved);
    });
}

}  // namespace

static_assert(kKeepsBaseHooks<CO3duGLModelar>);

void set_pick_scissor_for_testing(bool on) { g_scissor = on; }

void set_pick_index_for_testing(bool on) { g_index = on; }

// Hooks of a derived modeller may move or skip any shape in any pass, so they are asked about every one; with the
// base hooks a shape is drawn once where its matrix puts it, and the index passes over those far from the pixel.
const std::vector<O3duShapeRef>& CO3duGLModelar::pick_shapes(int x, int row, double margin) {
    if (!g_index || typeid(*this) != *plain_hooks_) return structure_.in_order();
    const float reach = pick_index_.refresh(structure_);
    // A pixel more than any line reaches covers the rounding of the index's boxes.
    return pick_index_.reaching(structure_, pick_volume(x, row, margin + reach + 1.0));
}

void CO3duGLModelar::setup_pick_scene() {
    scene_->SetupCamera();
    if (scene_->cull_mode) {
        glDisable(GL_CULL_FACE);
    } else {
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
    }
    if (scene_->section_switch) {
        const OfuPlane& p = scene_->section_plane;
        const GLdouble equation[4] = {p.a, p.b, p.c, p.d};
        glEnable(GL_CLIP_PLANE0);
        glClipPlane(GL_CLIP_PLANE0, equation);
    }
}

void CO3duGLModelar::end_pick_scene() {
    glDisable(GL_CLIP_PLANE0);
    glDisable(GL_SCISSOR_TEST);
    glEnable(GL_LIGHTING);
    glDisableClientState(GL_VERTEX_ARRAY);
}

O3duViewVolume CO3duGLModelar::pick_volume(int x, int row, double margin) const {
    return O3duViewVolume(scene_->viewport, x - margin, row - margin, x + 1.0 + margin, row + 1.0 + margin);
}

void CO3duGLModelar::draw_pick_geometry(const CO3duGLEntity& entity) {
    glPolygonMode(GL_FRONT_AND_BACK, entity.polygon_mode);
    const bool window = entity.kind == 1;
    if (window) {
        push_window_projection();
        glDisable(GL_CLIP_PLANE0);
    }
    glPushMatrix();
    glMultMatrixd(&entity.model_matrix.m[0][0]);
    for (const CO3duGLBatch& batch : entity.batches()) {
        const O3duFloats positions = entity.positions(batch);
        if (positions.empty()) continue;
        const float width = entity.look(batch).line_width();
        glLineWidth(width * renderer_.line_scale);
        glPointSize(width * renderer_.line_scale);
        glVertexPointer(3, GL_FLOAT, 0, positions.data());
        entity.DrawBatch(batch);
    }
    glPopMatrix();
    if (window) {
        if (scene_->section_switch) glEnable(GL_CLIP_PLANE0);
        pop_window_projection();
    }
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

// Every pickable pass is drawn with its name in the stencil; the value left at the pixel names the nearest.
// With more passes than stencil values the names start again, and the winner of each round is read off as the
// round ends, when the depth at the pixel shows that the round drew something nearer.
int CO3duGLModelar::stencil_pick(int x, int row, _O3duSelect& hit) {
    setup_pick_scene();
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glEnableClientState(GL_VERTEX_ARRAY);
    glDisable(GL_POLYGON_SMOOTH);
    glDisable(GL_LINE_SMOOTH);
    glDisable(GL_POINT_SMOOTH);
    glDisable(GL_LIGHTING);
    glClearDepth(1.0);
    glEnable(GL_STENCIL_TEST);
    glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
    // Only the one pixel matters; a one-pixel scissor box spares filling the rest and changes nothing there.
    glScissor(x, row, 1, 1);
    if (g_scissor) glEnable(GL_SCISSOR_TEST);
    GLint bits = 0;
    glGetIntegerv(GL_STENCIL_BITS, &bits);
    const long largest = (1L << std::clamp<GLint>(bits, 0, 16)) - 1;

    // Only shapes that can reach the pixel are drawn and named.
    const O3duViewVolume volume = pick_volume(x, row, 0.0);
    const std::vector<O3duShapeRef>& shapes = pick_shapes(x, row, 0.0);
    std::vector<_O3duSelect> candidates;
    float last_depth = 1.0f;
    long wraps = 0, name = 1, best = -1;
    GLuint last_stencil = 0;
    // Reading a pixel waits for all drawing: a round that drew nothing has nothing new to read.
    bool drawn = false;
    const auto read_round = [&] {
        if (!drawn) return;
        drawn = false;
        const float depth = depth_at(x, row);
        if (depth == last_depth) return;
        last_depth = depth;
        last_stencil = stencil_at(x, row);
        best = static_cast<long>(last_stencil) - 1 + wraps * largest;
    };
    if (largest > 0)
        for_each_pick_pass(*this, shapes, [&](_OfuPosition* node, const CO3duGLEntity& entity, int pass) {
            if (volume.misses(entity, entity.model_matrix)) return;
            candidates.push_back({node, 0.0, pass});
            const GLubyte color[3] = {GLubyte(name & 0xFF), GLubyte((name >> 8) & 0xFF), GLubyte((name >> 16) & 0xFF)};
            glColor3ubv(color);
            glStencilFunc(GL_ALWAYS, static_cast<GLint>(name), ~0u);
            draw_pick_geometry(entity);
            drawn = true;
            if (name == largest) {
                read_round();
                ++wraps;
                name = 1;
            } else {
                ++name;
            }
        });
    glDisable(GL_STENCIL_TEST);
    read_round();
    end_pick_scene();
    if (last_stencil == 0 || best < 0 || best >= static_cast<long>(candidates.size())) return 0;
    hit = candidates[std::size_t(best)];
    hit.depth = last_depth;
    return 1;
}

int CO3duGLModelar::selection_pick(int x, int row, std::vector<_O3duSelect>& hits) {
    setup_pick_scene();
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glEnableClientState(GL_VERTEX_ARRAY);
    glDisable(GL_LIGHTING);
    GLint viewport[4] = {scene_->viewport.x, scene_->viewport.y, scene_->viewport.width, scene_->viewport.height};
    // The pick matrix's square is centred on the point, the exact-depth pixel lies beside it: a margin covers both.
    const O3duViewVolume volume = pick_volume(x, row, 1.0);
    const std::vector<O3duShapeRef>& shapes = pick_shapes(x, row, 1.0);
    std::vector<_O3duSelect> candidates;
    // Each name can give one record of four values; a buffer that still overflows is enlarged and the round run
    // again, so no hit is lost to its size.
    std::size_t size = std::max<std::size_t>(512, 4 * std::size_t(structure_.count()) + 16);
    std::vector<GLuint> buffer;
    GLint records = -1;
    for (int attempt = 0; attempt < 24 && records < 0; ++attempt, size *= 2) {
        buffer.assign(size, 0);
        candidates.clear();
        glSelectBuffer(static_cast<GLsizei>(size), buffer.data());
        glRenderMode(GL_SELECT);
        glInitNames();
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        gluPickMatrix(x, row, 1.0, 1.0, viewport);
        scene_->MultProjection();
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        for_each_pick_pass(*this, shapes, [&](_OfuPosition* node, const CO3duGLEntity& entity, int pass) {
            if (volume.misses(entity, entity.model_matrix)) return;
            glPushName(static_cast<GLuint>(candidates.size()));
            draw_pick_geometry(entity);
            glPopName();
            candidates.push_back({node, 0.0, pass});
        });
        records = glRenderMode(GL_RENDER);
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
    }
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glClearDepth(1.0);
    std::vector<_O3duSelect> found;
    std::size_t at = 0;
    for (GLint r = 0; r < records && at + 3 <= buffer.size(); ++r) {
        const GLuint names = buffer[at];
        const double z1 = buffer[at + 1] / 4294967296.0, z2 = buffer[at + 2] / 4294967296.0;
        if (names >= 1 && at + 3 < buffer.size()) {
            const GLuint name = buffer[at + 3];
            if (name < candidates.size()) {
                _O3duSelect hit = candidates[name];
                hit.depth = std::min(z1, z2);
                found.push_back(hit);
            }
        }
        at += 3 + std::size_t(names);
    }
    hits = exact_depths(found, x, row);
    end_pick_scene();
    sort_by_depth(hits);
    return static_cast<int>(hits.size());
}

// The selection gives depths of whole primitives near the point; each hit is drawn alone to read the depth at
// the pixel itself, and a hit whose own drawing misses the pixel is dropped.
std::vector<_O3duSelect> CO3duGLModelar::exact_depths(const std::vector<_O3duSelect>& hits, int x, int row) {
    std::vector<_O3duSelect> exact;
    exact.reserve(hits.size());
    glScissor(x, row, 1, 1);
    if (g_scissor) glEnable(GL_SCISSOR_TEST);
    for (const _O3duSelect& hit : hits) {
        _OfuPosition* pos = hit.position;
        CO3duGLEntity* entity = entity_of(pos);
        if (!entity || !DrawStart(pos)) continue;
        glClear(GL_DEPTH_BUFFER_BIT);
        const OfuMatrix4x4 saved = entity->model_matrix;
        PreDraw(pos, entity->model_matrix, hit.pass);
        draw_pick_geometry(*entity);
        DrawEnd(pos, 1);
        restore_matrix(entity->model_matrix, saved);
        const float depth = depth_at(x, row);
        if (depth != 1.0f) exact.push_back({hit.position, depth, hit.pass});
    }
    return exact;
}

int CO3duGLModelar::HitTest(HDC hdc, int x, int y, _O3duSelect* results, int max) {
    if (!hdc || !results) return 0;
    if (!scene_) Initialize(hdc);
    if (!scene_) return 0;
    const _O3duViewport& v = scene_->viewport;
    const int row = v.height - y;
    // A point off the drawing has no pixel to read.
    if (x < 0 || row < 0 || x >= v.x + v.width || row >= v.y + v.height) return 0;
    CO3duGLCurrent current(renderer_, hdc);
    if (!current) return 0;
    O3duPassScope pass(O3duPass::pick);
    O3duKeptState kept(O3duKeptState::stencil | O3duKeptState::line_width);
    glPolygonMode(GL_FRONT, GL_FILL);
    glClearStencil(0);
    if (max == 1 && renderer_.pixel_format.depth_bits >= 24) {
        glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        _O3duSelect hit;
        const int found = stencil_pick(x, row, hit);
        glFlush();
        if (found) results[0] = hit;
        return found;
    }
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    std::vector<_O3duSelect> hits;
    selection_pick(x, row, hits);
    glFlush();
    if (max == 1) {
        if (!hits.empty()) results[0] = hits[0];
        return static_cast<int>(hits.size());
    }
    const int count = std::clamp(static_cast<int>(hits.size()), 0, std::max(max, 0));
    std::copy_n(hits.begin(), count, results);
    return count;
}

void CO3duGLModelar::GetDepthToPoint3(HDC hdc, int x, int y, double& depth, OfuVector3& point) {
    if (!scene_) return;
    CO3duGLCurrent current(renderer_, hdc);
    if (!current) return;
    glPolygonMode(GL_FRONT, GL_FILL);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    // The view of the camera as it is now, which is the one the last frame or pick was drawn with.
    scene_->SetupCamera();
    GLdouble model[16], projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLdouble px = 0, py = 0, pz = 0;
    if (gluUnProject(x, viewport[3] - y, depth, model, projection, viewport, &px, &py, &pz) == GL_TRUE)
        point = OfuVector3(px, py, pz);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}
