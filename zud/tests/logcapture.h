#pragma once

// Collects the console's debug lines while a test runs, so that a test can look for the line a
// behaviour must log.

#include <QMutex>
#include <QStringList>
#include <QtGlobal>

class LogCapture
{
public:
    LogCapture() { previous = qInstallMessageHandler(&LogCapture::handler); instance() = this; }
    ~LogCapture() { qInstallMessageHandler(previous); instance() = nullptr; }

    bool contains(const QString &text) const
    {
        for (const QString &line : lines)
            if (line.contains(text))
                return true;
        return false;
    }
    int count(const QString &text) const
    {
        int n = 0;
        for (const QString &line : lines)
            n += line.contains(text);
        return n;
    }
    void clear() { lines.clear(); }

    QStringList lines;

private:
    static LogCapture *&instance() { static LogCapture *current = nullptr; return current; }
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (LogCapture *capture = instance()) {
            capture->lines.append(message);
            if (capture->previous)
                capture->previous(type, context, message);
        }
    }

    QtMessageHandler previous = nullptr;
};
