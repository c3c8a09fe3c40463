// The attribute records: their keys, how each is applied when a file is read, and the records written before a
// file is saved, in the order that the maker's other programs expect. Keys match whatever the case of their
// letters; the values are fields of the text after the key.
#include "drawing2d/attribute_records.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "drawing2d/active_attributes.h"
#include "drawing2d/lumfont.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/row_store.h"
#include "drawing2d/search.h"
#include "drawing2d/text_fields.h"
#include "drawing2d/text_utils.h"
#include "drawing2d/transforms.h"
#include "platform/crt/c_numbers.h"

namespace kz::drawing2d {
namespace {
using kz::crt::c_atof;
using kz::crt::c_atoi;

// The values after a key, taken one field at a time.
class Values {
public:
    explicit Values(const char* text) {
        std::size_t n = std::strlen(text);
        if (n >= sizeof line_) n = sizeof line_ - 1;
        std::memcpy(line_, text, n);
        line_[n] = 0;
    }
    // The next field; false when none is left (an empty field counts as absent).
    bool next() { return take_field(line_, field_, sizeof field_) > 0; }
    bool next_int(int32_t* v) { return next() && (*v = c_atoi(field_), true); }
    bool next_double(double* v) { return next() && (*v = c_atof(field_), true); }
    const char* rest() const { return line_; }

private:
    char line_[kTextBuffer + 8];
    char field_[kTextBuffer];
};

void read_ints(Values& v, int32_t* table, int count, int32_t floor) {
    int32_t x;
    for (int i = 0; i < count && v.next_int(&x); ++i) table[i] = x < floor ? floor : x;
}

void read_doubles(Values& v, double* table, int count) {
    double x;
    for (int i = 0; i < count && v.next_double(&x); ++i) table[i] = x;
}

void read_colours(Values& v, int32_t* table, const int32_t* defaults) {
    int32_t x;
    for (int i = 0; i < kSlots && v.next_int(&x); ++i) table[i] = x < 0 ? defaults[i] : x;
}

// A name carried as hexadecimal byte pairs, at most `limit` bytes.
std::string hex_bytes(const char* text, std::size_t limit) {
    std::string out;
    for (std::size_t i = 0; text[i] && text[i + 1] && out.size() < limit; i += 2)
        out.push_back(static_cast<char>(hex_field_value(text, static_cast<int>(i), 2)));
    if (out.find('\0') != std::string::npos) out.resize(out.find('\0'));
    return out;
}

enum FontSide { kBothSides, kKanjiSide, kAnkSide };

// Slot, the name's byte codes ending with 0, then the back switch and the measuring size when present.
void apply_font(drawing_context* ctx, Values& v, FontSide side) {
    int32_t slot = 0;
    v.next_int(&slot);
    if (slot < 0 || slot > 15) slot = 0;
    char name[32] = {};
    int32_t code = 0;
    for (int taken = 0, i = 0; i < 32 && v.next_int(&code) && code != 0; ++i)
        if (taken < 31) name[taken++] = static_cast<char>(code);
    if (side != kAnkSide) copy_font_name(ctx->kanji_font_name[slot], name);
    if (side != kKanjiSide) copy_font_name(ctx->ank_font_name[slot], name);
    int32_t back = 0;
    if (v.next_int(&back)) {
        if (back != 0 && back != 1) back = 0;
        if (side != kAnkSide) ctx->text_back[slot] = back;
        if (side != kKanjiSide) ctx->ank_back[slot] = back;
    }
    double size = 0;
    if (v.next_double(&size)) {
        int32_t res = (size >= 0 && size <= 100) ? round_to_int32(size) : 0;
        if (side != kAnkSide) ctx->text_res[slot] = res;
        if (side != kKanjiSide) ctx->ank_res[slot] = res;
    }
}

void apply_layer_colour(drawing_context* ctx, Values& v) {
    int32_t layer = -1, red = 0, green = 0, blue = 0;
    v.next_int(&layer);
    v.next_int(&red);
    v.next_int(&green);
    v.next_int(&blue);
    if (layer < 0 || layer > 255) return;
    ctx->paint_layer_color[layer] = red >= 0 ? (red & 255) + (green & 255) * 256 + (blue & 255) * 65536 : red;
}

void apply_line_style(drawing_context* ctx, Values& v) {
    int32_t n = 0;
    double a = 0, b = 0, c = 0;
    v.next_int(&n);
    v.next_double(&a);
    v.next_double(&b);
    v.next_double(&c);
    if (n < 2 || n > 8) return;
    double* style = ctx->line_style_data[n];
    style[0] = a;
    style[1] = b;
    style[2] = c;
    const double tails[3][6] = {{b, 0}, {b, c, b, 0}, {b, c, b, c, b, 0}};
    const int lengths[3] = {2, 4, 6};
    if (n >= 4 && n <= 6)
        for (int i = 0; i < lengths[n - 4]; ++i) style[3 + i] = tails[n - 4][i];
}

void apply_layer_table(Values& v, int32_t* table, int32_t low, int32_t high) {
    int32_t x;
    for (int i = 0; i < kLayers && v.next_int(&x); ++i)
        if (x >= low && x <= high) table[i] = x;
}

void apply_layer_text(drawing_context* ctx, const char* text, bool group) {
    int32_t layer = hex_field_value(text, 0, 2);
    if (layer > 255) layer = 0;
    std::string name = std::strlen(text) > 2 ? hex_bytes(text + 2, 1023) : std::string();
    if (group)
        xlum_set_layer_group(ctx, layer, name.c_str());
    else
        xlum_set_layer_name(ctx, layer, name.c_str());
}

enum Key {
    kLayCol,
    kParamI,
    kLineWidthMili,
    kLineWidthMiliWhite,
    kTextBold,
    kOldLineWidth,
    kLineWidth,
    kLineWidthWhite,
    kPenColor,
    kPrintPenColor,
    kTextFont,
    kKanjiFont,
    kAnkFont,
    kLineStyle,
    kLayerName,
    kLayerGroup,
    kLayerColor,
    kLayerStyle,
    kLastZmn,
};

// In the order they are compared: a key that begins another must come after it.
const char* const kKeys[] = {"&RUV.LayCol&",  "<~ParamI=",        "<~LineWidthMili=", "<~LineWidthMiliWhite=",
                             "<~TextBold=",   "&RUV.LineWidth&",  "<~LineWidth=",     "<~LineWidthWhite=",
                             "<~PenColor=",   "<~PrintPenColor=", "&RUV.TextFont&",   "<~KanjiFont=",
                             "<~AnkFont=",    "<~LineStyle",      "<~LayerName=",     "<~LayerGroup=",
                             "<~LayerColor=", "<~LayerStyle=",    "<~LastZMN="};

int match_key(const char* text) {
    for (int k = 0; k < static_cast<int>(std::size(kKeys)); ++k)
        if (strncasecmp(text, kKeys[k], std::strlen(kKeys[k])) == 0) return k;
    return -1;
}

void apply_record(drawing_context* ctx, int key, const char* text) {
    std::size_t skip = key == kLineStyle ? 12 : std::strlen(kKeys[key]);
    const char* after = std::strlen(text) >= skip ? text + skip : "";
    Values v(after);
    switch (key) {
    case kLayCol: apply_layer_colour(ctx, v); break;
    case kParamI:
        v.next_int(&ctx->pen_width_sw);
        v.next_int(&ctx->pen_white_width_sw);
        break;
    case kLineWidthMili: read_doubles(v, ctx->pen_width_mili, kSlots); break;
    case kLineWidthMiliWhite: read_doubles(v, ctx->pen_width_mili_white, kSlots); break;
    case kTextBold: read_ints(v, ctx->pen_bold, kSlots, INT32_MIN); break;
    case kOldLineWidth: break;
    case kLineWidth: read_ints(v, ctx->pen_width, kSlots, -1); break;
    case kLineWidthWhite: {
        int32_t values[kSlots + 1];
        int count = 0;
        while (count < kSlots + 1 && v.next_int(&values[count])) ++count;
        for (int i = 0; i < count && i < kSlots; ++i) ctx->pen_width_dot_white[i] = values[i] < -1 ? -1 : values[i];
        if (count > kSlots) ctx->white_line_sw = values[kSlots];
        break;
    }
    case kPenColor: read_colours(v, ctx->pen_color, ctx->default_color); break;
    case kPrintPenColor: read_colours(v, ctx->print_pen_color, ctx->default_color); break;
    case kTextFont: apply_font(ctx, v, kBothSides); break;
    case kKanjiFont: apply_font(ctx, v, kKanjiSide); break;
    case kAnkFont: apply_font(ctx, v, kAnkSide); break;
    case kLineStyle: apply_line_style(ctx, v); break;
    case kLayerName: apply_layer_text(ctx, after, false); break;
    case kLayerGroup: apply_layer_text(ctx, after, true); break;
    case kLayerColor: apply_layer_table(v, ctx->layer_color, INT32_MIN, 15); break;
    case kLayerStyle: apply_layer_table(v, ctx->layer_style, 1, 8); break;
    case kLastZmn: {
        std::string name = hex_bytes(after, 255);
        std::memcpy(ctx->last_drawing_name, name.c_str(), name.size() + 1);
        break;
    }
    default: break;
    }
}

// Text builders for the records written.
template <class... A>
void add(std::string& s, const char* format, A... args) {
    char buffer[64];
    kz::crt::c_snprintf(buffer, sizeof buffer, format, args...);
    s += buffer;
}

std::string list_record(const char* key, const int32_t* values, int count, const char* format = " %d") {
    std::string s = key;
    for (int i = 0; i < count; ++i) add(s, format, values[i]);
    return s;
}

std::string font_record(const char* key, int slot, const char* name, int32_t back, int32_t res) {
    std::string s;
    add(s, "%s %d", key, slot);
    std::size_t n = strnlen(name, 31);
    for (std::size_t i = 0; i <= n; ++i) add(s, " %d", static_cast<int>(static_cast<signed char>(name[i])));
    add(s, " %d", back);
    add(s, " %d", res);
    return s;
}

std::string hex_record(const char* key, int layer, const char* bytes) {
    std::string s = key;
    if (layer >= 0) add(s, "%02X", layer);
    for (std::size_t i = 0; bytes[i] && i < 1000; ++i) add(s, "%02X", static_cast<unsigned char>(bytes[i]));
    return s;
}

std::string table_record(const char* key, const int32_t* table) {
    std::string s = key;
    for (int i = 0; i < kLayers; ++i) add(s, i ? ",%d" : "%d", table[i]);
    return s;
}

bool any_above_zero(const int32_t* table) {
    for (int i = 0; i < kLayers; ++i)
        if (table[i] > 0) return true;
    return false;
}
}  // namespace

int read_attribute_records(drawing_context* ctx, int32_t row, int apply) {
    ctx->attribute_records_found = 0;
    if (apply == 1) {
        for (auto& colour : ctx->paint_layer_color) colour = -1;
        reset_layer_tables(ctx);
    }
    mark_row_limits(ctx);
    char text[kTextBuffer];
    for (int32_t r = row < 0 ? 0 : row; r < ctx->mat && row_code_u(ctx, r) != kEndCode; ++r) {
        int32_t type = row_type(ctx, r);
        if (row_code(ctx, r) < 0 || (type != kTypeText && type != kTypeKanjiText)) continue;
        xlum_getchar(ctx, r, text, sizeof text);
        int key = match_key(text);
        if (key < 0) continue;
        if (apply == 1) apply_record(ctx, key, text);
        xlum_delete_primitive(ctx, r);
        ctx->attribute_records_found = 1;
    }
    int32_t end = xlum_gpack(ctx, row, -1, -1);
    if (end >= 0) ctx->data_end = end;
    return 1;
}

int32_t put_attribute_text(drawing_context* ctx, int32_t row, int32_t layer, int32_t group, int32_t colour,
                           int32_t style, double x, double y, double width, double height, double pitch, double angle,
                           double slant, int32_t alignment, const char* text, int32_t flags) {
    if (layer < 0 || layer > 255) layer = ctx->active_layer;
    if (group < 1 || group > 32000) group = ctx->active_group;
    if (colour < 1 || colour > 15) colour = ctx->active_color;
    if (style < 1 || style > 8) style = ctx->active_style;
    int32_t from = row == INT32_MIN ? INT32_MAX : (row < 0 ? -row : row);
    if (!text || !*text || std::strlen(text) >= kTextBuffer || sjis_char_count(text) > 3000)
        return row < 1 ? from : row;
    char converted[2 * kTextBuffer + 4];
    const char* stored = text;
    int32_t type = kTypeText;
    if (sjis_char_count(text) != static_cast<int>(std::strlen(text))) {
        to_full_width(text, converted, sizeof converted);
        stored = converted;
        type = kTypeKanjiText;
    }
    int chars =
        type == kTypeKanjiText ? static_cast<int>(std::strlen(stored) / 2) : static_cast<int>(std::strlen(stored));
    if (row < 1) {
        int32_t reserved = reserve_rows(ctx, from, 2 + (chars + 5) / 6);
        if (reserved < 0) return from;
        row = reserved;
    }
    write_text_rows(ctx, row, type, layer, group, colour, style, x, y, width, height, pitch, angle, slant, alignment,
                    stored, flags);
    return row;
}

int write_attribute_records(drawing_context* ctx, int32_t row, int32_t layer) {
    if (layer < 0) layer = xlum_get_aki(ctx, "layer", 0);
    int32_t group = xlum_get_aki(ctx, "group", 0);
    double xmin, ymin, xmax, ymax;
    row_range_extents(ctx, 0, &xmin, &ymin, &xmax, &ymax, 0);
    // A drawing whose extents leave the int32 range (an arc centre may) still saves its settings.
    xmin = std::clamp(xmin, -2147483648.0, 2147483647.0);
    ymin = std::clamp(ymin, -2147483648.0, 2147483647.0);
    int32_t at = row;
    auto put = [&](const std::string& text) {
        at = put_attribute_text(ctx, -at, layer, group, 1, 1, xmin, ymin, -1, 1, 0, 0, 0, 8, text.c_str(), 0);
    };
    for (int i = 0; i < kLayers; ++i) {
        int32_t colour = ctx->paint_layer_color[i];
        if (colour == -1) continue;
        std::string s;
        if (colour >= 0)
            add(s, "&RUV.LayCol& %d %d %d %d", i, colour & 255, (colour >> 8) & 255, (colour >> 16) & 255);
        else
            add(s, "&RUV.LayCol& %d -2", i);
        put(s);
    }
    std::string s = "<~ParamI=";
    add(s, " %ld %d", static_cast<long>(ctx->pen_width_sw), ctx->pen_white_width_sw);
    put(s);
    s = "<~LineWidthMili=";
    for (double w : ctx->pen_width_mili) add(s, " %6.2f", w);
    put(s);
    s = "<~LineWidthMiliWhite=";
    for (double w : ctx->pen_width_mili_white) add(s, " %6.2f", w);
    put(s);
    put(list_record("<~TextBold=", ctx->pen_bold, kSlots));
    put(list_record("<~LineWidth=", ctx->pen_width, kSlots));
    s = list_record("<~LineWidthWhite=", ctx->pen_width_dot_white, kSlots);
    add(s, " %d", ctx->white_line_sw);
    put(s);
    put(list_record("<~PenColor=", ctx->pen_color, kSlots));
    put(list_record("<~PrintPenColor=", ctx->print_pen_color, kSlots));
    for (int slot = 0; slot < kSlots; ++slot) {
        put(font_record("<~KanjiFont=", slot, ctx->kanji_font_name[slot], ctx->text_back[slot], ctx->text_res[slot]));
        put(font_record("<~AnkFont=", slot, ctx->ank_font_name[slot], ctx->ank_back[slot], ctx->ank_res[slot]));
    }
    for (int n = 2; n <= 8; ++n) {
        s.clear();
        const double* style = ctx->line_style_data[n];
        add(s, "<~LineStyle %d %f %f %f", n, style[0], style[1], style[2]);
        put(s);
    }
    for (int i = 0; i < kLayers; ++i)
        if (*layer_name_of(ctx, i)) put(hex_record("<~LayerName=", i, layer_name_of(ctx, i)));
    for (int i = 0; i < kLayers; ++i)
        if (*layer_group_of(ctx, i)) put(hex_record("<~LayerGroup=", i, layer_group_of(ctx, i)));
    if (any_above_zero(ctx->layer_color)) put(table_record("<~LayerColor=", ctx->layer_color));
    if (any_above_zero(ctx->layer_style)) put(table_record("<~LayerStyle=", ctx->layer_style));
    if (ctx->last_drawing_name[0]) put(hex_record("<~LastZMN=", -1, ctx->last_drawing_name));
    return 0;
}

}  // namespace kz::drawing2d
