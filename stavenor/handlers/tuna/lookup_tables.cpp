#include "handlers/tuna/lookup_tables.h"

#include <mutex>
#include <utility>
#include <vector>

namespace {

TextMap daemons;
TextMap models;
std::array<TextMap, 8> modeByName;
std::array<TextMap, 8> modeByNumber;
std::once_flag built;

void fillDaemonIds()
{
    daemons["xjn_server"] = "1";
    daemons["xjn_config"] = "2";
    daemons["xjnr_server"] = "3";
    daemons["xjnr_config"] = "4";
    daemons["dis"] = "5";
}

void fillModelNames()
{
    const std::string prefix = "ZT-5200K-";
    auto product = [&](const char* family, const char* variant = nullptr) {
        std::string name = prefix + family;
        if (variant) name += std::string("-") + variant;
        return name;
    };

    models["BRELT-10TA"] = product("CU", "10X");
    models["BRELT-10TA-L2"] = product("CU", "20X");
    models["Central Unit"] = product("CU");

    const std::pair<const char*, const char*> stations[] = {
        {"MVQ-2CS", "CS"}, {"MVQ-2FFS", "FS"}, {"MVQ-2FFS-FK", "FK"}};
    const std::pair<const char*, const char*> variants[] = {
        {"-H", "20X"}, {"-A", "30X"}, {"-C2", "40X"}, {"-C4", "50X"}};
    for (const auto& [family, code] : stations) {
        models[std::string(family) + " "] = product(code);
        models[family] = product(code, "10X");
        for (const auto& [suffix, variant] : variants) models[std::string(family) + suffix] = product(code, variant);
    }

    models["MVQ-2TS "] = product("TA");
    models["MVQ-2TS"] = product("TA", "20X");
    models["MVQ-2TS-A"] = product("TA", "10X");
    models["PAXU-F"] = product("PX", "10X");

    models["-"] = "10X";
    for (const auto& [suffix, variant] : variants) models[suffix] = variant;

    models["MVQ-2GM"] = product("SP", "10X");
    models["Speaker"] = product("SP", "10X");
}

void fillSignalModes()
{
    // Two wirings of the alarm inputs: slots 0, 1, 5, 6 count one way, slots 2, 3, 4, 7 the other.
    const std::vector<std::pair<std::string, std::string>> wiringA = {
        {"Enabled", "1"}, {"Rising", "4"}, {"Falling", "3"}, {"Inverted", "2"}};
    const std::vector<std::pair<std::string, std::string>> wiringB = {
        {"Enabled", "2"}, {"Rising", "3"}, {"Falling", "4"}, {"Inverted", "1"}};
    auto fill = [](int slot, const std::vector<std::pair<std::string, std::string>>& wiring,
                   std::initializer_list<int> copies) {
        for (const auto& [word, number] : wiring) {
            modeByName[slot][word] = number;
            modeByNumber[slot][number] = word;
        }
        for (int copy : copies) {
            modeByName[copy] = modeByName[slot];
            modeByNumber[copy] = modeByNumber[slot];
        }
    };
    fill(0, wiringA, {1, 5, 6});
    fill(2, wiringB, {3, 4, 7});
}

} // namespace

const TextMap& daemonIds = daemons;
const TextMap& modelNames = models;
const std::array<TextMap, 8>& signalModeByName = modeByName;
const std::array<TextMap, 8>& signalModeByNumber = modeByNumber;

void buildLookupTables()
{
    std::call_once(built, [] {
        fillDaemonIds();
        fillModelNames();
        fillSignalModes();
    });
}
