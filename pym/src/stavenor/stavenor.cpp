#include "stavenor/stavenor.h"

#include "logger.h"
#include "viewer.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// A start that fails (no executable, no rights) is tried this often, with this pause between.
constexpr int START_ATTEMPTS = 3;
constexpr int START_RETRY_PAUSE_MS = 200;
// The server's orderly stop (SIGTERM) gets this long before it is killed.
constexpr int STOP_BOUND_MS = 5000;

} // namespace

stavenor::stavenor(QObject* parent)
    : QObject(parent)
    , process(new QProcess(this))
    , checkTimer(new QTimer(this))
{
    // No error reporting to exclude the server from here: said as where the exclusion is not tried.
    LOG_MESSAGE(LOG_APP, QStringLiteral("stavenor: WER disable failed"));

    connect(checkTimer, &QTimer::timeout, this, &stavenor::check);

    // The server's output joins pym's standard error; no pipe is left to fill up.
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setWorkingDirectory(QStringLiteral("./bin/"));
    // The program path is taken from pym's working directory, not from the child's.
    process->setProgram(QFileInfo(QStringLiteral("./bin/stavenor")).absoluteFilePath());
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
