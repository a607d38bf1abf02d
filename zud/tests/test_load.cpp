// A unit that floods the console must not freeze it: while a list reply of 55,000 users is
// handled, and while status reports come into a tree of 6,000 rows, at 1,000 a second or as fast
// as the link takes them, the event loop keeps turning, a second console's raise request is taken
// within a second, and the tree keeps its order. The units send no status report unless the test
// says so: the rows stand in key order without one.
#include "conference.h"
#include "linkfixture.h"
#include "resource.h"
#include "singleinstance.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QRegularExpression>

#include <ctime>
#include <functional>

namespace {
constexpr qint64 answerBoundMs = 1000;
constexpr int maxChangesPerTurn = 2000;

QString userName(int n)
{
    return QString("u%1").arg(n, 5, 10, QChar('0'));
}

QString conferenceName(int n)
{
    return QString("c%1").arg(n, 4, 10, QChar('0'));
}

const QStringList allKinds{"user", "radio", "field phone", "pabx", "speaker"};

// A unit model of `count` free resources of these kinds in turn, and free local conferences, all
// listed against their key order: the tree must sort them.
QString writeModel(const QTemporaryDir &dir, const QStringList &kinds, int count, int conferences = 0)
{
    QJsonArray users;
    for (int n = count - 1; n >= 0; --n)
        users.append(QJsonObject{{"kind", kinds[n % kinds.size()]}, {"name", userName(n)}, {"status", "free"}});
    QJsonArray local;
    for (int n = conferences - 1; n >= 0; --n)
        local.append(QJsonObject{{"locality", "local"}, {"name", conferenceName(n)}, {"status", "free"}});
    const QString path = dir.filePath(QString("model-%1-%2-%3.json").arg(kinds.size()).arg(count).arg(conferences));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(QJsonDocument(QJsonObject{{"users", users}, {"conferences", local}}).toJson(QJsonDocument::Compact));
    return path;
}

// Every row below `parent`, depth first, by its column-0 text.
void collectRows(const QTreeWidgetItem *parent, QStringList &rows)
{
    for (int i = 0; i < parent->childCount(); ++i) {
        rows.append(parent->child(i)->text(0));
        collectRows(parent->child(i), rows);
    }
}

QStringList rowOrder()
{
    QStringList rows;
    collectRows(gZudWindow->connectionsTree()->invisibleRootItem(), rows);
    return rows;
}

// An icon as a digest of its small picture: two icons of one look are equal.
QString iconPicture(const QIcon &icon)
{
    const QImage image = icon.pixmap(16).toImage();
    return QString::number(qHashBits(image.constBits(), image.sizeInBytes()));
}

// What every row below `parent` shows, depth first: its texts, tool tip, icon and whether it can
// be chosen.
void collectShown(const QTreeWidgetItem *parent, QStringList &rows)
{
    for (int i = 0; i < parent->childCount(); ++i) {
        const QTreeWidgetItem *row = parent->child(i);
        rows.append(QStringList{row->text(0), row->text(1), row->text(2), row->text(3), row->toolTip(0),
                                iconPicture(row->icon(0)), row->isDisabled() ? "disabled" : "enabled"}
                        .join('|'));
        collectShown(row, rows);
    }
}

QStringList shownRows(const QTreeWidgetItem *parent)
{
    QStringList rows;
    collectShown(parent, rows);
    return rows;
}

bool inKeyOrder(const QTreeWidgetItem *parent)
{
    for (int i = 0; i < parent->childCount(); ++i)
        if ((i > 0 && parent->child(i - 1)->text(3) > parent->child(i)->text(3)) || !inKeyOrder(parent->child(i)))
            return false;
    return true;
}

// The longest the event loop went without turning, seen by a 20 ms timer and counted in the GUI
// thread's own processor time: the work the console does between two turns, whatever else the
// machine is running meanwhile.
class LoopWatch
{
public:
    LoopWatch()
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const qint64 now = threadCpuMs();
            longest = std::max(longest, now - last);
            last = now;
        });
        timer.start(20);
    }
    qint64 longestGapMs() const { return longest; }

private:
    QTimer timer;
    qint64 last = threadCpuMs();
    qint64 longest = 0;
};

