#include "unitrtp.h"

#include <QDebug>

// Units get 49000, 49001, ... in the order they are made; a port is never handed out twice.
static int rtpSourcesMade = 0;

RtpAudioSource::RtpAudioSource(QObject *parent)
    : QObject(parent), localPort(quint16(49000 + rtpSourcesMade++))
{
    if (!socket.bind(QHostAddress::AnyIPv4, localPort))
        qDebug() << "ERROR: cannot bind RTP port" << localPort << ":" << socket.errorString();
}

int RtpAudioDestination::play(const QString &addressText, const QString &portText)
{
    address = QHostAddress(addressText);
    port = quint16(portText.toUInt());
    qDebug() << "rtp audio destination" << address.toString() << port << "play!";
    if (started)
        return -3;
    started = true;
    return 0;
}

int RtpAudioDestination::stop()
{
    if (!started)
        return -3;
    started = false;
    return 0;
}
