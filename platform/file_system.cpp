// Windows-form paths mapped onto the POSIX file system, with Windows' case-insensitive name lookup
// and safe replacing writes. Not here: locking (but for the writers' own temporary files), sharing modes, ACLs;
// other drive letters and UNC names are missing.
#include "platform/file_system.h"

#include <QString>

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <utility>

#include "platform/crt/c_numbers.h"
#include "platform/crt/mbcs.h"
#include "platform/descriptor.h"
#include "platform/text_codec.h"

namespace kz::platform {
namespace {

std::vector<std::string>& extra_temp_roots() {
    static std::vector<std::string> roots;
    return roots;
}

bool lstat_ok(const std::string& p, struct stat* st) { return ::lstat(p.c_str(), st) == 0; }
bool stat_ok(const std::string& p, struct stat* st) { return ::stat(p.c_str(), st) == 0; }

std::vector<std::string> split_components(const std::string& native, std::string* root) {
    root->assign(!native.empty() && native[0] == '/' ? 1 : 0, '/');
    std::vector<std::string> parts;
    std::size_t i = 0;
    while (i < native.size()) {
        std::size_t j = native.find('/', i);
        if (j == std::string::npos) j = native.size();
        if (j > i) parts.push_back(native.substr(i, j - i));
        i = j + 1;
    }
    return parts;
}

std::string join(const std::string& base, const std::string& name) {
    if (base.empty()) return name;
    if (base.back() == '/') return base + name;
    return base + "/" + name;
}

// The spelling of `name` inside `folder`: exact when it exists, else the case-insensitive match first in byte
// order (so the choice does not depend on the order the directory lists its entries).
std::string match_in_folder(const std::string& folder, const std::string& name) {
    struct stat st;
    const std::string dir = folder.empty() ? "." : folder;
    if (name == "." || name == ".." || lstat_ok(join(folder, name), &st)) return name;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return {};
    const QString wanted = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    std::string best;
    while (dirent* e = ::readdir(d)) {
        const std::string entry = e->d_name;
        if (entry == "." || entry == "..") continue;
        if (QString::compare(QString::fromUtf8(entry.data(), static_cast<qsizetype>(entry.size())), wanted,
                             Qt::CaseInsensitive) == 0 &&
            (best.empty() || entry < best))
            best = entry;
    }
    ::closedir(d);
    return best;
}

// Resolves every component but the last; the last is matched when `last_must_exist`, else kept when missing.
std::string resolve(std::string_view windows_path, bool last_must_exist) {
    const std::string native = to_native_path(windows_path);
    if (native.empty()) return {};
    std::string root;
    const std::vector<std::string> parts = split_components(native, &root);
    std::string path = root;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::string found = match_in_folder(path, parts[i]);
        if (found.empty()) {
            if (i + 1 == parts.size() && !last_must_exist)
                found = parts[i];
            else
                return {};
        }
        path = join(path, found);
    }
    if (path.empty()) return ".";
    return path;
}

bool is_running_program(const struct stat& st) {
    struct stat self;
    return ::stat("/proc/self/exe", &self) == 0 && self.st_dev == st.st_dev && self.st_ino == st.st_ino;
}

std::uint64_t to_file_time(const struct timespec& t) {
    // 1601-01-01 to 1970-01-01 in 100-ns units
    constexpr std::uint64_t kEpochDelta = 116444736000000000ULL;
    return kEpochDelta + static_cast<std::uint64_t>(t.tv_sec) * 10000000ULL +
           static_cast<std::uint64_t>(t.tv_nsec) / 100;
}

FileInfo info_from_stat(const struct stat& st, const std::string& name_utf8) {
    FileInfo info;
    info.directory = S_ISDIR(st.st_mode);
    info.read_only = (st.st_mode & S_IWUSR) == 0;
    info.size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
    info.write_time = to_file_time(st.st_mtim);
    info.name = utf8_name_to_cp932(name_utf8);
    return info;
}

bool wildcard_match(const QString& pattern, qsizetype pi, const QString& name, qsizetype ni) {
    while (pi < pattern.size()) {
        const QChar c = pattern.at(pi);
        if (c == u'*') {
            for (qsizetype k = ni; k <= name.size(); ++k)
                if (wildcard_match(pattern, pi + 1, name, k)) return true;
            return false;
        }
        if (ni >= name.size()) return false;
        if (c != u'?' && c != name.at(ni)) return false;
        ++pi, ++ni;
    }
    return ni == name.size();
}

std::string real_path(const std::string& p) {
    char buffer[PATH_MAX];
    return ::realpath(p.c_str(), buffer) ? std::string(buffer) : std::string();
}

std::function<void(const std::string&)>& removal_observer() {
    static std::function<void(const std::string&)> observer;
    return observer;
}

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// A new folder `name` in `dirfd` that only the user can enter; the umask narrows what mkdir makes, so the mode is
// set again, on the name itself and never through a link put in its place.
bool make_private_at(int dirfd, const char* name) {
    if (::mkdirat(dirfd, name, 0700) != 0) return false;
    ::fchmodat(dirfd, name, 0700, AT_SYMLINK_NOFOLLOW);
    return true;
}

bool make_private(const std::string& native) { return make_private_at(AT_FDCWD, native.c_str()); }

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

// Removes `name` of the folder open at `dirfd`, with everything in it when it is a folder. Every step names an
// entry relative to the descriptor of the folder that holds it and follows no link, so someone who renames
// entries meanwhile (another user holding a folder they planted) cannot point the removal anywhere else. Files are
// unlinked as they are, never opened (a FIFO would block) nor changed; a folder the user may not enter is opened
// up to the user first. `path` names the entry for the test hook only. True when the name is gone.
bool remove_entry(int dirfd, const std::string& name, const std::string& path) {
    struct stat st;
    if (::fstatat(dirfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
    if (!S_ISDIR(st.st_mode)) return !is_running_program(st) && ::unlinkat(dirfd, name.c_str(), 0) == 0;
    Descriptor folder(::openat(dirfd, name.c_str(), kFolderFlags));
    if (!folder && errno == EACCES && ::fchmodat(dirfd, name.c_str(), 0700, AT_SYMLINK_NOFOLLOW) == 0)
        folder = Descriptor(::openat(dirfd, name.c_str(), kFolderFlags));
    // Its entries go only with the owner's write and search rights on it.
    if (!folder || ::fstat(folder.get(), &st) != 0) return false;
    if ((st.st_mode & S_IRWXU) != S_IRWXU) ::fchmod(folder.get(), 0700);
    std::vector<std::string> names;
    if (!list_folder(folder.get(), &names)) return false;
    if (removal_observer()) removal_observer()(path);
    bool ok = true;
    for (const std::string& n : names) ok = remove_entry(folder.get(), n, join(path, n)) && ok;
    if (::unlinkat(dirfd, name.c_str(), AT_REMOVEDIR) == 0) return ok;
    // Something else took the emptied folder's name meanwhile: it goes as what it is now, a link as the link.
    return errno == ENOTDIR && ::unlinkat(dirfd, name.c_str(), 0) == 0 && ok;
}

std::function<void(const std::string&, std::uint32_t*, std::uint32_t*)>& owner_hook() {
    static std::function<void(const std::string&, std::uint32_t*, std::uint32_t*)> hook;
    return hook;
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

// Whether the group is the user's own private one: the user's primary group, named as the user, with no other
// member. Systems that give each user such a group set a umask that lets the group write (~/.cache is 0775).
bool is_users_private_group(std::uint32_t gid) {
    std::vector<char> user_text(1 << 14), group_text(1 << 16);
    passwd pw;
    passwd* user = nullptr;
    group gr;
    group* found = nullptr;
    // A group too large for the buffer has other members anyway.
    return ::getpwuid_r(user_id(), &pw, user_text.data(), user_text.size(), &user) == 0 && user && pw.pw_gid == gid &&
           ::getgrgid_r(gid, &gr, group_text.data(), group_text.size(), &found) == 0 && found &&
           std::strcmp(gr.gr_name, pw.pw_name) == 0 && (!gr.gr_mem || !gr.gr_mem[0]);
}

// Empty when no one but the user and root can rename or replace what the folder holds, else why not: it must be
// the user's or root's, and one that others may write must be sticky (which keeps them off the user's names in it);
// its group may write it only when that is the user's private group.
std::string folder_trust(const std::string& path, const struct stat& st) {
    if (st.st_uid != user_id() && st.st_uid != 0)
        return path + " belongs to another user (uid " + kz::crt::int_text(st.st_uid) + ")";
    if (st.st_mode & S_ISVTX) return {};
    if (st.st_mode & S_IWOTH) return path + " lets every user write in it";
    if ((st.st_mode & S_IWGRP) && !is_users_private_group(st.st_gid))
        return path + " lets its group (gid " + kz::crt::int_text(st.st_gid) + ") write in it";
    return {};
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
            *why = at + " cannot be opened (" + std::strerror(errno) + ")";
        else
            *why = folder_trust(at, st);
        if (why->empty()) held.emplace_back(std::move(fd), std::move(at));
        return why->empty();
    };
    // Only a path to each folder, which needs no right to read it (a home folder may be 0711).
    constexpr int kPathFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    if (!enter(Descriptor(::open("/", kPathFlags)), "/")) return {};
    std::string root;
    std::vector<std::string> todo = split_components(path, &root);
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
        const std::string named = join(held.back().second, name);
        Descriptor next(::openat(at, name.c_str(), kPathFlags));
        if (!next && errno == ENOENT && make_missing && (make_private_at(at, name.c_str()) || errno == EEXIST))
            next = Descriptor(::openat(at, name.c_str(), kPathFlags));
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
                const std::vector<std::string> more = split_components(std::string(target, n), &absolute);
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

// A Windows path already in UTF-8 to its POSIX form; empty when it has no place here.
std::string posix_form(std::string p) {
    if (p.empty()) return {};
    std::replace(p.begin(), p.end(), '\\', '/');
    if (p.size() >= 2 && p[0] == '/' && p[1] == '/') return {};  // UNC
    if (p.size() >= 2 && p[1] == ':' && std::isalpha(static_cast<unsigned char>(p[0]))) {
        if (p[0] != 'Z' && p[0] != 'z') return {};
        std::string rest = p.substr(2);
        if (rest.empty() || rest[0] != '/') rest.insert(rest.begin(), '/');  // "Z:a" is relative to Z:'s root here
        return rest;
    }
    return p;
}

}  // namespace

std::string to_native_path(std::string_view windows_path) { return posix_form(cp932_name_to_utf8(windows_path)); }

std::string from_native_path(std::string_view native_path) {
    std::string p(native_path);
    std::replace(p.begin(), p.end(), '/', '\\');
    if (!p.empty() && p[0] == '\\') p = "Z:" + p;
    return utf8_name_to_cp932(p);
}

namespace {

bool is_separator(char c) { return c == '/' || c == '\\'; }

bool starts_nocase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

// A POSIX name in the program's form: every separator outside double-byte characters a "/".
std::string with_forward_slashes(std::string_view name) {
    std::string out(name);
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (kz::crt::is_sjis_lead(static_cast<unsigned char>(out[i])) && i + 1 < out.size())
            ++i;
        else if (out[i] == '\\')
            out[i] = '/';
    }
    return out;
}

}  // namespace

std::string file_url_local_name(std::string_view name) {
    if (!starts_nocase(name, "file:")) return std::string(name);
    const std::string_view rest = name.substr(5);
    std::size_t separators = 0;
    while (separators < rest.size() && is_separator(rest[separators])) ++separators;
    if (separators == 1 || separators == 3) return with_forward_slashes(rest.substr(separators - 1));
    if (separators == 2) {
        const std::string_view host = rest.substr(2);
        if (starts_nocase(host, "localhost") && (host.size() == 9 || is_separator(host[9])))
            return host.size() == 9 ? std::string("/") : with_forward_slashes(host.substr(9));
        const bool drive = host.size() >= 2 && host[1] == ':' && std::isalpha(static_cast<unsigned char>(host[0]));
        if (!drive) return {};
    }
    return std::string(name.size() > 7 ? name.substr(7) : std::string_view());
}

std::string display_name(std::string_view name) {
    // An address, and a "file:" name that is no file here, as written, with the separators of an address.
    const bool url = starts_nocase(name, "http:") || starts_nocase(name, "file:");
    const std::string as_written = cp932_name_to_shown_utf8(url ? with_forward_slashes(name) : std::string(name));
    if (starts_nocase(name, "http:")) return as_written;
    const std::string shown = cp932_name_to_shown_utf8(file_url_local_name(name), posix_form);
    return shown.empty() ? as_written : shown;
}

std::string resolve_existing(std::string_view windows_path) { return resolve(windows_path, true); }
std::string resolve_for_write(std::string_view windows_path) { return resolve(windows_path, false); }

namespace {

// Opens a regular file without ever blocking: the open itself does not wait (a FIFO with no writer would hold the
// caller for good), and the kind is taken from the opened descriptor, not from the name, which may change under
// us. `size` receives the file's size.
FilePtr open_regular(std::string_view windows_path, std::string* why, std::uint64_t* size) {
    const std::string native = resolve_existing(windows_path);
    if (native.empty()) {
        if (why) *why = "not found";
        return nullptr;
    }
    const int fd = ::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (why) *why = std::strerror(errno);
        return nullptr;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        if (why) *why = "not a regular file (a folder, device or pipe)";
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* f = ::fdopen(fd, "rb");
    if (!f) {
        ::close(fd);
        if (why) *why = "cannot be opened";
        return nullptr;
    }
    if (size) *size = static_cast<std::uint64_t>(st.st_size);
    return FilePtr(f);
}

}  // namespace

FilePtr open_for_reading(std::string_view windows_path) { return open_regular(windows_path, nullptr, nullptr); }

bool read_whole_file(std::string_view windows_path, std::string* bytes, std::size_t limit, std::string* why) {
    std::uint64_t size = 0;
    FilePtr f = open_regular(windows_path, why, &size);
    if (!f || !bytes) return false;
    const std::string too_large = "larger than " + kz::crt::int_text(limit >> 20) + " MiB, not read";
    if (size > limit) {
        if (why) *why = too_large;
        return false;
    }
    bytes->clear();
    bytes->reserve(static_cast<std::size_t>(size));
    char buffer[65536];
    std::size_t n;
    // The size is checked again while reading: a file that grows meanwhile still stops at the limit.
    while ((n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0) {
        if (bytes->size() + n > limit) {
            if (why) *why = too_large;
            return false;
        }
        bytes->append(buffer, n);
    }
    if (std::ferror(f.get())) {
        if (why) *why = "read error";
        return false;
    }
    return true;
}

std::string landing_path(std::string_view windows_path) {
    const std::string native = to_native_path(windows_path);
    if (native.empty()) return {};
    std::string lead;
    const std::vector<std::string> parts = split_components(native, &lead);
    // The part that exists is resolved by the system (symlinks included); what follows it is only named.
    std::string existing = lead.empty() ? std::string(".") : lead;
    std::string rest;
    for (const std::string& part : parts) {
        if (part == "." || part == "..") return {};
        const std::string found = rest.empty() ? match_in_folder(existing, part) : std::string();
        if (!found.empty()) {
            existing = join(existing, found);
        } else {
            rest = rest.empty() ? part : rest + "/" + part;
        }
    }
    std::string placed = real_path(existing);
    if (placed.empty()) return {};
    if (!rest.empty()) placed = join(placed, rest);
    return placed;
}

std::string confined_path(std::string_view folder, std::string_view windows_path) {
    const std::string root = real_path(resolve_existing(folder));
    const std::string placed = landing_path(windows_path);
    if (root.empty() || placed.empty()) return {};
    if (placed.compare(0, root.size() + 1, root + "/") != 0 && !(root == "/" && placed.size() > 1)) return {};
    return placed;
}

bool make_confined_folders(std::string_view folder, std::string_view windows_path) {
    const std::string target = confined_path(folder, windows_path);
    const std::string root = real_path(resolve_existing(folder));
    if (target.empty()) return false;
    // Every folder between the root and the file's own name, made where missing; each must be a real folder.
    for (std::size_t slash = target.find('/', root.size() + 1); slash != std::string::npos;
         slash = target.find('/', slash + 1)) {
        const std::string step = target.substr(0, slash);
        struct stat st;
        if (lstat_ok(step, &st)) {
            if (!S_ISDIR(st.st_mode)) return false;
        } else if (!make_private(step) && errno != EEXIST) {
            return false;
        }
    }
    return true;
}

std::string file_identity(std::string_view windows_path) {
    const std::string native = resolve_existing(windows_path);
    struct stat st;
    if (native.empty() || !stat_ok(native, &st)) return {};
    return kz::crt::int_text(st.st_dev) + ":" + kz::crt::int_text(st.st_ino);
}

namespace {

std::atomic<std::int64_t> g_write_capacity{-1};
std::atomic<bool> g_unnamed_temp_files{true};

std::function<void(std::uint64_t)>& write_observer() {
    static std::function<void(std::uint64_t)> observer;
    return observer;
}

constexpr std::size_t kTempSuffixLength = 6;

// ".<name>.kztmp-" beside the target: the names of the target's temporary files without their random suffix.
std::string temp_prefix(const std::string& target) {
    const std::size_t slash = target.rfind('/');
    const std::size_t leaf = slash == std::string::npos ? 0 : slash + 1;
    return target.substr(0, leaf) + "." + target.substr(leaf) + ".kztmp-";
}

std::string random_suffix() {
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::string suffix;
    for (std::size_t i = 0; i < kTempSuffixLength; ++i) suffix += kChars[random() % (sizeof kChars - 1)];
    return suffix;
}

bool same_file(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Temporary files of the target that earlier writers left behind (a save killed before its commit on a file
// system without unnamed files, or by an older program) are removed; one whose writer still lives is kept, as
// that writer holds its lock until it commits or gives up.
void remove_abandoned_temps(const std::string& target) {
    const std::string prefix = temp_prefix(target);
    const std::size_t slash = prefix.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : prefix.substr(0, slash + 1);
    const std::string start = prefix.substr(folder.size());
    DIR* d = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!d) return;
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name.size() == start.size() + kTempSuffixLength && name.compare(0, start.size(), start) == 0)
            names.push_back(folder + name);
    }
    ::closedir(d);
    for (const std::string& name : names) {
        int fd = ::open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) fd = ::open(name.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat held, named;
        // Removed under the lock, and only while the name still is the file locked.
        if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            lstat_ok(name, &named) && same_file(held, named))
            ::unlink(name.c_str());
        ::close(fd);
    }
}

// A temporary file without a name in the folder; -1 where the file system (or the kernel) has none, or where
// /proc, through which it is given its name at the commit, is missing.
int open_unnamed_temp(const std::string& target) {
    if (!g_unnamed_temp_files || ::access("/proc/self/fd", X_OK) != 0) return -1;
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : target.substr(0, slash + 1);
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    // Locked like a named one, for the moment between its linking and the rename.
    if (fd >= 0) ::flock(fd, LOCK_EX);
    return fd;
}

// A named temporary file beside the target, locked for as long as this writer keeps it; -1 when none can be made.
int open_named_temp(const std::string& target, std::string* name) {
    const std::string pattern = temp_prefix(target) + std::string(kTempSuffixLength, 'X');
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        const int fd = ::mkostemp(buffer.data(), O_CLOEXEC);
        if (fd < 0) return -1;
        // Another writer's clean-up may have locked and removed the new file before we locked it: then the name
        // is gone and another is drawn. Where the file system takes no locks, no clean-up can remove it either.
        struct stat held, named;
        const bool locked = ::flock(fd, LOCK_EX) == 0;
        if (!locked || (::fstat(fd, &held) == 0 && lstat_ok(buffer.data(), &named) && same_file(held, named))) {
            *name = buffer.data();
            return fd;
        }
        ::close(fd);
    }
    return -1;
}

// Gives the written unnamed file a temporary name beside the target, from which it is renamed over the target.
bool link_unnamed_temp(int fd, const std::string& target, std::string* name) {
    const std::string self = "/proc/self/fd/" + kz::crt::int_text(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = temp_prefix(target) + random_suffix();
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
            (errno != EEXIST && ::linkat(fd, "", AT_FDCWD, candidate.c_str(), AT_EMPTY_PATH) == 0)) {
            *name = candidate;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

}  // namespace

FileWriter::FileWriter(std::string_view windows_path) {
    target_ = resolve_for_write(windows_path);
    if (target_.empty()) return;
    struct stat st;
    if (lstat_ok(target_, &st)) {
        if (S_ISLNK(st.st_mode)) {  // replace what the link points at, not the link
            const std::string real = real_path(target_);
            if (!real.empty()) target_ = real;
            if (!stat_ok(target_, &st)) st.st_mode = 0;
        }
        if (S_ISDIR(st.st_mode) || is_running_program(st) || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
            target_.clear();
            return;
        }
    }
    remove_abandoned_temps(target_);
    int fd = open_unnamed_temp(target_);
    if (fd < 0) fd = open_named_temp(target_, &temp_);
    if (fd < 0) return;
    // Keep the permissions of the file being replaced; new files get the usual ones.
    mode_t mode = 0666;
    if (stat_ok(target_, &st))
        mode = st.st_mode & 07777;
    else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    ::fchmod(fd, mode);
    stream_ = ::fdopen(fd, "wb");
    if (!stream_) {
        discard();
        ::close(fd);
    }
}

FileWriter::~FileWriter() { discard(); }

// The name goes before the descriptor, so that the lock covers the file for as long as it is there.
void FileWriter::discard() {
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
    if (stream_) std::fclose(stream_);
    stream_ = nullptr;
}

void set_write_capacity_for_tests(std::int64_t bytes) { g_write_capacity = bytes; }
void set_unnamed_temp_files_for_tests(bool allowed) { g_unnamed_temp_files = allowed; }
void set_write_observer_for_tests(std::function<void(std::uint64_t)> observer) {
    write_observer() = std::move(observer);
}

bool FileWriter::write(const void* data, std::size_t size) {
    if (!stream_) return false;
    if (g_write_capacity >= 0) {
        const std::int64_t left = g_write_capacity.fetch_sub(static_cast<std::int64_t>(size));
        if (left < static_cast<std::int64_t>(size)) {
            g_write_capacity = 0;
            failed_ = true;
            return false;
        }
    }
    if (size && std::fwrite(data, 1, size, stream_) != size) failed_ = true;
    written_ += size;
    if (write_observer() && std::fflush(stream_) == 0) write_observer()(written_);
    return !failed_;
}

bool FileWriter::commit() {
    if (!stream_) return false;
    const int fd = ::fileno(stream_);
    bool ok = !failed_ && std::fflush(stream_) == 0 && !std::ferror(stream_) && ::fsync(fd) == 0;
    // Only a file written whole and on disk gets a name.
    if (ok && temp_.empty()) ok = link_unnamed_temp(fd, target_, &temp_);
    if (ok && ::rename(temp_.c_str(), target_.c_str()) == 0)
        temp_.clear();
    else
        ok = false;
    // Closed (and unlocked) only now: until the rename its name was there for a clean-up to see. What was written
    // is on disk already, so the close has nothing left to fail on.
    discard();
    return ok;
}

bool write_whole_file(std::string_view windows_path, std::string_view bytes) {
    FileWriter w(windows_path);
    return w.write(bytes.data(), bytes.size()) && w.commit();
}

bool get_file_info(std::string_view windows_path, FileInfo* info) {
    const std::string native = resolve_existing(windows_path);
    struct stat st;
    if (native.empty() || !stat_ok(native, &st)) return false;
    if (info) {
        const std::size_t slash = native.rfind('/');
        *info = info_from_stat(st, slash == std::string::npos ? native : native.substr(slash + 1));
    }
    return true;
}

bool file_exists(std::string_view windows_path) { return get_file_info(windows_path, nullptr); }

bool is_directory(std::string_view windows_path) {
    FileInfo info;
    return get_file_info(windows_path, &info) && info.directory;
}

std::vector<FileInfo> find_files(std::string_view windows_pattern) {
    std::vector<FileInfo> out;
    std::string pattern(windows_pattern);
    // The last "\\" outside double-byte characters splits folder and name pattern.
    std::size_t cut = std::string::npos;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const auto c = static_cast<unsigned char>(pattern[i]);
        if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
            ++i;
            continue;
        }
        if (c == '\\' || c == '/') cut = i;
    }
    const std::string folder = cut == std::string::npos ? std::string() : pattern.substr(0, cut + 1);
    std::string leaf = cut == std::string::npos ? pattern : pattern.substr(cut + 1);
    if (leaf.empty()) return out;
    const std::string native_folder = folder.empty() ? std::string(".") : resolve_existing(folder);
    if (native_folder.empty()) return out;
    QString wanted = QString::fromStdString(cp932_name_to_utf8(leaf)).toCaseFolded();
    if (wanted == u"*.*") wanted = QStringLiteral("*");
    DIR* d = ::opendir(native_folder.c_str());
    if (!d) return out;
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        if (wildcard_match(wanted, 0, QString::fromStdString(name).toCaseFolded(), 0)) names.push_back(name);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        struct stat st;
        if (stat_ok(join(native_folder, name), &st) || lstat_ok(join(native_folder, name), &st))
            out.push_back(info_from_stat(st, name));
    }
    return out;
}

