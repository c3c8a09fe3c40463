// The stencil shadow pass of a frame: volumes refreshed where their light, matrix or geometry changed, counted
// into the stencil buffer (z-pass, with one added everywhere for each prism that holds the eye), and the counted
// pixels darkened by one quad in the shadow colour.
#include <GL/gl.h>

#include <cstring>

#include "geometry/shared_math.h"
#include "modeller/gl_modelar.h"
#include "modeller/gl_passes.h"
#include "modeller/gl_shadow_volumes.h"
#include "modeller/gl_state.h"
#include "modeller/o3du_math_matrix.h"

namespace {

bool same_matrix(const OfuMatrix4x4& a, const OfuMatrix4x4& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void draw_volumes(const CO3duShadowVolumes& volumes) {
    if (volumes.triangles.empty()) return;
    glVertexPointer(3, GL_FLOAT, 0, volumes.vertices.data());
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(volumes.triangles.size()), GL_UNSIGNED_INT,
                   volumes.triangles.data());
}

// Whether the eye (light space) stands inside the prism: below its lit triangle and within it seen from the light.
bool eye_in_prism(const float* strip, const OfuVector3& eye) {
    const float* a = strip + 3;
    const float* b = strip + 9;
    const float* c = strip + 15;
    const OfuVector3 ab(b[0] - a[0], b[1] - a[1], b[2] - a[2]), ac(c[0] - a[0], c[1] - a[1], c[2] - a[2]);
    const OfuVector3 normal = cross(ab, ac);
    if (normal.z <= 0.0) return false;
    if (dot(normal, OfuVector3(eye.x - a[0], eye.y - a[1], eye.z - a[2])) >= 0.0) return false;
    const double x[3] = {a[0], b[0], c[0]}, y[3] = {a[1], b[1], c[1]};
    return PointInTriangleMask(x, y, eye.x, eye.y) == 0;
}

}  // namespace

void CO3duGLModelar::build_shadow_volumes(CO3duGLEntity& entity, const OfuMatrix4x4& model_matrix) {
    if (entity.kind == 1) return;
    OfuMatrix4x4 to_light = model_matrix;
    MultiplyMatrix4x4(to_light, scene_->light_matrix);
    O3duShadowSettings settings;
    settings.accuracy = scene_->shadow_accuracy;
    settings.cull_mode = scene_->cull_mode;
    settings.extrusion = scene_->shadow_extrusion;
    for (const CO3duGLTrianglePolygons set : entity.sets()) {
        bool translucent_texture = false;
        const int texture = set.texture_number();
        if (texture >= 1 && texture <= structure_.textures.GetSize())
            translucent_texture = structure_.textures[texture - 1].info_header.biBitCount == 32;
        if (casts_shadow(set, translucent_texture))
            add_shadow_volumes(set, to_light, settings, entity.outline_volumes_to_fill(),
                               entity.prism_volumes_to_fill());
    }
}

void CO3duGLModelar::refresh_shadow_volumes() {
    CO3duGLScene& scene = *scene_;
    const float* d = scene.shadow_light.direction;
    OfuMatrix4x4 light = identity_matrix(), inverse = identity_matrix();
    MakePlaneToXYMatrix(OfuVector3(d[0], d[1], d[2]), OfuVector3(0, 0, 0), light);
    InverseMatrix4x4(light, inverse);
    double near_distance = 0.0, far_distance = 0.0;
    scene.depth_range(near_distance, far_distance);
    const double extrusion = scene.camera_mode == 1 ? far_distance - near_distance : far_distance;
    // Volumes are only as good as the light and reach they were built with.
    if (!same_matrix(light, scene.light_matrix) || extrusion != scene.shadow_extrusion) scene.shadow_rebuild = 1;
    scene.light_matrix = light;
    scene.light_inverse = inverse;
    scene.shadow_extrusion = extrusion;
    const bool all = scene.shadow_rebuild != 0;
    scene.shadow_rebuild = 0;
    for (_OfuPosition* node = structure_.head(); node; node = node->next) {
        _OfuPosition* pos = node;
        CO3duGLEntity& entity = *node->entity;
        if (!(all || entity.shadow_rebuild) || !DrawStart(pos)) continue;
        entity.shadow_rebuild = 0;
        entity.clear_shadow_volumes();
        if ((entity.draw_mode & (O3DU_DRAW_HIDDEN | O3DU_DRAW_NO_SHADOW)) || entity.polygon_mode != GL_FILL) {
            DrawEnd(pos, 0);
            continue;
        }
        const OfuMatrix4x4 saved = entity.model_matrix;
        const int passes = draw_passes(*this, pos, entity.model_matrix, [&] {
            build_shadow_volumes(entity, entity.model_matrix);
            return true;
        });
        DrawEnd(pos, passes);
        restore_matrix(entity.model_matrix, saved);
    }
}

