// The walk from "/" down through descriptors, each folder on it judged by the private folder's rule, and the removal
// of a tree that follows no link. Not here: the rule itself (folder_rule.cpp), what the private folder holds
// (private_folder.cpp).
#include "platform/folder_walk.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <functional>
#include <utility>

#include "platform/crt/c_numbers.h"
#include "platform/folder_rule.h"
#include "platform/path_names.h"
#include "platform/report.h"

namespace kz::platform {
namespace {

std::function<void(const std::string&)>& removal_observer() {
    static std::function<void(const std::string&)> observer;
    return observer;
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

void set_removal_observer_for_tests(std::function<void(const std::string&)> observer) {
    removal_observer() = std::move(observer);
}

}  // namespace kz::platform
