// Saving models back to their files: whole models that read back the same and write the same bytes twice, only
// the changed units written, every edit road marked and saved, and failures that keep the old file.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/document/view_messages.h"
#include "app/foundation/date_time.h"
#include "app/foundation/eye_record.h"
#include "app/scene/condition_list.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "app/view/program_entry.h"
#include "document_fixture.h"
#include "platform/clipboard.h"
#include "platform/content_digest.h"
#include "platform/crt/global_memory.h"
#include "platform/dialogs.h"
#include "platform/file_stamps.h"
#include "platform/file_system.h"
#include "platform/window.h"
#include "tests/support/access_list.h"
#include "tests/support/file_rights.h"
#include "tests/support/other_user.h"
#include "tests/support/test_paths.h"

namespace kz::view::test {
namespace {

namespace fs = std::filesystem;
namespace plat = kz::platform;

// The share of a frame rendered off screen that shows exactly that colour (0x00BBGGRR).
double colour_share(XView* view, std::uint32_t colour) {
    constexpr int kW = 160, kH = 120;
    view->LayoutWindows(kW, kH);
    const int n = pixels_near(view, kW, kH, colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF, 0);
    if (n < 0) return -1.0;
    return static_cast<double>(n) / (kW * kH);
}

// Everything a model holds, read from its records, attributes, pose lines, settings and blocks (not written by
// the figure writers, so a column they drop shows).
std::string describe_model(XView* view) {
    std::ostringstream out;
    std::function<void(XTrunk*)> item = [&](XTrunk* t) {
        for (int p = 0; p < t->part_count(); ++p) {
            char** values = nullptr;
            view->PartPropertyTable(t->parts[p], nullptr, &values, 0, nullptr, 1, nullptr);
            out << (p ? " part" : "item");
            for (int c = 0; c < 40; ++c) out << "|" << values[c];
            out << "\n";
            XView::free_property_rows(values);
        }
        char **names = nullptr, **texts = nullptr, **expressions = nullptr;
        const int rows = t->CollectAttributes(&names, &texts, &expressions);
        for (int r = 0; r < rows; ++r) out << " atr|" << names[r] << "|" << texts[r] << "|" << expressions[r] << "\n";
        kz::scene::free_attribute_rows(names, texts, expressions, rows);
        for (const kz::scene::PoseRecord& pose : t->poses) {
            out << " pose|" << pose.kind << "|" << pose.name << "|" << pose.duration << "|" << pose.second_time;
            for (const kz::scene::PoseEntry& e : pose.entries) {
                out << "|" << e.unset << ":" << e.part_name;
                for (int k = 0; k < 3; ++k) out << ";" << e.position[k] << ";" << e.rotation[k];
            }
            out << "\n";
        }
        out << "{\n";
        for (XTrunk* c : t->children) item(c);
        out << "}\n";
    };
    item(view->document.trunks[0]);
    const SceneSettings& s = view->settings;
    int hour = 0, minute = 0;
    kz::foundation::hours_to_hour_minute(s.shadow_time, &hour, &minute);
    out << "set|" << s.background_color << "|" << s.sun[0] << "|" << s.sun[1] << "|" << s.head[1] << "|"
        << s.settings_eye[0] << "|" << s.settings_target[2] << "|" << s.settings_lens << "|" << s.shadow_display << "|"
        << s.latitude << "|" << s.north_angle << "|" << int(s.shadow_date) << "|" << hour << ":" << minute << "\n";
    for (const CommandBlock* b : view->document.command_blocks) {
        out << "excoms|" << b->name << "|" << b->first << "|" << b->second;
        for (const char* l : b->lines) out << "|" << l;
        out << "\n";
    }
    return out.str();
}

void mark_every_unit(XView* view) {
    for (XTrunk* t : view->document.trunks)
        if (t->index == 0 || t->HasFrefer()) t->changed = 1;
}

void age_files(const std::string& dir) {
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file())
            fs::last_write_time(e.path(), fs::file_time_type::clock::now() - std::chrono::hours(5));
}

bool rewritten(const std::string& path) {
    return fs::last_write_time(path) > fs::file_time_type::clock::now() - std::chrono::hours(1);
}

// Another program's rewrite of a file at the same length, seen with every stamp the file had before (as on a file
// system whose clock has not ticked since, FAT's 2 s): only its bytes show it.
void rewrite_keeping_stamps(const std::string& file, const std::string& bytes) {
    struct stat read = {};
    ::stat(file.c_str(), &read);
    write_file(file, bytes);
    plat::set_file_looks_for_tests([read](struct stat* st) {
        if (st->st_dev == read.st_dev && st->st_ino == read.st_ino)
            st->st_mtim = read.st_mtim, st->st_ctim = read.st_ctim;
    });
}

class FigureSave : public SaveTest {
public:
    // model.fig holds "outer" (outer.fig, with more attributes given) with "middle" under it; outer.fig holds
    // "inner" (inner.fig), which holds the items "chair" (with a part "seat") and "desk".
    std::string nested_units(const std::string& outer = "") {
        const std::string dir = fresh_folder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        write_file(dir + "/model.fig",
                   lines({trunk_line("outer", "#frefer=outer.fig" + outer), "{", trunk_line("middle"), "}"}));
        write_file(dir + "/outer.fig", lines({trunk_line("inner", "#frefer=sub\\inner.fig")}));
        write_file(dir + "/sub/inner.fig",
                   lines({trunk_line("chair"), shape_line("seat"), trunk_line("desk"), shape_line("desk top")}));
        EXPECT_EQ(open(dir + "/model.fig"), 1);
        EXPECT_EQ(tree(), "outer(){inner(){chair(seat) desk(desk top)} middle()}");
        return dir;
    }
};

TEST_F(FigureSave, WholeModelsReadBackTheSameAndSaveTheSameBytesTwice) {
    struct Case {
        const char* name;
        std::function<std::string(const std::string&)> make;  // writes the model into the folder; its main file
        std::vector<std::string> kept;                        // files that must never be written
        std::vector<std::string> elsewhere;                   // files outside the folder that are written
        std::vector<std::string> held;                        // texts the model's description holds
    };
    const std::string served = fresh_folder("round-served");
    UnitServer server(served, served + "/requests.log");
    ASSERT_GT(server.port(), 0);
    const Case cases[] = {
        {"sample room",
         [](const std::string& dir) {
             const std::string source = std::string(std::getenv("KZ_SOURCE_DIR")) + "/examples/sample-room";
             fs::copy(source, dir, fs::copy_options::recursive);
             return dir + "/room.fig";
         },
         {},
         {},
         {}},
        {"units",
         [&](const std::string& dir) {
             const std::string elsewhere = fresh_folder("round-elsewhere");
             write_multi_unit_model(dir, elsewhere, served, server.url("/units/remote.fig"));
             // Attributes and command block texts the tokenizer would split, poses, stages and a comment line.
             write_file(dir + "/parts/door.fig",
                        lines({shape_line("door leaf"), "// the hinge side", trunk_line("hinge") + ",,,,,4",
                               shape_line("pin") + ",,,,,,,4",
                               "atr\tprice\t\"1,200\"\t\t[a]\tnote\t\"say [a] twice\"\t\"a,b\"\t[a]",
                               "pose3\t1\t0.5\t0\t\"open, wide\"\tpin\t0\t0\t0\t0\t0\t90\t[p]",
                               "stage3\t1\t0\t\"up [p]\"\t0\t0\t50\t0\t0\t0\t[p]"}));
             std::string model = read_all(dir + "/model.fig");
             model += lines({"excoms\t\"greet, twice\"\t1\t2", "{", "excom;\tjimaku\thello", "}"});
             write_file(dir + "/model.fig", model);
             return dir + "/model.fig";
         },
         {served + "/units/remote.fig"},
         {fs::path(served).parent_path().string() + "/round-elsewhere/far.fig"},
         {"pose|0|open, wide|0.5|0|0:pin;0;0;0;0;0;90", "pose|1|up [p]|1|0|0:trunk;0;0;0;0;50;0",
          "atr|note|say [a] twice|a,b", "excoms|greet, twice|1|2|\tjimaku\thello"}},
        {"kept lines and numbers",  // an unknown first line before a unit whose file is missing (the save makes
                                    // it); list columns whose items all write as 0, or keep a mark
         [](const std::string& dir) {
             write_file(dir + "/model.fig",
                        lines({"mynote,keep me", trunk_line("u", "#frefer=missing.fig"), shape_line("b"),
                               "box,,,,,,,,,,,,,,,,;1e-308,0;0;d0", "ball" + std::string(19, ',') + "0;1e-200",
                               "trunk,,,,,,,,,,,,,,,,;1e-308,0;0;d0"}));
             return dir + "/model.fig";
         },
         {},
         {},
         {}},
        {"large model",  // its text grows through many steps of the buffer it is assembled in
         [](const std::string& dir) {
             std::string text;
             for (int i = 0; i < 600; ++i) {
                 text += "trunk," + std::to_string(i * 10.25) + ",0.5,0" + std::string(26, ',') + "item " +
                         std::to_string(i) + "\r\n";
                 for (int s = 0; s < 3; ++s)
                     text += "box," + std::to_string(s * 100.125) + "," + std::to_string(i * 0.001) +
                             ",0,0,0,12.5,,,,,,,100,100,100,,,,,,1,200,170,130,,,,0.25,part\r\n";
             }
             write_file(dir + "/big.fig", text);
             return dir + "/big.fig";
         },
         {},
         {},
         {"item|trunk|6139.75|0.5|", "part|box|200.25|0.599|0|0|0|12.5|"}},
        {"a folder named as a drive",  // beside the model; a picture in it is not a picture on that drive
         [](const std::string& dir) {
             fs::create_directories(dir + "/Z:/x");
             fs::copy_file(std::string(std::getenv("KZ_TEST_DATA")) + "/scene_model/red_blue.bmp", dir + "/Z:/x/y.bmp");
             write_file(dir + "/model.fig", lines({trunk_line("t"), shape_line("pad") + ",,A;0;.\\Z:\\x\\y.bmp"}));
             return dir + "/model.fig";
         },
         {},
         {},
         {";.\\Z:\\x\\y.bmp;"}},
        {"folders named as an address or a drive of no letter",  // beside the model, each holding a picture
         [](const std::string& dir) {
             std::string model = lines({trunk_line("t")});
             for (const std::string folder : {"1:", "file:", "http:"}) {
                 fs::create_directories(dir + "/" + folder);
                 fs::copy_file(std::string(std::getenv("KZ_TEST_DATA")) + "/scene_model/red_blue.bmp",
                               dir + "/" + folder + "/y.bmp");
                 model += lines({shape_line(folder) + ",,A;0;.\\" + folder + "\\y.bmp"});
             }
             write_file(dir + "/model.fig", model);
             return dir + "/model.fig";
         },
         {},
         {},
         {";.\\1:\\y.bmp;", ";.\\file:\\y.bmp;", ";.\\http:\\y.bmp;"}},
        {"a name without an extension below a folder named as a drive",  // never resolved; its ".\" stays
         [](const std::string& dir) {
             write_file(dir + "/model.fig", lines({trunk_line("t"), shape_line("pad") + ",,A;0;.\\Z:\\x\\y"}));
             return dir + "/model.fig";
         },
         {},
         {},
         {";.\\Z:\\x\\y;"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string dir = fresh_folder(std::string("round-") + c.name);
        const std::string main_file = c.make(dir);
        // Aged before they are read: aged after, they would be files changed since.
        age_files(dir);
        for (const std::string& k : c.kept) age_files(fs::path(k).parent_path().string());
        for (const std::string& e : c.elsewhere) age_files(fs::path(e).parent_path().string());
        ASSERT_EQ(open(main_file), 1);
        const std::string before = describe_model(view);
        for (const std::string& h : c.held) EXPECT_NE(before.find(h), std::string::npos) << h << "\n" << before;
        const std::map<std::string, std::string> original = files_below(dir);
        // Units outside the model's folder are written after one question that names them.
        const auto asked_for_elsewhere = [&] {
            const std::vector<std::string> log = plat::take_dialog_test_log();
            if (c.elsewhere.empty()) return log.empty();
            bool all = log.size() == 1;
            for (const std::string& e : c.elsewhere)
                all = all && log[0].find(fs::weakly_canonical(e).string()) != std::string::npos;
            return all;
        };
        mark_every_unit(view);
        EXPECT_EQ(view->SaveModel(), 1);
        EXPECT_TRUE(asked_for_elsewhere());
        for (const auto& [path, bytes] : original) {
            if (path.ends_with(".fig")) {
                EXPECT_TRUE(rewritten(path)) << path;
            }
        }
        for (const std::string& k : c.kept) EXPECT_FALSE(rewritten(k)) << k;
        for (const std::string& e : c.elsewhere) EXPECT_TRUE(rewritten(e)) << e;
        const std::map<std::string, std::string> first = files_below(dir);
        EXPECT_NE(first, original);

        ASSERT_EQ(open(main_file), 1);
        EXPECT_EQ(describe_model(view), before);
        mark_every_unit(view);
        EXPECT_EQ(view->SaveModel(), 1);
        EXPECT_TRUE(asked_for_elsewhere());
        EXPECT_EQ(files_below(dir), first);
    }
}

// Units named by POSIX paths and "file:" names load from those files and are written back there, named as they were
// read, relative only inside the model's folder; a name relative to a POSIX unit stays below it, and a drive name
// keeps the form it always had, save after save. A "file:" name on another machine names no file: nothing is read or
// written for it, and the save says so.
TEST_F(FigureSave, PosixUnitNamesLoadAndAreWrittenBackAsRead) {
    const std::string dir = fresh_folder("posix-units");
    const std::string parts = fresh_folder("posix-units-parts");
    std::string units;
    int n = 0;
    for (const std::string url : {"file:", "file://", "file://localhost", "file://other"}) {
        const std::string unit = "u" + std::to_string(n++);
        units += trunk_line(unit, "#frefer=" + url + parts + "/" + unit + ".fig") + "\r\n";
        write_file(parts + "/" + unit + ".fig", lines({trunk_line(unit + " item")}));
    }
    write_file(dir + "/model.fig", lines({trunk_line("chair", "#frefer=" + parts + "/./chair.fig"),
                                          trunk_line("desk", "#frefer=" + dir + "/sub/desk.fig"),
                                          trunk_line("lamp", "#frefer=" + windows_form(parts) + "\\lamp.fig")}) +
                                       units);
    write_file(parts + "/chair.fig", lines({trunk_line("seat", "#frefer=seat.fig")}));
    write_file(parts + "/seat.fig", lines({trunk_line("cushion"), shape_line("pad") + ",,A;0;Z:\\x\\y.gif"}));
    write_file(dir + "/sub/desk.fig", lines({trunk_line("top"), shape_line("board")}));
    write_file(parts + "/lamp.fig", lines({trunk_line("bulb")}));
    const std::string tree_read =
        "chair(){seat(){cushion(pad)}} desk(){top(board)} lamp(){bulb()} u0(){u0 item()} "
        "u1(){u1 item()} u2(){u2 item()} u3()";
    ASSERT_EQ(open(dir + "/model.fig"), 1);
    EXPECT_EQ(tree(), tree_read);
    mark_every_unit(view);
    const double to[3] = {125.5, 0, 0};
    for (const char* item : {"u0 item", "u1 item", "u2 item"}) find_item(view, item)->SetPlacement(to, nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(view->SaveModel(), 1);
    const std::string errors = testing::internal::GetCapturedStderr();
    for (const char* unit : {"u0", "u1", "u2"})
        EXPECT_NE(read_all(parts + "/" + unit + ".fig").find("125.5"), std::string::npos) << unit;
    EXPECT_EQ(errors,
              "kzview: file://other" + parts + "/u3.fig: not written: its name names no file on this machine\n");
    const std::string model = read_all(dir + "/model.fig");
    for (const std::string& written : {"R;;\"" + parts + "/chair.fig\"", std::string("R;;\"sub\\desk.fig\""),
                                       std::string("R;;\"..\\posix-units-parts\\lamp.fig\"")})
        EXPECT_NE(model.find(written), std::string::npos) << written << "\n" << model;
    EXPECT_EQ(model.find("Z:"), std::string::npos) << model;
    EXPECT_NE(read_all(parts + "/chair.fig").find("R;;\"seat.fig\""), std::string::npos);
    // A drive name outside the POSIX unit's folder is written as a climb out of it, and read back it is written
    // the same way again.
    EXPECT_NE(read_all(parts + "/seat.fig").find(";..\\..\\"), std::string::npos) << read_all(parts + "/seat.fig");
    const auto saved = std::pair(files_below(dir), files_below(parts));
    ASSERT_EQ(open(dir + "/model.fig"), 1);
    EXPECT_EQ(tree(), tree_read);
    mark_every_unit(view);
    testing::internal::CaptureStderr();
    EXPECT_EQ(view->SaveModel(), 1);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::pair(files_below(dir), files_below(parts)), saved);
}

TEST_F(FigureSave, CommentLinesKeepTheirPlaceAndNegativeColumnsTheirValue) {
    // Lines after a file's last item stay at the end of that file, the model's and a unit's; negative id and
    // hidden columns (19 and 20 of an item row) read back as written, save after save.
    const std::string dir = fresh_folder("comments");
    const std::string negative = "trunk" + std::string(19, ',') + "-5,-4,,,,,,,,,neg";
    write_file(dir + "/model.fig",
               lines({"// first", trunk_line("a"), "; before the box", shape_line("box a"), negative, "mynote,keep me",
                      trunk_line("u", "#frefer=unit.fig"), "// the end"}));
    write_file(dir + "/unit.fig", lines({shape_line("box u"), "// after the unit's box"}));
    for (int save = 0; save < 2; ++save) {
        ASSERT_EQ(open(dir + "/model.fig"), 1);
        mark_every_unit(view);
        ASSERT_EQ(view->SaveModel(), 1);
    }
    const std::string text = read_all(dir + "/model.fig");
    EXPECT_LT(text.find("// first\r\ntrunk\t"), text.find("; before the box\r\nbox\t"));
    EXPECT_NE(text.find("; before the box\r\nbox\t"), std::string::npos) << text;
    EXPECT_TRUE(text.ends_with("\r\n// the end\r\n")) << text;
    EXPECT_NE(text.find("\t-5\t-4\t"), std::string::npos) << text;
    // A line before a unit's row stays before it: reading the unit's file does not take it for the unit's own.
    EXPECT_NE(text.find("\r\nmynote,keep me\r\nrefer\t"), std::string::npos) << text;
    const std::string unit = read_all(dir + "/unit.fig");
    EXPECT_TRUE(unit.starts_with("box\t") && unit.ends_with("\r\n// after the unit's box\r\n")) << unit;
    // The settings lead the model's own file and no unit's.
    EXPECT_TRUE(text.starts_with("set\thaikei\t")) << text;
    EXPECT_LT(text.rfind("set\tlast_light_path\t"), text.find("// first"));
    EXPECT_EQ(unit.find("set\t"), std::string::npos) << unit;
}

// A unit whose mode holds "r" in either case is never written, nor any unit below it; the model's own file is.
TEST_F(FigureSave, ReadOnlyUnitsAndEverythingBelowThemStayAsTheyWere) {
    const std::pair<const char*, bool> modes[] = {{"r", true}, {"wR", true}, {"w", false}};
    for (const auto& [mode, read_only] : modes) {
        SCOPED_TRACE(mode);
        const std::string dir = nested_units(std::string("|#frmode=") + mode);
        const double to[3] = {125.5, 0, 0};
        for (const char* item : {"middle", "inner", "chair"}) find_item(view, item)->SetPlacement(to, nullptr);
        view->SaveModel();
        EXPECT_NE(read_all(dir + "/model.fig").find("125.5"), std::string::npos);
        for (const char* unit : {"/outer.fig", "/sub/inner.fig"})
            EXPECT_EQ(read_all(dir + unit).find("125.5") == std::string::npos, read_only) << unit;
    }
}

TEST_F(FigureSave, OnlyChangedUnitsAreWritten) {
    const std::string dir = nested_units();
    const auto original = files_below(dir);
    const double to[3] = {125.5, 0, 0};
    find_item(view, "chair")->SetPlacement(to, nullptr);
    EXPECT_EQ(view->SaveModel(), 0);  // the model's own file is not among the changed ones
    const auto after = files_below(dir);
    EXPECT_EQ(after.at(dir + "/model.fig"), original.at(dir + "/model.fig"));
    EXPECT_EQ(after.at(dir + "/outer.fig"), original.at(dir + "/outer.fig"));
    EXPECT_NE(after.at(dir + "/sub/inner.fig").find("trunk\t125.5\t"), std::string::npos);
    EXPECT_EQ(find_item(view, "inner")->changed, 0);
}

TEST_F(FigureSave, AUnitWhoseItemsAreAllDeletedIsEmptied) {
    const std::string dir = nested_units();
    while (!find_item(view, "inner")->children.empty())
        view->DeleteTrunk(find_item(view, "inner")->children[0]->index, 1);
    view->SaveModel();
    ASSERT_EQ(open(dir + "/model.fig"), 1);
    EXPECT_EQ(tree(), "outer(){inner() middle()}");
    EXPECT_EQ(read_all(dir + "/sub/inner.fig"), "");
}

// A read-only file, a disk that fills up, a read-only file system and a folder the user may not write: the message
// (its text as ever), the old file as it was, the change still marked, and the line that names the reason.
TEST_F(FigureSave, FailedWritesKeepTheOldFileAndTheMark) {
    struct Row {
        const char* name;
        std::function<void(const std::string& file)> failure;  // made before the model is read
        const char* reason;                                    // what the line on standard error names
        bool own_mount = false;  // root only: the unit's folder on a small tmpfs in a mount namespace of its own
    };
    const auto fill = [](const std::string& file) {
        const std::string filler = fs::path(file).parent_path().string() + "/filler";
        const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        const std::string block(4096, 'x');
        while (fd >= 0 && ::write(fd, block.data(), block.size()) > 0) {}
        if (fd >= 0) ::close(fd);
    };
    const Row rows[] = {
        {"a read-only file",
         [](const std::string& file) { fs::permissions(file, fs::perms::owner_read | fs::perms::group_read); },
         "inner.fig: could not be written: the file there is read-only; the previous file is kept"},
        {"a disk that fills up (the test hook)", [](const std::string&) { plat::set_write_capacity_for_tests(20); },
         "inner.fig: could not be written: its new file cannot be written (No space left on device); the previous "
         "file is kept"},
        {"a full tmpfs", fill, "could not be written: its new file cannot be written (No space left on device)", true},
        {"a read-only file system",
         [](const std::string& file) {
             ASSERT_EQ(::mount(nullptr, fs::path(file).parent_path().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr),
                       0);
         },
         "could not be written: no new file can be made beside it (Read-only file system)", true},
        {"a folder the user may not write (root without the right to pass it by)",
         [](const std::string& file) {
             ASSERT_EQ(::chown(fs::path(file).parent_path().c_str(), kz::test::kOtherUser, kz::test::kOtherUser), 0);
             ASSERT_TRUE(kz::test::drop_file_rights());
         },
         "could not be written: no new file can be made beside it (Permission denied)", true},
    };
    // A row on a file system of its own runs alone, in a new run of this test in a mount namespace of its own (its
    // number in KZ_FAILED_WRITE_ROW), which mounts a small tmpfs on the unit's folder.
    const char* own_run = std::getenv("KZ_FAILED_WRITE_ROW");
    const std::string path = "PATH=$PATH:/usr/sbin:/sbin ",
                      in_namespace = path + "unshare --mount --propagation private sh -c '";
    const char* no_mount = ::geteuid() != 0 ? "only root mounts a file system"
                           : std::system((in_namespace + "true' >/dev/null 2>&1").c_str()) ? "no right to mount"
                                                                                           : nullptr;
    std::string not_run;
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const Row& row = rows[i];
        const char number = static_cast<char>('0' + i);
        if (own_run && own_run[0] != number) continue;
        SCOPED_TRACE(row.name);
        if (row.own_mount && !own_run) {
            if (no_mount) {
                not_run += std::string("\n  ") + row.name + " (" + no_mount + ")";
                continue;
            }
            const std::string log = fresh_folder("failed-write-run") + ".log";
            const std::string run = in_namespace + "exec env KZ_FAILED_WRITE_ROW=" + number + " KZ_TEST_OUTPUT=" + log +
                                    ".d " + kz::test::self_path() + " --gtest_filter=FigureSave.FailedWrites*' >" +
                                    log + " 2>&1";
            EXPECT_EQ(std::system(run.c_str()), 0) << read_all(log);
            continue;
        }
        const std::string dir = nested_units();
        const std::string file = dir + "/sub/inner.fig";
        const std::string old = read_all(file);
        if (own_run) {
            ASSERT_EQ(::mount("tmpfs", (dir + "/sub").c_str(), "tmpfs", 0, "size=64k,mode=0755"), 0);
            write_file(file, old);
        }
        row.failure(file);
        ASSERT_EQ(open(dir + "/model.fig"), 1);  // read as it now stands
        const double to[3] = {1, 2, 3};
        find_item(view, "desk")->SetPlacement(to, nullptr);
        testing::internal::CaptureStderr();
        view->SaveModel();
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_NE(errors.find(row.reason), std::string::npos) << errors;
        plat::set_write_capacity_for_tests(-1);
        const std::vector<std::string> log = plat::take_dialog_test_log();
        ASSERT_EQ(log.size(), 1u) << errors;
        EXPECT_NE(log[0].find("書き出し失敗"), std::string::npos) << log[0];
        EXPECT_NE(log[0].find("(3)"), std::string::npos) << log[0];
        EXPECT_EQ(read_all(file), old);
        EXPECT_EQ(find_item(view, "inner")->changed, 1);
        if (fs::exists(dir + "/sub/filler")) fs::remove(dir + "/sub/filler");
        EXPECT_EQ(files_below(dir + "/sub").size(), 1u);  // no temporary file left behind
        if (!own_run) fs::permissions(file, fs::perms::owner_all);
    }
    if (!not_run.empty()) GTEST_SKIP() << "rows not run here:" << not_run;
}

// Units whose names lead out of the model's folder, at any depth or through a link, are written only after one
// question that lists them; names that are not figure files, or lead to one that is not through a link, are never
// written; the model's own file and the units inside its folder are written without asking; whatever stays
// unwritten keeps its mark and is named on standard error.
TEST_F(FigureSave, FilesOutsideTheModelsFolderAreWrittenOnlyWhenTheUserAgrees) {
    for (const int answer : {plat::IDCANCEL, plat::IDOK}) {
        SCOPED_TRACE(answer);
        const std::string base = fresh_folder("outside"), dir = base + "/model";
        write_file(dir + "/model.fig",
                   lines({trunk_line("top item"), trunk_line("victim", "#frefer=..\\victim\\target.txt"),
                          trunk_line("far", "#frefer=..\\outside\\far.fig"), trunk_line("linked", "#frefer=linked.fig"),
                          trunk_line("inner", "#frefer=sub\\inner.FIG"), trunk_line("notes", "#frefer=notes.txt"),
                          trunk_line("alias", "#frefer=alias.fig"),
                          // Absolute names with "." and ".." lead where a read of them leads.
                          trunk_line("dotted", "#frefer=" + windows_form(dir) + "\\.\\alias.fig"),
                          trunk_line("climbed", "#frefer=file://" + dir + "/sub/../linked.fig")}));
        write_file(base + "/victim/target.txt", lines({"# a note of the user's", trunk_line("v item")}, "\n"));
        write_file(base + "/outside/far.fig", lines({trunk_line("far item")}));
        write_file(base + "/outside/real.fig", lines({trunk_line("linked item")}));
        fs::create_symlink("../outside/real.fig", dir + "/linked.fig");
        write_file(dir + "/sub/inner.FIG",
                   lines({trunk_line("inner item"), trunk_line("deep", "#frefer=..\\..\\outside\\deep.fig")}));
        write_file(base + "/outside/deep.fig", lines({trunk_line("deep item")}));
        write_file(dir + "/notes.txt", lines({trunk_line("note item")}));
        write_file(dir + "/aliased.txt", lines({trunk_line("alias item")}, "\n"));
        fs::create_symlink("aliased.txt", dir + "/alias.fig");
        ASSERT_EQ(open(dir + "/model.fig"), 1);
        ASSERT_EQ(tree(),
                  "top item() victim(){v item()} far(){far item()} linked(){linked item()} "
                  "inner(){inner item() deep(){deep item()}} notes(){note item()} alias(){alias item()} "
                  "dotted(){alias item()} climbed(){linked item()}");
        const auto original = files_below(base);
        const double to[3] = {125.5, 0, 0};
        for (const char* item :
             {"top item", "v item", "far item", "linked item", "inner item", "deep item", "note item", "alias item"})
            find_item(view, item)->SetPlacement(to, nullptr);
        for (const char* unit : {"dotted", "climbed"}) find_item(view, unit)->children[0]->SetPlacement(to, nullptr);
        plat::DialogTestAnswers answers;
        answers.message_box = answer;
        plat::set_dialog_test_mode(true, answers);
        testing::internal::CaptureStderr();
        view->SaveModel();
        const std::string errors = testing::internal::GetCapturedStderr();

        const std::vector<std::string> log = plat::take_dialog_test_log();
        ASSERT_EQ(log.size(), 1u);
        for (const char* listed : {"/outside/far.fig", "/outside/real.fig", "/outside/deep.fig"})
            EXPECT_NE(log[0].find(fs::weakly_canonical(base + listed).string()), std::string::npos) << listed << log[0];
        for (const char* not_listed : {"target.txt", "notes.txt", "inner", "model.fig", "alias", "Z:", "/./", "/../"})
            EXPECT_EQ(log[0].find(not_listed), std::string::npos) << not_listed << log[0];
        const auto after = files_below(base);
        const bool agreed = answer == plat::IDOK;
        for (const char* file : {"/outside/far.fig", "/outside/real.fig", "/outside/deep.fig"}) {
            EXPECT_EQ(after.at(base + file) != original.at(base + file), agreed) << file;
            EXPECT_EQ(after.at(base + file).find("125.5") != std::string::npos, agreed) << file;
        }
        for (const char* unit : {"far", "linked", "deep", "climbed"})
            EXPECT_EQ(find_item(view, unit)->changed, agreed ? 0 : 1) << unit << errors;
        const std::pair<const char*, const char*> unwritten[] = {{"/victim/target.txt", "target.txt"},
                                                                 {"/model/notes.txt", "notes.txt"},
                                                                 {"/model/aliased.txt", "model/alias.fig"},
                                                                 {"/model/aliased.txt", "model/./alias.fig"}};
        for (const auto& [file, named] : unwritten) {
            EXPECT_EQ(after.at(base + file), original.at(base + file)) << file;
            EXPECT_NE(errors.find(named), std::string::npos) << file << "\n" << errors;
        }
        EXPECT_TRUE(fs::is_symlink(dir + "/linked.fig"));
        EXPECT_NE(after.at(dir + "/model.fig").find("125.5"), std::string::npos);
        EXPECT_NE(after.at(dir + "/sub/inner.FIG").find("125.5"), std::string::npos);
        EXPECT_EQ(errors.find("far.fig") != std::string::npos, !agreed) << errors;
    }
}

// A file that is no longer the one read (another file under its name, even one that took its number, or the same
// file changed in place), the model's own included, is written only after one question that names it, and then with
// the mode of the file read; one whose name now leads to a file that is not a figure file is never written; and a
// name that comes to lead elsewhere during the save (another unit's write is the moment) is left alone, with the
// failure box. What stays unwritten keeps its mark and is named on standard error; the other units are written.
TEST_F(FigureSave, FilesThatAreNoLongerTheOnesReadAreWrittenOnlyWhenTheUserAgrees) {
    enum class Place { here, other_user, ext4 };  // the last two need root: below /tmp, on an ext4 image of its own
    struct Row {
        const char* name;
        std::function<void(const std::string& dir)> after_open;
        int answer;
        const char* asked;    // the file the question names, below the test's folder; null: no question
        const char* refused;  // the line on standard error for the unit left alone
        const char* written;  // the file that holds the change afterwards, with the read file's mode; null: none
        const char* kept;     // a file that stays as it was
        const char* item;     // the item whose unit keeps its mark
        Place place = Place::here;
    };
    const auto repoint = [](const std::string& link, const std::string& to) {
        fs::remove(link);
        fs::create_symlink(to, link);
    };
    // The ext4 row runs alone in a new run of this test, in a mount namespace of its own where its image is mounted
    // on the folder KZ_EXT4_ROW names; there a freed number is handed to the next file made, elsewhere the test hook
    // hands it.
    const char* ext4_run = std::getenv("KZ_EXT4_ROW");
    const auto made_anew = [&](const std::string& old, const std::string& made) {
        struct stat before = {}, now = {};
        ::stat(old.c_str(), &before);
        fs::remove(old);
        write_file(made, lines({trunk_line("v item")}));  // as long as the unit file was
        ::stat(made.c_str(), &now);
        if (!ext4_run)
            plat::set_file_looks_for_tests(
                [device = now.st_dev, taker = now.st_ino, freed = before.st_ino](struct stat* st) {
                    if (st->st_dev == device && st->st_ino == taker) st->st_ino = freed;
                });
        EXPECT_EQ(now.st_ino, ext4_run ? before.st_ino : now.st_ino) << "the number was not handed out again";
    };
    const char* changed = "u.fig: not written: it changed since it was read, and the user did not agree";
    const auto made_unit_anew = [&](const std::string& dir) { made_anew(dir + "/unit.fig", dir + "/unit.fig"); };
    const Row rows[] = {
        {"a unit's link swapped during the save",
         [&](const std::string& dir) {
             plat::set_write_observer_for_tests([dir, repoint](std::uint64_t) {
                 if (fs::read_symlink(dir + "/u.fig") == "unit.fig") repoint(dir + "/u.fig", "../victim/notes.txt");
             });
         },
         plat::IDOK, nullptr, "u.fig: not written: its file changed during the save", nullptr, "/victim/notes.txt",
         "u item"},
        {"the model's own link pointed at a text file",
         [&](const std::string& dir) { repoint(dir + "/own.fig", "../victim/notes.txt"); }, plat::IDOK, nullptr,
         "own.fig: not written: it leads to a file that is not a figure file", nullptr, "/victim/notes.txt", "top"},
        {"the model's own link pointed at another figure file, declined",
         [&](const std::string& dir) { repoint(dir + "/own.fig", "other.fig"); }, plat::IDCANCEL, "/model/other.fig",
         "own.fig: not written: it changed since it was read, and the user did not agree", nullptr, "/model/other.fig",
         "top"},
        {"the model's own link pointed at another (set-ID, 0666) figure file, agreed",
         [&](const std::string& dir) { repoint(dir + "/own.fig", "other.fig"); }, plat::IDOK, "/model/other.fig",
         nullptr, "/model/other.fig", "/model/real.fig", nullptr},
        {"a unit's link pointed into a missing folder",
         [&](const std::string& dir) { repoint(dir + "/u.fig", "nowhere/u.fig"); }, plat::IDOK, nullptr,
         "u.fig: not written: where it would land cannot be worked out", nullptr, "/model/unit.fig", "u item"},
        {"a unit's file replaced, declined",
         [](const std::string& dir) {
             write_file(dir + "/fresh.fig", lines({trunk_line("fresh item")}));
             fs::rename(dir + "/fresh.fig", dir + "/unit.fig");
         },
         plat::IDCANCEL, "/model/unit.fig", changed, nullptr, "/model/unit.fig", "u item"},
        {"a unit's file rewritten in place with another size, declined",
         [](const std::string& dir) { write_file(dir + "/unit.fig", "# theirs\r\n"); }, plat::IDCANCEL,
         "/model/unit.fig", changed, nullptr, "/model/unit.fig", "u item"},
        // Without digests: the stamps alone must show it (the change time, or the nanoseconds of the stamps).
        {"a unit's file rewritten at the same length, its modification time set back, declined (digests off)",
         [](const std::string& dir) {
             struct stat read = {};
             ::stat((dir + "/unit.fig").c_str(), &read);
             write_file(dir + "/unit.fig", lines({trunk_line("x item")}));
             const struct timespec times[2] = {read.st_atim, read.st_mtim};
             ::utimensat(AT_FDCWD, (dir + "/unit.fig").c_str(), times, 0);
             plat::set_content_digests_for_tests(false);
         },
         plat::IDCANCEL, "/model/unit.fig", changed, nullptr, "/model/unit.fig", "u item"},
        {"a unit's file rewritten at the same length, every stamp as it was (the stat seam), declined",
         [](const std::string& dir) { rewrite_keeping_stamps(dir + "/unit.fig", lines({trunk_line("x item")})); },
         plat::IDCANCEL, "/model/unit.fig", changed, nullptr, "/model/unit.fig", "u item"},
        {"the model's own file rewritten in place with another size, declined",
         [](const std::string& dir) { write_file(dir + "/real.fig", lines({trunk_line("theirs")})); }, plat::IDCANCEL,
         "/model/real.fig", "own.fig: not written: it changed since it was read, and the user did not agree", nullptr,
         "/model/real.fig", "top"},
        {"a unit's file made anew with its number (the test hook), declined", made_unit_anew, plat::IDCANCEL,
         "/model/unit.fig", changed, nullptr, "/model/unit.fig", "u item"},
        {"a unit's file made anew with its number (an ext4 image), declined", made_unit_anew, plat::IDCANCEL,
         "/model/unit.fig", changed, nullptr, "/model/unit.fig", "u item", Place::ext4},
        {"the model's own link pointed at a file that took the number it had",
         [&](const std::string& dir) {
             made_anew(dir + "/real.fig", dir + "/../victim/saved.txt");
             repoint(dir + "/own.fig", "../victim/saved.txt");
         },
         plat::IDCANCEL, nullptr, "own.fig: not written: it leads to a file that is not a figure file", nullptr,
         "/victim/saved.txt", "top"},
        {"the model's own link pointed at another name of the file read, outside the model's folder",
         [&](const std::string& dir) { repoint(dir + "/own.fig", "../victim/also.fig"); }, plat::IDCANCEL,
         "/victim/also.fig", "own.fig: not written: outside the model's folder, and the user did not agree", nullptr,
         "/victim/also.fig", "top"},
        {"another user's new 0666 unit file in a 0777 folder, declined",
         [&](const std::string& dir) {
             fs::permissions(dir, fs::perms::all);
             EXPECT_TRUE(kz::test::run_as_other_user("their unit file", [&] {
                 fs::remove(dir + "/unit.fig");
                 write_file(dir + "/unit.fig", "# theirs\r\n");
                 fs::permissions(dir + "/unit.fig", fs::perms(0666));
             }));
         },
         plat::IDCANCEL, "/model/unit.fig", changed, nullptr, "/model/unit.fig", "u item", Place::other_user},
        {"nothing changed elsewhere", [](const std::string&) {}, plat::IDOK, nullptr, nullptr, "/model/unit.fig",
         "/model/other.fig", nullptr},
    };
    const auto run_row = [&](const Row& row, const std::string& base) {
        const std::string dir = base + "/model";
        write_file(dir + "/real.fig", lines({trunk_line("top"), trunk_line("first", "#frefer=first.fig"),
                                             trunk_line("u", "#frefer=u.fig")}));
        write_file(dir + "/other.fig", lines({trunk_line("other")}));
        write_file(dir + "/first.fig", lines({trunk_line("first item")}));
        write_file(dir + "/unit.fig", lines({trunk_line("u item")}));
        write_file(base + "/victim/notes.txt", "a note of the user's\n");
        for (const char* file : {"/real.fig", "/unit.fig"}) fs::permissions(dir + file, fs::perms(0640));
        fs::permissions(dir + "/other.fig", fs::perms(06666));
        fs::create_hard_link(dir + "/real.fig", base + "/victim/also.fig");
        fs::create_symlink("real.fig", dir + "/own.fig");
        fs::create_symlink("unit.fig", dir + "/u.fig");
        ASSERT_EQ(open(dir + "/own.fig"), 1);
        ASSERT_EQ(tree(), "top() first(){first item()} u(){u item()}");
        const double to[3] = {125.5, 0, 0};
        for (const char* item : {"top", "first item", "u item"}) find_item(view, item)->SetPlacement(to, nullptr);
        row.after_open(dir);
        const auto before = files_below(base);
        plat::DialogTestAnswers answers;
        answers.message_box = row.answer;
        plat::set_dialog_test_mode(true, answers);
        testing::internal::CaptureStderr();
        view->SaveModel();
        const std::string errors = testing::internal::GetCapturedStderr();
        plat::set_write_observer_for_tests({});
        plat::set_file_looks_for_tests({});
        plat::set_content_digests_for_tests(true);

        const std::vector<std::string> log = plat::take_dialog_test_log();
        // A unit left alone because its file changed during the save failed to be written: the failure box says so.
        const bool box = row.refused && std::strstr(row.refused, "changed during the save");
        ASSERT_EQ(log.size(), (row.asked ? 1u : 0u) + (box ? 1u : 0u)) << (log.empty() ? errors : log[0]);
        if (box) {
            EXPECT_NE(log.back().find("書き出し失敗"), std::string::npos) << log.back();
        }
        if (row.asked) {
            EXPECT_NE(log[0].find(fs::canonical(base + row.asked).string()), std::string::npos) << log[0];
        }
        if (row.refused) {
            EXPECT_NE(errors.find(row.refused), std::string::npos) << errors;
        }
        if (row.written) {
            EXPECT_NE(read_all(base + row.written).find("125.5"), std::string::npos) << row.written;
            EXPECT_EQ(fs::status(base + row.written).permissions(), fs::perms(0640)) << row.written;
        }
        EXPECT_EQ(read_all(base + row.kept), before.at(base + row.kept)) << row.kept;
        EXPECT_NE(read_all(dir + "/first.fig").find("125.5"), std::string::npos);
        EXPECT_TRUE(fs::is_symlink(dir + "/own.fig") && fs::is_symlink(dir + "/u.fig"));
        if (row.item) {
            EXPECT_EQ(find_item(view, row.item)->changed, 1) << row.item;
        } else {  // all was written: the next save knows the files this one put in place
            const double again[3] = {7, 0, 0};
            for (const char* item : {"top", "first item", "u item"})
                find_item(view, item)->SetPlacement(again, nullptr);
            EXPECT_EQ(view->SaveModel(), 1);
            const auto asked = plat::take_dialog_test_log();
            EXPECT_TRUE(asked.empty()) << asked[0];
        }
    };
    const auto is_ext4 = [&](const Row& row) { return row.place == Place::ext4; };
    if (ext4_run) return run_row(*std::find_if(std::begin(rows), std::end(rows), is_ext4), ext4_run);
    const std::string image = fresh_folder("ext4-image") + "/ext4.img", mount_point = fresh_folder("ext4");
    const std::string path = "PATH=$PATH:/usr/sbin:/sbin ",
                      in_namespace = path + "unshare --mount --propagation private sh -c 'mount -o loop " + image +
                                     " " + mount_point + " && exec env ";
    const bool root = ::geteuid() == 0;
    const char* no_image = !root                                 ? "only root mounts an image"
                           : ::access("/dev/loop-control", W_OK) ? "no loop device"
                           : std::system((path + "mkfs.ext4 -q -F " + image + " 8M >/dev/null 2>&1").c_str())
                               ? "no mkfs.ext4"
                           : std::system((in_namespace + "true' >/dev/null 2>&1").c_str()) ? "no right to mount"
                                                                                           : nullptr;
    std::string not_run;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.place == Place::here) {
            run_row(row, fresh_folder("replaced"));
        } else if (row.place == Place::other_user && root) {
            char made[] = "/tmp/kz-replaced-XXXXXX";  // a folder the other user may enter wherever the tests run
            ASSERT_NE(::mkdtemp(made), nullptr);
            fs::permissions(made, fs::perms(0755));
            run_row(row, made);
            fs::remove_all(made);
        } else if (is_ext4(row) && !no_image) {
            const std::string log = mount_point + ".log";
            const std::string run = in_namespace + "KZ_EXT4_ROW=" + mount_point + " KZ_TEST_OUTPUT=" + log + ".d " +
                                    kz::test::self_path() + " --gtest_filter=FigureSave.FilesThatAre*' >" + log +
                                    " 2>&1";
            EXPECT_EQ(std::system(run.c_str()), 0) << read_all(log);
        } else {
            not_run += std::string("\n  ") + row.name + " (" + (root ? no_image : "only root") + ")";
        }
    }
    if (!not_run.empty()) GTEST_SKIP() << "rows not run here:" << not_run;
}

