#pragma once

#include <AL/al.h>

#include <QObject>

#include <array>

// One OpenAL source fed from a ring of buffers: the first twelve datagrams fill the ring and start
// playing (240 ms of audio), after that each datagram recycles one played buffer.
class AudioSource : public QObject
{
    Q_OBJECT

public:
    static constexpr int rtpHeaderSize = 12;
    static constexpr int maxPayload = 4096;

    AudioSource(int rate, ALenum format, QObject *parent = nullptr);
    ~AudioSource() override;

    // 0, or -5 outside -9..9 dB (the gain stays); the gain is dB truncated toward zero.
    int setGain(float dB);
    // Plays one RTP datagram of µ-law: 0; -1231 for the marker or another payload type; -5 when
    // shorter than its header or carrying more than maxPayload bytes.
    int store(const char *datagram, int length);

private:
    friend class TestRtpAudio;
    static constexpr int bufferCount = 12;

    void recycleBuffer(const ALshort *samples, ALsizei bytes);

    int bufferIndex = 0;
    int gain = 0;
    bool streaming = false;
    ALenum format;
    int rate;
    ALuint source = 0;
    std::array<ALuint, bufferCount> buffers{};
};
