#include "linkfixture.h"
#include "logcapture.h"

// How the link re-opens when the unit goes quiet, closes it or refuses it.
class KeepAliveTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { makeMainWindow(); }
    void silenceDropsAfterTtl();
    void unitClosingReconnectsAfterFiveSeconds();
    void refusedConnectionIsRetriedEveryFiveSeconds();
};

void KeepAliveTest::silenceDropsAfterTtl()
{
    SimUnit sim;
    QVERIFY(sim.start({"--alive", "0.25"}));
    auto unit = makeUnit();
    QSignalSpy done(unit.get(), &CentralUnit::programSucceeded);
    QVERIFY(done.wait(10000));
    // Alive reports keep it up beyond its ttl.
    QTest::qWait(3500);
    QVERIFY(unit->isConnected());

    QVERIFY(sim.control({{"do", "alive"}, {"interval", 0}}));
    QElapsedTimer quiet;
    quiet.start();
    QTRY_VERIFY_WITH_TIMEOUT(!unit->isConnected(), 5000);
    const qint64 droppedAt = quiet.elapsed();
    // With ttl 2 the third silent check drops it: 2 to 3 s after the last report.
    QVERIFY2(droppedAt >= 1700 && droppedAt <= 3300, qPrintable(QString::number(droppedAt)));
    QTRY_VERIFY_WITH_TIMEOUT(openTime(sim, 2) > 0, 5000);
    const qint64 reopenedAfter = quiet.elapsed() - droppedAt;
    QVERIFY2(reopenedAfter >= 1800 && reopenedAfter <= 2600, qPrintable(QString::number(reopenedAfter)));
}

void KeepAliveTest::unitClosingReconnectsAfterFiveSeconds()
{
    SimUnit sim;
    QVERIFY(sim.start());
    auto unit = makeUnit();
    QSignalSpy done(unit.get(), &CentralUnit::programSucceeded);
    QVERIFY(done.wait(10000));

    QVERIFY(sim.control({{"do", "close"}}));
    QTRY_VERIFY(!unit->isConnected());
    QElapsedTimer closed;
    closed.start();
    QCOMPARE(unit->treeItem()->toolTip(0), QString("connection refused"));
    QVERIFY(done.wait(8000));
    QVERIFY2(closed.elapsed() >= 4800 && closed.elapsed() <= 5800, qPrintable(QString::number(closed.elapsed())));
}

void KeepAliveTest::refusedConnectionIsRetriedEveryFiveSeconds()
{
    LogCapture log;
    // Nothing listens: every try is refused at once.
    auto unit = makeUnit();
    QList<qint64> tries;
    QElapsedTimer clock;
    clock.start();
    connect(unit.get()->findChild<QTcpSocket *>(), &QTcpSocket::stateChanged, this,
            [&](QAbstractSocket::SocketState state) {
                if (state == QAbstractSocket::ConnectingState)
                    tries.append(clock.elapsed());
            });
    QTRY_VERIFY_WITH_TIMEOUT(tries.size() >= 2, 12000);
    const qint64 gap = tries[1] - tries[0];
    QVERIFY2(gap >= 4800 && gap <= 5800, qPrintable(QString::number(gap)));
    QCOMPARE(unit->treeItem()->toolTip(0), QString("connection refused"));
}

QTEST_MAIN(KeepAliveTest)
#include "test_keepalive.moc"
