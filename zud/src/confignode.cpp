#include "confignode.h"

#include <QDebug>
#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <ctime>

ConfigNode gConfig;
QString gConfigFileName = QStringLiteral("zud.conf");
QString gOperatorName;

ConfigNode::ConfigNode(const QString &key, const QString &value) : key(key), value(value) {}

ConfigNode *ConfigNode::get(const Path &path)
{
    ConfigNode *node = this;
    for (const QString &element : path) {
        auto it = node->findChild(element);
        if (it == node->children.end())
            return nullptr;
        node = it->get();
    }
    return node;
}

ConfigNode *ConfigNode::set(const Path &path)
{
    ConfigNode *node = this;
    for (const QString &element : path) {
        auto it = node->findChild(element);
        node = it == node->children.end() ? node->addChild(element) : it->get();
    }
    return node;
}

ConfigNode *ConfigNode::addChild(const QString &childKey, const QString &childValue)
{
    children.push_back(std::make_unique<ConfigNode>(childKey, childValue));
    return children.back().get();
}

ConfigNode::ChildList::iterator ConfigNode::findChild(const QString &childKey)
{
    return std::find_if(children.begin(), children.end(),
                        [&](const auto &child) { return child->key == childKey; });
}

int ConfigNode::remove(const Path &path)
{
    if (path.isEmpty())
        return -400;
    ConfigNode *parent = get(path.mid(0, path.size() - 1));
    if (!parent)
        return -400;
    auto it = parent->findChild(path.last());
    if (it == parent->children.end())
        return -400;
    parent->children.erase(it);
    return 0;
}

void ConfigNode::clear()
{
    children.clear();
}

bool ConfigNode::writeChildren(QIODevice &out, int depth)
{
    if (!keepOrder)
        children.sort([](const auto &a, const auto &b) { return a->key < b->key; });
    for (const auto &child : children) {
        QByteArray line(depth, '\t');
        line += '|' + child->key.toUtf8() + '|';
        if (!child->value.isEmpty())
            line += " = |" + child->value.toUtf8() + '|';
        line += '\n';
        if (out.write(line) != line.size() || !child->writeChildren(out, depth + 1))
            return false;
    }
    return true;
}

int ConfigNode::save(const QString &fileName)
{
    // Written beside the target and renamed into place, so a failed save leaves the old file whole.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        qDebug() << "ERROR: cannot write configuration" << fileName << ":" << file.errorString();
        return -1;
    }
    // The header's date as ctime writes it ("Tue Apr  7 09:05:01 2026", English whatever the
    // locale), which ends in a line break of its own.
    const std::time_t now = std::time(nullptr);
    char date[64] = "\n";
    ctime_r(&now, date);
    const QByteArray header = QByteArray("# config file ") + date + "\n";
    if (file.write(header) != header.size()) {
        qDebug() << "ERROR: cannot write configuration header" << fileName << ":" << file.errorString();
        file.cancelWriting();
        return -2;
    }
    if (!writeChildren(file, 0) || !file.commit()) {
        qDebug() << "ERROR: cannot write configuration" << fileName << ":" << file.errorString();
        file.cancelWriting();
        return -3;
    }
    return 0;
}

int ConfigNode::load(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return -1;

    std::vector<ConfigNode *> parents{this};
    int previousDepth = 0;
    ConfigNode *previous = nullptr;
    for (int lineNumber = 1; !file.atEnd(); ++lineNumber) {
        QByteArray line = file.readLine();
        if (line.endsWith('\n'))
            line.chop(1);

        int depth = 0;
        qsizetype keyStart;
        if (line.startsWith('\t')) {
            while (depth < line.size() && line[depth] == '\t')
                ++depth;
            keyStart = line.indexOf('|');
            if (keyStart < 0)
                continue;
        } else if (line.startsWith('|')) {
            keyStart = 0;
        } else {
            continue;
        }

        const qsizetype keyEnd = line.indexOf('|', keyStart + 1);
        if (keyEnd < 0) {
            qDebug().noquote() << QString::asprintf("Error (%d) reading configuration at line %d!", -2, lineNumber);
            return -2;
        }
        QString value;
        const qsizetype valueStart = line.indexOf('|', keyEnd + 1);
        if (valueStart >= 0) {
            const qsizetype valueEnd = line.indexOf('|', valueStart + 1);
            if (valueEnd < 0) {
                qDebug().noquote() << QString::asprintf("Error (%d) reading configuration at line %d!", -3, lineNumber);
                return -3;
            }
            value = QString::fromUtf8(line.mid(valueStart + 1, valueEnd - valueStart - 1));
        }

        if (depth > previousDepth) {
            if (depth != previousDepth + 1) {
                qDebug().noquote() << QString::asprintf("Line %d : error -4", lineNumber);
                return -4;
            }
            // A first entry that is already indented has no parent to hang from.
            if (!previous)
                return 0;
            parents.push_back(previous);
        } else {
            for (int level = depth; level < previousDepth; ++level)
                parents.pop_back();
        }
        previousDepth = depth;
        previous = parents.back()->addChild(QString::fromUtf8(line.mid(keyStart + 1, keyEnd - keyStart - 1)), value);
    }
    return 0;
}

void ConfigNode::dump() const
{
    qDebug().noquote() << ">>>>>>>>>>>>>>>>>>>";
    for (const auto &child : children) {
        qDebug().noquote() << QStringLiteral("[%1] = [%2]").arg(child->key, child->value);
        if (!child->children.empty())
            child->dump();
    }
    qDebug().noquote() << "<<<<<<<<<<<<<<<<<<<";
}

int saveConfig()
{
    return gConfig.save(gConfigFileName);
}
