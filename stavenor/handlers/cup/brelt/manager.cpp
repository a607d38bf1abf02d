#include "handlers/cup/brelt/manager.h"

#include "common/logger.h"
#include "handlers/cup/brelt/brelt.h"
#include "handlers/cup/brelt/brelt_v1.h"
#include "handlers/cup/brelt/brelt_v4.h"
#include "handlers/cup/brelt/brelt_v6.h"
#include "handlers/cup/brelt/brelt_v7.h"
#include "handlers/cup/network/announcement.h"
#include "handlers/cup/network/network.h"

std::map<std::string, Brelt*> unitMap;

namespace {
UnitManager* theManager = nullptr;
// Outcomes of unit objects taken out for a protocol change, by unit id. Main loop only.
std::map<std::string, Brelt::Outcome> replacedOutcomes;
} // namespace

void keepOutcomeForReplacement(const Brelt& unit) { replacedOutcomes[unit.getMac()] = unit.getOutcome(); }

UnitManager::UnitManager()
{
    theManager = this;
    if (Network* network = Network::instance()) {
        network->frameReceived.connect(sigc::mem_fun(*this, &UnitManager::onAnnouncement));
        network->broadcastReceived.connect(sigc::mem_fun(*this, &UnitManager::onAnnouncement));
    }
}

UnitManager::~UnitManager()
{
    while (!unitMap.empty()) {
        auto first = unitMap.begin();
        Brelt* unit = first->second;
        unitMap.erase(first);
        delete unit;
    }
    if (theManager == this) theManager = nullptr;
    LOG(LOG_BRELT, "UnitManager deleted");
}

UnitManager* UnitManager::instance() { return theManager; }

Brelt* UnitManager::find(const std::string& unitId) const
{
    auto it = unitMap.find(unitId);
    return it == unitMap.end() ? nullptr : it->second;
}

int UnitManager::sendText(const std::string& unitId, const std::string& text)
{
    Network* network = Network::instance();
    return network ? network->sendText(unitId, text) : 0;
}

Brelt* createUnit(int version, const std::string& unitId, int initialStatus)
{
    switch (version) {
    case 1:
    case 2:
        return new BreltV1(unitId, initialStatus);
    case 4:
    case 5:
        return new BreltV4(unitId, initialStatus);
    case 6:
        return new BreltV6(unitId, initialStatus);
    case 7:
        return new BreltV7(unitId, initialStatus);
    default:
        return new Brelt(unitId, initialStatus);
    }
}

void UnitManager::onAnnouncement(const uint8_t* frame, size_t length, const std::string&)
{
    auto header = reinterpret_cast<const FrameHeader*>(frame + ETHERNET_HEADER_SIZE);
    if (header->t != MSG_INF || length < ETHERNET_HEADER_SIZE + FRAME_HEADER_SIZE) return;
    const std::string unitId = macToText(frame + 6);
    if (unitMap.count(unitId)) return;
    // A damaged or short announcement creates nothing: the unit's next one will.
    Announcement announcement;
    if (!frameCrcGood(header) || !readAnnouncement(header, announcement)) return;
    LOG(LOG_BRELT, "brelt about to be added (%d)\n", header->v);
    Brelt* unit = createUnit(header->v, unitId, Brelt::UP);
    if (auto kept = replacedOutcomes.extract(unitId)) unit->takeOutcome(kept.mapped());
    unit->feedAnnouncement(header);
    unit->statusChanged.connect(sigc::mem_fun(*this, &UnitManager::relayUnitSignal));
    unitMap[unitId] = unit;
    unitAdded.emit(unit);
}

void UnitManager::relayUnitSignal(Brelt* unit, int status)
{
    if (status == Brelt::DOWN) unitDown.emit(unit);
    else unitChanged.emit(unit);
}
