// XLeaves, one shape of a part: its record, faces, material records, placement matrices, movement limits and
// parameter motions, and the face makers and paste services its builders use.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/foundation/bridge_services.h"
#include "app/foundation/date_time.h"
#include "app/foundation/material_record.h"
#include "app/scene/figure_record.h"

namespace kz::scene {

class XLeaf;
class XTrunk;
class XViewServices;
using kz::foundation::MaterialRecord;

constexpr int kParameterColumns = 45;

// A face's colour block as the shape keeps it: the bridge's material and the letter of the colour paste that set
// its colour ('C' keeps the colour when the record's colour changes).
struct ShapeMaterial {
    MaterialRecord material;
    std::int32_t paste_letter = 0;
    std::int32_t spare = 0;
};

struct MoveLimit {
    std::int32_t lower_set = 0;
    double lower = 0.0;
    std::int32_t upper_set = 0;
    double upper = 0.0;
};

// One column's timed motion, filled by the document's actions.
struct MotionSlot {
    kz::foundation::SystemTime start{};
    double duration_ms = 0.0;
    double from = 0.0;
    std::int32_t from_now = 0;  // take the column's value on the first step
    double to = 0.0;
    std::int32_t to_now = 0;
    std::int32_t active = 0;  // 0 idle, else the step count
    std::int32_t easing = 0;
};

// Round-shape parameters shared by the cylinder, cone and bent-cylinder builders.
struct SweepParameters {
    double bottom_width = 0.0, depth = 0.0, height = 0.0, top_width = 0.0, depth_ratio = 0.0;
    double dtop = 0.0, div = 0.0;
    double sweep = 360.0, start = 0.0, end = 360.0;
    double start_rad = 0.0, end_rad = 0.0;
    int partial = 0;
    double plan_area = 0.0, volume = 0.0;
    std::int32_t thick_mode = 0;
    double thick1 = 0.0, thick2 = 0.0;
};

// One cell of a grid surface (bent cylinder).
struct GridCell {
    std::int32_t skip = 0;
    std::int32_t face_code = 0;
    double corners[4][3] = {};
    double corner_normals[4][3] = {};
    double normal[3] = {};
    PasteEntry paste_copy{};  // shallow copy: texts stay with the record
    PasteEntry* paste = nullptr;
    ShapeMaterial material;
};

// The colours of consecutive polygons that share one material record: a shape's faces mostly do.
struct MaterialRun {
    ShapeMaterial material;
    std::int32_t first = 0;  // index of the run's first polygon
};

// A 4x4 matrix handed out by value: the matrices a shape works out when asked.
using Matrix16 = std::array<double, 16>;

// The matrices a part's base shape keeps: the part places it itself (XTrunk), so they cannot be worked out again
// from the record alone. A base shape's placement in its part is its placement (Q = P).
struct HeldPlacement {
    double P[16], O[16], P_inverse[16], O_inverse[16], L_inverse[16];
};

// How a builder's faces are made: for the model only (counted, handed to the bridge), as faces only (kept, the
// bridge left alone), or both.
enum class MakeMode : std::uint8_t { model, faces, both };
struct ShapeMaking {
    MakeMode mode = MakeMode::both;
    bool number_polygons = false;           // faces: number the polygons as the bridged build did
    int next_polygon = 0;                   // faces: the number the next polygon had
    std::vector<std::int32_t> letters;      // the paste letter of each polygon handed to the bridge
    std::vector<XLeaf*>* target = nullptr;  // where made faces go (faces, both)
};

class XLeaves : public kz::foundation::BridgeShape {
    struct FaceList;  // faces, owned

public:
    explicit XLeaves(XTrunk* owner);
    ~XLeaves() override;
    XLeaves(const XLeaves&) = delete;
    XLeaves& operator=(const XLeaves&) = delete;

    // --- Life cycle and build ---------------------------------------------------------------------------
    void ClearFaces();
    void ResetMatrices();
    int Build(const COBJECTA* record);
    void AddCommentLine(const char* text);
    void RefreshMaterials();
    void CopyTransparencyToMaterials();
    char* WriteLine(char* old_text, char separator);
    int DrawAxes(void* device_context, int mask, double length, int mode);

