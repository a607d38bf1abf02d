#include "zudmainwindow.h"

#include "aboutdialog.h"
#include "audio.h"
#include "centralunit.h"
#include "centralunitmanager.h"
#include "centralunitsdialog.h"
#include "columnfit.h"
#include "confignode.h"
#include "connectionstreewidget.h"
#include "resource.h"
#include "settingsdialog.h"
#include "ui_zudmainwindow.h"

#include <QCloseEvent>
#include <QDebug>
#include <QKeyEvent>
#include <QMessageBox>
#include <QSettings>
#include <QStyle>

#include <algorithm>
#include <utility>

ZudMainWindow *gZudWindow = nullptr;

namespace {
const QString geometryKey = QStringLiteral("mainWindow/gemetry");
const QString stateKey = QStringLiteral("mainWindow/windowState");
const QString column0Key = QStringLiteral("mainWindow/connectionsTreeWidget/col1Width");
const QString column1Key = QStringLiteral("mainWindow/connectionsTreeWidget/col2Width");

// The entry after `word` in a button-state list: empty when the word is missing or last.
QString stateValue(const QStringList &states, const QString &word)
{
    const qsizetype at = states.indexOf(word);
    return at >= 0 && at + 1 < states.size() ? states.at(at + 1) : QString();
}

bool isSpace(const QEvent *event)
{
    const auto *key = static_cast<const QKeyEvent *>(event);
    return key->key() == Qt::Key_Space && !key->isAutoRepeat();
}
}

ZudMainWindow::ZudMainWindow(QWidget *parent)
    : QMainWindow(parent), ui(new Ui::ZudMainWindow), current(QString(), QString(), QString(), this)
{
    ui->setupUi(this);
    setWindowTitle(title);
    for (QObject *watched : std::initializer_list<QObject *>{ui->connectionsTreeWidget, ui->pttPushButton,
                                                            ui->mutePushButton, ui->radioSilencePushButton,
                                                            ui->broadcastToPushButton, ui->broadcastPushButton})
        watched->installEventFilter(this);
    for (QWidget *resourceButton : std::initializer_list<QWidget *>{ui->acceptPushButton, ui->rejectPushButton,
                                                                    ui->monitorPushButton, ui->increaseRadioGainPushButton,
                                                                    ui->decreaseRadioGainPushButton, ui->radioGainLabel})
        resourceButton->hide();
    if (Audio *audio = Audio::instance())
        connect(audio, &Audio::voxChange, this, &ZudMainWindow::onVoxChange);
    updateTimer.setSingleShot(true);
    connect(&updateTimer, &QTimer::timeout, this, &ZudMainWindow::updateGui);
    ui->connectionsTreeWidget->setSortingEnabled(true);
    ui->connectionsTreeWidget->hideColumn(2);
    ui->connectionsTreeWidget->hideColumn(3);
    nameColumnFit = new ColumnFit(ui->connectionsTreeWidget, 0);
    spaceReleased.setSingleShot(true);
    spaceReleased.setInterval(spaceRepeatGapMs);
    connect(&spaceReleased, &QTimer::timeout, this, [this] {
        ui->pttPushButton->setDown(false);
        pttOff();
    });
}

ZudMainWindow::~ZudMainWindow() = default;

ConnectionsTreeWidget *ZudMainWindow::connectionsTree() const
{
    return ui->connectionsTreeWidget;
}

void ZudMainWindow::restoreSettings()
{
    QSettings settings;
    restoreGeometry(settings.value(geometryKey).toByteArray());
    if (restoreState(settings.value(stateKey).toByteArray(), 0))
        dockFollowsText = false;
    if (const int width = settings.value(column0Key).toInt()) {
        nameColumnFit->stop();
        ui->connectionsTreeWidget->setColumnWidth(0, width);
    }
    if (const int width = settings.value(column1Key).toInt())
        ui->connectionsTreeWidget->setColumnWidth(1, width);
    ui->connectionsTreeWidget->hideColumn(2);
    ui->connectionsTreeWidget->hideColumn(3);
}

void ZudMainWindow::closeEvent(QCloseEvent *event)
{
    QSettings settings;
    settings.setValue(geometryKey, saveGeometry());
    settings.setValue(stateKey, saveState(0));
    // A width fitted to the contents is not the operator's: the next start fits again.
    if (!nameColumnFit->isFitting()) {
        settings.setValue(column0Key, ui->connectionsTreeWidget->columnWidth(0));
        settings.setValue(column1Key, ui->connectionsTreeWidget->columnWidth(1));
    }
    QMainWindow::closeEvent(event);
}

void ZudMainWindow::onCUBlocked(const QString &unitName)
{
    QMessageBox::warning(this, tr("Warning"), tr("Central Unit ") + unitName + tr(" is blocked"), QMessageBox::Ok);
}

