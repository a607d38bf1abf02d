#include "audio.h"
#include "boxes.h"
#include "centralunit.h"
#include "centralunitmanager.h"
#include "confignode.h"
#include "connectionstreewidget.h"
#include "dial.h"
#include "logcapture.h"
#include "resource.h"
#include "simunit.h"
#include "users.h"
#include "zudmainwindow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>

#include <memory>

namespace {
const QString unitA = QStringLiteral("Unit A");
const QString unitB = QStringLiteral("Unit B");

QKeyEvent space(QEvent::Type type, bool autoRepeat)
{
    return QKeyEvent(type, Qt::Key_Space, Qt::NoModifier, " ", autoRepeat);
}
}

// The push-button panel, the double click and the dial pad of the main window against two
// simulated units.
class PanelTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void buttonStates_data();
    void buttonStates();
    void ownItemShowsUnitInfo();
    void radioSilence();
    void monitorToggle();
    void spaceHeldSendsOnePtt();
    void pttEndsAtTheUnitThatTalks();
    void talkEndsAfterSlowStart_data();
    void talkEndsAfterSlowStart();
    void spaceRepeatsUnmarked();
    void talkBegunAgainBeforeItsEndIsAnswered_data();
    void talkBegunAgainBeforeItsEndIsAnswered();
    void vox();
    void mute();
    void broadcasts();
    void doubleClick();
    void dialPadOnConnectedPabx();

private:
    CentralUnit *unit(const QString &name) const { return manager->findUnit(name); }
    QTreeWidgetItem *row(const QString &unitName, const QString &resource) const
    {
        return unit(unitName)->findResource(resource)->treeItem();
    }
    void select(QTreeWidgetItem *item)
    {
        tree()->clearSelection();
        if (item)
            item->setSelected(true);
    }
    ConnectionsTreeWidget *tree() const { return window->connectionsTree(); }
    template <typename T> T *widget(const char *name) const { return window->findChild<T *>(name); }
    // What each unit received since the last call.
    QStringList sent(SimUnit &sim, int &seen)
    {
        const QStringList all = sim.messages();
        const QStringList fresh = all.mid(seen);
        seen = int(all.size());
        return fresh;
    }
    QStringList sentA() { return sent(simA, seenA); }
    QStringList sentB() { return sent(simB, seenB); }
    // Lets replies and the console's follow-ups arrive.
    static void settle() { QTest::qWait(300); }

    QTemporaryDir dir;
    Audio audio;
    SimUnit simA{"127.0.0.2"};
    SimUnit simB{"127.0.0.3"};
    std::unique_ptr<CentralUnitManager> manager;
    ZudMainWindow *window = nullptr;
    int seenA = 0;
    int seenB = 0;
};

void PanelTest::initTestCase()
{
    QFile model(dir.filePath("model.json"));
    QVERIFY(model.open(QIODevice::WriteOnly));
    model.write(R"({"users": [{"kind": "user", "name": "Alice", "status": "free"},
                              {"kind": "user", "name": "ZUD Operator", "status": "free"},
                              {"kind": "radio", "name": "Radio1", "status": "free", "gain": 3},
                              {"kind": "pabx", "name": "PABX1", "status": "free"},
                              {"kind": "overlord", "name": "Chief", "status": "free"}]})");
    model.close();
    QVERIFY(simA.start({"--model", model.fileName()}));
    QVERIFY(simB.start({"--model", model.fileName()}));
    gOperatorName = QStringLiteral("ZUD Operator");
    window = new ZudMainWindow;
    gZudWindow = window;
    gConfig.set({"devices", unitA, "IP Address"})->value = "127.0.0.2";
    gConfig.set({"devices", unitB, "IP Address"})->value = "127.0.0.3";
    manager = std::make_unique<CentralUnitManager>();
    tree()->setUnitManager(manager.get());
    window->show();
    QTRY_VERIFY_WITH_TIMEOUT(unit(unitA)->findResource("Chief") && unit(unitB)->findResource("Chief"), eventBound);
    settle();
}

void PanelTest::cleanupTestCase()
{
    manager.reset();
    delete window;
    gZudWindow = nullptr;
}

void PanelTest::init()
{
    select(nullptr);
    settle();
    sentA();
    sentB();
}

