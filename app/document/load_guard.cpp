// The open's budgets: counted only while an open runs, reported once, never undone until the next open.
#include "app/document/load_guard.h"

#include "app/document/document_state.h"
#include "platform/crt/c_numbers.h"
#include "platform/memory_status.h"

namespace kz::view {

namespace {

std::uint64_t g_default_open_memory = 0;  // 0: half of physical memory

std::string mib_text(std::uint64_t bytes) { return kz::crt::int_text((bytes + (1 << 20) - 1) >> 20) + " MiB"; }

}  // namespace

std::uint64_t default_open_memory() {
    if (g_default_open_memory) return g_default_open_memory;
    const std::uint64_t physical = kz::platform::physical_memory_bytes();
    return physical ? physical / 2 : std::uint64_t(4) << 30;
}

void set_default_open_memory(std::uint64_t bytes) { g_default_open_memory = bytes; }

void LoadGuard::begin(const char* name, bool new_model) {
    if (depth_++ > 0) return;
    name_ = name ? name : "";
    units_ = items_ = 0;
    shapes_ = 0;
    if (new_model) downloaded_ = 0;
    refused_blocks_ = 0;
    deep_reported_ = false;
    why_.clear();
    // What the previous model frees while this one opens makes room for it: the floor follows it down.
    memory_floor_ = kz::platform::memory_in_use();
    memory_checked_ = std::chrono::steady_clock::now();
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
        stop(name, "more than " + kz::crt::int_text(budget.unit_loads) + " unit files to read");
    return !stopped();
}

bool LoadGuard::add_items(int count) {
    if (!opening()) return true;
    items_ += count;
    if (items_ > budget.items) stop(nullptr, "more than " + kz::crt::int_text(budget.items) + " items");
    return check_memory();
}

bool LoadGuard::add_shapes(long long count) {
    if (!opening()) return true;
    shapes_ += count;
    if (shapes_ > budget.shapes) stop(nullptr, "more than " + kz::crt::int_text(budget.shapes) + " shapes");
    return check_memory();
}

void LoadGuard::new_model() {
    if (!opening()) downloaded_ = 0;
}

std::uint64_t LoadGuard::download_room() const {
    return downloaded_ < budget.download_bytes ? budget.download_bytes - downloaded_ : 0;
}

bool LoadGuard::add_download(const char* name, std::uint64_t bytes, bool passed_budget) {
    downloaded_ += bytes;
    if (!passed_budget) return !stopped();
    const std::string budget_text = kz::crt::byte_size_text(budget.download_bytes);
    if (opening()) {
        stop(name, "more than " + budget_text + " downloaded");
    } else {
        // A sound or a picture the model asks for later: refused alone, the model stays as it is.
        report_unit_problem(
            name, ("download refused: the model's downloads since its open would pass " + budget_text).c_str());
    }
    return false;
}

bool LoadGuard::check_memory() {
    if (!opening() || stopped()) return !stopped();
    const auto now = std::chrono::steady_clock::now();
    if (now - memory_checked_ < budget.memory_look_interval) return true;
    return weigh_memory();
}

std::uint64_t LoadGuard::memory_added() {
    memory_checked_ = std::chrono::steady_clock::now();
    const std::uint64_t in_use = kz::platform::memory_in_use();
    if (in_use < memory_floor_) memory_floor_ = in_use;
    return in_use - memory_floor_;
}

bool LoadGuard::weigh_memory(std::uint64_t coming, const char* name) {
    if (!opening() || stopped()) return !stopped();
    const std::uint64_t added = memory_added();
    if (added > budget.memory_bytes || coming > budget.memory_bytes - added)
        stop(name, "more than " + mib_text(budget.memory_bytes) + " of memory");
    return !stopped();
}

std::uint64_t LoadGuard::memory_room() {
    if (!opening()) return UINT64_MAX;
    if (stopped()) return 0;
    const std::uint64_t added = memory_added();
    return added < budget.memory_bytes ? budget.memory_bytes - added : 0;
}

void LoadGuard::refuse_block(const char* name) {
    ++refused_blocks_;
    if (deep_reported_) return;
    deep_reported_ = true;
    report_unit_problem(name, ("blocks nested deeper than " + kz::crt::int_text(kMaxBlockNesting) +
                               " levels; the deeper ones are read at that level")
                                  .c_str());
}

bool LoadGuard::swallow_close() {
    if (refused_blocks_ <= 0) return false;
    --refused_blocks_;
    return true;
}

}  // namespace kz::view
