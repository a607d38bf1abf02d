#pragma once

#include "resourcedata.h"

#include <QMainWindow>
#include <QStringList>
#include <QTimer>

#include <memory>

namespace Ui { class ZudMainWindow; }
class CentralUnit;
class ColumnFit;
class ConnectionsTreeWidget;
class QTreeWidgetItem;

// The console's one main window: the tree of the central units and their resources, the row of
// buttons that acts on the selected row, and the details pane.
class ZudMainWindow : public QMainWindow
{
    Q_OBJECT
public:
    static inline const QString title = QStringLiteral("Morvex ZT-5200K ZUD3");

    explicit ZudMainWindow(QWidget *parent = nullptr);
    ~ZudMainWindow() override;

    ConnectionsTreeWidget *connectionsTree() const;
    void restoreSettings();
    // Shows the selected row's buttons: 0, -400 nothing selected, -412 the row is no unit's.
    int updateGui();
    // What a changed resource asks for: updateGui once when the event loop next turns, however
    // many resources changed meanwhile (a unit may report tens of thousands at once, and the
    // unit's details walk all of them).
    void updateGuiLater();
    // See RefreshHold.
    void holdRefresh();
    void releaseRefresh();
    void updateButtons(const QStringList &states);

public slots:
    void onCUBlocked(const QString &unitName);
    void onVoxChange(bool active);
    // Another start of the console asked this one to come to the front.
    void receivedMessage();

private slots:
    void on_actionAbout_triggered();
    void on_settingsAction_triggered();
    void on_centralUnitsDialogAction_triggered();
    void on_connectionsTreeWidget_itemDoubleClicked(QTreeWidgetItem *row);
    void on_connectionsTreeWidget_itemSelectionChanged();
    void on_acceptPushButton_released();
    void on_rejectPushButton_released();
    void on_monitorPushButton_toggled(bool checked);
    void on_increaseRadioGainPushButton_released();
    void on_decreaseRadioGainPushButton_released();
    void on_mutePushButton_toggled(bool checked);
    void on_radioSilencePushButton_toggled(bool checked);
    void on_pttPushButton_pressed();
    void on_pttPushButton_released();
    void on_broadcastPushButton_pressed();
    void on_broadcastPushButton_released();
    void on_broadcastToPushButton_pressed();
    void on_broadcastToPushButton_released();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The unit of the first selected row, or null.
    CentralUnit *selectedUnit() const;
    // The unit the current selection names, or null.
    CentralUnit *currentUnit() const;
    void pttOn();
    void pttOff();
    void fitDetailsDock();

    std::unique_ptr<Ui::ZudMainWindow> ui;
    QTimer updateTimer;
    int refreshHolds = 0;
    bool refreshOwed = false;
    bool updating = false;
    // Without stored widths the names and the details follow their contents (first start).
    ColumnFit *nameColumnFit = nullptr;
    bool dockFollowsText = true;
    int dockTextWidth = 0;
    ResourceData current;
    // The unit that took "ptt on" or "broadcast start": the matching end goes to it, wherever
    // the selection moved meanwhile.
    QString talkingUnit;
    QString broadcastingUnit;
    // X repeats a held key as a release and a press at the same moment, and Qt does not always
    // mark the pair as a repeat: a Space release ends the talk only when no press follows it
    // within this time.
    static constexpr int spaceRepeatGapMs = 50;
    QTimer spaceReleased;
};

extern ZudMainWindow *gZudWindow;

// While one lives the tree does not sort and the details pane does not refresh: a unit that adds
// a long list over many turns of the event loop holds them, so that the rows are sorted and the
// details made once when the list is in, not once a turn over a growing list. Holds nest (units
// may list at once); the last one to go lets the sort and an owed refresh happen.
class RefreshHold
{
public:
    RefreshHold() { gZudWindow->holdRefresh(); }
    ~RefreshHold() { gZudWindow->releaseRefresh(); }
    Q_DISABLE_COPY_MOVE(RefreshHold)
};
