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
    // The values are typed into the boot loader, and the unit fetches from the one at the other:
    // an address that cannot work is refused. "" when taken, else why (the address stays).
    std::string setServerAddress(const std::string& address);
    std::string setCentralUnitAddress(const std::string& address);
    // Why the unit could not reach the PC with the two addresses held now, or "": a change of the
    // PC's address may leave the unit's outside its network.
    std::string pairProblem() const;

    // "a.b.c.d" with four decimal octets 0-255.
    static bool isDottedQuad(const std::string& text);
    // Why `unit` cannot be the unit's address beside the PC's `server` in a network of `prefixLength`
    // bits, or "" when it can.
    static std::string unitAddressProblem(const std::string& unit, const std::string& server, int prefixLength);
    // The network prefix length of the PC's interface that holds `address`; 24 (the proposal's own
    // assumption) when none does.
    static int prefixLengthOf(const std::string& address);
    // The PC's address with its last octet replaced by a number of 10-249 other than its own.
    static std::string proposeUnitAddress(const std::string& server);

private:
    void readHostAddress();

    std::string serverAddress;
    std::string centralUnitAddress;
};
