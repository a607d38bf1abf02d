#include "audiosource.h"

#include "g711.h"

#include <QDebug>

AudioSource::AudioSource(int rate, ALenum format, QObject *parent)
    : QObject(parent), format(format), rate(rate)
{
    alGenSources(1, &source);
    alGenBuffers(bufferCount, buffers.data());
    alSource3f(source, AL_POSITION, 0.0f, 0.0f, 0.0f);
    alSource3f(source, AL_VELOCITY, 0.0f, 0.0f, 0.0f);
    alSource3f(source, AL_DIRECTION, 0.0f, 0.0f, 0.0f);
    alSourcef(source, AL_ROLLOFF_FACTOR, 0.0f);
    alSourcei(source, AL_SOURCE_RELATIVE, AL_TRUE);
    if (const ALenum error = alGetError(); error != AL_NO_ERROR)
        qDebug() << "ERROR: audio source not made, OpenAL error" << Qt::hex << error;
}

AudioSource::~AudioSource()
{
    ALint state = AL_STOPPED;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    if (state != AL_STOPPED)
        alSourceStop(source);
    alDeleteSources(1, &source);
    alDeleteBuffers(bufferCount, buffers.data());
}

int AudioSource::setGain(float dB)
{
    if (dB < minGainDb || dB > maxGainDb)
        return -5;
    gain = int(dB);
    return 0;
}

int AudioSource::store(const char *datagram, int length)
{
    if (length < rtpHeaderSize || length - rtpHeaderSize > maxPayload)
        return -5;
    if (datagram[1] != 0)
        return -1231;
    const int count = length - rtpHeaderSize;
    if (count == 0)
        return 0;

    std::array<ALshort, maxPayload> samples{};
    const auto *payload = reinterpret_cast<const unsigned char *>(datagram + rtpHeaderSize);
    for (int i = 0; i < count; ++i)
        samples[i] = applyGain(ulawToLinear(payload[i]), gain);
    const ALsizei bytes = ALsizei(count * sizeof(ALshort));

    alGetError();
    if (!streaming) {
        alBufferData(buffers[bufferIndex], format, samples.data(), bytes, rate);
        if (const ALenum error = alGetError(); error != AL_NO_ERROR) {
            qDebug() << "Audio Error: start audio stream problem (2): " << error;
            return 0;
        }
        if (bufferIndex == bufferCount - 1) {
            alSourceQueueBuffers(source, bufferCount, buffers.data());
            alSourcePlay(source);
            if (alGetError() != AL_NO_ERROR)
                qDebug() << "Audio Error : starting stream error";
            streaming = true;
        }
        ++bufferIndex;
        return 0;
    }

    recycleBuffer(samples.data(), bytes);
    ALint state = AL_STOPPED;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    if (state != AL_PLAYING) {
        // The queue ran dry: what was just queued plays from here.
        qDebug() << "Audio: play pushed";
        alSourcePlay(source);
    }
    return 0;
}

// Loads the samples into one buffer the source has played and queues it again; with none played
// yet the samples are dropped, so the queue never grows.
void AudioSource::recycleBuffer(const ALshort *samples, ALsizei bytes)
{
    ALint processed = 0;
    alGetSourcei(source, AL_BUFFERS_PROCESSED, &processed);
    if (processed <= 0)
        return;
    ALuint buffer = 0;
    alSourceUnqueueBuffers(source, 1, &buffer);
    alBufferData(buffer, format, samples, bytes, rate);
    alSourceQueueBuffers(source, 1, &buffer);
    switch (alGetError()) {
    case AL_NO_ERROR:
        break;
    case AL_INVALID_VALUE:
        qDebug() << "Audio Error: store - invalid value";
        break;
    case AL_OUT_OF_MEMORY:
        qDebug() << "Audio Error: store - out of memory";
        break;
    case AL_INVALID_ENUM:
        qDebug() << "Audio Error: store - invalid enum";
        break;
    default:
        qDebug() << "Audio Error: store - OpenAL error";
        break;
    }
}
