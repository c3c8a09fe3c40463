// Defaults of a new drawing, the saved header with its defaults, taking a read header into the drawing, and
// emptying an open drawing.
#include <cstdio>
#include <cstring>
#include <string>

#include "drawing2d/active_attributes.h"
#include "drawing2d/device_mapping.h"
#include "drawing2d/drawing_files.h"
#include "drawing2d/lumfont.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/search_filter.h"
#include "drawing2d/text_utils.h"
#include "platform/clipboard.h"
#include "platform/file_system.h"

namespace kz::drawing2d {
namespace {
constexpr int32_t kDefaultColor[kSlots] = {0xFFFFFF, 0xFF0000, 0x0000FF, 0xFF00FF, 0x00FF00, 0xFFFF00,
                                           0x00FFFF, 0xFFFFFF, 0xC0C0C0, 0x800000, 0x000080, 0x800080,
                                           0x008000, 0x808000, 0x008080, 0x808080};
constexpr int32_t kPenStyle[9] = {5, 0, 1, 2, 3, 4, 4, 1, 1};
// Dash patterns in millimetres, drawn pieces positive and gaps negative, ended by 0.
constexpr double kLineStyles[9][8] = {
    {0},
    {0},
    {4, -1, 0},
    {1, -1, 0},
    {20, -1, 1, -1, 0},
    {10, -1, 1, -1, 1, -1, 0},
    {10, -1, 1, -1, 1, -1, 1, -1},
    {8, -1, 0},
    {12, -1, 0},
};
const char kKanjiDefaultFont[] = "\x82\x6c\x82\x72\x20\x82\x6f\x96\xbe\x92\xa9";  // the Mincho face
const char kStamp[] = "Made by ZOLT32.DLL";

void copy_text(char* target, std::size_t size, const char* source) {
    std::snprintf(target, size, "%s", source ? source : "");
}
}  // namespace

void unpack_layer_bits(const unsigned char* bits, int32_t* flags) {
    for (int j = 0; j < 32; ++j)
        for (int b = 0; b < 8; ++b) flags[8 * j + b] = (bits[j] >> (7 - b)) & 1;
}

void pack_layer_bits(const int32_t* flags, unsigned char* bits) {
    for (int j = 0; j < 32; ++j) {
        unsigned char v = 0;
        for (int b = 0; b < 8; ++b)
            if (flags[8 * j + b]) v |= static_cast<unsigned char>(0x80 >> b);
        bits[j] = v;
    }
}

void default_drawing_header(unsigned char* block) {
    auto put = [block](int offset, double v) { std::memcpy(block + offset, &v, sizeof v); };
    std::memset(block, 0, 2048);
    put(0, 5.0);
    put(8, 0.001);
    for (int offset : {88, 96, 168, 176, 248, 256, 360, 368}) put(offset, 10.0);
    put(392, 1000.0);
    std::memset(block + 400, 0xFF, 32);
    put(472, 1.0);
    std::memcpy(block + 776, kStamp, sizeof kStamp);
}

int init_drawing_header(drawing_context* ctx) {
    ctx->mem = 0;
    default_drawing_header(ctx->drawing_header);
    ctx->version = 5.0;
    return 1;
}

int init_drawing_context(drawing_context* ctx) {
    ctx->real_draw = 0;
    ctx->lock_layer_color = 0xC0C0C0;
    ctx->back_color = 0;
    ctx->draw_limit = -1;
    ctx->draw_kanji_mode = ctx->draw_ank_mode = 1;
    ctx->print_device = 0;
    for (int s = 0; s < 9; ++s)
        for (int i = 0; i < 16; ++i) ctx->line_style_data[s][i] = i < 8 ? kLineStyles[s][i] : 0.0;
    ctx->dash_phase = 0;
    ctx->dash_index = 0;
    ctx->dash_style = 1;
    ctx->last_pen_x = ctx->last_pen_y = kNoStrokeEnd;
    ctx->clipboard_format = kz::platform::register_clipboard_format("LUMBRA-MPW");
    ctx->active_layer = 1;
    ctx->active_group = 1;
    ctx->active_color = 5;
    ctx->active_style = 1;
    ctx->layer_display_top = -1;
    ctx->mpp_unit = 0;
    ctx->data_end = 0;
    ctx->disp_pen_width = 1;
    ctx->display_mode_word = 0;
    ctx->disp_mode = 15;
    ctx->disp_line_color = ctx->disp_layer_number = ctx->disp_text_color = ctx->disp_paint_color = -1;
    ctx->disp_bscale = 1.0;
    ctx->saved_bscale = 0;
    ctx->display_offset_x = ctx->display_offset_y = 0;
    ctx->dvxmin = ctx->dvymin = 0;
    ctx->dvxmax = ctx->dvymax = 100;
    ctx->dv_width = ctx->dv_height = ctx->dw_width = ctx->dw_height = 100;
    for (int i = 0; i < kSlots; ++i) {
        ctx->default_color[i] = ctx->pen_color[i] = kDefaultColor[i];
        ctx->default_width[i] = ctx->pen_width[i] = ctx->saved_pen_width[i] = 1;
        ctx->print_pen_color[i] = 0;
        copy_text(ctx->kanji_font_name[i], 32, kKanjiDefaultFont);
        copy_text(ctx->ank_font_name[i], 32, "Arial");
        ctx->pen_width_mili[i] = 0.1;
        ctx->text_scale[i][0] = ctx->text_scale[i][1] = 1.0;
    }
    for (int i = 0; i < 9; ++i) ctx->pen_style[i] = kPenStyle[i];
    for (int i = 0; i < kLayers; ++i) {
        ctx->layer_exist[i] = 0;
        ctx->paint_layer_color[i] = -1;
        ctx->disp_layer[i] = 1;
        ctx->lock_layer[i] = 0;
        ctx->layer_color[i] = ctx->layer_style[i] = -1;
    }
    reset_search_filter(ctx);
    ctx->version = 5.0;
    ctx->plot_scale = 0.001;
    ctx->dwxmin = ctx->dwymin = 0;
    ctx->dwxmax = ctx->dwymax = 100;
    ctx->print_scale = 100.0;
    for (int i = 0; i < 9; ++i) {
        ctx->window_xmin[i] = ctx->window_ymin[i] = -2147483648.0;
        ctx->window_xmax[i] = ctx->window_ymax[i] = 2147483647.0;
    }
    ctx->disp_origin_x = ctx->disp_origin_y = 0;
    ctx->disp_scale_x = ctx->disp_scale_y = 1.0;
    ctx->disp_angle = ctx->disp_sin = 0;
    ctx->disp_cos = 1.0;
    ctx->aspect_ratio = 0.625;
    ctx->control_text_write = 1;
    ctx->pen_width_sw = 0;
    ctx->meta_dpi = 2540.0;
    ctx->zero_length_limit = 100;
    ctx->meta_type = 1;
    ctx->display_limits[0] = 0;
    ctx->display_limits[1] = 300;
    ctx->control_text_read = 1;
    ctx->dot_widening = ctx->paint_switch = 1;
    ctx->text_orgin_disp_size = 1.0;
    ctx->layer_paint_jun = -1;
    ctx->group_paint_jun = 1;
    ctx->disp_font_box_limit = 6.0;
    ctx->print_real_draw = 1;
    ctx->pen_width_mili_in_use = ctx->pen_width_mili;
    ctx->box_kanji = 1;
    ctx->disp_moji_max_size = 8000;
    ctx->crt_dpi = 100.0;
    ctx->arc_snap_angle_deg = 90.0;
    ctx->active_stack = static_cast<int32_t(*)[4]>(fresh_block(ctx->active_stack, sizeof(int32_t[16][4])));
    if (ctx->active_stack)
        for (int i = 0; i < 16; ++i)
            for (int k = 0; k < 4; ++k) ctx->active_stack[i][k] = 1;
    ctx->active_stack_top = ctx->active_stack_bottom = 0;
    ctx->lock_paint_same_color_sw = 1;
    resolve_font_slots(ctx);
    init_drawing_header(ctx);
    copy_text(ctx->exec_path, sizeof ctx->exec_path, kz::platform::temp_path().c_str());
    return 1;
}

void apply_drawing_header(drawing_context* ctx) {
    set_all_layers_displayed(ctx, 1);
    set_all_layers_locked(ctx, 0);
    std::memset(ctx->stamp_copy, 0, sizeof ctx->stamp_copy);
    ctx->version = header_double(ctx, 0);
    ctx->plot_scale = header_double(ctx, 8);
    ctx->gentenx = header_double(ctx, 16);
    ctx->genteny = header_double(ctx, 24);
    for (int i = 0; i < 7; ++i) ctx->header_values[i] = header_double(ctx, 32 + 8 * i);
    for (int i = 0; i < 34; ++i) ctx->header_copies[i] = header_double(ctx, 88 + 8 * i);
    for (int i = 0; i < 2; ++i) {
        ctx->header_sizes[i] = header_double(ctx, 360 + 8 * i);
        if (!(ctx->header_sizes[i] > 0)) ctx->header_sizes[i] = 1000.0;
    }
    if (ctx->version < 4) return;
    ctx->dwxmin = header_double(ctx, 376);
    ctx->dwymin = header_double(ctx, 384);
    ctx->dwxmax = header_double(ctx, 392);
    ctx->dwymax = (ctx->dwxmax - ctx->dwxmin) * 0.625 + ctx->dwymin;
    unpack_layer_bits(ctx->drawing_header + 400, ctx->disp_layer);
    ctx->print_scale = header_double(ctx, 472);
    if (!(ctx->print_scale > 0)) ctx->print_scale = 100.0;
    ctx->print_offset_x = header_double(ctx, 480);
    ctx->print_offset_y = header_double(ctx, 488);
    if (ctx->version < 5) return;
    unpack_layer_bits(ctx->drawing_header + 496, ctx->lock_layer);
    double r = ctx->dvxmax == ctx->dvxmin ? 0.625 : (ctx->dvymax - ctx->dvymin) / (ctx->dvxmax - ctx->dvxmin);
    ctx->aspect_ratio = r;
    for (int i = 0; i < 9; ++i) {
        ctx->window_xmin[i] = header_double(ctx, 560 + 24 * i);
        ctx->window_ymin[i] = header_double(ctx, 568 + 24 * i);
        ctx->window_xmax[i] = header_double(ctx, 576 + 24 * i);
        ctx->window_ymax[i] = (ctx->window_xmax[i] - ctx->window_xmin[i]) * r + ctx->window_ymin[i];
    }
    std::memset(ctx->drawing_header + 856, 0, 8);
    std::memcpy(ctx->stamp_copy, ctx->drawing_header + 776, 80);  // the zero at 856 ends it within 80 bytes
}

int xlum_new(drawing_context* ctx) {
    ctx->plot_scale = 0.001;
    ctx->print_scale = 100.0;
    grow_rows(ctx, 5000);
    ctx->c1[0] = kEndCode;
    ctx->data_end = 0;
    ctx->append_scan_hint = 0;
    xlum_set_open_file(ctx, nullptr, nullptr, nullptr, "untitled", ".MPW");
    std::memset(ctx->stamp_copy, 0, sizeof ctx->stamp_copy);
    delete_pens(ctx);
    for (int i = 0; i < kLayers; ++i) {
        ctx->disp_layer[i] = 1;
        ctx->lock_layer[i] = 0;
        ctx->layer_exist[i] = 0;
        ctx->paint_layer_color[i] = -1;
    }
    return 0;
}

}  // namespace kz::drawing2d
