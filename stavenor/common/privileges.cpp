#include "common/privileges.h"

#include <linux/capability.h>
#include <sys/auxv.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>

namespace {

// Through the system calls themselves: Debian's C library declares no wrapper for them.
struct Capabilities {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};

    bool read() { return syscall(SYS_capget, &header, data) == 0; }
    bool write() { return syscall(SYS_capset, &header, data) == 0; }
};

// Both rights lie in the first word of the sets.
uint32_t bitOf(Privilege privilege)
{
    return 1u << (privilege == Privilege::RawEthernet ? CAP_NET_RAW : CAP_NET_BIND_SERVICE);
}

// Only a user's server lowers its rights; root's keeps them.
bool managed = false;

void setEffective(uint32_t bit, bool raised)
{
    Capabilities caps;
    if (!caps.read()) return;
    if (raised)
        caps.data[0].effective |= bit & caps.data[0].permitted;
    else
        caps.data[0].effective &= ~bit;
    caps.write();
}

} // namespace

void privileges_start()
{
    // A start that gained capabilities clears the parent-death signal its parent (pym) set; the
    // server must still end with the program that started it.
    if (getauxval(AT_SECURE)) prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getuid() == 0) return;
    Capabilities caps;
    if (!caps.read()) return;
    managed = true;
    const uint32_t kept = bitOf(Privilege::RawEthernet) | bitOf(Privilege::TftpPort);
    caps.data[0].permitted &= kept;
    caps.data[0].effective = 0;
    caps.data[0].inheritable = 0;
    for (int i = 1; i < _LINUX_CAPABILITY_U32S_3; ++i) caps.data[i] = {};
    caps.write();
    prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
}

int with_privilege(Privilege privilege, const std::function<int()>& open)
{
    if (!managed) return open();
    setEffective(bitOf(privilege), true);
    const int result = open();
    setEffective(bitOf(privilege), false);
    return result;
}

void privilege_done(Privilege privilege)
{
    if (!managed) return;
    Capabilities caps;
    if (!caps.read()) return;
    caps.data[0].effective &= ~bitOf(privilege);
    caps.data[0].permitted &= ~bitOf(privilege);
    caps.write();
}
