// "./config.cfg": the server's few settings, read once at start-up and asked for by key.
#pragma once

// Each returns 1 on success and 0 on failure, as every caller tests them.
int init_configuration(const char* path = "./config.cfg");
void cleanup_configuration();
int get_configuration_int(const char* key, int* value);
// The text belongs to the configuration and lives until the process ends.
int get_configuration_string(const char* key, const char** value);
// Changes a setting in memory only; a key that the file lacks is not created.
int set_configuration_int(const char* key, int value);
int set_configuration_string(const char* key, const char* value);

// The temporary directory with its trailing '/': "tmp_dir", or "./tmp/" when the file has none,
// so that start-up, uploads, the purge and the handlers always agree on one directory.
#include <string>
std::string temporary_directory();
