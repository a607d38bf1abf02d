#include "headlessaudio.h"

#include <QtGlobal>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <numbers>
#include <unistd.h>

namespace {

constexpr int micRate = 48000;

} // namespace

HeadlessAudio::HeadlessAudio()
{
    const QByteArray path = qgetenv("ZUD_TEST_MICROPHONE");
    // The daemon reads the pipe only while someone records: what does not fit then is lost, as a
    // microphone's sound is, and the feeder never blocks.
    const int fd = path.isEmpty() ? -1 : ::open(path.constData(), O_WRONLY | O_NONBLOCK);
    if (fd < 0)
        qFatal("no microphone pipe: run the test under with-audio pulse");
    feeder = std::thread(&HeadlessAudio::feedMicrophone, this, fd);
}

HeadlessAudio::~HeadlessAudio()
{
    feeding = false;
    feeder.join();
    if (recorder.state() != QProcess::NotRunning) {
        recorder.kill();
        recorder.waitForFinished(2000);
    }
}

void HeadlessAudio::setMicrophone(double newFrequency, double newPeak)
{
    frequency = newFrequency;
    peak = newPeak;
}

// Writes the chosen signal at 48000 samples a second, in 10 ms steps, so the console's capture is
// paced like a real microphone.
void HeadlessAudio::feedMicrophone(int fd)
{
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
            for (qsizetype at = 0, size = chunk.size() * 2; at < size; at += PIPE_BUF)
                if (::write(fd, bytes + at, size_t(std::min<qsizetype>(PIPE_BUF, size - at))) < 0 && errno != EAGAIN)
                    qFatal("microphone pipe: %s", std::strerror(errno));
            written += due;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::close(fd);
}

void HeadlessAudio::startRecording()
{
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
    std::memcpy(samples.data(), bytes.constData(), size_t(samples.size()) * 2);
    return samples;
}

double dominantFrequency(const QVector<qint16> &samples, int rate)
{
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
