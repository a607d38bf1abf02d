#include "conference.h"

#include "centralunit.h"
#include "confignode.h"
#include "zudmainwindow.h"

#include <QDebug>
#include <QTreeWidgetItem>

Conference::Conference(const QString &name, QTreeWidgetItem *parentRow, QObject *parent) : Resource(parent)
{
    makeRow(parentRow, name, "b_conference " + name.toLower());
    canListen = false;
    modes.append("Always");
    qDebug().noquote() << "new conference" << name;
    Conference::updateGui();
}

void Conference::refreshRow(const QString &statusText)
{
    item->setIcon(0, rowIcon(participants.isEmpty() ? ":/icons/images/conference_empty.png"
                                                  : ":/icons/images/conference_full.png"));
    item->setText(1, statusText);
    item->setToolTip(0, description());
    gZudWindow->updateGuiLater();
}

void Conference::updateGui()
{
    refreshRow(currentStatus == StatusIncomingCall ? tr("invited")
               : participants.contains(gOperatorName) ? tr("connected") : QString());
}

QString Conference::participantsText() const
{
    QString text = tr("Participants:");
    for (const QString &participant : participants)
        text += "\n - " + participant;
    return participants.isEmpty() ? text + "\n -" : text;
}

QString Conference::monitoredByText() const
{
    return "\n\n" + tr("Monitored by:") + listMonitors(destinations, "\n -");
}

QString Conference::description() const
{
    if (!item || !unit)
        return {};
    return participantsText() + monitoredByText();
}

ButtonStateList Conference::buttonStates() const
{
    return {"monitor", isMonitoredBy(gOperatorName) ? "1" : "0"};
}

int Conference::setCaller(const QString &user)
{
    callerName = user;
    return 0;
}

int Conference::confirmParticipant(const QString &participant)
{
    inactiveParticipants.removeOne(participant);
    if (inactiveParticipant == participant)
        inactiveParticipant.clear();
    return participants.contains(participant) ? -3 : 0;
}

void Conference::appendParticipant(const QString &participant)
{
    participants.append(participant);
    if (unit)
        unit->participantIndex().add(participant, this);
}

bool Conference::dropParticipant(const QString &participant)
{
    if (!participants.removeAll(participant))
        return false;
    if (unit)
        unit->participantIndex().remove(participant, this);
    return true;
}

int Conference::addParticipant(const QString &participant)
{
    qDebug().noquote() << "adding participant" << participant << "to conference" << where();
    if (confirmParticipant(participant) != 0)
        return -3;
    appendParticipant(participant);
    updateGui();
    return 0;
}

int Conference::invalidate()
{
    qDebug().noquote() << "invalidating conference" << where();
    inactiveParticipants = participants;
    return 0;
}

int Conference::invalidateParticipant(const QString &participant)
{
    qDebug().noquote() << "invalidating conference participant" << participant << "in" << where();
    inactiveParticipant = participant;
    return 0;
}

int Conference::removeInactiveParticipant()
{
    if (inactiveParticipant.isEmpty())
        return 0;
    qDebug().noquote() << "removing inactive participant" << inactiveParticipant << "from" << where();
    if (dropParticipant(inactiveParticipant))
        qDebug() << "participant removed";
    inactiveParticipant.clear();
    updateGui();
    return 0;
}

int Conference::removeInactiveParticipants()
{
    qDebug().noquote() << "removing inactive participants from" << where();
    for (const QString &participant : std::as_const(inactiveParticipants)) {
        if (dropParticipant(participant))
            qDebug().noquote() << "removing" << participant;
    }
    inactiveParticipants.clear();
    qDebug() << "no inactive participants left";
    updateGui();
    return 0;
}

int Conference::removeParticipant(const QString &participant)
{
    qDebug().noquote() << "removing participant" << participant << "from conference" << where();
    if (!dropParticipant(participant))
        return -3;
    updateGui();
    return 0;
}

DynamicConference::DynamicConference(const QString &name, QTreeWidgetItem *parentRow) : Conference(name, parentRow)
{
    qDebug().noquote() << "new dynamic conference" << name;
    DynamicConference::updateGui();
}

void DynamicConference::updateGui()
{
    refreshRow(participants.contains(gOperatorName) ? tr("connected") : QString());
}

QString DynamicConference::description() const
{
    if (!item || !unit)
        return {};
    QString text = participantsText() + "\n\n" + tr("Invited:");
    for (const QString &user : invited)
        text += "\n - " + user;
    if (invited.isEmpty())
        text += "\n -";
    return text + monitoredByText();
}

int DynamicConference::addParticipant(const QString &participant)
{
    qDebug().noquote() << "adding participant" << participant << "to dynamic conference" << where();
    if (confirmParticipant(participant) != 0)
        return -3;
    invited.removeAll(participant);
    appendParticipant(participant);
    updateGui();
    return 0;
}

int DynamicConference::addInvited(const QString &user)
{
    qDebug().noquote() << user << "was invited to" << where();
    if (invited.contains(user))
        return -3;
    invited.append(user);
    qDebug().noquote() << user << "added";
    updateGui();
    return 0;
}

int DynamicConference::removeInvited(const QString &user)
{
    qDebug().noquote() << user << "going to be removed from invited in" << where();
    if (!invited.removeOne(user))
        return -3;
    qDebug().noquote() << user << "removed";
    updateGui();
    return 0;
}

int DynamicConference::removeParticipantOrInvited(const QString &user)
{
    qDebug().noquote() << "removing participant (or invited)" << user << "from dynamic conference" << where();
    invited.removeAll(user);
    dropParticipant(user);
    qDebug().noquote() << user << "removed";
    updateGui();
    return 0;
}
