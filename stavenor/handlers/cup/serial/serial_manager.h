#pragma once

// The periodic scan of serial ports.
// Unit links are not built yet: for now this object only holds its place in the start and stop
// order of the unit services.
class SerialManager {
public:
    SerialManager();
    ~SerialManager();
    SerialManager(const SerialManager&) = delete;
    SerialManager& operator=(const SerialManager&) = delete;
};
