// A bare central unit for the link benchmark: listens on 127.0.0.1:22349 and answers every
// message with "ok", one connection after the other, until killed.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <cstdio>
#include <cstring>
#include <string>

int main()
{
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(22349);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || listen(listener, 4) != 0) {
        perror("loopback_peer");
        return 1;
    }
    std::puts("ready");
    std::fflush(stdout);
    static const char ok[] = {'o', 'k', 0, 0};
    for (;;) {
        const int connection = accept(listener, nullptr, nullptr);
        if (connection < 0)
            continue;
        char buffer[65536];
        bool previousWasNul = false;
        for (ssize_t n; (n = read(connection, buffer, sizeof buffer)) > 0;) {
            // A message ends at two NULs in a row (the end of its last token and the empty one).
            for (ssize_t i = 0; i < n; ++i) {
                const bool nul = buffer[i] == 0;
                if (nul && previousWasNul) {
                    if (write(connection, ok, sizeof ok) != sizeof ok)
                        break;
                    previousWasNul = false;
                } else {
                    previousWasNul = nul;
                }
            }
        }
        close(connection);
    }
}
