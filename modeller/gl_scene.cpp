// Scene defaults, the conversion between interface lights and OpenGL light records, and the per-frame camera and
// light set-up of the OpenGL modeller.
#include "modeller/gl_scene.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

#include "geometry/vector_math.h"
#include "modeller/camera/o3du_math_camera.h"

namespace {

void set_direction(CO3duGLLightRecord& light, float x, float y, float z) {
    light.direction[0] = x;
    light.direction[1] = y;
    light.direction[2] = z;
}

void copy4(float* to, const OfuColorValue& from) {
    to[0] = from.r;
    to[1] = from.g;
    to[2] = from.b;
    to[3] = from.a;
}

OfuColorValue color_of(const float* from) { return {from[0], from[1], from[2], from[3]}; }

// The parallel projection's window, centred on where the target appears in the view from the origin.
bool axonometric_screen(_O3duAxoCamera camera, double* left, double* right, double* bottom, double* top) {
    if (std::fabs(camera.window_height) < 1e-5) return false;
    _OFUDRECT rect;
    CO3duMathCamera::TargetToScreen(camera, rect);
    *left = rect.left;
    *right = rect.right;
    *bottom = rect.bottom;
    *top = rect.top;
    return true;
}

}  // namespace

void CO3duGLLightRecord::from_light(const OfuLight& light) {
    if (light.type == OFU_LIGHT_POSITIONAL) kind = 1;
    if (light.type == OFU_LIGHT_DIRECTIONAL) kind = 0;
    on = light.on;
    attenuation = light.attenuation;
    OfuVector3 d = light.direction;
    NormalizeVector3(d);
    set_direction(*this, static_cast<float>(-d.x), static_cast<float>(-d.y), static_cast<float>(-d.z));
    position[0] = static_cast<float>(light.position.x);
    position[1] = static_cast<float>(light.position.y);
    position[2] = static_cast<float>(light.position.z);
    copy4(diffuse, light.diffuse);
    copy4(ambient, light.ambient);
    copy4(specular, light.specular);
}

void CO3duGLLightRecord::to_light(OfuLight& light) const {
    light.type = kind == 1 ? OFU_LIGHT_POSITIONAL : OFU_LIGHT_DIRECTIONAL;
    light.diffuse = color_of(diffuse);
    light.ambient = color_of(ambient);
    light.specular = color_of(specular);
    light.position = OfuVector3(position[0], position[1], position[2]);
    light.direction = OfuVector3(-direction[0], -direction[1], -direction[2]);
    light.on = on;
    light.attenuation = attenuation;
}

CO3duGLScene::CO3duGLScene(CO3duGLModelar* owner, CO3duGLStructure* shapes) : modeller(owner), structure(shapes) {
    camera.eye = OfuVector3(0.0, -1.0, 0.0);
    camera.target = OfuVector3(0.0, 0.0, 0.0);
    camera.fov = 30.0;
    camera.near_distance = 10.0;
    camera.far_distance = 1000.0;
    camera.aspect = 1.0;
    axo_camera.window_width = 1000.0;
    axo_camera.window_height = 1000.0;

    const float third = 1.0f / 3.0f, two_thirds = 2.0f / 3.0f;
    lights[0].kind = 1;
    lights[0].on = 1;
    lights[0].attenuation = 0.0001f;
    set_direction(lights[0], -third, -two_thirds, -two_thirds);
    set_direction(lights[1], third, two_thirds, -two_thirds);
    set_direction(lights[2], -third, two_thirds, two_thirds);
    set_direction(lights[3], third, -two_thirds, two_thirds);
    set_direction(lights[4], -third, -two_thirds, -two_thirds);
    shadow_light = lights[1];

    const double len = std::sqrt(1.0 + 1.0 + 0.16);
    section_plane.a = 1.0 / len;
    section_plane.b = 1.0 / len;
    section_plane.c = -0.4 / len;
    section_plane.d = -(section_plane.a * 1010.0 + section_plane.b * 0.0 + section_plane.c * 100.0);
}

