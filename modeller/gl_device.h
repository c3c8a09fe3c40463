// CO3duGLDevice: the state of one drawing operation of the OpenGL modeller: its scene, the face materials go to,
// and the queue of shapes deferred to the translucent pass, in shape-list order.
#pragma once
#include <cstdint>
#include <vector>

#include "modeller/gl_draw_cache.h"
#include "modeller/gl_scene.h"
#include "modeller/gl_structure.h"

class CO3duGLRenderer;

class CO3duGLDevice {
public:
    CO3duGLDevice(CO3duGLScene* scene, const CO3duGLRenderer* renderer, const CO3duTextureTable* textures);
    CO3duGLDevice(const CO3duGLDevice&) = delete;
    CO3duGLDevice& operator=(const CO3duGLDevice&) = delete;
    virtual ~CO3duGLDevice() = default;

    // Draws one batch of the shape's draw form; in the opaque pass returns false, drawing nothing, for a batch
    // that must wait for the translucent pass (translucent material, or a texture with alpha).
    bool DrawOpaqueBatch(const CO3duGLEntity& entity, const CO3duGLBatch& batch);
    void DrawTranslucentBatch(const CO3duGLEntity& entity, const CO3duGLBatch& batch);
    // Whether the opaque pass would leave some of the shape to the translucent pass.
    bool waits_for_translucent_pass(const CO3duGLEntity& entity) const;
    // The pass put the line width back as it found it: the next set sends its own again.
    void forget_line_width() { line_width_ = -1.0f; }
    // Draws an item's batch in its frame, its vertex colours tracked as material; in a row of batches the colour
    // tracking stays on and a part's look is sent only where it differs from the one before.
    void DrawItemBatch(const O3duItemBatch& batch);
    // Ends a row of batches: colour tracking and the colour array off, as every other draw expects them.
    void end_item_batches();
    // The triangles of shapes' sets drawn so far, each time one is drawn, in a batch or on its own.
    std::uint64_t triangles_drawn() const { return triangles_; }

    CO3duGLScene* scene;
    std::uint32_t material_face;
    std::vector<CO3duGLEntity*> deferred;
    std::vector<_OfuPosition*> deferred_positions;

private:
    // Binds the batch's texture when it has a usable one.
    void begin_texture(const CO3duGLEntity& entity, const CO3duGLBatch& batch);
    void end_texture();
    void apply_material(const CO3duGLTrianglePolygons& set);
    void draw_arrays(const CO3duGLEntity& entity, const CO3duGLBatch& batch);

    // OpenGL validates its state again after every change, which costs more than many small draws; so only real
    // changes are sent: the line width when it differs, the texture switches only around textured sets.
    float line_width_ = -1.0f;
    bool texturing_ = false;
    bool batching_ = false;
    bool look_sent_ = false;
    O3duBatchLook look_;
    std::uint64_t triangles_ = 0;

    const CO3duGLRenderer* renderer_;
    const CO3duTextureTable* textures_;
};
