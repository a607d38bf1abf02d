// Bytes from a unit, cut at places the input itself chooses, must give the same messages as the
// same bytes read at once, and no message may hold an empty token or a NUL.
#include "wireformat.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte sets the length of the pieces the rest is read in.
    const size_t piece = data[0] % 32 + 1;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    MessageReader whole;
    QList<QStringList> expected;
    const bool wholeOk = whole.append(bytes, expected);

    MessageReader split;
    QList<QStringList> got;
    bool splitOk = true;
    for (qsizetype at = 0; at < bytes.size(); at += qsizetype(piece))
        splitOk = split.append(bytes.mid(at, qsizetype(piece)), got) && splitOk;

    if (wholeOk && splitOk && got != expected)
        abort();
    for (const QStringList &message : got) {
        if (message.isEmpty())
            abort();
        for (const QString &token : message)
            if (token.isEmpty() || token.contains(QChar(0)))
                abort();
        // Every message read can be written back as it came.
        if (!encodeMessage(message))
            abort();
    }
    return 0;
}
