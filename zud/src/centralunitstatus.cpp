// The unit's picture: its resources, endpoints, routes, alarms and handset windows, and the
// status reports that change them.
#include "centralunit.h"

#include "alarm.h"
#include "conference.h"
#include "confignode.h"
#include "connectionstreewidget.h"
#include "gps.h"
#include "radio.h"
#include "radiocontrolwidget.h"
#include "route.h"
#include "users.h"
#include "zudmainwindow.h"

#include <QDebug>
#include <QTreeWidgetItem>

#include <algorithm>
#include <utility>

namespace {
// A decimal number from the unit; what is no number (or does not fit) counts as 0.
int decimal(const QString &text)
{
    return text.toInt();
}
}

QList<Resource *> CentralUnit::resourcesOfType(const QString &type) const
{
    QList<Resource *> found;
    for (Resource *resource : unitResources)
        if (resource->typeName() == type)
            found.append(resource);
    return found;
}

Resource *CentralUnit::findResource(const QString &resourceName, const QString &type) const
{
    Resource *resource = resourcesByName.value(resourceName);
    return resource && (type.isEmpty() || resource->typeName() == type) ? resource : nullptr;
}

Resource *CentralUnit::resourceForItem(const QTreeWidgetItem *row) const
{
    for (Resource *resource : unitResources)
        if (resource->treeItem() == row)
            return resource;
    for (Alarm *alarm : alarms)
        if (alarm->treeItem() == row)
            return alarm;
    return nullptr;
}

Resource *CentralUnit::routeForItem(const QTreeWidgetItem *row) const
{
    if (routesBranch->treeItem() == row)
        return routesBranch;
    for (Route *route : routes)
        if (route->treeItem() == row)
            return route;
    return nullptr;
}

void CentralUnit::adoptResource(Resource *resource)
{
    resource->setCentralUnit(this);
    unitResources.append(resource);
    resourcesByName.insert(resource->name(), resource);
}

void CentralUnit::deleteResource(Resource *resource)
{
    unitResources.removeOne(resource);
    resourcesByName.remove(resource->name());
    if (resource == overlordResource)
        overlordResource = nullptr;
    if (auto *conference = qobject_cast<Conference *>(resource))
        participation.removeConference(conference, conference->participantList());
    if (resource->typeName() == "radio")
        removeRemoteControl(resource->name());
    delete resource;
}

int CentralUnit::addResource(const QString &resourceName, const QString &type, const QString &state)
{
    qDebug() << unitName << "adding resource" << resourceName << type << state;
    bool replaced = false;
    if (Resource *existing = findResource(resourceName)) {
        if (existing->typeName() == type) {
            qDebug() << "ERROR: resource" << resourceName << "already exists";
            return -3;
        }
        deleteResource(existing);
        replaced = true;
    }
    qDebug() << "new resource:" << type;
    Resource *resource = nullptr;
    if (type == "user")
        resource = new User(resourceName, item);
    else if (type == "radio")
        resource = new Radio(resourceName, item);
    else if (type == "speaker")
        resource = new Speaker(resourceName, item);
    else if (type == "field phone")
        resource = new FieldPhone(resourceName, item);
    else if (type == "pabx")
        resource = new Pabx(resourceName, item);
    else if (type == "conference")
        resource = new Conference(resourceName, item);
    else if (type == "dconference")
        resource = new DynamicConference(resourceName, item);
    else if (type == "overlord")
        resource = overlordResource = new Overlord(resourceName, item);
    if (!resource) {
        qDebug() << "ERROR: unknown resource type" << type;
        return -300;
    }
    adoptResource(resource);
    if (state == "busy")
        resource->setBusy();
    qDebug() << (replaced ? "redefined" : "added") << resourceName << "@" << unitName;
    return replaced ? -4 : 0;
}

int CentralUnit::removeResource(const QString &resourceName)
{
    qDebug() << "removing resource" << resourceName;
    Resource *resource = findResource(resourceName);
    if (!resource) {
        qDebug() << "ERROR: no resource" << resourceName << "@";
        return -3;
    }
    deleteResource(resource);
    qDebug() << "removed" << resourceName << "@" << unitName;
    return 0;
}

void CentralUnit::removeNamed(const QString &resourceName, const QString &type)
{
    if (findResource(resourceName, type))
        removeResource(resourceName);
}

