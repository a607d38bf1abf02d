// Running the server's main loop in unit tests, for as long as an event takes.
#pragma once

#include <glibmm/main.h>

#include <chrono>
#include <functional>
#include <unistd.h>

// Runs the default main context until `done` holds or `ms` pass; returns `done()`. Each round runs
// everything due by then, so what fell due while a busy machine held this process back is handled
// before the verdict. The bound is generous: a wait ends at its event.
inline bool spinUntil(const std::function<bool()>& done, int ms = 60000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    auto context = Glib::MainContext::get_default();
    for (;;) {
        while (context->iteration(false)) {
        }
        if (done() || std::chrono::steady_clock::now() >= deadline) return done();
        usleep(200);
    }
}

// Runs the default main context until a timer of `ms` set now has fired: every timer due before it
// has run by then, however late the process is scheduled.
inline void spinPast(int ms)
{
    bool fired = false;
    Glib::signal_timeout().connect([&fired] {
        fired = true;
        return false;
    }, ms);
    spinUntil([&fired] { return fired; });
}