bool create_directory(std::string_view windows_path) {
    const std::string native = resolve_for_write(windows_path);
    return !native.empty() && ::mkdir(native.c_str(), 0777) == 0;
}

bool remove_directory(std::string_view windows_path) {
    const std::string native = resolve_existing(windows_path);
    return !native.empty() && ::rmdir(native.c_str()) == 0;
}

bool set_read_only(std::string_view windows_path, bool read_only) {
    const std::string native = resolve_existing(windows_path);
    struct stat st;
    if (native.empty() || !stat_ok(native, &st)) return false;
    const mode_t mode = read_only ? st.st_mode & ~(S_IWUSR | S_IWGRP | S_IWOTH) : st.st_mode | S_IWUSR;
    return ::chmod(native.c_str(), mode & 07777) == 0;
}

bool delete_file(std::string_view windows_path) {
    const std::string native = resolve_existing(windows_path);
    struct stat st;
    if (native.empty() || !lstat_ok(native, &st) || S_ISDIR(st.st_mode)) return false;
    if (!S_ISLNK(st.st_mode) && is_running_program(st)) return false;
    return ::unlink(native.c_str()) == 0;
}

void add_program_temp_root(std::string_view windows_path) {
    static std::mutex m;
    std::lock_guard lock(m);
    extra_temp_roots().emplace_back(windows_path);
}

