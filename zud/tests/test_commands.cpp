#include "alarm.h"
#include "centralunitmanager.h"
#include "conference.h"
#include "dial.h"
#include "linkfixture.h"
#include "logcapture.h"
#include "newunitdialog.h"
#include "radio.h"
#include "radiosettings.h"
#include "route.h"
#include "users.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>

#include <functional>

// A check on the text of a row's menu that shows the whole text when it fails.
#define MENU_VERIFY(name, op, part)                                                                                    \
    do {                                                                                                               \
        const QString menuShown = menuText(name);                                                                      \
        QVERIFY2(menuShown.op(part), qPrintable(menuShown));                                                           \
    } while (false)

namespace {
const QString unitName = QStringLiteral("CU");

// A menu as text: entries by their text, "-" for a separator, sub-menus as "Title>[...]", and a
// disabled entry or sub-menu marked with a leading "!".
QString describe(const QMenu *menu)
{
    QStringList parts;
    for (QAction *action : menu->actions()) {
        QString part = action->isSeparator() ? "-" : action->text();
        if (action->menu())
            part += ">[" + describe(action->menu()) + "]";
        if (!action->isEnabled())
            part.prepend('!');
        parts << part;
    }
    return parts.join(", ");
}

// The entry at a path of texts through the sub-menus.
QAction *entry(const QMenu *menu, const QStringList &path)
{
    for (QAction *action : menu->actions()) {
        if (action->text() != path.first())
            continue;
        if (path.size() == 1)
            return action;
        return action->menu() ? entry(action->menu(), path.mid(1)) : nullptr;
    }
    return nullptr;
}

// Runs `fill` on the next modal dialog or message box and accepts it.
void answerNextDialog(std::function<void(QWidget *)> fill)
{
    QTimer::singleShot(100, [fill] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog)
            return;
        fill(dialog);
        if (auto *box = qobject_cast<QMessageBox *>(dialog))
            box->button(QMessageBox::Ok)->click();
        else if (auto *buttons = dialog->findChild<QDialogButtonBox *>())
            buttons->button(QDialogButtonBox::Ok)->click();
    });
}
}

// The operator's commands and the tree's menus, against the simulated unit and its model.
class CommandsTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void builders();
    void busyUnit();
    void talkEndsBehindOtherCommands();
    void queuedDuringStartup();
    void defaultAction();
    void unansweredCallIsRejected();
    void unitMenu();
    void resourceMenus();
    void dialogEntries();
    void dialPad();
    void loneRadio();
    void broadcastToAllUnits();

private:
    CentralUnit *unit() const { return manager->findUnit(unitName); }
    template <typename T = Resource> T *find(const QString &name) const { return qobject_cast<T *>(unit()->findResource(name)); }
    ConnectionsTreeWidget *tree() const { return gZudWindow->connectionsTree(); }
    // The messages the unit received since the last call.
    QStringList sent()
    {
        const QStringList all = sim.messages();
        const QStringList fresh = all.mid(seen);
        seen = int(all.size());
        return fresh;
    }
    // The messages the unit received since the last call once `count` have come, and a moment
    // more for any that should not come.
    QStringList sentAfter(int count)
    {
        // Short of them, the comparison shows what came.
        [[maybe_unused]] const bool came =
            QTest::qWaitFor([&] { return sim.messages().size() >= seen + count; }, eventBound);
        QTest::qWait(300);
        return sent();
    }
    bool waitIdle() { return QTest::qWaitFor([this] { return !unit()->checkIfBusyAndInformIfSo(); }, eventBound); }
    bool send(const QStringList &tokens) { return sim.control({{"do", "send"}, {"tokens", QJsonArray::fromStringList(tokens)}}); }
    bool hold(bool on) { return sim.control({{"do", "hold"}, {"on", on}}); }
    std::unique_ptr<QMenu> menuFor(QTreeWidgetItem *row) { return std::unique_ptr<QMenu>(tree()->buildContextMenu(row)); }

    SimUnit sim;
    std::unique_ptr<CentralUnitManager> manager;
    int seen = 0;
};

