// Counts and sums of an attribute over an item's subtree, with the stack of evaluations in progress that stops
// attributes computing each other in a loop.
#include <cstring>
#include <string>

#include "app/document/xview.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/number_text.h"
#include "app/scene/subtree_walk.h"
#include "app/scene/trunk_attributes.h"
#include "app/scene/xtrunk.h"
#include "platform/crt/c_numbers.h"
#include "platform/dialogs.h"

namespace kz::view {

namespace fnd = kz::foundation;

namespace {

constexpr const char* kLoopText =
    "\x82\xb1\x82\xcc\x83"
    "f\x81[\x83^\x82\xc5\x8cv\x8eZ\x81icount,sum\x81j\x82\xcc\x89i\x8bv\x83\x8b\x81["
    "\x83v\x82\xaa\x94\xad\x90\xb6\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81"
    "B";
constexpr const char* kLoopTitle =
    "\x83v\x83\x8d\x83O\x83\x89\x83\x80\x82\xc5\x8f\x88\x97\x9d\x95s\x89\xc2\x94\\\x82\xc8\x90\xdd\x92\xe8\x82\xaa\x94"
    "\xad\x90\xb6";
constexpr std::size_t kEvalNameBytes = 128;

std::string eval_name(const char* name) {
    std::string n = name ? name : "";
    if (n.size() >= kEvalNameBytes) n.resize(kEvalNameBytes - 1);
    return n;
}

}  // namespace

int XView::ParseResultDigits(const char* expression) {
    if (!expression) return 99;
    const char* equals = std::strchr(expression, '=');
    const std::vector<std::string> items = kz::scene::split_semicolon_items(equals ? equals + 1 : expression);
    if (items.size() < 5 || items[4].empty()) return 99;
    std::string digits = items[4];
    if (digits.size() >= kEvalNameBytes) digits.resize(kEvalNameBytes - 1);
    return kz::crt::c_atoi(digits.c_str());
}

void XView::PushAttributeEval(XTrunk* trunk, const char* name) {
    if (document.attribute_evals.size() + 10 > document.attribute_evals.capacity())
        document.attribute_evals.reserve(document.attribute_evals.capacity() + 100);
    document.attribute_evals.push_back(AttributeEval{trunk, eval_name(name)});
}

int XView::IsAttributeEvalActive(XTrunk* trunk, const char* name) {
    const std::string n = eval_name(name);
    for (const AttributeEval& e : document.attribute_evals)
        if (e.trunk == trunk && e.name == n) return 1;
    return 0;
}

void XView::SumAttributeInTree(XTrunk* trunk, const char* name, const char* expression, double* sum, int nested) {
    if (!trunk || !sum) return;
    // Children before their parent, without recursion.
    kz::scene::walk_subtree_children_first(trunk, [&](XTrunk* t) {
        if (t == trunk && nested == 0) {
            document.last_top_trunk = trunk;
            document.last_top_name = eval_name(name);
        }
        *sum += t->EvalCountSum(expression);
    });
}

char* XView::ComputeAttributes(char* old_value, XTrunk* trunk, const char* name, const char* expression) {
    if (!trunk || !XTrunk::IsCountSumExpression(expression)) return old_value;
    const bool is_last_top = trunk == document.last_top_trunk && document.last_top_name == eval_name(name);
    if (IsAttributeEvalActive(trunk, name) || is_last_top) {
        if (!(IsAttributeEvalActive(trunk, name) && is_last_top))
            kz::platform::message_box(output.parent, kLoopText, kLoopTitle, kz::platform::MB_OK);
        return old_value;
    }
    PushAttributeEval(trunk, name);
    double sum = 0.0;
    for (XTrunk* child : trunk->children) SumAttributeInTree(child, name, expression, &sum, 1);
    document.last_top_trunk = trunk;
    document.last_top_name = eval_name(name);
    sum += trunk->EvalCountSum(expression);
    if (!document.attribute_evals.empty()) document.attribute_evals.pop_back();
    if (document.attribute_evals.empty()) {
        document.last_top_trunk = nullptr;
        document.last_top_name.clear();
    }
    char buffer[512];
    fnd::format_fixed_decimals(ParseResultDigits(expression), sum, buffer, sizeof buffer);
    return fnd::set_heap_string(old_value, buffer, nullptr, -1);
}

}  // namespace kz::view
