// Face making shared by the round, polygon and revolution builders, and the reading of polygon texts.
// Builders call these instead of repeating the paste lookup and material steps for every face they make.
#include "app/scene/shape_faces.h"

#include <cmath>

#include "app/foundation/field_tokenizer.h"
#include "app/foundation/number_text.h"
#include "app/scene/figure_text.h"
#include "app/scene/view_services.h"
#include "platform/crt/c_numbers.h"

namespace kz::scene {

namespace {

bool carries_image(const PasteEntry* e) { return e && e->kind >= 2 && e->kind <= 4; }

}  // namespace

int make_shape_face(XLeaves& shape, FaceMaker maker, const double* points, int count, const double* normals,
                    std::int32_t code, const ImageWindow* window, const double* texture_points, int texture_count) {
    int cleared = 0;
    PasteEntry* paste = shape.FindFacePaste(code, &cleared);
    if (cleared) return -1;
    if (window && carries_image(paste)) {
        // MapTextureCoords gives u = (x - offset) / scale; a window puts the face at its place in the image.
        const double du = window->u_per_unit != 0.0 ? window->u_per_unit : 1.0;
        const double dv = window->v_per_unit != 0.0 ? window->v_per_unit : 1.0;
        paste->work_scale[0] = 1.0 / du;
        paste->work_scale[1] = 1.0 / dv;
        paste->work_offset[0] = -window->u_start / du;
        paste->work_offset[1] = -window->v_start / dv;
    }
    ShapeMaterial material;
    shape.GetFaceMaterial(code, &material, nullptr);
    const int made = maker == FaceMaker::cap ? shape.AddCapFace(points, count, material, normals, paste, code,
                                                                texture_points, texture_count)
                                             : shape.AddFace(points, count, material, normals, paste, code);
    if (made >= 0) shape.PasteDrawingsOnFace(made);
    return made;
}

const PasteEntry* image_entry_of(XLeaves& shape, std::int32_t code) {
    const COBJECTA& r = *shape.record;
    for (int i = 0; i < r.paste_count && r.paste_entries; ++i) {
        const PasteEntry& e = r.paste_entries[i];
        for (int k = 0; k < e.range_count; ++k)
            if (e.from_codes[k] <= code && code <= e.to_codes[k]) return carries_image(&e) ? &e : nullptr;
    }
    return nullptr;
}

std::vector<std::string> poldat_sections(const char* text) {
    std::vector<std::string> sections(1);
    if (!text) return sections;
    for (int i = 0; text[i];) {
        const int size = kz::foundation::sjis_char_size(text + i);
        if (size == 1 && text[i] == '|')
            sections.emplace_back();
        else
            sections.back().append(text + i, size);
        i += size;
    }
    return sections;
}

std::vector<double> section_numbers(const std::string& section) {
    std::vector<double> values;
    std::size_t start = 0;
    while (start < section.size()) {
        std::size_t end = section.find(';', start);
        if (end == std::string::npos) end = section.size();
        const std::string item = section.substr(start, end - start);
        // Blanks around a polygon text (a line break, a space after ';') hold no number.
        if (item.find_first_not_of(" \t\r\n") != std::string::npos || end < section.size())
            values.push_back(kz::crt::c_atof(item.c_str()));
        start = end + 1;
    }
    return values;
}

void append_numbers(std::string& out, const double* values, int count) {
    char number[kz::foundation::kNumberTextSize];
    for (int i = 0; i < count; ++i) {
        out += figure_number_text(values[i], number);
        out += ';';
    }
}

TimingSlot::TimingSlot(XLeaves& shape, int slot) : shape_(shape), slot_(slot) {
    if (XViewServices* v = shape_.view()) v->BeginTiming(slot_);
}

TimingSlot::~TimingSlot() {
    if (XViewServices* v = shape_.view()) v->EndTiming(slot_);
}

void add_vector_texts(XLeaves& shape) {
    XViewServices* v = shape.view();
    if (v && v->Bridge()) shape.AddVectorTexts();
}

bool all_finite(std::initializer_list<double> values) {
    for (double v : values)
        if (!std::isfinite(v)) return false;
    return true;
}

}  // namespace kz::scene

namespace kz::scene {
void set_axis_extent(XLeaves& shape, double rx, double ry, double bottom, double top) {
    const double base_point[3] = {0.0, 0.0, bottom};
    const double corners[2][3] = {{-rx, -ry, bottom}, {rx, ry, top}};
    shape.SetStoredPoints(base_point, corners[0], corners[1], bottom, top);
}
}  // namespace kz::scene
