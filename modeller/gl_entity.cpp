// Conversion of primitives into OpenGL entities and back: doubles narrowed to floats, set types to OpenGL modes,
// every set's vertices laid out one after another in the shape's block. A change unpacks the block, takes what the
// flags ask for and packs it again. Every count comes from the arrays actually held, so a malformed primitive can
// make a set draw less, never more.
#include "modeller/gl_entity.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstring>

#include "modeller/vertex_transform.h"

std::uint32_t gl_polygon_mode(std::int32_t primitive_mode) {
    switch (primitive_mode) {
    case 1: return GL_LINE;
    case 2: return GL_POINT;
    default: return GL_FILL;
    }
}

std::int32_t primitive_polygon_mode(std::uint32_t gl_mode) {
    switch (gl_mode) {
    case GL_LINE: return 1;
    case GL_POINT: return 2;
    default: return 0;
    }
}

// What few shapes carry: held apart so that the many others pay one pointer for it.
struct CO3duGLEntity::Extras {
    OfuMatrix4x4 texture_matrix = identity_matrix();
    CO3duShadowVolumes outline_volumes;
    CO3duShadowVolumes prism_volumes;
    COfuPropertySet prop2;
};

CO3duGLEntity::CO3duGLEntity() : polygon_mode(GL_FILL), model_matrix(identity_matrix()) {}

CO3duGLEntity::~CO3duGLEntity() = default;

CO3duGLEntity::Extras& CO3duGLEntity::extras() {
    if (!extras_) extras_ = std::make_unique<Extras>();
    return *extras_;
}

namespace {
const OfuMatrix4x4& texture_matrix_identity() {
    static const OfuMatrix4x4 kIdentity = identity_matrix();
    return kIdentity;
}
}  // namespace

const OfuMatrix4x4& CO3duGLEntity::texture_matrix() const {
    return extras_ ? extras_->texture_matrix : texture_matrix_identity();
}

void CO3duGLEntity::set_texture_matrix(const OfuMatrix4x4& m) {
    if (!extras_ && std::memcmp(&m, &texture_matrix(), sizeof m) == 0) return;
    extras().texture_matrix = m;
}

namespace {
const CO3duShadowVolumes kNoVolumes;
const COfuPropertySet kNoProperties;
}  // namespace

const CO3duShadowVolumes& CO3duGLEntity::outline_volumes() const {
    return extras_ ? extras_->outline_volumes : kNoVolumes;
}

const CO3duShadowVolumes& CO3duGLEntity::prism_volumes() const { return extras_ ? extras_->prism_volumes : kNoVolumes; }

CO3duShadowVolumes& CO3duGLEntity::outline_volumes_to_fill() { return extras().outline_volumes; }

CO3duShadowVolumes& CO3duGLEntity::prism_volumes_to_fill() { return extras().prism_volumes; }

COfuPropertySet& CO3duGLEntity::prop2_to_change() { return extras().prop2; }

bool CO3duGLEntity::clear_shadow_volumes() {
    if (!extras_) return false;
    const bool held = !extras_->outline_volumes.corners.empty() || !extras_->prism_volumes.corners.empty();
    extras_->outline_volumes.clear();
    extras_->prism_volumes.clear();
    // Most shapes keep nothing else apart: without volumes their block goes too.
    if (extras_->prop2.GetCapacity() == 0 &&
        std::memcmp(&extras_->texture_matrix, &texture_matrix_identity(), sizeof(OfuMatrix4x4)) == 0)
        extras_.reset();
    return held;
}

const COfuPropertySet& CO3duGLEntity::prop2() const { return extras_ ? extras_->prop2 : kNoProperties; }

bool CO3duGLTrianglePolygons::is_triangle_mode() const {
    return mode() == GL_TRIANGLES || mode() == GL_TRIANGLE_STRIP || mode() == GL_TRIANGLE_FAN;
}

const float* CO3duGLTrianglePolygons::color(std::size_t i) const {
    const float* c = data_->colors();
    return c ? c + std::size_t(vertex(i)) * 4 : nullptr;
}

