// The two addresses of a recovery: the PC's own (the TFTP server the unit fetches from) and one
// proposed for the unit in the PC's network. Worked out once at start; the page may replace them.
#pragma once

#include <string>

class IpChecker {
public:
    IpChecker();
    ~IpChecker();
    IpChecker(const IpChecker&) = delete;
    IpChecker& operator=(const IpChecker&) = delete;

    // The process's address checker (none before start-up and after stop).
    static IpChecker* instance();

    void refresh();
    std::string getServerAddress() const { return serverAddress; }
    std::string getCentralUnitAddress() const { return centralUnitAddress; }
    // The values are typed into the boot loader: only a dotted quad is taken. 0, or -2 (unchanged).
    int setServerAddress(const std::string& address);
    int setCentralUnitAddress(const std::string& address);

    // "a.b.c.d" with four decimal octets 0-255.
    static bool isDottedQuad(const std::string& text);
    // The PC's address with its last octet replaced by a number of 10-249 other than its own.
    static std::string proposeUnitAddress(const std::string& server);

private:
    void readHostAddress();

    std::string serverAddress;
    std::string centralUnitAddress;
};
