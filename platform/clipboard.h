// The clipboard in place of Windows': text (CF_TEXT, Shift_JIS inside, UTF-8 text to other programs) and
// registered formats, which travel as custom MIME types so that other processes of ours can read them.
// A picture goes as PNG bytes ("image/png") in place of a metafile picture.
// Not here: metafiles and bitmap formats, delayed rendering, clipboard viewers, ownership by a window.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace kz::platform {

constexpr unsigned kClipboardText = 1;     // CF_TEXT
constexpr unsigned kClipboardPicture = 3;  // in place of CF_METAFILEPICT: the bytes of a PNG image

// The number of a format registered by name (0xC000 and up; the same name gives the same number, names compared
// without regard to ASCII case); 0 for an empty name.
unsigned register_clipboard_format(std::string_view name);
// Places bytes under a format; text (CF_TEXT) is Shift_JIS up to its first NUL. Unless `keep`, what the clipboard
// held before is dropped first; with `keep`, other formats already there stay. False when there is no clipboard
// or the format is unknown.
bool set_clipboard_data(unsigned format, std::string_view bytes, bool keep = false);
// The bytes of a format (text as Shift_JIS), or nothing when the clipboard has none.
std::optional<std::string> get_clipboard_data(unsigned format);
// The same for a format another program has just said, over a road other than the window system (the local
// socket), that it put on the clipboard: on X11 the word of that program's taking the clipboard may not have been
// handled here yet, and it is let in before the clipboard counts as holding nothing.
std::optional<std::string> get_announced_clipboard_data(unsigned format);
bool clipboard_has_format(unsigned format);
// Drops everything the clipboard holds; false when there is no clipboard.
bool empty_clipboard();

}  // namespace kz::platform
