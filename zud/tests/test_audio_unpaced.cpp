// The microphone read from ALSA's null device (with-audio alsa-null), whose capture is not paced:
// however much piles up while the event loop stalls, one read takes at most what the buffers hold.
#include "audio.h"
#include "audiodestination.h"

#include <QThread>
#include <QtTest>


class TestAudioUnpaced : public QObject
{
    Q_OBJECT

private slots:
    void readsStayWithinTheBuffers()
    {
        Audio engine;
        QCOMPARE(engine.openPlaybackDevice(QString()), 0);
        QCOMPARE(engine.openCaptureDevice(QString()), 0);

        QList<int> reads;
        connect(&engine, &Audio::uLawAudioReady, this, [&](unsigned char *bytes, int count) {
            reads << count;
            for (int i = 0; i < count; ++i)
                QCOMPARE(bytes[i], quint8(0xFF));
        });
        AudioDestination destination;
        QCOMPARE(destination.start(), 0);
        for (int stall = 0; stall < 3; ++stall) {
            QThread::msleep(700);
            QTest::qWait(100);
        }
        QCOMPARE(destination.stop(), 0);
        QVERIFY(!reads.isEmpty());
        // 16384 samples at 48000 Hz give 2731 at 8000 Hz at most (the resampler may hold one back).
        const int largest = *std::max_element(reads.begin(), reads.end());
        qDebug() << reads.size() << "reads, the largest" << largest << "samples";
        QVERIFY(largest <= 16384 / 6 + 1);
    }
};

QTEST_MAIN(TestAudioUnpaced)
#include "test_audio_unpaced.moc"
