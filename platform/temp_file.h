// The temporary file a replacing write fills beside its target before the rename, made and named through the
// descriptor of the target's folder: the file writer's and the download's.
#pragma once
#include <string>

namespace kz::platform {

// A new temporary file beside `target` in the folder open at `dirfd`, open for reading and writing with mode 0600
// and locked (flock) for as long as it is open: without a name where the file system has unnamed files (a writer
// killed midway leaves nothing), else named ".<target>.kztmp-XXXXXX", that name in `*name`. Such files of `target`
// that earlier writers left (killed before they renamed theirs) are removed first, all but those whose writer still
// holds its lock. -1 when none can be made.
int open_temp_beside(int dirfd, const std::string& target, std::string* name);
// Gives the written unnamed file `fd` a temporary name beside `target` (in `*name`), from which it is renamed onto
// the target; false when it cannot have one.
bool name_temp_beside(int fd, int dirfd, const std::string& target, std::string* name);

}  // namespace kz::platform
