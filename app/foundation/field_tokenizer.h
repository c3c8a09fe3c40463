// The one lexer for the system's Shift_JIS text: byte classes, field splitting with quotes and up to seven
// separators, typed field getters, the cut stack, line walking and in-place trimming.
#pragma once
#include <string>
#include <vector>

#include "platform/crt/mbcs.h"

namespace kz::foundation {

// Bytes taken by the character at p: 2 for a lead byte with a valid trail byte (class 2 below), else 1.
inline int sjis_char_size(const char* p) {
    auto c = reinterpret_cast<const unsigned char*>(p);
    return kz::crt::is_sjis_lead(c[0]) && kz::crt::is_sjis_trail(c[1]) ? 2 : 1;
}

// Class of the byte at text[index]: -1 negative index, 0 the terminating zero (or no text), 1 a single-byte
// character (0x20-0x7E, half-width katakana 0xA0-0xDF), 2 a lead byte followed by a valid trail byte, 3 a control
// character 0x01-0x1F, 4 anything else (0x7F, 0x80, 0xFD-0xFF, a lead byte without a valid trail byte).
int sjis_byte_kind(const char* text, int index);

// One to seven separator strings, tried in list order; the list ends at the first null entry. Each separator is
// used up to its first 31 bytes. The strings are referred to, not copied: they must outlive the call they serve.
// Written at the call as a braced list: get_field(line, pos, len, {"\t", ","}, ...).
class FieldSeparators {
public:
    static constexpr int kMaxCount = 7;
    static constexpr int kMaxLength = 31;

    FieldSeparators(const char* s1, const char* s2 = nullptr, const char* s3 = nullptr, const char* s4 = nullptr,
                    const char* s5 = nullptr, const char* s6 = nullptr, const char* s7 = nullptr);

    int count() const { return count_; }
    const char* text(int i) const { return text_[i]; }
    int length(int i) const { return length_[i]; }
    // Only the i-th separator, for scans that try the separators one after the other.
    FieldSeparators only(int i) const;
    // Bytes at which the field scan must stop and look: separator starts, '"', lead bytes and the terminator.
    bool stops_at(unsigned char c) const { return stop_[c] != 0; }
    // Length of the first separator (list order) matching at p, or -1.
    int match(const unsigned char* p) const;

private:
    FieldSeparators() = default;
    void add(const char* s);

    const char* text_[kMaxCount] = {};
    int length_[kMaxCount] = {};
    int count_ = 0;
    unsigned char stop_[256] = {};
};

// Finds the field at pos ending at the first separator outside double quotes (double-byte characters are stepped
// over whole). Writes the trimmed start to pos and the trimmed length to len, fills out (when given) with the field,
// or with default_text when the field is empty, and leaves it empty when the field does not fit. Returns the
// position after the separator, or -1 when none follows (or nothing follows it). A negative pos becomes 0, out
// receives the default and the result is -1. Caller advances with pos = result.
int get_field(const char* text, int& pos, int& len, const FieldSeparators& seps, char* out = nullptr, int out_size = 0,
              const char* default_text = "");

// Typed getters: read the field at pos (as get_field, with an empty default for out) and store the next position
// (-1 included) in pos and the field length in len, so consecutive calls walk a line. A negative pos gives the
// default and leaves pos alone. The number text is cut at 110 bytes and read as atoi / atof in the C locale.
int get_field_int(const char* text, int& pos, int& len, const FieldSeparators& seps, int default_value,
                  char* out = nullptr, int out_size = 0);
double get_field_double(const char* text, int& pos, int& len, const FieldSeparators& seps, double default_value,
                        char* out = nullptr, int out_size = 0);
// An empty field gives 0; a negative colour gives the default when the default is 0 or more.
int get_field_color(const char* text, int& pos, int& len, const FieldSeparators& seps, int default_value,
                    char* out = nullptr, int out_size = 0);
// 0, or -1 (out receives default_text, pos untouched) when pos was already negative.
int get_field_string(const char* text, int& pos, int& len, const FieldSeparators& seps, char* out, int out_size,
                     const char* default_text);

// Colour text to a COLORREF value (red in the low byte): "#RRGGBB", "r,g,b" / "r.g.b", or RRGGBB in hex; a text
// whose atoi value is negative gives -1.
int parse_color(const char* text);

// Takes the first item off text: the first separator in list order that occurs outside quotes anywhere in the
// text wins. out (room for out_size bytes) receives the item trimmed of blanks and quotes; text keeps what follows
// the separator. 1 when a separator was found; else the whole text moves to out and 0.
int split_field(char* text, char* out, int out_size, const FieldSeparators& seps);

// Ends a text temporarily at `at` (the byte there is kept on a process-wide stack of 1024) / puts the latest
// byte back. Strictly last in, first out; a push beyond 1024 cuts nothing and its pop restores nothing.
void push_string_cut(char* at);
void pop_string_cut();
int string_cut_depth();

// Length of the line at start (up to CR, LF or the end) into len; position of the next line, where a second CR
// or LF right behind the first belongs to the same line end; -1 when the text ends within or right after it.
int next_line(const char* text, int start, int& len);
// The lines of a text, split at every CR and LF, without the empty ones.
std::vector<std::string> nonempty_lines(const std::string& text);
// Copies the line at start into a C-heap buffer grown in steps of 1000 bytes; next as next_line. Returns the
// buffer, which may have moved (release it with free_and_null).
char* read_line_heap(char* buffer, const char* text, int start, int& next, int& capacity);
// Item from start up to the first ';' outside double quotes: its length into len, the position after the ';',
// or -1 when the item runs to the end.
int next_semicolon_item(const char* text, int start, int& len);

// Narrows a span past tabs, blanks and commas at both ends; 0 when nothing else is left.
int trim_span(const char* text, int& start, int& len);
// In place: leading tabs, blanks and quotes; trailing tabs, CR, LF, blanks and quotes.
void trim_blanks_quotes(char* text);
// In place: tabs, blanks and commas at both ends.
void trim_blanks_commas(char* text);
// Ends the text at its first CR or LF within the first 64000 bytes.
void cut_at_line_end(char* text);

}  // namespace kz::foundation
