// A network that keeps the frames the server sends instead of putting them on a wire, and
// builders for the frames a unit sends.
#pragma once

#include "handlers/cup/network/frame.h"
#include "handlers/cup/network/network.h"
#include "main_loop_support.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

class CaptureNetwork : public Network {
public:
    CaptureNetwork() : Network(NoDiscovery{}) {}

    int send(const std::string&, uint8_t* frame, int length) override
    {
        auto header = reinterpret_cast<const FrameHeader*>(frame + ETHERNET_HEADER_SIZE);
        const size_t size = ETHERNET_HEADER_SIZE + (length > 0 ? length : header->pl);
        sent.emplace_back(frame, frame + size);
        sentAt.push_back(std::chrono::steady_clock::now());
        return 0;
    }

    // A frame from `unit` to this host, as the capture delivers it.
    void receive(const std::string& unit, const std::vector<uint8_t>& body, bool broadcast = false)
    {
        std::vector<uint8_t> frame(ETHERNET_HEADER_SIZE, 0);
        if (broadcast) memset(frame.data(), 0xFF, 6);
        else frame[0] = 0x02;
        textToMac(unit, frame.data() + 6);
        frame[12] = 0x08;
        frame[13] = 0xF0;
        frame.insert(frame.end(), body.begin(), body.end());
        deliver(frame.data(), frame.size(), nullptr);
    }

    const FrameHeader* header(size_t i) const
    {
        return reinterpret_cast<const FrameHeader*>(sent.at(i).data() + ETHERNET_HEADER_SIZE);
    }

    std::vector<std::vector<uint8_t>> sent;
    std::vector<std::chrono::steady_clock::time_point> sentAt; // when each of `sent` left
};

// The next frame id of the simulated units: a unit numbers its frames, and a frame with the fid and
// crc of one it sent a moment ago is a repeat.
inline uint32_t nextUnitFid()
{
    static uint32_t fid = 1000;
    return fid++;
}

// Header and payload of a unit frame with its crc set (or spoiled).
inline std::vector<uint8_t> unitFrame(uint8_t type, const std::vector<uint8_t>& payload = {}, uint8_t version = 5,
                                      uint32_t fid = nextUnitFid(), bool badCrc = false)
{
    std::vector<uint8_t> body(FRAME_HEADER_SIZE, 0);
    body.insert(body.end(), payload.begin(), payload.end());
    auto header = reinterpret_cast<FrameHeader*>(body.data());
    header->v = version;
    header->t = type;
    header->pl = static_cast<uint16_t>(body.size());
    header->fid = fid;
    frameCrc(header, true);
    if (badCrc) header->crc ^= 0x1234;
    return body;
}

// The acknowledgement a unit gives a sent frame.
inline std::vector<uint8_t> ackOf(const FrameHeader* sent, uint8_t type = MSG_A_O)
{
    std::vector<uint8_t> ack(reinterpret_cast<const uint8_t*>(sent), reinterpret_cast<const uint8_t*>(sent) + 32);
    ack[1] = type;
    return ack;
}

// An announcement payload of `version` with its name set.
inline std::vector<uint8_t> announcementPayload(int version, const std::string& name, uint8_t stat = 2)
{
    std::vector<uint8_t> p(903, 0);
    memcpy(p.data() + 6, name.data(), name.size());
    p[518] = 4;
    p[520] = stat;
    p[521] = 1;
    p[522] = 2;
    p[523] = 3;
    const uint8_t ip[4] = {192, 168, 1, 9};
    memcpy(p.data() + 525, ip, 4);
    memcpy(p.data() + 529, "desc", 4);
    memcpy(p.data() + 657, "hw-base", 7);
    memcpy(p.data() + 674, "CU", 2);
    p[691] = 1;
    memcpy(p.data() + 692, "slave", 5);
    memcpy(p.data() + 725, "en/v|fr/x", 9);
    memcpy(p.data() + 774, "ident", 5);
    p[902] = 1;
    static const size_t minimum[] = {524, 524, 529, 657, 657, 674, 774};
    p.resize(version < 7 ? minimum[version] : 903);
    return p;
}
