// The import's passes on small trees: names per kind, the maps of one import, the system-wide
// sections' defaults, and the languages' directories.
#include "handlers/tuna/import/import.h"

#include "round_trip_support.h"

#include <filesystem>

using namespace round_trip;
using namespace tuna_import;

namespace {

class ConfigImport : public WorkingDirectory {
protected:
    // Imports the text into a fresh database, as a load does.
    std::string import(const std::string& text)
    {
        ConfigNode root;
        EXPECT_EQ(root.loadFromText(text), 0);
        auto lock = lock_store();
        store().resetConfiguration();
        return importTree(store(), root);
    }

    std::vector<RowMap> rows(const std::string& table) { return tableRows(store(), table); }
};

} // namespace

TEST_F(ConfigImport, NamesArePerKindAndLookupsAddNothing)
{
    ConfigNode root;
    ASSERT_EQ(root.loadFromText("|nodes|\n\t|X|\n|system|\n\t|conferences|\n\t\t|X|\n\t|events|\n\t\t|E|\n"
                                "\t|devices|\n\t\t|X|\n\t\t\t|type| = |transceiver|\n"
                                "\t\t|T|\n\t\t\t|type| = |MVQ-2TS|\n\t\t\t|line 1|\n\t\t\t\t|name| = |L1|\n"
                                "\t\t\t|line 2|\n\t\t\t\t|name|\n"
                                "\t\t|N|\n\t\t\t|line 1|\n\t\t\t\t|name| = |L9|\n"
                                "|users|\n\t|X|\n\t|X|\n"),
              0);
    auto lock = lock_store();
    ImportContext im(store());
    readIds(im, root);
    std::set<std::string> ids;
    for (IdKind kind : {IdKind::Unit, IdKind::Conference, IdKind::Radio, IdKind::Operator}) {
        std::string id = im.idOf(kind, "X");
        EXPECT_FALSE(id.empty());
        ids.insert(id);
    }
    EXPECT_EQ(ids.size(), 4u); // four objects named X, four ids
    EXPECT_FALSE(im.idOf(IdKind::Telephone, "T").empty());
    EXPECT_FALSE(im.idOf(IdKind::PhoneLine, "L1").empty());
    EXPECT_FALSE(im.idOf(IdKind::PhoneLine, "").empty()); // a line whose name is empty
    EXPECT_TRUE(im.idOf(IdKind::PhoneLine, "L9").empty()); // a device without a model has no lines here
    EXPECT_TRUE(im.idOf(IdKind::Event, "X").empty());
    EXPECT_EQ(im.idOfAny("X", {IdKind::Event, IdKind::Operator}), im.idOf(IdKind::Operator, "X"));
    // The export writes names for every id.
    for (const std::string& id : ids) EXPECT_EQ(store().namesById.at(id), "X");

    // A miss leaves no trace, in either map.
    size_t before = store().idsByName.size();
    EXPECT_EQ(im.idOf(IdKind::Radio, "nothing"), "");
    EXPECT_EQ(im.idOfAny("nothing", {IdKind::Radio, IdKind::Unit}), "");
    EXPECT_EQ(im.idOf(IdKind::Radio, "nothing"), "");
    EXPECT_EQ(store().idsByName.size(), before);
    EXPECT_EQ(store().idsByName.count("nothing"), 0u);

    // A name met twice in one kind keeps its one id; objectId finds what the pass made.
    EXPECT_EQ(im.objectId(IdKind::Operator, "X"), im.idOf(IdKind::Operator, "X"));
    std::string fresh = im.objectId(IdKind::Operator, "New");
    EXPECT_EQ(im.idOf(IdKind::Operator, "New"), fresh);
    EXPECT_EQ(store().namesById.at(fresh), "New");
}

TEST_F(ConfigImport, EveryImportStartsWithEmptyMaps)
{
    import("|nodes|\n\t|Old|\n\t\t|services|\n|system|\n\t|events|\n\t\t|E|\n");
    {
        auto lock = lock_store();
        EXPECT_EQ(store().idsByName.count("Old"), 1u);
    }
    import("|nodes|\n\t|New|\n");
    auto lock = lock_store();
    EXPECT_EQ(store().idsByName.count("Old"), 0u);
    EXPECT_EQ(store().idsByName.count("E"), 0u);
    EXPECT_EQ(store().idsByName.count("New"), 1u);
    for (const auto& [id, name] : store().namesById) EXPECT_EQ(name, "New");
}

