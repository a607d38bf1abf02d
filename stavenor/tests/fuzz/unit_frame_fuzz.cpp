// Fuzz target of the unit receive path: one captured frame goes through the length check, the
// frame dump, the unit manager and a known unit's channel with its information operation and one
// operation that waits for answers (file parts, listings, upload reports, module, role and
// language lists).
#include "common/logger.h"
#include "handlers/cup/brelt/brelt.h"
#include "handlers/cup/brelt/manager.h"
#include "handlers/cup/brelt/operations/directory.h"
#include "handlers/cup/brelt/operations/get_file.h"
#include "handlers/cup/brelt/operations/modules.h"
#include "handlers/cup/brelt/operations/roles.h"
#include "handlers/cup/brelt/operations/send_file.h"
#include "handlers/cup/network/network.h"

#include <glib.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

class FuzzNetwork : public Network {
public:
    FuzzNetwork() : Network(NoDiscovery{}) {}
    int send(const std::string&, uint8_t*, int) override { return 0; }
    void feed(const uint8_t* frame, size_t size) { deliver(frame, size, nullptr); }
};

// An operation that waits for the answers that the frame may carry.
Operation* listener(Brelt* unit, uint8_t pick)
{
    switch (pick % 6) {
    case 0: {
        auto get = new GetFileOperation(unit, "/remote/fuzzed.bin");
        get->setLocalDir(g_get_tmp_dir());
        return get;
    }
    case 1:
        return new LsDir(unit, "/tmp");
    case 2: {
        auto send = new SendFileOperation(unit, "/dev/null");
        send->waitForReport();
        return send;
    }
    case 3:
        return new ModListOperation(unit);
    case 4:
        return new RoleListOperation(unit);
    default:
        return new LsLang(unit);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool ready = [] {
        // The dump reads every field it prints; run with -close_fd_mask=2 to keep its lines quiet.
        init_logger(0, LOG_BRELT | LOG_BRELT_DETAIL);
        return true;
    }();
    (void)ready;
    FuzzNetwork network;
    UnitManager manager;
    // The input's first byte picks whether the frame comes from a unit already known (its
    // channel and information operation read it) or from a new one (the manager reads it).
    std::vector<uint8_t> frame(data, data + size);
    if (frame.size() >= 12 && (frame[0] & 1)) {
        static const uint8_t known[6] = {0x02, 0, 0, 0, 0, 0x01};
        memcpy(frame.data() + 6, known, 6);
        Brelt* unit = createUnit(7, "02:00:00:00:00:01", Brelt::UP);
        unitMap["02:00:00:00:00:01"] = unit;
        unit->setControlStatus(Brelt::TAKEN);
        // The destination's second byte picks the operation whose answers the frame may be.
        unit->appendOperation(listener(unit, frame[1]));
        unit->runProgram();
    }
    network.feed(frame.data(), frame.size());
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    return 0;
}
