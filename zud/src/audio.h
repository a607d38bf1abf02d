#pragma once

#include <AL/al.h>
#include <AL/alc.h>
#include <samplerate.h>

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <vector>

// The console's one audio engine: the playback device and context through which every unit's
// audio plays, and the microphone, which while some destination listens is read every 17 ms,
// brought from 48000 to 8000 Hz, measured (level, VOX), coded to µ-law and handed out.
class Audio : public QObject
{
    Q_OBJECT

public:
    explicit Audio(QObject *parent = nullptr);
    ~Audio() override;

    // The engine that main made; sources and destinations reach it through here.
    static Audio *instance();

    int openPlaybackDevice(const QString &name);
    int openCaptureDevice(const QString &name);
    int closePlaybackDevice();
    int closeCaptureDevice();
    QString playbackDeviceName() const { return playbackName; }
    QString captureDeviceName() const { return captureName; }
    // The system's device names in enumeration order; none without the enumeration extension.
    static QStringList playbackDevices();
    static QStringList captureDevices();

    int mute();
    int unmute();

    void addSource();
    void removeSource();
    void addDestination();
    void removeDestination();

    int startCapture();
    int stopCapture();

signals:
    // The bytes live only during the emission: receivers copy them.
    void uLawAudioReady(unsigned char *bytes, int count);
    void rmsPowerChange(double rms, double peak);
    void voxChange(bool on);

private slots:
    void checkMicrophone();

private:
    void encodeAndEmit(const short *samples, int count);
    void measureLevel(const float *samples, int count);

    static constexpr int micInterval = 17;
    static constexpr int captureRate = 48000;
    static constexpr int lineRate = 8000;
    static constexpr int captureRing = 8192;
    // One tick reads at most this much: a stalled timer must not overrun the buffers.
    static constexpr int bufferSamples = 16384;
    static constexpr ALenum format = AL_FORMAT_MONO16;

    bool playbackOpen = false;
    bool captureOpen = false;
    QString playbackName;
    QString captureName;
    QTimer micTimer;
    int sourceCount = 0;
    int destinationCount = 0;
    bool captureRunning = false;
    bool muted = false;

    ALCdevice *playbackDevice = nullptr;
    ALCcontext *context = nullptr;
    ALCdevice *captureDevice = nullptr;

    SRC_STATE *resampler = nullptr;
    std::vector<float> resamplerInput;
    std::vector<float> resamplerOutput;
    std::vector<short> samples;
    std::vector<unsigned char> coded;

    double levelSum = 0.0;
    double levelMax = -80.0;
    int levelReads = 0;
    bool voxOn = false;
    int voxSilentSamples = 0;
};

// The names of an OpenAL device list: names ended by a NUL, the list by a second NUL, each byte
// one Latin-1 character. A list that begins with two NULs holds one empty name; null holds none.
QStringList deviceNameList(const char *list);
