// What the updater's commands share: the request being answered, its JSON reply, the unit list,
// value checks and the blocking run of one command line on one unit.
#pragma once

#include "include/daemon.h"

#include <jansson.h>

#include <functional>
#include <string>
#include <vector>

class Brelt;

struct UpdaterRequest {
    http_request& request;
    std::vector<std::string> ids;  // the pieces of "macAddress", in order
    json_t* reply;                 // serialised as the body unless the command sent an attachment
    bool attachment = false;

    const std::string* param(const char* name) const;
};

// A unit text as a JSON string (8-bit texts that are not UTF-8 are read as Latin-1).
json_t* unitText(const std::string& text);
void setError(json_t* reply, const std::string& description);
// The first listed unit that the manager holds. Main loop only.
Brelt* firstUnit(const std::vector<std::string>& ids);

// The text in double quotes, one token of a command line.
std::string quoted(const std::string& text);
// A value goes into a command line unchanged: it must not hold a double quote or a control
// character, which would cut or end the line differently.
bool fitsCommandLine(const std::string& value);
// A file name without a directory: no '/', not "." or "..", and fit for a command line.
bool isPlainFileName(const std::string& value);
// Why the file at `path` cannot be sent to a unit (missing, empty, too big, its name too long);
// empty when it can.
std::string fileRefusal(const std::string& path);

// Checks each named parameter that is present; on the first unfit one sets an error and says false.
bool checkLineValues(UpdaterRequest& r, std::initializer_list<const char*> names);

// What a blocking run does before and after the unit's program; a failed program answers
// "some error happened".
struct BlockingRun {
    std::string line;
    bool check = true;             // ask the unit whether it takes the line first
    std::string downloadDir;       // set on the unit before the line is queued, when not empty
    // Fills the success reply; runs on the main loop with the unit (still known to the manager).
    std::function<void(Brelt*, json_t*)> succeeded;
};

// Starts the line on the first unit and waits, on this thread, for the end of that program.
// Gives up with an error, ending the program as failed, when it has not advanced for longer than
// the longest operation time-out.
void blocking_run(UpdaterRequest& r, const BlockingRun& run);

// The commands of the handler, each answering into r.reply (or with an attachment).
void updater_action(UpdaterRequest& r);
void updater_progress(UpdaterRequest& r);
void updater_roles(UpdaterRequest& r);
void updater_modules(UpdaterRequest& r);
void updater_file_sent(UpdaterRequest& r, const std::string& uploadPath);
void updater_button_data(UpdaterRequest& r);
void updater_file_uploaded(UpdaterRequest& r, const std::string& uploadPath);
void updater_ls_dir(UpdaterRequest& r);
void updater_rm_file(UpdaterRequest& r);
void updater_download(UpdaterRequest& r);
void updater_prepare_log(UpdaterRequest& r);
void updater_download_log(UpdaterRequest& r);
void updater_download_configuration(UpdaterRequest& r);
void updater_pass_module_file(UpdaterRequest& r);
