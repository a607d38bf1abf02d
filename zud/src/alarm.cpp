#include "alarm.h"

#include "zudmainwindow.h"

#include <QDebug>
#include <QTreeWidgetItem>

AlarmsBranch::AlarmsBranch(const QString &name, QTreeWidgetItem *parentRow, QObject *parent) : Resource(parent)
{
    makeRow(parentRow, name, "!2alarmsbranch");
    monitorable = false;
    canListen = false;
    qDebug() << "new alarms branch";
    AlarmsBranch::updateGui();
}

void AlarmsBranch::updateGui()
{
    item->setIcon(0, rowIcon(":/icons/images/alarms.png"));
    gZudWindow->updateGuiLater();
}

Alarm::Alarm(const QString &name, const QString &text, AlarmsBranch *branch, QTreeWidgetItem *parentRow,
             QObject *parent)
    : Resource(parent), alarmText(text.isEmpty() ? QStringLiteral(" ") : text)
{
    parentResource = branch;
    makeRow(parentRow, name, "alarm " + name.toLower());
    item->setText(1, alarmText);
    monitorable = false;
    canListen = false;
    Alarm::updateGui();
    blinkTimer.start(300);
}

Alarm::~Alarm()
{
    blinkTimer.stop();
    setForegroundColor(Qt::black);
}

void Alarm::updateGui()
{
    item->setIcon(0, rowIcon(":/icons/images/alarm_active.png"));
    gZudWindow->updateGuiLater();
}
