#include "handlers/cup/ui/jason.h"

#include "common/logger.h"
#include "common/main_loop.h"
#include "handlers/cup/curtain/curtain.h"
#include "handlers/cup/serial/serial_manager.h"

#include <cstdlib>

namespace {

const char* const kNothing = "{ }";

JasonState* theState = nullptr;

// Members in insertion order, ", " and ": " between them, as the page reads them.
std::string jsonText(json_t* object)
{
    char* text = json_dumps(object, JSON_PRESERVE_ORDER);
    json_decref(object);
    std::string result = text ? text : kNothing;
    free(text);
    return result;
}

json_t* status(const char* state, const std::string& description)
{
    return json_pack("{s:s, s:s%}", "status", state, "description", description.data(), description.size());
}

const char* activityCommand(int activity)
{
    switch (activity) {
    case ACTIVITY_MAC: return "send_mac_address";
    case ACTIVITY_DATE: return "send_date";
    case ACTIVITY_IMAGE: return "send_new_data_image";
    case ACTIVITY_REBOOT: return "user_info";
    default: return nullptr;
    }
}

} // namespace

JasonState::JasonState() { theState = this; }

JasonState::~JasonState()
{
    if (theState == this) theState = nullptr;
    LOG(LOG_CURTAIN, "JasonState deleted");
}

JasonState* JasonState::instance() { return theState; }

void JasonState::setFinished()
{
    if (!running) return;
    running = false;
    finished = true;
}

void JasonState::setFailed(const RecoverySession& session)
{
    if (!running) return;
    running = false;
    finished = failed = true;
    failureCause = session.lastFailure().cause;
    failureReason = session.lastFailure().reason;
}

json_t* JasonState::describeRun() const
{
    const char* state = running ? "running" : failed ? "failed" : finished ? "done" : "idle";
    json_t* run = json_object();
    json_object_set_new(run, "port", json_stringn(runPort.data(), runPort.size()));
    json_object_set_new(run, "state", json_string(state));
    json_object_set_new(run, "step", json_stringn(description.data(), description.size()));
    json_object_set_new(run, "current", json_integer(currentProgress));
    json_object_set_new(run, "overall", json_integer(overallProgress));
    json_object_set_new(run, "fetched", json_integer(fetched));
    json_object_set_new(run, "imageBytes", json_integer(imageBytes));
    json_object_set_new(run, "cause", json_stringn(failureCause.data(), failureCause.size()));
    json_object_set_new(run, "reason", json_stringn(failureReason.data(), failureReason.size()));
    return run;
}

void JasonState::dismissRun()
{
    if (!running) clearRun();
}

void JasonState::clearRun()
{
    failed = finished = allDone = false;
    currentProgress = overallProgress = 0;
    description = "...";
    runPort.clear();
    failureCause.clear();
    failureReason.clear();
    fetched = imageBytes = 0;
}

std::string JasonState::request(JasonRequest* request)
{
    LOG(LOG_CURTAIN, "request %d %s\n", request->number, request->data);
    const JasonRequest copy = *request;
    return run_on_main([this, copy] { return serve(copy); }).value_or(std::string());
}

void JasonState::setProgress(int operationDone, int operationTotal, int overall, int overallTotal, const std::string& text)
{
    if (!running) return;
    if (operationTotal == 0 || overallTotal == 0) return; // nothing to divide by: not a report
    if (userActivity == ACTIVITY_REBOOT) userActivity = 0;
    currentProgress = static_cast<int32_t>(int64_t(operationDone) * 100 / operationTotal);
    overallProgress = static_cast<int32_t>(int64_t(overall) * 100 / overallTotal);
    description = text;
}

