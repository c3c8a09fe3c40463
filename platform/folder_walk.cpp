// The walk from "/" down through descriptors, the private folder's rule for each folder on it, and the removal of a
// tree that follows no link. Not here: what the private folder holds (private_folder.cpp).
#include "platform/folder_walk.h"

#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <utility>

#include "platform/crt/c_numbers.h"
#include "platform/file_system.h"
#include "platform/report.h"

namespace kz::platform {
namespace {

std::function<void(const std::string&)>& removal_observer() {
    static std::function<void(const std::string&)> observer;
    return observer;
}

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
// the process (accounts added later count from the next start); a folder's holds while everything its verdict
// rests on is as it was: the same folder (device and inode), mode, owners and change time, which every change of
// its mode, owners or access list moves, judged for the same user.
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

// The entries of a POSIX access list as the kernel keeps it in "system.posix_acl_access": a 32-bit version (2),
// then per entry a 16-bit tag, 16-bit permissions and a 32-bit id, all little-endian.
constexpr std::uint16_t kAclUser = 0x02, kAclGroup = 0x08, kAclMask = 0x10;
constexpr std::uint16_t kAclWrite = 0x02;

std::uint32_t little_endian(const unsigned char* p, int bytes) {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | p[i];
    return value;
}

std::function<bool(const std::string&, std::string*)>& access_list_hook() {
    static std::function<bool(const std::string&, std::string*)> hook;
    return hook;
}

// The folder's access list, read through /proc/self/fd, as the walk's descriptors are O_PATH ones that fgetxattr
// refuses: empty when it has none (or its file system keeps none); false, with the reason in `why`, when it
// cannot be read.
bool read_access_list(int fd, const std::string& path, std::vector<unsigned char>* list, std::string* why) {
    if (std::string bytes; access_list_hook() && access_list_hook()(path, &bytes)) {
        list->assign(bytes.begin(), bytes.end());
        return true;
    }
    const std::string self = descriptor_path(fd);
    for (int attempt = 0; attempt < 4; ++attempt) {
        ssize_t size = ::getxattr(self.c_str(), "system.posix_acl_access", nullptr, 0);
        if (size >= 0) {
            list->resize(static_cast<std::size_t>(size));
            size = ::getxattr(self.c_str(), "system.posix_acl_access", list->data(), list->size());
        }
        if (size >= 0) {
            list->resize(static_cast<std::size_t>(size));
            return true;
        }
        list->clear();
        if (errno == ENODATA || errno == ENOTSUP) return true;  // none, or none on this file system
        if (errno != ERANGE) break;                             // ERANGE: it grew between the two calls
    }
    *why = with_error(" has an access list that cannot be read");
    return false;
}

// Empty when the folder's access list lets no one but the user and the user's private group write it, else who
// else may, after the folder's path: a named user or group whose entry has the write right under the mask counts
// as others, entries without it do not. One that cannot be read or understood refuses the folder.
std::string access_list_writers(int fd, const std::string& path) {
    std::vector<unsigned char> list;
    std::string why;
    if (!read_access_list(fd, path, &list, &why)) return why;
    if (list.empty()) return {};
    if (list.size() < 4 || (list.size() - 4) % 8 != 0)
        return " has an access list that is not understood (" + kz::crt::int_text(list.size()) +
               " bytes, not a version and whole entries)";
    if (little_endian(list.data(), 4) != 2)
        return " has an access list that is not understood (version " +
               kz::crt::int_text(little_endian(list.data(), 4)) + ", not 2)";
    unsigned mask = 0x07;
    for (std::size_t at = 4; at < list.size(); at += 8)
        if (little_endian(&list[at], 2) == kAclMask) mask = little_endian(&list[at + 2], 2);
    for (std::size_t at = 4; at < list.size(); at += 8) {
        const std::uint32_t tag = little_endian(&list[at], 2), id = little_endian(&list[at + 4], 4);
        if (!(little_endian(&list[at + 2], 2) & mask & kAclWrite)) continue;
        if (tag == kAclUser && id != user_id())
            return " lets another user (uid " + kz::crt::int_text(id) + ") write in it through its access list";
        if (tag == kAclGroup && !is_users_private_group(id))
            return " lets a group (gid " + kz::crt::int_text(id) + ") write in it through its access list";
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

}  // namespace

bool is_running_program(const struct stat& st) {
    struct stat self;
    return ::stat("/proc/self/exe", &self) == 0 && self.st_dev == st.st_dev && self.st_ino == st.st_ino;
}

// A new folder `name` in `dirfd` that only the user can enter; the umask narrows what mkdir makes, so the mode is
// set again, on the name itself and never through a link put in its place.
bool make_private_at(int dirfd, const char* name) {
    if (::mkdirat(dirfd, name, 0700) != 0) return false;
    ::fchmodat(dirfd, name, 0700, AT_SYMLINK_NOFOLLOW);
    return true;
}

Descriptor open_folder_at(int dirfd, const char* name, bool make_missing) {
    Descriptor folder(::openat(dirfd, name, kFolderPathFlags));
    if (!folder && errno == ENOENT && make_missing && (make_private_at(dirfd, name) || errno == EEXIST))
        folder = Descriptor(::openat(dirfd, name, kFolderPathFlags));
    return folder;
}

// The names in the folder open at `fd`, "." and ".." left out; read through a descriptor of its own, so `fd`
// stays usable.
bool list_folder(int fd, std::vector<std::string>* names) {
    DIR* d = ::fdopendir(::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!d) return false;
    while (dirent* e = ::readdir(d))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names->emplace_back(e->d_name);
    ::closedir(d);
    return true;
}

namespace {

// One removal's walk down a tree: the path of the entry at hand, kept in one string for the whole walk (for the
// test hook and the line about a tree too deep), how deep the walk is, and whether it left a folder for lying deeper
// than it goes.
struct RemovalWalk {
    std::string path;
    int depth = 0;
    bool too_deep = false;
};

// Every step names an entry relative to the descriptor of the folder that holds it and follows no link, so someone
// who renames entries meanwhile (another user holding a folder they planted) cannot point the removal anywhere
// else. Files are unlinked as they are, never opened (a FIFO would block) nor changed; a folder the user may not
// enter is opened up to the user first. One descriptor is held per level, which the depth bounds.
bool remove_walk(int dirfd, const std::string& name, RemovalWalk* walk) {
    struct stat st;
    if (::fstatat(dirfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
    if (!S_ISDIR(st.st_mode)) return !is_running_program(st) && ::unlinkat(dirfd, name.c_str(), 0) == 0;
    if (walk->depth >= kMaxRemovalDepth) {
        walk->too_deep = true;
        return false;
    }
    Descriptor folder(::openat(dirfd, name.c_str(), kFolderFlags));
    if (!folder && errno == EACCES && ::fchmodat(dirfd, name.c_str(), 0700, AT_SYMLINK_NOFOLLOW) == 0)
        folder = Descriptor(::openat(dirfd, name.c_str(), kFolderFlags));
    // Its entries go only with the owner's write and search rights on it.
    if (!folder || ::fstat(folder.get(), &st) != 0) return false;
    if ((st.st_mode & S_IRWXU) != S_IRWXU) ::fchmod(folder.get(), 0700);
    std::vector<std::string> names;
    if (!list_folder(folder.get(), &names)) return false;
    if (removal_observer()) removal_observer()(walk->path);
    bool ok = true;
    const std::size_t length = walk->path.size();
    ++walk->depth;
    for (const std::string& n : names) {
        walk->path.resize(length);
        walk->path += '/';
        walk->path += n;
        ok = remove_walk(folder.get(), n, walk) && ok;
    }
    walk->path.resize(length);
    --walk->depth;
    if (::unlinkat(dirfd, name.c_str(), AT_REMOVEDIR) == 0) return ok;
    // Something else took the emptied folder's name meanwhile: it goes as what it is now, a link as the link.
    return errno == ENOTDIR && ::unlinkat(dirfd, name.c_str(), 0) == 0 && ok;
}

}  // namespace

bool remove_entry(int dirfd, const std::string& name, const std::string& path) {
    RemovalWalk walk{path};
    const bool gone = remove_walk(dirfd, name, &walk);
    if (walk.too_deep)
        report_once(path + " holds folders more than " + kz::crt::int_text(kMaxRemovalDepth) +
                    " deep: what lies deeper is left where it is");
    return gone;
}

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

// Opens the folder at the absolute `path` from "/" down, each name relative to the folder that holds it and none
// through a link, while every folder on the way passes folder_trust: then no one else can move any of them aside
// and put their own in its place. A link is followed (its target walked the same way) only as a name in a folder
// that passed. `make_missing` makes the missing folders, each the user's alone. `reached` receives the folder's
// path with its links resolved; `why` says what failed.
Descriptor open_trusted_folder(const std::string& path, bool make_missing, std::string* reached, std::string* why) {
    std::vector<std::pair<Descriptor, std::string>> held;  // the folders from "/" down, with their paths
    const auto enter = [&](Descriptor fd, std::string at) {
        struct stat st;
        if (!fd || !stat_folder(fd.get(), at, &st))
            *why = with_error(at + " cannot be opened");
        else
            *why = folder_trust(fd.get(), at, st);
        if (why->empty()) held.emplace_back(std::move(fd), std::move(at));
        return why->empty();
    };
    if (!enter(Descriptor(::open("/", kFolderPathFlags)), "/")) return {};
    std::string root;
    std::vector<std::string> todo = split_path_components(path, &root);
    std::reverse(todo.begin(), todo.end());
    int links = 0;
    while (!todo.empty()) {
        const std::string name = std::move(todo.back());
        todo.pop_back();
        if (name == "." || (name == ".." && held.size() == 1)) continue;
        if (name == "..") {
            held.pop_back();
            continue;
        }
        const int at = held.back().first.get();
        const std::string named = join_path(held.back().second, name);
        Descriptor next = open_folder_at(at, name.c_str(), make_missing);
        const int failure = errno;
        if (!next && (failure == ELOOP || failure == ENOTDIR)) {
            char target[PATH_MAX];
            const ssize_t n = ::readlinkat(at, name.c_str(), target, sizeof target);
            if (n > 0 && ++links > 40) {  // as many as the kernel follows in one path
                *why = named + " leads through too many symbolic links";
                return {};
            }
            if (n > 0) {
                std::string absolute;
                const std::vector<std::string> more = split_path_components(std::string(target, n), &absolute);
                if (!absolute.empty()) held.erase(held.begin() + 1, held.end());
                todo.insert(todo.end(), more.rbegin(), more.rend());
                continue;
            }
        }
        errno = failure;
        if (!enter(std::move(next), named)) return {};
    }
    *reached = held.back().second;
    return std::move(held.back().first);
}

bool is_users_alone(const struct stat& st) { return st.st_uid == user_id() && (st.st_mode & (S_IRWXG | S_IRWXO)) == 0; }

Descriptor open_users_folder(const std::string& path, std::string* reached, std::string* why) {
    std::string parent, name;
    split_last_name(path, &parent, &name);
    if (path.find('/') == std::string::npos || name.empty() || name == "." || name == "..") {
        *why = path + " does not name a folder by its own name";
        return {};
    }
    std::string above_path;
    const Descriptor above = open_trusted_folder(parent, false, &above_path, why);
    if (!above) return {};
    const std::string named = join_path(above_path, name);
    Descriptor fd = open_folder_at(above.get(), name.c_str(), false);
    struct stat st;
    if (!fd) {
        const int failure = errno;
        if (::fstatat(above.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
            *why = named + " is a symbolic link";
        else if (failure == ENOENT)
            *why = named + " does not exist";
        else if (failure == ENOTDIR)
            *why = named + " is not a folder";
        else
            *why = with_error(named + " cannot be opened", failure);
        return {};
    }
    if (!stat_folder(fd.get(), named, &st))
        *why = with_error(named + " cannot be examined");
    else if (st.st_uid != user_id())
        *why = named + " belongs to another user (uid " + kz::crt::int_text(st.st_uid) + ")";
    else if (!is_users_alone(st))
        *why = named + " is open to other users";
    else {
        *reached = named;
        return fd;
    }
    return {};
}

std::string others_could_change(const std::string& native_path, std::uint64_t device, std::uint64_t inode) {
    if (native_path.empty() || native_path[0] != '/') return native_path + " is not an absolute name";
    const std::size_t slash = native_path.rfind('/');
    const std::string folder = slash == 0 ? std::string("/") : native_path.substr(0, slash);
    const std::string name = native_path.substr(slash + 1);
    std::string reached, why;
    const Descriptor fd = open_trusted_folder(folder, false, &reached, &why);
    if (!fd) return why;
    // The name was free of links when it was resolved: one met now means it changed since.
    if (reached != folder) return folder + " is no longer the folder it was";
    // The file through a descriptor of its own (O_PATH: nothing is read), whose access list is the file's.
    Descriptor file;
    if (!name.empty()) file = Descriptor(::openat(fd.get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    const int at = name.empty() ? fd.get() : file.get();
    struct stat st;
    if (at < 0 || ::fstat(at, &st) != 0) return with_error(native_path + " cannot be looked at");
    if (st.st_dev != device || st.st_ino != inode) return native_path + " is no longer the file it was";
    // Its owner may rename it even in a sticky folder, and a sticky bit says nothing of who may write in it.
    st.st_mode &= ~S_ISVTX;
    return folder_trust(at, native_path, st);
}

std::uint32_t user_id() {
    const std::int64_t hook = g_user_id_for_tests;
    return hook >= 0 ? static_cast<std::uint32_t>(hook) : static_cast<std::uint32_t>(::geteuid());
}

void set_user_id_for_tests(std::int64_t uid) { g_user_id_for_tests = uid; }

void set_folder_owner_for_tests(std::function<void(const std::string&, std::uint32_t*, std::uint32_t*)> hook) {
    owner_hook() = std::move(hook);
}

void set_access_list_for_tests(std::function<bool(const std::string&, std::string*)> hook) {
    access_list_hook() = std::move(hook);
}

void forget_folder_verdicts_for_tests() {
    Verdicts& v = verdicts();
    std::scoped_lock lock(v.folders_lock, v.groups_lock);
    v.folders.clear();
    v.groups.clear();
}

void set_removal_observer_for_tests(std::function<void(const std::string&)> observer) {
    removal_observer() = std::move(observer);
}

}  // namespace kz::platform
