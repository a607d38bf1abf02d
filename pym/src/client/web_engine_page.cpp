#include "client/web_engine_page.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>
#include <QWebEngineDownloadRequest>
#include <QWebEngineHistory>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include <memory>

namespace {

// How long a file dialog waits for the page to say which kind of file it wants.
constexpr int ANSWER_BOUND_MS = 2000;

// Looks in the main frame, then in each direct child frame of the same origin, in their order.
const char* const FIND_ELEMENT = R"((function (selector) {
    var found = document.querySelector(selector);
    for (var i = 0; !found && i < window.frames.length; ++i) {
        try { found = window.frames[i].document.querySelector(selector); } catch (e) {}
    }
    return found;
}))";

QString script(const QString& body, const QStringList& arguments)
{
    // The arguments travel as a JSON array, so any text is safe inside the script.
    const QString array = QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(arguments)).toJson(QJsonDocument::Compact));
    return QStringLiteral("(function (a) { var e = %1(a[0]); %2 })(%3)")
        .arg(QString::fromLatin1(FIND_ELEMENT), body, array);
}

class RequestObserver : public QWebEngineUrlRequestInterceptor
{
public:
    explicit RequestObserver(WebEnginePage* page)
        : QWebEngineUrlRequestInterceptor(page)
        , page(page)
    {
    }

    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        // Reported from the event loop: the engine is inside its request here.
        const QUrl url = info.requestUrl();
        QMetaObject::invokeMethod(page, [page = page, url] { Q_EMIT page->requestObserved(url); }, Qt::QueuedConnection);
    }

private:
    WebEnginePage* page;
};

} // namespace

WebEnginePage::WebEnginePage(QObject* parent)
    : QWebEnginePage(QWebEngineProfile::defaultProfile(), parent)
{
    // The engine keeps every visited page in the history; this window keeps none, so there is
    // nothing to go back to.
    connect(this, &QWebEnginePage::loadStarted, this, [this] { loading = true; });
    connect(this, &QWebEnginePage::loadFinished, this, [this] {
        loading = false;
        history()->clear();
    });
    setUrlRequestInterceptor(new RequestObserver(this));
    // Every download of the engine reaches the profile; this page takes its own.
    connect(profile(), &QWebEngineProfile::downloadRequested, this, [this](QWebEngineDownloadRequest* download) {
        if (download->page() == this) Q_EMIT unsupportedContent(download);
    });
}

void WebEnginePage::applyGlobalSettings()
{
    // The default profile keeps everything in memory only (no offline storage, application cache
    // or icon database on disk); its HTTP cache is switched off, as the object caches were.
    QWebEngineProfile* profile = QWebEngineProfile::defaultProfile();
    profile->setHttpCacheType(QWebEngineProfile::NoCache);
    profile->clearHttpCache();
}

void WebEnginePage::setUserAgent(const QString& userAgent)
{
    profile()->setHttpUserAgent(userAgent);
}

QWidget* WebEnginePage::createInspector()
{
    auto* view = new QWebEngineView;
    setDevToolsPage(view->page());
    return view;
}

QWidget* WebEnginePage::view() const
{
    return QWebEngineView::forPage(this);
}

void WebEnginePage::elementAttribute(const QString& selector, const QString& attribute,
                                     const std::function<void(const QString&)>& answer)
{
    runJavaScript(script(QStringLiteral("return e ? (e.getAttribute(a[1]) || '') : '';"), {selector, attribute}),
                  [answer](const QVariant& value) { answer(value.toString()); });
}

std::optional<QString> WebEnginePage::elementAttribute(const QString& selector, const QString& attribute)
{
    // Shared with the answer, which may come after the wait has given up.
    auto result = std::make_shared<std::optional<QString>>();
    auto loop = std::make_shared<QEventLoop>();
    elementAttribute(selector, attribute, [result, loop](const QString& value) {
        *result = value;
        loop->quit();
    });
    QTimer::singleShot(ANSWER_BOUND_MS, loop.get(), &QEventLoop::quit);
    loop->exec(QEventLoop::ExcludeUserInputEvents);
    return *result;
}

void WebEnginePage::setElementAttribute(const QString& selector, const QString& attribute, const QString& value)
{
    runJavaScript(script(QStringLiteral("if (e) e.setAttribute(a[1], a[2]);"), {selector, attribute, value}));
}

QString WebEnginePage::chooseFile(const QString&, const QStringList&)
{
    return QString();
}

QStringList WebEnginePage::chooseFiles(FileSelectionMode, const QStringList& oldFiles,
                                       const QStringList& acceptedMimeTypes)
{
    const QString file = chooseFile(oldFiles.value(0), acceptedMimeTypes);
    return file.isEmpty() ? QStringList() : QStringList(file);
}
