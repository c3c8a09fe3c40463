// Names a host hands the library to read that hold no file it can read whole: each is refused with one line on
// standard error naming it and why, as the viewer's paste names the drawings it refuses.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "drawing2d/drawing_files.h"
#include "drawing_test_support.h"
#include "platform/path_names.h"
#include "support/test_paths.h"

namespace kz::drawing2d {
namespace {

namespace fs = std::filesystem;

TEST(DrawingFileRefusals, EachNameThatHoldsNoReadableFileSaysWhy) {
    const std::string folder = kz::test::output_file("refused_drawings");
    fs::remove_all(folder);
    fs::create_directories(folder + "/folder.dxf");
    ASSERT_EQ(::mkfifo((folder + "/pipe.dxf").c_str(), 0600), 0);
    std::ofstream(folder + "/big.dxf").close();
    fs::resize_file(folder + "/big.dxf", (std::uintmax_t(256) << 20) + 1);  // sparse: nothing is written
    std::ofstream(folder + "/big.mpw").close();
    fs::resize_file(folder + "/big.mpw", (std::uintmax_t(256) << 20) + 1);
    std::ofstream(folder + "/locked.dxf") << "0\nEOF\n";
    fs::permissions(folder + "/locked.dxf", fs::perms::none);
    struct Case {
        const char* file;
        std::string why;
    } cases[] = {
        {"gone.dxf", "not found"},
        {"folder.dxf", "not a regular file (a folder, device or pipe)"},
        {"pipe.dxf", "not a regular file (a folder, device or pipe)"},
        {"big.dxf", "larger than 256 MiB"},
        {"big.mpw", "larger than 256 MiB"},
        {"locked.dxf", "Permission denied"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        if (std::string(c.file) == "locked.dxf" && ::geteuid() == 0) continue;  // root reads it all the same
        const std::string path = folder + "/" + c.file;
        test::Drawing d;
        testing::internal::CaptureStderr();
        EXPECT_EQ(xlum_read(d.peek(), kz::platform::from_native_path(path).c_str(), 0), 0);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), path + ": drawing not read: " + c.why + "\n");
    }
    fs::permissions(folder + "/locked.dxf", fs::perms::owner_all);
}

}  // namespace
}  // namespace kz::drawing2d