void CommandsTest::initTestCase()
{
    makeMainWindow();
    QVERIFY(sim.start({"--model", ZUD_TEST_DATA_DIR "/startup_model.json", "--password", "pw1"}));
    gConfig.set({"devices", unitName, "IP Address"})->value = "127.0.0.2";
    gConfig.set({"devices", unitName, "password"})->value = "pw1";
    manager = std::make_unique<CentralUnitManager>();
    tree()->setUnitManager(manager.get());
    QSignalSpy done(unit(), &CentralUnit::programSucceeded);
    QVERIFY(done.wait(eventBound));
    sent();
}

void CommandsTest::cleanupTestCase()
{
    manager.reset();
}

void CommandsTest::init()
{
    gOperatorName = "ZUD Operator";
    QVERIFY(waitIdle());
    sent();
}

void CommandsTest::builders()
{
    CentralUnit *cu = unit();
    saveRadioConnectionSettings("Radio1", unitName, {"0", "shared", "-1", "0"});

    // Reconnecting: only the disconnect goes out before its reply.
    QVERIFY(hold(true));
    QCOMPARE(cu->reconnectTo("Radio1"), 0);
    QCOMPARE(sentAfter(1), QStringList{"disconnect|radio|Radio1"});
    QVERIFY(hold(false));
    QVERIFY(waitIdle());
    QCOMPARE(sent(), QStringList{"connect|radio|Radio1|shared|-1|0"});

    find<Conference>("Ops")->setCaller("Alice");
    struct Case
    {
        const char *what;
        std::function<int()> build;
        int code;
        QStringList tokens;
    };
    const QList<Case> cases{
        {"conference call reject", [=] { return cu->callReject("Ops"); }, 0, {"call reject|user|Alice|Ops"}},
        {"user call reject", [=] { return cu->callReject("Alice"); }, 0, {"call reject|user|Alice"}},
        {"call reject, no such resource", [=] { return cu->callReject("Nobody"); }, -400, {}},
        {"answer a conference", [=] { return cu->answerCall("Ops"); }, 0, {"connect|conference|Ops"}},
        {"answer a user", [=] { return cu->answerCall("Alice"); }, 0, {"connect|user|Alice"}},
        {"call a field phone", [=] { return cu->call("Field1"); }, 0, {"call|user|Field1"}},
        {"connect a speaker", [=] { return cu->connectTo("Speaker1"); }, 0, {"connect|user|Speaker1"}},
        {"conference on demand, nobody", [=] { return cu->startConferenceOnDemand("dC~ZUD Operator", {}); }, 0,
         {"connect|conference|dC~ZUD Operator|create"}},
        {"disconnect the conference on demand", [=] { return cu->disconnectFrom("dC~ZUD Operator"); }, 0,
         {"disconnect|conference|dC~ZUD Operator|destroy"}},
        {"conference on demand with users", [=] { return cu->startConferenceOnDemand("dC~X", {"Alice", "Bob"}); }, 0,
         {"connect|conference|dC~X|create", "add|user|Alice|dC~X", "add|user|Bob|dC~X"}},
        {"disconnect a static conference", [=] { return cu->disconnectFrom("Ops"); }, 0, {"disconnect|conference|Ops"}},
        {"connect remotely", [=] { return cu->connectRemotely("Alice", "Radio1", {"shared", "-1", "0"}); }, 0,
         {"connect|radio|Radio1|shared|-1|0|Alice"}},
        {"disconnect remotely", [=] { return cu->disconnectRemotely("Alice", "Radio1"); }, 0, {"disconnect|radio|Radio1|Alice"}},
        {"gain 33", [=] { return cu->setAudioGain(33); }, -5, {}},
        {"gain -33", [=] { return cu->setAudioGain(-33); }, -5, {}},
        {"gain -32", [=] { return cu->setAudioGain(-32); }, 0, {"gain|set|-32|output"}},
        {"gain 30", [=] { return cu->setAudioGain(30); }, 0, {"gain|set|30|output"}},
        {"a step up from 30", [=] { return cu->increaseAudioGain(); }, -5, {}},
        {"a step down from 30", [=] { return cu->decreaseAudioGain(); }, 0, {"gain|set|27|output"}},
        {"gain 32", [=] { return cu->setAudioGain(32); }, 0, {"gain|set|32|output"}},
        {"radio input gain up", [=] { return cu->increaseRadioInputGain("Radio2"); }, 0, {"gain|set|-2|input|Radio2"}},
        {"radio input gain down", [=] { return cu->decreaseRadioInputGain("Radio2"); }, 0, {"gain|set|-4|input|Radio2"}},
        {"DTMF", [=] { return cu->sendDtmfDigits("PABX1", "12#"); }, 0, {"digit|PABX1|12#"}},
        {"monitor", [=] { return cu->setMonitor("Bob", "Alice", "when busy"); }, 0, {"monitor|add|Alice|Bob|when busy|0"}},
        {"route", [=] { return cu->setRoute("EP-A", "EP-C"); }, 0, {"route|add|EP-A|EP-C"}},
        {"radio silence", [=] { return cu->setRadioSilence(false); }, 0, {"radio silence|off"}},
        {"push to talk", [=] { return cu->setPtt(true); }, 0, {"ptt|on"}},
        {"broadcast", [=] { return cu->startBroadcast(); }, 0, {"broadcast|start"}},
    };
    for (const Case &c : cases) {
        QCOMPARE(c.build(), c.code);
        QVERIFY2(waitIdle(), c.what);
        QTest::qWait(50);
        QVERIFY2(sent() == c.tokens, c.what);
    }
    // The accepted gains are kept in zud.conf.
    QCOMPARE(loadAudioGain(unitName), QString("32"));

    // Cancelling an alarm takes it away before the unit answers.
    QVERIFY(send({"status", "alarm", "on", "12", "door"}));
    QTRY_COMPARE(cu->alarmList().size(), 1);
    QVERIFY(hold(true));
    QCOMPARE(cu->cancelAlarm(cu->alarmList().first()), 0);
    QVERIFY(cu->alarmList().isEmpty());
    QVERIFY(hold(false));
    QVERIFY(waitIdle());
    QCOMPARE(sent(), QStringList{"alarm|off|12"});
}

