#pragma once

#include "resource.h"

class Dial;

// The parties an operator can call, monitor or connect: user terminals, field telephones, PABX
// lines, loudspeakers and other operator consoles.

class User : public Resource
{
    Q_OBJECT
public:
    User(const QString &name, QTreeWidgetItem *parentRow, QObject *parent = nullptr);
    void updateGui() override;
    QString typeName() const override { return QStringLiteral("user"); }
    QString description() const override;
    QIcon icon() const override { return QIcon(":/icons/images/user_free.png"); }
    ButtonStateList buttonStates() const override;
};

// Field telephones and PABX lines draw the same row; only their images differ.
class TelephoneLine : public Resource
{
    Q_OBJECT
public:
    void updateGui() override;
    ButtonStateList buttonStates() const override;

protected:
    TelephoneLine(const QString &name, QTreeWidgetItem *parentRow, const QString &sortPrefix, const QString &images,
                  QObject *parent);
    QString images;
};

class FieldPhone : public TelephoneLine
{
    Q_OBJECT
public:
    FieldPhone(const QString &name, QTreeWidgetItem *parentRow, QObject *parent = nullptr);
    QString typeName() const override { return QStringLiteral("field phone"); }
    QIcon icon() const override { return QIcon(":/icons/images/pabx_free.png"); }
};

class Pabx : public TelephoneLine
{
    Q_OBJECT
public:
    Pabx(const QString &name, QTreeWidgetItem *parentRow, QObject *parent = nullptr);
    ~Pabx() override;
    int setStatus(int newStatus) override;
    QString typeName() const override { return QStringLiteral("pabx"); }
    QIcon icon() const override { return QIcon(":/icons/images/fieldphone_free.png"); }
    Dial *dialPad() const { return dial; }

public slots:
    void onDialOk(const QString &digits);
    void onDialCancel();

private:
    Dial *dial;
};

class Speaker : public Resource
{
    Q_OBJECT
public:
    Speaker(const QString &name, QTreeWidgetItem *parentRow, QObject *parent = nullptr);
    void updateGui() override;
    QString typeName() const override { return QStringLiteral("speaker"); }
    QString description() const override;
    QIcon icon() const override { return QIcon(":/icons/images/speaker_free.png"); }
};

class Overlord : public Resource
{
    Q_OBJECT
public:
    Overlord(const QString &name, QTreeWidgetItem *parentRow, QObject *parent = nullptr);
    void updateGui() override;
    QString typeName() const override { return QStringLiteral("overlord"); }
    QIcon icon() const override { return QIcon(":/icons/images/overlord.png"); }
};
