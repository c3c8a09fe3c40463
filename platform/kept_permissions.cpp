// The rights a replacing write's new file takes from the file it replaces, set on the new file before its rename.
#include "platform/kept_permissions.h"

#include <unistd.h>

#include "platform/file_stamps.h"

namespace kz::platform {
namespace {

mode_t usual_mode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

void keep_permissions(int fd, const struct stat* present, const FileIdentity& read) {
    const FileIdentity now = present ? identity_of(*present) : FileIdentity{};
    if (present && read.known() && read.same_file(now)) {
        ::fchmod(fd, now.mode & 0777);
        return;
    }
    const mode_t usual = usual_mode();
    ::fchmod(fd, (read.known() ? read.mode : usual) & (present ? now.mode : usual) & 0777);
}

}  // namespace kz::platform
