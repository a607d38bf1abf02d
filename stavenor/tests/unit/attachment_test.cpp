#include "common/attachment.h"

#include <gtest/gtest.h>

TEST(AttachmentDisposition, KeepsOnlyAPlainFileName)
{
    const std::string longName = std::string(400, 'a') + "\xc3\xa4.conf";
    struct Case {
        std::string name;
        std::string file; // the name in the header
    } cases[] = {
        {"field exercise.conf", "field exercise.conf"},
        {"/dis/system.conf", "system.conf"},
        {"../../etc/passwd", "passwd"},
        {"a\"b\\c.conf", "abc.conf"},
        {"line\r\nSet-Cookie: x=1.conf", "lineSet-Cookie: x=1.conf"},
        {std::string("t\tab\x7f\x01.log"), "tab.log"},
        {"", "download"},
        {"dir/", "download"},
        {"..", "download"},
        {"/.", "download"},
        {"\"\"", "download"},
        {longName, longName}, // whole, never cut short of its closing quote
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(attachment_disposition(c.name), "attachment; filename=\"" + c.file + "\"");
    }
}
