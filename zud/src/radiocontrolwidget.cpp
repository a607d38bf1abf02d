#include "radiocontrolwidget.h"

#include <QDebug>

RadioControlWidget::RadioControlWidget(const QString &radioName, const QString &unitName, QWidget *parent)
    : QWidget(parent), radio(radioName), unit(unitName)
{
}

void RadioControlWidget::receiveData(QChar code, unsigned length, const QString &text)
{
    qDebug() << "handset data for" << radio << "@" << unit << ":" << code << length;
    data.append({code, length, text});
}
