#pragma once

// The TFTP server that hands a firmware image to a unit's boot loader.
// Unit links are not built yet: for now this object only holds its place in the start and stop
// order of the unit services.
class TftpServer {
public:
    TftpServer();
    ~TftpServer();
    TftpServer(const TftpServer&) = delete;
    TftpServer& operator=(const TftpServer&) = delete;
};