// A save keeps what the user set on the files read (the model's own and a unit's), as they stand when saved: their
// present permission bits (a change of mode is asked about, as any change), their owner where root saves them, their
// group, their access list and their "user." attributes; whatever the user may not give the new file narrows it. A
// file that is not the one read gives nothing. Each row saves twice: the second save asks nothing and keeps the same.
TEST_F(FigureSave, SavesKeepWhatTheUserSetOnTheFile) {
    // A user (nobody) with a primary group of its own and a project group; a group the user is not in; another user
    // named in access lists.
    constexpr gid_t kUsers = 4100, kProject = 4200, kStrangers = 4300;
    constexpr uid_t kUser = kz::test::kOtherUser, kNamed = 4321;
    const char* named_list = "u::rw-,u:4321:r--,g::r--,m::r--,o::---";
    const char* denying_list = "u::rw-,u:4321:---,g::r--,m::r--,o::r--";
    struct Row {
        const char* name;
        bool as_user;  // in a child as kUser, in kUsers and kProject; else as whoever runs the tests (root in CI)
        uid_t owner;   // 0: whoever runs the tests, in their group (as the saved group 0)
        gid_t group;
        unsigned mode;     // when read
        const char* list;  // the access list when read; null: none
        std::function<void(const std::string& file)> after_open;
        bool asked;
        gid_t saved_group;
        unsigned saved_mode;
        const char* saved_list;
        bool same_file = true;                 // the name holds the file read when saved: its attribute is kept
        const char* folder_default = nullptr;  // the folder's default list, the files' own lists taken off
        uid_t denied = 0;                      // an account the kernel lets read neither file once saved
        bool without_proc = false;             // saved in a child with an empty file system over /proc
    };
    const auto set_mode = [](unsigned mode) {
        return [mode](const std::string& file) { fs::permissions(file, fs::perms(mode)); };
    };
    const auto as_read = [](const std::string&) {};
    // Another user's file made anew under the name; with `same_number`, seen with the number of the file read (as
    // ext4 may give it): only that file, known by its change time too, as the save's own new files may take its
    // number once it is gone.
    struct Taken {
        struct stat made;
        ino_t seen_as;
    };
    std::vector<Taken> taken;
    const auto made_by_another = [&](bool same_number) {
        return [&taken, same_number](const std::string& file) {
            struct stat before = {}, now = {};
            ::stat(file.c_str(), &before);
            const std::string bytes = read_all(file);
            fs::remove(file);
            write_file(file, bytes);
            ASSERT_EQ(::chown(file.c_str(), kNamed, kStrangers), 0);
            fs::permissions(file, fs::perms(0666));
            ::stat(file.c_str(), &now);
            if (!same_number) return;
            taken.push_back({now, before.st_ino});
            plat::set_file_looks_for_tests([&taken](struct stat* st) {
                for (const auto& [made, seen_as] : taken)
                    if (st->st_dev == made.st_dev && st->st_ino == made.st_ino &&
                        st->st_ctim.tv_sec == made.st_ctim.tv_sec && st->st_ctim.tv_nsec == made.st_ctim.tv_nsec)
                        st->st_ino = seen_as;
            });
        };
    };
    const Row rows[] = {
        {"nothing set", false, 0, 0, 0640, nullptr, as_read, false, 0, 0640, nullptr},
        {"nothing set, as a user", true, kUser, kUsers, 0640, nullptr, as_read, false, kUsers, 0640, nullptr},
        {"made 0600 after it was read", false, 0, 0, 0644, nullptr, set_mode(0600), true, 0, 0600, nullptr},
        {"made 0600 after it was read, as a user", true, kUser, kUsers, 0644, nullptr, set_mode(0600), true, kUsers,
         0600, nullptr},
        {"read 0444, made 0644", false, 0, 0, 0444, nullptr, set_mode(0644), true, 0, 0644, nullptr},
        {"read 0444, made 0644, as a user", true, kUser, kUsers, 0444, nullptr, set_mode(0644), true, kUsers, 0644,
         nullptr},
        {"a project's group, as a user in it", true, kUser, kProject, 0640, nullptr, as_read, false, kProject, 0640,
         nullptr},
        {"a group the user is not in", true, kUser, kStrangers, 0640, nullptr, as_read, false, kUsers, 0600, nullptr},
        {"a list that names another user, as a user", true, kUser, kUsers, 0640, named_list, as_read, false, kUsers,
         0640, named_list},
        {"a list that names another user, of a group the user is not in", true, kUser, kStrangers, 0640, named_list,
         as_read, false, kUsers, 0640, "u::rw-,u:4321:r--,g::---,m::r--,o::---"},
        {"another user's file in a project's group, with a list, saved by root", false, kUser, kProject, 0640,
         named_list, as_read, false, kProject, 0640, named_list},
        {"another user's 0666 file that took the number of the file read, agreed", false, 0, 0, 0640, nullptr,
         made_by_another(true), true, 0, 0600, nullptr, false},
        {"another user's 0666 file in place of a project's file, agreed, as a user", true, kUser, kProject, 0640,
         nullptr, made_by_another(false), true, kUsers, 0600, nullptr, false},
        // A group not kept: the new group and others get what both the old group and others had.
        {"world-readable, of a group the user is not in", true, kUser, kStrangers, 0644, nullptr, as_read, false,
         kUsers, 0644, nullptr},
        {"readable by others but not its group, a group the user is not in", true, kUser, kStrangers, 0604, nullptr,
         as_read, false, kUsers, 0600, nullptr},
        {"another user's 0666 file in place of a project's world-readable file, agreed, as a user", true, kUser,
         kProject, 0644, nullptr, made_by_another(false), true, kUsers, 0600, nullptr, false},
        {"a list that denies another user, of a group the user is not in", true, kUser, kStrangers, 0644, denying_list,
         as_read, false, kUsers, 0644, "u::rw-,u:4321:---,g::r--,m::r--,o::r--", true, nullptr, kNamed},
        // No list the file did not have: not the one the folder's default gives its new files.
        {"a folder's default list, taken off the files", true, kUser, kUsers, 0640, nullptr, as_read, false, kUsers,
         0640, nullptr, true, "u::rwx,u:4321:rw-,g::r-x,m::rwx,o::r-x", kNamed},
        {"a folder's default list, another user's file in place of the one read", true, kUser, kUsers, 0640, nullptr,
         made_by_another(false), true, kUsers, 0600, nullptr, false, "u::rwx,u:4321:rw-,g::r-x,m::rwx,o::r-x", kNamed},
        // Read through a descriptor of their own, lists and attributes need no /proc.
        {"a list that denies another user, without /proc", true, kUser, kUsers, 0644, denying_list, as_read, false,
         kUsers, 0644, denying_list, true, nullptr, kNamed, true},
        {"the user's group may write, without /proc", true, kUser, kUsers, 0664, nullptr, as_read, false, kUsers, 0664,
         nullptr, true, nullptr, 0, true},
        {"a list that names another user, of a project's group, without /proc", true, kUser, kProject, 0640, named_list,
         as_read, false, kProject, 0640, named_list, true, nullptr, 0, true},
    };
    const bool root = ::geteuid() == 0;
    std::string not_run;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (!root && (row.as_user || row.owner || !row.same_file)) {
            not_run += std::string("\n  ") + row.name + " (only root chooses a file's owner and a user's groups)";
            continue;
        }
        char made[] = "/tmp/kz-kept-XXXXXX";  // a folder the user may enter wherever the tests run
        ASSERT_NE(::mkdtemp(made), nullptr);
        const std::string dir = made;
        if (row.as_user) {
            ASSERT_EQ(::chown(made, kUser, kUsers), 0);
        }
        fs::permissions(dir, fs::perms(0755));
        const char* without = nullptr;  // what the file system of /tmp does not keep
        if (row.folder_default && !kz::test::set_default_access_list(dir, row.folder_default)) {
            ASSERT_EQ(errno, ENOTSUP);
            without = "access lists";
        }
        write_file(dir + "/model.fig", lines({trunk_line("top"), trunk_line("u", "#frefer=u.fig")}));
        write_file(dir + "/u.fig", lines({trunk_line("u item")}));
        const std::string files[] = {dir + "/model.fig", dir + "/u.fig"};
        for (const std::string& file : files) {
            // The list the folder gave the file taken off, as "setfacl -b" does.
            if (row.folder_default && !without) {
                ASSERT_EQ(::removexattr(file.c_str(), "system.posix_acl_access"), 0) << file;
            }
            if (row.owner) {
                ASSERT_EQ(::chown(file.c_str(), row.owner, row.group), 0);
            }
            if (::setxattr(file.c_str(), "user.kz-note", "kept", 4, 0) != 0) {
                ASSERT_EQ(errno, ENOTSUP) << file;
                without = "user attributes";
            }
            fs::permissions(file, fs::perms(row.mode));
            if (row.list && !kz::test::set_access_list(file, row.list)) {
                ASSERT_EQ(errno, ENOTSUP) << file;
                without = "access lists";
            }
        }
        if (without) {
            not_run += std::string("\n  ") + row.name + " (the file system of /tmp keeps no " + without + ")";
            fs::remove_all(dir);
            continue;
        }
        // Opened here, saved in the child where the row is the user's.
        ASSERT_EQ(open(dir + "/model.fig"), 1);
        for (const std::string& file : files) row.after_open(file);
        const auto save_twice = [&] {
            for (const double x : {125.5, 7.0}) {
                const double to[3] = {x, 0, 0};
                for (const char* item : {"top", "u item"}) find_item(view, item)->SetPlacement(to, nullptr);
                plat::DialogTestAnswers answers;
                answers.message_box = plat::IDOK;
                plat::set_dialog_test_mode(true, answers);
                view->SaveModel();
                plat::set_file_looks_for_tests({});
                taken.clear();
                const auto asked = plat::take_dialog_test_log();
                EXPECT_EQ(asked.size(), row.asked && x == 125.5 ? 1u : 0u) << x << (asked.empty() ? "" : asked[0]);
                for (const std::string& file : files) {
                    SCOPED_TRACE(file + " saved with " + std::to_string(x));
                    struct stat st = {};
                    ASSERT_EQ(::stat(file.c_str(), &st), 0);
                    EXPECT_NE(read_all(file).find(x == 7.0 ? "\t7\t" : "125.5"), std::string::npos);
                    // Whoever saves another's file is its owner then, but root saving the file read.
                    EXPECT_EQ(st.st_uid, row.as_user || (row.same_file && row.owner) ? row.owner : ::geteuid());
                    EXPECT_EQ(st.st_gid, row.saved_group ? row.saved_group : ::getegid());
                    EXPECT_EQ(st.st_mode & 07777, row.saved_mode);
                    EXPECT_EQ(kz::test::access_list(file), row.saved_list ? row.saved_list : "");
                    char note[8] = {};
                    const bool noted = ::getxattr(file.c_str(), "user.kz-note", note, sizeof note) == 4;
                    EXPECT_EQ(noted && std::string(note) == "kept", row.same_file);
                }
            }
        };
        if (row.without_proc) {
            const gid_t groups[] = {kUsers, kProject};
            EXPECT_TRUE(kz::test::run_in_child(
                row.name,
                [&] {
                    return ::unshare(CLONE_NEWNS) == 0 &&
                           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                           ::mount("none", "/proc", "tmpfs", 0, nullptr) == 0 && ::access("/proc/self", F_OK) != 0 &&
                           (!row.as_user ||
                            (::setgroups(2, groups) == 0 && ::setgid(kUsers) == 0 && ::setuid(kUser) == 0));
                },
                save_twice));
        } else if (row.as_user) {
            EXPECT_TRUE(kz::test::run_as_user(row.name, kUser, kUsers, {kUsers, kProject}, save_twice));
        } else {
            save_twice();
        }
        // The kernel judges: the account the list or the folder's default names reads neither file.
        for (const std::string& file : files) {
            const auto cannot_read = [&file] {
                const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
                EXPECT_LT(fd, 0) << file << " opened";
                if (fd >= 0) ::close(fd);
            };
            if (row.denied) {
                EXPECT_TRUE(kz::test::run_as_user(row.name + (": " + file), row.denied, row.denied, {}, cannot_read));
            }
        }
        fs::remove_all(dir);
    }
    if (!not_run.empty()) GTEST_SKIP() << "rows not run here:" << not_run;
}

