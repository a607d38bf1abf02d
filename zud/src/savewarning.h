#pragma once

class QWidget;

// Tells the operator that zud.conf could not be written: the values stay in memory only.
void warnConfigNotSaved(QWidget *parent);
