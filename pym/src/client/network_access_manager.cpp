#include "client/network_access_manager.h"

#include "client/webpage.h"

NetworkAccessManager::NetworkAccessManager(QObject* parent, webpage* observer)
    : QNetworkAccessManager(parent)
    , observer(observer)
{
}

QNetworkReply* NetworkAccessManager::createRequest(Operation operation, const QNetworkRequest& request,
                                                   QIODevice* outgoingData)
{
    observer->onRequest(request.url());
    return QNetworkAccessManager::createRequest(operation, request, outgoingData);
}
