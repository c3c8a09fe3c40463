// The open's budgets: counted only while an open runs, reported once, never undone until the next open.
#include "app/document/load_guard.h"

#include "app/document/document_state.h"

namespace kz::view {

void LoadGuard::begin(const char* name) {
    if (depth_++ > 0) return;
    name_ = name ? name : "";
    units_ = items_ = 0;
    shapes_ = 0;
    refused_blocks_ = 0;
    deep_reported_ = false;
    why_.clear();
}

void LoadGuard::end() {
    if (depth_ > 0) --depth_;
}

void LoadGuard::stop(const char* name, const std::string& why) {
    if (!opening() || !why_.empty()) return;
    why_ = why;
    report_unit_problem(name ? name : name_.c_str(),
                        ("open stopped: " + why + "; what was read so far is kept").c_str());
}

bool LoadGuard::add_unit(const char* name) {
    if (!opening()) return true;
    if (++units_ > budget.unit_loads)
        stop(name, "more than " + std::to_string(budget.unit_loads) + " unit files to read");
    return !stopped();
}

bool LoadGuard::add_items(int count) {
    if (!opening()) return true;
    items_ += count;
    if (items_ > budget.items) stop(nullptr, "more than " + std::to_string(budget.items) + " items");
    return !stopped();
}

bool LoadGuard::add_shapes(long long count) {
    if (!opening()) return true;
    shapes_ += count;
    if (shapes_ > budget.shapes) stop(nullptr, "more than " + std::to_string(budget.shapes) + " shapes");
    return !stopped();
}

void LoadGuard::refuse_block(const char* name) {
    ++refused_blocks_;
    if (deep_reported_) return;
    deep_reported_ = true;
    report_unit_problem(name, ("blocks nested deeper than " + std::to_string(kMaxBlockNesting) +
                               " levels; the deeper ones are read at that level")
                                  .c_str());
}

bool LoadGuard::swallow_close() {
    if (refused_blocks_ <= 0) return false;
    --refused_blocks_;
    return true;
}

}  // namespace kz::view
