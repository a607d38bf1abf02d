// The adapter over the web engine: the rest of pym sees a page with the behaviour of the older
// engine it was written for, and the engine's own choices are made here, once.
#pragma once

#include <QWebEnginePage>

class QWidget;

class WebEnginePage : public QWebEnginePage
{
    Q_OBJECT

public:
    explicit WebEnginePage(QObject* parent = nullptr);

    // Engine-wide settings, made once before the first page: nothing of the pages is cached or
    // kept on disk.
    static void applyGlobalSettings();

    // A top-level developer-tools view bound to this page; the caller owns it.
    QWidget* createInspector();
};
