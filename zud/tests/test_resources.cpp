#include "alarm.h"
#include "conference.h"
#include "dial.h"
#include "gps.h"
#include "linkfixture.h"
#include "logcapture.h"
#include "radio.h"
#include "radiosettings.h"
#include "route.h"
#include "users.h"

#include <QPainter>

namespace {
QColor rowColour(QTreeWidgetItem *row)
{
    const QBrush brush = row->foreground(0);
    return brush.style() == Qt::NoBrush ? QColor(Qt::black) : brush.color();
}
}

// The resource kinds, made under a unit's row as the unit makes them.
class ResourcesTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void kinds_data();
    void kinds();
    void statusWords_data();
    void statusWords();
    void buttonStates();
    void toolTips();
    void radioIcon_data();
    void radioIcon();
    void callTimeout_data();
    void callTimeout();
    void callingIsRejectedAfterTheTimeout();
    void ringingBlinks();
    void rejectedAndCanceledShowForTwoSeconds();
    void alarmBlinksItsBranch();
    void confirmAndSweep();
    void pabxOpensItsDialPad();
    void radioConnectionSettings();
    void gains();
    void routesAndPosition();
    void sortedByColumnThree();

private:
    template <typename Kind, typename... Args> Kind *make(Args... args)
    {
        auto *resource = new Kind(args..., unit->treeItem());
        resource->setCentralUnit(unit.get());
        made.append(resource);
        return resource;
    }

    Resource *makeKind(const QString &kind, const QString &name)
    {
        if (kind == "user")
            return make<User>(name);
        if (kind == "field phone")
            return make<FieldPhone>(name);
        if (kind == "pabx")
            return make<Pabx>(name);
        if (kind == "speaker")
            return make<Speaker>(name);
        if (kind == "overlord")
            return make<Overlord>(name);
        if (kind == "radio")
            return make<Radio>(name);
        if (kind == "conference")
            return make<Conference>(name);
        if (kind == "dconference")
            return make<DynamicConference>(name);
        if (kind == "gps")
            return make<Gps>(name);
        return make<Alarm>(name, QString("text"), unit->alarmBranch());
    }

    std::unique_ptr<CentralUnit> unit;
    QList<Resource *> made;
};

void ResourcesTest::initTestCase()
{
    makeMainWindow();
    // Nothing listens there: the unit stays unconnected, its row is all the tests need.
    unit = makeUnit("127.0.0.9");
}

void ResourcesTest::init()
{
    gOperatorName = "ZUD Operator";
    gConfig.clear();
}

void ResourcesTest::cleanup()
{
    qDeleteAll(made);
    made.clear();
}

void ResourcesTest::kinds_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("typeName");
    QTest::addColumn<QString>("sortKey");
    QTest::addColumn<QStringList>("modes");
    QTest::addColumn<bool>("monitorable");
    QTest::addColumn<bool>("canListen");
    QTest::newRow("user") << "user" << "user" << "d_user name x" << QStringList{"Always", "When free", "When busy"} << true << true;
    QTest::newRow("field phone") << "field phone" << "field phone" << "e_field phone name x" << QStringList{"Always"} << true << true;
    QTest::newRow("pabx") << "pabx" << "pabx" << "f_pabx name x" << QStringList{"Always"} << true << true;
    QTest::newRow("speaker") << "speaker" << "speaker" << "g_speaker name x" << QStringList{} << false << true;
    QTest::newRow("overlord") << "overlord" << "overlord" << "z_overlord name x" << QStringList{} << false << true;
    QTest::newRow("radio") << "radio" << "radio" << "c_radio name x" << QStringList{"Always", "When free", "When busy", "Radio"} << true << true;
    QTest::newRow("conference") << "conference" << "conference" << "b_conference name x" << QStringList{"Always"} << true << false;
    QTest::newRow("dynamic conference") << "dconference" << "conference" << "b_conference name x" << QStringList{"Always"} << true << false;
    QTest::newRow("gps") << "gps" << "gps" << "!3gps name x" << QStringList{} << false << false;
    QTest::newRow("alarm") << "alarm" << "alarm" << "alarm name x" << QStringList{} << false << false;
}

