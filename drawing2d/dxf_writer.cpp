// Exporting a drawing as an ASCII DXF file: a header with the extents and the code page of the texts (Shift_JIS),
// tables of line types, the layers in use and the library's text styles, and lines, arcs, circles and texts. The
// file replaces an old one only when it was written whole.
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "drawing2d/active_attributes.h"
#include "drawing2d/drawing_files.h"
#include "drawing2d/dxf_files.h"
#include "drawing2d/dxf_text_codes.h"
#include "drawing2d/plane_geometry.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/row_store.h"
#include "drawing2d/search.h"
#include "drawing2d/text_corners.h"
#include "drawing2d/text_fields.h"
#include "drawing2d/text_utils.h"
#include "platform/crt/c_numbers.h"
#include "platform/file_system.h"

namespace kz::drawing2d {
namespace {
struct LineType {
    std::string name, description;
    std::vector<double> elements;
};

class Out {
public:
    void put(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        char buffer[2048];
        va_list args;
        va_start(args, format);
        int n = kz::crt::c_vsnprintf(buffer, sizeof buffer, format, args);
        va_end(args);
        if (n > 0) text_.append(buffer, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof buffer - 1));
    }
    void pair(int code, const char* value) {
        put("%3d\n", code);
        text_.append(value).push_back('\n');  // whole, however long
    }
    void number(int code, double v) { put("%3d\n%f\n", code, v); }
    void integer(int code, int v) { put("%3d\n%6d\n", code, v); }
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

std::vector<LineType> read_dxf_line_type_table(const drawing_context* ctx) {
    std::vector<LineType> types = {{"", "", {}},
                                   {"CONTINUOUS", "SOLID(Solid line)", {}},
                                   {"HIDDEN", "HIDDEN( _ _ _ )", {4, -1}},
                                   {"DOT", "DOT(....)", {1, -1}},
                                   {"DASHDOT", "DASHDOT(___ . ___)", {20, -1, 1, -1}},
                                   {"DIVIDE", "DIVIDE(__ . . __)", {10, -1, 1, -1, 1, -1}}};
    for (const std::string& line : dxf_table_section(ctx, "//dtoaline")) {
        std::vector<char> copy(line.begin(), line.end());
        copy.push_back(0);
        char field[kFieldBuffer];
        if (take_field(copy.data(), field, sizeof field) <= 0) continue;
        char* end = nullptr;
        long entry = std::strtol(field, &end, 10);
        if (end == field || entry < 0 || entry > 5) continue;
        LineType t;
        take_field(copy.data(), field, sizeof field);
        trim_field(field);
        t.name = std::string(field).substr(0, 63);
        take_field(copy.data(), field, sizeof field);
        trim_field(field);
        t.description = std::string(field).substr(0, 127);
        take_field(copy.data(), field, sizeof field);
        int count = std::min(std::atoi(field), 32);
        for (int k = 0; k < count && take_field(copy.data(), field, sizeof field) > 0; ++k)
            t.elements.push_back(kz::crt::c_strtod(field, nullptr));
        types[entry] = t;
    }
    return types;
}

void read_dxf_colour_map(const drawing_context* ctx, int map[16]) {
    static const int kDefaults[8] = {7, 5, 1, 6, 3, 4, 2, 7};
    for (int c = 0; c < 16; ++c) map[c] = c < 8 ? kDefaults[c] : c;
    for (const std::string& line : dxf_table_section(ctx, "//dtoacolor")) {
        int pair[2];
        if (table_integers(line, 2, pair, " ,\t", std::string::npos) && pair[0] >= 0 && pair[0] <= 15)
            map[pair[0]] = pair[1];
    }
}

const char* line_type_name(int style) {
    static const char* const kNames[9] = {"CONTINUOUS", "CONTINUOUS", "HIDDEN",     "DOT",       "DASHDOT",
                                          "DIVIDE",     "DIVIDE",     "CONTINUOUS", "CONTINUOUS"};
    return style >= 0 && style <= 8 ? kNames[style] : "CONTINUOUS";
}

// Halves round upward on both sides of zero, so that a drawing moved by whole units (each import centres it
// anew) writes the same numbers.
double whole_unit(double v) { return std::floor(v + 0.5); }

double dxf_x(const drawing_context* ctx, double x) { return (x - ctx->gentenx) * ctx->plot_scale; }
double dxf_y(const drawing_context* ctx, double y) { return (ctx->genteny - y) * ctx->plot_scale; }

// The unit an import fits to a header of these corners, written as the header writes them.
double fitted_to_written(double lx, double ly, double hx, double hy) {
    double v[4] = {lx, ly, hx, hy};
    for (double& x : v) {
        char text[400];
        kz::crt::c_snprintf(text, sizeof text, "%f", x);
        x = kz::crt::c_strtod(text, nullptr);
    }
    return header_fitted_scale(v[0], v[1], v[2], v[3]);
}

// The header's corners in DXF units: the extents rounded to whole units of the scale that an import of this file
// fits to them. That is the drawing's own unit, unless the drawing took a coarser scale from limits far wider than
// what it holds: its own unit would then round the header to other numbers than the next import's, and every
// export imported again would move it. An empty drawing has no extents: its header is the origin, which an import
// centres on without growing the scale.
void header_corners(drawing_context* ctx, double* lx, double* ly, double* hx, double* hy) {
    double xmin, ymin, xmax, ymax;
    *lx = *ly = *hx = *hy = 0;
    if (!row_range_extents(ctx, 0, &xmin, &ymin, &xmax, &ymax, 0)) return;
    const double ps = ctx->plot_scale;
    const double span = std::max(xmax - xmin, ymax - ymin) * ps;
    const double unit = std::min(ps, fitted_plot_scale(0.001, span));
    const double ratio = ps / unit;
    // A finer unit rounds from the origin, which an import places on a whole unit, with the y axis before it turns
    // over, so that halves go the same way as in the drawing's own unit.
    auto x_at = [&](double x) {
        return ratio == 1 ? dxf_x(ctx, whole_unit(x)) : whole_unit((x - ctx->gentenx) * ratio) * unit;
    };
    auto y_at = [&](double y) {
        return ratio == 1 ? dxf_y(ctx, whole_unit(y)) : (0.0 - whole_unit((y - ctx->genteny) * ratio)) * unit;
    };
    *hx = x_at(xmax);
    *hy = y_at(ymin);
    *lx = x_at(xmin);
    *ly = y_at(ymax);
    // Records further apart than an import fits to one unit, 2^31 - 1 of them (ends saturated at the 32-bit range,
    // or records placed far beyond the limits the drawing was fitted to), would make the next import fit a coarser
    // unit to these extents and round every coordinate to it. The header is then the widest box that import fits to the
    // drawing's own unit, centred on the drawing's origin: unit and origin stay, and every record comes back where it
    // was.
    if (fitted_to_written(*lx, *ly, *hx, *hy) <= ps) return;
    const double h = 1073741823;  // an import fits a span of up to 2^31 - 1 units to one unit: 2h is within it
    const double c[4] = {dxf_x(ctx, -h), dxf_y(ctx, h), dxf_x(ctx, h), dxf_y(ctx, -h)};
    if (fitted_to_written(c[0], c[1], c[2], c[3]) != ps) return;
    *lx = c[0];
    *ly = c[1];
    *hx = c[2];
    *hy = c[3];
}

void write_dxf_header(drawing_context* ctx, Out& out) {
    double lx, ly, hx, hy;
    header_corners(ctx, &lx, &ly, &hx, &hy);
    out.put("  0\nSECTION\n  2\nHEADER\n");
    out.put("  9\n$ACADVER\n  1\nAC1009\n");
    out.put("  9\n$DWGCODEPAGE\n  3\nANSI_932\n");
    out.put("  9\n$AUNITS\n 70\n     0\n  9\n$AUPREC\n 70\n     3\n  9\n$CLAYER\n  8\n0\n");
    out.put("  9\n$EXTMAX\n 10\n%f\n 20\n%f\n 30\n0.0\n", hx, hy);
    out.put("  9\n$EXTMIN\n 10\n%f\n 20\n%f\n 30\n0.0\n", lx, ly);
    out.put("  9\n$LIMMAX\n 10\n%f\n 20\n%f\n", hx, hy);
    out.put("  9\n$LIMMIN\n 10\n%f\n 20\n%f\n", lx, ly);
    out.put("  9\n$LUNITS\n 70\n     2\n  9\n$LUPREC\n 70\n     3\n  9\n$UCSNAME\n  2\n\n");
    out.put("  9\n$UCSORG\n 10\n0.0\n 20\n0.0\n 30\n0.0\n");
    out.put("  9\n$UCSXDIR\n 10\n1.0\n 20\n0.0\n 30\n0.0\n");
    out.put("  9\n$UCSYDIR\n 10\n0.0\n 20\n1.0\n 30\n0.0\n");
    out.put("  9\n$LTSCALE\n 40\n%f\n  0\nENDSEC\n", ctx->print_scale);
}

void write_dxf_tables(const drawing_context* ctx, Out& out, const std::vector<LineType>& types) {
    out.put("  0\nSECTION\n  2\nTABLES\n  0\nTABLE\n  2\nLTYPE\n 70\n     5\n");
    for (int e = 1; e <= 5; ++e) {
        const LineType& t = types[e];
        double total = 0;
        for (double v : t.elements) total += std::fabs(v);
        out.put("  0\nLTYPE\n  2\n%s\n 70\n     0\n  3\n%s\n 72\n    65\n", t.name.c_str(), t.description.c_str());
        out.integer(73, static_cast<int>(t.elements.size()));
        out.number(40, total);
        for (double v : t.elements) out.number(49, v);
    }
    out.put("  0\nENDTAB\n  0\nTABLE\n  2\nLAYER\n");
    int used = 0;
    for (int l = 0; l < kLayers; ++l) used += ctx->layer_exist[l] != 0;
    out.integer(70, used);
    for (int l = 0; l < kLayers; ++l)
        if (ctx->layer_exist[l]) out.put("  0\nLAYER\n  2\n%d\n 70\n     0\n 62\n     7\n  6\nCONTINUOUS\n", l);
    out.put("  0\nENDTAB\n  0\nTABLE\n  2\nSTYLE\n 70\n     2\n");
    const struct {
        const char* name;
        int flags;
        const char* font;
    } styles[] = {{"STANDARD", 0, ""}, {"LUMV3YOKO", 0, "EXTFONT"}, {"LUMV3TATE", 4, "EXTFONT"}};
    for (const auto& s : styles)
        out.put(
            "  0\nSTYLE\n  2\n%s\n 70\n%6d\n 40\n0.0\n 41\n1.0\n 50\n0.0\n 71\n     0\n 42\n0.0\n  3\nTXT\n"
            "  4\n%s\n",
            s.name, s.flags, s.font);
    out.put("  0\nENDTAB\n  0\nENDSEC\n");
}

void entity_head(const drawing_context* ctx, int32_t row, Out& out, const char* name, const int map[16]) {
    out.pair(0, name);
    out.put("  8\n%d\n", row_layer(ctx, row));
    out.pair(6, line_type_name(row_style(ctx, row)));
    out.integer(62, map[row_color(ctx, row) & 15]);
}

void write_text(drawing_context* ctx, int32_t row, Out& out, const int map[16]) {
    if (row + 1 > ctx->mat) return;
    const int32_t p = row + 1;
    const int n = static_cast<int16_t>(ctx->c6[row] & 0xFFFF);
    char text[2 * kTextBuffer];
    if (n < 1 || xlum_getchar(ctx, row, text, sizeof text) <= 0) return;
    const double ps = ctx->plot_scale;
    const double W = ctx->c2[p] * ps, H = ctx->c3[p] * ps, P = ctx->c4[p] * ps;
    const double angle = ctx->c5[p] / 1000000.0, slant = ctx->c6[p] / 1000000.0;
    const int slot = row_color(ctx, row);
    const bool vertical = ((ctx->c7[p] >> 8) & 1) != 0 || (slot < kSlots && ctx->kanji_font_name[slot][0] == '@');
    double ax = ctx->c4[row], ay = ctx->c5[row];
    int alignment = ctx->c7[p] & 0xF;
    if (vertical) alignment = text_anchor_point(ctx, row, -1, 1, &ax, &ay);
    const double x = dxf_x(ctx, whole_unit(ax)), y = dxf_y(ctx, whole_unit(ay));
    const int h = alignment & 3, v = alignment / 4;
    const double length = (n - 1) * P + n * W;
    const double x10 = x - (h == 1 ? length / 2 : h == 2 ? length : 0);
    const double y10 = y - (v == 1 ? H / 2 : v == 2 ? H : 0);
    entity_head(ctx, row, out, "TEXT", map);
    out.put(" 10\n%f\n 20\n%f\n 30\n0.0\n", x10, y10);
    out.number(40, H);
    // Diameter, degree and plus-minus signs as the codes CAD programs take for them.
    out.pair(1, encode_special_codes(text).c_str());
    if (angle != 0) out.number(50, vertical ? normalize_degrees(angle - 270) : angle);
    if ((W != H || P != 0) && H != 0) out.number(41, length / n / H);
    if (slant != 0) out.number(51, slant);
    out.pair(7, vertical ? "LUMV3TATE" : "LUMV3YOKO");
    if (h != 0) out.integer(72, h);
    if (v >= 0 && v <= 2) out.integer(73, v + 1);
    if (h != 0 || (v >= 0 && v <= 2)) out.put(" 11\n%f\n 21\n%f\n 31\n0.0\n", x, y);
}

void write_dxf_entity(drawing_context* ctx, int32_t row, Out& out, const int map[16]) {
    switch (row_type(ctx, row)) {
    case kTypeLine:
        entity_head(ctx, row, out, "LINE", map);
        out.put(" 10\n%f\n 20\n%f\n 30\n0.0\n 11\n%f\n 21\n%f\n 31\n0.0\n", dxf_x(ctx, ctx->c4[row]),
                dxf_y(ctx, ctx->c5[row]), dxf_x(ctx, ctx->c6[row]), dxf_y(ctx, ctx->c7[row]));
        break;
    case kTypeArc: {
        if (row + 1 > ctx->mat) return;
        const int32_t start = ctx->c6[row + 1], end = ctx->c7[row + 1];
        const bool circle = start == end || (start == 0 && end == 360000000);
        entity_head(ctx, row, out, circle ? "CIRCLE" : "ARC", map);
        out.put(" 10\n%f\n 20\n%f\n 30\n0.0\n", dxf_x(ctx, arc_centre_x(ctx, row)), dxf_y(ctx, arc_centre_y(ctx, row)));
        out.number(40, static_cast<uint32_t>(ctx->c6[row]) * ctx->plot_scale);
        if (!circle) {
            out.number(50, start / 1000000.0);
            out.number(51, end / 1000000.0);
        }
        break;
    }
    case kTypeText:
    case kTypeKanjiText: write_text(ctx, row, out, map); break;
    default: break;
    }
}
}  // namespace

int text_anchor_point(drawing_context* ctx, int32_t row, int horizontal, int vertical, double* x_out, double* y_out) {
    // The alignment points of an upright outline: a reader puts the origin there and slants the text about it,
    // so a slanted text does not move on each export and import.
    double c[8];
    if (!calc_text_corners(ctx, row, c, nullptr, false)) return 0;
    const int own = row + 1 <= ctx->mat ? ctx->c7[row + 1] & 0xF : 0;
    if (horizontal < 0) horizontal = own & 3;
    if (vertical < 0) vertical = own / 4;
    const int code = horizontal + 4 * vertical;
    auto mid = [&](int a, int b) {
        *x_out = (c[2 * a] + c[2 * b]) / 2;
        *y_out = (c[2 * a + 1] + c[2 * b + 1]) / 2;
    };
    switch (code) {
    case 1: mid(0, 3); break;
    case 2: mid(3, 3); break;
    case 4: mid(0, 1); break;
    case 5:
        *x_out = (c[0] + c[2] + c[4] + c[6]) / 4;
        *y_out = (c[1] + c[3] + c[5] + c[7]) / 4;
        break;
    case 6: mid(2, 3); break;
    case 8: mid(1, 1); break;
    case 9: mid(1, 2); break;
    case 10: mid(2, 2); break;
    default: mid(0, 0); return 0;
    }
    return code;
}

int write_dxf(drawing_context* ctx, const char* path, int32_t row) {
    if (row < 0) row = 0;
    const int32_t end = find_data_end(ctx, row);
    if (end < row) return 0;
    kz::platform::FileWriter writer(path ? path : "");
    if (!writer.is_open()) return 0;
    xlum_make_layer_exist(ctx, row);
    const std::vector<LineType> types = read_dxf_line_type_table(ctx);
    int map[16];
    read_dxf_colour_map(ctx, map);
    Out out;
    write_dxf_header(ctx, out);
    write_dxf_tables(ctx, out, types);
    out.put("  0\nSECTION\n  2\nENTITIES\n");
    escape_pressed(200);
    for (int32_t r = row; r <= end; ++r) {
        if (escape_pressed(0)) return 0;
        if (row_code(ctx, r) >= 0 && row_code_u(ctx, r) != kEndCode) write_dxf_entity(ctx, r, out, map);
    }
    out.put("  0\nENDSEC\n  0\nEOF\n");
    if (!writer.write(out.text().data(), out.text().size())) return 0;
    return writer.commit() ? 1 : 0;
}

}  // namespace kz::drawing2d