void PanelTest::buttonStates_data()
{
    QTest::addColumn<QStringList>("states");
    QTest::addColumn<QStringList>("visible");
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("monitored");

    const QString gainText = "ig: 3 dB";
    QTest::newRow("gain buttons") << QStringList{"radio gain +", "-", "radio gain -", "-", "radio gain", "3"}
                                  << QStringList{"increaseRadioGainPushButton", "decreaseRadioGainPushButton", "radioGainLabel"}
                                  << gainText << false;
    QTest::newRow("accept and reject") << QStringList{"accept", "-", "reject", "-"}
                                       << QStringList{"acceptPushButton", "rejectPushButton"} << QString() << false;
    QTest::newRow("monitor 0") << QStringList{"monitor", "0"} << QStringList{"monitorPushButton"} << QString() << false;
    QTest::newRow("monitor 1") << QStringList{"monitor", "1"} << QStringList{"monitorPushButton"} << QString() << true;
    QTest::newRow("monitor 0 after 1") << QStringList{"monitor", "0"} << QStringList{"monitorPushButton"} << QString() << false;
    QTest::newRow("monitor without value") << QStringList{"monitor"} << QStringList{"monitorPushButton"} << QString() << false;
    QTest::newRow("gain without value") << QStringList{"radio gain"} << QStringList{"radioGainLabel"} << "ig:  dB" << false;
    QTest::newRow("words are whole entries") << QStringList{"Accept", "-", "radio gain ++", "1", "monitor 1"}
                                             << QStringList{} << QString() << false;
    QTest::newRow("empty") << QStringList{} << QStringList{} << QString() << false;
}

void PanelTest::buttonStates()
{
    QFETCH(QStringList, states);
    QFETCH(QStringList, visible);
    QFETCH(QString, label);
    QFETCH(bool, monitored);

    // A radio of unit A is selected: a refresh that sent anything would reach it.
    select(row(unitA, "Radio1"));
    LogCapture log;
    window->updateButtons(states);
    for (const char *name : {"acceptPushButton", "rejectPushButton", "monitorPushButton", "increaseRadioGainPushButton",
                             "decreaseRadioGainPushButton", "radioGainLabel"})
        QVERIFY2(widget<QWidget>(name)->isVisibleTo(window) == visible.contains(name), name);
    if (!label.isEmpty())
        QCOMPARE(widget<QLabel>("radioGainLabel")->text(), label);
    QCOMPARE(widget<QPushButton>("monitorPushButton")->isChecked(), monitored);
    if (log.contains("monitor toggled"))
        QVERIFY(log.contains("omitting"));
    settle();
    QCOMPARE(sentA(), QStringList{});
}

void PanelTest::ownItemShowsUnitInfo()
{
    select(row(unitA, "Radio1"));
    QCOMPARE(window->updateGui(), 0);
    QVERIFY(widget<QWidget>("monitorPushButton")->isVisibleTo(window));
    QCOMPARE(widget<QLabel>("radioGainLabel")->text(), QString("ig: 3 dB"));
    QVERIFY(!widget<QLabel>("infoLabel")->text().isEmpty());

    select(unit(unitA)->treeItem());
    QCOMPARE(window->updateGui(), 0);
    QCOMPARE(widget<QLabel>("infoLabel")->text(), unit(unitA)->infoText());
    QVERIFY(!widget<QWidget>("monitorPushButton")->isVisibleTo(window));
    QVERIFY(widget<QWidget>("radioSilencePushButton")->isEnabled());

    // Cleared: the resource buttons stay, radio silence and the single-unit broadcast go off.
    select(row(unitA, "Radio1"));
    select(nullptr);
    QCOMPARE(window->updateGui(), -400);
    QVERIFY(widget<QWidget>("monitorPushButton")->isVisibleTo(window));
    QVERIFY(!widget<QWidget>("radioSilencePushButton")->isEnabled());
    QVERIFY(!widget<QWidget>("broadcastToPushButton")->isEnabled());

    auto *stranger = new QTreeWidgetItem(tree(), QStringList{"Nobody"});
    select(stranger);
    QCOMPARE(window->updateGui(), -412);
    delete stranger;
    settle();
    QCOMPARE(sentA(), QStringList{});
}

