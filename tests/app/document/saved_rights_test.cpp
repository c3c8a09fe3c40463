// One rule over every case a save meets, judged by the kernel: a unit saved by its owner, by root, by another user
// of a group-writable folder or by the user its list names, who may write it or not; of the saver's primary group,
// another group the saver is in, or one they are not in; in each usual mode; with no access list, or one that names a
// user, names a group, denies a user, denies a group or masks the group narrower; in a folder whose default list
// names another account, or not; with /proc and without; the file read, or another file put under its name since
// (without a list or with one, denying an account, a colleague's); and new files. Before and after the save each
// account opens the file for reading and for writing: nobody but the saver may do what they could not before (with
// the file read and with the one there), and what a save keeps is kept, as the accounts' rights before say.
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
constexpr char kFolderList[] = "u::rwx,u:47022:rw-,g::r-x,m::rwx,o::r-x", kMinimalList[] = "u::rwx,g::r-x,o::---";

struct Account {
    const char* name;
    uid_t uid;
    gid_t gid;
    std::vector<gid_t> groups;
};
// The accounts that judge every case: the two users, a member of each group alone, the named ones (the named user
// shares the project's folder too) and a stranger.
const Account kJudges[] = {
    {"the owner", kOwner, kOwnersGroup, {kOwnersGroup, kShared}},
    {"the other user", kOther, kOthersGroup, {kOthersGroup, kShared}},
    {"a member of the owner's group", 47011, kOwnersGroup, {kOwnersGroup}},
    {"a member of the shared group", 47012, kShared, {kShared}},
    {"a member of the outside group", 47013, kOutside, {kOutside}},
    {"a member of the other user's group", 47014, kOthersGroup, {kOthersGroup}},
    {"a member of root's group", 47010, 0, {0}},
    {"the named user", kNamedUser, 47120, {47120, kShared}},
    {"a member of the named group", 47021, kNamedGroup, {kNamedGroup}},
    {"the folder's named user", kFolderNamed, 47122, {47122}},
    {"a stranger", 47030, 47130, {47130}},
    {"a member of the owner's group and the named group", 47024, kOwnersGroup, {kOwnersGroup, kNamedGroup}},
};
constexpr int kJudgeCount = static_cast<int>(std::size(kJudges));
enum Judge {
    kTheOwner,
    kTheOther,
    kOwnersMember,
    kOutsideMember = 4,
    kTheNamedUser = 7,
    kNamedMember,
    kStranger = 10,
    kOwnersAndNamedMember
};

struct Saver {
    const char* name;
    uid_t uid;
    std::vector<gid_t> groups;  // the primary first
    int judge;                  // the saver among the judges; -1: root, whom files do not bind
};
// The project's folder is the owner's, 0775 in the shared group, which every saver is in.
const Saver kSavers[] = {
    {"owner", kOwner, {kOwnersGroup, kShared}, kTheOwner},
    {"root", 0, {0, kShared}, -1},
    {"other", kOther, {kOthersGroup, kShared}, kTheOther},
    {"named", kNamedUser, {47120, kShared}, kTheNamedUser},
};
enum SaverKind { kByOwner, kByRoot, kByOther, kByNamed };
const char* const kGroupKinds[] = {"primary", "in", "not-in"};
const unsigned kModes[] = {0600, 0604, 0640, 0644, 0660, 0664};
enum ListKind { kNoList, kNamesUser, kNamesGroup, kDeniesUser, kMasksGroup, kDeniesGroup };
const char* const kListKinds[] = {"none", "user", "group", "deny", "mask", "deny-g"};
// What is put under the unit's name after it was read: nothing, or a file of the owner in the same group (0666 with
// no list; 0664 shown, with a list that denies a named group; 0644 with one that denies the named user), or a
// colleague's (the other user's 0644 without a list, which the owner may not write; 0666 with one that names the named
// user); or the file is gone.
enum SwapKind { kNoSwap, kWider, kListed, kDenying, kColleagues, kColleaguesNaming, kGone };
const char* const kSwapKinds[] = {"-", "wider", "listed", "denying", "coll", "coll-u", "gone"};
bool of_one_owner(int swap) { return swap != kColleagues && swap != kColleaguesNaming; }

struct Case {
    int saver, group_kind;
    unsigned mode;
    int list;
    bool folder_list, without_proc;
    int swap;

