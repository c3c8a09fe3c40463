// Whole models opened from disk, "file:" and a loopback "http:" server: the item tree they load into, the
// settings they leave, the download cache, and bad units that load what they can and say so on standard error.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/foundation/heap_text.h"
#include "app/scene/xtrunk.h"
#include "document_fixture.h"
#include "tests/support/test_paths.h"

namespace kz::view::test {
namespace {

namespace fs = std::filesystem;

int count_of(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

using FigureLoad = DocumentTest;

TEST_F(FigureLoad, FigureSetWithUnitsFromDiskFileAndHttp) {
    const std::string dir = fresh_folder("multi");
    const std::string served = fresh_folder("multi-served");
    const std::string log = dir + "/requests.log";
    UnitServer server(served, log);
    ASSERT_GT(server.port(), 0);
    const std::string elsewhere = fresh_folder("multi-elsewhere");

    write_file(dir + "/model.figset", lines({"figfile,model.fig", "set,haikei,10,20,30", "set\tnorth_angle\t12.5"}));
    write_multi_unit_model(dir, elsewhere, served, server.url("/units/remote.fig"));

    const std::string set = windows_form(dir + "/model.figset");
    char figure[2048] = {};
    ASSERT_EQ(view->FindStartFigFile(set.c_str(), figure), 1);
    EXPECT_EQ(std::string(figure), windows_form(dir + "/model.fig"));
    testing::internal::CaptureStderr();
    ASSERT_EQ(view->OpenModel(figure), 1);
    ASSERT_EQ(view->LoadStartSettings(set.c_str()), 1);
    const std::string errors = testing::internal::GetCapturedStderr();

    const std::string expected = kMultiUnitTree;
    EXPECT_EQ(tree(), expected);
    EXPECT_EQ(count_of(errors, "LOOP.fig"), 1) << errors;  // the self-reference, and nothing else reported
    EXPECT_EQ(count_of(errors, "kzview:"), 1) << errors;
    // Settings: the set file's background wins over the figure file's; units and blocks set nothing.
    EXPECT_EQ(view->settings.background_color, 10u + 20u * 256 + 30u * 65536);
    EXPECT_DOUBLE_EQ(view->settings.sun[0], 0.5);
    EXPECT_DOUBLE_EQ(view->settings.north_angle, 12.5);
    EXPECT_DOUBLE_EQ(view->settings.settings_eye[2], 300.0);
    EXPECT_DOUBLE_EQ(view->settings.settings_target[1], 2.0);
    EXPECT_DOUBLE_EQ(view->settings.settings_lens, 40.0);
    EXPECT_EQ(view->settings.eye_point_given, 0);  // the open placed the eye and used the request
    EXPECT_DOUBLE_EQ(view->camera.eye->eye[0], 100.0);
    EXPECT_EQ(view->TrunkDownloaded(find_item(view, "remote")), 1);
    EXPECT_EQ(view->TrunkDownloaded(find_item(view, "far")), 0);
    EXPECT_EQ(count_of(read_all(log), "/units/remote.fig"), 1);

    // The second open is served from the cache: the same tree, no further request.
    ASSERT_EQ(view->OpenModel(figure), 1);
    EXPECT_EQ(tree(), expected);
    EXPECT_EQ(count_of(read_all(log), "/units/remote.fig"), 1);
    // With the re-download switch the server is asked again.
    view->document.force_download = 1;
    ASSERT_EQ(view->OpenModel(figure), 1);
    EXPECT_EQ(count_of(read_all(log), "/units/remote.fig"), 2);
}

TEST_F(FigureLoad, SampleRoomLoadsIntoItsTree) {
    const char* source = std::getenv("KZ_SOURCE_DIR");
    const std::string path = std::string(source ? source : ".") + "/examples/sample-room/room.fig";
    ASSERT_TRUE(fs::exists(path));
    ASSERT_EQ(view->OpenModel(windows_form(path).c_str()), 1);
    EXPECT_EQ(tree(),
              "room(floor;back wall;left wall;right wall low;right wall high;right wall front;right wall back;"
              "window glass;caption board){table(table top;leg 1;leg 2;leg 3;leg 4) ball(red ball)}");
    EXPECT_EQ(view->settings.background_color, 170u + 200u * 256 + 235u * 65536);
    EXPECT_DOUBLE_EQ(view->settings.settings_lens, 35.0);
}

// Each bad unit sits between two good items; the good ones load, the bad one is named on standard error.
TEST_F(FigureLoad, BadUnitsLoadWhatTheyCanAndReport) {
    const std::string dir = fresh_folder("bad");
    const std::string log = dir + "/requests.log";
    UnitServer server(dir, log);
    ASSERT_GT(server.port(), 0);
    std::string binary(4096, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>((i * 131 + 7) % 256);
    fs::create_directory_symlink(".", dir + "/spiral");
    struct Case {
        const char* name;
        std::string reference;  // the "#frefer" of the middle item
        std::string unit;       // the unit file written at "unit.fig" (empty: none)
        const char* expected;   // the middle item's subtree
        const char* reported;   // text the report line must hold
    } cases[] = {
        {"missing unit", "#frefer=gone.fig", "", "middle()", "gone.fig"},
        {"truncated unit", "#frefer=unit.fig", lines({shape_line("kept"), trunk_line("open"), "{"}) + "box,0,0,0,,,,",
         "middle(kept){open(?)}", "cut short"},
        {"binary unit", "#frefer=unit.fig", binary, "", "unit.fig"},
        {"404", "#frefer=" + server.url("/missing/unit.fig"), "", "middle()", "404"},
        {"1 MB line", "#frefer=unit.fig",
         lines({shape_line("before"), "box," + std::string(1 << 20, '1'), shape_line("after")}), "middle(before;after)",
         "line 2"},
        {"a spiral of links to one unit", "#frefer=spiral\\unit.fig",
         lines({shape_line("turn"), trunk_line("deeper", "#frefer=spiral\\unit.fig")}), "", "refers to itself"},
        {"extra closing brace", "#frefer=unit.fig", lines({shape_line("a"), "}", "}", trunk_line("b")}),
         "middle(a){b()}", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(dir + "/unit.fig");
        if (!c.unit.empty()) write_file(dir + "/unit.fig", c.unit);
        write_file(dir + "/model.fig", lines({trunk_line("first"), shape_line("one"), trunk_line("middle", c.reference),
                                              trunk_line("last"), shape_line("two")}));
        testing::internal::CaptureStderr();
        ASSERT_EQ(view->OpenModel(windows_form(dir + "/model.fig").c_str()), 1);
        const std::string errors = testing::internal::GetCapturedStderr();
        const std::string t = tree();
        EXPECT_EQ(t.rfind("first(one) middle", 0), 0u) << t;
        EXPECT_NE(t.find(" last(two)"), std::string::npos) << t;  // the next item still sits at the top
        if (*c.expected) {
            EXPECT_NE(t.find(std::string(c.expected) + " last"), std::string::npos) << t;
        }
        if (c.reported) {
            EXPECT_NE(errors.find(c.reported), std::string::npos) << errors;
            EXPECT_EQ(count_of(errors, "\n"), 1) << errors;
        } else {
            EXPECT_EQ(errors, "");
        }
    }
}

TEST_F(FigureLoad, OnDemandUnitWaitsForExpansionAndReloads) {
    const std::string dir = fresh_folder("on-demand");
    write_file(dir + "/model.fig", lines({trunk_line("lazy", "#frefer=lazy.fig|#frmode=e"), trunk_line("eager")}));
    write_file(dir + "/lazy.fig", lines({shape_line("inside")}));
    ASSERT_EQ(view->OpenModel(windows_form(dir + "/model.fig").c_str()), 1);
    EXPECT_EQ(tree(), "lazy() eager()");
    view->ExpandReference(view->document.trunks[0], 0, 0);
    EXPECT_EQ(tree(), "lazy(inside) eager()");
    write_file(dir + "/lazy.fig", lines({trunk_line("changed")}));
    view->ExpandReference(view->document.trunks[0], 0, 0);  // read once only
    EXPECT_EQ(tree(), "lazy(inside) eager()");
    view->ExpandReference(const_cast<XTrunk*>(find_item(view, "lazy")), 1, 0);
    EXPECT_EQ(tree(), "lazy(){changed()} eager()");
}

// A reload replaces what the unit put into the referring item and keeps the shapes that the referring file itself
// placed there, before and after the reference.
TEST_F(FigureLoad, ReloadReplacesOnlyTheUnitsOwnShapes) {
    const std::string dir = fresh_folder("reload");
    write_file(dir + "/model.fig", lines({trunk_line("unit", "#frefer=u.fig"), shape_line("own"), trunk_line("next")}));
    write_file(dir + "/u.fig", lines({shape_line("s1"), shape_line("s2")}));
    ASSERT_EQ(view->OpenModel(windows_form(dir + "/model.fig").c_str()), 1);
    EXPECT_EQ(tree(), "unit(s1;s2;own) next()");
    XTrunk* unit = const_cast<XTrunk*>(find_item(view, "unit"));
    view->ExpandReference(unit, 1, 0);
    EXPECT_EQ(tree(), "unit(own;s1;s2) next()");
    write_file(dir + "/u.fig", lines({shape_line("t1"), trunk_line("inner")}));
    view->ExpandReference(unit, 1, 0);
    EXPECT_EQ(tree(), "unit(own;t1){inner()} next()");
}

// Names inside a unit resolve against the unit's folder and are written back relative to it.
TEST_F(FigureLoad, PathsFollowTheUnitFolder) {
    const std::string dir = fresh_folder("unit-paths");
    write_file(dir + "/model.fig", lines({trunk_line("house", "#frefer=parts\\house.fig")}));
    write_file(dir + "/parts/house.fig", lines({trunk_line("room")}));
    ASSERT_EQ(view->OpenModel(windows_form(dir + "/model.fig").c_str()), 1);
    XTrunk* room = const_cast<XTrunk*>(find_item(view, "room"));
    ASSERT_NE(room, nullptr);
    const std::string parts = windows_form(dir + "/parts") + "\\";
    const std::string other = windows_form(dir + "/other") + "\\";
    const struct {
        std::string absolute;
        const char* relative;
    } cases[] = {{parts + "img.bmp", "img.bmp"}, {other + "x.bmp", "..\\other\\x.bmp"}};
    for (const auto& c : cases) {
        char* relative = view->ToRelativePath(nullptr, c.absolute.c_str(), room);
        ASSERT_NE(relative, nullptr);
        EXPECT_STREQ(relative, c.relative);
        char* absolute = view->ToAbsolutePath(nullptr, relative, room);
        EXPECT_EQ(std::string(absolute), c.absolute);
        kz::foundation::free_and_null(relative);
        kz::foundation::free_and_null(absolute);
    }
    view->document.relative_paths = 0;
    char* copy = view->ToRelativePath(nullptr, cases[0].absolute.c_str(), room);
    EXPECT_EQ(std::string(copy), cases[0].absolute);
    kz::foundation::free_and_null(copy);
    char* old = view->ToAbsolutePath(nullptr, "a.bmp", room);
    EXPECT_EQ(view->ToAbsolutePath(old, "", room), nullptr);  // an empty path drops the attribute
}

TEST_F(FigureLoad, MissingFigureFileChangesNothing) {
    const std::string dir = fresh_folder("missing");
    write_file(dir + "/model.fig", lines({trunk_line("kept")}));
    ASSERT_EQ(view->OpenModel(windows_form(dir + "/model.fig").c_str()), 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(view->OpenModel(windows_form(dir + "/nothing.fig").c_str()), 0);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("nothing.fig"), std::string::npos);
    EXPECT_EQ(tree(), "kept()");
}

}  // namespace
}  // namespace kz::view::test
