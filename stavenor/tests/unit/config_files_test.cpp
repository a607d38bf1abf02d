// Configuration files: start-up, load and save through "configurationFile.json", and the round
// trip of the system-wide sections and the central-unit nodes.
#include "handlers/tuna/export/export.h"
#include "handlers/tuna/import/import.h"

#include "round_trip_support.h"
#include "tuna_test_support.h"

#include <sys/stat.h>

#include <filesystem>
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

TEST_F(ConfigFiles, RoundTripOfTheShippedDefault) { expectRoundTrip(kShippedDefault); }

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