    const Saver& who() const { return kSavers[saver]; }
    gid_t group() const { return group_kind == 0 ? who().groups[0] : group_kind == 1 ? kShared : kOutside; }
    std::string family() const {
        return std::string(who().name) + " / " + kGroupKinds[group_kind] + " / " + (without_proc ? "no proc" : "proc") +
               (swap ? " / another file" : "");
    }
    std::string label() const {
        char text[112];
        std::snprintf(text, sizeof text, "%-5s %-7s %04o %-6s %-6s %-7s %-7s", who().name, kGroupKinds[group_kind],
                      mode, kListKinds[list], folder_list ? "folder" : "-", without_proc ? "no-proc" : "proc",
                      kSwapKinds[swap]);
        return text;
    }
};

// Every case: the file read by each saver in every combination; another file put there, for the owner and root,
// over the modes and lists that differ there.
std::vector<Case> all_cases() {
    std::vector<Case> cases;
    for (int saver = 0; saver < 4; ++saver)
        for (const bool without_proc : {false, true})
            for (int group = 0; group < 3; ++group)
                for (const unsigned mode : kModes)
                    for (int list = 0; list < 6; ++list)
                        for (const bool folder : {false, true})
                            cases.push_back({saver, group, mode, list, folder, without_proc, kNoSwap});
    for (const int saver : {kByOwner, kByRoot})
        for (int group = 0; group < 3; ++group)
            for (const unsigned mode : {0640u, 0644u, 0664u})
                for (const int list : {kNoList, kNamesUser, kDeniesUser, kDeniesGroup})
                    for (int swap = kWider; swap <= kGone; ++swap)
                        cases.push_back({saver, group, mode, list, false, false, swap});
    return cases;
}

std::string rwx(unsigned rights) {
    return std::string(rights & 4 ? "r" : "-") + (rights & 2 ? "w" : "-") + (rights & 1 ? "x" : "-");
}

// The mask of a list of `kind` on a file of `mode`: the entries' union, or narrower.
unsigned mask_of(unsigned mode, int kind) {
    const unsigned g = mode >> 3 & 7;
    return kind == kDeniesUser || kind == kDeniesGroup ? g : kind == kMasksGroup ? (g & 2 ? g & 4 : 0) : g | 6;
}
// The mode a file of `mode` shows with a list of `kind`: its group bits are the mask's.
unsigned shown_mode(unsigned mode, int kind) {
    return kind == kNoList ? mode : (mode & 0707) | mask_of(mode, kind) << 3;
}

// The file's access list of `kind` in the kernel's order: the owner's and owning group's entries from the mode, the
// mask as `kind` sets it, others' from the mode.
std::string list_of(unsigned mode, int kind) {
    const unsigned g = mode >> 3 & 7, mask = mask_of(mode, kind);
    const std::string user = "u::" + rwx(mode >> 6 & 7), named = ",u:" + std::to_string(kNamedUser),
                      group = ",g::" + rwx(g), named_group = ",g:" + std::to_string(kNamedGroup),
                      rest = ",m::" + rwx(mask) + ",o::" + rwx(mode & 7);
    switch (kind) {
    case kNamesUser:
    case kMasksGroup: return user + named + ":rw-" + group + rest;
    case kNamesGroup: return user + group + named_group + ":rw-" + rest;
    case kDeniesUser: return user + named + ":---" + group + rest;
    case kDeniesGroup: return user + group + named_group + ":---" + rest;
    default: return "";
    }
}

// The file put under the name: its owner, group, mode and list.
struct Swap {
    uid_t owner;
    gid_t group;
    unsigned mode;
    std::string list;
};
Swap swap_of(const Case& c) {
    const std::string named = std::to_string(kNamedUser), group = std::to_string(kNamedGroup);
    switch (c.swap) {
    case kWider: return {kOwner, c.group(), 0666, ""};
    case kListed: return {kOwner, c.group(), 0664, "u::rw-,g::r--,g:" + group + ":---,m::rw-,o::r--"};
    case kDenying: return {kOwner, c.group(), 0644, "u::rw-,u:" + named + ":---,g::r--,m::r--,o::r--"};
    case kColleagues: return {kOther, kOthersGroup, 0644, ""};
    default: return {kOther, kOthersGroup, 0666, "u::rw-,u:" + named + ":rw-,g::r--,m::rw-,o::rw-"};  // naming
    }
}

