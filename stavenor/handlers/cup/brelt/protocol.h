// The reliable frame channel to one unit: stop-and-wait sending with acknowledgements and
// resends, acknowledgement of the unit's frames, one listener per message type, and the unit's
// liveness.
#pragma once

#include "handlers/cup/network/connection.h"
#include "handlers/cup/network/frame.h"

#include <glibmm/main.h>
#include <sigc++/sigc++.h>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <vector>

class Brelt;

class RundisProtocol : public sigc::trackable {
public:
    using Listener = sigc::slot<void(const FrameHeader*)>;

    explicit RundisProtocol(Brelt* unit);
    virtual ~RundisProtocol();
    RundisProtocol(const RundisProtocol&) = delete;
    RundisProtocol& operator=(const RundisProtocol&) = delete;

    int hook(const void* owner, uint8_t type, Listener slot);
    int unhook(uint8_t type);
    int unhookAll(const void* owner);
    int send(const FrameHeader* header);
    int reset();

    // Frames waiting, the one in flight first.
    size_t queued() const { return queue.size(); }

protected:
    virtual int ackHim(const FrameHeader* header, bool crcGood);
    virtual void onAck(const FrameHeader* header);

private:
    struct Entry {
        const void* owner = nullptr;
        sigc::signal<void(const FrameHeader*)> signal;
        sigc::connection slot;
    };

    void onFrame(const FrameHeader* header, size_t length);
    int sendNext();
    bool onResendTimer();
    bool checkAlive();
    void armResendTimer();

    Brelt* unit;
    std::unique_ptr<MacConnection> connection;
    std::deque<std::vector<uint8_t>> queue;
    bool awaitingAck = false;
    uint32_t nextFid = 0;
    sigc::connection resendTimer;
    int resendCount = 0;
    int silentTicks = 0;
    std::map<uint8_t, Entry> listeners;
    sigc::connection aliveTimer;
};
