// The condition parser: a text such as "size.gt.100.and.kind=chair(door)" into terms, joiners, a part name and the
// subtree a caller searches. Evaluation against one item lives with the item (xtrunk_targets.cpp).
#include "app/scene/condition_list.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>

#include "app/foundation/field_tokenizer.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/sjis_string.h"

namespace kz::scene {

namespace fnd = kz::foundation;

namespace {

struct OperatorForm {
    const char* text;
    std::uint32_t code;
};

// Tried in this order: the first form found anywhere in the term wins, so ".==." beats "=" and "!=" beats "=".
constexpr OperatorForm kOperatorForms[] = {
    {".eq.", 1},  {".ne.", 2}, {".ge.", 3}, {".gt.", 4},  {".le.", 5},  {".lt.", 6},  {".EQ.", 11}, {".==.", 11},
    {".!=.", 12}, {"!=", 12},  {"=", 11},   {".NE.", 12}, {".GE.", 13}, {".GT.", 14}, {".LE.", 15}, {".LT.", 16},
};

void trim(std::string* text) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '"'; };
    std::size_t b = 0, e = text->size();
    while (b < e && blank((*text)[b])) ++b;
    while (e > b && blank((*text)[e - 1])) --e;
    *text = text->substr(b, e - b);
}

// Position of pattern in text at or after from, at a character start; npos when absent.
std::size_t find_at(const std::string& text, const char* pattern, std::size_t from = 0) {
    if (from >= text.size()) return std::string::npos;
    const int at = fnd::find_substring(static_cast<int>(from), text.c_str(), pattern);
    return at < 0 ? std::string::npos : static_cast<std::size_t>(at);
}

void set_part_name(ConditionList* list, const std::string& name) {
    list->part_name = fnd::set_heap_string(list->part_name, name.c_str(), nullptr, -1);
}

void add_term_text(ConditionList* list, const std::string& term, std::uint32_t joiner) {
    for (const OperatorForm& form : kOperatorForms) {
        const std::size_t at = find_at(term, form.text);
        if (at == std::string::npos) continue;
        std::string left = term.substr(0, at);
        std::string right = term.substr(at + std::strlen(form.text));
        trim(&left);
        trim(&right);
        add_condition_term(list, left.c_str(), right.c_str(), form.code, joiner);
        return;
    }
    std::string name = term;
    trim(&name);
    if (!name.empty()) set_part_name(list, name);
    add_condition_term(list, "", "", 0, joiner);
}

}  // namespace

void init_condition_list(ConditionList* list) {
    if (list) *list = ConditionList{};
}

static void grow_condition_list(ConditionList* list) {
    if (list->capacity - list->term_count >= 5) return;
    const int capacity = list->capacity + 10;
    auto grow = [&](auto*& array) {
        using T = std::remove_reference_t<decltype(*array)>;
        auto* bigger = static_cast<T*>(fnd::alloc_zeroed(sizeof(T) * static_cast<std::size_t>(capacity)));
        if (array && list->term_count > 0) std::memcpy(bigger, array, sizeof(T) * list->term_count);
        std::free(array);
        array = bigger;
    };
    grow(list->left);
    grow(list->right);
    grow(list->operators);
    grow(list->joiners);
    list->capacity = capacity;
}

void free_condition_list(ConditionList* list) {
    if (!list) return;
    for (int i = 0; i < list->term_count; ++i) {
        if (list->left) list->left[i] = fnd::free_and_null(list->left[i]);
        if (list->right) list->right[i] = fnd::free_and_null(list->right[i]);
    }
    list->left = fnd::free_and_null(list->left);
    list->right = fnd::free_and_null(list->right);
    list->operators = fnd::free_and_null(list->operators);
    list->joiners = fnd::free_and_null(list->joiners);
    list->part_name = fnd::free_and_null(list->part_name);
    list->term_count = 0;
    list->capacity = 0;
}

