// The clipboard: Shift_JIS text, registered formats by name, keeping other formats, and a registered format
// passing between two processes on a real X display (skipped where no xvfb-run is installed).
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/clipboard.h"
#include "support/clipboard_peers.h"

namespace kz::platform {
namespace {

const std::string kBlock = std::string("ExelData\t\x93\xfa\x96\x7b\r\n", 14) + std::string("\0bin\xff", 5);

TEST(Clipboard, RegisteredFormatsAreNumberedByName) {
    const unsigned a = register_clipboard_format("exeldata-1");
    EXPECT_GE(a, 0xC000u);
    EXPECT_EQ(register_clipboard_format("EXELDATA-1"), a);
    EXPECT_NE(register_clipboard_format("LUMBRA-MPW"), a);
    EXPECT_EQ(register_clipboard_format(""), 0u);
    EXPECT_FALSE(set_clipboard_data(0xBFFF, "x"));  // never registered
    EXPECT_FALSE(get_clipboard_data(0xFFFF).has_value());
}

TEST(Clipboard, TextAndBlocksRoundTripWithinTheProcess) {
    const unsigned block = register_clipboard_format("exeldata-7");
    ASSERT_TRUE(set_clipboard_data(kClipboardText, "\x95\x5c\x8e\xa6 figure"));  // 表示
    EXPECT_EQ(get_clipboard_data(kClipboardText).value_or(""), "\x95\x5c\x8e\xa6 figure");
    EXPECT_FALSE(clipboard_has_format(block));
    ASSERT_TRUE(set_clipboard_data(block, kBlock, true));  // keep: the text stays
    EXPECT_EQ(get_clipboard_data(block).value_or(""), kBlock);
    EXPECT_TRUE(clipboard_has_format(kClipboardText));
    ASSERT_TRUE(set_clipboard_data(kClipboardText, std::string("cut\0here", 8)));  // not kept; text ends at NUL
    EXPECT_EQ(get_clipboard_data(kClipboardText).value_or(""), "cut");
    EXPECT_FALSE(clipboard_has_format(block));
    ASSERT_TRUE(empty_clipboard());
    EXPECT_FALSE(clipboard_has_format(kClipboardText));
}

// The two ends of the cross-process check, run as child processes of the test below.
TEST(ClipboardPeer, RunsOnlyWhenAskedTo) {
    const char* role = std::getenv("KZ_CLIP_ROLE");
    const char* dir = std::getenv("KZ_CLIP_DIR");
    if (!role || !dir) GTEST_SKIP() << "helper for Clipboard.RegisteredFormatPassesBetweenProcesses";
    const std::string d = dir;
    const unsigned block = register_clipboard_format("exeldata-42");
    if (std::string(role) == "writer") {
        ASSERT_TRUE(set_clipboard_data(block, kBlock));
        std::ofstream(d + "/ready") << "1";
        test::wait_for_file(d + "/done", 30, [] { QCoreApplication::processEvents(); });  // serve until read
    } else {
        const auto got = get_clipboard_data(block);
        std::ofstream(d + "/result", std::ios::binary) << (got ? *got : std::string("<none>"));
        std::ofstream(d + "/done") << "1";
    }
}

TEST(Clipboard, RegisteredFormatPassesBetweenProcesses) {
    if (!test::xvfb_available()) GTEST_SKIP() << "xvfb-run is not installed";
    const auto got = test::run_clipboard_peers("clipboard", "ClipboardPeer.RunsOnlyWhenAskedTo");
    ASSERT_TRUE(got) << "the reader process left no result";
    EXPECT_EQ(*got, kBlock);
}

}  // namespace
}  // namespace kz::platform
