#include "centralunitsdialog.h"

#include "ui_centralunitsdialog.h"

CentralUnitsDialog::CentralUnitsDialog(QWidget *parent) : QDialog(parent), ui(new Ui::CentralUnitsDialog)
{
    ui->setupUi(this);
    ui->unitsTreeWidget->hideColumn(0);
}

CentralUnitsDialog::~CentralUnitsDialog() = default;
