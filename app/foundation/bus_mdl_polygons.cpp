// Gathering one shape's faces and strokes and committing them as one modeller primitive: faces first (one
// triangle fan each), then the strokes as line lists, so property 2 tells the two apart later.
#include "app/foundation/bus_mdl.h"

#include <algorithm>

#include "app/foundation/bridge_services.h"
#include "app/foundation/color_text.h"
#include "app/foundation/small_vector_math.h"
#include "app/foundation/vector_geometry.h"

namespace kz::foundation {

float opacity_of(double transparency) {
    const double t = transparency <= 0.001 ? 0.0 : transparency;
    return static_cast<float>(std::clamp(1.0 - t, 0.0, 1.0));
}

int transparency_prop(double transparency) { return transparency >= 0.999 ? 0 : -1; }

int pick_prop(double transparency, int hit_flag) {
    if (hit_flag == 1) return 1;
    if (hit_flag == -1) return 0;
    return transparency > 1.5 ? 1 : -1;
}

int CBusMDL::AddPolygon(const double* points, int n, const MaterialRecord& material, const double* normals,
                        const double* texcoords, std::uint32_t texture_mode) {
    if (!points || n < 1) return -1;
    double face_normal[3] = {0.0, 0.0, 0.0};
    if (!normals) polygon_normal(points, n, face_normal, nullptr);
    // The arrays of an entry freed since are filled again: one shape after another needs no new memory.
    PolygonBufferEntry entry;
    if (!spare_polygons_.empty()) {
        entry = std::move(spare_polygons_.back());
        spare_polygons_.pop_back();
        entry.texture_mode = 0;
    }
    const std::size_t count = static_cast<std::size_t>(n);
    entry.points.assign(points, points + 3 * count);
    if (normals) {
        entry.normals.assign(normals, normals + 3 * count);
    } else {
        entry.normals.resize(3 * count);
        for (std::size_t k = 0; k < count; ++k)
            for (int c = 0; c < 3; ++c) entry.normals[3 * k + c] = face_normal[c];
    }
    if (texcoords) {
        entry.texcoords.assign(texcoords, texcoords + 2 * count);
        entry.texture_mode = texture_mode;
    } else {
        entry.texcoords.assign(2 * count, 0.0);
    }
    entry.material = material;
    polygons.push_back(std::move(entry));
    return static_cast<int>(polygons.size()) - 1;
}

int CBusMDL::ReservePolylines() {
    if (polylines.size() <= static_cast<std::size_t>(polyline_count)) polylines.resize(polyline_count + 1);
    PolylineEntry& open = polylines[polyline_count];
    // Points are appended through the vector, which grows as needed; the headroom only keeps reallocations rare.
    if (open.points.capacity() < open.points.size() + 30) open.points.reserve(open.points.size() + 300);
    return static_cast<int>(open.points.capacity() / 3);
}

PolylineEntry& CBusMDL::OpenPolyline() {
    ReservePolylines();
    return polylines[polyline_count];
}

void CBusMDL::ClosePolyline() {
    ReservePolylines();
    ++polyline_count;
}

void CBusMDL::ApplyMaterialRecord(_OfuMaterial& m, const MaterialRecord& record, int bits) const {
    double r = 0.0, g = 0.0, b = 0.0;
    color_to_rgb_scaled(static_cast<int>(record.color), 1.0, &r, &g, &b);
    auto put = [](OfuColorValue& c, double k, double red, double green, double blue) {
        c.r = static_cast<float>(k * red);
        c.g = static_cast<float>(k * green);
        c.b = static_cast<float>(k * blue);
    };
    if (bits & kPartAmbient) put(m.ambient, record.ambient == 0.0 ? ambient_factor : record.ambient, r, g, b);
    if (bits & kPartDiffuse) put(m.diffuse, record.diffuse == 0.0 ? diffuse_factor : record.diffuse, r, g, b);
    if (bits & kPartSpecular) {
        const double level = record.specular == 0.0 ? specular_level : record.specular;
        put(m.specular, level, 1.0, 1.0, 1.0);
    }
    if (bits & kPartAlpha) m.diffuse.a = m.ambient.a = opacity_of(record.transparency);
}

_OfuPosition* CBusMDL::CommitPolygons(BridgeShape* leaves) {
    if (!modeller || polygons.empty()) return nullptr;
    if (view) view->BeginTiming(13);
    double box[6];
    reset_bounds(box);
    const int faces = static_cast<int>(polygons.size());
    CO3duPrimitive primitive;
    primitive.sets.SetSize(faces + polyline_count);
    for (int i = 0; i < faces; ++i) {
        const PolygonBufferEntry& entry = polygons[i];
        CO3duTrianglePolys& set = primitive.sets[i];
        set.type = O3DU_SET_TRIANGLE_FAN;
        if (entry.material.texture > 0) {
            set.texture_number = entry.material.texture;
            set.material_type = entry.texture_mode == 1 ? O3DU_MATERIAL_SPHERE_MAP : O3DU_MATERIAL_TEXTURE;
        } else if (entry.material.texture < 0) {
            set.texture_number = 0;
            set.material_type = O3DU_MATERIAL_TEXTURE;
        }
        const int n = entry.point_count();
        set.vertices.SetSize(n);
        for (int k = 0; k < n; ++k) {
            _O3duVertex& v = set.vertices[k];
            const double* p = &entry.points[3 * k];
            const double* q = &entry.normals[3 * k];
            v.position = OfuVector3(p[0], p[1], p[2]);
            v.normal = OfuVector3(q[0], q[1], q[2]);
            v.tex = OfuVector2(entry.texcoords[2 * k], entry.texcoords[2 * k + 1]);
            add_point_to_bounds(box, p);
        }
        ApplyMaterialRecord(set.material, entry.material, kPartAll);
        set.material.power = 100.0f;
    }
    for (int j = 0; j < polyline_count; ++j) {
        const PolylineEntry& line = polylines[j];
        const int n = line.point_count();
        if (n < 1) continue;
        CO3duTrianglePolys& set = primitive.sets[faces + j];
        set.type = O3DU_SET_LINE_LIST;
        set.vertices.SetSize(n);
        for (int k = 0; k < n; ++k)
            set.vertices[k].position = OfuVector3(line.points[3 * k], line.points[3 * k + 1], line.points[3 * k + 2]);
        double r = 0.0, g = 0.0, b = 0.0;
        color_to_rgb_scaled(static_cast<int>(line.color), 1.0, &r, &g, &b);
        const double ambient = line.ambient == 0.0 ? ambient_factor : line.ambient;
        const float alpha = opacity_of(line.transparency);
        set.material.ambient = {static_cast<float>(ambient * r), static_cast<float>(ambient * g),
                                static_cast<float>(ambient * b), alpha};
        set.material.diffuse = {static_cast<float>(diffuse_factor * r), static_cast<float>(diffuse_factor * g),
                                static_cast<float>(diffuse_factor * b), alpha};
        const float s = static_cast<float>(specular_level);
        set.material.specular.r = set.material.specular.g = set.material.specular.b = s;
        set.line_width = static_cast<float>(line.line_width);
    }
    primitive.kind = static_cast<std::int32_t>(primitive_kind);
    _OfuPosition* shape = modeller->AddPrimitive(primitive);
    if (shape) {
        modeller->SetProp3(shape, kPropShape, static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(leaves)));
        modeller->SetProp1(shape, kPropFaceSets, faces);
        const double t = polygons[0].material.transparency;
        const int hit_flag = leaves ? leaves->HitFlag() : 0;
        modeller->SetProp1(shape, kPropTransparency, transparency_prop(t));
        modeller->SetProp1(shape, kPropPickControl, pick_prop(t, hit_flag));
        if (const std::uint64_t item = leaves ? leaves->ItemTag() : 0) modeller->SetProp3(shape, kPropItem, item);
    }
    if (leaves) {
        const double centre[3] = {(box[0] + box[3]) / 2, (box[1] + box[4]) / 2, (box[2] + box[5]) / 2};
        leaves->SetModelBounds(box, box + 3, centre);
    }
    if (view) view->EndTiming(13);
    return shape;
}

void CBusMDL::FreePolygonBuffers() {
    // A few entries keep their arrays for the next shape; a shape of many faces does not hold its memory.
    constexpr std::size_t kSpareEntries = 64;
    for (PolygonBufferEntry& entry : polygons) {
        if (spare_polygons_.size() >= kSpareEntries) break;
        if (entry.points.capacity() > kSpareEntries * 3) continue;
        spare_polygons_.push_back(std::move(entry));
    }
    if (polygons.capacity() > 4 * kSpareEntries)
        std::vector<PolygonBufferEntry>().swap(polygons);
    else
        polygons.clear();
    primitive_kind = 0;
    std::vector<PolylineEntry>().swap(polylines);
    polyline_count = 0;
}

}  // namespace kz::foundation
