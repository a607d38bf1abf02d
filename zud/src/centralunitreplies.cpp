// What the unit's messages mean: status reports go to their handlers, "ok" and "error" answer
// the command in flight.
#include "centralunit.h"

#include "conference.h"
#include "confignode.h"
#include "connectionstreewidget.h"
#include "radio.h"
#include "rtpaudiodestination.h"
#include "zudmainwindow.h"

#include <QDebug>

#include <utility>

namespace {
struct StatusRule
{
    const char *word;
    qsizetype atLeast;
    void (CentralUnit::*handler)();
};
}

void CentralUnit::handleStatus()
{
    qDebug() << "status from" << unitName << ":" << printableCommand(replyTokens);
    // Each handler reads no token past its row's count.
    static const StatusRule rules[] = {
        {"user", 4, &CentralUnit::manageUserStatus},
        {"ktx", 3, &CentralUnit::manageKtxStatus},
        {"radio", 4, &CentralUnit::manageRadioStatus},
        {"monitor", 5, &CentralUnit::manageMonitorStatus},
        {"rebroadcast", 5, &CentralUnit::manageRebroadcastStatus},
        {"radio silence", 3, &CentralUnit::manageRadioSilenceStatus},
        {"route", 5, &CentralUnit::manageRouteStatus},
        {"endpoint", 4, &CentralUnit::manageEndpointStatus},
        {"gps", 8, &CentralUnit::manageGpsStatus},
        {"broadcast", 4, &CentralUnit::manageBroadcastStatus},
        {"alarm", 4, &CentralUnit::manageAlarmStatus},
    };
    const QString kind = replyTokens.value(1);
    bool handled = false;
    if (kind == "alive") {
        secondsWithoutAlive = 0;
        handled = true;
    }
    for (const StatusRule &rule : rules) {
        if (!handled && kind == rule.word && replyTokens.size() >= rule.atLeast) {
            (this->*rule.handler)();
            handled = true;
        }
    }
    if (!handled)
        qDebug() << "status message dropped @" << unitName;
    gZudWindow->connectionsTree()->sortByKey();
}

void CentralUnit::handleError()
{
    const QStringList cmd = *current;
    const QString command = mergeCommand(cmd);
    const QString error = replyTokens.value(1);
    qDebug() << "error from" << unitName << ":" << printableCommand(replyTokens);
    talkRefused(cmd, error);
    const auto is = [&](const char *prefix) { return command.startsWith(prefix); };

    if (is("login")) {
        if (error == "user already logged in" || error == "not logged in" || error == "wrong password") {
            passwordRefused = error == "wrong password";
            closeConnection(true);
        }
        else if (error != "wrong rtp port")
            qDebug() << "login error message dropped" << "@" << unitName << "!";
    } else if (is("logout") || is("list")) {
    } else if (is("info user")) {
        if (error == "no such user")
            removeNamed(cmd.value(2));
    } else if (is("info conference")) {
        if (error == "no such conference")
            removeNamed(cmd.value(2), "conference");
    } else if (is("info monitors") || is("info rebroadcast") || is("info radio silence")) {
    } else if (is("broadcast start")) {
        if (error == "already broadcasting")
            qDebug() << "ERROR: somehow already broadcasting";
    } else if (is("broadcast end")) {
    } else if (is("monitor add") || is("monitor remove")) {
        if (error == "source not exist")
            removeNamed(cmd.value(3));
        else if (error == "destination not exist")
            removeNamed(cmd.value(2));
    } else if (is("connect user")) {
        if (error == "no such user")
            removeNamed(cmd.value(2));
    } else if (is("connect conference")) {
        if (error == "no such conference")
            removeNamed(cmd.value(2), "conference");
    } else if (is("connect radio")) {
        if (error == "no such radio") {
            removeNamed(cmd.value(2));
        } else if (error == "user is no radio") {
            Resource *resource = findResource(cmd.value(2));
            if (resource && resource->typeName() != "radio")
                removeResource(cmd.value(2));
        }
    } else if (is("radio silence")) {
        if (error == "radio silence is already on")
            radioSilence = true;
        else if (error == "radio silence is already off")
            radioSilence = false;
        for (Resource *resource : std::as_const(unitResources))
            resource->updateGui();
        gZudWindow->updateGui();
    } else {
        qDebug() << "error message dropped" << "@" << unitName << "!";
    }
}

void CentralUnit::addUserEntry(const QString &kind, const QString &userName, const QString &state,
                               QList<Operation> &followUps)
{
    addResource(userName, kind, state);
    if (kind == "radio")
        followUps << Operation{"info", "rebroadcast", userName} << Operation{"gain", "get", userName};
    else if (state == "busy")
        followUps << Operation{"info", "user", userName};
    followUps << Operation{"info", "monitors", userName};
}

