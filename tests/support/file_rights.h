// Root without the rights that let it pass by a file's permission bits, as a forked child takes them off before it
// meets a folder as any user would.
#pragma once
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kz::test {

// Takes from this process its rights to pass by permission bits (CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH and
// CAP_FOWNER), for good; whether the system let it.
inline bool drop_file_rights() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (::syscall(SYS_capget, &header, data) != 0) return false;
    for (const unsigned right : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
        data[right / 32].effective &= ~(1u << (right % 32));
        data[right / 32].permitted &= ~(1u << (right % 32));
    }
    return ::syscall(SYS_capset, &header, data) == 0;
}

}  // namespace kz::test