void ResourcesTest::kinds()
{
    QFETCH(QString, kind);
    QFETCH(QString, typeName);
    QFETCH(QString, sortKey);
    QFETCH(QStringList, modes);
    QFETCH(bool, monitorable);
    QFETCH(bool, canListen);
    const QString name = "Name X";
    Resource *r = makeKind(kind, name);
    QCOMPARE(r->typeName(), typeName);
    QCOMPARE(r->treeItem()->text(0), name);
    QCOMPARE(r->treeItem()->text(2), QString("name x"));
    QCOMPARE(r->treeItem()->text(3), sortKey);
    QCOMPARE(r->monitorModes(), modes);
    QCOMPARE(r->isMonitorable(), monitorable);
    QCOMPARE(r->canMonitor(), canListen);
}

void ResourcesTest::statusWords_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("icon");
    const QList<std::tuple<QString, int, bool, QString, QString>> rows{
        {"user", 7, false, "connected", "user_free"}, {"user", 1, true, "trying", "user_busy"},
        {"user", 3, false, "calling", "user_free"}, {"user", 4, false, "", "user_free"},
        {"user", 5, true, "", "user_busy"},
        {"overlord", 4, false, "calling", "overlord"}, {"overlord", 3, false, "calling", "overlord"},
        {"overlord", 1, false, "trying", "overlord"},
        {"field phone", 4, false, "calling", "pabx_free"}, {"field phone", 3, true, "busy", "pabx_busy"},
        {"field phone", 3, false, "", "pabx_free"}, {"pabx", 7, true, "connected", "fieldphone_busy"},
        {"pabx", 0, false, "", "fieldphone_free"},
        {"speaker", 7, false, "connected", "speaker_free"}, {"speaker", 0, true, "busy", "speaker_busy"},
        {"radio", 7, false, "connected", ""}, {"radio", 1, true, "", ""},
    };
    for (const auto &[kind, status, busy, word, icon] : rows)
        QTest::addRow("%s %d%s", qPrintable(kind), status, busy ? " busy" : "") << kind << status << busy << word << icon;
}

void ResourcesTest::statusWords()
{
    QFETCH(QString, kind);
    QFETCH(int, status);
    QFETCH(bool, busy);
    QFETCH(QString, word);
    QFETCH(QString, icon);
    Resource *r = makeKind(kind, "R");
    if (busy)
        QCOMPARE(r->setBusy(), 0);
    r->setStatus(status);
    QCOMPARE(r->treeItem()->text(1), word);
    if (!icon.isEmpty()) {
        const QImage shown = r->treeItem()->icon(0).pixmap(16).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(shown, QImage(":/icons/images/" + icon + ".png").convertToFormat(QImage::Format_ARGB32));
    }
}

void ResourcesTest::buttonStates()
{
    User *user = make<User>(QString("U"));
    QCOMPARE(user->buttonStates(), (QStringList{"monitor", "0"}));
    user->setStatus(StatusCalling);
    QCOMPARE(user->buttonStates(), (QStringList{"accept", "-", "reject", "-", "monitor", "0"}));
    user->addMonitorDestination(gOperatorName, "Always", "0");
    QCOMPARE(user->buttonStates().last(), QString("1"));

    Radio *radio = make<Radio>(QString("R"));
    radio->setInputGain(-3);
    QCOMPARE(radio->buttonStates(), (QStringList{"monitor", "0", "radio gain -", "0", "radio gain +", "0", "radio gain", "-3"}));
    QCOMPARE(make<Pabx>(QString("P"))->buttonStates(), (QStringList{"monitor", "0"}));
    QCOMPARE(make<Speaker>(QString("S"))->buttonStates(), QStringList());
    QCOMPARE(make<Conference>(QString("C"))->buttonStates(), (QStringList{"monitor", "0"}));
}

