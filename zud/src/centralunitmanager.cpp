#include "centralunitmanager.h"

#include "centralunit.h"
#include "confignode.h"
#include "radiosettings.h"
#include "savewarning.h"

#include <QDebug>
#include <QMessageBox>
#include <QRegularExpression>

namespace {
const QString unitPort = QStringLiteral("22349");

QString childValue(ConfigNode *section, const QString &key, const QString &fallback)
{
    ConfigNode *child = section->get({key});
    return child ? child->value : fallback;
}

// zud.conf cannot hold these inside a key or value: they would end or split its line.
bool fitsConfigLine(const QString &text)
{
    static const QRegularExpression forbidden(QStringLiteral("[|\\t\\r\\n]"));
    return !text.contains(forbidden);
}
}

CentralUnitManager *gCentralUnitManager = nullptr;

CentralUnitManager::CentralUnitManager(QObject *parent) : QObject(parent)
{
    gCentralUnitManager = this;
    loadUnits();
}

CentralUnitManager::~CentralUnitManager()
{
    if (gCentralUnitManager == this)
        gCentralUnitManager = nullptr;
}

CentralUnit *CentralUnitManager::makeUnit(const QStringList &parameters)
{
    auto *unit = new CentralUnit(parameters);
    units.append(unit);
    connect(unit, &CentralUnit::blocked, this, &CentralUnitManager::onCUBlocked);
    return unit;
}

int CentralUnitManager::loadUnits()
{
    ConfigNode *devices = gConfig.get({"devices"});
    int count = 0;
    if (devices) {
        for (const auto &section : devices->children) {
            const QString name = section->key;
            ConfigNode *ip = section->get({"IP Address"});
            if (!ip || findUnit(name) || findUnitByAddress(ip->value))
                continue;
            CentralUnit *unit = makeUnit({name, ip->value, unitPort, childValue(section.get(), "password", QString()),
                                          childValue(section.get(), "ttl", "2"), loadAudioGain(name)});
            unit->setMonitorGain(loadMonitorGain(name).toInt());
            ++count;
        }
    }
    qDebug() << "found" << count << "central units";
    return count;
}

bool CentralUnitManager::addressInUse(const QString &ipAddress, const CentralUnit *except) const
{
    CentralUnit *user = findUnitByAddress(ipAddress);
    return user && user != except;
}

UnitChange CentralUnitManager::unfitValue(const QList<std::pair<UnitChange, QString>> &values)
{
    for (const auto &[refusal, value] : values) {
        if (fitsConfigLine(value))
            continue;
        qDebug() << "ERROR: a value holding '|', a TAB or a line break cannot be kept:" << value;
        return refusal;
    }
    return UnitChange::Done;
}

UnitChange CentralUnitManager::saved()
{
    return saveConfig() == 0 ? UnitChange::Done : UnitChange::DoneUnsaved;
}

UnitChange CentralUnitManager::addUnit(const QString &name, const QString &ipAddress, const QString &ttl,
                                       const QString &password)
{
    qDebug() << "add central unit" << name << ipAddress << ttl;
    if (findUnit(name)) {
        qDebug() << "ERROR: central unit already exists!";
        return UnitChange::NameInUse;
    }
    if (addressInUse(ipAddress, nullptr))
        return UnitChange::AddressInUse;
    if (const UnitChange refusal = unfitValue({{UnitChange::NameUnfit, name}, {UnitChange::AddressUnfit, ipAddress},
                                               {UnitChange::PasswordUnfit, password}, {UnitChange::TimeoutUnfit, ttl}});
        refusal != UnitChange::Done)
        return refusal;
    ConfigNode *section = gConfig.set({"devices", name});
    section->addChild("IP Address", ipAddress);
    section->addChild("ttl", ttl);
    section->addChild("password", password);
    section->addChild("audio gain", "0");
    const UnitChange result = saved();

    makeUnit({name, ipAddress, unitPort, password, ttl, "0"});
    qDebug() << "central unit" << name << "successfully added";
    return result;
}

UnitChange CentralUnitManager::editUnit(const QString &name, const QString &ipAddress, const QString &ttl,
                                        const QString &password)
{
    qDebug() << "edit central unit" << name << ipAddress << ttl;
    CentralUnit *unit = findUnit(name);
    if (!unit) {
        qDebug() << "ERROR: no central unit named" << name;
        return UnitChange::NoSuchUnit;
    }
    if (addressInUse(ipAddress, unit))
        return UnitChange::AddressInUse;
    if (const UnitChange refusal = unfitValue({{UnitChange::AddressUnfit, ipAddress}, {UnitChange::PasswordUnfit, password},
                                               {UnitChange::TimeoutUnfit, ttl}});
        refusal != UnitChange::Done)
        return refusal;
    gConfig.set({"devices", name, "IP Address"})->value = ipAddress;
    gConfig.set({"devices", name, "ttl"})->value = ttl;
    gConfig.set({"devices", name, "password"})->value = password;
    const UnitChange result = saved();

    unit->changeSettings(ipAddress, password, ttl.toInt());
    qDebug() << "central unit" << name << "successfully changed";
    return result;
}

UnitChange CentralUnitManager::removeUnit(const QString &name)
{
    qDebug() << "remove central unit" << name;
    CentralUnit *unit = findUnit(name);
    if (!unit) {
        qDebug() << "ERROR: no central unit named" << name;
        return UnitChange::NoSuchUnit;
    }
    gConfig.remove({"devices", name});
    // A unit that zud.conf still holds comes back at the next start: the window says so.
    const UnitChange result = saved();
    units.removeOne(unit);
    delete unit;
    qDebug() << "central unit" << name << "successfully removed";
    return result;
}

CentralUnit *CentralUnitManager::findUnit(const QString &name) const
{
    for (CentralUnit *unit : units)
        if (unit->name() == name)
            return unit;
    return nullptr;
}

CentralUnit *CentralUnitManager::findUnitByAddress(const QString &ipAddress) const
{
    for (CentralUnit *unit : units)
        if (unit->ipAddress() == ipAddress)
            return unit;
    return nullptr;
}

void CentralUnitManager::startBroadcast()
{
    for (CentralUnit *unit : std::as_const(units))
        if (unit->isConnected())
            unit->startBroadcast();
}

void CentralUnitManager::endBroadcast()
{
    for (CentralUnit *unit : std::as_const(units))
        if (unit->isConnected())
            unit->endBroadcast();
}

void CentralUnitManager::onCUBlocked(const QString &unitName)
{
    emit blocked(unitName);
}
