// The bridge's vector text: Shift_JIS text laid out in the stroke font into the polyline list (cells of full or
// half width, lines separated by "__", the glyphs placed by a rotation and a move), and the "[lumfont=" paste text
// with its block alignment, colour, line width and transparency.
#include "app/foundation/bus_mdl.h"

#include <cmath>
#include <cstring>

#include "app/foundation/dib_text.h"
#include "app/foundation/field_tokenizer.h"
#include "app/foundation/matrix_ops.h"
#include "app/foundation/stroke_font.h"

namespace kz::foundation {
namespace {

// Rotate about Y, then X, then Z, then move: the order in which the paste text's angles are meant.
void placement(const double* move, const double* angles, double* m) {
    const double zero[3] = {0, 0, 0};
    compose_matrix_ops(0, m, move ? move : zero, angles ? angles : zero, 0, op_code("y"), op_code("x"), op_code("z"),
                       op_code("M"));
}

void append_placed(PolylineEntry& line, const double* m, double x, double y, double z) {
    double p[3] = {x, y, z};
    transform_point(p, p, m);
    line.add_point(p[0], p[1], p[2]);
}

bool is_single_byte(unsigned char c) { return (c >= 0x20 && c <= 0x7E) || (c >= 0xA0 && c <= 0xDF); }

}  // namespace

int CBusMDL::LayoutVectorText(const char* text, double r, double x0, double y0, double z, double h, double w, double a,
                              double d, const double* move, const double* angles, int mode, const double* leader) {
    const int p = polyline_count;
    PolylineEntry& line = OpenPolyline();
    double m[16];
    placement(move, angles, m);
    const double sign = h > 0 ? 1 : -1, offset = h > 0 ? 0 : 1, height = std::fabs(h);
    double x = x0, y = y0;
    const auto* t = reinterpret_cast<const unsigned char*>(text ? text : "");
    double seg[kMaxGlyphSegments * 4];
    for (std::size_t i = 0; t[i];) {
        if (t[i] == '_' && t[i + 1] == '_') {
            y -= d;
            x = x0;
            i += 2;
            continue;
        }
        char character[2] = {static_cast<char>(t[i]), 0};
        double cell = w, lift = 0;
        if (is_single_byte(t[i])) {
            cell = w / 2;
            lift = -0.1;
            i += 1;
        } else {
            if (t[i + 1] == 0) break;  // a lead byte without its trail byte ends the text
            character[1] = static_cast<char>(t[i + 1]);
            i += 2;
        }
        const int n = get_kanji_line(character, seg);
        for (int k = 0; k < n; ++k) {
            const double* s = seg + 4 * k;
            append_placed(line, m, x + cell * s[0] * r, y + ((lift + s[1]) * sign + offset) * height * r, z);
            append_placed(line, m, x + cell * s[2] * r, y + ((lift + s[3]) * sign + offset) * height * r, z);
        }
        x += cell + r * a;
    }
    if (mode == 1 && leader) line.points.insert(line.points.end(), leader, leader + 6);
    ClosePolyline();
    return p;
}

int CBusMDL::AddVectorText(const char* paste, double transparency) {
    constexpr int kTagLength = 9;  // "[lumfont="
    if (!paste || std::strlen(paste) < static_cast<std::size_t>(kTagLength)) return 1;
    const FieldSeparators seps{":", "\t", ","};
    int pos = kTagLength, len = 0;
    char text[2400];
    const int placement_bits = get_field_int(paste, pos, len, seps, 0);
    get_field_string(paste, pos, len, seps, text, sizeof text, "");
    const double s = get_field_double(paste, pos, len, seps, 90.0);
    const double w = get_field_double(paste, pos, len, seps, std::fabs(s));
    const double a = get_field_double(paste, pos, len, seps, 0.0);
    const double g = get_field_double(paste, pos, len, seps, s * 0.2);
    const double k = get_field_double(paste, pos, len, seps, 1.0);
    const int line_width = get_field_int(paste, pos, len, seps, 1);
    const int color = get_field_color(paste, pos, len, seps, 0);
    double move[3], angles[3], leader[6];
    for (double& v : move) v = get_field_double(paste, pos, len, seps, 0.0);
    for (double& v : angles) v = get_field_double(paste, pos, len, seps, 0.0);
    const int mode = get_field_int(paste, pos, len, seps, 0);
    for (int i = 0; i < 3; ++i) leader[i] = get_field_double(paste, pos, len, seps, 0.0);
    const double r = get_field_double(paste, pos, len, seps, 0.9);
    const double t = get_field_double(paste, pos, len, seps, transparency);
    if (text[0] == 0 || std::fabs(s) < 1 || std::fabs(w) < 1) return 1;

    int longest = 0, lines = 0;
    draw_multiline_text(nullptr, text, 0, 0, 0, 0, nullptr, -1, 0, &longest, &lines, 0, 0, 0, nullptr, 0);
    const double size = std::fabs(s);
    const double block_width = longest * std::fabs(w) / 2 + (longest - 1) * a;
    const double block_height = (lines - 1) * g + lines * size;
    const double step = (g + size) * k;
    const int horizontal = placement_bits & 3, vertical = placement_bits & 12;
    const double x0 = horizontal == 1 ? -block_width / 2 : horizontal == 2 ? -block_width : 0;
    double y0;
    if (k >= 0)
        y0 = vertical == 4 ? block_height / 2 - size : vertical == 8 ? -size : block_height - size;
    else
        y0 = vertical == 4 ? -block_height / 2 : vertical == 8 ? -block_height : 0;
    leader[3] = move[0];
    leader[4] = move[1];
    leader[5] = move[2];
    const int p = LayoutVectorText(text, r, x0, y0, 0, s, w, a, step, move, angles, mode, leader);
    PolylineEntry& line = polylines[p];
    if (line.points.empty()) {  // nothing drawn (no font): no empty stroke set is left behind
        line = PolylineEntry();
        --polyline_count;
        return 1;
    }
    if (line_width > 1) line.line_width = line_width;
    line.color = static_cast<std::uint32_t>(color);
    line.ambient = 5.0;
    line.transparency = t;
    return 0;
}

}  // namespace kz::foundation
