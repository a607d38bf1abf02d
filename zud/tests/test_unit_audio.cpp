// A unit's audio end to end beside its link (with-audio pulse, the simulated unit at 127.0.0.2):
// after the login the microphone streams to the RTP port that the unit named, the unit's own
// stream plays, and the microphone's stream stops with the link. The unit's RTP side is
// peers/rtp_unit.py, which decodes with audioop.
#include "audio.h"
#include "headlessaudio.h"
#include "linkfixture.h"
#include "rtppeer.h"

#include <QJsonArray>

#include <malloc.h>

namespace {

// Bytes of the heap in use, small blocks and mapped ones.
double heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks + info.hblkhd);
}
} // namespace

class UnitAudioTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<HeadlessAudio> devices;
    std::unique_ptr<Audio> engine;
    QTemporaryDir dir;

    // The simulated unit, naming 5004 as its RTP port in the login reply, and a console unit
    // logged in to it with its start-up program done; null when either failed.
    std::unique_ptr<CentralUnit> loggedInUnit(SimUnit &sim)
    {
        QFile model(dir.filePath("model.json"));
        if (!model.open(QIODevice::WriteOnly) || model.write(R"({"rtp port": 5004})") <= 0)
            return nullptr;
        model.close();
        if (!sim.start({"--model", model.fileName()}))
            return nullptr;
        auto unit = makeUnit();
        QSignalSpy done(unit.get(), &CentralUnit::programSucceeded);
        return done.wait(eventBound) ? std::move(unit) : nullptr;
    }

private slots:
    void initTestCase()
    {
        devices = std::make_unique<HeadlessAudio>();
        engine = std::make_unique<Audio>();
        QCOMPARE(engine->openPlaybackDevice(QString()), 0);
        QCOMPARE(engine->openCaptureDevice(QString()), 0);
        makeMainWindow();
    }

    void cleanupTestCase()
    {
        engine.reset();
        devices.reset();
    }

    void microphoneStreamsFromTheLoginToTheClose()
    {
        devices->setMicrophone(1000, 8000);
        SimUnit sim;
        auto unit = loggedInUnit(sim);
        QVERIFY(unit);

        // Five seconds: a burst of audio that a busy machine held back is small against them.
        const QJsonObject heard = runRtpPeer({"listen", "--bind", "127.0.0.2:5004", "--seconds", "5"});
        QCOMPARE(heard["sizes"].toArray(), QJsonArray{172});
        QCOMPARE(heard["headers"].toArray(), QJsonArray{"800000000000000000000000"});
        QCOMPARE(heard["ports"].toArray(), QJsonArray{49100});
        QVERIFY2(qAbs(heard["rate"].toDouble() - 50) < 5, qPrintable(QString::number(heard["rate"].toDouble())));
        QVERIFY2(qAbs(heard["frequency"].toDouble() - 1000) <= 20,
                 qPrintable(QString::number(heard["frequency"].toDouble())));

        QVERIFY(sim.control({{"do", "close"}}));
        QTRY_VERIFY(!unit->isConnected());
        QCOMPARE(runRtpPeer({"listen", "--bind", "127.0.0.2:5004", "--seconds", "0.5"})["count"].toInt(), 0);
    }

    // Every link stops the microphone at its drop and starts it at its login: the console keeps
    // nothing of a link past its drop. (With ALSA's null device OpenAL's own capture stop keeps
    // the whole of the device's buffer, which grows with every stop; PulseAudio keeps nothing.)
    void linkDropsKeepNothing()
    {
        devices->setMicrophone(1000, 8000);
        SimUnit sim;
        auto unit = loggedInUnit(sim);
        QVERIFY(unit);
        QSignalSpy done(unit.get(), &CentralUnit::programSucceeded);
        const double first = heapInUse();
        for (int drop = 1; drop <= 10; ++drop) {
            QCOMPARE(unit->closeConnection(true), 0);
            QVERIFY(done.wait(eventBound));
        }
        QTest::qWait(500);
        const double last = heapInUse();
        qInfo("heap in use after the first login %.1f MB, after ten link drops %.1f MB", first / 1e6, last / 1e6);
        QVERIFY2(last < first * 1.2, qPrintable(QString("%1 MB, then %2 MB").arg(first / 1e6).arg(last / 1e6)));
    }

    void unitStreamPlaysOnlyFromTheUnit()
    {
        SimUnit sim;
        auto unit = loggedInUnit(sim);
        QVERIFY(unit);
        const QString console = QString("127.0.0.1:%1").arg(unit->rtpPort());

        // A stranger's tone, and the unit's datagrams that carry no playable audio: nothing plays.
        devices->startRecording();
        runRtpPeer({"send", "--source", "127.0.0.3", "--to", console, "--count", "30"});
        for (const char *kind : {"short", "oversized", "marker", "pt8"})
            runRtpPeer({"send", "--source", "127.0.0.2", "--to", console, "--kind", kind, "--count", "15"});
        QTest::qWait(300);
        QCOMPARE(peakOf(devices->stopRecording()), 0);

        devices->startRecording();
        runRtpPeer({"send", "--source", "127.0.0.2", "--to", console, "--count", "100"});
        QTest::qWait(400);
        const QVector<qint16> played = devices->stopRecording();
        QVERIFY2(peakOf(played) > 4000, qPrintable(QString::number(peakOf(played))));
        const double frequency = dominantFrequency(played, 8000);
        QVERIFY2(qAbs(frequency - 1000) <= 20, qPrintable(QString::number(frequency)));
    }
};

QTEST_MAIN(UnitAudioTest)
#include "test_unit_audio.moc"