void ResourcesTest::toolTips()
{
    Conference *empty = make<Conference>(QString("Empty"));
    empty->updateGui();
    QCOMPARE(empty->treeItem()->toolTip(0), QString("Participants:\n -\n\nMonitored by:\n -"));
    QCOMPARE(empty->treeItem()->toolTip(0).split('\n').size(), 5);

    DynamicConference *dynamic = make<DynamicConference>(QString("dC~Op"));
    dynamic->addParticipant("A");
    dynamic->addParticipant("B");
    dynamic->addMonitorDestination("L", "M", "0");
    QCOMPARE(dynamic->treeItem()->toolTip(0), QString("Participants:\n - A\n - B\n\nInvited:\n -\n\nMonitored by:\n - L : M"));
    QCOMPARE(dynamic->treeItem()->toolTip(0).split('\n').size(), 9);

    for (Resource *line : {static_cast<Resource *>(make<FieldPhone>(QString("F"))), static_cast<Resource *>(make<Pabx>(QString("P")))}) {
        line->updateGui();
        QCOMPARE(line->treeItem()->toolTip(0), QString("monitoring:\n--\nmonitored by:\n--"));
    }

    User *user = make<User>(QString("U"));
    user->connectTo("V", "user");
    user->addMonitorSource("W", "Always", "0");
    QCOMPARE(user->treeItem()->toolTip(0),
             QString("Connected to:\n - V : user\n\nMonitoring:\n - W : Always\n\nMonitored by:\n -"));

    Radio *radio = make<Radio>(QString("R"));
    radio->setInputGain(-3);
    radio->addRetransmission("R2");
    QCOMPARE(radio->treeItem()->toolTip(0), QString("Input gain: -3 dB\n\nRetransmission sessions:\n - R2\n\nMonitoring:\n - \n\nMonitored by:\n -"));

    Gps *gps = make<Gps>(QString("coordinates"));
    gps->updateGui();
    QCOMPARE(gps->treeItem()->toolTip(0), QString("GPS coordinates:\n - status: unknown"));
    QCOMPARE(Gps::degreesText(-0.5, 'N', 'S'), QString("28°38'52\"S"));
    gps->setTime("123456");
    gps->setLongitude("0.25");
    gps->setLatitude("-0.5");
    gps->setAltitude("512.25");
    gps->setSatellites("7");
    gps->setValidity("A");
    QCOMPARE(gps->treeItem()->toolTip(0), QString("GPS coordinates:\n - status: valid\n - time: 12:34:56\n - latitude: 28°38'52\"S"
                                                  "\n - longitude: 14°19'26\"E\n - altitude: 512.25m\n - satellites: 7"));

    Alarm *alarm = make<Alarm>(QString("12"), QString(), unit->alarmBranch());
    QCOMPARE(alarm->treeItem()->text(1), QString(" "));
}

void ResourcesTest::radioIcon_data()
{
    QTest::addColumn<bool>("busy");
    QTest::addColumn<bool>("transmitting");
    QTest::addColumn<bool>("receiving");
    QTest::newRow("free, quiet") << false << false << false;
    QTest::newRow("free, transmitting") << false << true << false;
    QTest::newRow("busy, receiving") << true << false << true;
    QTest::newRow("busy, both") << true << true << true;
}

void ResourcesTest::radioIcon()
{
    QFETCH(bool, busy);
    QFETCH(bool, transmitting);
    QFETCH(bool, receiving);
    Radio *radio = make<Radio>(QString("R"));
    if (busy)
        radio->setBusy();
    radio->setTransmitting(transmitting);
    radio->setReceiving(receiving);

    const QImage shown = radio->treeItem()->icon(0).pixmap(16).toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage base = QImage(busy ? ":/icons/images/radio_busy.png" : ":/icons/images/radio_free.png").convertToFormat(QImage::Format_ARGB32);
    const QImage red = QImage(":/icons/images/bullet_red.png").convertToFormat(QImage::Format_ARGB32);
    const QImage orange = QImage(":/icons/images/bullet_orange.png").convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(shown.size(), base.size());
    // Every opaque bullet pixel sits at its place; the rest of the image is the base.
    const QList<std::tuple<QPoint, QImage>> bullets{{QPoint(0, 10), transmitting ? red : orange},
                                                    {QPoint(8, 10), receiving ? red : orange}};
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            QRgb want = base.pixel(x, y);
            for (const auto &[at, bullet] : bullets) {
                const QPoint p = QPoint(x, y) - at;
                if (bullet.rect().contains(p) && qAlpha(bullet.pixel(p)) == 255)
                    want = bullet.pixel(p);
            }
            if (qAlpha(want) == 255)
                QCOMPARE(shown.pixel(x, y), want);
        }
    }
}