const float* CO3duGLTrianglePolygons::tex_coord(std::size_t i) const {
    const float* t = data_->tex_coords();
    return t ? t + std::size_t(vertex(i)) * 2 : nullptr;
}

namespace {

// Each takes its part of the primitive's set into the unpacked set i.
void take_geometry(O3duShapeWork& work, std::size_t index, const CO3duTrianglePolys& set) {
    const O3duWorkSet& mine = work.sets[index];
    for (int i = 0; i < mine.vertex_count; ++i) {
        const _O3duVertex& v = set.vertices[i];
        float* p = &work.store.positions[(mine.first_vertex + std::size_t(i)) * 3];
        float* q = &work.store.normals[(mine.first_vertex + std::size_t(i)) * 3];
        p[0] = static_cast<float>(v.position.x);
        p[1] = static_cast<float>(v.position.y);
        p[2] = static_cast<float>(v.position.z);
        q[0] = static_cast<float>(v.normal.x);
        q[1] = static_cast<float>(v.normal.y);
        q[2] = static_cast<float>(v.normal.z);
    }
}

void take_material(O3duShapeWork& work, std::size_t index, const CO3duTrianglePolys& set) {
    O3duWorkSet& mine = work.sets[index];
    mine.material = set.material;
    if (set.material_type >= O3DU_MATERIAL_SINGLE && set.material_type <= O3DU_MATERIAL_SPHERE_MAP)
        mine.material_kind = set.material_type;
    const int n = mine.vertex_count;
    bool any = !work.store.colors.empty();
    for (int i = 0; i < n && !any; ++i) {
        const float* c = set.vertices[i].color;
        any = c[0] != 0.0f || c[1] != 0.0f || c[2] != 0.0f;
    }
    if (!any) return;
    work.store.hold_colors();
    for (int i = 0; i < n; ++i) {
        float* c = &work.store.colors[(mine.first_vertex + std::size_t(i)) * 4];
        c[0] = set.vertices[i].color[0];
        c[1] = set.vertices[i].color[1];
        c[2] = set.vertices[i].color[2];
        c[3] = 1.0f;  // translucency comes from the material alone
    }
}

void take_set_type(O3duShapeWork& work, std::size_t index, const CO3duTrianglePolys& set) {
    O3duWorkSet& mine = work.sets[index];
    const int n = mine.vertex_count;
    mine.line_width = set.line_width;
    mine.indexed = 0;
    mine.indices.clear();
    // Counts in float, truncated, as the element counts have always been worked out.
    const float count = static_cast<float>(n);
    switch (set.type) {
    case O3DU_SET_POINTS:
        mine.mode = GL_POINTS;
        mine.element_count = n;
        break;
    case O3DU_SET_LINE_LIST:
        mine.mode = GL_LINES;
        mine.element_count = static_cast<std::int32_t>(count / 2.0f);
        break;
    case O3DU_SET_LINE_STRIP:
        mine.mode = GL_LINE_STRIP;
        mine.element_count = static_cast<std::int32_t>(count - 1.0f);
        break;
    case O3DU_SET_TRIANGLE_LIST:
        mine.mode = GL_TRIANGLES;
        mine.element_count = static_cast<std::int32_t>(count / 3.0f);
        break;
    case O3DU_SET_TRIANGLE_FAN:
        mine.mode = GL_TRIANGLE_FAN;
        mine.element_count = static_cast<std::int32_t>(count - 2.0f);
        break;
    case O3DU_SET_INDEXED_TRIANGLES:
    case O3DU_SET_INDEXED_LINES: {
        mine.mode = set.type == O3DU_SET_INDEXED_TRIANGLES ? GL_TRIANGLES : GL_LINES;
        mine.indexed = 1;
        const int entries = set.indices.GetSize();
        mine.indices.reserve(std::size_t(entries) * 3);
        // An index outside the vertex list would make OpenGL read past the arrays: such triples are dropped.
        for (int i = 0; i < entries; ++i) {
            const _O3duVertexIndex& t = set.indices[i];
            if (t.a < 0 || t.b < 0 || t.c < 0 || t.a >= n || t.b >= n || t.c >= n) continue;
            mine.indices.push_back(static_cast<std::uint32_t>(t.a));
            mine.indices.push_back(static_cast<std::uint32_t>(t.b));
            mine.indices.push_back(static_cast<std::uint32_t>(t.c));
        }
        mine.element_count = static_cast<std::int32_t>(mine.indices.size() / 3);
        break;
    }
    default:  // the triangle strip, which is also what a set of an unknown type is drawn as
        mine.mode = GL_TRIANGLE_STRIP;
        mine.element_count = static_cast<std::int32_t>(count - 2.0f);
        break;
    }
    if (mine.element_count < 0) mine.element_count = 0;
}

void take_texture(O3duShapeWork& work, std::size_t index, const CO3duTrianglePolys& set) {
    O3duWorkSet& mine = work.sets[index];
    mine.texture_number = set.texture_number;
    const int n = mine.vertex_count;
    bool any = !work.store.tex_coords.empty();
    for (int i = 0; i < n && !any; ++i) any = set.vertices[i].tex.x != 0.0 || set.vertices[i].tex.y != 0.0;
    if (!any) return;
    work.store.hold_tex_coords();
    for (int i = 0; i < n; ++i) {
        float* t = &work.store.tex_coords[(mine.first_vertex + std::size_t(i)) * 2];
        t[0] = static_cast<float>(set.vertices[i].tex.x);
        t[1] = static_cast<float>(set.vertices[i].tex.y);
    }
}

void take_all(O3duShapeWork& work, std::size_t index, const CO3duTrianglePolys& set) {
    work.sets[index].material_kind = O3DU_MATERIAL_SINGLE;
    take_geometry(work, index, set);
    take_material(work, index, set);
    take_set_type(work, index, set);
    take_texture(work, index, set);
}

// The primitive's sets converted whole.
O3duShapeWork convert(const CO3duPrimitive& primitive) {
    O3duShapeWork work;
    work.sets.resize(static_cast<std::size_t>(primitive.sets.GetSize()));
    std::size_t total = 0;
    for (std::size_t i = 0; i < work.sets.size(); ++i) {
        work.sets[i].first_vertex = static_cast<std::uint32_t>(total);
        work.sets[i].vertex_count = primitive.sets[static_cast<int>(i)].vertices.GetSize();
        total += std::size_t(work.sets[i].vertex_count);
    }
    work.store.positions.resize(total * 3);
    work.store.normals.resize(total * 3);
    for (std::size_t i = 0; i < work.sets.size(); ++i) take_all(work, i, primitive.sets[static_cast<int>(i)]);
    return work;
}

// Lays the store out for the primitive's vertex counts, keeping the vertices of sets whose count is unchanged.
void lay_out(O3duShapeWork& work, const CO3duPrimitive& primitive) {
    CO3duGLVertexStore old = std::move(work.store);
    CO3duGLVertexStore& store = work.store;
    store = CO3duGLVertexStore{};
    std::size_t total = 0;
    for (int i = 0; i < primitive.sets.GetSize(); ++i) total += std::size_t(primitive.sets[i].vertices.GetSize());
    store.positions.resize(total * 3);
    store.normals.resize(total * 3);
    if (!old.colors.empty()) store.hold_colors();
    if (!old.tex_coords.empty()) store.hold_tex_coords();
    std::size_t at = 0;
    for (std::size_t i = 0; i < work.sets.size(); ++i) {
        O3duWorkSet& mine = work.sets[i];
        const std::size_t n = std::size_t(primitive.sets[static_cast<int>(i)].vertices.GetSize());
        if (n == std::size_t(mine.vertex_count)) {
            const auto copy = [&](const std::vector<float>& from, std::vector<float>& to, std::size_t width) {
                if (from.empty()) return;
                std::copy_n(from.begin() + std::ptrdiff_t(mine.first_vertex * width), n * width,
                            to.begin() + std::ptrdiff_t(at * width));
            };
            copy(old.positions, store.positions, 3);
            copy(old.normals, store.normals, 3);
            copy(old.colors, store.colors, 4);
            copy(old.tex_coords, store.tex_coords, 2);
        }
        mine.first_vertex = static_cast<std::uint32_t>(at);
        at += n;
    }
}

}  // namespace

