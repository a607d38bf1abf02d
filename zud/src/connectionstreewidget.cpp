#include "connectionstreewidget.h"

#include "alarm.h"
#include "centralunit.h"
#include "centralunitediting.h"
#include "centralunitmanager.h"
#include "conference.h"
#include "confignode.h"
#include "monitorgainsettingsdialog.h"
#include "ondemanddialog.h"
#include "radio.h"
#include "radioconnectionsettingsdialog.h"
#include "resourcedata.h"
#include "route.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QSignalMapper>

#include <utility>

namespace {
// A picture with the wrench bullet painted over it, for the settings entries.
QIcon withWrench(const QString &picture)
{
    QPixmap image(picture);
    QPainter painter(&image);
    painter.drawPixmap(2, 2, QPixmap(":/icons/images/bullet_wrench.png"));
    return QIcon(image);
}

// Enabled only when it holds an entry.
void enableWhenFilled(QMenu *menu)
{
    menu->setEnabled(!menu->actions().isEmpty());
}

QString text(QObject *payload, int index)
{
    if (auto *data = qobject_cast<ResourceData *>(payload))
        return QStringList{data->first, data->second, data->third}.value(index);
    if (auto *data = qobject_cast<MonitorData *>(payload))
        return QStringList{data->unit, data->source, data->listener, data->mode, data->gain}.value(index);
    if (auto *data = qobject_cast<RetranslationData *>(payload))
        return QStringList{data->unit, data->radio, data->partner}.value(index);
    return {};
}
}

QString ownConferenceName()
{
    return "dC~" + gOperatorName;
}

ConnectionsTreeWidget::ConnectionsTreeWidget(QWidget *parent) : QTreeWidget(parent)
{
    // The rows' four columns (name, details, name in lower case, sort key) come first: columns
    // added later in front of or at the indicator's (as a form's setup does to a tree of one
    // column) would move the indicator off the key.
    setColumnCount(sortKeyColumn + 1);
    // With sorting on and this indicator the view itself keeps rows in key order as they come,
    // one sort per event-loop turn; the units' requests then cost nothing.
    header()->setSortIndicator(sortKeyColumn, Qt::AscendingOrder);
    // Every row is one line with a small icon: the view need not measure tens of thousands of
    // them to place one.
    setUniformRowHeights(true);
    sortTimer.setSingleShot(true);
    connect(&sortTimer, &QTimer::timeout, this, [this] {
        if (sortHeld) {
            sortOwed = true;
            return;
        }
        if (!isSortingEnabled() || header()->sortIndicatorSection() != sortKeyColumn
            || header()->sortIndicatorOrder() != Qt::AscendingOrder)
            sortItems(sortKeyColumn, Qt::AscendingOrder);
    });
}

void ConnectionsTreeWidget::sortByKey()
{
    if (!sortTimer.isActive())
        sortTimer.start(0);
}

void ConnectionsTreeWidget::holdSort(bool held)
{
    sortHeld = held;
    // Switched on again, the view sorts at once.
    setSortingEnabled(!held);
    if (!held && std::exchange(sortOwed, false))
        sortByKey();
}

CentralUnit *ConnectionsTreeWidget::unitForItem(const QTreeWidgetItem *row) const
{
    for (int level = 0; row && manager && level < 3; ++level, row = row->parent())
        if (CentralUnit *unit = manager->findUnit(row->text(0)))
            return unit;
    return nullptr;
}

CentralUnit *ConnectionsTreeWidget::unitOf(QObject *payload) const
{
    return manager ? manager->findUnit(text(payload, 0)) : nullptr;
}

QAction *ConnectionsTreeWidget::addEntry(QMenu *menu, const QString &entryText, QObject *payload, Slot slot,
                                         const QIcon &icon)
{
    auto *action = new QAction(icon, entryText, contextMenu);
    menu->addAction(action);
    auto *mapper = new QSignalMapper(contextMenu);
    connect(action, &QAction::triggered, mapper, qOverload<>(&QSignalMapper::map));
    mapper->setMapping(action, payload);
    connect(mapper, &QSignalMapper::mappedObject, this, slot);
    return action;
}

QAction *ConnectionsTreeWidget::addDisabledEntry(QMenu *menu, const QString &entryText)
{
    auto *action = new QAction(entryText, contextMenu);
    menu->addAction(action);
    action->setEnabled(false);
    return action;
}

