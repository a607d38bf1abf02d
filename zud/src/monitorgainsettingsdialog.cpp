#include "monitorgainsettingsdialog.h"

#include "radiosettings.h"
#include "ui_monitorgainsettingsdialog.h"

MonitorGainSettingsDialog::MonitorGainSettingsDialog(const QString &unitName, QWidget *parent)
    : QDialog(parent), ui(new Ui::MonitorGainSettingsDialog), unitName(unitName)
{
    ui->setupUi(this);
    ui->gainSpinBox->setValue(loadMonitorGain(unitName).toInt());
}

MonitorGainSettingsDialog::~MonitorGainSettingsDialog() = default;

int MonitorGainSettingsDialog::gain() const
{
    return ui->gainSpinBox->value();
}

void MonitorGainSettingsDialog::save()
{
    saveMonitorGain(unitName, QString::number(gain()));
}
