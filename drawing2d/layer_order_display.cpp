// The whole display drawn layer by layer, so that what a layer paints and draws covers the layers before it: the
// rows are listed per layer once, then each displayed layer is painted and drawn over its own rows.
#include <cstring>
#include <span>
#include <vector>

#include "drawing2d/device_mapping.h"
#include "drawing2d/drawing_display.h"
#include "drawing2d/link_lines.h"
#include "drawing2d/paint.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/row_store.h"
#include "drawing2d/text_utils.h"
#include "platform/gdi.h"

namespace kz::drawing2d {
namespace {
bool sets_layer(int32_t type) {
    switch (type) {
    case kTypeLine:
    case kTypeArc:
    case kTypeText:
    case kTypeKanjiText:
    case kTypePointRecord:
    case kTypeTextLike:
    case kTypeMultiRow: return true;
    default: return false;
    }
}

// The rows of each layer, listed layer by layer in the display order.
struct LayerOrder {
    std::vector<int32_t> rows;
    int32_t first[kLayers] = {};
    int32_t count[kLayers] = {};
    bool tagged[kLayers] = {};
};

void build_layer_order(drawing_context* ctx, int32_t start_row, LayerOrder* order) {
    std::vector<uint8_t> layer_of;
    int32_t layer = 0;
    for (int32_t row = start_row; row >= 0 && row < ctx->mat && row_code_u(ctx, row) != kEndCode; ++row) {
        if (row_code(ctx, row) > 0 && sets_layer(row_type(ctx, row))) layer = row_layer(ctx, row);
        layer_of.push_back(static_cast<uint8_t>(layer));
        ++order->count[layer];
        ctx->layer_exist[layer] = 1;
    }
    int32_t sum = 0;
    for (int k = 0; k < kLayers; ++k) {
        const int l = ctx->layer_order_up == 1 ? k : kLayers - 1 - k;
        order->first[l] = sum;
        sum += order->count[l];
    }
    order->rows.assign(sum, 0);
    int32_t next[kLayers];
    std::memcpy(next, order->first, sizeof next);
    for (std::size_t i = 0; i < layer_of.size(); ++i)
        order->rows[next[layer_of[i]]++] = start_row + static_cast<int32_t>(i);
}

void mark_tag_layers(drawing_context* ctx, LayerOrder* order) {
    char text[kTextBuffer];
    for (int32_t row : order->rows) {
        const int32_t type = row_type(ctx, row);
        if (row_code(ctx, row) <= 0 || (type != kTypeText && type != kTypeKanjiText)) continue;
        if (xlum_getchar(ctx, row, text, sizeof text) > 0 && is_group_tag_text(type, text))
            order->tagged[row_layer(ctx, row)] = true;
    }
}

int walk_layer_rows(drawing_context* ctx, device_context* dc, const LayerOrder& order, int layer) {
    mark_row_limits(ctx);
    platform::set_bk_mode(*dc, platform::kTransparent);
    for (int32_t i = 0; i < order.count[layer]; ++i) {
        if (walk_should_stop(ctx)) return 0;
        const int32_t row = order.rows[order.first[layer] + i];
        if (row_is_drawn(ctx, row)) draw_record(ctx, dc, row);
    }
    return 1;
}
}  // namespace

int display_layer_order(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t rop) {
    mark_row_limits(ctx);
    LayerOrder order;
    build_layer_order(ctx, start_row, &order);
    mark_tag_layers(ctx, &order);
    int32_t a[16], b[16], caller[16];
    std::memcpy(caller, ctx->pen_width, sizeof caller);
    prepare_passes(ctx, dc, start_row, a, b);
    const RasterState raster = begin_raster(ctx, dc, rop);
    escape_pressed(200);
    int32_t shown[kLayers];
    std::memcpy(shown, ctx->disp_layer, sizeof shown);
    std::memset(ctx->disp_layer, 0, sizeof ctx->disp_layer);
    const int32_t saved_number = ctx->disp_layer_number;
    int result = 1;
    for (int k = 0; k < kLayers && result; ++k) {
        const int layer = ctx->layer_order_up == 1 ? k : kLayers - 1 - k;
        if (shown[layer] != 1 || order.count[layer] == 0) continue;
        ctx->disp_layer[layer] = 1;
        ctx->disp_layer_number = layer;
        if (ctx->paint_mode & 1) {
            paint_layers_ordered(ctx, dc,
                                 std::span<const int32_t>(order.rows).subspan(order.first[layer], order.count[layer]),
                                 layer, -1);
            if (order.tagged[layer]) paint_group_tags(ctx, dc, start_row, -1);
        }
        result = run_passes(ctx, dc, rop, a, b, [&] { return walk_layer_rows(ctx, dc, order, layer); });
        if (result && ctx->marker_paint != 0) result = flood_markers(ctx, dc, start_row);
        ctx->disp_layer[layer] = 0;
    }
    std::memcpy(ctx->disp_layer, shown, sizeof shown);
    ctx->disp_layer_number = saved_number;
    finish_passes(ctx, caller);
    end_raster(ctx, dc, raster);
    if (result && ctx->link_line_disp_sw == 1) result = xlum_draw_link_line(ctx, dc, start_row, rop);
    return result;
}

}  // namespace kz::drawing2d
