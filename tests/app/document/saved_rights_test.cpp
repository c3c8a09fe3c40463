// One rule over every case a save meets, judged by the kernel: a unit saved by its owner, by root or by another user
// of a group-writable folder; of the saver's primary group, another group the saver is in, or one they are not in;
// in each usual mode; with no access list, or one that names a user, names a group, denies a user or masks the group
// narrower; in a folder whose default list names another account, or not; with /proc and without. Before and after
// the save each account opens the file for reading and for writing: nobody but the saver may do what they could not
// before, and what a save keeps (the owner's bits, a group the saver may give and its rights, the list, narrowed
// only where its group is lost, and the "user." attributes) is kept.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/scene/xtrunk.h"
#include "document_fixture.h"
#include "platform/dialogs.h"
#include "tests/support/access_list.h"
#include "tests/support/other_user.h"

namespace kz::view::test {
namespace {

namespace fs = std::filesystem;
namespace plat = kz::platform;

// Accounts and groups no real one uses (the kernel takes numbers that no account file lists): the files' owner, the
// other user who shares the project's folder with them, the user and group the file's lists name, and the account
// the folder's default list names.
constexpr uid_t kOwner = 47001, kOther = 47002, kNamedUser = 47020, kFolderNamed = 47022;
constexpr gid_t kOwnersGroup = 47101, kShared = 47102, kOutside = 47103, kOthersGroup = 47104, kNamedGroup = 47105;
constexpr char kFolderList[] = "u::rwx,u:47022:rw-,g::r-x,m::rwx,o::r-x";

struct Account {
    const char* name;
    uid_t uid;
    gid_t gid;
    std::vector<gid_t> groups;
};
// The accounts that judge every case: the two users, a member of each group alone, the named ones and a stranger.
const Account kJudges[] = {
    {"the owner", kOwner, kOwnersGroup, {kOwnersGroup, kShared}},
    {"the other user", kOther, kOthersGroup, {kOthersGroup, kShared}},
    {"a member of the owner's group", 47011, kOwnersGroup, {kOwnersGroup}},
    {"a member of the shared group", 47012, kShared, {kShared}},
    {"a member of the outside group", 47013, kOutside, {kOutside}},
    {"a member of the other user's group", 47014, kOthersGroup, {kOthersGroup}},
    {"a member of root's group", 47010, 0, {0}},
    {"the named user", kNamedUser, 47120, {47120}},
    {"a member of the named group", 47021, kNamedGroup, {kNamedGroup}},
    {"the folder's named user", kFolderNamed, 47122, {47122}},
    {"a stranger", 47030, 47130, {47130}},
};
constexpr int kJudgeCount = static_cast<int>(std::size(kJudges));

struct Saver {
    const char* name;
    uid_t uid;
    std::vector<gid_t> groups;  // the primary first
    int judge;                  // the saver among the judges; -1: root, whom files do not bind
};
// The project's folder is the owner's, 0775 in the shared group, which the other user is in too.
const Saver kSavers[] = {
    {"owner", kOwner, {kOwnersGroup, kShared}, 0},
    {"root", 0, {0, kShared}, -1},
    {"other", kOther, {kOthersGroup, kShared}, 1},
};
const char* const kGroupKinds[] = {"primary", "in", "not-in"};
const unsigned kModes[] = {0600, 0604, 0640, 0644, 0660, 0664};
enum ListKind { kNoList, kNamesUser, kNamesGroup, kDeniesUser, kMasksGroup };
const char* const kListKinds[] = {"none", "user", "group", "deny", "mask"};

struct Case {
    int saver, group_kind, mode, list;
    bool folder_list, without_proc;