// The most row changes the tree saw between two turns of the event loop: how much of a unit's
// traffic one turn took on, whatever the machine's speed.
class TurnWatch
{
public:
    TurnWatch()
    {
        QObject::connect(gZudWindow->connectionsTree()->model(), &QAbstractItemModel::dataChanged, &context,
                         [this] { ++changes; });
        QObject::connect(&timer, &QTimer::timeout, [this] {
            most = std::max(most, changes);
            changes = 0;
        });
        timer.start(0);
    }
    int mostChangesPerTurn() const { return most; }

private:
    QObject context;
    QTimer timer;
    int changes = 0;
    int most = 0;
};

// A second start of the console, which asks the running one (this test) to come to the front.
class SecondConsole
{
public:
    SecondConsole()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_MESSAGE_PATTERN", "%{time boot} %{message}");
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(dir.path());
        process.start(ZUD_BINARY, QStringList{});
    }
    ~SecondConsole()
    {
        process.kill();
        process.waitForFinished(5000);
    }

    // When it sent its raise request, by its own log, which may reach this process a little
    // after the request; -1 when it has not said so within a few seconds.
    qint64 requestSentMs()
    {
        static const QRegularExpression line(R"((\d+)\.(\d{3}) a console is running already)");
        for (QDeadlineTimer deadline(eventBound); !deadline.hasExpired(); process.waitForReadyRead(100)) {
            log += process.readAllStandardError();
            const QRegularExpressionMatch match = line.match(QString::fromUtf8(log));
            if (match.hasMatch())
                return match.captured(1).toLongLong() * 1000 + match.captured(2).toLongLong();
        }
        return -1;
    }

private:
    QTemporaryDir dir;
    QProcess process;
    QByteArray log;
};

void quiet(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    // Tens of thousands of debug lines would bury the test's own output.
    if (type != QtDebugMsg)
        fprintf(stderr, "%s\n", qPrintable(message));
}
}

class LoadTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void bigUserList();
    void droppedList();
    void statusFlood();
    void unpacedFlood();
    void conferenceFlood();

private:
    // A simulated unit of this model that sends nothing unasked (no alive reports either), and
    // the console's unit for it, with its row expanded; null when the unit did not start.
    std::unique_ptr<CentralUnit> startQuietUnit(SimUnit &sim, const QString &model, int replyDelayMs);
    // The console's unit for a quiet unit of this model (6,000 users by default) once its
    // start-up program is through, it holds `resources` and the coordinates, and its rows stand in
    // key order; null when that did not come.
    std::unique_ptr<CentralUnit> startSettledUnit(SimUnit &sim, const QString &model = {}, int resources = 6000);
    // Starts a second console, then runs `meanwhile`, and waits until this one took the second's
    // raise request; the delay.
    qint64 raiseDelayMs(const std::function<void()> &meanwhile = {});
    // Both bounds, with the figures in the test's output.
    void checkAnswering(qint64 delay, const LoopWatch &watch);

    QTemporaryDir dir;
    SingleInstance instance;
    qint64 raisedAt = -1;
};

void LoadTest::initTestCase()
{
    qInstallMessageHandler(quiet);
    makeMainWindow();
    gZudWindow->show();
    QVERIFY(instance.listen());
    connect(&instance, &SingleInstance::raiseRequested, this, [this] { raisedAt = monotonicMs(); });
}

// Less what a busy machine held the loop back meanwhile: the wait the console itself caused.
qint64 LoadTest::raiseDelayMs(const std::function<void()> &meanwhile)
{
    raisedAt = -1;
    SecondConsole second;
    LoopLag lag;
    if (meanwhile)
        meanwhile();
    if (!QTest::qWaitFor([&] { return raisedAt >= 0; }, eventBound))
        return std::numeric_limits<qint64>::max();
    const qint64 sent = second.requestSentMs();
    return sent >= 0 ? raisedAt - sent - lag.ms(sent, raisedAt) : std::numeric_limits<qint64>::max();
}

void LoadTest::checkAnswering(qint64 delay, const LoopWatch &watch)
{
    qInfo("raise request answered after %lld ms; the event loop stood still for %lld ms of work at most", delay,
          watch.longestGapMs());
    QVERIFY2(delay < answerBoundMs, qPrintable(QString("raise request answered after %1 ms").arg(delay)));
    QVERIFY2(watch.longestGapMs() < answerBoundMs,
             qPrintable(QString("the event loop stood still for %1 ms of work").arg(watch.longestGapMs())));
}

