#pragma once

#include "participantindex.h"
#include "wireformat.h"

#include <QAbstractSocket>
#include <QHash>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <list>
#include <memory>
#include <optional>

class AlarmsBranch;
class Alarm;
class Conference;
class Endpoint;
class QElapsedTimer;
class RadioControlWidget;
class RefreshHold;
class QTcpSocket;
class QTreeWidgetItem;
class Resource;
class Route;
class RouteBranch;
class RtpAudioDestination;
class RtpAudioSource;

// One queued command of a unit's program: its tokens.
using Operation = QStringList;

// The console's link to one central unit: a TCP client of the unit's text protocol that logs in,
// runs a program of queued commands one at a time, watches the unit's alive reports and re-opens
// the link when it drops. It owns the unit's branch of the resource tree.
class CentralUnit : public QWidget
{
    Q_OBJECT
public:
    static constexpr int reconnectAfterCloseMs = 2000;
    static constexpr int reconnectAfterErrorMs = 5000;
    // Where the link stands, as the central-units dialog shows it.
    enum class LinkState { Connecting, LoggedIn, Unreachable, WrongPassword };
    Q_ENUM(LinkState)

    // name, IP address, TCP port, password, ttl, audio gain
    explicit CentralUnit(const QStringList &parameters, QWidget *parent = nullptr);
    ~CentralUnit() override;

    QString name() const { return unitName; }
    QString ipAddress() const { return address; }
    QString loginPassword() const { return password; }
    QTreeWidgetItem *treeItem() const { return item; }
    bool isConnected() const;
    bool isRadioSilenceOn() const { return radioSilence; }
    int outputGain() const { return gain; }
    int ttl() const { return ttlSeconds; }
    LinkState linkState() const { return link; }
    // An edited unit: a new address or password ends the link and opens it again with them; a
    // new inactivity timeout counts from the next alive check on.
    void changeSettings(const QString &ipAddress, const QString &newPassword, int ttl);
    void setMonitorGain(int value) { monitorGain = value; }
    QString monitorGainText() const { return QString::number(monitorGain); }
    quint16 rtpPort() const;

    int openConnection();
    int closeConnection(bool reconnect);
    // Appends commands to the program; an empty program starts at once with the first of them.
    int appendToProgram(const QList<Operation> &operations);
    // A handset key goes out at once, beside the program: no reply is expected for it.
    int sendKtxCommand(const QString &radioName, const QString &text);

    // The unit's picture: what its list replies and status reports made.
    QList<Resource *> resources() const { return unitResources; }
    QList<Endpoint *> endpoints() const { return unitEndpoints; }
    QList<Route *> routeList() const { return routes; }
    QList<Alarm *> alarmList() const { return alarms; }
    QList<Resource *> conferences() const { return resourcesOfType("conference"); }
    // Which of the unit's conferences each participant takes part in; the conferences keep it.
    ParticipantIndex &participantIndex() { return participation; }
    QList<Resource *> radios() const { return resourcesOfType("radio"); }
    RouteBranch *routeBranch() const { return routesBranch; }
    AlarmsBranch *alarmBranch() const { return alarmsBranch; }
    Resource *overlord() const { return overlordResource; }
    bool isBroadcastInProgress() const { return broadcastInProgress; }
    int addResource(const QString &resourceName, const QString &type, const QString &state);
    int removeResource(const QString &resourceName);
    int removeAllResources();
    Resource *findResource(const QString &resourceName, const QString &type = QString()) const;
    Resource *resourceForItem(const QTreeWidgetItem *row) const;
    Resource *routeForItem(const QTreeWidgetItem *row) const;
    Endpoint *findEndpoint(const QString &endpointName) const;
    int addEndpoint(const QString &endpointName);
    int removeEndpoint(const QString &endpointName);
    Route *findRoute(const QString &a, const QString &b) const;
    int addRouteResource(const QString &a, const QString &b, const QString &established);
    int removeRouteResource(const QString &a, const QString &b);
    int removeAllRoutes();
    Alarm *findAlarm(const QString &identifier, const QString &text) const;
    int removeAllAlarms();
    // While a broadcast originator is active the unit's rows cannot be chosen.
    void disableResourceItems();
    void enableResourceItems();
    QString infoText() const;
    int startRemoteControl(const QString &radioName);
    int removeRemoteControl(const QString &radioName);
    QList<RadioControlWidget *> remoteControls() const { return remoteWindows; }

