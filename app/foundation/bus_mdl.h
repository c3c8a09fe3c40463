// CBusMDL, the model bridge: owns the application's modeller, gathers a shape's faces and strokes into one
// modeller primitive, draws, renders into pixels, picks, and makes the ground grid and the axis marker.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "app/foundation/material_record.h"
#include "app/foundation/text_label.h"
#include "modeller/gl_modelar.h"
#include "platform/crt/global_memory.h"

namespace kz::platform {
class Bitmap;
}

namespace kz::foundation {

struct ResourceModule;
class BridgeServices;
class BridgeShape;
class CBusMDL;
struct EyeRecord;

// The application's modeller: the OpenGL modeller with a pointer back to the bridge that owns it.
class sub_CO3duGLModelar : public CO3duGLModelar {
public:
    sub_CO3duGLModelar() { keep_base_hooks(this); }
    ~sub_CO3duGLModelar() override;
    CBusMDL* bridge = nullptr;
};

// Per-shape properties the bridge keeps in the modeller.
enum BridgeProperty : int {
    kPropShape = 1,                 // 64-bit: the BridgeShape the model was built from
    kPropFaceSets = 2,              // number of face sets ahead of the polyline sets
    kPropTransparency = 3,          // 0 when transparency >= 0.999, else -1
    kPropPickControl = 4,           // 0 always pickable, 1 never, -1 while visible
    kPropItem = kO3duItemProperty,  // 64-bit: the item of the shape, which lets the modeller batch its shapes
};

// Part bits of ApplyMaterialRecord / ApplyObjectColors.
enum MaterialPart : int { kPartAlpha = 1, kPartSpecular = 2, kPartDiffuse = 4, kPartAmbient = 8, kPartAll = 15 };

class CBusMDL {
public:
    explicit CBusMDL(BridgeServices* view);
    virtual ~CBusMDL();
    CBusMDL(const CBusMDL&) = delete;
    CBusMDL& operator=(const CBusMDL&) = delete;

    // --- Core: device, drawing, pixels, picking, viewport -------------------------------------------------
    void InitDevice(HDC hdc);
    void DrawModel(HDC hdc);
    // Draws the current viewport into a caller's bottom-up 24-bit buffer of `size` bytes.
    void RenderToPixels(BYTE* buffer, int size);
    // The view rendered into a new packed DIB; background -1 keeps the modeller's background colour.
    kz::crt::GlobalHandle RenderToDib(int width, int height, std::int32_t background);
    // Window point packed as x in the low and y in the high 32 bits.
    _OfuPosition* PickShapeAt(std::uint64_t point, double* hit_point);
    _OfuPosition* HitTestShape(std::uint64_t point);
    void UpdateViewport(const EyeRecord& eye);

    // --- Shape model building ------------------------------------------------------------------------------
    int AddPolygon(const double* points, int n, const MaterialRecord& material, const double* normals,
                   const double* texcoords, std::uint32_t texture_mode);
    // Makes room for one more polyline; returns the open entry's point capacity.
    int ReservePolylines();
    // The open polyline (the one at index polyline_count): append its points, set its look, then close it.
    PolylineEntry& OpenPolyline();
    void ClosePolyline();
    _OfuPosition* CommitPolygons(BridgeShape* leaves);
    void FreePolygonBuffers();
    void ApplyMaterialRecord(_OfuMaterial& material, const MaterialRecord& record, int bits) const;
    int ApplyObjectColors(BridgeShape* leaves, const MaterialRecord* record, int bits);
    int SetTransparency(_OfuPosition* shape, double transparency);
    void SetFaceDrawMode(_OfuPosition* shape, int style, int width);
    void SetShapeMatrix(_OfuPosition* shape, const OfuMatrix4x4& matrix);
    int SetShapeVisible(_OfuPosition* shape, int visible);
    long SetDrawModeBit8(_OfuPosition* shape, int on);
    void SetOpacityProps(_OfuPosition* shape, double transparency, int hit_flag);
    int SetBlendProps(_OfuPosition* shape, int transparency_prop, int pick_prop);
    int RemoveShape(_OfuPosition* shape);

    // --- Generated shapes ----------------------------------------------------------------------------------
    _OfuPosition* AddGroundGrid(std::uint32_t color, int axis_level);
    _OfuPosition* AddAxisMarker(double side, double height, std::uint32_t color, double transparency,
                                double axis_length, std::uint32_t x_color, std::uint32_t y_color, std::uint32_t z_color,
                                double line_width);

