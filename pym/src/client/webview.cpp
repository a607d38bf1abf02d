#include "client/webview.h"

#include "client/file_dialog.h"
#include "client/file_download.h"
#include "client/network_access_manager.h"
#include "client/webpage.h"
#include "logger.h"
#include "splash.h"
#include "viewer.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QMessageBox>
#include <QNetworkReply>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QTimer>
#include <QWebEngineDownloadRequest>
#include <QtDebug>

namespace {

// The fifth failed start-page load gives up.
constexpr int MAX_RETRIES = 4;
constexpr int FIRST_LOAD_DELAY_MS = 1500;
constexpr int SHOW_DELAY_MS = 1500;
const QString WIN_GEOMETRY = QStringLiteral("WinGeometry");
const QString SAVE_FILE_LAST_LOCATION = QStringLiteral("SaveFileLastLocation");
const QString SAVE_FILE_PATH = QStringLiteral("SaveFilePath");
const QString CONFIGURATION_FILE = QStringLiteral("tuna/configurationFile.json");

QUrl serverUrl(const QString& path = QString())
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(SERVER_PORT);
    if (!path.isEmpty()) url.setPath(QLatin1Char('/') + path);
    return url;
}

// The kinds of file that have a filter of their own when they are saved.
QString saveFilter(const QString& extension)
{
    static const QStringList kinds = {QStringLiteral("mod"), QStringLiteral("dis"), QStringLiteral("bin"),
                                      QStringLiteral("conf"), QStringLiteral("wav")};
    return kinds.contains(extension) ? fileKind(extension).filter : QCoreApplication::translate("webview", "All files (*.*)");
}

} // namespace

