// The page shown in the web window: keeps the window title in step with the server module on
// show and the configuration file in use, and answers upload fields with a file dialog.
#pragma once

#include "client/web_engine_page.h"

class webpage : public WebEnginePage
{
    Q_OBJECT

public:
    explicit webpage(QObject* parent = nullptr);

public Q_SLOTS:
    // Every request of the page and of pym's own server requests, before it is sent.
    void onRequest(const QUrl& url);

protected:
    QString chooseFile(const QString& suggestedFile, const QStringList& acceptedTypes) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int lineNumber,
                                  const QString& sourceID) override;

private:
    enum Module { Configuration, Updater, Curtain, Unknown };

    // Reads "#webModule" again: the engine has no hook on a finished reply, so this runs after
    // every load and every observed request.
    void readModule();
    void updateWindowTitle();

    QString openFileLocation;
    Module module = Unknown;
    QString configurationName;
};
