#pragma once

#include <QHash>
#include <QList>
#include <QString>

class Conference;

// Which conferences of a unit each participant takes part in: a report about one user touches
// those, not every conference the unit has. The conferences keep it as their lists change.
class ParticipantIndex
{
public:
    QList<Conference *> conferencesOf(const QString &participant) const { return byParticipant.value(participant); }
    void add(const QString &participant, Conference *conference)
    {
        QList<Conference *> &conferences = byParticipant[participant];
        if (!conferences.contains(conference))
            conferences.append(conference);
    }
    void remove(const QString &participant, Conference *conference)
    {
        const auto it = byParticipant.find(participant);
        if (it == byParticipant.end())
            return;
        it->removeOne(conference);
        if (it->isEmpty())
            byParticipant.erase(it);
    }
    void removeConference(Conference *conference, const QStringList &participants)
    {
        for (const QString &participant : participants)
            remove(participant, conference);
    }

private:
    QHash<QString, QList<Conference *>> byParticipant;
};