webview::webview(QWidget* parent)
    : QMainWindow(parent)
{
    if (!mainWindow()) setMainWindow(this);
    saveLastLocation = settings().value(SAVE_FILE_LAST_LOCATION).toString();
    saveFilePath = settings().value(SAVE_FILE_PATH).toString();

    WebEnginePage::applyGlobalSettings();
    setLogMode(0);
    ui.setupUi(this);

    setWindowIcon(QIcon(QStringLiteral(":/icons/icons/morvex_logo.png")));
    setWindowTitle(QString::fromLatin1(PRODUCT_TITLE));
    QCoreApplication::setOrganizationName(QStringLiteral("Morvex Corporation"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("morvex.local"));
    QCoreApplication::setApplicationName(QString::fromLatin1(PRODUCT_TITLE));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.80"));

    splashScreen = new splash(this);
    splashScreen->show();

    ui.gridLayout->setContentsMargins(0, 0, 0, 0);
    // Never more than the screen holds: on a smaller one, the window's right and bottom edges with
    // the page's buttons would lie off the screen.
    setMinimumSize(QSize(800, 600).boundedTo(screen()->availableGeometry().size()));

    inspectorShortcut = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+I")), this);
    connect(inspectorShortcut, &QShortcut::activated, this, &webview::inspect);

    ui.web->setContextMenuPolicy(Qt::NoContextMenu);
    connect(ui.web, &QWebEngineView::loadFinished, this, &webview::onLoadFinished);

    page = new webpage(ui.web);
    connect(page, &QWebEnginePage::linkHovered, this, &webview::onLinkHovered);
    connect(page, &WebEnginePage::unsupportedContent, this, &webview::onUnsupportedContent);
    connect(page, &QWebEnginePage::windowCloseRequested, this, [this] {
        closeAgreed = true;
        close();
    });
    ui.web->setPage(page);
    ui.web->setVisible(true);

    QTimer::singleShot(FIRST_LOAD_DELAY_MS, this, &webview::displayMainPage);

    networkManager = new NetworkAccessManager(this, page);

    LOG_MESSAGE(LOG_WEB, QStringLiteral("webview started"));
}

webview::~webview()
{
    LOG_MESSAGE(LOG_WEB, QStringLiteral("bye bye"));
    delete networkManager;
    delete inspector;
    delete inspectorShortcut;
    delete page;
    LOG_MESSAGE(LOG_WEB, QStringLiteral("quit"));
    setLogMode(0);
}

void webview::displayMainPage()
{
    const QUrl url = serverUrl();
    LOG_MESSAGE(LOG_WEB, QStringLiteral("load main page: ") + url.toString());
    page->load(url);
    LOG_MESSAGE(LOG_WEB, QStringLiteral("load page - finished"));
}

void webview::onLoadFinished(bool ok)
{
    if (firstLoad) {
        firstLoad = false;
        if (ok) {
            LOG_MESSAGE(LOG_WEB, QStringLiteral("startup finished - wait to hide splash, show main window"));
            QTimer::singleShot(SHOW_DELAY_MS, this, &webview::showMainWindow);
        } else if (++retryCount > MAX_RETRIES) {
            LOG_MESSAGE(LOG_WEB, QStringLiteral("startup finished - could not get data from server (either is dead or filesystem is corrupted)"));
            splashScreen->hide();
            QMessageBox::critical(this, tr("Error"), tr("An error occured when trying to initialize application"), QMessageBox::Ok);
            // An orderly end: the watcher stops the server that pym started.
            QCoreApplication::exit(1);
        } else {
            LOG_MESSAGE(LOG_WEB, QStringLiteral("startup finished with error - retry (cnt=%1)").arg(retryCount));
            firstLoad = true;
            displayMainPage();
        }
    }
    LOG_MESSAGE(LOG_WEB, QStringLiteral("element load finished: ") + (ok ? QStringLiteral("success") : QStringLiteral("failed")));
    qDebug() << page->url().toString();
}

void webview::showMainWindow()
{
    LOG_MESSAGE(LOG_WEB, QStringLiteral("show main window"));
    const QVariant stored = settings().value(WIN_GEOMETRY, -1);
    if (stored != QVariant(-1) && restoreGeometry(stored.toByteArray())) {
        show();
        return;
    }
    placeByDefault();
}

// A 1024 x 768 frame in the middle of the desktop, or the whole of a smaller desktop.
void webview::placeByDefault()
{
    const QRect desktop = screen()->virtualGeometry();
    const int width = desktop.width();
    const int height = desktop.height();
    if (width < 1024 || height < 768) {
        // The whole screen also where no window manager maximises it.
        setGeometry(screen()->availableGeometry());
        showMaximized();
        return;
    }
    const int left = geometry().x() - frameGeometry().x();
    const int top = geometry().y() - frameGeometry().y();
    resize(1024 - 2 * left, 768 - left - top);
    move((width - 1024) >> 1, (height - 768) >> 1);
    show();
}

void webview::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    LOG_MESSAGE(LOG_WEB, QStringLiteral("hide splash"));
    splashScreen->hide();
}

void webview::closeEvent(QCloseEvent* event)
{
    // The page asks first when leaving it would lose work (its beforeunload); it lets the window go
    // through windowCloseRequested.
    if (!closeAgreed) {
        event->ignore();
        page->triggerAction(QWebEnginePage::RequestClose);
        return;
    }
    settings().setValue(WIN_GEOMETRY, saveGeometry());
    settings().sync();
    QMainWindow::closeEvent(event);
}

void webview::bringForward()
{
    // Before the first page has shown the window, it shows itself.
    if (!isVisible()) return;
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
}

void webview::inspect()
{
    if (!inspectorEnabled()) return;
    LOG_MESSAGE(LOG_WEB, QStringLiteral("inspect"));
    // Made on first use: a start without "-i" never pays for the developer tools.
    if (!inspector) inspector = page->createInspector();
    inspector->resize(1000, 500);
    inspector->show();
}

void webview::onLinkHovered(const QString& link)
{
    if (!link.isEmpty()) LOG_MESSAGE(LOG_WEB, QStringLiteral("link hovered: ") + link);
}

