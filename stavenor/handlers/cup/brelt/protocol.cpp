#include "handlers/cup/brelt/protocol.h"

#include "common/logger.h"
#include "handlers/cup/brelt/brelt.h"

#include <cstring>

namespace {
constexpr int RESEND_MS = 1000;
constexpr int RESEND_LIMIT = 3;
constexpr int ALIVE_MS = 2000;
// A unit resends an unacknowledged frame a second later, a few times: a frame seen within this
// span is a repeat. Longer ago, the same fid and crc is a new frame of a unit that started anew.
constexpr auto REPEAT_SPAN = std::chrono::seconds(8);
constexpr size_t REPEAT_MEMORY = 32;
} // namespace

RundisProtocol::RundisProtocol(Brelt* unit_) : unit(unit_), connection(std::make_unique<MacConnection>(unit_))
{
    connection->received.connect(sigc::mem_fun(*this, &RundisProtocol::onFrame));
    aliveTimer = Glib::signal_timeout().connect(sigc::mem_fun(*this, &RundisProtocol::checkAlive), ALIVE_MS);
}

RundisProtocol::~RundisProtocol()
{
    resendTimer.disconnect();
    aliveTimer.disconnect();
}

int RundisProtocol::hook(const void* owner, uint8_t type, Listener slot)
{
    Entry& entry = listeners[type];
    // The entry remembers who attached the slot now in place, so unhookAll never detaches another's.
    entry.owner = owner;
    entry.slot.disconnect();
    entry.slot = entry.signal.connect(std::move(slot));
    return 0;
}

int RundisProtocol::unhook(uint8_t type)
{
    auto it = listeners.find(type);
    if (it != listeners.end()) it->second.slot.disconnect();
    return 0;
}

int RundisProtocol::unhookAll(const void* owner)
{
    for (auto& [type, entry] : listeners) {
        if (entry.owner == owner) entry.slot.disconnect();
    }
    return 0;
}

int RundisProtocol::send(const FrameHeader* header)
{
    if (!header) return -200;
    if (header->pl == 0) return -2;
    const size_t size = std::max<size_t>(header->pl, FRAME_HEADER_SIZE);
    std::vector<uint8_t> copy(size, 0);
    memcpy(copy.data(), header, std::min<size_t>(header->pl, sizeof(FrameBuffer)));
    auto frame = reinterpret_cast<FrameHeader*>(copy.data());
    frame->fid = nextFid++;
    frame->v = 5;
    queue.push_back(std::move(copy));
    return sendNext();
}

bool RundisProtocol::isQueued(uint32_t fid) const
{
    for (const std::vector<uint8_t>& frame : queue) {
        if (reinterpret_cast<const FrameHeader*>(frame.data())->fid == fid) return true;
    }
    return false;
}

int RundisProtocol::reset()
{
    resendTimer.disconnect();
    awaitingAck = false;
    queue.clear();
    return 0;
}

int RundisProtocol::sendNext()
{
    if (awaitingAck) return -1;
    if (queue.empty()) return -2;
    awaitingAck = true;
    auto head = reinterpret_cast<FrameHeader*>(queue.front().data());
    frameCrc(head, true);
    armResendTimer();
    connection->send(head, 0);
    return 0;
}

void RundisProtocol::armResendTimer()
{
    resendTimer.disconnect();
    resendTimer = Glib::signal_timeout().connect(sigc::mem_fun(*this, &RundisProtocol::onResendTimer), RESEND_MS);
}

bool RundisProtocol::onResendTimer()
{
    ++resendCount;
    resendTimer.disconnect();
    if (resendCount > RESEND_LIMIT) {
        LOG(LOG_BRELT, "brelt %s : no acknowledgement after %d resends, queue dropped\n", unit->getMac().c_str(),
            RESEND_LIMIT);
        reset();
        return false;
    }
    if (!queue.empty()) {
        connection->send(queue.front().data(), 0);
        // Re-armed after every resend, so a frame lost again is resent again until the limit.
        armResendTimer();
    }
    return false;
}