    // --- Placement ---------------------------------------------------------------------------------------
    void UpdateMatrix(const double* base, const double* base_inverse);
    void ComputePlacement();
    // Hangs this shape on `on` (null: on the part's base); ComputePlacement places the chain.
    void PlaceOn(XLeaves* on);
    void PushMatrixToModel();
    // The placement P (rotate y, x, z, then move, carried by the shape it hangs on), the origin O and their
    // inverses, L's inverse and the placement in the part Q = P . B: a part's base shape keeps what its part
    // set, any other shape works them out from its record, the shapes it hangs on and the base's L.
    Matrix16 P() const;
    Matrix16 O() const;
    Matrix16 P_inverse() const;
    Matrix16 O_inverse() const;
    Matrix16 L_inverse() const;
    Matrix16 Q() const;
    Matrix16 Q_inverse() const;
    // Room for the matrices a part sets on its base shape (identity until set).
    HeldPlacement* HoldPlacement();

    // --- Parameters, limits, motions ---------------------------------------------------------------------
    double GetParameter(int column);
    int SetParameter(int column, double value);
    void ClampParameter(int column);
    int ParseMoveLimits(const char* text);
    int AnimateParameters(const kz::foundation::SystemTime& now);
    void StopMotions();
    void AllocMotionTable();
    void AllocLimitTable();

    // --- Names -------------------------------------------------------------------------------------------
    void MakeUniqueName(const char* wanted);
    void EnsureUniqueName();
    void Rename(const char* new_name);

    // --- Faces -------------------------------------------------------------------------------------------
    // The faces as the last build made them. A build hands its polygons to the bridge and keeps only their
    // count: the faces are made again from the record the first time they are asked for, and kept from then on.
    std::vector<XLeaf*>& faces();
    // The same for a shape at hand as const: making the faces adds to what the shape keeps, never changes it.
    const std::vector<XLeaf*>& faces() const { return const_cast<XLeaves*>(this)->faces(); }
    int face_count() const;
    // Triangles of a fan over every face (points - 2 a face).
    int triangle_count() const;
    // The faces for one walk over them: the kept ones, or ones made for the walk and let go with it. A walk over
    // every part (the plan outline, the outline pick, an area sum) takes them so, and leaves the shapes as lean
    // as it found them.
    class FaceWalk {
    public:
        FaceWalk(FaceWalk&&) noexcept;
        FaceWalk& operator=(FaceWalk&&) noexcept;
        ~FaceWalk();
        std::vector<XLeaf*>::const_iterator begin() const { return list_->begin(); }
        std::vector<XLeaf*>::const_iterator end() const { return list_->end(); }
        int size() const { return static_cast<int>(list_->size()); }
        XLeaf* operator[](int i) const { return (*list_)[static_cast<std::size_t>(i)]; }
        // Whether the faces were made for this walk (and go with it).
        bool made() const { return made_ != nullptr; }

    private:
        friend class XLeaves;
        FaceWalk(std::unique_ptr<FaceList> made, const std::vector<XLeaf*>* list);
        std::unique_ptr<FaceList> made_;
        const std::vector<XLeaf*>* list_;
    };
    FaceWalk WalkFaces();
    // Whether the faces are kept now (asked for through faces(), or laid under a pasted drawing).
    bool holds_faces() const { return faces_ != nullptr; }
    // Sum of the faces' areas (made for the sum and let go when they are not kept).
    double surface();
    // Makes and keeps the faces now, before the record changes in a way the faces of the last build must not see.
    void KeepFaces();

    // --- Face makers -------------------------------------------------------------------------------------
    int AddFace(const double* points, int count, ShapeMaterial& material, const double* normals, PasteEntry* paste,
                std::int32_t face_code);
    int AddCapFace(const double* points, int count, ShapeMaterial& material, const double* normals, PasteEntry* paste,
                   std::int32_t face_code, const double* texture_points = nullptr, int texture_count = 0);
    void ReadSweepParameters(SweepParameters* out, int without_top);

    // --- Paste services ----------------------------------------------------------------------------------
    PasteEntry* FindFacePaste(std::int32_t face_code, int* cleared);
    int GetFaceMaterial(std::int32_t face_code, ShapeMaterial* material, PasteEntry** entry);
    int LoadPasteTexture(PasteEntry* entry, int option);
    PasteEntry* PrepareTextPaste(std::int32_t face_code, double default_size, double default_lift, double origin_x,
                                 int mode, double origin_y, double length, double height, int kind, int* cleared);
    static void MapTextureCoords(double* points, int count, const PasteEntry* entry);
    int AddVectorTexts();
    int PasteDrawingOnFace(PasteEntry* entry, int face_index, double depth);
    // Every drawing of the paste list whose ranges hold the face's code, once per such range.
    void PasteDrawingsOnFace(int face_index);
    int ZpolyToPoly();
    void ProfileVertexNormal(const double* points, int n, int closed, int index, const double* m1, double* out1,
                             const double* m2, double* out2);
    void FillGridCell(std::int32_t face_code, PasteEntry* paste, int skip, GridCell* cells, int index, const double* c0,
                      const double* c1, const double* c2, const double* c3);
    void AddGridFaces(GridCell* cells, int rows, int columns, int open);

