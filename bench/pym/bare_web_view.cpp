// A bare web view that loads the server's start page and says when the load succeeded: the
// least that any window over the web engine can take to show the page.
#include <QApplication>
#include <QWebEngineView>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QWebEngineView view;
    QObject::connect(&view, &QWebEngineView::loadFinished, [](bool ok) {
        if (!ok) return;
        std::puts("loaded");
        std::fflush(stdout);
    });
    view.resize(1024, 768);
    view.show();
    view.load(QUrl(QStringLiteral("http://127.0.0.1:8765/")));
    return application.exec();
}
