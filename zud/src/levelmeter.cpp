#include "levelmeter.h"

#include <QDebug>
#include <QPainter>

namespace {
constexpr double floorDb = -80.0;
constexpr double ceilingDb = 10.3;
constexpr double rangeDb = 90.3;
constexpr int redrawMs = 200;
constexpr int holdMs = 2000;
constexpr int barLeft = 30;

double fraction(double db)
{
    return (db - floorDb) / rangeDb;
}

// A timer never started counts no time.
qint64 elapsedMs(const QElapsedTimer &timer)
{
    return timer.isValid() ? timer.elapsed() : 0;
}
}

LevelMeter::LevelMeter(QWidget *parent) : QWidget(parent), redrawTimer(this)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    setMinimumWidth(40);
    connect(&redrawTimer, &QTimer::timeout, this, &LevelMeter::redrawTimerExpired);
    redrawTimer.start(redrawMs);
}

void LevelMeter::reset()
{
    level = 0.0;
    peak = 0.0;
    update();
}

void LevelMeter::levelChanged(qreal rms, qreal peakDb)
{
    level = 0.6 * level + 0.4 * fraction(rms);
    const double p = fraction(peakDb);
    if (p > decayedPeak) {
        peak = p;
        decayedPeak = p;
        peakTime.start();
    }
    if (p > holdLevel) {
        holdLevel = p;
        holdTime.start();
    }
    update();
}

void LevelMeter::setVoxLevel(double db)
{
    if (db < floorDb || db > ceilingDb)
        return;
    qDebug().noquote() << QString::asprintf("vox level changed: %.2f[db]", db);
    voxLevel = fraction(db);
    update();
}

void LevelMeter::redrawTimerExpired()
{
    const double decay = double(elapsedMs(peakTime)) * decayRate;
    decayedPeak = peak > decay ? peak - decay : 0.0;
    if (elapsedMs(holdTime) > holdMs)
        holdLevel = 0.0;
    update();
}

void LevelMeter::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const int h = height();
    const int barWidth = width() - barLeft;
    // Rows from the top for a fraction of full scale, truncated as the scale's marks are.
    auto rowOf = [h](double value) { return int((1.0 - value) * h); };
    auto fillRows = [&](int first, int last, const QColor &colour) {
        if (last >= first)
            painter.fillRect(QRect(barLeft, first, barWidth, last - first + 1), colour);
    };

    fillRows(0, h - 1, Qt::black);
    const int hold = rowOf(holdLevel);
    fillRows(hold, hold + 2, holdColour);
    fillRows(rowOf(decayedPeak), h - 1, peakColour);
    fillRows(rowOf(level), h - 1, levelColour);
    const int vox = int((1.0 - voxLevel) * h - 1);
    fillRows(vox, vox + 1, voxColour);

    QFont font = painter.font();
    font.setPointSize(5);
    painter.setFont(font);
    for (int t = -70; t <= 10; t += 10) {
        const double y = (1.0 - fraction(t)) * h;
        painter.drawLine(25, int(y), 28, int(y));
        if (t % 20 == 0)
            painter.drawText(QPoint(0, int(y + 3)), QString::number(t) + " dB");
    }
}
