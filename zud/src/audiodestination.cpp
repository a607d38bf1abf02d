#include "audiodestination.h"

#include "audio.h"

#include <QDebug>

AudioDestination::AudioDestination(QObject *parent) : QObject(parent) {}

AudioDestination::~AudioDestination()
{
    stop();
}

int AudioDestination::start()
{
    if (started)
        return -3;
    Audio *engine = Audio::instance();
    if (!engine) {
        qDebug() << "ERROR: no audio engine";
        return -1;
    }
    qDebug() << "audio destination play!";
    // Direct: the engine's bytes live only during its emission.
    connect(engine, &Audio::uLawAudioReady, this, &AudioDestination::onAudio, Qt::DirectConnection);
    engine->addDestination();
    started = true;
    return 0;
}

int AudioDestination::stop()
{
    if (!started)
        return -3;
    if (Audio *engine = Audio::instance()) {
        disconnect(engine, nullptr, this, nullptr);
        engine->removeDestination();
    }
    // Audio of a closed link is not sent after the next start.
    buffer.clear();
    started = false;
    return 0;
}

void AudioDestination::onAudio(unsigned char *bytes, int count)
{
    buffer.append(reinterpret_cast<const char *>(bytes), count);
}
