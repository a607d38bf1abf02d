#pragma once

#include "resource.h"

#include <QTime>

// The unit's satellite position fix; its validity falls back to "unknown" 2 s after the last
// report.
class Gps : public Resource
{
    Q_OBJECT
public:
    Gps(const QString &name, QTreeWidgetItem *parentRow, QObject *parent = nullptr);

    void updateGui() override;
    QString typeName() const override { return QStringLiteral("gps"); }
    QString description() const override;

    int setTime(const QString &text);
    int setLongitude(const QString &text);
    int setLatitude(const QString &text);
    int setAltitude(const QString &text);
    int setSatellites(const QString &text);
    int setValidity(const QString &letter);
    QString validityText() const { return validity; }

    // An angle in radians as degrees, minutes and seconds with its hemisphere letter.
    static QString degreesText(double radians, char positive, char negative);

public slots:
    void onTimeout();

private:
    QString validity;
    QTime fixTime;
    double longitude = 0;
    double latitude = 0;
    double altitude = 0;
    int satellites = 0;
    QTimer validityTimer;
};
