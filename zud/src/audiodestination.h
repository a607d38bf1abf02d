#pragma once

#include <QByteArray>
#include <QObject>

// Collects the engine's µ-law audio from start to stop.
class AudioDestination : public QObject
{
    Q_OBJECT

public:
    explicit AudioDestination(QObject *parent = nullptr);
    ~AudioDestination() override;

    int start();
    int stop();
    bool isPlaying() const { return started; }

public slots:
    void onAudio(unsigned char *bytes, int count);

protected:
    QByteArray buffer;

private:
    bool started = false;
};
