// The RTP pair of a unit: what store does with each datagram, what the destination puts on the
// wire. Run under with-audio alsa-null; only playback is opened, so the engine's capture stays idle.
#include "audio.h"
#include "rtpaudiodestination.h"
#include "rtpaudiosource.h"
#include "waits.h"

#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QtTest>

#include <memory>

namespace {

const QHostAddress unitAddress("127.0.0.2");

QByteArray datagram(int length, char byte1 = 0, char payload = char(0xFF))
{
    QByteArray bytes(length, payload);
    bytes.replace(0, std::min(length, 12), QByteArray(std::min(length, 12), 0));
    if (length > 0)
        bytes[0] = char(0x80);
    if (length > 1)
        bytes[1] = byte1;
    return bytes;
}

} // namespace

class TestRtpAudio : public QObject
{
    Q_OBJECT

    std::unique_ptr<Audio> engine;

    static int filled(const AudioSource &source) { return source.bufferIndex; }
    static bool streaming(const AudioSource &source) { return source.streaming; }
    static int gainOf(const AudioSource &source) { return source.gain; }
    static ALint sourceValue(const AudioSource &source, ALenum what)
    {
        ALint value = 0;
        alGetSourcei(source.source, what, &value);
        return value;
    }
    static ALint bufferSize(const AudioSource &source, int index)
    {
        ALint value = 0;
        alGetBufferi(source.buffers[index], AL_SIZE, &value);
        return value;
    }

    // Sends datagrams to the source's port from an address of the test's loopback.
    static void sendFrom(const QHostAddress &from, quint16 port, const QList<QByteArray> &datagrams)
    {
        QUdpSocket sender;
        QVERIFY(sender.bind(from, 0));
        for (const QByteArray &bytes : datagrams)
            QCOMPARE(sender.writeDatagram(bytes, QHostAddress::LocalHost, port), qint64(bytes.size()));
    }

private slots:
    void initTestCase()
    {
        engine = std::make_unique<Audio>();
        QCOMPARE(engine->openPlaybackDevice(QString()), 0);
        QCOMPARE(engine->openPlaybackDevice(QString()), -3);
    }

    void cleanupTestCase()
    {
        engine.reset();
    }

    void portsCountUpFromTheFirstSourceMade()
    {
        RtpAudioSource first(unitAddress, 8000, AL_FORMAT_MONO16);
        RtpAudioSource second(unitAddress, 8000, AL_FORMAT_MONO16);
        QCOMPARE(first.port(), quint16(49000));
        QCOMPARE(second.port(), quint16(49001));
        RtpAudioSource third(unitAddress, 8000, AL_FORMAT_MONO16);
        QCOMPARE(third.port(), quint16(49002));
    }

