// The view fixture for the figure-file tests (the view tests' one with its own download cache), figure line
// makers, a description of the loaded item tree, and a loopback server that serves a folder and logs requests.
#pragma once
#include <gtest/gtest.h>

#include <initializer_list>
#include <map>
#include <string>

#include "app/document/xview.h"
#include "tests/support/loopback_server.h"
#include "tests/support/test_paths.h"
#include "tests/support/xview/view_fixture.h"

namespace kz::view::test {

// The view fixture of the view tests, with a download cache of the test's own.
class DocumentTest : public ViewTest {
public:
    void SetUp() override;

    // The item tree below the root as text: name(part names;...){children ...}.
    std::string tree() const;
};

// The fixture of the save tests: dialogs answer without blocking and log what they showed, and the file hooks a test
// sets (a full disk, a shorter wait for a file in use) are lifted after it.
class SaveTest : public DocumentTest {
public:
    void SetUp() override;
    void TearDown() override;
    // Opens the model at the POSIX path, the eye placed at once.
    int open(const std::string& posix_path);
};

// A new model holding the items the figure text makes below the root, as a paste into an empty model does.
void load_text(XView* view, std::string text);
// Feeds a text as a unit of the root, as a read of the opened file does; or with no current item.
void feed(XView* view, std::string text, bool without_item = false);
// A "trunk" record named `name` with the attribute column (column 31) `attributes`.
std::string trunk_line(const std::string& name, const std::string& attributes = "");
// A shape record of `kind` (box, ball, ...) named `name`, 100 on each side.
std::string shape_line(const std::string& name, const std::string& kind = "box");
// Fresh folder below the test output folder (emptied first); its POSIX path.
std::string fresh_folder(const std::string& name);
void write_file(const std::string& posix_path, const std::string& bytes);
// Program (Windows) form of a POSIX path.
std::string windows_form(const std::string& posix_path);
using kz::test::count_of;
using kz::test::read_all;
// Every file below the folder (a native path) with its bytes.
std::map<std::string, std::string> files_below(const std::string& dir);
// The first item whose base record carries the name; null when none.
XTrunk* find_item(const XView* view, const char* name);
// Pixels of the view's next frame, rendered off screen at w x h, within `tolerance` of red, green, blue in each
// channel; -1 when no frame could be rendered.
int pixels_near(XView* view, int w, int h, int red, int green, int blue, int tolerance);
// Lines joined, each ended by `end`.
std::string lines(std::initializer_list<std::string> list, const char* end = "\r\n");
// A model of many units in `dir`: model.fig with settings, a comment line and units on disk (in "parts", one
// of them written with LF line ends, one shared by two items, one referring to itself), one behind "file:" in
// `elsewhere` and one fetched from `remote_url` (its file written as `served`/units/remote.fig); kMultiUnitTree
// is the tree it loads into.
void write_multi_unit_model(const std::string& dir, const std::string& elsewhere, const std::string& served,
                            const std::string& remote_url);
inline constexpr const char* kMultiUnitTree =
    "house(wall){door(door leaf)} lamp A(bulb) lamp B(bulb) remote(remote box) far(far box) "
    "loop(loop box){inner loop()} group(inner box)";

// Serves `root` on 127.0.0.1; every request path is appended to `log`.
struct UnitServer : kz::test::LoopbackServer {
    UnitServer(const std::string& root, const std::string& log);
};

}  // namespace kz::view::test
