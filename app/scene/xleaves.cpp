// XLeaves' life cycle, the build dispatch with what follows every builder (limits, the bridge model, materials,
// part colour and transparency, surface), the material records, the shape's line and its axes.
#include "app/scene/xleaves.h"

#include <algorithm>
#include <cstring>

#include "app/foundation/bus_mdl.h"
#include "app/foundation/estring.h"
#include "app/foundation/eye_record.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/matrix_ops.h"
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

XLeaves::XLeaves(XTrunk* owner_in) : owner(owner_in) {
    XViewServices* v = owner ? owner->view : nullptr;
    record = new COBJECTA(nullptr, v, owner);
    anchor = owner && !owner->parts.empty() ? owner->parts[0] : nullptr;
    ResetMatrices();
    if (v) v->MarkTrunkChanged(owner);
    placement_valid = 1;
}

XLeaves::~XLeaves() {
    ClearFaces();
    delete record;
    for (char*& line : comment_lines) line = free_and_null(line);
    delete[] motions;
    delete[] limits;
}

XViewServices* XLeaves::view() const { return owner ? owner->view : nullptr; }

bool XLeaves::IsBaseShape() const { return !owner || owner->base() == this; }

void XLeaves::DeleteFaces() {
    for (XLeaf* face : faces) delete face;
    std::vector<XLeaf*>().swap(faces);
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
    for (double* m : {P, O, P_inverse, O_inverse, L, L_inverse, Q, Q_inverse}) identity_matrix4(m);
    placement_valid = 0;
}

int XLeaves::Build(const COBJECTA* source) {
    if (source && source != record) record->CopyFrom(source);
    if (record->kind == kKindNone) return 0;
    XViewServices* v = view();
    ClearFaces();
    ResetMatrices();
    CBusMDL* bridge = v ? v->Bridge() : nullptr;
    if (bridge) bridge->FreePolygonBuffers();
    polygon_letters_.clear();
    int built = 0;
    switch (record->kind) {
    case kKindBox: built = MakeBox(); break;
    case kKindBall: built = MakeBall(); break;
    case kKindHankyuu: built = MakeHankyuu(); break;
    case kKindSui: built = MakeSui(); break;
    case kKindCylinder: built = MakeCylinder(); break;
    case kKindPoly: built = MakePoly(); break;
    case kKindHpoly: built = MakeHpoly(); break;
    case kKindZpoly: built = ZpolyToPoly() ? MakePoly() : 0; break;
    case kKindD3poly: built = MakeD3poly(); break;
    case kKindKaiten: built = MakeKaiten(); break;
    default: break;
    }
    if (v) v->BeginTiming(kTimingBuild);
    if (built == 1) {
        ParseMoveLimits(record->limit);
        if (bridge) {
            if (owner && owner->HasPartFlag(0, kScreenPartFlag)) bridge->primitive_kind = 1;
            model = bridge->CommitPolygons(this);
            // One record a polygon and no spare room: a shape's materials are set here only.
            std::vector<ShapeMaterial>().swap(materials);
            materials.reserve(bridge->polygons.size());
            for (std::size_t i = 0; i < bridge->polygons.size(); ++i) {
                ShapeMaterial m;
                m.material = bridge->polygons[i].material;
                if (i < polygon_letters_.size()) m.paste_letter = polygon_letters_[i];
                materials.push_back(m);
            }
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
            if (owner) {
                const auto at = std::find(owner->parts.begin(), owner->parts.end(), this);
                if (at != owner->parts.end() && at != owner->parts.begin())
                    owner->PushShadowFlags(0, static_cast<int>(at - owner->parts.begin()));
            }
        }
        surface = 0.0;
        for (const XLeaf* face : faces) surface += face->area;
        // The face makers keep room for more faces while a shape is made; none are added after.
        if (faces.capacity() > faces.size() + 2) faces.shrink_to_fit();
    }
    if (bridge) bridge->FreePolygonBuffers();
    if (v) v->EndTiming(kTimingBuild);
    return 0;
}

void XLeaves::SetModelBounds(const double* minimum, const double* maximum, const double* centre) {
    std::copy(minimum, minimum + 3, model_bounds);
    std::copy(maximum, maximum + 3, model_bounds + 3);
    std::copy(centre, centre + 3, model_bounds + 6);
}

const MaterialRecord* XLeaves::FaceMaterial(int i) {
    return i >= 0 && i < static_cast<int>(materials.size()) ? &materials[i].material : nullptr;
}

void XLeaves::AddCommentLine(const char* text) {
    if (comment_lines.capacity() < comment_lines.size() + 5) comment_lines.reserve(comment_lines.size() + 10);
    comment_lines.push_back(set_heap_string(nullptr, text ? text : "", nullptr, -1));
}

void XLeaves::RefreshMaterials() {
    const MaterialRecord block = record_color_block(*record);
    for (ShapeMaterial& m : materials) {
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
    for (ShapeMaterial& m : materials) m.material.transparency = record->trans;
}

char* XLeaves::WriteLine(char* old_text, char separator) {
    if (record->kind == kKindNone) return static_cast<char*>(free_and_null(old_text));
    EString out;
    for (const char* line : comment_lines) out.AppendParts(line, "\r\n");
    append_figure_fields(out, *record, separator);
    return set_heap_string(old_text, out.text(), nullptr, -1);
}

int XLeaves::DrawAxes(void* device_context, int mask, double axis_length, int mode) {
    XViewServices* v = view();
    EyeRecord* eye = v ? v->Eye() : nullptr;
    if (!eye || !device_context) return 0;
    static const std::uint32_t colours[3][3] = {
        {0xFF0000, 0x0000FF, 0x00FF00}, {0x800000, 0x000080, 0x008000}, {0xFF8080, 0x8080FF, 0x80FF80}};
    const double* m = mode == 0 ? L : mode == 1 ? (anchor ? anchor->Q : Q) : Q;
    const int row = std::clamp(mode, 0, 2);
    double points[4][3] = {{0, 0, 0}, {axis_length, 0, 0}, {0, axis_length, 0}, {0, 0, axis_length}};
    for (auto& p : points) transform_point(p, p, m);
    auto& dc = *static_cast<kz::platform::DeviceContext*>(device_context);
    for (int axis = 0; axis < 3; ++axis)
        if (mask & (1 << axis)) draw_projected_line(*eye, dc, points[0], points[axis + 1], colours[row][axis]);
    return 0;
}

}  // namespace kz::scene
