#include "centralunitediting.h"

#include "centralunit.h"
#include "centralunitmanager.h"
#include "newunitdialog.h"
#include "savewarning.h"

#include <QCoreApplication>
#include <QMessageBox>

#include <functional>

namespace {
QString managerText(const char *text)
{
    return QCoreApplication::translate("CentralUnitManager", text);
}

// A refusal the operator can mend in the form.
bool mendable(UnitChange change)
{
    return change != UnitChange::Done && change != UnitChange::DoneUnsaved && change != UnitChange::NoSuchUnit;
}

// Runs the form until `apply` takes its values or the operator cancels.
bool runUntilTaken(NewUnitDialog &dialog, const std::function<UnitChange()> &apply)
{
    for (;;) {
        if (dialog.exec() != QDialog::Accepted)
            return false;
        const UnitChange change = apply();
        const bool done = tellUnitChange(change, dialog.parentWidget());
        if (!mendable(change))
            return done;
    }
}
}

bool tellUnitChange(UnitChange change, QWidget *parent)
{
    const auto refuse = [parent](const QString &text) {
        QMessageBox::warning(parent, managerText("Error"), text, QMessageBox::Close);
        return false;
    };
    const auto unfit = [&](const char *label) {
        return refuse(managerText("Provided %1 cannot hold \"|\", a TAB or a line break!").arg(managerText(label)));
    };
    switch (change) {
    case UnitChange::Done:
        return true;
    case UnitChange::DoneUnsaved:
        warnConfigNotSaved(parent);
        return true;
    case UnitChange::NameInUse:
        return refuse(managerText("Provided name is in use!"));
    case UnitChange::AddressInUse:
        return refuse(managerText("Provided IP Address is in use!"));
    case UnitChange::NameUnfit:
        return unfit("name");
    case UnitChange::AddressUnfit:
        return unfit("IP Address");
    case UnitChange::PasswordUnfit:
        return unfit("password");
    case UnitChange::TimeoutUnfit:
        return unfit("inactivity timeout");
    case UnitChange::NoSuchUnit:
        return false;
    }
    return false;
}

bool addUnitInteractively(CentralUnitManager *manager, QWidget *parent)
{
    if (!manager)
        return false;
    NewUnitDialog dialog(parent);
    return runUntilTaken(dialog, [&] {
        return manager->addUnit(dialog.name(), dialog.ipAddress(), dialog.ttl(), dialog.password());
    });
}

bool editUnitInteractively(CentralUnitManager *manager, const QString &name, QWidget *parent)
{
    CentralUnit *unit = manager ? manager->findUnit(name) : nullptr;
    if (!unit)
        return false;
    NewUnitDialog dialog(parent);
    dialog.showUnit(name, unit->ipAddress(), unit->ttl(), unit->loginPassword());
    return runUntilTaken(dialog, [&] {
        return manager->editUnit(name, dialog.ipAddress(), dialog.ttl(), dialog.password());
    });
}

bool removeUnitAfterConfirmation(CentralUnitManager *manager, const QString &name, QWidget *parent)
{
    const auto tr = [](const char *text) { return QCoreApplication::translate("ConnectionsTreeWidget", text); };
    const auto answer = QMessageBox::question(parent, tr(""), tr("You are about to delete ") + name + "\nContinue?",
                                              QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel);
    return answer == QMessageBox::Ok && manager && tellUnitChange(manager->removeUnit(name), parent);
}
