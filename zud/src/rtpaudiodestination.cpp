#include "rtpaudiodestination.h"

#include "audiosource.h"

#include <QDebug>
#include <QUdpSocket>

#include <array>

namespace {

constexpr quint16 sendPort = 49100;
QUdpSocket *sharedSocket = nullptr;
int socketUsers = 0;

} // namespace

RtpAudioDestination::RtpAudioDestination(QObject *parent) : AudioDestination(parent)
{
    if (!sharedSocket) {
        qDebug() << "opening RTP socket";
        sharedSocket = new QUdpSocket;
        if (!sharedSocket->bind(QHostAddress::AnyIPv4, sendPort))
            qDebug() << "ERROR: cannot bind RTP port" << sendPort << ":" << sharedSocket->errorString();
    }
    ++socketUsers;
    connect(&streamTimer, &QTimer::timeout, this, &RtpAudioDestination::stream);
    streamTimer.start(10);
}

RtpAudioDestination::~RtpAudioDestination()
{
    streamTimer.stop();
    if (--socketUsers <= 0) {
        qDebug() << "closing RTP socket";
        sharedSocket->abort();
        delete sharedSocket;
        sharedSocket = nullptr;
        socketUsers = 0;
    }
}

int RtpAudioDestination::play(const QString &addressText, const QString &portText)
{
    bool ok = false;
    const uint value = portText.toUInt(&ok);
    if (!address.setAddress(addressText) || !ok || value == 0 || value > 65535) {
        qDebug() << "ERROR: rtp audio destination" << addressText << portText << "is no address and port";
        return -5;
    }
    port = quint16(value);
    qDebug() << "rtp audio destination" << address.toString() << port << "play!";
    return start();
}

void RtpAudioDestination::stream()
{
    if (!isPlaying() || buffer.size() < frameBytes || !sharedSocket)
        return;
    qsizetype sent = 0;
    while (buffer.size() - sent >= frameBytes) {
        // Version 2, payload type 0 (PCMU); sequence number, timestamp and SSRC stay 0.
        std::array<char, AudioSource::rtpHeaderSize + frameBytes> datagram{};
        datagram[0] = char(0x80);
        std::copy_n(buffer.constData() + sent, frameBytes, datagram.data() + AudioSource::rtpHeaderSize);
        sharedSocket->writeDatagram(datagram.data(), qint64(datagram.size()), address, port);
        sent += frameBytes;
    }
    buffer.remove(0, sent);
}