    // --- Texture table and images (bus_mdl_textures.cpp, bus_mdl_images.cpp) ------------------------------
    void GrowTextureTable();
    // 0 when found (the entry moves to index 0), -1 when absent.
    int LookupTexture(const char* name);
    // Index of the name: 0 when it was present, else the new last index.
    int AddTextureName(const char* name);
    // Modeller texture id of an image file (0 when it cannot be one, and remembered as such); with reload 1 a
    // file whose stamp changed is read again.
    int LoadTexture(const char* path, int reload);
    void RemoveAllTextures();
    // Texture id of a bitmap resource of the module (null: the program's); -1 when missing, 0 without modeller.
    int LoadResourceTexture(const char* name, const ResourceModule* module);
    kz::crt::GlobalHandle LoadImageFile(const char* path);
    int LoadImageToBitmap(const char* path, _OfuBitmap& bitmap);
    // Consumes the DIB.
    int DibToBitmap(kz::crt::GlobalHandle dib, _OfuBitmap& bitmap);
    kz::crt::GlobalHandle GdipBitmapToDib(const kz::platform::Bitmap& bitmap);
    // Frees the DIB it is given when it returns a new one.
    kz::crt::GlobalHandle ScaleDibToPow2(kz::crt::GlobalHandle dib);
    // Consumes the DIB; 1 when the file was written.
    int WriteBmpFile(const char* path, kz::crt::GlobalHandle dib);
    // The DIB stays the caller's; transparent is a COLORREF or -1. 1 when the file was written.
    int WritePngFile(const char* path, kz::crt::GlobalHandle dib, std::int32_t transparent);
    // The mesh file as the one mesh shape; `keep_going` is asked while it is read (false: what was read stays).
    void LoadMeshFile(const char* path, const std::function<bool()>& keep_going = {});

    // --- Text labels and text textures (bus_mdl_labels.cpp, bus_mdl_text_textures.cpp) -------------------
    int TextLabelCommand(const char* command);
    void ResetTextLabels();
    void InitTextLabels();
    int RebuildTextLabel(int slot, _O3duViewport* viewport);
    int ParseTextTextureSpec(const char* spec, TextLabel& record);
    int CreateTextTexture(const char* spec);
    int CreateTextTextureGdip(const TextLabel& record, const char* spec);
    int FindTextTexture(const char* spec);

    // --- Vector text in the stroke font (bus_mdl_vector_text.cpp) --------------------------------------------
    // Lays the text out as segments into a new polyline and returns its index: r is the glyph size within its
    // cell, (x0, y0, z) the first character's cell corner, h the character height (0 or less: glyphs flipped for a
    // y-downward system, |h| used), w the full-width advance (half of it for single-byte characters), a the extra
    // advance per character (times r), d the step to the next line ("__" in the text starts one). Every point is
    // placed by rotating about Y, X and Z by the angle vector (degrees), then moving by the move vector (either may
    // be null). With mode 1 and leader points (start x, y, z, end x, y, z) one more segment follows, unplaced.
    int LayoutVectorText(const char* text, double r, double x0, double y0, double z, double h, double w, double a,
                         double d, const double* move, const double* angles, int mode, const double* leader);
    // A "[lumfont=" paste text (fields after the 9-byte tag, separated by ':', TAB or ',') drawn into a polyline
    // with its colour, line width and transparency (the object's when it gives none): 0 when it drew, 1 when there
    // was nothing to draw.
    int AddVectorText(const char* paste, double transparency);

    // --- Fields ---------------------------------------------------------------------------------------------
    std::uint64_t gdiplus_token = 0;
    std::int32_t device_dirty = 1;  // re-initialise the modeller on the device before the next draw
    BridgeServices* view = nullptr;
    std::unique_ptr<sub_CO3duGLModelar> modeller;
    HDC device_context = nullptr;
    std::int32_t frame_count = 0;
    std::int32_t texture_count = 0;
    std::int32_t texture_capacity = 0;
    char** texture_names = nullptr;
    std::uint32_t* texture_ids = nullptr;
    std::int32_t* texture_stamps = nullptr;
    double ambient_factor = 1.0;
    double diffuse_factor = 1.0;
    double specular_level = 1.0;
    double last_draw_time = 0.0;
    std::int32_t polyline_count = 0;
    std::vector<PolylineEntry> polylines;  // polylines[polyline_count] is the open entry once reserved
    std::uint32_t primitive_kind = 0;
    std::vector<PolygonBufferEntry> polygons;
    TextLabel labels[16];
    _OfuPosition* mesh_shape = nullptr;

private:
    std::vector<PolygonBufferEntry> spare_polygons_;  // freed entries whose arrays the next faces fill
    void set_default_scene();
    void set_unpickable(_OfuPosition* shape);
    int replace_texture(std::uint32_t id, _OfuBitmap& bitmap);
    int register_texture(const char* name, _OfuBitmap& bitmap, std::int32_t stamp);
};

// 1 - t clamped to 0..1, with t of 0.001 or less counting as 0.
float opacity_of(double transparency);
// Property 3 and 4 values for a transparency and a hit flag.
int transparency_prop(double transparency);
int pick_prop(double transparency, int hit_flag);

}  // namespace kz::foundation
