#include "rtpaudiosource.h"

#include "audio.h"

#include <QDebug>
#include <QNetworkDatagram>

namespace {

// Counts the sources ever made: a port is never handed out twice.
int rtpSourcesMade = 0;

} // namespace

RtpAudioSource::RtpAudioSource(const QHostAddress &unitAddress, int rate, ALenum format, QObject *parent)
    : AudioSource(rate, format, parent), unitAddress(unitAddress), localPort(quint16(49000 + rtpSourcesMade++))
{
    if (!socket.bind(QHostAddress::AnyIPv4, localPort))
        qDebug() << "ERROR: cannot bind RTP port" << localPort << ":" << socket.errorString();
    connect(&socket, &QUdpSocket::readyRead, this, &RtpAudioSource::readPendingDatagrams);
    if (Audio *engine = Audio::instance())
        engine->addSource();
}

RtpAudioSource::~RtpAudioSource()
{
    if (Audio *engine = Audio::instance())
        engine->removeSource();
}

void RtpAudioSource::readPendingDatagrams()
{
    while (socket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket.receiveDatagram();
        if (!datagram.senderAddress().isEqual(unitAddress, QHostAddress::ConvertV4MappedToIPv4)) {
            qDebug() << "WARNING: RTP datagram from" << datagram.senderAddress().toString()
                     << "dropped, the unit is" << unitAddress.toString();
            continue;
        }
        const QByteArray bytes = datagram.data();
        if (store(bytes.constData(), int(bytes.size())) == -5)
            qDebug() << "WARNING: RTP datagram of" << bytes.size() << "bytes dropped";
    }
}
