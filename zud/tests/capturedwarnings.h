// Collects the warnings written while it lives (instead of printing them), so that a test can
// count them.
#pragma once

#include <QStringList>
#include <QtGlobal>

class CapturedWarnings {
public:
    CapturedWarnings() { previous_ = qInstallMessageHandler(&CapturedWarnings::collect); }
    ~CapturedWarnings()
    {
        qInstallMessageHandler(previous_);
        messages().clear();
    }
    CapturedWarnings(const CapturedWarnings&) = delete;
    CapturedWarnings& operator=(const CapturedWarnings&) = delete;

    static QStringList& messages()
    {
        static QStringList list;
        return list;
    }
    static int count(const QString& prefix)
    {
        int n = 0;
        for (const QString& message : messages())
            n += message.startsWith(prefix);
        return n;
    }

private:
    static void collect(QtMsgType type, const QMessageLogContext&, const QString& message)
    {
        if (type == QtWarningMsg)
            messages().append(message);
    }

    QtMessageHandler previous_;
};
