#include "ktxinput.h"

#include "ledmatrix.h"
#include "ui_ktxinput.h"

#include <QDebug>

#include <cstring>

namespace {

// Mask, title and hint are read into 20-byte fields.
constexpr int kFieldLength = 19;

// Mask and hint admit every printable ASCII character but the double quote.
bool maskCharacter(char c)
{
    return c >= 0x20 && c <= 0x7e && c != '"';
}

} // namespace

KTXInput::KTXInput(QWidget* parent)
    : KTXAbstract(parent)
    , ui(std::make_unique<Ui::KTXInputClass>())
{
    ui->setupUi(this);
    type = KtxInputWindow;
    ui->okBtn->setEnabled(false);
    connect(ui->cancelBtn, &QPushButton::clicked, this, &KTXInput::onCancelBtn);
    connect(ui->okBtn, &QPushButton::clicked, this, &KTXInput::onOkBtn);
    setUpMatrix(ui->text);
}

KTXInput::~KTXInput() = default;

void KTXInput::hold(char* payload)
{
    drawHoldOverlay(ui->text, payload);
    ui->cancelBtn->setEnabled(false);
    ui->okBtn->setEnabled(false);
}

void KTXInput::init(char* payload)
{
    splitPayload(payload);
    ui->title->setText(title);
    if (!format.isEmpty())
        ui->subtitle->setText("(" + format + ")");
    qDebug() << "ktx input window format" << format << "mask" << mask;
    ui->text->drawRect(27, 3, 40, 124, 0, false);
    draw();
}

void KTXInput::parseOptions(char* options)
{
    char* rest = nullptr;
    for (char* piece = strtok_r(options, ";", &rest); piece; piece = strtok_r(nullptr, ";", &rest)) {
        int number = 0;
        QString text;
        if (scanNumber(piece, "to=", &number))
            timeout = number;
        else if (scanText(piece, "mask=", kFieldLength, &text, maskCharacter))
            mask = text;
        else if (scanText(piece, "title=", kFieldLength, &text))
            title = text;
        else if (scanText(piece, "fmt=", kFieldLength, &text, maskCharacter))
            format = text;
        else if (scanNumber(piece, "len=", &number))
            inputLength = number;
        else if (scanNumber(piece, "ok=", &number))
            okFlag = number;
        else if (scanNumber(piece, "cancel=", &number))
            cancelFlag = number;
    }
    if (inputLength == -1)
        inputLength = int(mask.size());
}

bool KTXInput::isLiteralAt(int position) const
{
    return position < mask.size() && mask.at(position) != 'd' && mask.at(position) != 'a';
}

bool KTXInput::isDigitAt(int position) const
{
    return position < mask.size() && mask.at(position) == 'd';
}

bool KTXInput::isAlphaAt(int position) const
{
    return position >= mask.size() || mask.at(position) == 'a';
}

bool KTXInput::accepts(int position, int key) const
{
    const bool digit = key >= Qt::Key_0 && key <= Qt::Key_9;
    if (isDigitAt(position))
        return digit;
    // Qt gives letters as capitals: they are entered in upper case.
    return isAlphaAt(position)
        && (digit || (key >= Qt::Key_A && key <= Qt::Key_Z) || key == Qt::Key_Space
            || key == Qt::Key_Colon || key == Qt::Key_Question || key == Qt::Key_Period);
}

void KTXInput::keyInput(int key)
{
    if (key == 0 || key == Qt::Key_unknown)
        return;
    if (key == Qt::Key_Backspace) {
        if (cursor == 0)
            return;
        // The fixed characters at the end go with the typed one in front of them.
        bool fixed;
        do {
            fixed = isLiteralAt(int(entered.size()) - 1);
            entered.chop(1);
        } while (fixed && !entered.isEmpty());
    } else {
        if (cursor >= mask.size())
            return;
        int p = cursor;
        while (p < mask.size() && isLiteralAt(p))
            ++p;
        if (!accepts(p, key))
            return;
        entered += mask.mid(cursor, p - cursor);
        entered += QChar(key);
        for (int q = p + 1; q < mask.size() && isLiteralAt(q); ++q)
            entered += mask.at(q);
    }
    cursor = int(entered.size());
    draw();
    ui->okBtn->setEnabled((inputLength == 0 && cursor > 0) || (inputLength != 0 && cursor == inputLength));
}

void KTXInput::draw()
{
    for (int i = 0; i < mask.size(); ++i) {
        const QChar c = isLiteralAt(i) ? mask.at(i) : i < entered.size() ? entered.at(i) : QLatin1Char('_');
        ui->text->drawText(QString(c), 31, 6 + 6 * i, LedMatrix::kLargeFont);
    }
}

void KTXInput::onCancelBtn()
{
    emit key(KtxCancel, nullptr);
}

void KTXInput::onOkBtn()
{
    QByteArray text = entered.toLatin1();
    emit key(KtxOk, text.data());
}
