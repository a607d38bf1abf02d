#pragma once

#include <QString>
#include <QStringList>

#include <list>
#include <memory>

// The console's configuration tree ("zud.conf"): one node per line of the file, indented by depth,
// key and value each between '|' characters.
class ConfigNode
{
public:
    using Path = QStringList;
    using ChildList = std::list<std::unique_ptr<ConfigNode>>;

    ConfigNode() = default;
    ConfigNode(const QString &key, const QString &value);
    ConfigNode(const ConfigNode &) = delete;
    ConfigNode &operator=(const ConfigNode &) = delete;

    QString key;
    QString value;
    ChildList children;
    bool keepOrder = false;

    ConfigNode *get(const Path &path);
    ConfigNode *set(const Path &path);
    ConfigNode *addChild(const QString &childKey, const QString &childValue = QString());
    ChildList::iterator findChild(const QString &childKey);
    int remove(const Path &path);
    void clear();

    // 0, -1 cannot open, -2 header not written, -3 the tree or the rename failed (the old file
    // stays whole in both cases).
    int save(const QString &fileName);
    // 0, -1 cannot open, -2 key not closed, -3 value not closed, -4 depth jumps by more than one.
    int load(const QString &fileName);
    void dump() const;

private:
    bool writeChildren(class QIODevice &out, int depth);
};

// The console's process-wide configuration, the name of its file and the operator's name.
extern ConfigNode gConfig;
extern QString gConfigFileName;
extern QString gOperatorName;

// Saves gConfig whole to gConfigFileName, as every writer of a key must; failures are logged.
int saveConfig();
