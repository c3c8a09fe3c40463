// What one look at a file (fstat on a descriptor, fstatat on a name) says about it, taken alike by the readers and
// the writers here, so that a file read and the file a save finds under its name compare as they should.
#pragma once
#include <sys/stat.h>

#include <string>

#include "platform/file_system.h"

namespace kz::platform {

FileIdentity identity_of(const struct stat& st);
// The path the system gives the file open at `fd` (read back through /proc/self/fd); empty when the file has no name
// any more (removed) or the system cannot say.
std::string path_held(int fd);

}  // namespace kz::platform
