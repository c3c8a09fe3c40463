// TEMPORARY skeleton: the condition parser is being filled in; every body here does nothing yet.
#include "app/scene/condition_list.h"

namespace kz::scene {

void init_condition_list(ConditionList* list) {
    if (list) *list = ConditionList{};
}
void free_condition_list(ConditionList*) {}
void add_condition_term(ConditionList*, const char*, const char*, std::uint32_t, std::uint32_t) {}
void parse_condition(ConditionList*, const char*, int, int, int, int, int) {}
int parse_condition_field(ConditionList*, char*, int*, int*, int, int, int) { return -1; }

}  // namespace kz::scene