void CommandsTest::busyUnit()
{
    CentralUnit *cu = unit();
    QSignalSpy blocked(cu, &CentralUnit::blocked);
    QVERIFY(hold(true));
    QCOMPARE(cu->connectTo("Alice"), 0);
    QCOMPARE(cu->call("Bob"), -2);
    QCOMPARE(cu->call("Nobody"), -2);
    QCOMPARE(cu->defaultAction(find("Bob")->treeItem()), -2);
    QVERIFY(cu->treeItem()->isDisabled());
    QCOMPARE(blocked.size(), 3);
    QCOMPARE(blocked.first().first().toString(), unitName);
    // Radio input gain and digits still queue behind the program.
    QCOMPARE(cu->setRadioInputGain("Radio1", 4), 0);
    QCOMPARE(cu->sendDtmfDigits("PABX1", "5"), 0);
    QCOMPARE(sentAfter(1), QStringList{"connect|user|Alice"});
    QVERIFY(hold(false));
    QVERIFY(waitIdle());
    QVERIFY(!cu->treeItem()->isDisabled());
    QCOMPARE(sent(), (QStringList{"gain|set|4|input|Radio1", "digit|PABX1|5"}));
    QCOMPARE(cu->disconnectFrom("Alice"), 0);
}

void CommandsTest::talkEndsBehindOtherCommands()
{
    CentralUnit *cu = unit();
    QCOMPARE(cu->setPtt(true), 0);
    QCOMPARE(cu->startBroadcast(), -2);
    QVERIFY(waitIdle());
    QCOMPARE(cu->startBroadcast(), 0);
    QVERIFY(waitIdle());
    // The ends of talks begun here wait behind a command in flight; other commands stay refused.
    QVERIFY(hold(true));
    QCOMPARE(cu->connectTo("Alice"), 0);
    QCOMPARE(cu->setPtt(false), 0);
    QCOMPARE(cu->endBroadcast(), 0);
    QCOMPARE(cu->setRadioSilence(true), -2);
    QCOMPARE(sentAfter(3), (QStringList{"ptt|on", "broadcast|start", "connect|user|Alice"}));
    QVERIFY(hold(false));
    QVERIFY(waitIdle());
    QCOMPARE(sent(), (QStringList{"ptt|off", "broadcast|end"}));
    QCOMPARE(sim.onAir(), QStringList{});
    // An end with no start of ours keeps the busy rule.
    QVERIFY(hold(true));
    QCOMPARE(cu->disconnectFrom("Alice"), 0);
    QCOMPARE(cu->setPtt(false), -2);
    QCOMPARE(cu->endBroadcast(), -2);
    QVERIFY(hold(false));
    QVERIFY(waitIdle());
    QCOMPARE(sent(), QStringList{"disconnect|user|Alice"});
    cu->treeItem()->setDisabled(false);
}

