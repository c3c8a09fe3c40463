// The 16 caption slots over the 3D view: set by commands, rebuilt before a frame only when they changed, each
// one window-coordinate shape of stroke-font text on an optional panel with cut corners.
#include <cstring>

#include "app/foundation/bridge_services.h"
#include "app/foundation/bus_mdl.h"
#include "app/foundation/dib_text.h"
#include "app/foundation/field_tokenizer.h"
#include "app/foundation/matrix_ops.h"
#include "app/foundation/sjis_string.h"
#include "platform/device_context.h"

namespace kz::foundation {

namespace {

constexpr char kForceRebuild[] = "---";

void copy_text(char* out, std::size_t size, const char* text) {
    std::strncpy(out, text, size - 1);
    out[size - 1] = 0;
}

// The view's window is measured in these units; a setting of 0 or less would divide by nothing.
double menu_screen_height(BridgeServices* view) {
    auto* labels_view = dynamic_cast<TextLabelView*>(view);
    const double h = labels_view ? labels_view->MenuScreenHeight() : 1000.0;
    return h > 0.0 ? h : 1000.0;
}

void set_vertex(_O3duVertex& v, double x, double y, double z, double w, double h) {
    v.position = OfuVector3(x, y, z);
    v.tex = OfuVector2(w != 0 ? x / w : 0.0, h != 0 ? 1.0 - y / h : 0.0);
}

}  // namespace

void read_label_fields(const char* text, int& pos, TextLabel& record, std::uint32_t view_background) {
    const FieldSeparators seps{":", "\t", ","};
    int len = 0;
    TextLabelParams& p = record.params;
    get_field_string(text, pos, len, seps, record.text, sizeof record.text, "");
    p.x = get_field_double(text, pos, len, seps, p.x);
    p.y = get_field_double(text, pos, len, seps, p.y);
    p.size = get_field_double(text, pos, len, seps, p.size);
    p.color = static_cast<std::uint32_t>(get_field_color(text, pos, len, seps, static_cast<int>(p.color)));
    char face[sizeof p.face_name];
    get_field_string(text, pos, len, seps, face, sizeof face, p.face_name);
    std::memcpy(p.face_name, face, sizeof face);
    p.background = static_cast<std::uint32_t>(get_field_color(text, pos, len, seps, static_cast<int>(view_background)));
    p.alignment = get_field_int(text, pos, len, seps, p.alignment);
    p.placement = get_field_int(text, pos, len, seps, p.placement);
    p.background_switch = get_field_int(text, pos, len, seps, p.background_switch);
}

bool TextLabelParamsEqual(const TextLabelParams& a, const TextLabelParams& b) {
    return a.x == b.x && a.y == b.y && a.size == b.size && a.color == b.color &&
           std::strncmp(a.face_name, b.face_name, sizeof a.face_name) == 0 && a.background == b.background &&
           a.alignment == b.alignment && a.placement == b.placement && a.background_switch == b.background_switch &&
           a.background_transparency == b.background_transparency;
}

void CBusMDL::ResetTextLabels() {
    for (TextLabel& label : labels) {
        label.text[0] = 0;
        copy_text(label.previous_text, sizeof label.previous_text, kForceRebuild);
    }
}

void CBusMDL::InitTextLabels() {
    // Slots 0-2, 4-6 and 8-10 sit at the nine positions of the view; the others start bottom left.
    static const int kPlacement[16] = {0, 1, 2, 0, 4, 5, 6, 0, 8, 9, 10, 0, 0, 0, 0, 0};
    for (int slot = 0; slot < 16; ++slot) {
        TextLabel& label = labels[slot];
        if (label.shape && modeller) modeller->RemoveShapeAt(label.shape);
        label = TextLabel{};
        copy_text(label.previous_text, sizeof label.previous_text, kForceRebuild);
        copy_text(label.params.face_name, sizeof label.params.face_name, kLabelFaceName);
        label.params.alignment = label.params.placement = kPlacement[slot];
    }
}

int CBusMDL::TextLabelCommand(const char* command) {
    if (!command) return 1;
    if (compare_prefix_nocase(command, "clear", 5) == 0) {
        ResetTextLabels();
        return 1;
    }
    if (compare_prefix_nocase(command, "init", 4) == 0) {
        InitTextLabels();
        return 1;
    }
    const FieldSeparators seps{":", "\t", ","};
    int pos = 0, len = 0;
    const int slot = get_field_int(command, pos, len, seps, -1);
    if (slot < 0 || slot > 15) return 1;
    // The copies of the last build stay as they are: comparing with the state of an earlier command instead
    // would leave the shape of the build before it on screen when two commands come between frames.
    read_label_fields(command, pos, labels[slot], view ? view->BackgroundColor() : labels[slot].params.background);
    return 1;
}

int CBusMDL::RebuildTextLabel(int slot, _O3duViewport* viewport) {
    if (!modeller) return 1;
    if (slot < 0 || slot > 15) return 0;
    TextLabel& label = labels[slot];
    if (label.text[0] == 0 && label.previous_text[0] == 0) return 0;
    if (std::strcmp(label.text, label.previous_text) == 0 && TextLabelParamsEqual(label.params, label.previous_params))
        return 0;
    if (label.shape) {
        modeller->RemoveShapeAt(label.shape);
        label.shape = nullptr;
    }
    label.previous_params = label.params;
    std::memcpy(label.previous_text, label.text, sizeof label.text);
    if (label.text[0] == 0) return 1;
    FreePolygonBuffers();

    _O3duViewport screen{};
    if (viewport) {
        screen = *viewport;
    } else {
        modeller->GetViewport(screen);
        int movie_width = 0, movie_height = 0;
        auto* labels_view = dynamic_cast<TextLabelView*>(view);
        if (labels_view && labels_view->MovieRecording(&movie_width, &movie_height)) {
            screen.width = movie_width;
            screen.height = movie_height;
        }
    }
    const TextLabelParams& p = label.params;
    const double s = screen.height / menu_screen_height(view);
    const int f = truncate_pixels(s * p.size + 0.5);
    const int g = truncate_pixels(f * 0.2 + 0.5);
    int longest = 0, lines = 0;
    draw_multiline_text(nullptr, label.text, 0, 0, 0, 0, nullptr, -1, 0, &longest, &lines, 0, 0, 0, nullptr, 0);
    const int w = truncate_pixels(longest * static_cast<double>(f) * 0.5 + 2.0 * f + 0.5);
    const int h = truncate_pixels(lines * static_cast<double>(f) + f / 2.0 + (lines - 1) * static_cast<double>(g) +
                                  f / 2.0 + 0.5);
    const int horizontal = p.placement & 3, vertical = p.placement & 12;
    const double x0 = horizontal == 1 ? screen.width / 2.0 - w / 2 : horizontal == 2 ? double(screen.width) - w : 0;
    const double y0 = vertical == 0 ? double(screen.height) - h : vertical == 4 ? screen.height / 2.0 - h / 2 : 0;
    const int X = truncate_pixels(x0 + p.x + 0.5), Y = truncate_pixels(y0 + p.y + 0.5);

    CO3duPrimitive primitive;
    primitive.kind = 1;
    const bool panel = p.background_switch == 1;
    primitive.sets.SetSize(panel ? 2 : 1);
    // Window-coordinate sets are drawn unlit in their ambient colour, so an ambient factor of 1 is what shows
    // the given colours; a larger factor would push every channel above 255 / factor to full.
    if (panel) {
        CO3duTrianglePolys& set = primitive.sets[0];
        set.type = O3DU_SET_TRIANGLE_FAN;
        const int c = truncate_pixels(s * 5.0 + 0.5);
        const double pw = w, ph = h, pc = c;
        const double corners[8][2] = {{pc, 0},       {0, pc},       {0, ph - pc}, {pc, ph},
                                      {pw - pc, ph}, {pw, ph - pc}, {pw, pc},     {pw - pc, 0}};
        set.vertices.SetSize(8);
        for (int k = 0; k < 8; ++k) set_vertex(set.vertices[k], corners[k][0], corners[k][1], 1.0, w, h);
        MaterialRecord record;
        record.color = p.background;
        record.ambient = 1.0;
        record.diffuse = record.specular = 5.0;
        record.transparency = 0.3;
        ApplyMaterialRecord(set.material, record, kPartAll);
        set.material.power = 100.0f;
    }
    const double fd = f;
    const int laid =
        LayoutVectorText(label.text, 0.9, fd, fd / 2, 0, -fd, fd, 0, -(fd + g), nullptr, nullptr, 0, nullptr);
    const std::vector<double> points = std::move(polylines[laid].points);
    FreePolygonBuffers();
    CO3duTrianglePolys& text = primitive.sets[panel ? 1 : 0];
    text.type = O3DU_SET_LINE_LIST;
    const int n = static_cast<int>(points.size() / 3);
    text.vertices.SetSize(n);
    for (int k = 0; k < n; ++k)
        text.vertices[k].position = OfuVector3(points[3 * k], points[3 * k + 1], points[3 * k + 2]);
    // The stroke weight follows the text's size as it looks: on a display scaled by r the font is r times as many
    // pixels, and the modeller widens the line by r itself.
    const double ratio = device_context ? device_context->pixel_ratio() : 1.0;
    text.line_width = f / ratio < 28 ? 1.0f : 2.0f;
    MaterialRecord record;
    record.color = p.color;
    record.ambient = 1.0;
    record.diffuse = record.specular = 5.0;
    ApplyMaterialRecord(text.material, record, kPartAll);

    label.shape = modeller->AddPrimitive(primitive);
    if (!label.shape) return 0;
    SetBlendProps(label.shape, -1, 1);
    const double move[3] = {static_cast<double>(X), static_cast<double>(Y), 5.0}, turn[3] = {0, 0, 0};
    OfuMatrix4x4 m;
    compose_matrix_ops(0, &m.m[0][0], move, turn, 0, op_code("m"));
    modeller->MoveShape(label.shape, m);
    return 0;
}

}  // namespace kz::foundation
