#pragma once

#include <QDialog>

#include <memory>

namespace Ui { class RadioConnectionSettingsDialog; }

// A radio's connection settings at one unit: the defaults, or its own type, priority and crosstalk.
class RadioConnectionSettingsDialog : public QDialog
{
    Q_OBJECT
public:
    RadioConnectionSettingsDialog(const QString &radioName, const QString &unitName, QWidget *parent = nullptr);
    ~RadioConnectionSettingsDialog() override;
    // Stores the settings and saves zud.conf, telling the operator when that fails; the save's result.
    int save();

private slots:
    void on_defaultSettingsCheckbox_stateChanged(int state);

private:
    std::unique_ptr<Ui::RadioConnectionSettingsDialog> ui;
    QString radioName;
    QString unitName;
};
