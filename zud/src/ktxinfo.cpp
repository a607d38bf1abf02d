#include "ktxinfo.h"

#include "ledmatrix.h"
#include "ui_ktxinfo.h"

#include <QDebug>
#include <QRegularExpression>

KTXInfo::KTXInfo(QWidget* parent)
    : KTXAbstract(parent)
    , ui(std::make_unique<Ui::KTXInfoClass>())
{
    ui->setupUi(this);
    type = KtxInfoWindow;
    connect(ui->cancelBtn, &QPushButton::clicked, this, &KTXInfo::onCancelBtn);
    connect(ui->okBtn, &QPushButton::clicked, this, &KTXInfo::onOkBtn);
    connect(ui->up, &QPushButton::clicked, this, &KTXInfo::onUpBtn);
    connect(ui->down, &QPushButton::clicked, this, &KTXInfo::onDownBtn);
    setUpMatrix(ui->text);
    ui->up->hide();
    ui->down->hide();
    qDebug("ktx info window hello");
}

KTXInfo::~KTXInfo()
{
    qDebug("ktx info window bye bye");
}

void KTXInfo::hold(char* payload)
{
    drawHoldOverlay(ui->text, payload);
    ui->cancelBtn->setEnabled(false);
    ui->okBtn->setEnabled(false);
}

void KTXInfo::init(char* payload)
{
    splitPayload(payload);
    draw();
    ui->okBtn->setVisible(okFlag != 0);
    ui->cancelBtn->setVisible(cancelFlag != 0);
    ui->title->setText(title);
}

void KTXInfo::parseOptions(char* options)
{
    parseCommonOptions(options);
}

void KTXInfo::parseContent(char* content)
{
    infoText = QString::fromLatin1(content);
    wrapText();
}

void KTXInfo::addLine(const QString& text)
{
    lines.append(TextLine{text, int(text.size()), int(lines.size())});
}

void KTXInfo::wrapText()
{
    QString rest = infoText.trimmed();
    if (rest.size() <= kLineCharacters) {
        // One line as it is, a line feed included.
        addLine(rest);
    } else {
        // Whitespace separates words, a line feed also ends the line; joined lines hold at most
        // 20 characters and a longer word stands alone.
        static const QRegularExpression whitespace(QStringLiteral("(\\s)"));
        QString line;
        qsizetype p;
        do {
            p = whitespace.match(rest).capturedStart();
            if (p != 0) {
                const QString word = p < 0 ? rest : rest.left(p);
                if (line.size() + word.size() > kWrapWidth) {
                    if (!line.isEmpty())
                        addLine(line);
                    line = word;
                } else {
                    line = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
                }
                if (p > 0 && rest.at(p) == QLatin1Char('\n') && !line.isEmpty()) {
                    addLine(line);
                    line.clear();
                }
            }
            rest.remove(0, p + 1);
        } while (p >= 0);
        if (!line.isEmpty())
            addLine(line);
    }
    for (TextLine& line : lines) {
        qDebug("[%d] %s", line.index + 1, qPrintable(line.text));
        line.text = centred(line.text);
        line.length = int(line.text.size());
    }
    scrollPosition = lines.isEmpty() ? -1 : 0;
    qDebug("ktx info window - parse text done [%d] lines", int(lines.size()));
}

void KTXInfo::draw()
{
    if (scrollPosition < 0)
        return;
    const int n = int(lines.size());
    const bool more = n > kShownLines && scrollPosition < n - kShownLines;
    ui->text->clear();
    QStringList shown;
    for (int k = 0; k < kShownLines && scrollPosition + k < n; ++k)
        shown.append(lines.at(scrollPosition + k).text);
    drawLines(ui->text, shown);
    ui->up->setVisible(scrollPosition != 0);
    ui->down->setVisible(more);
}

void KTXInfo::onOkBtn()
{
    emit key(KtxOk, nullptr);
}

void KTXInfo::onCancelBtn()
{
    emit key(KtxCancel, nullptr);
}

void KTXInfo::onUpBtn()
{
    if (scrollPosition != 0) {
        --scrollPosition;
        draw();
    }
}

void KTXInfo::onDownBtn()
{
    if (scrollPosition != lines.size()) {
        ++scrollPosition;
        draw();
    }
}
