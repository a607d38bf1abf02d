#include "gps.h"

#include "zudmainwindow.h"

#include <QDebug>
#include <QTreeWidgetItem>

#include <cmath>

Gps::Gps(const QString &name, QTreeWidgetItem *parentRow, QObject *parent) : Resource(parent)
{
    makeRow(parentRow, name, "!3gps " + name.toLower());
    qDebug().noquote() << "new gps info" << ('"' + name + '"');
    validity = tr("unknown");
    monitorable = false;
    canListen = false;
    connect(&validityTimer, &QTimer::timeout, this, &Gps::onTimeout);
    validityTimer.start(2000);
    Gps::updateGui();
}

void Gps::updateGui()
{
    item->setText(1, validity);
    item->setIcon(0, rowIcon(":/icons/images/world.png"));
    item->setToolTip(0, description());
    gZudWindow->updateGuiLater();
}

QString Gps::degreesText(double radians, char positive, char negative)
{
    double a = (std::fabs(radians) + 1e-7) * 57.29577951308232;
    const int degrees = int(a);
    a = (a - degrees) * 60;
    const int minutes = int(a);
    const int seconds = int((a - minutes) * 60 + 0.5);
    return QString::asprintf("%02d°%02d'%02d\"%c", degrees, minutes, seconds, radians < 0 ? negative : positive);
}

QString Gps::description() const
{
    QString text = tr("GPS coordinates:");
    if (!item || !unit)
        return text;
    text += "\n - " + tr("status: ") + validity;
    if (validity == "unknown")
        return text;
    return text + "\n - " + tr("time: ") + fixTime.toString("hh:mm:ss") + "\n - " + tr("latitude: ")
        + degreesText(latitude, 'N', 'S') + "\n - " + tr("longitude: ") + degreesText(longitude, 'E', 'W') + "\n - "
        + tr("altitude: ") + QString::number(altitude, 'g', 6) + "m" + "\n - " + tr("satellites: ")
        + QString::number(satellites);
}

int Gps::setTime(const QString &text)
{
    fixTime = QTime::fromString(text, "hhmmss");
    updateGui();
    return 0;
}

int Gps::setLongitude(const QString &text)
{
    longitude = text.toDouble();
    updateGui();
    return 0;
}

int Gps::setLatitude(const QString &text)
{
    latitude = text.toDouble();
    updateGui();
    return 0;
}

int Gps::setAltitude(const QString &text)
{
    altitude = text.toDouble();
    updateGui();
    return 0;
}

int Gps::setSatellites(const QString &text)
{
    satellites = text.toInt();
    updateGui();
    return 0;
}

int Gps::setValidity(const QString &letter)
{
    validity = letter == "A" ? tr("valid") : letter == "V" ? tr("invalid") : tr("incorrect");
    updateGui();
    validityTimer.start(2000);
    return 0;
}

void Gps::onTimeout()
{
    validity = tr("unknown");
    updateGui();
}