void add_condition_term(ConditionList* list, const char* left, const char* right, std::uint32_t operator_code,
                        std::uint32_t joiner) {
    if (!list) return;
    grow_condition_list(list);
    const int k = list->term_count;
    list->left[k] = fnd::set_heap_string(nullptr, left ? left : "", nullptr, -1);
    list->right[k] = fnd::set_heap_string(nullptr, right ? right : "", nullptr, -1);
    list->operators[k] = operator_code;
    list->joiners[k] = joiner;
    list->term_count = k + 1;
}

void parse_condition(ConditionList* list, const char* text, int start, int length, int own_item, int own_part,
                     int parent_item) {
    if (!list) return;
    list->search_root = 0;
    std::string span;
    if (text && start >= 0 && length > 0) {
        const std::size_t available = std::strlen(text);
        if (static_cast<std::size_t>(start) < available)
            span.assign(text + start, std::min<std::size_t>(static_cast<std::size_t>(length), available - start));
    }
    trim(&span);
    if (fnd::compare_prefix_nocase(span.c_str(), "#top", 4) == 0) {
        add_condition_term(list, "#top", "", 0, 0);
        return;
    }
    list->own_item = own_item;
    list->own_part = own_part;
    list->empty = 0;
    set_part_name(list, "");
    std::size_t pos = 0;
    if (pos < span.size() && span[pos] == '-') {
        if (own_item > 0) list->search_root = own_item;
        ++pos;
    }
    if (pos < span.size() && span[pos] == '+') {
        if (parent_item > 0) list->search_root = parent_item;
        ++pos;
    }
    span.erase(0, pos);
    trim(&span);
    if (span.empty()) {
        add_condition_term(list, "", "", 0, 0);
        list->empty = 1;
        return;
    }

    std::string terms = span;
    const std::size_t paren = find_at(span, "(");
    const std::size_t colon = find_at(span, ":");
    if (paren != std::string::npos && paren + 1 < span.size()) {
        terms = span.substr(0, paren);
        const std::size_t close = find_at(span, ")", paren + 1);
        std::string name = span.substr(paren + 1, close == std::string::npos ? std::string::npos : close - paren - 1);
        trim(&name);
        set_part_name(list, name);
    } else if (colon != std::string::npos && colon + 1 < span.size()) {
        terms = span.substr(0, colon);
        const std::size_t semicolon = find_at(span, ";", colon + 1);
        std::string name =
            span.substr(colon + 1, semicolon == std::string::npos ? std::string::npos : semicolon - colon - 1);
        trim(&name);
        set_part_name(list, name);
    }

    // Joiners are folded strictly left to right by the evaluator, so only the separator before each term is kept.
    std::size_t at = 0;
    std::uint32_t joiner = 1;
    for (;;) {
        const std::size_t next_or = find_at(terms, ".or.", at);
        const std::size_t next_and = find_at(terms, ".and.", at);
        if (next_or == std::string::npos && next_and == std::string::npos) {
            add_term_text(list, terms.substr(std::min(at, terms.size())), joiner);
            return;
        }
        const bool is_or = next_or != std::string::npos && (next_and == std::string::npos || next_or < next_and);
        const std::size_t cut = is_or ? next_or : next_and;
        add_term_text(list, terms.substr(at, cut - at), joiner);
        joiner = is_or ? 0 : 1;
        at = cut + (is_or ? 4 : 5);
    }
}

int parse_condition_field(ConditionList* list, char* text, int* start, int* length, int own_item, int own_part,
                          int parent_item) {
    if (!text || !start || !length) return -1;
    static const fnd::FieldSeparators separators("\t", ",", ":");
    if (*start < 0) {
        *length = 0;
        parse_condition(list, text, 0, 0, own_item, own_part, parent_item);
        return -1;
    }
    int pos = *start, len = 0;
    const int next = fnd::get_field(text, pos, len, separators);
    *start = pos;
    *length = len;
    // The parser reads up to the span's end; the cut keeps it from running into the next field.
    fnd::push_string_cut(text + pos + len);
    parse_condition(list, text, pos, len, own_item, own_part, parent_item);
    fnd::pop_string_cut();
    return next;
}

}  // namespace kz::scene
