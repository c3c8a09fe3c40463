// One look at a file and the identity it gives, each look through the tests' hook.
#include "platform/file_stamps.h"

#include <atomic>
#include <mutex>
#include <utility>

#include "platform/access_list.h"

namespace kz::platform {
namespace {

// What set_file_looks_for_tests gives every look; `g_looks_changed` is false while there is nothing.
std::atomic<bool> g_looks_changed{false};
std::mutex g_looks_mutex;
std::function<void(struct stat*)>& file_looks() {
    static std::function<void(struct stat*)> seen;
    return seen;
}

bool as_seen(bool answered, struct stat* st) {
    if (answered && g_looks_changed) {
        const std::lock_guard<std::mutex> lock(g_looks_mutex);
        if (file_looks()) file_looks()(st);
    }
    return answered;
}

}  // namespace

FileIdentity identity_of(const struct stat& st) {
    const auto nanoseconds = [](const struct timespec& t) {
        return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + static_cast<std::int64_t>(t.tv_nsec);
    };
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev),
                        static_cast<std::uint64_t>(st.st_ino),
                        nanoseconds(st.st_mtim),
                        nanoseconds(st.st_ctim),
                        static_cast<std::uint64_t>(st.st_size),
                        static_cast<std::uint32_t>(st.st_mode & 0777),
                        static_cast<std::uint32_t>(st.st_uid),
                        static_cast<std::uint32_t>(st.st_gid),
                        {},
                        {},
                        false};
}

bool stat_of(int fd, struct stat* st) { return as_seen(::fstat(fd, st) == 0, st); }

bool stat_at(int dirfd, const std::string& name, struct stat* st, int flags) {
    return as_seen(::fstatat(dirfd, name.c_str(), st, flags) == 0, st);
}

void record_access_list(int fd, FileIdentity* identity) {
    identity->access_list_known = read_held_list(fd, kAccessListName, &identity->access_list);
    if (!identity->access_list_known) identity->access_list.clear();
}

void set_file_looks_for_tests(std::function<void(struct stat*)> seen) {
    const std::lock_guard<std::mutex> lock(g_looks_mutex);
    file_looks() = std::move(seen);
    g_looks_changed = bool(file_looks());
}

}  // namespace kz::platform
