#include "dial.h"

#include <QKeyEvent>

Dial::Dial(QWidget *parent) : QDialog(parent)
{
    setVisible(false);
}

void Dial::addDigit(QChar digit)
{
    if (digit.isDigit() || digit == '*' || digit == '#')
        typed += digit;
}

void Dial::confirm()
{
    const QString digits = typed;
    typed.clear();
    emit ok(digits);
}

void Dial::reject()
{
    emit cancel();
}

void Dial::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        confirm();
    else if (event->key() == Qt::Key_Escape)
        reject();
    else if (!event->text().isEmpty())
        addDigit(event->text().front());
}
