// Dimension files: one "DIM" block of six sections per dimension, in real units, Shift_JIS text with CR LF line
// ends. Reading rebuilds each dimension as a text, a line, extension lines and arrow circles with the text linked
// to the line; writing finds them again by their links and takes them out of the MPW part.
#include "drawing2d/dimension_files.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "drawing2d/active_attributes.h"
#include "drawing2d/drawing_files.h"
#include "drawing2d/layer_name_file.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/record_display.h"
#include "drawing2d/row_store.h"
#include "drawing2d/text_fields.h"
#include "drawing2d/text_utils.h"
#include "platform/crt/c_numbers.h"
#include "platform/file_system.h"

namespace kz::drawing2d {
namespace {

struct dimension_record {
    int32_t text_layer = 0, text_colour = 0, text_style = 0, text_width_pen = 0, text_group = 0;
    double x = 0, y = 0, takasa = 0, haba = 0, kankaku = 0, kaiten = 0, katamuki = 0;
    int32_t genten = 0, nodec = 0, unit = 0, delzero = 0, round = 0, marume_type = 0, dgdisp = 0;
    double value = 0;
    std::string text, font;
    int32_t italic = 0, bold = 0, strikeout = 0;
    int32_t line_layer = 0, line_colour = 0, line_style = 0, line_width_pen = 0, line_group = 0;
    int32_t dimflag = 0, arrowstyle1 = 0, arrowdir1 = 0, arrowstyle2 = 0, arrowdir2 = 0, textpos = 0;
    double textoffset = 0, rotate = 0, oblique = 0;
    int32_t dimid = 0;
    double dim[4] = {}, ext1 = 0, ext2 = 0;
    double hojo[2][4] = {};  // end x, y, offset, extension
    double arrow[4] = {};
};

enum class Kind { integer, real, text };
struct Key {
    const char* section;
    const char* name;
    Kind kind;
    std::size_t offset;
};
#define KZ_DIM_KEY(section, name, kind, field) \
    { section, name, Kind::kind, offsetof(dimension_record, field) }
// In the order the file holds them.
const Key kKeys[] = {
    KZ_DIM_KEY("LINE_ATTRIBUTE", "layer", integer, line_layer),
    KZ_DIM_KEY("LINE_ATTRIBUTE", "group", integer, line_group),
    KZ_DIM_KEY("LINE_ATTRIBUTE", "color", integer, line_colour),
    KZ_DIM_KEY("LINE_ATTRIBUTE", "ltype", integer, line_style),
    KZ_DIM_KEY("LINE_ATTRIBUTE", "width", integer, line_width_pen),
    KZ_DIM_KEY("LINE_ATTRIBUTE", "dimflag", integer, dimflag),
    KZ_DIM_KEY("LINE_ATTRIBUTE", "arrowstyle1", integer, arrowstyle1),
    KZ_DIM_KEY("LINE_ATTRIBUTE", "arrowdir1", integer, arrowdir1),
    KZ_DIM_KEY("LINE_ATTRIBUTE", "arrowstyle2", integer, arrowstyle2),
    KZ_DIM_KEY("LINE_ATTRIBUTE", "arrowdir2", integer, arrowdir2),
    KZ_DIM_KEY("LINE_ATTRIBUTE", "textpos", integer, textpos),
    KZ_DIM_KEY("LINE_ATTRIBUTE", "textoffset", real, textoffset),
    KZ_DIM_KEY("LINE_ATTRIBUTE", "rotate", real, rotate),
    KZ_DIM_KEY("LINE_ATTRIBUTE", "oblique", real, oblique),
    KZ_DIM_KEY("LINE_ATTRIBUTE", "dimid", integer, dimid),
    KZ_DIM_KEY("SUNPOU", "xdim1", real, dim[0]),
    KZ_DIM_KEY("SUNPOU", "ydim1", real, dim[1]),
    KZ_DIM_KEY("SUNPOU", "xdim2", real, dim[2]),
    KZ_DIM_KEY("SUNPOU", "ydim2", real, dim[3]),
    KZ_DIM_KEY("SUNPOU", "ext1", real, ext1),
    KZ_DIM_KEY("SUNPOU", "ext2", real, ext2),
    KZ_DIM_KEY("HOJO1", "xext", real, hojo[0][0]),
    KZ_DIM_KEY("HOJO1", "yext", real, hojo[0][1]),
    KZ_DIM_KEY("HOJO1", "offset", real, hojo[0][2]),
    KZ_DIM_KEY("HOJO1", "ext", real, hojo[0][3]),
    KZ_DIM_KEY("HOJO2", "xext", real, hojo[1][0]),
    KZ_DIM_KEY("HOJO2", "yext", real, hojo[1][1]),
    KZ_DIM_KEY("HOJO2", "offset", real, hojo[1][2]),
    KZ_DIM_KEY("HOJO2", "ext", real, hojo[1][3]),
    KZ_DIM_KEY("ARROW", "arrow1x", real, arrow[0]),
    KZ_DIM_KEY("ARROW", "arrow1y", real, arrow[1]),
    KZ_DIM_KEY("ARROW", "arrow2x", real, arrow[2]),
    KZ_DIM_KEY("ARROW", "arrow2y", real, arrow[3]),
    KZ_DIM_KEY("TEXT_ATTRIBUTE", "layer", integer, text_layer),
    KZ_DIM_KEY("TEXT_ATTRIBUTE", "group", integer, text_group),
    KZ_DIM_KEY("TEXT_ATTRIBUTE", "color", integer, text_colour),
    KZ_DIM_KEY("TEXT_ATTRIBUTE", "ltype", integer, text_style),
    KZ_DIM_KEY("TEXT_ATTRIBUTE", "width", integer, text_width_pen),
    KZ_DIM_KEY("TEXT_ATTRIBUTE", "genten", integer, genten),
    KZ_DIM_KEY("TEXT_ATTRIBUTE", "kaiten", real, kaiten),
    KZ_DIM_KEY("TEXT_ATTRIBUTE", "katamuki", real, katamuki),
    KZ_DIM_KEY("TEXT_ATTRIBUTE", "takasa", real, takasa),
    KZ_DIM_KEY("TEXT_ATTRIBUTE", "haba", real, haba),
    KZ_DIM_KEY("TEXT_ATTRIBUTE", "kankaku", real, kankaku),
    KZ_DIM_KEY("TEXT_ATTRIBUTE", "nodec", integer, nodec),
    KZ_DIM_KEY("TEXT_ATTRIBUTE", "unit", integer, unit),
    KZ_DIM_KEY("TEXT_ATTRIBUTE", "round", integer, round),
    KZ_DIM_KEY("TEXT_ATTRIBUTE", "marume_type", integer, marume_type),
    KZ_DIM_KEY("TEXT_ATTRIBUTE", "delzero", integer, delzero),
    KZ_DIM_KEY("TEXT_ATTRIBUTE", "dgdisp", integer, dgdisp),
    KZ_DIM_KEY("TEXT_ATTRIBUTE", "x", real, x),
    KZ_DIM_KEY("TEXT_ATTRIBUTE", "y", real, y),
    KZ_DIM_KEY("TEXT_ATTRIBUTE", "value", real, value),
    KZ_DIM_KEY("TEXT_ATTRIBUTE", "text", text, text),
    KZ_DIM_KEY("TEXT_ATTRIBUTE", "font", text, font),
    KZ_DIM_KEY("TEXT_ATTRIBUTE", "italic", integer, italic),
    KZ_DIM_KEY("TEXT_ATTRIBUTE", "bold", integer, bold),
    KZ_DIM_KEY("TEXT_ATTRIBUTE", "strikeout", integer, strikeout),
};
#undef KZ_DIM_KEY
const char* const kSections[] = {"LINE_ATTRIBUTE", "SUNPOU", "HOJO1", "HOJO2", "ARROW", "TEXT_ATTRIBUTE"};

bool is_lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// The first '=', opening or closing bracket of the line outside double quotes, never the second byte of a
// double-byte character; 0 when there is none.
char first_mark(const std::string& line, std::size_t* at) {
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        if (is_lead(c)) {
            ++i;
            continue;
        }
        if (c == '"') quoted = !quoted;
        if (quoted) continue;
        if (std::strchr("=[{(]})", c) && c) {
            *at = i;
            return static_cast<char>(c);
        }
    }
    return 0;
}

std::string trimmed(const std::string& s) {
    std::vector<char> b(s.begin(), s.end());
    b.push_back(0);
    trim_field(b.data());
    std::string t = b.data();
    while (!t.empty() && t.front() == '\t') t.erase(0, 1);
    while (!t.empty() && (t.back() == '\t' || t.back() == ' ')) t.pop_back();
    trim_field(t.data());
    return std::string(t.c_str());
}

void store_key(dimension_record* r, const std::string& section, const std::string& key, std::string value) {
    for (const Key& k : kKeys) {
        if (strcasecmp(k.section, section.c_str()) != 0 || strcasecmp(k.name, key.c_str()) != 0) continue;
        char* field = reinterpret_cast<char*>(r) + k.offset;
        if (k.kind == Kind::integer) {
            *reinterpret_cast<int32_t*>(field) = std::atoi(value.c_str());
        } else if (k.kind == Kind::real) {
            *reinterpret_cast<double*>(field) = kz::crt::c_strtod(value.c_str(), nullptr);
        } else {
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.substr(1, value.size() - 2);
            const std::size_t marker = value.find("__^^__");
            if (marker != std::string::npos) value.resize(marker);
            *reinterpret_cast<std::string*>(field) = value;
        }
        return;
    }
}
}  // namespace