void CentralUnit::addConferenceEntry(const QString &locality, const QString &conferenceName, const QString &state,
                                     QList<Operation> &followUps)
{
    if (locality != "local")
        return;
    addResource(conferenceName, "conference", state);
    if (state == "busy")
        followUps << Operation{"info", "conference", conferenceName} << Operation{"info", "monitors", conferenceName};
}

void CentralUnit::addRouteEntry(const QString &a, const QString &b, const QString &established, QList<Operation> &)
{
    addRouteResource(a, b, established);
}

void CentralUnit::handleOk()
{
    const QStringList cmd = *current;
    const QString command = mergeCommand(cmd);
    const QStringList &reply = replyTokens;
    qDebug() << "ok from" << unitName << ":" << printableCommand(reply);
    const auto is = [&](const char *prefix) { return command.startsWith(prefix); };
    const auto emptyResource = [&](const QString &a, const QString &b) {
        qDebug() << "ERROR: empty resource" << a << b << "@" << unitName;
    };

    if (is("login")) {
        if (std::exchange(passwordRefused, false))
            showConnectedRow();
        setLink(LinkState::LoggedIn);
        bool ok = false;
        const uint rtpPort = reply.value(1).toUInt(&ok);
        if (ok && rtpPort >= 1 && rtpPort <= 65535)
            rtpDestination->play(address, reply[1]);
        else
            qDebug() << "ERROR: unusable RTP port" << reply.value(1) << "from" << unitName;
        if (reply.size() >= 7) {
            systemName = reply[2];
            systemDate = reply[3];
            softwareVersion = reply[4];
            softwareDate = reply[5];
            hardwareVersion = reply[6];
            emit updateMe();
        }
    } else if (is("info user")) {
        if (reply.size() >= 4)
            manageUserStatus();
    } else if (is("info conference")) {
        if (auto *conference = static_cast<Conference *>(findResource(cmd.value(2), "conference"))) {
            conference->invalidate();
            for (qsizetype i = 1; i < reply.size(); ++i)
                conference->addParticipant(reply[i]);
            conference->removeInactiveParticipants();
        }
    } else if (is("info rebroadcast")) {
        for (qsizetype i = 1; i < reply.size(); ++i) {
            auto *radio = qobject_cast<Radio *>(findResource(cmd.value(2)));
            auto *partner = qobject_cast<Radio *>(findResource(reply[i]));
            if (!radio || !partner) {
                emptyResource(cmd.value(2), reply[i]);
                continue;
            }
            radio->addRetransmission(reply[i]);
            partner->addRetransmission(cmd.value(2));
        }
    } else if (is("info monitors")) {
        if (reply.size() >= 4) {
            for (qsizetype i = 1; i + 2 < reply.size(); i += 3) {
                Resource *destination = findResource(cmd.value(2));
                Resource *source = findResource(reply[i]);
                if (!destination || !source) {
                    emptyResource(cmd.value(2), reply[i]);
                    continue;
                }
                destination->addMonitorSource(reply[i], reply[i + 1], reply[i + 2]);
                source->addMonitorDestination(cmd.value(2), reply[i + 1], reply[i + 2]);
            }
        }
    } else if (is("list users")) {
        beginList(&CentralUnit::addUserEntry);
    } else if (is("list conferences")) {
        beginList(&CentralUnit::addConferenceEntry);
    } else if (is("list routes")) {
        beginList(&CentralUnit::addRouteEntry);
    } else if (is("route add")) {
        addRouteResource(cmd.value(2), cmd.value(3), QString());
    } else if (is("route delete")) {
        removeRouteResource(cmd.value(2), cmd.value(3));
    } else if (is("list endpoints")) {
        for (qsizetype i = 1; i < reply.size(); ++i)
            addEndpoint(reply[i]);
    } else if (is("monitor add") || is("monitor remove")) {
        Resource *destination = findResource(cmd.value(2));
        Resource *source = findResource(cmd.value(3));
        if (!destination || !source) {
            emptyResource(cmd.value(2), cmd.value(3));
        } else if (is("monitor add")) {
            destination->addMonitorSource(cmd.value(3), cmd.value(4), cmd.value(5));
            source->addMonitorDestination(cmd.value(2), cmd.value(4), cmd.value(5));
        } else {
            destination->removeMonitorSource(cmd.value(3));
            source->removeMonitorDestination(cmd.value(2));
        }
    } else if (is("connect conference")) {
        if (cmd.size() == 4 && cmd[3] == "create") {
            addResource(cmd[2], "dconference", QString());
        } else if (auto *conference = static_cast<Conference *>(findResource(cmd.value(2), "conference"))) {
            conference->addParticipant(gOperatorName);
            conference->setStatus(StatusFree);
        } else {
            qDebug() << "ERROR: no conference" << cmd.value(2) << "@" << unitName;
        }
    } else if (is("disconnect conference")) {
        if (cmd.size() == 4 && cmd[3] == "destroy") {
            auto *conference = static_cast<Conference *>(findResource(cmd[2], "conference"));
            if (conference && conference->kind() == "dynamic")
                removeResource(cmd[2]);
            else
                qDebug() << "ERROR: no on demand conference";
        } else if (auto *conference = static_cast<Conference *>(findResource(cmd.value(2), "conference"))) {
            conference->removeParticipant(gOperatorName);
        } else {
            qDebug() << "ERROR: no conference" << cmd.value(2) << "@" << unitName;
        }
    } else if (is("connect")) {
        Resource *resource = findResource(cmd.value(2));
        if (!resource) {
            qDebug() << "ERROR: no radio" << cmd.value(2);
            return;
        }
        if (reply.value(1) == "ringing") {
            resource->setStatus(StatusTrying);
        } else if (cmd.size() == 7 && cmd[1] == "radio") {
            if (Resource *user = findResource(cmd[6]))
                user->connectTo(resource->name(), resource->typeName());
            else
                qDebug() << "ERROR: no user" << cmd[6];
        } else {
            resource->setStatus(StatusConnected);
        }
        resource->updateGui();
    } else if (is("disconnect")) {
        Resource *resource = findResource(cmd.value(2));
        if (!resource) {
            qDebug() << "ERROR: no radio" << cmd.value(2);
            return;
        }
        if (cmd.size() == 4 && cmd[1] == "radio") {
            if (Resource *user = findResource(cmd[3]))
                user->disconnectFrom(resource->name(), resource->typeName());
            else
                qDebug() << "ERROR: no user" << cmd[3];
        } else {
            resource->setStatus(StatusFree);
        }
        resource->updateGui();
    } else if (is("cancel") || is("reject") || is("accept")) {
        if (Resource *resource = findResource(cmd.value(1))) {
            resource->setStatus(is("accept") ? StatusConnected : StatusFree);
            resource->updateGui();
        } else {
            qDebug() << "ERROR: no resource" << cmd.value(1);
        }
    } else if (is("call reject")) {
        if (cmd.size() != 4) {
            qDebug() << "ERROR: not supported!";
        } else if (Resource *resource = findResource(cmd[3])) {
            resource->setStatus(StatusFree);
            resource->updateGui();
        } else {
            qDebug() << "ERROR: no resource" << cmd[3];
        }
    } else if (is("rebroadcast start") || is("rebroadcast end")) {
        auto *a = qobject_cast<Radio *>(findResource(cmd.value(2)));
        auto *b = qobject_cast<Radio *>(findResource(cmd.value(3)));
        if (!a || !b) {
            qDebug() << "ERROR: no radio" << cmd.value(2) << cmd.value(3);
        } else if (is("rebroadcast start")) {
            a->addRetransmission(cmd[3]);
            b->addRetransmission(cmd[2]);
        } else {
            a->removeRetransmission(cmd[3]);
            b->removeRetransmission(cmd[2]);
        }
    } else if (is("info radio silence")) {
        if (reply.size() >= 3)
            manageRadioSilenceStatus();
    } else if (is("add user") || is("remove user")) {
        Resource *user = findResource(cmd.value(2));
        auto *conference = static_cast<Conference *>(findResource(cmd.value(3), "conference"));
        if (!user || !conference) {
            qDebug() << "ERROR: no resource" << cmd.value(2) << cmd.value(3);
        } else if (conference->kind() != "dynamic") {
            qDebug() << "ERROR: conference is static:" << conference->name();
        } else if (is("add user")) {
            static_cast<DynamicConference *>(conference)->addInvited(cmd[2]);
        } else {
            static_cast<DynamicConference *>(conference)->removeParticipantOrInvited(cmd[2]);
            user->disconnectFrom(conference->name(), conference->typeName());
        }
    } else if (is("call")) {
        qDebug() << "call was ok";
    } else if (is("gain")) {
        if (cmd.value(1) == "get") {
            if (cmd.size() == 2)
                gain = reply.value(1).toInt();
            else if (auto *radio = qobject_cast<Radio *>(findResource(cmd.value(2), "radio")))
                radio->setInputGain(reply.value(1).toInt());
        } else if (cmd.value(1) == "set") {
            if (cmd.value(3) == "output")
                gain = cmd.value(2).toInt();
        } else {
            qDebug() << "ERROR: unknown gain response";
        }
    } else if (is("ptt ") || is("broadcast ") || is("radio silence ") || is("digit ") || is("alarm ")) {
        // Taken: what it changed comes in the unit's status reports, nothing is dropped.
    } else {
        qDebug() << "ok message dropped" << "@" << unitName << "!";
    }
}
