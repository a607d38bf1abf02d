#pragma once

#include "resource.h"

// A radio set of a unit: its transmit and receive state, its input gain and the radios it
// retransmits to, drawn into its icon.
class Radio : public Resource
{
    Q_OBJECT
public:
    Radio(const QString &name, QTreeWidgetItem *parentRow, QObject *parent = nullptr);

    QStringList connectionParameters() const override;
    void updateGui() override;
    QString typeName() const override { return QStringLiteral("radio"); }
    QString description() const override;
    QIcon icon() const override { return QIcon(":/icons/images/radio_free.png"); }
    ButtonStateList buttonStates() const override;

    int setTransmitting(bool on);
    int setReceiving(bool on);
    int setInputGain(int gain);
    int inputGain() const { return gainDb; }
    bool isTransmitting() const { return transmitting; }
    bool isReceiving() const { return receiving; }
    bool hasRetransmission(const QString &radio) const { return partners.contains(radio); }
    int addRetransmission(const QString &radio);
    int removeRetransmission(const QString &radio);
    bool isRetransmitting() const { return !partners.isEmpty(); }
    QStringList retransmissions() const { return partners; }

    // The row's icon: the base image of the radio's state with its transmit and receive bullets.
    QPixmap stateImage() const;

private:
    bool transmitting = false;
    bool receiving = false;
    int gainDb = 0;
    QStringList partners;
};
