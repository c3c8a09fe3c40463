// What kind of file a name holds, as the desktop tells it (a MIME type judged by the file's name and contents),
// so that a file the program does not open can be named by what it is.
// Not here: the program's own kinds of file (figure files, meshes), which the document side knows by extension.
#pragma once
#include <string>
#include <string_view>

namespace kz::platform {

// The MIME type of the file or folder at the path in Windows form ("model/vrml", "inode/directory"); empty when
// the name reaches nothing.
std::string file_type(std::string_view windows_path);

}  // namespace kz::platform
