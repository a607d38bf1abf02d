#include "logger.h"

#include <QDateTime>
#include <QFile>
#include <QTextStream>
#include <QtDebug>

namespace {

int gLogMask = 0x0000FFFF;
int gLogMode = 0;
QFile gLogFile;

} // namespace

QString hexMask(int mask)
{
    return QString::number(mask, 16).rightJustified(2, QLatin1Char('0'));
}

int logMask()
{
    return gLogMask;
}

void setLogMask(int mask)
{
    gLogMask = mask;
}

void writeLog(int mask, const QString& text)
{
    if (!(mask & gLogMask)) return;
    // Year, day, month: the order the log has always had.
    const QString line = QStringLiteral("[%1] LOG (0x%2) - %3")
                             .arg(QDateTime::currentDateTime().toString(QStringLiteral("yy-dd-MM hh:mm:ss.zzz")),
                                  hexMask(mask), text);
    if (gLogMode == 1) {
        QTextStream(&gLogFile) << line << '\n';
    } else {
        qDebug("%s", line.toLocal8Bit().constData());
    }
}

void logMessage(int mask, const QString& text, const char* sourceFile, int sourceLine)
{
    const QString file = QString::fromLocal8Bit(sourceFile).section(QLatin1Char('/'), -1);
    writeLog(mask, QStringLiteral("%1:%2 - %3").arg(file).arg(sourceLine).arg(text));
}

void setLogMode(int mode)
{
    if (mode == gLogMode) return;
    if (mode == 1) {
        gLogFile.setFileName(QStringLiteral("./run.log"));
        if (!gLogFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) return;
    } else if (gLogFile.isOpen()) {
        gLogFile.close();
    }
    gLogMode = mode;
}
