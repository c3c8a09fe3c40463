#include "tests/support/posix_access_check.h"

#include <array>

namespace kz::test {
namespace {

bool contains(unsigned entry, unsigned requested) { return (entry & requested) == requested; }

bool is_in(const AclProcess& process, unsigned group) {
    for (std::size_t i = 0; i < process.group_count; ++i)
        if (process.groups[i] == group) return true;
    return false;
}

// The entries acl(5)'s check decides by for the process, each with the mask applied where the check applies it:
// access to a request is granted when one of them contains all of it.
struct Deciding {
    unsigned rights[3] = {};
    std::size_t count = 0;
};

Deciding deciding(const AclFile& file, const AclProcess& process) {
    Deciding d;
    const unsigned mask = file.has_mask ? file.mask : 7;
    // 1. The owner: the ACL_USER_OBJ entry alone.
    if (process.uid == file.owner) return d.rights[d.count++] = file.user_obj, d;
    // 2. A named user: that entry and the mask.
    for (std::size_t i = 0; i < file.user_count; ++i)
        if (file.users[i].id == process.uid) return d.rights[d.count++] = file.users[i].rights & mask, d;
    // 3. The file's group or named groups the process is in: with a mask, any matching entry together with the mask;
    // without one (there are no named groups then), the ACL_GROUP_OBJ entry.
    bool matched = false;
    if (is_in(process, file.group)) matched = true, d.rights[d.count++] = file.group_obj & mask;
    for (std::size_t i = 0; i < file.group_count; ++i)
        if (is_in(process, file.groups[i].id)) matched = true, d.rights[d.count++] = file.groups[i].rights & mask;
    if (matched) return d;
    // 4. ACL_OTHER. (5: anything else is denied.)
    d.rights[d.count++] = file.other;
    return d;
}

}  // namespace

bool acl_grants(const AclFile& file, const AclProcess& process, unsigned requested) {
    const Deciding d = deciding(file, process);
    for (std::size_t i = 0; i < d.count; ++i)
        if (contains(d.rights[i], requested)) return true;
    return false;
}

unsigned acl_requests_granted(const AclFile& file, const AclProcess& process) {
    // Each entry's rights, as the set of the requests it contains.
    static const auto requests_in = [] {
        std::array<unsigned, 8> sets{};
        for (unsigned rights = 0; rights < 8; ++rights)
            for (unsigned requested = 1; requested <= 7; ++requested)
                if (contains(rights, requested)) sets[rights] |= 1u << requested;
        return sets;
    }();
    const Deciding d = deciding(file, process);
    unsigned granted = 0;
    for (std::size_t i = 0; i < d.count; ++i) granted |= requests_in[d.rights[i] & 7];
    return granted;
}

}  // namespace kz::test
