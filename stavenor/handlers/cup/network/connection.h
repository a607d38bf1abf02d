// Transport ends that a protocol object talks through: here the raw-Ethernet link to one unit
// (the TFTP server's UDP socket is its own module).
#pragma once

#include "handlers/cup/network/frame.h"

#include <sigc++/sigc++.h>

#include <string>

class Brelt;

class Connection : public sigc::trackable {
public:
    virtual ~Connection() = default;
    virtual int send(const void* data, int length);
};

class MacConnection : public Connection {
public:
    explicit MacConnection(Brelt* unit);

    // Sends `length` bytes of header and payload, or pl bytes when `length` is 0 or less.
    int send(const void* header, int length) override;

    // A frame of this unit: its header and the header-and-payload bytes that may be read.
    sigc::signal<void(const FrameHeader*, size_t)> received;

private:
    void onFrame(const uint8_t* frame, size_t length, const std::string& label);

    Brelt* unit;
};
