#pragma once

// How the console's tests wait. A second test suite on the same machine can hold a process back
// for seconds: a wait ends at the event it waits for, so its bound is generous and costs nothing
// when the event comes. A check of a timer's period allows for how late the test's own event loop
// ran meanwhile (LoopLag), since the console's timers run on that same loop.

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

// The bound of every wait for an event, in milliseconds.
constexpr int eventBound = 60000;

#undef QTRY_VERIFY
#undef QTRY_VERIFY2
#undef QTRY_COMPARE
#define QTRY_VERIFY(expr) QTRY_VERIFY_WITH_TIMEOUT(expr, eventBound)
#define QTRY_VERIFY2(expr, messageExpression) QTRY_VERIFY2_WITH_TIMEOUT(expr, messageExpression, eventBound)
#define QTRY_COMPARE(expr, expected) QTRY_COMPARE_WITH_TIMEOUT(expr, expected, eventBound)

// Milliseconds by which the event loop ran behind since construction: a probe timer's ticks, each
// counted for what it came later than due. A console timer that ran on the loop meanwhile is
// late by at most as much.
class LoopLag
{
public:
    LoopLag()
    {
        probe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probe, &QTimer::timeout, [this] {
            const qint64 now = clock.elapsed();
            lagMs += qMax<qint64>(0, now - last - stepMs);
            last = now;
        });
        clock.start();
        probe.start(stepMs);
    }

    qint64 ms() const { return lagMs + qMax<qint64>(0, clock.elapsed() - last - stepMs); }

private:
    static constexpr int stepMs = 50;
    QTimer probe;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 lagMs = 0;
};
