// Whole models opened from disk, "file:" and a loopback "http:" server: the item tree they load into, the
// settings they leave, the download cache, and bad units that load what they can and say so on standard error.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "app/foundation/heap_text.h"
#include "app/scene/xtrunk.h"
#include "document_fixture.h"
#include "platform/file_system.h"
#include "platform/folder_rule.h"
#include "tests/support/other_user.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/test_paths.h"

namespace kz::view::test {
namespace {

namespace fs = std::filesystem;

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
    // Without it, a cached copy serves for three hours after its last write; an older one is fetched again.
    view->document.force_download = 0;
    const fs::path cached = fs::path(kz::platform::to_native_path(view->document.work_folder)) / "http" /
                            ("127.0.0.1_" + std::to_string(server.port())) / "units" / "remote.fig";
    ASSERT_TRUE(fs::exists(cached));
    for (const auto& [minutes, requests] : {std::pair{179, 2}, {181, 3}}) {
        fs::last_write_time(cached, fs::file_time_type::clock::now() - std::chrono::minutes(minutes));
        ASSERT_EQ(view->OpenModel(figure), 1);
        EXPECT_EQ(count_of(read_all(log), "/units/remote.fig"), requests) << minutes;
        EXPECT_EQ(tree(), expected) << minutes;
    }
}

unsigned mode_of(const fs::path& p) {
    struct stat st;
    return ::lstat(p.c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
}

struct PretendUser {
    explicit PretendUser(std::int64_t uid) { kz::platform::set_user_id_for_tests(uid); }
    ~PretendUser() { kz::platform::set_user_id_for_tests(-1); }
};

// The download cache is the user's own ($XDG_CACHE_HOME/kzview/kz3d_temp): a unit another user planted before
// the viewer started, where the cache once was or while the private folder let others write, is never read in
// place of the server's. A private folder that is a link or someone else's caches nothing: the download fails
// with its line on standard error and the local parts still open. What the cache holds is the user's alone,
// whatever the umask.
TEST_F(FigureLoad, TheDownloadCacheIsTheUsersOwn) {
    const std::string served = fresh_folder("own-cache-served");
    const std::string log = served + "/requests.log";
    UnitServer server(served, log);
    ASSERT_GT(server.port(), 0);
    write_file(served + "/units/remote.fig", lines({shape_line("served box")}));
    const std::string cached = "kz3d_temp/http/127.0.0.1_" + std::to_string(server.port()) + "/units/remote.fig";
    enum Planted {
        kNowhere,
        kShared,
        kOpenPrivate,
        kForeignPrivate,
        kLinkedPrivate,
        kOpenCacheFolder,
        kForeignCacheFolder
    };
    const struct {
        const char* name;
        Planted planted;
        unsigned umask;
        bool fetched;
        const char* said;  // on standard error
    } cases[] = {
        {"planted in the shared temporary folder", kShared, 022, true, nullptr},
        {"planted while others could write the private folder", kOpenPrivate, 022, true, "open to other users"},
        {"private folder of another user", kForeignPrivate, 022, false, "belongs to another user"},
        {"private folder is a link", kLinkedPrivate, 022, false, "symbolic link"},
        {"a folder of its cache open to every user", kOpenCacheFolder, 022, false, "not the user's alone"},
        {"a folder of its cache another user's", kForeignCacheFolder, 022, false, "not the user's alone"},
        {"a umask that lets everyone in", kNowhere, 0, true, nullptr},
        {"a umask that takes the owner's own rights", kNowhere, 0277, true, nullptr},
    };
    int row = 0;
    for (const auto& c : cases) {
        const std::string top = fresh_folder("own-cache-" + std::to_string(row++));
        const std::string shared = top + "/tmp", mine = top + "/cache/kzview";
        fs::create_directories(shared);
        write_file(top + "/model.fig", lines({trunk_line("local"), shape_line("local box"),
                                              trunk_line("remote", "#frefer=" + server.url("/units/remote.fig"))}));
        std::optional<PretendUser> someone_else;
        switch (c.planted) {
        case kNowhere: break;
        case kShared: write_file(shared + "/" + cached, shape_line("planted box")); break;
        case kOpenPrivate:
        case kForeignPrivate:
            write_file(mine + "/" + cached, shape_line("planted box"));
            fs::permissions(mine, c.planted == kOpenPrivate ? fs::perms::all : fs::perms::owner_all);
            if (c.planted == kForeignPrivate) someone_else.emplace(static_cast<std::int64_t>(::geteuid()) + 1);
            break;
        case kOpenCacheFolder:
        case kForeignCacheFolder: {
            // Planted while others could write there; the folders above it are the user's alone now.
            write_file(mine + "/" + cached, shape_line("planted box"));
            const fs::path host = fs::path(mine + "/" + cached).parent_path().parent_path();
            for (fs::path p = fs::path(mine + "/" + cached).parent_path(); p.string().size() >= mine.size();
                 p = p.parent_path())
                fs::permissions(p, p == host && c.planted == kOpenCacheFolder ? fs::perms::all : fs::perms::owner_all);
            if (c.planted == kForeignCacheFolder && ::chown(host.c_str(), kz::test::kOtherUser, 0) != 0) continue;
            break;
        }
        case kLinkedPrivate:
            write_file(top + "/elsewhere/" + cached, shape_line("planted box"));
            fs::permissions(top + "/elsewhere", fs::perms::owner_all);
            fs::create_directories(top + "/cache");
            fs::create_directory_symlink(top + "/elsewhere", mine);
            break;
        }
        const std::size_t requests = read_all(log).size();
        std::string errors;
        {
            kz::test::ScopedEnvironment env;
            env.set("TMPDIR", shared);
            env.set("XDG_CACHE_HOME", top + "/cache");
            env.set_umask(c.umask);
            testing::internal::CaptureStderr();
            restart_view();  // the viewer starts now, with this user's folders
            EXPECT_EQ(view->OpenModel(windows_form(top + "/model.fig").c_str()), 1) << c.name;
            errors = testing::internal::GetCapturedStderr();
        }
        EXPECT_EQ(read_all(log).substr(requests).find("/units/remote.fig") != std::string::npos, c.fetched) << c.name;
        EXPECT_EQ(tree(), c.fetched ? "local(local box) remote(served box)" : "local(local box) remote()") << c.name;
        if (c.said) {
            EXPECT_NE(errors.find(c.said), std::string::npos) << c.name << ": " << errors;
        }
        if (!c.fetched) {
            EXPECT_NE(errors.find("download failed"), std::string::npos) << c.name << ": " << errors;
            continue;
        }
        // Every folder from the private one down to the cached unit is the user's alone, and so is the unit.
        EXPECT_EQ(mode_of(mine + "/" + cached), 0600u) << c.name;
        for (fs::path p = fs::path(mine + "/" + cached).parent_path(); p.string().size() >= mine.size();
             p = p.parent_path())
            EXPECT_EQ(mode_of(p), 0700u) << c.name << ": " << p;
    }
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

// Each bad unit sits between two good items; the good ones load, the bad one is named on standard error as the user
// knows it: the native path in UTF-8 (a byte that is no character as "\xNN"), or as written when it has none.
TEST_F(FigureLoad, BadUnitsLoadWhatTheyCanAndReport) {
    const std::string dir = fresh_folder("bad");
    const std::string log = dir + "/requests.log";
    UnitServer server(dir, log);
    ASSERT_GT(server.port(), 0);
    std::string binary(4096, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>((i * 131 + 7) % 256);
    fs::create_directory_symlink(".", dir + "/spiral");
    const std::string pasted = "box,0,0,0,,,,,,,,,,100,100,100,,,,,,,,,,,,,,";
    struct Case {
        const char* name;
        std::string reference;  // the "#frefer" of the middle item
        std::string unit;       // the unit file written at "unit.fig" (empty: none)
        const char* expected;   // the middle item's subtree
        std::string reported;   // text the report line must hold (empty: no line)
    } cases[] = {
        {"missing unit", "#frefer=gone.fig", "", "middle()", "kzview: " + dir + "/gone.fig: unit file not found\n"},
        {"unit named in Shift_JIS", "#frefer=\x95\x94\x89\xae.fig", "", "middle()", dir + "/部屋.fig: unit"},
        {"a byte that is no character", "#frefer=x\xA0.fig", "", "middle()", dir + "/x\\xA0.fig: unit"},
        {"\"file:\" name", "#frefer=file:" + dir + "/gone.fig", "", "middle()", "kzview: " + dir + "/gone.fig: unit"},
        {"\"file:\" name of another machine", "#frefer=file://other/gone.fig", "", "middle()",
         "kzview: file://other/gone.fig: unit"},
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
         "middle(a){b()}", ""},
        // A missing picture or drawing pasted on the faces of two shapes: one line each.
        {"missing texture image", "#frefer=unit.fig", lines({pasted + "p,,A;1;gone.bmp|", pasted + "p,,A;1;gone.bmp|"}),
         "", "kzview: " + dir + "/gone.bmp: texture image not found\n"},
        {"missing pasted drawing", "#frefer=unit.fig",
         lines({pasted + "d,,A;1;gone.dxf|", pasted + "d,,A;1;gone.dxf|"}), "",
         "kzview: " + dir + "/gone.dxf: pasted drawing not found\n"},
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
        if (!c.reported.empty()) {
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
