// Times (in CPU time) the store's insert and list commands on a 10,000-row table, in-process (no HTTP), and
// writes the SQL that the store ran, with its values in place, so that bench/tuna/run can time the sqlite3
// shell on the very same statements.
//
// usage: tuna_bench OUTPUT_DIR [ROWS] [LIST_ROUNDS]
// prints "insert_seconds S" and "list_seconds S"; writes OUTPUT_DIR/schema.sql, insert.sql, list.sql.
#include "handlers/tuna/tuna.h"
#include "handlers/tuna/tuna_handler.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

#include <unistd.h>

namespace {

http_request makeRequest(const std::string& url, param_list& params)
{
    http_request request;
    request.url = url;
    request.params = &params;
    return request;
}

void run(const std::string& url, std::initializer_list<std::pair<const char*, std::string>> fields)
{
    param_list params;
    for (const auto& [name, value] : fields) add_param(params, name, value, PARAM_GET);
    http_request request = makeRequest(url, params);
    tuna_handler(request);
    if (request.status != 200) {
        fprintf(stderr, "%s answered %d\n", url.c_str(), request.status);
        exit(1);
    }
}

void insertRows(int rows)
{
    for (int i = 0; i < rows; ++i)
        run("/tuna/insert/radio.json", {{"name", "Radio " + std::to_string(i)},
                                        {"breltID", "id1"},
                                        {"type", "MVQ-2CS"},
                                        {"sipExtension", std::to_string(7000 + i)}});
}

void listRows(int rounds)
{
    for (int i = 0; i < rounds; ++i) {
        run("/tuna/list/radio.json", {});
        run("/tuna/list/radio", {{"id", ""}, {"name", ""}});
    }
}

// Collects every statement the store runs, values in place.
std::ofstream* traceTarget = nullptr;
int trace(unsigned, void*, void* statement, void*)
{
    if (!traceTarget) return 0;
    char* sql = sqlite3_expanded_sql(static_cast<sqlite3_stmt*>(statement));
    if (sql) {
        std::string text = sql;
        while (!text.empty() && (text.back() == '\n' || text.back() == ';')) text.pop_back();
        *traceTarget << text << ";\n";
        sqlite3_free(sql);
    }
    return 0;
}

double cpuSeconds()
{
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: tuna_bench OUTPUT_DIR [ROWS] [LIST_ROUNDS]\n");
        return 2;
    }
    std::string out = argv[1];
    int rows = argc > 2 ? atoi(argv[2]) : 10000;
    int rounds = argc > 3 ? atoi(argv[3]) : 100;

    // The store writes its files (saved.conf) into the working directory: keep them in the output one.
    if (chdir(out.c_str()) != 0) return 1;

    // First pass, untimed: record the statements.
    start_store();
    {
        std::ofstream schema(out + "/schema.sql");
        Statement dump(tunaStore()->database, Sql("SELECT sql FROM sqlite_master WHERE sql IS NOT NULL AND name NOT LIKE 'sqlite_%'"));
        while (dump.next()) schema << dump.text(0) << ";\n";
        schema << "INSERT INTO ids (type,cbm,name) VALUES ('unknown','false','name');\n";
    }
    sqlite3_trace_v2(tunaStore()->database, SQLITE_TRACE_STMT, trace, nullptr);
    std::ofstream insertSql(out + "/insert.sql"), listSql(out + "/list.sql");
    traceTarget = &insertSql;
    insertRows(rows);
    traceTarget = &listSql;
    listRows(rounds);
    traceTarget = nullptr;
    stop_store();

    // Timed passes, each on a fresh store: the best of three, in CPU time as the shell's timer counts.
    double insertSeconds = 1e9, listSeconds = 1e9;
    for (int pass = 0; pass < 3; ++pass) {
        start_store();
        double start = cpuSeconds();
        insertRows(rows);
        double inserted = cpuSeconds();
        listRows(rounds);
        double listed = cpuSeconds();
        stop_store();
        insertSeconds = std::min(insertSeconds, inserted - start);
        listSeconds = std::min(listSeconds, listed - inserted);
    }

    printf("rows %d\nlist_rounds %d\ninsert_seconds %.6f\nlist_seconds %.6f\n", rows, rounds, insertSeconds,
           listSeconds);
    return 0;
}
