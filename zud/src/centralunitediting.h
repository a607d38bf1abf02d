#pragma once

#include <QString>

class CentralUnitManager;
class QWidget;

// The operator's changes to the configured units, the same from the tree's menu and from the
// central-units dialog. A value the manager refuses (its box tells why) brings the form back as
// typed; Cancel leaves everything as it was.

// 0 added, -1 cancelled.
int addUnitInteractively(CentralUnitManager *manager, QWidget *parent);
// Address, inactivity timeout and password of a unit: 0 changed, -1 cancelled, -400 no such unit.
int editUnitInteractively(CentralUnitManager *manager, const QString &name, QWidget *parent);
// Asks first: 0 removed, -1 cancelled, else the manager's refusal.
int removeUnitAfterConfirmation(CentralUnitManager *manager, const QString &name, QWidget *parent);
