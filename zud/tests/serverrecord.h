// Records of the radio server as a test hands them to a remote handset, built here from the
// record layout (kind at offset 0, window type at 10, the payload from 32), not by the product.
#pragma once

#include "radiocontrolwidget.h"

#include <QByteArray>

inline QByteArray serverRecord(quint16 kind, int type, const QByteArray& payload, bool nul = true)
{
    QByteArray bytes(32, '\0');
    bytes[0] = char(kind & 0xff);
    bytes[1] = char(kind >> 8);
    bytes[10] = char(type);
    return bytes + payload + (nul ? QByteArray(1, '\0') : QByteArray());
}

// As the unit's "ktx" report of a record hands it over: marker '>', the base64 text and its length.
inline void deliver(RadioControlWidget& widget, const QByteArray& record)
{
    const QByteArray text = record.toBase64();
    widget.receiveData('>', int(text.size()), QString::fromLatin1(text));
}
