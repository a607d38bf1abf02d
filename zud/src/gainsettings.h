#pragma once

#include <QString>

// A unit's gains as zud.conf keeps them.

// The unit's output gain, "0" when none is kept.
QString loadAudioGain(const QString &unitName);
// The gain sent with monitor commands: the unit's own, else the default one, else "0".
QString loadMonitorGain(const QString &unitName);
