#pragma once

#include <QDialog>

#include <memory>

namespace Ui { class MonitorGainSettingsDialog; }

// The gain that the console sends with its monitor commands to one unit.
class MonitorGainSettingsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit MonitorGainSettingsDialog(const QString &unitName, QWidget *parent = nullptr);
    ~MonitorGainSettingsDialog() override;
    int gain() const;
    // Stores the gain and saves zud.conf, telling the operator when that fails; the save's result.
    int save();

private:
    std::unique_ptr<Ui::MonitorGainSettingsDialog> ui;
    QString unitName;
};