// Units that write one file (two items naming it, or a name and a link to it) know the file each save left there:
// save after save both are written and nothing is asked. A unit whose write the user declined keeps the file it
// read, and the next save asks about it again.
TEST_F(FigureSave, UnitsSharingAFileKnowTheLastFileASavePutThere) {
    struct Row {
        const char* second;                                 // the second unit's name for u.fig
        std::function<void(const std::string& dir)> other;  // what makes the user decline a unit
        const char* asked;                                  // the file the declined save asks about
        const char* declined;                               // the item whose unit is left unwritten ("b" or both)
    };
    const Row rows[] = {
        {"u.fig", [](const std::string& dir) { write_file(dir + "/u.fig", "# theirs\r\n"); }, "/u.fig", "a b"},
        {"alias.fig",
         [](const std::string& dir) {
             fs::remove(dir + "/alias.fig");
             fs::create_symlink("other.fig", dir + "/alias.fig");
         },
         "/other.fig", "b"},
        // Another name of the file: the first save leaves each name its own file.
        {"hard.fig", [](const std::string& dir) { write_file(dir + "/u.fig", "# theirs\r\n"); }, "/u.fig", "a"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.second);
        const std::string dir = fresh_folder("shared-unit");
        write_file(dir + "/model.fig",
                   lines({trunk_line("a", "#frefer=u.fig"), trunk_line("b", std::string("#frefer=") + row.second)}));
        write_file(dir + "/u.fig", lines({trunk_line("u item")}));
        write_file(dir + "/other.fig", lines({trunk_line("other item")}));
        fs::create_symlink("u.fig", dir + "/alias.fig");
        fs::create_hard_link(dir + "/u.fig", dir + "/hard.fig");
        ASSERT_EQ(open(dir + "/model.fig"), 1);
        const auto save = [&](double x, int answer) {
            for (const char* unit : {"a", "b"}) {
                const double to[3] = {x, 0, 0};
                find_item(view, unit)->children[0]->SetPlacement(to, nullptr);
            }
            plat::DialogTestAnswers answers;
            answers.message_box = answer;
            plat::set_dialog_test_mode(true, answers);
            testing::internal::CaptureStderr();
            view->SaveModel();
            testing::internal::GetCapturedStderr();
            return plat::take_dialog_test_log();
        };
        for (const auto& [x, text] :
             {std::pair(101.5, "\t101.5\t"), std::pair(102.5, "\t102.5\t"), std::pair(103.5, "\t103.5\t")}) {
            const std::vector<std::string> asked = save(x, plat::IDOK);
            EXPECT_TRUE(asked.empty()) << text << asked[0];
            EXPECT_NE(read_all(dir + "/u.fig").find(text), std::string::npos) << text;
            for (const char* unit : {"a", "b"}) EXPECT_EQ(find_item(view, unit)->changed, 0) << text << unit;
        }
        row.other(dir);
        const std::string theirs = read_all(dir + "/u.fig");
        for (int next = 0; next < 2; ++next) {
            const std::vector<std::string> asked = save(104.5, plat::IDCANCEL);
            ASSERT_EQ(asked.size(), 1u) << next;
            EXPECT_NE(asked[0].find(fs::canonical(dir + (next ? "/u.fig" : row.asked)).string()), std::string::npos)
                << next << asked[0];
            for (const char* unit : {"a", "b"})
                EXPECT_EQ(find_item(view, unit)->changed, std::strstr(row.declined, unit) ? 1 : 0) << next << unit;
            // The link leads to the unit's file again: the unit left unwritten read another file than is there now.
            if (next == 0 && std::string(row.second) == "alias.fig") {
                fs::remove(dir + "/alias.fig");
                fs::create_symlink("u.fig", dir + "/alias.fig");
            }
        }
        if (std::string(row.second) == "u.fig") {
            EXPECT_EQ(read_all(dir + "/u.fig"), theirs);
        }
    }
}

