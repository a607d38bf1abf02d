#include "common/logger.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

// Messages, texts and records are cut at their buffers on purpose.
#pragma GCC diagnostic ignored "-Wformat-truncation"

namespace {

constexpr size_t kBuffer = 1024;

// Set during start-up and stop only, read by every thread.
int log_mode = 0;
int log_fd = -1;
uint32_t log_mask = 0;

} // namespace

bool log_enabled(uint32_t level) { return (level & log_mask) != 0; }

void init_logger(int mode, uint32_t mask)
{
    if (mode != log_mode) {
        if (mode == 1) {
            log_fd = open("./run.log", O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
            if (log_fd < 0) perror("open log file error: ");
        } else if (log_fd >= 0) {
            close(log_fd);
            log_fd = -1;
        }
    }
    log_mode = mode;
    log_mask = mask;
}

void write_log(uint32_t level, const char* text)
{
    if (!log_enabled(level)) return;

    time_t now = time(nullptr);
    struct tm t;
    gmtime_r(&now, &t);
    char stamp[64];
    snprintf(stamp, sizeof stamp, "%d-%d-%d %d:%d:%d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour,
             t.tm_min, t.tm_sec);

    size_t len = strlen(text);
    bool ends_with_newline = len > 0 && text[len - 1] == '\n';
    char record[kBuffer];
    int n = snprintf(record, sizeof record, ends_with_newline ? "[%s] LOG (0x%04x) - %s" : "[%s] LOG (0x%04x) - %s\n",
                     stamp, level, text);
    size_t size = n < 0 ? 0 : static_cast<size_t>(n) < sizeof record ? static_cast<size_t>(n) : sizeof record - 1;
    // A cut record still ends with its own newline.
    if (size == sizeof record - 1) record[size - 1] = '\n';

    // One write per record keeps records from different threads whole.
    if (log_mode == 0) {
        ssize_t ignored = write(STDERR_FILENO, record, size);
        (void)ignored;
    } else if (log_fd >= 0 && write(log_fd, record, size) < static_cast<ssize_t>(size)) {
        perror("log write error: ");
    }
}

void log_message(const char* file, int line, uint32_t level, const char* format, ...)
{
    if (!log_enabled(level)) return;

    char message[kBuffer];
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);

    if (!file) {
        write_log(level, message);
        return;
    }
    const char* slash = strrchr(file, '/');
    char text[kBuffer];
    snprintf(text, sizeof text, "%*s:%d - %s", 20, slash ? slash + 1 : file, line, message);
    write_log(level, text);
}

void cleanup_logger()
{
    write_log(LOG_INFO, "logger bye bye");
    if (log_fd >= 0) {
        close(log_fd);
        log_fd = -1;
    }
}
