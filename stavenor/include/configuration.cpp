#include "include/configuration.h"

#include "common/logger.h"

#include <libconfig.h>

namespace {

config_t configuration;
bool initialised = false;

bool ready()
{
    if (!initialised) LOG(LOG_ERROR, "configuration error - not initialized");
    return initialised;
}

} // namespace

int init_configuration(const char* path)
{
    if (initialised) config_destroy(&configuration);
    config_init(&configuration);
    if (config_read_file(&configuration, path) == CONFIG_TRUE) {
        LOG(LOG_STARTUP, "configuration init ok [%s]", path);
        initialised = true;
        return 1;
    }
    const char* file = config_error_file(&configuration);
    LOG(LOG_ERROR, "configuration init error: %s:%d - %s", file ? file : path, config_error_line(&configuration),
        config_error_text(&configuration));
    config_destroy(&configuration);
    initialised = false;
    return 0;
}

void cleanup_configuration()
{
    if (!initialised) LOG(LOG_ERROR, "configuration cleanup error due to previous configuration init errors");
}

int get_configuration_int(const char* key, int* value)
{
    if (!ready()) return 0;
    int found = 0;
    if (config_lookup_int(&configuration, key, &found) != CONFIG_TRUE) return 0;
    *value = found;
    return 1;
}

int get_configuration_string(const char* key, const char** value)
{
    if (!ready()) return 0;
    const char* found = nullptr;
    if (config_lookup_string(&configuration, key, &found) != CONFIG_TRUE) return 0;
    *value = found;
    return 1;
}

int set_configuration_int(const char* key, int value)
{
    if (!ready()) return 0;
    config_setting_t* setting = config_lookup(&configuration, key);
    return setting && config_setting_set_int(setting, value) == CONFIG_TRUE ? 1 : 0;
}

int set_configuration_string(const char* key, const char* value)
{
    if (!ready()) return 0;
    config_setting_t* setting = config_lookup(&configuration, key);
    return setting && config_setting_set_string(setting, value) == CONFIG_TRUE ? 1 : 0;
}

std::string temporary_directory()
{
    const char* value = nullptr;
    std::string dir = initialised && config_lookup_string(&configuration, "tmp_dir", &value) == CONFIG_TRUE
                          ? value
                          : "./tmp/";
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}
