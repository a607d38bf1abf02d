#include "headlessaudio.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <QtGlobal>

#include <chrono>
#include <cerrno>
#include <cmath>
#include <climits>
#include <fcntl.h>
#include <numbers>
#include <unistd.h>

namespace {

constexpr int micRate = 48000;

void writeFile(const QString &path, const QByteArray &text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        qFatal("cannot write %s", qPrintable(path));
}

} // namespace

HeadlessAudio::HeadlessAudio(Backend backend) : backend(backend)
{
    if (!dir.isValid())
        qFatal("no temporary directory for the audio devices");
    if (backend == Backend::AlsaNull) {
        // alsa.conf reads ~/.asoundrc: a private home makes the null device the default.
        writeFile(dir.filePath(".asoundrc"), "pcm.!default { type null }\nctl.!default { type hw card 0 }\n");
        qputenv("HOME", dir.path().toLocal8Bit());
        qputenv("ALSOFT_DRIVERS", "alsa");
        return;
    }

    const QString socket = dir.filePath("native");
    writeFile(dir.filePath("daemon.pa"),
              QString("load-module module-native-protocol-unix auth-anonymous=1 socket=%1\n"
                      "load-module module-null-sink sink_name=speaker rate=48000 channels=1\n"
                      "load-module module-pipe-source source_name=microphone file=%2 format=s16le rate=48000 channels=1\n"
                      "set-default-sink speaker\n"
                      "set-default-source microphone\n")
                  .arg(socket, dir.filePath("microphone"))
                  .toLocal8Bit());
    writeFile(dir.filePath("client.conf"), "autospawn = no\n");
    daemon.setProcessEnvironment(daemonEnvironment());
    daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    daemon.start("pulseaudio", {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                                "--disallow-exit", "--log-target=stderr", "--log-level=error", "-F",
                                dir.filePath("daemon.pa")});
    if (!daemon.waitForStarted(5000))
        qFatal("pulseaudio did not start");

    qputenv("PULSE_SERVER", ("unix:" + socket).toLocal8Bit());
    qputenv("PULSE_CLIENTCONFIG", dir.filePath("client.conf").toLocal8Bit());
    qputenv("ALSOFT_DRIVERS", "pulse");

    // Ready once it answers and the microphone's pipe is there.
    const QDeadlineTimer deadline(10000);
    for (;;) {
        if (QFile::exists(dir.filePath("microphone"))) {
            QProcess probe;
            probe.start("pactl", {"info"});
            if (probe.waitForFinished(2000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0)
                break;
        }
        if (deadline.hasExpired() || daemon.state() != QProcess::Running)
            qFatal("pulseaudio did not come up");
        QThread::msleep(50);
    }
    feeding = true;
    feeder = std::thread(&HeadlessAudio::feedMicrophone, this);
}

HeadlessAudio::~HeadlessAudio()
{
    if (feeder.joinable()) {
        feeding = false;
        feeder.join();
    }
    if (recorder.state() != QProcess::NotRunning) {
        recorder.kill();
        recorder.waitForFinished(2000);
    }
    if (daemon.state() != QProcess::NotRunning) {
        daemon.terminate();
        if (!daemon.waitForFinished(3000)) {
            daemon.kill();
            daemon.waitForFinished(2000);
        }
    }
}

QProcessEnvironment HeadlessAudio::daemonEnvironment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", dir.path());
    environment.insert("XDG_RUNTIME_DIR", dir.path());
    environment.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    environment.remove("PULSE_SERVER");
    environment.remove("DBUS_SESSION_BUS_ADDRESS");
    return environment;
}

void HeadlessAudio::setMicrophone(double newFrequency, double newPeak)
{
    frequency = newFrequency;
    peak = newPeak;
}

// Writes the chosen signal into the pipe source at 48000 samples a second, in 10 ms steps, so the
// console's capture is paced like a real microphone. While nobody records, the daemon stops reading
// the pipe: what does not fit is lost, as a microphone's sound is.
void HeadlessAudio::feedMicrophone()
{
    const int fd = ::open(QFile::encodeName(dir.filePath("microphone")).constData(), O_WRONLY | O_NONBLOCK);
    if (fd < 0)
        qFatal("cannot open the microphone pipe");
    const auto begin = std::chrono::steady_clock::now();
    qint64 written = 0;
    double phase = 0.0;
    QVector<qint16> chunk;
    while (feeding) {
        const auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        const qint64 due = qint64(elapsed * micRate) - written;
        if (due > 0) {
            const double f = frequency, p = peak;
            chunk.resize(due);
            for (qint64 i = 0; i < due; ++i) {
                chunk[i] = qint16(std::lround(f > 0 ? p * std::sin(phase) : p));
                phase = std::fmod(phase + 2 * std::numbers::pi * f / micRate, 2 * std::numbers::pi);
            }
            // Pieces of PIPE_BUF are written whole or not at all: samples never split.
            const char *bytes = reinterpret_cast<const char *>(chunk.constData());
            bool failed = false;
            for (qsizetype at = 0, size = chunk.size() * 2; at < size && !failed; at += PIPE_BUF)
                failed = ::write(fd, bytes + at, size_t(std::min<qsizetype>(PIPE_BUF, size - at))) < 0 && errno != EAGAIN;
            if (failed)
                break;
            written += due;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::close(fd);
}

void HeadlessAudio::startRecording()
{
    recorder.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    recorder.start("parec", {"--device=speaker.monitor", "--raw", "--format=s16le", "--rate=8000",
                             "--channels=1", "--latency-msec=20"});
    if (!recorder.waitForStarted(5000))
        qFatal("parec did not start");
}

QVector<qint16> HeadlessAudio::stopRecording()
{
    recorder.terminate();
    recorder.waitForFinished(3000);
    const QByteArray bytes = recorder.readAllStandardOutput();
    QVector<qint16> samples(bytes.size() / 2);
    memcpy(samples.data(), bytes.constData(), size_t(samples.size()) * 2);
    return samples;
}

double dominantFrequency(const QVector<qint16> &samples, int rate)
{
    // Crossings of a level a little above zero, so that quiet noise does not count.
    const int level = peakOf(samples) / 4;
    int first = -1, last = -1, crossings = 0;
    bool below = true;
    for (int i = 0; i < samples.size(); ++i) {
        if (below && samples[i] > level) {
            if (first < 0)
                first = i;
            else
                ++crossings;
            last = i;
            below = false;
        } else if (samples[i] < -level) {
            below = true;
        }
    }
    return crossings > 0 ? double(crossings) * rate / (last - first) : 0.0;
}

int peakOf(const QVector<qint16> &samples)
{
    int peak = 0;
    for (qint16 s : samples)
        peak = std::max(peak, std::abs(int(s)));
    return peak;
}