void CommandsTest::queuedDuringStartup()
{
    SimUnit slow("127.0.0.3");
    QVERIFY(slow.start({"--reply-delay", "100"}));
    auto other = makeUnit("127.0.0.3");
    QTRY_VERIFY(!slow.messages().isEmpty());
    QCOMPARE(other->sendDtmfDigits("coordinates", "1"), 0);
    QSignalSpy done(other.get(), &CentralUnit::programSucceeded);
    QVERIFY(done.wait(eventBound));
    QCOMPARE(slow.messages(), startupCommands(other->rtpPort()) + QStringList{"digit|coordinates|1"});
    QVERIFY(!slow.anyEarly());
}

void CommandsTest::defaultAction()
{
    CentralUnit *cu = unit();
    struct Case
    {
        QString name;
        int status;
        int code;
        QStringList tokens;
    };
    const QList<Case> cases{
        {"Alice", StatusFree, 0, {"connect|user|Alice"}},
        {"Alice", StatusTrying, 0, {"cancel|Alice"}},
        {"Alice", StatusCalling, 0, {"accept|Alice"}},
        {"Alice", StatusIncomingCall, 0, {"connect|user|Alice"}},
        {"Alice", StatusIgnored, 0, {"connect|user|Alice"}},
        {"Alice", StatusConnected, 0, {"disconnect|user|Alice"}},
        {"Alice", 9, -405, {}},
        {"Maint", StatusFree, 0, {"connect|conference|Maint"}},
        {"coordinates", StatusFree, -411, {}},
    };
    for (const Case &c : cases) {
        find(c.name)->setStatus(c.status);
        QCOMPARE(cu->defaultAction(find(c.name)->treeItem()), c.code);
        QVERIFY(waitIdle());
        QTest::qWait(50);
        QCOMPARE(sent(), c.tokens);
    }
    find("Alice")->setStatus(StatusFree);
    // A conference the operator takes part in is left.
    find<Conference>("Maint")->addParticipant(gOperatorName);
    QCOMPARE(cu->defaultAction(find("Maint")->treeItem()), 0);
    QVERIFY(waitIdle());
    QCOMPARE(sent(), QStringList{"disconnect|conference|Maint"});
    QCOMPARE(cu->defaultAction(cu->routeList().first()->treeItem()), -411);
    QCOMPARE(cu->defaultAction(nullptr), -1);
    QCOMPARE(cu->defaultAction(cu->treeItem()), -400);
    QVERIFY(send({"status", "alarm", "on", "7", "fire"}));
    QTRY_COMPARE(cu->alarmList().size(), 1);
    QCOMPARE(cu->defaultAction(cu->alarmList().first()->treeItem()), 0);
    QVERIFY(cu->alarmList().isEmpty());
    QVERIFY(waitIdle());
    QCOMPARE(sent(), QStringList{"alarm|off|7"});

    // The main window's double-click runs the same action.
    emit tree()->itemDoubleClicked(find("Alice")->treeItem(), 0);
    QVERIFY(waitIdle());
    QCOMPARE(sent(), QStringList{"connect|user|Alice"});
    find("Alice")->setStatus(StatusFree);
}

