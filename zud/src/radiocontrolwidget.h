#pragma once

#include <QList>
#include <QWidget>

// The remote handset window of one radio at one central unit. For now it keeps what the unit
// sends it; the handset display draws it.
class RadioControlWidget : public QWidget
{
    Q_OBJECT
public:
    struct Received
    {
        QChar code;
        unsigned length;
        QString text;
        bool operator==(const Received &) const = default;
    };

    RadioControlWidget(const QString &radioName, const QString &unitName, QWidget *parent = nullptr);

    QString radioName() const { return radio; }
    QString unitName() const { return unit; }
    void receiveData(QChar code, unsigned length, const QString &text);
    QList<Received> received() const { return data; }

private:
    QString radio;
    QString unit;
    QList<Received> data;
};
