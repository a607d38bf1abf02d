#pragma once

#include <QProcess>
#include <QVector>

#include <atomic>
#include <thread>

// The test's ends of the devices that with-audio gives a test (run it with AUDIO pulse): the
// microphone, fed in real time from a signal the test chooses, and the speaker, recorded.
class HeadlessAudio
{
public:
    HeadlessAudio();
    ~HeadlessAudio();
    HeadlessAudio(const HeadlessAudio &) = delete;
    HeadlessAudio &operator=(const HeadlessAudio &) = delete;

    // What the microphone hears from now on: a sine of that frequency and peak (in sample steps),
    // a constant for frequency 0, silence for peak 0.
    void setMicrophone(double frequency, double peak);

    // The speaker's monitor at 8000 Hz, 16-bit mono, between the two calls.
    void startRecording();
    QVector<qint16> stopRecording();

private:
    void feedMicrophone(int fd);

    QProcess recorder;
    std::atomic<double> frequency{0.0};
    std::atomic<double> peak{0.0};
    std::atomic<bool> feeding{true};
    std::thread feeder;
};

// The frequency of the samples (Hz) by counting rising crossings of a quarter of their peak.
double dominantFrequency(const QVector<qint16> &samples, int rate);
int peakOf(const QVector<qint16> &samples);
