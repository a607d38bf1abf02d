// Reading a file that is already open, whole.
#pragma once

#include <cstddef>
#include <string>

// The next `size` bytes of `fd` in `data`; false when the file ends sooner or a read fails, with
// `data` holding what was read.
bool read_exactly(int fd, size_t size, std::string& data);
