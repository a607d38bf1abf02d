// Network interfaces and unit discovery: one capture handle per Ethernet adapter, a discovery
// query every second, and every received unit frame handed on through two signals.
#pragma once

#include <glibmm/main.h>
#include <sigc++/sigc++.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

typedef struct pcap pcap_t;

class NetworkInterface {
public:
    enum State { OPEN = 0, CLOSED = 1, FAILED = 2 };

    NetworkInterface(std::string name, std::string description);
    ~NetworkInterface();
    NetworkInterface(const NetworkInterface&) = delete;
    NetworkInterface& operator=(const NetworkInterface&) = delete;

    int setMac(const uint8_t* mac);
    int open();
    int close();
    // Points `frame` at the next captured frame (valid until the next read) and gives its captured
    // length; 0 when none waits, -100 without a handle, -103 when the handle failed.
    int read(const uint8_t** frame, size_t* captured);
    int sendRaw(const uint8_t* frame, int length);
    int sendQuery();
    int sendText(const std::string& unit, const std::string& text);
    // The descriptor that signals waiting frames, or -1 when the handle has none.
    int selectableFd() const;
    // Logs the frames that the capture dropped since the last call: a unit's answer among them is lost.
    void reportDrops();

    uint8_t mac[6] = {0, 0, 0, 0, 0, 0};
    const std::string name;
    const std::string label;
    State state = CLOSED;
    bool seen = true;
    sigc::connection watch; // the main-loop watch on selectableFd, while open
    // Why the last open failed (the capture library's words), empty while open or before a try;
    // `permissionDenied` when the server lacked the right to raw Ethernet.
    std::string failure;
    bool permissionDenied = false;

private:
    void fail(const std::string& reason, bool denied);

    pcap_t* handle = nullptr;
    unsigned dropped = 0;
};

class Network : public sigc::trackable {
public:
    // (whole Ethernet frame, its usable length: 14 + header and payload, interface label)
    using FrameSignal = sigc::signal<void(const uint8_t*, size_t, const std::string&)>;

    Network();
    virtual ~Network();
    Network(const Network&) = delete;
    Network& operator=(const Network&) = delete;

    // The process's network object (none before start-up and after stop).
    static Network* instance();

    bool refreshInterfaces();
    bool poll();
    int bind(const std::string& unit, NetworkInterface* interface);
    // The one place where unit frames leave the process: a test replaces it by a capture.
    virtual int send(const std::string& unit, uint8_t* frame, int length);
    int broadcastQuery();
    int sendText(const std::string& unit, const std::string& text);
    static int findAdapterMac(const std::string& device, uint8_t* mac);

    // The Ethernet interfaces of the last refresh, by name; `listed` once the first refresh read
    // the machine's list (before it, no interface is not yet "none"). Main loop only.
    const std::map<std::string, std::unique_ptr<NetworkInterface>>& allInterfaces() const { return interfaces; }
    bool listed() const { return everListed; }

    FrameSignal frameReceived;
    FrameSignal broadcastReceived;
    // The frames of one unit, whatever their destination: found by one lookup of the source.
    FrameSignal& framesFrom(const std::string& unit) { return unitFrames[unit]; }

protected:
    struct NoDiscovery {};
    // Signals and sending only: no interface is opened, no timer runs.
    explicit Network(NoDiscovery);
    // Hands one captured frame to the listeners.
    void deliver(const uint8_t* frame, size_t captured, NetworkInterface* interface);

private:
    void readAll(NetworkInterface* interface);
    void closeInterface(NetworkInterface* interface);
    void dropBindings(NetworkInterface* interface);
    void updatePollTimer();

    std::map<std::string, std::unique_ptr<NetworkInterface>> interfaces;
    std::map<std::string, NetworkInterface*> bindings;
    std::map<std::string, FrameSignal> unitFrames;
    sigc::connection refreshTimer;
    sigc::connection pollTimer;
    bool everListed = false;
};
