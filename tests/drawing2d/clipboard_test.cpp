// Drawings through the clipboard: copied and pasted into another drawing record for record with the settings,
// corrupted blocks refused without a change, texts laid out in lines and columns, and on a real X display a
// second process that finds the native block, the picture and the text (skipped where no xvfb-run is installed).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>
#include <tuple>

#include "drawing2d/active_attributes.h"
#include "drawing2d/clipboard_picture.h"
#include "drawing2d/drawing_clipboard.h"
#include "drawing2d/named_variables.h"
#include "drawing2d/row_store.h"
#include "drawing_test_support.h"
#include "platform/clipboard.h"
#include "platform/device_context.h"
#include "platform/image_io.h"
#include "platform/message_loop.h"
#include "support/clipboard_peers.h"

namespace kz::drawing2d {
namespace {
namespace plat = kz::platform;

// Three texts side by side on one line, a fourth a little lower (its top above their base) and one on the next
// line at the left edge of the first.
void five_texts(drawing_context* ctx) {
    const char* words[] = {"Room", "Door", "Hall", "Exit", "Stair"};
    const double xs[] = {1000, 1500, 2000, 2500, 1000}, ys[] = {200, 200, 200, 230, 500};
    for (int i = 0; i < 5; ++i) xlum_moji_set(ctx, 0, words[i], xs[i], ys[i], 0, 40, 60, 10, 0, 0);
}

TEST(DrawingClipboard, CopyPastesIntoAnotherDrawingRecordForRecord) {
    test::Drawing from, into;
    test::fill_sample_drawing(from.peek(), 5);
    xlum_line_set(into.peek(), 0, 1, 2, 3, 4);
    ASSERT_EQ(xlum_cboard_copy(from.peek(), 0), 1);
    ASSERT_EQ(xlum_cboard_paste(into.peek(), 0), 1);
    EXPECT_EQ(test::record_cells(into.peek()), test::record_cells(from.peek()));
    EXPECT_EQ(xlum_get_val(into.peek(), "gentenx", 0), 123.5);
    EXPECT_EQ(xlum_get_val(into.peek(), "disp_layer", 33), 0);
}

TEST(DrawingClipboard, TextsGoOutInLinesAndColumns) {
    const std::pair<int, const char*> cases[] = {{1, "Room\tDoor\tHall\tExit\r\nStair\r\n"},
                                                 {0, "Room\r\nDoor\r\nHall\r\nExit\r\nStair\r\n"}};
    for (auto [tab, text] : cases) {
        test::Drawing d;
        drawing_context* ctx = d.peek();
        five_texts(ctx);
        xlum_set_val(ctx, "paste_tab", 0, tab);
        ASSERT_EQ(xlum_cboard_copy(ctx, 0), 1);
        EXPECT_EQ(plat::get_clipboard_data(plat::kClipboardText).value_or(""), text);
        EXPECT_TRUE(plat::clipboard_has_format(ctx->clipboard_format));
    }
}

TEST(DrawingClipboard, CorruptedBlocksAreRefused) {
    test::Drawing from, into;
    test::fill_sample_drawing(from.peek(), 5);
    ASSERT_EQ(xlum_cboard_copy(from.peek(), 0), 1);
    const unsigned format = from.peek()->clipboard_format;
    const std::string good = plat::get_clipboard_data(format).value_or("");
    xlum_line_set(into.peek(), 0, 1, 2, 3, 4);
    const std::vector<double> before = test::record_cells(into.peek());
    auto with_count = [&](double count, std::size_t cut) {
        std::string bad = good.substr(0, good.size() - cut);
        std::memcpy(bad.data() + 1144, &count, sizeof count);
        return bad;
    };
    const std::size_t rows = (good.size() - 4096) / 28;
    for (const std::string& bad : {with_count(rows + 1.0, 0), with_count(rows, 28), with_count(0, 0),
                                   with_count(std::nan(""), 0), good.substr(0, 4100)}) {
        ASSERT_TRUE(plat::set_clipboard_data(format, bad));
        EXPECT_EQ(xlum_cboard_paste(into.peek(), 0), 0);
        EXPECT_EQ(test::record_cells(into.peek()), before);
    }
}

TEST(DrawingClipboard, PictureSizeFollowsThePaperUpTo320Millimetres) {
    test::Drawing d;
    drawing_context* ctx = d.peek();  // 0.001 units of plot scale at 1:100: 100000 units a paper millimetre
    xlum_line_set(ctx, 0, 0, 0, 1000 * 100000, 50 * 100000);
    PictureFrame f = picture_frame(ctx, 0);
    // 50 mm and a millimetre on either side.
    EXPECT_EQ(std::tuple(f.width, f.height), std::tuple(std::lround(320 / 25.4 * 96), std::lround(52 / 25.4 * 96)));
}

// Five texts, a line and a circle, 1 unit a millimetre at 1:20: a picture about 91 by 35 millimetres.
void peer_drawing(drawing_context* ctx) {
    five_texts(ctx);
    xlum_line_set(ctx, 0, 900, 100, 2400, 600);
    xlum_en_set(ctx, 0, 1600, 400, 300, 0, 360);
    xlum_set_val(ctx, "paste_tab", 0, 1);
    xlum_set_val(ctx, "plot_scale", 0, 1);
    xlum_set_val(ctx, "print_scale", 0, 20);
    xlum_set_val(ctx, "pen_width", 5, 1);  // print devices draw widths of a dot and more
}

// The picture's size, and whether the line's middle is dark and the corner white.
std::string picture_report(drawing_context* ctx, kz::crt::GlobalHandle dib) {
    const PictureFrame f = picture_frame(ctx, 0);
    const auto* info = static_cast<const plat::DibInfoHeader*>(kz::crt::global_lock(dib));
    const auto* bits = reinterpret_cast<const unsigned char*>(info) + 40;
    const int bytes = info->bit_count / 8;
    auto grey = [&](double x, double y) {
        int px = int((x - f.xmin) * f.width / (f.xmax - f.xmin)), py = int((y - f.ymin) * f.width / (f.xmax - f.xmin));
        int darkest = 255;  // within a pixel of the point
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                darkest = std::min<int>(
                    darkest,
                    bits[(f.height - 1 - (py + dy)) * plat::dib_stride(f.width, info->bit_count) + bytes * (px + dx)]);
        return darkest;
    };
    std::string report =
        std::to_string(f.width) + "x" + std::to_string(f.height) + " line " + std::to_string(grey(1650, 350) < 128) +
        " corner " +
        std::to_string(grey(f.xmin + 2 * (f.xmax - f.xmin) / f.width, f.ymin + 2 * (f.xmax - f.xmin) / f.width) == 255);
    kz::crt::global_unlock(dib);
    return report;
}

// The two ends of the cross-process check, run as child processes of the test below.
TEST(DrawingClipboardPeer, RunsOnlyWhenAskedTo) {
    const char* role = std::getenv("KZ_CLIP_ROLE");
    const char* dir = std::getenv("KZ_CLIP_DIR");
    if (!role || !dir) GTEST_SKIP() << "helper for DrawingClipboard.ASecondProcessSeesBlockPictureAndText";
    const std::string d = dir;
    test::Drawing drawing;
    if (std::string(role) == "writer") {
        peer_drawing(drawing.peek());
        ASSERT_EQ(xlum_cboard_copy(drawing.peek(), 0), 1);
        std::ofstream(d + "/ready") << "1";
        kz::test::wait_for_file(d + "/done", 30, [] { plat::pump_messages(); });  // serve until read
        return;
    }
    std::ofstream out(d + "/result", std::ios::binary);
    out << "paste " << xlum_cboard_paste(drawing.peek(), 0) << " records " << test::head_rows(drawing.peek(), 0).size();
    kz::crt::GlobalHandle dib = nullptr;
    if (auto png = plat::get_clipboard_data(plat::kClipboardPicture))
        dib = plat::load_image_dib_from_memory(png->data(), png->size());
    out << " picture " << (dib ? picture_report(drawing.peek(), dib) : "<none>") << " text "
        << plat::get_clipboard_data(plat::kClipboardText).value_or("<none>");
    if (dib) kz::crt::global_free(dib);
    out.close();
    std::ofstream(d + "/done") << "1";
}

TEST(DrawingClipboard, ASecondProcessSeesBlockPictureAndText) {
    if (!kz::test::xvfb_available()) GTEST_SKIP() << "xvfb-run is not installed";
    const auto got = kz::test::run_clipboard_peers("drawing_clipboard", "DrawingClipboardPeer.*");
    ASSERT_TRUE(got) << "the reader process left no result";
    test::Drawing here;
    peer_drawing(here.peek());
    const PictureFrame f = picture_frame(here.peek(), 0);
    EXPECT_EQ(f.width, std::lround((2690 - 900 + 40 + 1) / 20.0 / 25.4 * 96));  // the texts reach x = 2690
    EXPECT_EQ(*got, "paste 1 records 7 picture " + std::to_string(f.width) + "x" + std::to_string(f.height) +
                        " line 1 corner 1 text Room\tDoor\tHall\tExit\r\nStair\r\n");
}

}  // namespace
}  // namespace kz::drawing2d
