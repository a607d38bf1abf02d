// The recovery dispatcher behind the "curtain" handler: acts on the session of the port that the
// page selected and keeps what the page's polls report (user activity, progress, the end).
#pragma once

#include <sigc++/sigc++.h>

#include <jansson.h>

#include <cstdint>
#include <string>

class RecoverySession;

// One browser request as the "curtain" handler numbers it, with its text argument.
struct JasonRequest {
    int32_t number = 0;
    char data[256] = {}; // at most 255 characters
};

// The page's ask for the image: before a run, and again when the uploaded one was refused.
inline constexpr const char* kSendDataImage = "{\"command\":\"send_data_image\"}";

enum JasonRequestNumber {
    REQ_PORT_LIST = 1,
    REQ_PORT_SELECTED = 2,
    REQ_SEND_SERVER_ADDRESS = 3,
    REQ_AUTOMATIC_DATE = 4,
    REQ_AUTOMATIC_MAC = 5,
    REQ_KEEP_DATA_PARTITION = 6,
    REQ_IMAGE_UPLOADED = 7,
    REQ_IMAGE_UPLOADED_PROCEED = 8,
    REQ_PROGRESS = 9,
    REQ_START_FLASHING = 12,
    REQ_MAC_ADDRESS = 15,
    REQ_DATE = 16,
    REQ_CLEAR_STATUS = 20,
    REQ_CHECK_PORTS = 21,
    REQ_SERVER_ADDRESS = 30,
    REQ_UNIT_ADDRESS = 31,
    REQ_DISMISS_RUN = 40, // the page lets an ended run's outcome go
};

class JasonState : public sigc::trackable {
public:
    JasonState();
    ~JasonState();
    JasonState(const JasonState&) = delete;
    JasonState& operator=(const JasonState&) = delete;

    // The process's dispatcher (none before start-up and after stop).
    static JasonState* instance();

    // From an HTTP connection thread: the request runs on the main loop, which owns the sessions.
    // The answer text; empty when the main loop did not take the request in time.
    std::string request(JasonRequest* request);

    void setUserActivity(int activity) { userActivity = activity; }
    void setFinished();
    void setFailed(const RecoverySession& session);
    void setProgress(int operationDone, int operationTotal, int overall, int overallTotal, const std::string& text);
    // The last run as every window shows it, kept after its port's session has gone: its port, state
    // ("idle", "running", "failed", "done"), step, progress, image bytes fetched and why it failed.
    // Main loop only.
    json_t* describeRun() const;

private:
    std::string serve(const JasonRequest& request);
    std::string portList();
    std::string progress();
    void subscribe(RecoverySession* session);
    void dismissRun();
    void clearRun();

    int32_t currentProgress = 0;
    int32_t overallProgress = 0;
    int32_t userActivity = 0;
    std::string description = "nothing";
    bool finished = false;
    bool allDone = false;
    bool failed = false;
    bool selecting = false;
    // The latest upload was not taken: no run may start on an older image.
    bool imageRefused = false;
    // Only the flash program's reports are the run's: a reconnaissance after it changes nothing.
    bool running = false;
    std::string selectedPort;
    std::string runPort;
    std::string failureCause;
    std::string failureReason;
    int64_t fetched = 0;
    int64_t imageBytes = 0;
    RecoverySession* subscribed = nullptr;
    sigc::connection progressConnection;
};
