#include "alarm.h"
#include "conference.h"
#include "gps.h"
#include "ktxabstract.h"
#include "linkfixture.h"
#include "logcapture.h"
#include "radio.h"
#include "radiocontrolwidget.h"
#include "route.h"

#include <functional>

namespace {
QJsonArray json(const QStringList &tokens)
{
    return QJsonArray::fromStringList(tokens);
}

const QString modelPath = QStringLiteral(ZUD_TEST_DATA_DIR "/startup_model.json");
}

// What the unit says, against the simulated unit and its model.
class RepliesTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init() { gOperatorName = "ZUD Operator"; }
    void startupFillsTheTree();
    void statusReports();
    void errorReplies();
    void robustness();
    void loginRefusalsRetry_data();
    void loginRefusalsRetry();
    void loginRtpPort_data();
    void loginRtpPort();
    void linkLossEmptiesThePicture();

private:
    template <typename T = Resource> T *find(const QString &name) { return qobject_cast<T *>(unit->findResource(name)); }
    bool send(const QStringList &tokens) { return sim.control({{"do", "send"}, {"tokens", json(tokens)}}); }
    // Runs one command through the program and waits for its reply to be handled.
    bool run(const Operation &command)
    {
        QSignalSpy done(unit.get(), &CentralUnit::programSucceeded);
        return unit->appendToProgram({command}) == 0 && done.wait(eventBound);
    }

    SimUnit sim;
    std::unique_ptr<CentralUnit> unit;
    QStringList startupMessages;
};

void RepliesTest::initTestCase()
{
    makeMainWindow();
    QVERIFY(sim.start({"--model", modelPath, "--password", "pw1"}));
    unit = makeUnit();
    QSignalSpy done(unit.get(), &CentralUnit::programSucceeded);
    QVERIFY(done.wait(eventBound));
    startupMessages = sim.messages();
}

void RepliesTest::cleanupTestCase()
{
    unit.reset();
}

void RepliesTest::startupFillsTheTree()
{
    QStringList expected = startupCommands(unit->rtpPort());
    for (const char *user : {"Alice", "Bob", "Carol", "Radio1", "Radio2", "Radio3", "Field1", "PABX1", "Speaker1", "Chief"}) {
        const QString name(user);
        if (name.startsWith("Radio"))
            expected << "info|rebroadcast|" + name << "gain|get|" + name;
        else if (name == "Bob" || name == "Carol")
            expected << "info|user|" + name;
        expected << "info|monitors|" + name;
    }
    expected << "info|conference|Ops" << "info|monitors|Ops";
    QCOMPARE(startupMessages, expected);
    QVERIFY(!sim.anyEarly());

    for (const char *name : {"Alice", "Bob", "Carol", "Radio1", "Radio2", "Radio3", "Field1", "PABX1", "Speaker1", "Chief",
                             "Ops", "Maint", "coordinates"})
        QVERIFY2(unit->findResource(name), name);
    QVERIFY(!unit->findResource("HQ"));
    QCOMPARE(unit->resources().size(), 13);
    QCOMPARE(unit->overlord(), unit->findResource("Chief"));
    QVERIFY(find("Bob")->isBusy() && find("Carol")->isBusy() && !find("Alice")->isBusy());
    QCOMPARE(find("Bob")->connections(), (QMap<QString, QString>{{"Carol", "user"}}));

    QStringList endpoints;
    for (Resource *endpoint : unit->endpoints())
        endpoints << endpoint->name();
    QCOMPARE(endpoints, (QStringList{"EP-A", "EP-B", "EP-C"}));
    QCOMPARE(unit->routeList().size(), 1);
    QVERIFY(unit->findRoute("EP-B", "EP-A")->isEstablished());

    QCOMPARE(find<Conference>("Ops")->participantList(), QStringList{"Carol"});
    QVERIFY(find<Radio>("Radio1")->hasRetransmission("Radio2"));
    QVERIFY(find<Radio>("Radio2")->hasRetransmission("Radio1"));
    QVERIFY(!find<Radio>("Radio3")->isRetransmitting());
    QCOMPARE(find<Radio>("Radio2")->inputGain(), -3);
    QVERIFY(find("Radio2")->treeItem()->toolTip(0).startsWith("Input gain: -3 dB\n"));
    QVERIFY(find("Alice")->hasMonitorSource("Bob"));

    QCOMPARE(unit->infoText(), QString("system:\n - name: Sim CU\n - date: 2026-01-01\n - software version: 5.1"
                                       "\n - software date: 2025-12-01\n - hardware version: 1.2"
                                       "\n\nmonitors:\n - Alice : \n     Bob : Always"
                                       "\n\nretransmission sessions:\n - Radio1 : \n     Radio2\n - Radio2 : \n     Radio1"));
}

