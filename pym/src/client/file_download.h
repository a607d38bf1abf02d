// One file that the page offers, saved where the user chose: written beside the target under a
// temporary name and renamed into place only once it is whole.
#pragma once

#include <QObject>
#include <QString>

class QWebEngineDownloadRequest;

class FileDownload : public QObject
{
    Q_OBJECT

public:
    // Accepts the download; ended() follows once.
    FileDownload(QWebEngineDownloadRequest* download, const QString& target, QObject* parent = nullptr);

Q_SIGNALS:
    // true: the whole file is at the target; false: the target is as it was and nothing partial
    // is left.
    void ended(bool saved);

private:
    void onStateChanged();

    QWebEngineDownloadRequest* download;
    QString target;
    QString partial;
    bool finished = false;
};
