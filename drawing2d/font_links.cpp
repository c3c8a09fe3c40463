// Links between drawings and font blocks. A linked drawing holds a lock on the block and refers to its fonts from
// its slots; the links are kept here so that unlinking, reloading or closing a font block never leaves a drawing
// pointing into fonts that are gone.
#include <strings.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "drawing2d/lumfont.h"

namespace kz::drawing2d {
namespace {
// The drawings that have a font block linked (drawing blocks never move, so their addresses stay good).
std::vector<drawing_context*>& linked_drawings() {
    static std::vector<drawing_context*> drawings;
    return drawings;
}

void drop_link(drawing_context* ctx) {
    ctx->linked_font = nullptr;
    resolve_font_slots(ctx);  // with no block linked every file font pointer is cleared
    auto& drawings = linked_drawings();
    drawings.erase(std::remove(drawings.begin(), drawings.end(), ctx), drawings.end());
}
}  // namespace

void unlink_font_block(drawing_context* ctx) {
    if (!ctx->linked_font) return;
    kz::crt::GlobalHandle block = kz::crt::global_handle(ctx->linked_font);
    drop_link(ctx);
    if (block) lumfont_unlock(block);
}

void refresh_linked_drawings(const lumfont_context* fonts) {
    for (drawing_context* ctx : linked_drawings())
        if (ctx->linked_font == fonts) resolve_font_slots(ctx);
}

void forget_font_block(const lumfont_context* fonts) {
    std::vector<drawing_context*> drawings = linked_drawings();
    for (drawing_context* ctx : drawings)
        if (ctx->linked_font == fonts) unlink_font_block(ctx);
}

lumfont_context* zolt_link_lumfont(drawing_handle handle, lumfont_handle font, const char* key) {
    LockedDrawing ctx(handle);
    if (!ctx) return nullptr;
    lumfont_context* fonts = lumfont_lock(font);
    if (!fonts) return nullptr;
    if (key && std::strlen(key) >= 4 && strncasecmp(key, "LINK", 4) == 0) {
        if (ctx->linked_font == fonts) {
            lumfont_unlock(font);  // already linked: the link's own lock stays
            return fonts;
        }
        unlink_font_block(ctx.get());
        ctx->linked_font = fonts;
        linked_drawings().push_back(ctx.get());
        return fonts;
    }
    lumfont_unlock(font);
    if (ctx->linked_font == fonts) unlink_font_block(ctx.get());
    return nullptr;
}

}  // namespace kz::drawing2d
