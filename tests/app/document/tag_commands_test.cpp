// What each link tag of a due hit does: documents and pages to the desktop, programs only when the user allows
// them and never from a unit read over "http:", captions, stop, view commands, command blocks, texts to the host,
// the linked camera, poses; and a jump that asks first when the model has changes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/document/view_messages.h"
#include "app/foundation/bus_mdl.h"
#include "app/foundation/heap_text.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "document_fixture.h"
#include "platform/dialogs.h"
#include "platform/shell.h"
#include "tests/support/other_user.h"

namespace kz::view::test {
namespace {

namespace plat = kz::platform;

class TagCommands : public DocumentTest {
public:
    void SetUp() override {
        DocumentTest::SetUp();
        // A folder of each test's own: the tests of this suite may run at the same time.
        folder = fresh_folder(std::string("tags-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        write_file(folder + "/notes.txt", "notes");
        write_file(folder + "/tool.sh", "#!/bin/sh\n");
        chmod((folder + "/tool.sh").c_str(), 0755);
        write_file(folder + "/next.fig",
                   trunk_line("next") + "\natr,start,start,,[a]\n" + shape_line("start") + ",,,,,,C;;0;1;0\n");
        load();
    }
    // Item 1 "lamp" with the part bulb; item 2 "door" with the recording part leaf and its pose "open".
    void load() {
        load_text(view,
                  trunk_line("lamp") + "\natr,kind,lamp,,[a]\n" + shape_line("bulb") + "\n" + trunk_line("door") +
                      "\natr,kind,door,,[a]\n" + shape_line("leaf") + ",,,,,,,4\n" +
                      "pose3,1,2,1,open,leaf,0,0,0,0,0,90\nexcoms,intro:2\nexcom;\tchdisp:kind=lamp,0\nexcomsend\n");
        const std::string data = windows_form(folder) + "\\";
        view->document.data_folder =
            kz::foundation::set_heap_string(view->document.data_folder, data.c_str(), nullptr, -1);
        view->document.leave_without_asking = 1;
        plat::take_dialog_test_log();
        plat::take_shell_test_log();
        parent_log().clear();
    }
    std::vector<std::string> asked() { return plat::take_dialog_test_log(); }
    std::vector<std::string> handed() { return plat::take_shell_test_log(); }
    std::string folder;
};

TEST_F(TagCommands, EachTagDoesItsOwnWork) {
    using Check = std::function<void(TagCommands&)>;
    const struct {
        const char* entry;
        Check check;
    } cases[] = {
        {"1;1;[open=notes.txt]",
         [](TagCommands& t) {
             EXPECT_EQ(t.handed(), std::vector<std::string>{"open file://" + t.folder + "/notes.txt"});
         }},
        {"1;1;<web=http://example.com/a>",
         [](TagCommands& t) { EXPECT_EQ(t.handed(), std::vector<std::string>{"open http://example.com/a"}); }},
        {"1;1;[explore=notes.txt]",
         [](TagCommands& t) { EXPECT_EQ(t.handed(), std::vector<std::string>{"explore file://" + t.folder}); }},
        {"1;1;[jimaku=2:hi]", [](TagCommands& t) { EXPECT_STREQ(t.view->output.bridge->labels[2].text, "hi"); }},
        {"1;1;[stop]",
         [](TagCommands& t) {
             EXPECT_TRUE(t.view->timeline.timed_list[0].empty());
             EXPECT_EQ(t.received(UM_VIEW_PLAYBACK_STOPPED).size(), 1u);
         }},
        {"1;1;[jcom=VIEW_WALK]",
         [](TagCommands& t) {
             EXPECT_EQ(t.view->input.view_mode, 2);
             EXPECT_EQ(t.view->input.tool_origin_state, 2);
         }},
        {"1;1;[jcom=mtx:1]kind=door(leaf)",
         [](TagCommands& t) {
             EXPECT_EQ(t.view->input.selected_trunk, 2);
             EXPECT_EQ(t.view->input.interaction_class, 2);
             EXPECT_EQ(t.view->input.tool_bits, 1);
         }},
        {"1;1;[excoms=intro]",
         [](TagCommands& t) {
             ASSERT_EQ(t.view->timeline.timed_list[1].size(), 1u);
             EXPECT_STREQ(t.view->timeline.timed_list[1][0].text, "\tchdisp:kind=lamp,0");
         }},
        {"1;1;[excom=chdisp:kind=lamp,0]", [](TagCommands& t) { EXPECT_EQ(t.view->document.trunks[1]->shown, 0); }},
        {"1;1;[tovb=hello]", [](TagCommands& t) { EXPECT_EQ(t.received(0x5623).size(), 1u); }},
        {"1;1;[atrtovb=kind]", [](TagCommands& t) { EXPECT_EQ(t.received(0x5623).size(), 1u); }},
        {"1;1;[atrtovb=nosuch]", [](TagCommands& t) { EXPECT_TRUE(t.received(0x5623).empty()); }},
        {"1;1;[viewrendou=1:2:3:4:5:6:7:8:9:10:11:12]",
         [](TagCommands& t) {
             EXPECT_EQ(t.view->camera.camera_link_item, t.view->document.trunks[1]);
             EXPECT_EQ(t.view->camera.camera_link_numbers[11], 12.0);
         }},
        {"1;1;[pose=OPEN:1]kind=door;;3",
         [](TagCommands& t) {
             ASSERT_EQ(t.view->timeline.actions.size(), 6u);
             EXPECT_EQ(t.view->timeline.actions[0].duration, 3.0);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        load();
        EXPECT_EQ(view->ExecTag(c.entry), 0);
        c.check(*this);
    }
}

TEST_F(TagCommands, AProgramStartsOnlyWhenTheUserAllowsIt) {
    plat::DialogTestAnswers no;
    no.message_box = plat::IDNO;
    plat::set_dialog_test_mode(true, no);
    // Asked once, refused: nothing runs, and the answer holds for this model.
    for (int i = 0; i < 2; ++i) EXPECT_EQ(view->ExecTag("1;1;[exec=tool.sh x]"), 0);
    EXPECT_EQ(asked().size(), 1u);
    EXPECT_TRUE(handed().empty());
    // The no was about those arguments only: other ones are asked about again.
    view->ExecTag("1;1;[exec=tool.sh y]");
    EXPECT_EQ(asked().size(), 1u);
    EXPECT_TRUE(handed().empty());
    // Another model asks again; allowed, it starts. "open" of a program asks too (its command line has no
    // arguments, so it is another one), a document never asks.
    plat::DialogTestAnswers yes;
    yes.message_box = plat::IDYES;
    plat::set_dialog_test_mode(true, yes);
    load();
    view->ExecTag("1;1;[exec=tool.sh x]");
    view->ExecTag("1;1;[open=tool.sh]");
    view->ExecTag("1;1;[open=notes.txt]");
    EXPECT_EQ(asked().size(), 2u);
    EXPECT_EQ(handed().size(), 3u);
    // A unit read over "http:" never starts one, and nobody is asked; nor does a hit its commands queued. Each
    // refusal is one line naming the program natively.
    load();
    view->document.trunks[1]->flags |= kTrunkDownloadedUnit;
    ::testing::internal::CaptureStderr();
    view->ExecTag("1;1;[exec=tool.sh x]");
    view->ExecTag("2;1;[exec=tool.sh x]", 1);
    view->ExecActionCommand("hit:[exec=tool.sh],0", 0.0, 1, 1);
    clock->advance(10);
    SystemTime now;
    view->GetClockTime(&now);
    view->RunTimedEntries(now);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(count_of(said, "\n"), 3);
    EXPECT_EQ(count_of(said, "kzview: " + folder + "/tool.sh: a model read over http: starts no program\n"), 3);
    EXPECT_TRUE(asked().empty());
    EXPECT_TRUE(handed().empty());
}

// Whatever could run as a program is asked about first, by its local name or through "file:", and judged as the
// file at the end of any link, which the question names; documents go to the desktop unasked. A POSIX name is the
// file it names, not one below the model's folder.
TEST_F(TagCommands, WhatCouldRunAProgramIsAskedAbout) {
    write_file(folder + "/app.desktop", "[Desktop Entry]\nExec=true\n");
    write_file(folder + "/run-me", "#!/bin/sh\n");
    write_file(folder + "/Setup.EXE", "MZ");
    write_file(folder + "/TOOL.PY", "print(1)\n");
    write_file(folder + "/bin/tool",
               "\x7F"
               "ELF");
    chmod((folder + "/bin/tool").c_str(), 0645);  // only others may run it: still a program
    write_file(folder + "/launcher", "[Desktop Entry]\nExec=true\n");
    write_file(folder + "/locked", "x");
    chmod((folder + "/locked").c_str(), 0111);  // to be run, not read
    write_file(folder + "/plain.dat", "x");
    for (const auto& [link, file] : {std::pair{"/notes-link.txt", "/tool.sh"},
                                     {"/readme.txt", "/launcher"},
                                     {"/data.sh", "/plain.dat"},
                                     {"/notes-too.txt", "/notes.txt"}})
        symlink((folder + file).c_str(), (folder + link).c_str());
    const std::string notes = "open file://" + folder + "/notes.txt";
    struct Case {
        std::string entry;
        std::string named;                // what the question names; empty: nobody is asked
        std::vector<std::string> handed;  // with the question answered no
        bool other_user = false;          // the viewer runs as another user than the file's owner
    };
    // Root's, for another user to run but not read (as root, the user's own without the read bit), in a folder
    // every user may enter.
    char scratch[] = "/tmp/kz-run-not-read-XXXXXX";
    ASSERT_NE(::mkdtemp(scratch), nullptr);
    chmod(scratch, 0755);
    const std::string unreadable = std::string(scratch) + "/locked";
    write_file(unreadable,
               "\x7F"
               "ELF");
    chmod(unreadable.c_str(), ::geteuid() == 0 ? 0711 : 0311);
    std::vector<Case> cases = {
        {"1;1;[exec=" + unreadable + "]", unreadable, {}, true},
        {"1;1;[open=app.desktop]", folder + "/app.desktop", {}},
        {"1;1;[open=run-me]", folder + "/run-me", {}},
        {"1;1;[open=Setup.EXE]", folder + "/Setup.EXE", {}},
        {"1;1;[open=tool.py]", folder + "/TOOL.PY", {}},
        {"1;1;[exec=bin/tool]", folder + "/bin/tool", {}},
        {"1;1;[open=file://" + folder + "/app.desktop]", folder + "/app.desktop", {}},
        {"1;1;<web=file:" + folder + "/run-me>", folder + "/run-me", {}},
        {"1;1;[open=file://localhost" + folder + "/tool.sh]", folder + "/tool.sh", {}},
        {"1;1;[open=notes-link.txt]", folder + "/notes-link.txt -> " + folder + "/tool.sh", {}},
        {"1;1;[open=locked]", folder + "/locked", {}},
        {"1;1;[open=launcher]", folder + "/launcher", {}},  // a desktop entry by its content
        {"1;1;[open=readme.txt]", folder + "/readme.txt -> " + folder + "/launcher", {}},
        {"1;1;[open=data.sh]", folder + "/data.sh -> " + folder + "/plain.dat", {}},
        {"1;1;[open=notes.txt]", "", {notes}},
        {"1;1;[open=notes-too.txt]", "", {notes}},  // by the name the link resolves to
        {"1;1;[open=file://" + folder + "/notes.txt]", "", {notes}},
        {"1;1;[open=" + folder + "/notes.txt]", "", {notes}},
        {"1;1;[explore=" + folder + "/notes.txt]", "", {"explore file://" + folder}},
        {"1;1;[open=file://elsewhere" + folder + "/notes.txt]", "", {}},
    };
    // Known by the name alone ("a.lua" by the type the name gives: a kind of executable).
    for (const char* name :
         {"launcher.desktop.", "a.jnlp", "a.msi", "a.com", "a.vbs", "a.ps1", "a.pyw", "a.csh", "a.command", "a.lua"}) {
        write_file(folder + "/" + name, "x");
        cases.push_back({std::string("1;1;[open=") + name + "]", folder + "/" + name, {}});
    }
    plat::DialogTestAnswers no;
    no.message_box = plat::IDNO;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        load();
        plat::set_dialog_test_mode(true, no);
        const auto check = [&] {
            EXPECT_EQ(view->ExecTag(c.entry.c_str()), 0);
            // The question's middle line.
            std::vector<std::string> named;
            for (const std::string& q : asked())
                named.push_back(q.substr(q.find('\n') + 1, q.rfind('\r') - q.find('\n') - 1));
            EXPECT_EQ(named, c.named.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.named});
            EXPECT_EQ(handed(), c.handed);
        };
        if (c.other_user && ::geteuid() == 0)
            EXPECT_TRUE(kz::test::run_as_other_user(c.entry, check));
        else
            check();
    }
    std::filesystem::remove_all(scratch);
}

// A program is handed its arguments as native paths, and the user is asked about that command line itself: a
// yes holds for the same program with the same arguments only.
TEST_F(TagCommands, AProgramGetsNativeArgumentsAndTheAnswerHoldsForThem) {
    plat::DialogTestAnswers yes;
    yes.message_box = plat::IDYES;
    plat::set_dialog_test_mode(true, yes);
    for (const char* name : {"/again.sh", "/AGAIN.SH"}) {
        write_file(folder + name, "#!/bin/sh\n");
        chmod((folder + name).c_str(), 0755);
    }
    symlink((folder + "/tool.sh").c_str(), (folder + "/tool-link").c_str());
    // Another program with the same arguments is another command line, also one whose name differs only in case;
    // a link to the program is the program, which starts by its own name; the program once edited is another.
    const auto edit = [&](const std::string& path) {
        struct stat before, now;
        stat(path.c_str(), &before);
        do std::ofstream(path, std::ios::app) << "\n";
        while (stat(path.c_str(), &now) == 0 && now.st_ctim.tv_sec == before.st_ctim.tv_sec &&
               now.st_ctim.tv_nsec == before.st_ctim.tv_nsec);
    };
    const struct {
        std::string program, argument;
        std::size_t asked;
        const char* runs;
        bool edited_first;
    } steps[] = {{"tool.sh", "hello", 1, "tool.sh", false},           {"tool.sh", "hello", 0, "tool.sh", false},
                 {"tool.sh", folder + "/other", 1, "tool.sh", false}, {"again.sh", "hello", 1, "again.sh", false},
                 {"AGAIN.SH", "hello", 1, "AGAIN.SH", false},         {"tool-link", "hello", 0, "tool.sh", false},
                 {"tool-link", "hello", 1, "tool.sh", true}};
    for (const auto& s : steps) {
        SCOPED_TRACE(s.program + " " + s.argument);
        if (s.edited_first) edit(folder + "/" + s.runs);
        EXPECT_EQ(view->ExecTag(("1;1;[exec=" + s.program + " " + s.argument + "]").c_str()), 0);
        const std::string line =
            folder + "/" + s.runs + " " + (s.argument[0] == '/' ? s.argument : folder + "/" + s.argument);
        const std::vector<std::string> questions = asked();
        EXPECT_EQ(questions.size(), s.asked);
        for (const std::string& q : questions) EXPECT_NE(q.find(line), std::string::npos) << q;
        EXPECT_EQ(handed(), std::vector<std::string>{"start " + line});
    }
}

// What the user allowed is what runs, whatever changes between the question and the start: a link re-pointed, an
// argument's spelling made to reach another file, the program replaced in a folder others may write. A script
// starts by its own name only where no one else could have changed it; elsewhere through the file judged, which it
// sees as /dev/fd/N.
TEST_F(TagCommands, WhatTheUserAllowedIsWhatRuns) {
    const std::string out = folder + "/out";
    const auto script = [&](const std::string& name, const char* word, mode_t mode) {
        write_file(folder + "/" + name, std::string("#!/bin/sh\necho ") + word + " \"$0\" \"$1\" > '" + out + "'\n");
        chmod((folder + "/" + name).c_str(), mode);
    };
    const auto replace = [&](const char* name, const char* with) {
        return [this, name, with] { std::rename((folder + "/" + with).c_str(), (folder + "/" + name).c_str()); };
    };
    script("ok.sh", "ok", 0755);
    script("evil.sh", "evil", 0755);
    script("job.sh", "job", 0644);
    script("loose.sh", "ok", 0757);  // others may write it
    write_file(folder + "/data", "d");
    symlink((folder + "/ok.sh").c_str(), (folder + "/tool").c_str());
    mkdir((folder + "/shared").c_str(), 0777);
    chmod((folder + "/shared").c_str(), 0777);  // others may replace what it holds
    script("shared/run.sh", "ok", 0755);
    for (const char* name : {"shared/evil-1", "shared/evil-2"}) script(name, "evil", 0755);
    std::filesystem::copy_file("/bin/sh", folder + "/shared/sh");
    chmod((folder + "/shared/sh").c_str(), 0755);
    mkdir((folder + "/tools").c_str(), 0755);
    mkdir((folder + "/evil").c_str(), 0755);
    script("tools/ok.sh", "ok", 0755);
    script("evil/ok.sh", "evil", 0755);
    const struct {
        const char* name;
        std::string command;
        std::function<void()> while_asking;
        std::string line;  // what the program that ran wrote, "/dev/fd/N" for any N; else the one line said
        std::function<void(const std::string&)> while_judging = {};  // when set, nothing is asked and nothing runs
    } rows[] = {
        {"a link re-pointed", "tool data",
         [&] {
             std::remove((folder + "/tool").c_str());
             symlink((folder + "/evil.sh").c_str(), (folder + "/tool").c_str());
         },
         "ok " + folder + "/ok.sh " + folder + "/data\n"},
        {"an argument's spelling made to reach another file", "ok.sh DATA", [&] { write_file(folder + "/DATA", "x"); },
         "ok " + folder + "/ok.sh " + folder + "/data\n"},
        {"a program replaced where others may write", "shared/sh job.sh", replace("shared/sh", "shared/evil-1"),
         "job " + folder + "/job.sh \n"},
        {"a script replaced where others may write", "shared/run.sh data", replace("shared/run.sh", "shared/evil-2"),
         "ok /dev/fd/N " + folder + "/data\n"},
        {"a script others may write", "loose.sh data", {}, "ok /dev/fd/N " + folder + "/data\n"},
        {"a folder on the way swapped for a link once the name was resolved",
         "tools/ok.sh data",
         {},
         folder + "/tools/ok.sh: not opened: the file opened is " + folder +
             "/evil/ok.sh, not the one its name resolved to\n",
         [&](const std::string&) {
             std::rename((folder + "/tools").c_str(), (folder + "/tools-was").c_str());
             symlink((folder + "/evil").c_str(), (folder + "/tools").c_str());
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        load();
        plat::DialogTestAnswers yes;
        yes.message_box = plat::IDYES;
        yes.while_asking = row.while_asking;
        plat::set_dialog_test_mode(true, yes);
        plat::set_shell_test_mode(true, true);
        std::remove(out.c_str());
        plat::set_judgement_observer_for_tests(row.while_judging);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(view->ExecTag(("1;1;[exec=" + row.command + "]").c_str()), 0);
        const std::string said = ::testing::internal::GetCapturedStderr();
        if (row.while_judging) {
            EXPECT_EQ(std::tuple(asked().size(), handed().size(), said), std::tuple(0u, 0u, row.line));
            continue;
        }
        EXPECT_EQ(asked().size(), 1u);
        std::string line = kz::test::read_written_line(out);
        if (const std::size_t fd = line.find("/dev/fd/"); fd != std::string::npos)
            line.replace(fd + 8, line.find(' ', fd) - fd - 8, "N");
        EXPECT_EQ(line, row.line);
    }
    plat::set_judgement_observer_for_tests({});
    plat::set_shell_test_mode(true);
}

TEST_F(TagCommands, SoundsAreFoundBesideTheModel) {
    const std::string base = windows_form(folder) + "\\";
    view->document.base_folder = kz::foundation::set_heap_string(view->document.base_folder, base.c_str(), nullptr, -1);
    EXPECT_EQ(view->PlaySoundTag("notes.txt", 2), 1);
    EXPECT_EQ(view->PlaySoundTag((folder + "/notes.txt").c_str(), 2), 1);  // a POSIX name is the file itself
    EXPECT_EQ(view->PlaySoundTag("missing.mp3", 2), 0);
    EXPECT_EQ(view->PlaySoundTag("notes.txt", 3), 0);  // no such mode
}

TEST_F(TagCommands, AJumpAsksFirstWhenTheModelHasChanges) {
    view->document.leave_without_asking = 0;
    view->MarkTrunkChanged(view->document.trunks[1]);
    plat::DialogTestAnswers cancel;
    cancel.message_box = plat::IDCANCEL;
    plat::set_dialog_test_mode(true, cancel);
    EXPECT_EQ(view->ExecTag("1;1;[jump=next.fig:3]"), 0);
    EXPECT_EQ(asked().size(), 1u);
    EXPECT_EQ(view->document.trunks.size(), 3u);
    plat::set_dialog_test_mode(true);
    const double kept = view->camera.eye->eye[0];
    EXPECT_EQ(view->ExecTag("1;1;[jump=next.fig:3]"), 1);
    EXPECT_STREQ(view->document.data_file_name, "next.fig");
    EXPECT_EQ(plat::window_text(view->output.parent), folder + "/next.fig");  // the title by its native path
    EXPECT_EQ(view->camera.eye->eye[0], kept);                                // a jump with a number keeps the eye
    // The new model's start part fired: its camera entry waits.
    ASSERT_EQ(view->timeline.timed_list[0].size(), 1u);
    EXPECT_EQ(view->timeline.timed_list[0][0].kind, 1);
}

}  // namespace
}  // namespace kz::view::test
