// The driver's monitor-channel mode: opens a host or a device, sends messages and files one after
// the other, saves the files that arrive and prints one line per event.
#include "common/main_loop.h"
#include "handlers/cup/monitor/comm.h"

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace {

std::string hex(const std::string& bytes)
{
    std::string out;
    char two[3];
    for (unsigned char c : bytes) snprintf(two, sizeof two, "%02x", c), out += two;
    return out.empty() ? "-" : out;
}

MonitorMessage parse_message(const std::string& text)
{
    MonitorMessage message;
    size_t at = text.find(',');
    message.name = text.substr(0, at);
    while (at != std::string::npos) {
        size_t next = text.find(',', at + 1);
        message.arguments.push_back(text.substr(at + 1, next == std::string::npos ? next : next - at - 1));
        at = next;
    }
    return message;
}

} // namespace

int run_comm(int argc, char** argv)
{
    std::string name = argv[0];
    int baud = 115200;
    std::deque<std::string> files;
    std::deque<MonitorMessage> messages;
    std::string out_dir = ".";
    optind = 1;
    int option;
    while ((option = getopt(argc, argv, "b:f:m:o:")) != -1) {
        switch (option) {
        case 'b': baud = atoi(optarg); break;
        case 'f': files.push_back(optarg); break;
        case 'm': messages.push_back(parse_message(optarg)); break;
        case 'o': out_dir = optarg; break;
        default: return 2;
        }
    }
    setvbuf(stdout, nullptr, _IOLBF, 0);

    Comm comm;
    if (comm.open(name, baud) != 0) {
        printf("open failed\n");
        return 1;
    }
    comm.messageReceived.connect([](const std::string& n, const std::vector<std::string>& arguments) {
        std::string line = "message: " + n;
        for (const auto& a : arguments) line += " " + hex(a);
        printf("%s\n", line.c_str());
    });
    comm.fileReceived.connect([&](const std::string& n, const std::vector<uint8_t>& data) {
        std::string base = n.substr(n.rfind('/') + 1);
        std::ofstream(out_dir + "/" + (base.empty() ? "unnamed" : base), std::ios::binary)
            .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
        printf("file received: %s %zu\n", n.c_str(), data.size());
    });
    comm.linkLost.connect([](int) {
        printf("link lost\n");
        main_loop()->quit();
    });

    auto send_next_file = [&] {
        if (files.empty()) {
            printf("all sent\n");
            return;
        }
        std::string path = files.front();
        files.pop_front();
        std::ifstream in(path, std::ios::binary);
        std::vector<uint8_t> data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (comm.sendFile(data.data(), data.size(), path) != 0) printf("file not sent: %s\n", path.c_str());
    };
    comm.fileSent.connect([&](const std::string& n) {
        printf("file sent: %s\n", n.c_str());
        send_next_file();
    });
    for (const MonitorMessage& message : messages) comm.sendMessage(message);
    send_next_file();
    main_loop()->run();
    return 0;
}
