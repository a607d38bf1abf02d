// Loads and saves a generated configuration of N central units in-process (no HTTP): the load
// reads the file, checks it, resets the store and imports it in one transaction; the save builds
// the tree and writes it. Writes the rows the import left as SQL, so that bench/config/run can time
// the sqlite3 shell inserting the very same rows in one transaction.
//
// usage: config_bench WORK_DIR UNITS [ROUNDS]
// prints "load_seconds S", "save_seconds S", "rows N", "peak_kb K"; writes WORK_DIR/schema.sql and rows.sql.
#include "common/store_lock.h"
#include "handlers/tuna/schema.h"
#include "handlers/tuna/tuna.h"
#include "handlers/tuna/tuna_handler.h"

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

std::string generate(int units)
{
    std::string text = "# config file generated\n\n|network|\n|nodes|\n";
    for (int u = 0; u < units; ++u) {
        std::string n = std::to_string(u);
        text += "\t|CU-" + n + "|\n\t\t|disable local echo with pabx| = |0|\n\t\t|interfaces|\n\t\t\t|line 1|\n\t\t\t\t|Station " +
                n + "|\n\t\t\t|transceiver 1|\n\t\t\t\t|Radio " + n + "|\n\t\t|line 0 master| = |1|\n"
                "\t\t|network|\n\t\t\t|interfaces|\n\t\t\t\t|br0|\n\t\t\t\t\t|ip address| = |10.0." +
                std::to_string(u / 250) + "." + std::to_string(u % 250 + 1) +
                "/255.255.0.0|\n\t\t\t\t\t|use dhcp| = |false|\n"
                "\t\t|services|\n\t\t\t|gps|\n\t\t\t\t|daemon| = |gps|\n\t\t\t\t|endpoint| = |GPS " + n +
                "|\n\t\t\t|morvex_radio_server|\n\t\t\t\t|daemon| = |ktx|\n"
                "\t\t|sip domain| = |unit" + n + ".local|\n\t\t|sip exchange number| = |" + std::to_string(100 + u) +
                "|\n\t\t|type| = |BRELT-10TA|\n";
    }
    text += "|system|\n\t|conferences|\n";
    for (int u = 0; u < units; ++u)
        text += "\t\t|Net " + std::to_string(u) + "|\n\t\t\t|multicast group| = |239.1.1.1|\n\t\t\t|port| = |" +
                std::to_string(5000 + u) + "|\n\t\t\t|type| = |multicast|\n";
    // Every unit's crew station and radio: a device is placed in the unit whose ports name it.
    text += "\t|devices|\n";
    for (int u = 0; u < units; ++u) {
        std::string n = std::to_string(u);
        text += "\t\t|Radio " + n + "|\n\t\t\t|model| = |VHF|\n\t\t\t|type| = |transceiver|\n\t\t|Station " + n +
                "|\n\t\t\t|type| = |MVQ-2CS|\n";
    }
    text += "\t|events|\n";
    for (int u = 0; u < units; ++u) text += "\t\t|Event " + std::to_string(u) + "|\n\t\t\t|volume| = |80|\n";
    text += "\t|filename| = |generated.conf|\n\t|global phone book|\n";
    for (int u = 0; u < units; ++u)
        text += "\t\t|Contact " + std::to_string(u) + "|\n\t\t\t|telephone number| = |" + std::to_string(2000 + u) +
                "|\n\t\t\t|type| = |phone|\n";
    text += "\t|languages|\n\t\t|English|\n\t|name| = |Generated|\n\t|transceivers|\n\t\t|VHF|\n"
            "\t\t\t|connection type| = |analog|\n\t|translations|\n";
    for (int u = 0; u < units; ++u)
        text += "\t\t|Text " + std::to_string(u) + "|\n\t\t\t|English| = |Text number " + std::to_string(u) + "|\n";
    text += "|users|\n";
    return text;
}

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::string quoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += '\'';
        out += c;
    }
    return out + "'";
}

// Every row of every table, as the shell's INSERT statements in one transaction.
size_t writeRows(TunaHandler& store, const std::string& directory)
{
    std::ofstream schema(directory + "/schema.sql");
    std::ofstream rows(directory + "/rows.sql");
    schema << "CREATE TABLE ids(id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT, type TEXT, cbm TEXT);\n";
    rows << "BEGIN;\n";
    size_t count = 0;
    for (const auto& [table, definition] : tableDefinitions) {
        if (table != "ids") {
            schema << "CREATE TABLE " << table << " (";
            for (size_t c = 0; c < definition.columns.size(); ++c)
                schema << (c ? ", " : "") << definition.columns[c] << " TEXT";
            schema << ");\n";
        }
        Statement select(store.database, buildSelect(table));
        while (select.next()) {
            rows << "INSERT INTO " << table << " VALUES (";
            for (size_t c = 0; c < definition.columns.size(); ++c)
                rows << (c ? ", " : "") << quoted(select.text(static_cast<int>(c)));
            rows << ");\n";
            ++count;
        }
    }
    rows << "COMMIT;\n";
    return count;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: config_bench WORK_DIR UNITS [ROUNDS]\n");
        return 2;
    }
    std::string directory = argv[1];
    int units = atoi(argv[2]);
    int rounds = argc > 3 ? atoi(argv[3]) : 5;
    if (chdir(directory.c_str()) != 0) return 1;
    {
        std::ofstream file("generated.conf");
        file << generate(units);
    }

    start_store();
    TunaHandler& store = *tunaStore();
    auto lock = lock_store();
    double load = 0, save = 0;
    for (int round = 0; round < rounds; ++round) {
        auto start = std::chrono::steady_clock::now();
        int line = 0;
        if (store.loadConfiguration("generated.conf", nullptr, &line) != 0) {
            fprintf(stderr, "load failed at line %d\n", line);
            return 1;
        }
        double took = seconds(start);
        load = round ? std::min(load, took) : took;
        start = std::chrono::steady_clock::now();
        if (store.writeConfiguration("saved-generated.conf") != 0) return 1;
        took = seconds(start);
        save = round ? std::min(save, took) : took;
    }
    size_t rows = writeRows(store, ".");
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    printf("load_seconds %.6f\nsave_seconds %.6f\nrows %zu\npeak_kb %ld\n", load, save, rows, usage.ru_maxrss);
    return 0;
}