void RundisProtocol::onFrame(const FrameHeader* header, size_t)
{
    silentTicks = 0;
    heard = Clock::now();
    const uint8_t type = header->t;
    if (type == MSG_INF) announced = heard;
    if (type == MSG_A_O || type == MSG_A_B) {
        onAck(header);
        return;
    }
    // A frame that arrived damaged is answered A_B and its content trusted by nobody.
    const bool good = frameCrcGood(header);
    if (type != MSG_INF && type != MSG_STA) {
        ackHim(header, good);
        // A repeat is acknowledged again (the unit waits for that) but was handed on already:
        // taken again, it would pass for the answer to whatever was asked since.
        if (good && isRepeat(header)) {
            LOG(LOG_BRELT, "brelt %s : repeated frame fid=%u type=%d acknowledged again, not taken\n",
                unit->getMac().c_str(), header->fid, type);
            return;
        }
        if (good) unitFrame = FrameId{header->fid, header->crc};
    }
    if (!good) return;
    auto it = listeners.find(type);
    if (it != listeners.end()) it->second.signal.emit(header);
}

bool RundisProtocol::isRepeat(const FrameHeader* header)
{
    const auto now = Clock::now();
    while (!recentFrames.empty() && (recentFrames.size() >= REPEAT_MEMORY || now - recentFrames.front().at > REPEAT_SPAN))
        recentFrames.pop_front();
    for (const Received& seen : recentFrames) {
        if (seen.fid == header->fid && seen.crc == header->crc) return true;
    }
    recentFrames.push_back({header->fid, header->crc, now});
    return false;
}

int RundisProtocol::ackHim(const FrameHeader* header, bool crcGood)
{
    LOG(LOG_BRELT, "brelt %s : ackHim type=%d status=%d\n", unit->getMac().c_str(), header->t,
        unit->getControlStatus());
    resendCount = 0;
    const int control = unit->getControlStatus();
    if (header->t == MSG_PNG && control != Brelt::TAKING && control != Brelt::TAKEN && control != Brelt::RELEASING) {
        LOG(LOG_BRELT, "brelt %s : ping omitted!\n", unit->getMac().c_str());
        return 0;
    }
    FrameHeader ack;
    memcpy(&ack, header, FRAME_HEADER_SIZE);
    ack.t = crcGood ? MSG_A_O : MSG_A_B;
    return connection->send(&ack, FRAME_HEADER_SIZE);
}

void RundisProtocol::onAck(const FrameHeader* header)
{
    if (queue.empty()) return;
    auto head = reinterpret_cast<const FrameHeader*>(queue.front().data());
    // An acknowledgement of another frame leaves the one in flight and its timer running.
    if (header->crc != head->crc || header->fid != head->fid) return;
    resendTimer.disconnect();
    awaitingAck = false;
    if (header->t == MSG_A_O) {
        // Each frame gets its own resends: losses of earlier frames do not count against it.
        resendCount = 0;
        anyAcknowledged = true;
        lastAcknowledged = head->fid;
        queue.pop_front();
        auto it = listeners.find(MSG_A_O);
        if (it != listeners.end()) it->second.signal.emit(header);
    } else if (++resendCount > RESEND_LIMIT) {
        // A unit that keeps reporting the frame damaged ends like one that never acknowledges it.
        LOG(LOG_BRELT, "brelt %s : frame refused %d times, queue dropped\n", unit->getMac().c_str(), resendCount);
        reset();
        return;
    }
    sendNext();
}

bool RundisProtocol::checkAlive()
{
    const int status = unit->getStatus();
    if (status == Brelt::DOWN || status == Brelt::REBOOTING || status == Brelt::FLASHING || status == Brelt::LOCKED)
        return true;
    if (unit->getFlag("program running")) return true;
    ++silentTicks;
    if (silentTicks == 2) unit->setStatus(Brelt::PROBABLY_DOWN);
    else if (silentTicks == 4) unit->setStatus(Brelt::DOWN);
    return true;
}
