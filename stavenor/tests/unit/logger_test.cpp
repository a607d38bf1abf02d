#include "common/logger.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace {

std::string logged(uint32_t mask, const char* file, uint32_t level, const std::string& message)
{
    init_logger(0, mask);
    ::testing::internal::CaptureStderr();
    log_message(file, 227, level, "%s", message.c_str());
    std::string out = ::testing::internal::GetCapturedStderr();
    init_logger(0, 0);
    return out;
}

} // namespace

TEST(Logger, RecordLayout)
{
    std::string out = logged(LOG_INFO, "include/daemon.cpp", LOG_INFO, "hello");
    EXPECT_TRUE(std::regex_match(out, std::regex(R"(\[\d+-\d+-\d+ \d+:\d+:\d+\] LOG \(0x0004\) - )"
                                                 R"(          daemon.cpp:227 - hello\n)")))
        << out;
    // Without a file the message stands alone; a newline of its own is not doubled.
    out = logged(LOG_INFO, nullptr, LOG_INFO, "done\n");
    EXPECT_TRUE(std::regex_search(out, std::regex(R"(LOG \(0x0004\) - done\n$)"))) << out;
    out = logged(LOG_INFO, nullptr, LOG_INFO, "");
    EXPECT_TRUE(std::regex_search(out, std::regex(R"( - \n$)"))) << out;
}

TEST(Logger, MaskSelectsRecords)
{
    struct Case {
        uint32_t mask, level;
        bool written;
    } cases[] = {
        {0, LOG_ERROR, false},         {0xffff, LOG_CURTAIN, true},   {LOG_INFO, LOG_INFO, true},
        {LOG_INFO, LOG_ERROR, false},  {LOG_BRELT, 0x0300, true},     {LOG_BRELT_DETAIL, 0x0300, true},
        {LOG_CURTAIN, LOG_INFO, false}, {LOG_CURTAIN, LOG_CURTAIN, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(!logged(c.mask, "x.cpp", c.level, "m").empty(), c.written) << c.mask << " " << c.level;
}

TEST(Logger, LongMessagesAreCutToOneRecord)
{
    std::string out = logged(LOG_INFO, "a.cpp", LOG_INFO, std::string(2000, 'x'));
    EXPECT_LE(out.size(), 1023u);
    EXPECT_EQ(out.back(), '\n');
    EXPECT_EQ(out.find('\n'), out.size() - 1);
}

TEST(Logger, ClosingRecordFollowsTheMask)
{
    init_logger(0, 0);
    ::testing::internal::CaptureStderr();
    cleanup_logger();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    init_logger(0, LOG_INFO);
    ::testing::internal::CaptureStderr();
    cleanup_logger();
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("logger bye bye"), std::string::npos);
    init_logger(0, 0);
}
