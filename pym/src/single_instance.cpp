#include "single_instance.h"

#include "logger.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace {

constexpr int ANSWER_BOUND_MS = 3000;
const QByteArray SHOW = "show\n";

// In the user's runtime directory, which only the user can reach; the user id in the name keeps
// two users apart where there is none.
QString socketPath()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists()) return QDir(runtime).filePath(QStringLiteral("intercom-control-centre"));
    return QDir(QDir::tempPath()).filePath(QStringLiteral("intercom-control-centre-%1").arg(getuid()));
}

} // namespace

SingleInstance::SingleInstance(QObject* parent)
    : QObject(parent)
    , server(new QLocalServer(this))
{
    server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine() || socket->readLine() != SHOW) return;
                LOG_MESSAGE(LOG_APP, QStringLiteral("another start asked for the window"));
                Q_EMIT showRequested();
            });
        }
    });
}

bool SingleInstance::handedOver()
{
    if (askRunning()) return true;
    if (listen()) return false;
    // Another start may have begun to listen a moment ago; else the name is left by a control
    // centre that died, and is taken over.
    if (askRunning()) return true;
    QLocalServer::removeServer(socketPath());
    if (!listen()) LOG_MESSAGE(LOG_APP, QStringLiteral("single instance: cannot listen: ") + server->errorString());
    return false;
}

// A socket file without a listener (its control centre died) refuses the connection; a control
// centre that is busy or hangs still has it accepted, and its server is left alone.
bool SingleInstance::askRunning()
{
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(ANSWER_BOUND_MS)) return false;
    socket.write(SHOW);
    socket.waitForBytesWritten(ANSWER_BOUND_MS);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::listen()
{
    return server->listen(socketPath());
}
