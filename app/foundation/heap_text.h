// Heap texts: C-heap blocks holding a zero-terminated text, owned through one pointer and replaced only through
// set_heap_string / heap_substring, released with free_and_null (p = free_and_null(p)).
#pragma once
#include <cstddef>

namespace kz::foundation {

// The one setter of a heap text; the caller stores the result in place of old_block. With append null and size -1
// (the usual call) the result is a copy of source. source and append may be, or point inside, old_block.
// No source, no append and size below 1: frees old_block, null. Without source but size >= 1: a zeroed block of
// size bytes. old_block == source: append is added to it.
char* set_heap_string(char* old_block, const char* source, const char* append, int size);
// Frees a non-null block; always null.
std::nullptr_t free_and_null(void* block);
// A heap text of count bytes of text from start (count negative or past the end: to the end), replacing
// old_block; an empty heap text when the text is null or empty, count is 0 or start lies outside the text.
char* heap_substring(char* old_block, const char* text, int start, int count);
// The last n bytes of the text into out (room for n + 1 bytes); empty when n exceeds the length.
void right_chars(const char* text, int n, char* out);
// A zero-filled C-heap block (at least one byte).
void* alloc_zeroed(std::size_t count);

}  // namespace kz::foundation