    // --- Builders ----------------------------------------------------------------------------------------
    int MakeBox();
    int MakeBall();
    int MakeHankyuu();
    int MakeSui();
    int MakeCylinder();
    int MakeMagari();
    int MakePoly();
    int MakeHpoly();
    int MakeD3poly();
    int MakeKaiten();

    // --- What the bridge reads ---------------------------------------------------------------------------
    _OfuPosition* ModelHandle() override { return model; }
    void SetModelBounds(const double* minimum, const double* maximum, const double* centre) override;
    int HitFlag() override { return record ? record->hit_flag : 0; }
    const MaterialRecord* FaceMaterial(int index) override;
    std::uint64_t ItemTag() override { return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(owner)); }

    XViewServices* view() const;
    bool IsBaseShape() const;

    // --- Material records (one a polygon of the last build) ------------------------------------------------
    int material_count() const { return material_total_; }
    const ShapeMaterial* material(int index) const;

    // --- Stored points and what follows from them --------------------------------------------------------
    // A builder's base point, the half extent that is the shape's radius and the bottom and top of its
    // vertical axis, which stands at the base point's x and y.
    void SetStoredPoints(const double* base_local, const double* extreme_low, const double* extreme_high,
                         double axis_bottom, double axis_top);
    std::array<double, 3> base_point_world() const;
    double radius() const { return radius_; }
    // The axis's two points in the shape (e 0 bottom, 1 top) and in the world (the top raised by 1 when both
    // are the same), its unit direction and its length.
    std::array<double, 3> axis_local(int e) const;
    std::array<double, 3> axis_world(int e) const;
    std::array<double, 3> axis_direction() const;
    double axis_length() const;

    // --- Fields ------------------------------------------------------------------------------------------
    XTrunk* owner = nullptr;
    COBJECTA* record = nullptr;  // the shape's own, held in the shape
    XLeaves* anchor = nullptr;
    _OfuPosition* model = nullptr;
    MoveLimit* limits = nullptr;    // kParameterColumns entries once used
    MotionSlot* motions = nullptr;  // kParameterColumns entries once used
    std::int32_t index = 0;
    std::int32_t selection = -1;  // pen choice of the GDI face drawing
    std::int32_t visiting = 0;
    std::int32_t placement_valid = 1;
    // Kept for the document and view: the line number of the shape, the model's bounds in shape coordinates
    // (minimum, maximum).
    std::int32_t line_number = 0;
    double model_bounds[6] = {};
    double plan_area = 0.0, volume = 0.0, length = 0.0, height = 0.0;
    // Shape-local matrix: O . P . B, what the model is drawn with.
    double L[16];
    std::vector<char*> comment_lines;  // heap texts
    double base_point_local[3] = {};

private:
    COBJECTA own_record_;
    std::unique_ptr<FaceList> faces_;  // made when first asked for
    std::vector<MaterialRun> materials_;
    std::unique_ptr<HeldPlacement> held_;
    ShapeMaking* making_ = nullptr;  // while a builder runs under Build or for the faces
    std::int32_t face_total_ = 0, triangle_total_ = 0, material_total_ = 0;
    std::uint8_t bridged_build_ = 0;  // the last build handed its polygons to a bridge
    double radius_ = 0.0;
    double axis_bottom_ = 0.0, axis_top_ = 0.0;

    int RunBuilder();
    // Face making: where made faces go, the counts of a build and the paste letter of a polygon.
    std::vector<XLeaf*>* FaceTarget();
    void CountFace(int points);
    void NotePolygon(int polygon, const ShapeMaterial& material);
    XLeaf* MadeFace(int index);
    std::unique_ptr<FaceList> MakeFaces();
    bool Hung() const;
    Matrix16 OwnP() const;
    Matrix16 OwnP_inverse() const;
    Matrix16 BaseL() const;
    Matrix16 BaseL_inverse() const;
    void DeleteFaces();
};

// The record's colour block as a face material: packed colour, material factors, transparency and channels.
MaterialRecord record_color_block(const COBJECTA& record);

// Sweep, start and end of an arc on an ellipse (degrees); 1 for a partial arc, 0 for a full turn.
int elliptic_arc_angles(double sweep, double start, double a, double b, double* out_sweep, double* out_start,
                        double* out_end);
double polar_to_eccentric_angle(double a, double b, double degrees);

// The y, x, z angles (degrees) of the rotation part of a placement built with the ops y, x, z.
void decompose_yxz_angles(const double* m, double* rx, double* ry, double* rz);

}  // namespace kz::scene
