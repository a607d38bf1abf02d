#include "handlers/cup/serial/serial_protocol.h"

#include "common/logger.h"
#include "handlers/cup/serial/serial_connection.h"
#include "handlers/cup/serial/serial_manager.h"

#include <glibmm/main.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kLogSerial = LOG_BRELT | LOG_BRELT_DETAIL;
constexpr unsigned kSettleMs = 5;

bool endsWith(const GByteArray* text, const std::string& pattern)
{
    return text->len >= pattern.size() &&
           memcmp(text->data + text->len - pattern.size(), pattern.data(), pattern.size()) == 0;
}

} // namespace

SerialProtocol::SerialProtocol(const std::string& name) : portName(name), buffer(g_byte_array_new())
{
    LOG(kLogSerial, "SerialProtocol %p\n", static_cast<void*>(this));
    LOG(kLogSerial, "new serial protocol on %s\n", portName.c_str());
    connection = std::make_unique<SerialConnection>(portName);
    connection->open(); // a port that does not open still makes a protocol: its exchanges time out
    dataConnection = connection->dataReceived.connect(sigc::mem_fun(*this, &SerialProtocol::onData));
    if (SerialManager* manager = SerialManager::instance())
        portGoneConnection = manager->portRemoved.connect(sigc::mem_fun(*this, &SerialProtocol::onPortGone));
}

SerialProtocol::~SerialProtocol()
{
    LOG(kLogSerial, "~SerialProtocol %p\n", static_cast<void*>(this));
    unhookAll();
    portGoneConnection.disconnect();
    dataConnection.disconnect();
    connection.reset();
    g_byte_array_unref(buffer);
    LOG(kLogSerial, "serial protocol on %s is no more\n", portName.c_str());
}

int SerialProtocol::expect(const std::string& pattern, Slot slot, bool anywhere)
{
    auto& entry = expectations[pattern];
    if (!entry) {
        entry = std::make_unique<Expectation>();
        entry->anywhere = anywhere;
    }
    entry->answer.clear();
    entry->answer.connect(std::move(slot));
    return 0;
}

int SerialProtocol::send(const std::string& text, unsigned timeoutMs)
{
    if (capturing) return -505;
    if (!connection) return -400;
    g_byte_array_set_size(buffer, 0);
    answerTimer.disconnect();
    answerTimer = Glib::signal_timeout().connect(sigc::mem_fun(*this, &SerialProtocol::onTimeout), timeoutMs);
    capturing = true;
    return connection->write(text);
}

int SerialProtocol::sendEscapes(unsigned timeoutMs)
{
    if (!connection) return -400; // nothing is written without a line
    answerTimer.disconnect();
    answerTimer = Glib::signal_timeout().connect(sigc::mem_fun(*this, &SerialProtocol::onTimeout), timeoutMs);
    capturing = true;
    return connection->write("\x1b");
}

int SerialProtocol::setDataListener(Slot slot)
{
    dataListenerConnection.disconnect();
    dataListenerConnection = dataListener.connect(std::move(slot));
    return 0;
}

void SerialProtocol::stopTimers()
{
    answerTimer.disconnect();
    settleTimer.disconnect();
}

void SerialProtocol::unhookAll()
{
    stopTimers();
    expectations.clear();
    dataListenerConnection.disconnect();
    g_byte_array_set_size(buffer, 0);
    capturing = false;
}

int SerialProtocol::clearBuffer()
{
    g_byte_array_set_size(buffer, 0);
    return 0;
}

void SerialProtocol::resetBuffer()
{
    g_byte_array_set_size(buffer, 0);
    capturing = true;
}

int SerialProtocol::findPattern(const GByteArray* text, const std::string& pattern)
{
    if (!text || text->len == 0 || pattern.empty()) return -1;
    const guint8* data = text->data;
    const size_t size = text->len;
    // An occurrence counts only with a byte after it: the end of the text may still be growing.
    for (size_t at = 0; at + pattern.size() < size; ++at) {
        if (memcmp(data + at, pattern.data(), pattern.size()) == 0) return static_cast<int>(at);
    }
    return -1;
}

void SerialProtocol::onData(GByteArray* chunk)
{
    if (log_enabled(kLogSerial)) {
        std::string text(reinterpret_cast<const char*>(chunk->data), chunk->len);
        LOG(kLogSerial, "msg: %s\n", text.c_str());
    }
    if (!capturing) return;
    g_byte_array_append(buffer, chunk->data, chunk->len);
    settleTimer.disconnect();
    settleTimer = Glib::signal_timeout().connect(sigc::mem_fun(*this, &SerialProtocol::checkPrompts), kSettleMs);
    if (dataListenerConnection.connected()) {
        GByteArray* text = g_byte_array_ref(buffer);
        dataListener.emit(text);
        g_byte_array_unref(text);
    }
    if (!capturing) return; // the listener ended the exchange
    for (auto it = expectations.begin(); it != expectations.end(); ++it) {
        if (it->second->anywhere && findPattern(buffer, it->first) >= 0) {
            answer(it, true);
            return;
        }
    }
}

bool SerialProtocol::checkPrompts()
{
    for (auto it = expectations.begin(); it != expectations.end(); ++it) {
        if (!it->second->anywhere && endsWith(buffer, it->first)) {
            answer(it, false);
            break;
        }
    }
    return false;
}

void SerialProtocol::answer(Expectations::iterator match, bool keepListener)
{
    capturing = false;
    stopTimers();
    if (!keepListener) dataListenerConnection.disconnect();
    std::unique_ptr<Expectation> matched = std::move(match->second);
    expectations.clear();
    // The slot may start the next exchange, or end this protocol: it gets its own reference.
    GByteArray* text = g_byte_array_ref(buffer);
    matched->answer.emit(text);
    g_byte_array_unref(text);
}

bool SerialProtocol::onTimeout()
{
    answerTimer = sigc::connection();
    unhookAll();
    timedOut.emit();
    return false;
}

void SerialProtocol::onPortGone(const std::string& name)
{
    if (!connection || connection->getName() != name) return;
    LOG(LOG_CURTAIN, "port is gone %s\n", name.c_str());
    dataConnection.disconnect();
    connection.reset();
    portGone.emit();
}

std::string receivedField(const GByteArray* text, const std::string& key, size_t offset, size_t length)
{
    const int at = SerialProtocol::findPattern(text, key);
    if (at < 0) return {};
    const size_t start = static_cast<size_t>(at) + offset;
    if (start >= text->len) return {};
    return std::string(reinterpret_cast<const char*>(text->data) + start, std::min<size_t>(length, text->len - start));
}
