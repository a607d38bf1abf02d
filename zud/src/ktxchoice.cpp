#include "ktxchoice.h"

#include "ledmatrix.h"
#include "ui_ktxchoice.h"

#include <cstring>

namespace {

// The "%d;%s" text of OK: a 256-byte field with its NUL.
constexpr int kMaxOkText = 255;

} // namespace

KTXChoice::KTXChoice(QWidget* parent)
    : KTXAbstract(parent)
    , ui(std::make_unique<Ui::KTXChoiceClass>())
{
    ui->setupUi(this);
    type = KtxChoiceWindow;
    connect(ui->upBtn, &QPushButton::clicked, this, &KTXChoice::onUpBtn);
    connect(ui->downBtn, &QPushButton::clicked, this, &KTXChoice::onDownBtn);
    connect(ui->cancelBtn, &QPushButton::clicked, this, &KTXChoice::onCancelBtn);
    connect(ui->okBtn, &QPushButton::clicked, this, &KTXChoice::onOkBtn);
    setUpMatrix(ui->text);
}

KTXChoice::~KTXChoice() = default;

void KTXChoice::hold(char* payload)
{
    drawHoldOverlay(ui->text, payload);
    for (QPushButton* button : {ui->cancelBtn, ui->okBtn, ui->upBtn, ui->downBtn})
        button->setEnabled(false);
}

void KTXChoice::update(char* payload)
{
    splitPayload(payload);
    showTimeout();
}

void KTXChoice::init(char* payload)
{
    splitPayload(payload);
    draw();
    showTimeout();
}

void KTXChoice::parseOptions(char* options)
{
    parseCommonOptions(options);
}

void KTXChoice::parseContent(char* content)
{
    char* rest = nullptr;
    for (char* piece = strtok_r(content, ";", &rest); piece; piece = strtok_r(nullptr, ";", &rest)) {
        items.append(QString::fromLatin1(piece));
        ++itemCount;
    }
    if (itemCount != 0)
        selection = 0;
}

void KTXChoice::showTimeout()
{
    if (timeout != 0)
        ui->timeout->setText(QStringLiteral("%1").arg(timeout));
}

void KTXChoice::draw()
{
    // The item before the selected one, the selected one in the frame, then those after it,
    // read as a ring.
    QString rows[kShownLines];
    ui->title->setText(title);
    const int n = itemCount;
    if (n == 1) {
        rows[1] = items.at(0);
    } else if (n >= 2) {
        int i = selection == 0 ? n - 1 : selection - 1;
        for (int k = 0; k < qMin(n, kShownLines); ++k) {
            rows[k] = items.at(i);
            i = i == n - 1 ? 0 : i + 1;
        }
    }
    ui->text->clear();
    for (int k = 0; k < kShownLines; ++k) {
        ui->text->drawRect(16, 2, 26, 123, 1, false);
        if (k == 1)
            ui->text->drawText(rows[k], 18, 5, LedMatrix::kLargeFont);
        else
            ui->text->drawText(rows[k], 7 + 11 * k, 1, LedMatrix::kLargeFont);
    }
}

void KTXChoice::onUpBtn()
{
    if (itemCount != 1) {
        selection = selection == 0 ? itemCount - 1 : selection - 1;
        draw();
    }
    emit key(KtxSelectionMoved, nullptr);
}

void KTXChoice::onDownBtn()
{
    if (itemCount != 1) {
        selection = selection == itemCount - 1 ? 0 : selection + 1;
        draw();
    }
    emit key(KtxSelectionMoved, nullptr);
}

void KTXChoice::onCancelBtn()
{
    emit key(KtxCancel, nullptr);
}

void KTXChoice::onOkBtn()
{
    if (selection < 0 || selection >= itemCount || items.at(selection).isEmpty())
        return;
    QByteArray text = (QByteArray::number(selection + 1) + ';' + items.at(selection).toLatin1()).left(kMaxOkText);
    emit key(KtxOk, text.data());
}