std::string JasonState::serve(const JasonRequest& request)
{
    const std::string data = request.data;
    if (request.number == REQ_PORT_LIST) return portList();
    if (request.number == REQ_PORT_SELECTED) {
        if (selecting) return kNothing;
        selecting = true;
        LOG(LOG_CURTAIN, "req connection\n");
        SerialManager* manager = SerialManager::instance();
        selectedSession = manager ? manager->findSession(data) : nullptr;
        selectedPort = selectedSession ? data : std::string();
        selecting = false;
        return kNothing;
    }
    if (request.number == REQ_CHECK_PORTS) {
        // Every port's console is asked again: a port that shows no answer can be checked before
        // it is chosen.
        if (SerialManager* manager = SerialManager::instance()) manager->reconnoitreAll();
        return kNothing;
    }
    if (request.number == REQ_DISMISS_RUN) {
        // The outcome outlives the port's session: it goes when the technician lets it go.
        dismissRun();
        return kNothing;
    }
    RecoverySession* session = selectedSession;
    if (!session) return kNothing;
    switch (request.number) {
    case REQ_SEND_SERVER_ADDRESS: {
        LOG(LOG_CURTAIN, "req ips\n");
        const std::string server = session->serverAddress();
        const std::string unit = session->centralUnitAddress();
        return jsonText(json_pack("{s:s%, s:s%}", "serverAddress", server.data(), server.size(), "centralUnitAddress",
                                  unit.data(), unit.size()));
    }
    case REQ_AUTOMATIC_DATE: session->setManualDate(atoi(data.c_str()) == 0); break;
    case REQ_AUTOMATIC_MAC: session->setManualMac(atoi(data.c_str()) == 0); break;
    case REQ_KEEP_DATA_PARTITION: session->setKeepDataPartition(atoi(data.c_str()) != 0); break;
    case REQ_IMAGE_UPLOADED: {
        const int loaded = session->loadImageFile(data);
        // Only an image that loads clears the flag. A busy upload (a run goes on with its own image)
        // was not taken either: it leaves the flag as it was.
        if (loaded != -505) imageRefused = loaded != 0;
        break;
    }
    case REQ_IMAGE_UPLOADED_PROCEED:
        userActivity = 0;
        session->loadImageFile(data);
        session->proceed();
        break;
    case REQ_PROGRESS: return progress();
    case REQ_START_FLASHING:
        if (imageRefused || !session->hasImage()) {
            // Otherwise the polls would report a run that never starts.
            LOG(LOG_CURTAIN, "no image to flash: asking for it again\n");
            return kSendDataImage;
        }
        subscribe(session);
        clearRun();
        description = "almost ready";
        runPort = selectedPort;
        running = true;
        session->startFlashing();
        // No image, or a program already there: nothing started, and no report will end it.
        if (running && !session->isFlashing()) running = false;
        break;
    case REQ_MAC_ADDRESS:
        userActivity = 0;
        session->setMacAddress(data);
        session->proceed();
        break;
    case REQ_DATE:
        userActivity = 0;
        session->setDate(data);
        session->proceed();
        break;
    case REQ_CLEAR_STATUS: clearRun(); break;
    case REQ_SERVER_ADDRESS:
    case REQ_UNIT_ADDRESS: {
        // A refused address says why, so that a request not sent by the page learns it too.
        const std::string problem = request.number == REQ_SERVER_ADDRESS ? session->setServerAddress(data)
                                                                         : session->setCentralUnitAddress(data);
        if (!problem.empty()) return jsonText(status("error", problem));
        break;
    }
    default: break;
    }
    return kNothing;
}

std::string JasonState::portList()
{
    if (selecting) {
        json_t* answer = json_object();
        json_object_set_new(answer, "portStatus", status("error", "busy selecting a port"));
        return jsonText(answer);
    }
    json_t* ports = json_array();
    if (SerialManager* manager = SerialManager::instance())
        for (const auto& entry : manager->sessions()) json_array_append_new(ports, json_stringn(entry.first.data(), entry.first.size()));
    const std::string mac = selectedSession ? selectedSession->macAddress() : std::string();
    LOG(LOG_CURTAIN, "mac %s\n", mac.c_str());
    json_t* answer = json_object();
    json_object_set_new(answer, "portList", ports);
    json_object_set_new(answer, "portStatus", mac.empty() ? status("error", "unavailable") : status("ready", mac));
    return jsonText(answer);
}

std::string JasonState::progress()
{
    LOG(LOG_CURTAIN, "request progress\n");
    const char* command = activityCommand(userActivity);
    if (!command) {
        if (finished && failed) command = "error";
        else if (finished && allDone) command = "all_done";
        else {
            command = "progress";
            if (overallProgress == 100) allDone = true;
        }
    }
    json_t* data = json_object();
    if (userActivity == ACTIVITY_REBOOT) json_object_set_new(data, "userInfo", json_string("Power Cycle Central Unit"));
    json_object_set_new(data, "currentOperationDescription", json_stringn(description.data(), description.size()));
    json_object_set_new(data, "currentOperationProgress", json_integer(currentProgress));
    json_object_set_new(data, "overallOperationProgress", json_integer(overallProgress));
    json_t* answer = json_object();
    json_object_set_new(answer, "command", json_string(command));
    json_object_set_new(answer, "commandData", data);
    return jsonText(answer);
}

void JasonState::subscribe(RecoverySession* session)
{
    // Once per session, however often flashing starts; a session's links end with it.
    if (session == subscribed && progressConnection.connected()) return;
    subscribed = session;
    progressConnection = session->progressChanged.connect(sigc::track_obj(
        [this, session](int done, int total, int overall, int overallTotal, const std::string& text) {
            setProgress(done, total, overall, overallTotal, text);
            if (running && session->transferBytes() > 0) {
                fetched = session->fetchedBytes();
                imageBytes = session->transferBytes();
            }
        },
        *this));
    session->finished.connect(sigc::mem_fun(*this, &JasonState::setFinished));
    // The session outlives its own signals: the lambda runs only while it is there.
    session->failed.connect(sigc::track_obj([this, session] { setFailed(*session); }, *this));
    session->userActivityRequested.connect(sigc::mem_fun(*this, &JasonState::setUserActivity));
}
