// POSIX.1e access lists judged as acl(5) says ("ACCESS CHECK ALGORITHM"), written from the manual page alone and
// sharing nothing with the program, for the rows that judge millions of cases where the kernel cannot be asked.
// Linux departs from it in one case: where the mask (the group bits) is empty, it looks at the mode bits alone, so a
// named account gets others' rights there, not none; the rows that ask the kernel see that.
#pragma once
#include <cstddef>

namespace kz::test {

// A file's rights in acl(5)'s terms: the owner's (ACL_USER_OBJ), owning group's (ACL_GROUP_OBJ) and others'
// (ACL_OTHER) entries, up to two named users (ACL_USER) and two named groups (ACL_GROUP), and the mask (ACL_MASK)
// where the list has one. Rights: read 4, write 2, execute 1.
struct AclFile {
    unsigned owner = 0, group = 0;
    unsigned user_obj = 0, group_obj = 0, other = 0;
    struct Named {
        unsigned id, rights;
    };
    Named users[2] = {}, groups[2] = {};
    std::size_t user_count = 0, group_count = 0;
    bool has_mask = false;
    unsigned mask = 0;
};

// A process's effective user and every group it is in (its effective group and the supplementary ones).
struct AclProcess {
    unsigned uid = 0;
    unsigned groups[4] = {};
    std::size_t group_count = 0;
};

// Whether acl(5)'s check grants the process `requested` (read, write and execute in any union, not none).
bool acl_grants(const AclFile& file, const AclProcess& process, unsigned requested);
// Every request the check grants, as a set: bit n (1 to 7) for the request n.
unsigned acl_requests_granted(const AclFile& file, const AclProcess& process);

}  // namespace kz::test
