// Arbitrary messages from a unit, through a real connection, to the status and reply dispatch
// of one connected CentralUnit. The input is a list of messages (the tokenizer's wire form); its
// first message, when it is no reply or report, becomes the command in flight, so that "ok" and
// "error" meet every command prefix.
#include "centralunit.h"
#include "confignode.h"
#include "wireformat.h"
#include "zudmainwindow.h"

#include <QApplication>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {
struct Fixture
{
    int argc = 1;
    char name[8] = "fuzzer";
    char *argv[2] = {name, nullptr};
    std::unique_ptr<QApplication> app;
    QTcpServer server;
    QTcpSocket *peer = nullptr;
    std::unique_ptr<CentralUnit> unit;

    Fixture()
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
        app = std::make_unique<QApplication>(argc, argv);
        gOperatorName = "Fuzz";
        gZudWindow = new ZudMainWindow;
        if (!server.listen(QHostAddress::LocalHost, 22349))
            abort();
        unit = std::make_unique<CentralUnit>(QStringList{"Fuzz", "127.0.0.1", "22349", "", "3600", "0"});
    }

    // A peer connected and the unit idle, whatever earlier inputs did to the link.
    bool ready()
    {
        for (int i = 0; i < 2000 && !(peer && peer->state() == QAbstractSocket::ConnectedState && unit->isConnected()); ++i) {
            if (server.hasPendingConnections())
                peer = server.nextPendingConnection();
            if (!unit->isConnected() && unit->findChild<QTcpSocket *>()->state() == QAbstractSocket::UnconnectedState)
                unit->openConnection();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        if (!peer || !unit->isConnected())
            return false;
        // Commands still queued (the start-up program, follow-ups of an earlier input) are
        // answered, so that every input starts with the unit idle.
        for (int i = 0; i < 200 && unit->checkIfBusyAndInformIfSo() && unit->isConnected(); ++i)
            deliver(QByteArray("ok\0\0", 4));
        return unit->isConnected();
    }

    void deliver(const QByteArray &bytes)
    {
        peer->write(bytes);
        auto *socket = unit->findChild<QTcpSocket *>();
        for (int i = 0; i < 200 && (peer->bytesToWrite() > 0 || socket->bytesAvailable() > 0 || i < 3); ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Fixture fixture;
    if (!fixture.ready())
        return 0;
    QList<QStringList> messages;
    MessageReader reader;
    reader.append(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)), messages);
    QByteArray bytes;
    for (const QStringList &message : messages) {
        const QString first = message.value(0);
        if (bytes.isEmpty() && first != "ok" && first != "error" && first != "status" && !fixture.unit->checkIfBusyAndInformIfSo()) {
            fixture.unit->appendToProgram({message});
            continue;
        }
        if (const auto encoded = encodeMessage(message))
            bytes += *encoded;
    }
    fixture.deliver(bytes);
    return 0;
}
