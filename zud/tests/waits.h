#pragma once

// How the console's tests wait. A second test suite on the same machine can hold a process back
// for seconds: a wait ends at the event it waits for, so its bound is generous and costs nothing
// when the event comes. A check of a timer's period allows for how late the test's own event loop
// ran meanwhile (LoopLag), since the console's timers run on that same loop.

#include <QDeadlineTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <ctime>
#include <limits>

// The bound of every wait for an event, in milliseconds.
constexpr int eventBound = 60000;

#undef QTRY_VERIFY
#undef QTRY_VERIFY2
#undef QTRY_COMPARE
#define QTRY_VERIFY(expr) QTRY_VERIFY_WITH_TIMEOUT(expr, eventBound)
#define QTRY_VERIFY2(expr, messageExpression) QTRY_VERIFY2_WITH_TIMEOUT(expr, messageExpression, eventBound)
#define QTRY_COMPARE(expr, expected) QTRY_COMPARE_WITH_TIMEOUT(expr, expected, eventBound)

// Milliseconds of processor time that the calling thread has used.
inline qint64 threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Milliseconds on the monotonic clock, the one that "%{time boot}" stamps on a console's log lines.
inline qint64 monotonicMs()
{
    return QDeadlineTimer::current().deadline();
}

// Milliseconds by which the machine held the event loop back since construction (or since a
// moment on the monotonic clock): a probe timer's ticks, each counted for what it came later than
// due, less the processor time this thread spent meanwhile (the console's own work, which a test
// may well mean to catch). A console timer that ran on the loop meanwhile is late by at most as much.
class LoopLag
{
public:
    LoopLag()
    {
        probe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probe, &QTimer::timeout, [this] {
            const qint64 now = monotonicMs();
            ticks.append({now, late(now)});
            last = now;
            lastCpu = threadCpuMs();
        });
        probe.start(stepMs);
    }

    // Of it, what fell between `since` and `until` (moments on the monotonic clock).
    qint64 ms(qint64 since = 0, qint64 until = std::numeric_limits<qint64>::max()) const
    {
        const qint64 now = monotonicMs();
        qint64 sum = overlap(now, late(now), since, until);
        for (const auto &[at, lateMs] : ticks)
            sum += overlap(at, lateMs, since, until);
        return sum;
    }

private:
    // The lateness `lateMs` that ended at `at`, within [since, until].
    static qint64 overlap(qint64 at, qint64 lateMs, qint64 since, qint64 until)
    {
        return qMax<qint64>(0, qMin(at, until) - qMax(at - lateMs, since));
    }

    qint64 late(qint64 now) const { return qMax<qint64>(0, now - last - stepMs - (threadCpuMs() - lastCpu)); }

    static constexpr int stepMs = 50;
    QTimer probe;
    qint64 last = monotonicMs();
    qint64 lastCpu = threadCpuMs();
    QList<QPair<qint64, qint64>> ticks; // when, and how late
};
