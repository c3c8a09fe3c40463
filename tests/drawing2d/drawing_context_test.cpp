// A drawing's life: open, defaults, locking rules, growth and shrinking, emptying, the saved header and the
// small row walkers.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <tuple>

#include "drawing2d/drawing_context.h"
#include "drawing2d/lumfont.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/row_store.h"
#include "drawing_test_support.h"
#include "platform/clipboard.h"
#include "platform/file_system.h"

namespace kz::drawing2d {
namespace {
using DrawingContext = test::DrawingTest;
using DrawingHeader = test::DrawingTest;
using FontSlots = test::DrawingTest;

TEST_F(DrawingContext, NewDrawingHasItsDefaultsAndEmptyRows) {
    ASSERT_NE(d.handle(), nullptr);
    ASSERT_EQ(zolt_lock(d.handle()), ctx);
    EXPECT_EQ((std::array{ctx->max, ctx->mau, ctx->mat}), (std::array{3000, 3500, 4500}));
    EXPECT_EQ(ctx->c1[0], 0xFFFF);
    for (int k = 0; k < 7; ++k)
        for (int r = (k == 0 ? 1 : 0); r <= ctx->mat; ++r) ASSERT_EQ(columns(ctx)[k][r], 0) << k << " " << r;
    EXPECT_EQ(find_data_end(ctx, -5), 0);  // searches from row 0 and puts the guards in place
    EXPECT_EQ(std::pair(ctx->c1[3000], ctx->c1[4500]), std::pair(0xFFFF, 0xFFFF));
    // The longest pattern keeps its last gap and its end.
    EXPECT_EQ(std::pair(ctx->line_style_data[6][7], ctx->line_style_data[6][8]), std::pair(-1.0, 0.0));
    EXPECT_EQ(std::tuple(ctx->clipboard_format, ctx->exec_path),
              std::tuple(kz::platform::register_clipboard_format("lumbra-mpw"), kz::platform::temp_path()));
    EXPECT_STREQ(ctx->ank_font_name[3], "Arial");
    EXPECT_STREQ(ctx->kanji_font_name[0], "\x82\x6c\x82\x72\x20\x82\x6f\x96\xbe\x92\xa9");
    EXPECT_EQ(header_double(ctx, 392), 1000.0);
    EXPECT_STREQ(reinterpret_cast<char*>(ctx->drawing_header + 776), "Made by ZOLT32.DLL");
    zolt_unlock(d.handle());
}

TEST_F(DrawingContext, HandlesThatAreNoDrawingAreRefused) {
    EXPECT_EQ(zolt_close(nullptr), 0);
    EXPECT_EQ(zolt_lock(nullptr), nullptr);
    kz::crt::GlobalHandle fixed =
        kz::crt::global_alloc(kz::crt::kGlobalFixed | kz::crt::kGlobalZeroInit, sizeof(drawing_context));
    EXPECT_EQ(zolt_lock(fixed), nullptr);
    EXPECT_EQ(zolt_close(fixed), 0);
    kz::crt::global_free(fixed);
    kz::crt::GlobalHandle small = kz::crt::global_alloc(kz::crt::kGlobalMoveable | kz::crt::kGlobalZeroInit, 64);
    EXPECT_EQ(zolt_lock(small), nullptr);
    EXPECT_EQ(zolt_close(small), 0);
    kz::crt::global_free(small);
    drawing_handle h = zolt_open();
    EXPECT_EQ(zolt_close(h), 1);
    EXPECT_EQ(zolt_close(h), 0);  // already freed
}

TEST_F(DrawingContext, GrowKeepsRowsAndMovesTheSpareBlock) {
    ctx->c1[0] = 0x0201;
    ctx->c4[0] = 77;
    ctx->c1[1] = 0xFFFF;
    ctx->c4[ctx->mau] = 1234;  // a spare-block row
    EXPECT_EQ(grow_rows(ctx, 3000), 1);
    ASSERT_EQ(grow_rows(ctx, 9000), 1);
    EXPECT_EQ((std::array{ctx->max, ctx->mau, ctx->mat}), (std::array{9000, 9500, 10500}));
    EXPECT_EQ((std::array{ctx->c4[0], ctx->c4[9500], ctx->c1[9000]}), (std::array{77, 1234, 0xFFFF}));
    ASSERT_EQ(grow_rows(ctx, 2000), 1);
    EXPECT_EQ(std::pair(ctx->c4[2500], ctx->mat), std::pair(1234, 3500));
    EXPECT_EQ(grow_rows(nullptr, 10), 0);
}

TEST_F(DrawingContext, NewEmptiesABigDrawing) {
    ASSERT_EQ(grow_rows(ctx, 100000), 1);
    ctx->c4[ctx->mau] = 55;
    for (int r = 0; r < 90000; ++r) ctx->c1[r] = 0x0201;
    ctx->c1[90000] = 0xFFFF;
    ctx->disp_layer[4] = 0;
    ctx->lock_layer[4] = 1;
    std::strcpy(ctx->file_dir, "\\work\\");
    EXPECT_EQ(xlum_new(ctx), 0);
    EXPECT_EQ(std::pair(ctx->max, ctx->c4[5500]), std::pair(5000, 55));
    EXPECT_EQ(find_data_end(ctx, 0), 0);
    EXPECT_EQ(std::pair(ctx->disp_layer[4], ctx->lock_layer[4]), std::pair(1, 0));
    EXPECT_EQ(std::pair(std::string(ctx->file_name), std::string(ctx->file_path)),
              std::pair(std::string("untitled"), std::string("\\work\\untitled.MPW")));
}

TEST_F(DrawingContext, RowSearchesStopAtEndCodesAndLimits) {
    const int32_t codes[] = {0x0201, 0xFE00, 0xFFFE, 0xFFFF, 0x0305, 0xFFFF};
    std::copy(codes, codes + 6, ctx->c1);
    EXPECT_EQ(find_data_end(ctx, 0), 3);
    EXPECT_EQ(ctx->data_end, 3);
    EXPECT_EQ(find_data_end(ctx, 4), 5);
    EXPECT_EQ(find_data_end(ctx, ctx->mat), -1);
    EXPECT_EQ(find_code_row(ctx, 0, -512), 1);     // 0xFE00 as a signed code
    EXPECT_EQ(find_code_row(ctx, 2, 0x0305), -1);  // the end code comes first
    EXPECT_EQ(find_code_row(ctx, 0, -1), 3);
    EXPECT_EQ(find_delimiter_row(ctx, 0, -2), 2);
    EXPECT_EQ(find_delimiter_row(ctx, 3, -2), 3);  // the end code is a delimiter of -1
    EXPECT_EQ(find_delimiter_row(ctx, 0, 0), -1);  // nothing negative is at least 0: the end code ends it
    EXPECT_EQ(std::tuple(find_delimiter_row(ctx, 3, -1), find_delimiter_row(ctx, ctx->mat, -1)), std::tuple(3, -1));
    // No end code at all: the guards stop the walk.
    for (int r = 0; r < ctx->mat; ++r) ctx->c1[r] = 0x0201;
    EXPECT_EQ(find_data_end(ctx, 0), ctx->max);
    EXPECT_EQ(find_code_row(ctx, ctx->max + 1, 0x0999), -1);
}

TEST_F(DrawingContext, RecordRowCounts) {
    struct Case {
        int type, c6, next_c2, rows;
    } cases[] = {{2, 0, 0, 1}, {3, 0, 0, 2}, {5, 1, 0, 3},  {5, 6, 0, 3},  {6, 7, 0, 4}, {9, 12, 0, 4},
                 {5, 0, 0, 3}, {7, 9, 0, 0}, {15, 0, 9, 9}, {16, 0, 0, 0}, {1, 0, 0, 0}, {5, 0xFFFF, 0, 3}};
    for (const auto& c : cases) {
        ctx->c1[10] = c.type << 8;
        ctx->c6[10] = c.c6;
        ctx->c2[11] = c.next_c2;
        EXPECT_EQ(primitive_row_count(ctx, 10), c.rows) << c.type << " " << c.c6;
    }
    ctx->c1[10] = 15 << 8;
    ctx->c2[11] = 1 << 30;  // a damaged count stays within the columns
    EXPECT_EQ(primitive_row_count(ctx, 10), ctx->mat - 10);
    ctx->c2[11] = -4;
    EXPECT_EQ(
        std::tuple(primitive_row_count(ctx, 10), primitive_row_count(ctx, -1), primitive_row_count(ctx, ctx->mat + 1)),
        std::tuple(0, 0, 0));
}

TEST_F(DrawingContext, ArcCentreSplitsIntoHighAndLowParts) {
    EXPECT_EQ(set_arc_rows(ctx, 0, 1, 1, 5, 1, 3000000000.25, -3000000000.0, 10, 0, 90), 1);
    EXPECT_EQ((std::array{ctx->c4[1], ctx->c4[0], ctx->c5[1], ctx->c5[0]}), (std::array{1, 852516352, -1, -852516352}));
    EXPECT_EQ(static_cast<double>(ctx->c4[1]) * 2147483648.0 + ctx->c4[0], 3000000000.0);
}

TEST_F(DrawingHeader, VersionDecidesWhatIsTaken) {
    struct Case {
        double version;
        bool window, locks, saved;
    } cases[] = {{3, false, false, false}, {4, true, false, false}, {5, true, true, true}};
    for (const auto& c : cases) {
        ASSERT_EQ(xlum_new(ctx), 0);
        init_drawing_header(ctx);
        ctx->dwxmin = 7;
        ctx->print_scale = 33;
        ctx->window_xmin[2] = -1;
        for (auto& f : ctx->disp_layer) f = 0;
        for (auto& f : ctx->lock_layer) f = 1;
        std::strcpy(ctx->stamp_copy, "old");
        set_header_double(ctx, 0, c.version);
        set_header_double(ctx, 8, 0.01);
        set_header_double(ctx, 360, -5);
        set_header_double(ctx, 376, 100);
        set_header_double(ctx, 392, 300);
        std::memset(ctx->drawing_header + 400, 0, 32);
        ctx->drawing_header[400] = 0x80;  // layer 0 shown only
        set_header_double(ctx, 472, 0);
        ctx->drawing_header[496] = 0x40;  // layer 1 locked
        set_header_double(ctx, 560 + 48, 10);
        set_header_double(ctx, 568 + 48, 20);
        set_header_double(ctx, 576 + 48, 110);
        std::memset(ctx->drawing_header + 776, 'x', 100);
        apply_drawing_header(ctx);
        EXPECT_EQ(std::tuple(ctx->plot_scale, ctx->header_sizes[0], ctx->header_sizes[1]),
                  std::tuple(0.01, 1000.0, 10.0));
        EXPECT_EQ(std::tuple(ctx->dwxmin, ctx->print_scale, ctx->disp_layer[0], ctx->disp_layer[1]),
                  std::tuple(c.window ? 100 : 7, c.window ? 100 : 33, 1, c.window ? 0 : 1));
        if (c.window) {
            EXPECT_DOUBLE_EQ(ctx->dwymax, 200 * 0.625);
        }
        EXPECT_EQ(std::tuple(ctx->lock_layer[1], ctx->lock_layer[0], ctx->window_xmin[2]),
                  std::tuple(c.locks ? 1 : 0, 0, c.saved ? 10 : -1));
        if (c.saved) {
            EXPECT_DOUBLE_EQ(ctx->window_ymax[2], 100 * 1.0 + 20);  // device 100 x 100: r = 1
        }
        EXPECT_EQ(std::strlen(ctx->stamp_copy), c.saved ? 80u : 0u);
    }
}

TEST_F(DrawingHeader, LayerBitsRoundTrip) {
    int32_t flags[256], back[256];
    unsigned char bits[32];
    for (int i = 0; i < 256; ++i) flags[i] = (i * 7 + i / 3) % 2;
    pack_layer_bits(flags, bits);
    EXPECT_EQ(bits[0] >> 7, flags[0]);
    unpack_layer_bits(bits, back);
    EXPECT_EQ(0, std::memcmp(flags, back, sizeof flags));
}

TEST_F(FontSlots, NamesChooseKindsAndLinkedFonts) {
    lumfont_context fonts{};
    char bytes[2];
    lumfont_entry ank{&bytes[0], 1, "Roman.ANK"}, kanji{&bytes[1], 1, "mincho.fnt"};
    fonts.ank_fonts[0] = &ank;
    fonts.ank_count = 1;
    fonts.kanji_fonts[0] = &kanji;
    fonts.kanji_count = 1;
    ctx->linked_font = &fonts;
    std::strcpy(ctx->ank_font_name[0], "roman.ank");
    std::strcpy(ctx->kanji_font_name[1], "MINCHO.FNT");
    std::strcpy(ctx->kanji_font_name[2], "Arial");
    std::strcpy(ctx->ank_font_name[3], "missing.bin");
    std::strcpy(ctx->ank_font_name[4], "mincho.fnt");
    resolve_font_slots(ctx);
    const lumfont_entry* none = nullptr;
    EXPECT_EQ(std::tuple(ctx->ank_slot_kind[0], ctx->ank_slot_font[0]), std::tuple(kAnkFontFile, &ank));
    EXPECT_EQ(std::tuple(ctx->kanji_slot_kind[1], ctx->kanji_slot_font[1]), std::tuple(kKanjiFontFile, &kanji));
    EXPECT_EQ(std::tuple(ctx->kanji_slot_kind[2], ctx->kanji_slot_font[2]), std::tuple(kWindowsFont, none));
    EXPECT_EQ(std::tuple(ctx->ank_slot_kind[3], ctx->ank_slot_font[3]), std::tuple(kAnkFontFile, none));
    // A kanji file in a single-byte slot finds nothing.
    EXPECT_EQ(std::tuple(ctx->ank_slot_kind[4], ctx->ank_slot_font[4]), std::tuple(kKanjiFontFile, none));
    ctx->linked_font = nullptr;
}

}  // namespace
}  // namespace kz::drawing2d