void CommandsTest::unansweredCallIsRejected()
{
    gConfig.set({"system", "call timeout"})->value = "300";
    QVERIFY(send({"status", "user", "Bob", "connecting"}));
    QTRY_COMPARE(find("Bob")->status(), int(StatusCalling));
    QTRY_VERIFY_WITH_TIMEOUT(sim.messages().contains("reject|Bob"), eventBound);
    QVERIFY(waitIdle());
    QCOMPARE(sent(), QStringList{"reject|Bob"});
    gConfig.remove({"system", "call timeout"});
}

void CommandsTest::unitMenu()
{
    CentralUnit *cu = unit();
    QVERIFY(waitIdle());
    QCOMPARE(cu->setAudioGain(6), 0);
    QVERIFY(waitIdle());
    QCOMPARE(cu->outputGain(), 6);
    // Another console's conference on demand is on the unit.
    QVERIFY(describe(menuFor(cu->treeItem()).get()).startsWith("!Create conference, "));
    QCOMPARE(cu->stopConferenceOnDemand("dC~X"), 0);
    QVERIFY(waitIdle());
    QVERIFY(!find("dC~X"));
    sent();
    auto menu = menuFor(cu->treeItem());
    QCOMPARE(describe(menu.get()),
             QString("Create conference, Disconnect CU, Add Central Unit, Remove CU, -, Audio gain for CU>["
                     "15 dB, 12 dB, 9 dB, 6 dB <, 3 dB, 0 dB, -3 dB, -6 dB, -9 dB, -12 dB, -15 dB]"));
    entry(menu.get(), {"Audio gain for CU", "-3 dB"})->trigger();
    QVERIFY(waitIdle());
    QCOMPARE(sent(), QStringList{"gain|set|-3|output"});

    QCOMPARE(cu->setAudioGain(20), 0);
    QVERIFY(waitIdle());
    QVERIFY(!describe(menuFor(cu->treeItem()).get()).contains('<'));

    // A refused command disables the row: only "Add Central Unit" is offered.
    QVERIFY(hold(true));
    QCOMPARE(cu->connectTo("Alice"), 0);
    QCOMPARE(cu->connectTo("Bob"), -2);
    QCOMPARE(describe(menuFor(cu->treeItem()).get()), QString("Add Central Unit, -"));
    QCOMPARE(describe(menuFor(find("Bob")->treeItem()).get()), QString("Add Central Unit, -"));
    QCOMPARE(describe(menuFor(nullptr).get()), QString("Add Central Unit, -"));
    QVERIFY(hold(false));
    QVERIFY(waitIdle());
    QCOMPARE(cu->disconnectFrom("Alice"), 0);
    QVERIFY(waitIdle());
    sent();
}

