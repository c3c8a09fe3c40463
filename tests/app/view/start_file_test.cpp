// The choice of the start file, in its order: the name in the program's file name, the command line, "start.txt"
// beside the program, then the first figure set, figure file or mesh file in the program folder.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/view/program_entry.h"
#include "tests/support/xview/view_fixture.h"

namespace kz::view::test {
namespace {

using StartFile = ViewTest;

struct Case {
    const char* name;
    std::vector<std::pair<const char*, const char*>> files;  // name, content
    const char* start_name;    // decoded from the program's file name, folder-relative here
    const char* command_line;  // folder-relative, or null
    int rule;
    const char* opened;          // folder-relative; null: nothing opened
    const char* said = nullptr;  // in the one line on standard error; null: not looked at
};

TEST_F(StartFile, RulesApplyInOrder) {
    const Case cases[] = {
        {"name_first", {{"a.fig", ""}, {"start.txt", "b.fig\n"}}, "a.fig", "c.fig", 1, "a.fig"},
        {"quoted_command_line", {{"start.txt", "b.fig\n"}}, nullptr, "\"c.fig\"", 2, "c.fig"},
        {"command_set", {{"set.figset", "figfile,sub\\d.fig\r\nset,x\r\n"}}, nullptr, "set.figset", 2, "sub\\d.fig"},
        {"empty_set_ends_choice", {{"set.figset", "figfile,\r\n"}, {"b.fig", ""}}, nullptr, "set.figset", 2, nullptr},
        {"other_extension", {{"b.fig", ""}, {"x.dxf", ""}}, nullptr, "x.dxf", 2, nullptr, "x.dxf: a 2D drawing"},
        // Named on the command line, a file opens as it would when dropped on the window.
        {"mesh_on_command_line", {{"m.om3", ""}, {"b.fig", ""}}, nullptr, "m.om3", 2, "m.om3"},
        {"image_on_command_line", {{"p.PNG", ""}, {"b.fig", ""}}, nullptr, "p.PNG", 2, nullptr, "p.PNG: an image"},
        {"missing_on_command_line", {{"b.fig", ""}}, nullptr, "gone.om3", 2, nullptr, "gone.om3: not found"},
        // A name that would clear and reset the terminal reaches it escaped.
        {"controls_in_name",
         {{"b.fig", ""}},
         nullptr,
         "a\x1b[2J\x1b"
         "c.png",
         2,
         nullptr,
         "a\\x1B[2J\\x1Bc.png: an image"},
        {"start_txt_subfolder",
         {{"start.txt", "  models\\room.fig \r\nother.fig\n"}, {"z.figset", "figfile,z.fig"}},
         nullptr,
         nullptr,
         3,
         "models\\room.fig"},
        {"empty_start_txt", {{"start.txt", "\n"}, {"b.fig", ""}}, nullptr, nullptr, 3, nullptr},
        {"set_beats_figure", {{"a.fig", ""}, {"b.figset", "figfile\tb.fig\n"}}, nullptr, nullptr, 4, "b.fig"},
        {"set_naming_nothing_goes_on", {{"a.fig", ""}, {"b.figset", "set,1\n"}}, nullptr, nullptr, 4, "a.fig"},
        {"figure_beats_mesh", {{"m.om3", ""}, {"b.fig", ""}}, nullptr, nullptr, 4, "b.fig"},
        {"mesh_last", {{"m.om3", ""}, {"n.txt", ""}}, nullptr, nullptr, 4, "m.om3"},
        {"nothing", {{"n.txt", ""}}, nullptr, nullptr, 0, nullptr},
    };
    for (const Case& c : cases) {
        ScratchFolder dir(std::string("view_start_") + c.name);
        for (const auto& [file, content] : c.files) dir.write(file, content);
        view->document.opened_model_paths.clear();
        const std::string start_name = c.start_name ? dir.windows + c.start_name : "";
        const std::string command =
            c.command_line
                ? (c.command_line[0] == '"' ? "\"" + dir.windows + (c.command_line + 1) : dir.windows + c.command_line)
                : "";
        testing::internal::CaptureStderr();
        EXPECT_EQ(ChooseStartFile(view, dir.windows, start_name, command.c_str()), c.rule) << c.name;
        const std::string said = testing::internal::GetCapturedStderr();
        if (c.said) {
            EXPECT_NE(said.find(dir.native + "/" + c.said), std::string::npos) << c.name << ": " << said;
            EXPECT_EQ(said.find('\n'), said.size() - 1) << c.name << ": " << said;
        }
        if (!c.opened) {
            EXPECT_TRUE(view->document.opened_model_paths.empty()) << c.name;
            continue;
        }
        ASSERT_EQ(view->document.opened_model_paths.size(), 1u) << c.name;
        EXPECT_EQ(view->document.opened_model_paths[0], dir.windows + c.opened) << c.name;
    }
}

}  // namespace
}  // namespace kz::view::test
