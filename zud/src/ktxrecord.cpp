#include "ktxrecord.h"

#include <QList>
#include <QtEndian>

#include <cstring>

namespace {

constexpr int kKindOffset = 0;
constexpr int kUserIdOffset = 2;
constexpr int kRadioIdOffset = 4;
constexpr int kLengthOffset = 6;
constexpr int kWindowTypeOffset = 10;

// The key text field: 256 bytes with its NUL.
constexpr int kMaxKeyText = 255;

int sextet(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return 0; // "=" and anything outside the alphabet
}

void putWord(QByteArray& record, int offset, std::uint16_t value)
{
    qToLittleEndian(value, record.data() + offset);
}

} // namespace

std::optional<KtxRecord> KtxRecord::decode(const QByteArray& bytes, QString* why)
{
    if (bytes.size() <= kHeaderSize) {
        *why = QString("record of %1 bytes, shorter than its header and a text").arg(bytes.size());
        return std::nullopt;
    }
    KtxRecord record;
    record.kind = qFromLittleEndian<std::uint16_t>(bytes.constData() + kKindOffset);
    record.windowType = static_cast<unsigned char>(bytes.at(kWindowTypeOffset));
    if (record.kind == kNewWindow || record.kind == kUpdate) {
        const qsizetype end = bytes.indexOf('\0', kHeaderSize);
        if (end < 0) {
            *why = QStringLiteral("window payload without its NUL");
            return std::nullopt;
        }
        record.payload = bytes.mid(kHeaderSize, end + 1 - kHeaderSize);
    }
    return record;
}

QByteArray KtxRecord::keyRecord(std::uint16_t userId, std::uint16_t radioId, const QByteArray& keyText)
{
    QByteArray record(kHeaderSize, '\0');
    putWord(record, kKindOffset, kKey);
    putWord(record, kUserIdOffset, userId);
    putWord(record, kRadioIdOffset, radioId);
    putWord(record, kLengthOffset, std::uint16_t(kHeaderSize + keyText.size()));
    return record + keyText;
}

std::optional<KtxIdText> KtxIdText::parse(const QByteArray& text)
{
    const QList<QByteArray> parts = text.split(':');
    if (parts.size() != 4)
        return std::nullopt;
    KtxIdText id;
    id.userId = std::uint16_t(parts[1].toLong());
    id.radioName = QString::fromLatin1(parts[2]);
    id.radioId = std::uint16_t(parts[3].toLong());
    return id;
}

QByteArray ktxKeyText(int code, const char* text)
{
    if (code != -1 && text && *text)
        return (QByteArray::number(code) + ';' + QByteArray(text)).left(kMaxKeyText);
    return QByteArray::number(code);
}

QString ktxDataMessage(const QByteArray& record)
{
    const QByteArray encoded = base64Encode(record);
    return QStringLiteral("data|%1|%2").arg(encoded.size()).arg(QString::fromLatin1(encoded));
}

QByteArray base64Encode(QByteArrayView bytes)
{
    return QByteArray::fromRawData(bytes.data(), bytes.size()).toBase64();
}

std::optional<QByteArray> base64Decode(QByteArrayView text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    qsizetype length = text.size() / 4 * 3;
    for (qsizetype i = qMax<qsizetype>(0, text.size() - 2); i < text.size(); ++i)
        length -= text[i] == '=';
    QByteArray bytes;
    bytes.reserve(text.size() / 4 * 3);
    for (qsizetype i = 0; i < text.size(); i += 4) {
        const std::uint32_t group = sextet(text[i]) << 18 | sextet(text[i + 1]) << 12
            | sextet(text[i + 2]) << 6 | sextet(text[i + 3]);
        bytes.append(char(group >> 16)).append(char(group >> 8)).append(char(group));
    }
    bytes.truncate(length);
    return bytes;
}

std::optional<QByteArray> decodeKtxData(int length, const QString& data, QString* why)
{
    if (length < 0 || length > data.size()) {
        *why = QString("length %1 with %2 characters received").arg(length).arg(data.size());
        return std::nullopt;
    }
    const QByteArray text = data.left(length).toLatin1();
    std::optional<QByteArray> bytes = base64Decode(text);
    if (!bytes)
        *why = QString("%1 characters are no base64").arg(length);
    return bytes;
}
