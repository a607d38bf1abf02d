#include "users.h"

#include "centralunit.h"
#include "confignode.h"
#include "dial.h"
#include "zudmainwindow.h"

#include <QDebug>
#include <QTreeWidgetItem>

namespace {
ButtonStateList monitorButton(const Resource &resource)
{
    return {"monitor", resource.isMonitoredBy(gOperatorName) ? "1" : "0"};
}
}

User::User(const QString &name, QTreeWidgetItem *parentRow, QObject *parent) : Resource(parent)
{
    makeRow(parentRow, name, "d_user " + name.toLower());
    modes << "Always" << "When free" << "When busy";
    qDebug().noquote() << "new user" << ('"' + name + '"');
    User::updateGui();
}

void User::updateGui()
{
    QString word;
    if (broadcasting)
        word = tr("broadcasting");
    else if (!temporaryStatus.isEmpty())
        word = temporaryStatus;
    else if (currentStatus == StatusConnected)
        word = tr("connected");
    else if (currentStatus == StatusTrying)
        word = tr("trying");
    else if (currentStatus == StatusCalling)
        word = tr("calling");
    item->setText(1, word);
    item->setIcon(0, rowIcon(busy ? ":/icons/images/user_busy.png" : ":/icons/images/user_free.png"));
    item->setToolTip(0, description());
    gZudWindow->updateGuiLater();
}

QString User::description() const
{
    if (!item || !unit)
        return {};
    QString text = tr("Connected to:");
    for (auto it = peers.cbegin(); it != peers.cend(); ++it)
        text += "\n - " + it.key() + " : " + it.value();
    if (peers.isEmpty())
        text += "\n -";
    return text + "\n\n" + tr("Monitoring:") + listMonitors(sources, "\n - ") + "\n\n" + tr("Monitored by:")
        + listMonitors(destinations, "\n -");
}

ButtonStateList User::buttonStates() const
{
    ButtonStateList states;
    if (currentStatus == StatusCalling)
        states << "accept" << "-" << "reject" << "-";
    return states + monitorButton(*this);
}

TelephoneLine::TelephoneLine(const QString &name, QTreeWidgetItem *parentRow, const QString &sortPrefix,
                             const QString &images, QObject *parent)
    : Resource(parent), images(images)
{
    makeRow(parentRow, name, sortPrefix + name.toLower());
    modes << "Always";
}

void TelephoneLine::updateGui()
{
    QString word;
    if (currentStatus == StatusConnected)
        word = tr("connected");
    else if (currentStatus == StatusTrying)
        word = tr("trying");
    else if (currentStatus == StatusIncomingCall)
        word = tr("calling");
    else if (busy)
        word = tr("busy");
    item->setText(1, word);
    item->setIcon(0, rowIcon(":/icons/images/" + images + (busy ? "_busy.png" : "_free.png")));
    if (unit) {
        item->setToolTip(0, tr("monitoring:") + listMonitors(sources, "\n--", "\n") + "\n" + tr("monitored by:")
                                + listMonitors(destinations, "\n--", "\n"));
    }
}

ButtonStateList TelephoneLine::buttonStates() const
{
    return monitorButton(*this);
}

// The field telephone shows the "pabx" images and the PABX line the "fieldphone" ones.
FieldPhone::FieldPhone(const QString &name, QTreeWidgetItem *parentRow, QObject *parent)
    : TelephoneLine(name, parentRow, "e_field phone ", "pabx", parent)
{
    qDebug().noquote() << "new field phone" << ('"' + name + '"');
    FieldPhone::updateGui();
}

Pabx::Pabx(const QString &name, QTreeWidgetItem *parentRow, QObject *parent)
    : TelephoneLine(name, parentRow, "f_pabx ", "fieldphone", parent)
{
    qDebug().noquote() << "new PABX" << ('"' + name + '"');
    Pabx::updateGui();
    dial = new Dial(gZudWindow);
    connect(dial, &Dial::ok, this, &Pabx::onDialOk);
    connect(dial, &Dial::cancel, this, &Pabx::onDialCancel);
}

Pabx::~Pabx()
{
    dial->setVisible(false);
    delete dial;
}

int Pabx::setStatus(int newStatus)
{
    Resource::setStatus(newStatus);
    // A line this console called (rather than answered) is dialled once it is up.
    if (newStatus == StatusConnected && !handledCall)
        dial->setVisible(true);
    if (newStatus == StatusConnected || newStatus == StatusFree)
        handledCall = false;
    return 0;
}

void Pabx::onDialOk(const QString &digits)
{
    dial->setVisible(false);
    if (unit)
        unit->sendDtmfDigits(resourceName, digits);
}

void Pabx::onDialCancel()
{
    dial->setVisible(false);
    if (unit)
        unit->disconnectFrom(resourceName);
}

Speaker::Speaker(const QString &name, QTreeWidgetItem *parentRow, QObject *parent) : Resource(parent)
{
    makeRow(parentRow, name, "g_speaker " + name.toLower());
    monitorable = false;
    qDebug().noquote() << "new speaker" << ('"' + name + '"');
    Speaker::updateGui();
}

void Speaker::updateGui()
{
    item->setText(1, currentStatus == StatusConnected ? tr("connected") : busy ? tr("busy") : QString());
    item->setIcon(0, rowIcon(busy ? ":/icons/images/speaker_busy.png" : ":/icons/images/speaker_free.png"));
    item->setToolTip(0, description());
    gZudWindow->updateGuiLater();
}

QString Speaker::description() const
{
    if (!item || !unit)
        return {};
    return tr("monitoring:") + listMonitors(sources, "\n -") + "\n\n" + tr("monitored by:")
        + listMonitors(destinations, "\n -");
}

Overlord::Overlord(const QString &name, QTreeWidgetItem *parentRow, QObject *parent) : Resource(parent)
{
    makeRow(parentRow, name, "z_overlord " + name.toLower());
    monitorable = false;
    qDebug().noquote() << "new overlord" << ('"' + name + '"');
    Overlord::updateGui();
}

void Overlord::updateGui()
{
    QString word;
    if (broadcasting)
        word = tr("broadcasting");
    else if (!temporaryStatus.isEmpty())
        word = temporaryStatus;
    else if (currentStatus == StatusConnected)
        word = tr("connected");
    else if (currentStatus == StatusTrying)
        word = tr("trying");
    else if (currentStatus == StatusCalling || currentStatus == StatusIncomingCall)
        word = tr("calling");
    item->setText(1, word);
    item->setIcon(0, rowIcon(":/icons/images/overlord.png"));
    gZudWindow->updateGuiLater();
}
