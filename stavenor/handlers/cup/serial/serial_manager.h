#pragma once

#include <string>
#include <vector>

// The periodic scan of serial ports.
// Unit links are not built yet: for now this object only holds its place in the start and stop
// order of the unit services, and offers the scan.
class SerialManager {
public:
    SerialManager();
    ~SerialManager();
    SerialManager(const SerialManager&) = delete;
    SerialManager& operator=(const SerialManager&) = delete;

    // The serial ports present, by device path: /dev/ttyS* with a real UART, /dev/ttyUSB*,
    // /dev/ttyACM*, then the existing paths of STAVENOR_SERIAL_PORTS (colon-separated).
    // Nothing is opened: a scan never touches a line.
    static std::vector<std::string> scanPorts();
};
