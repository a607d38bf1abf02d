#include "centralunitediting.h"

#include "centralunit.h"
#include "centralunitmanager.h"
#include "newunitdialog.h"

#include <QCoreApplication>
#include <QMessageBox>

#include <functional>

namespace {
// Runs the form until `apply` takes its values or the operator cancels.
int runUntilTaken(NewUnitDialog &dialog, const std::function<int()> &apply)
{
    for (;;) {
        if (dialog.exec() != QDialog::Accepted)
            return -1;
        const int result = apply();
        // -3 a name or address in use, -5 a value zud.conf cannot hold: the operator may mend it.
        if (result != -3 && result != -5)
            return result;
    }
}
}

int addUnitInteractively(CentralUnitManager *manager, QWidget *parent)
{
    if (!manager)
        return -1;
    NewUnitDialog dialog(parent);
    return runUntilTaken(dialog, [&] {
        return manager->addUnit(dialog.name(), dialog.ipAddress(), dialog.ttl(), dialog.password());
    });
}

int editUnitInteractively(CentralUnitManager *manager, const QString &name, QWidget *parent)
{
    CentralUnit *unit = manager ? manager->findUnit(name) : nullptr;
    if (!unit)
        return -400;
    NewUnitDialog dialog(parent);
    dialog.showUnit(name, unit->ipAddress(), unit->ttl(), unit->loginPassword());
    return runUntilTaken(dialog, [&] {
        return manager->editUnit(name, dialog.ipAddress(), dialog.ttl(), dialog.password());
    });
}

int removeUnitAfterConfirmation(CentralUnitManager *manager, const QString &name, QWidget *parent)
{
    const auto tr = [](const char *text) { return QCoreApplication::translate("ConnectionsTreeWidget", text); };
    const auto answer = QMessageBox::question(parent, tr(""), tr("You are about to delete ") + name + "\nContinue?",
                                              QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel);
    if (answer != QMessageBox::Ok || !manager)
        return -1;
    return manager->removeUnit(name);
}
