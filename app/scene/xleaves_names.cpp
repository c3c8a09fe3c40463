// Shape names within a part: a free name made from a wanted one, and renaming that keeps the shapes and child parts
// that hang on the old name attached.
#include <cstdio>
#include <string>

#include "app/foundation/heap_text.h"
#include "app/foundation/sjis_string.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "platform/crt/c_numbers.h"

namespace kz::scene {

using namespace kz::foundation;

namespace {

bool same_name(const char* a, const char* b) { return a && b && compare_nocase(a, b) == 0; }

bool name_taken(const XTrunk* trunk, const XLeaves* self, const std::string& name) {
    if (!trunk) return false;
    for (int i = 1; i < trunk->part_count(); ++i) {
        const XLeaves* other = trunk->parts[i];
        if (other && other != self && same_name(other->record->name, name.c_str())) return true;
    }
    return false;
}

}  // namespace

void XLeaves::MakeUniqueName(const char* wanted) {
    const bool given = wanted && *wanted;
    const std::string stem = given ? wanted : "b";
    std::string candidate = given ? stem : stem + "1";
    for (int n = 1; name_taken(owner, this, candidate); ++n)
        candidate = given ? stem + "-" + kz::crt::int_text(n) : stem + kz::crt::int_text(n + 1);
    record->name = set_heap_string(record->name, candidate.c_str(), nullptr, -1);
}

void XLeaves::EnsureUniqueName() {
    // The wanted name is copied first: MakeUniqueName replaces the text it would be read from.
    const std::string own = record->name ? record->name : "";
    MakeUniqueName(own.c_str());
}

void XLeaves::Rename(const char* new_name) {
    const std::string old_name = record->name ? record->name : "";
    if (owner && !old_name.empty()) {
        for (int i = 1; i < owner->part_count(); ++i) {
            COBJECTA* other = owner->parts[i]->record;
            if (owner->parts[i] != this && same_name(other->parent_name, old_name.c_str()))
                other->parent_name = set_heap_string(other->parent_name, new_name, nullptr, -1);
        }
        for (XTrunk* child : owner->children) {
            COBJECTA* base = child ? child->base_record() : nullptr;
            if (base && same_name(base->parent_name, old_name.c_str()))
                base->parent_name = set_heap_string(base->parent_name, new_name, nullptr, -1);
        }
    }
    record->name = set_heap_string(record->name, new_name, nullptr, -1);
}

}  // namespace kz::scene
