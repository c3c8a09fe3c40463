// The native clipboard block of drawings, and the text records put on the clipboard as lines and columns.
// A pasted block is believed only as far as its own size goes: its row count must fit the bytes that carry it.
#include "drawing2d/drawing_clipboard.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "drawing2d/clipboard_picture.h"
#include "drawing2d/drawing_files.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/record_walk.h"
#include "drawing2d/row_store.h"
#include "drawing2d/text_corners.h"
#include "platform/clipboard.h"

namespace kz::drawing2d {
namespace {
constexpr int kRowCountOffset = 1144;
constexpr std::size_t kRowBytes = 7 * sizeof(int32_t);

struct PlacedText {
    int32_t row;
    double x, y, height, width;
    int column, line;
};
}  // namespace

int xlum_cboard_copy(drawing_context* ctx, int32_t row) {
    if (row < 0) return 0;
    int32_t end = find_data_end(ctx, row);
    int64_t n = static_cast<int64_t>(end) + 1 - row;
    if (end < 0 || n < 1) return 0;
    store_drawing_header(ctx);  // packs the display flags at 400 as well
    set_header_double(ctx, kRowCountOffset, static_cast<double>(n));
    std::string block(kHeaderBytes + kRowBytes * static_cast<std::size_t>(n), '\0');
    std::memcpy(block.data(), ctx->drawing_header, kHeaderBytes);
    for (int k = 0; k < 7; ++k)
        std::memcpy(block.data() + kHeaderBytes + k * sizeof(int32_t) * n, columns(ctx)[k] + row,
                    sizeof(int32_t) * static_cast<std::size_t>(n));
    if (!kz::platform::set_clipboard_data(ctx->clipboard_format, block)) return 0;
    // A picture or text that fails leaves the native block on the clipboard.
    copy_picture_to_clipboard(ctx, row);
    copy_texts_to_clipboard(ctx, row);
    return 1;
}

int xlum_cboard_paste(drawing_context* ctx, int32_t row) {
    if (row < 0) return 0;
    std::optional<std::string> block = kz::platform::get_clipboard_data(ctx->clipboard_format);
    if (!block || block->size() < kHeaderBytes + kRowBytes) return 0;
    const std::size_t n = (block->size() - kHeaderBytes) / kRowBytes;
    double count = 0;
    std::memcpy(&count, block->data() + kRowCountOffset, sizeof count);
    // The row count must lie within the rows the block's size holds (a count of 0 carries no end row).
    if (!(count >= 1 && count <= static_cast<double>(n))) return 0;
    const auto m = static_cast<int64_t>(count);
    if (row + static_cast<int64_t>(n) + 100 > INT32_MAX - 2000) return 0;
    if (row + static_cast<int64_t>(n) + 100 > ctx->max && !grow_rows(ctx, static_cast<int32_t>(row + n + 100)))
        return 0;
    std::memcpy(ctx->drawing_header, block->data(), kHeaderBytes);
    for (int k = 0; k < 7; ++k)
        std::memcpy(columns(ctx)[k] + row, block->data() + kHeaderBytes + k * sizeof(int32_t) * n,
                    sizeof(int32_t) * static_cast<std::size_t>(m));
    ctx->c1[row + m] = kEndCode;
    note_rows_changed(ctx, row);
    unpack_layer_bits(ctx->drawing_header + 400, ctx->disp_layer);
    apply_drawing_header(ctx);
    return 1;
}

int copy_texts_to_clipboard(drawing_context* ctx, int32_t row) {
    std::vector<PlacedText> texts;
    walk_head_rows(ctx, row, [&](int32_t r) {
        double c[8];
        int32_t type = row_type(ctx, r);
        if ((type == kTypeText || type == kTypeKanjiText) && calc_text_corners_rough(ctx, r, c, 2) >= 0)
            texts.push_back({r, c[0], c[1], double(ctx->c3[r + 1]), std::fabs(c[6] - c[0]), 0, 0});
        return true;
    });
    if (texts.empty()) return 0;
    std::stable_sort(texts.begin(), texts.end(), [](const auto& a, const auto& b) { return a.x < b.x; });
    double right = texts[0].x + texts[0].width;
    for (std::size_t i = 1; i < texts.size(); ++i) {
        texts[i].column = texts[i - 1].column;
        if (texts[i].x > right) {
            ++texts[i].column;
            right = texts[i].x + texts[i].width;
        }
    }
    std::stable_sort(texts.begin(), texts.end(), [](const auto& a, const auto& b) { return a.y < b.y; });
    double reference = texts[0].y;
    for (std::size_t i = 1; i < texts.size(); ++i) {
        texts[i].line = texts[i - 1].line;
        // Drawing y runs down: a text whose top lies below the reference line's base starts a new line.
        if (texts[i].y - texts[i].height > reference) {
            ++texts[i].line;
            reference = texts[i].y;
        }
    }
    std::stable_sort(texts.begin(), texts.end(),
                     [](const auto& a, const auto& b) { return a.line != b.line ? a.line < b.line : a.x < b.x; });
    std::string out;
    int column = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const PlacedText& t = texts[i];
        if (ctx->paste_tab == 1) {
            if (i > 0 && t.line != texts[i - 1].line) {
                out += "\r\n";
                column = 0;
            }
            if (t.column > column) {
                out.append(static_cast<std::size_t>(t.column - column), '\t');
                column = t.column;
            }
        } else if (i > 0) {
            out += "\r\n";
        }
        char buffer[2048];
        xlum_getchar(ctx, t.row, buffer, sizeof buffer);
        out += buffer;
    }
    out += "\r\n";
    out.push_back('\0');
    return kz::platform::set_clipboard_data(kz::platform::kClipboardText, out, true) ? static_cast<int>(out.size()) : 0;
}

}  // namespace kz::drawing2d
