#pragma once

#include "audiosource.h"

#include <QHostAddress>
#include <QUdpSocket>

// A central unit's audio: RTP datagrams of µ-law on a port of its own (49000 for the first unit
// made, 49001 for the second, ...), taken only from the unit's own address.
class RtpAudioSource : public AudioSource
{
    Q_OBJECT

public:
    RtpAudioSource(const QHostAddress &unitAddress, int rate, ALenum format, QObject *parent = nullptr);
    ~RtpAudioSource() override;

    // The port named to the unit in the login.
    quint16 port() const { return localPort; }
    // The unit moved: its audio comes from the new address from now on.
    void setUnitAddress(const QHostAddress &address) { unitAddress = address; }

private slots:
    void readPendingDatagrams();

private:
    QHostAddress unitAddress;
    QUdpSocket socket;
    quint16 localPort;
};