int CentralUnit::removeAllResources()
{
    if (unitResources.isEmpty())
        return -3;
    // Taken off all at once: one by one from the front would move the rest every time.
    const QList<Resource *> all = std::exchange(unitResources, {});
    resourcesByName.clear();
    for (Resource *resource : all)
        deleteResource(resource);
    return 0;
}

Endpoint *CentralUnit::findEndpoint(const QString &endpointName) const
{
    for (Endpoint *endpoint : unitEndpoints)
        if (endpoint->name() == endpointName)
            return endpoint;
    return nullptr;
}

int CentralUnit::addEndpoint(const QString &endpointName)
{
    qDebug() << "adding new endpoint" << endpointName << "@" << unitName;
    if (findEndpoint(endpointName)) {
        qDebug() << "ERROR: such endpoint exists";
        return -3;
    }
    auto *endpoint = new Endpoint(endpointName);
    endpoint->setCentralUnit(this);
    const auto after = std::find_if(unitEndpoints.begin(), unitEndpoints.end(),
                                    [&](const Endpoint *e) { return e->name() > endpointName; });
    unitEndpoints.insert(after, endpoint);
    qDebug() << "endpoint added";
    return 0;
}

int CentralUnit::removeEndpoint(const QString &endpointName)
{
    qDebug() << "removing endpoint" << endpointName << "@" << unitName;
    const auto gone = std::stable_partition(unitEndpoints.begin(), unitEndpoints.end(),
                                            [&](const Endpoint *e) { return e->name() != endpointName; });
    if (gone == unitEndpoints.end()) {
        qDebug() << "ERROR: no such endpoint";
        return -3;
    }
    qDeleteAll(gone, unitEndpoints.end());
    unitEndpoints.erase(gone, unitEndpoints.end());
    qDebug() << "endpoint removed";
    return 0;
}

Route *CentralUnit::findRoute(const QString &a, const QString &b) const
{
    for (Route *route : routes)
        if (route->joins(a, b))
            return route;
    return nullptr;
}

int CentralUnit::addRouteResource(const QString &a, const QString &b, const QString &established)
{
    qDebug() << unitName << "adding route" << a << b << established;
    if (findRoute(a, b)) {
        qDebug() << "ERROR: route exists";
        return -3;
    }
    auto *route = new Route(a, b, routesBranch->treeItem());
    route->setCentralUnit(this);
    if (established == "1")
        route->setEstablished();
    routes.append(route);
    qDebug() << "added route" << a << "<->" << b << "@" << unitName;
    return 0;
}

int CentralUnit::removeRouteResource(const QString &a, const QString &b)
{
    qDebug() << "removing route" << a << "<->" << b << "@" << unitName;
    Route *route = findRoute(a, b);
    if (!route) {
        qDebug() << "ERROR: no such route!";
        return -400;
    }
    routes.removeOne(route);
    delete route;
    qDebug() << "route removed";
    return 0;
}

int CentralUnit::removeAllRoutes()
{
    routesBranch->treeItem()->setHidden(true);
    if (routes.isEmpty())
        return -3;
    qDeleteAll(routes);
    routes.clear();
    return 0;
}

Alarm *CentralUnit::findAlarm(const QString &identifier, const QString &text) const
{
    for (Alarm *alarm : alarms)
        if (alarm->name() == identifier && alarm->description() == text)
            return alarm;
    return nullptr;
}

int CentralUnit::removeAllAlarms()
{
    alarmsBranch->treeItem()->setHidden(true);
    if (alarms.isEmpty())
        return -3;
    qDeleteAll(alarms);
    alarms.clear();
    return 0;
}

void CentralUnit::disableResourceItems()
{
    for (Resource *resource : std::as_const(unitResources))
        resource->treeItem()->setDisabled(true);
}

void CentralUnit::enableResourceItems()
{
    for (Resource *resource : std::as_const(unitResources))
        resource->treeItem()->setDisabled(false);
}

