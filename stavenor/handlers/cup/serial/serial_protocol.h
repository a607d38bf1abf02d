// The text console of a unit on one serial port, driven in exchanges: register the texts that may
// answer (`expect`), send one line with a time-out, and get exactly one answer slot called with
// everything received since the send, or `timedOut`.
#pragma once

#include <glib.h>
#include <sigc++/sigc++.h>

#include <map>
#include <memory>
#include <string>

class SerialConnection;

class SerialProtocol : public sigc::trackable {
public:
    using Slot = sigc::slot<void(GByteArray*)>;

    explicit SerialProtocol(const std::string& portName);
    ~SerialProtocol();
    SerialProtocol(const SerialProtocol&) = delete;
    SerialProtocol& operator=(const SerialProtocol&) = delete;

    // A prompt (`anywhere` false) matches as the last bytes of a line quiet for 5 ms; a word
    // (`anywhere` true) matches as soon as it is received with a byte after it. A pattern
    // registered again keeps its first mode and gets the new slot. Always 0.
    int expect(const std::string& pattern, Slot slot, bool anywhere);
    // Bytes written or queued; -505 while an exchange is in progress; -400 without a port (after
    // the port disappeared nothing changes; a port that never opened still times out).
    int send(const std::string& text, unsigned timeoutMs);
    // One ESC byte, within the running exchange (the received text is kept). -400 without a port.
    int sendEscapes(unsigned timeoutMs);
    int setDataListener(Slot slot);
    void unhookAll();
    int clearBuffer();
    // Listens without sending and without a time-out.
    void resetBuffer();
    std::string getPortName() const { return portName; }
    bool isCapturing() const { return capturing; }

    // Offset of the first occurrence of `pattern` with at least one byte after it, or -1.
    static int findPattern(const GByteArray* text, const std::string& pattern);

    // The serial manager's notice that `name` has disappeared.
    void onPortGone(const std::string& name);

    sigc::signal<void()> timedOut;
    // Once, when the port of this protocol disappeared (the exchange in progress still ends by its
    // time-out).
    sigc::signal<void()> portGone;

private:
    struct Expectation {
        sigc::signal<void(GByteArray*)> answer;
        bool anywhere = false;
    };
    using Expectations = std::map<std::string, std::unique_ptr<Expectation>>;

    void onData(GByteArray* chunk);
    bool checkPrompts();
    bool onTimeout();
    void stopTimers();
    // Ends the exchange with `match`: every other expectation goes uncalled, then the match's slot
    // runs with the received text.
    void answer(Expectations::iterator match, bool keepListener);

    sigc::signal<void(GByteArray*)> dataListener;
    sigc::connection dataListenerConnection;
    sigc::connection settleTimer;
    sigc::connection answerTimer;
    sigc::connection portGoneConnection;
    sigc::connection dataConnection;
    std::string portName;
    std::unique_ptr<SerialConnection> connection;
    Expectations expectations;
    GByteArray* buffer;
    bool capturing = false;
};

// The `length` bytes that begin `offset` bytes after the start of `key` in the received `text`,
// cut short where the received bytes end; empty when `key` is not found (as findPattern finds it).
std::string receivedField(const GByteArray* text, const std::string& key, size_t offset, size_t length);
