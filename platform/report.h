// The lines the libraries say to the user on standard error. A host program may take them (the viewer puts its
// name in front of each); while none does, each line goes to standard error as it is.
#pragma once
#include <cerrno>
#include <string>
#include <string_view>

namespace kz::platform {

using ReportFunction = void (*)(std::string_view line);
// Every line from now on goes to `function` (null: to standard error again); gives the one it replaces. It gets
// each line escaped (escape_line). It may be called on any thread, among them the one that removes what the
// private folder's checks set aside, which may still run while the program exits: it must be safe there, taking
// no lock of the caller's thread and using nothing that static destruction may already have taken away.
ReportFunction set_report_function(ReportFunction function);
// One line, without its line end.
void report_line(std::string_view line);
// Says a line about the user's folders, unless it is the line said last.
void report_once(const std::string& line);
// What failed, with the system's reason in brackets: "x cannot be opened (Permission denied)".
std::string with_error(std::string_view what, int error = errno);
// A line as it may reach a terminal or a window's title: every control character (C0, DEL, and C1 as a UTF-8
// character), the line and paragraph separators, every format character (Unicode's category Cf: those that
// reorder text, zero-width ones, the soft hyphen, tags), every code point Unicode lets show as nothing (its
// Default_Ignorable_Code_Point: the combining grapheme joiner, the Hangul fillers, Khmer's inherent vowels,
// Mongolian's free variation selectors, and the code points kept unassigned for it) and every byte that is no part
// of a UTF-8 character shows as "\xNN" (each byte in hex), so that a name in it can neither end the line nor move,
// clear or reset the terminal, nor show its letters in another order ("evil\u202Ehs.txt" as "eviltxt.sh") or hide
// some of them. Every other character shows as it is, the variation selectors too (U+FE00 to U+FE0F, U+E0100 to
// U+E01EF), which pick a glyph's form in Japanese names. An escaped line comes back as it is.
std::string escape_line(std::string_view line);
// A Shift_JIS text as a window shows it (a title, the text the viewer draws in its attribute popup): converted to
// Unicode, escaped as escape_line escapes, and back. Japanese stays as it is.
std::string escape_shown_sjis(std::string_view sjis);

}  // namespace kz::platform
