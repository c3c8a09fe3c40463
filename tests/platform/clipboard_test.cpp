// The clipboard: Shift_JIS text, registered formats by name, keeping other formats, and a registered format
// passing between two processes on a real X display (skipped where no xvfb-run is installed).
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "platform/clipboard.h"
#include "support/test_paths.h"

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

bool wait_for(const std::string& path, int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (access(path.c_str(), F_OK) == 0) return true;
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
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
        wait_for(d + "/done", 30);  // serve the selection until the reader has it
    } else {
        const auto got = get_clipboard_data(block);
        std::ofstream(d + "/result", std::ios::binary) << (got ? *got : std::string("<none>"));
        std::ofstream(d + "/done") << "1";
    }
}

TEST(Clipboard, RegisteredFormatPassesBetweenProcesses) {
    if (system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "xvfb-run is not installed";
    const std::string d = test::output_file("clipboard_" + std::to_string(getpid()));
    std::string cmd = "rm -rf '" + d + "' && mkdir -p '" + d + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    self[n] = 0;
    const std::string env = "QT_QPA_PLATFORM=xcb ASAN_OPTIONS=detect_leaks=0 KZ_CLIP_DIR='" + d + "' ";
    const std::string run = std::string(self) + " --gtest_filter=ClipboardPeer.RunsOnlyWhenAskedTo >/dev/null 2>&1";
    cmd = "xvfb-run -a sh -c \"" + env + "KZ_CLIP_ROLE=writer " + run + " & " + "i=0; while [ ! -f '" + d +
          "/ready' ] && [ \\$i -lt 300 ]; do sleep 0.1; i=\\$((i+1)); done; " + env + "KZ_CLIP_ROLE=reader " + run +
          "; wait\" >/dev/null 2>&1";
    system(cmd.c_str());
    std::ifstream in(d + "/result", std::ios::binary);
    ASSERT_TRUE(in) << "the reader process left no result";
    const std::string got((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(got, kBlock);
}

}  // namespace
}  // namespace kz::platform
