#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <optional>

// The central unit's text protocol: each token is followed by a NUL, and one more NUL ends the
// message.

// The wire form of a command. Trailing empty tokens are left out; a command with an empty token
// before a non-empty one, or a token holding a NUL, cannot be sent (either would end the message
// early) and gives nothing.
std::optional<QByteArray> encodeMessage(const QStringList &tokens);

// Cuts received bytes into messages, however the bytes were split or glued by the network.
class MessageReader
{
public:
    // A message under construction is bounded: a peer that never ends one cannot make the console
    // grow without limit.
    static constexpr qsizetype maxMessageBytes = 1024 * 1024;

    // Appends received bytes and returns every message they complete, in order; an empty message
    // (a NUL with no token before it) is dropped. Returns false when the message under
    // construction has grown past the bound (the reader is then reset).
    bool append(const QByteArray &bytes, QList<QStringList> &messages);
    void reset();

private:
    QByteArray pending;
    QStringList tokens;
    qsizetype tokenBytes = 0;
};
