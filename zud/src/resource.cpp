#include "resource.h"

#include "centralunit.h"
#include "confignode.h"
#include "connectionstreewidget.h"
#include "zudmainwindow.h"

#include <QBrush>
#include <QDebug>
#include <QHash>
#include <QTreeWidgetItem>

namespace {
// A resource's row. Its sort key is set once, so the comparison that the view's sort makes
// about twenty times per row reads it as it is, without the two variants and string copies that
// the base class makes per call: a tree of tens of thousands of rows sorts several times faster,
// in the same order (the keys' code units).
class ResourceRow : public QTreeWidgetItem
{
public:
    ResourceRow(QTreeWidgetItem *parentRow, const QString &sortKey) : QTreeWidgetItem(parentRow, Type), key(sortKey)
    {
        setText(ConnectionsTreeWidget::sortKeyColumn, sortKey);
    }

    bool operator<(const QTreeWidgetItem &other) const override
    {
        const auto *row = dynamic_cast<const ResourceRow *>(&other);
        if (row && treeWidget() && treeWidget()->sortColumn() == ConnectionsTreeWidget::sortKeyColumn)
            return key < row->key;
        return QTreeWidgetItem::operator<(other);
    }

private:
    const QString key;
};
}

Resource::Resource(QObject *parent) : QObject(parent)
{
    connect(&temporaryStatusTimer, &QTimer::timeout, this, &Resource::cleanTemporaryStatus);
    connect(&rejectCallTimer, &QTimer::timeout, this, &Resource::rejectCall);
    connect(&blinkTimer, &QTimer::timeout, this, &Resource::blink);
}

Resource::~Resource()
{
    delete item;
}

void Resource::makeRow(QTreeWidgetItem *parentRow, const QString &rowName, const QString &sortKey)
{
    item = new ResourceRow(parentRow, sortKey);
    resourceName = rowName;
    item->setText(0, rowName);
    item->setText(2, rowName.toLower());
}

QString Resource::where() const
{
    return QStringLiteral("\"%1\" @ \"%2\"").arg(resourceName, unit ? unit->name() : QString());
}

QString Resource::statusName(int status)
{
    static const char *const words[] = {"free", "trying", "rejected", "calling", "incoming call", "ignored",
                                        "canceled", "connected"};
    return status >= 0 && status <= StatusConnected ? QString(words[status]) : QStringLiteral("unknown");
}

int callTimeoutMs()
{
    // "0" or a text read as 0 would reject every call at once and spin the timer.
    const ConfigNode *node = gConfig.get({"system", "call timeout"});
    bool ok = false;
    const int value = node ? node->value.toInt(&ok) : 0;
    return ok && value > 0 ? value : 5000;
}

QIcon rowIcon(const QString &picture)
{
    static QHash<QString, QIcon> icons;
    auto it = icons.constFind(picture);
    if (it == icons.constEnd())
        it = icons.insert(picture, QIcon(picture));
    return *it;
}

int Resource::setStatus(int newStatus)
{
    qDebug().noquote() << "status change" << statusName(newStatus) << where();
    if (newStatus == StatusRejected || newStatus == StatusCanceled) {
        showTemporaryStatus(newStatus == StatusRejected ? tr("rejected") : tr("canceled"));
        currentStatus = StatusFree;
    } else {
        cleanTemporaryStatus();
        currentStatus = newStatus;
        if ((newStatus == StatusCalling || newStatus == StatusIncomingCall) && resourceName != gOperatorName) {
            if (newStatus == StatusCalling)
                rejectCallTimer.start(callTimeoutMs());
            blinkTimer.start(300);
            setForegroundColor(Qt::red);
            updateGui();
            return 0;
        }
    }
    rejectCallTimer.stop();
    blinkTimer.stop();
    setForegroundColor(Qt::black);
    updateGui();
    return 0;
}

void Resource::setToolTip(const QString &text)
{
    if (item)
        item->setToolTip(0, text);
}

void Resource::updateGui()
{
    qDebug() << "dummy gui update";
}

int Resource::setBusy()
{
    if (busy)
        return -3;
    busy = true;
    updateGui();
    return 0;
}

int Resource::setFree()
{
    if (!busy)
        return -3;
    busy = false;
    updateGui();
    return 0;
}

int Resource::showTemporaryStatus(const QString &text)
{
    qDebug().noquote() << "temporary status" << text << where();
    temporaryStatus = text;
    temporaryStatusTimer.start(2000);
    return 0;
}

void Resource::cleanTemporaryStatus()
{
    qDebug().noquote() << "clear temporary status" << where();
    temporaryStatus.clear();
    temporaryStatusTimer.stop();
    updateGui();
}

