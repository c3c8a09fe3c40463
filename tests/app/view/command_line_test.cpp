// The program's one argument: each kind of name through the function main() makes it into the program's name with,
// judged by the file the kernel reaches, and the built program started offscreen on each, judged by what it says.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/foundation/paths.h"
#include "app/view/program_entry.h"
#include "platform/path_names.h"
#include "support/loopback_server.h"
#include "support/test_paths.h"

namespace kz::view::test {
namespace {

namespace fs = std::filesystem;

// A fresh folder below the test output folder, by its real path.
std::string fresh(const std::string& name) {
    const fs::path folder = fs::path(kz::test::output_dir()) / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return fs::canonical(folder).string();
}

bool same_file(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// Local names reach the file the kernel reaches by them from the folder the program starts in, through a link
// and its ".." too; addresses stay addresses.
TEST(CommandLine, EachKindOfNameBecomesTheFileTheKernelReaches) {
    const std::string folder = fresh("command_line_names");
    fs::create_directories(folder + "/deep/inner");
    fs::create_directory_symlink(folder + "/deep/inner", folder + "/link");
    std::ofstream(folder + "/m.fig") << "\r\n";
    std::ofstream(folder + "/deep/m.fig") << "\r\n";
    const fs::path was = fs::current_path();
    fs::current_path(folder);
    for (const std::string& given :
         std::vector<std::string>{"m.fig", "./m.fig", folder + "/m.fig", "link/../m.fig", "deep/../m.fig"}) {
        const std::string name = command_line_name(given.c_str());
        // Pictures and units beside the model are joined to its folder as text, as a model's names are.
        char beside[kz::foundation::kPathBufferSize] = {};
        kz::foundation::resolve_relative_path(beside, "m.fig", name.substr(0, name.rfind('\\') + 1).c_str(), 0);
        EXPECT_TRUE(same_file(kz::platform::to_native_path(beside), given)) << given << " became " << name;
    }
    fs::current_path(was);
    EXPECT_EQ(command_line_name(nullptr), "");
    EXPECT_EQ(command_line_name("/m.fig"), "Z:\\m.fig");
    for (const char* address : {"http://127.0.0.1:8080/a/m.fig", "HTTP://host/m.fig", "file:///tmp/m.fig"})
        EXPECT_EQ(kz::platform::display_name(command_line_name(address)),
                  kz::platform::display_name(kz::platform::from_native_path(address)))
            << address;
    EXPECT_EQ(kz::platform::display_name(command_line_name("file:///tmp/m.fig")), "/tmp/m.fig");
}

#ifdef KZVIEW_PROGRAM

// Every kind of name the user may give, started in a folder holding a model whose one item refers to a unit that
// is nowhere: the line naming that unit is the mark that the model was read.
TEST(CommandLine, TheProgramOpensWhatItIsGivenOrSaysWhyNot) {
    const std::string folder = fresh("command_line_program");
    const std::string cache = fresh("command_line_cache"), runtime = fresh("command_line_runtime");
    fs::permissions(cache, fs::perms::owner_all);
    fs::permissions(runtime, fs::perms::owner_all);
    std::ofstream(folder + "/model.fig", std::ios::binary)
        << "trunk" + std::string(29, ',') + "probe,,#frefer=probe.fig\r\n";
    std::ofstream(folder + "/scene.wrl") << "#VRML V2.0 utf8\nShape { geometry Box { } }\n";
    fs::copy_file(folder + "/model.fig", folder + "/my model.fig");
    kz::test::LoopbackServer server({folder, folder + "/requests.log"});
    ASSERT_GT(server.port(), 0);
    const std::string read_mark = "probe.fig";
    std::string too_long;  // longer than the viewer's path buffer, shorter than Linux's
    while (too_long.size() < kz::foundation::kPathBufferSize) too_long += std::string(200, 'd') + "/";
    too_long += "m.wrl";
    struct Case {
        std::string given;
        std::string said;  // the one line the program says, "" when it must name the probe unit
    } cases[] = {
        {server.url("/model.fig"), ""},
        {"file://" + folder + "/model.fig", ""},
        {"model.fig", ""},
        {folder + "/model.fig", ""},
        {"scene.wrl", folder + "/scene.wrl: not a model the viewer opens (a file of type model/vrml), nothing opened"},
        {"/bin/sh", "/bin/sh: not a model the viewer opens (a file of type application/"},
        {"gone.fig", folder + "/gone.fig: figure file not found"},
        {"gone.wrl", folder + "/gone.wrl: not found, nothing opened"},
        {"file://" + folder + "/scene.wrl",
         folder + "/scene.wrl: not a model the viewer opens (a file of type model/vrml), nothing opened"},
        {"file://" + folder + "/my%20model.fig", ""},
        {"m*", folder + "/m*: not found, nothing opened"},
        {too_long, folder + "/" + too_long + ": name too long, nothing opened"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.given);
        int status = -1;
        const std::string said = kz::test::command_output(
            "cd '" + folder + "' && QT_QPA_PLATFORM=offscreen KZVIEW_EXIT_AFTER_FIRST_FRAME=1 XDG_CACHE_HOME='" +
                cache + "' XDG_RUNTIME_DIR='" + runtime + "' timeout 120 " + KZVIEW_PROGRAM + " '" + c.given +
                "' 2>&1 >/dev/null",
            &status);
        EXPECT_EQ(status, 0) << said;
        EXPECT_EQ(kz::test::count_of(said, "\n"), 1) << said;
        if (c.said.empty()) {
            EXPECT_NE(said.find(read_mark), std::string::npos) << said;
        } else {
            EXPECT_EQ(said.rfind("kzview: " + c.said, 0), 0u) << said;
            if (!c.given.ends_with(".fig")) {
                EXPECT_EQ(said.find(".fig"), std::string::npos) << said;
            }
        }
    }
    EXPECT_NE(kz::test::read_all(folder + "/requests.log").find("/model.fig"), std::string::npos);
}

#endif

}  // namespace
}  // namespace kz::view::test