bool delete_tree_below_temp(std::string_view windows_path) {
    std::string native = resolve_existing(windows_path);
    if (native.empty()) return false;
    while (native.size() > 1 && native.back() == '/') native.pop_back();
    struct stat st;
    if (!lstat_ok(native, &st) || !S_ISDIR(st.st_mode)) return false;
    const std::string real = real_path(native);
    std::vector<std::string> roots = extra_temp_roots();
    if (const std::string temp = temp_path(); !temp.empty()) {
        roots.push_back(temp + "kzview_tempp\\");
        roots.push_back(temp + "kz3d_temp\\");
    }
    bool allowed = false;
    for (const std::string& root : roots) {
        const std::string r = real_path(resolve_existing(root));
        if (!r.empty() && !real.empty() && (real == r || real.compare(0, r.size() + 1, r + "/") == 0)) allowed = true;
    }
    if (!allowed) return false;
    // The tree goes from the descriptor of the folder that holds it, reached as the private folder is.
    const std::size_t slash = real.rfind('/');
    std::string why, reached;
    const Descriptor holder =
        open_trusted_folder(real.substr(0, std::max<std::size_t>(slash, 1)), false, &reached, &why);
    return holder && remove_entry(holder.get(), real.substr(slash + 1), real);
}

namespace {

std::atomic<std::int64_t> g_user_id_for_tests{-1};

// Each problem with the private folder is said once, not at every look at the folder; a new one is said again.
void report_once(const std::string& line) {
    static std::mutex m;
    static std::string last;
    std::lock_guard lock(m);
    if (line == last) return;
    last = line;
    std::fprintf(stderr, "kzview: %s\n", line.c_str());
}

std::string cache_home() {
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    if (xdg && xdg[0] == '/') return xdg;  // a relative one means nothing stable: the XDG rule ignores it
    const char* home = std::getenv("HOME");
    std::string h = home && home[0] == '/' ? home : "";
    if (h.empty())
        if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/') h = pw->pw_dir;
    return h.empty() ? h : join(h, ".cache");
}

// What others may have put under the program's own names while they could write in the folder open at `fd`: its
// two folders and any socket. Nothing else is touched, whatever else the user keeps there.
bool clear_program_names(int fd, const std::string& folder) {
    bool ok = remove_entry(fd, "kz3d_temp", join(folder, "kz3d_temp"));
    ok = remove_entry(fd, "kzview_tempp", join(folder, "kzview_tempp")) && ok;
    std::vector<std::string> names;
    if (!list_folder(fd, &names)) return false;
    for (const std::string& name : names) {
        struct stat st;
        if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISSOCK(st.st_mode))
            ok = ::unlinkat(fd, name.c_str(), 0) == 0 && ok;
    }
    return ok;
}