    static constexpr int kCount = 3 * 3 * 6 * 5 * 2 * 2;
    explicit Case(int n)
        : saver(n / 360),
          group_kind(n / 120 % 3),
          mode(n / 20 % 6),
          list(n / 4 % 5),
          folder_list(n / 2 % 2),
          without_proc(n % 2) {}
    const Saver& who() const { return kSavers[saver]; }
    gid_t group() const { return group_kind == 0 ? who().groups[0] : group_kind == 1 ? kShared : kOutside; }
    unsigned bits() const { return kModes[mode]; }
    std::string family() const {
        return std::string(who().name) + " / " + kGroupKinds[group_kind] + " / " + (without_proc ? "no proc" : "proc");
    }
    std::string label() const {
        char text[96];
        std::snprintf(text, sizeof text, "%-5s %-6s %04o %-5s %-6s %-7s", who().name, kGroupKinds[group_kind], bits(),
                      kListKinds[list], folder_list ? "folder" : "-", without_proc ? "no-proc" : "proc");
        return text;
    }
};

std::string rwx(unsigned rights) {
    return std::string(rights & 4 ? "r" : "-") + (rights & 2 ? "w" : "-") + (rights & 1 ? "x" : "-");
}

// The mask of a list of `kind` whose owning group's entry is `g` (as the entries' union sets it, or narrower).
unsigned mask_of(unsigned g, int kind) {
    return kind == kDeniesUser ? g : kind == kMasksGroup ? (g & 2 ? g & 4 : 0) : g | 6;
}

// The file's access list of `kind` in the kernel's order: the owner's entry from the mode, the owning group's and
// others' as given, the mask from the mode's group bits as `kind` sets it.
std::string list_of(unsigned mode, int kind, unsigned group_entry, unsigned other_entry) {
    const std::string user = ",u:" + std::to_string(kNamedUser), group = ",g::" + rwx(group_entry),
                      rest = ",m::" + rwx(mask_of(mode >> 3 & 7, kind)) + ",o::" + rwx(other_entry);
    switch (kind) {
    case kNamesUser: return "u::" + rwx(mode >> 6 & 7) + user + ":rw-" + group + rest;
    case kNamesGroup: return "u::" + rwx(mode >> 6 & 7) + group + ",g:" + std::to_string(kNamedGroup) + ":rw-" + rest;
    case kDeniesUser: return "u::" + rwx(mode >> 6 & 7) + user + ":---" + group + rest;
    case kMasksGroup: return "u::" + rwx(mode >> 6 & 7) + user + ":rw-" + group + rest;
    default: return "";
    }
}
std::string list_of(unsigned mode, int kind) { return list_of(mode, kind, mode >> 3 & 7, mode & 7); }

std::string octal(unsigned mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", mode);
    return text;
}

std::string rights_text(int rights) { return rights == 6 ? "rw" : rights == 4 ? "r" : rights == 2 ? "w" : "-"; }

std::string account_name(uid_t uid) {
    return uid == kOwner ? "owner" : uid == kOther ? "other" : uid == 0 ? "root" : std::to_string(uid);
}
std::string group_name(gid_t gid) {
    return gid == kOwnersGroup   ? "owner's"
           : gid == kShared      ? "shared"
           : gid == kOutside     ? "outside"
           : gid == kOthersGroup ? "other's"
           : gid == 0            ? "root's"
                                 : std::to_string(gid);
}

// What one case came to, filled in by the children that judge and save (shared memory, so plain fields).
struct Outcome {
    bool edited;                                  // the saver could read the unit, so it was edited and saved
    int before[kJudgeCount], after[kJudgeCount];  // the rights each account had; -1: not judged
    unsigned mode;
    uid_t uid;
    gid_t gid;
    char list[192];
    int asked, failed_box;
    bool written, attribute;
    char errors[200];
};

void copy_text(char* to, std::size_t size, const std::string& text) { std::snprintf(to, size, "%s", text.c_str()); }

// The cases one save takes together: all those of one saver with /proc or without, each a unit of one model in the
// project's folder, in a folder below it with the default list or without.
struct Family {
    int saver;
    bool without_proc;
};

std::string unit_name(int n) {
    char name[16];
    std::snprintf(name, sizeof name, "u%04d.fig", n);
    return name;
}
std::string unit_path(const std::string& dir, const Case& c, int n) {
    return dir + (c.folder_list ? "/listed/" : "/plain/") + unit_name(n);
}

class SavedRights : public DocumentTest {
public:
    void SetUp() override {
        DocumentTest::SetUp();
        plat::set_dialog_test_mode(true);
        plat::take_dialog_test_log();
    }
    void TearDown() override {
        plat::set_dialog_test_mode(false);
        DocumentTest::TearDown();
    }

