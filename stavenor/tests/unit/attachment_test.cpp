#include "common/attachment.h"

#include <gtest/gtest.h>

TEST(AttachmentDisposition, KeepsOnlyAPlainFileName)
{
    const std::string longName = std::string(400, 'a') + "x.conf";
    struct Case {
        std::string name;
        std::string file; // the name in the header
    } cases[] = {
        {"field exercise.conf", "field exercise.conf"},
        {"North/South.conf", "North-South.conf"},
        {"../../etc/passwd", "..-..-etc-passwd"},
        {"a\"b\\c.conf", "ab-c.conf"},
        {"line\r\nSet-Cookie: x=1.conf", "lineSet-Cookie: x=1.conf"},
        {std::string("t\tab\x7f\x01.log"), "tab.log"},
        {"", "download"},
        {"dir/", "dir-"},
        {"..", "download"},
        {"\"\"", "download"},
        {longName, longName}, // whole, never cut short of its closing quote
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(attachment_disposition(c.name), "attachment; filename=\"" + c.file + "\"");
    }
}

TEST(AttachmentDisposition, ANameBeyondAsciiIsCarriedWholeBesideItsAsciiForm)
{
    struct Case {
        std::string name;
        std::string header;
    } cases[] = {
        {"Pr\xc5\xaf" "zkum 2 \xe2\x80\x93 cvi\xc4\x8d" "en\xc3\xad.conf",
         "attachment; filename=\"Pr_zkum 2 _ cvi_en_.conf\"; "
         "filename*=UTF-8''Pr%C5%AFzkum%202%20%E2%80%93%20cvi%C4%8Den%C3%AD.conf"},
        {"\xf0\x9f\x93\xbb/\"x\".conf", "attachment; filename=\"_-x.conf\"; filename*=UTF-8''%F0%9F%93%BB-x.conf"},
        {std::string(300, 'a') + "\xc3\xa4", "attachment; filename=\"" + std::string(300, 'a') + "_\"; filename*=UTF-8''" +
                                                 std::string(300, 'a') + "%C3%A4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(attachment_disposition(c.name), c.header);
    }
}
