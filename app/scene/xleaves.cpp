// XLeaves' life cycle, the build dispatch with what follows every builder (limits, the bridge model, materials,
// part colour and transparency, surface), the material records, the shape's line and its axes.
#include "app/scene/xleaves.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "app/foundation/bus_mdl.h"
#include "app/foundation/estring.h"
#include "app/foundation/eye_record.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/matrix_ops.h"
#include "app/foundation/small_vector_math.h"
#include "app/foundation/view_projection.h"
#include "app/scene/figure_text.h"
#include "app/scene/view_services.h"
#include "app/scene/xleaf.h"
#include "app/scene/xtrunk.h"
#include "platform/device_context.h"

namespace kz::scene {

using namespace kz::foundation;

namespace {

constexpr int kTimingBuild = 14;
constexpr int kScreenPartFlag = 8;
constexpr int kColorParts = kPartDiffuse | kPartAmbient | kPartSpecular;

}  // namespace

MaterialRecord record_color_block(const COBJECTA& r) {
    MaterialRecord m;
    m.color = r.packed_color;
    m.ambient = r.ambient;
    m.diffuse = r.diffuse;
    m.specular = r.specular;
    m.transparency = r.trans;
    m.red = r.red;
    m.green = r.green;
    m.blue = r.blue;
    return m;
}

struct XLeaves::FaceList {
    std::vector<XLeaf*> list;  // owned
    FaceList() = default;
    ~FaceList() {
        for (XLeaf* face : list) delete face;
    }
    FaceList(const FaceList&) = delete;
    FaceList& operator=(const FaceList&) = delete;
};

namespace {

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool same_material(const ShapeMaterial& a, const ShapeMaterial& b) {
    const MaterialRecord &x = a.material, &y = b.material;
    return x.color == y.color && x.texture == y.texture && a.paste_letter == b.paste_letter && a.spare == b.spare &&
           same_bits(x.ambient, y.ambient) && same_bits(x.diffuse, y.diffuse) && same_bits(x.specular, y.specular) &&
           same_bits(x.transparency, y.transparency) && same_bits(x.red, y.red) && same_bits(x.green, y.green) &&
           same_bits(x.blue, y.blue);
}

bool pastes_drawing(const COBJECTA& r) {
    for (int i = 0; i < r.paste_count && r.paste_entries; ++i)
        if (r.paste_entries[i].kind == 1) return true;
    return false;
}

}  // namespace

XLeaves::XLeaves(XTrunk* owner_in)
    : owner(owner_in), record(&own_record_), own_record_(nullptr, owner_in ? owner_in->view : nullptr, owner_in) {
    XViewServices* v = owner ? owner->view : nullptr;
    anchor = owner && !owner->parts.empty() ? owner->parts[0] : nullptr;
    ResetMatrices();
    if (v) v->MarkTrunkChanged(owner);
    placement_valid = 1;
}

XLeaves::~XLeaves() {
    ClearFaces();
    for (char*& line : comment_lines) line = free_and_null(line);
    delete[] motions;
    delete[] limits;
}

XViewServices* XLeaves::view() const { return owner ? owner->view : nullptr; }

bool XLeaves::IsBaseShape() const { return !owner || owner->base() == this; }

void XLeaves::DeleteFaces() {
    faces_.reset();
    face_total_ = triangle_total_ = 0;
}

void XLeaves::ClearFaces() {
    XViewServices* v = view();
    CBusMDL* bridge = v ? v->Bridge() : nullptr;
    if (bridge && model) bridge->RemoveShape(model);
    model = nullptr;
    DeleteFaces();
}

void XLeaves::ResetMatrices() {
    model = nullptr;
    identity_matrix4(L);
    if (held_)
        for (double* m : {held_->P, held_->O, held_->P_inverse, held_->O_inverse, held_->L_inverse})
            identity_matrix4(m);
    placement_valid = 0;
}

HeldPlacement* XLeaves::HoldPlacement() {
    if (!held_) {
        held_ = std::make_unique<HeldPlacement>();
        for (double* m : {held_->P, held_->O, held_->P_inverse, held_->O_inverse, held_->L_inverse})
            identity_matrix4(m);
    }
    return held_.get();
}

int XLeaves::RunBuilder() {
    switch (record->kind) {
    case kKindBox: return MakeBox();
    case kKindBall: return MakeBall();
    case kKindHankyuu: return MakeHankyuu();
    case kKindSui: return MakeSui();
    case kKindCylinder: return MakeCylinder();
    case kKindPoly: return MakePoly();
    case kKindHpoly: return MakeHpoly();
    case kKindZpoly: return ZpolyToPoly() ? MakePoly() : 0;
    case kKindD3poly: return MakeD3poly();
    case kKindKaiten: return MakeKaiten();
    default: return 0;
    }
}

int XLeaves::Build(const COBJECTA* source) {
    if (source && source != record) record->CopyFrom(source);
    if (record->kind == kKindNone) return 0;
    XViewServices* v = view();
    ClearFaces();
    ResetMatrices();
    CBusMDL* bridge = v ? v->Bridge() : nullptr;
    if (bridge) bridge->FreePolygonBuffers();
    ShapeMaking making;
    // A drawing is laid on its face's plane while the shape is made: a shape that pastes one keeps its faces.
    making.mode = bridge && pastes_drawing(*record) ? MakeMode::both : MakeMode::model;
    bridged_build_ = bridge ? 1 : 0;
    if (making.mode == MakeMode::both) {
        faces_ = std::make_unique<FaceList>();
        making.target = &faces_->list;
    }
    making_ = &making;
    const int built = RunBuilder();
    making_ = nullptr;
    if (v) v->BeginTiming(kTimingBuild);
    if (built == 1) {
        ParseMoveLimits(record->limit);
        if (bridge) {
            if (owner && owner->HasPartFlag(0, kScreenPartFlag)) bridge->primitive_kind = 1;
            model = bridge->CommitPolygons(this);
            // One record a polygon, kept as runs of equal records: the faces of most shapes share one.
            std::vector<MaterialRun>().swap(materials_);
            material_total_ = static_cast<std::int32_t>(bridge->polygons.size());
            for (std::size_t i = 0; i < bridge->polygons.size(); ++i) {
                MaterialRun run;
                run.material.material = bridge->polygons[i].material;
                if (i < making.letters.size()) run.material.paste_letter = making.letters[i];
                run.first = static_cast<std::int32_t>(i);
                if (materials_.empty() || !same_material(materials_.back().material, run.material))
                    materials_.push_back(run);
            }
            materials_.shrink_to_fit();
            if (record->draw_style != 1) bridge->SetFaceDrawMode(model, record->draw_style, record->line_width_digit);
            // A part, or the unit that holds it, may carry a colour and transparency of its own over its shapes'.
            XTrunk* unit = v->FindUnitTrunk(owner);
            const COBJECTA* unit_base = unit ? unit->base_record() : nullptr;
            const COBJECTA* own_base = owner ? owner->base_record() : nullptr;
            const COBJECTA* colour_from = unit_base && unit_base->packed_color >= 1 ? unit_base
                                          : own_base && own_base->packed_color >= 1 ? own_base
                                                                                    : nullptr;
            if (colour_from) {
                const MaterialRecord block = record_color_block(*colour_from);
                bridge->ApplyObjectColors(this, &block, kColorParts);
            }
            if (unit_base && unit_base->trans > 0)
                bridge->SetTransparency(model, unit_base->trans);
            else if (own_base && own_base->packed_color >= 1)
                bridge->SetTransparency(model, own_base->trans);
            // The shadow column of the part and of its item reaches the new model here, so a file's setting holds
            // from the start and not only after an edit of the property table.
            if (owner && index > 0 && index < owner->part_count() && owner->parts[index] == this)
                owner->PushShadowFlags(0, index);
        }
        // The faces a drawing was laid on are kept; there are no more to come.
        if (faces_ && faces_->list.capacity() > faces_->list.size() + 2) faces_->list.shrink_to_fit();
    }
    if (bridge) bridge->FreePolygonBuffers();
    if (v) v->EndTiming(kTimingBuild);
    return 0;
}

std::unique_ptr<XLeaves::FaceList> XLeaves::MakeFaces() {
    auto made = std::make_unique<FaceList>();
    if (face_total_ == 0 || making_) return made;
    ShapeMaking making;
    making.mode = MakeMode::faces;
    making.number_polygons = bridged_build_ != 0;
    // The builder writes the shape's measures and stored points again, to the values they have.
    const double measures[4] = {plan_area, volume, length, height};
    const double stored[6] = {
        base_point_local[0], base_point_local[1], base_point_local[2], radius_, axis_bottom_, axis_top_};
    making.target = &made->list;
    making_ = &making;
    RunBuilder();
    making_ = nullptr;
    plan_area = measures[0], volume = measures[1], length = measures[2], height = measures[3];
    std::copy(stored, stored + 3, base_point_local);
    radius_ = stored[3], axis_bottom_ = stored[4], axis_top_ = stored[5];
    made->list.shrink_to_fit();
    return made;
}

std::vector<XLeaf*>& XLeaves::faces() {
    if (!faces_) faces_ = MakeFaces();
    return faces_->list;
}

int XLeaves::face_count() const { return faces_ ? static_cast<int>(faces_->list.size()) : face_total_; }

int XLeaves::triangle_count() const {
    if (!faces_) return triangle_total_;
    int n = 0;
    for (const XLeaf* face : faces_->list)
        if (face) n += std::max(face->point_count() - 2, 0);
    return n;
}

XLeaves::FaceWalk::FaceWalk(std::unique_ptr<FaceList> made, const std::vector<XLeaf*>* list)
    : made_(std::move(made)), list_(list) {}
XLeaves::FaceWalk::FaceWalk(FaceWalk&&) noexcept = default;
XLeaves::FaceWalk& XLeaves::FaceWalk::operator=(FaceWalk&&) noexcept = default;
XLeaves::FaceWalk::~FaceWalk() = default;

XLeaves::FaceWalk XLeaves::WalkFaces() {
    if (faces_) return FaceWalk(nullptr, &faces_->list);
    std::unique_ptr<FaceList> made = MakeFaces();
    const std::vector<XLeaf*>* list = &made->list;
    return FaceWalk(std::move(made), list);
}

double XLeaves::surface() {
    double sum = 0.0;
    for (const XLeaf* face : WalkFaces()) sum += face->area;
    return sum;
}

void XLeaves::KeepFaces() { faces(); }

void XLeaves::SetModelBounds(const double* minimum, const double* maximum, const double*) {
    std::copy(minimum, minimum + 3, model_bounds);
    std::copy(maximum, maximum + 3, model_bounds + 3);
}

const ShapeMaterial* XLeaves::material(int i) const {
    if (i < 0 || i >= material_total_ || materials_.empty()) return nullptr;
    const auto after = std::upper_bound(materials_.begin(), materials_.end(), i,
                                        [](int at, const MaterialRun& run) { return at < run.first; });
    return after == materials_.begin() ? nullptr : &std::prev(after)->material;
}

const MaterialRecord* XLeaves::FaceMaterial(int i) {
    const ShapeMaterial* m = material(i);
    return m ? &m->material : nullptr;
}

void XLeaves::SetStoredPoints(const double* base_local, const double* extreme_low, const double* extreme_high,
                              double axis_bottom, double axis_top) {
    std::copy(base_local, base_local + 3, base_point_local);
    radius_ = vec3_distance(extreme_low, extreme_high) / 2.0;
    axis_bottom_ = axis_bottom;
    axis_top_ = axis_top;
}

std::array<double, 3> XLeaves::base_point_world() const {
    std::array<double, 3> p;
    transform_point(p.data(), base_point_local, L);
    return p;
}

std::array<double, 3> XLeaves::axis_local(int e) const {
    return {base_point_local[0], base_point_local[1], e ? axis_top_ : axis_bottom_};
}

std::array<double, 3> XLeaves::axis_world(int e) const {
    std::array<double, 3> p = axis_local(e);
    if (e && axis_top_ == axis_bottom_) p[2] += 1.0;
    transform_point(p.data(), p.data(), L);
    return p;
}

std::array<double, 3> XLeaves::axis_direction() const {
    const std::array<double, 3> a = axis_world(0), b = axis_world(1);
    double along[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]}, unit[3], length_out = 0.0;
    vec3_normalize(along, unit, &length_out);
    return {unit[0], unit[1], unit[2]};
}

