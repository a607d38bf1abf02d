// A unit console for unit tests: the test holds the master side of a pseudo-terminal and plays the
// unit; the server's side opens the slave by its path as it would a real port.
#pragma once

#include "main_loop_support.h"

#include <glibmm/init.h>
#include <glibmm/main.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

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
    bool awaitTyped(const std::string& text)
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
        });
        return found;
    }
    // Spins until the server's side has read what was just printed from the line; false after `ms`.
    bool awaitRead(int ms = 60000)
    {
        // A second opening of the line, only to see the text arrive and to ask how much waits
        // unread. The server reads only while the main context runs, so the text is first seen
        // arriving without running it, then read away while it runs.
        const int probe = open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (probe < 0) return false;
        pollfd arrival{probe, POLLIN, 0};
        const bool read = poll(&arrival, 1, ms) == 1 && spinUntil([probe] {
            int waiting = 0;
            return ioctl(probe, FIONREAD, &waiting) == 0 && waiting == 0;
        }, ms);
        close(probe);
        return read;
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
