#include "centralunit.h"

#include "alarm.h"
#include "confignode.h"
#include "connectionstreewidget.h"
#include "gps.h"
#include "radiocontrolwidget.h"
#include "route.h"
#include "rtpaudiodestination.h"
#include "rtpaudiosource.h"
#include "zudmainwindow.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QIcon>
#include <QTcpSocket>
#include <QTreeWidgetItem>

#include <algorithm>
#include <limits>

namespace {
int clampedInt(const QString &text, int low, int high, int fallback)
{
    bool ok = false;
    const long long value = text.toLongLong(&ok);
    return ok ? int(std::clamp<long long>(value, low, high)) : fallback;
}
}

CentralUnit::CentralUnit(const QStringList &parameters, QWidget *parent) : QWidget(parent)
{
    Q_ASSERT_X(gZudWindow, "CentralUnit", "the main window must exist before any central unit");
    const QStringList p = parameters + QStringList(6 - std::min<qsizetype>(6, parameters.size()), QString());
    // The unit's audio is taken from its own address only.
    rtpSource = new RtpAudioSource(QHostAddress(p[1]), 8000, AL_FORMAT_MONO16, this);
    rtpDestination = new RtpAudioDestination(this);
    unitName = p[0];
    address = p[1];
    port = quint16(p[2].toUShort());
    password = p[3];
    ttlSeconds = clampedInt(p[4], 2, std::numeric_limits<int>::max(), 2);
    gain = clampedInt(p[5], -30, 30, 0);
    // The playback takes -9..9 dB: a gain beyond leaves the unit's audio at 0 dB.
    rtpSource->setGain(float(gain));

    socket = new QTcpSocket(this);
    // Bounded reads: what the console has not handled yet holds the unit back.
    socket->setReadBufferSize(64 * 1024);
    connect(socket, &QTcpSocket::readyRead, this, &CentralUnit::readFromSocket);
    nextBatch.setSingleShot(true);
    connect(&nextBatch, &QTimer::timeout, this, &CentralUnit::handleReceived);
    connect(socket, &QTcpSocket::connected, this, &CentralUnit::connectionEstablished);
    connect(socket, &QTcpSocket::errorOccurred, this, &CentralUnit::connectionError);
    connect(socket, &QTcpSocket::stateChanged, this, &CentralUnit::connectionStateChanged);
    connect(socket, &QTcpSocket::disconnected, this, &CentralUnit::connectionClosed);

    renewTimer.setSingleShot(true);
    connect(&renewTimer, &QTimer::timeout, this, &CentralUnit::renewConnection);
    connect(&diagnoseTimer, &QTimer::timeout, this, &CentralUnit::diagnoseConnection);

    item = new QTreeWidgetItem(gZudWindow->connectionsTree(), 0);
    item->setText(0, unitName);
    item->setText(1, address);
    item->setText(2, unitName.toLower());
    item->setText(3, "cu_" + unitName.toLower());
    routesBranch = new RouteBranch(tr("Routes"), item);
    routesBranch->setCentralUnit(this);
    alarmsBranch = new AlarmsBranch(tr("Alarms"), item);
    alarmsBranch->setCentralUnit(this);
    routesBranch->treeItem()->setHidden(true);
    alarmsBranch->treeItem()->setHidden(true);

    renewConnection();
}

CentralUnit::~CentralUnit()
{
    qDebug() << "central unit destructor" << unitName;
    // The socket goes first: its last signals must not reach a unit being taken apart.
    socket->disconnect(this);
    delete socket;
    removeAllResources();
    removeAllAlarms();
    removeAllRoutes();
    qDeleteAll(remoteWindows);
    qDeleteAll(unitEndpoints);
    delete alarmsBranch;
    delete routesBranch;
    delete item;
    qDebug() << "central unit destructor" << unitName << "ok";
}

bool CentralUnit::isConnected() const
{
    return socket->state() == QAbstractSocket::ConnectedState;
}

quint16 CentralUnit::rtpPort() const
{
    return rtpSource->port();
}

int CentralUnit::openConnection()
{
    if (isConnected()) {
        qDebug() << "ERROR: already connected";
        return -3;
    }
    qDebug() << "open connection with" << unitName;
    renewConnection();
    return 0;
}

int CentralUnit::closeConnection(bool reconnect)
{
    if (socket->state() == QAbstractSocket::UnconnectedState) {
        qDebug() << "ERROR: already closed";
        return -3;
    }
    qDebug() << "close connection with" << unitName;
    socket->abort();
    if (reconnect)
        renewTimer.start(reconnectAfterCloseMs);
    return 0;
}

void CentralUnit::setLinkState(const QString &icon, const QString &toolTip)
{
    item->setIcon(0, rowIcon(icon));
    item->setToolTip(0, toolTip);
}

void CentralUnit::showConnectedRow()
{
    setLinkState(":/icons/images/accept.png", tr("TTL: %1 seconds").arg(ttlSeconds));
}