    // The family's folders and units below `dir` (each case's index `n` in its name), read by the view; an empty
    // text when all could be set up, else what could not.
    std::string set_up(const std::vector<std::pair<int, Case>>& cases, const std::string& dir) {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
        for (const char* folder : {"", "/plain", "/listed"}) {
            const std::string path = dir + folder;
            if (!fs::create_directory(path) || ::chown(path.c_str(), kOwner, kShared) || ::chmod(path.c_str(), 0775))
                return path + ": " + std::strerror(errno);
        }
        if (!kz::test::set_default_access_list(dir + "/listed", kFolderList))
            return dir + "/listed: " + std::strerror(errno);
        std::string model = trunk_line("top") + "\r\n";
        for (const auto& [n, c] : cases) {
            const std::string name = unit_name(n), file = unit_path(dir, c, n);
            model +=
                trunk_line(name, std::string("#frefer=") + (c.folder_list ? "listed\\" : "plain\\") + name) + "\r\n";
            write_file(file, lines({trunk_line(name + " item")}));
            // Made by root in the folder, it starts from its default list: it gets only its own.
            const std::string list = list_of(c.bits(), c.list);
            if (::chown(file.c_str(), kOwner, c.group()) || ::chmod(file.c_str(), c.bits()) ||
                (::removexattr(file.c_str(), "system.posix_acl_access") != 0 && errno != ENODATA) ||
                (!list.empty() && !kz::test::set_access_list(file, list)) ||
                ::setxattr(file.c_str(), "user.kz-note", "kept", 4, 0) != 0)
                return file + ": " + std::strerror(errno);
        }
        write_file(dir + "/model.fig", model);
        view->camera.immediate_eye_move = 1;
        if (view->OpenModel(windows_form(dir + "/model.fig").c_str()) != 1) return dir + "/model.fig: not opened";
        return "";
    }

    // The family's units judged by every account in a child (root, one thread), edited where the saver can read
    // them, saved by the saver in a child, and judged again; an empty text when all of it ran, else what did not.
    std::string judge_and_save(const Family& family, const std::vector<std::pair<int, Case>>& cases,
                               const std::string& dir, Outcome* out) {
        std::vector<std::string> files;
        for (const auto& [n, c] : cases) files.push_back(unit_path(dir, c, n));
        const auto judge = [&](bool after) {
            return kz::test::run_in_child(
                "the accounts judge", [] { return true; },
                [&] {
                    for (std::size_t i = 0; i < files.size(); ++i)
                        for (int j = 0; j < kJudgeCount; ++j)
                            (after ? out[i].after : out[i].before)[j] =
                                kz::test::rights_as(files[i].c_str(), kJudges[j].uid, kJudges[j].gid,
                                                    kJudges[j].groups.data(), kJudges[j].groups.size());
                });
        };
        if (const ::testing::AssertionResult judged = judge(false); !judged) return judged.message();
        const Saver& saver = kSavers[family.saver];
        const double to[3] = {125.5, 0, 0};
        for (std::size_t i = 0; i < cases.size(); ++i) {
            // Nobody edits what they cannot read.
            out[i].edited = saver.judge < 0 || (out[i].before[saver.judge] >= 0 && out[i].before[saver.judge] & 4);
            if (out[i].edited)
                find_item(view, (unit_name(cases[i].first) + " item").c_str())->SetPlacement(to, nullptr);
        }
        testing::internal::CaptureStderr();
        const ::testing::AssertionResult saved = kz::test::run_in_child(
            "the save",
            [&] {
                // Without /proc: an empty file system over it, in a mount namespace of the saver's own.
                const bool proc_as_asked =
                    !family.without_proc ||
                    (::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                     ::mount("none", "/proc", "tmpfs", 0, nullptr) == 0);
                return proc_as_asked && ::setgroups(saver.groups.size(), saver.groups.data()) == 0 &&
                       ::setgid(saver.groups[0]) == 0 && ::setuid(saver.uid) == 0;
            },
            [&] {
                plat::DialogTestAnswers answers;
                answers.message_box = plat::IDOK;
                plat::set_dialog_test_mode(true, answers);
                view->SaveModel();
                for (const std::string& shown : plat::take_dialog_test_log())
                    for (std::size_t i = 0; i < cases.size(); ++i)
                        if (shown.find(unit_name(cases[i].first)) != std::string::npos)
                            ++(shown.find("書き出し失敗") != std::string::npos ? out[i].failed_box : out[i].asked);
            });
        const std::string errors = testing::internal::GetCapturedStderr();
        if (!saved) return std::string(saved.message()) + "\n" + errors;
        if (const ::testing::AssertionResult judged = judge(true); !judged) return judged.message();
        for (std::size_t i = 0; i < cases.size(); ++i) {
            struct stat st = {};
            if (::stat(files[i].c_str(), &st) != 0) return files[i] + ": " + std::strerror(errno);
            out[i].mode = st.st_mode & 07777;
            out[i].uid = st.st_uid;
            out[i].gid = st.st_gid;
            copy_text(out[i].list, sizeof out[i].list, kz::test::access_list(files[i]));
            char note[8] = {};
            out[i].attribute =
                ::getxattr(files[i].c_str(), "user.kz-note", note, sizeof note) == 4 && !std::strcmp(note, "kept");
            out[i].written = read_all(files[i]).find("125.5") != std::string::npos;
        }
        std::istringstream said(errors);
        for (std::string line; std::getline(said, line);)
            for (std::size_t i = 0; i < cases.size(); ++i)
                if (line.find(unit_name(cases[i].first)) != std::string::npos && !*out[i].errors)
                    copy_text(out[i].errors, sizeof out[i].errors, line);
        return "";
    }

