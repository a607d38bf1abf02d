#pragma once

#include <QProcess>
#include <QTemporaryDir>
#include <QVector>

#include <atomic>
#include <thread>

// Sound devices for a console under test, without sound hardware. Made once per test process,
// before the first OpenAL call (OpenAL Soft picks its backend then).
// - Pulse: a private PulseAudio daemon with a null sink (what the console plays, recorded from its
//   monitor) and a pipe source (the microphone, fed here in real time from a signal the test
//   chooses); OpenAL talks to it through ALSOFT_DRIVERS=pulse.
// - AlsaNull: ALSA's null device, no daemon; its capture hands out silence as fast as it is read.
class HeadlessAudio
{
public:
    enum class Backend { Pulse, AlsaNull };

    explicit HeadlessAudio(Backend backend);
    ~HeadlessAudio();
    HeadlessAudio(const HeadlessAudio &) = delete;
    HeadlessAudio &operator=(const HeadlessAudio &) = delete;

    // What the microphone hears from now on: a sine of that frequency and peak (in sample steps),
    // a constant for frequency 0, silence for peak 0. Pulse only.
    void setMicrophone(double frequency, double peak);

    // The null sink's monitor at 8000 Hz, 16-bit mono, between the two calls. Pulse only.
    void startRecording();
    QVector<qint16> stopRecording();

private:
    void feedMicrophone();
    QProcessEnvironment daemonEnvironment() const;

    Backend backend;
    QTemporaryDir dir;
    QProcess daemon;
    QProcess recorder;
    std::atomic<double> frequency{0.0};
    std::atomic<double> peak{0.0};
    std::atomic<bool> feeding{false};
    std::thread feeder;
};

// The strongest frequency of the samples (Hz) by counting rising zero crossings, and their peak.
double dominantFrequency(const QVector<qint16> &samples, int rate);
int peakOf(const QVector<qint16> &samples);