void ResourcesTest::callTimeout_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("ms");
    QTest::newRow("configured") << "8000" << 8000;
    QTest::newRow("missing") << QString() << 5000;
    QTest::newRow("zero") << "0" << 5000;
    QTest::newRow("not a number") << "abc" << 5000;
    QTest::newRow("negative") << "-20" << 5000;
    QTest::newRow("overflowing") << "99999999999999999999" << 5000;
}

void ResourcesTest::callTimeout()
{
    QFETCH(QString, value);
    QFETCH(int, ms);
    if (!value.isNull())
        gConfig.set({"system", "call timeout"})->value = value;
    QCOMPARE(callTimeoutMs(), ms);
}

void ResourcesTest::callingIsRejectedAfterTheTimeout()
{
    gConfig.set({"system", "call timeout"})->value = "300";
    LogCapture log;
    User *caller = make<User>(QString("Caller"));
    QElapsedTimer clock;
    clock.start();
    caller->setStatus(StatusCalling);
    QTRY_VERIFY_WITH_TIMEOUT(log.contains("reject call from \"Caller\""), eventBound);
    QVERIFY2(clock.elapsed() >= 280, qPrintable(QString::number(clock.elapsed())));

    // Status 4 rings without a time-out; the operator's own name neither rings nor times out.
    log.clear();
    User *inviting = make<User>(QString("Inviting"));
    inviting->setStatus(StatusIncomingCall);
    User *self = make<User>(gOperatorName);
    self->setStatus(StatusCalling);
    QTest::qWait(700);
    QVERIFY(!log.contains("about to reject call"));
    QCOMPARE(rowColour(self->treeItem()), QColor(Qt::black));
}

void ResourcesTest::ringingBlinks()
{
    User *caller = make<User>(QString("Caller"));
    caller->setStatus(StatusIncomingCall);
    QList<QColor> own, unitRow;
    for (int i = 0; i < 4; ++i) {
        own.append(rowColour(caller->treeItem()));
        unitRow.append(rowColour(unit->treeItem()));
        QTest::qWait(300);
    }
    QVERIFY(own.contains(QColor(Qt::red)) && own.contains(QColor(Qt::black)));
    QCOMPARE(unitRow, own);
    caller->setStatus(StatusFree);
    QCOMPARE(rowColour(caller->treeItem()), QColor(Qt::black));
    QCOMPARE(rowColour(unit->treeItem()), QColor(Qt::black));
}

void ResourcesTest::rejectedAndCanceledShowForTwoSeconds()
{
    User *user = make<User>(QString("U"));
    user->setStatus(StatusConnected);
    for (const auto &[status, word] : {std::pair{StatusRejected, "rejected"}, std::pair{StatusCanceled, "canceled"}}) {
        user->setStatus(StatusTrying);
        user->setStatus(status);
        QElapsedTimer shown;
        shown.start();
        LoopLag lag;
        QCOMPARE(user->status(), int(StatusFree));
        QCOMPARE(user->treeItem()->text(1), QString(word));
        QTRY_COMPARE(user->treeItem()->text(1), QString());
        // Two seconds (a coarse timer fires up to 5 % early), later by as much as the loop was held back.
        QVERIFY2(shown.elapsed() >= 1900 && shown.elapsed() <= 2700 + lag.ms(),
                 qPrintable(QString("%1 ms, the loop %2 ms late").arg(shown.elapsed()).arg(lag.ms())));
    }
}

