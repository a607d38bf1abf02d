#pragma once

#include <QString>

class CentralUnitManager;
class QWidget;
enum class UnitChange;

// The operator's changes to the configured units, the same from the tree's menu and from the
// central-units dialog. A value the manager refuses (a box tells why) brings the form back as
// typed; Cancel leaves everything as it was.

// Tells the operator, in a box, why the manager refused a change or that zud.conf could not keep
// it; nothing for a change that was done and saved. Whether the change was done.
bool tellUnitChange(UnitChange change, QWidget *parent);

// Each: whether the units changed (false when cancelled or refused).
bool addUnitInteractively(CentralUnitManager *manager, QWidget *parent);
// Address, inactivity timeout and password of a unit.
bool editUnitInteractively(CentralUnitManager *manager, const QString &name, QWidget *parent);
// Asks first.
bool removeUnitAfterConfirmation(CentralUnitManager *manager, const QString &name, QWidget *parent);
