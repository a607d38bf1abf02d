#include "ktxabstract.h"

#include "ledmatrix.h"

#include <QDebug>
#include <QRegularExpression>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

// A title option is read into a 1024-byte field: a longer title is cut.
constexpr int kTitleLength = 1023;

constexpr int kFirstLineRow = 7;
constexpr int kLinePitch = 11;

// A hold message shows on at most two lines of 19 characters.
constexpr int kHoldLineCharacters = 19;

bool startsWith(const char* text, const char* prefix)
{
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

} // namespace

KTXAbstract::KTXAbstract(QWidget* parent)
    : QFrame(parent)
{
}

void KTXAbstract::hold(char* payload)
{
    qDebug("HOLD ON... %s", payload ? payload : "");
    setEnabled(false);
}

void KTXAbstract::update(char*)
{
}

void KTXAbstract::init(char*)
{
}

void KTXAbstract::parseOptions(char*)
{
}

void KTXAbstract::parseContent(char*)
{
}

void KTXAbstract::splitPayload(char* payload)
{
    if (!payload)
        return;
    // Runs of "|" count as one separator, so neither part can hold a "|". The pieces are cut in
    // place and stay valid for both calls.
    char* rest = nullptr;
    char* first = strtok_r(payload, "|", &rest);
    if (!first)
        return;
    char* options = std::strlen(first) > 2 && startsWith(first, "o:") ? first + 2 : nullptr;
    char* second = strtok_r(nullptr, "|", &rest);
    char* content = second && std::strlen(second) > 2 && startsWith(second, "c:") ? second + 2 : nullptr;
    if (options)
        parseOptions(options);
    if (content)
        parseContent(content);
}

void KTXAbstract::parseCommonOptions(char* options)
{
    char* rest = nullptr;
    for (char* piece = strtok_r(options, ";", &rest); piece; piece = strtok_r(nullptr, ";", &rest)) {
        int number = 0;
        QString text;
        if (scanNumber(piece, "to=", &number))
            timeout = number;
        else if (scanText(piece, "title=", kTitleLength, &text))
            title = text;
        else if (scanNumber(piece, "ok=", &number))
            okFlag = number;
        else if (scanNumber(piece, "cancel=", &number))
            cancelFlag = number;
    }
}

bool KTXAbstract::scanNumber(const char* piece, const char* key, int* value)
{
    return startsWith(piece, key) && readNumber(piece + std::strlen(key), value);
}

bool KTXAbstract::readNumber(const char* text, int* value, const char** end)
{
    char* behind = nullptr;
    const long number = std::strtol(text, &behind, 10);
    if (behind == text)
        return false;
    // Out of range: the nearest int, where a scanf conversion would be undefined.
    *value = static_cast<int>(std::clamp<long>(number, INT_MIN, INT_MAX));
    if (end)
        *end = behind;
    return true;
}

bool KTXAbstract::scanText(const char* piece, const char* key, int maxLength, QString* text,
                           bool (*admitted)(char))
{
    if (!startsWith(piece, key))
        return false;
    const char* value = piece + std::strlen(key);
    int length = 0;
    while (length < maxLength && value[length] != '\0' && value[length] != '\n'
           && (!admitted || admitted(value[length])))
        ++length;
    *text = QString::fromLatin1(value, length);
    return true;
}

void KTXAbstract::setUpMatrix(LedMatrix* matrix)
{
    matrix->setBackgroundColor(Qt::black);
    matrix->setColumns(128);
    matrix->setRows(64);
    matrix->show();
    matrix->setBackgroundColor(QColor::fromRgb(0x7bd96f));
    matrix->clear();
    matrix->setDrawColor(Qt::black);
}

void KTXAbstract::drawLines(LedMatrix* matrix, const QStringList& lines)
{
    for (int i = 0; i < qMin(kShownLines, int(lines.size())); ++i)
        matrix->drawText(lines.at(i), kFirstLineRow + kLinePitch * i, 1, LedMatrix::kLargeFont);
}

QString KTXAbstract::centred(const QString& line)
{
    if (line.size() >= kLineCharacters)
        return line;
    return QString((kLineCharacters - line.size()) / 2, QLatin1Char(' ')) + line;
}

QStringList KTXAbstract::wrapWords(const QString& text)
{
    QStringList lines;
    if (text.size() > kLineCharacters) {
        // Empty words are kept: leading or trailing whitespace makes an empty first or last word.
        static const QRegularExpression whitespace(QStringLiteral("\\s+"));
        const QStringList words = text.split(whitespace);
        QString line;
        bool full = false;
        for (const QString& word : words) {
            if (line.size() + word.size() > kWrapWidth) {
                lines.append(line);
                if (lines.size() == kShownLines) {
                    full = true;
                    break;
                }
                line = word;
            } else if (!line.isEmpty()) {
                line += QLatin1Char(' ') + word;
            } else {
                line = word;
            }
        }
        if (!full)
            lines.append(line);
    } else {
        lines.append(text);
    }
    for (QString& line : lines)
        line = centred(line);
    return lines;
}

void KTXAbstract::drawHoldOverlay(LedMatrix* matrix, char* payload)
{
    char* rest = nullptr;
    char* first = payload ? strtok_r(payload, "|", &rest) : nullptr;
    char* second = first ? strtok_r(nullptr, "|", &rest) : nullptr;
    // The options are not read: "o:" alone is enough.
    const bool valid = first && startsWith(first, "o:") && second && std::strlen(second) > 2
        && startsWith(second, "c:");
    if (!valid) {
        matrix->drawHoldSymbol(22, 54);
        return;
    }
    const char* text = second + 2;
    const QString message = QString::fromLatin1(text, strnlen(text, 2 * kHoldLineCharacters));
    if (message.size() <= kHoldLineCharacters) {
        matrix->drawRect(12, 2, 54, 124, 1, true);
        matrix->drawHoldSymbol(17, 54);
        matrix->drawText(message, 42, 63 - 3 * message.size(), LedMatrix::kLargeFont);
        return;
    }
    const QString secondLine = message.mid(kHoldLineCharacters);
    matrix->drawRect(12, 2, 60, 124, 1, true);
    matrix->drawHoldSymbol(17, 54);
    matrix->drawText(message.left(kHoldLineCharacters), 40, 6, LedMatrix::kLargeFont);
    matrix->drawText(secondLine, 49, 63 - 3 * secondLine.size(), LedMatrix::kLargeFont);
}
