// Taking values out of a line of a drawing file or an attribute record: blank- and comma-separated fields with
// double-quoted text, fields between full-width delimiters, trimming, hexadecimal digits and byte classes.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace kz::drawing2d {

constexpr std::size_t kFieldBuffer = 1024;

// Cuts the first field off `line` in place into `field` (capacity bytes; a longer field is cut); the field's
// length, 0 for an empty field or a blank line. See the file's comment in text_fields.cpp for the rules.
int take_field(char* line, char* field, std::size_t capacity = kFieldBuffer);
// The same for lines delimited by full-width characters (full-width space, comma, ideographic comma and closing
// double quote).
int take_field_wide(char* line, char* field, std::size_t capacity = kFieldBuffer);
// Removes leading spaces and double quotes and trailing spaces, double quotes and line feeds, in place.
void trim_field(char* text);
// `count` characters from `start` read as hexadecimal digits; any other character (and the string's end) is 0.
int hex_field_value(const char* text, int start, int count);
// 1 single-byte character, 2 lead byte of a double-byte character, 0 for the end and anything else.
int byte_char_class(unsigned char byte);
// The lines of a text file's bytes, each without its LF or CR LF; a last line without an end counts.
std::vector<std::string> text_lines(const std::string& bytes);

}  // namespace kz::drawing2d
