#pragma once

#include <QStringList>

// The radio connection settings and a unit's gains, as zud.conf keeps them. Every save writes
// zud.conf whole and returns the save's result.

// Default type, priority and crosstalk; the radio's own three (each falling back to the
// default); "default" when the radio uses the defaults, else "user".
QStringList loadRadioConnectionSettings(const QString &radio, const QString &unit);
// values: the "default" flag ("1" to use the defaults), type, priority, crosstalk.
int saveRadioConnectionSettings(const QString &radio, const QString &unit, const QStringList &values);

// The unit's output gain, "0" when none is kept.
QString loadAudioGain(const QString &unit);
int saveAudioGain(const QString &unit, const QString &gain);
// The gain sent with monitor commands: the unit's own, else the default one, else "0".
QString loadMonitorGain(const QString &unit);
int saveMonitorGain(const QString &unit, const QString &gain);
