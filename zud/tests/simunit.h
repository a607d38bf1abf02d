#pragma once

// Starts the simulated central unit of peers/central_unit.py for a test and reads what it logged.

#include "waits.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>

class SimUnit
{
public:
    explicit SimUnit(const QString &address = "127.0.0.2") : address(address) {}
    ~SimUnit() { stop(); }

    // Starts the unit with these further arguments and waits until it listens (a Python start on a
    // busy machine can take seconds).
    bool start(const QStringList &arguments = {})
    {
        process.setProgram("python3");
        process.setArguments(QStringList{QStringLiteral(ZUD_PEERS_DIR "/central_unit.py"), "--address", address,
                                         "--log", logPath(), "--control", controlPath()} + arguments);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start();
        if (!process.waitForStarted(eventBound))
            return false;
        while (!process.canReadLine())
            if (!process.waitForReadyRead(eventBound))
                return false;
        return process.readLine().trimmed() == "ready";
    }

    void stop()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    // One control command (see the unit's usage); true when the unit took it.
    bool control(const QJsonObject &command)
    {
        QLocalSocket socket;
        socket.connectToServer(controlPath());
        if (!socket.waitForConnected(eventBound))
            return false;
        socket.write(QJsonDocument(command).toJson(QJsonDocument::Compact) + '\n');
        while (!socket.canReadLine())
            if (!socket.waitForReadyRead(eventBound))
                return false;
        return socket.readLine() == "ok\n";
    }

    // Every entry of the unit's log, in order.
    QList<QJsonObject> log() const
    {
        QList<QJsonObject> entries;
        QFile file(logPath());
        if (file.open(QIODevice::ReadOnly))
            while (!file.atEnd())
                entries.append(QJsonDocument::fromJson(file.readLine()).object());
        return entries;
    }

    // The messages received, each as its tokens joined by "|".
    QStringList messages() const
    {
        QStringList out;
        for (const QJsonObject &entry : log())
            if (entry.contains("tokens"))
                out.append(entry["tokens"].toVariant().toStringList().join('|'));
        return out;
    }

    // What the unit had on air for the console after the last talk command it took ("ptt",
    // "broadcast").
    QStringList onAir() const
    {
        QStringList last;
        for (const QJsonObject &entry : log())
            if (entry.contains("on air"))
                last = entry["on air"].toVariant().toStringList();
        return last;
    }

    // True when some message came while the reply to an earlier one was still owed.
    bool anyEarly() const
    {
        for (const QJsonObject &entry : log())
            if (entry["early"].toBool())
                return true;
        return false;
    }

    QString logPath() const { return dir.filePath("log.jsonl"); }
    QString controlPath() const { return dir.filePath("control"); }

private:
    QString address;
    QTemporaryDir dir;
    QProcess process;
};