QObject *ConnectionsTreeWidget::resourceData(CentralUnit *unit, const QString &second, const QString &third)
{
    return new ResourceData(unit->name(), second, third, contextMenu);
}

QMenu *ConnectionsTreeWidget::buildContextMenu(QTreeWidgetItem *row)
{
    contextMenu = new QMenu(this);
    CentralUnit *unit = row && (row->flags() & Qt::ItemIsEnabled) && !row->isDisabled() ? unitForItem(row) : nullptr;
    if (unit) {
        Resource *resource = unit->resourceForItem(row);
        if (!resource)
            resource = unit->routeForItem(row);
        if (resource) {
            addCallActions(unit, resource);
            addMonitorActions(unit, resource);
            addRemoteRadioActions(unit, resource);
            addFieldPhoneActions(unit, resource);
            addRetransmissionActions(unit, resource);
            addRadioActions(unit, resource);
            addRouteActions(unit, resource);
            addConferenceActions(unit, resource);
            contextMenu->addSeparator();
        }
    }
    addCentralUnitActions(unit);
    return contextMenu;
}

void ConnectionsTreeWidget::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = buildContextMenu(itemAt(event->pos()));
    menu->exec(event->globalPos());
    delete menu;
}

int ConnectionsTreeWidget::addCallActions(CentralUnit *unit, Resource *resource)
{
    if (!contextMenu)
        return -200;
    if (!unit || !resource)
        return -1;
    const QString type = resource->typeName();
    if (type == "route branch" || type == "route" || type == "alarms branch" || type == "alarm" || type == "gps")
        return 0;
    const QString name = resource->name();
    const int status = resource->status();
    if (type == "conference") {
        auto *conference = static_cast<Conference *>(resource);
        if (status == StatusIncomingCall) {
            addEntry(contextMenu, tr("Accept"), resourceData(unit, name), &ConnectionsTreeWidget::answerAction);
            addEntry(contextMenu, tr("Reject"), resourceData(unit, name), &ConnectionsTreeWidget::callRejectAction);
        } else if (!conference->hasParticipant(gOperatorName)) {
            addEntry(contextMenu, tr("Join"), resourceData(unit, name), &ConnectionsTreeWidget::connectToAction);
        } else if (conference->kind() == "dynamic" && conference->participantCount() == 1) {
            addEntry(contextMenu, tr("Leave and remove"), resourceData(unit, name), &ConnectionsTreeWidget::disconnectFromAction);
        } else {
            addEntry(contextMenu, tr("Leave"), resourceData(unit, name), &ConnectionsTreeWidget::disconnectFromAction);
        }
    } else if (status == StatusFree || status == StatusIgnored) {
        addEntry(contextMenu, tr("Connect"), resourceData(unit, name), &ConnectionsTreeWidget::connectToAction);
    } else if (status == StatusTrying) {
        addEntry(contextMenu, tr("Cancel"), resourceData(unit, name), &ConnectionsTreeWidget::cancelAction);
    } else if (status == StatusCalling) {
        addEntry(contextMenu, tr("Accept"), resourceData(unit, name), &ConnectionsTreeWidget::acceptAction);
        addEntry(contextMenu, tr("Reject"), resourceData(unit, name), &ConnectionsTreeWidget::rejectAction);
    } else if (status == StatusIncomingCall) {
        addEntry(contextMenu, tr("Answer"), resourceData(unit, name), &ConnectionsTreeWidget::answerAction);
        addEntry(contextMenu, tr("Ignore"), resourceData(unit, name), &ConnectionsTreeWidget::ignoreAction);
    } else if (status == StatusConnected) {
        addEntry(contextMenu, tr("Disconnect"), resourceData(unit, name), &ConnectionsTreeWidget::disconnectFromAction);
    }
    contextMenu->addSeparator();
    return 0;
}

