// The text of the view's attribute popup: an item's set system attributes and its user attributes with values,
// laid out as three columns of name, value and expression.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/document/xview.h"
#include "app/foundation/heap_text.h"
#include "app/scene/trunk_attributes.h"
#include "app/scene/xtrunk.h"
#include "platform/crt/c_numbers.h"

namespace kz::view {

namespace fnd = kz::foundation;

char* XView::ItemAttributeList(char* old, XTrunk* item) {
    fnd::free_and_null(old);
    struct Row {
        std::string name, value, expression;
    };
    std::vector<Row> rows;
    if (item) {
        std::vector<char> value(2399, '\0');
        for (int key = 0; key < kz::scene::kSystemAttributeCount; ++key) {
            const char* name = kz::scene::system_attribute_key(key);
            item->GetAttribute(name, value.data(), static_cast<int>(value.size()));
            // Numbers show only when set; a text that is missing reads "-".
            const bool number = key == 0 || key == 6 || key == 8;
            const int n = kz::crt::c_atoi(value.data());
            const bool shown = key == 0 ? n > 0 : number ? n != 0 : std::strcmp(value.data(), "-") != 0 && value[0];
            if (!shown) continue;
            // The unit's file as the user knows it, by its native path.
            const bool file = std::strcmp(name, "#frefer") == 0;
            rows.push_back(Row{name, file ? shown_name_sjis(value.data()) : std::string(value.data()), ""});
        }
        for (int k = 0; k < item->attributes.count(); ++k) {
            const kz::scene::AttributeRecord& r = item->attributes[k];
            if (r.value && *r.value)
                rows.push_back(Row{r.name ? r.name : "", r.value, r.expression ? r.expression : ""});
        }
    }
    if (rows.empty()) {
        HideCommentWindow();
        return nullptr;
    }
    std::size_t name_width = 0, expression_width = 0;
    for (const Row& row : rows) {
        name_width = std::max(name_width, row.name.size());
        expression_width = std::max(expression_width, row.expression.size());
    }
    char* text = nullptr;
    for (const Row& row : rows)
        text = JoinColumns(text, row.name.c_str(), static_cast<int>(name_width) + 1, row.value.c_str(), 40,
                           row.expression.c_str(), static_cast<int>(expression_width) + 1);
    return text;
}

}  // namespace kz::view
