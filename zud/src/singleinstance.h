#pragma once

#include <QLocalServer>
#include <QObject>

// One console per user session is the rule: a later start asks the running one to come to the
// front (and still runs itself).
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Sends the raise request to a console already running; true when one took it.
    static bool notifyRunning();
    // Takes the requests of later starts; false (logged) when the name cannot be served.
    bool listen();

signals:
    void raiseRequested();

private:
    static QString serverName();
    QLocalServer server;
};
