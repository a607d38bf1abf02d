// The reliable frame channel to one unit: stop-and-wait sending with acknowledgements and
// resends, acknowledgement of the unit's frames, one listener per message type, and the unit's
// liveness.
#pragma once

#include "handlers/cup/network/connection.h"
#include "handlers/cup/network/frame.h"

#include <glibmm/main.h>
#include <sigc++/sigc++.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
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
    using Clock = std::chrono::steady_clock;
    // When the unit's last frame of any kind arrived, and its last announcement.
    Clock::time_point lastHeard() const { return heard; }
    Clock::time_point lastAnnounced() const { return announced; }
    // The fid that the last `send` gave its frame.
    uint32_t lastQueuedFid() const { return nextFid - 1; }
    // Whether the unit acknowledged the frame of that fid (frames are acknowledged in order).
    bool isAcknowledged(uint32_t fid) const { return anyAcknowledged && fid <= lastAcknowledged; }
    // Whether the frame of that fid still waits to be sent or acknowledged (its resends go on).
    bool isQueued(uint32_t fid) const;
    // The fid and crc of the unit's last frame that asks for an acknowledgement, when it sent one.
    struct FrameId {
        uint32_t fid;
        uint16_t crc;
    };
    std::optional<FrameId> lastUnitFrame() const { return unitFrame; }
    // A unit that starts anew numbers its frames from 0 again: what it sent before is no guide to repeats.
    void forgetReceived() { recentFrames.clear(); }

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
    // True when the unit sent this frame before (same fid and crc): its acknowledgement was lost.
    bool isRepeat(const FrameHeader* header);
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
    struct Received {
        uint32_t fid;
        uint16_t crc;
        Clock::time_point at;
    };
    std::deque<Received> recentFrames;
    Clock::time_point heard = Clock::now();
    Clock::time_point announced = Clock::now();
    bool anyAcknowledged = false;
    uint32_t lastAcknowledged = 0;
    std::optional<FrameId> unitFrame;
};