int ConnectionsTreeWidget::addMonitorActions(CentralUnit *unit, Resource *resource)
{
    if (!contextMenu)
        return -200;
    if (!unit || !resource)
        return -1;
    const QString name = resource->name();
    if (resource->isMonitorable() && !resource->monitorModes().isEmpty()) {
        if (resource->isMonitoredBy(gOperatorName)) {
            // The operator's own record among the listeners holds the mode to remove; a removal
            // never goes out with an empty mode, which would end the message early.
            const MonitorSettings settings = resource->monitorDestinations().value(gOperatorName);
            const QString mode = settings.mode.isEmpty() ? QStringLiteral("doesnt matter") : settings.mode;
            addEntry(contextMenu, tr("Stop monitoring ") + name,
                     new MonitorData(unit->name(), name, gOperatorName, mode, settings.gain, contextMenu),
                     &ConnectionsTreeWidget::removeMonitorAction, QIcon(":/icons/images/monitor_delete.png"));
        } else {
            QMenu *modes = contextMenu->addMenu(QIcon(":/icons/images/monitor_add.png"), tr("Monitor ") + name);
            for (const QString &mode : resource->monitorModes())
                addEntry(modes, mode, new MonitorData(unit->name(), name, gOperatorName, mode, QString(), contextMenu),
                         &ConnectionsTreeWidget::setMonitorAction);
        }
    }
    if (resource->canMonitor() && (resource->typeName() != "overlord" || name == gOperatorName)) {
        QMenu *add = contextMenu->addMenu(QIcon(":/icons/images/monitor_add.png"), tr("Add monitor source"));
        QMenu *remove = contextMenu->addMenu(QIcon(":/icons/images/monitor_delete.png"), tr("Remove monitor source"));
        for (Resource *source : unit->resources()) {
            if (source->name() == name || !source->isMonitorable())
                continue;
            if (resource->hasMonitorSource(source->name())) {
                const MonitorSettings settings = resource->monitorSourceSettings(source->name());
                addEntry(remove, source->name(),
                         new MonitorData(unit->name(), source->name(), name, settings.mode, settings.gain, contextMenu),
                         &ConnectionsTreeWidget::removeMonitorAction, source->icon());
            } else {
                QMenu *modes = add->addMenu(source->icon(), source->name());
                for (const QString &mode : source->monitorModes())
                    addEntry(modes, mode, new MonitorData(unit->name(), source->name(), name, mode, QString(), contextMenu),
                             &ConnectionsTreeWidget::setMonitorAction);
            }
        }
        enableWhenFilled(add);
        enableWhenFilled(remove);
        addEntry(contextMenu, tr("Monitor gain settings"), resourceData(unit, name),
                 &ConnectionsTreeWidget::showMonitorGainSettingsAction, withWrench(":/icons/images/monitor.png"));
    }
    return 0;
}

int ConnectionsTreeWidget::addRemoteRadioActions(CentralUnit *unit, Resource *resource)
{
    if (!contextMenu)
        return -200;
    if (!unit || !resource)
        return -1;
    if (resource->typeName() != "user")
        return 0;
    QMenu *connectMenu = contextMenu->addMenu(QIcon(":/icons/images/remote_add.png"), tr("Connect radio"));
    QMenu *disconnectMenu = contextMenu->addMenu(QIcon(":/icons/images/remote_remove.png"), tr("Disconnect radio"));
    for (Resource *radio : unit->radios()) {
        const bool connected = resource->isConnectedTo(radio->name());
        addEntry(connected ? disconnectMenu : connectMenu, radio->name(), resourceData(unit, resource->name(), radio->name()),
                 connected ? &ConnectionsTreeWidget::remoteDisconnectAction : &ConnectionsTreeWidget::remoteConnectAction,
                 QIcon(":/icons/images/radio_free.png"));
    }
    enableWhenFilled(connectMenu);
    enableWhenFilled(disconnectMenu);
    return 0;
}

int ConnectionsTreeWidget::addFieldPhoneActions(CentralUnit *unit, Resource *resource)
{
    if (!contextMenu)
        return -200;
    if (!unit || !resource)
        return -1;
    if (resource->typeName() == "field phone")
        addEntry(contextMenu, tr("Call"), resourceData(unit, resource->name()), &ConnectionsTreeWidget::callAction);
    return 0;
}

int ConnectionsTreeWidget::addRetransmissionActions(CentralUnit *unit, Resource *resource)
{
    if (!contextMenu)
        return -200;
    if (!unit || !resource)
        return -1;
    auto *radio = qobject_cast<Radio *>(resource);
    if (!radio)
        return 0;
    QMenu *start = contextMenu->addMenu(QIcon(":/icons/images/retranslation.png"), tr("Start retransmission"));
    QMenu *end = contextMenu->addMenu(QIcon(":/icons/images/rebro_cancel.png"), tr("End retransmission"));
    for (Resource *other : unit->radios()) {
        if (other->name() == radio->name())
            continue;
        const bool running = radio->hasRetransmission(other->name());
        addEntry(running ? end : start, other->name(), new RetranslationData(unit->name(), radio->name(), other->name(), contextMenu),
                 running ? &ConnectionsTreeWidget::endRebroAction : &ConnectionsTreeWidget::startRebroAction,
                 QIcon(":/icons/images/radio_free.png"));
    }
    enableWhenFilled(start);
    enableWhenFilled(end);
    return 0;
}