QString CentralUnit::infoText() const
{
    if (passwordRefused)
        return tr("login: wrong password");
    if (!isConnected())
        return {};
    bool ok = false;
    const quint32 hardware = hardwareVersion.toUInt(&ok, 16);
    QString text = tr("system:") + "\n - " + tr("name: ") + systemName + "\n - " + tr("date: ") + systemDate + "\n - "
        + tr("software version: ") + softwareVersion + "\n - " + tr("software date: ") + softwareDate + "\n - "
        + tr("hardware version: ") + QString::number(hardware >> 16) + "." + QString::number(hardware & 0xffff);
    text += "\n\n" + tr("monitors:");
    for (Resource *resource : unitResources) {
        if (!resource->hasMonitorSources())
            continue;
        text += "\n - " + resource->name() + " : ";
        const auto sources = resource->monitorSources();
        for (auto it = sources.cbegin(); it != sources.cend(); ++it)
            text += "\n     " + it.key() + " : " + it->mode;
    }
    text += "\n\n" + tr("retransmission sessions:");
    for (Resource *resource : resourcesOfType("radio")) {
        const auto *radio = static_cast<Radio *>(resource);
        if (!radio->isRetransmitting())
            continue;
        text += "\n - " + radio->name() + " : ";
        for (const QString &partner : radio->retransmissions())
            text += "\n     " + partner;
    }
    return text;
}

int CentralUnit::startRemoteControl(const QString &radioName)
{
    qDebug() << "start remote control" << radioName << "@" << unitName;
    auto it = std::find_if(remoteWindows.begin(), remoteWindows.end(), [&](const RadioControlWidget *w) {
        return w->radioName() == radioName && w->unitName() == unitName;
    });
    RadioControlWidget *window = it != remoteWindows.end() ? *it : nullptr;
    if (!window) {
        window = new RadioControlWidget(radioName, unitName);
        remoteWindows.append(window);
    }
    window->setVisible(true);
    window->setFocus(Qt::ActiveWindowFocusReason);
    return 0;
}

int CentralUnit::removeRemoteControl(const QString &radioName)
{
    for (RadioControlWidget *window : remoteWindows) {
        if (window->radioName() == radioName && window->unitName() == unitName) {
            remoteWindows.removeOne(window);
            delete window;
            return 0;
        }
    }
    return -400;
}

void CentralUnit::logConferenceChange(const QString &user, const QStringList &joined, const QList<Conference *> &held) const
{
    QStringList left;
    for (const Conference *c : held)
        if (!c->hasParticipant(user))
            left.append(c->name());
    qDebug() << "conferences of" << user << "@" << unitName << ": joined" << joined << "left" << left;
}

void CentralUnit::manageUserStatus()
{
    const QStringList &t = replyTokens;
    const QString user = t.value(2);
    const QString word = t.value(3);
    qDebug() << "manage user status" << user << "@" << unitName << ":" << word;
    if (word == "emerged" && t.size() >= 5) {
        addResource(user, t[4], QString());
        return;
    }
    Resource *r = findResource(user);
    if (!r) {
        qDebug() << "ERROR: user does not exist" << user << "@" << unitName;
        return;
    }
    const auto mismatch = [&](const char *what) {
        qDebug() << "ERROR:" << user << "@" << unitName << what << Resource::statusName(r->status());
    };
    if (word == "busy") {
        r->setBusy();
        r->invalidateConnections();
        // Only the conferences that hold the user can lose it: the index names them.
        const QList<Conference *> held = participation.conferencesOf(user);
        for (Conference *c : held)
            c->invalidateParticipant(user);
        QStringList joined;
        for (qsizetype i = 4; i + 1 < t.size(); i += 2) {
            r->connectTo(t[i + 1], t[i]);
            if (t[i] == "conference") {
                if (auto *conference = static_cast<Conference *>(findResource(t[i + 1], "conference"))) {
                    if (conference->addParticipant(user) == 0)
                        joined.append(conference->name());
                } else {
                    qDebug() << "ERROR: no conference" << t[i + 1] << "@" << unitName;
                }
            }
        }
        for (Conference *c : held)
            c->removeInactiveParticipant();
        logConferenceChange(user, joined, held);
        r->removeInactiveConnections();
    } else if (word == "free") {
        const QList<Conference *> held = participation.conferencesOf(user);
        for (Conference *c : held)
            c->invalidateParticipant(user);
        for (Conference *c : held)
            c->removeInactiveParticipant();
        logConferenceChange(user, {}, held);
        r->clearConnections();
        r->setFree();
        r->setToolTip(QString());
    } else if (word == "accepted") {
        r->status() == StatusTrying ? void(r->setStatus(StatusConnected)) : mismatch("accepted connection but its status was");
    } else if (word == "rejected") {
        r->status() == StatusTrying ? void(r->setStatus(StatusRejected)) : mismatch("rejected connection but its status was");
    } else if (word == "connecting") {
        r->setStatus(StatusCalling);
    } else if (word == "canceled") {
        r->status() == StatusCalling ? void(r->setStatus(StatusCanceled)) : mismatch("canceled connection but its status was");
    } else if (word == "disconnected") {
        r->status() == StatusConnected ? void(r->setStatus(StatusFree)) : mismatch("tried to disconnect but its status was");
    } else if (word == "end call") {
        (r->status() == StatusIncomingCall || r->status() == StatusIgnored) ? void(r->setStatus(StatusFree))
                                                                             : mismatch("ended call but its status was");
    } else if (word == "call") {
        if (t.size() == 4) {
            r->setStatus(StatusIncomingCall);
        } else {
            auto *conference = static_cast<Conference *>(findResource(t[4], "conference"));
            if (!conference) {
                addResource(t[4], "conference", QString());
                conference = static_cast<Conference *>(findResource(t[4], "conference"));
                gZudWindow->connectionsTree()->sortByKey();
            }
            if (conference) {
                conference->setStatus(StatusIncomingCall);
                conference->setCaller(user);
            }
        }
    } else if (word == "vanished") {
        removeResource(user);
    } else if (word == "call rejected") {
        auto *conference = static_cast<Conference *>(findResource("dC~" + gOperatorName, "conference"));
        if (conference && conference->kind() == "dynamic")
            static_cast<DynamicConference *>(conference)->removeInvited(user);
        else
            qDebug() << "ERROR: no resource" << ("dC~" + gOperatorName) << user;
    }
}

