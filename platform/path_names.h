// Names of files in the program's form and in the system's: paths stay in Windows form inside (Shift_JIS bytes,
// "\\", drive letters) and become POSIX paths only here, "Z:\\a\\b" as "/a/b", every "\\" as "/", each name through
// the lossless CP932 name codec; and the parts of a POSIX path. Text alone: nothing here looks at the disk.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace kz::platform {

// Windows form (CP932) to a POSIX path (UTF-8) without touching the disk; empty when the path has no place here.
std::string to_native_path(std::string_view windows_path);
// POSIX path (UTF-8) to Windows form (CP932): "/a/b" gives "Z:\\a\\b", "a/b" gives "a\\b".
std::string from_native_path(std::string_view native_path);
// The local name a "file:" name stands for, in the program's form. "file:/a", "file:///a" and "file://localhost/a"
// name the POSIX "/a" (given with "/" separators); "file://host/a" names a file on another machine, which has no
// place here (empty), as UNC names have none. Any other spelling loses its first seven characters, as models
// written on Windows expect ("file://C:\\a" is "C:\\a"). A name without "file:" comes back unchanged.
std::string file_url_local_name(std::string_view name);
// A name in the program's form as the user knows it, for messages: the native path in UTF-8 ("Z:\\a\\b" and
// "file:/a/b" show as "/a/b"); an "http:" address, and a name with no place here, as written. A byte that does not
// convert shows as "\xNN".
std::string display_name(std::string_view name);
// The names of a POSIX path ("/" in `root` when it is absolute, else empty) and one name added to a path.
std::vector<std::string> split_path_components(const std::string& native, std::string* root);
std::string join_path(const std::string& base, const std::string& name);
// The folder part and the last name of a POSIX path, trailing "/" left out: "a/b" is "a" and "b", "b" is "." and
// "b", "/b" is "/" and "b".
void split_last_name(const std::string& native, std::string* folder, std::string* name);

}  // namespace kz::platform