void PanelTest::radioSilence()
{
    auto *silence = widget<QPushButton>("radioSilencePushButton");
    select(row(unitA, "Alice"));
    QVERIFY(silence->isEnabled() && !silence->isChecked());

    // The unit's report checks the button: nothing goes back.
    LogCapture log;
    QVERIFY(simA.control({{"do", "send"}, {"tokens", QJsonArray{"status", "radio silence", "on"}}}));
    QTRY_VERIFY(silence->isChecked());
    QVERIFY(log.contains("radio silence button press"));
    QVERIFY(log.contains("omitting"));
    settle();
    QCOMPARE(sentA(), QStringList{});

    // The operator's click goes to the selected item's unit.
    select(row(unitB, "Alice"));
    QVERIFY(!silence->isChecked());
    silence->click();
    settle();
    QCOMPARE(sentB(), QStringList{"radio silence|on"});
    QCOMPARE(sentA(), QStringList{});
    QVERIFY(simA.control({{"do", "send"}, {"tokens", QJsonArray{"status", "radio silence", "off"}}}));
    QVERIFY(simB.control({{"do", "send"}, {"tokens", QJsonArray{"status", "radio silence", "off"}}}));
    QTRY_VERIFY(!unit(unitA)->isRadioSilenceOn() && !unit(unitB)->isRadioSilenceOn());
}

void PanelTest::monitorToggle()
{
    select(row(unitA, "Radio1"));
    auto *monitor = widget<QPushButton>("monitorPushButton");
    QVERIFY(!monitor->isChecked());
    monitor->click();
    settle();
    QCOMPARE(sentA(), QStringList{"monitor|add|ZUD Operator|Radio1|always|0"});
    monitor->click();
    settle();
    QCOMPARE(sentA(), QStringList{"monitor|remove|ZUD Operator|Radio1|doesnt matter|0"});
    QCOMPARE(sentB(), QStringList{});
}

void PanelTest::spaceHeldSendsOnePtt()
{
    select(row(unitA, "Alice"));
    QObject *filter = window;
    auto press = space(QEvent::KeyPress, false);
    QVERIFY(QApplication::sendEvent(tree(), &press));
    QVERIFY(widget<QPushButton>("pttPushButton")->isDown());
    QElapsedTimer held;
    held.start();
    while (held.elapsed() < 2000) {
        auto repeatPress = space(QEvent::KeyPress, true);
        auto repeatRelease = space(QEvent::KeyRelease, true);
        // Auto-repeats go on to the tree untouched.
        QVERIFY(!filter->eventFilter(tree(), &repeatPress));
        QVERIFY(!filter->eventFilter(tree(), &repeatRelease));
        QTest::qWait(30);
    }
    auto release = space(QEvent::KeyRelease, false);
    QVERIFY(filter->eventFilter(tree(), &release));
    QTRY_VERIFY(!widget<QPushButton>("pttPushButton")->isDown());
    settle();
    QCOMPARE(sentA(), (QStringList{"ptt|on", "ptt|off"}));
    QCOMPARE(sentB(), QStringList{});
}

void PanelTest::pttEndsAtTheUnitThatTalks()
{
    auto *ptt = widget<QPushButton>("pttPushButton");
    select(row(unitA, "Alice"));
    QTest::mousePress(ptt, Qt::LeftButton);
    settle();
    select(row(unitB, "Alice"));
    QTest::mouseRelease(ptt, Qt::LeftButton);
    settle();
    QCOMPARE(sentA(), (QStringList{"ptt|on", "ptt|off"}));
    QCOMPARE(sentB(), QStringList{});

    // Pressed with nothing selected: nothing at press, nothing at release.
    select(nullptr);
    QTest::mousePress(ptt, Qt::LeftButton);
    select(row(unitB, "Alice"));
    QTest::mouseRelease(ptt, Qt::LeftButton);
    settle();
    QCOMPARE(sentA(), QStringList{});
    QCOMPARE(sentB(), QStringList{});
}

void PanelTest::talkEndsAfterSlowStart_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<bool>("refused");
    for (const char *source : {"space", "single-unit broadcast", "vox"}) {
        QTest::addRow("%s, start taken", source) << QString(source) << false;
        QTest::addRow("%s, start refused", source) << QString(source) << true;
    }
}

