// The name table of the drawing's variables: column views of the record rows and the settings fields.
// Two aliases share a field; the first match in table order wins.
#include "drawing2d/named_variables.h"

#include <strings.h>

#include <cstddef>
#include <cstring>

#include "platform/crt/c_numbers.h"

namespace kz::drawing2d {
namespace {
struct Variable {
    const char* name;
    std::size_t offset;
    int32_t type;
    int32_t count;
};

#define KZ_VAR(field, type, count) \
    { #field, offsetof(drawing_context, field), type, count }
#define KZ_VAR_AS(name, field, type, count) \
    { name, offsetof(drawing_context, field), type, count }

const Variable kVariables[] = {
    KZ_VAR_AS("pen_width_mili", pen_width_mili, kVarDouble, 16),
    KZ_VAR_AS("pen_width_mili_black", pen_width_mili, kVarDouble, 16),
    KZ_VAR(pen_width_mili_white, kVarDouble, 16),
    KZ_VAR(print_pen_color, kVarInt32, 16),
    KZ_VAR(pen_color, kVarInt32, 16),
    KZ_VAR(pen_width, kVarInt32, 16),
    KZ_VAR(pen_width_dot_white, kVarInt32, 16),
    KZ_VAR(text_back, kVarInt32, 16),
    KZ_VAR(back_color, kVarInt32, 1),
    KZ_VAR(pen_bold, kVarInt32, 16),
    KZ_VAR(pen_width_sw, kVarInt32, 1),
    KZ_VAR(pen_white_width_sw, kVarInt32, 1),
    KZ_VAR(lock_layer_color, kVarInt32, 1),
    KZ_VAR(disp_layer, kVarInt32, kLayers),
    KZ_VAR(lock_layer, kVarInt32, kLayers),
    KZ_VAR(layer_exist, kVarInt32, kLayers),
    KZ_VAR(active_layer, kVarInt32, 1),
    KZ_VAR(active_group, kVarInt32, 1),
    KZ_VAR(active_color, kVarInt32, 1),
    KZ_VAR(active_style, kVarInt32, 1),
    KZ_VAR(disp_mode, kVarInt32, 1),
    KZ_VAR(disp_pen_width, kVarInt32, 1),
    KZ_VAR(disp_line_color, kVarInt32, 1),
    KZ_VAR(disp_layer_number, kVarInt32, 1),
    KZ_VAR(disp_text_color, kVarInt32, 1),
    KZ_VAR(disp_paint_color, kVarInt32, 1),
    KZ_VAR(text_res, kVarInt32, 16),
    KZ_VAR(ank_res, kVarInt32, 16),
    KZ_VAR(by_command, kVarInt32, 1),
    KZ_VAR(by_layer, kVarInt32, 1),
    KZ_VAR(by_group, kVarInt32, 1),
    KZ_VAR(by_color, kVarInt32, 1),
    KZ_VAR(by_style, kVarInt32, 1),
    KZ_VAR(by_ura_layer, kVarInt32, 1),
    KZ_VAR(by_lock_layer, kVarInt32, 1),
    KZ_VAR(dwxmin, kVarDouble, 1),
    KZ_VAR(dwymin, kVarDouble, 1),
    KZ_VAR(dwxmax, kVarDouble, 1),
    KZ_VAR(dwymax, kVarDouble, 1),
    KZ_VAR(disp_bscale, kVarDouble, 1),
    KZ_VAR(dvxmin, kVarDouble, 1),
    KZ_VAR(dvymin, kVarDouble, 1),
    KZ_VAR(dvxmax, kVarDouble, 1),
    KZ_VAR(dvymax, kVarDouble, 1),
    KZ_VAR(paint_layer_color, kVarInt32, kLayers),
    KZ_VAR(default_color, kVarInt32, 16),
    KZ_VAR(default_width, kVarInt32, 16),
    KZ_VAR(max, kVarInt32, 1),
    KZ_VAR(mau, kVarInt32, 1),
    KZ_VAR(mat, kVarInt32, 1),
    KZ_VAR(mem, kVarDouble, 1),
    KZ_VAR(version, kVarDouble, 1),
    KZ_VAR(plot_scale, kVarDouble, 1),
    KZ_VAR(gentenx, kVarDouble, 1),
    KZ_VAR(genteny, kVarDouble, 1),
    KZ_VAR(print_scale, kVarDouble, 1),
    KZ_VAR(meta_dpi, kVarDouble, 1),
    KZ_VAR(draw_limit, kVarInt32, 1),
    KZ_VAR(draw_kanji_mode, kVarInt32, 1),
    KZ_VAR(draw_ank_mode, kVarInt32, 1),
    KZ_VAR(marker_paint, kVarInt32, 1),
    KZ_VAR_AS("line_style_print_switch", real_draw, kVarInt32, 1),
    KZ_VAR(real_draw, kVarInt32, 1),
    KZ_VAR(control_text_write, kVarInt32, 1),
    KZ_VAR(control_text_read, kVarInt32, 1),
    KZ_VAR(paint_mode, kVarInt32, 1),
    KZ_VAR(paste_tab, kVarInt32, 1),
    KZ_VAR(edit_flag, kVarInt32, 1),
    KZ_VAR(fill_circle_layer, kVarInt32, kLayers),
    KZ_VAR(layer_paint_jun, kVarInt32, 1),
    KZ_VAR(group_paint_jun, kVarInt32, 1),
    KZ_VAR(print_device, kVarInt32, 1),
    KZ_VAR(text_orgin_disp_sw, kVarInt32, 1),
    KZ_VAR(text_orgin_disp_size, kVarDouble, 1),
    KZ_VAR(gmxmn_center_sw, kVarInt32, 1),
    KZ_VAR(print_real_draw, kVarInt32, 1),
    KZ_VAR(disp_font_box_limit, kVarDouble, 1),
    KZ_VAR(crt_dpi, kVarDouble, 1),
    KZ_VAR(arc_snap_angle_deg, kVarDouble, 1),
    KZ_VAR(box_kanji, kVarInt32, 1),
    KZ_VAR(disp_moji_max_size, kVarInt32, 1),
    KZ_VAR(lf_height_type, kVarInt32, 1),
    KZ_VAR(disp_text_angle_sw, kVarInt32, 1),
    KZ_VAR(ext_pen_sw, kVarInt32, 1),
    KZ_VAR(ext_pen_endcap, kVarInt32, 1),
    KZ_VAR(ext_pen_join, kVarInt32, 1),
    KZ_VAR(link_line_disp_sw, kVarInt32, 1),
    KZ_VAR(baketu_mode, kVarInt32, 1),
    KZ_VAR(layer_color, kVarInt32, kLayers),
    KZ_VAR(layer_style, kVarInt32, kLayers),
    KZ_VAR(meta_type, kVarInt32, 1),
    KZ_VAR(lock_paint_same_color_sw, kVarInt32, 1),
    KZ_VAR(image_enable, kVarInt32, 1),
};
#undef KZ_VAR
#undef KZ_VAR_AS

void select(drawing_context* ctx, void* p, int32_t type, int32_t count) {
    ctx->selected_variable = p;
    ctx->selected_type = type;
    ctx->selected_count = count;
}

// "c1".."c7" with the view suffixes "l", "h" and "c".
bool select_column(drawing_context* ctx, const char* name) {
    if ((name[0] != 'c' && name[0] != 'C') || name[1] < '1' || name[1] > '7') return false;
    int32_t type;
    if (name[2] == 0)
        type = kVarInt32;
    else if (name[3] != 0)
        return false;
    else if (name[2] == 'l' || name[2] == 'L')
        type = kVarByte0;
    else if (name[2] == 'h' || name[2] == 'H')
        type = kVarByte1;
    else if (name[2] == 'c' || name[2] == 'C')
        type = kVarLow16;
    else
        return false;
    int32_t* cols[7] = {ctx->c1, ctx->c2, ctx->c3, ctx->c4, ctx->c5, ctx->c6, ctx->c7};
    select(ctx, cols[name[1] - '1'], type, ctx->mat + 1);
    return true;
}
}  // namespace

int select_variable(drawing_context* ctx, const char* name) {
    select(ctx, nullptr, 0, 0);
    if (!name) return 0;
    if (select_column(ctx, name)) return 1;
    for (const Variable& v : kVariables)
        if (strcasecmp(v.name, name) == 0) {
            select(ctx, reinterpret_cast<char*>(ctx) + v.offset, v.type, v.count);
            return 1;
        }
    if (strncasecmp(name, "line_style_data", 15) == 0) {
        int style = kz::crt::c_atoi(name + 15);
        if (style < 0 || style > 8) return 0;
        select(ctx, ctx->line_style_data[style], kVarDouble, 16);
        return 1;
    }
    return 0;
}

double selected_element(const drawing_context* ctx, int64_t index) {
    if (!ctx->selected_variable || index < 0 || index >= ctx->selected_count) return 0.0;
    const auto* p = static_cast<const unsigned char*>(ctx->selected_variable);
    switch (ctx->selected_type) {
    case kVarInt16: {
        int16_t v;
        std::memcpy(&v, p + 2 * index, 2);
        return v;
    }
    case kVarInt32: return reinterpret_cast<const int32_t*>(p)[index];
    case kVarUInt32: return static_cast<uint32_t>(reinterpret_cast<const int32_t*>(p)[index]);
    case kVarDouble: return reinterpret_cast<const double*>(p)[index];
    case kVarByte0: return reinterpret_cast<const int32_t*>(p)[index] & 0xFF;
    case kVarByte1: return (reinterpret_cast<const int32_t*>(p)[index] >> 8) & 0xFF;
    case kVarLow16: return static_cast<int16_t>(reinterpret_cast<const int32_t*>(p)[index] & 0xFFFF);
    default: return 0.0;
    }
}

}  // namespace kz::drawing2d
