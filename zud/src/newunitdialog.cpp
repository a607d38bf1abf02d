#include "newunitdialog.h"

#include "ui_newunitdialog.h"

#include <QPushButton>

#include <algorithm>

namespace {
// Digits with an optional minus sign: "+1" or " 1" are no part of an address.
bool isDecimal(const QString &part)
{
    const qsizetype first = part.startsWith('-') ? 1 : 0;
    return part.size() > first
        && std::all_of(part.begin() + first, part.end(), [](QChar c) { return c >= '0' && c <= '9'; });
}
}

NewUnitDialog::NewUnitDialog(QWidget *parent) : QDialog(parent), ui(new Ui::NewUnitDialog)
{
    ui->setupUi(this);
    updateOkButton();
}

NewUnitDialog::~NewUnitDialog() = default;

bool NewUnitDialog::isValidIpAddress(const QString &address)
{
    if (address.isEmpty() || address == "0.0.0.0" || address == "127.0.0.1")
        return false;
    const QStringList parts = address.split('.');
    if (parts.size() != 4)
        return false;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString &part = parts[i];
        if (part.isEmpty() || part.size() > 3 || !isDecimal(part))
            return false;
        const int value = part.toInt();
        if (value < 0 || value > 255)
            return false;
        if (i == 0 && (value == 0 || value == 127 || value == 255))
            return false;
    }
    return true;
}

void NewUnitDialog::updateOkButton()
{
    ui->buttonBox->button(QDialogButtonBox::Ok)
        ->setEnabled(!ui->nameLineEdit->text().isEmpty() && isValidIpAddress(ui->ipLineEdit->text()));
}

void NewUnitDialog::on_ipLineEdit_textChanged(const QString &)
{
    updateOkButton();
}

void NewUnitDialog::on_nameLineEdit_textChanged(const QString &)
{
    updateOkButton();
}

void NewUnitDialog::showUnit(const QString &name, const QString &ipAddress, int ttl, const QString &password)
{
    setWindowTitle(tr("Central Unit %1").arg(name));
    ui->nameLineEdit->setText(name);
    ui->nameLineEdit->setReadOnly(true);
    ui->ipLineEdit->setText(ipAddress);
    ui->ttlSpinBox->setValue(ttl);
    ui->passwordLineEdit->setText(password);
}

QString NewUnitDialog::name() const
{
    return ui->nameLineEdit->text();
}

QString NewUnitDialog::ipAddress() const
{
    return ui->ipLineEdit->text();
}

QString NewUnitDialog::ttl() const
{
    return QString::number(ui->ttlSpinBox->value());
}

QString NewUnitDialog::password() const
{
    return ui->passwordLineEdit->text();
}