// A tap shorter than the unit takes to answer the start: the end follows the start's reply and
// leaves the unit off air; a start the unit refused is not ended.
void PanelTest::talkEndsAfterSlowStart()
{
    QFETCH(QString, source);
    QFETCH(bool, refused);
    const bool broadcast = source == "single-unit broadcast";
    const QString word = broadcast ? "broadcast" : "ptt";
    const QStringList start{word, broadcast ? "start" : "on"};
    const QStringList end{word, broadcast ? "end" : "off"};
    QVERIFY(simA.control({{"do", "delay"}, {"prefix", word}, {"ms", 300}}));
    if (refused)
        QVERIFY(simA.control({{"do", "script"}, {"prefix", start.join(' ')},
                              {"reply", QJsonArray{"error", broadcast ? "broadcast in progress" : "radio is busy"}}}));
    const auto restore = qScopeGuard([&] {
        simA.control({{"do", "delay"}, {"prefix", word}, {"ms", QJsonValue()}});
        simA.control({{"do", "script"}, {"prefix", start.join(' ')}, {"reply", QJsonValue()}});
    });
    auto *single = widget<QPushButton>("broadcastToPushButton");
    const auto talk = [&](bool on) {
        if (source == "space") {
            auto key = space(on ? QEvent::KeyPress : QEvent::KeyRelease, false);
            QApplication::sendEvent(tree(), &key);
        } else if (broadcast) {
            on ? QTest::mousePress(single, Qt::LeftButton) : QTest::mouseRelease(single, Qt::LeftButton);
        } else {
            emit audio.voxChange(on);
        }
    };

    select(row(unitA, "Alice"));
    QSignalSpy done(unit(unitA), &CentralUnit::programSucceeded);
    LogCapture log;
    talk(true);
    QTest::qWait(20);
    talk(false);
    // Released while the start's reply was still owed.
    QVERIFY(!log.contains("response from"));
    QVERIFY(done.wait(eventBound));
    settle();
    QStringList expected{start.join('|')};
    if (!refused)
        expected << end.join('|');
    QCOMPARE(sentA(), expected);
    QVERIFY(!simA.anyEarly());
    QCOMPARE(simA.onAir(), QStringList{});
    QCOMPARE(sentB(), QStringList{});
}

// X repeats a held Space as a release and a press at once, which Qt does not always mark as a
// repeat. Twenty holds against a unit that answers at once: one talk each, nothing refused as busy,
// no answer dropped.
void PanelTest::spaceRepeatsUnmarked()
{
    QVERIFY(simA.control({{"do", "delay"}, {"prefix", "ptt"}, {"ms", 0}}));
    const auto restore = qScopeGuard([&] { simA.control({{"do", "delay"}, {"prefix", "ptt"}, {"ms", QJsonValue()}}); });
    select(row(unitA, "Radio1"));
    QSignalSpy blocked(unit(unitA), &CentralUnit::blocked);
    QSignalSpy answered(unit(unitA), &CentralUnit::programSucceeded);
    BoxCollector boxes;
    LogCapture log;
    auto *ptt = widget<QPushButton>("pttPushButton");
    const auto send = [&](QEvent::Type type) {
        auto key = space(type, false);
        QVERIFY(QApplication::sendEvent(tree(), &key));
    };
    for (int hold = 0; hold < 20; ++hold) {
        send(QEvent::KeyPress);
        QTRY_COMPARE(answered.size(), 2 * hold + 1);
        for (int repeat = 0; repeat < 3; ++repeat) {
            send(QEvent::KeyRelease);
            send(QEvent::KeyPress);
            QVERIFY(ptt->isDown());
            // The pace of a key's repeat.
            QTest::qWait(40);
        }
        send(QEvent::KeyRelease);
        QTRY_COMPARE(answered.size(), 2 * hold + 2);
        QVERIFY(!ptt->isDown());
    }
    settle();
    QStringList expected;
    for (int hold = 0; hold < 20; ++hold)
        expected << "ptt|on" << "ptt|off";
    QCOMPARE(sentA(), expected);
    QCOMPARE(blocked.size(), 0);
    QCOMPARE(boxes.texts, QStringList{});
    QVERIFY2(!log.contains("dropped"), qPrintable(log.lines.join('\n')));
    QVERIFY(!simA.anyEarly());
    QCOMPARE(simA.onAir(), QStringList{});
}

