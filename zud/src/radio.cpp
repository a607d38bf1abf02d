#include "radio.h"

#include "centralunit.h"
#include "confignode.h"
#include "radiosettings.h"
#include "zudmainwindow.h"

#include <QDebug>
#include <QPainter>
#include <QTreeWidgetItem>

Radio::Radio(const QString &name, QTreeWidgetItem *parentRow, QObject *parent) : Resource(parent)
{
    makeRow(parentRow, name, "c_radio " + name.toLower());
    modes << "Always" << "When free" << "When busy" << "Radio";
    qDebug().noquote() << "new radio" << ('"' + name + '"');
    Radio::updateGui();
}

QStringList Radio::connectionParameters() const
{
    const QStringList settings = loadRadioConnectionSettings(resourceName, unit ? unit->name() : QString());
    return settings[6] == "default" ? settings.mid(0, 3) : settings.mid(3, 3);
}

QPixmap Radio::stateImage() const
{
    const bool silent = unit && unit->isRadioSilenceOn();
    QPixmap image(silent ? (busy ? ":/icons/images/radio_busy_but_silent.png" : ":/icons/images/radio_free_but_silent.png")
                         : (busy ? ":/icons/images/radio_busy.png" : ":/icons/images/radio_free.png"));
    const QPixmap on(":/icons/images/bullet_red.png");
    const QPixmap off(":/icons/images/bullet_orange.png");
    QPainter painter(&image);
    painter.drawPixmap(0, 10, transmitting ? on : off);
    painter.drawPixmap(8, 10, receiving ? on : off);
    return image;
}

void Radio::updateGui()
{
    item->setText(1, currentStatus == StatusConnected ? tr("connected") : QString());
    item->setIcon(0, QIcon(stateImage()));
    item->setToolTip(0, description());
    gZudWindow->updateGuiLater();
}

QString Radio::description() const
{
    if (!item || !unit)
        return {};
    QString text = tr("Input gain: ") + QString::number(gainDb) + " dB\n\n" + tr("Retransmission sessions:");
    for (const QString &partner : partners)
        text += "\n - " + partner;
    if (partners.isEmpty())
        text += "\n -";
    return text + "\n\n" + tr("Monitoring:") + listMonitors(sources, "\n - ") + "\n\n" + tr("Monitored by:")
        + listMonitors(destinations, "\n -");
}

ButtonStateList Radio::buttonStates() const
{
    return {"monitor", isMonitoredBy(gOperatorName) ? "1" : "0", "radio gain -", "0", "radio gain +", "0",
            "radio gain", QString::number(gainDb)};
}

int Radio::setTransmitting(bool on)
{
    qDebug() << "change transmit state" << on;
    if (transmitting == on)
        return -3;
    transmitting = on;
    updateGui();
    return 0;
}

int Radio::setReceiving(bool on)
{
    if (receiving == on)
        return -3;
    receiving = on;
    updateGui();
    return 0;
}

int Radio::setInputGain(int gain)
{
    gainDb = gain;
    updateGui();
    return 0;
}

int Radio::addRetransmission(const QString &radio)
{
    if (partners.contains(radio))
        return -3;
    partners.append(radio);
    updateGui();
    return 0;
}

int Radio::removeRetransmission(const QString &radio)
{
    if (!partners.removeOne(radio))
        return -3;
    updateGui();
    return 0;
}
