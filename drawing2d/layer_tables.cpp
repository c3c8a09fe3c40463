// The per-layer tables of a drawing: display switches, names and layer-group names (heap strings owned by the
// drawing; none means empty) and the layer-used flags.
#include <cstring>

#include "drawing2d/active_attributes.h"
#include "drawing2d/record_walk.h"
#include "drawing2d/text_utils.h"

namespace kz::drawing2d {
namespace {
bool valid_layer(int32_t layer) { return layer >= 0 && layer < kLayers; }

int set_name(char*& slot, const char* name) {
    char* copy = string_assign(nullptr, name ? name : "", nullptr, 0);
    if (!copy) return 0;
    release_block(slot);
    slot = copy;
    return 1;
}
}  // namespace

int xlum_set_layer(drawing_context* ctx, int32_t first, int32_t last, int32_t value) {
    if (first < 0 || first > last || last > 255) return 0;
    for (int32_t layer = first; layer <= last; ++layer) {
        int32_t& flag = ctx->disp_layer[layer];
        flag = value == -1 ? (flag == 1 ? 0 : 1) : value;
    }
    return 1;
}

int xlum_set_layer_name(drawing_context* ctx, int32_t layer, const char* name) {
    return valid_layer(layer) ? set_name(ctx->layer_name[layer], name) : 0;
}

int xlum_set_layer_group(drawing_context* ctx, int32_t layer, const char* name) {
    return valid_layer(layer) ? set_name(ctx->layer_group_name[layer], name) : 0;
}

const char* layer_name_of(const drawing_context* ctx, int32_t layer) {
    return valid_layer(layer) && ctx->layer_name[layer] ? ctx->layer_name[layer] : "";
}

const char* layer_group_of(const drawing_context* ctx, int32_t layer) {
    return valid_layer(layer) && ctx->layer_group_name[layer] ? ctx->layer_group_name[layer] : "";
}

void reset_layer_tables(drawing_context* ctx) {
    for (int i = 0; i < kLayers; ++i) {
        ctx->layer_name[i] = static_cast<char*>(release_block(ctx->layer_name[i]));
        ctx->layer_group_name[i] = static_cast<char*>(release_block(ctx->layer_group_name[i]));
        ctx->layer_color[i] = ctx->layer_style[i] = -1;
    }
}

int xlum_make_layer_exist(drawing_context* ctx, int32_t row) {
    std::memset(ctx->layer_exist, 0, sizeof ctx->layer_exist);
    walk_head_rows(ctx, row, [&](int32_t r) {
        if (static_cast<int8_t>(row_type(ctx, r)) >= 1) ctx->layer_exist[row_layer(ctx, r)] = 1;
        return true;
    });
    return 1;
}

}  // namespace kz::drawing2d