double XLeaves::axis_length() const {
    const std::array<double, 3> a = axis_world(0), b = axis_world(1);
    double along[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]}, unit[3], length_out = 0.0;
    vec3_normalize(along, unit, &length_out);
    return length_out;
}

void XLeaves::AddCommentLine(const char* text) {
    if (comment_lines.capacity() < comment_lines.size() + 5) comment_lines.reserve(comment_lines.size() + 10);
    comment_lines.push_back(set_heap_string(nullptr, text ? text : "", nullptr, -1));
}

void XLeaves::RefreshMaterials() {
    const MaterialRecord block = record_color_block(*record);
    for (MaterialRun& run : materials_) {
        ShapeMaterial& m = run.material;
        const double own_transparency = m.material.transparency;
        const std::uint32_t own_color = m.material.color;
        const std::int32_t texture = m.material.texture;
        m.material = block;
        m.material.transparency = own_transparency;
        m.material.texture = texture;
        if (m.paste_letter == 'C' || m.paste_letter == 'c') m.material.color = own_color;
    }
}

void XLeaves::CopyTransparencyToMaterials() {
    for (MaterialRun& run : materials_) run.material.material.transparency = record->trans;
}

char* XLeaves::WriteLine(char* old_text, char separator) {
    if (record->kind == kKindNone) return static_cast<char*>(free_and_null(old_text));
    // One buffer for every line written: a save writes a line a shape.
    thread_local EString out;
    out.Append("", 0);
    for (const char* line : comment_lines) out.AppendParts(line, "\r\n");
    append_figure_fields(out, *record, separator);
    return set_heap_string(old_text, out.text(), nullptr, -1);
}

int XLeaves::DrawAxes(void* device_context, int mask, double axis_reach, int mode) {
    XViewServices* v = view();
    EyeRecord* eye = v ? v->Eye() : nullptr;
    if (!eye || !device_context) return 0;
    static const std::uint32_t colours[3][3] = {
        {0xFF0000, 0x0000FF, 0x00FF00}, {0x800000, 0x000080, 0x008000}, {0xFF8080, 0x8080FF, 0x80FF80}};
    Matrix16 carried;
    if (mode == 0)
        std::copy(L, L + 16, carried.begin());
    else
        carried = mode == 1 && anchor ? anchor->Q() : Q();
    const int row = std::clamp(mode, 0, 2);
    double points[4][3] = {{0, 0, 0}, {axis_reach, 0, 0}, {0, axis_reach, 0}, {0, 0, axis_reach}};
    for (auto& p : points) transform_point(p, p, carried.data());
    auto& dc = *static_cast<kz::platform::DeviceContext*>(device_context);
    for (int axis = 0; axis < 3; ++axis)
        if (mask & (1 << axis)) draw_projected_line(*eye, dc, points[0], points[axis + 1], colours[row][axis]);
    return 0;
}

}  // namespace kz::scene
