// How an item answers a target: one term, the whole condition folded left to right, the part it selects, and the
// face area of "=calc;area" attributes with its own column filter over the property table.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/foundation/field_tokenizer.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/number_text.h"
#include "app/foundation/sjis_string.h"
#include "app/scene/condition_list.h"
#include "app/scene/view_services.h"
#include "app/scene/xleaf.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "platform/crt/c_numbers.h"

namespace kz::scene {

namespace fnd = kz::foundation;

namespace {

constexpr int kAttributeText = 2399;

// A text that holds no number reads as NaN, so an equal test on it fails and a not-equal test holds.
double number_or_nan(const char* text) {
    char* end = nullptr;
    const double v = kz::crt::c_strtod(text ? text : "", &end);
    return end == text || !text ? std::nan("") : v;
}

// Codes 1..6 compare numbers, 11..16 texts without case; anything else fails.
int compare_by_code(std::uint32_t code, const char* a, const char* b) {
    if (code >= 1 && code <= 6) {
        const double x = number_or_nan(a), y = number_or_nan(b);
        switch (code) {
        case 1: return x == y;
        case 2: return !(x == y);
        case 3: return x >= y;
        case 4: return x > y;
        case 5: return x <= y;
        default: return x < y;
        }
    }
    if (code < 11 || code > 16) return 0;
    const int c = fnd::compare_nocase(a, b);
    switch (code) {
    case 11: return c == 0;
    case 12: return c != 0;
    case 13: return c >= 0;
    case 14: return c > 0;
    case 15: return c <= 0;
    default: return c < 0;
    }
}

struct AreaTerm {
    bool is_and = false;
    std::string column;
    int op = 0;
    std::string value;
};

int area_operator(const std::string& word) {
    static const struct {
        const char* word;
        int code;
    } table[] = {{"EQ", 11}, {"NEQ", 12}, {"PEQ", 13}, {"GT", 14}, {"GE", 15}, {"LT", 16}, {"LE", 17},
                 {"eq", 1},  {"neq", 2},  {"gt", 3},   {"ge", 4},  {"lt", 5},  {"le", 6}};
    for (const auto& row : table)
        if (word == row.word) return row.code;
    return 0;
}

bool area_term_holds(const AreaTerm& term, const char* text) {
    const char* v = term.value.c_str();
    switch (term.op) {
    case 11: return fnd::compare_nocase(text, v) == 0;
    case 12: return fnd::compare_nocase(text, v) != 0;
    case 13: return fnd::find_substring(0, text, v) >= 0;
    case 14: return fnd::compare_nocase(text, v) > 0;
    case 15: return fnd::compare_nocase(text, v) >= 0;
    case 16: return fnd::compare_nocase(text, v) < 0;
    case 17: return fnd::compare_nocase(text, v) <= 0;
    case 1: return kz::crt::c_atof(text) == kz::crt::c_atof(v);
    case 2: return kz::crt::c_atof(text) != kz::crt::c_atof(v);
    case 3: return kz::crt::c_atof(text) > kz::crt::c_atof(v);
    case 4: return kz::crt::c_atof(text) >= kz::crt::c_atof(v);
    case 5: return kz::crt::c_atof(text) < kz::crt::c_atof(v);
    case 6: return kz::crt::c_atof(text) <= kz::crt::c_atof(v);
    default: return false;
    }
}

// Takes the next item off `rest` at the first of the separators (the whole rest when none is left).
std::string take_item(std::string* rest, const fnd::FieldSeparators& seps) {
    std::vector<char> text(rest->begin(), rest->end());
    text.push_back('\0');
    std::vector<char> out(text.size() + 1, '\0');
    fnd::split_field(text.data(), out.data(), static_cast<int>(out.size()), seps);
    *rest = text.data();
    return out.data();
}

std::vector<AreaTerm> parse_area_terms(const std::string& filter) {
    static const fnd::FieldSeparators colon(":"), close(")"), open("(");
    std::vector<AreaTerm> terms;
    std::string rest = filter;
    while (!rest.empty()) {
        std::string text = take_item(&rest, colon);
        if (text.empty()) continue;
        AreaTerm term;
        if (!terms.empty() || text[0] == '(')
            term.is_and = fnd::compare_nocase(take_item(&text, close).c_str(), "and") == 0;
        term.column = take_item(&text, open);
        if (term.column.empty()) continue;
        term.op = area_operator(take_item(&text, close));
        term.value = text;
        fnd::trim_blanks_quotes(term.value.data());
        term.value.resize(std::strlen(term.value.c_str()));
        if (term.value.empty()) continue;
        terms.push_back(std::move(term));
    }
    return terms;
}

}  // namespace

int XTrunk::MatchTerm(const ConditionList* condition, int term) {
    if (!condition) return 0;
    if (term < 0 || term >= condition->term_count) return condition->own_item == index;
    const char* left = condition->left[term] ? condition->left[term] : "";
    const char* right = condition->right[term] ? condition->right[term] : "";
    if (index == 0 && fnd::compare_nocase(left, "#top") == 0) return 1;
    if (std::strcmp(left, "*") == 0) return 1;
    if (!*left) return condition->own_item == index;
    std::vector<char> value(kAttributeText, '\0');
    if (GetAttribute(left, value.data(), kAttributeText) == -99) return 0;
    if (std::strcmp(right, "*") == 0) return 1;
    return compare_by_code(condition->operators[term], value.data(), right);
}

int XTrunk::MatchTarget(const ConditionList* condition) {
    if (!condition) return 0;
    // No precedence: "a.or.b.and.c" is (a + b) * c.
    long long result = MatchTerm(condition, 0);
    for (int k = 1; k < condition->term_count; ++k) {
        const int outcome = MatchTerm(condition, k);
        result = condition->joiners[k] ? result * outcome : result + outcome;
    }
    return result != 0;
}

int XTrunk::FindTargetPart(const ConditionList* condition) {
    if (!condition) return -1;
    const char* name = condition->part_name;
    if (!name || !*name) return condition->own_item == index ? condition->own_part : 0;
    if (fnd::compare_nocase(name, "trunk") == 0) return 0;
    if (std::strcmp(name, "*") == 0) return part_count() < 2 ? -1 : -part_count();
    for (int i = 1; i < part_count(); ++i) {
        const COBJECTA* r = parts[i] ? parts[i]->record : nullptr;
        if (r && r->name && fnd::compare_nocase(r->name, name) == 0) return i;
    }
    return -1;
}

int XTrunk::AttributeEquals(const char* name, const char* value) {
    if (!name || !value) return 0;
    std::vector<char> text(kAttributeText, '\0');
    if (GetAttribute(name, text.data(), kAttributeText) == -99) return 0;
    if (fnd::compare_nocase(name, "#id") == 0) return kz::crt::c_atoi(text.data()) == kz::crt::c_atoi(value);
    return fnd::compare_nocase(text.data(), value) == 0;
}

double XTrunk::CalcFilteredArea(int attribute, const char* rest, char* work, int work_size) {
    std::vector<std::string> items = split_semicolon_items(rest);
    items.resize(std::max<std::size_t>(items.size(), 4));
    const int digits = items[0].empty() ? 99 : kz::crt::c_atoi(items[0].c_str());
    const std::string& unit = items[1];
    double divisor = 1e6;  // face areas are in square millimetres; square metres unless told
    if (fnd::compare_nocase(unit.c_str(), "mm") == 0)
        divisor = 1.0;
    else if (fnd::compare_nocase(unit.c_str(), "cm") == 0)
        divisor = 100.0;
    else if (fnd::compare_nocase(unit.c_str(), "km") == 0)
        divisor = 1e12;
    const std::string& codes = items[2];
    const std::string& filter = items[3];
    if (view) view->ParseNumberRanges(codes.c_str());
    const std::vector<AreaTerm> terms = parse_area_terms(filter);

    double area = 0.0;
    for (int i = 1; i < part_count(); ++i) {
        XLeaves* part = parts[i];
        if (!part) continue;
        bool selected = terms.empty();
        for (const AreaTerm& term : terms) {
            char* text =
                view ? view->PartPropertyTable(2, part, fnd::column_letters_to_index(term.column.c_str())) : nullptr;
            const bool holds = area_term_holds(term, text ? text : "");
            fnd::free_and_null(text);
            if (term.is_and && !holds) {
                selected = false;
                break;
            }
            if (!term.is_and && holds) selected = true;
        }
        if (!selected) continue;
        for (const XLeaf* face : part->WalkFaces())
            if (face && (!view || view->InNumberRanges(face->face_code))) area += face->area;
    }
    area /= divisor;
    char buffer[fnd::kNumberTextSize];
    fnd::format_fixed_decimals(digits, area, buffer, sizeof buffer);
    if (attribute >= 0 && attribute < attributes.count()) {
        AttributeRecord& record = attributes[attribute];
        record.value = fnd::set_heap_string(record.value, buffer, nullptr, -1);
    }
    if (work && work_size > 0) fnd::copy_string_bounded(work, buffer, work_size);
    return area;
}

}  // namespace kz::scene
