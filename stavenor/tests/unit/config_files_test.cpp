// Configuration files: start-up, load and save through "configurationFile.json", and the round
// trip of the system-wide sections and the central-unit nodes.
#include "handlers/tuna/export/export.h"
#include "handlers/tuna/import/import.h"

#include "round_trip_support.h"
#include "tuna_test_support.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <set>
#include <random>
#include <regex>

using namespace round_trip;
using tuna_test::call;
using tuna_test::member;
using tuna_test::Params;
using tuna_test::Reply;

namespace {

const std::string kShippedDefault = std::string(TEST_DATA_DIR) + "/../../../run/default.conf";
const char* const kSuccess = "{\n\t\"status\" : \"success\"\n}\n";

class ConfigFiles : public WorkingDirectory {
protected:
    Reply command(const Params& params) { return call("/tuna/configurationFile.json", params); }

    Reply loadText(const std::string& name, const std::string& text, const Params& more = {})
    {
        std::filesystem::create_directories("tmp");
        writeFile("tmp/" + name, text);
        Params params = {{"command", "load_file"}, {"fileName", name}};
        params.insert(params.end(), more.begin(), more.end());
        return command(params);
    }

    int count(const std::string& table)
    {
        auto lock = lock_store();
        Statement select(store().database, Sql("SELECT count(*) FROM " + table));
        return select.next() ? std::stoi(select.text(0)) : -1;
    }

    std::string exported()
    {
        saveFile("out.conf");
        return readFile("out.conf");
    }
};

} // namespace

// Open, Save, Open over every configuration file of the repository: the second Open holds every
// table as the first did, and the two saves are equal. Only what a file holds and the export cannot
// name or writes otherwise (kept_items.conf's dangling references, a RIP version the export writes as
// "2"; kept_values.conf's route through an interface its unit lacks, a USB radio's remote control type,
// and the file name and services node that a save writes where the file had none) may go with the
// first save.
namespace {

struct RepositoryFile {
    std::string path;
    std::set<std::string> normalised;
};

std::vector<RepositoryFile> repositoryFiles()
{
    const std::map<std::string, std::set<std::string>> normalised = {
        {"kept_items.conf", {"ids", "staticRouting", "routingProtocols", "operatorGeneral", "keypadDisplayButton", "rotaryDialButton",
                             "globalOverviewSipAliases"}},
        {"kept_values.conf", {"cubSettings", "radio", "services", "staticRouting"}}};
    std::vector<RepositoryFile> files = {{kShippedDefault, {}}};
    for (const auto& entry : std::filesystem::directory_iterator(std::string(TEST_DATA_DIR) + "/config")) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".conf") continue;
        auto found = normalised.find(name);
        files.push_back({entry.path().string(), found == normalised.end() ? std::set<std::string>() : found->second});
    }
    return files;
}

void PrintTo(const RepositoryFile& file, std::ostream* out) { *out << file.path; }

class RepositoryFiles : public WorkingDirectory, public ::testing::WithParamInterface<RepositoryFile> {};

} // namespace

TEST_P(RepositoryFiles, OpenSaveOpenIsAFixedPoint) { expectRoundTrip(GetParam().path, GetParam().normalised); }

INSTANTIATE_TEST_SUITE_P(ConfigFiles, RepositoryFiles, ::testing::ValuesIn(repositoryFiles()),
                         [](const ::testing::TestParamInfo<RepositoryFile>& info) {
                             std::string name = std::filesystem::path(info.param.path).stem().string();
                             std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
                             return name;
                         });