// A unit the user declined to write (its file lies outside the model's folder) that shares that file with a unit
// written inside the folder, by another name of it (a hard link), knows the file as the other unit's rename left it:
// the next save asks about it again as a file outside the folder, not as one changed since it was read.
TEST_F(FigureSave, ADeclinedUnitKnowsItsFileAsASharersRenameLeftIt) {
    const std::string base = fresh_folder("declined-sharer"), dir = base + "/model";
    write_file(dir + "/model.fig",
               lines({trunk_line("a", "#frefer=..\\out\\u.fig"), trunk_line("b", "#frefer=hard.fig")}));
    write_file(base + "/out/u.fig", lines({trunk_line("u item")}));
    fs::create_hard_link(base + "/out/u.fig", dir + "/hard.fig");
    ASSERT_EQ(open(dir + "/model.fig"), 1);
    for (const double x : {101.5, 102.5}) {
        SCOPED_TRACE(x);
        const double to[3] = {x, 0, 0};
        for (const char* unit : {"a", "b"}) find_item(view, unit)->children[0]->SetPlacement(to, nullptr);
        plat::DialogTestAnswers answers;
        answers.message_box = plat::IDCANCEL;
        plat::set_dialog_test_mode(true, answers);
        testing::internal::CaptureStderr();
        view->SaveModel();
        testing::internal::GetCapturedStderr();
        const std::vector<std::string> asked = plat::take_dialog_test_log();
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_NE(asked[0].find("モデルのフォルダの外"), std::string::npos) << asked[0];
        EXPECT_EQ(asked[0].find("読み込んだ後で変更"), std::string::npos) << asked[0];
        EXPECT_EQ(find_item(view, "a")->changed, 1);
        EXPECT_EQ(find_item(view, "b")->changed, 0);
    }
}

