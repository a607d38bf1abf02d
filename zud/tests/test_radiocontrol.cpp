// The remote handset of a radio against the simulated central unit and its radio server on
// loopback: start and stop, the id text, key records as the server decodes them, the connection
// supervision, and records from the network that must be dropped. Built with AddressSanitizer:
// windows are replaced while their own signals are delivered.
#include "centralunitmanager.h"
#include "connectionstreewidget.h"
#include "ktxabstract.h"
#include "ktxinput.h"
#include "ledmatrix.h"
#include "ledpicture.h"
#include "linkfixture.h"
#include "logcapture.h"
#include "radiocontrolwidget.h"
#include "resource.h"
#include "serverrecord.h"

#include <QElapsedTimer>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>

#include <algorithm>

namespace {

QJsonObject window(int type, const QString& payload)
{
    return QJsonObject{{"type", type}, {"payload", payload}};
}

// The key records the radio server decoded, in order.
QList<QJsonObject> keys(const SimUnit& sim)
{
    QList<QJsonObject> out;
    for (const QJsonObject& entry : sim.log())
        if (entry.contains("key"))
            out.append(entry["key"].toObject());
    return out;
}

LedPicture statusText(const QString& line)
{
    LedPicture picture(64, 128, '.');
    picture.drawText(line, 7, 1, 0);
    return picture;
}

} // namespace

class RadioControlTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { makeMainWindow(); }
    void init();
    void cleanup();
    void startOpensTheServersWindow();
    void keyRecords();
    void leavingLocally();
    void idTexts_data();
    void idTexts();
    void silenceAfterStart();
    void inputTypedOnTheWidget();
    void holdAndRemove();
    void malformedRecords_data();
    void malformedRecords();

private:
    RadioControlWidget* open(const QString& radio = "Radio1");

    std::unique_ptr<SimUnit> sim;
    std::unique_ptr<CentralUnitManager> manager;
    CentralUnit* unit = nullptr;
};

void RadioControlTest::init()
{
    gConfig.clear();
    QFile::remove(gConfigFileName);
    sim = std::make_unique<SimUnit>();
    QVERIFY(sim->start({"--model", ZUD_TEST_DATA_DIR "/startup_model.json"}));
    manager = std::make_unique<CentralUnitManager>();
    gZudWindow->connectionsTree()->setUnitManager(manager.get());
    QCOMPARE(manager->addUnit("Nord", "127.0.0.2", "2", ""), UnitChange::Done);
    unit = manager->findUnit("Nord");
    QSignalSpy done(unit, &CentralUnit::programSucceeded);
    QVERIFY(done.wait(eventBound));
}

void RadioControlTest::cleanup()
{
    // The unit takes its remote handsets with it.
    if (manager)
        manager->removeUnit("Nord");
    manager.reset();
    sim.reset();
    unit = nullptr;
}

RadioControlWidget* RadioControlTest::open(const QString& radio)
{
    unit->startRemoteControl(radio);
    return unit->remoteControls().last();
}

void RadioControlTest::startOpensTheServersWindow()
{
    // The radio's "Remote control" entry of the tree's menu.
    Resource* radio = unit->findResource("Radio1", "radio");
    QVERIFY(radio);
    std::unique_ptr<QMenu> menu(gZudWindow->connectionsTree()->buildContextMenu(radio->treeItem()));
    const QList<QAction*> actions = menu->actions();
    const auto remote = std::find_if(actions.begin(), actions.end(), [](QAction* a) { return a->text() == "Remote control"; });
    QVERIFY(remote != actions.end());
    (*remote)->trigger();
    QCOMPARE(unit->remoteControls().size(), 1);
    RadioControlWidget* widget = unit->remoteControls().first();
    QCOMPARE(widget->windowTitle(), QString("Radio1 @ Nord remote control"));
    QCOMPARE(widget->size(), QSize(370, 320));
    QTRY_VERIFY(sim->messages().contains("ktx|Radio1|start"));
    QTRY_COMPARE(widget->currentWindow()->type, int(KtxMainWindow));
    QVERIFY(widget->isVisible());
    // The pass-through goes outside the command program: the unit answers nothing to it.
    QVERIFY(!sim->anyEarly());
}

