// Process-wide logger: one record per call on the standard error stream, filtered by a level mask.
#pragma once

#include <cstdint>

enum log_level : uint32_t {
    LOG_ERROR = 0x0001,
    LOG_INFO = 0x0004,
    LOG_STARTUP = 0x0008,
    LOG_REQUEST = 0x0020,
    LOG_ICONS = 0x0040,
    LOG_BRELT = 0x0100,
    LOG_BRELT_DETAIL = 0x0200,
    LOG_OPERATION = 0x0400,
    LOG_HTTP = 0x1000,
    LOG_CURTAIN = 0x2000,
};

// mode 0 writes to stderr, mode 1 to "./run.log".
void init_logger(int mode, uint32_t mask);
void cleanup_logger();

// True when a record of this level would be written; lets callers skip costly arguments.
bool log_enabled(uint32_t level);

void log_message(const char* file, int line, uint32_t level, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
void write_log(uint32_t level, const char* text);

#define LOG(level, ...) log_message(__FILE__, __LINE__, (level), __VA_ARGS__)