TEST_F(ConfigImport, SystemSectionsFillTheirDefaults)
{
    std::string result = import("|system|\n\t|filename| = |a.conf|\n\t|broadcast timeout| = |30|\n"
                                "\t|transceivers|\n\t\t|NoType|\n\t\t\t|side tone| = |true|\n"
                                "\t\t|EmptyType|\n\t\t\t|connection type|\n\t\t\t|capabilities|\n"
                                "\t\t\t\t|morvex ascii commands| = |anything|\n"
                                "\t|microphones|\n\t\t|H1|\n\t\t\t|event| = |E|\n\t\t|H2|\n\t\t\t|bias| = |0|\n"
                                "\t\t\t|event| = |Nobody|\n"
                                "\t|events|\n\t\t|E|\n\t\t\t|repetitions| = |3|\n"
                                "\t|global phone book|\n\t\t|NoType|\n\t\t\t|telephone number| = |1|\n"
                                "\t\t|EmptyType|\n\t\t\t|type|\n");
    EXPECT_EQ(result, "a.conf");
    auto settings = rows("cubSettings");
    ASSERT_EQ(settings.size(), 1u);
    EXPECT_EQ(settings[0]["filename"], "a.conf");
    EXPECT_EQ(settings[0]["timeout"], "30");
    EXPECT_EQ(settings[0]["broadcastTimeout"], "true");

    auto models = rows("globalOverviewRadioModels");
    ASSERT_EQ(models.size(), 2u);
    EXPECT_EQ(models[0]["type"], "analog");
    EXPECT_EQ(models[0]["sideTone"], "false"); // only "1" counts
    EXPECT_EQ(models[0]["capabilityMorvexAsciiCommands"], "");
    EXPECT_EQ(models[1]["type"], "");
    EXPECT_EQ(models[1]["capabilityMorvexAsciiCommands"], "true");

    auto headsets = rows("globalOverviewHeadsets");
    auto events = rows("globalEvents");
    ASSERT_EQ(headsets.size(), 2u);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(headsets[0]["biasingVoltage"], "true");
    EXPECT_EQ(headsets[0]["eventId"], events[0]["id"]);
    EXPECT_EQ(headsets[1]["biasingVoltage"], "false");
    EXPECT_EQ(headsets[1]["eventId"], "");
    EXPECT_EQ(events[0]["repeats"], "3");

    auto book = rows("globalOverviewPhoneBook");
    ASSERT_EQ(book.size(), 1u);
    EXPECT_EQ(book[0]["name"], "EmptyType");

    // Without "system": no settings row and an empty result.
    EXPECT_EQ(import("|nodes|\n"), "");
    EXPECT_TRUE(rows("cubSettings").empty());
}

TEST_F(ConfigImport, LanguagesMakeTheirDirectoriesAndNothingOutside)
{
    std::filesystem::create_directories("announcements/Existing");
    import("|system|\n\t|languages|\n\t\t|English|\n\t\t|Existing|\n\t\t|../escaped|\n\t\t|a/b|\n\t\t|..|\n");
    EXPECT_TRUE(std::filesystem::is_directory("announcements/English"));
    EXPECT_FALSE(std::filesystem::exists("escaped"));
    EXPECT_FALSE(std::filesystem::exists("announcements/a"));
    auto used = rows("languagesUsed");
    ASSERT_EQ(used.size(), 5u); // every language keeps its row
    std::vector<std::string> overview;
    for (auto& row : rows("globalOverviewLanguages")) overview.push_back(row["name"]);
    std::sort(overview.begin(), overview.end());
    // "Existing" from the repository's scan, "English" made now; the refused names have none.
    EXPECT_EQ(overview, (std::vector<std::string>{"English", "Existing"}));
}

TEST_F(ConfigImport, UnitNodeRecords)
{
    import("|nodes|\n"
           "\t|U1|\n\t\t|line 0 master| = |true|\n\t\t|network|\n\t\t\t|interfaces|\n\t\t\t\t|br0|\n"
           "\t\t\t\t\t|ip address| = |10.1.2.3/24|\n\t\t\t|routing|\n\t\t\t\t|ospf-router-id| = |1.1.1.1|\n"
           "\t\t|services|\n\t\t\t|gps|\n\t\t\t\t|endpoint| = |G1|\n\t\t\t|gps|\n\t\t\t|unknown service|\n"
           "\t|U2|\n\t\t|services|\n");
    auto units = rows("centralUnits");
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[0]["ipAddress"], "10.1.2.3");
    EXPECT_EQ(units[0]["netMask"], "24");
    EXPECT_EQ(units[0]["line1Master"], "false");
    EXPECT_EQ(units[0]["ospf2RouterId"], "1.1.1.1");
    EXPECT_EQ(units[1]["ipAddress"], "");
    auto services = rows("services");
    ASSERT_EQ(services.size(), 2u);
    EXPECT_EQ(services[0]["breltID"], units[0]["id"]);
    EXPECT_EQ(services[0]["nmeaGps"], "true");
    EXPECT_EQ(services[1]["nmeaGps"], "false");
    for (const char* flag : {"distributedDis", "ktx", "ospf", "ospf3", "rip", "ripng", "bgp", "overlord"})
        EXPECT_EQ(services[1][flag], "false") << flag;
    auto endpoints = rows("endpoint");
    ASSERT_EQ(endpoints.size(), 2u); // the second gps repeats the first name
    EXPECT_EQ(endpoints[0]["name"], "G1");
    EXPECT_EQ(endpoints[1]["name"], "G1");
    EXPECT_EQ(endpoints[0]["type"], "System");
    EXPECT_EQ(endpoints[0]["parentType"], "nmeaEndpoint");
    EXPECT_EQ(endpoints[0]["parentId"], units[0]["id"]);
}

TEST(ConfigImportKeys, NumbersAreRangeChecked)
{
    ConfigNode node;
    node.addChild("count", "12");
    node.addChild("huge", "99999999999");
    node.addChild("negative", "-1");
    node.addChild("word", "x1");
    struct Case {
        const char* key;
        int min, max;
        bool ok;
        int value;
    } cases[] = {
        {"count", 0, 20, true, 12}, {"count", 0, 11, false, 7},   {"huge", 0, 1000, false, 7},
        {"negative", 0, 9, false, 7}, {"negative", -5, 9, true, -1}, {"word", 0, 9, false, 7},
        {"missing", 0, 9, false, 7},
    };
    for (const auto& c : cases) {
        int out = 7;
        EXPECT_EQ(readInt(node, c.key, c.min, c.max, out), c.ok) << c.key;
        EXPECT_EQ(out, c.value) << c.key;
    }
}