void RadioControlTest::keyRecords()
{
    RadioControlWidget* widget = open();
    QTRY_COMPARE(widget->currentWindow()->type, int(KtxMainWindow));
    widget->currentWindow()->findChild<QPushButton*>("btn3")->click();
    QTRY_COMPARE(keys(*sim).size(), 1);
    const QJsonObject key = keys(*sim)[0];
    // 12 00, C8 00, 2C 01, 21 00, 24 zero bytes and "3"; "data|44|" and 44 characters.
    QCOMPARE(key["kind"].toInt(), 18);
    QCOMPARE(key["user"].toInt(), 200);
    QCOMPARE(key["radio"].toInt(), 300);
    QCOMPARE(key["length"].toInt(), 33);
    QCOMPARE(key["size"].toInt(), 33);
    QVERIFY(key["zeros"].toBool());
    QCOMPARE(key["text"].toString(), QString("3"));
    QCOMPARE(key["n"].toInt(), 44);
    QCOMPARE(key["chars"].toInt(), 44);
    QVERIFY(sim->messages().last().startsWith("ktx|Radio1|data|44|"));

    QByteArray choice("2;Channel");
    widget->onKey(11, choice.data());
    QByteArray longText(300, 'x');
    widget->onKey(11, longText.data());
    widget->onKey(-1, choice.data());
    QTRY_COMPARE(keys(*sim).size(), 4);
    QCOMPARE(keys(*sim)[1]["text"].toString(), QString("11;2;Channel"));
    QCOMPARE(keys(*sim)[1]["length"].toInt(), 44);
    QCOMPARE(keys(*sim)[2]["length"].toInt(), 287);
    QCOMPARE(keys(*sim)[2]["text"].toString(), "11;" + QString(252, 'x'));
    QCOMPARE(keys(*sim)[3]["text"].toString(), QString("-1"));
}

