// The key help's lines as the Esc key draws them, in the system's code page, for whoever needs to read them
// back from the screen.
#pragma once

namespace kz::view {

// The lines in order; their number in *count.
const char* const* key_help_lines(int* count);

}  // namespace kz::view
