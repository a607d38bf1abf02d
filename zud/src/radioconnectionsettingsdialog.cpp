#include "radioconnectionsettingsdialog.h"

#include "radiosettings.h"
#include "savewarning.h"
#include "ui_radioconnectionsettingsdialog.h"

#include <QDebug>

RadioConnectionSettingsDialog::RadioConnectionSettingsDialog(const QString &radioName, const QString &unitName,
                                                             QWidget *parent)
    : QDialog(parent), ui(new Ui::RadioConnectionSettingsDialog), radioName(radioName), unitName(unitName)
{
    ui->setupUi(this);
    ui->radioLabel->setText(radioName);
    ui->centralUnitLabel->setText(unitName);
    const QStringList settings = loadRadioConnectionSettings(radioName, unitName);
    ui->defaultSettingsCheckbox->setChecked(settings[6] == "default");
    ui->variableFrame->setEnabled(settings[6] != "default");
    (settings[3] == "shared" ? ui->sharedRadioButton : ui->exclusiveRadioButton)->setChecked(true);
    ui->prioritySpinBox->setValue(settings[4].toInt());
    ui->crosstalkCheckbox->setChecked(settings[5].toInt() != 0);
}

RadioConnectionSettingsDialog::~RadioConnectionSettingsDialog() = default;

void RadioConnectionSettingsDialog::on_defaultSettingsCheckbox_stateChanged(int state)
{
    ui->variableFrame->setEnabled(state == 0);
}

int RadioConnectionSettingsDialog::save()
{
    qDebug() << "saving radio connection settings" << radioName << "@" << unitName;
    const QStringList values{ui->defaultSettingsCheckbox->isChecked() ? "1" : "0",
                             ui->sharedRadioButton->isChecked() ? "shared" : "exclusive",
                             QString::number(ui->prioritySpinBox->value()), ui->crosstalkCheckbox->isChecked() ? "1" : "0"};
    qDebug() << values;
    const int result = saveRadioConnectionSettings(radioName, unitName, values);
    if (result != 0)
        warnConfigNotSaved(parentWidget());
    return result;
}
