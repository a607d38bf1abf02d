#include "handlers/curtain.h"

#include "common/logger.h"
#include "handlers/cup/ui/port_details.h"
#include "include/params.h"

#include <cstring>
#include <mutex>

sigc::signal<std::string(JasonRequest*)> curtainSignal;

namespace {

JasonState* dispatcher = nullptr;
sigc::connection curtainConnection;
// The signal's slot list is not safe to use from several threads at once: every use holds this.
std::mutex signalMutex;

// The page's state machine: its three flags and the "settings_ready" decision are one critical
// section, so concurrent polls after one upload start flashing once.
std::mutex flagsMutex;
bool dataImageRequested = false;
bool imageUploaded = false;
bool awaitingNewImage = false;

constexpr size_t kMaxData = sizeof(JasonRequest::data) - 1;

struct Command {
    const char* word;
    int number;
    const char* dataParam; // none: no data
};

const Command kCommands[] = {
    {"portList", REQ_PORT_LIST, nullptr},
    {"portSelected", REQ_PORT_SELECTED, "data"},
    {"send_server_address", REQ_SEND_SERVER_ADDRESS, nullptr},
    {"settingsAutomaticDate", REQ_AUTOMATIC_DATE, "data"},
    {"settingsAutomaticMacAddress", REQ_AUTOMATIC_MAC, "data"},
    {"settingsKeepDataPartition", REQ_KEEP_DATA_PARTITION, "data"},
    {"mac_address", REQ_MAC_ADDRESS, "macAddress"},
    {"date", REQ_DATE, "date"},
    {"clearStatus", REQ_CLEAR_STATUS, nullptr},
    {"checkPorts", REQ_CHECK_PORTS, nullptr},
    {"server_address", REQ_SERVER_ADDRESS, "data"},
    {"central_unit_address", REQ_UNIT_ADDRESS, "data"},
};

void answer(http_request& request, int status, const std::string& body)
{
    request.status = status;
    request.data = body;
    request.content_type = "text/html; charset=utf-8";
}

// A value that does not fit the record is refused whole, never cut.
bool putData(JasonRequest& record, const std::string& value)
{
    if (value.size() > kMaxData) {
        LOG(LOG_CURTAIN, "curtain request data of %zu bytes refused\n", value.size());
        return false;
    }
    memcpy(record.data, value.data(), value.size());
    record.data[value.size()] = '\0';
    return true;
}

std::string emit(JasonRequest& record)
{
    std::lock_guard lock(signalMutex);
    return curtainSignal.emit(&record);
}

} // namespace

void set_curtain_dispatcher(JasonState* state) { dispatcher = state; }

void curtain_handler(http_request& request)
{
    JasonRequest record;
    const param_list empty;
    const param_list& params = request.params ? *request.params : empty;

    const request_param* file = find_param(params, "file");
    if (file && file->kind == PARAM_POST && file->upload_path) {
        LOG(LOG_CURTAIN, "received file: %s", file->upload_path->c_str());
        if (!putData(record, *file->upload_path)) return answer(request, 200, "{ }");
        std::lock_guard lock(flagsMutex);
        if (awaitingNewImage) {
            awaitingNewImage = false;
            record.number = REQ_IMAGE_UPLOADED_PROCEED;
        } else {
            record.number = REQ_IMAGE_UPLOADED;
            imageUploaded = true;
        }
    } else {
        const std::string* command = get_param(params, "command");
        LOG(LOG_INFO, "CURTAIN REQUEST `%s` `%s`", request.url.c_str(), command ? command->c_str() : "");
        if (command && *command == "settings_ready") {
            LOG(LOG_INFO, "!!!!!");
            std::lock_guard lock(flagsMutex);
            if (!dataImageRequested) {
                dataImageRequested = true;
                return answer(request, 200, kSendDataImage);
            }
            if (imageUploaded) {
                imageUploaded = false;
                record.number = REQ_START_FLASHING;
            } else if (awaitingNewImage) {
                return answer(request, 200, "{\"command\":\"idle\"}");
            } else {
                record.number = REQ_PROGRESS;
            }
        } else if (command && *command == "portDetails") {
            // Beyond the dispatcher's requests: the page's view of every port, read on the main loop.
            const std::string details = recovery_port_details();
            if (details.empty()) return; // the main loop did not answer: the server frame's error page
            return answer(request, 200, details);
        } else {
            const Command* known = nullptr;
            for (const Command& entry : kCommands) {
                if (command && *command == entry.word) {
                    known = &entry;
                    break;
                }
            }
            if (!known) return answer(request, 404, "unavailable");
            record.number = known->number;
            if (known->dataParam) {
                const std::string* value = get_param(params, known->dataParam);
                if (!putData(record, value ? *value : std::string())) return answer(request, 200, "{ }");
            }
            if (record.number == REQ_CLEAR_STATUS) {
                std::lock_guard lock(flagsMutex);
                dataImageRequested = false;
            }
        }
    }

    const std::string reply = emit(record);
    if (reply.empty()) return; // no dispatcher: the server frame's error page
    if (reply.find("\"command\": \"send_new_data_image\"") != std::string::npos) {
        std::lock_guard lock(flagsMutex);
        awaitingNewImage = true;
    }
    answer(request, 200, reply);
}

void init_curtain()
{
    LOG(LOG_INFO, "curtain init");
    std::lock_guard lock(signalMutex);
    if (dispatcher) curtainConnection = curtainSignal.connect(sigc::mem_fun(*dispatcher, &JasonState::request));
}

void cleanup_curtain()
{
    LOG(LOG_INFO, "curtain cleanup");
    std::lock_guard lock(signalMutex);
    curtainConnection.disconnect();
}