// The folder is reached through the folders above it, which no one else may change, and looked at through a
// descriptor opened without following a link, so what is checked and tightened is the folder itself, not whatever
// its name points to meanwhile.
std::string open_private_folder() {
    const std::string home = cache_home();
    if (home.empty()) {
        report_once("no folder of the user's own for the program's files (HOME is not set); nothing is cached");
        return {};
    }
    std::string folder = join(home, "kzview");
    std::string why, above_path;
    const Descriptor above = open_trusted_folder(home, true, &above_path, &why);
    if (!above) {
        why = "others could put a folder of their own in its place (" + why + ")";
    } else if (folder = join(above_path, "kzview"); make_private_at(above.get(), "kzview")) {
        return folder;
    } else {
        const Descriptor fd(::openat(above.get(), "kzview", kFolderFlags));
        struct stat st;
        if (!fd) {
            struct stat link;
            if (::fstatat(above.get(), "kzview", &link, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(link.st_mode))
                why = "it is a symbolic link";
            else if (errno == ENOTDIR)
                why = "it is not a folder";
            else
                why = std::string("it cannot be opened (") + std::strerror(errno) + ")";
        } else if (!stat_folder(fd.get(), folder, &st)) {
            why = std::string("it cannot be examined (") + std::strerror(errno) + ")";
        } else if (st.st_uid != user_id()) {
            why = "it belongs to another user (uid " + kz::crt::int_text(st.st_uid) + ")";
        } else if ((st.st_mode & 07777) != 0700) {
            if (::fchmod(fd.get(), 0700) != 0) {
                why = std::string("its permissions cannot be narrowed to the user's (") + std::strerror(errno) + ")";
            } else if (st.st_mode & (S_IWGRP | S_IWOTH)) {
                if (clear_program_names(fd.get(), folder))
                    report_once(folder + " was open to other users' writes: it is the user's alone now, and what " +
                                "others may have left in its download cache is gone");
                else
                    why = "others could write to it, and what they may have left there cannot all be removed";
            }
        }
    }
    if (why.empty()) return folder;
    report_once("the private folder " + folder + " is not used: " + why + "; nothing is cached or downloaded");
    return {};
}

}  // namespace