void ZudMainWindow::receivedMessage()
{
    qDebug() << "raise request received";
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    raise();
    activateWindow();
}

void ZudMainWindow::on_actionAbout_triggered()
{
    AboutDialog dialog(this);
    dialog.exec();
}

void ZudMainWindow::on_settingsAction_triggered()
{
    SettingsDialog dialog;
    dialog.exec();
}

void ZudMainWindow::on_centralUnitsDialogAction_triggered()
{
    CentralUnitsDialog dialog(gCentralUnitManager);
    dialog.exec();
}

void ZudMainWindow::on_connectionsTreeWidget_itemDoubleClicked(QTreeWidgetItem *row)
{
    qDebug().noquote() << "item double clicked" << (row ? '"' + row->text(0) + '"' : QStringLiteral("(null)"));
    if (!row)
        return;
    if (row->text(0) == gOperatorName) {
        QMessageBox::warning(this, tr("Error"), tr("Cannot connect to yourself!"), QMessageBox::Close, QMessageBox::Close);
        return;
    }
    if (row->isDisabled() || !row->parent())
        return;
    if (CentralUnit *unit = ui->connectionsTreeWidget->unitForItem(row))
        unit->defaultAction(row);
    else
        qDebug().noquote() << "ERROR: cannot find central unit" << ('"' + row->parent()->text(0) + '"');
}

void ZudMainWindow::on_connectionsTreeWidget_itemSelectionChanged()
{
    updateGui();
}

CentralUnit *ZudMainWindow::selectedUnit() const
{
    const QList<QTreeWidgetItem *> selected = ui->connectionsTreeWidget->selectedItems();
    return selected.isEmpty() ? nullptr : ui->connectionsTreeWidget->unitForItem(selected.first());
}

CentralUnit *ZudMainWindow::currentUnit() const
{
    return gCentralUnitManager ? gCentralUnitManager->findUnit(current.first) : nullptr;
}

void ZudMainWindow::updateGuiLater()
{
    if (refreshHolds > 0)
        refreshOwed = true;
    else if (!updateTimer.isActive())
        updateTimer.start(0);
}

void ZudMainWindow::holdRefresh()
{
    if (refreshHolds++ == 0)
        ui->connectionsTreeWidget->holdSort(true);
}

void ZudMainWindow::releaseRefresh()
{
    if (--refreshHolds > 0)
        return;
    ui->connectionsTreeWidget->holdSort(false);
    if (std::exchange(refreshOwed, false))
        updateGuiLater();
}

int ZudMainWindow::updateGui()
{
    const QList<QTreeWidgetItem *> selected = ui->connectionsTreeWidget->selectedItems();
    ui->radioSilencePushButton->setEnabled(false);
    current.first.clear();
    current.second.clear();
    if (selected.isEmpty()) {
        ui->broadcastToPushButton->setEnabled(false);
        return -400;
    }
    QTreeWidgetItem *row = selected.first();
    CentralUnit *unit = ui->connectionsTreeWidget->unitForItem(row);
    if (!unit)
        return -412;
    current.first = unit->name();
    QStringList states;
    if (Resource *resource = unit->resourceForItem(row)) {
        current.second = resource->name();
        ui->infoLabel->setText(resource->description());
        states = resource->buttonStates();
    } else {
        ui->infoLabel->setText(row->text(0) == unit->name() ? unit->infoText() : QString());
    }
    fitDetailsDock();
    updateButtons(states);
    ui->radioSilencePushButton->setEnabled(true);
    updating = true;
    ui->radioSilencePushButton->setChecked(unit->isRadioSilenceOn());
    ui->broadcastToPushButton->setEnabled(!unit->isBroadcastInProgress());
    updating = false;
    return 0;
}

// The form's dock is a few pixels wide and would hide the details behind a scroll bar: without a
// stored layout it widens for a text wider than any before, up to half the window, so that a width
// the operator chose stands until a wider text comes.
void ZudMainWindow::fitDetailsDock()
{
    if (!dockFollowsText)
        return;
    const QMargins margins = ui->verticalLayout_3->contentsMargins();
    const int around = ui->detailsDock->width() - ui->scrollArea->viewport()->width() + margins.left() + margins.right()
        + style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int wanted = std::min(ui->infoLabel->sizeHint().width() + around, width() / 2);
    if (wanted <= std::max(dockTextWidth, ui->detailsDock->width()))
        return;
    dockTextWidth = wanted;
    resizeDocks({ui->detailsDock}, {wanted}, Qt::Horizontal);
}