int ConnectionsTreeWidget::addRadioActions(CentralUnit *unit, Resource *resource)
{
    if (!contextMenu)
        return -200;
    if (!unit || !resource)
        return -1;
    if (resource->typeName() != "radio")
        return 0;
    addEntry(contextMenu, tr("Remote control"), resourceData(unit, resource->name()), &ConnectionsTreeWidget::showRadioControlActions);
    addEntry(contextMenu, tr("Connection settings"), resourceData(unit, resource->name()),
             &ConnectionsTreeWidget::showRadioConnectionSettingsAction, withWrench(":/icons/images/radio_free.png"));
    return 0;
}

int ConnectionsTreeWidget::addRouteActions(CentralUnit *unit, Resource *resource)
{
    if (!contextMenu)
        return -200;
    if (!unit || !resource)
        return -1;
    if (resource->typeName() != "route branch" && resource->typeName() != "route")
        return 0;
    QMenu *add = contextMenu->addMenu(tr("Add route"));
    const auto endpoints = unit->endpoints();
    for (Resource *a : endpoints) {
        QMenu *from = add->addMenu(a->name());
        for (Resource *b : endpoints)
            if (b != a && !unit->findRoute(a->name(), b->name()))
                addEntry(from, b->name(), resourceData(unit, a->name(), b->name()), &ConnectionsTreeWidget::addRouteAction);
        if (from->actions().isEmpty())
            delete from;
    }
    if (auto *route = qobject_cast<Route *>(resource))
        addEntry(contextMenu, tr("Remove route"), resourceData(unit, route->endpointA(), route->endpointB()),
                 &ConnectionsTreeWidget::removeRouteAction);
    return 0;
}

int ConnectionsTreeWidget::addConferenceActions(CentralUnit *unit, Resource *resource)
{
    if (!contextMenu)
        return -200;
    if (!unit || !resource)
        return -1;
    const QString name = resource->name();
    if (auto *conference = qobject_cast<Conference *>(resource)) {
        const bool dynamic = conference->kind() == "dynamic";
        if (dynamic)
            addDisabledEntry(contextMenu, tr("Call conference"));
        else
            addEntry(contextMenu, tr("Call conference"), resourceData(unit, name), &ConnectionsTreeWidget::callAction);
        if (dynamic)
            addEntry(contextMenu, tr("Remove"), resourceData(unit), &ConnectionsTreeWidget::removeConferenceAction);
        else
            addDisabledEntry(contextMenu, tr("Remove"));
        QMenu *invite = contextMenu->addMenu(tr("Invite"));
        QMenu *kickOut = contextMenu->addMenu(tr("Kick out"));
        if (dynamic) {
            auto *onDemand = static_cast<DynamicConference *>(conference);
            for (Resource *user : unit->resources()) {
                if (user->typeName() != "user" || user->name() == name)
                    continue;
                const bool member = onDemand->hasParticipant(user->name()) || onDemand->isInvited(user->name());
                addEntry(member ? kickOut : invite, user->name(), resourceData(unit, name, user->name()),
                         member ? &ConnectionsTreeWidget::kickOutAction : &ConnectionsTreeWidget::inviteAction,
                         QIcon(":/icons/images/user_free.png"));
            }
            enableWhenFilled(invite);
            enableWhenFilled(kickOut);
        } else {
            invite->setEnabled(false);
            kickOut->setEnabled(false);
        }
    } else if (resource->typeName() == "user") {
        auto *own = qobject_cast<Conference *>(unit->findResource(ownConferenceName(), "conference"));
        if (own && own->kind() == "dynamic") {
            auto *onDemand = static_cast<DynamicConference *>(own);
            QObject *payload = resourceData(unit, own->name(), name);
            if (onDemand->hasParticipant(name))
                addEntry(contextMenu, tr("Kick out from") + ' ' + own->name(), payload, &ConnectionsTreeWidget::kickOutAction);
            else if (onDemand->isInvited(name))
                addEntry(contextMenu, tr("Cancel invitation to") + ' ' + own->name(), payload, &ConnectionsTreeWidget::kickOutAction);
            else
                addEntry(contextMenu, tr("Invite to") + ' ' + own->name(), payload, &ConnectionsTreeWidget::inviteAction);
        }
    }
    return 0;
}