void CO3duGLScene::view_points(OfuVector3& eye, OfuVector3& target) const {
    eye = camera_mode == 1 ? axo_camera.eye : camera.eye;
    target = camera_mode == 1 ? axo_camera.target : camera.target;
}

void CO3duGLScene::depth_range(double& near_distance, double& far_distance) const {
    near_distance = camera_mode == 1 ? axo_camera.near_distance : camera.near_distance;
    far_distance = camera_mode == 1 ? axo_camera.far_distance : camera.far_distance;
}

int CO3duGLScene::SetupGL() {
    SetupLights();
    glEnable(GL_NORMALIZE);
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    GLint v[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, v);
    viewport = {v[0], v[1], v[2], v[3]};
    return 1;
}

void CO3duGLScene::SetupLights() {
    OfuVector3 eye, target;
    view_points(eye, target);
    CO3duGLLightRecord& head = lights[0];
    head.position[0] = static_cast<float>(eye.x);
    head.position[1] = static_cast<float>(eye.y);
    head.position[2] = static_cast<float>(eye.z);
    OfuVector3 back = eye - target;
    NormalizeVector3(back);
    set_direction(head, static_cast<float>(back.x), static_cast<float>(back.y), static_cast<float>(back.z));

    for (int i = 0; i < kLights; ++i) {
        CO3duGLLightRecord& light = lights[i];
        const GLenum id = GL_LIGHT0 + static_cast<GLenum>(i);
        light.position[3] = static_cast<float>(light.kind);
        light.direction[3] = static_cast<float>(light.kind);
        if (light.kind == 0) {
            const GLfloat p[4] = {light.direction[0], light.direction[1], light.direction[2], 0.0f};
            glLightfv(id, GL_POSITION, p);
        } else {
            const GLfloat p[4] = {light.position[0], light.position[1], light.position[2], 1.0f};
            glLightfv(id, GL_POSITION, p);
            glLightf(id, GL_LINEAR_ATTENUATION, light.attenuation);
        }
        glLightfv(id, GL_DIFFUSE, light.diffuse);
        glLightfv(id, GL_SPECULAR, light.specular);
        glLightfv(id, GL_AMBIENT, light.ambient);
        if (light.on)
            glEnable(id);
        else
            glDisable(id);
    }
}

bool CO3duGLScene::SetupCamera() {
    OfuVector3 eye, target;
    view_points(eye, target);
    const OfuVector3 d = target - eye;
    if (length(d) == 0.0) return false;  // no direction to look in
    OfuVector3 up(0.0, 0.0, 1.0);
    if (d.x == 0.0 && d.y == 0.0) up = OfuVector3(0.0, -d.z, 0.0);

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (camera_mode == 1)
        gluLookAt(0.0, 0.0, 0.0, d.x, d.y, d.z, up.x, up.y, up.z);
    else
        gluLookAt(eye.x, eye.y, eye.z, target.x, target.y, target.z, up.x, up.y, up.z);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const bool drawable = MultProjection();
    glViewport(viewport.x, viewport.y, viewport.width, viewport.height);
    glMatrixMode(GL_MODELVIEW);
    return drawable;
}

bool CO3duGLScene::MultProjection() const {
    if (camera_mode == 1) {
        double left = 0, right = 0, bottom = 0, top = 0;
        if (!axonometric_screen(axo_camera, &left, &right, &bottom, &top)) return false;
        glOrtho(left, right, bottom, top, axo_camera.near_distance, axo_camera.far_distance);
    } else if (pers_mode == 1) {
        const double n = camera.near_distance;
        glFrustum(n * pers_window.left, n * pers_window.right, n * pers_window.bottom, n * pers_window.top, n,
                  camera.far_distance);
    } else {
        gluPerspective(camera.fov, camera.aspect, camera.near_distance, camera.far_distance);
    }
    return true;
}
