#pragma once

// Photographs the whole X screen (ImageMagick's import) into ZUD_SCREENSHOT_DIR, else the working
// directory, for tests that run on Xvfb.

#include <QDir>
#include <QProcess>

inline void photograph(const QString &name)
{
    const QString dir = qEnvironmentVariable("ZUD_SCREENSHOT_DIR", QDir::currentPath());
    QDir().mkpath(dir);
    QProcess import;
    import.start("import", {"-window", "root", dir + "/" + name});
    if (!import.waitForFinished(20000) || import.exitCode() != 0)
        qWarning("import: %s", import.readAllStandardError().constData());
}
