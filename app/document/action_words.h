// The words of action texts that need no view: value words of timed motions, view command names, the statements
// of a command text and the path and number of a jump tag.
#pragma once
#include <string>
#include <vector>

namespace kz::view {

// A motion's start value: "min", "max", "now" (the current value; *now_flag becomes 1) by their first three
// letters in any case, anything else a decimal number.
double parse_range_value(const char* word, double min, double max, double current, int* now_flag);
// The end value: as parse_range_value, and "add" followed by a number gives base plus that number.
double parse_range_value_add(const char* word, double min, double max, double current, double base, int* now_flag);

// The view message a command name stands for: a long name or its alias (case ignored), or a number n above 0 for
// 0x5700 + n; 0 or below for none.
int command_id_from_name(const char* name);

// One statement of a command text: the command word (empty when longer than 30 bytes) and the text after the
// separator that ends it. Statements end at ";" outside double quotes and at line ends; "//" starts a comment.
struct ActionStatement {
    std::string word;
    std::string arguments;
};
std::vector<ActionStatement> split_action_statements(const char* text);

// A jump tag's content "path" or "path:<digits>": the path keeps its scheme and drive ("http://...", "C:\...");
// only a trailing ":" with digits after it gives the jump number (0 otherwise).
void split_jump_target(const std::string& content, std::string* path, int* number);

}  // namespace kz::view