void RepliesTest::statusReports()
{
    struct Case
    {
        const char *what;
        std::function<void()> before;
        QList<QStringList> reports;
        std::function<bool()> holds;
        QString logLine;
    };
    LogCapture log;
    const auto status = [this](const QString &name) { return find(name)->status(); };
    const auto column1 = [this](const QString &name) { return find(name)->treeItem()->text(1); };
    const auto setStatus = [this](const QString &name, int s) { return [=, this] { find(name)->setStatus(s); }; };

    const QList<Case> cases{
        {"call", {}, {{"status", "user", "Alice", "call"}}, [&] { return status("Alice") == 4; }, {}},
        {"end call", {}, {{"status", "user", "Alice", "end call"}}, [&] { return status("Alice") == 0; }, {}},
        {"call through a new conference", {}, {{"status", "user", "Alice", "call", "Conf9"}},
         [&] { auto *c = find<Conference>("Conf9"); return c && c->status() == 4 && c->caller() == "Alice" && status("Alice") == 0; }, {}},
        {"a participant of a conference that went", [&] { find<Conference>("Conf9")->addParticipant("Alice"); unit->removeResource("Conf9"); },
         {{"status", "user", "Alice", "free"}}, [&] { return !find("Conf9"); },
         "conferences of \"Alice\" @ \"Unit 127.0.0.2\" : joined QList() left QList()"},
        {"connecting", {}, {{"status", "user", "Alice", "connecting"}}, [&] { return status("Alice") == 3; }, {}},
        {"canceled", {}, {{"status", "user", "Alice", "canceled"}},
         [&] { return status("Alice") == 0 && column1("Alice") == "canceled"; }, {}},
        {"accepted while free", {}, {{"status", "user", "Alice", "accepted"}}, [&] { return status("Alice") == 0; },
         "ERROR: \"Alice\" @ \"Unit 127.0.0.2\" accepted connection but its status was \"free\""},
        {"accepted", setStatus("Alice", 1), {{"status", "user", "Alice", "accepted"}}, [&] { return status("Alice") == 7; }, {}},
        {"disconnected", {}, {{"status", "user", "Alice", "disconnected"}}, [&] { return status("Alice") == 0; }, {}},
        {"disconnected while free", {}, {{"status", "user", "Alice", "disconnected"}}, [] { return true; },
         "tried to disconnect but its status was \"free\""},
        {"rejected", setStatus("Alice", 1), {{"status", "user", "Alice", "rejected"}},
         [&] { return status("Alice") == 0 && column1("Alice") == "rejected"; }, {}},
        {"rejected while free", {}, {{"status", "user", "Alice", "rejected"}}, [] { return true; },
         "rejected connection but its status was \"free\""},
        {"canceled while free", {}, {{"status", "user", "Alice", "canceled"}}, [] { return true; },
         "canceled connection but its status was \"free\""},
        {"end call while free", {}, {{"status", "user", "Alice", "end call"}}, [] { return true; },
         "ended call but its status was \"free\""},
        {"busy with its pairs", {}, {{"status", "user", "Bob", "busy", "user", "Alice", "conference", "Maint"}},
         [&] { return find("Bob")->connections() == QMap<QString, QString>{{"Alice", "user"}, {"Maint", "conference"}}
                   && find<Conference>("Maint")->hasParticipant("Bob"); }, {}},
        {"busy in another conference", {}, {{"status", "user", "Bob", "busy", "conference", "Ops"}},
         [&] { return !find<Conference>("Maint")->hasParticipant("Bob")
                   && find<Conference>("Ops")->participantList() == QStringList{"Carol", "Bob"}; },
         "conferences of \"Bob\" @ \"Unit 127.0.0.2\" : joined QList(\"Ops\") left QList(\"Maint\")"},
        {"free", {}, {{"status", "user", "Bob", "free"}},
         [&] { return !find("Bob")->isBusy() && find("Bob")->connections().isEmpty() && !find<Conference>("Ops")->hasParticipant("Bob")
                   && find<Conference>("Ops")->hasParticipant("Carol"); },
         "conferences of \"Bob\" @ \"Unit 127.0.0.2\" : joined QList() left QList(\"Ops\")"},
        {"emerged", {}, {{"status", "user", "Dave", "emerged", "speaker"}}, [&] { return find("Dave") && find("Dave")->typeName() == "speaker"; }, {}},
        {"vanished", {}, {{"status", "user", "Dave", "vanished"}}, [&] { return !find("Dave"); }, {}},
        {"emerged without a type", {}, {{"status", "user", "Eve", "emerged"}}, [] { return true; }, "ERROR: user does not exist \"Eve\""},
        {"call rejected without a conference on demand", {}, {{"status", "user", "Alice", "call rejected"}}, [] { return true; },
         "ERROR: no resource \"dC~ZUD Operator\" \"Alice\""},
        {"monitor added, 6 tokens", {}, {{"status", "monitor", "added", "Carol", "Bob", "Always"}},
         [&] { return !find("Carol")->hasMonitorSources(); }, "manage monitor status \"added\" \"Carol\""},
        {"monitor added, 7 tokens", {}, {{"status", "monitor", "added", "Carol", "Bob", "When busy", "3"}},
         [&] { return find("Carol")->monitorSourceSettings("Bob") == MonitorSettings{"When busy", "3"} && find("Bob")->isMonitoredBy("Carol"); }, {}},
        {"monitor removed", {}, {{"status", "monitor", "removed", "Carol", "Bob"}},
         [&] { return !find("Carol")->hasMonitorSources() && !find("Bob")->isMonitoredBy("Carol"); }, {}},
        {"broadcast by the operator", {}, {{"status", "broadcast", "start", "ZUD Operator"}}, [] { return true; }, "omitting myself"},
        {"broadcast start", {}, {{"status", "broadcast", "start", "Chief"}},
         [&] { return find("Chief")->isBroadcasting() && unit->isBroadcastInProgress() && find("Alice")->treeItem()->isDisabled(); }, {}},
        {"broadcast end", {}, {{"status", "broadcast", "end", "Chief"}},
         [&] { return !find("Chief")->isBroadcasting() && !find("Alice")->treeItem()->isDisabled(); }, {}},
        {"radio silence on twice", {}, {{"status", "radio silence", "on"}, {"status", "radio silence", "on"}},
         [&] { return unit->isRadioSilenceOn(); }, "WARNING: radio silence already was on!"},
        {"radio silence off", {}, {{"status", "radio silence", "off"}}, [&] { return !unit->isRadioSilenceOn(); }, {}},
        {"alarm on", {}, {{"status", "alarm", "on", "12", "door open"}}, [&] { return unit->findAlarm("12", "door open"); }, "added alarm"},
        {"alarm on again", {}, {{"status", "alarm", "on", "12", "door open"}}, [&] { return unit->alarmList().size() == 1; }, "ERROR: alarm exists"},
        {"alarm off, other text", {}, {{"status", "alarm", "off", "12", "window"}}, [&] { return unit->alarmList().size() == 1; },
         "ERROR: alarm does not exist"},
        {"alarm off", {}, {{"status", "alarm", "off", "12", "door open"}}, [&] { return unit->alarmList().isEmpty(); }, {}},
        {"alarm without a text on and off", {}, {{"status", "alarm", "on", "13"}, {"status", "alarm", "off", "13"}},
         [&] { return unit->alarmList().isEmpty(); }, "added alarm \"13\""},
        {"gps A", {}, {{"status", "gps", "123456", "0.2", "-0.5", "100", "7", "A"}}, [&] { return column1("coordinates") == "valid"; }, {}},
        {"gps V", {}, {{"status", "gps", "123456", "0.2", "-0.5", "100", "7", "V"}}, [&] { return column1("coordinates") == "invalid"; }, {}},
        {"gps X", {}, {{"status", "gps", "123456", "0.2", "-0.5", "100", "7", "X"}}, [&] { return column1("coordinates") == "incorrect"; }, {}},
        {"route added", {}, {{"status", "route", "added", "EP-C", "EP-A"}}, [&] { return unit->findRoute("EP-A", "EP-C"); }, {}},
        {"route established", {}, {{"status", "route", "established", "EP-A", "EP-C"}},
         [&] { return unit->findRoute("EP-A", "EP-C")->isEstablished(); }, {}},
        {"route dismantled", {}, {{"status", "route", "dismantled", "EP-C", "EP-A"}},
         [&] { return !unit->findRoute("EP-A", "EP-C")->isEstablished(); }, {}},
        {"route removed", {}, {{"status", "route", "removed", "EP-A", "EP-C"}}, [&] { return !unit->findRoute("EP-A", "EP-C"); }, {}},
        {"route unknown", {}, {{"status", "route", "established", "EP-X", "EP-A"}}, [] { return true; }, "no route between"},
        {"radio transmitting", {}, {{"status", "radio", "Radio1", "transmitting", "start"}}, [&] { return find<Radio>("Radio1")->isTransmitting(); }, {}},
        {"radio receiving", {}, {{"status", "radio", "Radio1", "receiving", "start"}}, [&] { return find<Radio>("Radio1")->isReceiving(); }, {}},
        {"radio input gain", {}, {{"status", "radio", "Radio1", "input gain", "-7"}}, [&] { return find<Radio>("Radio1")->inputGain() == -7; }, {}},
        {"radio input gain too large", {}, {{"status", "radio", "Radio1", "input gain", "99999999999"}},
         [&] { return find<Radio>("Radio1")->inputGain() == 0; }, {}},
        {"endpoint emerged", {}, {{"status", "endpoint", "emerged", "EP-0"}}, [&] { return unit->endpoints().first()->name() == "EP-0"; }, {}},
        {"ktx to the handset", [&] { unit->startRemoteControl("Radio1"); },
         {{"status", "radio", "Radio1", "ktx", "62", "x"},
          {"status", "radio", "Radio1", "ktx", "62", "56", "AAIAAAAAAAAAAAEAAAAAAAAAAAAAAAAAAAAAAAAAAABvOnxjOk1lbnUA"}},
         [&] {
             const auto windows = unit->remoteControls();
             return windows.size() == 1 && windows[0]->currentWindow()->type == KtxMainWindow;
         }, {}},
        {"too few tokens", {}, {{"status", "user", "Alice"}, {"status", "gps", "1", "2"}, {"status", "monitor", "added", "Alice"}},
         [] { return true; }, "status message dropped"},
    };
    for (const Case &c : cases) {
        log.clear();
        if (c.before)
            c.before();
        for (const QStringList &report : c.reports)
            QVERIFY(send(report));
        QVERIFY(send({"status", "alive", "--end of case--"}));
        QTRY_VERIFY2(log.contains("--end of case--"), c.what);
        QVERIFY2(c.holds(), c.what);
        if (!c.logLine.isEmpty())
            QVERIFY2(log.contains(c.logLine), qPrintable(QString(c.what) + ": " + log.lines.filter("ERROR").join('\n')));
        // After every status message the tree is sorted by its hidden column 3.
        QTreeWidgetItem *row = unit->treeItem();
        for (int i = 1; i < row->childCount(); ++i)
            QVERIFY2(row->child(i - 1)->text(3) <= row->child(i)->text(3), c.what);
    }
    QVERIFY(unit->isConnected());
}

