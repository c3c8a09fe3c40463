// CO3duGLModelar: the OpenGL implementation of the modeller interface: the shape list and texture table, the
// scene (cameras, lights, section plane, viewport) and the renderer (background and OpenGL context).
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <type_traits>
#include <typeinfo>
#include <vector>

#include "modeller/gl_draw_cache.h"
#include "modeller/gl_renderer.h"
#include "modeller/gl_scene.h"
#include "modeller/gl_structure.h"
#include "modeller/gl_view_volume.h"
#include "modeller/o3du_modelar.h"
#include "modeller/picking/gl_pick_index.h"

class CO3duGLDevice;
class O3duShadowBuilder;
class O3duShadowGroups;

// Whether the modeller class M draws every shape with the base hooks.
template <class M>
inline constexpr bool kKeepsBaseHooks = std::is_same_v<decltype(&M::DrawStart), decltype(&CO3duModelar::DrawStart)>&&
    std::is_same_v<decltype(&M::PreDraw), decltype(&CO3duModelar::PreDraw)>&&
        std::is_same_v<decltype(&M::DrawEnd), decltype(&CO3duModelar::DrawEnd)>;

class CO3duGLModelar : public CO3duModelar {
public:
    CO3duGLModelar();
    CO3duGLModelar(const CO3duGLModelar&) = delete;
    CO3duGLModelar& operator=(const CO3duGLModelar&) = delete;
    ~CO3duGLModelar() override;

    int Initialize(HDC hdc, _O3duViewport viewport) override;
    int Initialize(HDC hdc) override;
    void Finalize() override;
    HDC SetCurrent(HDC& hdc) override;
    HDC GetCurrent() override;
    void MoveShape(_OfuPosition* pos, OfuMatrix4x4& m) override;
    void RemoveShapeAt(_OfuPosition*& pos) override;
    void RemoveShapeAll() override;
    void MoveDepthToTail(_OfuPosition*& pos) override;
    void MoveDepthToHead(_OfuPosition*& pos) override;
    void GetPosArray(CO3duPosList& list) override;
    void GetCenterPoint(OfuVector3& center, int filter) override;
    void GetBoundingBox(OfuVector3& max, OfuVector3& min, int filter) override;
    void SetOffset(OfuVector3& offset) override;
    int HitTest(HDC hdc, int x, int y, _O3duSelect* results, int max) override;
    void GetDepthToPoint3(HDC hdc, int x, int y, double& depth, OfuVector3& point) override;
    void DrawModel(HDC& hdc) override;
    void DeviceSetting() override;
    void GetBkColor(OfuColorValue& color) override;
    void SetBkColor(const OfuColorValue& color) override;
    void SetCullMode(int mode) override;
    int GetCullMode() override;
    void DrawTo24DIBPixel(HDC& hdc, BYTE* buffer, int size, _OFURECT& rect) override;
    void GetCamera(_O3duCamera& camera) override;
    void SetCamera(const _O3duCamera& camera) override;
    int SetPersMode(int mode) override;
    int GetPersMode() override;
    void SetPersWindow(const _OFUDRECT& window) override;
    _OFUDRECT GetPersWindow() override;
    void GetAxoCamera(_O3duAxoCamera& camera) override;
    void SetAxoCamera(const _O3duAxoCamera& camera) override;
    int GetCameraMode() override;
    void SetCameraMode(int mode) override;
    void SetCameraForAllView_Low(int filter) override;
    void SetCameraForAllView_Hi(int filter) override;
    void GetViewport(_O3duViewport& viewport) override;
    void SetViewport(_O3duViewport& viewport) override;
    void ResetViewport() override;
    void GetLight(int index, OfuLight& light) override;
    void SetLight(int index, OfuLight light) override;
    void GetShadowLight(OfuLight& light) override;
    void SetShadowLight(OfuLight light) override;
    void SetShadowColor(OfuColorValue color) override;
    OfuColorValue GetShadowColor() override;
    int GetShadowAccuracy() override;
    void SetShadowAccuracy(int accuracy) override;
    void SetCliping(int on, OfuPlane plane, OfuColorValue cap_color) override;
    void GetCliping(int& on, OfuPlane& plane, OfuColorValue& cap_color) override;
    _OfuPosition* AddPrimitive(CO3duPrimitive& primitive) override;
    _OfuPosition* ChangePrimitive(_OfuPosition* pos, CO3duPrimitive& primitive, long flags) override;
    void GetPrimitive(_OfuPosition* pos, CO3duPrimitive& primitive, long flags) override;
    unsigned int GetLayer(_OfuPosition* pos) override;
    void SetLayer(_OfuPosition* pos, unsigned int layer) override;
    unsigned int AddTexture(_OfuBitmap& image) override;
    int ChangeTexture(unsigned int id, _OfuBitmap& image) override;
    void RemoveAllTexture() override;
    int GetTexture(unsigned int index, _OfuBitmap& image) override;
    int GetTexCount() override;
    void SetProp1(_OfuPosition* pos, int key, int value) override;
    int GetProp1(_OfuPosition* pos, int key, int& value) override;
    DWORD GetProp2(_OfuPosition* pos, void* key, DWORD key_length, void* buffer, DWORD buffer_length) const override;
    int SetProp2(_OfuPosition* pos, void* key, DWORD key_length, void* value, DWORD value_length) override;
    int RemoveAtProp(_OfuPosition* pos, void* key, DWORD key_length) override;
    void SetProp3(_OfuPosition* pos, int key, std::uint64_t value) override;
    int GetProp3(_OfuPosition* pos, int key, std::uint64_t& value) override;
    void GetMatrix(_OfuPosition* pos, OfuMatrix4x4& m) override;
    void SetMatrix(_OfuPosition* pos, OfuMatrix4x4& m) override;
    void GetTexMatrix(_OfuPosition* pos, OfuMatrix4x4& m) override;
    void SetTexMatrix(_OfuPosition* pos, OfuMatrix4x4& m) override;
    void MemDCToBitmap(BYTE* pixels, int size, _OFURECT& rect, HDC hdc) override;

