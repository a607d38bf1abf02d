#include "handlers/curtain.h"

#include "common/logger.h"
#include "handlers/cup/ui/port_details.h"
#include "include/params.h"

#include <cstring>
#include <mutex>
#include <optional>

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

// The handler's own part of a request: an answer given at once, or nothing (the record, with its
// number set, goes to the dispatcher). An empty answer leaves the server frame's error page.
using Decision = std::optional<std::string>;

// The uploaded image: a new one for the run, or the one a waiting run asked for.
Decision takeUpload(JasonRequest& record)
{
    std::lock_guard lock(flagsMutex);
    if (awaitingNewImage) {
        awaitingNewImage = false;
        record.number = REQ_IMAGE_UPLOADED_PROCEED;
    } else {
        record.number = REQ_IMAGE_UPLOADED;
        imageUploaded = true;
    }
    return std::nullopt;
}

// The page's repeated ask: for the image, the start of flashing, or the run's progress.
Decision settingsReady(JasonRequest& record)
{
    LOG(LOG_INFO, "!!!!!");
    std::lock_guard lock(flagsMutex);
    if (!dataImageRequested) {
        dataImageRequested = true;
        return kSendDataImage;
    }
    if (imageUploaded) {
        imageUploaded = false;
        record.number = REQ_START_FLASHING;
    } else if (awaitingNewImage) {
        return "{\"command\":\"idle\"}";
    } else {
        record.number = REQ_PROGRESS;
    }
    return std::nullopt;
}

Decision clearImageRequest(JasonRequest&)
{
    std::lock_guard lock(flagsMutex);
    dataImageRequested = false;
    return std::nullopt;
}

// Beyond the dispatcher's requests: the page's view of every port, read on the main loop.
Decision portDetails(JasonRequest&) { return recovery_port_details(); }

struct Route {
    const char* command;   // the "command" word; none for the uploaded image
    int number;            // the dispatcher's request, unless `decide` sets another or answers
    const char* dataParam; // the parameter that `data` is taken from; none: empty
    Decision (*decide)(JasonRequest& record);
};

// Every request the handler serves. An upload ("file" in a POST body) is served as one whatever
// its "command".
const Route kRoutes[] = {
    {nullptr, 0, "file", takeUpload},
    {"portList", REQ_PORT_LIST, nullptr, nullptr},
    {"portSelected", REQ_PORT_SELECTED, "data", nullptr},
    {"send_server_address", REQ_SEND_SERVER_ADDRESS, nullptr, nullptr},
    {"settingsAutomaticDate", REQ_AUTOMATIC_DATE, "data", nullptr},
    {"settingsAutomaticMacAddress", REQ_AUTOMATIC_MAC, "data", nullptr},
    {"settingsKeepDataPartition", REQ_KEEP_DATA_PARTITION, "data", nullptr},
    {"mac_address", REQ_MAC_ADDRESS, "macAddress", nullptr},
    {"date", REQ_DATE, "date", nullptr},
    {"clearStatus", REQ_CLEAR_STATUS, nullptr, clearImageRequest},
    {"checkPorts", REQ_CHECK_PORTS, nullptr, nullptr},
    {"server_address", REQ_SERVER_ADDRESS, "data", nullptr},
    {"central_unit_address", REQ_UNIT_ADDRESS, "data", nullptr},
    {"settings_ready", 0, nullptr, settingsReady},
    {"portDetails", 0, nullptr, portDetails},
    {"dismissRun", REQ_DISMISS_RUN, nullptr, nullptr},
};

const Route& uploadRoute = kRoutes[0];

// The route of a request, and the text its `data` comes from; null for an unknown command.
const Route* routeOf(const http_request& request, const std::string*& data)
{
    const param_list empty;
    const param_list& params = request.params ? *request.params : empty;
    const request_param* file = find_param(params, "file");
    if (file && file->kind == PARAM_POST && file->upload_path) {
        LOG(LOG_CURTAIN, "received file: %s", file->upload_path->c_str());
        data = &*file->upload_path;
        return &uploadRoute;
    }
    const std::string* command = get_param(params, "command");
    LOG(LOG_INFO, "CURTAIN REQUEST `%s` `%s`", request.url.c_str(), command ? command->c_str() : "");
    if (!command) return nullptr;
    for (const Route& route : kRoutes) {
        if (route.command && *command == route.command) {
            data = route.dataParam ? get_param(params, route.dataParam) : nullptr;
            return &route;
        }
    }
    return nullptr;
}

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
    const std::string* data = nullptr;
    const Route* route = routeOf(request, data);
    if (!route) return answer(request, 404, "unavailable");

    JasonRequest record;
    record.number = route->number;
    if (route->dataParam && !putData(record, data ? *data : std::string())) return answer(request, 200, "{ }");
    if (route->decide) {
        if (const Decision decided = route->decide(record)) {
            if (!decided->empty()) answer(request, 200, *decided);
            return; // empty: the main loop did not answer, the server frame's error page
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
