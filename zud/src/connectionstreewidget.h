#pragma once

#include <QPointer>
#include <QTimer>
#include <QTreeWidget>

class CentralUnit;
class CentralUnitManager;
class QMenu;
class Resource;

// The tree of every central unit's resources in the main window, with the operator's right-click
// menu: the entries that fit the row's kind and state, and the unit-level ones.
class ConnectionsTreeWidget : public QTreeWidget
{
    Q_OBJECT
public:
    // The hidden column of the rows' sort keys.
    static constexpr int sortKeyColumn = 3;

    explicit ConnectionsTreeWidget(QWidget *parent = nullptr);

    void setUnitManager(CentralUnitManager *unitManager) { manager = unitManager; }
    // Rows stand in the order of their sort keys (hidden column 3, ascending). The units ask for
    // it after every report; the sort runs once when the event loop next turns, however many
    // reports came meanwhile, and only when the tree is sorted by another column (the operator
    // clicked a header) or not at all.
    void sortByKey();
    // While held the view does not sort: rows added meanwhile wait, and so does a sortByKey.
    // Letting go sorts once by the header's indicator, as the view does with sorting on.
    void holdSort(bool held);
    // The unit of a row: the row's own text, its parent's or its grandparent's names one.
    CentralUnit *unitForItem(const QTreeWidgetItem *row) const;
    // The menu of a row (none: only the entries without a unit), made with the tree as parent;
    // the caller runs it and deletes it, which deletes everything the entries carry.
    QMenu *buildContextMenu(QTreeWidgetItem *row);

    int addCallActions(CentralUnit *unit, Resource *resource);
    int addMonitorActions(CentralUnit *unit, Resource *resource);
    int addRemoteRadioActions(CentralUnit *unit, Resource *resource);
    int addFieldPhoneActions(CentralUnit *unit, Resource *resource);
    int addRetransmissionActions(CentralUnit *unit, Resource *resource);
    int addRadioActions(CentralUnit *unit, Resource *resource);
    int addRouteActions(CentralUnit *unit, Resource *resource);
    int addConferenceActions(CentralUnit *unit, Resource *resource);
    int addCentralUnitActions(CentralUnit *unit);

public slots:
    void showMonitorGainSettingsAction(QObject *payload);
    void showRadioConnectionSettingsAction(QObject *payload);
    void showRadioControlActions(QObject *payload);
    void setMonitorAction(QObject *payload);
    void removeMonitorAction(QObject *payload);
    void startRebroAction(QObject *payload);
    void endRebroAction(QObject *payload);
    void connectDeviceAction(QObject *payload);
    void disconnectDeviceAction(QObject *payload);
    void remoteConnectAction(QObject *payload);
    void remoteDisconnectAction(QObject *payload);
    void connectToAction(QObject *payload);
    void callAction(QObject *payload);
    void disconnectFromAction(QObject *payload);
    void cancelAction(QObject *payload);
    void rejectAction(QObject *payload);
    void acceptAction(QObject *payload);
    void answerAction(QObject *payload);
    void callRejectAction(QObject *payload);
    void ignoreAction(QObject *payload);
    void createConferenceAction(QObject *payload);
    void removeConferenceAction(QObject *payload);
    void inviteAction(QObject *payload);
    void kickOutAction(QObject *payload);
    void addRouteAction(QObject *payload);
    void removeRouteAction(QObject *payload);
    void addCentralUnitAction();
    void removeCentralUnitAction(QObject *payload);
    void setAudioGain(QObject *payload);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    using Slot = void (ConnectionsTreeWidget::*)(QObject *);
    // One entry: its action under `menu`, its payload, and one mapper from the one to the other.
    QAction *addEntry(QMenu *menu, const QString &text, QObject *payload, Slot slot, const QIcon &icon = QIcon());
    QAction *addDisabledEntry(QMenu *menu, const QString &text);
    QObject *resourceData(CentralUnit *unit, const QString &second = QString(), const QString &third = QString());
    CentralUnit *unitOf(QObject *payload) const;

    QPointer<QMenu> contextMenu;
    CentralUnitManager *manager = nullptr;
    QTimer sortTimer;
    bool sortHeld = false;
    bool sortOwed = false;
};

// The console's own conference on demand: "dC~" and the operator's name.
QString ownConferenceName();