void CentralUnit::setLink(LinkState state)
{
    if (state == link)
        return;
    link = state;
    emit linkStateChanged(state);
    // The details of the unit's row follow its link.
    gZudWindow->updateGuiLater();
}

void CentralUnit::renewConnection()
{
    socket->abort();
    reader.reset();
    inbox.clear();
    replyTokens.clear();
    socket->connectToHost(address, port, QIODevice::ReadWrite);
    if (passwordRefused)
        return;
    setLinkState(":/icons/images/busy.gif", tr("connecting"));
    setLink(LinkState::Connecting);
}

void CentralUnit::changeSettings(const QString &ipAddress, const QString &newPassword, int ttl)
{
    qDebug() << "change settings of" << unitName << "to" << ipAddress << ttl;
    ttlSeconds = std::max(ttl, 2);
    if (ipAddress == address && newPassword == password) {
        if (isConnected() && !passwordRefused)
            showConnectedRow();
        return;
    }
    address = ipAddress;
    password = newPassword;
    passwordRefused = false;
    rtpSource->setUnitAddress(QHostAddress(address));
    item->setText(1, address);
    // The new values are tried now, not when a pending retry fires.
    renewTimer.stop();
    renewConnection();
}

void CentralUnit::connectionEstablished()
{
    secondsWithoutAlive = 0;
    diagnoseTimer.start(1000);
    // A password refused before stays told until the unit takes a login.
    if (!passwordRefused)
        showConnectedRow();
    item->setDisabled(false);
    routesBranch->treeItem()->setHidden(false);
    alarmsBranch->treeItem()->setHidden(false);
    // The list is empty here: the last link's close removed everything.
    adoptResource(new Gps("coordinates", item));

    appendToProgram({
        {"login", gOperatorName, QString::number(rtpSource->port()), password},
        {"list", "users"},
        {"list", "conferences"},
        {"list", "endpoints"},
        {"list", "routes"},
        {"info", "radio silence"},
        {"gain", "set", QString::number(gain), "output"},
    });
}

void CentralUnit::dropLink()
{
    if (passwordRefused) {
        setLinkState(":/icons/images/reject.png", tr("wrong password"));
        setLink(LinkState::WrongPassword);
    } else {
        setLinkState(":/icons/images/reject.png", tr("connection refused"));
        setLink(LinkState::Unreachable);
    }
    removeAllAlarms();
    removeAllRoutes();
    removeAllResources();
    // A list cut short by the drop is dropped with it: the next link lists again.
    listing.reset();
    // The endpoints come again with the next link's list.
    qDeleteAll(unitEndpoints);
    unitEndpoints.clear();
    clearProgram();
    secondsWithoutAlive = 0;
    diagnoseTimer.stop();
    item->setDisabled(false);
    awaitingReply = false;
    if (rtpDestination->isPlaying())
        rtpDestination->stop();
}

void CentralUnit::connectionClosed()
{
    qDebug() << unitName << "disconnected";
    dropLink();
}

void CentralUnit::connectionError(QAbstractSocket::SocketError error)
{
    qDebug() << "connection error with" << unitName << ":" << error;
    dropLink();
    renewTimer.start(reconnectAfterErrorMs);
}

void CentralUnit::connectionStateChanged(QAbstractSocket::SocketState state)
{
    qDebug() << "connection state changed to" << state << "@" << unitName;
}

void CentralUnit::diagnoseConnection()
{
    ++secondsWithoutAlive;
    qDebug() << unitName << "did not respond for" << secondsWithoutAlive << "seconds";
    if (secondsWithoutAlive > ttlSeconds)
        closeConnection(true);
}

bool CentralUnit::write(const QStringList &tokens)
{
    // A connecting socket would keep the bytes and send them ahead of the login.
    if (!isConnected()) {
        qDebug() << "ERROR: not connected to" << unitName << ", command not sent:" << printableCommand(tokens);
        return false;
    }
    const std::optional<QByteArray> bytes = encodeMessage(tokens);
    if (!bytes) {
        qDebug() << "ERROR: command with an empty token cannot be sent to" << unitName << ":" << printableCommand(tokens);
        return false;
    }
    if (socket->write(*bytes) != bytes->size()) {
        qDebug() << "ERROR: cannot send command to" << unitName << ":" << socket->errorString();
        return false;
    }
    return true;
}

int CentralUnit::executeOperation(Operation *operation)
{
    if (!operation)
        return -1;
    if (awaitingReply)
        return -2;
    qDebug() << "command to" << unitName << ":" << printableCommand(*operation);
    if (!write(*operation)) {
        // No reply will come for a command that was not sent: the unit must not stay busy.
        clearProgram();
        awaitingReply = false;
        return -1;
    }
    awaitingReply = true;
    return 0;
}

