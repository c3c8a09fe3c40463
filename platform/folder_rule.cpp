// The private folder's rule for one folder, kept as a verdict while the folder stays as it was, and the accounts and
// access lists it reads. Not here: the walk from "/" that takes every folder on a path to it (folder_walk.cpp).
#include "platform/folder_rule.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/access_list.h"
#include "platform/crt/c_numbers.h"
#include "platform/descriptor.h"
#include "platform/report.h"

namespace kz::platform {
namespace {

std::atomic<std::int64_t> g_user_id_for_tests{-1};

std::function<void(const std::string&, std::uint32_t*, std::uint32_t*)>& owner_hook() {
    static std::function<void(const std::string&, std::uint32_t*, std::uint32_t*)> hook;
    return hook;
}

// Whether an account other than the user's has `gid` for its primary group, as far as the system lists its
// accounts: a directory service that does not enumerate its users hides theirs. One that cannot be read whole
// counts as shared. The list is read through one stream for the whole process: the caller holds the groups' lock.
bool primary_group_of_another(std::uint32_t gid) {
    std::vector<char> text(1 << 14);
    passwd pw;
    passwd* found = nullptr;
    bool shared = false;
    ::setpwent();
    while (!shared) {
        const int failure = ::getpwent_r(&pw, text.data(), text.size(), &found);
        if (failure == ERANGE && text.size() < (std::size_t(1) << 20)) {
            text.resize(text.size() * 2);  // the same entry comes again
            continue;
        }
        if (failure == ENOENT || (failure == 0 && !found)) break;
        shared = failure != 0 || (pw.pw_gid == gid && pw.pw_uid != user_id());
    }
    ::endpwent();
    return shared;
}

// What the process has judged, kept until it ends: a system with many accounts takes seconds to list them, and a
// folder is judged at every look at the private folder (every cached unit of a model). A group's verdict holds for
// the process (an account given the group, or a member added to it, counts from the next start); a folder's holds
// while everything its verdict rests on is as it was: the same folder (device and inode), mode, owners and change
// time, which every change of its mode, owners or access list moves, judged for the same user.
struct FolderKey {
    std::uint64_t device, inode;
    std::int64_t changed_s, changed_ns;
    std::uint32_t mode, uid, gid, user;
    auto operator<=>(const FolderKey&) const = default;
};

struct Verdicts {
    std::mutex folders_lock, groups_lock;
    std::map<FolderKey, std::string> folders;  // why others could change what the folder holds; empty: no one
    std::map<std::pair<std::uint32_t, std::uint32_t>, bool> groups;  // (group, user): the user's private group
};

Verdicts& verdicts() {
    static Verdicts v;
    return v;
}

// As many folder verdicts as a process keeps; past it they are judged afresh.
constexpr std::size_t kMaxFolderVerdicts = 4096;

// Whether the group is the user's own private one: the user's primary group, named as the user, with no other
// member and no other account's primary group. Systems that give each user such a group set a umask that lets the
// group write (~/.cache is 0775). Judged once for each group; callers wait while it is judged.
bool is_users_private_group(std::uint32_t gid) {
    Verdicts& v = verdicts();
    std::lock_guard lock(v.groups_lock);
    const auto key = std::pair(gid, user_id());
    if (const auto kept = v.groups.find(key); kept != v.groups.end()) return kept->second;
    std::vector<char> user_text(1 << 14), group_text(1 << 16);
    passwd pw;
    passwd* user = nullptr;
    group gr;
    group* found = nullptr;
    // A group too large for the buffer has other members anyway.
    const bool private_group =
        ::getpwuid_r(user_id(), &pw, user_text.data(), user_text.size(), &user) == 0 && user && pw.pw_gid == gid &&
        ::getgrgid_r(gid, &gr, group_text.data(), group_text.size(), &found) == 0 && found &&
        std::strcmp(gr.gr_name, pw.pw_name) == 0 && (!gr.gr_mem || !gr.gr_mem[0]) && !primary_group_of_another(gid);
    v.groups.emplace(key, private_group);
    return private_group;
}

std::function<bool(const std::string&, std::string*)>& access_list_hook() {
    static std::function<bool(const std::string&, std::string*)> hook;
    return hook;
}

// Empty when the folder's access list lets no one but the user and the user's private group write it, else who
// else may, after the folder's path: a named user or group whose entry has the write right under the mask counts
// as others, entries without it do not. One that cannot be read or understood refuses the folder.
std::string access_list_writers(int fd, const std::string& path) {
    std::string list;
    if (!access_list_hook() || !access_list_hook()(path, &list)) {
        if (!read_access_list(fd, &list)) return with_descriptor_error(" has an access list that cannot be read");
    }
    if (list.empty()) return {};
    std::vector<AccessEntry> entries;
    std::string why;
    if (!access_entries(list, &entries, &why)) return " has an access list that is not understood (" + why + ")";
    unsigned mask = 0x07;
    for (const AccessEntry& e : entries)
        if (e.tag == kAclMask) mask = e.rights;
    for (const AccessEntry& e : entries) {
        if (!(e.rights & mask & kAclWrite)) continue;
        if (e.tag == kAclUser && e.id != user_id())
            return " lets another user (uid " + kz::crt::int_text(e.id) + ") write in it through its access list";
        if (e.tag == kAclGroup && !is_users_private_group(e.id))
            return " lets a group (gid " + kz::crt::int_text(e.id) + ") write in it through its access list";
    }
    return {};
}

// Empty when no one but the user and root can rename or replace what the folder open at `fd` holds, else why not,
// after the folder's path: it must be the user's or root's, and one that others may write must be sticky (which
// keeps them off the user's names in it); its group may write it only when that is the user's private group, and
// so may the users and groups its access list names.
std::string judge_folder(int fd, const std::string& path, const struct stat& st) {
    if (st.st_uid != user_id() && st.st_uid != 0)
        return " belongs to another user (uid " + kz::crt::int_text(st.st_uid) + ")";
    if (st.st_mode & S_ISVTX) return {};
    if (st.st_mode & S_IWOTH) return " lets every user write in it";
    if ((st.st_mode & S_IWGRP) && !is_users_private_group(st.st_gid))
        return " lets its group (gid " + kz::crt::int_text(st.st_gid) + ") write in it";
    return access_list_writers(fd, path);
}

}  // namespace

std::uint32_t user_id() {
    const std::int64_t hook = g_user_id_for_tests;
    return hook >= 0 ? static_cast<std::uint32_t>(hook) : static_cast<std::uint32_t>(::geteuid());
}

void set_user_id_for_tests(std::int64_t uid) { g_user_id_for_tests = uid; }

// The folder open at `fd` as the checks see it: its owner is the one a test set for its path, where one did.
bool stat_folder(int fd, const std::string& path, struct stat* st) {
    if (::fstat(fd, st) != 0) return false;
    if (owner_hook()) {
        std::uint32_t uid = st->st_uid, gid = st->st_gid;
        owner_hook()(path, &uid, &gid);
        st->st_uid = uid;
        st->st_gid = gid;
    }
    return true;
}

void set_folder_owner_for_tests(std::function<void(const std::string&, std::uint32_t*, std::uint32_t*)> hook) {
    owner_hook() = std::move(hook);
}

// judge_folder's verdict with the folder's path in front, judged once while the folder stays as it was.
std::string folder_trust(int fd, const std::string& path, const struct stat& st) {
    const FolderKey key{static_cast<std::uint64_t>(st.st_dev),        static_cast<std::uint64_t>(st.st_ino),
                        static_cast<std::int64_t>(st.st_ctim.tv_sec), static_cast<std::int64_t>(st.st_ctim.tv_nsec),
                        static_cast<std::uint32_t>(st.st_mode),       static_cast<std::uint32_t>(st.st_uid),
                        static_cast<std::uint32_t>(st.st_gid),        user_id()};
    Verdicts& v = verdicts();
    std::string why;
    {
        std::lock_guard lock(v.folders_lock);
        const auto kept = v.folders.find(key);
        if (kept != v.folders.end()) return kept->second.empty() ? std::string() : path + kept->second;
    }
    why = judge_folder(fd, path, st);
    std::lock_guard lock(v.folders_lock);
    if (v.folders.size() >= kMaxFolderVerdicts) v.folders.clear();
    v.folders.emplace(key, why);
    return why.empty() ? why : path + why;
}

bool is_users_alone(const struct stat& st) { return st.st_uid == user_id() && (st.st_mode & (S_IRWXG | S_IRWXO)) == 0; }

void set_access_list_for_tests(std::function<bool(const std::string&, std::string*)> hook) {
    access_list_hook() = std::move(hook);
}

void forget_folder_verdicts_for_tests() {
    Verdicts& v = verdicts();
    std::scoped_lock lock(v.folders_lock, v.groups_lock);
    v.folders.clear();
    v.groups.clear();
}

}  // namespace kz::platform
