// The page shown in the web window: keeps the window title in step with the server module on
// show and the configuration file in use, and answers upload fields with a file dialog.
#pragma once

#include "client/web_engine_page.h"

class webpage : public WebEnginePage
{
    Q_OBJECT

public:
    explicit webpage(QObject* parent = nullptr);

    // The configuration file in use as pym knows it: chosen for Open or written by Save as; empty
    // for a new configuration.
    QString configurationFile() const { return configurationPath; }
    // The server wrote the configuration to this path (Save as): it is the file in use from now on.
    void configurationSavedAs(const QString& path);

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
    QString configurationPath;
};
