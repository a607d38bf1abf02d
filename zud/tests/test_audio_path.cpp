// The audio path end to end on a private PulseAudio daemon (with-audio pulse): the microphone (a
// pipe source the test feeds) reaches a unit's RTP port as µ-law, a unit's RTP stream reaches the speaker (a null sink
// the test records), and the engine measures the level. The unit's side is a Python peer that
// decodes with audioop.
#include "audio.h"
#include "confignode.h"
#include "headlessaudio.h"
#include "rtpaudiodestination.h"
#include "rtppeer.h"
#include "waits.h"
#include "rtpaudiosource.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonArray>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

QJsonObject listenAtUnit(double seconds)
{
    return runRtpPeer({"listen", "--bind", "127.0.0.2:5004", "--seconds", QString::number(seconds)});
}

} // namespace

class TestAudioPath : public QObject
{
    Q_OBJECT

    std::unique_ptr<HeadlessAudio> devices;
    std::unique_ptr<Audio> engine;

private slots:
    void initTestCase()
    {
        devices = std::make_unique<HeadlessAudio>();
        engine = std::make_unique<Audio>();
        QCOMPARE(engine->openPlaybackDevice(QString()), 0);
        QCOMPARE(engine->openCaptureDevice(QString()), 0);
        QCOMPARE(engine->openCaptureDevice(QString()), -3);
    }

    void cleanupTestCase()
    {
        engine.reset();
        devices.reset();
    }

    void microphoneReachesTheUnitAsRtp()
    {
        devices->setMicrophone(1000, 8000);
        RtpAudioDestination destination;
        QCOMPARE(destination.play("127.0.0.2", "5004"), 0);
        QTest::qWait(300);
        // Five seconds: a burst of audio that a busy machine held back is small against them.
        const QJsonObject heard = listenAtUnit(5.0);
        QCOMPARE(heard["sizes"].toArray(), QJsonArray{172});
        QCOMPARE(heard["headers"].toArray(), QJsonArray{"800000000000000000000000"});
        QCOMPARE(heard["ports"].toArray(), QJsonArray{49100});
        QVERIFY2(qAbs(heard["rate"].toDouble() - 50) < 5, qPrintable(QString::number(heard["rate"].toDouble())));
        QVERIFY2(qAbs(heard["frequency"].toDouble() - 1000) <= 20, qPrintable(QString::number(heard["frequency"].toDouble())));

        // The link closes: nothing more goes out.
        QCOMPARE(destination.stop(), 0);
        QCOMPARE(listenAtUnit(0.5)["count"].toInt(), 0);
    }

    void mutedMicrophoneSendsSilence()
    {
        devices->setMicrophone(1000, 8000);
        QCOMPARE(engine->mute(), 0);
        QCOMPARE(engine->mute(), -3);
        RtpAudioDestination destination;
        QCOMPARE(destination.play("127.0.0.2", "5004"), 0);
        const QJsonObject heard = listenAtUnit(1.0);
        QVERIFY(heard["count"].toInt() >= 40);
        QVERIFY(heard["silent"].toBool());
        QCOMPARE(engine->unmute(), 0);
        QCOMPARE(engine->unmute(), -3);
        QTest::qWait(200);
        QVERIFY(!listenAtUnit(0.5)["silent"].toBool());
    }

    void silenceIsMeasuredAtTheFloor()
    {
        devices->setMicrophone(0, 0);
        RtpAudioDestination destination;
        QCOMPARE(destination.play("127.0.0.2", "5004"), 0);
        QTest::qWait(500);
        QSignalSpy levels(engine.get(), &Audio::rmsPowerChange);
        QVERIFY(levels.wait(eventBound) && levels.wait(eventBound));
        for (const QList<QVariant> &report : levels) {
            QCOMPARE(report[0].toDouble(), -80.0);
            QCOMPARE(report[1].toDouble(), -80.0);
        }
    }

