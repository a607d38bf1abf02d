#pragma once

#include <QIcon>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <QTimer>

class CentralUnit;
class QTreeWidgetItem;

// The mode word and gain text of one monitor relation, as the unit reports them.
struct MonitorSettings
{
    QString mode;
    QString gain;
    bool operator==(const MonitorSettings &) const = default;
};

// Pairs of a main-window button word and its value: a word that is present shows its button.
using ButtonStateList = QStringList;

enum ResourceStatus {
    StatusFree = 0,
    StatusTrying = 1,
    StatusRejected = 2,
    StatusCalling = 3,
    StatusIncomingCall = 4,
    StatusIgnored = 5,
    StatusCanceled = 6,
    StatusConnected = 7,
};

// One thing a central unit reports, shown as one row of the resource tree. The kinds add their
// data and draw their row; the base keeps the call status, the flags, the monitor relations and
// the connections, and blinks, rejects an unanswered call and clears a temporary status word.
class Resource : public QObject
{
    Q_OBJECT
public:
    explicit Resource(QObject *parent = nullptr);
    ~Resource() override;

    virtual int setStatus(int newStatus);
    virtual void setToolTip(const QString &text);
    virtual QStringList connectionParameters() const { return {}; }
    virtual void updateGui();
    virtual QString typeName() const { return QStringLiteral("unknown"); }
    virtual QString description() const { return QStringLiteral("no description"); }
    virtual bool isMonitorable() const { return monitorable; }
    virtual bool canMonitor() const { return canListen; }
    virtual QIcon icon() const { return {}; }
    virtual ButtonStateList buttonStates() const { return {}; }

    QString name() const { return resourceName; }
    QTreeWidgetItem *treeItem() const { return item; }
    int status() const { return currentStatus; }
    static QString statusName(int status);
    CentralUnit *centralUnit() const { return unit; }
    void setCentralUnit(CentralUnit *owner) { unit = owner; }
    bool isBusy() const { return busy; }
    bool isBroadcasting() const { return broadcasting; }
    int setBusy();
    int setFree();
    void setCallHandled(bool handled) { handledCall = handled; }
    bool callHandled() const { return handledCall; }
    int showTemporaryStatus(const QString &text);
    QString temporaryStatusText() const { return temporaryStatus; }
    void setForegroundColor(Qt::GlobalColor color);
    void startBroadcasting();
    void stopBroadcasting();

    int addMonitorSource(const QString &source, const QString &mode, const QString &gain);
    int removeMonitorSource(const QString &source);
    int addMonitorDestination(const QString &destination, const QString &mode, const QString &gain);
    int removeMonitorDestination(const QString &destination);
    bool hasMonitorSource(const QString &source) const { return sources.contains(source); }
    bool isMonitoredBy(const QString &destination) const { return destinations.contains(destination); }
    bool hasMonitorSources() const { return !sources.isEmpty(); }
    bool hasMonitorDestinations() const { return !destinations.isEmpty(); }
    QMap<QString, MonitorSettings> monitorSources() const { return sources; }
    QMap<QString, MonitorSettings> monitorDestinations() const { return destinations; }
    QStringList monitorModes() const { return modes; }
    MonitorSettings monitorSourceSettings(const QString &source) const { return sources.value(source); }

    int connectTo(const QString &peer, const QString &kind);
    int disconnectFrom(const QString &peer, const QString &kind);
    int invalidateConnections();
    int removeInactiveConnections();
    int clearConnections();
    bool isConnectedTo(const QString &peer) const { return peers.contains(peer); }
    QMap<QString, QString> connections() const { return peers; }

public slots:
    void cleanTemporaryStatus();
    void rejectCall();
    void blink();

protected:
    // What every kind's constructor does first: its row under the parent row, with the name and
    // the sort key (the kind's prefix and the lower-case name, or a fixed key).
    void makeRow(QTreeWidgetItem *parentRow, const QString &rowName, const QString &sortKey);
    // The debug form of this resource: its name "@" its unit.
    QString where() const;
    // The monitor relations as a tool tip lists them: "\n - name : mode" each, or `none`.
    static QString listMonitors(const QMap<QString, MonitorSettings> &relations, const QString &none,
                                const QString &lead = QStringLiteral("\n - "));
    // The text colour of this row, its unit's row and the parent resource's row.
    void paintRows(const QBrush &brush);

    QTimer rejectCallTimer;
    QTimer blinkTimer;
    QTimer temporaryStatusTimer;
    bool monitorable = true;
    bool canListen = true;
    bool broadcasting = false;
    bool busy = false;
    bool handledCall = false;
    QString resourceName = QStringLiteral("Abstract User");
    QString temporaryStatus;
    QTreeWidgetItem *item = nullptr;
    CentralUnit *unit = nullptr;
    QMap<QString, MonitorSettings> sources;
    QMap<QString, MonitorSettings> destinations;
    QStringList modes;
    QMap<QString, QString> peers;
    QMap<QString, QString> inactivePeers;
    int currentStatus = StatusFree;
    Resource *parentResource = nullptr;
};

// The call time-out of "system/call timeout" in ms: 5000 when missing or not a positive number.
int callTimeoutMs();

// The icon of a picture in the resources, read once: a QIcon made from a file name reads the
// picture again, and rows change their icon with every report.
QIcon rowIcon(const QString &picture);