void RadioControlTest::leavingLocally()
{
    RadioControlWidget* widget = open();
    QTRY_COMPARE(widget->currentWindow()->type, int(KtxMainWindow));
    // "C" frees the window whose button is still delivering its signal.
    QTest::mouseClick(widget->currentWindow()->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
    QVERIFY(!widget->isVisible());
    QTRY_VERIFY(sim->messages().contains("ktx|Radio1|stop"));
    QCOMPARE(widget->currentWindow()->type, int(KTXAbstract::kStatusText));
    QTest::qWait(100);
    QVERIFY(keys(*sim).isEmpty());

    // Showing it again starts the link again.
    widget->show();
    QTRY_COMPARE(sim->messages().count("ktx|Radio1|start"), 2);
    QTRY_COMPARE(widget->currentWindow()->type, int(KtxMainWindow));
}

void RadioControlTest::idTexts_data()
{
    QTest::addColumn<QStringList>("ids"); // id texts after "start"
    QTest::addColumn<int>("user");        // in the key record
    QTest::addColumn<int>("radio");
    QTest::newRow("the first counts") << QStringList{"KTX:200:Radio1:300", "KTX:7:Radio1:8"} << 200 << 300;
    QTest::newRow("another radio's") << QStringList{"KTX:5:Other:6", "KTX:200:Radio1:300"} << 0 << 0;
    QTest::newRow("three parts") << QStringList{"KTX:200:Radio1"} << 0 << 0;
}

void RadioControlTest::idTexts()
{
    QFETCH(QStringList, ids);
    QFETCH(int, user);
    QFETCH(int, radio);
    QVERIFY(sim->control({{"do", "ktx-start"}, {"ids", QJsonValue::Null}, {"window", QJsonValue::Null}}));
    RadioControlWidget* widget = open();
    QTRY_VERIFY(sim->messages().contains("ktx|Radio1|start"));
    for (const QString& id : ids)
        QVERIFY(sim->control({{"do", "ktx"}, {"radio", "Radio1"}, {"marker", 59}, {"text", id}}));
    QVERIFY(sim->control({{"do", "ktx"}, {"radio", "Radio1"}, {"marker", 62}, {"kind", 512}, {"type", 1},
                          {"payload", "o:b1s=1|c:Menu"}}));
    QTRY_COMPARE(widget->currentWindow()->type, int(KtxMainWindow));
    widget->currentWindow()->findChild<QPushButton*>("btn1")->click();
    QTRY_COMPARE(keys(*sim).size(), 1);
    QCOMPARE(keys(*sim)[0]["user"].toInt(), user);
    QCOMPARE(keys(*sim)[0]["radio"].toInt(), radio);
}

void RadioControlTest::silenceAfterStart()
{
    QVERIFY(sim->control({{"do", "ktx-start"}, {"ids", QJsonValue::Null}, {"window", QJsonValue::Null}}));
    // The clock starts before the widget's timer does: its readings are lower bounds.
    QElapsedTimer clock;
    clock.start();
    RadioControlWidget* widget = open();
    const auto matrix = [widget] { return readLeds(*widget->currentWindow()->findChild<LedMatrix*>("text")); };
    QCOMPARE(matrix(), statusText("Connecting to KTX..."));
    QTRY_VERIFY_WITH_TIMEOUT(matrix() == statusText(" Connection failed!"), eventBound);
    QVERIFY(clock.elapsed() >= 4700); // a coarse timer may fire up to 5 % early
    QVERIFY(widget->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!widget->isVisible(), eventBound);
    QVERIFY(clock.elapsed() >= 9400);
    QTRY_VERIFY(sim->messages().contains("ktx|Radio1|stop"));

    // The next showing tries again.
    clock.restart();
    widget->show();
    QTRY_COMPARE(sim->messages().count("ktx|Radio1|start"), 2);
    QTRY_VERIFY_WITH_TIMEOUT(matrix() == statusText(" Connection failed!"), eventBound);
    QVERIFY(clock.elapsed() >= 4700); // a coarse timer may fire up to 5 % early
}

void RadioControlTest::inputTypedOnTheWidget()
{
    QVERIFY(sim->control({{"do", "ktx-start"}, {"ids", "KTX:200:{radio}:300"}, {"window", window(4, "o:mask=dd:dd;title=Time|c:x")}}));
    RadioControlWidget* widget = open();
    QTRY_COMPARE(widget->currentWindow()->type, int(KtxInputWindow));
    QTest::keyClicks(widget, "12x34");
    QPushButton* ok = widget->currentWindow()->findChild<QPushButton*>("okBtn");
    QVERIFY(ok->isEnabled());
    QTest::keyClick(widget, Qt::Key_Backspace);
    QVERIFY(!ok->isEnabled());
    QTest::keyClick(widget, Qt::Key_9);
    ok->click();
    QTRY_COMPARE(keys(*sim).size(), 1);
    QCOMPARE(keys(*sim)[0]["text"].toString(), QString("11;12:39"));
}

void RadioControlTest::holdAndRemove()
{
    // A hidden widget: the placeholder frame is still its window.
    RadioControlWidget widget("Radio1", "Nord");
    QCOMPARE(widget.currentWindow()->type, int(KTXAbstract::kPlaceholder));
    deliver(widget, serverRecord(512, 7, "o:|c:Please wait"));
    QVERIFY(!widget.currentWindow()->isEnabled());

    deliver(widget, serverRecord(512, 1, "o:b1s=1|c:Menu"));
    QCOMPARE(widget.currentWindow()->type, int(KtxMainWindow));
    deliver(widget, serverRecord(512, 9, "o:|c:x"));
    QVERIFY(!widget.currentWindow());
    deliver(widget, serverRecord(513, 0, "o:b1s=1|c:Other"));
    QVERIFY(!widget.currentWindow());
    deliver(widget, serverRecord(512, 6, "o:progress=40|c:x"));
    QCOMPARE(widget.currentWindow()->type, int(KtxProgressWindow));
    QTest::qWait(50); // the replaced windows end at the next turn of the event loop
}

void RadioControlTest::malformedRecords_data()
{
    QTest::addColumn<int>("length"); // -1: the text's own
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("replaced"); // the main menu gave way to a new window

    const auto b64 = [](const QByteArray& bytes) { return bytes.toBase64(); };
    QTest::newRow("0 bytes") << -1 << b64("") << false;
    QTest::newRow("10 bytes") << -1 << b64(QByteArray(10, '\x02')) << false;
    QTest::newRow("32 bytes") << -1 << b64(serverRecord(512, 2, "").left(32)) << false;
    QTest::newRow("33 bytes") << -1 << b64(serverRecord(512, 2, "")) << true;
    QTest::newRow("no NUL") << -1 << b64(serverRecord(512, 2, "o:|c:text", false)) << false;
    QTest::newRow("update without NUL") << -1 << b64(serverRecord(513, 0, "o:|c:text", false)) << false;
    QTest::newRow("length 1000 with 8 characters") << 1000 << QByteArray("QUJDREVG") << false;
    QTest::newRow("base64 of 6 characters") << 6 << QByteArray("QUJDRE") << false;
    QTest::newRow("5000-character title") << -1 << b64(serverRecord(512, 2, "o:title=" + QByteArray(5000, 'T') + "|c:x")) << true;
    QTest::newRow("5000-character line") << -1 << b64(serverRecord(512, 1, "o:|c:" + QByteArray(5000, 'L'))) << true;
    QTest::newRow("5000-character progress title") << -1 << b64(serverRecord(512, 6, "o:title=" + QByteArray(5000, 'P'))) << true;
    QTest::newRow("5000-character input options") << -1
        << b64(serverRecord(512, 4, "o:title=" + QByteArray(5000, 'I') + ";mask=" + QByteArray(5000, 'd') + ";fmt=" + QByteArray(5000, 'f')))
        << true;
    QTest::newRow("5000-character choice item") << -1 << b64(serverRecord(512, 3, "o:|c:" + QByteArray(5000, 'C'))) << true;
}

void RadioControlTest::malformedRecords()
{
    QFETCH(int, length);
    QFETCH(QByteArray, text);
    QFETCH(bool, replaced);
    RadioControlWidget widget("Radio1", "Nord");
    deliver(widget, serverRecord(512, 1, "o:b1s=1|c:Menu"));
    KTXAbstract* menu = widget.currentWindow();
    LogCapture log;
    widget.receiveData('>', length < 0 ? int(text.size()) : length, QString::fromLatin1(text));
    QCOMPARE(widget.currentWindow() != menu, replaced);
    if (!replaced)
        QVERIFY(log.contains("dropped"));
    if (widget.currentWindow()->type == KtxChoiceWindow)
        widget.currentWindow()->findChild<QPushButton*>("okBtn")->click();
    QTest::qWait(20);
}

QTEST_MAIN(RadioControlTest)
#include "test_radiocontrol.moc"