// A unit whose name is as long as the system takes a name (255 bytes) is saved through either kind of temporary
// file, with /proc and without (where no unnamed file can be named), and nothing is left beside it.
TEST_F(FigureSave, AUnitNamedAsLongAsTheSystemAllowsIsSaved) {
    const std::string name = std::string(251, 'L') + ".fig";
    const bool root = ::geteuid() == 0;
    for (const bool without_proc : {false, true}) {
        for (const bool unnamed : {true, false}) {
            SCOPED_TRACE(std::string(without_proc ? "without /proc, " : "") + (unnamed ? "unnamed" : "named"));
            if (without_proc && !root) continue;
            const std::string dir = fresh_folder("long-name");
            write_file(dir + "/model.fig", lines({trunk_line("u", "#frefer=" + name)}));
            write_file(dir + "/" + name, lines({trunk_line("u item")}));
            ASSERT_EQ(open(dir + "/model.fig"), 1);
            const auto save = [&] {
                plat::set_unnamed_temp_files_for_tests(unnamed);
                const double to[3] = {125.5, 0, 0};
                find_item(view, "u item")->SetPlacement(to, nullptr);
                testing::internal::CaptureStderr();
                view->SaveModel();
                EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
                plat::set_unnamed_temp_files_for_tests(true);
                EXPECT_EQ(find_item(view, "u")->changed, 0);
            };
            if (without_proc) {
                EXPECT_TRUE(kz::test::run_in_child(
                    "without /proc",
                    [] {
                        return ::unshare(CLONE_NEWNS) == 0 &&
                               ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                               ::mount("none", "/proc", "tmpfs", 0, nullptr) == 0;
                    },
                    save));
            } else {
                save();
            }
            EXPECT_NE(read_all(dir + "/" + name).find("125.5"), std::string::npos);
            EXPECT_EQ(files_below(dir).size(), 2u);
        }
    }
    if (!root) GTEST_SKIP() << "the rows without /proc not run: only root mounts a file system over it";
}