int ConnectionsTreeWidget::addCentralUnitActions(CentralUnit *unit)
{
    if (!contextMenu)
        return -200;
    if (!unit) {
        connect(contextMenu->addAction(tr("Add Central Unit")), &QAction::triggered, this,
                &ConnectionsTreeWidget::addCentralUnitAction);
        contextMenu->addSeparator();
        return 0;
    }
    bool ownConference = false;
    for (Resource *conference : unit->conferences())
        ownConference = ownConference || static_cast<Conference *>(conference)->kind() == "dynamic";
    if (unit->isConnected() && !ownConference)
        addEntry(contextMenu, tr("Create conference"), resourceData(unit), &ConnectionsTreeWidget::createConferenceAction);
    else
        addDisabledEntry(contextMenu, tr("Create conference"));
    if (unit->isConnected())
        addEntry(contextMenu, tr("Disconnect") + ' ' + unit->name(), resourceData(unit), &ConnectionsTreeWidget::disconnectDeviceAction);
    else
        addEntry(contextMenu, tr("Connect"), resourceData(unit), &ConnectionsTreeWidget::connectDeviceAction);
    connect(contextMenu->addAction(tr("Add Central Unit")), &QAction::triggered, this,
            &ConnectionsTreeWidget::addCentralUnitAction);
    addEntry(contextMenu, tr("Remove") + ' ' + unit->name(), resourceData(unit), &ConnectionsTreeWidget::removeCentralUnitAction);
    contextMenu->addSeparator();
    QMenu *gains = contextMenu->addMenu(QIcon(":/icons/images/monitor_add.png"), tr("Audio gain for ") + unit->name());
    for (int gain = 15; gain >= -15; gain -= 3) {
        const QString entry = QString::number(gain) + " dB" + (gain == unit->outputGain() ? " <" : "");
        addEntry(gains, entry, new MonitorData(unit->name(), {}, {}, {}, QString::number(gain), contextMenu),
                 &ConnectionsTreeWidget::setAudioGain);
    }
    return 0;
}

void ConnectionsTreeWidget::showMonitorGainSettingsAction(QObject *payload)
{
    MonitorGainSettingsDialog dialog(text(payload, 0));
    if (dialog.exec() != QDialog::Accepted)
        return;
    dialog.save();
    if (CentralUnit *unit = unitOf(payload))
        unit->setMonitorGain(dialog.gain());
}

void ConnectionsTreeWidget::showRadioConnectionSettingsAction(QObject *payload)
{
    RadioConnectionSettingsDialog dialog(text(payload, 1), text(payload, 0));
    if (dialog.exec() != QDialog::Accepted)
        return;
    dialog.save();
    // A connected radio takes the new settings at once.
    if (CentralUnit *unit = unitOf(payload))
        if (Resource *radio = unit->findResource(text(payload, 1)); radio && radio->status() == StatusConnected)
            unit->reconnectTo(radio->name());
}

void ConnectionsTreeWidget::showRadioControlActions(QObject *payload)
{
    if (CentralUnit *unit = unitOf(payload))
        unit->startRemoteControl(text(payload, 1));
}

void ConnectionsTreeWidget::setMonitorAction(QObject *payload)
{
    if (CentralUnit *unit = unitOf(payload))
        unit->setMonitor(text(payload, 1), text(payload, 2), text(payload, 3).toLower());
}

void ConnectionsTreeWidget::removeMonitorAction(QObject *payload)
{
    if (CentralUnit *unit = unitOf(payload))
        unit->removeMonitor(text(payload, 1), text(payload, 2), text(payload, 3).toLower());
}

void ConnectionsTreeWidget::startRebroAction(QObject *payload)
{
    if (CentralUnit *unit = unitOf(payload))
        unit->startRebroadcast(text(payload, 1), text(payload, 2));
}

void ConnectionsTreeWidget::endRebroAction(QObject *payload)
{
    if (CentralUnit *unit = unitOf(payload))
        unit->endRebroadcast(text(payload, 1), text(payload, 2));
}

void ConnectionsTreeWidget::connectDeviceAction(QObject *payload)
{
    if (CentralUnit *unit = unitOf(payload))
        unit->openConnection();
}

