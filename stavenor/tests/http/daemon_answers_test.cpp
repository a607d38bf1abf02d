// The daemon's own answer path against a real connection: every answer says nosniff, every HTML
// answer carries the pages' policy, and a handler that gives no answer gets a typed 500 page.
// Runs inside a network namespace of its own (tests/in-netns): it listens on the usual port.
#include "include/daemon.h"
#include "include/handlers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <string>

namespace {

constexpr uint16_t kPort = 8765;

void no_answer(http_request&) {}

void plain_answer(http_request& request)
{
    request.status = 200;
    request.data = "plain";
    request.content_type = "text/plain; charset=utf-8";
}

void page_answer(http_request& request)
{
    request.status = 200;
    request.data = "<p>page</p>";
    request.content_type = "TEXT/HTML";
}

void untyped_answer(http_request& request)
{
    request.status = 200;
    request.data = "bytes";
}

struct Answer {
    int status = 0;
    std::map<std::string, std::string> headers; // names in lower case
    std::string body;
};

Answer get(const std::string& path)
{
    Answer answer;
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(kPort);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (fd >= 0) close(fd);
        return answer;
    }
    const std::string request =
        "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(kPort) + "\r\n\r\n";
    (void)!write(fd, request.data(), request.size());
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
    close(fd);

    const size_t end = text.find("\r\n\r\n");
    if (end == std::string::npos || text.size() < 12) return answer;
    answer.status = std::stoi(text.substr(9, 3));
    answer.body = text.substr(end + 4);
    for (size_t line = text.find("\r\n") + 2; line < end;) {
        const size_t next = text.find("\r\n", line);
        const std::string header = text.substr(line, next - line);
        const size_t colon = header.find(':');
        std::string name = header.substr(0, colon);
        for (char& c : name) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        answer.headers[name] = header.substr(header.find_first_not_of(' ', colon + 1));
        line = next + 2;
    }
    return answer;
}

class DaemonAnswers : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        init_handlers();
        ASSERT_EQ(start_http_daemon(kPort), 1);
        register_handler("none", no_answer, nullptr, nullptr);
        register_handler("plain", plain_answer, nullptr, nullptr);
        register_handler("page", page_answer, nullptr, nullptr);
        register_handler("untyped", untyped_answer, nullptr, nullptr);
        open_http_daemon();
    }
    static void TearDownTestSuite()
    {
        stop_http_daemon();
        cleanup_handlers();
    }
};

TEST_F(DaemonAnswers, NosniffEverywhereAndThePolicyOnEveryHtmlAnswer)
{
    struct Case {
        const char* path;
        int status;
        const char* type; // expected Content-Type, "" for none
        bool policy;
    };
    const Case cases[] = {
        {"/none/x", 500, "text/html; charset=utf-8", true},
        {"/plain/x", 200, "text/plain; charset=utf-8", false},
        {"/page/x", 200, "TEXT/HTML", true},
        {"/untyped/x", 200, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Answer answer = get(c.path);
        EXPECT_EQ(answer.status, c.status);
        EXPECT_EQ(answer.headers["x-content-type-options"], "nosniff");
        EXPECT_EQ(answer.headers["content-type"], c.type);
        EXPECT_EQ(answer.headers.count("content-security-policy"), c.policy ? 1u : 0u);
        if (c.policy) EXPECT_NE(answer.headers["content-security-policy"].find("img-src 'self';"), std::string::npos);
    }
    EXPECT_NE(get("/none/x").body.find("Internal server error"), std::string::npos);
}

} // namespace
