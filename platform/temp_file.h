// The files a replacing write keeps beside its target, made and named through the descriptor of the target's folder:
// the temporary file it fills before the rename (the file writer's and the download's), and what finds and removes
// those that writers killed midway left.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/descriptor.h"

namespace kz::platform {

// A new temporary file beside `target` in the folder open at `dirfd`, open for reading and writing with mode 0600
// and locked (flock) for as long as it is open: without a name where the file system has unnamed files (a writer
// killed midway leaves nothing), else named ".<target>.kztmp-XXXXXX" (beside_name), that name in `*name`. Such files
// of `target` that earlier writers left (killed before they renamed theirs) are removed first, all but those whose
// writer still holds its lock. -1 when none can be made.
int open_temp_beside(int dirfd, const std::string& target, std::string* name);
// Gives the written unnamed file `fd` a temporary name beside `target` (in `*name`), from which it is renamed onto
// the target; false when it cannot have one.
bool name_temp_beside(int fd, int dirfd, const std::string& target, std::string* name);
// A named temporary file beside `target` (as open_temp_beside names one), locked for as long as it is open; -1 when
// none can be made.
int open_named_temp(int dirfd, const std::string& target, std::string* name);

// The name of a file kept beside `target`: ".<target><tail>", to which the caller adds `room` bytes more. Where that
// would pass the longest name the system takes (NAME_MAX), the target's first bytes (cut where a character starts)
// stand for it, with "~" and 16 hex digits of a hash of its whole name: every target has one such name, within the
// limit, so what its writers left is found by its name whatever the target's length.
std::string beside_name(const std::string& target, std::string_view tail, std::size_t room);
// Whether `name` in the folder open at `dirfd` is the file open at `fd`.
bool names_file(int dirfd, const std::string& name, int fd);
// The regular file `name` in the folder open at `dirfd`, opened without following a link and locked (flock), while
// nobody else holds its lock (with `wait`, a holder is waited for a while, as open_past_lease waits) and the name
// still is that file: one a writer left when it was killed. Not open otherwise.
Descriptor hold_if_abandoned(int dirfd, const std::string& name, bool wait);
// Counts `bytes` against the test hook's capacity (set_write_capacity_for_tests); false, with errno ENOSPC, once
// it is spent.
bool take_write_capacity(std::size_t bytes);

}  // namespace kz::platform