TEST_F(ConfigFiles, RoundTripOfEverySystemSectionAndUnitNode)
{
    expectRoundTrip(fixture("system_sections.conf"));
    // The fixture is already in the form the export writes.
    EXPECT_EQ(withoutDate(readFile("s1.conf")), withoutDate(readFile(fixture("system_sections.conf"))));
    // It fills every table of these sections.
    for (const char* table : {"cubSettings", "globalOverviewRadioModels", "globalOverviewHeadsets",
                              "globalOverviewPhoneBook", "languagesUsed", "globalOverviewLanguages",
                              "globalOverviewConferences", "globalEvents", "Texts", "globalAudioSetupTranslations",
                              "centralUnits", "services", "endpoint"})
        EXPECT_GT(count(table), 0) << table;
}

TEST_F(ConfigFiles, StartUpImportsDefaultAndWritesSaved)
{
    std::filesystem::copy_file(kShippedDefault, "default.conf");
    stop_store();
    start_store();
    std::string saved = readFile("saved.conf");
    ASSERT_FALSE(saved.empty());
    EXPECT_EQ(saved.rfind("# config file ", 0), 0u);
    std::istringstream lines(saved);
    std::string line;
    std::getline(lines, line); // header
    std::getline(lines, line);
    EXPECT_EQ(line, "");
    static const std::regex node("^\t*\\|[^|]*\\|( = \\|[^|]*\\|)?$");
    int nodes = 0;
    while (std::getline(lines, line)) {
        EXPECT_TRUE(std::regex_match(line, node)) << line;
        ++nodes;
    }
    EXPECT_GT(nodes, 50);
    EXPECT_NE(saved.find("\n\t|CU-1|\n"), std::string::npos);
    EXPECT_EQ(count("centralUnits"), 1);
    EXPECT_EQ(count("languagesUsed"), 1);
    EXPECT_TRUE(std::filesystem::is_directory("announcements/English"));
}

TEST_F(ConfigFiles, MalformedFilesAnswerAnErrorAndKeepTheCurrentConfiguration)
{
    const std::string good = readFile(fixture("system_sections.conf"));
    struct Case {
        const char* what;
        std::string text;
        const char* error; // words the description holds; null: the file loads
        std::string fileName = "f.conf";
    } cases[] = {
        {"missing file", "", "the file cannot be opened or read", "never-uploaded.conf"},
        {"key without closing bar", "# config file x\n\n|system|\n\t|name\n", "a key lacks its closing \"|\" (line 4)"},
        {"lone bar", "|system|\n|\n", "a key lacks its closing \"|\" (line 2)"},
        {"value without closing bar", "|system|\n\t|name| = |abc\n", "a value lacks its closing \"|\" (line 2)"},
        {"depth jump", "|system|\n\t\t|name| = |x|\n", "more than one TAB deeper than the line before it (line 2)"},
        {"first node indented", "\t|system|\n", "more than one TAB deeper than the line before it (line 1)"},
        {"carriage return inside a value", "|system|\n\t|name| = |a\rb|\n", "holds a carriage return or NUL byte"},
        {"NUL inside a key", std::string("|system|\n\t|na\0me| = |x|\n", 24), "holds a carriage return or NUL byte"},
        {"file name with a path", good, "file name refused: ../f.conf", "../f.conf"},
        {"file name with a bar", good, "file name refused: a|b.conf", "a|b.conf"},
        {"empty file", "", "it is not a configuration", "empty.conf"},
        {"header only", "# config file Mon Jan  6 09:00:00 2014\n\n", "it is not a configuration"},
        {"a text file renamed", "Shopping list\n\teggs\n\tmilk\n", "it is not a configuration"},
        {"byte-order mark", "\xEF\xBB\xBF" + good, nullptr},
        {"CRLF line ends", std::regex_replace(good, std::regex("\n"), "\r\n"), nullptr},
        {"unknown top-level node", "|extra|\n\t|name| = |x|\n" + good.substr(good.find("|network|")), nullptr},
        {"a 100 KB line", "|system|\n\t|name| = |" + std::string(100000, 'n') + "|\n", nullptr},
    };

    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // The current configuration, as a browser would have it.
        ASSERT_EQ(loadText("current.conf", good, {{"filePath", "/x/current.conf"}}).body, kSuccess);
        TableDump before = dumpTables(store());
        std::string saved = readFile("saved.conf");

        Reply reply;
        if (c.fileName == "never-uploaded.conf") { // nothing uploaded under that name
            reply = command({{"command", "load_file"}, {"fileName", c.fileName}});
        } else if (c.fileName.find_first_of("/|") != std::string::npos) {
            reply = command({{"command", "load_file"}, {"fileName", c.fileName}});
        } else {
            reply = loadText(c.fileName, c.text, {{"filePath", "/y/loaded.conf"}});
        }

        if (c.error) {
            EXPECT_EQ(member(reply.body, "status"), "error");
            std::string description = member(reply.body, "description");
            EXPECT_NE(description.find(c.error), std::string::npos) << description;
            EXPECT_EQ(description.find("error -"), std::string::npos) << description;
            EXPECT_EQ(dumpTables(store()), before);
            EXPECT_EQ(readFile("saved.conf"), saved);
            auto lock = lock_store();
            EXPECT_EQ(store().currentFileName, "/x/current.conf");
        } else {
            EXPECT_EQ(reply.body, kSuccess);
            auto lock = lock_store();
            EXPECT_EQ(store().currentFileName, "/y/loaded.conf");
        }
    }
}

