#pragma once

#include "audiodestination.h"

#include <QHostAddress>
#include <QTimer>

class QUdpSocket;

// Sends the microphone to a unit's RTP port as 20 ms datagrams of µ-law, from the one socket on
// port 49100 that all destinations share.
class RtpAudioDestination : public AudioDestination
{
    Q_OBJECT

public:
    static constexpr int frameBytes = 160;

    explicit RtpAudioDestination(QObject *parent = nullptr);
    ~RtpAudioDestination() override;

    // The unit's address and RTP port (decimal text) from the login reply; then start.
    int play(const QString &address, const QString &port);

private slots:
    void stream();

private:
    QTimer streamTimer;
    QHostAddress address;
    quint16 port = 0;
};
