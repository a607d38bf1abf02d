#pragma once

#include <QDialog>
#include <QMetaObject>

#include <memory>

namespace Ui { class SettingsDialog; }

// The operator's settings: name, audio devices, and the VOX threshold and time-out beside a live
// level meter. The VOX values are stored at every change; the rest on OK.
class SettingsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit SettingsDialog(QWidget *parent = nullptr);
    ~SettingsDialog() override;

public slots:
    void onRmsPowerChange(double rms, double peak);
    void onVoxLevelChanged(double value);
    void onVoxTimeoutChanged(int value);
    void onAccepted();
    void onVoxStateChange(bool active);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    // Replaces the key under system/audio and saves; the first failure of an opening is told.
    void storeVoxValue(const QString &key, const QString &text);

    std::unique_ptr<Ui::SettingsDialog> ui;
    QMetaObject::Connection levelConnection;
    QMetaObject::Connection voxConnection;
    bool voxSaveFailureTold = false;
};