    void run_matrix(const std::string& root, const std::string& table_path);
};

// Each way a case strays from the rule: a short kind, the same over the cases of a family, and what was seen.
struct Stray {
    std::string kind, seen;
};

std::vector<Stray> strays_of(const Case& c, const Outcome& out) {
    std::vector<Stray> strays;
    const Saver& saver = c.who();
    const unsigned mode = c.bits(), g = mode >> 3 & 7, o = mode & 7;
    const gid_t group = c.group();
    const bool group_kept = saver.uid == 0 || std::count(saver.groups.begin(), saver.groups.end(), group);
    // A group not kept leaves its members others: the new group and others get what both had (with a list, the
    // old group's members had its entry under the mask).
    const unsigned both = g & o, both_listed = both & mask_of(g, c.list);
    const unsigned want_mode = group_kept ? mode : (mode & 0700) | both << 3 | both;
    const std::string want_list = group_kept ? list_of(mode, c.list) : list_of(mode, c.list, both, both_listed);
    for (int j = 0; j < kJudgeCount; ++j) {
        if (out.before[j] < 0 || out.after[j] < 0) {
            strays.push_back({std::string(kJudges[j].name) + " not judged", "its identity could not be taken"});
            continue;
        }
        const int gained = out.after[j] & ~out.before[j];
        if (j != saver.judge && gained)
            strays.push_back({std::string(kJudges[j].name) + " gained " + rights_text(gained),
                              rights_text(out.before[j]) + " -> " + rights_text(out.after[j])});
    }
    char seen[96];
    std::snprintf(seen, sizeof seen, "%04o %s:%s", out.mode, account_name(out.uid).c_str(),
                  group_name(out.gid).c_str());
    if (!out.written || out.asked || out.failed_box)
        strays.push_back({"not written without a question", std::string(out.written ? "written" : "not written") +
                                                                ", asked " + std::to_string(out.asked) + ", failed " +
                                                                std::to_string(out.failed_box)});
    if (out.uid != (saver.uid == kOther ? kOther : kOwner)) strays.push_back({"owner", seen});
    if (out.gid != (group_kept ? group : saver.groups[0])) strays.push_back({"group", seen});
    if ((out.mode & 07700) != (mode & 0700)) strays.push_back({"the owner's bits", seen});
    if (c.list == kNoList && out.mode != want_mode)
        strays.push_back({"the mode", std::string(seen) + ", want " + octal(want_mode)});
    if (out.list != want_list)
        strays.push_back({c.list == kNoList ? "a list where the file had none" : "the list",
                          "'" + std::string(out.list) + "', want '" + want_list + "'"});
    if (!out.attribute) strays.push_back({"the user attribute", "lost"});
    return strays;
}

// One line of the table: the case, and what its unit was after the save.
std::string table_line(const Case& c, const Outcome& out) {
    if (!out.edited) return c.label() + " | not saved: the saver cannot read the file";
    std::string gains;
    for (int j = 0; j < kJudgeCount; ++j)
        if (const int gained = out.after[j] & ~out.before[j]; gained > 0 && out.before[j] >= 0 && j != c.who().judge)
            gains += std::string(gains.empty() ? "" : "; ") + kJudges[j].name + " +" + rights_text(gained);
    char head[64];
    std::snprintf(head, sizeof head, "%04o %s:%s", out.mode, account_name(out.uid).c_str(),
                  group_name(out.gid).c_str());
    return c.label() + " | " + head + ", list " + (*out.list ? out.list : "none") + ", attribute " +
           (out.attribute ? "kept" : "lost") + ", asked " + std::to_string(out.asked) + ", failed " +
           std::to_string(out.failed_box) + ", " + (out.written ? "written" : "not written") + ", gained " +
           (gains.empty() ? "-" : gains) + ", stderr " + (*out.errors ? out.errors : "-");
}

void SavedRights::run_matrix(const std::string& root, const std::string& table_path) {
    std::vector<std::string> table(Case::kCount, "");
    // Per family (saver, group, /proc): each kind of stray, how many cases, and the first one seen.
    std::map<std::string, std::map<std::string, std::pair<int, std::string>>> families;
    int saved = 0, unreadable = 0, not_run = 0;
    std::string not_set_up;
    for (int saver = 0; saver < 3; ++saver) {
        for (const bool without_proc : {false, true}) {
            const Family family{saver, without_proc};
            std::vector<std::pair<int, Case>> cases;
            for (int n = 0; n < Case::kCount; ++n)
                if (Case c(n); c.saver == saver && c.without_proc == without_proc) cases.emplace_back(n, c);
            const std::size_t bytes = cases.size() * sizeof(Outcome);
            auto* out = static_cast<Outcome*>(
                ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
            ASSERT_NE(out, MAP_FAILED);
            const std::string dir = root + "/project";
            std::string why = set_up(cases, dir);
            if (why.empty()) why = judge_and_save(family, cases, dir, out);
            if (!why.empty()) {
                not_run += static_cast<int>(cases.size());
                not_set_up += std::string("\n  ") + kSavers[saver].name + (without_proc ? ", no proc: " : ": ") + why;
            }
            for (std::size_t i = 0; i < cases.size(); ++i) {
                const auto& [n, c] = cases[i];
                if (!why.empty()) {
                    table[n] = c.label() + " | not run";
                    continue;
                }
                table[n] = table_line(c, out[i]);
                if (!out[i].edited) {
                    ++unreadable;
                    continue;
                }
                ++saved;
                for (const Stray& s : strays_of(c, out[i])) {
                    auto& [count, first] = families[c.family()][s.kind];
                    if (!count++) first = c.label() + ": " + s.seen;
                }
            }
            ::munmap(out, bytes);
        }
    }
    std::ofstream file(table_path);
    file << "saver group  mode  list  folder proc    | saved mode owner:group, list, user attribute, questions,"
            " write-failed boxes, written, accounts that gained, standard error\n";
    for (const std::string& line : table) file << line << "\n";
    file << Case::kCount << " cases: " << saved << " saved, " << unreadable
         << " not saved as the saver cannot read the file (nobody edits it), " << not_run << " not run\n";
    for (const auto& [family, strays] : families) {
        std::ostringstream said;
        for (const auto& [kind, seen] : strays)
            said << "\n  " << kind << ": " << seen.first << " cases, first " << seen.second;
        ADD_FAILURE() << family << said.str();
    }
    EXPECT_EQ(not_run, 0) << "cases that could not run:" << not_set_up;
    EXPECT_EQ(saved + unreadable + not_run, Case::kCount);
}

// The whole matrix runs in a copy of this program with a file system of its own (a tmpfs, which keeps lists and
// "user." attributes) in a mount namespace of its own; it writes its table of cases beside this test's output.
TEST_F(SavedRights, NoAccountButTheSaverGainsAndWhatASaveKeepsIsKeptInEveryCase) {
    if (const char* root = std::getenv("KZ_RIGHTS_ROW")) return run_matrix(root, std::getenv("KZ_RIGHTS_TABLE"));
    if (::geteuid() != 0)
        GTEST_SKIP() << "no case run: only root mounts a file system that keeps lists, gives files to other "
                        "accounts and opens them as those accounts";
    char made[] = "/tmp/kz-rights-XXXXXX";  // a folder every account may enter wherever the tests run
    ASSERT_NE(::mkdtemp(made), nullptr);
    ASSERT_EQ(::chmod(made, 0755), 0);
    const std::string log = kz::test::output_file("saved-rights.log"),
                      table = kz::test::output_file("saved_rights_matrix.txt");
    const std::string run = std::string("PATH=$PATH:/usr/sbin:/sbin unshare --mount --propagation private sh -c ") +
                            "'mount -t tmpfs -o mode=0755 none " + made + " && exec env KZ_RIGHTS_ROW=" + made +
                            " KZ_RIGHTS_TABLE=" + table + " KZ_TEST_OUTPUT=" + log + ".d " + kz::test::self_path() +
                            " --gtest_filter=SavedRights.*' >" + log + " 2>&1";
    EXPECT_EQ(std::system(run.c_str()), 0) << read_all(log);
    ::rmdir(made);
    const std::string cases = read_all(table);
    std::cout << cases.substr(cases.rfind('\n', cases.size() - 2) + 1);
}

}  // namespace
}  // namespace kz::view::test
