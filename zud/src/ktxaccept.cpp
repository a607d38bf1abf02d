#include "ktxaccept.h"

#include "ledmatrix.h"
#include "ui_ktxaccept.h"

#include <QDebug>

KTXAccept::KTXAccept(QWidget* parent)
    : KTXAbstract(parent)
    , ui(std::make_unique<Ui::KTXAcceptClass>())
{
    ui->setupUi(this);
    type = KtxAcceptWindow;
    ui->okBtn->hide();
    ui->cancelBtn->hide();
    connect(ui->cancelBtn, &QPushButton::clicked, this, &KTXAccept::onCancelBtn);
    connect(ui->okBtn, &QPushButton::clicked, this, &KTXAccept::onOkBtn);
    setUpMatrix(ui->text);
}

KTXAccept::~KTXAccept() = default;

void KTXAccept::hold(char* payload)
{
    drawHoldOverlay(ui->text, payload);
    ui->cancelBtn->setEnabled(false);
    ui->okBtn->setEnabled(false);
}

void KTXAccept::update(char*)
{
}

void KTXAccept::init(char* payload)
{
    splitPayload(payload);
    ui->text->clear();
    drawLines(ui->text, lines);
    if (okFlag != 0)
        ui->okBtn->show();
    if (cancelFlag != 0)
        ui->cancelBtn->show();
    ui->title->setText(title);
}

void KTXAccept::parseOptions(char* options)
{
    parseCommonOptions(options);
}

void KTXAccept::parseContent(char* content)
{
    acceptText = QString::fromLatin1(content);
    if (acceptText.size() > kLineCharacters)
        qDebug("raz");
    lines += wrapWords(acceptText);
}

void KTXAccept::onCancelBtn()
{
    emit key(KtxCancel, nullptr);
}

void KTXAccept::onOkBtn()
{
    emit key(KtxOk, nullptr);
}
