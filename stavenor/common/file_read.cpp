#include "common/file_read.h"

#include <unistd.h>

#include <cerrno>

bool read_exactly(int fd, size_t size, std::string& data)
{
    data.resize(size);
    size_t done = 0;
    while (done < size) {
        ssize_t got = read(fd, data.data() + done, size - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<size_t>(got);
    }
    data.resize(done);
    return done == size;
}
