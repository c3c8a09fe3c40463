// Attributes given to new records, kept on a 16-entry ring that drops its oldest entry when full, and the
// switches that act on every layer at once.
#include "drawing2d/active_attributes.h"

#include "drawing2d/text_utils.h"

namespace kz::drawing2d {

int xlum_set_active(drawing_context* ctx, int32_t layer, int32_t group, int32_t colour, int32_t style) {
    if (layer >= 0 && layer <= 255) ctx->active_layer = layer;
    if (group >= 1 && group <= 32000) ctx->active_group = group;
    if (colour >= 1 && colour <= 15) ctx->active_color = colour;
    if (style >= 1 && style <= 8) ctx->active_style = style;
    return 0;
}

void xlum_push_pop_active(drawing_context* ctx, int direction, int32_t layer, int32_t group, int32_t colour,
                          int32_t style) {
    if (!ctx || !ctx->active_stack) return;
    int32_t& top = ctx->active_stack_top;
    int32_t& bottom = ctx->active_stack_bottom;
    if (top < 0 || top > 15) top = 0;
    if (bottom < 0 || bottom > 15) bottom = 0;
    if (direction == 1) {
        int32_t* entry = ctx->active_stack[top];
        entry[0] = ctx->active_layer;
        entry[1] = ctx->active_group;
        entry[2] = ctx->active_color;
        entry[3] = ctx->active_style;
        top = cyclic_step(top, 1.0, 0, 15);
        if (layer >= 0 && layer <= 254) ctx->active_layer = layer;
        if (group >= 1 && group <= 32000) ctx->active_group = group;
        if (colour >= 0 && colour <= 15) ctx->active_color = colour;
        if (style >= 1 && style <= 8) ctx->active_style = style;
        if (top == bottom) bottom = cyclic_step(bottom, 1.0, 0, 15);
    } else if (direction == -1) {
        if (top != bottom) top = cyclic_step(top, -1.0, 0, 15);
        const int32_t* entry = ctx->active_stack[top];
        ctx->active_layer = entry[0];
        ctx->active_group = entry[1];
        ctx->active_color = entry[2];
        ctx->active_style = entry[3];
    }
}

void save_active_attributes(drawing_context* ctx) {
    int32_t* saved = ctx->saved_attributes;
    saved[0] = ctx->active_layer, saved[1] = ctx->active_group, saved[2] = ctx->active_color,
    saved[3] = ctx->active_style;
}

void restore_active_attributes(drawing_context* ctx) {
    const int32_t* saved = ctx->saved_attributes;
    ctx->active_layer = saved[0], ctx->active_group = saved[1], ctx->active_color = saved[2],
    ctx->active_style = saved[3];
}

int set_all_layers_displayed(drawing_context* ctx, int32_t value) {
    for (auto& flag : ctx->disp_layer) flag = value;
    return 0;
}

int set_all_layers_locked(drawing_context* ctx, double value) {
    int32_t v = (value >= -2147483648.0 && value < 2147483648.0) ? static_cast<int32_t>(value) : 0;
    for (auto& flag : ctx->lock_layer) flag = v;
    return 0;
}

}  // namespace kz::drawing2d
