#include "ktx_text.h"

#include "ui_ktx_text.h"

#include <QRegularExpression>

#include <cstring>

namespace {

constexpr int kLineCharacters = 21;
constexpr int kWrapWidth = 19;
constexpr int kMaxLines = 5;

} // namespace

KTXText::KTXText(QWidget* parent)
    : KTXAbstract(parent)
    , ui(std::make_unique<Ui::KTXTextClass>())
{
    ui->setupUi(this);
    type = kStatusText;
    setUpMatrix(ui->text);
}

KTXText::~KTXText() = default;

void KTXText::init(char* payload)
{
    if (payload) {
        // Runs of ";" count as one separator: an empty title makes the text the title.
        char* rest = nullptr;
        if (const char* first = strtok_r(payload, ";", &rest)) {
            titleText = QString::fromLatin1(first);
            if (const char* second = strtok_r(nullptr, ";", &rest))
                statusText = QString::fromLatin1(second);
        }
    }
    wrapText();
    draw();
    ui->title->setText(titleText);
}

void KTXText::hold(char* payload)
{
    drawHoldOverlay(ui->text, payload);
}

void KTXText::wrapText()
{
    if (statusText.size() > kLineCharacters) {
        // A word is never split; the joining space does not count against the width.
        static const QRegularExpression whitespace(QStringLiteral("\\s+"));
        const QStringList words = statusText.split(whitespace);
        QString line;
        bool full = false;
        for (const QString& word : words) {
            if (line.size() + word.size() > kWrapWidth) {
                lines.append(line);
                if (lines.size() == kMaxLines) {
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
        lines.append(statusText);
    }
    for (QString& line : lines)
        line = centred(line);
}

void KTXText::draw()
{
    ui->text->clear();
    drawLines(ui->text, lines);
}