std::unique_ptr<CentralUnit> LoadTest::startQuietUnit(SimUnit &sim, const QString &model, int replyDelayMs)
{
    if (!sim.start({"--model", model, "--reply-delay", QString::number(replyDelayMs), "--alive", "0"}))
        return nullptr;
    // Without alive reports the link would be dropped after its time to live.
    auto unit = makeUnit("127.0.0.2", "pw1", "3600");
    unit->treeItem()->setExpanded(true);
    return unit;
}

std::unique_ptr<CentralUnit> LoadTest::startSettledUnit(SimUnit &sim, const QString &model, int resources)
{
    auto unit = startQuietUnit(sim, model.isEmpty() ? writeModel(dir, {"user"}, resources) : model, 0);
    if (!unit)
        return nullptr;
    QSignalSpy started(unit.get(), &CentralUnit::programSucceeded);
    if (!started.wait(60000) || unit->resources().size() != resources + 1)
        return nullptr;
    // The view sorts when the event loop next turns.
    if (!QTest::qWaitFor([] { return inKeyOrder(gZudWindow->connectionsTree()->invisibleRootItem()); }, eventBound))
        return nullptr;
    return unit;
}

void LoadTest::bigUserList()
{
    constexpr int users = 55000;
    SimUnit sim;
    auto unit = startQuietUnit(sim, writeModel(dir, {"user"}, users), 500);
    QVERIFY(unit);
    // The list reply is kept back until the second console is on its way, so that its request
    // comes while this one takes the reply.
    QTRY_VERIFY_WITH_TIMEOUT(sim.messages().contains("list|users"), eventBound);
    QVERIFY(sim.control({{"do", "hold"}, {"on", true}}));
    // The unit's row selected: its details walk every resource whenever the panel refreshes.
    unit->treeItem()->setSelected(true);

    LoopWatch watch;
    const qint64 delay = raiseDelayMs([&] { QVERIFY(sim.control({{"do", "hold"}, {"on", false}})); });
    QTRY_COMPARE_WITH_TIMEOUT(unit->resources().size(), users + 1, 60000);
    // A turn of the loop after the reply, to see how long the view's sort stood it still.
    QTest::qWait(100);
    checkAnswering(delay, watch);
    QVERIFY(unit->findResource(userName(users - 1), "user"));
    // The new rows stand in key order once the view has sorted them, when the loop turns.
    QTRY_VERIFY_WITH_TIMEOUT(inKeyOrder(gZudWindow->connectionsTree()->invisibleRootItem()), eventBound);
}

// A long list is taken over many turns of the event loop: a link dropped in the middle of it
// leaves nothing behind, the next link's list comes whole and in key order, and a report that
// the unit sends right behind the list is handled after it.
void LoadTest::droppedList()
{
    constexpr int users = 20000;
    SimUnit sim;
    auto unit = startQuietUnit(sim, writeModel(dir, {"user"}, users), 0);
    QVERIFY(unit);
    QTRY_VERIFY_WITH_TIMEOUT(unit->resources().size() > 1, eventBound);
    QVERIFY(unit->resources().size() < users + 1);
    // The unit keeps its replies back from here on, the next link's too.
    QVERIFY(sim.control({{"do", "hold"}, {"on", true}}));
    QVERIFY(sim.control({{"do", "close"}}));
    QTRY_COMPARE(unit->linkState(), CentralUnit::LinkState::Unreachable);
    QVERIFY(unit->resources().isEmpty());

    // The login answered; this thread takes both control lines before the console can send on.
    const auto logins = [&sim] { return sim.messages().filter(QRegularExpression("^login\\|")).size(); };
    QTRY_COMPARE_WITH_TIMEOUT(logins(), 2, eventBound);
    QVERIFY(sim.control({{"do", "hold"}, {"on", false}}));
    QVERIFY(sim.control({{"do", "hold"}, {"on", true}}));
    // The list reply, then a report about its last entry (the model lists its users against key
    // order: the first user comes last).
    QTRY_COMPARE_WITH_TIMEOUT(sim.messages().count("list|users"), 2, eventBound);
    QVERIFY(sim.control({{"do", "hold"}, {"on", false}}));
    QVERIFY(sim.control({{"do", "send"}, {"tokens", QJsonArray{"status", "user", userName(0), "busy", "user", userName(1)}}}));
    QTRY_COMPARE_WITH_TIMEOUT(unit->resources().size(), users + 1, 60000);
    QTRY_VERIFY(unit->findResource(userName(0))->isConnectedTo(userName(1)));
    QTRY_VERIFY_WITH_TIMEOUT(inKeyOrder(gZudWindow->connectionsTree()->invisibleRootItem()), eventBound);
    // The operator can sort by another column again.
    QVERIFY(gZudWindow->connectionsTree()->isSortingEnabled());
}