void PanelTest::talkBegunAgainBeforeItsEndIsAnswered_data()
{
    QTest::addColumn<bool>("endSent");
    QTest::addColumn<QStringList>("expected");
    // The end waits behind the start's reply: taken back, the unit stays on air.
    QTest::newRow("end not yet sent") << false << QStringList{"ptt|on", "ptt|off"};
    // The end is out: the new start follows its reply.
    QTest::newRow("end in flight") << true << QStringList{"ptt|on", "ptt|off", "ptt|on", "ptt|off"};
}

// The voice switch opens again while the unit still owes the answer to the talk's own end: that is
// no other command keeping the unit busy.
void PanelTest::talkBegunAgainBeforeItsEndIsAnswered()
{
    QFETCH(bool, endSent);
    QFETCH(QStringList, expected);
    QVERIFY(simA.control({{"do", "delay"}, {"prefix", "ptt"}, {"ms", 300}}));
    const auto restore = qScopeGuard([&] { simA.control({{"do", "delay"}, {"prefix", "ptt"}, {"ms", QJsonValue()}}); });
    select(row(unitA, "Alice"));
    QSignalSpy blocked(unit(unitA), &CentralUnit::blocked);
    QSignalSpy done(unit(unitA), &CentralUnit::programSucceeded);
    BoxCollector boxes;
    emit audio.voxChange(true);
    if (endSent)
        QVERIFY(done.wait(eventBound));
    emit audio.voxChange(false);
    emit audio.voxChange(true);
    QTRY_VERIFY(done.size() == (endSent ? 2 : 1));
    emit audio.voxChange(false);
    QTRY_VERIFY(done.size() == (endSent ? 3 : 2));
    QCOMPARE(sentA(), expected);
    QCOMPARE(blocked.size(), 0);
    QCOMPARE(boxes.texts, QStringList{});
    QVERIFY(!simA.anyEarly());
    QCOMPARE(simA.onAir(), QStringList{});
}

void PanelTest::vox()
{
    auto *ptt = widget<QPushButton>("pttPushButton");
    // Nothing selected: the button follows, nothing is sent.
    emit audio.voxChange(true);
    QVERIFY(ptt->isDown());
    emit audio.voxChange(false);
    QVERIFY(!ptt->isDown());
    select(row(unitB, "Alice"));
    emit audio.voxChange(true);
    settle();
    select(row(unitA, "Alice"));
    emit audio.voxChange(false);
    settle();
    QCOMPARE(sentA(), QStringList{});
    QCOMPARE(sentB(), (QStringList{"ptt|on", "ptt|off"}));
}

void PanelTest::mute()
{
    auto *mute = widget<QPushButton>("mutePushButton");
    mute->click();
    QVERIFY(mute->isChecked());
    QCOMPARE(audio.mute(), -3);
    mute->click();
    QCOMPARE(audio.unmute(), -3);
    settle();
    QCOMPARE(sentA(), QStringList{});
}

void PanelTest::broadcasts()
{
    auto *general = widget<QPushButton>("broadcastPushButton");
    auto *single = widget<QPushButton>("broadcastToPushButton");

    // The single-unit broadcast ends at the unit that started it.
    select(row(unitA, "Alice"));
    QTest::mousePress(single, Qt::LeftButton);
    settle();
    select(row(unitB, "Alice"));
    QTest::mouseRelease(single, Qt::LeftButton);
    settle();
    QCOMPARE(sentA(), (QStringList{"broadcast|start", "broadcast|end"}));
    QCOMPARE(sentB(), QStringList{});

    // Another party's broadcast on unit B.
    QVERIFY(simB.control({{"do", "send"}, {"tokens", QJsonArray{"status", "broadcast", "start", "Chief"}}}));
    QTRY_VERIFY(unit(unitB)->isBroadcastInProgress());
    select(row(unitB, "Alice"));
    QVERIFY(!single->isEnabled());
    QVERIFY(general->isEnabled());
    select(row(unitA, "Alice"));
    QVERIFY(single->isEnabled());
    QVERIFY(simB.control({{"do", "send"}, {"tokens", QJsonArray{"status", "broadcast", "end", "Chief"}}}));
    QTRY_VERIFY(!unit(unitB)->isBroadcastInProgress());

    // The general broadcast reaches the connected unit only.
    simB.stop();
    QTRY_VERIFY_WITH_TIMEOUT(!unit(unitB)->isConnected(), eventBound);
    QTest::mousePress(general, Qt::LeftButton);
    settle();
    QTest::mouseRelease(general, Qt::LeftButton);
    settle();
    QCOMPARE(sentA(), (QStringList{"broadcast|start", "broadcast|end"}));
}