bool CO3duGLEntity::take(const O3duShapeWork& work) {
    O3duShapeData packed = O3duShapeData::pack(work);
    if (packed == data_) return false;
    data_ = std::move(packed);
    measure();
    return true;
}

void CO3duGLEntity::ConvertSets(const CO3duPrimitive& primitive) { take(convert(primitive)); }

CO3duGLEntity::Changed CO3duGLEntity::Change(const CO3duPrimitive& primitive, long flags) {
    Changed changed;
    // A new draw mode changes the volumes only where it hides or shows the shape or its shadow: the modeller
    // compares those bits.
    changed.shadow = (flags & (1 | 4 | 32)) != 0;
    changed.drawing = kind != primitive.kind;
    kind = primitive.kind;
    if (flags & (1 | 2 | 4 | 8)) {
        // Partial replacement needs matching arrays: a different number of sets is converted afresh, a set with a
        // different number of vertices takes everything of its new self.
        if (static_cast<std::size_t>(primitive.sets.GetSize()) != set_count()) {
            changed.drawing = take(convert(primitive)) || changed.drawing;
        } else {
            O3duShapeWork work = data_.unpack();
            std::vector<bool> whole(work.sets.size(), false);
            for (std::size_t i = 0; i < work.sets.size(); ++i)
                whole[i] = primitive.sets[static_cast<int>(i)].vertices.GetSize() != work.sets[i].vertex_count;
            if (std::find(whole.begin(), whole.end(), true) != whole.end()) lay_out(work, primitive);
            for (std::size_t i = 0; i < work.sets.size(); ++i) {
                const CO3duTrianglePolys& set = primitive.sets[static_cast<int>(i)];
                if (whole[i]) {
                    work.sets[i].vertex_count = set.vertices.GetSize();
                    take_all(work, i, set);
                    continue;
                }
                if (flags & 1) take_geometry(work, i, set);
                if (flags & 2) take_material(work, i, set);
                if (flags & 4) take_set_type(work, i, set);
                if (flags & 8) take_texture(work, i, set);
            }
            // Sets given back as they were pack into the same block and change nothing.
            changed.drawing = take(work) || changed.drawing;
        }
    }
    const auto take_field = [&](auto& field, const auto& value) {
        static_assert(sizeof field == sizeof value);
        changed.drawing = changed.drawing || std::memcmp(&field, &value, sizeof field) != 0;
        field = value;
    };
    if (flags & 16) take_field(draw_mode, primitive.draw_mode);
    if (flags & 32) take_field(model_matrix, primitive.model_matrix);
    if (flags & 64) take_field(layer, primitive.layer);
    if (flags & 128) {
        changed.drawing =
            changed.drawing || std::memcmp(&texture_matrix(), &primitive.texture_matrix, sizeof(OfuMatrix4x4)) != 0;
        set_texture_matrix(primitive.texture_matrix);
    }
    if (flags & 256) take_field(polygon_mode, gl_polygon_mode(primitive.polygon_mode));
    return changed;
}