void ZudMainWindow::updateButtons(const QStringList &states)
{
    ui->acceptPushButton->setVisible(states.contains("accept"));
    ui->rejectPushButton->setVisible(states.contains("reject"));
    ui->monitorPushButton->setVisible(states.contains("monitor"));
    ui->increaseRadioGainPushButton->setVisible(states.contains("radio gain +"));
    ui->decreaseRadioGainPushButton->setVisible(states.contains("radio gain -"));
    ui->radioGainLabel->setVisible(states.contains("radio gain"));
    if (states.contains("radio gain"))
        ui->radioGainLabel->setText("ig: " + stateValue(states, "radio gain") + " dB");
    if (states.contains("monitor")) {
        updating = true;
        ui->monitorPushButton->setChecked(stateValue(states, "monitor").toInt() != 0);
        updating = false;
    }
}

void ZudMainWindow::on_acceptPushButton_released()
{
    if (CentralUnit *unit = currentUnit())
        unit->accept(current.second);
}

void ZudMainWindow::on_rejectPushButton_released()
{
    if (CentralUnit *unit = currentUnit())
        unit->reject(current.second);
}

void ZudMainWindow::on_monitorPushButton_toggled(bool checked)
{
    qDebug() << "monitor toggled";
    if (updating) {
        qDebug() << "omitting";
        return;
    }
    CentralUnit *unit = currentUnit();
    if (!unit)
        return;
    if (checked)
        unit->setMonitor(current.second, gOperatorName, "always");
    else
        unit->removeMonitor(current.second, gOperatorName, "doesnt matter");
}

void ZudMainWindow::on_increaseRadioGainPushButton_released()
{
    if (CentralUnit *unit = currentUnit())
        unit->increaseRadioInputGain(current.second);
}

void ZudMainWindow::on_decreaseRadioGainPushButton_released()
{
    if (CentralUnit *unit = currentUnit())
        unit->decreaseRadioInputGain(current.second);
}

void ZudMainWindow::on_mutePushButton_toggled(bool checked)
{
    qDebug() << "mute intercom" << checked;
    if (Audio *audio = Audio::instance())
        checked ? audio->mute() : audio->unmute();
}

void ZudMainWindow::on_radioSilencePushButton_toggled(bool checked)
{
    qDebug() << "radio silence button press";
    if (updating) {
        qDebug() << "omitting";
        return;
    }
    if (CentralUnit *unit = selectedUnit())
        unit->setRadioSilence(checked);
}

void ZudMainWindow::pttOn()
{
    if (!talkingUnit.isEmpty())
        return;
    CentralUnit *unit = selectedUnit();
    if (unit && unit->setPtt(true) == 0)
        talkingUnit = unit->name();
}

void ZudMainWindow::pttOff()
{
    CentralUnit *unit = gCentralUnitManager ? gCentralUnitManager->findUnit(talkingUnit) : nullptr;
    talkingUnit.clear();
    if (unit)
        unit->setPtt(false);
}

void ZudMainWindow::on_pttPushButton_pressed()
{
    pttOn();
}

void ZudMainWindow::on_pttPushButton_released()
{
    pttOff();
}

void ZudMainWindow::onVoxChange(bool active)
{
    ui->pttPushButton->setDown(active);
    if (active)
        pttOn();
    else
        pttOff();
}

bool ZudMainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && isSpace(event)) {
        // A press right after a release is the held key's repeat: the talk goes on.
        if (spaceReleased.isActive()) {
            spaceReleased.stop();
            return true;
        }
        ui->pttPushButton->setDown(true);
        pttOn();
        return true;
    }
    if (event->type() == QEvent::KeyRelease && isSpace(event)) {
        spaceReleased.start();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void ZudMainWindow::on_broadcastPushButton_pressed()
{
    if (gCentralUnitManager)
        gCentralUnitManager->startBroadcast();
}

void ZudMainWindow::on_broadcastPushButton_released()
{
    if (gCentralUnitManager)
        gCentralUnitManager->endBroadcast();
}

void ZudMainWindow::on_broadcastToPushButton_pressed()
{
    qDebug() << "broadcast to single unit button press";
    if (updating) {
        qDebug() << "omitting";
        return;
    }
    if (!broadcastingUnit.isEmpty())
        return;
    if (CentralUnit *unit = selectedUnit()) {
        ui->broadcastToPushButton->setDown(true);
        if (unit->startBroadcast() == 0)
            broadcastingUnit = unit->name();
    }
}

void ZudMainWindow::on_broadcastToPushButton_released()
{
    qDebug() << "broadcast to single unit button release";
    if (updating) {
        qDebug() << "omitting";
        return;
    }
    CentralUnit *unit = gCentralUnitManager ? gCentralUnitManager->findUnit(broadcastingUnit) : nullptr;
    broadcastingUnit.clear();
    if (unit) {
        ui->broadcastToPushButton->setDown(false);
        unit->endBroadcast();
    }
}
