#include "newunitdialog.h"

#include "ui_newunitdialog.h"

#include <QLayout>
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
    return !address.isEmpty() && addressProblem(address).isEmpty();
}

QString NewUnitDialog::addressProblem(const QString &address)
{
    if (address.isEmpty())
        return {};
    const QStringList parts = address.split('.');
    if (parts.size() != 4)
        return tr("An IP address is four numbers separated by dots, such as 192.168.1.20.");
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString &part = parts[i];
        if (part.isEmpty())
            return tr("A number is missing between the dots.");
        const int value = part.toInt();
        if (part.size() > 3 || !isDecimal(part) || value < 0 || value > 255)
            return tr("\"%1\" is no number from 0 to 255.").arg(part);
        if (i > 0)
            continue;
        // "0.0.0.0" and "127.0.0.1" are among these.
        if (value == 0)
            return tr("An address beginning with 0 names no unit.");
        if (value == 127)
            return tr("Addresses beginning with 127 are this PC's own (loopback), not a unit's.");
        if (value == 255)
            return tr("Addresses beginning with 255 are broadcast addresses, not a unit's.");
    }
    return {};
}

void NewUnitDialog::updateOkButton()
{
    const QString address = ui->ipLineEdit->text();
    const bool kept = !keptAddress.isEmpty() && address == keptAddress;
    const QString problem = kept ? QString() : addressProblem(address);
    if (problem != ui->ipProblemLabel->text()) {
        ui->ipProblemLabel->setText(problem);
        ui->ipProblemLabel->setVisible(!problem.isEmpty());
        // A window does not follow the height of wrapped text by itself: the reason would be cut.
        resize(width(), std::max(minimumSizeHint().height(), layout()->totalHeightForWidth(width())));
    }
    ui->buttonBox->button(QDialogButtonBox::Ok)
        ->setEnabled(!ui->nameLineEdit->text().isEmpty() && !address.isEmpty() && problem.isEmpty());
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
    keptAddress = ipAddress;
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
