#pragma once

#include <QColor>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

// The microphone level as a vertical bar: a smoothed level, a decaying peak, a peak-hold mark,
// the VOX threshold line and a dB scale. Levels are fractions of full scale: -80 dB is 0.0 and
// +10.3 dB is 1.0.
class LevelMeter : public QWidget
{
    Q_OBJECT
public:
    explicit LevelMeter(QWidget *parent = nullptr);

public slots:
    void reset();
    void levelChanged(qreal rms, qreal peakDb);
    void setVoxLevel(double db);
    void redrawTimerExpired();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double level = 0.2;
    double peak = 0.2;
    double decayedPeak = 0.0;
    QElapsedTimer peakTime;
    double decayRate = 0.0007;
    double holdLevel = 0.0;
    QElapsedTimer holdTime;
    QTimer redrawTimer;
    QColor levelColour = Qt::red;
    QColor holdColour = Qt::green;
    QColor peakColour = QColor(255, 200, 200, 255);
    QColor voxColour = Qt::blue;
    // The line starts at the bottom, the threshold's default, until the dialog sets the stored one.
    double voxLevel = 0.0;
};
