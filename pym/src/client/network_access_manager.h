// pym's own requests to the server, each shown to the page before it is sent.
#pragma once

#include <QNetworkAccessManager>

class webpage;

class NetworkAccessManager : public QNetworkAccessManager
{
    Q_OBJECT

public:
    NetworkAccessManager(QObject* parent, webpage* observer);

protected:
    QNetworkReply* createRequest(Operation operation, const QNetworkRequest& request, QIODevice* outgoingData) override;

private:
    webpage* observer;
};
