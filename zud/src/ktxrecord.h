// The records of the remote handset display, carried base64-encoded in "ktx" texts of the central
// unit's protocol: a 32-byte little-endian header and a text at offset 32.
//
// From the radio server: kind 512 opens a window (window type in byte 10), 513 updates the open
// one; their text is a NUL-terminated window payload. To the server: kind 18 carries a key press
// with the user and radio ids, the record's length at offset 6, and the key text without a NUL.
#pragma once

#include "ktxabstract.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <optional>

struct KtxRecord {
    static constexpr int kHeaderSize = 32;
    static constexpr std::uint16_t kKey = 18;
    static constexpr std::uint16_t kNewWindow = 512;
    static constexpr std::uint16_t kUpdate = 513;

    std::uint16_t kind = 0;
    int windowType = 0;
    // The window payload up to and with its NUL, a modifiable copy that the windows cut up.
    QByteArray payload;

    // A record as received. Refused, with the reason: fewer than 33 bytes, or a window record
    // whose payload has no NUL inside the record.
    static std::optional<KtxRecord> decode(const QByteArray& bytes, QString* why);
    // The key record of a key text (see ktxKeyText).
    static QByteArray keyRecord(std::uint16_t userId, std::uint16_t radioId, const QByteArray& keyText);
};

// The id text "<any>:<user id>:<radio name>:<radio id>" that the server sends after "start".
struct KtxIdText {
    std::uint16_t userId = 0;
    QString radioName;
    std::uint16_t radioId = 0;

    // Exactly four ":" parts (empty ones kept); the ids decimal, kept to 16 bits.
    static std::optional<KtxIdText> parse(const QByteArray& text);
};

// A key press as the server reads it: "code;text" when the code is not -1 and the window gave a
// text, cut at 255 characters; the code alone otherwise.
QByteArray ktxKeyText(int code, const char* text);

// The message to the server for a key record: "data|" + encoded length + "|" + base64.
QString ktxDataMessage(const QByteArray& record);

// Standard base64 (RFC 4648), no line breaks.
QByteArray base64Encode(QByteArrayView bytes);
// Fails unless the length is a multiple of 4. Every group of four gives three bytes, less one
// for each "=" among the last two characters of the text; "=" and characters outside the
// alphabet count as 0.
std::optional<QByteArray> base64Decode(QByteArrayView text);

// The first length characters of a "ktx" reply's base64 text, decoded. Refused, with the
// reason: a length that is negative or larger than the text received, or that fails to decode.
std::optional<QByteArray> decodeKtxData(int length, const QString& data, QString* why);
