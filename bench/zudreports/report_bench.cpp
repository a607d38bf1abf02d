// The console's time for one "status user" report, for units of several sizes: every unit names
// its resources (users, radios, field phones, lines, speakers) and a conference for every four of
// them; the reports move users from conference to conference and free them again. A peer inside
// the benchmark plays the unit on 127.0.0.1:22349 and answers every command "ok".
//
// usage: report_bench REPORTS ROUNDS SIZE...
// prints, per size, "resources N conferences M per_report_us X" (best of the rounds)
#include "centralunit.h"
#include "confignode.h"
#include "resource.h"
#include "wireformat.h"
#include "zudmainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {
QString resourceName(int n)
{
    return QString("u%1").arg(n, 6, 10, QChar('0'));
}

QString conferenceName(int n)
{
    return QString("c%1").arg(n, 6, 10, QChar('0'));
}

// The unit's side of the link: its list replies, "ok" to everything else.
class Peer : public QObject
{
public:
    Peer(int resources, int conferences) : resources(resources), conferences(conferences)
    {
        server.listen(QHostAddress::LocalHost, 22349);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            link = server.nextPendingConnection();
            connect(link, &QTcpSocket::readyRead, this, &Peer::answer);
        });
    }
    bool listening() const { return server.isListening(); }
    void send(const QByteArray &bytes) { link->write(bytes); }

private:
    void answer()
    {
        QList<QStringList> commands;
        reader.append(link->readAll(), commands);
        for (const QStringList &command : commands)
            link->write(*encodeMessage(reply(command)));
    }

    QStringList reply(const QStringList &command) const
    {
        static const char *kinds[] = {"user", "radio", "field phone", "pabx", "speaker"};
        QStringList tokens{"ok"};
        if (command == QStringList{"list", "users"})
            for (int n = 0; n < resources; ++n)
                tokens << kinds[n % 5] << resourceName(n) << "free";
        else if (command == QStringList{"list", "conferences"})
            for (int n = 0; n < conferences; ++n)
                tokens << "local" << conferenceName(n) << "free";
        else if (command.value(0) == "login")
            tokens << "4000";
        return tokens;
    }

    int resources;
    int conferences;
    QTcpServer server;
    QTcpSocket *link = nullptr;
    MessageReader reader;
};

// Runs the event loop until `done` holds or `ms` have passed; whether it held.
bool runUntil(const std::function<bool()> &done, int ms)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(0);
    QTimer::singleShot(ms, &loop, [&loop] { loop.exit(1); });
    return loop.exec() == 0 && done();
}

// Seconds per report, best of `rounds`; negative when the unit did not come up or a round did not end.
double secondsPerReport(int resources, int reports, int rounds)
{
    const int conferences = resources / 4;
    Peer peer(resources, conferences);
    if (!peer.listening())
        return -1;
    CentralUnit unit({"Bench", "127.0.0.1", "22349", "", "3600", "0"});
    bool started = false;
    QObject::connect(&unit, &CentralUnit::programSucceeded, [&started] { started = true; });
    if (!runUntil([&] { return started; }, 120000) || unit.resources().size() != resources + conferences + 1)
        return -1;
    // Users only (every fifth resource): each report moves one into the next conference or frees it.
    const int users = (resources + 4) / 5;
    double best = -1;
    for (int round = 0; round < rounds; ++round) {
        QByteArray flood;
        for (int n = 0; n < reports; ++n) {
            const QString user = resourceName(5 * (n % users));
            flood += *encodeMessage(n % 3 == 2 ? QStringList{"status", "user", user, "free"}
                                               : QStringList{"status", "user", user, "busy", "conference",
                                                             conferenceName((n + round) % conferences)});
        }
        const QString marker = QString("end of round %1").arg(round);
        flood += *encodeMessage({"status", "user", resourceName(0), "busy", "user", marker});
        Resource *witness = unit.findResource(resourceName(0));
        QElapsedTimer clock;
        clock.start();
        peer.send(flood);
        if (!runUntil([&] { return witness->isConnectedTo(marker); }, 600000))
            return -1;
        const double seconds = clock.nsecsElapsed() / 1e9 / (reports + 1);
        best = best < 0 ? seconds : std::min(best, seconds);
    }
    return best;
}

void dropMessage(QtMsgType, const QMessageLogContext &, const QString &) {}
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: report_bench REPORTS ROUNDS SIZE...\n");
        return 2;
    }
    const int reports = std::atoi(argv[1]);
    const int rounds = std::atoi(argv[2]);
    // The debug lines are made as in a real run, and dropped instead of written.
    qInstallMessageHandler(dropMessage);
    gOperatorName = "Bench";
    gZudWindow = new ZudMainWindow;
    for (int i = 3; i < argc; ++i) {
        const int resources = std::atoi(argv[i]);
        const double seconds = secondsPerReport(resources, reports, rounds);
        if (seconds < 0) {
            std::fprintf(stderr, "the unit of %d resources did not take its reports\n", resources);
            return 1;
        }
        std::printf("resources %d conferences %d per_report_us %.1f\n", resources, resources / 4, seconds * 1e6);
        std::fflush(stdout);
    }
    return 0;
}
