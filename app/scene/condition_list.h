// Targets and conditions: the parsed form of a text such as "type=door(handle)" that selects items and a part
// inside each, and its parser. The scene model evaluates it against one item at a time (XTrunk::MatchTarget).
#pragma once
#include <cstdint>

namespace kz::scene {

struct ConditionList {
    std::int32_t term_count = 0;
    std::int32_t capacity = 0;
    char** left = nullptr;               // heap texts: attribute name, "#top", "*" or empty
    char** right = nullptr;              // heap texts
    std::uint32_t* operators = nullptr;  // 1..6 numbers, 11..16 texts, 0 none
    std::uint32_t* joiners = nullptr;    // 0 or, 1 and
    char* part_name = nullptr;           // heap text, may be null or empty
    std::int32_t own_item = -1;
    std::int32_t own_part = -1;
    std::int32_t empty = 0;
    std::int32_t search_root = -1;
};

void init_condition_list(ConditionList* list);
void free_condition_list(ConditionList* list);
void add_condition_term(ConditionList* list, const char* left, const char* right, std::uint32_t operator_code,
                        std::uint32_t joiner);
void parse_condition(ConditionList* list, const char* text, int start, int length, int own_item, int own_part,
                     int parent_item);
// Returns the position after the field's separator, -1 at the end of the text; start and length get the span.
int parse_condition_field(ConditionList* list, char* text, int* start, int* length, int own_item, int own_part,
                          int parent_item);

}  // namespace kz::scene
