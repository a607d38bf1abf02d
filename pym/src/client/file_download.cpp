#include "client/file_download.h"

#include "logger.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QWebEngineDownloadRequest>

#include <cstdio>

namespace {

// A name in the target's directory that no file has yet.
QString partialName(const QFileInfo& target)
{
    QString name;
    do {
        name = QStringLiteral(".%1.%2.part").arg(target.fileName()).arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    } while (QFileInfo::exists(target.dir().filePath(name)));
    return name;
}

} // namespace

FileDownload::FileDownload(QWebEngineDownloadRequest* download, const QString& target, QObject* parent)
    : QObject(parent)
    , download(download)
    , target(target)
{
    const QFileInfo file(target);
    const QString name = partialName(file);
    partial = file.dir().filePath(name);
    download->setDownloadDirectory(file.absolutePath());
    download->setDownloadFileName(name);
    connect(download, &QWebEngineDownloadRequest::receivedBytesChanged, this, [this] {
        LOG_MESSAGE(LOG_WEB, QStringLiteral("download ready read - bytes available %1").arg(this->download->receivedBytes()));
    });
    connect(download, &QWebEngineDownloadRequest::stateChanged, this, &FileDownload::onStateChanged);
    LOG_MESSAGE(LOG_WEB, QStringLiteral("download init - bytes available %1").arg(download->receivedBytes()));
    download->accept();
}

void FileDownload::onStateChanged()
{
    const auto state = download->state();
    if (finished || state == QWebEngineDownloadRequest::DownloadRequested
        || state == QWebEngineDownloadRequest::DownloadInProgress)
        return;
    finished = true;
    // rename() replaces the old file in one step: it is never missing or half written.
    if (state == QWebEngineDownloadRequest::DownloadCompleted
        && std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(target).constData()) == 0) {
        LOG_MESSAGE(LOG_WEB, QStringLiteral("save file - done!"));
        Q_EMIT ended(true);
        return;
    }
    LOG_MESSAGE(LOG_WEB, QStringLiteral("ERROR: save file - %1")
                             .arg(state == QWebEngineDownloadRequest::DownloadCompleted ? QStringLiteral("could not move into place")
                                                                                        : download->interruptReasonString()));
    // An interrupted download would be taken up again by the engine: it ends here. The engine
    // writes under its own name (ours + ".download") until the file is whole, and leaves that
    // file behind when the disk is full.
    if (state == QWebEngineDownloadRequest::DownloadInterrupted) download->cancel();
    QFile::remove(partial + QStringLiteral(".download"));
    QFile::remove(partial);
    Q_EMIT ended(false);
}
