// The lines of a CAD drawing pasted on a face: drawing units to face units, and drawing texts expanded into the
// strokes of the built-in font so they can be drawn as lines.
#include <cmath>
#include <cstring>

#include "app/foundation/stroke_font.h"
#include "app/scene/pasted_drawing.h"
#include "app/scene/view_services.h"
#include "app/scene/xleaf.h"
#include "app/scene/xleaves.h"
#include "platform/crt/mbcs.h"

namespace kz::scene {

using namespace kz::foundation;

namespace {
constexpr double kPi = 3.141592653589793;
constexpr double kPastedZ = 10.0;
}  // namespace

void expand_text_segments(const DrawingTextRecord& t, std::vector<double>& segments) {
    if (!t.text || !*t.text || t.count < 1) return;
    const double h = t.height;
    const double w = t.width > 0.0 ? t.width : h / 2.0;
    const double c = t.spacing;
    const double length = (t.count - 1) * c + t.count * w;
    double dx = 0.0, dy = 0.0;
    if (t.anchor >= 0 && t.anchor <= 10 && t.anchor != 3 && t.anchor != 7) {
        const int column = t.anchor % 4, row = t.anchor / 4;
        dx = column == 1 ? length / 2.0 : column == 2 ? length : 0.0;
        dy = row == 1 ? -h / 2.0 : row == 2 ? -h : 0.0;
    }
    const double a = -t.angle_degrees / 180.0 * kPi;
    const double ca = std::cos(a), sa = std::sin(a);
    static double strokes[kMaxGlyphSegments * 4];
    const std::size_t bytes = std::strlen(t.text);
    int k = 0;
    for (std::size_t i = 0; i < bytes; ++k) {
        char character[2] = {t.text[i], 0};
        const bool double_byte = kz::crt::is_sjis_lead(static_cast<unsigned char>(t.text[i])) && i + 1 < bytes;
        if (double_byte) character[1] = t.text[i + 1];
        i += double_byte ? 2 : 1;
        const int n = get_kanji_line(character, strokes);
        for (int s = 0; s < n; ++s) {
            double ends[2][2];
            for (int e = 0; e < 2; ++e) {
                const double gx = std::trunc(strokes[4 * s + 2 * e] * 256.0 * (double_byte ? 1.0 : 0.6));
                const double gy = std::trunc(strokes[4 * s + 2 * e + 1] * 256.0);
                const double X = gx * h / 256.0 - dx + k * (c + w);
                const double Y = -gy * h / 256.0 - dy;
                ends[e][0] = t.x + X * ca - Y * sa;
                ends[e][1] = t.y + X * sa + Y * ca;
            }
            segments.insert(segments.end(), {ends[0][0], ends[0][1], kPastedZ, ends[1][0], ends[1][1], kPastedZ});
        }
    }
}

void XLeaf::AddDrawingLine(const drawing_context* drawing, const double* line, std::int32_t line_color) {
    const DrawingUnits u = drawing_units(drawing);
    PastedLine out{};
    double* ends[2] = {out.start, out.end};
    // Each axis from its own origin: the drawing's y grows downward, the face's upward.
    for (int e = 0; e < 2; ++e) {
        ends[e][0] = (line[3 * e] - u.origin_x) * u.unit / u.scale;
        ends[e][1] = -(line[3 * e + 1] - u.origin_y) * u.unit / u.scale;
        ends[e][2] = line[3 * e + 2];
    }
    out.color = line_color;
    if (lines.capacity() < lines.size() + 10) lines.reserve(lines.size() + 20);
    lines.push_back(out);
}

int XLeaf::LoadPastedDrawing(const char* file_name) {
    lines.clear();
    if (!file_name || !*file_name) return 0;
    XViewServices* v = owner ? owner->view() : nullptr;
    if (!v) return 0;
    const std::function<bool()> keep_going = [v] { return v->KeepWorking(); };
    OpenedDrawing drawing;
    drawing_context* d = drawing.context();
    if (!read_pasted_drawing(*v, file_name, d, keep_going)) return 0;
    std::vector<double> segments;
    for_each_drawn_record(d, keep_going, [&](int row, int type, int pen) {
        if (type == kz::drawing2d::kTypeLine) {
            const double line[6] = {static_cast<double>(d->c4[row]), static_cast<double>(d->c5[row]), kPastedZ,
                                    static_cast<double>(d->c6[row]), static_cast<double>(d->c7[row]), kPastedZ};
            AddDrawingLine(d, line, d->pen_color[pen]);
            return;
        }
        segments.clear();
        int count = 0;
        ExpandTextPrimitive(d, row, segments, &count);
        for (int k = 0; k < count; ++k) AddDrawingLine(d, &segments[6 * k], d->pen_color[pen]);
    });
    return static_cast<int>(lines.size());
}

std::vector<double>& XLeaf::ExpandTextPrimitive(const drawing_context* drawing, int row, std::vector<double>& buffer,
                                                int* count) {
    DrawingTextRecord t;
    char text[2048];
    // Reading the string does not change the drawing; the library's reader merely takes no const context.
    if (drawing && text_record_of(const_cast<drawing_context*>(drawing), row, &t, text, sizeof text))
        expand_text_segments(t, buffer);
    if (count) *count = static_cast<int>(buffer.size() / 6);
    return buffer;
}

}  // namespace kz::scene
