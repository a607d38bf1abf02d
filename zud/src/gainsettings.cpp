#include "gainsettings.h"

#include "confignode.h"

QString loadAudioGain(const QString &unitName)
{
    ConfigNode *node = gConfig.get({"devices", unitName, "audio gain"});
    return node ? node->value : QStringLiteral("0");
}

QString loadMonitorGain(const QString &unitName)
{
    ConfigNode *node = gConfig.get({"devices", unitName, "monitor gain"});
    if (!node)
        node = gConfig.get({"default", "monitor", "gain"});
    return node ? node->value : QStringLiteral("0");
}