void CentralUnit::manageKtxStatus()
{
    qDebug() << "manage ktx status @" << unitName << ":" << replyTokens.value(2);
}

void CentralUnit::manageRadioStatus()
{
    const QStringList &t = replyTokens;
    const QString radioName = t.value(2);
    const QString word = t.value(3);
    qDebug() << "manage radio status" << radioName << "@" << unitName << ":" << word << "(" << t.size() << ")";
    if (word == "ktx" && t.size() >= 7) {
        for (RadioControlWidget *window : std::as_const(remoteWindows))
            if (window->radioName() == radioName && window->unitName() == unitName)
                window->receiveData(decimal(t[4]), decimal(t[5]), t[6]);
        return;
    }
    auto *radio = static_cast<Radio *>(findResource(radioName, "radio"));
    if (!radio) {
        qDebug() << "ERROR: no radio" << radioName;
        return;
    }
    if (t.size() != 5)
        return;
    if (word == "transmitting")
        radio->setTransmitting(t[4] == "start");
    else if (word == "receiving")
        radio->setReceiving(t[4] == "start");
    else if (word == "input gain")
        radio->setInputGain(decimal(t[4]));
}

void CentralUnit::manageMonitorStatus()
{
    const QStringList &t = replyTokens;
    const QString word = t.value(2);
    const QString listener = t.value(3);
    const QString listened = t.value(4);
    qDebug() << "manage monitor status" << word << listener << "<" << listened << "@" << unitName;
    if (word != "removed" && !(word == "added" && t.size() == 7))
        return;
    Resource *destination = findResource(listener);
    Resource *source = findResource(listened);
    if (!destination || !source) {
        qDebug() << "ERROR" << "no resource" << listener << listened << "@" << unitName;
        return;
    }
    if (word == "added") {
        source->addMonitorDestination(listener, t[5], t[6]);
        destination->addMonitorSource(listened, t[5], t[6]);
    } else {
        source->removeMonitorDestination(listener);
        destination->removeMonitorSource(listened);
    }
}

void CentralUnit::manageRebroadcastStatus()
{
    const QStringList &t = replyTokens;
    const QString word = t.value(2);
    const QString a = t.value(3);
    const QString b = t.value(4);
    qDebug() << "manage rebroadcast status" << word << a << "<->" << b << "@" << unitName;
    if (word != "started" && word != "ended")
        return;
    // Only radios retransmit; a report naming something else is taken as a missing radio.
    auto *first = qobject_cast<Radio *>(findResource(a));
    auto *second = qobject_cast<Radio *>(findResource(b));
    if (!first || !second) {
        qDebug() << "ERROR" << "no resource" << a << b << "@" << unitName;
        return;
    }
    if (word == "started") {
        first->addRetransmission(b);
        second->addRetransmission(a);
    } else {
        first->removeRetransmission(b);
        second->removeRetransmission(a);
    }
}

