#include "singleinstance.h"

#include <QDebug>
#include <QLocalSocket>
#include <QStandardPaths>

namespace {
const QByteArray raiseRequest = "helo\n";
}

QString SingleInstance::serverName()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + "/zud-console";
}

bool SingleInstance::notifyRunning()
{
    QLocalSocket socket;
    socket.connectToServer(serverName());
    if (!socket.waitForConnected(1000))
        return false;
    qDebug() << "a console is running already: asking it to raise itself";
    socket.write(raiseRequest);
    const bool sent = socket.waitForBytesWritten(1000);
    socket.disconnectFromServer();
    return sent;
}

bool SingleInstance::listen()
{
    connect(&server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *client = server.nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                if (client->canReadLine() && client->readLine() == raiseRequest)
                    emit raiseRequested();
            });
        }
    });
    // A name left behind by a console that did not end cleanly would refuse the listen.
    QLocalServer::removeServer(serverName());
    if (!server.listen(serverName())) {
        qDebug() << "ERROR: cannot listen for other starts of the console:" << server.errorString();
        return false;
    }
    return true;
}