std::uint32_t user_id() {
    const std::int64_t hook = g_user_id_for_tests;
    return hook >= 0 ? static_cast<std::uint32_t>(hook) : static_cast<std::uint32_t>(::geteuid());
}

void set_user_id_for_tests(std::int64_t uid) { g_user_id_for_tests = uid; }

void set_folder_owner_for_tests(std::function<void(const std::string&, std::uint32_t*, std::uint32_t*)> hook) {
    owner_hook() = std::move(hook);
}

void set_removal_observer_for_tests(std::function<void(const std::string&)> observer) {
    removal_observer() = std::move(observer);
}

std::string private_folder() { return open_private_folder(); }

std::string temp_path() {
    const std::string folder = private_folder();
    return folder.empty() ? folder : from_native_path(folder) + "\\";
}

bool create_private_directory(std::string_view windows_path) {
    const std::string native = resolve_for_write(windows_path);
    if (native.empty()) return false;
    if (make_private(native)) return true;
    struct stat st;
    return lstat_ok(native, &st) && S_ISDIR(st.st_mode);
}

std::string module_file_name() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? from_native_path(std::string_view(buffer, static_cast<std::size_t>(n))) : std::string();
}

std::string current_directory() {
    char buffer[PATH_MAX];
    return ::getcwd(buffer, sizeof buffer) ? from_native_path(buffer) : std::string();
}

}  // namespace kz::platform
