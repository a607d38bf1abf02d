#include "centralunitsdialog.h"

#include "centralunit.h"
#include "centralunitediting.h"
#include "centralunitmanager.h"
#include "columnfit.h"
#include "confignode.h"

#include "ui_centralunitsdialog.h"

namespace {
enum Column { KeyColumn, NameColumn, AddressColumn, LoginColumn, PasswordColumn };

QString loginText(CentralUnit::LinkState state)
{
    switch (state) {
    case CentralUnit::LinkState::LoggedIn: return CentralUnitsDialog::tr("logged in");
    case CentralUnit::LinkState::Connecting: return CentralUnitsDialog::tr("connecting");
    case CentralUnit::LinkState::WrongPassword: return CentralUnitsDialog::tr("wrong password");
    case CentralUnit::LinkState::Unreachable: break;
    }
    return CentralUnitsDialog::tr("not reachable");
}

// The same mask for every password, so that not even its length shows.
QString maskedPassword(const QString &password)
{
    return password.isEmpty() ? QString() : QString(8, QChar(0x25CF));
}
}

CentralUnitsDialog::CentralUnitsDialog(CentralUnitManager *manager, QWidget *parent)
    : QDialog(parent), ui(new Ui::CentralUnitsDialog), manager(manager)
{
    ui->setupUi(this);
    ui->unitsTreeWidget->hideColumn(KeyColumn);
    ui->unitsTreeWidget->setRootIsDecorated(false);
    // A link's state changes while the window is open ("wrong password" is longer than the rest).
    new ColumnFit(ui->unitsTreeWidget, LoginColumn);
    fillRows();
}

CentralUnitsDialog::~CentralUnitsDialog() = default;

void CentralUnitsDialog::fillRows()
{
    for (const QMetaObject::Connection &watch : std::as_const(watches))
        disconnect(watch);
    watches.clear();
    ui->unitsTreeWidget->clear();
    ConfigNode *devices = gConfig.get({"devices"});
    if (!devices || !manager)
        return;
    // zud.conf's order; a section that made no unit (no address) has no link to show.
    for (const auto &section : devices->children)
        if (CentralUnit *unit = manager->findUnit(section->key))
            addRow(unit);
    for (int column : {NameColumn, AddressColumn, PasswordColumn})
        ui->unitsTreeWidget->resizeColumnToContents(column);
}

void CentralUnitsDialog::addRow(CentralUnit *unit)
{
    auto *row = new QTreeWidgetItem(ui->unitsTreeWidget);
    row->setText(KeyColumn, unit->name());
    row->setText(NameColumn, unit->name());
    row->setText(AddressColumn, unit->ipAddress());
    row->setText(LoginColumn, loginText(unit->linkState()));
    row->setText(PasswordColumn, maskedPassword(unit->loginPassword()));
    // The row lives until the next fillRows, which ends this watch first.
    watches << connect(unit, &CentralUnit::linkStateChanged, this,
                       [row](CentralUnit::LinkState state) { row->setText(LoginColumn, loginText(state)); });
}

void CentralUnitsDialog::on_pushButton_clicked()
{
    if (addUnitInteractively(manager, this))
        fillRows();
}

void CentralUnitsDialog::on_pushButton_2_clicked()
{
    QTreeWidgetItem *row = ui->unitsTreeWidget->currentItem();
    if (row && removeUnitAfterConfirmation(manager, row->text(KeyColumn), this))
        fillRows();
}

void CentralUnitsDialog::on_editPushButton_clicked()
{
    on_unitsTreeWidget_itemDoubleClicked(ui->unitsTreeWidget->currentItem());
}

void CentralUnitsDialog::on_unitsTreeWidget_itemDoubleClicked(QTreeWidgetItem *row)
{
    if (row && editUnitInteractively(manager, row->text(KeyColumn), this))
        fillRows();
}
