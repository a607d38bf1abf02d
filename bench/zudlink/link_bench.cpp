// Round trips of a unit's command program against the loopback peer, beside a bare blocking
// ping-pong of the same bytes with the same peer.
//
// usage: link_bench [COMMANDS]   (the peer must listen on 127.0.0.1:22349)
// prints "program_per_second R", "pingpong_per_second R", "ratio X"
#include "centralunit.h"
#include "confignode.h"
#include "zudmainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>

#include <cstdio>

namespace {
bool waitFor(CentralUnit &unit, int ms)
{
    QEventLoop loop;
    QObject::connect(&unit, &CentralUnit::programSucceeded, &loop, &QEventLoop::quit);
    QTimer::singleShot(ms, &loop, [&loop] { loop.exit(1); });
    return loop.exec() == 0;
}
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int commands = argc > 1 ? atoi(argv[1]) : 10000;
    gOperatorName = "Bench";
    gZudWindow = new ZudMainWindow;

    CentralUnit unit({"Bench", "127.0.0.1", "22349", "", "3600", "0"});
    if (!waitFor(unit, 10000)) {
        std::fprintf(stderr, "no start-up\n");
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    unit.appendToProgram(QList<Operation>(commands, Operation{"list", "users"}));
    if (!waitFor(unit, 600000)) {
        std::fprintf(stderr, "program did not end\n");
        return 1;
    }
    const double programSeconds = clock.nsecsElapsed() / 1e9;
    unit.closeConnection(false);

    QTcpSocket socket;
    socket.connectToHost("127.0.0.1", 22349);
    if (!socket.waitForConnected(5000))
        return 1;
    const QByteArray command = *encodeMessage({"list", "users"});
    clock.restart();
    for (int i = 0; i < commands; ++i) {
        socket.write(command);
        socket.waitForBytesWritten(5000);
        QByteArray reply;
        while (reply.size() < 4 && socket.waitForReadyRead(5000))
            reply += socket.readAll();
    }
    const double pingSeconds = clock.nsecsElapsed() / 1e9;

    std::printf("program_per_second %.0f\npingpong_per_second %.0f\nratio %.2f\n", commands / programSeconds,
                commands / pingSeconds, pingSeconds / programSeconds);
    return 0;
}