void RepliesTest::errorReplies()
{
    LogCapture log;
    QVERIFY(sim.control({{"do", "script"}, {"prefix", "info user Alice"}, {"reply", json({"error", "no such user"})}}));
    QVERIFY(run({"info", "user", "Alice"}));
    QVERIFY(!unit->findResource("Alice"));

    QVERIFY(sim.control({{"do", "script"}, {"prefix", "radio silence on"}, {"reply", json({"error", "radio silence is already on"})}}));
    QVERIFY(run({"radio silence", "on"}));
    QVERIFY(unit->isRadioSilenceOn());
    // Radios show the silent base image: its top rows carry no bullets.
    const QImage shown = find("Radio3")->treeItem()->icon(0).pixmap(16).toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(shown.copy(0, 0, 16, 10),
             QImage(":/icons/images/radio_free_but_silent.png").convertToFormat(QImage::Format_ARGB32).copy(0, 0, 16, 10));

    QVERIFY(sim.control({{"do", "script"}, {"prefix", "frobnicate"}, {"reply", json({"error", "what"})}}));
    QVERIFY(run({"frobnicate"}));
    QVERIFY(log.contains("error message dropped @ \"Unit 127.0.0.2\" !"));

    QVERIFY(run({"gain", "set", "-6", "output"}));
    QCOMPARE(unit->outputGain(), -6);
}

