#pragma once

#include <QObject>
#include <QString>

// What a menu entry of the tree carries to its slot. The first text is always the unit's name.

// The unit, a resource (empty for the unit itself) and a text that some entries need.
class ResourceData : public QObject
{
    Q_OBJECT
public:
    ResourceData(const QString &first, const QString &second, const QString &third, QObject *parent)
        : QObject(parent), first(first), second(second), third(third) {}
    QString first, second, third;
};

// The unit, the resource listened to, the listener, the mode word and the gain text.
class MonitorData : public QObject
{
    Q_OBJECT
public:
    MonitorData(const QString &unit, const QString &source, const QString &listener, const QString &mode,
                const QString &gain, QObject *parent)
        : QObject(parent), unit(unit), source(source), listener(listener), mode(mode), gain(gain) {}
    QString unit, source, listener, mode, gain;
};

// The unit and the two radios of a retransmission.
class RetranslationData : public QObject
{
    Q_OBJECT
public:
    RetranslationData(const QString &unit, const QString &radio, const QString &partner, QObject *parent)
        : QObject(parent), unit(unit), radio(radio), partner(partner) {}
    QString unit, radio, partner;
};
