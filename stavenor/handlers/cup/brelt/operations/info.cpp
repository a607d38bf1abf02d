#include "handlers/cup/brelt/operations/info.h"

#include "common/delete_later.h"
#include "common/logger.h"
#include "handlers/cup/brelt/brelt.h"
#include "handlers/cup/brelt/manager.h"
#include "handlers/cup/brelt/protocol.h"
#include "handlers/cup/network/announcement.h"

void removeUnit(Brelt* unit)
{
    if (unit->isMarked()) return;
    unit->setMarked();
    unitMap.erase(unit->getMac());
    deleteLater(unit);
}

InfoOperation::InfoOperation(Brelt* unit) : Operation(unit)
{
    name = "informer";
    run();
}

int InfoOperation::run()
{
    protocol->hook(this, MSG_INF, sigc::mem_fun(*this, &InfoOperation::parseAnnouncement));
    protocol->hook(this, MSG_STA, sigc::mem_fun(*this, &InfoOperation::onState));
    return 0;
}

void InfoOperation::cleanup()
{
    timeoutConnection.disconnect();
    LOG(LOG_BRELT, "brelt %s : informer disconnected\n", unitId());
    protocol->unhook(MSG_INF);
    protocol->unhook(MSG_STA);
}

void InfoOperation::parseAnnouncement(const FrameHeader* header)
{
    Announcement a;
    if (!readAnnouncement(header, a)) {
        LOG(LOG_BRELT, "brelt %s : announcement too short for version %d, dropped\n", unitId(), header->v);
        return;
    }
    const int version = unit->getProtocolVersion();
    if (version == -1) {
        unit->setProtocolVersion(a.version);
    } else if (version != a.version) {
        if (unit->isMarked()) return;
        // The unit changed its protocol: its next announcement creates it anew with the right class.
        // A program cut here has failed, also for the new object.
        cleanup();
        unit->abortProgram(-2, "unit dropped", "the unit changed its protocol version during the job");
        keepOutcomeForReplacement(*unit);
        removeUnit(unit);
        return;
    }

    const int before = unit->getStatus();
    unit->setSetting("name", a.name);
    unit->setSetting("dis", a.dis);
    unit->setSetting("date", a.date);
    unit->setSetting("organization", a.org);
    unit->setRundisVersion(a.run);
    if (a.version >= 2) unit->setIpAddress(a.ip);
    else unit->setSetting("ip", "unknown");
    unit->setBusy(a.stat == 1);
    unit->setSetting("base", a.version >= 5 ? a.hwen : std::to_string(a.ver));
    unit->setSetting("description", a.version >= 3 ? a.hwd : std::string());
    if (a.version >= 6) {
        unit->setSetting("languages", a.lang);
        unit->setSetting("type", a.type);
        unit->setSetting("cub role", a.role);
        unit->setFlag("cub member", a.cmem);
        unit->setFlag("cub capable", true);
    } else {
        unit->setSetting("type", "unknown");
        unit->setSetting("cub role", "inCUBable");
        unit->setFlag("cub member", false);
        unit->setFlag("cub capable", false);
    }
    if (a.version >= 7) {
        unit->setFlag("blocked", a.lock);
        unit->setSetting("id", a.id);
    } else {
        unit->setFlag("blocked", false);
        unit->setSetting("id", "unknown");
    }
    if (before == Brelt::PROBABLY_DOWN || before == Brelt::DOWN || before == Brelt::LOCKED)
        unit->setStatus(Brelt::UP);
}

void InfoOperation::onState(const FrameHeader* header)
{
    const int state = readState(header);
    if (state < 0) return;
    LOG(LOG_BRELT, "k %s status %d\n", unitId(), state);
    if (state == 1) {
        unit->setBusy(true);
    } else if (state == 2) {
        unit->setBusy(false);
        if (unit->getStatus() == Brelt::LOCKED) unit->setStatus(Brelt::UP);
    } else if (state == 3) {
        unit->setStatus(Brelt::LOCKED);
    }
}

KillMe::KillMe(Brelt* unit) : Operation(unit) { name = "suicider"; }

int KillMe::run()
{
    removeUnit(unit);
    return 0;
}
