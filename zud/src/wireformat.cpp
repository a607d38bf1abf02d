#include "wireformat.h"

#include <utility>

std::optional<QByteArray> encodeMessage(const QStringList &tokens)
{
    qsizetype count = tokens.size();
    while (count > 0 && tokens[count - 1].isEmpty())
        --count;
    QByteArray out;
    for (qsizetype i = 0; i < count; ++i) {
        const QByteArray token = tokens[i].toLatin1();
        if (token.isEmpty() || token.contains('\0'))
            return std::nullopt;
        out += token;
        out += '\0';
    }
    out += '\0';
    return out;
}

bool MessageReader::append(const QByteArray &bytes, QList<QStringList> &messages)
{
    pending += bytes;
    qsizetype start = 0;
    for (qsizetype nul; (nul = pending.indexOf('\0', start)) >= 0; start = nul + 1) {
        if (nul == start) {
            // Moved out, not copied and cleared: a cleared copy would keep the room of the longest
            // message so far, and every later message would pay for it.
            if (!tokens.isEmpty())
                messages.append(std::exchange(tokens, {}));
            tokenBytes = 0;
        } else {
            tokens.append(QString::fromLatin1(pending.constData() + start, nul - start));
            tokenBytes += nul - start + 1;
            if (tokenBytes > maxMessageBytes) {
                reset();
                return false;
            }
        }
    }
    pending.remove(0, start);
    if (tokenBytes + pending.size() > maxMessageBytes) {
        reset();
        return false;
    }
    return true;
}

void MessageReader::reset()
{
    pending.clear();
    tokens.clear();
    tokenBytes = 0;
}
