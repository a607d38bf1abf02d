#include "include/handlers.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string last; // which handler answered, and with which URL

void answer_named(http_request& r) { last = "named:" + r.url; }
void answer_default(http_request& r) { last = "default:" + r.url; }
int inits = 0;
void count_init() { ++inits; }
int cleanups = 0;
void count_cleanup() { ++cleanups; }

class Registry : public ::testing::Test {
protected:
    void SetUp() override
    {
        init_handlers();
        ASSERT_EQ(register_handler(nullptr, answer_default, nullptr, nullptr), 1);
        ASSERT_EQ(register_handler("icons", answer_named, count_init, count_cleanup), 1);
    }
    void TearDown() override { cleanup_handlers(); }

    std::string dispatch(const std::string& url)
    {
        param_list params;
        http_request request;
        request.url = url;
        request.params = &params;
        last.clear();
        handle_request(request);
        return last;
    }
};

} // namespace

TEST_F(Registry, PicksTheHandlerByTheFirstSegmentOnlyWhenASlashFollows)
{
    struct Case {
        const char* url;
        const char* expected;
    } cases[] = {
        {"/icons/radio.bmp", "named:/icons/radio.bmp"},
        {"/icons/", "named:/icons/"},
        {"/icons", "default:/icons"},
        {"/Icons/radio.bmp", "default:/Icons/radio.bmp"},
        {"//x", "default://x"},
        {"/other/a.js", "default:/other/a.js"},
        {"/", "default:/"},
        {"", "default:"},
    };
    for (const auto& c : cases) EXPECT_EQ(dispatch(c.url), c.expected) << c.url;
}

TEST_F(Registry, RefusesDuplicatesAndRunsInitAndCleanupOnce)
{
    inits = cleanups = 0;
    ASSERT_EQ(register_handler("tuna", answer_named, count_init, count_cleanup), 1);
    EXPECT_EQ(inits, 1);
    EXPECT_EQ(register_handler("tuna", answer_default, count_init, nullptr), 0);
    EXPECT_EQ(register_handler(nullptr, answer_named, nullptr, nullptr), 0);
    EXPECT_EQ(inits, 1);
    EXPECT_EQ(dispatch("/tuna/list"), "named:/tuna/list");
    EXPECT_EQ(unregister_handler("tuna"), 1);
    EXPECT_EQ(cleanups, 1);
    EXPECT_EQ(unregister_handler("tuna"), 0);
    EXPECT_EQ(dispatch("/tuna/list"), "default:/tuna/list");
}

TEST_F(Registry, HasRoomFor256Handlers)
{
    for (int i = 2; i < kHandlerSlots; ++i)
        ASSERT_EQ(register_handler(("h" + std::to_string(i)).c_str(), answer_named, nullptr, nullptr), 1);
    EXPECT_EQ(register_handler("one-too-many", answer_named, nullptr, nullptr), 0);
}

TEST(RegistryEmpty, NoHandlerAtAllLeavesTheStatusForTheErrorPage)
{
    init_handlers();
    param_list params;
    http_request request;
    request.url = "/x";
    request.params = &params;
    handle_request(request);
    EXPECT_LE(request.status, 0);
}
