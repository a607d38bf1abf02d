#include "client/webview.h"

#include "client/webpage.h"
#include "logger.h"
#include "splash.h"
#include "viewer.h"

#include <QCloseEvent>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QTimer>
#include <QtDebug>

namespace {

constexpr int SERVER_PORT = 8765;
// The fifth failed start-page load gives up.
constexpr int MAX_RETRIES = 4;
constexpr int FIRST_LOAD_DELAY_MS = 1500;
constexpr int SHOW_DELAY_MS = 1500;
const QString WIN_GEOMETRY = QStringLiteral("WinGeometry");

} // namespace

webview::webview(QWidget* parent)
    : QMainWindow(parent)
{
    if (!mainWindow()) setMainWindow(this);

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
    setMinimumSize(800, 600);

    inspectorShortcut = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+I")), this);
    connect(inspectorShortcut, &QShortcut::activated, this, &webview::inspect);

    ui.web->setContextMenuPolicy(Qt::NoContextMenu);
    connect(ui.web, &QWebEngineView::loadFinished, this, &webview::onLoadFinished);

    page = new webpage(ui.web);
    connect(page, &QWebEnginePage::linkHovered, this, &webview::onLinkHovered);
    ui.web->setPage(page);
    ui.web->setVisible(true);

    QTimer::singleShot(FIRST_LOAD_DELAY_MS, this, &webview::displayMainPage);

    LOG_MESSAGE(LOG_WEB, QStringLiteral("webview started"));
}

webview::~webview()
{
    LOG_MESSAGE(LOG_WEB, QStringLiteral("bye bye"));
    delete inspector;
    delete inspectorShortcut;
    delete page;
    LOG_MESSAGE(LOG_WEB, QStringLiteral("quit"));
    setLogMode(0);
}

void webview::displayMainPage()
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(SERVER_PORT);
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
    settings().setValue(WIN_GEOMETRY, saveGeometry());
    settings().sync();
    QMainWindow::closeEvent(event);
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
