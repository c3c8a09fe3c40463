// The command block another program hands the view: lines that move items and set their parts' parameters, set
// attributes, mark and delete items, show captions, clear the clipboard and recompute placements, or, after an
// "ExelData" header line, figure text added to the model.
#include <cstring>
#include <string>

#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "app/foundation/field_tokenizer.h"
#include "app/foundation/sjis_string.h"
#include "app/scene/action_list.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "platform/clipboard.h"
#include "platform/crt/c_numbers.h"

namespace kz::view {

namespace fnd = kz::foundation;

namespace {

const fnd::FieldSeparators& line_separators() {
    static const fnd::FieldSeparators s(",", "\t");
    return s;
}

// The fields of a line up to its first "|", and the entries after each "|".
struct BlockLine {
    std::vector<std::string> fields;
    std::vector<std::string> entries;
};

std::vector<std::string> split_fields(const std::string& text, const fnd::FieldSeparators& separators) {
    std::vector<std::string> out;
    for (int pos = 0; pos >= 0 && pos < static_cast<int>(text.size());) {
        int start = pos, length = 0;
        pos = fnd::get_field(text.c_str(), start, length, separators);
        out.emplace_back(length > 0 ? text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(length))
                                    : std::string());
    }
    return out;
}

BlockLine read_block_line(const std::string& line) {
    BlockLine out;
    std::size_t bar = line.find('|');
    out.fields = split_fields(line.substr(0, bar), line_separators());
    while (bar != std::string::npos) {
        const std::size_t next = line.find('|', bar + 1);
        out.entries.push_back(line.substr(bar + 1, next == std::string::npos ? std::string::npos : next - bar - 1));
        bar = next;
    }
    return out;
}

double number_at(const std::vector<std::string>& fields, std::size_t i) {
    return i < fields.size() ? kz::crt::c_atof(fields[i].c_str()) : 0.0;
}

bool keyword_is(const std::string& field, const char* keyword) {
    return field.size() == std::strlen(keyword) && fnd::compare_nocase(field.c_str(), keyword) == 0;
}

}  // namespace

void XView::ExecExelData(const char* text, int* a, int* b) {
    if (!text) return;
    for (int start = 0, length = 0; start >= 0 && text[start];) {
        const int next = fnd::next_line(text, start, length);
        const std::string line(text + start, static_cast<std::size_t>(length));
        start = next;
        const BlockLine block = read_block_line(line);
        if (block.fields.empty()) continue;
        const std::string& keyword = block.fields[0];
        const int item = block.fields.size() > 1 ? kz::crt::c_atoi(block.fields[1].c_str()) : -1;
        if (keyword_is(keyword, "ExelData")) {
            if (a) *a = block.fields.size() > 1 ? item : 0;
            ApplyBlockFigureText(next >= 0 ? text + next : "", b);
            return;
        }
        if (keyword_is(keyword, "Move")) {
            MoveFromBlock(item, block.fields, block.entries);
        } else if (keyword_is(keyword, "Atr")) {
            XTrunk* t = item >= 0 ? TrunkAt(item) : nullptr;
            for (const std::string& entry : block.entries) {
                const std::vector<std::string> f = split_fields(entry, line_separators());
                if (t && !f.empty() && !f[0].empty())
                    t->SetSystemAttribute(f[0].c_str(), f.size() > 1 ? f[1].c_str() : "",
                                          f.size() > 2 ? f[2].c_str() : "", 1);
            }
        } else if (keyword_is(keyword, "Delete")) {
            if (item >= 1 && item < trunk_count() && document.trunks[static_cast<std::size_t>(item)])
                document.trunks[static_cast<std::size_t>(item)]->delete_mark = 1;
        } else if (keyword_is(keyword, "Disp")) {
            for (int i = 1; i < trunk_count();) {
                XTrunk* t = document.trunks[static_cast<std::size_t>(i)];
                if (!t || !t->delete_mark) {
                    ++i;
                    continue;
                }
                t->delete_mark = 0;  // a marked item that will not go is not tried again
                // A deleted subtree takes items of any index with it: look again from the start.
                i = DeleteTrunkTree(t, 1) ? 1 : i + 1;
            }
            Redraw(0);
        } else if (keyword_is(keyword, "Jimaku")) {
            const std::size_t after = line.find_first_of(",\t");
            if (output.bridge && after != std::string::npos) output.bridge->TextLabelCommand(line.c_str() + after + 1);
        } else if (keyword_is(keyword, "ClipClear")) {
            kz::platform::empty_clipboard();
        } else if (keyword_is(keyword, "MakeMatrix")) {
            if (XTrunk* root = TrunkAt(0)) root->RecalcMatrices(1);
            Redraw(0);
        }
    }
}

void XView::MoveFromBlock(int item, const std::vector<std::string>& fields, const std::vector<std::string>& entries) {
    XTrunk* t = item >= 0 ? TrunkAt(item) : nullptr;
    if (!t || !t->base()) return;
    for (int c = 1; c <= 6; ++c) t->base()->SetParameter(c, number_at(fields, static_cast<std::size_t>(c + 1)));
    // Part parameters go to the item at the next index, when there is one.
    XTrunk* next = TrunkAt(item + 1);
    static const fnd::FieldSeparators semicolon(";");
    for (const std::string& entry : entries) {
        const std::size_t comma = entry.find_first_of(",\t");
        const std::string kind = entry.substr(0, comma);
        if (!next || comma == std::string::npos || fnd::compare_nocase(kind.c_str(), "sa") != 0) continue;
        const std::vector<std::string> f = split_fields(entry.substr(comma + 1), semicolon);
        if (f.size() < 3) continue;
        const int part = next->FindPart(f[0].c_str(), 1);
        const int column = kz::scene::motion_target_index(f[1].c_str());
        if (part < 1 || column < 1 || column >= kz::scene::kParameterColumns) continue;
        next->parts[static_cast<std::size_t>(part)]->SetParameter(column, kz::crt::c_atof(f[2].c_str()));
    }
    t->RecalcMatrices(1);
    if (next && next != t) next->RecalcMatrices(1);
}

void XView::ApplyBlockFigureText(const char* text, int* first_item) {
    document.first_trunk_index = -1;
    // The block's items go into a level of their own under the root: what the loader left current is no place
    // another program could have meant.
    document.current_trunk_index = 0;
    ApplyFigureLine("{", 0);
    std::string copy(text ? text : "");
    ApplyFigureText(copy.data());
    ApplyFigureLine("}", 0);
    if (first_item) *first_item = document.first_trunk_index;
}

}  // namespace kz::view
