#include "handlers/tuna/json_text.h"

#include "tuna_test_support.h"

using tuna_test::isJson;
using tuna_test::member;

TEST(TunaJsonText, EscapesWhatJsonRequiresAndKeepsUtf8)
{
    struct Case {
        std::string in;
        std::string out;
    } cases[] = {
        {"plain", "\"plain\""},
        {"", "\"\""},
        {"O'Brien \"x\" \\ \xC5\xBDlu\xC5\xA5", "\"O'Brien \\\"x\\\" \\\\ \xC5\xBDlu\xC5\xA5\""},
        {"a\nb\tc\rd", "\"a\\nb\\tc\\rd\""},
        {std::string("nul\0x", 5), "\"nul\\u0000x\""},
        {"\x01\x1f\x7f", "\"\\u0001\\u001f\x7f\""},
        {"\xF0\x9F\x93\xBB", "\"\xF0\x9F\x93\xBB\""},  // four-byte sequence passes
        {"\xFF", "\"\\ufffd\""},                        // never a UTF-8 byte
        {"\xC3", "\"\\ufffd\""},                        // cut sequence
        {"\xC0\xAF", "\"\\ufffd\\ufffd\""},             // overlong
        {"\xED\xA0\x80", "\"\\ufffd\\ufffd\\ufffd\""},  // surrogate
        {"\xE2\x82", "\"\\ufffd\\ufffd\""},             // cut three-byte sequence
    };
    for (const auto& c : cases) {
        std::string out = jsonString(c.in);
        EXPECT_EQ(out, c.out) << c.in;
        EXPECT_TRUE(isJson(out)) << out;
    }
}

TEST(TunaJsonText, RepliesKeepTheirLayoutAndParse)
{
    std::string reply;
    replySuccess(reply);
    EXPECT_EQ(reply, "{\n\t\"status\" : \"success\"\n}\n");
    reply.clear();
    replyProbablySuccess(reply);
    EXPECT_EQ(reply, "{\n\t\"status\" : \"probably success\"\n}\n");
    reply.clear();
    replyError(reply, "near \"x\": syntax error");
    EXPECT_EQ(reply, "{\n\t\"status\" : \"error\",\n\t\"description\" : \"near \\\"x\\\": syntax error\"\n}\n");
    EXPECT_EQ(member(reply, "description"), "near \"x\": syntax error");
    reply.clear();
    replyInsertSuccess(reply, "id7", "a\"b");
    EXPECT_EQ(reply, "{\n\t\"id\" : \"id7\",\n\t\"name\" : \"a\\\"b\",\n\t\"status\" : \"success\"\n}\n");
    reply.clear();
    replyCollision(reply, "id7");
    EXPECT_EQ(reply, "{\n\t\"id\" : \"id7\",\n\t\"status\" : \"error\",\n\t\"description\" : \"collision detection\"\n}\n");
}

TEST(TunaJsonText, LongTextsStayWhole)
{
    std::string big(3 << 20, '"');
    std::string reply;
    replyInsertSuccess(reply, "id1", big);
    EXPECT_TRUE(isJson(reply));
    EXPECT_EQ(member(reply, "name").size(), big.size());
}