void webview::onUnsupportedContent(QWebEngineDownloadRequest* download)
{
    const bool configuration = download->url().toString().contains(CONFIGURATION_FILE);
    // The engine reads the name from the reply's Content-Disposition, else from its URL.
    QString fileName = download->suggestedFileName();
    const QString filter = saveFilter(fileName.section(QLatin1Char('.'), -1));
    fileName.replace(QLatin1Char(' '), QLatin1Char('_'));
    LOG_MESSAGE(LOG_WEB, QStringLiteral("download request: ") + fileName);
    QString startDirectory = saveLastLocation;
    // The configuration's name in the store is the one its file carries inside; Save as offers the
    // file that is open, where it is.
    if (configuration && !page->configurationFile().isEmpty()) {
        fileName = page->configurationFile();
        startDirectory = QFileInfo(fileName).absolutePath();
    } else if (!saveLastLocation.isEmpty()) {
        fileName.prepend(saveLastLocation.endsWith(QLatin1Char('/')) ? saveLastLocation : saveLastLocation + QLatin1Char('/'));
    }

    const auto chosen = runFileDialog(this, tr("Save File"), filter, startDirectory, fileName,
                                      QFileDialog::AcceptSave, tr("Save"));
    // The keyboard goes back to the page, as a window manager would give it: the page takes that as
    // the sign that the dialog has closed.
    activateWindow();
    ui.web->setFocus();
    if (!chosen) {
        LOG_MESSAGE(LOG_WEB, QStringLiteral("save dialog: cancel clicked"));
        download->cancel();
        return;
    }
    saveFilePath = *chosen;
    if (saveFilePath.isEmpty()) {
        LOG_MESSAGE(LOG_WEB, QStringLiteral("save file - cancel clicked"));
        download->cancel();
    } else {
        LOG_MESSAGE(LOG_WEB, QStringLiteral("save file as : ") + saveFilePath);
        saveLastLocation = QFileInfo(saveFilePath).absolutePath();
        if (configuration) {
            // The server writes the configuration itself, at the path chosen here.
            download->cancel();
            const QString path = saveFilePath;
            sendServerRequest(CONFIGURATION_FILE,
                              {{QStringLiteral("command"), QStringLiteral("save_as")}, {QStringLiteral("file"), path}},
                              [this, path] { page->configurationSavedAs(path); });
        } else {
            auto* file = new FileDownload(download, saveFilePath, this);
            connect(file, &FileDownload::ended, this, &webview::onDownloadFinished);
            connect(file, &FileDownload::ended, file, &QObject::deleteLater);
        }
    }
    settings().setValue(SAVE_FILE_LAST_LOCATION, saveLastLocation);
    settings().setValue(SAVE_FILE_PATH, saveFilePath);
    settings().sync();
}

void webview::onDownloadFinished(bool saved)
{
    if (!saved) {
        saveErrorBox();
        return;
    }
    LOG_MESSAGE(LOG_WEB, QStringLiteral("download finished"));
    saveFilePath.clear();
    QMessageBox::information(this, tr("Save file"), tr("File successfully saved"), QMessageBox::Ok);
}

void webview::saveErrorBox()
{
    QMessageBox::warning(this, tr("Error saving file"), tr("Could not save file in specified location"), QMessageBox::Ok);
}

void webview::sendServerRequest(const QString& path, const QList<std::pair<QString, QString>>& arguments,
                                const std::function<void()>& done)
{
    QStringList query;
    for (const auto& [name, value] : arguments)
        query << name + QLatin1Char('=') + QString::fromLatin1(QUrl::toPercentEncoding(value));
    QUrl url = serverUrl(path);
    url.setQuery(query.join(QLatin1Char('&')), QUrl::StrictMode);
    LOG_MESSAGE(LOG_WEB, QStringLiteral("server request: ") + url.toString(QUrl::FullyEncoded));
    QNetworkReply* reply = networkManager->get(QNetworkRequest(url));
    connect(reply, &QNetworkReply::finished, this, [this, reply, done] {
        reply->deleteLater();
        // The server answers a request that it carried out with no text (its "not found" page),
        // and one that failed with a JSON status "error".
        const bool refused = reply->error() != QNetworkReply::NoError && reply->error() != QNetworkReply::ContentNotFoundError;
        const bool failed = reply->readAll().contains("\"error\"");
        if (!refused && !failed) {
            if (done) done();
            return;
        }
        LOG_MESSAGE(LOG_WEB, QStringLiteral("ERROR: server request failed: ") + reply->url().toString());
        saveErrorBox();
    });
}
