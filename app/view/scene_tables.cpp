// The small tables kept beside the item array and emptied with the scene: named lists, "excoms" command blocks
// and the number ranges of the computed attributes.
#include <cstdio>
#include <cstring>
#include <string>

#include "app/document/xview.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/sjis_string.h"
#include "platform/crt/c_numbers.h"

namespace kz::view {

using kz::foundation::free_and_null;

void XView::ClearNamedLists() {
    for (NamedList& list : document.named_lists) {
        for (char*& item : list.items) item = free_and_null(item);
        list.name = free_and_null(list.name);
    }
    document.named_lists.clear();
    document.current_named_list = -1;
}

void XView::ClearCommandBlocks() {
    for (int i = static_cast<int>(document.command_blocks.size()) - 1; i >= 0; --i) RemoveCommandBlock(i);
    document.command_blocks.clear();
    document.current_command_block = -1;
}

void XView::RemoveCommandBlock(int index) {
    if (index < 0 || index >= static_cast<int>(document.command_blocks.size())) return;
    CommandBlock* block = document.command_blocks[index];
    for (char*& line : block->lines) line = free_and_null(line);
    block->name = free_and_null(block->name);
    delete block;
    document.command_blocks.erase(document.command_blocks.begin() + index);
    if (document.current_command_block == index)
        document.current_command_block = -1;
    else if (document.current_command_block > index)
        --document.current_command_block;
}

int XView::OpenCommandBlock(const char* name, double first, double second) {
    // Nameless blocks are numbered across the whole run, so a name once given is not given again.
    static int counter = 1;
    auto find = [this](const char* n) {
        for (std::size_t i = 0; i < document.command_blocks.size(); ++i)
            if (kz::foundation::compare_before_colon(document.command_blocks[i]->name, n) == 0)
                return static_cast<int>(i);
        return -1;
    };
    std::string block_name;
    if (name && *name) {
        const int old = find(name);
        if (old >= 0) RemoveCommandBlock(old);
        block_name = name;
    } else {
        char text[32];
        do {
            std::snprintf(text, sizeof text, "exc-%08d", counter++);
        } while (find(text) >= 0);
        block_name = text;
    }
    auto* block = new CommandBlock;
    block->name = kz::foundation::set_heap_string(nullptr, block_name.c_str(), nullptr, -1);
    if (first >= 0.0) block->first = first;
    if (second >= 0.0) block->second = second;
    document.command_blocks.push_back(block);
    document.current_command_block = static_cast<int>(document.command_blocks.size()) - 1;
    return document.current_command_block;
}

void XView::ParseNumberRanges(const char* text) {
    document.range_lower.clear();
    document.range_upper.clear();
    if (!text) return;
    std::string all(text);
    all = all.substr(0, all.find(';'));
    std::size_t start = 0;
    while (start <= all.size()) {
        std::size_t end = all.find('.', start);
        if (end == std::string::npos) end = all.size();
        const std::string item = all.substr(start, end - start);
        start = end + 1;
        if (item.empty()) continue;
        const std::size_t dash = item.find('-');
        int lower, upper;
        if (dash == std::string::npos) {
            lower = upper = kz::crt::c_atoi(item.c_str());
        } else {
            lower = kz::crt::c_atoi(item.substr(0, dash).c_str());
            upper = kz::crt::c_atoi(item.substr(dash + 1).c_str());
            if (upper < 1) upper = (lower / 1000) * 1000 + 999;
        }
        document.range_lower.push_back(lower);
        document.range_upper.push_back(upper);
    }
}

int XView::InNumberRanges(int number) {
    if (document.range_lower.empty()) return 1;
    for (std::size_t i = 0; i < document.range_lower.size(); ++i)
        if (document.range_lower[i] <= number && number <= document.range_upper[i]) return 1;
    return 0;
}

}  // namespace kz::view