void ResourcesTest::alarmBlinksItsBranch()
{
    Alarm *alarm = make<Alarm>(QString("12"), QString("door"), unit->alarmBranch());
    QTreeWidgetItem *branch = unit->alarmBranch()->treeItem();
    QSet<QRgb> branchColours;
    for (int i = 0; i < 3; ++i) {
        branchColours.insert(rowColour(branch).rgb());
        QCOMPARE(rowColour(branch), rowColour(alarm->treeItem()));
        QTest::qWait(300);
    }
    QCOMPARE(branchColours.size(), 2);
    made.removeOne(alarm);
    delete alarm;
    QCOMPARE(rowColour(branch), QColor(Qt::black));
}

void ResourcesTest::confirmAndSweep()
{
    User *user = make<User>(QString("U"));
    QCOMPARE(user->connectTo("A", "user"), 0);
    QCOMPARE(user->connectTo("B", "conference"), 0);
    user->invalidateConnections();
    QCOMPARE(user->connectTo("A", "user"), -3);
    QCOMPARE(user->connectTo("C", "user"), 0);
    user->removeInactiveConnections();
    QCOMPARE(user->connections(), (QMap<QString, QString>{{"A", "user"}, {"C", "user"}}));
    QCOMPARE(user->disconnectFrom("C", "conference"), -3);
    QCOMPARE(user->disconnectFrom("C", "user"), 0);

    Conference *conference = make<Conference>(QString("C"));
    for (const char *name : {"P1", "P2", "P3"})
        conference->addParticipant(name);
    conference->invalidate();
    QCOMPARE(conference->addParticipant("P3"), -3);
    QCOMPARE(conference->addParticipant("P1"), -3);
    conference->removeInactiveParticipants();
    QCOMPARE(conference->participantList(), (QStringList{"P1", "P3"}));
    conference->invalidateParticipant("P1");
    conference->removeInactiveParticipant();
    QCOMPARE(conference->participantList(), QStringList{"P3"});
    QCOMPARE(conference->removeParticipant("P1"), -3);

    DynamicConference *dynamic = make<DynamicConference>(QString("D"));
    QCOMPARE(dynamic->addInvited("I1"), 0);
    QCOMPARE(dynamic->addInvited("I1"), -3);
    dynamic->addInvited("I2");
    dynamic->addParticipant("I1");
    QCOMPARE(dynamic->invitedList(), QStringList{"I2"});
    QCOMPARE(dynamic->participantList(), QStringList{"I1"});
    QCOMPARE(dynamic->removeInvited("I1"), -3);
    dynamic->removeParticipantOrInvited("I2");
    QVERIFY(!dynamic->isInvited("I2"));
}

void ResourcesTest::pabxOpensItsDialPad()
{
    Pabx *called = make<Pabx>(QString("PABX1"));
    called->setStatus(StatusConnected);
    QVERIFY(called->dialPad()->isVisible());

    Pabx *answered = make<Pabx>(QString("PABX2"));
    answered->setCallHandled(true);
    answered->setStatus(StatusConnected);
    QVERIFY(!answered->dialPad()->isVisible());
    QVERIFY(!answered->callHandled());
    answered->setCallHandled(true);
    answered->setStatus(StatusFree);
    QVERIFY(!answered->callHandled());

    LogCapture log;
    called->dialPad()->onNumber(1);
    called->dialPad()->onNumber(2);
    called->dialPad()->onNumber(12);
    called->dialPad()->onNumber(11);
    called->dialPad()->onOk();
    QVERIFY(!called->dialPad()->isVisible());
    QVERIFY(log.contains("send dtmf digits to \"PABX1\""));
    QVERIFY(log.contains("\"12#\""));
    called->dialPad()->onCancel();
    QVERIFY(log.contains("disconnect from \"PABX1\""));
}