    void levelIsReportedOncePerSixReadsWithSamples()
    {
        devices->setMicrophone(440, 3000);
        QString order;
        QList<double> means, peaks;
        const auto reads = connect(engine.get(), &Audio::uLawAudioReady, this, [&](unsigned char *, int) { order += 'u'; });
        const auto reports = connect(engine.get(), &Audio::rmsPowerChange, this, [&](double mean, double peak) {
            order += 'r';
            means << mean;
            peaks << peak;
        });
        RtpAudioDestination destination;
        QCOMPARE(destination.play("127.0.0.2", "5004"), 0);
        QTest::qWait(1500);
        disconnect(reads);
        disconnect(reports);
        // The first report may close a count begun earlier; from then on, six reads apart.
        const QStringList between = order.split('r');
        QVERIFY2(between.size() >= 8, qPrintable(order));
        for (int i = 1; i < between.size() - 1; ++i)
            QCOMPARE(between[i], QString("uuuuuu"));
        // A steady 440 Hz at 3000 steps: 20 log10(3000 / 10000) = -10.5 dB, the mean at most the peak.
        for (int i = 2; i < peaks.size(); ++i) {
            QVERIFY2(qAbs(peaks[i] - -10.46) < 0.2, qPrintable(QString::number(peaks[i])));
            QVERIFY(means[i] <= peaks[i]);
        }
    }

    void voxSwitchesAboveTheThresholdAndOffAfterTheHold()
    {
        // A constant of 1000 steps, and its level worked out as the engine does: the threshold.
        const int steady = 1000;
        const double level = 20.0 * std::log10(double(float(steady / (1.0 * 0x8000))) / 0.30517578);
        gConfig.set({"system", "audio", "vox level"})->value = QString::number(level, 'g', 17);
        gConfig.remove({"system", "audio", "vox timeout"});
        devices->setMicrophone(0, 0);
        RtpAudioDestination destination;
        QCOMPARE(destination.play("127.0.0.2", "5004"), 0);
        QTest::qWait(800);

        // Reads whose every sample is silence, in a row, until VOX goes off.
        int silentRun = 0, lastRead = 0, runAtOff = -1, lastReadAtOff = 0;
        const auto reads = connect(engine.get(), &Audio::uLawAudioReady, this, [&](unsigned char *bytes, int count) {
            lastRead = count;
            silentRun = std::all_of(bytes, bytes + count, [](unsigned char b) { return b == 0xFF; }) ? silentRun + count : 0;
        });
        QSignalSpy vox(engine.get(), &Audio::voxChange);
        const auto off = connect(engine.get(), &Audio::voxChange, this, [&](bool on) {
            if (!on) {
                runAtOff = silentRun;
                lastReadAtOff = lastRead;
            }
        });

        devices->setMicrophone(0, steady);
        QTest::qWait(800);
        QCOMPARE(vox.count(), 0);
        devices->setMicrophone(0, steady + 1);
        QTRY_COMPARE(vox.count(), 1);
        QCOMPARE(vox[0][0].toBool(), true);
        devices->setMicrophone(0, 0);
        QTRY_COMPARE(vox.count(), 2);
        QCOMPARE(vox[1][0].toBool(), false);
        disconnect(reads);
        disconnect(off);
        // The default hold of 100 is 1600 samples: off in the read that reaches them.
        QVERIFY2(runAtOff >= 1600 && runAtOff - lastReadAtOff < 1600,
                 qPrintable(QString("%1 %2").arg(runAtOff).arg(lastReadAtOff)));
        gConfig.remove({"system", "audio", "vox level"});
    }

    void unitStreamReachesTheSpeaker()
    {
        RtpAudioSource source(QHostAddress("127.0.0.2"), 8000, AL_FORMAT_MONO16);
        devices->startRecording();
        runRtpPeer({"send", "--source", "127.0.0.2", "--to", QString("127.0.0.1:%1").arg(source.port()), "--count", "100"});
        QTest::qWait(400);
        const QVector<qint16> heard = devices->stopRecording();
        QVERIFY2(peakOf(heard) > 4000, qPrintable(QString::number(peakOf(heard))));
        const double frequency = dominantFrequency(heard, 8000);
        QVERIFY2(qAbs(frequency - 1000) <= 20, qPrintable(QString::number(frequency)));
    }

    void streamWithTheMarkerPlaysNothing()
    {
        RtpAudioSource source(QHostAddress("127.0.0.2"), 8000, AL_FORMAT_MONO16);
        devices->startRecording();
        runRtpPeer({"send", "--source", "127.0.0.2", "--to", QString("127.0.0.1:%1").arg(source.port()),
                 "--kind", "marker", "--count", "50"});
        QTest::qWait(300);
        const QVector<qint16> heard = devices->stopRecording();
        QVERIFY(heard.size() > 4000);
        QCOMPARE(peakOf(heard), 0);
    }
};

QTEST_MAIN(TestAudioPath)
#include "test_audio_path.moc"