// One line of the file against the open block and section.
void parse_dim_file_line(const std::string& line, std::string& block, std::string& section,
                         std::vector<dimension_record>& records) {
    std::size_t at = 0;
    const char mark = first_mark(line, &at);
    if (mark == ']' || mark == '}' || mark == ')') {
        if (!section.empty())
            section.clear();
        else
            block.clear();
    } else if (mark == '[' || mark == '{' || mark == '(') {
        const std::string name = trimmed(line.substr(0, at));
        if (strcasecmp(name.c_str(), "DIM") == 0) {
            block = name;
            section.clear();
            if (records.capacity() == records.size()) records.reserve(records.size() + 1000);
            records.emplace_back();
        } else if (!block.empty()) {
            section = name;
        }
    } else if (mark == '=' && !block.empty() && !section.empty() && !records.empty()) {
        store_key(&records.back(), section, trimmed(line.substr(0, at)), trimmed(line.substr(at + 1)));
    }
}

namespace {
std::string base_of(const char* path) {
    const PathParts p = split_path(path ? path : "");
    return p.drive + p.dir + p.name;
}

int32_t clamp_units(double v) {
    if (!(v >= -2147483648.0)) return v != v ? 0 : INT32_MIN;
    return v > 2147483647.0 ? INT32_MAX : static_cast<int32_t>(std::llround(v));
}

// The text's format: rounding on (bit 0) and the rounding type above it. The file's type may be any int; one
// that does not fit shifted gives what the exact value would give the link attributes: the type's low two bits
// when it is positive, no type when it is negative (a negative format / 2 sets none).
int dimension_format(const dimension_record& d) {
    if (d.round == 1) return 7;
    if (d.nodec >= 16) return 0;
    int format = 0;
    if (!__builtin_mul_overflow(d.marume_type, 2, &format) && !__builtin_add_overflow(format, 1, &format))
        return format;
    return d.marume_type > 0 ? 1 + 2 * (d.marume_type & 3) : -3;
}

void build_dimension(drawing_context* ctx, const dimension_record& d, int32_t row) {
    const double ps = ctx->plot_scale > 0 ? ctx->plot_scale : 1.0;
    auto X = [&](double x) { return static_cast<double>(clamp_units(x / ps + ctx->gentenx)); };
    auto Y = [&](double y) { return static_cast<double>(clamp_units(ctx->genteny - y / ps)); };
    auto size = [&](double v) { return std::min(v / ps, 2147483647.0); };
    const int32_t text = xlum_set_text(ctx, nullptr, 0, -row, d.text.c_str(), 0, X(d.x), Y(d.y), size(d.haba),
                                       size(d.takasa), size(d.kankaku), d.kaiten, d.katamuki, d.genten, d.text_layer,
                                       d.text_group, d.text_colour, d.text_style);
    const double x1 = X(d.dim[0]), y1 = Y(d.dim[1]), x2 = X(d.dim[2]), y2 = Y(d.dim[3]);
    auto line = [&](double ax, double ay, double bx, double by) {
        return xlum_set_line(ctx, nullptr, 0, -row, ax, ay, bx, by, d.line_layer, d.line_group, d.line_colour,
                             d.line_style);
    };
    const int32_t dim_line = line(x1, y1, x2, y2);
    if (!(d.dimflag & 8)) line(x1, y1, X(d.hojo[0][0]), Y(d.hojo[0][1]));
    if (!(d.dimflag & 16)) line(x2, y2, X(d.hojo[1][0]), Y(d.hojo[1][1]));
    const int styles[2] = {d.arrowstyle1, d.arrowstyle2};
    const double ends[2][2] = {{x1, y1}, {x2, y2}}, radii[2] = {d.arrow[0], d.arrow[2]};
    for (int e = 0; e < 2; ++e)
        if (styles[e] != 0)
            xlum_set_arc(ctx, nullptr, 0, -row, ends[e][0], ends[e][1], radii[e] / 2 / ps, 0, 360, d.line_layer,
                         d.line_group, d.line_colour, d.line_style);
    if (text < 0 || dim_line < 0) return;
    xlum_set_dimstring(ctx, nullptr, 0, 0, dim_line, text, dimension_format(d), d.nodec, d.dgdisp, 0, d.delzero, -1);
}
}  // namespace

