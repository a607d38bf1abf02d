#pragma once

// The PC's address and the address proposed for a unit under recovery.
// Unit recovery is not built yet: for now this object only holds its place in the start and stop
// order of the unit services.
class IpChecker {
public:
    IpChecker();
    ~IpChecker();
    IpChecker(const IpChecker&) = delete;
    IpChecker& operator=(const IpChecker&) = delete;
};
