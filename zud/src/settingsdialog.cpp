#include "settingsdialog.h"

#include "audio.h"
#include "confignode.h"
#include "savewarning.h"
#include "ui_settingsdialog.h"

#include <QDebug>
#include <QMessageBox>

namespace {
// Makes the first item whose text is `name` the list's current one; none matching: no current item.
void preselect(QListWidget *list, const QString &name)
{
    const QList<QListWidgetItem *> matches = list->findItems(name, Qt::MatchExactly);
    if (!matches.isEmpty())
        list->setCurrentItem(matches.first());
}

QString currentOr(const QListWidget *list, const QString &fallback)
{
    return list->currentItem() ? list->currentItem()->text() : fallback;
}

// Sets the child's value, adding the child when it is missing.
void setChild(ConfigNode *node, const QString &key, const QString &value)
{
    if (ConfigNode *child = node->get({key}))
        child->value = value;
    else
        node->addChild(key, value);
}
}

SettingsDialog::SettingsDialog(QWidget *parent) : QDialog(parent), ui(new Ui::SettingsDialog)
{
    ui->setupUi(this);
    Audio *audio = Audio::instance();
    const QString playbackName = audio ? audio->playbackDeviceName() : QString();
    const QString captureName = audio ? audio->captureDeviceName() : QString();
    qDebug() << "audio devices:" << playbackName << captureName;
    ui->playbackDevicesListWidget->addItems(Audio::playbackDevices());
    ui->captureDevicesListWidget->addItems(Audio::captureDevices());
    preselect(ui->playbackDevicesListWidget, playbackName);
    preselect(ui->captureDevicesListWidget, captureName);

    const ConfigNode *levelNode = gConfig.get({"system", "audio", "vox level"});
    const ConfigNode *timeoutNode = gConfig.get({"system", "audio", "vox timeout"});
    const double voxLevel = levelNode ? levelNode->value.toDouble() : -80.0;
    const int voxTimeout = timeoutNode ? timeoutNode->value.toInt(nullptr, 10) : 100;
    ui->level->setVoxLevel(voxLevel);
    ui->voxLevel->setValue(voxLevel);
    ui->voxTimeout->setValue(voxTimeout);
    ui->usernameEdit->setText(gOperatorName);

    // Connected only now: loading the values writes nothing.
    connect(ui->voxLevel, &QDoubleSpinBox::valueChanged, this, &SettingsDialog::onVoxLevelChanged);
    connect(ui->voxTimeout, &QSpinBox::valueChanged, this, &SettingsDialog::onVoxTimeoutChanged);
    connect(this, &QDialog::accepted, this, &SettingsDialog::onAccepted);
}

SettingsDialog::~SettingsDialog() = default;

void SettingsDialog::showEvent(QShowEvent *event)
{
    qDebug() << "show settings dialog";
    QDialog::showEvent(event);
    if (Audio *audio = Audio::instance()) {
        levelConnection = connect(audio, &Audio::rmsPowerChange, this, &SettingsDialog::onRmsPowerChange);
        voxConnection = connect(audio, &Audio::voxChange, this, &SettingsDialog::onVoxStateChange);
    }
}

void SettingsDialog::hideEvent(QHideEvent *event)
{
    qDebug() << "hide settings dialog";
    QDialog::hideEvent(event);
    disconnect(levelConnection);
    disconnect(voxConnection);
}

void SettingsDialog::onRmsPowerChange(double rms, double peak)
{
    ui->level->levelChanged(rms, peak);
}

void SettingsDialog::onVoxStateChange(bool active)
{
    ui->status->setText(active ? tr("active") : tr("inactive"));
}

void SettingsDialog::storeVoxValue(const QString &key, const QString &text)
{
    gConfig.remove({"system", "audio", key});
    gConfig.set({"system", "audio"})->addChild(key, text);
    if (saveConfig() != 0 && !voxSaveFailureTold) {
        voxSaveFailureTold = true;
        warnConfigNotSaved(this);
    }
}

void SettingsDialog::onVoxLevelChanged(double value)
{
    qDebug().noquote() << QString::asprintf("new autovox level is %f", value);
    ui->level->setVoxLevel(value);
    storeVoxValue("vox level", QString::number(value, 'g', 3));
}

void SettingsDialog::onVoxTimeoutChanged(int value)
{
    qDebug().noquote() << QString::asprintf("new autovox timeout is %d", value);
    storeVoxValue("vox timeout", QString::number(value, 10));
}

void SettingsDialog::onAccepted()
{
    QMessageBox::warning(this, tr("Warning"), tr("Please restart application to apply changes"), QMessageBox::Ok,
                         QMessageBox::NoButton);

    gOperatorName = ui->usernameEdit->text();
    if (ConfigNode *system = gConfig.get({"system"}))
        setChild(system, "username", gOperatorName);
    const bool nameSaved = saveConfig() == 0;

    Audio *audio = Audio::instance();
    if (ConfigNode *audioNode = gConfig.get({"system", "audio"})) {
        setChild(audioNode, "input", currentOr(ui->captureDevicesListWidget, audio ? audio->captureDeviceName() : QString()));
        setChild(audioNode, "output", currentOr(ui->playbackDevicesListWidget, audio ? audio->playbackDeviceName() : QString()));
    }
    const bool devicesSaved = saveConfig() == 0;
    if (!nameSaved || !devicesSaved)
        warnConfigNotSaved(this);
}
