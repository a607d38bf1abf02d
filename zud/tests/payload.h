// A window payload as the network hands it over: a modifiable buffer of exactly its text and the
// NUL, so that the AddressSanitizer builds see any read or write past it.
#pragma once

#include <QByteArray>

#include <cstring>
#include <memory>

class Payload {
public:
    explicit Payload(const QByteArray& text)
        : bytes_(new char[std::size_t(text.size()) + 1])
    {
        std::memcpy(bytes_.get(), text.constData(), std::size_t(text.size()) + 1);
    }
    char* data() { return bytes_.get(); }

private:
    std::unique_ptr<char[]> bytes_;
};
