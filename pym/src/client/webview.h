// pym's main window: the splash while the server's first page loads, then the server's pages.
#pragma once

#include "ui_webview.h"

#include <QMainWindow>

#include <functional>
#include <utility>

class NetworkAccessManager;
class QShortcut;
class QWebEngineDownloadRequest;
class splash;
class webpage;

class webview : public QMainWindow
{
    Q_OBJECT

public:
    explicit webview(QWidget* parent = nullptr);
    ~webview() override;

    // A GET of http://127.0.0.1:8765/ + path with the arguments, each value percent-encoded; a
    // failure is shown to the user.
    // `done` runs once the server has carried the request out.
    void sendServerRequest(const QString& path, const QList<std::pair<QString, QString>>& arguments,
                           const std::function<void()>& done = {});

public slots:
    // Another start of the control centre asked for this window.
    void bringForward();

private slots:
    void onLoadFinished(bool ok);
    void onLinkHovered(const QString& link);
    void inspect();
    void showMainWindow();
    void displayMainPage();
    void onUnsupportedContent(QWebEngineDownloadRequest* download);
    void onDownloadFinished(bool saved);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void placeByDefault();

    void saveErrorBox();

    Ui::webviewClass ui;
    webpage* page;
    QString saveFilePath;
    bool firstLoad = true;
    // The page has let the window close: its leave question was answered "leave", or it had none.
    bool closeAgreed = false;
    splash* splashScreen;
    int retryCount = 0;
    QString saveLastLocation;
    QShortcut* inspectorShortcut;
    QWidget* inspector = nullptr;
    NetworkAccessManager* networkManager;
};
