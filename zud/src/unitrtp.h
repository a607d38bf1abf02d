#pragma once

#include <QHostAddress>
#include <QObject>
#include <QUdpSocket>

// The least audio pair of a central unit: the port on which the unit's audio is received (named
// in the login) and the destination the login reply names. No sound is carried yet.
class RtpAudioSource : public QObject
{
    Q_OBJECT
public:
    explicit RtpAudioSource(QObject *parent = nullptr);
    quint16 port() const { return localPort; }

private:
    QUdpSocket socket;
    quint16 localPort;
};

class RtpAudioDestination : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    int play(const QString &address, const QString &port);
    int stop();
    bool isPlaying() const { return started; }

private:
    QHostAddress address;
    quint16 port = 0;
    bool started = false;
};
