#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <utility>

class CentralUnit;

// What an operator's change to the configured units came to. The window tells the operator why a
// change was refused, or that zud.conf could not keep it.
enum class UnitChange {
    Done,
    // Done, but zud.conf could not be written: it holds until the console ends.
    DoneUnsaved,
    NameInUse,
    AddressInUse,
    // zud.conf cannot hold the value given for this field ('|', a TAB or a line break).
    NameUnfit,
    AddressUnfit,
    PasswordUnfit,
    TimeoutUnfit,
    NoSuchUnit,
};

// The console's central units, made from the "devices" section of zud.conf and kept in step with
// it when the operator adds or removes one.
class CentralUnitManager : public QObject
{
    Q_OBJECT
public:
    explicit CentralUnitManager(QObject *parent = nullptr);
    ~CentralUnitManager() override;

    int loadUnits();
    // The name is checked first, then the address, then what zud.conf can hold.
    UnitChange addUnit(const QString &name, const QString &ipAddress, const QString &ttl, const QString &password);
    // A configured unit's address, inactivity timeout and password, under the rules of addUnit.
    UnitChange editUnit(const QString &name, const QString &ipAddress, const QString &ttl, const QString &password);
    UnitChange removeUnit(const QString &name);
    CentralUnit *findUnit(const QString &name) const;
    CentralUnit *findUnitByAddress(const QString &ipAddress) const;
    const QList<CentralUnit *> &centralUnits() const { return units; }
    // The all-units broadcast, to every connected unit.
    void startBroadcast();
    void endBroadcast();

signals:
    void blocked(const QString &unitName);

public slots:
    void onCUBlocked(const QString &unitName);

private:
    CentralUnit *makeUnit(const QStringList &parameters);
    bool addressInUse(const QString &ipAddress, const CentralUnit *except) const;
    // The first value zud.conf cannot hold, as its refusal; Done when all fit.
    static UnitChange unfitValue(const QList<std::pair<UnitChange, QString>> &values);
    static UnitChange saved();

    QList<CentralUnit *> units;
};

// The one manager while it exists: the remote handset windows reach their unit through it.
extern CentralUnitManager *gCentralUnitManager;
