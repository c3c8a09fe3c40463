// Saves by someone who is not the file's owner, and of files another program holds: the owner keeps the file whoever
// saves it, a file the user may not write is left alone with the failure box, a save killed at any step of a rewrite
// in place leaves the file whole or its whole copy beside it, and a file server's lease is waited for, never taken for
// a change. The kernel judges every account's rights, before and after.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/scene/xtrunk.h"
#include "document_fixture.h"
#include "platform/content_digest.h"
#include "platform/dialogs.h"
#include "platform/file_in_use.h"
#include "platform/file_stamps.h"
#include "platform/file_system.h"
#include "tests/support/access_list.h"
#include "tests/support/lease_holder.h"
#include "tests/support/other_user.h"

namespace kz::view::test {
namespace {

namespace fs = std::filesystem;
namespace plat = kz::platform;

// The file's owner, the colleague who saves, a member of the group they share and a stranger: numbers no account uses.
constexpr uid_t kOwner = 47301, kColleague = 47302, kMember = 47304, kStranger = 47303;
constexpr gid_t kOwnersGroup = 47401, kColleaguesGroup = 47402, kShared = 47403, kStrangersGroup = 47404;
const gid_t kColleaguesGroups[] = {kColleaguesGroup, kShared};

struct Judge {
    uid_t uid;
    gid_t gid;
    std::vector<gid_t> groups;
};
const Judge kJudges[] = {{kOwner, kOwnersGroup, {kOwnersGroup, kShared}},
                         {kColleague, kColleaguesGroup, {kColleaguesGroup, kShared}},
                         {kMember, kShared, {kShared}},
                         {kStranger, kStrangersGroup, {kStrangersGroup}}};

// What each judge may do with each file (read 4, write 2) by the kernel's answer to their opens, judge by judge.
std::vector<int> rights_of(const std::vector<std::string>& files) {
    const std::size_t count = files.size() * std::size(kJudges), bytes = count * sizeof(int);
    auto* shared = static_cast<int*>(::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    if (shared == MAP_FAILED) return {};
    EXPECT_TRUE(kz::test::run_in_child(
        "the accounts judge", [] { return true; },
        [&] {
            for (std::size_t f = 0; f < files.size(); ++f)
                for (std::size_t j = 0; j < std::size(kJudges); ++j)
                    shared[f * std::size(kJudges) + j] =
                        kz::test::rights_as(files[f].c_str(), kJudges[j].uid, kJudges[j].gid, kJudges[j].groups.data(),
                                            kJudges[j].groups.size());
        }));
    std::vector<int> rights(shared, shared + count);
    ::munmap(shared, bytes);
    return rights;
}

// What a file keeps whatever its text: owner, group, mode, access list, its "user." attribute and its link count.
std::string kept_of(const std::string& file) {
    struct stat st = {};
    if (::stat(file.c_str(), &st) != 0) return "missing";
    char note[8] = {}, mode[8];
    const bool noted = ::getxattr(file.c_str(), "user.kz-note", note, sizeof note) == 4;
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    return std::to_string(st.st_uid) + ":" + std::to_string(st.st_gid) + " " + mode + " [" +
           kz::test::access_list(file) + "] " + (noted ? note : "-") + " x" + std::to_string(st.st_nlink);
}

// The names in a folder, "." and ".." left out, in name order.
std::vector<std::string> names_in(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The owner's project folder, `mode` in `group`, in a folder below /tmp that every account may reach; removed with
// what it holds. `path` is empty where it could not be made.
struct ProjectFolder {
    std::string top, path;
    ProjectFolder(unsigned mode, gid_t group) {
        char made[] = "/tmp/kz-colleague-XXXXXX";
        if (!::mkdtemp(made) || ::chmod(made, 0755) != 0) return;
        top = made;
        const std::string project = top + "/project";
        if (::mkdir(project.c_str(), 0700) == 0 && ::chown(project.c_str(), kOwner, group) == 0 &&
            ::chmod(project.c_str(), mode) == 0)
            path = project;
    }
    ~ProjectFolder() {
        std::error_code ignored;
        if (!top.empty()) fs::remove_all(top, ignored);
    }
};

// The model m.fig of one unit, u.fig, the owner's and the shared group's, 0664, holding `text`, in the folder.
void write_owners_unit(const std::string& dir, const std::string& text) {
    write_file(dir + "/m.fig", lines({trunk_line("u", "#frefer=u.fig")}));
    write_file(dir + "/u.fig", text);
    EXPECT_EQ(::chown((dir + "/u.fig").c_str(), kOwner, kShared), 0);
    EXPECT_EQ(::chmod((dir + "/u.fig").c_str(), 0664), 0);
}

class ColleagueSave : public SaveTest {
public:
    // Places the item at x and saves, the user agreeing to every question; the questions and boxes shown, and the
    // lines said on standard error.
    std::pair<std::vector<std::string>, std::string> edit_and_save(std::initializer_list<XTrunk*> items, double x) {
        const double to[3] = {x, 0, 0};
        for (XTrunk* item : items) item->SetPlacement(to, nullptr);
        plat::DialogTestAnswers answers;
        answers.message_box = plat::IDOK;
        plat::set_dialog_test_mode(true, answers);
        testing::internal::CaptureStderr();
        view->SaveModel();
        std::string said = testing::internal::GetCapturedStderr();
        return {plat::take_dialog_test_log(), said};
    }
};

// A colleague who may write the owner's files (named in their lists, or in the group that may write them) saves them
// in place: owner, group, mode, list, attribute and other names stay exactly, and every account, the colleague too,
// may do what it could before and no more; another name of the file, saved next, is not asked about. One who may not
// write them (0644 in a folder they may write, set-group-ID or not), or may write but no longer read them (made so
// after the open, which the save asks about), leaves them as they are: the failure box for each, a line naming the
// file, its owner and the reason, the units still changed; the colleague's own unit is saved.
TEST_F(ColleagueSave, WhoeverSavesTheOwnerKeepsTheFileAndAFileTheUserMayNotWriteIsLeftAlone) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root gives files to other accounts and saves as one of them";
    const std::string colleague = std::to_string(kColleague);
    const std::string folder_list = "u::rwx,u:" + colleague + ":rwx,g::---,m::rwx,o::---";
    struct Row {
        const char* name;
        unsigned folder_mode;
        gid_t folder_group;
        std::string folder_list;  // also its default list; empty: none
        unsigned mode;
        gid_t group;
        std::string list;  // empty: none
        bool writable;
        const char* reason = nullptr;  // why a file is not written, after "could not be written: "
        uid_t owner = kOwner;
        unsigned mode_after_open = 0;  // 0: as it was
    };
    const std::string not_the_users = "it is user " + std::to_string(kOwner) + "'s, and the user may not write it";
    const Row rows[] = {
        {"shared by named entries, 0600", 0700, kOwnersGroup, folder_list, 0600, kOwnersGroup,
         "u::rw-,u:" + colleague + ":rw-,g::---,m::rw-,o::---", true},
        {"shared by named entries, 0644", 0700, kOwnersGroup, folder_list, 0644, kOwnersGroup,
         "u::rw-,u:" + colleague + ":rw-,g::r--,m::rw-,o::r--", true},
        {"the shared group may write it", 0775, kShared, "", 0664, kShared, "", true},
        {"0644 in a folder the colleague's group may write", 0775, kShared, "", 0644, kOwnersGroup, "", false,
         not_the_users.c_str()},
        {"0644 in a set-group-ID folder", 02775, kShared, "", 0644, kShared, "", false, not_the_users.c_str()},
        {"0644 of an account with a name, in a folder the colleague's group may write", 0775, kShared, "", 0644,
         kOwnersGroup, "", false, "it is nobody's, and the user may not write it", kz::test::kOtherUser},
        {"the shared group may write it, but no longer read it", 0775, kShared, "", 0664, kShared, "", false,
         "it cannot be opened to be rewritten in place", kOwner, 0624},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const ProjectFolder project(row.folder_mode, row.folder_group);
        ASSERT_FALSE(project.path.empty());
        const std::string& dir = project.path;
        if (!row.folder_list.empty() && (!kz::test::set_access_list(dir, row.folder_list) ||
                                         !kz::test::set_default_access_list(dir, row.folder_list)))
            GTEST_SKIP() << "the file system of /tmp keeps no access lists";
        write_file(dir + "/m.fig", lines({trunk_line("top"), trunk_line("u", "#frefer=u.fig"),
                                          trunk_line("w", "#frefer=w.fig"), trunk_line("v", "#frefer=v.fig")}));
        write_file(dir + "/u.fig", lines({trunk_line("u item")}));
        write_file(dir + "/v.fig", lines({trunk_line("v item")}));
        const std::vector<std::string> owners = {dir + "/m.fig", dir + "/u.fig"};
        for (const std::string& file : owners) {
            ASSERT_EQ(::removexattr(file.c_str(), "system.posix_acl_access") == 0 || errno == ENODATA, true);
            ASSERT_EQ(::chown(file.c_str(), row.owner, row.group), 0);
            ASSERT_EQ(::chmod(file.c_str(), row.mode), 0);
            ASSERT_EQ(::setxattr(file.c_str(), "user.kz-note", "kept", 4, 0), 0);
            if (!row.list.empty()) {
                ASSERT_TRUE(kz::test::set_access_list(file, row.list));
            }
        }
        ASSERT_EQ(::chown((dir + "/v.fig").c_str(), kColleague, kColleaguesGroup), 0);
        ASSERT_EQ(::link((dir + "/u.fig").c_str(), (dir + "/w.fig").c_str()), 0);
        ASSERT_EQ(open(dir + "/m.fig"), 1);
        if (row.mode_after_open) {
            for (const std::string& file : owners) ASSERT_EQ(::chmod(file.c_str(), row.mode_after_open), 0);
        }
        const std::string texts[] = {read_all(owners[0]), read_all(owners[1])};
        const std::string kept[] = {kept_of(owners[0]), kept_of(owners[1])};
        const std::vector<int> before = rights_of(owners);
        EXPECT_TRUE(kz::test::run_as_user(
            row.name, kColleague, kColleaguesGroup, {std::begin(kColleaguesGroups), std::end(kColleaguesGroups)}, [&] {
                const auto [shown, said] = edit_and_save(
                    {find_item(view, "top"), find_item(view, "u item"), find_item(view, "v item")}, 125.5);
                if (row.writable) {
                    EXPECT_TRUE(shown.empty()) << shown[0];
                    EXPECT_EQ(said, "");
                    // Another name of the file rewritten in place holds the text written: the viewer's own write.
                    const auto [asked, next] = edit_and_save({find_item(view, "w")->children[0]}, 7);
                    EXPECT_TRUE(asked.empty()) << asked[0];
                    EXPECT_EQ(next, "");
                } else {
                    // A file changed since it was read is asked about first, in one question.
                    const std::size_t asked = row.mode_after_open ? 1 : 0;
                    ASSERT_EQ(shown.size(), asked + 2) << said;
                    for (std::size_t i = asked; i < shown.size(); ++i)
                        EXPECT_NE(shown[i].find("書き出し失敗"), std::string::npos) << shown[i];
                    for (const std::string& file : owners)
                        EXPECT_NE(said.find(file + ": could not be written: " + row.reason +
                                            " (Permission denied); the previous file is kept"),
                                  std::string::npos)
                            << said;
                    EXPECT_EQ(find_item(view, "u")->changed, 1);
                    EXPECT_EQ(view->document.trunks[0]->changed, 1);
                }
                EXPECT_EQ(find_item(view, "v")->changed, 0);
            }));
        EXPECT_NE(read_all(dir + "/v.fig").find("125.5"), std::string::npos);
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(kept_of(owners[i]), kept[i]) << owners[i];
            if (row.writable) {
                EXPECT_NE(read_all(owners[i]).find(i ? "\t7\t" : "125.5"), std::string::npos) << owners[i];
            } else {
                EXPECT_EQ(read_all(owners[i]), texts[i]) << owners[i];
            }
        }
        EXPECT_EQ(rights_of(owners), before);
        EXPECT_EQ(names_in(dir), (std::vector<std::string>{"m.fig", "u.fig", "v.fig", "w.fig"}));
    }
}

// A colleague's save killed (SIGKILL) at each step of a rewrite in place: before its commit, while its copy is made,
// once the copy is whole, during the rewrite, once it is done, once the copy is removed. Each time the file is whole
// (the old text or the new) or its whole old text is beside it, with the file's owner, group, mode and attribute as
// they were, the copy the colleague's alone. The next open puts the copy back (the owner, who may not read the
// colleague's copy, is told where it is, and so is the colleague where the owner has made the file read-only since),
// or the next save, the colleague's in place or root's by a new file, makes
// it needless; either way the save after it writes, and nothing else is left.
TEST_F(ColleagueSave, ASaveKilledAtAnyStepOfARewriteInPlaceLeavesTheFileOrItsWholeCopy) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root gives files to other accounts and saves as one of them";
    // Comment lines, kept where they are, make the file several pieces of a rewrite long; the item comes first, so
    // that a rewrite cut after any piece leaves neither the old text nor the new.
    std::string old_text = lines({trunk_line("u item")});
    for (int i = 0; i < 2500; ++i)
        old_text += "# a note of the owner's, kept as it stands " + std::string(50, 'n') + "\r\n";
    struct Step {
        const char* name;  // null: not killed; "written": by the write observer, before the commit
        int nth;
    };
    const Step steps[] = {{nullptr, 0},     {"written", 1},   {"copying", 1},   {"copying", 3},     {"copied", 1},
                          {"rewriting", 1}, {"rewriting", 3}, {"rewritten", 1}, {"copy removed", 1}};
    enum Next { kOpened, kSavedByTheColleague, kSavedByRoot };
    std::string new_text;
    for (const Step& step : steps) {
        for (const Next next : {kOpened, kSavedByTheColleague, kSavedByRoot}) {
            if (!step.name && next != kOpened) continue;
            const bool opened_next = next == kOpened;
            SCOPED_TRACE(std::string(step.name ? step.name : "not killed") + " " + std::to_string(step.nth) +
                         (opened_next            ? ", opened next"
                          : next == kSavedByRoot ? ", saved by root"
                                                 : ", saved next"));
            const ProjectFolder project(0775, kShared);
            ASSERT_FALSE(project.path.empty());
            const std::string &dir = project.path, file = dir + "/u.fig";
            write_owners_unit(dir, old_text);
            ASSERT_EQ(::setxattr(file.c_str(), "user.kz-note", "kept", 4, 0), 0);
            const std::string kept = kept_of(file);
            ASSERT_EQ(open(dir + "/m.fig"), 1);
            const pid_t saver = ::fork();
            if (saver == 0) {
                if (::setgroups(2, kColleaguesGroups) != 0 || ::setgid(kColleaguesGroup) != 0 ||
                    ::setuid(kColleague) != 0)
                    ::_exit(2);
                int seen = 0;
                const auto at = [&](std::string_view reached) {
                    if (step.name && reached == step.name && ++seen == step.nth) ::raise(SIGKILL);
                };
                plat::set_rewrite_observer_for_tests(at);
                plat::set_write_observer_for_tests([&](std::uint64_t) { at("written"); });
                edit_and_save({find_item(view, "u item")}, 125.5);
                if (__gcov_dump) __gcov_dump();
                ::_exit(0);
            }
            int status = 0;
            ASSERT_EQ(::waitpid(saver, &status, 0), saver);
            if (step.name) {
                ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
            } else {
                ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
                new_text = read_all(file);
                EXPECT_NE(new_text.find("125.5"), std::string::npos);
            }
            // The file whole, or its whole copy beside it, the colleague's alone.
            std::string copy;
            for (const std::string& name : names_in(dir))
                if (name.rfind(".u.fig.kzcopy-", 0) == 0) copy = dir + "/" + name;
            const std::string now = read_all(file);
            EXPECT_TRUE(now == old_text || now == new_text || (!copy.empty() && read_all(copy) == old_text));
            EXPECT_EQ(kept_of(file), kept);
            if (!copy.empty()) {
                EXPECT_EQ(kept_of(copy).substr(0, kept_of(copy).find(" [")),
                          std::to_string(kColleague) + ":" + std::to_string(kColleaguesGroup) + " 0600");
            }
            if (opened_next) {
                if (!copy.empty()) {
                    EXPECT_TRUE(kz::test::run_as_user("the owner opens", kOwner, kOwnersGroup, {kOwnersGroup}, [&] {
                        // What the open does first (a child draws no frame: the renderer's threads stay behind).
                        testing::internal::CaptureStderr();
                        plat::put_back_cut_rewrite(windows_form(file));
                        const std::string said = testing::internal::GetCapturedStderr();
                        EXPECT_NE(said.find(file +
                                            ": a save that rewrote it was cut short; the file as it was before "
                                            "is kept beside it in " +
                                            fs::path(copy).filename().string() + ", which cannot be taken here"),
                                  std::string::npos)
                            << said;
                    }));
                    // The colleague may take their copy, but not write the file once its owner made it 0644.
                    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
                    EXPECT_TRUE(kz::test::run_as_user(
                        "the colleague opens", kColleague, kColleaguesGroup,
                        {std::begin(kColleaguesGroups), std::end(kColleaguesGroups)}, [&] {
                            testing::internal::CaptureStderr();
                            plat::put_back_cut_rewrite(windows_form(file));
                            const std::string said = testing::internal::GetCapturedStderr();
                            EXPECT_NE(said.find(", and cannot be put back (Permission denied)"), std::string::npos)
                                << said;
                        }));
                    ASSERT_EQ(::chmod(file.c_str(), 0664), 0);
                }
                testing::internal::CaptureStderr();
                ASSERT_EQ(open(dir + "/m.fig"), 1);
                const std::string said = testing::internal::GetCapturedStderr();
                // A copy of what the file still holds (cut before the rewrite began) is only removed.
                EXPECT_EQ(
                    said.find(file + ": a save that rewrote it was cut short; the file as it was before that save "
                                     "is put back") != std::string::npos,
                    !copy.empty() && now != old_text)
                    << said;
                EXPECT_EQ(read_all(file), copy.empty() ? now : old_text);
            }
            const auto save_after = [&] {
                edit_and_save({find_item(view, "u item")}, 7);
                EXPECT_EQ(find_item(view, "u")->changed, 0);
            };
            if (next == kSavedByRoot) {
                save_after();
            } else {
                EXPECT_TRUE(kz::test::run_as_user("the save after", kColleague, kColleaguesGroup,
                                                  {std::begin(kColleaguesGroups), std::end(kColleaguesGroups)},
                                                  save_after));
            }
            EXPECT_NE(read_all(file).find("\t7\t"), std::string::npos);
            EXPECT_EQ(kept_of(file), kept);
            EXPECT_EQ(names_in(dir), (std::vector<std::string>{"m.fig", "u.fig"}));
        }
    }
}

// A file another program changes while a colleague's save rewrites it in place, once the new text is written and
// before the rewrite (its stamps moved, or only its bytes, as on a file system whose clock has not ticked; its stamps
// alone where no digest of its bytes is taken): it is left with the other program's text, the failure box and the line
// say so, and the unit stays changed.
TEST_F(ColleagueSave, AFileChangedDuringARewriteInPlaceIsLeftAsItIs) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root gives files to other accounts and saves as one of them";
    enum Seen { kByItsStamps, kByItsBytes, kByItsStampsAlone };
    for (const Seen seen : {kByItsStamps, kByItsBytes, kByItsStampsAlone}) {
        const bool stamps_kept = seen == kByItsBytes;
        SCOPED_TRACE(stamps_kept                 ? "every stamp kept (the stat seam)"
                     : seen == kByItsStampsAlone ? "its stamps moved, no digest of its bytes taken"
                                                 : "its stamps moved");
        // Without digests (their switch), the stamps alone tell the file changed.
        plat::set_content_digests_for_tests(seen != kByItsStampsAlone);
        const ProjectFolder project(0775, kShared);
        ASSERT_FALSE(project.path.empty());
        const std::string &dir = project.path, file = dir + "/u.fig";
        write_owners_unit(dir, lines({trunk_line("u item")}));
        const std::string theirs = lines({trunk_line("x item")});
        ASSERT_EQ(open(dir + "/m.fig"), 1);
        EXPECT_TRUE(kz::test::run_as_user(
            "the colleague", kColleague, kColleaguesGroup, {std::begin(kColleaguesGroups), std::end(kColleaguesGroups)},
            [&] {
                plat::set_write_observer_for_tests([&](std::uint64_t) {
                    struct stat read = {};
                    ::stat(file.c_str(), &read);
                    write_file(file, theirs);
                    if (stamps_kept)
                        plat::set_file_looks_for_tests([read](struct stat* st) {
                            if (st->st_ino == read.st_ino) st->st_mtim = read.st_mtim, st->st_ctim = read.st_ctim;
                        });
                });
                const auto [shown, said] = edit_and_save({find_item(view, "u item")}, 125.5);
                ASSERT_EQ(shown.size(), 1u) << said;
                EXPECT_NE(shown[0].find("書き出し失敗"), std::string::npos) << shown[0];
                EXPECT_NE(
                    said.find("u.fig: could not be written: its file changed during the save; the previous file is "
                              "kept"),
                    std::string::npos)
                    << said;
                EXPECT_EQ(find_item(view, "u")->changed, 1);
            }));
        EXPECT_EQ(read_all(file), theirs);
        EXPECT_EQ(names_in(dir), (std::vector<std::string>{"m.fig", "u.fig"}));
    }
    plat::set_content_digests_for_tests(true);
}

