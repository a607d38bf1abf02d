// The two rights that the installed server may hold as file capabilities: raw Ethernet, to find
// and update units, and UDP port 69, which recovery's TFTP server listens on. A user's server
// raises a right only while it opens the socket that needs it, so nothing else it opens for its
// user (the HTTP port, files) uses the rights, and no program it starts inherits them. A server
// run as root keeps what root has.
#pragma once

#include <functional>

enum class Privilege { RawEthernet, TftpPort };

// Before any thread starts (capabilities belong to each thread): lowers every right, keeps only
// the two above for later, and re-arms the parent-death signal that a start with gained
// capabilities cleared.
void privileges_start();

// Runs `open` with the right raised and lowers it again; without the right `open` runs as it is.
int with_privilege(Privilege privilege, const std::function<int()>& open);

// Gives the right up for good once its socket is open for the server's whole life.
void privilege_done(Privilege privilege);
