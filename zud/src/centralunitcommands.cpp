// The operator's commands to a unit: each becomes one or more Operations of the unit's program.
#include "centralunit.h"

#include "alarm.h"
#include "conference.h"
#include "confignode.h"
#include "radio.h"
#include "radiosettings.h"
#include "route.h"

#include <QDebug>

#include <algorithm>
#include <limits>
#include <utility>

namespace {
// A gain stepped without overflow: a unit may report any number.
int stepped(int value, int step)
{
    const long long result = static_cast<long long>(value) + step;
    return int(std::clamp<long long>(result, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}
}

QString CentralUnit::kindWord(const Resource *resource)
{
    const QString type = resource->typeName();
    return type == "radio" || type == "conference" ? type : QStringLiteral("user");
}

// The resource that a command about resourceName acts on; none, with the command's result in
// *code, when the unit is busy (-2, and the operator told) or has no such resource (-400).
Resource *CentralUnit::commandTarget(const QString &resourceName, int *code)
{
    if (checkIfBusyAndInformIfSo()) {
        *code = -2;
        return nullptr;
    }
    Resource *resource = findResource(resourceName);
    if (!resource)
        *code = -400;
    return resource;
}

int CentralUnit::queueUnlessBusy(const QList<Operation> &operations)
{
    if (checkIfBusyAndInformIfSo())
        return -2;
    appendToProgram(operations);
    return 0;
}

int CentralUnit::connectTo(const QString &resourceName)
{
    qDebug() << "connect to" << resourceName << "@" << unitName;
    int code = 0;
    Resource *resource = commandTarget(resourceName, &code);
    if (!resource)
        return code;
    const QStringList parameters = resource->connectionParameters();
    if (!parameters.isEmpty())
        qDebug() << "connection parameters" << parameters;
    return queueUnlessBusy({Operation{"connect", kindWord(resource), resourceName} + parameters});
}

int CentralUnit::reconnectTo(const QString &resourceName)
{
    qDebug() << "reconnect to" << resourceName << "@" << unitName;
    int code = 0;
    Resource *resource = commandTarget(resourceName, &code);
    if (!resource)
        return code;
    const QStringList parameters = resource->connectionParameters();
    if (!parameters.isEmpty())
        qDebug() << "connection parameters" << parameters;
    const QString kind = kindWord(resource);
    return queueUnlessBusy({{"disconnect", kind, resourceName}, Operation{"connect", kind, resourceName} + parameters});
}

int CentralUnit::call(const QString &resourceName)
{
    qDebug() << "call" << resourceName << "@" << unitName;
    int code = 0;
    Resource *resource = commandTarget(resourceName, &code);
    if (!resource)
        return code;
    const QString kind = resource->typeName() == "conference" ? "conference" : "user";
    return queueUnlessBusy({{"call", kind, resourceName}});
}

int CentralUnit::callReject(const QString &resourceName)
{
    qDebug() << "reject call from" << resourceName << "@" << unitName;
    int code = 0;
    Resource *resource = commandTarget(resourceName, &code);
    if (!resource)
        return code;
    resource->setCallHandled(true);
    if (resource->typeName() == "conference")
        return queueUnlessBusy({{"call reject", "user", static_cast<Conference *>(resource)->caller(), resourceName}});
    return queueUnlessBusy({{"call reject", "user", resourceName}});
}

int CentralUnit::answerCall(const QString &resourceName)
{
    qDebug() << "answer call from" << resourceName << "@" << unitName;
    int code = 0;
    Resource *resource = commandTarget(resourceName, &code);
    if (!resource)
        return code;
    resource->setCallHandled(true);
    if (resource->typeName() == "conference")
        return connectTo(resourceName);
    return queueUnlessBusy({{"connect", "user", resourceName}});
}

int CentralUnit::disconnectFrom(const QString &resourceName)
{
    qDebug() << "disconnect from" << resourceName << "@" << unitName;
    int code = 0;
    Resource *resource = commandTarget(resourceName, &code);
    if (!resource)
        return code;
    if (resource->typeName() == "conference" && static_cast<Conference *>(resource)->kind() == "dynamic")
        return stopConferenceOnDemand(resourceName);
    return queueUnlessBusy({{"disconnect", kindWord(resource), resourceName}});
}

int CentralUnit::cancelCall(const QString &resourceName)
{
    qDebug() << "cancel call to" << resourceName << "@" << unitName;
    return queueUnlessBusy({{"cancel", resourceName}});
}

int CentralUnit::accept(const QString &resourceName)
{
    qDebug() << "accept call from" << resourceName << "@" << unitName;
    return queueUnlessBusy({{"accept", resourceName}});
}

int CentralUnit::reject(const QString &resourceName)
{
    qDebug() << "reject call from" << resourceName << "@" << unitName;
    return queueUnlessBusy({{"reject", resourceName}});
}

int CentralUnit::setRadioSilence(bool on)
{
    return queueUnlessBusy({{"radio silence", on ? "on" : "off"}});
}

int CentralUnit::setPtt(bool on)
{
    return on ? beginTalk(pttTalk) : endTalk(pttTalk);
}

int CentralUnit::startBroadcast()
{
    return beginTalk(broadcastTalk);
}

int CentralUnit::endBroadcast()
{
    return endTalk(broadcastTalk);
}

// A talk begun again while the unit still owes the answer to our own end of it is no other
// command keeping the unit busy: an end not yet sent is taken back (the unit stays on air), an end
// in flight is followed by the new start.
int CentralUnit::beginTalk(Talk &talk)
{
    if (talk.state == Talk::Idle && !program.empty()) {
        const auto queuedEnd = std::find(current, program.end(), talk.end);
        if (queuedEnd == current) {
            appendToProgram({talk.start});
            talk.state = Talk::Started;
            return 0;
        }
        if (queuedEnd != program.end()) {
            program.erase(queuedEnd);
            talk.state = Talk::Started;
            return 0;
        }
    }
    const int code = queueUnlessBusy({talk.start});
    if (code == 0)
        talk.state = Talk::Started;
    return code;
}

// A key released before the unit answered the start must not leave the unit on air: the end is
// never refused as busy, and the program sends it only after the start's reply. An end with no
// start of ours known keeps the busy rule.
int CentralUnit::endTalk(Talk &talk)
{
    switch (std::exchange(talk.state, Talk::Idle)) {
    case Talk::Refused:
        return -3;
    case Talk::Idle:
        return queueUnlessBusy({talk.end});
    case Talk::Started:
        break;
    }
    appendToProgram({talk.end});
    return 0;
}

// Called with the command in flight when the unit refused it.
void CentralUnit::talkRefused(const Operation &command, const QString &error)
{
    // The unit reports a broadcast of ours already on air: its end is still owed.
    if (command == broadcastTalk.start && error == "already broadcasting")
        return;
    for (Talk *talk : {&pttTalk, &broadcastTalk}) {
        if (command != talk->start)
            continue;
        const auto queuedEnd = std::find(std::next(current), program.end(), talk->end);
        if (queuedEnd != program.end())
            program.erase(queuedEnd);
        else if (talk->state == Talk::Started)
            talk->state = Talk::Refused;
    }
}

int CentralUnit::setRoute(const QString &a, const QString &b)
{
    qDebug() << "setting route" << a << "<->" << b << "@" << unitName;
    return queueUnlessBusy({{"route", "add", a, b}});
}

int CentralUnit::removeRoute(const QString &a, const QString &b)
{
    qDebug() << "removing route" << a << "<->" << b << "@" << unitName;
    return queueUnlessBusy({{"route", "delete", a, b}});
}

int CentralUnit::setMonitor(const QString &source, const QString &destination, const QString &mode)
{
    qDebug() << "set monitor request" << source << ">" << destination << "(" << mode << ":" << monitorGain << ") @" << unitName;
    return queueUnlessBusy({{"monitor", "add", destination, source, mode, monitorGainText()}});
}

int CentralUnit::removeMonitor(const QString &source, const QString &destination, const QString &mode)
{
    qDebug() << "remove monitor request" << source << ">" << destination << "(" << mode << ":" << monitorGain << ") @" << unitName;
    return queueUnlessBusy({{"monitor", "remove", destination, source, mode, monitorGainText()}});
}

int CentralUnit::startRebroadcast(const QString &a, const QString &b)
{
    qDebug() << "start rebroadcast request" << a << b << "@" << unitName;
    return queueUnlessBusy({{"rebroadcast", "start", a, b}});
}

int CentralUnit::endRebroadcast(const QString &a, const QString &b)
{
    qDebug() << "end rebroadcast request" << a << b << "@" << unitName;
    return queueUnlessBusy({{"rebroadcast", "end", a, b}});
}

int CentralUnit::invite(const QString &conference, const QString &user)
{
    qDebug() << "inviting" << user << "to" << conference << "@" << unitName;
    return queueUnlessBusy({{"add", "user", user, conference}});
}

int CentralUnit::kickOut(const QString &conference, const QString &user)
{
    qDebug() << "kicking out" << user << "from" << conference << "@" << unitName;
    return queueUnlessBusy({{"remove", "user", user, conference}});
}

int CentralUnit::startConferenceOnDemand(const QString &conference, const QStringList &users)
{
    qDebug() << "start conference on demand" << conference << "@" << unitName << "with following users" << users;
    QList<Operation> operations{{"connect", "conference", conference, "create"}};
    for (const QString &user : users)
        operations.append({"add", "user", user, conference});
    return queueUnlessBusy(operations);
}

int CentralUnit::stopConferenceOnDemand(const QString &conference)
{
    qDebug() << "stop conference on demand" << conference << "@" << unitName;
    return queueUnlessBusy({{"disconnect", "conference", conference, "destroy"}});
}

int CentralUnit::connectRemotely(const QString &user, const QString &radio, const QStringList &parameters)
{
    qDebug() << "connect remotely" << user << "to" << radio << "@" << unitName << "with params" << parameters;
    return queueUnlessBusy({Operation{"connect", "radio", radio} + parameters + Operation{user}});
}

int CentralUnit::disconnectRemotely(const QString &user, const QString &radio)
{
    qDebug() << "disconnect remotely" << user << radio << "@" << unitName;
    return queueUnlessBusy({{"disconnect", "radio", radio, user}});
}

int CentralUnit::setAudioGain(int newGain)
{
    qDebug().noquote() << "trying new audio gain " + QString::number(newGain) + " @" + unitName;
    if (newGain < -32 || newGain > 32)
        return -5;
    if (queueUnlessBusy({{"gain", "set", QString::number(newGain), "output"}}) != 0)
        return -2;
    saveAudioGain(unitName, QString::number(newGain));
    return 0;
}

int CentralUnit::increaseAudioGain()
{
    return setAudioGain(stepped(gain, 3));
}

int CentralUnit::decreaseAudioGain()
{
    return setAudioGain(stepped(gain, -3));
}

int CentralUnit::setRadioInputGain(const QString &radio, int newGain)
{
    qDebug() << "set radio input gain " << radio << "@" << unitName << ": " << newGain;
    if (!findResource(radio))
        return -400;
    appendToProgram({{"gain", "set", QString::number(newGain), "input", radio}});
    return 0;
}

int CentralUnit::increaseRadioInputGain(const QString &radio)
{
    qDebug() << "increase radio input gain " << radio << "@" << unitName;
    auto *resource = qobject_cast<Radio *>(findResource(radio, "radio"));
    return resource ? setRadioInputGain(radio, stepped(resource->inputGain(), 1)) : -400;
}

int CentralUnit::decreaseRadioInputGain(const QString &radio)
{
    qDebug() << "decrease radio input gain " << radio << "@" << unitName;
    auto *resource = qobject_cast<Radio *>(findResource(radio, "radio"));
    return resource ? setRadioInputGain(radio, stepped(resource->inputGain(), -1)) : -400;
}

int CentralUnit::sendDtmfDigits(const QString &target, const QString &digits)
{
    qDebug() << "send dtmf digits to" << target << "@" << unitName << " - " << digits;
    if (!findResource(target))
        return -400;
    appendToProgram({{"digit", target, digits}});
    return 0;
}

int CentralUnit::cancelAlarm(Alarm *alarm)
{
    qDebug() << "cancel alarm request" << alarm->name() << "@" << unitName;
    appendToProgram({{"alarm", "off", alarm->name()}});
    alarms.removeOne(alarm);
    delete alarm;
    return 0;
}

int CentralUnit::ignoreCall(const QString &resourceName)
{
    qDebug() << "ignore call from" << resourceName << "@" << unitName;
    if (Resource *resource = findResource(resourceName))
        resource->setStatus(StatusIgnored);
    return 0;
}

int CentralUnit::defaultAction(QTreeWidgetItem *row)
{
    qDebug() << "default action" << unitName;
    if (checkIfBusyAndInformIfSo())
        return -2;
    if (!row)
        return -1;
    // Routes hang under their branch, outside the resources.
    Resource *resource = resourceForItem(row);
    if (!resource)
        resource = routeForItem(row);
    if (!resource)
        return -400;
    const QString type = resource->typeName();
    if (type == "gps" || type == "route")
        return -411;
    if (type == "endpoint")
        return -405;
    if (type == "alarm")
        return cancelAlarm(static_cast<Alarm *>(resource));
    if (type == "conference") {
        auto *conference = static_cast<Conference *>(resource);
        if (!conference->hasParticipant(gOperatorName))
            return connectTo(conference->name());
        return conference->kind() == "dynamic" ? stopConferenceOnDemand(conference->name())
                                               : disconnectFrom(conference->name());
    }
    switch (resource->status()) {
    case StatusFree:
        return connectTo(resource->name());
    case StatusTrying:
        return cancelCall(resource->name());
    case StatusCalling:
        return accept(resource->name());
    case StatusIncomingCall:
    case StatusIgnored:
        return answerCall(resource->name());
    case StatusConnected:
        return disconnectFrom(resource->name());
    default:
        return -405;
    }
}