    void store_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("buffersFilled");
        QTest::newRow("172 bytes, PCMU") << datagram(172) << 0 << 1;
        QTest::newRow("marker set") << datagram(172, char(0x80)) << -1231 << 0;
        QTest::newRow("payload type 8") << datagram(172, 8) << -1231 << 0;
        QTest::newRow("header only") << datagram(12) << 0 << 0;
        QTest::newRow("5 bytes") << datagram(5) << -5 << 0;
        QTest::newRow("1 byte") << datagram(1) << -5 << 0;
        QTest::newRow("4096 payload bytes") << datagram(12 + 4096) << 0 << 1;
        QTest::newRow("4097 payload bytes") << datagram(12 + 4097) << -5 << 0;
        QTest::newRow("5000 bytes") << datagram(5000) << -5 << 0;
    }

    void store()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, result);
        QFETCH(int, buffersFilled);
        AudioSource source(8000, AL_FORMAT_MONO16);
        QCOMPARE(source.store(bytes.constData(), int(bytes.size())), result);
        QCOMPARE(filled(source), buffersFilled);
        if (buffersFilled)
            QCOMPARE(bufferSize(source, 0), ALint((bytes.size() - 12) * 2));
    }

    void playsOnceTwelveDatagramsQueued()
    {
        AudioSource source(8000, AL_FORMAT_MONO16);
        const QByteArray bytes = datagram(172, 0, 0x10);
        for (int i = 0; i < 11; ++i)
            QCOMPARE(source.store(bytes.constData(), 172), 0);
        QVERIFY(!streaming(source));
        QCOMPARE(sourceValue(source, AL_SOURCE_STATE), ALint(AL_INITIAL));
        QCOMPARE(source.store(bytes.constData(), 172), 0);
        QVERIFY(streaming(source));
        QCOMPARE(sourceValue(source, AL_SOURCE_STATE), ALint(AL_PLAYING));
        QCOMPARE(sourceValue(source, AL_BUFFERS_QUEUED), ALint(12));
        for (int i = 0; i < 12; ++i)
            QCOMPARE(bufferSize(source, i), ALint(320));
        // Later datagrams only replace played buffers: the queue never grows.
        for (int i = 0; i < 50; ++i)
            QCOMPARE(source.store(bytes.constData(), 172), 0);
        QCOMPARE(sourceValue(source, AL_BUFFERS_QUEUED), ALint(12));
    }

    void setGain_data()
    {
        QTest::addColumn<float>("dB");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("gain");
        QTest::newRow("-9") << -9.0f << 0 << -9;
        QTest::newRow("9") << 9.0f << 0 << 9;
        QTest::newRow("-8.9 truncates") << -8.9f << 0 << -8;
        QTest::newRow("5.7 truncates") << 5.7f << 0 << 5;
        QTest::newRow("9.5 refused") << 9.5f << -5 << 3;
        QTest::newRow("-9.1 refused") << -9.1f << -5 << 3;
        QTest::newRow("30 refused") << 30.0f << -5 << 3;
    }

    void setGain()
    {
        QFETCH(float, dB);
        QFETCH(int, result);
        QFETCH(int, gain);
        AudioSource source(8000, AL_FORMAT_MONO16);
        QCOMPARE(source.setGain(3), 0);
        QCOMPARE(source.setGain(dB), result);
        QCOMPARE(gainOf(source), gain);
    }

    void takesDatagramsOnlyFromItsUnit()
    {
        RtpAudioSource source(unitAddress, 8000, AL_FORMAT_MONO16);
        QList<QByteArray> tone(12, datagram(172, 0, 0x20));
        sendFrom(QHostAddress("127.0.0.3"), source.port(), tone);
        sendFrom(unitAddress, source.port(), {datagram(5), datagram(5000), datagram(172, char(0x80))});
        QTest::qWait(200);
        QCOMPARE(filled(source), 0);
        sendFrom(unitAddress, source.port(), tone);
        QTRY_VERIFY(streaming(source));
        QCOMPARE(filled(source), 12);
    }

    void sendsWholeFramesFromPort49100()
    {
        QUdpSocket unit;
        QVERIFY(unit.bind(unitAddress, 5004));
        RtpAudioDestination destination;
        QCOMPARE(destination.stop(), -3);
        QCOMPARE(destination.play("127.0.0.2", "5004"), 0);
        QCOMPARE(destination.play("127.0.0.2", "5004"), -3);
        QVERIFY(destination.isPlaying());

        QByteArray audio(159, 0);
        for (int i = 0; i < audio.size(); ++i)
            audio[i] = char(i);
        destination.onAudio(reinterpret_cast<unsigned char *>(audio.data()), 159);
        QTest::qWait(50);
        QVERIFY(!unit.hasPendingDatagrams());

        // 159 + 161 = 320 bytes: two frames in one tick, in order.
        QByteArray more(161, 0);
        for (int i = 0; i < more.size(); ++i)
            more[i] = char(159 + i);
        destination.onAudio(reinterpret_cast<unsigned char *>(more.data()), 161);
        QList<QNetworkDatagram> received;
        QTRY_COMPARE_WITH_TIMEOUT((received.append(unit.hasPendingDatagrams() ? QList{unit.receiveDatagram()} : QList<QNetworkDatagram>{}), received.size()), 2, eventBound);
        QTest::qWait(50);
        QVERIFY(!unit.hasPendingDatagrams());
        for (int k = 0; k < 2; ++k) {
            const QByteArray bytes = received[k].data();
            QCOMPARE(bytes.size(), 172);
            QCOMPARE(received[k].senderPort(), 49100);
            QCOMPARE(bytes.left(12), QByteArray::fromHex("800000000000000000000000"));
            for (int i = 0; i < 160; ++i)
                QCOMPARE(quint8(bytes[12 + i]), quint8(160 * k + i));
        }

        QCOMPARE(destination.stop(), 0);
        QCOMPARE(destination.stop(), -3);
        destination.onAudio(reinterpret_cast<unsigned char *>(more.data()), 161);
        QTest::qWait(50);
        QVERIFY(!unit.hasPendingDatagrams());
    }

    void aPortAlreadyTakenIsLogged()
    {
        RtpAudioSource first(unitAddress, 8000, AL_FORMAT_MONO16);
        QUdpSocket taken, takenToo;
        QVERIFY(taken.bind(QHostAddress::AnyIPv4, first.port() + 1));
        QVERIFY(takenToo.bind(QHostAddress::AnyIPv4, 49100));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QString("^ERROR: cannot bind RTP port %1 ").arg(first.port() + 1)));
        RtpAudioSource second(unitAddress, 8000, AL_FORMAT_MONO16);
        QTest::ignoreMessage(QtDebugMsg, "opening RTP socket");
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^ERROR: cannot bind RTP port 49100 "));
        RtpAudioDestination destination;
        QTest::ignoreMessage(QtDebugMsg, "closing RTP socket");
    }

    void refusesAnAddressOrPortThatIsNone_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("port");
        QTest::newRow("port text") << "127.0.0.2" << "rtp";
        QTest::newRow("port 0") << "127.0.0.2" << "0";
        QTest::newRow("port 65536") << "127.0.0.2" << "65536";
        QTest::newRow("address") << "unit" << "5004";
    }

    void refusesAnAddressOrPortThatIsNone()
    {
        QFETCH(QString, address);
        QFETCH(QString, port);
        RtpAudioDestination destination;
        QCOMPARE(destination.play(address, port), -5);
        QVERIFY(!destination.isPlaying());
    }
};

QTEST_MAIN(TestRtpAudio)
#include "test_rtp_audio.moc"