int xlum_dimconv_read(drawing_context* ctx, const char* path, int32_t row) {
    const std::string base = base_of(path);
    ctx->control_text_read = 1;
    if (xlum_read(ctx, (base + ".MPW").c_str(), row) != 1) return 0;
    const PathParts p = split_path(path);
    read_layer_file(ctx, p.drive.c_str(), p.dir.c_str(), p.name.c_str(), 1);
    std::string bytes;
    std::vector<dimension_record> records;
    if (kz::platform::read_whole_file(base + ".DIM", &bytes, std::size_t(64) << 20)) {
        std::string block, section;
        for (const std::string& line : text_lines(bytes)) parse_dim_file_line(line, block, section, records);
    }
    for (const dimension_record& d : records) build_dimension(ctx, d, row < 1 ? 1 : row);
    return 1;
}

char* xlum_new_marume(char* old, double value, int mode, int decimals, int unit, int thousands, int square,
                      int delzero) {
    static const double kUnits[4] = {1, 10, 1000, 1000000};
    if (unit >= 1 && unit <= 3) value /= square == 1 ? kUnits[unit] * kUnits[unit] : kUnits[unit];
    decimals = std::clamp(decimals, -15, 15);
    char text[512];
    int digits = std::max(decimals, 0);
    if (mode & 1) {
        const double scale = std::pow(10.0, decimals);
        double a = std::fabs(value) * scale;
        const int type = (mode / 2) & 3;
        const double adds[3] = {0.5, 0.001, 0.99999999};
        if (type == 3) {
            // Steps of a half: the last two digits of a hundredfold value become one digit, 0 or 5.
            double n = std::floor((a + 0.25) * 100);
            const double last = std::fmod(n, 100);
            a = (std::floor(n / 100) * 10 + (last < 50 ? 0 : 5)) / 10;
            if (last >= 50) ++digits;
        } else {
            a = std::floor(a + adds[type]);
        }
        value = std::copysign(a, value) / scale;
        kz::crt::c_snprintf(text, sizeof text, "%.*f", digits, value);
    } else {
        kz::crt::c_snprintf(text, sizeof text, "%.*f", decimals > 0 ? decimals : 6, value);
        if (decimals <= 0) delzero = 1;
    }
    std::string s = text;
    if ((delzero == 1 || decimals < 1) && s.find('.') != std::string::npos) {
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    if (thousands == 1) {
        const std::size_t start = s[0] == '-' ? 1 : 0;
        std::size_t end = s.find('.');
        if (end == std::string::npos) end = s.size();
        for (std::size_t i = end; i > start + 3; i -= 3) s.insert(i - 3, 1, ',');
    }
    release_block(old);
    return string_assign(nullptr, s.c_str(), nullptr, 0);
}

int32_t xlum_set_dimstring(drawing_context* ctx, device_context* dc, int32_t rop, int recompute, int32_t line_row,
                           int32_t text_row, int format, int decimals, int thousands, int unit, int delzero,
                           int32_t link) {
    if (!row_in_columns(ctx, line_row) || !row_in_columns(ctx, text_row) || text_row + 1 > ctx->mat) return -1;
    const int32_t text_type = row_type(ctx, text_row);
    if (row_type(ctx, line_row) != kTypeLine || (text_type != kTypeText && text_type != kTypeKanjiText)) return -1;
    if (link < 0) link = xlum_get_aki(ctx, "LINK", 1);
    if (link < 1) return -1;
    xlum_set_link_attribute(ctx, line_row, link, -1, -1, -1, -1, -1, -1);
    xlum_set_link_attribute(ctx, text_row, link, format & 1, thousands, delzero, format / 2, unit, decimals & 0xFF);
    return recompute == 1 ? xlum_change_dimstring_d(ctx, dc, rop, line_row, text_row, -1) : text_row;
}

int32_t xlum_change_dimstring_d(drawing_context* ctx, device_context* dc, int32_t rop, int32_t line_row,
                                int32_t text_row, int32_t new_row) {
    if (!row_in_columns(ctx, line_row) || !row_in_columns(ctx, text_row) || text_row + 1 > ctx->mat) return -1;
    if (row_type(ctx, line_row) != kTypeLine) return -1;
    int32_t link = 0, on = 0, thousands = 0, delzero = 0, type = 0, unit = 0, decimals = 0;
    if (!xlum_get_link_attribute(ctx, text_row, &link, &on, &thousands, &delzero, &type, &unit, &decimals) ||
        row_type(ctx, text_row) == kTypeLine)
        return -1;
    const double length = std::hypot(static_cast<double>(ctx->c6[line_row]) - ctx->c4[line_row],
                                     static_cast<double>(ctx->c7[line_row]) - ctx->c5[line_row]) *
                          ctx->plot_scale;
    char* text = xlum_new_marume(nullptr, length, on | (type << 1), decimals, unit, thousands, 0, delzero);
    const int32_t p = text_row + 1;
    const int32_t head_c3 = ctx->c3[text_row], param_c7 = ctx->c7[p];
    if (dc) xlum_gdisp_one(ctx, dc, text_row, 1);
    const int32_t row = xlum_set_text(ctx, nullptr, 0, new_row, text, 0, ctx->c4[text_row], ctx->c5[text_row],
                                      ctx->c2[p], ctx->c3[p], ctx->c4[p], ctx->c5[p] / 1000000.0,
                                      ctx->c6[p] / 1000000.0, param_c7 & 15, row_layer(ctx, text_row),
                                      row_group(ctx, text_row), row_color(ctx, text_row), row_style(ctx, text_row));
    release_block(text);
    if (row < 0) return -1;
    ctx->c3[row] = head_c3;
    ctx->c7[row + 1] = param_c7;
    xlum_delete_primitive(ctx, text_row);
    if (dc) xlum_gdisp_one(ctx, dc, row, rop == 0 ? 15 : rop);
    return row;
}

double segment_direction_cosine(double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                                double y4) {
    const double a = std::hypot(x2 - x1, y2 - y1), b = std::hypot(x4 - x3, y4 - y3);
    if (a < 1e-9 || b < 1e-9) return 1.0;
    return ((x2 - x1) * (x4 - x3) + (y2 - y1) * (y4 - y3)) / a / b;
}

}  // namespace kz::drawing2d