void RepliesTest::robustness()
{
    LogCapture log;
    QVERIFY(send({"bogus"}));
    QVERIFY(send({"ok", "stray"}));
    QVERIFY(sim.control({{"do", "raw"}, {"hex", QString(QByteArray("status\0us", 9).toHex())}}));
    QTest::qWait(100);
    QVERIFY(sim.control({{"do", "raw"}, {"hex", QString(QByteArray("er\0Carol\0\0", 10).toHex())}}));
    QTRY_VERIFY(log.contains("status message dropped"));
    QVERIFY(unit->isConnected());
    QVERIFY(run({"list", "endpoints"}));
}

void RepliesTest::loginRefusalsRetry_data()
{
    QTest::addColumn<QString>("refusal");
    QTest::newRow("wrong password") << "wrong password";
    QTest::newRow("not logged in") << "not logged in";
    QTest::newRow("user already logged in") << "user already logged in";
}

void RepliesTest::loginRefusalsRetry()
{
    QFETCH(QString, refusal);
    SimUnit refusing("127.0.0.3");
    QVERIFY(refusing.start());
    QVERIFY(refusing.control({{"do", "script"}, {"prefix", "login"}, {"reply", json({"error", refusal})}}));
    auto other = makeUnit("127.0.0.3");
    QTRY_VERIFY_WITH_TIMEOUT(openTime(refusing, 3) > 0, eventBound);
    const double gap1 = openTime(refusing, 2) - openTime(refusing, 1);
    const double gap2 = openTime(refusing, 3) - openTime(refusing, 2);
    QVERIFY2(gap1 > 1.9 && gap1 < 2.6 && gap2 > 1.9 && gap2 < 2.6, qPrintable(QString("%1 %2").arg(gap1).arg(gap2)));
    // Each connection got only the login.
    QCOMPARE(refusing.messages().filter("list|").size(), 0);
}