    // The operator's commands: each queues its command(s) in the program. 0 queued, -2 the unit
    // is busy, -400 no such resource, -5 a gain out of range.
    int connectTo(const QString &resourceName);
    int reconnectTo(const QString &resourceName);
    int call(const QString &resourceName);
    int callReject(const QString &resourceName);
    int answerCall(const QString &resourceName);
    int disconnectFrom(const QString &resourceName);
    int cancelCall(const QString &resourceName);
    int accept(const QString &resourceName);
    int reject(const QString &resourceName);
    int setRadioSilence(bool on);
    int setPtt(bool on);
    int startBroadcast();
    int endBroadcast();
    int setRoute(const QString &a, const QString &b);
    int removeRoute(const QString &a, const QString &b);
    int setMonitor(const QString &source, const QString &destination, const QString &mode);
    int removeMonitor(const QString &source, const QString &destination, const QString &mode);
    int startRebroadcast(const QString &a, const QString &b);
    int endRebroadcast(const QString &a, const QString &b);
    int invite(const QString &conference, const QString &user);
    int kickOut(const QString &conference, const QString &user);
    int startConferenceOnDemand(const QString &conference, const QStringList &users);
    int stopConferenceOnDemand(const QString &conference);
    int connectRemotely(const QString &user, const QString &radio, const QStringList &parameters);
    int disconnectRemotely(const QString &user, const QString &radio);
    int setAudioGain(int gain);
    int increaseAudioGain();
    int decreaseAudioGain();
    int setRadioInputGain(const QString &radio, int gain);
    int increaseRadioInputGain(const QString &radio);
    int decreaseRadioInputGain(const QString &radio);
    int sendDtmfDigits(const QString &target, const QString &digits);
    int cancelAlarm(Alarm *alarm);
    int defaultAction(QTreeWidgetItem *row);
    int ignoreCall(const QString &resourceName);

    static QString printableCommand(const QStringList &tokens);
    static QString mergeCommand(const QStringList &tokens);

signals:
    void updateMe();
    void programSucceeded();
    void blocked(const QString &unitName);
    void unblocked(const QString &unitName);
    void linkStateChanged(CentralUnit::LinkState state);

public slots:
    void readFromSocket();
    void connectionEstablished();
    void connectionClosed();
    void connectionError(QAbstractSocket::SocketError error);
    void connectionStateChanged(QAbstractSocket::SocketState state);
    void renewConnection();
    void diagnoseConnection();
    int executeOperation(Operation *operation);
    bool checkIfBusyAndInformIfSo();
    int clearProgram();

private:
    // Handles received messages in order, at most messagesPerTurn of them and for at most
    // turnBudgetMs (a long list reply's entries included), and books the next turn for the rest.
    void handleReceived();
    // Cuts what the socket holds into the inbox; false when no message is there, or when one past
    // the bound drops the link.
    bool receive();
    void tryResponse();
    // The command after the one just answered goes out; the last one's answer ends the program.
    void advanceProgram();
    // One entry of a list reply, three tokens, with the commands that must ask about it.
    using ListEntry = void (CentralUnit::*)(const QString &, const QString &, const QString &, QList<Operation> &);
    void beginList(ListEntry addEntry);
    // Adds the list's entries until the turn's budget is spent; the last entry moves the program on.
    void addListEntries(const QElapsedTimer &turn);
    void addUserEntry(const QString &kind, const QString &userName, const QString &state, QList<Operation> &followUps);
    void addConferenceEntry(const QString &locality, const QString &conferenceName, const QString &state,
                            QList<Operation> &followUps);
    void addRouteEntry(const QString &a, const QString &b, const QString &established, QList<Operation> &);
    void handleStatus();
    void handleOk();
    void handleError();
    // The reply and status handlers read the message in replyTokens; cmd is the command in flight.
    void manageUserStatus();
    void manageKtxStatus();
    void manageRadioStatus();
    void manageMonitorStatus();
    void manageRebroadcastStatus();
    void manageRadioSilenceStatus();
    void manageRouteStatus();
    void manageEndpointStatus();
    void manageGpsStatus();
    void manageBroadcastStatus();
    void manageAlarmStatus();
    // One line for a user report: the conferences it joined, and those of `held` it left.
    void logConferenceChange(const QString &user, const QStringList &joined, const QList<Conference *> &held) const;
    void refreshAfterRadioSilence();
    void removeNamed(const QString &resourceName, const QString &type = QString());
    QList<Resource *> resourcesOfType(const QString &type) const;
    // Every resource enters and leaves the list through these two, which keep the name index.
    void adoptResource(Resource *resource);
    void deleteResource(Resource *resource);
    Resource *commandTarget(const QString &resourceName, int *code);
    // A busy check, then the command queued.
    int queueUnlessBusy(const QList<Operation> &operations);
    // A talk or a broadcast begun here: once its start is queued, its end is owed to the unit and
    // goes out behind whatever keeps the unit busy; a start the unit refused needs no end.
    struct Talk
    {
        Operation start;
        Operation end;
        enum State { Idle, Started, Refused } state = Idle;
    };
    int beginTalk(Talk &talk);
    int endTalk(Talk &talk);
    void talkRefused(const Operation &command, const QString &error);
    static QString kindWord(const Resource *resource);
    bool write(const QStringList &tokens);
    void dropLink();
    void setLinkState(const QString &icon, const QString &toolTip);
    void showConnectedRow();
    void setLink(LinkState state);

