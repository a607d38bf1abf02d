// Encodes and decodes a buffer of samples with the console's G.711 routines, best of ROUNDS, and
// leaves the buffer and the codes for audioop to do the same. usage: g711_bench DIR SAMPLES ROUNDS
#include "g711.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

template <typename Work> double bestOf(int rounds, Work work)
{
    double best = 1e9;
    for (int r = 0; r < rounds; ++r) {
        const auto begin = std::chrono::steady_clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
    }
    return best;
}

bool writeFile(const std::string &path, const void *data, size_t size)
{
    FILE *file = std::fopen(path.c_str(), "wb");
    const bool ok = file && std::fwrite(data, 1, size, file) == size;
    return file && std::fclose(file) == 0 && ok;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s DIR SAMPLES ROUNDS\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const size_t count = std::strtoul(argv[2], nullptr, 10);
    const int rounds = std::atoi(argv[3]);

    // Speech-like: mostly small samples, now and then loud ones.
    std::mt19937 random(20261210);
    std::normal_distribution<double> voice(0.0, 4000.0);
    std::vector<std::int16_t> pcm(count);
    for (auto &s : pcm)
        s = std::int16_t(std::clamp(voice(random), -32768.0, 32767.0));
    std::vector<std::uint8_t> codes(count);
    std::vector<std::int16_t> decoded(count);

    const double encode = bestOf(rounds, [&] {
        for (size_t i = 0; i < count; ++i)
            codes[i] = linearToUlaw(pcm[i]);
    });
    const double decode = bestOf(rounds, [&] {
        for (size_t i = 0; i < count; ++i)
            decoded[i] = ulawToLinear(codes[i]);
    });
    if (!writeFile(dir + "/pcm.raw", pcm.data(), count * 2) || !writeFile(dir + "/ulaw.raw", codes.data(), count)
        || !writeFile(dir + "/decoded.raw", decoded.data(), count * 2)) {
        std::fprintf(stderr, "cannot write into %s\n", dir.c_str());
        return 1;
    }
    std::printf("encode_seconds %.6f\ndecode_seconds %.6f\n", encode, decode);
    return 0;
}
