#pragma once

#include <QDialog>
#include <QList>

#include <memory>

namespace Ui { class CentralUnitsDialog; }
class CentralUnit;
class CentralUnitManager;
class QTreeWidgetItem;

// The configured central units, one row each in the order of zud.conf, with the state of their
// links kept current: "+" adds one, "-" removes the selected one after asking, "Edit…" or a double
// click edits a unit's address, password and inactivity timeout.
class CentralUnitsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CentralUnitsDialog(CentralUnitManager *manager = nullptr, QWidget *parent = nullptr);
    ~CentralUnitsDialog() override;

private slots:
    void on_pushButton_clicked();
    void on_pushButton_2_clicked();
    void on_editPushButton_clicked();
    void on_unitsTreeWidget_itemDoubleClicked(QTreeWidgetItem *row);

private:
    void fillRows();
    void addRow(CentralUnit *unit);

    std::unique_ptr<Ui::CentralUnitsDialog> ui;
    CentralUnitManager *manager;
    // The rows' links to their units' state, made anew with the rows.
    QList<QMetaObject::Connection> watches;
};