    QString unitName;
    QString password;
    QString address;
    quint16 port;
    int ttlSeconds;
    LinkState link = LinkState::Connecting;
    // The unit refused the last login for its password: the link keeps trying, and says why,
    // until a login is taken or the password changes.
    bool passwordRefused = false;
    int secondsWithoutAlive = 0;
    bool awaitingReply = false;
    bool radioSilence = false;
    int monitorGain = 0;
    int gain;
    RtpAudioSource *rtpSource;
    RtpAudioDestination *rtpDestination;
    QTimer renewTimer;
    QTimer diagnoseTimer;
    QTcpSocket *socket;
    MessageReader reader;
    // Messages received and not yet handled, in order.
    QList<QStringList> inbox;
    // A turn ends at whichever bound comes first: the time keeps the window painting and
    // answering however costly the messages (a list of tens of thousands is added over many
    // turns), the count keeps one turn's share of cheap ones small; both leave the turns' own
    // cost small beside the messages'.
    static constexpr int messagesPerTurn = 100;
    static constexpr qint64 turnBudgetMs = 5;
    QTimer nextBatch;
    // The list reply being added; the messages after it wait in the inbox.
    struct ListReply
    {
        QStringList tokens;
        ListEntry addEntry;
        qsizetype next;
        QList<Operation> followUps;
        // Taken once the list outlasts a turn.
        std::unique_ptr<RefreshHold> hold;
    };
    std::optional<ListReply> listing;
    QStringList replyTokens;
    std::list<Operation> program;
    std::list<Operation>::iterator current = program.end();
    QTreeWidgetItem *item;
    QList<Resource *> unitResources;
    // The same resources by name: a unit may report tens of thousands, and every report looks
    // one up. Names are unique in the list (addResource replaces a namesake).
    QHash<QString, Resource *> resourcesByName;
    ParticipantIndex participation;
    QList<Endpoint *> unitEndpoints;
    QList<RadioControlWidget *> remoteWindows;
    Resource *overlordResource = nullptr;
    bool broadcastInProgress = false;
    Talk pttTalk{{"ptt", "on"}, {"ptt", "off"}};
    Talk broadcastTalk{{"broadcast", "start"}, {"broadcast", "end"}};
    QString systemName;
    QString systemDate;
    QString softwareVersion;
    QString softwareDate;
    QString hardwareVersion;
    QList<Route *> routes;
    QList<Alarm *> alarms;
    RouteBranch *routesBranch;
    AlarmsBranch *alarmsBranch;
};