void ConnectionsTreeWidget::disconnectDeviceAction(QObject *payload)
{
    if (CentralUnit *unit = unitOf(payload))
        unit->closeConnection(false);
}

void ConnectionsTreeWidget::remoteConnectAction(QObject *payload)
{
    if (CentralUnit *unit = unitOf(payload))
        unit->connectRemotely(text(payload, 1), text(payload, 2), {"shared", "-1", "0"});
}

void ConnectionsTreeWidget::remoteDisconnectAction(QObject *payload)
{
    if (CentralUnit *unit = unitOf(payload))
        unit->disconnectRemotely(text(payload, 1), text(payload, 2));
}

void ConnectionsTreeWidget::connectToAction(QObject *payload)
{
    if (CentralUnit *unit = unitOf(payload))
        unit->connectTo(text(payload, 1));
}

void ConnectionsTreeWidget::callAction(QObject *payload)
{
    if (CentralUnit *unit = unitOf(payload))
        unit->call(text(payload, 1));
}

void ConnectionsTreeWidget::disconnectFromAction(QObject *payload)
{
    if (CentralUnit *unit = unitOf(payload))
        unit->disconnectFrom(text(payload, 1));
}

void ConnectionsTreeWidget::cancelAction(QObject *payload)
{
    if (CentralUnit *unit = unitOf(payload))
        unit->cancelCall(text(payload, 1));
}

void ConnectionsTreeWidget::rejectAction(QObject *payload)
{
    if (CentralUnit *unit = unitOf(payload))
        unit->reject(text(payload, 1));
}

void ConnectionsTreeWidget::acceptAction(QObject *payload)
{
    if (CentralUnit *unit = unitOf(payload))
        unit->accept(text(payload, 1));
}

void ConnectionsTreeWidget::answerAction(QObject *payload)
{
    if (CentralUnit *unit = unitOf(payload))
        unit->answerCall(text(payload, 1));
}

void ConnectionsTreeWidget::callRejectAction(QObject *payload)
{
    if (CentralUnit *unit = unitOf(payload))
        unit->callReject(text(payload, 1));
}

void ConnectionsTreeWidget::ignoreAction(QObject *payload)
{
    if (CentralUnit *unit = unitOf(payload))
        unit->ignoreCall(text(payload, 1));
}

void ConnectionsTreeWidget::createConferenceAction(QObject *payload)
{
    CentralUnit *unit = unitOf(payload);
    if (!unit)
        return;
    QStringList users;
    for (Resource *resource : unit->resources())
        if (resource->typeName() == "user" && resource->name() != gOperatorName)
            users << resource->name();
    OnDemandDialog dialog(users);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The unit may have gone while the operator chose.
    if ((unit = unitOf(payload)))
        unit->startConferenceOnDemand(ownConferenceName(), dialog.chosenUsers());
}

void ConnectionsTreeWidget::removeConferenceAction(QObject *payload)
{
    if (CentralUnit *unit = unitOf(payload))
        unit->stopConferenceOnDemand(ownConferenceName());
}

void ConnectionsTreeWidget::inviteAction(QObject *payload)
{
    if (CentralUnit *unit = unitOf(payload))
        unit->invite(text(payload, 1), text(payload, 2));
}

void ConnectionsTreeWidget::kickOutAction(QObject *payload)
{
    if (CentralUnit *unit = unitOf(payload))
        unit->kickOut(text(payload, 1), text(payload, 2));
}

void ConnectionsTreeWidget::addRouteAction(QObject *payload)
{
    if (CentralUnit *unit = unitOf(payload))
        unit->setRoute(text(payload, 1), text(payload, 2));
}

void ConnectionsTreeWidget::removeRouteAction(QObject *payload)
{
    if (CentralUnit *unit = unitOf(payload))
        unit->removeRoute(text(payload, 1), text(payload, 2));
}

void ConnectionsTreeWidget::addCentralUnitAction()
{
    addUnitInteractively(manager, nullptr);
}

void ConnectionsTreeWidget::removeCentralUnitAction(QObject *payload)
{
    removeUnitAfterConfirmation(manager, text(payload, 0), this);
}

void ConnectionsTreeWidget::setAudioGain(QObject *payload)
{
    if (CentralUnit *unit = unitOf(payload))
        unit->setAudioGain(text(payload, 4).toInt());
}
