// The user's own folder for the program's temporary files and its download cache, reached through folders no one
// else can change and found or made the user's alone. Not here: the walk itself and the removals (folder_walk.cpp).
#include "platform/private_folder.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/crt/c_numbers.h"
#include "platform/folder_rule.h"
#include "platform/folder_walk.h"
#include "platform/path_names.h"
#include "platform/report.h"

namespace kz::platform {

namespace {

std::string cache_home() {
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    if (xdg && xdg[0] == '/') return xdg;  // a relative one means nothing stable: the XDG rule ignores it
    const char* home = std::getenv("HOME");
    std::string h = home && home[0] == '/' ? home : "";
    if (h.empty())
        if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/') h = pw->pw_dir;
    return h.empty() ? h : join_path(h, ".cache");
}

constexpr const char* kProgramFolders[] = {"kz3d_temp", "kzview_tempp"};
constexpr std::string_view kAsidePrefix = ".aside-";

// Folders set aside in the private folder are removed in a thread of their own: a tree someone planted there may be
// deep or wide, and the start does not wait on it. The program's exit waits for it.
class SetAside {
public:
    SetAside() = default;
    ~SetAside() { wait(); }
    SetAside(const SetAside&) = delete;
    SetAside& operator=(const SetAside&) = delete;

    // Removes the entries `names` of the folder open at `folder` (whose path is `path`), later.
    void remove(Descriptor folder, std::string path, std::vector<std::string> names) {
        std::lock_guard lock(m_);
        for (const std::string& name : names) taken_.insert(join_path(path, name));
        jobs_.push_back(Job{std::move(folder), std::move(path), std::move(names)});
        if (running_) return;
        if (thread_.joinable()) thread_.join();  // it has said it ends, and holds nothing any more
        running_ = true;
        thread_ = std::thread([this] { run(); });
    }
    // Of the entries `names` of `path` that earlier looks set aside, those that no removal of this process has taken
    // up: one that could not remove an entry is not tried again (nor said again) until the next run.
    std::vector<std::string> not_taken_up(const std::string& path, const std::vector<std::string>& names) {
        std::lock_guard lock(m_);
        std::vector<std::string> left;
        for (const std::string& name : names)
            if (!taken_.count(join_path(path, name))) left.push_back(name);
        return left;
    }
    void wait() {
        std::thread finishing;
        {
            std::lock_guard lock(m_);
            finishing = std::move(thread_);
        }
        if (finishing.joinable()) finishing.join();
    }

private:
    struct Job {
        Descriptor folder;
        std::string path;
        std::vector<std::string> names;
    };
    void run() {
        for (;;) {
            Job job;
            {
                std::lock_guard lock(m_);
                if (jobs_.empty()) {
                    running_ = false;
                    return;
                }
                job = std::move(jobs_.front());
                jobs_.erase(jobs_.begin());
            }
            for (const std::string& name : job.names) {
                const std::string named = join_path(job.path, name);
                const bool gone = remove_entry(job.folder.get(), name, named);
                if (!gone)
                    report_once(named + " was set aside, and what others left in it cannot all be removed: it stays");
                std::lock_guard lock(m_);
                if (gone) taken_.erase(named);  // a later entry of that name is a new one
            }
        }
    }