void CommandsTest::resourceMenus()
{
    CentralUnit *cu = unit();
    const auto menuText = [&](const QString &name) { return describe(menuFor(find(name)->treeItem()).get()); };

    // Conferences by state.
    MENU_VERIFY("Maint", startsWith, "Join, -, Monitor Maint>[Always], Call conference, !Remove, !Invite>[], !Kick out>[], -, ");
    find<Conference>("Maint")->setStatus(StatusIncomingCall);
    MENU_VERIFY("Maint", startsWith, "Accept, Reject, -");
    find<Conference>("Maint")->setStatus(StatusFree);
    find<Conference>("Maint")->addParticipant(gOperatorName);
    MENU_VERIFY("Maint", startsWith, "Leave, -");
    find<Conference>("Maint")->removeParticipant(gOperatorName);

    QCOMPARE(cu->startConferenceOnDemand("dC~ZUD Operator", {}), 0);
    QVERIFY(waitIdle());
    auto *own = find<DynamicConference>("dC~ZUD Operator");
    QVERIFY(own);
    own->addParticipant(gOperatorName);
    MENU_VERIFY("dC~ZUD Operator", startsWith, "Leave and remove, -, Monitor dC~ZUD Operator>[Always], !Call conference, Remove, "
                                                   "Invite>[Alice, Bob, Carol], !Kick out>[], -");
    own->addParticipant("Bob");
    MENU_VERIFY("dC~ZUD Operator", startsWith, "Leave, -");
    own->addInvited("Carol");
    MENU_VERIFY("Alice", endsWith, "Invite to dC~ZUD Operator, -, !Create conference, Disconnect CU, Add Central Unit, "
                                       "Remove CU, -, Audio gain for CU>[15 dB, 12 dB, 9 dB, 6 dB, 3 dB, 0 dB, -3 dB, -6 dB, "
                                       "-9 dB, -12 dB, -15 dB]");
    MENU_VERIFY("Bob", contains, "Kick out from dC~ZUD Operator, -, !Create conference");
    MENU_VERIFY("Carol", contains, "Cancel invitation to dC~ZUD Operator");
    auto menu = menuFor(find("Alice")->treeItem());
    entry(menu.get(), {"Invite to dC~ZUD Operator"})->trigger();
    QVERIFY(waitIdle());
    QCOMPARE(sent(), (QStringList{"connect|conference|dC~ZUD Operator|create", "add|user|Alice|dC~ZUD Operator"}));

    // Users by status, with their monitor, radio and conference entries.
    MENU_VERIFY("Alice", startsWith, "Connect, -, Monitor Alice>[Always, When free, When busy], Add monitor source>[");
    MENU_VERIFY("Alice", contains, "Connect radio>[Radio1, Radio2, Radio3], !Disconnect radio>[]");
    find("Alice")->setStatus(StatusCalling);
    MENU_VERIFY("Alice", startsWith, "Accept, Reject, -");
    find("Alice")->setStatus(StatusIncomingCall);
    MENU_VERIFY("Alice", startsWith, "Answer, Ignore, -");
    find("Alice")->setStatus(StatusTrying);
    MENU_VERIFY("Alice", startsWith, "Cancel, -");
    find("Alice")->setStatus(StatusConnected);
    MENU_VERIFY("Alice", startsWith, "Disconnect, -");
    find("Alice")->setStatus(StatusFree);
    MENU_VERIFY("Field1", startsWith, "Connect, -, Monitor Field1>[Always], Add monitor source>[");
    MENU_VERIFY("Field1", contains, "Monitor gain settings, Call, -");
    // Another console's row gets no monitor sources; the operator's own would.
    QVERIFY(!menuText("Chief").contains("Add monitor source"));

    // "Always" goes out in lower case.
    menu = menuFor(find("Alice")->treeItem());
    entry(menu.get(), {"Monitor Alice", "Always"})->trigger();
    QVERIFY(waitIdle());
    QCOMPARE(sent(), QStringList{"monitor|add|ZUD Operator|Alice|always|0"});

    // Stop monitoring names the operator's own mode, never an empty one.
    QVERIFY(send({"status", "user", "ZUD Operator", "emerged", "overlord"}));
    QVERIFY(send({"status", "monitor", "added", "ZUD Operator", "Alice", "When free", "0"}));
    QTRY_VERIFY(find("Alice")->isMonitoredBy(gOperatorName));
    menu = menuFor(find("Alice")->treeItem());
    QVERIFY(describe(menu.get()).contains("-, Stop monitoring Alice, Add monitor source"));
    entry(menu.get(), {"Stop monitoring Alice"})->trigger();
    QVERIFY(waitIdle());
    QCOMPARE(sent(), QStringList{"monitor|remove|ZUD Operator|Alice|when free|0"});
    MENU_VERIFY("ZUD Operator", contains, "Add monitor source");

    // Radios: retransmission with the others, remote control, connection settings.
    MENU_VERIFY("Radio1", contains, "Start retransmission>[Radio3], End retransmission>[Radio2], Remote control, Connection settings");
    menu = menuFor(find("Radio1")->treeItem());
    entry(menu.get(), {"End retransmission", "Radio2"})->trigger();
    QVERIFY(waitIdle());
    QCOMPARE(sent(), QStringList{"rebroadcast|end|Radio1|Radio2"});

    // Routes between three endpoints with one route between the first two.
    QVERIFY(send({"status", "route", "removed", "EP-C", "EP-A"}));
    QTRY_COMPARE(cu->routeList().size(), 1);
    QCOMPARE(describe(menuFor(cu->routeBranch()->treeItem()).get()).section(", -, ", 0, 0),
             QString("Add route>[EP-A>[EP-C], EP-B>[EP-C], EP-C>[EP-A, EP-B]]"));
    menu = menuFor(cu->routeList().first()->treeItem());
    QCOMPARE(describe(menu.get()).section(", -, ", 0, 0),
             QString("Add route>[EP-A>[EP-C], EP-B>[EP-C], EP-C>[EP-A, EP-B]], Remove route"));
    entry(menu.get(), {"Add route", "EP-C", "EP-B"})->trigger();
    QVERIFY(waitIdle());
    QCOMPARE(sent(), QStringList{"route|add|EP-C|EP-B"});
    QCOMPARE(cu->setRoute("EP-A", "EP-C"), 0);
    QVERIFY(waitIdle());
    QCOMPARE(describe(menuFor(cu->routeBranch()->treeItem()).get()).section(", -, ", 0, 0), QString("Add route>[]"));
}

