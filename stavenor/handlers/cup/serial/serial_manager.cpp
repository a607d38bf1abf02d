#include "handlers/cup/serial/serial_manager.h"

#include "common/logger.h"

#include <cstdlib>
#include <fstream>
#include <glob.h>
#include <sstream>
#include <unistd.h>

namespace {

std::vector<std::string> matching(const char* pattern)
{
    std::vector<std::string> paths;
    glob_t found{};
    if (glob(pattern, 0, nullptr, &found) == 0)
        for (size_t i = 0; i < found.gl_pathc; ++i) paths.emplace_back(found.gl_pathv[i]);
    globfree(&found);
    return paths;
}

// The kernel lists a UART type for every ttyS line; 0 is a line without a chip behind it.
bool hasUart(const std::string& path)
{
    std::ifstream type("/sys/class/tty/" + path.substr(path.rfind('/') + 1) + "/type");
    int kind = 0;
    return type >> kind && kind != 0;
}

} // namespace

SerialManager::SerialManager() { LOG(LOG_BRELT, "SerialManager created (not operational in this build)"); }

SerialManager::~SerialManager() { LOG(LOG_BRELT, "SerialManager deleted"); }

std::vector<std::string> SerialManager::scanPorts()
{
    std::vector<std::string> ports;
    for (const std::string& path : matching("/dev/ttyS*"))
        if (hasUart(path)) ports.push_back(path);
    for (const char* pattern : {"/dev/ttyUSB*", "/dev/ttyACM*"})
        for (const std::string& path : matching(pattern)) ports.push_back(path);
    if (const char* extra = getenv("STAVENOR_SERIAL_PORTS")) {
        std::stringstream list(extra);
        std::string path;
        while (std::getline(list, path, ':'))
            if (!path.empty() && access(path.c_str(), F_OK) == 0) ports.push_back(path);
    }
    return ports;
}
