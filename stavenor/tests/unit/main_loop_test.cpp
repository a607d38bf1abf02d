#include "common/main_loop.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <thread>

// A handler thread waits for the main loop only so long; what it asked for then never runs, so it
// may refer to the handler's own locals.
TEST(RunOnMain, GivesUpAfterItsBoundAndNeverRunsLate)
{
    int ran = 0;
    std::optional<int> result = 7;
    std::thread handler([&] { result = run_on_main([&] { return ++ran; }, std::chrono::milliseconds(100)); });
    handler.join(); // the main loop is not running meanwhile
    EXPECT_FALSE(result.has_value());
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    EXPECT_EQ(ran, 0);

    std::thread answered([&] { result = run_on_main([&] { return ++ran; }, std::chrono::milliseconds(5000)); });
    while (ran == 0) {
        g_main_context_iteration(nullptr, FALSE);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    answered.join();
    EXPECT_EQ(result, 1);
}