void RepliesTest::loginRtpPort_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("used");
    QTest::newRow("4000") << "4000" << true;
    QTest::newRow("0") << "0" << false;
    QTest::newRow("70000") << "70000" << false;
    QTest::newRow("x") << "x" << false;
    QTest::newRow("wrong rtp port") << "" << false;
}

void RepliesTest::loginRtpPort()
{
    QFETCH(QString, port);
    QFETCH(bool, used);
    SimUnit other("127.0.0.4");
    QVERIFY(other.start());
    const QJsonArray reply = port.isEmpty() ? json({"error", "wrong rtp port"}) : json({"ok", port});
    QVERIFY(other.control({{"do", "script"}, {"prefix", "login"}, {"reply", reply}}));
    LogCapture log;
    auto unit4 = makeUnit("127.0.0.4");
    QSignalSpy done(unit4.get(), &CentralUnit::programSucceeded);
    QVERIFY(done.wait(eventBound));
    QCOMPARE(log.contains("rtp audio destination \"127.0.0.4\" " + port), used);
    QCOMPARE(log.contains("ERROR: unusable RTP port"), !used && !port.isEmpty());
    // The link stays and the start-up program runs on.
    QVERIFY(unit4->isConnected());
    QCOMPARE(other.messages().value(1), QString("list|users"));
}

void RepliesTest::linkLossEmptiesThePicture()
{
    QVERIFY(send({"status", "alarm", "on", "3", "smoke"}));
    QTRY_COMPARE(unit->alarmList().size(), 1);
    QCOMPARE(unit->closeConnection(false), 0);
    QVERIFY(unit->resources().isEmpty() && unit->endpoints().isEmpty() && unit->routeList().isEmpty()
            && unit->alarmList().isEmpty());
    QCOMPARE(unit->treeItem()->childCount(), 2);
    QVERIFY(unit->routeBranch()->treeItem()->isHidden() && unit->alarmBranch()->treeItem()->isHidden());

    // The next link lists them again, each once.
    QCOMPARE(unit->openConnection(), 0);
    QSignalSpy done(unit.get(), &CentralUnit::programSucceeded);
    QVERIFY(done.wait(eventBound));
    QCOMPARE(unit->endpoints().size(), 3);
    QCOMPARE(unit->routeList().size(), 1);
    QVERIFY(unit->findResource("Radio2"));
}

QTEST_MAIN(RepliesTest)
#include "test_replies.moc"
