// A unit console for unit tests: the test holds the master side of a pseudo-terminal and plays the
// unit; the server's side opens the slave by its path as it would a real port.
#pragma once

#include <glibmm/init.h>
#include <glibmm/main.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

// Runs the default main context until `done` holds or `ms` pass; returns `done()`.
inline bool spinUntil(const std::function<bool()>& done, int ms = 3000)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    auto context = Glib::MainContext::get_default();
    while (!done() && std::chrono::steady_clock::now() < deadline) context->iteration(false), usleep(200);
    return done();
}

class UnitPty {
public:
    UnitPty()
    {
        Glib::init();
        master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        grantpt(master);
        unlockpt(master);
        path = ptsname(master);
    }
    ~UnitPty() { hangUp(); }
    UnitPty(const UnitPty&) = delete;
    UnitPty& operator=(const UnitPty&) = delete;

    void print(const std::string& text) { EXPECT_EQ(write(master, text.data(), text.size()), ssize_t(text.size())); }
    // What the server typed since the last call.
    std::string typed()
    {
        char buffer[4096];
        ssize_t n;
        while ((n = read(master, buffer, sizeof buffer)) > 0) input.append(buffer, size_t(n));
        std::string all;
        all.swap(input);
        return all;
    }
    // Spins until the server has typed `text` (kept for later lines); false after `ms`.
    bool awaitTyped(const std::string& text, int ms = 3000)
    {
        bool found = false;
        spinUntil([&] {
            if (found) return true;
            char buffer[4096];
            ssize_t n;
            while ((n = read(master, buffer, sizeof buffer)) > 0) input.append(buffer, size_t(n));
            const size_t at = input.find(text);
            if (at == std::string::npos) return false;
            input.erase(0, at + text.size());
            return found = true;
        }, ms);
        return found;
    }
    void hangUp()
    {
        if (master >= 0) close(master);
        master = -1;
    }

    int master = -1;
    std::string path;
    std::string input;
};