void CommandsTest::dialogEntries()
{
    CentralUnit *cu = unit();
    // A radio that is not connected keeps them for its next connect.
    find("Radio2")->setStatus(StatusFree);
    auto freeMenu = menuFor(find("Radio2")->treeItem());
    answerNextDialog([](QWidget *dialog) { dialog->findChild<QCheckBox *>("defaultSettingsCheckbox")->setChecked(false); });
    entry(freeMenu.get(), {"Connection settings"})->trigger();
    QTest::qWait(200);
    QCOMPARE(sent(), QStringList{});
    QCOMPARE(loadRadioConnectionSettings("Radio2", unitName).last(), QString("user"));

    // A connected radio takes new connection settings at once.
    find("Radio3")->setStatus(StatusConnected);
    auto menu = menuFor(find("Radio3")->treeItem());
    answerNextDialog([](QWidget *dialog) {
        dialog->findChild<QCheckBox *>("defaultSettingsCheckbox")->setChecked(false);
        dialog->findChild<QRadioButton *>("exclusiveRadioButton")->setChecked(true);
        dialog->findChild<QSpinBox *>("prioritySpinBox")->setValue(5);
        dialog->findChild<QCheckBox *>("crosstalkCheckbox")->setChecked(true);
    });
    entry(menu.get(), {"Connection settings"})->trigger();
    QVERIFY(waitIdle());
    QCOMPARE(sent(), (QStringList{"disconnect|radio|Radio3", "connect|radio|Radio3|exclusive|5|1"}));
    QCOMPARE(loadRadioConnectionSettings("Radio3", unitName).mid(3), (QStringList{"exclusive", "5", "1", "user"}));

    // A new monitor gain is the last token of the next monitor command.
    menu = menuFor(find("Alice")->treeItem());
    answerNextDialog([](QWidget *dialog) {
        QCOMPARE(dialog->windowTitle(), QString("Monitor Gain Settings"));
        dialog->findChild<QSpinBox *>("gainSpinBox")->setValue(7);
    });
    entry(menu.get(), {"Monitor gain settings"})->trigger();
    QCOMPARE(loadMonitorGain(unitName), QString("7"));
    QCOMPARE(cu->setMonitor("Bob", "Alice", "always"), 0);
    QVERIFY(waitIdle());
    QCOMPARE(sent(), QStringList{"monitor|add|Alice|Bob|always|7"});

    // Adding a unit writes its section. The dialog takes no loopback address: nothing answers at
    // the documentation address, which the namespace has no route to.
    menu = menuFor(nullptr);
    answerNextDialog([](QWidget *dialog) {
        QCOMPARE(dialog->windowTitle(), QString("New Central Unit"));
        dialog->findChild<QLineEdit *>("nameLineEdit")->setText("South");
        dialog->findChild<QLineEdit *>("ipLineEdit")->setText("192.0.2.5");
        dialog->findChild<QLineEdit *>("passwordLineEdit")->setText("pw5");
        dialog->findChild<QSpinBox *>("ttlSpinBox")->setValue(4);
    });
    entry(menu.get(), {"Add Central Unit"})->trigger();
    QVERIFY(manager->findUnit("South"));
    ConfigNode saved;
    QCOMPARE(saved.load(gConfigFileName), 0);
    QCOMPARE(saved.get({"devices", "South", "ttl"})->value, QString("4"));
    QCOMPARE(saved.get({"devices", "South", "password"})->value, QString("pw5"));

    // Removing asks first; Ok removes the section and the link.
    menu = menuFor(manager->findUnit("South")->treeItem());
    QString question;
    answerNextDialog([&question](QWidget *box) { question = static_cast<QMessageBox *>(box)->text(); });
    entry(menu.get(), {"Remove South"})->trigger();
    QCOMPARE(question, QString("You are about to delete South\nContinue?"));
    QVERIFY(!manager->findUnit("South"));
    ConfigNode after;
    QCOMPARE(after.load(gConfigFileName), 0);
    QVERIFY(!after.get({"devices", "South"}));
}

