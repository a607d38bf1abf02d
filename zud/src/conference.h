#pragma once

#include "resource.h"

// A conference configured in the unit: its participants, kept by confirm and sweep, and the user
// who called the console through it.
class Conference : public Resource
{
    Q_OBJECT
public:
    Conference(const QString &name, QTreeWidgetItem *parentRow, QObject *parent = nullptr);

    void updateGui() override;
    QString typeName() const override { return QStringLiteral("conference"); }
    QString description() const override;
    ButtonStateList buttonStates() const override;
    virtual int addParticipant(const QString &participant);
    virtual QString kind() const { return QStringLiteral("static"); }

    int participantCount() const { return int(participants.size()); }
    bool hasParticipant(const QString &participant) const { return participants.contains(participant); }
    QStringList participantList() const { return participants; }
    int setCaller(const QString &user);
    QString caller() const { return callerName; }
    int invalidate();
    int invalidateParticipant(const QString &participant);
    int removeInactiveParticipant();
    int removeInactiveParticipants();
    int removeParticipant(const QString &participant);

protected:
    // Confirms the participant and adds it when new: 0 added, -3 already there.
    int confirmParticipant(const QString &participant);
    // Every change of the participant list goes through these two, which keep the unit's index of
    // who takes part where; drop says whether the name was there.
    void appendParticipant(const QString &participant);
    bool dropParticipant(const QString &participant);
    QString participantsText() const;
    QString monitoredByText() const;
    void refreshRow(const QString &statusText);

    QString callerName;
    QStringList participants;
    QStringList inactiveParticipants;
    QString inactiveParticipant;
};

// A conference on demand, made and ended by an operator, with the users invited to it.
class DynamicConference : public Conference
{
    Q_OBJECT
public:
    DynamicConference(const QString &name, QTreeWidgetItem *parentRow);

    void updateGui() override;
    QString description() const override;
    int addParticipant(const QString &participant) override;
    QString kind() const override { return QStringLiteral("dynamic"); }

    bool isInvited(const QString &user) const { return invited.contains(user); }
    QStringList invitedList() const { return invited; }
    int addInvited(const QString &user);
    int removeInvited(const QString &user);
    int removeParticipantOrInvited(const QString &user);

private:
    QStringList invited;
};
