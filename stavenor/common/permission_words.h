// Why this user's server may not open something, in words a technician can act on: the group
// that grants it and the command that adds the user to it.
#pragma once

#include <string>

// "your user is not in group G[, GRANTS]: add it with “sudo adduser U G”, then log in again";
// empty when the process is in the group (or no group is named).
std::string group_advice(const std::string& group, const std::string& grants = {});

// Why the device at `path` cannot be opened for reading and writing by this user ("no permission
// to open P: your user is not in group G: ..."), or empty when it can.
std::string open_refusal(const std::string& path);

// The advice for the server's network rights: the installed control centre grants them to the
// members of the group that its launcher names in STAVENOR_RIGHTS_GROUP. Empty without one.
std::string rights_advice();