void ResourcesTest::radioConnectionSettings()
{
    const QString unitName = unit->name();
    QCOMPARE(loadRadioConnectionSettings("R1", unitName), (QStringList{"shared", "0", "0", "shared", "0", "0", "user"}));
    Radio *radio = make<Radio>(QString("R1"));
    QCOMPARE(radio->connectionParameters(), (QStringList{"shared", "0", "0"}));

    gConfig.set({"default", "radio connection", "type"})->value = "exclusive";
    gConfig.set({"default", "radio connection", "priority"})->value = "";
    QCOMPARE(saveRadioConnectionSettings("R1", unitName, {"1", "shared", "5", "2"}), 0);
    QCOMPARE(loadRadioConnectionSettings("R1", unitName), (QStringList{"exclusive", "0", "0", "shared", "5", "2", "default"}));
    QCOMPARE(radio->connectionParameters(), (QStringList{"exclusive", "0", "0"}));
    saveRadioConnectionSettings("R1", unitName, {"0", "", "5", "2"});
    QCOMPARE(radio->connectionParameters(), (QStringList{"exclusive", "5", "2"}));

    ConfigNode saved;
    QCOMPARE(saved.load(gConfigFileName), 0);
    const ConfigNode::Path node{"devices", unitName, "radio connections", "R1"};
    QCOMPARE(saved.get(node + QStringList{"default"})->value, QString("0"));
    QCOMPARE(saved.get(node + QStringList{"priority"})->value, QString("5"));
    QCOMPARE(saved.get(node)->children.size(), size_t(4));
}

void ResourcesTest::gains()
{
    QCOMPARE(loadMonitorGain("U1"), QString("0"));
    gConfig.set({"default", "monitor", "gain"})->value = "4";
    QCOMPARE(loadMonitorGain("U1"), QString("4"));
    saveMonitorGain("U1", "-2");
    QCOMPARE(loadMonitorGain("U1"), QString("-2"));
    QCOMPARE(loadAudioGain("U1"), QString("0"));
    saveAudioGain("U1", "6");
    saveAudioGain("U1", "7");
    QCOMPARE(loadAudioGain("U1"), QString("7"));
    QCOMPARE(gConfig.get({"devices", "U1"})->children.size(), size_t(2));
}

void ResourcesTest::routesAndPosition()
{
    Route *ba = new Route("b", "a", unit->routeBranch()->treeItem());
    Route *ab = new Route("a", "b", unit->routeBranch()->treeItem());
    made << ba << ab;
    for (Route *route : {ba, ab}) {
        QCOMPARE(route->name(), QString("a .. b"));
        QCOMPARE(route->endpointA(), QString("a"));
        QVERIFY(route->joins("b", "a") && route->joins("a", "b"));
        QVERIFY(!route->joins("a", "a"));
    }
    QCOMPARE(ba->setDismantled(), -3);
    QCOMPARE(ba->setEstablished(), 0);
    QCOMPARE(ba->setEstablished(), -3);

    Gps *gps = make<Gps>(QString("coordinates"));
    gps->setValidity("X");
    QCOMPARE(gps->treeItem()->text(1), QString("incorrect"));
    QTest::qWait(1500);
    gps->setValidity("V");
    QElapsedTimer reported;
    reported.start();
    LoopLag lag;
    QCOMPARE(gps->treeItem()->text(1), QString("invalid"));
    // Each report starts the two seconds anew.
    QTRY_COMPARE(gps->treeItem()->text(1), QString("unknown"));
    QVERIFY2(reported.elapsed() >= 1900 && reported.elapsed() <= 2500 + lag.ms(),
             qPrintable(QString("%1 ms, the loop %2 ms late").arg(reported.elapsed()).arg(lag.ms())));
}

void ResourcesTest::sortedByColumnThree()
{
    // The unit shows its branches, made first, only while connected.
    make<Overlord>(QString("O"));
    make<Speaker>(QString("S"));
    make<Pabx>(QString("P"));
    make<FieldPhone>(QString("F"));
    make<User>(QString("U"));
    make<Radio>(QString("R"));
    make<Conference>(QString("C"));
    make<Gps>(QString("coordinates"));
    gZudWindow->connectionsTree()->sortItems(3, Qt::AscendingOrder);
    QStringList order;
    for (int i = 0; i < unit->treeItem()->childCount(); ++i)
        order.append(unit->treeItem()->child(i)->text(0));
    QCOMPARE(order, (QStringList{"Routes", "Alarms", "coordinates", "C", "R", "U", "F", "P", "S", "O"}));
}

QTEST_MAIN(ResourcesTest)
#include "test_resources.moc"
