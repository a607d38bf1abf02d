#pragma once

#include <QList>
#include <QObject>

#include <utility>

class CentralUnit;

// The console's central units, made from the "devices" section of zud.conf and kept in step with
// it when the operator adds or removes one.
class CentralUnitManager : public QObject
{
    Q_OBJECT
public:
    explicit CentralUnitManager(QObject *parent = nullptr);
    ~CentralUnitManager() override;

    int loadUnits();
    int addUnit(const QString &name, const QString &ipAddress, const QString &ttl, const QString &password);
    // A configured unit's address, inactivity timeout and password, under the rules of addUnit:
    // 0, -400 no such unit, -3 the address is another unit's, -5 zud.conf cannot hold a value.
    int editUnit(const QString &name, const QString &ipAddress, const QString &ttl, const QString &password);
    int removeUnit(const QString &name);
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
    // Each tells the operator why a value is refused.
    bool addressInUse(const QString &ipAddress, const CentralUnit *except) const;
    bool fitsConfig(const QList<std::pair<QString, QString>> &labelledValues) const;

    QList<CentralUnit *> units;
};

// The one manager while it exists: the remote handset windows reach their unit through it.
extern CentralUnitManager *gCentralUnitManager;
