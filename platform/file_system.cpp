// Windows-form paths on the POSIX file system, with Windows' case-insensitive name lookup. Not here: the mapping of
// the names (path_names.cpp), locking (but for the writers' own temporary files), sharing modes, ACLs.
#include "platform/file_system.h"

#include <QString>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

#include "platform/crt/c_numbers.h"
#include "platform/descriptor.h"
#include "platform/file_stamps.h"
#include "platform/folder_walk.h"
#include "platform/text_codec.h"

namespace kz::platform {
namespace {

std::vector<std::string>& extra_temp_roots() {
    static std::vector<std::string> roots;
    return roots;
}

bool lstat_ok(const std::string& p, struct stat* st) { return ::lstat(p.c_str(), st) == 0; }
bool stat_ok(const std::string& p, struct stat* st) { return ::stat(p.c_str(), st) == 0; }

// The spelling of `name` inside `folder`: exact when it exists, else the case-insensitive match first in byte
// order (so the choice does not depend on the order the directory lists its entries).
std::string match_in_folder(const std::string& folder, const std::string& name) {
    struct stat st;
    const std::string dir = folder.empty() ? "." : folder;
    if (name == "." || name == ".." || lstat_ok(join_path(folder, name), &st)) return name;
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
    const std::vector<std::string> parts = split_path_components(native, &root);
    std::string path = root;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::string found = match_in_folder(path, parts[i]);
        if (found.empty()) {
            if (i + 1 == parts.size() && !last_must_exist)
                found = parts[i];
            else
                return {};
        }
        path = join_path(path, found);
    }
    if (path.empty()) return ".";
    return path;
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

}  // namespace

std::string resolve_existing(std::string_view windows_path) { return resolve(windows_path, true); }
std::string resolve_for_write(std::string_view windows_path) { return resolve(windows_path, false); }

std::string real_path(const std::string& native) {
    char buffer[PATH_MAX];
    return ::realpath(native.c_str(), buffer) ? std::string(buffer) : std::string();
}

namespace {

// Opens a regular file without ever blocking: the open itself does not wait (a FIFO with no writer would hold the
// caller for good), and the kind is taken from the opened descriptor, not from the name, which may change under
// us. `size` receives the file's size.
FilePtr open_regular(std::string_view windows_path, std::string* why, std::uint64_t* size,
                     FileIdentity* identity = nullptr) {
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
    if (!stat_of(fd, &st) || !S_ISREG(st.st_mode)) {
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
    if (identity) {
        *identity = identity_of(st);
        record_access_list(fd, identity);
    }
    return FilePtr(f);
}

}  // namespace

FilePtr open_for_reading(std::string_view windows_path) { return open_regular(windows_path, nullptr, nullptr); }

bool readable_file(std::string_view windows_path, std::size_t limit, std::string* why) {
    std::uint64_t size = 0;
    if (!open_regular(windows_path, why, &size)) return false;
    if (size <= limit) return true;
    if (why) *why = "larger than " + kz::crt::int_text(limit >> 20) + " MiB";
    return false;
}

bool read_whole_file(std::string_view windows_path, std::string* bytes, std::size_t limit, std::string* why,
                     FileIdentity* identity, std::string* read_path) {
    std::uint64_t size = 0;
    FilePtr f = open_regular(windows_path, why, &size, identity);
    if (!f || !bytes) return false;
    if (read_path) {
        // None where the system gives no absolute path, or the file has no name any more (removed).
        struct stat st;
        *read_path = name_now(::fileno(f.get()));
        if (read_path->empty() || (*read_path)[0] != '/' || ::fstat(::fileno(f.get()), &st) != 0 || st.st_nlink == 0)
            read_path->clear();
    }
    const std::string too_large = "larger than " + kz::crt::int_text(limit >> 20) + " MiB, not read";
    if (size > limit) {
        if (why) *why = too_large;
        return false;
    }
    bytes->clear();
    bytes->reserve(static_cast<std::size_t>(size));
    char buffer[65536];
    std::size_t n;
    ContentHasher content;
    // The size is checked again while reading: a file that grows meanwhile still stops at the limit.
    while ((n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0) {
        if (bytes->size() + n > limit) {
            if (why) *why = too_large;
            return false;
        }
        bytes->append(buffer, n);
        if (identity) content.add(buffer, n);
    }
    if (std::ferror(f.get())) {
        if (why) *why = "read error";
        return false;
    }
    if (identity) identity->content = content.digest();
    return true;
}

std::string landing_path(std::string_view windows_path) {
    const std::string native = to_native_path(windows_path);
    if (native.empty()) return {};
    std::string lead;
    const std::vector<std::string> parts = split_path_components(native, &lead);
    // The part that exists is resolved by the system (symlinks included); what follows it is only named.
    std::string existing = lead.empty() ? std::string(".") : lead;
    std::string rest;
    for (const std::string& part : parts) {
        if (part == "." || part == "..") return {};
        const std::string found = rest.empty() ? match_in_folder(existing, part) : std::string();
        if (!found.empty()) {
            existing = join_path(existing, found);
        } else {
            rest = rest.empty() ? part : rest + "/" + part;
        }
    }
    std::string placed = real_path(existing);
    if (placed.empty()) return {};
    if (!rest.empty()) placed = join_path(placed, rest);
    return placed;
}

std::string confined_path(std::string_view folder, std::string_view windows_path) {
    const std::string root = real_path(resolve_existing(folder));
    const std::string placed = landing_path(windows_path);
    if (root.empty() || placed.empty()) return {};
    if (placed.compare(0, root.size() + 1, root + "/") != 0 && !(root == "/" && placed.size() > 1)) return {};
    return placed;
}

std::string file_identity(std::string_view windows_path) {
    const std::string native = resolve_existing(windows_path);
    struct stat st;
    if (native.empty() || !stat_ok(native, &st)) return {};
    return kz::crt::int_text(st.st_dev) + ":" + kz::crt::int_text(st.st_ino);
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
        if (stat_ok(join_path(native_folder, name), &st) || lstat_ok(join_path(native_folder, name), &st))
            out.push_back(info_from_stat(st, name));
    }
    return out;
}

bool create_directory(std::string_view windows_path) {
    const std::string native = resolve_for_write(windows_path);
    return !native.empty() && ::mkdir(native.c_str(), 0777) == 0;
}

bool create_private_directory(std::string_view windows_path) {
    const std::string native = resolve_for_write(windows_path);
    if (native.empty()) return false;
    if (make_private_at(AT_FDCWD, native.c_str())) return true;
    struct stat st;
    return ::lstat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
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
    std::string above, name, why, reached;
    split_last_name(real, &above, &name);
    const Descriptor holder = open_trusted_folder(above, false, &reached, &why);
    return holder && remove_entry(holder.get(), name, real);
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
