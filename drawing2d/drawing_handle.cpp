// Opening, locking and closing a drawing behind its movable handle, and the per-call lock of the exported functions.
// A fixed block, or one too small to hold a drawing, is refused rather than read as one.
#include "drawing2d/device_mapping.h"
#include "drawing2d/drawing_context.h"
#include "drawing2d/lumfont.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/text_utils.h"

namespace kz::drawing2d {
namespace {
constexpr unsigned kDrawingFlags = kz::crt::kGlobalMoveable | kz::crt::kGlobalZeroInit | kz::crt::kGlobalShare;

drawing_context* lock_drawing_block(drawing_handle handle) {
    if (!handle || !kz::crt::global_is_moveable(handle) || kz::crt::global_size(handle) < sizeof(drawing_context))
        return nullptr;
    void* p = kz::crt::global_lock(handle);
    if (!p) return nullptr;
    if (p == handle) {
        kz::crt::global_unlock(handle);
        return nullptr;
    }
    return static_cast<drawing_context*>(p);
}

void release_context_blocks(drawing_context* ctx) {
    unlink_font_block(ctx);
    ctx->active_stack = static_cast<int32_t(*)[4]>(release_block(ctx->active_stack));
    for (auto& block : ctx->layer_display_stack) block = static_cast<int32_t*>(release_block(block));
    delete_pens(ctx);
    ctx->work_buffer = static_cast<char*>(release_block(ctx->work_buffer));
    ctx->work_buffer2 = static_cast<char*>(release_block(ctx->work_buffer2));
    for (auto& name : ctx->layer_name) name = static_cast<char*>(release_block(name));
    for (auto& name : ctx->layer_group_name) name = static_cast<char*>(release_block(name));
    free_rows(ctx);
}
}  // namespace

drawing_handle zolt_open() {
    drawing_handle handle = kz::crt::global_alloc(kDrawingFlags, sizeof(drawing_context));
    if (!handle) return nullptr;
    auto* ctx = static_cast<drawing_context*>(kz::crt::global_lock(handle));
    if (!ctx) {
        kz::crt::global_free(handle);
        return nullptr;
    }
    init_drawing_context(ctx);
    ctx->work_buffer = static_cast<char*>(fresh_block(nullptr, 1028));
    if (!ctx->work_buffer || !ctx->active_stack || !open_rows(ctx, kInitialRows)) {
        release_context_blocks(ctx);
        kz::crt::global_unlock(handle);
        kz::crt::global_free(handle);
        return nullptr;
    }
    ctx->plot_scale = 0.001;
    ctx->print_scale = 100.0;
    ctx->c1[0] = kEndCode;
    for (auto& pair : ctx->text_scale) pair[0] = pair[1] = 1.0;
    kz::crt::global_unlock(handle);
    return handle;
}

int zolt_close(drawing_handle handle) {
    drawing_context* ctx = lock_drawing_block(handle);
    if (!ctx) return 0;
    release_context_blocks(ctx);
    kz::crt::global_unlock(handle);
    kz::crt::global_free(handle);
    return 1;
}

drawing_context* zolt_lock(drawing_handle handle) {
    drawing_context* ctx = lock_drawing_block(handle);
    if (ctx) {
        ++ctx->client_locks;
        ctx->append_scan_hint = 0;
    }
    return ctx;
}

void zolt_unlock(drawing_handle handle) {
    if (!handle) return;
    drawing_context* ctx = lock_drawing_block(handle);
    if (!ctx) return;
    if (ctx->client_locks > 0) --ctx->client_locks;
    ctx->append_scan_hint = 0;
    kz::crt::global_unlock(handle);  // the lock just taken
    kz::crt::global_unlock(handle);  // the caller's
}

LockedDrawing::LockedDrawing(drawing_handle handle, Hint hint)
    : handle_(handle), ctx_(lock_drawing_block(handle)), hint_(hint) {
    if (ctx_ && (hint == Hint::drop || ctx_->client_locks > 0)) ctx_->append_scan_hint = 0;
}

LockedDrawing::~LockedDrawing() {
    if (!ctx_) return;
    // An operation that may have changed rows anywhere leaves no hint behind, even one rebuilt during the call.
    if (hint_ == Hint::drop) ctx_->append_scan_hint = 0;
    kz::crt::global_unlock(handle_);
}

}  // namespace kz::drawing2d