    // The shape's draw mode, -1 for a handle without entity.
    long GetDrawMode(_OfuPosition*& pos);
    void SetDrawMode(_OfuPosition*& pos, long mode);

    // Read access for the parts of the library built on this modeller (picking, shadows, fitting, file writers).
    CO3duGLScene* scene() const { return scene_.get(); }
    const CO3duGLStructure& structure() const { return structure_; }
    CO3duGLRenderer& renderer() { return renderer_; }
    // What the frames draw from while the hooks are the base ones.
    const O3duDrawCache& draw_cache() const { return cache_; }
    // The triangles of the shapes' triangle, strip and fan sets that the last frame drew, counted as often as they
    // were drawn (the translucent pass draws its shapes twice), in a batch of their item or on their own; the
    // section caps and shadow volumes are not counted. 0 before the first frame.
    std::uint64_t TrianglesDrawnLastFrame() const { return triangles_last_frame_; }
    // The triangles a frame that drew every shown shape once, whole, would count there: what a frame holding all
    // of the scene in sight draws at the least.
    std::uint64_t TrianglesOfShownShapes();
    // The shadow-rebuild flag of one shape (-1 for a foreign handle).
    int GetShadowRebuild(_OfuPosition* pos) const;
    // Shadows counted from every lit triangle's three walls instead of each shape's walls left once those shared
    // in opposite directions cancel: the reference the tests hold the counts to. Rebuilds every volume.
    void set_every_prism_shadows(bool on);
    // Night: the shadow light comes from below the world's ground, so every surface a frame draws lies in shadow.
    // The frames then build no volumes, give back those held as switching the light off does, darken every drawn
    // pixel as a shadowed one and draw the model from its item batches; day again builds the volumes anew. The
    // shadow light of a modeller never told it is night casts from wherever it stands.
    void set_night(bool night);
    // The bytes every shape's shadow volumes hold.
    std::size_t shadow_volume_bytes() const;
    // The draws of shadow walls the last frame made (each shape's or batch's increments and decrements, or every
    // shape's at once where the stencil count wraps). 0 for a frame without shadows.
    std::uint64_t shadow_wall_draws_last_frame() const { return shadow_wall_draws_last_frame_; }
    // The passes the last frame counted its shadow walls in: one where every shape's walls count at once, else a
    // batch's, a group's or a shape's each. 0 for a frame without shadows.
    std::uint64_t shadow_count_passes_last_frame() const { return shadow_count_passes_last_frame_; }
    // Whether shadows may count with a wrapping stencil where the context has one (the default); off, they count
    // as a context without it does.
    void set_shadow_count_wraps(bool allowed) { shadow_count_wraps_ = allowed; }

protected:
    // The opaque, translucent and section-cap passes of one frame into the current context.
    void DrawScene();
    // Called from the constructor of a derived modeller that keeps the base hooks: its picks may then pass over the
    // shapes far from the pixel without asking the hooks, and its frames draw from the draw cache. It holds for
    // objects of exactly that class, and only while the class keeps the base hooks.
    template <class Derived>
    void keep_base_hooks(const Derived*) {
        if constexpr (kKeepsBaseHooks<Derived>) plain_hooks_ = &typeid(Derived);
    }

private:
    CO3duGLEntity* entity_of(const _OfuPosition* pos) const { return structure_.entity_of(pos); }
    // Held over a change of the shape's matrix, box, kind or draw mode, so the picks' index follows it.
    O3duPickIndex::Change placing(const CO3duGLEntity& entity) { return {pick_index_, &entity}; }
    // Window pixel format, scene set-up and texture upload on a fresh context; 0 (scene deleted) on failure.
    int setup_context(HDC hdc, const _O3duViewport* viewport);
    // Clears colour, depth and stencil and draws the scene into the current context.
    void clear_and_draw();
    void draw_opaque(CO3duGLDevice& device, const O3duViewVolume& window);
    // Whether frames draw from the draw cache: only while the hooks are the base ones, which draw every shape once
    // as it is.
    bool draws_from_cache() const;
    void draw_opaque_shapes(CO3duGLDevice& device, const O3duViewVolume& window);
    void draw_opaque_cached(CO3duGLDevice& device, const O3duViewVolume& window);
    void draw_opaque_shape(CO3duGLDevice& device, const O3duViewVolume& window, _OfuPosition* node,
                           CO3duGLEntity& entity);
    void draw_members_by_shape(CO3duGLDevice& device, const O3duViewVolume& window, const O3duDrawEntry& entry);
    void draw_translucent(CO3duGLDevice& device, const O3duViewVolume& window);
    void draw_section_caps(const O3duViewVolume& window);
    bool draw_shape(CO3duGLDevice& device, CO3duGLEntity& entity, bool translucent);
    void draw_cap_geometry(CO3duGLEntity& entity);
    void push_window_projection();
    void pop_window_projection();
    void note_passes(CO3duGLEntity& entity, int passes, const OfuMatrix4x4& saved);
    void set_aspect_from_viewport();

