// An item's attributes: the ten system attributes kept in the item and its base record, the user records with
// their expressions, and the measures, counts and sums that keep computed values current.
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
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "platform/crt/c_numbers.h"

namespace kz::scene {

namespace fnd = kz::foundation;

namespace {

constexpr const char* kSystemKeys[kSystemAttributeCount] = {"#id",     "#type", "#party", "#name", "#frefer",
                                                            "#frmode", "#sw",   "#layer", "#sysf", "#group"};
constexpr int kId = 0, kName = 3, kFrefer = 4, kSw = 6, kSysf = 8;
constexpr int kAttributeText = 2399;
// Computed values may name each other through targets; past this depth the stored value stands.
constexpr int kMaxRecomputeDepth = 64;

bool starts_nocase(const char* text, const char* prefix) {
    return text && fnd::compare_prefix_nocase(text, prefix, static_cast<int>(std::strlen(prefix))) == 0;
}

bool empty_text(const char* text) { return !text || !*text; }

// The record's text field that holds system attribute `key`, or null for the number ones.
char** system_text(COBJECTA* record, int key) {
    if (!record) return nullptr;
    switch (key) {
    case 1: return &record->type;
    case 2: return &record->party;
    case 3: return &record->name;
    case 4: return &record->frefer;
    case 5: return &record->frmode;
    case 7: return &record->layer;
    case 9: return &record->group;
    default: return nullptr;
    }
}

// Restores the view's change lock when an update ends, so marking works again for later edits.
class ChangeLockScope {
public:
    explicit ChangeLockScope(XViewServices* view) : view_(view), previous_(view ? view->ChangeLock() : 0) {
        if (view_) view_->SetChangeLock(1);
    }
    ~ChangeLockScope() {
        if (view_) view_->SetChangeLock(previous_);
    }
    ChangeLockScope(const ChangeLockScope&) = delete;
    ChangeLockScope& operator=(const ChangeLockScope&) = delete;

private:
    XViewServices* view_;
    int previous_;
};

thread_local int recompute_depth = 0;
// While a top condition is matched, the values it reads are taken as stored: recomputing them would search for
// tops again, once per item at every level.
thread_local int top_search_depth = 0;

}  // namespace

int system_attribute_index(const char* name) {
    if (empty_text(name)) return -1;
    for (int i = 0; i < kSystemAttributeCount; ++i)
        if (fnd::compare_nocase(name, kSystemKeys[i]) == 0) return i;
    return -1;
}

const char* system_attribute_key(int index) {
    return index >= 0 && index < kSystemAttributeCount ? kSystemKeys[index] : "";
}

std::vector<std::string> split_semicolon_items(const char* text) {
    static const fnd::FieldSeparators semicolon(";");
    std::vector<std::string> items;
    if (empty_text(text)) return items;
    std::vector<char> rest(text, text + std::strlen(text) + 1);
    std::vector<char> out(rest.size() + 1, '\0');
    for (;;) {
        const int more = fnd::split_field(rest.data(), out.data(), static_cast<int>(out.size()), semicolon);
        items.emplace_back(out.data());
        if (!more) return items;
    }
}

void free_attribute_rows(char** names, char** values, char** expressions, int count) {
    for (char** rows : {names, values, expressions}) {
        if (!rows) continue;
        for (int i = 0; i < count; ++i) fnd::free_and_null(rows[i]);
        fnd::free_and_null(rows);
    }
}

// --- AttributeArray ------------------------------------------------------------------------------------------

int AttributeArray::find(const char* name) const {
    if (!name) return -1;
    for (int i = 0; i < count(); ++i)
        if (records[i].name && fnd::compare_nocase(records[i].name, name) == 0) return i;
    return -1;
}

int AttributeArray::append(const char* name, const char* value, const char* expression) {
    if (records.size() + 4 > records.capacity()) records.reserve(records.capacity() + 16);
    records.emplace_back();
    set(count() - 1, name, value, expression);
    return count() - 1;
}

void AttributeArray::set(int i, const char* name, const char* value, const char* expression) {
    AttributeRecord& r = records[static_cast<std::size_t>(i)];
    // Copies first: a source may be this record's own text.
    char* n = fnd::set_heap_string(nullptr, name ? name : "", nullptr, -1);
    char* v = fnd::set_heap_string(nullptr, value ? value : "", nullptr, -1);
    char* e = fnd::set_heap_string(nullptr, expression ? expression : "", nullptr, -1);
    fnd::free_and_null(r.name);
    fnd::free_and_null(r.value);
    fnd::free_and_null(r.expression);
    r = AttributeRecord{n, v, e};
}

void AttributeArray::remove(int i) {
    if (i < 0 || i >= count()) return;
    AttributeRecord& r = records[static_cast<std::size_t>(i)];
    fnd::free_and_null(r.name);
    fnd::free_and_null(r.value);
    fnd::free_and_null(r.expression);
    records.erase(records.begin() + i);
}

void AttributeArray::clear() {
    while (count() > 0) remove(count() - 1);
    records = std::vector<AttributeRecord>();
}

// --- Reading -------------------------------------------------------------------------------------------------

namespace {

std::string system_value(XTrunk* trunk, int key) {
    COBJECTA* record = trunk->base_record();
    if (key == kId) return kz::crt::int_text(trunk->id);
    if (key == kSw) return kz::crt::int_text(trunk->sw);
    if (key == kSysf) return record ? kz::crt::int_text(record->sysf) : "";
    char** text = system_text(record, key);
    return text && *text ? *text : "";
}

// The user record's value brought up to date by the view (counts and sums over its subtree).
void recompute_record(XTrunk* trunk, int i) {
    if (!trunk->view || recompute_depth >= kMaxRecomputeDepth || top_search_depth > 0) return;
    ++recompute_depth;
    const std::string name = trunk->attributes[i].name ? trunk->attributes[i].name : "";
    const std::string expression = trunk->attributes[i].expression ? trunk->attributes[i].expression : "";
    XTrunk* top = trunk->FindTrunkForExpression(expression.c_str());
    // The view may reshape this item's records while it computes; the result goes to the record of that name.
    char* value =
        fnd::set_heap_string(nullptr, trunk->attributes[i].value ? trunk->attributes[i].value : "", nullptr, -1);
    value = trunk->view->ComputeAttributes(value, top, name.c_str(), expression.c_str());
    const int now = trunk->attributes.find(name.c_str());
    if (now >= 0 && value) {
        AttributeRecord& r = trunk->attributes[now];
        fnd::free_and_null(r.value);
        r.value = value;
    } else {
        fnd::free_and_null(value);
    }
    --recompute_depth;
}

}  // namespace

int XTrunk::GetAttribute(const char* name, char* buffer, int size) {
    if (buffer && size > 0) fnd::copy_string_bounded(buffer, "-", size);
    const int key = system_attribute_index(name);
    if (key >= 0) {
        const std::string value = system_value(this, key);
        if (!value.empty() && buffer && size > 0) fnd::copy_string_bounded(buffer, value.c_str(), size);
        return -1;
    }
    const int i = attributes.find(name);
    if (i < 0) return -99;
    recompute_record(this, i);
    const int now = attributes.find(name);
    if (now < 0) return -99;
    if (buffer && size > 0) fnd::copy_string_bounded(buffer, attributes[now].value ? attributes[now].value : "", size);
    return now;
}

// --- Setting -------------------------------------------------------------------------------------------------

namespace {

// Stores a system attribute's value: numbers by atoi, "#frefer" resolved against the item's unit.
void store_system(XTrunk* trunk, int key, const char* value) {
    COBJECTA* record = trunk->base_record();
    if (key == kId)
        trunk->id = kz::crt::c_atoi(value);
    else if (key == kSw)
        trunk->sw = kz::crt::c_atoi(value);
    else if (key == kSysf) {
        if (record) record->sysf = kz::crt::c_atoi(value);
    } else if (char** text = system_text(record, key)) {
        if (key == kFrefer && trunk->view)
            *text = trunk->view->ToAbsolutePath(*text, value ? value : "", trunk);
        else
            *text = fnd::set_heap_string(*text, value ? value : "", nullptr, -1);
    }
}

void clear_system(XTrunk* trunk, int key) {
    COBJECTA* record = trunk->base_record();
    if (key == kId)
        trunk->id = 0;
    else if (key == kSw)
        trunk->sw = 0;
    else if (key == kSysf) {
        if (record) record->sysf = 0;
    } else if (char** text = system_text(record, key)) {
        *text = fnd::free_and_null(*text);
    }
}

bool system_empty(XTrunk* trunk, int key) {
    COBJECTA* record = trunk->base_record();
    if (key == kId) return trunk->id == 0;
    if (key == kSw) return trunk->sw == 0;
    if (key == kSysf) return !record || record->sysf == 0;
    char** text = system_text(record, key);
    return !text || empty_text(*text);
}

void mark_changed(XTrunk* trunk) {
    if (trunk->view) trunk->view->MarkTrunkChanged(trunk);
}

}  // namespace

void XTrunk::SetAttribute(const char* name_in, const char* value_in, const char* expression_in) {
    if (empty_text(name_in)) return;
    std::string name = name_in, value = value_in ? value_in : "", expression = expression_in ? expression_in : "";
    if (name.size() > 5 && fnd::compare_nocase(name.c_str() + name.size() - 5, ".unit") == 0) {
        name.resize(name.size() - 5);
        expression = value;
        value = "#=";
    }
    if (starts_nocase(expression.c_str(), "'=") || starts_nocase(expression.c_str(), "\"=")) expression.erase(0, 1);
    const bool remove = starts_nocase(value.c_str(), "#del");
    const bool keep_value = starts_nocase(value.c_str(), "#=");
    const bool keep_expression = starts_nocase(expression.c_str(), "#=");

    const int key = system_attribute_index(name.c_str());
    if (key >= 0) {
        if (remove)
            clear_system(this, key);
        else if (!keep_value)
            store_system(this, key, value.c_str());
        return;
    }
    const int i = attributes.find(name.c_str());
    if (i >= 0) {
        if (remove) {
            attributes.remove(i);
            return;
        }
        AttributeRecord& r = attributes[i];
        const std::string old_name = r.name ? r.name : "";
        const std::string old_value = r.value ? r.value : "";
        const std::string old_expression = r.expression ? r.expression : "";
        const bool new_expression = !expression.empty() && !keep_expression;
        attributes.set(i, old_name.c_str(), keep_value ? old_value.c_str() : value.c_str(),
                       new_expression ? expression.c_str() : old_expression.c_str());
        return;
    }
    if (remove) return;
    if (keep_value) value.clear();
    if (keep_expression) expression.clear();
    if (!value.empty() || !expression.empty()) SetSystemAttribute(name.c_str(), value.c_str(), expression.c_str(), 1);
}

int XTrunk::SetSystemAttribute(const char* name, const char* value, const char* expression, int add) {
    if (empty_text(name)) return -2;
    const int key = system_attribute_index(name);
    if (key >= 0) {
        store_system(this, key, value);
        mark_changed(this);
        return -1;
    }
    int i = attributes.find(name);
    if (i < 0) {
        if (add != 1) return -2;
        i = attributes.append(name, value, expression);
    } else {
        attributes.set(i, name, value, expression);
    }
    mark_changed(this);
    return i;
}

int XTrunk::SetAttributeDefault(const char* name, const char* value, const char* expression) {
    if (empty_text(name)) return -2;
    mark_changed(this);
    const int key = system_attribute_index(name);
    if (key >= 0) {
        if (system_empty(this, key)) store_system(this, key, value);
        return -1;
    }
    int i = attributes.find(name);
    if (i < 0) i = attributes.append(name, "", "");
    if (empty_text(attributes[i].value)) attributes.set(i, name, value, expression);
    return i;
}

int XTrunk::SetAttributeByIndex(int index, const char* name, const char* value, const char* expression) {
    if (index >= kSystemAttributeCount && index < kSystemAttributeCount + attributes.count()) {
        const int k = index - kSystemAttributeCount;
        if (empty_text(name)) {
            attributes.remove(k);
            return 1;
        }
        for (int j = 0; j < attributes.count(); ++j)
            if (j != k && attributes[j].name && fnd::compare_nocase(attributes[j].name, name) == 0) return 0;
        attributes.set(k, name, value, expression);
        return 1;
    }
    if (index >= 0 && index < kSystemAttributeCount) {
        if ((index == kId || index == kName) && empty_text(value)) return 1;
        store_system(this, index, value);
        return 1;
    }
    SetSystemAttribute(name, value, expression, 1);
    return 1;
}

int XTrunk::CollectAttributes(char*** names, char*** values, char*** expressions) {
    RecomputeAttributes();
    const int rows = kSystemAttributeCount + attributes.count();
    auto make = [rows]() { return static_cast<char**>(fnd::alloc_zeroed(sizeof(char*) * (rows + 1))); };
    char** n = make();
    char** v = make();
    char** e = make();
    for (int key = 0; key < kSystemAttributeCount; ++key) {
        std::string value = system_value(this, key);
        if (key == kFrefer && view && !value.empty()) {
            char* relative = view->ToRelativePath(nullptr, value.c_str(), this);
            value = relative ? relative : "";
            fnd::free_and_null(relative);
        }
        n[key] = fnd::set_heap_string(nullptr, kSystemKeys[key], nullptr, -1);
        v[key] = fnd::set_heap_string(nullptr, value.c_str(), nullptr, -1);
        e[key] = fnd::set_heap_string(nullptr, "", nullptr, -1);
    }
    for (int k = 0; k < attributes.count(); ++k) {
        const AttributeRecord& r = attributes[k];
        n[kSystemAttributeCount + k] = fnd::set_heap_string(nullptr, r.name ? r.name : "", nullptr, -1);
        v[kSystemAttributeCount + k] = fnd::set_heap_string(nullptr, r.value ? r.value : "", nullptr, -1);
        e[kSystemAttributeCount + k] = fnd::set_heap_string(nullptr, r.expression ? r.expression : "", nullptr, -1);
    }
    if (names) *names = n;
    if (values) *values = v;
    if (expressions) *expressions = e;
    free_attribute_rows(names ? nullptr : n, values ? nullptr : v, expressions ? nullptr : e, rows);
    return rows;
}

void XTrunk::CopyAttributesFrom(XTrunk* source) {
    if (!source || source == this) return;
    attributes.clear();
    char **n = nullptr, **v = nullptr, **e = nullptr;
    const int rows = source->CollectAttributes(&n, &v, &e);
    for (int i = 0; i < rows; ++i) {
        const int index = i < kSystemAttributeCount ? i : kSystemAttributeCount + attributes.count();
        SetAttributeByIndex(index, n[i], v[i], e[i]);
    }
    free_attribute_rows(n, v, e, rows);
}

int XTrunk::DeleteAttribute(const char* name) {
    attributes.remove(attributes.find(name));
    return attributes.count();
}

int XTrunk::DeleteAttributeAt(int index) {
    attributes.remove(index);
    return attributes.count();
}

void XTrunk::ClearAttributes() { attributes.clear(); }

void XTrunk::SortAttributes() {
    // A "#new item" row further down never moves up, so a freshly added row keeps its place at the end.
    for (int i = 0; i + 1 < attributes.count(); ++i)
        for (int j = i + 1; j < attributes.count(); ++j) {
            const char* a = attributes[i].name ? attributes[i].name : "";
            const char* b = attributes[j].name ? attributes[j].name : "";
            if (fnd::compare_nocase(b, "#new item") != 0 && fnd::compare_nocase(a, b) > 0) attributes.swap(i, j);
        }
}

// --- Computed values -----------------------------------------------------------------------------------------

void XTrunk::UpdateCalcAttributes() {
    ChangeLockScope lock(view);
    if (!attributes.allocated()) attributes.append("aa", "bb", "[imagearea]");
    for (int i = attributes.count() - 1; i >= 0; --i)
        if (attributes[i].expression && fnd::compare_nocase(attributes[i].expression, "[imagearea]") == 0)
            attributes.remove(i);

    for (int i = 0; i < attributes.count(); ++i) {
        const std::string expression = attributes[i].expression ? attributes[i].expression : "";
        const std::vector<std::string> items = split_semicolon_items(expression.c_str());
        if (items.size() < 2 || fnd::compare_nocase(items[0].c_str(), "=calc") != 0) continue;
        const char* measure = items[1].c_str();
        if (fnd::compare_nocase(measure, "area") == 0) {
            // The area's own items follow "=calc;area;" in the raw text (quotes included).
            int len = 0;
            int at = fnd::next_semicolon_item(expression.c_str(), 0, len);
            if (at >= 0) at = fnd::next_semicolon_item(expression.c_str(), at, len);
            CalcFilteredArea(i, at >= 0 ? expression.c_str() + at : "", nullptr, 0);
            continue;
        }
        double result = 0.0;
        if (fnd::compare_nocase(measure, "volume") == 0) {
            for (int p = 1; p < part_count(); ++p) result += parts[p] ? parts[p]->volume : 0.0;
            result /= 1e9;
        } else if (fnd::compare_nocase(measure, "surface") == 0) {
            for (int p = 1; p < part_count(); ++p) result += parts[p] ? parts[p]->surface() : 0.0;
            result /= 1e6;
        } else if (fnd::compare_nocase(measure, "length") == 0) {
            for (int p = 1; p < part_count(); ++p)
                if (parts[p] && FindPartParent(p) == 0) {
                    result = parts[p]->length / 1000.0;
                    break;
                }
        } else {
            continue;
        }
        const int digits = items.size() < 3 || items[2].empty() ? 99 : kz::crt::c_atoi(items[2].c_str());
        char buffer[fnd::kNumberTextSize];
        fnd::format_fixed_decimals(digits, result, buffer, sizeof buffer);
        attributes[i].value = fnd::set_heap_string(attributes[i].value, buffer, nullptr, -1);
    }
}

void XTrunk::RecomputeAttributes() {
    UpdateCalcAttributes();
    for (int i = 0; i < attributes.count(); ++i) recompute_record(this, i);
}

int XTrunk::IsCountSumExpression(const char* expression) {
    return starts_nocase(expression, "=sum;") || starts_nocase(expression, "=count;");
}

XTrunk* XTrunk::FindTrunkForExpression(const char* expression) {
    const std::vector<std::string> items = split_semicolon_items(expression);
    if (items.size() < 4 || items[3].empty() || !view) return this;
    ConditionList top;
    init_condition_list(&top);
    parse_condition(&top, items[3].c_str(), 0, static_cast<int>(items[3].size()), -1, -1, -1);
    XTrunk* found = this;
    ++top_search_depth;
    for (int i = 0; i < view->TrunkCount(); ++i) {
        XTrunk* t = view->TrunkAt(i);
        if (t && t->MatchTarget(&top)) {
            found = t;
            break;
        }
    }
    --top_search_depth;
    free_condition_list(&top);
    return found;
}

double XTrunk::EvalCountSum(const char* expression) {
    if (!parent || !expression || expression[0] != '=') return 0.0;
    UpdateCalcAttributes();
    const std::vector<std::string> items = split_semicolon_items(expression + 1);
    const std::string kind = items.empty() || items[0].empty() ? "count" : items[0];
    if (items.size() > 1 && !items[1].empty()) {
        ConditionList target;
        init_condition_list(&target);
        parse_condition(&target, items[1].c_str(), 0, static_cast<int>(items[1].size()), index, 0, parent->index);
        const int matches = MatchTarget(&target);
        free_condition_list(&target);
        if (!matches) return 0.0;
    }
    std::string name = items.size() > 2 ? items[2] : "";
    if (name.size() > 127) name.resize(127);
    std::vector<char> value(kAttributeText, '\0');
    const bool has = !name.empty() && GetAttribute(name.c_str(), value.data(), kAttributeText) != -99;
    if (fnd::compare_nocase(kind.c_str(), "sum") == 0) return has ? kz::crt::c_atof(value.data()) : 0.0;
    if (fnd::compare_nocase(kind.c_str(), "count") == 0) return name.empty() || has ? 1.0 : 0.0;
    return 0.0;
}

}  // namespace kz::scene
