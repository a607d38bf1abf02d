#pragma once

// What the link tests share: the main window every unit hangs its row in, a simulated unit and
// a console unit connected to it.

#include "centralunit.h"
#include "confignode.h"
#include "simunit.h"
#include "connectionstreewidget.h"
#include "zudmainwindow.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTreeWidgetItem>

#include <memory>

inline void makeMainWindow()
{
    if (!gZudWindow)
        gZudWindow = new ZudMainWindow;
    gOperatorName = QStringLiteral("ZUD Operator");
}

inline std::unique_ptr<CentralUnit> makeUnit(const QString &address = "127.0.0.2", const QString &password = "pw1",
                                             const QString &ttl = "2", const QString &gain = "0")
{
    return std::make_unique<CentralUnit>(QStringList{"Unit " + address, address, "22349", password, ttl, gain});
}

// The start-up program as the unit must receive it.
inline QStringList startupCommands(quint16 rtpPort, const QString &password = "pw1", const QString &gain = "0")
{
    QString login = "login|ZUD Operator|" + QString::number(rtpPort);
    if (!password.isEmpty())
        login += '|' + password;
    return {login, "list|users", "list|conferences", "list|endpoints", "list|routes", "info|radio silence",
            "gain|set|" + gain + "|output"};
}

// Seconds since the simulated unit started, as its log counts them, of the n-th "open" event.
inline double openTime(const SimUnit &unit, int n)
{
    int seen = 0;
    for (const QJsonObject &entry : unit.log())
        if (entry["event"].toString() == "open" && ++seen == n)
            return entry["t"].toDouble();
    return -1;
}

// When the unit's socket begins each connection attempt and when each link or attempt ends, in
// milliseconds since construction, and how late the event loop ran meanwhile: the console's
// reconnect timer runs on that loop.
class ConnectAttempts : public LoopLag
{
public:
    explicit ConnectAttempts(CentralUnit &unit)
    {
        clock.start();
        QObject::connect(unit.findChild<QTcpSocket *>(), &QTcpSocket::stateChanged, &context,
                         [this](QAbstractSocket::SocketState state) {
                             if (state == QAbstractSocket::ConnectingState)
                                 at.append(clock.elapsed());
                             else if (state == QAbstractSocket::UnconnectedState)
                                 closed.append(clock.elapsed());
                         });
    }

    // How long attempt `i` came after the end of the link or attempt before it (the first end seen
    // after that one began); -1 when none ended.
    qint64 delayOf(int i) const
    {
        const qint64 previous = i > 0 ? at.value(i - 1, -1) : -1;
        for (qint64 t : closed)
            if (t >= previous && t <= at.value(i, -1))
                return at[i] - t;
        return -1;
    }

    QList<qint64> at;
    QList<qint64> closed;

private:
    QObject context;
    QElapsedTimer clock;
};
