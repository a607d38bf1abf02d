#include "handlers/cup/ui/port_details.h"

#include "common/main_loop.h"
#include "handlers/cup/brelt/operations/determine_prompt.h"
#include "handlers/cup/curtain/curtain.h"
#include "handlers/cup/curtain/ip_checker.h"
#include "handlers/cup/serial/serial_manager.h"
#include "handlers/cup/ui/jason.h"

#include <glib.h>
#include <jansson.h>

#include <cstdlib>

namespace {

const char* consoleWord(int kind)
{
    switch (kind) {
    case PROMPT_UBOOT: return "boot loader";
    case PROMPT_LINUX: return "Linux shell";
    default: return "unknown";
    }
}

void setText(json_t* object, const char* key, const std::string& text)
{
    json_object_set_new(object, key, json_stringn(text.data(), text.size()));
}

json_t* describe(const std::string& name, const RecoverySession& session, const std::string& refusal)
{
    // Linux prints the MAC address in capitals, the boot loader in small letters: shown in one case.
    gchar* mac = g_ascii_strdown(session.macAddress().c_str(), -1);
    json_t* port = json_object();
    setText(port, "name", name);
    setText(port, "reason", refusal);
    json_object_set_new(port, "console", json_string(consoleWord(session.getConsoleKind())));
    json_object_set_new(port, "checking", json_boolean(session.isReconnoitring()));
    json_object_set_new(port, "macAddress", json_string(mac));
    json_object_set_new(port, "flashSizeMb", json_integer(session.getFlashSizeMb()));
    json_object_set_new(port, "selected", json_boolean(&session == selectedSession));
    json_object_set_new(port, "flashing", json_boolean(session.isFlashing()));
    json_object_set_new(port, "automaticDate", json_boolean(!session.isManualDate()));
    json_object_set_new(port, "automaticMacAddress", json_boolean(!session.isManualMac()));
    json_object_set_new(port, "keepDataPartition", json_boolean(session.keepsDataPartition()));
    json_object_set_new(port, "imageSize", json_integer(static_cast<json_int_t>(session.imageSize())));
    g_free(mac);
    return port;
}

std::string details()
{
    json_t* ports = json_array();
    if (SerialManager* manager = SerialManager::instance())
        for (const auto& [name, session] : manager->sessions())
            if (session) json_array_append_new(ports, describe(name, *session, manager->refusal(name)));
    const JasonState* dispatcher = JasonState::instance();
    // Whether the unit can reach the PC with the two addresses: a change of either says it anew.
    const IpChecker* checker = IpChecker::instance();
    const std::string problem = checker ? checker->pairProblem() : std::string();
    json_t* answer = json_pack("{s:o, s:o, s:s%}", "ports", ports, "run",
                               dispatcher ? dispatcher->describeRun() : json_object(), "addressProblem",
                               problem.data(), problem.size());
    char* text = json_dumps(answer, JSON_PRESERVE_ORDER);
    json_decref(answer);
    std::string result = text ? text : "";
    free(text);
    return result;
}

} // namespace

std::string recovery_port_details() { return run_on_main([] { return details(); }).value_or(std::string()); }
