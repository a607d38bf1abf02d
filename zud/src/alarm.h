#pragma once

#include "resource.h"

// The unit's active alarms, each a blinking row under the unit's "Alarms" branch.

class AlarmsBranch : public Resource
{
    Q_OBJECT
public:
    AlarmsBranch(const QString &name, QTreeWidgetItem *parentRow, QObject *parent = nullptr);
    void updateGui() override;
    QString typeName() const override { return QStringLiteral("alarms branch"); }
};

class Alarm : public Resource
{
    Q_OBJECT
public:
    Alarm(const QString &name, const QString &text, AlarmsBranch *branch, QTreeWidgetItem *parentRow,
          QObject *parent = nullptr);
    ~Alarm() override;
    void updateGui() override;
    QString typeName() const override { return QStringLiteral("alarm"); }
    QString description() const override { return alarmText; }

private:
    QString alarmText;
};
