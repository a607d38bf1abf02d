#include "radiosettings.h"

#include "confignode.h"

namespace {
// The value at the path when it is there and not empty (an empty value counts as missing).
void takeValue(const ConfigNode::Path &path, QString &value)
{
    const ConfigNode *node = gConfig.get(path);
    if (node && !node->value.isEmpty())
        value = node->value;
}

void setChild(ConfigNode *node, const QString &key, const QString &value)
{
    auto it = node->findChild(key);
    if (it != node->children.end())
        (*it)->value = value;
    else
        node->addChild(key, value);
}

const QStringList settingKeys{"type", "priority", "crosstalk"};
}

QStringList loadRadioConnectionSettings(const QString &radio, const QString &unit)
{
    QStringList values{"shared", "0", "0"};
    for (int i = 0; i < 3; ++i)
        takeValue({"default", "radio connection", settingKeys[i]}, values[i]);
    QStringList settings = values;
    const ConfigNode::Path own{"devices", unit, "radio connections", radio};
    bool useDefaults = false;
    if (gConfig.get(own)) {
        const ConfigNode *flag = gConfig.get(own + QStringList{"default"});
        useDefaults = flag && flag->value == "1";
        for (int i = 0; i < 3; ++i)
            takeValue(own + QStringList{settingKeys[i]}, values[i]);
    }
    return settings + values + QStringList{useDefaults ? "default" : "user"};
}

int saveRadioConnectionSettings(const QString &radio, const QString &unit, const QStringList &values)
{
    ConfigNode *node = gConfig.set({"devices", unit, "radio connections", radio});
    const QStringList keys{"default", "type", "priority", "crosstalk"};
    for (int i = 0; i < keys.size(); ++i)
        setChild(node, keys[i], values.value(i));
    return saveConfig();
}

QString loadAudioGain(const QString &unit)
{
    QString gain = "0";
    takeValue({"devices", unit, "audio gain"}, gain);
    return gain;
}

int saveAudioGain(const QString &unit, const QString &gain)
{
    setChild(gConfig.set({"devices", unit}), "audio gain", gain);
    saveConfig();
    return 0;
}

QString loadMonitorGain(const QString &unit)
{
    QString gain = "0";
    takeValue({"default", "monitor", "gain"}, gain);
    takeValue({"devices", unit, "monitor gain"}, gain);
    return gain;
}

int saveMonitorGain(const QString &unit, const QString &gain)
{
    setChild(gConfig.set({"devices", unit}), "monitor gain", gain);
    return saveConfig();
}
