#include "stavenor/stavenor.h"

#include "logger.h"
#include "viewer.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// A start that fails (no executable, no rights) is tried this often, with this pause between.
constexpr int START_ATTEMPTS = 3;
constexpr int START_RETRY_PAUSE_MS = 200;
// The server's orderly stop (SIGTERM) gets this long before it is killed.
constexpr int STOP_BOUND_MS = 5000;
// A killed leftover server gets this long to be gone (and to free its port) before ours starts.
constexpr int KILL_BOUND_MS = 2000;

const char* const SERVER_EXECUTABLE = "./bin/stavenor";

// Through the system calls themselves: this C library's header declares them without C linkage.
int pidfdOpen(pid_t pid) { return static_cast<int>(syscall(SYS_pidfd_open, pid, 0)); }
int pidfdKill(int pidfd) { return static_cast<int>(syscall(SYS_pidfd_send_signal, pidfd, SIGKILL, nullptr, 0)); }

// How /proc shows a process that runs pym's own server executable.
struct OwnExecutable
{
    struct stat file;
    // The exe link of a process started from that path before the file there was replaced (a
    // rebuild or an upgrade gives the path a new inode): the real path and " (deleted)".
    QByteArray replacedLink;
};

bool runsOwnExecutable(const QByteArray& proc, const OwnExecutable& own)
{
    const QByteArray exe = proc + "/exe";
    struct stat running;
    if (stat(exe.constData(), &running) == 0 && running.st_dev == own.file.st_dev && running.st_ino == own.file.st_ino)
        return true;
    char link[PATH_MAX + 16];
    const ssize_t length = readlink(exe.constData(), link, sizeof link);
    return length > 0 && size_t(length) < sizeof link && QByteArrayView(link, length) == own.replacedLink;
}

// True when the process runs pym's own server executable and belongs to this user (real user id).
bool isOwnServer(pid_t pid, const OwnExecutable& own)
{
    const QByteArray proc = "/proc/" + QByteArray::number(pid);
    if (!runsOwnExecutable(proc, own)) return false;
    FILE* status = fopen((proc + "/status").constData(), "re");
    if (!status) return false;
    bool ours = false;
    char line[256];
    unsigned long realUid = 0;
    while (fgets(line, sizeof line, status))
        if (sscanf(line, "Uid: %lu", &realUid) == 1) {
            ours = realUid == getuid();
            break;
        }
    fclose(status);
    return ours;
}

// Waits, within the bound, for a signalled process to end; its pidfd turns readable then.
void awaitEnd(int pidfd, const QElapsedTimer& clock)
{
    for (;;) {
        const qint64 left = KILL_BOUND_MS - clock.elapsed();
        if (left <= 0) return;
        pollfd ended{pidfd, POLLIN, 0};
        const int n = poll(&ended, 1, static_cast<int>(left));
        if (n >= 0 || errno != EINTR) return;
    }
}

} // namespace

// A server left behind by an earlier run would hold the port. Only a process that runs the very
// file pym starts (same device and inode), or that was started from its path before the file
// there was replaced, under this user is ended: another installation's server, a development
// build or anything else merely named so is never signalled. The process is held by a pidfd from
// before it is checked, so a reused pid is never hit.
void killProcessesByName(const char* executable)
{
    OwnExecutable own;
    char realPath[PATH_MAX];
    if (stat(executable, &own.file) != 0 || !realpath(executable, realPath)) return;
    own.replacedLink = QByteArray(realPath) + " (deleted)";
    DIR* proc = opendir("/proc");
    if (!proc) return;
    QElapsedTimer clock;
    clock.start();
    while (dirent* entry = readdir(proc)) {
        char* end = nullptr;
        const long pid = strtol(entry->d_name, &end, 10);
        if (*end != '\0' || pid <= 0 || pid == getpid()) continue;
        const int pidfd = pidfdOpen(static_cast<pid_t>(pid));
        if (pidfd < 0) continue;
        if (isOwnServer(static_cast<pid_t>(pid), own)) {
            LOG_MESSAGE(LOG_APP, QStringLiteral("old child process found - kill it!"));
            if (pidfdKill(pidfd) == 0) awaitEnd(pidfd, clock);
        }
        close(pidfd);
    }
    closedir(proc);
}

stavenor::stavenor(QObject* parent)
    : QObject(parent)
    , process(new QProcess(this))
    , checkTimer(new QTimer(this))
{
    killProcessesByName(SERVER_EXECUTABLE);

    // No error reporting to exclude the server from here: said as where the exclusion is not tried.
    LOG_MESSAGE(LOG_APP, QStringLiteral("stavenor: WER disable failed"));

    connect(checkTimer, &QTimer::timeout, this, &stavenor::check);

    // The server's output joins pym's standard error; no pipe is left to fill up.
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setWorkingDirectory(QStringLiteral("./bin/"));
    // The program path is taken from pym's working directory, not from the child's.
    process->setProgram(QFileInfo(QString::fromLatin1(SERVER_EXECUTABLE)).absoluteFilePath());
    const pid_t pymPid = getpid();
    process->setChildProcessModifier([pymPid] {
        dup2(STDERR_FILENO, STDOUT_FILENO);
        // The server must not outlive pym, however pym ends.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != pymPid) _exit(1);
    });

    for (int attempt = 1; attempt <= START_ATTEMPTS && !started; ++attempt) {
        if (startProcess()) {
            started = true;
            checkTimer->start(1000);
        } else if (attempt < START_ATTEMPTS) {
            QThread::msleep(START_RETRY_PAUSE_MS);
        }
    }
}

stavenor::~stavenor()
{
    checkTimer->stop();
    stopProcess();
}

bool stavenor::startProcess()
{
    process->start();
    if (!process->waitForStarted()) {
        LOG_MESSAGE(LOG_APP, QStringLiteral("stavenor fuckup: %1 (%2)").arg(process->error()).arg(process->errorString()));
        return false;
    }
    LOG_MESSAGE(LOG_APP, QStringLiteral("stavenor started - listening on port %1").arg(SERVER_PORT));
    process->waitForFinished(1000);
    return true;
}

// Only the child that this watcher started is ever signalled.
void stavenor::stopProcess()
{
    if (process->state() == QProcess::NotRunning) return;
    process->terminate();
    if (process->waitForFinished(STOP_BOUND_MS)) return;
    LOG_MESSAGE(LOG_APP, QStringLiteral("stavenor did not stop - kill it"));
    process->kill();
    process->waitForFinished(STOP_BOUND_MS);
}

void stavenor::check()
{
    if (process->state() != QProcess::NotRunning || !started) return;
    // Cleared before the box: its own event loop keeps this timer running.
    started = false;
    LOG_MESSAGE(LOG_APP, QStringLiteral("stavenor crashed"));
    QMessageBox::critical(mainWindow(), tr("Error"), tr("Subprogram crashed! Restart application."), QMessageBox::Ok);
}
