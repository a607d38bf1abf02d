// pym's log: one line per step, filtered by the log mask set on the command line.
#pragma once

#include <QString>

// Log classes: 4 for the application, its command line and the server watcher; 8 for the web
// window, its page and downloads.
constexpr int LOG_APP = 0x04;
constexpr int LOG_WEB = 0x08;

int logMask();
void setLogMask(int mask);
// A mask as the log writes it: lower-case hexadecimal, at least two digits.
QString hexMask(int mask);
void writeLog(int mask, const QString& text);
void logMessage(int mask, const QString& text, const char* sourceFile, int sourceLine);
// 0 writes to the debug output, 1 to "./run.log".
void setLogMode(int mode);

#define LOG_MESSAGE(mask, text) logMessage((mask), (text), __FILE__, __LINE__)
