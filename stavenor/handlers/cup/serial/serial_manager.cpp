#include "handlers/cup/serial/serial_manager.h"

#include "common/logger.h"
#include "common/permission_words.h"
#include "handlers/cup/curtain/curtain.h"

#include <glibmm/main.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <glob.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

constexpr uint32_t kLogSerial = LOG_BRELT | LOG_BRELT_DETAIL;
constexpr unsigned kScanMs = 500;

SerialManager* theManager = nullptr;

// False when the directory could not be read (no match is an empty list, not a failure).
bool matching(const char* pattern, std::vector<std::string>& paths)
{
    glob_t found{};
    int result = glob(pattern, 0, nullptr, &found);
    if (result == 0)
        for (size_t i = 0; i < found.gl_pathc; ++i) paths.emplace_back(found.gl_pathv[i]);
    globfree(&found);
    return result == 0 || result == GLOB_NOMATCH;
}

// The kernel lists a UART type for every ttyS line (0: no chip behind it) and the line's device
// number; a path that is not that device (a bind mount over it, say) is not the line.
bool hasUart(const std::string& path)
{
    const std::string sys = "/sys/class/tty/" + path.substr(path.rfind('/') + 1);
    std::ifstream type(sys + "/type");
    int kind = 0;
    if (!(type >> kind) || kind == 0) return false;
    std::ifstream dev(sys + "/dev");
    unsigned major = 0, minor = 0;
    char colon = 0;
    struct stat node {};
    return dev >> major >> colon >> minor && stat(path.c_str(), &node) == 0 && S_ISCHR(node.st_mode) &&
           node.st_rdev == makedev(major, minor);
}

const std::string kMark = "toDelete";

} // namespace

SerialManager::SerialManager()
{
    theManager = this;
    portAdded.connect(sigc::mem_fun(*this, &SerialManager::openSession));
    portRemoved.connect(sigc::mem_fun(*this, &SerialManager::closeSession));
    scanTimer = Glib::signal_timeout().connect(sigc::mem_fun(*this, &SerialManager::scanPorts), kScanMs);
}

SerialManager::~SerialManager()
{
    scanTimer.disconnect();
    // Sessions still open are closed here: their ports and protocols go with them.
    while (!sessionMap.empty()) closeSession(sessionMap.begin()->first);
    portList.clear();
    if (theManager == this) theManager = nullptr;
    LOG(LOG_BRELT, "SerialManager deleted");
}

SerialManager* SerialManager::instance() { return theManager; }

std::optional<std::vector<std::string>> SerialManager::listPorts()
{
    std::vector<std::string> ports;
    std::vector<std::string> lines;
    if (!matching("/dev/ttyS*", lines)) return std::nullopt;
    for (const std::string& path : lines)
        if (hasUart(path)) ports.push_back(path);
    for (const char* pattern : {"/dev/ttyUSB*", "/dev/ttyACM*"})
        if (!matching(pattern, ports)) return std::nullopt;
    if (const char* extra = getenv("STAVENOR_SERIAL_PORTS")) {
        std::stringstream list(extra);
        std::string path;
        while (std::getline(list, path, ':'))
            if (!path.empty() && access(path.c_str(), F_OK) == 0 &&
                std::find(ports.begin(), ports.end(), path) == ports.end())
                ports.push_back(path);
    }
    return ports;
}

bool SerialManager::scanPorts()
{
    std::optional<std::vector<std::string>> present = listPorts();
    if (!present) return true; // a scan that cannot list changes nothing

    for (std::string& port : portList) port += kMark;
    for (const std::string& name : *present) {
        auto known = std::find(portList.begin(), portList.end(), name + kMark);
        if (known != portList.end()) {
            known->erase(known->rfind(kMark));
            continue;
        }
        portList.push_back(name);
        LOG(kLogSerial, "new serial device: %s\n", name.c_str());
        portAdded.emit(name);
    }
    for (const std::string& name : *present) checkAccess(name);
    for (auto it = portList.begin(); it != portList.end();) {
        const size_t mark = it->rfind(kMark);
        if (mark == std::string::npos || mark + kMark.size() != it->size()) {
            ++it;
            continue;
        }
        const std::string name = it->substr(0, mark);
        it = portList.erase(it);
        refusals.erase(name);
        LOG(kLogSerial, "serial device is gone: %s\n", name.c_str());
        portRemoved.emit(name);
    }
    return true;
}

void SerialManager::checkAccess(const std::string& name)
{
    std::string why = open_refusal(name);
    std::string& known = refusals[name];
    if (why == known) return;
    if (!why.empty()) LOG(LOG_ERROR, "%s\n", why.c_str());
    const bool granted = !known.empty() && why.empty();
    known = std::move(why);
    // A port that may be opened now (its group or mode changed) gets a session that opens it.
    if (granted) {
        closeSession(name);
        openSession(name);
    }
}

std::string SerialManager::refusal(const std::string& portName) const
{
    auto it = refusals.find(portName);
    return it == refusals.end() ? std::string() : it->second;
}

RecoverySession* SerialManager::findSession(const std::string& portName) const
{
    auto it = sessionMap.find(portName);
    return it == sessionMap.end() ? nullptr : it->second.get();
}

void SerialManager::reconnoitreAll()
{
    for (auto& [name, session] : sessionMap)
        if (session) session->reconnoitre();
}

void SerialManager::openSession(const std::string& portName)
{
    auto session = std::make_unique<RecoverySession>();
    if (auto kept = keptImages.find(portName); kept != keptImages.end()) {
        session->adoptImage(kept->second);
        keptImages.erase(kept);
    }
    session->attachProtocol(portName);
    sessionMap[portName] = std::move(session);
}

void SerialManager::closeSession(const std::string& portName)
{
    auto it = sessionMap.find(portName);
    if (it == sessionMap.end()) return;
    if (selectedSession == it->second.get()) selectedSession = nullptr;
    std::unique_ptr<RecoverySession> session = std::move(it->second);
    sessionMap.erase(it);
    if (session && session->heldImage()) keptImages[portName] = session->heldImage();
    session.reset();
}
