// The paste services the builders call per face: which paste entry covers a face code, the face's material with a
// colour paste over it, textures of pasted images and texts and their coordinates, vector texts and drawings.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>

#include "app/foundation/bus_mdl.h"
#include "app/foundation/matrix_ops.h"
#include "app/foundation/paths.h"
#include "app/foundation/sjis_string.h"
#include "app/scene/paste_list.h"
#include "app/scene/paste_textures.h"
#include "app/scene/pasted_drawing.h"
#include "app/scene/view_services.h"
#include "app/scene/xleaf.h"
#include "app/scene/xleaves.h"

namespace kz::scene {

using namespace kz::foundation;

namespace {

constexpr double kPi = 3.141592653589793;
constexpr int kVectorTextBuffer = 6000;
constexpr int kResourceTagLength = 11;  // "[loadimage="

PasteEntry* first_entry_holding(COBJECTA& record, std::int32_t code, int* range) {
    const int i = paste_entry_holding(record, code);
    if (i < 0) return nullptr;
    if (range) *range = paste_range_holding(record.paste_entries[i], code);
    return &record.paste_entries[i];
}

}  // namespace

PasteEntry* XLeaves::FindFacePaste(std::int32_t face_code, int* cleared) {
    if (cleared) *cleared = 0;
    PasteEntry* e = first_entry_holding(*record, face_code, nullptr);
    if (!e) return nullptr;
    XViewServices* v = view();
    if (v && e->source) e->image_index = v->InternName(e->source);
    if (e->source && compare_nocase(e->source, "clear") == 0 && cleared) *cleared = 1;
    const int option = v ? v->TextureOption() : 0;
    // Faces made again after the build leave the textures as the build loaded them.
    const bool loads = !making_ || making_->mode != MakeMode::faces;
    if (e->kind >= 2 && e->kind <= 4) {
        if (loads) e->texture_id = LoadPasteTexture(e, option);
        e->work_size = e->size;
        e->work_lift = e->lift;
        e->work_scale[0] = e->work_scale[1] = 0.0;
        e->work_offset[0] = e->work_offset[1] = 0.0;
        e->work_origin[0] = e->work_origin[1] = 0.0;
    } else if (loads) {
        LoadPasteTexture(e, option);
    }
    return e;
}

int XLeaves::LoadPasteTexture(PasteEntry* entry, int option) {
    XViewServices* v = view();
    CBusMDL* bridge = v ? v->Bridge() : nullptr;
    if (!bridge || !entry || !entry->source || !*entry->source) return -1;
    switch (entry->kind) {
    case 2: {
        char local[kz::foundation::kPathBufferSize] = {};
        if (!v->FindPastedFile(entry->source, local, "texture image")) return -1;
        // The view's texture option asks for images whose files changed to be read again.
        const int id = bridge->LoadTexture(local, option);
        return id > 0 ? id : -1;
    }
    case 3: {
        const int id = bridge->FindTextTexture(entry->source);
        return id != -1 ? id : bridge->CreateTextTexture(entry->source);
    }
    case 4: {
        const char* name = entry->source;
        if (std::strlen(name) <= static_cast<std::size_t>(kResourceTagLength)) return -1;
        name += kResourceTagLength;
        const std::size_t n = std::strcspn(name, ":]>");
        return bridge->LoadResourceTexture(std::string(name, n).c_str(), nullptr);
    }
    default: return -1;
    }
}

int XLeaves::GetFaceMaterial(std::int32_t face_code, ShapeMaterial* material, PasteEntry** entry_out) {
    int range = -1;
    PasteEntry* e = first_entry_holding(*record, face_code, &range);
    if (material) {
        ShapeMaterial m;
        m.material = record_color_block(*record);
        if (e && e->color >= 0) {
            m.material.color = static_cast<std::uint32_t>(e->color);
            m.paste_letter = e->face_letter;
        }
        *material = m;
    }
    if (entry_out) *entry_out = e;
    if (!e) return 0;
    if (face_code == e->from_codes[range]) return 1;
    if (face_code == e->to_codes[range]) return 2;
    return 0;
}

PasteEntry* XLeaves::PrepareTextPaste(std::int32_t face_code, double default_size, double default_lift, double origin_x,
                                      int, double origin_y, double text_length, double text_height, int, int* cleared) {
    PasteEntry* e = FindFacePaste(face_code, cleared);
    if (!e || (e->kind != 3 && e->kind != 4)) return nullptr;
    e->work_size = e->size > 0.0 ? e->size : default_size;
    e->work_lift = e->lift > 0.0 ? e->lift : default_lift;
    e->work_scale[0] = e->work_scale[1] = 1.0;
    e->work_origin[0] = origin_x;
    e->work_origin[1] = origin_y;
    e->work_offset[0] = text_length;
    if (e->kind == 3) {
        e->center_x = text_length / 2.0;
        e->center_y = text_height;
    } else {
        e->center_x = text_length;
        e->center_y = text_height;
    }
    return e;
}

void XLeaves::MapTextureCoords(double* points, int count, const PasteEntry* e) {
    if (!points || !e) return;
    const double a = e->angle / 180.0 * kPi;
    const double cx = e->center_x - e->work_origin[0], cy = e->center_y - e->work_origin[1];
    // A scale that was never set is the entry's own size, so an image spans size by lift units of the face
    // instead of the coordinates running off to infinity.
    auto scale_of = [](double scale, double fallback) {
        return scale != 0.0 ? scale : fallback != 0.0 ? fallback : 1.0;
    };
    const double su = scale_of(e->work_scale[0], e->work_size), sv = scale_of(e->work_scale[1], e->work_lift);
    for (int i = 0; i < count; ++i) {
        const double x = points[2 * i], y = points[2 * i + 1];
        const double u = ((x - cx) * std::cos(a) - (y - cy) * std::sin(a) + cx - e->work_offset[0]) / su;
        const double w = ((y - cy) * std::cos(a) + (x - cx) * std::sin(a) + cy - e->work_offset[1]) / sv;
        points[2 * i] = u;
        points[2 * i + 1] = w;
    }
}

int XLeaves::AddVectorTexts() {
    XViewServices* v = view();
    CBusMDL* bridge = v ? v->Bridge() : nullptr;
    if (!bridge) return -1;
    if (making_ && making_->mode == MakeMode::faces) return 0;  // the model has them
    for (int i = 0; i < record->paste_count && record->paste_entries; ++i) {
        const PasteEntry& e = record->paste_entries[i];
        if (e.kind != 5 || !e.source) continue;
        char text[kVectorTextBuffer];
        copy_string_bounded(text, e.source, kVectorTextBuffer);
        add_vector_text(bridge, text, record->trans);
    }
    return 0;
}

// The drawing's lines and texts gathered by pen, each pen one polyline of the bridge laid on the face.
int XLeaves::PasteDrawingOnFace(PasteEntry* entry, int face_index, double depth) {
    XViewServices* v = view();
    CBusMDL* bridge = v ? v->Bridge() : nullptr;
    if (!bridge || !entry || entry->kind != 1 || !entry->source || !*entry->source) return 0;
    if (making_ && making_->mode == MakeMode::faces) return 0;  // the model has it
    XLeaf* face = MadeFace(face_index);
    if (!face) return 0;
    // A large drawing takes long to read and lay out: the view may stop it, keeping what was laid so far.
    const std::function<bool()> keep_going = [v] { return v->KeepWorking(); };
    OpenedDrawing drawing;
    drawing_context* d = drawing.context();
    if (!read_pasted_drawing(*v, entry->source, d, keep_going)) return 0;
    const DrawingUnits units = drawing_units(d);
    const double size = entry->size > 0.0 ? entry->size : units.scale;
    const double a = entry->angle / 180.0 * kPi, ca = std::cos(a), sa = std::sin(a);
    std::vector<double> pens[16];
    std::vector<double> segments;
    const std::array<double, 16> frame = face->frame();
    auto add_point = [&](std::vector<double>& out, double x, double y) {
        const double u = (x - units.origin_x) * units.unit / size + entry->x;
        const double w = entry->y - (y - units.origin_y) * units.unit / size;
        const double p[3] = {u * ca - w * sa, u * sa + w * ca, entry->lift};
        // Into the shape's frame, where the face's polygons lie: the part's matrix places both.
        double shape_point[3];
        transform_point(shape_point, p, frame.data());
        out.insert(out.end(), shape_point, shape_point + 3);
    };
    for_each_drawn_record(d, keep_going, [&](int row, int type, int pen) {
        if (type == kz::drawing2d::kTypeLine) {
            add_point(pens[pen], d->c4[row], d->c5[row]);
            add_point(pens[pen], d->c6[row], d->c7[row]);
            return;
        }
        segments.clear();
        int count = 0;
        face->ExpandTextPrimitive(d, row, segments, &count);
        for (int k = 0; k < count; ++k) {
            add_point(pens[pen], segments[6 * k], segments[6 * k + 1]);
            add_point(pens[pen], segments[6 * k + 3], segments[6 * k + 4]);
        }
    });
    int made = 0;
    for (int pen = 0; pen < 16; ++pen) {
        if (pens[pen].empty()) continue;
        PolylineEntry& line = bridge->OpenPolyline();
        line.points.insert(line.points.end(), pens[pen].begin(), pens[pen].end());
        line.color = static_cast<std::uint32_t>(d->pen_color[pen]);
        line.line_width = std::min(d->pen_width[pen], 10);
        line.ambient = record->ambient == 0.0 ? 5.0 : record->ambient;
        line.transparency = depth;
        bridge->ClosePolyline();
        ++made;
    }
    return made;
}

XLeaf* XLeaves::MadeFace(int face_index) {
    std::vector<XLeaf*>* list = making_ ? making_->target : &faces();
    return list && face_index >= 0 && face_index < static_cast<int>(list->size()) ? (*list)[face_index] : nullptr;
}

void XLeaves::PasteDrawingsOnFace(int face_index) {
    // A model made without its faces has no drawing to lay: a shape that pastes one keeps its faces.
    if (making_ && making_->mode == MakeMode::model) return;
    XLeaf* face = MadeFace(face_index);
    if (!face) return;
    XViewServices* v = view();
    // Faces made again after the build take the drawings the way the build did.
    const bool bridged = making_ && making_->mode == MakeMode::faces ? bridged_build_ != 0 : v && v->Bridge();
    const std::int32_t code = face->face_code;
    for (int i = 0; i < record->paste_count && record->paste_entries; ++i) {
        PasteEntry& e = record->paste_entries[i];
        if (e.kind != 1) continue;
        for (int r = 0; r < e.range_count; ++r) {
            if (!(e.from_codes[r] <= code && code <= e.to_codes[r])) continue;
            if (bridged)
                PasteDrawingOnFace(&e, face_index, record->trans);
            else
                face->LoadPastedDrawing(e.source);
        }
    }
}

}  // namespace kz::scene
