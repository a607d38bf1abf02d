#include "audio.h"

#include "confignode.h"
#include "g711.h"

#include <QDebug>
#include <QMessageBox>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

Audio *engine = nullptr;

// The level of one sample step (1 / 32768) is -80 dB; silence is floored there, so that the mean
// of a report never turns -inf.
constexpr double levelReference = 0.30517578;
constexpr double levelFloor = -80.0;

// The VOX settings of zud.conf, read on every tick so that the settings dialog's changes act at
// once: the threshold in dB and the hold in units of 16 samples at 8000 Hz.
struct VoxSettings
{
    double threshold = -80.0;
    int hold = 100;
};

VoxSettings voxSettings()
{
    VoxSettings settings;
    if (const ConfigNode *level = gConfig.get({"system", "audio", "vox level"}))
        settings.threshold = level->value.toDouble();
    if (const ConfigNode *hold = gConfig.get({"system", "audio", "vox timeout"}))
        settings.hold = hold->value.toInt();
    return settings;
}

QString deviceSpecifier(ALCenum which)
{
    if (!alcIsExtensionPresent(nullptr, "ALC_ENUMERATION_EXT"))
        return QString();
    return QString::fromUtf8(alcGetString(nullptr, which));
}

// The device list of `which`, or null without the enumeration extension.
const char *deviceList(ALCenum which)
{
    return alcIsExtensionPresent(nullptr, "ALC_ENUMERATION_EXT") ? alcGetString(nullptr, which) : nullptr;
}

} // namespace

QStringList deviceNameList(const char *list)
{
    QStringList names;
    if (!list)
        return names;
    QString name;
    for (const char *byte = list;; ++byte) {
        if (*byte != '\0') {
            name += QChar::fromLatin1(*byte);
            continue;
        }
        names.append(name);
        if (byte[1] == '\0')
            return names;
        name.clear();
    }
}

QStringList Audio::playbackDevices()
{
    return deviceNameList(deviceList(ALC_DEVICE_SPECIFIER));
}

QStringList Audio::captureDevices()
{
    return deviceNameList(deviceList(ALC_CAPTURE_DEVICE_SPECIFIER));
}

Audio::Audio(QObject *parent) : QObject(parent)
{
    engine = this;
    connect(&micTimer, &QTimer::timeout, this, &Audio::checkMicrophone);
}

Audio::~Audio()
{
    closeCaptureDevice();
    closePlaybackDevice();
    if (engine == this)
        engine = nullptr;
}

Audio *Audio::instance()
{
    return engine;
}

int Audio::openPlaybackDevice(const QString &name)
{
    if (playbackOpen)
        return -3;
    if (!name.isEmpty())
        playbackDevice = alcOpenDevice(name.toUtf8().constData());
    if (!playbackDevice)
        playbackDevice = alcOpenDevice(nullptr);
    if (!playbackDevice) {
        QMessageBox::critical(nullptr, tr("Audio Error"), "No playback device");
        std::exit(-1);
    }
    context = alcCreateContext(playbackDevice, nullptr);
    if (!context) {
        const ALCenum error = alcGetError(playbackDevice);
        alcCloseDevice(playbackDevice);
        playbackDevice = nullptr;
        const QString text = error == ALC_INVALID_DEVICE ? QString("invalid device")
                             : error == ALC_INVALID_VALUE ? QString("invalid value")
                                                          : QString("code %1").arg(error);
        qDebug() << "ERROR: no playback context:" << text;
        QMessageBox::warning(nullptr, tr("OpenAL Context Error"), text);
        return -100;
    }
    alcMakeContextCurrent(context);
    const ALfloat orientation[] = {0.0f, 0.0f, -1.0f, 0.0f, 1.0f, 0.0f};
    alListener3f(AL_POSITION, 0.0f, 0.0f, 0.0f);
    alListener3f(AL_VELOCITY, 0.0f, 0.0f, 0.0f);
    alListenerfv(AL_ORIENTATION, orientation);
    playbackOpen = true;
    playbackName = !name.isEmpty() ? name : deviceSpecifier(ALC_DEFAULT_DEVICE_SPECIFIER);
    qDebug() << "open playback device" << playbackName;
    return 0;
}

int Audio::openCaptureDevice(const QString &name)
{
    if (captureOpen)
        return -3;
    if (!name.isEmpty())
        captureDevice = alcCaptureOpenDevice(name.toUtf8().constData(), captureRate, format, captureRing);
    if (!captureDevice)
        captureDevice = alcCaptureOpenDevice(nullptr, captureRate, format, captureRing);
    if (!captureDevice) {
        QMessageBox::critical(nullptr, tr("Audio Error"), "No capture device");
        std::exit(-2);
    }
    const ALCenum error = alcGetError(captureDevice);
    if (error != ALC_NO_ERROR) {
        const QString text = error == ALC_INVALID_VALUE   ? QString("invalide value")
                             : error == ALC_OUT_OF_MEMORY ? QString("out of memory")
                                                          : QString("code %1").arg(error);
        alcCaptureCloseDevice(captureDevice);
        captureDevice = nullptr;
        qDebug() << "ERROR: capture device:" << text;
        QMessageBox::warning(nullptr, tr("OpenAL Capture Device Error"), text);
        return -1;
    }
    int srcError = 0;
    resampler = src_new(SRC_ZERO_ORDER_HOLD, 1, &srcError);
    if (!resampler) {
        alcCaptureCloseDevice(captureDevice);
        captureDevice = nullptr;
        qDebug() << "ERROR: resampler:" << src_strerror(srcError);
        QMessageBox::warning(nullptr, tr("OpenAL Capture Device Error"), "resampler initialization failed");
        return -2;
    }
    resamplerInput.assign(bufferSamples, 0.0f);
    resamplerOutput.assign(bufferSamples, 0.0f);
    samples.assign(bufferSamples, 0);
    coded.assign(bufferSamples, 0);
    captureOpen = true;
    captureName = !name.isEmpty() ? name : deviceSpecifier(ALC_CAPTURE_DEFAULT_DEVICE_SPECIFIER);
    qDebug() << "open capture device" << captureName;
    return 0;
}

