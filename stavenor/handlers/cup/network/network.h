#pragma once

// Network interfaces, unit discovery and frame polling.
// Unit links are not built yet: for now this object only holds its place in the start and stop
// order of the unit services.
class Network {
public:
    Network();
    ~Network();
    Network(const Network&) = delete;
    Network& operator=(const Network&) = delete;
};