// A rewrite the stamps do not show, made while the question about another file is open, is seen by the bytes just
// before the rename: the other program's text stays, the unit keeps its mark, and the failure is told.
TEST_F(FigureSave, ARewriteWhileTheQuestionIsOpenIsSeenJustBeforeTheRename) {
    const std::string base = fresh_folder("asked-then-rewritten"), dir = base + "/model";
    write_file(dir + "/model.fig", lines({trunk_line("far", "#frefer=..\\far.fig"), trunk_line("u", "#frefer=u.fig")}));
    write_file(base + "/far.fig", lines({trunk_line("far item")}));
    write_file(dir + "/u.fig", lines({trunk_line("u item")}));
    ASSERT_EQ(open(dir + "/model.fig"), 1);
    const double to[3] = {125.5, 0, 0};
    for (const char* item : {"far item", "u item"}) find_item(view, item)->SetPlacement(to, nullptr);
    const std::string theirs = lines({trunk_line("x item")});
    plat::DialogTestAnswers answers;
    answers.while_asking = [&] { rewrite_keeping_stamps(dir + "/u.fig", theirs); };
    plat::set_dialog_test_mode(true, answers);
    testing::internal::CaptureStderr();
    view->SaveModel();
    const std::string errors = testing::internal::GetCapturedStderr();
    plat::set_file_looks_for_tests({});
    const std::vector<std::string> log = plat::take_dialog_test_log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_NE(log[0].find(fs::canonical(base + "/far.fig").string()), std::string::npos) << log[0];
    EXPECT_NE(log[1].find("書き出し失敗"), std::string::npos) << log[1];
    EXPECT_NE(read_all(base + "/far.fig").find("125.5"), std::string::npos);
    EXPECT_EQ(read_all(dir + "/u.fig"), theirs);
    EXPECT_EQ(find_item(view, "u")->changed, 1);
    EXPECT_NE(errors.find("u.fig: could not be written"), std::string::npos) << errors;
}