int Audio::closePlaybackDevice()
{
    if (!playbackOpen)
        return -110;
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(context);
    alcCloseDevice(playbackDevice);
    context = nullptr;
    playbackDevice = nullptr;
    playbackOpen = false;
    return 0;
}

int Audio::closeCaptureDevice()
{
    if (!captureOpen)
        return -110;
    micTimer.stop();
    alcCaptureStop(captureDevice);
    alcCaptureCloseDevice(captureDevice);
    captureDevice = nullptr;
    captureRunning = false;
    src_delete(resampler);
    resampler = nullptr;
    resamplerInput = {};
    resamplerOutput = {};
    samples = {};
    coded = {};
    captureOpen = false;
    return 0;
}

int Audio::mute()
{
    if (muted)
        return -3;
    muted = true;
    return 0;
}

int Audio::unmute()
{
    if (!muted)
        return -3;
    muted = false;
    return 0;
}

void Audio::addSource()
{
    ++sourceCount;
    qDebug() << "adding new audio source, current value:" << sourceCount;
}

void Audio::removeSource()
{
    sourceCount = std::max(0, sourceCount - 1);
    qDebug() << "removing audio source, current value:" << sourceCount;
}

void Audio::addDestination()
{
    ++destinationCount;
    qDebug() << "adding new audio destination, current value:" << destinationCount;
    if (!captureRunning)
        startCapture();
}

void Audio::removeDestination()
{
    destinationCount = std::max(0, destinationCount - 1);
    qDebug() << "removing audio destination, current value:" << destinationCount;
    if (destinationCount == 0 && captureRunning)
        stopCapture();
}

int Audio::startCapture()
{
    if (captureRunning)
        return -3;
    if (!captureOpen)
        return -110;
    alcCaptureStart(captureDevice);
    micTimer.start(micInterval);
    captureRunning = true;
    return 0;
}

int Audio::stopCapture()
{
    if (!captureRunning)
        return -3;
    alcCaptureStop(captureDevice);
    micTimer.stop();
    captureRunning = false;
    return 0;
}

void Audio::checkMicrophone()
{
    if (!captureOpen)
        return;
    ALCint available = 0;
    alcGetIntegerv(captureDevice, ALC_CAPTURE_SAMPLES, 1, &available);
    if (available <= 0)
        return;
    // What does not fit the buffers stays in the device for the next tick.
    const int n = std::min<int>(available, bufferSamples);
    alcCaptureSamples(captureDevice, samples.data(), n);
    src_short_to_float_array(samples.data(), resamplerInput.data(), n);

    SRC_DATA data{};
    data.data_in = resamplerInput.data();
    data.data_out = resamplerOutput.data();
    data.input_frames = n;
    data.output_frames = bufferSamples;
    data.src_ratio = double(lineRate) / captureRate;
    data.end_of_input = 0;
    if (const int error = src_process(resampler, &data)) {
        qDebug() << "ERROR: resampling:" << src_strerror(error);
        return;
    }
    const int m = int(data.output_frames_gen);
    src_float_to_short_array(resamplerOutput.data(), samples.data(), m);

    if (captureRunning)
        encodeAndEmit(samples.data(), m);
    measureLevel(resamplerOutput.data(), m);
}

void Audio::encodeAndEmit(const short *pcm, int count)
{
    for (int i = 0; i < count; ++i)
        coded[i] = linearToUlaw(muted ? 0 : pcm[i]);
    emit uLawAudioReady(coded.data(), count);
}

void Audio::measureLevel(const float *pcm, int count)
{
    float peak = 0.0f;
    for (int i = 0; i < count; ++i)
        peak = std::max(peak, std::fabs(pcm[i]));
    // Silence would give -inf: the floor keeps the mean finite.
    const double level = std::max(levelFloor, 20.0 * std::log10(peak / levelReference));

    levelSum += level;
    levelMax = std::max(levelMax, level);
    if (++levelReads == 6) {
        emit rmsPowerChange(levelSum / 6, levelMax);
        levelSum = 0.0;
        levelMax = levelFloor;
        levelReads = 0;
    }

    const VoxSettings vox = voxSettings();
    if (level > vox.threshold) {
        voxSilentSamples = 0;
        if (!voxOn) {
            voxOn = true;
            emit voxChange(true);
            qDebug() << "audio: autovox is on";
        }
        return;
    }
    voxSilentSamples += count;
    if (voxOn && voxSilentSamples / 16 >= vox.hold) {
        voxOn = false;
        emit voxChange(false);
        qDebug() << "audio: autovox is off - after " << voxSilentSamples << " samples";
        voxSilentSamples = 0;
    }
}
