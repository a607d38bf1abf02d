// One control centre per user: a second start brings the first one's window forward and ends,
// before it could touch the first one's server.
#pragma once

#include <QObject>

class QLocalServer;

class SingleInstance : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(QObject* parent = nullptr);

    // True when another control centre of this user answered and was asked to show its window.
    // Otherwise this one is the user's control centre from now on.
    bool handedOver();

Q_SIGNALS:
    // Another start of this user's control centre asked for the window.
    void showRequested();

private:
    bool askRunning();
    bool listen();

    QLocalServer* server;
};
