#include "centralunit.h"

#include "connectionstreewidget.h"
#include "zudmainwindow.h"

#include <QDebug>

void CentralUnit::handleStatus()
{
    qDebug() << "status from" << unitName << ":" << printableCommand(replyTokens);
    if (replyTokens.value(1) == "alive")
        secondsWithoutAlive = 0;
    else
        qDebug() << "status message dropped @" << unitName;
    gZudWindow->connectionsTree()->sortItems(3, Qt::AscendingOrder);
}

void CentralUnit::handleOk()
{
    qDebug() << "ok from" << unitName << ":" << printableCommand(replyTokens);
}

void CentralUnit::handleError()
{
    qDebug() << "error from" << unitName << ":" << printableCommand(replyTokens);
}