namespace kz::drawing2d {
namespace {
struct FoundDimension {
    int32_t line = -1, text = -1;
    double ends[2][2] = {};  // extension line far ends
    bool extension[2] = {false, false};
    double arrow[2] = {0, 0};
};

void write_dim_block(std::string& out, const dimension_record& d) {
    char buffer[1200];
    out += "DIM{\r\n";
    for (const char* section : kSections) {
        out += '\t';
        out += section;
        out += "{\r\n";
        for (const Key& k : kKeys) {
            if (std::strcmp(k.section, section) != 0) continue;
            const char* field = reinterpret_cast<const char*>(&d) + k.offset;
            if (k.kind == Kind::integer)
                std::snprintf(buffer, sizeof buffer, "\t\t%s=%d\r\n", k.name, *reinterpret_cast<const int32_t*>(field));
            else if (k.kind == Kind::real)
                kz::crt::c_snprintf(buffer, sizeof buffer, "\t\t%s=%f\r\n", k.name,
                                    *reinterpret_cast<const double*>(field));
            else
                std::snprintf(buffer, sizeof buffer, "\t\t%s=\"%s\"\r\n", k.name,
                              reinterpret_cast<const std::string*>(field)->c_str());
            out += buffer;
        }
        out += "\t}\r\n";
    }
    out += "}\r\n";
}

bool near_point(double ax, double ay, double bx, double by) {
    return std::fabs(ax - bx) <= 2 && std::fabs(ay - by) <= 2;
}

dimension_record record_of(drawing_context* ctx, const FoundDimension& f) {
    dimension_record d;
    const double ps = ctx->plot_scale;
    auto X = [&](double x) { return (x - ctx->gentenx) * ps; };
    auto Y = [&](double y) { return (ctx->genteny - y) * ps; };
    const int32_t t = f.text, p = f.text + 1, l = f.line;
    d.text_layer = row_layer(ctx, t);
    d.text_colour = row_color(ctx, t);
    d.text_style = row_style(ctx, t);
    d.text_width_pen = 1;
    d.text_group = row_group(ctx, t);
    d.genten = ctx->c7[p] & 15;
    d.kaiten = ctx->c5[p] / 1000000.0;
    d.katamuki = ctx->c6[p] / 1000000.0;
    d.takasa = ctx->c3[p] * ps;
    const int slot = d.text_colour > 15 ? 5 : d.text_colour;
    const bool sized = (row_type(ctx, t) == kTypeText ? ctx->ank_res[slot] : ctx->text_res[slot]) == 1;
    d.haba = sized ? 0 : ctx->c2[p] * ps;
    d.kankaku = sized ? 0 : ctx->c4[p] * ps;
    int32_t link = 0, on = 0, thousands = 0, delzero = 0, type = 0, unit = 0, decimals = 0;
    xlum_get_link_attribute(ctx, t, &link, &on, &thousands, &delzero, &type, &unit, &decimals);
    d.unit = unit;
    d.dgdisp = thousands;
    d.delzero = delzero;
    d.nodec = on ? decimals : 0;
    d.round = on && type == 3 ? 1 : 0;
    d.marume_type = on && type != 3 ? type : 0;
    d.x = X(ctx->c4[t]);
    d.y = Y(ctx->c5[t]);
    const double x1 = ctx->c4[l], y1 = ctx->c5[l], x2 = ctx->c6[l], y2 = ctx->c7[l];
    d.value = std::hypot(x2 - x1, y2 - y1) * ps;
    char text[1024];
    xlum_getchar(ctx, t, text, sizeof text);
    d.text = text;
    d.line_layer = row_layer(ctx, l);
    d.line_colour = row_color(ctx, l);
    d.line_style = row_style(ctx, l);
    d.line_width_pen = 1;
    d.line_group = row_group(ctx, l);
    d.dimflag = 32 + (f.extension[0] ? 0 : 8) + (f.extension[1] ? 0 : 16);
    d.arrowstyle1 = f.arrow[0] > 0 ? 3 : 0;
    d.arrowstyle2 = f.arrow[1] > 0 ? 3 : 0;
    d.arrowdir1 = d.arrowdir2 = 1;
    d.textpos = 51;
    d.dimid = 1;
    d.dim[0] = X(x1), d.dim[1] = Y(y1), d.dim[2] = X(x2), d.dim[3] = Y(y2);
    for (int e = 0; e < 2; ++e) {
        d.hojo[e][0] = X(f.ends[e][0]);
        d.hojo[e][1] = Y(f.ends[e][1]);
    }
    const double a = std::max(f.arrow[0], f.arrow[1]);
    for (double& v : d.arrow) v = a > 0 ? a * ps : 100;
    return d;
}

// The dimensions from `row`: each link number's line and single-byte text, their extension lines and arrows.
std::vector<FoundDimension> find_dimensions(drawing_context* ctx, int32_t row, int32_t end,
                                            std::vector<int32_t>* marked) {
    std::vector<FoundDimension> found;
    std::vector<int> by_link(65536, -1);
    bool dimension_layer[kLayers] = {};
    for (int32_t r = row; r < end; ++r) {
        if (row_code(ctx, r) <= 0) continue;
        const int32_t link = (ctx->c3[r] >> 16) & 0xFFFF, type = row_type(ctx, r);
        if (!link || (type != kTypeLine && type != kTypeText)) continue;
        if (by_link[link] < 0) {
            by_link[link] = static_cast<int>(found.size());
            found.emplace_back();
        }
        FoundDimension& f = found[by_link[link]];
        (type == kTypeLine ? f.line : f.text) = r;
    }
    std::erase_if(found, [](const FoundDimension& f) { return f.line < 0 || f.text < 0; });
    for (FoundDimension& f : found) {
        marked->insert(marked->end(), {f.line, f.text});
        dimension_layer[row_layer(ctx, f.line)] = true;
        for (int e = 0; e < 2; ++e) {
            f.ends[e][0] = e ? ctx->c6[f.line] : ctx->c4[f.line];
            f.ends[e][1] = e ? ctx->c7[f.line] : ctx->c5[f.line];
        }
    }
    for (int32_t r = row; r < end; ++r) {
        if (row_code(ctx, r) <= 0 || !dimension_layer[row_layer(ctx, r)]) continue;
        if (std::find(marked->begin(), marked->end(), r) != marked->end()) continue;
        const int32_t type = row_type(ctx, r);
        for (FoundDimension& f : found) {
            const int32_t l = f.line;
            const double lx[2] = {static_cast<double>(ctx->c4[l]), static_cast<double>(ctx->c6[l])};
            const double ly[2] = {static_cast<double>(ctx->c5[l]), static_cast<double>(ctx->c7[l])};
            bool taken = false;
            for (int e = 0; e < 2 && !taken; ++e) {
                if (type == kTypeArc && near_point(arc_centre_x(ctx, r), arc_centre_y(ctx, r), lx[e], ly[e])) {
                    f.arrow[e] = 2.0 * static_cast<uint32_t>(ctx->c6[r]);
                    taken = true;
                } else if (type == kTypeLine) {
                    const double px[2] = {static_cast<double>(ctx->c4[r]), static_cast<double>(ctx->c6[r])};
                    const double py[2] = {static_cast<double>(ctx->c5[r]), static_cast<double>(ctx->c7[r])};
                    if (std::fabs(segment_direction_cosine(lx[0], ly[0], lx[1], ly[1], px[0], py[0], px[1], py[1])) >
                        0.1)
                        continue;
                    for (int k = 0; k < 2 && !taken; ++k) {
                        if (!near_point(px[k], py[k], lx[e], ly[e])) continue;
                        if (f.extension[e] && segment_direction_cosine(lx[e], ly[e], f.ends[e][0], f.ends[e][1], px[k],
                                                                       py[k], px[1 - k], py[1 - k]) <= 0.9)
                            continue;
                        f.ends[e][0] = px[1 - k];
                        f.ends[e][1] = py[1 - k];
                        f.extension[e] = taken = true;
                    }
                }
            }
            if (taken) {
                marked->push_back(r);
                break;
            }
        }
    }
    return found;
}
}  // namespace

int xlum_dimconv_write(drawing_context* ctx, const char* path, int32_t row) {
    if (row < 0) row = 0;
    const std::string base = base_of(path);
    const int32_t end = find_data_end(ctx, 0);
    if (end < row) return 0;
    // The drawing comes back as it was: its rows are kept aside while the dimensions are taken out.
    std::vector<int32_t> saved[7];
    for (int k = 0; k < 7; ++k) saved[k].assign(columns(ctx)[k], columns(ctx)[k] + end + 1);
    std::vector<int32_t> marked;
    const std::vector<FoundDimension> found = find_dimensions(ctx, row, end, &marked);
    std::string out;
    for (const FoundDimension& f : found) write_dim_block(out, record_of(ctx, f));
    if (!kz::platform::write_whole_file(base + ".DIM", out)) return 0;
    for (int32_t r : marked) xlum_delete_primitive(ctx, r);
    const int result = xlum_write(ctx, (base + ".MPW").c_str(), row, -1);
    if (result == 1) {
        const PathParts p = split_path(path);
        write_layer_file(ctx, p.drive.c_str(), p.dir.c_str(), p.name.c_str());
    }
    for (int k = 0; k < 7; ++k) std::copy(saved[k].begin(), saved[k].end(), columns(ctx)[k]);
    ctx->data_end = end;
    note_rows_changed(ctx, 0);
    return result;
}

}  // namespace kz::drawing2d
