// The pens of records, cached per colour entry and line style for one display call, and the raster-operation
// rules that every display entry point applies to its mode.
#include "drawing2d/device_mapping.h"

#include "platform/device_context.h"

namespace kz::drawing2d {

void delete_pens(drawing_context* ctx) {
    if (!ctx) return;
    for (auto& entry : ctx->pen_cache)
        for (cached_pen& pen : entry) pen = cached_pen{};
    for (auto& state : ctx->pen_entry_state) state[0] = state[1] = state[2] = 0;
}

std::optional<platform::Pen> select_record_pen(drawing_context* ctx, device_context* dc, int32_t colour, int32_t style,
                                               int32_t layer, int solid, platform::ColorRef* colour_out) {
    if (!ctx || !dc) return std::nullopt;
    const int c = colour < 0 ? 15 : colour > 15 ? 0 : colour;
    const int32_t w = ctx->pen_width[c];
    int32_t width = 0;
    if (ctx->print_device == 0) {
        if (w < 0) return std::nullopt;
        width = w == 0 ? 1 : ctx->disp_pen_width >= 0 ? ctx->disp_pen_width : w;
        if (w != 0 && width < 1) return std::nullopt;
    } else {
        if (w < 1) return std::nullopt;
        width = ctx->disp_pen_width >= 0 ? ctx->disp_pen_width : w;
        if (width < 1) return std::nullopt;
    }
    const bool locked = layer >= 0 && layer < kLayers && ctx->lock_layer[layer] != 0;
    const int entry = c + (ctx->disp_line_color == ctx->back_color ? 32 : locked ? 16 : 0);
    const int index = solid == 1 ? 1 : style < 0 ? 8 : style > 8 ? 0 : style;
    platform::ColorRef rgb = static_cast<platform::ColorRef>(ctx->disp_line_color >= 0 ? ctx->disp_line_color
                                                             : locked                  ? ctx->lock_layer_color
                                                                                       : ctx->pen_color[c]);
    rgb &= 0xFFFFFF;
    cached_pen& cell = ctx->pen_cache[entry][index];
    // A cell made for another colour or width is stale: colours and widths may change between displays.
    if (!cell.made || cell.color != rgb || cell.width != width) {
        int gdi_style = ctx->pen_style[index];
        if (ctx->print_device != 2 && ctx->ext_pen_sw == 1 && width >= 3)
            gdi_style |= ctx->ext_pen_endcap | ctx->ext_pen_join | platform::kPsGeometric;
        cell = cached_pen{1, gdi_style, width, rgb};
        int32_t* state = ctx->pen_entry_state[entry];
        state[0] = static_cast<int32_t>(rgb);
        state[1] = width;
        state[2] = index;
    }
    ctx->pen_last_entry = entry;
    if (colour_out) *colour_out = cell.color;
    return platform::select_pen(*dc, platform::Pen{cell.style, cell.width, cell.color});
}

namespace {
// The mode the rules give; `black_colour` tells whether mode 1 turns into the background colour.
int ruled_mode(const drawing_context* ctx, int rop, bool keep_black, bool* black_colour) {
    *black_colour = false;
    if (rop < 1 || rop > 16) rop = 15;
    if (ctx->back_color != 0 && rop == 15) return 13;
    if (rop == 1) {
        *black_colour = true;
        return keep_black ? 1 : 13;
    }
    return rop;
}
}  // namespace

RasterState begin_raster(drawing_context* ctx, device_context* dc, int rop, bool keep_black) {
    RasterState saved{ctx->disp_line_color, ctx->disp_text_color, ctx->disp_mode, 0};
    bool black = false;
    const int mode = ruled_mode(ctx, rop, keep_black, &black);
    if (black) ctx->disp_line_color = ctx->disp_text_color = ctx->disp_paint_color = ctx->back_color;
    ctx->disp_text_color = ctx->disp_line_color;
    ctx->disp_mode = mode;
    saved.previous_rop = dc ? platform::set_rop2(*dc, mode) : 0;
    return saved;
}

void end_raster(drawing_context* ctx, device_context* dc, const RasterState& saved) {
    ctx->disp_line_color = saved.line_color;
    ctx->disp_text_color = saved.text_color;
    ctx->disp_mode = saved.disp_mode;
    if (dc && saved.previous_rop) platform::set_rop2(*dc, saved.previous_rop);
    ctx->disp_paint_color = -1;
}

int set_rop_mode(drawing_context* ctx, device_context* dc, int32_t* mode, int32_t* colour, int flag) {
    if (!ctx) return 0;
    if (flag == 0) {
        if (mode) ctx->disp_mode = *mode;
        if (colour) ctx->disp_line_color = ctx->disp_text_color = *colour;
        if (dc && mode) platform::set_rop2(*dc, *mode);
        ctx->disp_paint_color = -1;
        return 1;
    }
    const RasterState before = begin_raster(ctx, dc, mode ? *mode : 0, flag == 3);
    if (mode) *mode = before.disp_mode;
    if (colour) *colour = before.line_color;
    return 1;
}

}  // namespace kz::drawing2d
