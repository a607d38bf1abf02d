// pym's main window: the splash while the server's first page loads, then the server's pages.
#pragma once

#include "ui_webview.h"

#include <QMainWindow>

class QShortcut;
class splash;
class webpage;

class webview : public QMainWindow
{
    Q_OBJECT

public:
    explicit webview(QWidget* parent = nullptr);
    ~webview() override;

private slots:
    void onLoadFinished(bool ok);
    void onLinkHovered(const QString& link);
    void inspect();
    void showMainWindow();
    void displayMainPage();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void placeByDefault();

    Ui::webviewClass ui;
    webpage* page;
    bool firstLoad = true;
    splash* splashScreen;
    int retryCount = 0;
    QShortcut* inspectorShortcut;
    QWidget* inspector = nullptr;
};