// A yes replaces the file as it was when the question was asked, a rewrite that leaves every stamp alike (exFAT,
// "cp -p") included: it is written, and the next save asks nothing. A file changed again after the question is left
// as it is, whether its stamps show it or only its bytes: the failure box and the line say so, and the next save asks
// again, where a yes writes; a write that fails after a yes for
// another reason is tried again without a question. A file grown past the size its stamps promise is changed,
// however its first bytes read.
TEST_F(FigureSave, AYesReplacesTheFileAsItWasWhenAsked) {
    struct Row {
        const char* name;
        std::function<void(const std::string& file)> before;  // after the open, before the save
        std::function<void(const std::string& file)> asking;  // while the question is open
        const char* error;                                    // the line the first save says; null: none
        bool box;                                             // the "write failed" box follows the question
        bool asked_again = true;                              // after a failed write, the next save asks again
    };
    const std::string theirs = lines({trunk_line("x item")}), again = lines({trunk_line("y item")});
    // The same length rewritten, its modification time set back; the change time moves as the kernel moves it.
    const auto set_back = [](const std::string& file, const std::string& bytes) {
        struct stat read = {};
        ::stat(file.c_str(), &read);
        write_file(file, bytes);
        const struct timespec times[2] = {read.st_atim, read.st_mtim};
        ::utimensat(AT_FDCWD, file.c_str(), times, 0);
    };
    const char* after_answer = "u.fig: not written: it changed after the user agreed to write it";
    const Row rows[] = {
        {"every stamp kept (the stat seam), agreed",
         [&](const std::string& f) { rewrite_keeping_stamps(f, theirs); },
         {},
         nullptr,
         false},
        {"its time set back, agreed", [&](const std::string& f) { set_back(f, theirs); }, {}, nullptr, false},
        {"every stamp kept, rewritten again while asked",
         [&](const std::string& f) { rewrite_keeping_stamps(f, theirs); },
         [&](const std::string& f) { write_file(f, again); },
         "u.fig: could not be written: it changed after the user agreed to write it; the previous file is kept", true},
        {"its time set back, set back again while asked", [&](const std::string& f) { set_back(f, theirs); },
         [&](const std::string& f) { set_back(f, again); }, after_answer, true},
        {"grown past the size its stamps promise, its first bytes as read (the stat seam)",
         [&](const std::string& f) {
             struct stat read = {};
             ::stat(f.c_str(), &read);
             write_file(f, read_all(f) + theirs);
             plat::set_file_looks_for_tests([read](struct stat* st) {
                 if (st->st_dev == read.st_dev && st->st_ino == read.st_ino)
                     st->st_mtim = read.st_mtim, st->st_ctim = read.st_ctim, st->st_size = read.st_size;
             });
         },
         {},
         nullptr,
         false},
        {"its time set back, agreed, the disk full (the test hook)",
         [&](const std::string& f) {
             set_back(f, theirs);
             plat::set_write_capacity_for_tests(20);
         },
         {},
         "u.fig: could not be written: its new file cannot be written (No space left on device)",
         true,
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string dir = fresh_folder("agreed"), file = dir + "/u.fig";
        write_file(dir + "/model.fig", lines({trunk_line("u", "#frefer=u.fig")}));
        write_file(file, lines({trunk_line("u item")}));
        ASSERT_EQ(open(dir + "/model.fig"), 1);
        const auto save = [&](double x, std::function<void()> asking) {
            const double to[3] = {x, 0, 0};
            find_item(view, "u item")->SetPlacement(to, nullptr);
            plat::DialogTestAnswers answers;
            answers.message_box = plat::IDOK;
            answers.while_asking = std::move(asking);
            plat::set_dialog_test_mode(true, answers);
            testing::internal::CaptureStderr();
            view->SaveModel();
            const std::string errors = testing::internal::GetCapturedStderr();
            return std::pair(plat::take_dialog_test_log(), errors);
        };
        row.before(file);
        const std::string asked_about = fs::canonical(file).string();
        const auto [asked, errors] = save(125.5, [&] {
            if (row.asking) row.asking(file);
        });
        plat::set_file_looks_for_tests({});
        plat::set_write_capacity_for_tests(-1);
        ASSERT_EQ(asked.size(), row.box ? 2u : 1u) << errors;
        EXPECT_NE(asked[0].find(asked_about), std::string::npos) << asked[0];
        if (row.box) {
            EXPECT_NE(asked[1].find("書き出し失敗"), std::string::npos) << asked[1];
        }
        if (row.error) {
            EXPECT_NE(errors.find(row.error), std::string::npos) << errors;
            EXPECT_EQ(read_all(file), row.asking ? again : theirs);
        } else {
            EXPECT_EQ(errors, "");
            EXPECT_NE(read_all(file).find("\t125.5\t"), std::string::npos) << read_all(file);
        }
        EXPECT_EQ(find_item(view, "u")->changed, row.error ? 1 : 0);
        // The next save asks again only about a change made after the answer; a yes then writes.
        const auto [next, next_errors] = save(7, {});
        ASSERT_EQ(next.size(), row.error && row.asked_again ? 1u : 0u) << next_errors << (next.empty() ? "" : next[0]);
        if (!next.empty()) {
            EXPECT_NE(next[0].find(asked_about), std::string::npos) << next[0];
        }
        EXPECT_EQ(next_errors, "");
        EXPECT_NE(read_all(file).find("\t7\t"), std::string::npos) << read_all(file);
        EXPECT_EQ(find_item(view, "u")->changed, 0);
    }
}

// Units that read one file, by one name, a link or another name of it (a hard link), each write their own text in
// the save's order, edited together or one at a time, and no save asks about what the viewer itself wrote: a rename
// onto one name moves the change time of the file its other names keep.
TEST_F(FigureSave, UnitsSharingOneFileAreNeverAskedAboutTheViewersOwnWrites) {
    struct Row {
        const char* name;
        std::vector<std::string> names;  // each unit's name for the file; "alias.fig" links to "u.fig"
    };
    const Row rows[] = {
        {"a name and another name of its file", {"u.fig", "hard.fig"}},
        {"one name thrice", {"u.fig", "u.fig", "u.fig"}},
        {"three names of one file", {"u.fig", "hard.fig", "hard2.fig"}},
        {"a name, a link to it and another name of its file", {"u.fig", "alias.fig", "hard.fig"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string dir = fresh_folder("one-file");
        std::string model;
        for (std::size_t i = 0; i < row.names.size(); ++i)
            model += lines({trunk_line("unit" + std::to_string(i), "#frefer=" + row.names[i])});
        fs::create_symlink("u.fig", dir + "/alias.fig");
        const std::size_t last = row.names.size() - 1;
        // The units edited in each save: the last alone, the first alone, then all, twice; or all from the first.
        for (const std::vector<std::vector<std::size_t>>& saves :
             {std::vector<std::vector<std::size_t>>{{last}, {0}, {0, 1, last}, {0, 1, last}},
              std::vector<std::vector<std::size_t>>{{0, 1, last}, {0, 1, last}}}) {
            write_file(dir + "/model.fig", model);
            fs::remove(dir + "/hard.fig");
            fs::remove(dir + "/hard2.fig");
            write_file(dir + "/u.fig", lines({trunk_line("u item")}));
            fs::create_hard_link(dir + "/u.fig", dir + "/hard.fig");
            fs::create_hard_link(dir + "/u.fig", dir + "/hard2.fig");
            ASSERT_EQ(open(dir + "/model.fig"), 1);
            std::map<std::string, std::string> holds;  // what each file should hold by now
            for (std::size_t n = 0; n < saves.size(); ++n) {
                SCOPED_TRACE(std::to_string(saves.size()) + " saves, " + std::to_string(n));
                for (const std::size_t unit : saves[n]) {
                    const double to[3] = {100.0 * (n + 1) + static_cast<double>(unit), 0, 0};
                    find_item(view, ("unit" + std::to_string(unit)).c_str())->children[0]->SetPlacement(to, nullptr);
                    const std::string written = row.names[unit] == "alias.fig" ? "u.fig" : row.names[unit];
                    holds[written] = "\t" + std::to_string(100 * (n + 1) + unit) + "\t";
                }
                plat::DialogTestAnswers answers;
                answers.message_box = plat::IDCANCEL;
                plat::set_dialog_test_mode(true, answers);
                testing::internal::CaptureStderr();
                view->SaveModel();
                EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
                const std::vector<std::string> asked = plat::take_dialog_test_log();
                EXPECT_TRUE(asked.empty()) << asked[0];
                for (std::size_t unit = 0; unit < row.names.size(); ++unit)
                    EXPECT_EQ(find_item(view, ("unit" + std::to_string(unit)).c_str())->changed, 0) << unit;
                for (const auto& [name, text] : holds)
                    EXPECT_NE(read_all(dir + "/" + name).find(text), std::string::npos) << name << " " << text;
            }
        }
    }
}

// A new model, and one opened from a file that is not a figure file (which stays as it was), are saved under the
// name the user gives.
TEST_F(FigureSave, ANewModelIsSavedUnderTheNameTheUserGives) {
    for (const bool from_text_file : {false, true}) {
        SCOPED_TRACE(from_text_file);
        const std::string dir = fresh_folder("new-model");
        const std::string notes = lines({"# notes", trunk_line("noted")});
        write_file(dir + "/notes.txt", notes);
        plat::DialogTestAnswers answers;
        answers.file_name = windows_form(dir + "/fresh");
        plat::set_dialog_test_mode(true, answers);
        if (from_text_file) {
            ASSERT_EQ(open(dir + "/notes.txt"), 1);
        } else {
            view->NewModel();
        }
        add_item(0, "first");
        EXPECT_EQ(view->SaveModel(), 1);
        EXPECT_EQ(plat::take_dialog_test_log().size(), 1u);
        EXPECT_EQ(read_all(dir + "/notes.txt"), notes);
        ASSERT_EQ(open(dir + "/fresh.fig"), 1);
        EXPECT_EQ(tree(), from_text_file ? "noted() first()" : "first()");
    }
}

// A model opened through a figure set, edited and saved: its figure file keeps its own settings and eye, changed
// only by what the session changed, and shows its own background when opened alone; the set, never written,
// still lays its own over them.
TEST_F(FigureSave, AFigureSetsSettingsStayOutOfTheFigureFile) {
    constexpr std::uint32_t kRed = 0x0000FF, kBlue = 0xFF0000, kGreen = 0x00FF00;
    struct Row {
        const char* name;
        std::function<void(XView*)> session;
        std::uint32_t background;  // of the figure file opened alone after the save
        double north_angle;
        double eye_y;
    };
    const Row rows[] = {
        {"nothing changed", [](XView*) {}, kRed, 0.0, -4000.0},
        {"background from a host program",
         [](XView* v) { v->OnViewMessage(nullptr, UM_VIEW_SET_BKCOLOR, 0, static_cast<plat::LParam>(kGreen)); }, kGreen,
         0.0, -4000.0},
        {"north angle by the wheel",
         [](XView* v) {
             plat::set_forced_key_state(plat::VK_CONTROL, 1);
             plat::set_forced_key_state(plat::VK_SHIFT, 1);
             v->OnMouseWheel(120);
             plat::set_forced_key_state(-1, -1);
         },
         kRed, 40.0, -4000.0},
        {"the eye moved",
         [](XView* v) {
             const double eye[3] = {0, -7000, 1000}, target[3] = {0, 0, 1000};
             v->AnimateEyeTo(target, 0, eye, 0.0, 0.0, 0.0, 0.0);
         },
         kRed, 0.0, -7000.0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string dir = fresh_folder("figure-set");
        write_file(dir + "/model.fig", lines({"set,haikei,255,0,0", "set,eye point,0,-4000,1000,0,0,1000,55",
                                              trunk_line("chair"), shape_line("seat")}));
        const std::string set =
            lines({"figfile,model.fig", "set,haikei,0,0,255", "set,shadow_disp_sw,1", "set,shadow_hokui,10,20",
                   "set,north_angle,30", "set,shadow_month,7,7,7,7", "set,eye point,0,-5000,1000,0,0,1000,55"});
        write_file(dir + "/model.figset", set);
        const std::string set_path = windows_form(dir + "/model.figset");
        ASSERT_EQ(ChooseStartFile(view, windows_form(dir) + "\\", "", set_path.c_str()), 2);
        EXPECT_GT(colour_share(view, kBlue), 0.5);
        row.session(view);
        const double to[3] = {250, 0, 0};
        find_item(view, "chair")->SetPlacement(to, nullptr);
        ASSERT_EQ(view->SaveModel(), 1);

        ASSERT_EQ(open(dir + "/model.fig"), 1);
        EXPECT_NE(find_item(view, "chair")->base_record()->dx, 0.0);
        EXPECT_GT(colour_share(view, row.background), 0.5);
        EXPECT_EQ(view->settings.shadow_display, 0);
        EXPECT_NEAR(view->settings.latitude, 35.6894, 1e-9);
        EXPECT_DOUBLE_EQ(view->settings.north_angle, row.north_angle);
        EXPECT_DOUBLE_EQ(view->camera.eye->eye[1], row.eye_y);
        EXPECT_EQ(read_all(dir + "/model.figset"), set);
        ASSERT_EQ(ChooseStartFile(view, windows_form(dir) + "\\", "", set_path.c_str()), 2);
        EXPECT_GT(colour_share(view, kBlue), 0.5);
    }
}

// Long attribute and pose lists wrap onto lines of their own kind, and an unset pose entry is left out.
TEST_F(FigureSave, LongListsWrapOntoMoreLines) {
    const std::string dir = fresh_folder("wrapped");
    std::string text = trunk_line("rack") + ",,,,,4\r\n";
    std::string pose = "pose3\t0\t1\t0\tall";
    for (int i = 0; i < 32; ++i) {
        text += shape_line("p" + std::to_string(i)) + ",,,,,,,4\r\n";
        if (i < 31) pose += "\tp" + std::to_string(i) + "\t1\t0\t0\t0\t0\t0\t[p]";  // p31 stays unset
    }
    std::string attributes = "atr";
    for (int i = 0; i < 120; ++i) attributes += "\tn" + std::to_string(i) + "\tv\t\t[a]";
    write_file(dir + "/model.fig", text + attributes + "\r\n" + pose + "\r\n");
    ASSERT_EQ(open(dir + "/model.fig"), 1);
    view->document.trunks[0]->changed = 1;
    ASSERT_EQ(view->SaveModel(), 1);
    std::istringstream saved(read_all(dir + "/model.fig"));
    std::vector<std::pair<std::string, int>> wrapped;  // kind word and items of each atr and pose3 line
    for (std::string line; std::getline(saved, line);) {
        const std::string kind = line.substr(0, line.find('\t'));
        if (kind != "atr" && kind != "pose3") continue;
        int items = 0;
        for (std::size_t p = line.find(kind == "atr" ? "[a]" : "[p]"); p != std::string::npos;
             p = line.find('[', p + 1))
            ++items;
        wrapped.push_back({kind, items});
    }
    const std::vector<std::pair<std::string, int>> want = {
        {"atr", 50}, {"atr", 50}, {"atr", 20}, {"pose3", 30}, {"pose3", 1}};
    EXPECT_EQ(wrapped, want);
}

// Each road of editing marks the item's unit, so that the save writes the change into the unit's file.
TEST_F(FigureSave, EveryEditRoadReachesTheFile) {
    struct Road {
        const char* name;
        std::function<void(XView*, XTrunk*)> edit;
        const char* written;  // text the unit's file holds afterwards ("!" first: text it no longer holds)
    };
    const Road roads[] = {
        {"move", [](XView* v, XTrunk* t) { v->ApplyPartOperation(t->index, 2, 1, 40, 0, 0); }, "trunk\t40\t0\t0\t"},
        {"turn", [](XView* v, XTrunk* t) { v->ApplyPartOperation(t->index, 2, 32, 0, 0, 15); },
         "trunk\t0\t0\t0\t0\t0\t15\t"},
        {"part move", [](XView* v, XTrunk* t) { v->MovePart(t->parts[1], 0, 7, 0); }, "box\t0\t7\t0\t"},
        {"delete", [](XView* v, XTrunk* t) { v->DeleteTrunk(t->index, 1); }, "!chair"},
        {"paste",
         [](XView* v, XTrunk* t) {
             plat::set_clipboard_data(plat::kClipboardText, lines({trunk_line("pasted"), shape_line("new box")}));
             v->PasteAsTrunk(t->index);
         },
         "pasted"},
        {"attribute",
         [](XView* v, XTrunk* t) {
             kz::scene::ConditionList all;
             kz::scene::init_condition_list(&all);
             kz::scene::add_condition_term(&all, "*", "", 11, 1);
             v->ApplyAttributeSetTree(t, &all, "colour", "dark red", "", 0);
             kz::scene::free_condition_list(&all);
         },
         "atr\tcolour\tdark red"},
        {"table width",
         [](XView* v, XTrunk* t) { v->PartPropertyTable(t->parts[1], nullptr, nullptr, 13, "321", 3, nullptr); },
         "\t321\t100\t100\t"},
        {"table transparency",
         [](XView* v, XTrunk* t) { v->PartPropertyTable(t->parts[1], nullptr, nullptr, 28, "0.25", 3, nullptr); },
         "\t0.25\tseat"},
        {"table name",
         [](XView* v, XTrunk* t) { v->PartPropertyTable(t->parts[0], nullptr, nullptr, 29, "armchair", 3, nullptr); },
         "armchair"},
        {"shadow", [](XView* v, XTrunk* t) { v->OnViewMessage(nullptr, UM_VIEW_SET_SHADOW_MODE, t->index, 1); },
         "\t1;0\r\n"},
    };
    for (const Road& road : roads) {
        SCOPED_TRACE(road.name);
        const std::string dir = nested_units();
        road.edit(view, find_item(view, "chair"));
        view->SaveModel();
        const std::string text = read_all(dir + "/sub/inner.fig");
        if (road.written[0] == '!') {
            EXPECT_EQ(text.find(road.written + 1), std::string::npos) << text;
        } else {
            EXPECT_NE(text.find(road.written), std::string::npos) << text;
        }
    }
}

}  // namespace
}  // namespace kz::view::test