void CentralUnit::refreshAfterRadioSilence()
{
    for (Resource *radio : resourcesOfType("radio"))
        radio->updateGui();
    gZudWindow->updateGui();
}

void CentralUnit::manageRadioSilenceStatus()
{
    const QString word = replyTokens.value(2);
    qDebug() << "manage radio silence" << word << "@" << unitName;
    if (word == "on" && radioSilence)
        qDebug() << "WARNING: radio silence already was on!";
    else if (word != "on" && !radioSilence)
        qDebug() << "WARNING: radio silence already was off!";
    radioSilence = word == "on";
    refreshAfterRadioSilence();
}

void CentralUnit::manageRouteStatus()
{
    const QStringList &t = replyTokens;
    const QString word = t.value(2);
    const QString a = t.value(3);
    const QString b = t.value(4);
    qDebug() << "manage route status" << word << a << "<->" << b << "@" << unitName;
    if (word == "added") {
        addRouteResource(a, b, QString());
    } else if (word == "removed") {
        removeRouteResource(a, b);
    } else if (word == "established" || word == "dismantled") {
        Route *route = findRoute(a, b);
        if (!route)
            qDebug() << "ERROR" << "no route between" << a << "and" << b << "@" << unitName;
        else if (word == "established")
            route->setEstablished();
        else
            route->setDismantled();
    }
}

void CentralUnit::manageEndpointStatus()
{
    const QString word = replyTokens.value(2);
    const QString endpointName = replyTokens.value(3);
    qDebug() << "manage endpoint status" << word << endpointName << "@" << unitName;
    if (word == "emerged")
        addEndpoint(endpointName);
    else if (word == "vanished")
        removeEndpoint(endpointName);
}

void CentralUnit::manageGpsStatus()
{
    qDebug() << "manage gps status @" << unitName;
    auto *gps = static_cast<Gps *>(findResource("coordinates", "gps"));
    if (!gps)
        return;
    const QStringList &t = replyTokens;
    gps->setTime(t[2]);
    gps->setLongitude(t[3]);
    gps->setLatitude(t[4]);
    gps->setAltitude(t[5]);
    gps->setSatellites(t[6]);
    gps->setValidity(t[7]);
}

void CentralUnit::manageBroadcastStatus()
{
    const QString word = replyTokens.value(2);
    const QString originator = replyTokens.value(3);
    qDebug() << "manage broadcast status" << originator << "@" << unitName << ":" << word << "(" << replyTokens.size() << ")";
    if (originator == gOperatorName) {
        qDebug() << "omitting myself";
        return;
    }
    Resource *resource = findResource(originator, "user");
    if (!resource)
        resource = findResource(originator, "overlord");
    if (!resource) {
        qDebug() << "ERROR: no user" << originator;
        return;
    }
    if (word == "start") {
        broadcastInProgress = true;
        resource->startBroadcasting();
    } else if (word == "end") {
        broadcastInProgress = false;
        resource->stopBroadcasting();
    }
}

void CentralUnit::manageAlarmStatus()
{
    const QStringList &t = replyTokens;
    const QString word = t.value(2);
    const QString identifier = t.value(3);
    const QString text = t.value(4);
    qDebug() << "manageAlarmStatus " << printableCommand(t);
    qDebug() << "manage alarm status" << identifier << "@" << unitName << ":" << word << "(" << t.size() << ")";
    // An alarm without a text shows (and is known by) a single space.
    const QString shown = text.isEmpty() ? QStringLiteral(" ") : text;
    Alarm *known = findAlarm(identifier, shown);
    if (word == "on") {
        if (known) {
            qDebug() << "ERROR: alarm exists";
            return;
        }
        auto *alarm = new Alarm(identifier, text, alarmsBranch, alarmsBranch->treeItem());
        alarm->setCentralUnit(this);
        alarms.append(alarm);
        qDebug() << "added alarm" << identifier << " [" << text << "]";
    } else if (word == "off") {
        if (!known) {
            qDebug() << "ERROR: alarm does not exist";
            return;
        }
        alarms.removeOne(known);
        delete known;
    }
}
