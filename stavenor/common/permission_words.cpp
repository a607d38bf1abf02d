#include "common/permission_words.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

bool inGroup(gid_t group)
{
    if (getegid() == group) return true;
    const int count = getgroups(0, nullptr);
    if (count <= 0) return false;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    const int listed = getgroups(count, groups.data());
    for (int i = 0; i < listed; ++i)
        if (groups[static_cast<size_t>(i)] == group) return true;
    return false;
}

std::string userName()
{
    const passwd* user = getpwuid(getuid());
    return user ? user->pw_name : std::to_string(getuid());
}

} // namespace

std::string group_advice(const std::string& group, const std::string& grants)
{
    const struct group* entry = group.empty() ? nullptr : getgrnam(group.c_str());
    if (group.empty() || (entry && inGroup(entry->gr_gid))) return {};
    return "your user is not in group " + group + (grants.empty() ? "" : ", " + grants) + ": add it with \u201csudo adduser " + userName() + " " + group +
           "\u201d, then log in again";
}

std::string open_refusal(const std::string& path)
{
    if (access(path.c_str(), R_OK | W_OK) == 0) return {};
    const int error = errno;
    struct stat node {};
    if ((error == EACCES || error == EPERM) && stat(path.c_str(), &node) == 0) {
        const struct group* owner = getgrgid(node.st_gid);
        // Only a group that may read and write the device is worth joining.
        const bool groupMay = (node.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
        const std::string advice = owner && groupMay ? group_advice(owner->gr_name) : std::string();
        return "no permission to open " + path + (advice.empty() ? std::string() : ": " + advice);
    }
    return "cannot open " + path + ": " + strerror(error);
}

std::string rights_advice()
{
    const char* group = getenv("STAVENOR_RIGHTS_GROUP");
    return group ? group_advice(group, "whose members' server finds, updates and recovers units "
                                       "(configurations need no group)")
                 : std::string();
}