TEST_F(ConfigFiles, WhatLoadsIsWhatTheFileSays)
{
    const std::string good = readFile(fixture("system_sections.conf"));
    ASSERT_EQ(loadText("lf.conf", good).body, kSuccess);
    TableDump lf = dumpTables(store());
    ASSERT_EQ(loadText("crlf.conf", "\xEF\xBB\xBF" + std::regex_replace(good, std::regex("\n"), "\r\n")).body, kSuccess);
    EXPECT_EQ(dumpTables(store()), lf);

    // A line of any length that the writer writes is read back whole.
    const std::string longName(100000, 'n');
    ASSERT_EQ(loadText("long.conf", "|system|\n\t|name| = |" + longName + "|\n").body, kSuccess);
    std::string text = exported();
    EXPECT_NE(text.find("\t|name| = |" + longName + "|\n"), std::string::npos);
    ASSERT_EQ(loadText("long2.conf", text).body, kSuccess);
    auto dump = dumpTables(store());
    ASSERT_EQ(dump["cubSettings"].size(), 1u);
    EXPECT_NE(dump["cubSettings"][0].find("name=" + longName + "\n"), std::string::npos);
}

TEST_F(ConfigFiles, SaveSaveAsAndNewFile)
{
    std::filesystem::copy_file(kShippedDefault, "default.conf");

    // No current file: the configuration is offered as a download, with its name.
    Reply offer = command({{"command", "save_file"}});
    EXPECT_EQ(offer.status, 200);
    EXPECT_EQ(offer.disposition, "attachment; filename=\"New configuration.conf\"");
    EXPECT_EQ(offer.contentType, "text/plain; charset=utf-8");
    auto withoutDate = [](const std::string& text) { return text.substr(text.find('\n')); };
    ASSERT_TRUE(offer.body.starts_with("# config file "));
    EXPECT_EQ(withoutDate(offer.body), withoutDate(exported()));

    // A bare name (no "/") is written as <base name>.conf beside the store's other files, and the
    // configuration takes that name.
    Reply saved = command({{"command", "save_as"}, {"file", "C:\\Users\\me\\mine"}});
    EXPECT_EQ(saved.status, 404);
    ASSERT_TRUE(std::filesystem::exists("mine.conf"));
    EXPECT_EQ(tuna_test::column(call("/tuna/list/Configuration.json").body, "name"),
              std::vector<std::string>{"mine.conf"});
    EXPECT_NE(readFile("mine.conf").find("\t|filename| = |mine.conf|\n"), std::string::npos);
    EXPECT_EQ(command({{"command", "save_file"}, {"saveAs", ""}}).disposition, "attachment; filename=\"mine.conf\"");

    // A path is written where it points, and its last element names the configuration.
    std::filesystem::create_directories("home/me/exercises");
    const std::string chosen = (directory_ / "home/me/exercises/field day").string();
    EXPECT_EQ(command({{"command", "save_as"}, {"file", chosen}}).status, 404);
    EXPECT_NE(readFile(chosen + ".conf").find("\t|filename| = |field day.conf|\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists("field day.conf"));
    {
        auto lock = lock_store();
        EXPECT_EQ(store().currentFileName, chosen + ".conf");
    }
    command({{"command", "save_as"}, {"file", "home/../up.conf"}});
    EXPECT_TRUE(std::filesystem::exists("up.conf"));
    for (const char* refused : {"dir/", "..", "a|b", "/tmp/a|b", "/tmp/a\nb", "/tmp/a\x7f", "/tmp/a\tb/c"})
        EXPECT_EQ(member(command({{"command", "save_as"}, {"file", refused}}).body, "description"),
                  std::string("file name refused: ") + refused);
    EXPECT_EQ(member(command({{"command", "save_as"}}).body, "status"), "error");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("home/me/exercises"), {}), 1);

    // With a current file, "save_file" writes it (".conf" appended when missing).
    ASSERT_EQ(loadText("up.conf", readFile(fixture("system_sections.conf")), {{"filePath", "home/me/work"}}).body,
              kSuccess);
    Reply written = command({{"command", "save_file"}});
    EXPECT_EQ(written.status, 404);
    EXPECT_EQ(written.disposition, "");
    EXPECT_NE(readFile("home/me/work.conf").find("\t|filename| = |system sections.conf|\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists("work.conf"));
    // A file path with a control character loads nothing.
    Reply refusedLoad = loadText("up.conf", "|system|\n", {{"filePath", "/tmp/a\rb.conf"}});
    EXPECT_EQ(member(refusedLoad.body, "description"), "file path refused: /tmp/a\rb.conf");
    EXPECT_EQ(tuna_test::column(call("/tuna/list/Configuration.json").body, "name"),
              std::vector<std::string>{"system sections.conf"});

    // A write that fails is an error, and the configuration keeps its name.
    std::filesystem::create_directory("blocked.conf");
    Reply failed = command({{"command", "save_as"}, {"file", "blocked"}});
    EXPECT_EQ(member(failed.body, "status"), "error");
    EXPECT_EQ(tuna_test::column(call("/tuna/list/Configuration.json").body, "name"),
              std::vector<std::string>{"system sections.conf"});

    // "new_file" brings the template back, with the built-in icons.
    Reply fresh = command({{"command", "new_file"}});
    EXPECT_EQ(fresh.status, 404);
    EXPECT_EQ(tuna_test::column(call("/tuna/list/centralUnits.json").body, "name"), std::vector<std::string>{"CU-1"});
    EXPECT_EQ(tuna_test::column(call("/tuna/list/globalOverviewConferences.json").body, "name"),
              std::vector<std::string>{"Command net"});
    // ... and a malformed template keeps what there is.
    writeFile("default.conf", "|system|\n\t\t|x|\n");
    EXPECT_EQ(member(command({{"command", "new_file"}}).body, "description"),
              "cannot load default.conf: a line is indented more than one TAB deeper than the line before it (line 2). "
              "The configuration in use is kept.");
    EXPECT_EQ(tuna_test::column(call("/tuna/list/centralUnits.json").body, "name"), std::vector<std::string>{"CU-1"});
}

// A page learns from "file_state" whether a save that it did not send itself (the control centre's
// "save_as") wrote a file: only a file of the user's that was written counts.
TEST_F(ConfigFiles, FileStateCountsTheFilesWritten)
{
    auto state = [&](const std::string& file, int written) {
        return "{\n\t\"status\" : \"success\",\n\t\"file\" : \"" + file + "\",\n\t\"written\" : " +
               std::to_string(written) + "\n}\n";
    };
    const Params fileState = {{"command", "file_state"}};
    EXPECT_EQ(command(fileState).body, state("", 0));
    command({{"command", "save_file"}}); // a download offered: nothing written
    command({{"command", "save_as"}, {"file", "a|b"}});
    EXPECT_EQ(command(fileState).body, state("", 0));
    command({{"command", "save_as"}, {"file", "mine"}});
    EXPECT_EQ(command(fileState).body, state("mine.conf", 1));
    command({{"command", "save_file"}});
    EXPECT_EQ(command(fileState).body, state("mine.conf", 2));
    command({{"command", "save_file"}, {"saveAs", ""}});
    std::filesystem::create_directory("blocked.conf");
    command({{"command", "save_as"}, {"file", "blocked"}});
    EXPECT_EQ(command(fileState).body, state("mine.conf", 2));
    ASSERT_EQ(loadText("up.conf", readFile(fixture("system_sections.conf")), {{"filePath", "/x/\"up\".conf"}}).body,
              kSuccess);
    EXPECT_EQ(command(fileState).body, state("/x/\\\"up\\\".conf", 2));
}

TEST_F(ConfigFiles, ACentralUnitFromTheBrowserIsExportedWithItsNode)
{
    std::string unit = member(call("/tuna/insert/centralUnits.json",
                                   {{"name", "CU-9"}, {"ipAddress", "10.0.0.1"}, {"netMask", "255.255.255.0"},
                                    {"type", "BRELT-10TA"}, {"line1Master", "true"}})
                                  .body,
                              "id");
    call("/tuna/insert/services.json", {{"name", ""}, {"breltID", unit}, {"ktx", "true"}, {"nmeaGps", "true"},
                                        {"nmeaEndpoint", "GPS-9"}, {"overlord", "false"}, {"overlordPassword", "pw"}});
    call("/tuna/insert/centralUnits.json", {{"name", "CU-bare"}});
    std::string text = exported();
    EXPECT_NE(text.find("\t|CU-9|\n"
                        "\t\t|disable local echo with pabx| = |0|\n"
                        "\t\t|interfaces|\n"
                        "\t\t|line 0 master| = |1|\n"
                        "\t\t|network|\n"
                        "\t\t\t|endpoints|\n"
                        "\t\t\t|interfaces|\n"
                        "\t\t\t\t|br0|\n"
                        "\t\t\t\t\t|ip address| = |10.0.0.1/255.255.255.0|\n"
                        "\t\t\t|routing|\n"
                        "\t\t\t\t|ospf-router-id|\n"
                        "\t\t\t\t|ospf3-router-id|\n"
                        "\t\t\t|static routes|\n"
                        "\t\t|rundis|\n"
                        "\t\t\t|run|\n"
                        "\t\t|services|\n"
                        "\t\t\t|gps|\n"
                        "\t\t\t\t|daemon| = |gps|\n"
                        "\t\t\t\t|endpoint| = |GPS-9|\n"
                        "\t\t\t|morvex_radio_server|\n"
                        "\t\t\t\t|daemon| = |ktx|\n"
                        "\t\t|sip|\n"
                        "\t\t\t|accounts|\n"
                        "\t\t\t|trunks|\n"
                        "\t\t|type| = |BRELT-10TA|\n"),
              std::string::npos)
        << text;
    // A unit without address or services: "/" and an empty services node.
    EXPECT_NE(text.find("\t|CU-bare|\n"
                        "\t\t|disable local echo with pabx| = |0|\n"
                        "\t\t|interfaces|\n"
                        "\t\t|line 0 master| = |0|\n"
                        "\t\t|network|\n"
                        "\t\t\t|endpoints|\n"
                        "\t\t\t|interfaces|\n"
                        "\t\t\t\t|br0|\n"
                        "\t\t\t\t\t|ip address| = |/|\n"
                        "\t\t\t|routing|\n"
                        "\t\t\t\t|ospf-router-id|\n"
                        "\t\t\t\t|ospf3-router-id|\n"
                        "\t\t\t|static routes|\n"
                        "\t\t|rundis|\n"
                        "\t\t\t|run|\n"
                        "\t\t|services|\n"
                        "\t\t|sip|\n"),
              std::string::npos)
        << text;
    // The top level holds exactly the four sections.
    ConfigNode root;
    ASSERT_EQ(root.loadFromText(text), 0);
    std::vector<std::string> top;
    for (const auto& child : root.children) top.push_back(child->key);
    EXPECT_EQ(top, (std::vector<std::string>{"network", "nodes", "system", "users"}));
}

TEST_F(ConfigFiles, TheInterfaceListHoldsOnlyTheUnitsOwnEntries)
{
    call("/tuna/insert/centralUnits.json", {{"name", "B"}});
    auto lock = lock_store();
    tuna_export::ExportContext ex(store());
    store().unitInterfaces.insert({{"id1", "line 1"}, "Radio of another unit"});
    store().unitInterfaces.insert({{"id2", "line 1"}, "Radio 1"});
    store().unitInterfaces.insert({{"id2", "line 1"}, "Radio 2"});
    store().unitInterfaces.insert({{"id20", "port 2"}, "Not a prefix"});
    ConfigNode unit;
    tuna_export::writeInterfaces(ex, "id2", unit);
    ConfigNode* line = unit.get("interfaces", "line 1");
    ASSERT_NE(line, nullptr);
    ASSERT_EQ(line->children.size(), 2u);
    EXPECT_EQ(line->children[0]->key, "Radio 1");
    EXPECT_EQ(line->children[1]->key, "Radio 2");
    EXPECT_EQ(unit.get("interfaces")->children.size(), 1u);
}

// Mutated configuration files never crash the reader or the import, a load either succeeds or is an
// error, and whatever loads can be saved and loaded again.
TEST_F(ConfigFiles, MutatedFilesLoadOrFailCleanly)
{
    const std::vector<std::string> seeds = {readFile(kShippedDefault), readFile(fixture("system_sections.conf"))};
    const std::string alphabet = std::string("|\t\n\r =a1/.'", 11) + std::string(1, '\0');
    std::mt19937 random(4242);
    auto pick = [&](size_t n) { return n ? random() % n : 0; };
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int loaded = 0;
    for (int round = 0; round < 400 && std::chrono::steady_clock::now() < deadline; ++round) {
        std::string text = seeds[pick(seeds.size())];
        for (int edits = 1 + static_cast<int>(pick(6)); edits > 0; --edits) {
            size_t at = pick(text.size());
            switch (pick(5)) {
            case 0: text[at] = alphabet[pick(alphabet.size())]; break;
            case 1: text.erase(at, pick(40)); break;
            case 2: text.insert(at, 1, alphabet[pick(alphabet.size())]); break;
            case 3: { // a line repeated elsewhere
                size_t start = text.rfind('\n', at);
                start = start == std::string::npos ? 0 : start + 1;
                size_t end = text.find('\n', at);
                std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start + 1);
                text.insert(pick(text.size()), line);
                break;
            }
            default: text.insert(at, std::string(pick(3), '\t')); break;
            }
        }
        testing::internal::CaptureStderr();
        Reply reply = loadText("fuzz.conf", text);
        testing::internal::GetCapturedStderr();
        ASSERT_TRUE(tuna_test::isJson(reply.body)) << reply.body;
        std::string status = member(reply.body, "status");
        ASSERT_TRUE(status == "success" || status == "error") << reply.body;
        if (status != "success") continue;
        ++loaded;
        ASSERT_EQ(saveFile("again.conf"), 0) << text;
        ASSERT_EQ(loadText("again.conf", readFile("again.conf")).body, kSuccess) << text;
    }
    EXPECT_GT(loaded, 0);
}
