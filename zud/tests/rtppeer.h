#pragma once

// peers/rtp_unit.py, a unit's RTP side, run to its end while the console's event loop goes on.

#include "waits.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTest>

// The peer's summary (what it heard when it listened); the test ends when the peer fails.
inline QJsonObject runRtpPeer(const QStringList &arguments)
{
    QProcess peer;
    peer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    peer.start("python3", QStringList{ZUD_PEERS_DIR "/rtp_unit.py"} + arguments);
    if (!peer.waitForStarted(eventBound) || !QTest::qWaitFor([&] { return peer.state() == QProcess::NotRunning; }, eventBound)
        || peer.exitCode() != 0)
        qFatal("rtp_unit.py %s failed", qPrintable(arguments.join(' ')));
    return QJsonDocument::fromJson(peer.readAllStandardOutput()).object();
}
