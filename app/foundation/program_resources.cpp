// The program's resource table and the lookup that stands in for FindResourceExA, LoadResource and
// LockResource. Only the stroke font lives here; cursors and the icon are the platform layer's.
#include "app/foundation/program_resources.h"

#include "app/foundation/sjis_string.h"
#include "app/foundation/stroke_font_data.h"

namespace kz::foundation {

const ResourceModule* program_module() {
    static const ResourceEntry entries[] = {
        {"LUMFONT", "JAPANESEFNT", kStrokeFontBlock, kStrokeFontBlockSize},
    };
    static const ResourceModule module{entries, static_cast<int>(sizeof entries / sizeof entries[0])};
    return &module;
}

const unsigned char* lock_resource(const ResourceModule* module, const char* type, const char* name,
                                   std::size_t* size) {
    if (size) *size = 0;
    if (!module) module = program_module();
    if (!type || !name || !module->entries) return nullptr;
    for (int i = 0; i < module->count; ++i) {
        const ResourceEntry& e = module->entries[i];
        if (!e.data || e.size == 0 || compare_nocase(e.type, type) != 0 || compare_nocase(e.name, name) != 0) continue;
        if (size) *size = e.size;
        return e.data;
    }
    return nullptr;
}

}  // namespace kz::foundation
