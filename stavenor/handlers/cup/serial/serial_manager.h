// Watches which serial ports the PC has, and keeps one recovery session per port.
#pragma once

#include <sigc++/sigc++.h>

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class RecoverySession;

class SerialManager : public sigc::trackable {
public:
    SerialManager();
    ~SerialManager();
    SerialManager(const SerialManager&) = delete;
    SerialManager& operator=(const SerialManager&) = delete;

    // The process's serial manager (none before start-up and after stop).
    static SerialManager* instance();

    // The serial ports present, by device path: /dev/ttyS* with a real UART behind it, /dev/ttyUSB*,
    // /dev/ttyACM*, then the existing paths of STAVENOR_SERIAL_PORTS (colon-separated). None when
    // the device directory cannot be listed. Nothing is opened: a listing never touches a line.
    static std::optional<std::vector<std::string>> listPorts();

    // Every 500 ms: reports the ports that appeared and those that disappeared.
    bool scanPorts();

    const std::list<std::string>& ports() const { return portList; }
    // Port name -> its session, in ascending port-name order.
    const std::map<std::string, std::unique_ptr<RecoverySession>>& sessions() const { return sessionMap; }
    RecoverySession* findSession(const std::string& portName) const;
    // Why this user may not open the port, in words (from the last scan); empty when it may.
    std::string refusal(const std::string& portName) const;
    void reconnoitreAll();

    void openSession(const std::string& portName);
    void closeSession(const std::string& portName);

    sigc::signal<void(const std::string&)> portAdded;
    sigc::signal<void(const std::string&)> portRemoved;

private:
    void checkAccess(const std::string& name);

    std::map<std::string, std::unique_ptr<RecoverySession>> sessionMap;
    // The image a port's session held when the port went, for its session when it comes back.
    std::map<std::string, std::shared_ptr<const std::vector<uint8_t>>> keptImages;
    std::list<std::string> portList;
    std::map<std::string, std::string> refusals;
    sigc::connection scanTimer;
};