void CommandsTest::dialPad()
{
    CentralUnit *cu = unit();
    auto *pabx = find<Pabx>("PABX1");
    QCOMPARE(cu->connectTo("PABX1"), 0);
    QVERIFY(waitIdle());
    QCOMPARE(sent(), QStringList{"connect|user|PABX1"});
    QVERIFY(pabx->dialPad()->isVisible());
    for (QChar digit : QString("123"))
        pabx->dialPad()->onNumber(digit.digitValue());
    pabx->dialPad()->onOk();
    QVERIFY(waitIdle());
    QCOMPARE(sent(), QStringList{"digit|PABX1|123"});
    pabx->dialPad()->onCancel();
    QVERIFY(waitIdle());
    QCOMPARE(sent(), QStringList{"disconnect|user|PABX1"});
}

void CommandsTest::loneRadio()
{
    QTemporaryDir dir;
    QFile model(dir.filePath("model.json"));
    QVERIFY(model.open(QIODevice::WriteOnly));
    model.write(R"({"users": [{"kind": "radio", "name": "Solo", "status": "free"}]})");
    model.close();
    SimUnit lone("127.0.0.6");
    QVERIFY(lone.start({"--model", model.fileName()}));
    QCOMPARE(manager->addUnit("Lone", "127.0.0.6", "2", ""), UnitChange::Done);
    CentralUnit *cu = manager->findUnit("Lone");
    QTRY_VERIFY(cu->findResource("Solo"));
    const QString shown = describe(menuFor(cu->findResource("Solo")->treeItem()).get());
    QVERIFY2(shown.contains("!Start retransmission>[], !End retransmission>[], Remote control"), qPrintable(shown));
    QCOMPARE(manager->removeUnit("Lone"), UnitChange::Done);
}

void CommandsTest::broadcastToAllUnits()
{
    // A unit that is not connected is skipped.
    QCOMPARE(manager->addUnit("Away", "127.0.0.9", "2", ""), UnitChange::Done);
    manager->startBroadcast();
    QVERIFY(waitIdle());
    QCOMPARE(sent(), QStringList{"broadcast|start"});
    manager->endBroadcast();
    QVERIFY(waitIdle());
    QCOMPARE(sent(), QStringList{"broadcast|end"});
    QCOMPARE(manager->removeUnit("Away"), UnitChange::Done);
}

QTEST_MAIN(CommandsTest)
#include "test_commands.moc"
