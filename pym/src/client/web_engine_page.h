// The adapter over the web engine: the rest of pym sees a page with the behaviour of the older
// engine it was written for, and the engine's own choices are made here, once.
#pragma once

#include <QWebEnginePage>

#include <functional>
#include <optional>

class QWebEngineDownloadRequest;
class QWidget;

class WebEnginePage : public QWebEnginePage
{
    Q_OBJECT

public:
    explicit WebEnginePage(QObject* parent = nullptr);

    // Engine-wide settings, made once before the first page: nothing of the pages is cached or
    // kept on disk.
    static void applyGlobalSettings();

    // The user agent of every request of the engine's pages, whatever their URL.
    void setUserAgent(const QString& userAgent);

    // A top-level developer-tools view bound to this page; the caller owns it.
    QWidget* createInspector();

    // The attribute of the first element that matches the selector in the main frame, else in the
    // first of its direct child frames that has one; empty when none matches. The blocking form
    // waits a bounded time for the page's answer.
    // Nothing when the page did not answer within a bound.
    std::optional<QString> elementAttribute(const QString& selector, const QString& attribute);
    void elementAttribute(const QString& selector, const QString& attribute,
                          const std::function<void(const QString&)>& answer);
    void setElementAttribute(const QString& selector, const QString& attribute, const QString& value);

    // The view that shows this page (the parent of its dialogs).
    QWidget* view() const;

    // Between the start and the end of a load, when the page's elements are in flux.
    bool isLoading() const { return loading; }

Q_SIGNALS:
    // Every request of the page, seen before it is sent.
    void requestObserved(const QUrl& url);
    // Content that the page does not show itself: a download of this page, to be accepted or
    // cancelled before the slot returns.
    void unsupportedContent(QWebEngineDownloadRequest* download);

protected:
    // An upload field asks for a file: its path, or empty for none. acceptedTypes: what the
    // field accepts (".conf", "audio/wav"), as the page set it.
    virtual QString chooseFile(const QString& suggestedFile, const QStringList& acceptedTypes);

private:
    bool loading = false;

    QStringList chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                            const QStringList& acceptedMimeTypes) override;
};
