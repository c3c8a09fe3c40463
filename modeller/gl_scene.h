// CO3duGLScene: what one frame of the OpenGL modeller is drawn from besides the shapes: both cameras, eight
// lights, the shadow light and colour, the section plane and its cap colour, culling and the viewport.
#pragma once
#include <cstdint>

#include "modeller/o3du_records.h"
#include "modeller/o3du_win_types.h"

class CO3duGLModelar;
class CO3duGLStructure;

// A light as OpenGL is fed it: kind 1 positional, 0 directional (the opposite of OfuLight's type), and the
// direction stored pointing from the scene towards the light.
struct CO3duGLLightRecord {
    std::int32_t kind = 0;
    float diffuse[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float ambient[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float specular[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float position[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float direction[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    std::int32_t on = 0;
    float attenuation = 0.0f;

    void from_light(const OfuLight& light);
    void to_light(OfuLight& light) const;
};

class CO3duGLScene {
public:
    static constexpr int kLights = 8;

    CO3duGLScene(CO3duGLModelar* owner, CO3duGLStructure* structure);
    CO3duGLScene(const CO3duGLScene&) = delete;
    CO3duGLScene& operator=(const CO3duGLScene&) = delete;
    virtual ~CO3duGLScene() = default;

    // The fixed OpenGL state every context of the modeller starts from; reads the viewport back. Needs a current
    // context.
    int SetupGL();
    // Places and switches the eight lights for this frame; light 0 follows the camera as a headlight.
    void SetupLights();
    // View and projection of the current camera, then the viewport. False when the camera cannot be drawn yet.
    bool SetupCamera();
    // Multiplies the current matrix by the camera's projection; false when the camera cannot be drawn.
    bool MultProjection() const;
    // Eye and target of the camera in use.
    void view_points(OfuVector3& eye, OfuVector3& target) const;
    // Near and far distances of the camera in use.
    void depth_range(double& near_distance, double& far_distance) const;

    CO3duGLModelar* modeller;
    CO3duGLStructure* structure;
    _O3duCamera camera;
    std::int32_t pers_mode = 0;
    _OFUDRECT pers_window;
    _O3duAxoCamera axo_camera;
    CO3duGLLightRecord lights[kLights];
    std::int32_t cull_mode = 0;
    const float* background = nullptr;
    std::int32_t camera_mode = 0;
    CO3duGLLightRecord shadow_light;
    std::int32_t shadow_accuracy = 1;
    OfuColorValue shadow_color{0.1f, 0.1f, 0.1f, 0.5f};
    std::uint32_t section_switch = 0;  // GL_CLIP_PLANE0 when on
    OfuPlane section_plane;
    OfuColorValue cap_color{0.01f, 0.01f, 0.01f, 1.0f};
    _O3duViewport viewport;
    std::int32_t shadow_rebuild = 0;
    // World to light space (the light shining along -z) and back; what the shapes' volumes were last built with.
    OfuMatrix4x4 light_matrix = identity_matrix();
    OfuMatrix4x4 light_inverse = identity_matrix();
    double shadow_extrusion = 0.0;
    double shadow_floor[4] = {0.0, 0.0, 0.0, 0.0};  // see O3duShadowSettings::floor
};
