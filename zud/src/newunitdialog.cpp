#include "newunitdialog.h"

#include "ui_newunitdialog.h"

NewUnitDialog::NewUnitDialog(QWidget *parent) : QDialog(parent), ui(new Ui::NewUnitDialog)
{
    ui->setupUi(this);
}

NewUnitDialog::~NewUnitDialog() = default;