int CentralUnit::appendToProgram(const QList<Operation> &operations)
{
    if (operations.isEmpty())
        return -1;
    const bool idle = program.empty();
    program.insert(program.end(), operations.begin(), operations.end());
    if (!idle)
        return 0;
    current = program.begin();
    return executeOperation(&*current);
}

int CentralUnit::sendKtxCommand(const QString &radioName, const QString &text)
{
    const QStringList tokens{"ktx", radioName, text};
    qDebug() << "ktx command to" << radioName << ":" << printableCommand(tokens);
    return write(tokens) ? 0 : -1;
}

bool CentralUnit::checkIfBusyAndInformIfSo()
{
    if (program.empty())
        return false;
    qDebug() << unitName << "is very very busy and cannot process commands!";
    item->setDisabled(true);
    emit blocked(unitName);
    return true;
}

int CentralUnit::clearProgram()
{
    qDebug() << "clear program";
    if (program.empty()) {
        qDebug() << "ERROR: program was empty";
        return -3;
    }
    program.clear();
    current = program.end();
    qDebug() << "program clear done";
    return 0;
}

void CentralUnit::readFromSocket()
{
    // A batch is booked for the next turn already; it takes what came meanwhile too, in order.
    if (!nextBatch.isActive())
        handleReceived();
}

void CentralUnit::handleReceived()
{
    QElapsedTimer turn;
    turn.start();
    for (int handled = 0; handled < messagesPerTurn && !turn.hasExpired(turnBudgetMs);) {
        // A dropped link's messages belong to the old connection.
        if (!isConnected())
            return;
        // What came after a list reply waits until the list is in.
        if (listing) {
            addListEntries(turn);
            continue;
        }
        if (inbox.isEmpty() && !receive())
            return;
        replyTokens = inbox.takeFirst();
        tryResponse();
        ++handled;
    }
    // A unit that sends without pause must not hold the window: the rest waits for the next
    // turn of the event loop.
    nextBatch.start(0);
}

bool CentralUnit::receive()
{
    while (inbox.isEmpty() && socket->bytesAvailable() > 0) {
        if (!reader.append(socket->readAll(), inbox)) {
            qDebug() << "ERROR: message from" << unitName << "exceeds" << MessageReader::maxMessageBytes << "bytes, dropping the link";
            closeConnection(true);
            return false;
        }
    }
    return !inbox.isEmpty();
}

void CentralUnit::tryResponse()
{
    qDebug() << "try response" << printableCommand(replyTokens);
    const QString kind = replyTokens.value(0);
    if (kind == "status") {
        handleStatus();
        replyTokens.clear();
        return;
    }
    if (!awaitingReply) {
        qDebug() << "ERROR: reply with no command in flight dropped @" << unitName;
        replyTokens.clear();
        return;
    }
    awaitingReply = false;
    qDebug() << "response from" << unitName << ":" << printableCommand(replyTokens);
    if (kind == "ok" || kind == "error") {
        item->setDisabled(false);
        emit unblocked(unitName);
        if (kind == "ok")
            handleOk();
        else
            handleError();
    } else {
        qDebug() << "ERROR: UNKNOWN RESPONSE TYPE !!!";
    }
    replyTokens.clear();
    // A list reply moves the program on once its last entry is in.
    if (!listing)
        advanceProgram();
}

void CentralUnit::advanceProgram()
{
    // A handler may have dropped the link, which empties the program.
    if (program.empty())
        return;
    if (++current == program.end()) {
        clearProgram();
        emit programSucceeded();
    } else {
        executeOperation(&*current);
    }
}

void CentralUnit::beginList(ListEntry addEntry)
{
    // Room for a long list's names at once: grown step by step, the index would be rehashed
    // again and again, each time at once over all names so far.
    resourcesByName.reserve(resourcesByName.size() + replyTokens.size() / 3);
    // The entries follow the reply's "ok".
    listing.emplace(ListReply{replyTokens, addEntry, 1, {}, nullptr});
}

void CentralUnit::addListEntries(const QElapsedTimer &turn)
{
    ListReply &list = *listing;
    for (; list.next + 2 < list.tokens.size(); list.next += 3) {
        if (turn.hasExpired(turnBudgetMs)) {
            // The rest comes in the next turns: the tree sorts and the details refresh once, when
            // the last entry is in, not in every turn over a growing list.
            if (!list.hold)
                list.hold = std::make_unique<RefreshHold>();
            return;
        }
        const QStringList &t = list.tokens;
        (this->*list.addEntry)(t[list.next], t[list.next + 1], t[list.next + 2], list.followUps);
    }
    const QList<Operation> followUps = std::move(list.followUps);
    listing.reset();
    appendToProgram(followUps);
    advanceProgram();
}

QString CentralUnit::printableCommand(const QStringList &tokens)
{
    QString text;
    for (const QString &token : tokens)
        text += token + '|';
    return text;
}

QString CentralUnit::mergeCommand(const QStringList &tokens)
{
    QString text;
    for (const QString &token : tokens)
        text += token + ' ';
    return text;
}