namespace {

void convert_set_back(const CO3duGLTrianglePolygons& mine, CO3duTrianglePolys& set, long flags) {
    const int n = mine.vertex_count();
    set.vertices.SetSize(n);
    if (flags & 1) {
        for (int i = 0; i < n; ++i) {
            _O3duVertex& v = set.vertices[i];
            const float* p = mine.position(std::size_t(i));
            const float* q = mine.normal(std::size_t(i));
            v.position = OfuVector3(p[0], p[1], p[2]);
            v.normal = OfuVector3(q[0], q[1], q[2]);
            v.tex = OfuVector2(0.0, 0.0);
        }
    }
    if (flags & 2) {
        set.material = mine.material();
        set.material_type = mine.material_kind();
        for (int i = 0; i < n; ++i) {
            const float* c = mine.color(std::size_t(i));
            float* color = set.vertices[i].color;
            for (int k = 0; k < 3; ++k) color[k] = c ? c[k] : 0.0f;
            color[3] = 1.0f;
        }
    }
    if (flags & 4) {
        set.line_width = mine.line_width();
        switch (mine.mode()) {
        case GL_POINTS: set.type = O3DU_SET_POINTS; break;
        case GL_LINES: set.type = mine.indexed() ? O3DU_SET_INDEXED_LINES : O3DU_SET_LINE_LIST; break;
        case GL_LINE_STRIP: set.type = O3DU_SET_LINE_STRIP; break;
        case GL_TRIANGLES: set.type = mine.indexed() ? O3DU_SET_INDEXED_TRIANGLES : O3DU_SET_TRIANGLE_LIST; break;
        case GL_TRIANGLE_FAN: set.type = O3DU_SET_TRIANGLE_FAN; break;
        default: set.type = O3DU_SET_TRIANGLE_STRIP; break;
        }
        const int entries = static_cast<int>(mine.index_count() / 3);
        const std::uint32_t* indices = mine.indices();
        set.indices.SetSize(entries);
        for (int i = 0; i < entries; ++i) {
            set.indices[i].a = static_cast<std::int32_t>(indices[std::size_t(i) * 3]);
            set.indices[i].b = static_cast<std::int32_t>(indices[std::size_t(i) * 3 + 1]);
            set.indices[i].c = static_cast<std::int32_t>(indices[std::size_t(i) * 3 + 2]);
        }
    }
    if (flags & 8) {
        set.texture_number = mine.texture_number();
        for (int i = 0; i < n; ++i) {
            const float* t = mine.tex_coord(std::size_t(i));
            set.vertices[i].tex = t ? OfuVector2(t[0], t[1]) : OfuVector2(0.0, 0.0);
        }
    }
}

}  // namespace

