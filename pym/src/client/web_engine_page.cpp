#include "client/web_engine_page.h"

#include <QWebEngineHistory>
#include <QWebEngineProfile>
#include <QWebEngineView>

WebEnginePage::WebEnginePage(QObject* parent)
    : QWebEnginePage(QWebEngineProfile::defaultProfile(), parent)
{
    // The engine keeps every visited page in the history; this window keeps none, so there is
    // nothing to go back to.
    connect(this, &QWebEnginePage::loadFinished, this, [this] { history()->clear(); });
}

void WebEnginePage::applyGlobalSettings()
{
    // The default profile keeps everything in memory only (no offline storage, application cache
    // or icon database on disk); its HTTP cache is switched off, as the object caches were.
    QWebEngineProfile* profile = QWebEngineProfile::defaultProfile();
    profile->setHttpCacheType(QWebEngineProfile::NoCache);
    profile->clearHttpCache();
}

QWidget* WebEnginePage::createInspector()
{
    auto* view = new QWebEngineView;
    setDevToolsPage(view->page());
    return view;
}