void PanelTest::doubleClick()
{
    BoxCollector boxes;
    const QMetaObject::Connection shown =
        QObject::connect(manager.get(), &CentralUnitManager::blocked, window, &ZudMainWindow::onCUBlocked);
    const auto restore = qScopeGuard([&] {
        QObject::disconnect(shown);
        simA.control({{"do", "hold"}, {"on", false}});
    });
    auto doubleClick = [this](QTreeWidgetItem *item) { emit tree()->itemDoubleClicked(item, 0); };

    doubleClick(row(unitA, "ZUD Operator"));
    QCOMPARE(boxes.texts, QStringList{"Error: Cannot connect to yourself!"});
    doubleClick(unit(unitA)->treeItem());
    settle();
    QCOMPARE(sentA(), QStringList{});

    doubleClick(row(unitA, "Alice"));
    settle();
    QCOMPARE(sentA(), QStringList{"connect|user|Alice"});

    // A unit still waiting for a reply refuses each further request with one box.
    QVERIFY(simA.control({{"do", "hold"}, {"on", true}}));
    select(row(unitA, "Radio1"));
    auto *monitor = widget<QPushButton>("monitorPushButton");
    monitor->click();
    settle();
    monitor->click();
    auto *general = widget<QPushButton>("broadcastPushButton");
    QTest::mousePress(general, Qt::LeftButton);
    QTest::mouseRelease(general, Qt::LeftButton);
    const QString blocked = "Warning: Central Unit Unit A is blocked";
    QTRY_COMPARE(boxes.texts.mid(1), (QStringList{blocked, blocked, blocked}));
    QVERIFY(simA.control({{"do", "hold"}, {"on", false}}));
    settle();
    QCOMPARE(sentA(), QStringList{"monitor|add|ZUD Operator|Radio1|always|0"});
    QCOMPARE(boxes.texts.size(), 4);
    unit(unitA)->treeItem()->setDisabled(false);
}

void PanelTest::dialPadOnConnectedPabx()
{
    auto *pabx = qobject_cast<Pabx *>(unit(unitA)->findResource("PABX1"));
    Dial *dial = pabx->dialPad();
    QVERIFY(!dial->isVisible());
    QCOMPARE(unit(unitA)->connectTo("PABX1"), 0);
    QTRY_VERIFY(dial->isVisible());
    QCOMPARE(dial->windowTitle(), QString("Dial Number"));
    settle();
    QCOMPARE(sentA(), QStringList{"connect|user|PABX1"});
    for (const char *key : {"btn_4", "btn_star", "btn_0"})
        QTest::mouseClick(dial->findChild<QPushButton *>(key), Qt::LeftButton);
    QTest::mouseClick(dial->findChild<QPushButton *>("ok"), Qt::LeftButton);
    QVERIFY(!dial->isVisible());
    settle();
    QCOMPARE(sentA(), QStringList{"digit|PABX1|4*0"});

    pabx->setStatus(StatusConnected);
    QVERIFY(dial->isVisible());
    QTest::mouseClick(dial->findChild<QPushButton *>("cancel"), Qt::LeftButton);
    QVERIFY(!dial->isVisible());
    settle();
    QCOMPARE(sentA(), QStringList{"disconnect|user|PABX1"});

    // No digits: the command still goes; an empty last token ends on the wire with the message.
    pabx->setStatus(StatusConnected);
    QTest::mouseClick(dial->findChild<QPushButton *>("ok"), Qt::LeftButton);
    settle();
    QCOMPARE(sentA(), QStringList{"digit|PABX1"});
}

QTEST_MAIN(PanelTest)
#include "test_panel.moc"
