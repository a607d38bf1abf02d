#include "centralunit.h"

#include <QDebug>

// The operator's commands are not built yet: these say so instead of sending.

int CentralUnit::reject(const QString &resourceName)
{
    qDebug() << "reject" << resourceName << "@" << unitName << ": not sent, commands are not built yet";
    return -1;
}

int CentralUnit::sendDtmfDigits(const QString &resourceName, const QString &digits)
{
    qDebug() << "digits" << digits << "to" << resourceName << "@" << unitName << ": not sent, commands are not built yet";
    return -1;
}

int CentralUnit::disconnectFrom(const QString &resourceName)
{
    qDebug() << "disconnect from" << resourceName << "@" << unitName << ": not sent, commands are not built yet";
    return -1;
}
