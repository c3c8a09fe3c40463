// The replacing write: where a name's write lands, worked out once and held by its folder's descriptor, and the
// writer that fills a temporary file there and renames it onto that name. Not here: locks beyond the writers' own.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/content_digest.h"
#include "platform/descriptor.h"
#include "platform/file_stamps.h"
#include "platform/file_system.h"
#include "platform/folder_walk.h"
#include "platform/kept_permissions.h"
#include "platform/report.h"
#include "platform/temp_file.h"

namespace kz::platform {
namespace {

// As many links as the system itself follows on one name before it gives up.
constexpr int kMaxLinkSteps = 40;
constexpr std::size_t kTempSuffixLength = 6;

std::atomic<std::int64_t> g_write_capacity{-1};
std::atomic<bool> g_unnamed_temp_files{true};

std::function<void(std::uint64_t)>& write_observer() {
    static std::function<void(std::uint64_t)> observer;
    return observer;
}

// ".<name>.kztmp-": the names of a target's temporary files without their random suffix.
std::string temp_prefix(const std::string& name) { return "." + name + ".kztmp-"; }

std::string random_suffix() {
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::string suffix;
    for (std::size_t i = 0; i < kTempSuffixLength; ++i) suffix += kChars[random() % (sizeof kChars - 1)];
    return suffix;
}

// Whether `name` in the folder open at `dirfd` is the file open at `fd`.
bool names_file(int dirfd, const std::string& name, int fd) {
    struct stat held, named;
    return stat_of(fd, &held) && stat_at(dirfd, name, &named, AT_SYMLINK_NOFOLLOW) &&
           identity_of(held) == identity_of(named);
}

// Temporary files of the target that earlier writers left behind (a save killed before its commit on a file
// system without unnamed files, or by an older program) are removed; one whose writer still lives is kept, as
// that writer holds its lock until it commits or gives up.
void remove_abandoned_temps(int dirfd, const std::string& target) {
    const std::string start = temp_prefix(target);
    std::vector<std::string> names;
    if (!list_folder(dirfd, &names)) return;
    for (const std::string& name : names) {
        if (name.size() != start.size() + kTempSuffixLength || name.compare(0, start.size(), start) != 0) continue;
        const int flags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
        Descriptor fd(::openat(dirfd, name.c_str(), O_RDONLY | flags));
        if (!fd) fd = Descriptor(::openat(dirfd, name.c_str(), O_WRONLY | flags));
        struct stat held;
        // Removed under the lock, and only while the name still is the file locked.
        if (fd && ::fstat(fd.get(), &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 &&
            names_file(dirfd, name, fd.get()))
            ::unlinkat(dirfd, name.c_str(), 0);
    }
}

// A temporary file without a name in the folder; -1 where the file system (or the kernel) has none, or where
// /proc, through which it is given its name at the commit, is missing.
int open_unnamed_temp(int dirfd) {
    if (!g_unnamed_temp_files || ::access("/proc/self/fd", X_OK) != 0) return -1;
    const int fd = ::openat(dirfd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    // Locked like a named one, for the moment between its linking and the rename.
    if (fd >= 0) ::flock(fd, LOCK_EX);
    return fd;
}

// A named temporary file beside the target, locked for as long as this writer keeps it; -1 when none can be made.
int open_named_temp(int dirfd, const std::string& target, std::string* name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = temp_prefix(target) + random_suffix();
        const int fd = ::openat(dirfd, candidate.c_str(), O_CREAT | O_EXCL | O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return -1;
        }
        // Another writer's clean-up may have locked and removed the new file before we locked it: then the name
        // is gone and another is drawn. Where the file system takes no locks, no clean-up can remove it either.
        const bool locked = ::flock(fd, LOCK_EX) == 0;
        if (!locked || names_file(dirfd, candidate, fd)) {
            *name = candidate;
            return fd;
        }
        ::close(fd);
    }
    return -1;
}

// Whether `name` in the folder open at `dirfd` still holds the file of identity `expected`, or still none where that is
// unknown; `st` receives what it holds and `exists` whether it holds anything.
bool holds_expected(int dirfd, const std::string& name, FileIdentity expected, struct stat* st, bool* exists) {
    *exists = stat_at(dirfd, name, st, AT_SYMLINK_NOFOLLOW);
    if (*exists) return identity_of(*st) == expected;
    return errno == ENOENT && !expected.known();
}

// The digest of the bytes of `name` in the folder open at `dirfd`, read from first to last while it is the file
// `expected` by its stamps, and looked at again once read, so that a change made meanwhile counts; unknown when it is
// not that file, cannot be read, or holds more than the size its stamps gave. One byte past that size is read, and
// no more: a file that grew shows it there, however much it grew.
ContentDigest digest_of(int dirfd, const std::string& name, const FileIdentity& expected) {
    const Descriptor fd(::openat(dirfd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st;
    if (!fd || !stat_of(fd.get(), &st) || !S_ISREG(st.st_mode) || identity_of(st) != expected) return {};
    ContentHasher content;
    char buffer[65536];
    std::uint64_t left = expected.size + 1;
    while (left > 0) {
        const ssize_t n = ::read(fd.get(), buffer, std::min<std::uint64_t>(left, sizeof buffer));
        if (n == 0) break;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return {};
        content.add(buffer, static_cast<std::size_t>(n));
        left -= static_cast<std::uint64_t>(n);
    }
    if (left == 0 || !stat_of(fd.get(), &st) || identity_of(st) != expected) return {};
    return content.digest();
}

// Whether `name` in the folder open at `dirfd` is the file `expected` (by its stamps) and holds the bytes whose
// digest `expected` knows.
bool holds_bytes(int dirfd, const std::string& name, const FileIdentity& expected) {
    const ContentDigest digest = digest_of(dirfd, name, expected);
    return digest.known && digest == expected.content;
}

// Whether the bytes of the file `expected` are to be looked at: it knows their digest, and digests are taken.
bool bytes_known(const FileIdentity& expected) { return expected.content.known && content_digests_on(); }

}  // namespace

int open_temp_beside(int dirfd, const std::string& target, std::string* name) {
    remove_abandoned_temps(dirfd, target);
    const int fd = open_unnamed_temp(dirfd);
    return fd >= 0 ? fd : open_named_temp(dirfd, target, name);
}

bool name_temp_beside(int fd, int dirfd, const std::string& target, std::string* name) {
    const std::string self = proc_fd_path(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = temp_prefix(target) + random_suffix();
        if (::linkat(AT_FDCWD, self.c_str(), dirfd, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
            (errno != EEXIST && ::linkat(fd, "", dirfd, candidate.c_str(), AT_EMPTY_PATH) == 0)) {
            *name = candidate;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

WriteLanding::WriteLanding(std::string_view windows_path) {
    std::string native = resolve_for_write(windows_path);
    if (native.empty()) {
        why_ = "its folder does not exist";
        return;
    }
    for (int step = 0; step < kMaxLinkSteps; ++step) {
        std::string folder, name;
        split_last_name(native, &folder, &name);
        if (name.empty() || name == "." || name == "..") {
            why_ = "its name ends in a folder";
            return;
        }
        // The folder is reached as a read reaches it: the system resolves its links, "." and "..".
        Descriptor held(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!held) {
            why_ = with_error("its folder cannot be opened");
            return;
        }
        struct stat st;
        if (!stat_at(held.get(), name, &st, AT_SYMLINK_NOFOLLOW)) {
            if (errno != ENOENT) {
                why_ = with_error("it cannot be examined");
                return;
            }
        } else if (S_ISLNK(st.st_mode)) {
            // The write goes to the file the link names, and the link stays.
            char target[PATH_MAX];
            const ssize_t n = ::readlinkat(held.get(), name.c_str(), target, sizeof target - 1);
            if (n <= 0) {
                why_ = "its link cannot be read";
                return;
            }
            const std::string to(target, static_cast<std::size_t>(n));
            native = to[0] == '/' ? to : join_path(folder, to);
            continue;
        } else {
            identity_ = identity_of(st);
        }
        // The path the checks and the messages see is that of the folder held, or the landing is not used.
        const std::string real = real_path(folder);
        struct stat at_path, at_descriptor;
        if (real.empty() || !stat_at(AT_FDCWD, real, &at_path, 0) || !stat_of(held.get(), &at_descriptor) ||
            identity_of(at_path) != identity_of(at_descriptor)) {
            why_ = "its folder changed while it was looked at";
            return;
        }
        path_ = join_path(real, name);
        name_ = name;
        folder_ = std::move(held);
        return;
    }
    why_ = "its links go round";
}

FileIdentity WriteLanding::with_bytes() const {
    FileIdentity present = identity_;
    if (present.known() && content_digests_on() && present.size <= kMaxReadBytes)
        present.content = digest_of(folder_.get(), name_, identity_);
    return present;
}

bool WriteLanding::holds(const FileIdentity& read) const {
    return found() && identity_ == read && (!bytes_known(read) || holds_bytes(folder_.get(), name_, read));
}

bool WriteLanding::inside(std::string_view windows_folder) const {
    const std::string root = real_path(resolve_existing(windows_folder));
    if (!found() || root.empty()) return false;
    return root == "/" || path_.compare(0, root.size() + 1, root + "/") == 0;
}

FileWriter::FileWriter(std::string_view windows_path) {
    const WriteLanding landing(windows_path);
    open(landing, landing.identity_, landing.identity_);
}

FileWriter::FileWriter(const WriteLanding& landing) { open(landing, landing.identity_, landing.identity_); }

FileWriter::FileWriter(const WriteLanding& landing, const FileIdentity& read) { open(landing, read, read); }

FileWriter::FileWriter(const WriteLanding& landing, const FileIdentity& read, const FileIdentity& replaced) {
    open(landing, read, replaced);
}

void FileWriter::fail(std::string why, bool target_changed) {
    if (failure_.empty()) failure_ = std::move(why), target_changed_ = target_changed;
}

void FileWriter::open(const WriteLanding& landing, const FileIdentity& read, const FileIdentity& replaced) {
    if (!landing.found()) return fail("where it would land cannot be worked out (" + landing.why() + ")");
    folder_ = Descriptor(::fcntl(landing.folder_.get(), F_DUPFD_CLOEXEC, 0));
    name_ = landing.name_;
    expected_ = landing.identity_;
    // What the name holds now is judged once: it must still be the file the landing found (or still none). Windows
    // refuses to replace a read-only file, whoever asks; folders, devices, pipes and the running program are never
    // replaced by a file.
    struct stat st;
    bool exists = false;
    if (!folder_) return fail(with_error("its folder cannot be held"));
    if (!holds_expected(folder_.get(), name_, expected_, &st, &exists))
        return fail("the file there changed after it was looked at", true);
    if (exists && (!S_ISREG(st.st_mode) || is_running_program(st)))
        return fail("what is there is not a file this program replaces");
    if (exists && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return fail("the file there is read-only");
    // Where the file there is the one the caller expects to replace (by default the one the text came from), its
    // bytes are looked at again just before the rename.
    if (exists && replaced == expected_) expected_.content = replaced.content;
    const int fd = open_temp_beside(folder_.get(), name_, &temp_);
    if (fd < 0) return fail(with_error("no new file can be made beside it"));
    KeptPermissions kept = keep_permissions(fd, folder_.get(), name_, exists ? &st : nullptr, read);
    kept_lines_ = std::move(kept.lines);
    if (!kept.writable) {
        fail(kept.why);
        discard();
        ::close(fd);
        return;
    }
    stream_ = ::fdopen(fd, "wb");
    if (!stream_) {
        fail(with_error("no new file can be made beside it"));
        discard();
        ::close(fd);
    }
}

// The name still holds the file the landing found (with the bytes read from it, where they are known), or still
// none where it found none.
bool FileWriter::target_unchanged() const {
    struct stat st;
    bool exists = false;
    return holds_expected(folder_.get(), name_, expected_, &st, &exists) &&
           (!exists || !bytes_known(expected_) || holds_bytes(folder_.get(), name_, expected_));
}

FileWriter::~FileWriter() { discard(); }

// The name goes before the descriptor, so that the lock covers the file for as long as it is there.
void FileWriter::discard() {
    if (!temp_.empty()) ::unlinkat(folder_.get(), temp_.c_str(), 0);
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
            fail(with_error("its new file cannot be written", ENOSPC));
            return false;
        }
    }
    if (size && std::fwrite(data, 1, size, stream_) != size) {
        failed_ = true;
        fail(with_error("its new file cannot be written"));
    }
    written_ += size;
    written_content_.add(data, size);
    if (write_observer() && std::fflush(stream_) == 0) write_observer()(written_);
    return !failed_;
}

bool FileWriter::commit() {
    if (!stream_) return false;
    const int fd = ::fileno(stream_);
    bool ok = !failed_ && std::fflush(stream_) == 0 && !std::ferror(stream_) && ::fsync(fd) == 0;
    if (!ok) fail(with_error("its new file cannot be written"));
    // Only a file written whole and on disk gets a name.
    if (ok && temp_.empty() && !name_temp_beside(fd, folder_.get(), name_, &temp_)) {
        ok = false;
        fail(with_error("its new file cannot be given a name"));
    }
    // The file the rename takes the name from, held to see how the rename leaves it where other names keep it.
    const Descriptor replaced(::openat(folder_.get(), name_.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    // What came under the name since the landing was found (a link put there, another file, the file changed) is
    // not replaced.
    if (ok && !target_unchanged()) {
        ok = false;
        fail("the file there changed after it was looked at", true);
    }
    if (ok && ::renameat(folder_.get(), temp_.c_str(), folder_.get(), name_.c_str()) != 0) {
        ok = false;
        fail(with_error("it cannot be put in place"));
    }
    if (ok) {
        temp_.clear();
        // Taken once renamed: the rename moves the file's change time.
        struct stat written;
        if (stat_of(fd, &written)) written_identity_ = identity_of(written);
        record_access_list(fd, &written_identity_);
        for (const std::string& line : kept_lines_) report_line(line);
        written_identity_.content = written_content_.digest();
        // Another name of the file replaced still holds it, and the rename moved its change time (one link less),
        // and nothing else.
        struct stat left;
        if (replaced && expected_.known() && stat_of(replaced.get(), &left) && left.st_nlink > 0) {
            FileIdentity moved = expected_;
            moved.changed = identity_of(left).changed;
            if (identity_of(left) == moved) left_behind_ = moved;
        }
    }
    // Closed (and unlocked) only now: until the rename its name was there for a clean-up to see. What was written
    // is on disk already, so the close has nothing left to fail on.
    discard();
    return ok;
}

bool write_whole_file(std::string_view windows_path, std::string_view bytes) {
    FileWriter w(windows_path);
    return w.write(bytes.data(), bytes.size()) && w.commit();
}

}  // namespace kz::platform