std::string octal(unsigned mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", mode & 07777);
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

// What the accounts could do with a file: each one's rights, -1 where its identity could not be taken.
struct Rights {
    int of[kJudgeCount];
};

// What one case came to, filled in by the children that judge and save (shared memory, so plain fields).
struct Outcome {
    bool edited;  // the saver could read the unit, so it was edited and saved
    // What the accounts could do with the file read, with the file there when saved (the file read, or another put
    // there since) and with the file saved.
    Rights before, there, after;
    unsigned mode;
    uid_t uid;
    gid_t gid;
    char list[192];
    int asked;  // the questions that named its file
    bool written, attribute;
    char errors[200];
};

void copy_text(char* to, std::size_t size, const std::string& text) { std::snprintf(to, size, "%s", text.c_str()); }

std::string unit_name(int n) {
    char name[16];
    std::snprintf(name, sizeof name, "u%04d.fig", n);
    return name;
}
std::string unit_path(const std::string& dir, const Case& c, int n) {
    return dir + (c.folder_list ? "/listed/" : "/plain/") + unit_name(n);
}

// Each account judges the files (in a child: root, one thread, allocating nothing), into `at(i)` for the file i.
template <typename At>
::testing::AssertionResult judge_files(const std::vector<std::string>& files, At at) {
    return kz::test::run_in_child(
        "the accounts judge", [] { return true; },
        [&] {
            for (std::size_t i = 0; i < files.size(); ++i)
                for (int j = 0; j < kJudgeCount; ++j)
                    at(i).of[j] = kz::test::rights_as(files[i].c_str(), kJudges[j].uid, kJudges[j].gid,
                                                      kJudges[j].groups.data(), kJudges[j].groups.size());
        });
}

// Runs `body` in a child as the saver, without /proc where asked (an empty file system over it, in a mount
// namespace of the saver's own).
template <typename Body>
::testing::AssertionResult as_saver(const Saver& saver, bool without_proc, Body&& body) {
    return kz::test::run_in_child(
        std::string("the save by ") + saver.name,
        [&] {
            const bool proc_as_asked =
                !without_proc ||
                (::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                 ::mount("none", "/proc", "tmpfs", 0, nullptr) == 0);
            return proc_as_asked && ::setgroups(saver.groups.size(), saver.groups.data()) == 0 &&
                   ::setgid(saver.groups[0]) == 0 && ::setuid(saver.uid) == 0;
        },
        body);
}

// The project's folder and those below it: plain, one whose default list names an account, one with that default
// that the shared group may write but not read, one whose default list is its mode's.
bool make_folders(const std::string& dir, std::string* why) {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    const struct {
        const char* name;
        unsigned mode;
        const char* list;
    } folders[] = {{"", 0775, nullptr},
                   {"/plain", 0775, nullptr},
                   {"/listed", 0775, kFolderList},
                   {"/unread", 0730, kFolderList},
                   {"/minimal", 0775, kMinimalList}};
    for (const auto& f : folders) {
        const std::string path = dir + f.name;
        if (!fs::create_directory(path) || ::chown(path.c_str(), kOwner, kShared) ||
            (f.list && !kz::test::set_default_access_list(path, f.list)) || ::chmod(path.c_str(), f.mode))
            return *why = path + ": " + std::strerror(errno), false;
    }
    return true;
}

// Gives the file at `path` its owner, group, mode and list, without the one its folder gave it.
bool set_rights(const std::string& path, uid_t owner, gid_t group, unsigned mode, const std::string& list) {
    return ::chown(path.c_str(), owner, group) == 0 && ::chmod(path.c_str(), mode) == 0 &&
           (::removexattr(path.c_str(), "system.posix_acl_access") == 0 || errno == ENODATA) &&
           (list.empty() || kz::test::set_access_list(path, list));
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
        std::string why;
        if (!make_folders(dir, &why)) return why;
        std::string model = trunk_line("top") + "\r\n";
        for (const auto& [n, c] : cases) {
            const std::string name = unit_name(n), file = unit_path(dir, c, n);
            model +=
                trunk_line(name, std::string("#frefer=") + (c.folder_list ? "listed\\" : "plain\\") + name) + "\r\n";
            write_file(file, lines({trunk_line(name + " item")}));
            // Made by root in the folder, it starts from its default list: it gets only its own.
            if (!set_rights(file, kOwner, c.group(), c.mode, list_of(c.mode, c.list)) ||
                ::setxattr(file.c_str(), "user.kz-note", "kept", 4, 0) != 0)
                return file + ": " + std::strerror(errno);
        }
        write_file(dir + "/model.fig", model);
        view->camera.immediate_eye_move = 1;
        if (view->OpenModel(windows_form(dir + "/model.fig").c_str()) != 1) return dir + "/model.fig: not opened";
        return "";
    }

    // The family's units judged by every account, edited where the saver can read them, another file put under the
    // name where the case says, judged again, saved by the saver in a child (every question answered yes), and judged
    // once more; an empty text when all of it ran, else what did not.
    std::string judge_and_save(const Saver& saver, bool without_proc, const std::vector<std::pair<int, Case>>& cases,
                               const std::string& dir, Outcome* out, int* boxes) {
        std::vector<std::string> files;
        for (const auto& [n, c] : cases) files.push_back(unit_path(dir, c, n));
        if (const auto judged = judge_files(files, [out](std::size_t i) -> Rights& { return out[i].before; }); !judged)
            return judged.message();
        const double to[3] = {125.5, 0, 0};
        for (std::size_t i = 0; i < cases.size(); ++i) {
            // Nobody edits what they cannot read.
            out[i].edited =
                saver.judge < 0 || (out[i].before.of[saver.judge] >= 0 && out[i].before.of[saver.judge] & 4);
            if (out[i].edited)
                find_item(view, (unit_name(cases[i].first) + " item").c_str())->SetPlacement(to, nullptr);
            if (const Case& c = cases[i].second; c.swap == kGone) {
                if (::unlink(files[i].c_str()) != 0) return files[i] + ": " + std::strerror(errno);
            } else if (c.swap != kNoSwap) {
                // Made beside it and renamed over it, as cp -a or rsync -A restore a file.
                const Swap s = swap_of(c);
                const std::string made = files[i] + ".new";
                write_file(made, read_all(files[i]));
                if (!set_rights(made, s.owner, s.group, s.mode, s.list) || ::rename(made.c_str(), files[i].c_str()))
                    return made + ": " + std::strerror(errno);
            }
        }
        if (const auto judged = judge_files(files, [out](std::size_t i) -> Rights& { return out[i].there; }); !judged)
            return judged.message();
        // A file gone bounds nobody.
        for (std::size_t i = 0; i < cases.size(); ++i)
            if (cases[i].second.swap == kGone) out[i].there = out[i].before;
        testing::internal::CaptureStderr();
        const ::testing::AssertionResult saved = as_saver(saver, without_proc, [&] {
            plat::DialogTestAnswers answers;
            answers.message_box = plat::IDOK;
            plat::set_dialog_test_mode(true, answers);
            view->SaveModel();
            // The failure box names no file: the family's boxes are counted.
            for (const std::string& shown : plat::take_dialog_test_log()) {
                if (shown.find("書き出し失敗") != std::string::npos) ++*boxes;
                for (std::size_t i = 0; i < cases.size(); ++i)
                    if (shown.find(unit_name(cases[i].first)) != std::string::npos) ++out[i].asked;
            }
        });
        const std::string errors = testing::internal::GetCapturedStderr();
        if (!saved) return std::string(saved.message()) + "\n" + errors;
        if (const auto judged = judge_files(files, [out](std::size_t i) -> Rights& { return out[i].after; }); !judged)
            return judged.message();
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

    std::string new_files(const std::string& dir, std::vector<std::string>* table, std::vector<std::string>* strays);
    void run_matrix(const std::string& root, const std::string& table_path);
};

// Each way a case strays from the rule: a short kind, the same over the cases of a family, and what was seen.
struct Stray {
    std::string kind, seen;
};

// What the accounts may do after the save, by what the kernel let each do before: -1 where only the rule's bound
// holds (nobody gains). A saver who may not write the file leaves it untouched; one who may but cannot give it back
// rewrites it in place; a group kept keeps everything. A group the saver cannot give (the owner saving a file of a
// group they are not in) leaves the owner, the accounts its list names and the named group's members what they
// had; others what both others and the old group's members had; the new group's members that, and no more than
// the named group's members of the new group had. Another file under the name: each account no more than with both
// files (the same rule over both, where both are the owner's without lists); where either has a list or they have
// different owners, the new owner alone keeps anything.
// Whether the save keeps the owner's bits alone: another file under the name where either has a list, or where the
// owners differ.
bool owner_alone(const Case& c) {
    return c.swap != kNoSwap && (c.list != kNoList || (c.swap != kWider && c.swap != kGone));
}

// Whether the saver may write the file there when saving, by the kernel's answer (root always may).
bool may_write(const Case& c, const Outcome& out) { return c.who().judge < 0 || out.there.of[c.who().judge] & 2; }

std::vector<int> expected_rights(const Case& c, const Outcome& out) {
    std::vector<int> had(kJudgeCount), want(kJudgeCount, -1);
    for (int j = 0; j < kJudgeCount; ++j) had[j] = out.before.of[j] & out.there.of[j];
    const Saver& saver = c.who();
    const bool group_given = saver.uid == 0 || std::count(saver.groups.begin(), saver.groups.end(), c.group());
    // Not written: the file there stays as it is.
    if (!may_write(c, out)) return std::vector<int>(std::begin(out.there.of), std::end(out.there.of));
    if (owner_alone(c)) {
        // The owner of both files keeps what both gave it; of the colleague's, the owner saving has what it has.
        const int owner = saver.uid == kOwner || of_one_owner(c.swap) ? kTheOwner : -1;
        for (int j = 0; j < kJudgeCount; ++j)
            if (j != owner && j != saver.judge) want[j] = 0;
        if (of_one_owner(c.swap)) want[kTheOwner] = had[kTheOwner];
        return want;
    }
    // A file gone: what the kernel would give a new file there is not judged; only the bound holds.
    if (c.swap == kGone) return want;
    if (saver.uid != kOwner || group_given) return had;
    // Linux looks at a list only where its mask is not empty: with an empty one, named accounts are others.
    const bool masked = mask_of(c.mode, c.list) != 0;
    const bool names_user = masked && (c.list == kNamesUser || c.list == kDeniesUser || c.list == kMasksGroup);
    const bool names_group = masked && (c.list == kNamesGroup || c.list == kDeniesGroup);
    const int rest = had[kStranger] & had[kOutsideMember];
    for (int j = 0; j < kJudgeCount; ++j) {
        const Account& a = kJudges[j];
        const auto in = [&a](gid_t g) { return std::count(a.groups.begin(), a.groups.end(), g) > 0; };
        if (j == kTheOwner || (j == kTheNamedUser && names_user) || (names_group && in(kNamedGroup)))
            want[j] = had[j];
        else
            want[j] = in(kOwnersGroup) ? rest & had[kOwnersAndNamedMember] : rest;
    }
    return want;
}

std::vector<Stray> strays_of(const Case& c, const Outcome& out) {
    std::vector<Stray> strays;
    const Saver& saver = c.who();
    for (int j = 0; j < kJudgeCount; ++j) {
        if (out.before.of[j] < 0 || out.there.of[j] < 0 || out.after.of[j] < 0) {
            strays.push_back({std::string(kJudges[j].name) + " not judged", "its identity could not be taken"});
            return strays;
        }
    }
    const std::vector<int> want = expected_rights(c, out);
    const bool refused = !may_write(c, out);
    for (int j = 0; j < kJudgeCount; ++j) {
        const int had = out.before.of[j] & out.there.of[j], gained = out.after.of[j] & ~had;
        if (j != saver.judge && gained && !refused)
            strays.push_back({std::string(kJudges[j].name) + " gained " + rights_text(gained),
                              rights_text(had) + " -> " + rights_text(out.after.of[j])});
        else if (want[j] >= 0 && out.after.of[j] != want[j])
            strays.push_back({std::string(kJudges[j].name) + " not as the rule keeps",
                              rights_text(out.after.of[j]) + ", want " + rights_text(want[j])});
    }
    char seen[96];
    std::snprintf(seen, sizeof seen, "%04o %s:%s", out.mode, account_name(out.uid).c_str(),
                  group_name(out.gid).c_str());
    // A file the saver may not write is not written, and a line names it (the family counts the failure boxes).
    if (out.written == refused || out.asked != (c.swap != kNoSwap) ||
        (refused && std::strstr(out.errors, "could not be written") == nullptr))
        strays.push_back({refused ? "written though the saver may not write it, or unsaid" : "not written as asked",
                          std::string(out.written ? "written" : "not written") + ", asked " +
                              std::to_string(out.asked) + ", stderr " + (*out.errors ? out.errors : "-")});
    if (refused) return strays;
    if (c.swap == kNoSwap) {
        // The file read: its owner, group, list, mode and attribute, where nothing narrowed them.
        const bool group_kept = saver.uid != kOwner || std::count(saver.groups.begin(), saver.groups.end(), c.group());
        if (out.uid != kOwner) strays.push_back({"owner", seen});
        if (out.gid != (group_kept ? c.group() : saver.groups[0])) strays.push_back({"group", seen});
        if (group_kept && (out.mode != shown_mode(c.mode, c.list) || out.list != list_of(c.mode, c.list)))
            strays.push_back({"mode or list", std::string(seen) + " '" + out.list + "'"});
        if (c.list == kNoList && *out.list) strays.push_back({"a list where the file had none", out.list});
        if (!out.attribute) strays.push_back({"the user attribute", "lost"});
    } else if (owner_alone(c)) {
        if (*out.list) strays.push_back({"a list though the owner alone keeps anything", out.list});
        if (std::strstr(out.errors, "for its owner alone") == nullptr)
            strays.push_back({"the owner alone kept and not said", *out.errors ? out.errors : "nothing said"});
    } else if (*out.list) {
        strays.push_back({"a list where neither file had one", out.list});
    }
    return strays;
}

// One line of the table: the case, and what its unit was after the save, with what each account could do with the
// file read, the file there when saved, and the file saved.
std::string table_line(const Case& c, const Outcome& out) {
    if (!out.edited) return c.label() + " | not saved: the saver cannot read the file";
    std::string gains, each;
    for (int j = 0; j < kJudgeCount; ++j) {
        // Nothing written: the file there is what the accounts have.
        const int had = out.written ? out.before.of[j] & out.there.of[j] : out.there.of[j];
        if (const int gained = out.after.of[j] & ~had; gained > 0 && had >= 0 && j != c.who().judge)
            gains += std::string(gains.empty() ? "" : "; ") + kJudges[j].name + " +" + rights_text(gained);
        each += " " + rights_text(out.before.of[j]) + (c.swap ? "/" + rights_text(out.there.of[j]) : "") + ">" +
                rights_text(out.after.of[j]);
    }
    char head[64];
    std::snprintf(head, sizeof head, "%04o %s:%s", out.mode, account_name(out.uid).c_str(),
                  group_name(out.gid).c_str());
    return c.label() + " | " + head + ", list " + (*out.list ? out.list : "none") + ", attribute " +
           (out.attribute ? "kept" : "lost") + ", asked " + std::to_string(out.asked) + ", " +
           (out.written ? "written" : "not written") + ", gained " + (gains.empty() ? "-" : gains) + ", accounts" +
           each + ", stderr " + (*out.errors ? out.errors : "-");
}

// New files, by each saver, in each folder: each gets what the kernel gives a file the saver makes there with 0666,
// as touch does (a file made so beside it judges); an empty text when all of it ran.
std::string SavedRights::new_files(const std::string& dir, std::vector<std::string>* table,
                                   std::vector<std::string>* strays) {
    std::string why;
    if (!make_folders(dir, &why)) return why;
    for (const Saver& saver : kSavers) {
        for (const char* folder : {"plain", "listed", "unread", "minimal"}) {
            const std::string made = dir + "/" + folder + "/new-" + saver.name + ".fig",
                              touched = dir + "/" + folder + "/touched-" + saver.name;
            view->NewModel();
            add_item(0, "first");
            const ::testing::AssertionResult saved = as_saver(saver, false, [&] {
                plat::DialogTestAnswers answers;
                answers.file_name = windows_form(made);
                plat::set_dialog_test_mode(true, answers);
                EXPECT_EQ(view->SaveModel(), 1);
                const int fd = ::open(touched.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
                EXPECT_GE(fd, 0) << touched;
                if (fd >= 0) ::close(fd);
            });
            if (!saved) return saved.message();
            auto* rights = static_cast<Rights*>(
                ::mmap(nullptr, 2 * sizeof(Rights), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
            const ::testing::AssertionResult judged =
                judge_files({made, touched}, [rights](std::size_t i) -> Rights& { return rights[i]; });
            const Rights got = rights[0], want = rights[1];
            ::munmap(rights, 2 * sizeof(Rights));
            if (!judged) return judged.message();
            struct stat a = {}, b = {};
            ::stat(made.c_str(), &a), ::stat(touched.c_str(), &b);
            std::string line = std::string(saver.name) + " " + folder + " | " + octal(a.st_mode) + " list '" +
                               kz::test::access_list(made) + "', touch " + octal(b.st_mode) + " list '" +
                               kz::test::access_list(touched) + "', accounts";
            bool same = (a.st_mode & 07777) == (b.st_mode & 07777) &&
                        kz::test::access_list(made) == kz::test::access_list(touched);
            for (int j = 0; j < kJudgeCount; ++j) {
                same = same && got.of[j] == want.of[j];
                line += " " + rights_text(got.of[j]) +
                        (got.of[j] == want.of[j] ? "" : "(touch " + rights_text(want.of[j]) + ")");
            }
            table->push_back(line);
            if (!same) strays->push_back("new file not as touch makes it: " + line);
        }
    }
    return "";
}

void SavedRights::run_matrix(const std::string& root, const std::string& table_path) {
    const std::vector<Case> cases = all_cases();
    std::vector<std::string> table(cases.size(), "");
    // Per family (saver, group, /proc, another file): each kind of stray, how many cases, and the first one seen.
    std::map<std::string, std::map<std::string, std::pair<int, std::string>>> families;
    int saved = 0, unreadable = 0, not_run = 0;
    std::string not_set_up;
    for (int saver = 0; saver < 4; ++saver) {
        for (const bool without_proc : {false, true}) {
            for (const bool swapped : {false, true}) {
                std::vector<std::pair<int, Case>> family;
                for (std::size_t n = 0; n < cases.size(); ++n)
                    if (const Case& c = cases[n];
                        c.saver == saver && c.without_proc == without_proc && (c.swap != kNoSwap) == swapped)
                        family.emplace_back(static_cast<int>(n), c);
                if (family.empty()) continue;
                // The outcomes, and after them the failure boxes the save showed.
                const std::size_t bytes = family.size() * sizeof(Outcome) + sizeof(int);
                auto* out = static_cast<Outcome*>(
                    ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
                ASSERT_NE(out, MAP_FAILED);
                int* boxes = reinterpret_cast<int*>(out + family.size());
                const std::string dir = root + "/project";
                std::string why = set_up(family, dir);
                if (why.empty()) why = judge_and_save(kSavers[saver], without_proc, family, dir, out, boxes);
                int refused = 0;
                if (!why.empty()) {
                    not_run += static_cast<int>(family.size());
                    not_set_up += "\n  " + family[0].second.family() + ": " + why;
                }
                for (std::size_t i = 0; i < family.size(); ++i) {
                    const auto& [n, c] = family[i];
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
                    refused += !may_write(c, out[i]);
                    for (const Stray& s : strays_of(c, out[i])) {
                        auto& [count, first] = families[c.family()][s.kind];
                        if (!count++) first = c.label() + ": " + s.seen;
                    }
                }
                // One failure box for each file the saver may not write.
                if (why.empty() && *boxes != refused)
                    families[std::string(kSavers[saver].name) + (without_proc ? " / no proc" : " / proc") +
                             (swapped ? " / another file" : "")]["failure boxes"] = {
                        1, std::to_string(*boxes) + ", want " + std::to_string(refused)};
                ::munmap(out, bytes);
            }
        }
    }
    std::vector<std::string> made, made_strays;
    if (const std::string why = new_files(root + "/new", &made, &made_strays); !why.empty())
        not_set_up += "\n  new files: " + why;
    std::ofstream file(table_path);
    file << "saver group   mode list   folder proc    put    | saved mode owner:group, list, user attribute, questions,"
            " written, accounts that gained, each account's rights (read/there>saved), standard error\n";
    for (const std::string& line : table) file << line << "\n";
    for (const std::string& line : made) file << "new file: " << line << "\n";
    file << cases.size() << " cases: " << saved << " saved, " << unreadable
         << " not saved as the saver cannot read the file (nobody edits it), " << not_run << " not run; " << made.size()
         << " new files\n";
    for (const auto& [family, strays] : families) {
        std::ostringstream said;
        for (const auto& [kind, seen] : strays)
            said << "\n  " << kind << ": " << seen.first << " cases, first " << seen.second;
        ADD_FAILURE() << family << said.str();
    }
    for (const std::string& stray : made_strays) ADD_FAILURE() << stray;
    EXPECT_EQ(not_run, 0) << "cases that could not run:" << not_set_up;
    EXPECT_EQ(made.size(), 16u) << not_set_up;
    EXPECT_EQ(saved + unreadable + not_run, static_cast<int>(cases.size()));
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
