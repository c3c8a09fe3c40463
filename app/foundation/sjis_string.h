// Null-safe copies, comparisons and searches over Shift_JIS texts. Case folding touches ASCII letters only and
// never the second byte of a double-byte character; searches start matches only where a character begins.
#pragma once

namespace kz::foundation {

// At most size - 1 bytes and a terminator (size 0 or less: an unbounded copy); 0 for a null buffer or text, else 1.
int copy_string_bounded(char* buffer, const char* text, int size);
// The text into a buffer of count bytes, ended at its last byte at the latest; 0 with the buffer emptied when
// count is below 1 or the text is null or empty, else 1.
int copy_text_block(char* buffer, const char* text, int count);

// Byte-wise, bytes unsigned: -1, 0 or 1; -1 when either is null.
int compare_strings(const char* a, const char* b);
// ASCII-case-insensitive: negative, 0 or positive; -1 when either is null.
int compare_nocase(const char* a, const char* b);
// The same over at most the first n bytes.
int compare_prefix_nocase(const char* a, const char* b, int n);
// Case-insensitive over the parts before the first ':' (pose and stage names); an empty a gives 0 against an empty
// b, else -1; a non-empty a against an empty b gives 1.
int compare_before_colon(const char* a, const char* b);

// First occurrence of the pattern (exact bytes) at or after start that begins a character; a start on a trail
// byte moves on to the next character. -1 for null or empty arguments, a start outside the text, or none found.
int find_substring(int start, const char* text, const char* pattern);
// First occurrence of the ASCII letter in either case at or after start, outside double-byte characters; -1.
int find_char_nocase(int start, const char* text, char letter);

// Spreadsheet column labels: "A".."Z" 0..25, two letters 26 + 26 * first + second; other labels read as atoi.
int column_letters_to_index(const char* label);

}  // namespace kz::foundation