void LoadTest::statusFlood()
{
    constexpr int users = 6000;
    constexpr int reports = 3000;
    SimUnit sim;
    auto unit = startSettledUnit(sim);
    QVERIFY(unit);
    const QStringList before = rowOrder();

    // Users turn busy with a peer and free again; the last report says when all were handled.
    QJsonArray flood;
    for (int n = 0; n + 1 < reports; ++n) {
        const QString user = userName(n * 7 % users);
        flood.append(n % 2 ? QJsonArray{"status", "user", user, "free"}
                           : QJsonArray{"status", "user", user, "busy", "user", userName((n + 1) % users)});
    }
    flood.append(QJsonArray{"status", "user", userName(users - 1), "busy", "user", "last"});
    Resource *last = unit->findResource(userName(users - 1));
    last->treeItem()->setSelected(true);
    QVERIFY(sim.control({{"do", "flood"}, {"messages", flood}, {"rate", 1000}}));

    LoopWatch watch;
    QTRY_VERIFY(unit->findResource(userName(0))->isBusy());
    const qint64 delay = raiseDelayMs();
    QTRY_VERIFY_WITH_TIMEOUT(last->isConnectedTo("last"), eventBound);
    checkAnswering(delay, watch);
    QCOMPARE(rowOrder(), before);
}

void LoadTest::unpacedFlood()
{
    constexpr int users = 6000;
    constexpr int flooded = 1000;
    SimUnit sim;
    auto unit = startSettledUnit(sim);
    QVERIFY(unit);
    const QStringList before = rowOrder();

    // One round: the witness turns busy, each flooded user turns busy with a peer and free again
    // right after, an alive report comes now and then, and the witness turns free. After a whole
    // number of rounds everyone is free; a message handled out of order would leave one busy.
    const QString witness = userName(users - 2);
    QJsonArray round{QJsonArray{"status", "user", witness, "busy", "user", userName(0)}};
    QStringList floodedUsers;
    for (int n = 0; n < flooded; ++n) {
        floodedUsers.append(userName(n * 7 % (users - 2)));
        round.append(QJsonArray{"status", "user", floodedUsers.last(), "busy", "user", userName(n + 1)});
        round.append(QJsonArray{"status", "user", floodedUsers.last(), "free"});
        if (n % 10 == 0)
            round.append(QJsonArray{"status", "alive"});
    }
    round.append(QJsonArray{"status", "user", witness, "free"});
    Resource *last = unit->findResource(userName(users - 1));
    last->treeItem()->setSelected(true);
    const auto roundsStarted = [&sim] {
        int rounds = 0;
        for (const QJsonObject &entry : sim.log())
            rounds = std::max(rounds, entry["flood round"].toInt());
        return rounds;
    };
    QVERIFY(sim.control({{"do", "flood"}, {"messages", round}, {"rate", 0}}));

    LoopWatch watch;
    TurnWatch turns;
    QTRY_VERIFY(unit->findResource(witness)->isBusy());
    const qint64 delay = raiseDelayMs();
    // The flood went on past the request: the unit still had rounds to start.
    const int roundsAtRaise = roundsStarted();
    QTRY_VERIFY_WITH_TIMEOUT(roundsStarted() > roundsAtRaise, eventBound);
    // The round under way ends, then the last report.
    QVERIFY(sim.control({{"do", "flood"},
                         {"messages", QJsonArray{QJsonArray{"status", "user", last->name(), "busy", "user", "last"}}},
                         {"rate", 1000}}));
    QTRY_VERIFY_WITH_TIMEOUT(last->isConnectedTo("last"), 60000);
    qInfo("%d rounds of %lld reports; at most %d row changes in one turn of the event loop", roundsStarted(),
          qint64(round.size()), turns.mostChangesPerTurn());
    checkAnswering(delay, watch);
    // One turn takes on a bounded share of the flood (a few hundred row changes), not all that
    // one read of the link brings (thousands).
    QVERIFY2(turns.mostChangesPerTurn() < maxChangesPerTurn,
             qPrintable(QString("%1 row changes in one turn").arg(turns.mostChangesPerTurn())));
    QVERIFY(!unit->findResource(witness)->isBusy());
    for (const QString &user : floodedUsers)
        QVERIFY2(!unit->findResource(user)->isBusy(), qPrintable(user + " was left busy"));
    QCOMPARE(rowOrder(), before);
}

