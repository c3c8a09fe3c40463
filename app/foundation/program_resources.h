// The resources linked into the program (the built-in stroke font) and their lookup by type and name, standing
// in for the module resource calls: a module is a table of resources, the null module is the program's own.
#pragma once
#include <cstddef>

namespace kz::foundation {

struct ResourceEntry {
    const char* type;
    const char* name;
    const unsigned char* data;
    std::size_t size;
};

struct ResourceModule {
    const ResourceEntry* entries = nullptr;
    int count = 0;
};

// The resources compiled into this program.
const ResourceModule* program_module();

// Finds, loads and locks a resource in one step: the bytes of the resource of the module (null: the program)
// with this type and name, compared without regard to ASCII case; null (and size 0) when there is none or it is
// empty. The bytes stay valid for the life of the process and must not be written.
const unsigned char* lock_resource(const ResourceModule* module, const char* type, const char* name, std::size_t* size);

}  // namespace kz::foundation
