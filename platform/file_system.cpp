// Windows-form paths mapped onto the POSIX file system, with Windows' case-insensitive name lookup
// and safe replacing writes. Not here: locking (but for the writers' own temporary files), sharing modes, ACLs;
// other drive letters and UNC names are missing.
#include "platform/file_system.h"

#include <QString>

#include <dirent.h>
#include <fcntl.h>
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

std::string real_path(const std::string& p) {
    char buffer[PATH_MAX];
    return ::realpath(p.c_str(), buffer) ? std::string(buffer) : std::string();
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
        if (stat_ok(join_path(native_folder, name), &st) || lstat_ok(join_path(native_folder, name), &st))
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