void CO3duGLModelar::count_shadow_volumes() {
    CO3duGLScene& scene = *scene_;
    const _O3duViewport& v = scene.viewport;
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glDepthMask(GL_FALSE);
    glStencilFunc(GL_ALWAYS, 1, ~0u);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glEnableClientState(GL_VERTEX_ARRAY);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glMultMatrixd(&scene.light_inverse.m[0][0]);
    const bool perspective = scene.camera_mode == 0;
    OfuVector3 eye = scene.camera.eye;
    TransformPointByMatrix4x4(scene.light_matrix, eye);
    const auto whole_viewport = [&](double depth) {
        push_window_projection();
        glBegin(GL_TRIANGLE_STRIP);
        glVertex3d(0.0, 0.0, depth);
        glVertex3d(v.width, 0.0, depth);
        glVertex3d(0.0, v.height, depth);
        glVertex3d(v.width, v.height, depth);
        glEnd();
        pop_window_projection();
    };
    for (_OfuPosition* node = structure_.head(); node; node = node->next) {
        const CO3duGLEntity& entity = *node->entity;
        if ((entity.draw_mode & O3DU_DRAW_HIDDEN) || entity.kind == 1) continue;
        const CO3duShadowVolumes& volumes =
            scene.shadow_accuracy == 1 ? entity.outline_volumes() : entity.prism_volumes();
        glStencilOp(GL_KEEP, GL_KEEP, GL_INCR);
        glFrontFace(GL_CW);
        if (perspective) {
            // z-pass counts miss the prisms the eye itself stands in: each adds one to every pixel.
            const std::vector<float>& prisms = entity.prism_volumes().vertices;
            for (std::size_t at = 0; at + 24 <= prisms.size(); at += 24) {
                if (!eye_in_prism(&prisms[at], eye)) continue;
                glDisable(GL_CULL_FACE);
                glDisable(GL_DEPTH_TEST);
                whole_viewport((scene.camera.far_distance - scene.camera.near_distance) * 0.5);
                glEnable(GL_DEPTH_TEST);
                glEnable(GL_CULL_FACE);
            }
        }
        draw_volumes(volumes);
        glStencilOp(GL_KEEP, GL_KEEP, GL_DECR);
        glFrontFace(GL_CCW);
        draw_volumes(volumes);
    }
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    // Where nothing was drawn the count means nothing: the background is never in shadow.
    double near_distance = 0.0, far_distance = 0.0;
    scene.depth_range(near_distance, far_distance);
    glStencilOp(GL_KEEP, GL_KEEP, GL_ZERO);
    glDisable(GL_CULL_FACE);
    whole_viewport((far_distance - near_distance) * 0.99999);
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CCW);
    glDisableClientState(GL_VERTEX_ARRAY);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glStencilFunc(GL_ALWAYS, 0, 1);
}

void CO3duGLModelar::draw_shadows() {
    O3duPassScope pass(O3duPass::shadow);
    refresh_shadow_volumes();
    // Culling, depth test, texturing and the stencil settings serve the counting and darkening only.
    O3duKeptState kept(O3duKeptState::cull | O3duKeptState::depth_test | O3duKeptState::stencil |
                       O3duKeptState::texture);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glEnable(GL_STENCIL_TEST);
    count_shadow_volumes();
    glDepthMask(GL_FALSE);
    const OfuColorValue& c = scene_->shadow_color;
    glColor4f(c.r, c.g, c.b, c.a);
    glStencilFunc(GL_NOTEQUAL, 0, ~0u);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    const _O3duViewport& v = scene_->viewport;
    push_window_projection();
    glBegin(GL_TRIANGLE_STRIP);
    glVertex3d(0.0, 0.0, 0.0);
    glVertex3d(v.width, 0.0, 0.0);
    glVertex3d(0.0, v.height, 0.0);
    glVertex3d(v.width, v.height, 0.0);
    glEnd();
    pop_window_projection();
    glDepthMask(GL_TRUE);
    glDisable(GL_STENCIL_TEST);
    glEnable(GL_LIGHTING);
}