    // Bounds and fitting: every vertex of the kept sets of the shapes DrawStart accepts, pass by pass.
    void visit_fitted_vertices(int filter, const std::function<void(const OfuVector3&)>& visit);

    // Picking.
    void setup_pick_scene();
    void end_pick_scene();
    void draw_pick_geometry(const CO3duGLEntity& entity);
    // The view volume of the pixel a pick reads, widened by `margin` pixels, from the matrices now set.
    O3duViewVolume pick_volume(int x, int row, double margin) const;
    // The shapes a pick visits, in drawing order: those whose box can reach the pixel's volume widened by
    // `margin` pixels, or all of them when the hooks are a derived modeller's.
    const std::vector<O3duShapeRef>& pick_shapes(int x, int row, double margin);
    int stencil_pick(int x, int row, _O3duSelect& hit);
    int selection_pick(int x, int row, std::vector<_O3duSelect>& hits);
    std::vector<_O3duSelect> exact_depths(const std::vector<_O3duSelect>& hits, int x, int row);

    // Shadows.
    void draw_shadows();
    void refresh_shadow_volumes();
    void build_shadow_volumes(O3duShadowBuilder& builder, CO3duGLEntity& entity, const OfuMatrix4x4& model_matrix);
    // Whether the set casts a shadow: opaque, drawn as triangles, its texture (if any) not a 32-bit one.
    bool set_casts(const CO3duGLTrianglePolygons& set) const;
    // What of the shape casts: whether it is a filled shape of the model (not drawn in window coordinates), then
    // each set's set_casts.
    std::vector<bool> casting_sets(const CO3duGLEntity& entity) const;
    void count_shadow_volumes();
    // At night: marks in the stencil every pixel where something was drawn nearer than the background's quad.
    void mark_drawn_pixels();
    // One quad over the whole viewport, in window coordinates, at the fraction of the depth range given (0 the near
    // plane, 1 the far one).
    void fill_viewport(double fraction);
    // Frees every shape's volumes, marking each to be rebuilt, and hands the heap's free pages back when any were
    // held.
    void release_shadow_volumes();

    CO3duGLStructure structure_;
    std::unique_ptr<CO3duGLScene> scene_;
    CO3duGLRenderer renderer_;
    O3duPickIndex pick_index_;
    O3duDrawCache cache_;
    const std::type_info* plain_hooks_ = &typeid(CO3duGLModelar);
    std::uint64_t triangles_last_frame_ = 0;
    std::uint64_t shadow_wall_draws_last_frame_ = 0;
    std::uint64_t shadow_count_passes_last_frame_ = 0;
    bool every_prism_shadows_ = false;
    bool night_ = false;
    bool shadow_count_wraps_ = true;
    // The most volumes a line along the light may cross, as the volumes were last built (O3duShadowDepth).
    std::uint32_t shadow_depth_ = 0;
    // Changes whenever some shape's volumes were built anew; the groups of a deep frame, kept while it stays.
    std::uint64_t shadow_volumes_built_ = 0;
    std::unique_ptr<O3duShadowGroups> shadow_groups_;
    // The volumes' builder, whose scratch serves one rebuild after another (a step of the sun rebuilds every shape).
    std::unique_ptr<O3duShadowBuilder> shadow_builder_;
};

// Picks draw inside a one-pixel scissor box; switched off, the same picks fill the whole viewport (for the tests
// that show both give one answer).
void set_pick_scissor_for_testing(bool on);
// Switched off, picks visit every shape instead of those the index finds near the pixel, for the tests and
// benchmarks that compare both.
void set_pick_index_for_testing(bool on);