void CO3duGLEntity::ConvertBack(CO3duPrimitive& primitive, long flags) const {
    primitive.sets.RemoveAll();
    primitive.sets.SetSize(static_cast<int>(set_count()));
    for (std::size_t i = 0; i < set_count(); ++i) convert_set_back(set(i), primitive.sets[static_cast<int>(i)], flags);
    if (flags & 16) primitive.draw_mode = draw_mode;
    if (flags & 32) primitive.model_matrix = model_matrix;
    if (flags & 64) primitive.layer = layer;
    if (flags & 128) primitive.texture_matrix = texture_matrix();
    if (flags & 256) primitive.polygon_mode = primitive_polygon_mode(polygon_mode);
    primitive.kind = kind;
}

void CO3duGLEntity::Transform(const OfuMatrix4x4& m) {
    // Each held vertex moves once, as each of the set vertices it stands for would: the same input, the same result.
    float* positions = data_.positions();
    float* normals = data_.normals();
    for (std::size_t i = 0; i < data_.vertex_count(); ++i) {
        float* p = positions + i * 3;
        float* q = normals + i * 3;
        OfuVector3 position(p[0], p[1], p[2]);
        OfuVector3 normal(q[0], q[1], q[2]);
        move_vertex(m, position, normal);
        p[0] = static_cast<float>(position.x);
        p[1] = static_cast<float>(position.y);
        p[2] = static_cast<float>(position.z);
        q[0] = static_cast<float>(normal.x);
        q[1] = static_cast<float>(normal.y);
        q[2] = static_cast<float>(normal.z);
    }
    measure_box();
}

void CO3duVolumeIndices::assign(const std::vector<std::uint32_t>& values, std::size_t bound) {
    clear();
    if (bound <= 0x10000)
        narrow.assign(values.begin(), values.end());
    else
        wide = values;
}

void CO3duVolumeIndices::clear() {
    std::vector<std::uint16_t>().swap(narrow);
    std::vector<std::uint32_t>().swap(wide);
}

void CO3duShadowVolumes::clear() { *this = CO3duShadowVolumes(); }

std::size_t CO3duShadowVolumes::bytes() const {
    const auto index_bytes = [](const CO3duVolumeIndices& i) {
        return i.narrow.capacity() * sizeof(std::uint16_t) + i.wide.capacity() * sizeof(std::uint32_t);
    };
    return corners.capacity() * sizeof(float) + index_bytes(walls) + index_bytes(lit);
}