void Resource::paintRows(const QBrush &brush)
{
    QList<QTreeWidgetItem *> rows{item};
    if (unit)
        rows.append(unit->treeItem());
    if (parentResource && parentResource->item)
        rows.append(parentResource->item);
    for (QTreeWidgetItem *row : rows) {
        row->setForeground(0, brush);
        row->setForeground(1, brush);
    }
}

namespace {
// The row's text brush; a row without one is painted in solid black.
QBrush rowBrush(const QTreeWidgetItem *row)
{
    QBrush brush = row->foreground(0);
    if (brush.style() == Qt::NoBrush)
        brush = QBrush(Qt::black);
    return brush;
}
}

void Resource::setForegroundColor(Qt::GlobalColor color)
{
    if (!item)
        return;
    QBrush brush = rowBrush(item);
    brush.setColor(color);
    paintRows(brush);
}

void Resource::blink()
{
    if (!item)
        return;
    QBrush brush = rowBrush(item);
    brush.setColor(brush.color() == QColor(Qt::black) ? Qt::red : Qt::black);
    paintRows(brush);
}

void Resource::rejectCall()
{
    qDebug().noquote() << "about to reject call" << where();
    if (currentStatus != StatusCalling) {
        qDebug() << "ERROR: not calling!";
        return;
    }
    if (unit)
        unit->reject(resourceName);
    rejectCallTimer.stop();
}

void Resource::startBroadcasting()
{
    broadcasting = true;
    blinkTimer.start(300);
    setForegroundColor(Qt::red);
    if (unit)
        unit->disableResourceItems();
    updateGui();
}

void Resource::stopBroadcasting()
{
    broadcasting = false;
    blinkTimer.stop();
    setForegroundColor(Qt::black);
    if (unit)
        unit->enableResourceItems();
    updateGui();
}

int Resource::addMonitorSource(const QString &source, const QString &mode, const QString &gain)
{
    qDebug().noquote() << "adding monitor source" << source << where();
    if (sources.contains(source))
        return -3;
    sources.insert(source, {mode, gain});
    updateGui();
    gZudWindow->updateGuiLater();
    return 0;
}

int Resource::removeMonitorSource(const QString &source)
{
    qDebug().noquote() << "removing monitor source" << source << where();
    if (!sources.remove(source))
        return -3;
    updateGui();
    gZudWindow->updateGuiLater();
    return 0;
}

int Resource::addMonitorDestination(const QString &destination, const QString &mode, const QString &gain)
{
    qDebug().noquote() << "adding monitor destination" << destination << where();
    if (destinations.contains(destination))
        return -3;
    destinations.insert(destination, {mode, gain});
    updateGui();
    return 0;
}

int Resource::removeMonitorDestination(const QString &destination)
{
    qDebug().noquote() << "removing monitor destination" << destination << where();
    if (!destinations.remove(destination))
        return -3;
    updateGui();
    return 0;
}

QString Resource::listMonitors(const QMap<QString, MonitorSettings> &relations, const QString &none,
                               const QString &lead)
{
    if (relations.isEmpty())
        return none;
    QString text;
    for (auto it = relations.cbegin(); it != relations.cend(); ++it)
        text += lead + it.key() + " : " + it->mode;
    return text;
}

int Resource::connectTo(const QString &peer, const QString &kind)
{
    qDebug().noquote() << "connect" << resourceName << "to" << peer;
    const bool confirmsInactive = inactivePeers.contains(peer) && inactivePeers.value(peer) == kind;
    if (peers.contains(peer) && peers.value(peer) == kind) {
        if (confirmsInactive)
            inactivePeers.remove(peer);
        return -3;
    }
    peers.insert(peer, kind);
    if (confirmsInactive)
        inactivePeers.remove(peer);
    updateGui();
    return 0;
}

int Resource::disconnectFrom(const QString &peer, const QString &kind)
{
    qDebug().noquote() << "disconnect" << resourceName << "from" << peer;
    if (!peers.contains(peer) || peers.value(peer) != kind)
        return -3;
    peers.remove(peer);
    updateGui();
    return 0;
}

int Resource::invalidateConnections()
{
    qDebug().noquote() << "invalidating connections" << where();
    inactivePeers = peers;
    return 0;
}

int Resource::removeInactiveConnections()
{
    qDebug().noquote() << "removing inactive connections for" << resourceName;
    for (auto it = inactivePeers.cbegin(); it != inactivePeers.cend(); ++it) {
        if (peers.remove(it.key()))
            qDebug().noquote() << "removing" << it.key();
    }
    inactivePeers.clear();
    qDebug() << "no inactive connections left";
    updateGui();
    return 0;
}

int Resource::clearConnections()
{
    qDebug().noquote() << "clearing connections for" << resourceName;
    peers.clear();
    return 0;
}