// Another program that holds a unit by a lease (F_SETLEASE, as a file server holds a file for a client), here a child
// running as the file's owner. The save's looks at the file tell it to let go: one that does within the wait is
// saved as any file, asked nothing and narrowed in nothing; one that never does is not written, with the failure box
// and a line that names the file and says it is in use, while the model's other units are saved; the next save,
// once it has let go, writes it.
TEST_F(ColleagueSave, AFileAnotherProgramHoldsIsWaitedForAndNeverTakenForAChange) {
    const std::string dir = fresh_folder("held"), file = dir + "/u.fig";
    write_file(dir + "/m.fig", lines({trunk_line("u", "#frefer=u.fig"), trunk_line("v", "#frefer=v.fig")}));
    write_file(file, lines({trunk_line("u item")}));
    write_file(dir + "/v.fig", lines({trunk_line("v item")}));
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    kz::test::set_access_list(file, "u::rw-,u:4321:r--,g::r--,m::r--,o::---");  // where the file system keeps lists
    const std::string kept = kept_of(file);
    for (const bool lets_go : {true, false}) {
        SCOPED_TRACE(lets_go ? "let go within the wait" : "never let go");
        ASSERT_EQ(open(dir + "/m.fig"), 1);
        kz::test::LeaseHolder holder(file, lets_go);
        if (!holder.held()) GTEST_SKIP() << "the file system of the tests' folder takes no leases";
        if (!lets_go) plat::set_in_use_wait_for_tests(std::chrono::milliseconds(1000));
        const std::string x = lets_go ? "125.5" : "225.5";
        const auto [shown, said] = edit_and_save({find_item(view, "u item"), find_item(view, "v item")}, std::stod(x));
        holder.end();
        plat::set_in_use_wait_for_tests(std::chrono::milliseconds(-1));
        EXPECT_NE(read_all(dir + "/v.fig").find(x), std::string::npos);
        EXPECT_EQ(kept_of(file), kept);
        if (lets_go) {
            EXPECT_TRUE(shown.empty()) << shown[0];
            EXPECT_EQ(said, "");
            EXPECT_NE(read_all(file).find(x), std::string::npos);
            continue;
        }
        ASSERT_EQ(shown.size(), 1u) << said;
        EXPECT_NE(shown[0].find("書き出し失敗"), std::string::npos) << shown[0];
        EXPECT_NE(said.find("u.fig: not written: it is in use by another program, which did not let it go within 1 "
                            "s; save again once that program has let it go"),
                  std::string::npos)
            << said;
        EXPECT_EQ(read_all(file).find(x), std::string::npos);
        EXPECT_EQ(find_item(view, "u")->changed, 1);
        const auto [asked, next] = edit_and_save({}, 0);
        EXPECT_TRUE(asked.empty()) << asked[0];
        EXPECT_EQ(next, "");
        EXPECT_NE(read_all(file).find(x), std::string::npos);
        EXPECT_EQ(kept_of(file), kept);
    }
}

}  // namespace
}  // namespace kz::view::test
