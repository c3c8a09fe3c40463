// The named commands of a drawing and the layer-display stack they keep: ten saved copies of the layer display
// switches, pushed and popped by name.
#include <strings.h>

#include <cstring>

#include "drawing2d/active_attributes.h"
#include "drawing2d/device_mapping.h"
#include "drawing2d/drawing_files.h"
#include "drawing2d/lumfont.h"
#include "drawing2d/text_utils.h"

namespace kz::drawing2d {
namespace {
constexpr int kLayerStackDepth = 10;

int push_layer_display(drawing_context* ctx) {
    int32_t& top = ctx->layer_display_top;
    if (top + 1 >= kLayerStackDepth) return top;
    int32_t*& block = ctx->layer_display_stack[top + 1];
    if (!block) block = static_cast<int32_t*>(fresh_block(nullptr, sizeof ctx->disp_layer));
    if (!block) return top;
    std::memcpy(block, ctx->disp_layer, sizeof ctx->disp_layer);
    return ++top;
}

int pop_layer_display(drawing_context* ctx) {
    int32_t& top = ctx->layer_display_top;
    if (top < 0 || top >= kLayerStackDepth) return -1;
    if (ctx->layer_display_stack[top])
        std::memcpy(ctx->disp_layer, ctx->layer_display_stack[top], sizeof ctx->disp_layer);
    return --top;
}
}  // namespace

double xlum_function(drawing_context* ctx, const char* command, double value, const char* text) {
    if (!command) return -1.0;
    auto is = [&](const char* name) { return strcasecmp(command, name) == 0; };
    if (is("PushLayer")) return push_layer_display(ctx);
    if (is("PopLayer")) return pop_layer_display(ctx);
    if (is("AllLayerOff")) return set_all_layers_displayed(ctx, 0);
    if (is("AllLayerOn")) return set_all_layers_displayed(ctx, 1);
    if (is("AllLockLayer")) return set_all_layers_locked(ctx, value);
    if (is("Delete_Pen")) {
        delete_pens(ctx);
        return 0;
    }
    if (is("SetFontType")) return resolve_font_slots(ctx);
    if (is("SetFileName")) {
        xlum_set_open_file(ctx, text ? text : "", nullptr, nullptr, nullptr, nullptr);
        return 0;
    }
    return -1.0;
}

}  // namespace kz::drawing2d