    std::mutex m_;
    std::vector<Job> jobs_;
    std::set<std::string> taken_;  // entries queued, being removed, or that could not be removed
    std::thread thread_;
    bool running_ = false;
};

SetAside& set_aside() {
    static SetAside s;
    return s;
}

// Moves `name` of the folder open at `fd` aside, under a name of its own that no earlier entry has; true when
// done, with that name in `aside`.
bool move_aside(int fd, const std::string& name, std::string* aside) {
    for (int attempt = 0; attempt < 1000; ++attempt) {
        *aside =
            std::string(kAsidePrefix) + name + "-" + kz::crt::int_text(::getpid()) + "-" + kz::crt::int_text(attempt);
        if (::renameat2(fd, name.c_str(), fd, aside->c_str(), RENAME_NOREPLACE) == 0) return true;
        if (errno != EEXIST) return false;
    }
    return false;
}

// The program's two folders in the private folder open at `fd` (whose path is `folder`): each must be a folder of
// the user's alone (0700), and after others could write the private folder (`was_open`) neither is trusted,
// whatever it looks like now, and no socket there either. A folder that fails goes aside, to be removed in the
// background, and a fresh one takes its place; so does what earlier runs set aside and could not remove. False,
// with the reason in `why`, when something cannot be moved aside or made again.
bool settle_program_folders(int fd, const std::string& folder, bool was_open, std::string* why) {
    std::vector<std::string> names, left, aside;
    if (!list_folder(fd, &names)) {
        *why = with_error("it cannot be listed");
        return false;
    }
    for (const std::string& name : names) {
        struct stat st;
        if (name.compare(0, kAsidePrefix.size(), kAsidePrefix) == 0) left.push_back(name);
        if (was_open && ::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISSOCK(st.st_mode) &&
            ::unlinkat(fd, name.c_str(), 0) != 0) {
            *why = "others could write to it, and a socket they may have left there cannot be removed";
            return false;
        }
    }
    for (const std::string name : kProgramFolders) {
        struct stat st;
        if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // made when it is wanted
        if (!was_open && S_ISDIR(st.st_mode) && st.st_uid == user_id() && (st.st_mode & 07777) == 0700) continue;
        std::string moved;
        if (!move_aside(fd, name, &moved) || (!make_private_at(fd, name.c_str()) && errno != EEXIST)) {
            *why = with_error(join_path(folder, name) + " is not the user's alone and cannot be moved aside");
            return false;
        }
        aside.push_back(moved);
    }
    // What earlier runs set aside and could not remove is tried again, once in each run.
    left = set_aside().not_taken_up(folder, left);
    aside.insert(aside.end(), left.begin(), left.end());
    if (!aside.empty()) set_aside().remove(Descriptor(::openat(fd, ".", kFolderFlags)), folder, std::move(aside));
    return true;
}

}  // namespace

// The folder is reached through the folders above it, which no one else may change, and looked at through a
// descriptor opened without following a link, so what is checked and tightened is the folder itself, not whatever
// its name points to meanwhile.
Descriptor open_private_folder(std::string* path) {
    path->clear();
    const std::string home = cache_home();
    if (home.empty()) {
        report_once("no folder of the user's own for the program's files (HOME is not set); nothing is cached");
        return {};
    }
    std::string folder = join_path(home, "kzview");
    std::string why, above_path;
    Descriptor fd;
    const Descriptor above = open_trusted_folder(home, true, &above_path, &why);
    if (!above) {
        why = "others could put a folder of their own in its place (" + why + ")";
    } else if (folder = join_path(above_path, "kzview"); make_private_at(above.get(), "kzview")) {
        fd = Descriptor(::openat(above.get(), "kzview", kFolderFlags));
        if (!fd) why = with_error("it cannot be opened");
    } else {
        fd = Descriptor(::openat(above.get(), "kzview", kFolderFlags));
        struct stat st;
        if (!fd) {
            struct stat link;
            if (::fstatat(above.get(), "kzview", &link, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(link.st_mode))
                why = "it is a symbolic link";
            else if (errno == ENOTDIR)
                why = "it is not a folder";
            else
                why = with_error("it cannot be opened");
        } else if (!stat_folder(fd.get(), folder, &st)) {
            why = with_error("it cannot be examined");
        } else if (st.st_uid != user_id()) {
            why = "it belongs to another user (uid " + kz::crt::int_text(st.st_uid) + ")";
        } else if ((st.st_mode & 07777) != 0700 && ::fchmod(fd.get(), 0700) != 0) {
            why = with_error("its permissions cannot be narrowed to the user's");
        } else if (const bool was_open = (st.st_mode & 07777) != 0700 && (st.st_mode & (S_IWGRP | S_IWOTH));
                   settle_program_folders(fd.get(), folder, was_open, &why) && was_open) {
            report_once(folder + " was open to other users' writes: it is the user's alone now, and what others " +
                        "may have left under the program's names is set aside and removed");
        }
    }
    if (why.empty()) {
        *path = folder;
        return fd;
    }
    report_once("the private folder " + folder + " is not used: " + why + "; nothing is cached or downloaded");
    return {};
}

std::string private_folder() {
    std::string path;
    open_private_folder(&path);
    return path;
}

void wait_for_folder_removals() { set_aside().wait(); }

std::string temp_path() {
    const std::string folder = private_folder();
    return folder.empty() ? folder : from_native_path(folder) + "\\";
}

Descriptor open_private_folder_of(std::string_view root, std::string_view windows_path, bool make_missing,
                                  std::string* leaf, std::string* why) {
    std::string top = to_native_path(root);
    while (top.size() > 1 && top.back() == '/') top.pop_back();
    const std::string native = to_native_path(windows_path);
    if (top.empty() || native.compare(0, top.size() + 1, top + "/") != 0) {
        *why = "it would lie outside " + display_name(root);
        return {};
    }
    std::string unused;
    std::vector<std::string> names = split_path_components(native.substr(top.size() + 1), &unused);
    for (const std::string& name : names)
        if (name == "." || name == "..") {
            *why = "it would lie outside " + display_name(root);
            return {};
        }
    if (names.empty()) {
        *why = display_name(windows_path) + " names no file";
        return {};
    }
    *leaf = names.back();
    names.pop_back();
    std::string reached;
    Descriptor folder = open_trusted_folder(top, false, &reached, why);
    struct stat st;
    for (std::size_t i = 0; folder; ++i) {
        if (!stat_folder(folder.get(), reached, &st)) {
            *why = with_error(reached + " cannot be examined");
            return {};
        }
        if (!is_users_alone(st)) {
            *why = reached + " is not the user's alone";
            return {};
        }
        if (i == names.size()) return folder;
        Descriptor next = open_folder_at(folder.get(), names[i].c_str(), make_missing);
        reached = join_path(reached, names[i]);
        if (!next) *why = with_error(reached + " is not a folder of the user's");
        folder = std::move(next);
    }
    return {};
}

bool prepare_private_file(std::string_view root, std::string_view windows_path, bool* exists, std::string* why) {
    std::string leaf;
    const Descriptor folder = open_private_folder_of(root, windows_path, true, &leaf, why);
    struct stat st;
    *exists = folder && ::fstatat(folder.get(), leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
              st.st_uid == user_id();
    return bool(folder);
}

}  // namespace kz::platform
