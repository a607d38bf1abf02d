#pragma once

// zud.conf as the dialog tests lay it down and read back what the console saved.

#include "confignode.h"

#include <QFile>
#include <QTest>

// Writes `text` as zud.conf and loads it, as the console does at start.
inline void writeZudConf(const QByteArray &text)
{
    QFile file(gConfigFileName);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
    file.close();
    gConfig.clear();
    QCOMPARE(gConfig.load(gConfigFileName), 0);
}

// The value at `path` in zud.conf as it stands on disk, or "(missing)".
inline QString savedZudConfValue(const QStringList &path)
{
    ConfigNode file;
    file.load(gConfigFileName);
    const ConfigNode *node = file.get(path);
    return node ? node->value : QStringLiteral("(missing)");
}
