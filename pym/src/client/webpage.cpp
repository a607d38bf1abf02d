#include "client/webpage.h"

#include "client/file_dialog.h"
#include "logger.h"
#include "viewer.h"

#include <QFileInfo>
#include <QSettings>
#include <QUrlQuery>

namespace {

const char* const USER_AGENT =
    "Mozilla/5.0 (Windows; U; Windows NT 5.1; pl-PL) AppleWebKit/532.4 (KHTML, like Gecko) XJE/1.0 Safari/532.4";
const QString OPEN_FILE_LOCATION = QStringLiteral("OpenFileLocation");

} // namespace

webpage::webpage(QObject* parent)
    : WebEnginePage(parent)
    , openFileLocation(::settings().value(OPEN_FILE_LOCATION).toString())
{
    setUserAgent(QString::fromLatin1(USER_AGENT));
    updateWindowTitle();
    connect(this, &WebEnginePage::requestObserved, this, &webpage::onRequest);
    connect(this, &QWebEnginePage::loadFinished, this, &webpage::readModule);
}

void webpage::onRequest(const QUrl& url)
{
    if (url.path().contains(QLatin1String("configurationFile.json"))
        && QUrlQuery(url).queryItemValue(QStringLiteral("command")) == QLatin1String("new_file")) {
        LOG_MESSAGE(LOG_WEB, QStringLiteral("new configuration request"));
        configurationPath.clear();
        updateWindowTitle();
    }
    // A page that is still loading is read once its load has finished.
    if (!isLoading()) readModule();
}

void webpage::readModule()
{
    elementAttribute(QStringLiteral("#webModule"), QStringLiteral("value"), [this](const QString& value) {
        const Module found = value == QLatin1String("1")   ? Configuration
                             : value == QLatin1String("2") ? Updater
                             : value == QLatin1String("3") ? Curtain
                                                           : Unknown;
        if (found == module) return;
        module = found;
        updateWindowTitle();
    });
}

void webpage::configurationSavedAs(const QString& path)
{
    // The server writes the path with ".conf" appended when it lacks it.
    configurationPath = path.endsWith(QLatin1String(".conf")) ? path : path + QLatin1String(".conf");
    updateWindowTitle();
}

void webpage::updateWindowTitle()
{
    const QString configurationName = QFileInfo(configurationPath).fileName();
    static const char* const names[] = {nullptr, "updater", "curtain", "unknown"};
    LOG_MESSAGE(LOG_WEB, QStringLiteral("webview: module changed to ")
                             + (module == Configuration ? QStringLiteral("pym (%1)").arg(configurationName)
                                                        : QString::fromLatin1(names[module])));
    const QString product = QString::fromLatin1(PRODUCT_TITLE);
    QString title;
    switch (module) {
    case Updater:
        title = tr("Updater") + QStringLiteral(" - ") + product;
        break;
    case Curtain:
        // The pages call this module "Recovery"; so does the window beside them.
        title = tr("Recovery") + QStringLiteral(" - ") + product;
        break;
    case Unknown:
        title = product;
        break;
    case Configuration:
        title = configurationName.isEmpty()
                    ? tr("Configuration") + QStringLiteral(" - ") + product
                    : tr("Configuration") + QStringLiteral(" - ") + configurationName + QStringLiteral(" - ") + product;
        break;
    }
    if (QWidget* window = mainWindow()) window->setWindowTitle(title);
}

QString webpage::chooseFile(const QString&, const QStringList& acceptedTypes)
{
    // A page too busy to answer in time named the kind in what its field accepts as well.
    const QString kindName = elementAttribute(QStringLiteral("#uploadFilter"), QStringLiteral("value"))
                                 .value_or(kindAccepted(acceptedTypes));
    const FileKind kind = fileKind(kindName);
    const auto chosen = runFileDialog(view(), kind.caption, kind.filter, openFileLocation, QString(),
                                      QFileDialog::AcceptOpen, tr("Open"));
    if (!chosen) {
        LOG_MESSAGE(LOG_WEB, QStringLiteral(" opendialog: cancel clicked"));
        return QString();
    }
    const QString path = *chosen;
    if (path.isEmpty()) return path;
    LOG_MESSAGE(LOG_WEB, QStringLiteral("selected file to upload: ") + path);
    const QFileInfo file(path);
    openFileLocation = file.absolutePath();
    ::settings().setValue(OPEN_FILE_LOCATION, openFileLocation);
    ::settings().sync();
    setElementAttribute(QStringLiteral("#uploadRealPath"), QStringLiteral("value"), path);
    if (kindName == QLatin1String("conf")) {
        configurationPath = path;
        updateWindowTitle();
    }
    return path;
}

// The pages' console messages are not pym's to report.
void webpage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int, const QString&)
{
}
