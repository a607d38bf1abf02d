#include "dial.h"

#include "ui_dial.h"

#include <QDebug>
#include <QKeyEvent>
#include <QSignalMapper>

namespace {
constexpr int starCode = 10;
constexpr int hashCode = 11;
}

Dial::Dial(QWidget *parent) : QDialog(parent), ui(new Ui::DialClass), mapper(new QSignalMapper(this))
{
    ui->setupUi(this);
    // A title bar without a close button: the pad ends only through OK and C.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    const QList<QPushButton *> digits{ui->btn_0, ui->btn_1, ui->btn_2, ui->btn_3, ui->btn_4, ui->btn_5,
                                      ui->btn_6, ui->btn_7, ui->btn_8, ui->btn_9, ui->btn_star, ui->btn_hash};
    for (int code = 0; code < digits.size(); ++code) {
        connect(digits[code], &QPushButton::pressed, mapper, qOverload<>(&QSignalMapper::map));
        mapper->setMapping(digits[code], code);
    }
    connect(mapper, &QSignalMapper::mappedInt, this, &Dial::onNumber);
    connect(ui->del, &QPushButton::pressed, this, &Dial::onDelete);
    connect(ui->clr, &QPushButton::pressed, this, &Dial::onClear);
    connect(ui->cancel, &QPushButton::pressed, this, &Dial::onCancel);
    connect(ui->ok, &QPushButton::released, this, &Dial::onOk);
    refresh();
    qDebug() << "dial window - init ok";
}

Dial::~Dial()
{
    delete mapper;
}

void Dial::refresh()
{
    qDebug().noquote() << "dial number - number is" << ('"' + number + '"');
    ui->number->setText(number);
}

void Dial::onNumber(int code)
{
    if (code < 0 || code > hashCode)
        return;
    if (code == starCode) {
        qDebug() << "dial number - star pressed";
        number += '*';
    } else if (code == hashCode) {
        qDebug() << "dial number - hash pressed";
        number += '#';
    } else {
        qDebug() << "dial number -" << code << "pressed";
        number += QString::number(code, 10);
    }
    refresh();
}

void Dial::onDelete()
{
    qDebug() << "dial number - delete";
    number.chop(1);
    refresh();
}

void Dial::onClear()
{
    qDebug() << "dial number - clear";
    number.clear();
    refresh();
}

void Dial::onOk()
{
    qDebug() << "dial number - ok";
    emit ok(number);
    number.clear();
    refresh();
}

void Dial::onCancel()
{
    qDebug() << "dial number - cancel";
    emit cancel();
    number.clear();
    refresh();
}

void Dial::keyPressEvent(QKeyEvent *event)
{
    qDebug().noquote() << QStringLiteral("dial number - key press event [0x%1]").arg(event->key(), 8, 16, QLatin1Char('0'));
    const int key = event->key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        onNumber(key - Qt::Key_0);
    else if (key == Qt::Key_Asterisk)
        onNumber(starCode);
    else if (key == Qt::Key_NumberSign)
        onNumber(hashCode);
    else if (key == Qt::Key_Escape)
        onCancel();
    else if (key == Qt::Key_Backspace)
        onDelete();
    else if (key == Qt::Key_Return || key == Qt::Key_Enter)
        onOk();
    else if (key == Qt::Key_Delete)
        onClear();
    event->ignore();
}
