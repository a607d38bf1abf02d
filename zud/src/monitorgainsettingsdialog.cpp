#include "monitorgainsettingsdialog.h"

#include "radiosettings.h"
#include "savewarning.h"
#include "ui_monitorgainsettingsdialog.h"

#include <QDebug>

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

int MonitorGainSettingsDialog::save()
{
    qDebug().noquote() << "saving monitor gain settings @" << ('"' + unitName + '"');
    const QString value = QString::number(gain());
    qDebug().noquote() << ('"' + value + '"');
    const int result = saveMonitorGain(unitName, value);
    if (result != 0)
        warnConfigNotSaved(parentWidget());
    return result;
}
