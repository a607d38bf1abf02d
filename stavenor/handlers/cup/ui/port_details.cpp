#include "handlers/cup/ui/port_details.h"

#include "common/main_loop.h"
#include "handlers/cup/curtain/curtain.h"
#include "handlers/cup/serial/serial_manager.h"

#include <jansson.h>

#include <cstdlib>

namespace {

const char* consoleWord(int kind)
{
    switch (kind) {
    case 1: return "boot loader";
    case 2: return "Linux shell";
    default: return "unknown";
    }
}

json_t* describe(const std::string& name, const RecoverySession& session)
{
    const std::string mac = session.macAddress();
    return json_pack("{s:s%, s:s, s:b, s:s%, s:i, s:b, s:b, s:b, s:b, s:b, s:I}", "name", name.data(), name.size(),
                     "console", consoleWord(session.getConsoleKind()), "checking", session.isReconnoitring(),
                     "macAddress", mac.data(), mac.size(), "flashSizeMb", session.getFlashSizeMb(), "selected",
                     &session == selectedSession, "flashing", session.isFlashing(), "automaticDate",
                     !session.isManualDate(), "automaticMacAddress", !session.isManualMac(), "keepDataPartition",
                     session.keepsDataPartition(), "imageSize", static_cast<json_int_t>(session.imageSize()));
}

std::string details()
{
    json_t* ports = json_array();
    if (SerialManager* manager = SerialManager::instance())
        for (const auto& [name, session] : manager->sessions())
            if (session) json_array_append_new(ports, describe(name, *session));
    json_t* answer = json_pack("{s:o}", "ports", ports);
    char* text = json_dumps(answer, JSON_PRESERVE_ORDER);
    json_decref(answer);
    std::string result = text ? text : "";
    free(text);
    return result;
}

} // namespace

std::string recovery_port_details() { return run_on_main([] { return details(); }).value_or(std::string()); }