void LoadTest::conferenceFlood()
{
    constexpr int resources = 6000;
    constexpr int conferences = 1500;
    constexpr int moved = 200;
    const QString model = writeModel(dir, allKinds, resources, conferences);
    // One round: bursts of alive reports between reports that bring a user into one conference,
    // move it to another and, for every other user, free it again. Each user's last report says
    // all of its state, so every round ends where the first did.
    QJsonArray round;
    const auto aliveBurst = [&round] {
        for (int k = 0; k < 5; ++k)
            round.append(QJsonArray{"status", "alive"});
    };
    for (int i = 0; i < moved; ++i) {
        // Every fifth resource is a user.
        const QString user = userName(5 * i);
        aliveBurst();
        round.append(QJsonArray{"status", "user", user, "busy", "conference", conferenceName(i), "user", userName(5 * i + 5)});
        aliveBurst();
        round.append(QJsonArray{"status", "user", user, "busy", "conference", conferenceName(i + moved)});
    }
    for (int i = 1; i < moved; i += 2)
        round.append(QJsonArray{"status", "user", userName(5 * i), "free"});
    const QString witness = userName(resources - 5);
    const QJsonArray last{QJsonArray{"status", "user", witness, "busy", "user", "last"}};

    // The tree that the same reports give when they come one at a time.
    QStringList paced;
    {
        SimUnit sim;
        auto unit = startSettledUnit(sim, model, resources + conferences);
        QVERIFY(unit);
        QJsonArray once = round;
        once.append(last.first());
        QVERIFY(sim.control({{"do", "flood"}, {"messages", once}, {"rate", 2000}}));
        QTRY_VERIFY_WITH_TIMEOUT(unit->findResource(witness)->isConnectedTo("last"), eventBound);
        paced = shownRows(unit->treeItem());
        auto *joined = static_cast<Conference *>(unit->findResource(conferenceName(moved), "conference"));
        QCOMPARE(joined->participantList(), QStringList{userName(0)});
        QCOMPARE(static_cast<Conference *>(unit->findResource(conferenceName(0), "conference"))->participantCount(), 0);
    }

    SimUnit sim;
    auto unit = startSettledUnit(sim, model, resources + conferences);
    QVERIFY(unit);
    const qint64 quiet = raiseDelayMs();
    QVERIFY(quiet < answerBoundMs);
    QVERIFY(sim.control({{"do", "flood"}, {"messages", round}, {"rate", 0}}));
    LoopWatch watch;
    QTRY_VERIFY(unit->findResource(userName(0))->isBusy());
    for (int n = 0; n < 5; ++n) {
        const qint64 delay = raiseDelayMs();
        qInfo("raise request answered after %lld ms under the flood, %lld ms with a quiet unit; the event loop stood "
              "still for %lld ms of work at most",
              delay, quiet, watch.longestGapMs());
        QVERIFY2(delay <= quiet + 100, qPrintable(QString("raise request %1 answered after %2 ms, %3 ms when quiet")
                                                      .arg(n + 1).arg(delay).arg(quiet)));
    }
    QVERIFY(sim.control({{"do", "flood"}, {"messages", last}, {"rate", 1000}}));
    QTRY_VERIFY_WITH_TIMEOUT(unit->findResource(witness)->isConnectedTo("last"), 60000);
    QCOMPARE(shownRows(unit->treeItem()), paced);
}

QTEST_MAIN(LoadTest)
#include "test_load.moc"
