// Configuration files: lists of twelve entries keep their entries and their order through a load
// and a save, numbered lists (keys 0, 1, 2, ...) whichever order the file lists their keys in.
#include "round_trip_support.h"
#include "tree/config_node.h"

#include <algorithm>
#include <cstdio>

using namespace round_trip;

namespace {

constexpr int kEntries = 12;
constexpr int kFirstPpp = 12; // the export numbers a unit's own PPP links from ppp12

std::string two(int n)
{
    char text[8];
    snprintf(text, sizeof text, "%02d", n);
    return text;
}

// The keys 0 .. kEntries-1 as the writer lists them: sorted as text, so "10" before "2".
std::vector<int> textOrder()
{
    std::vector<std::string> keys;
    for (int k = 0; k < kEntries; ++k) keys.push_back(std::to_string(k));
    std::sort(keys.begin(), keys.end());
    std::vector<int> numbers;
    for (const auto& key : keys) numbers.push_back(std::stoi(key));
    return numbers;
}

// One central unit and its operators with twelve entries in every list that the export writes.
std::string generatedFixture()
{
    std::string t = "# config file Mon Jan  6 09:00:00 2014\n\n";
    t += "|network|\n\t|routes|\n";
    for (int k : textOrder())
        t += "\t\t|" + std::to_string(k) + "|\n\t\t\t|destination| = |ep" + two((k + 1) % kEntries) +
             "|\n\t\t\t|source| = |ep" + two(k) + "|\n";
    t += "|nodes|\n\t|Alpha|\n\t\t|network|\n\t\t\t|endpoints|\n";
    for (int k = 0; k < kEntries; ++k)
        t += "\t\t\t\t|ep" + two(k) + "|\n\t\t\t\t\t|source port| = |50" + two(k) + "|\n\t\t\t\t\t|type| = |udp|\n";
    t += "\t\t\t|interfaces|\n";
    for (int k = 0; k < kEntries; ++k)
        t += "\t\t\t\t|ppp" + std::to_string(kFirstPpp + k) + "|\n\t\t\t\t\t|endpoint| = |@ppp_link" + two(k) +
             "|\n\t\t\t\t\t|local ip| = |172.16." + std::to_string(k) + ".1|\n";
    t += "\t\t\t|static routes|\n";
    for (int k : textOrder()) {
        t += "\t\t\t\t|" + std::to_string(k) + "|\n\t\t\t\t\t|metric| = |" + std::to_string(k + 1) +
             "|\n\t\t\t\t\t|route target| = |10.0." + std::to_string(k) + ".0/255.255.255.0|\n";
        if (k % 2)
            t += "\t\t\t\t\t|target device| = |ppp" + std::to_string(kFirstPpp + k) + "|\n";
        else
            t += "\t\t\t\t\t|target ip| = |192.168.1." + std::to_string(k + 1) + "|\n";
    }
    // The run list keeps the file's order: here the reverse of the names' order.
    t += "\t\t|rundis|\n\t\t\t|run|\n";
    for (int k = kEntries - 1; k >= 0; --k)
        t += "\t\t\t\t|prog" + two(k) + "|\n\t\t\t\t\t|name| = |prog" + two(k) + "|\n";
    t += "\t\t|sip|\n\t\t\t|accounts|\n";
    for (int k = 0; k < kEntries; ++k) t += "\t\t\t\t|20" + two(k) + "|\n\t\t\t\t\t|number| = |20" + two(k) + "|\n";
    t += "\t\t|type| = |BRELT-10TA|\n";

    t += "|system|\n\t|conferences|\n";
    for (int k = 0; k < kEntries; ++k) t += "\t\t|conf" + two(k) + "|\n\t\t\t|type| = |sip|\n";
    t += "\t|events|\n";
    for (int k = 0; k < kEntries; ++k) t += "\t\t|event" + two(k) + "|\n";
    t += "\t|filename| = |lists.conf|\n\t|global phone book|\n";
    for (int k = 0; k < kEntries; ++k)
        t += "\t\t|contact" + two(k) + "|\n\t\t\t|telephone number| = |55" + two(k) + "|\n\t\t\t|type| = |phone|\n";

    // One operator with full lists; the others are what it monitors and dials.
    t += "|users|\n\t|Anna|\n\t\t|ffs menu|\n";
    for (int k = 1; k <= 16; ++k)
        t += "\t\t\t|position " + std::to_string(k) + "|\n\t\t\t\t|monitors|\n\t\t\t\t|user| = |u" +
             two(k % kEntries) + "|\n";
    t += "\t\t|monitors|\n";
    for (int k = 0; k < kEntries; ++k) t += "\t\t\t|u" + two(k) + "|\n\t\t\t\t|type| = |monitor user|\n";
    t += "\t\t|private phone book|\n";
    for (int k = 0; k < kEntries; ++k)
        t += "\t\t\t|own" + two(k) + "|\n\t\t\t\t|telephone number| = |66" + two(k) + "|\n\t\t\t\t|type| = |phone|\n";
    t += "\t\t|settings menu|\n";
    for (int k = kEntries - 1; k >= 0; --k) t += "\t\t\t|set " + std::string(1, static_cast<char>('a' + k)) + "|\n";
    for (int k = 0; k < kEntries; ++k) t += "\t|u" + two(k) + "|\n";
    return t;
}

std::vector<std::string> keysBelow(const ConfigNode& root, std::initializer_list<std::string_view> path)
{
    std::vector<std::string> keys;
    const ConfigNode* node = root.getPath(path.begin(), path.size());
    if (node)
        for (const auto& child : node->children) keys.push_back(child->key);
    return keys;
}

std::string valueAt(const ConfigNode& root, std::initializer_list<std::string_view> path)
{
    const ConfigNode* node = root.getPath(path.begin(), path.size());
    return node ? node->value : "<missing>";
}

class ConfigLists : public WorkingDirectory {};

} // namespace

TEST_F(ConfigLists, TwelveEntriesInEveryListRoundTripInTheirOrder)
{
    writeFile("lists.conf", generatedFixture());
    Result r = runRoundTrip("lists.conf");
    EXPECT_EQ(withoutDate(r.s1), withoutDate(r.s2));
    ConfigNode s1;
    ASSERT_EQ(s1.loadFromText(r.s1), ConfigNode::kRead);

    // Numbered lists: entry k is still the fixture's entry k.
    std::vector<std::string> numbers;
    for (int k : textOrder()) numbers.push_back(std::to_string(k));
    ASSERT_EQ(keysBelow(s1, {"nodes", "Alpha", "network", "static routes"}), numbers);
    ASSERT_EQ(keysBelow(s1, {"network", "routes"}), numbers);
    for (int k = 0; k < kEntries; ++k) {
        SCOPED_TRACE(k);
        const std::string key = std::to_string(k);
        EXPECT_EQ(valueAt(s1, {"nodes", "Alpha", "network", "static routes", key, "route target"}),
                  "10.0." + key + ".0/255.255.255.0");
        EXPECT_EQ(valueAt(s1, {"nodes", "Alpha", "network", "static routes", key, "metric"}), std::to_string(k + 1));
        if (k % 2) {
            EXPECT_EQ(valueAt(s1, {"nodes", "Alpha", "network", "static routes", key, "target device"}),
                      "ppp" + std::to_string(kFirstPpp + k));
        }
        EXPECT_EQ(valueAt(s1, {"network", "routes", key, "source"}), "ep" + two(k));
        EXPECT_EQ(valueAt(s1, {"network", "routes", key, "destination"}), "ep" + two((k + 1) % kEntries));
    }

    // Lists in their own order, and lists sorted by name: every entry is there, in that order.
    auto names = [](const std::string& prefix, bool reverse = false) {
        std::vector<std::string> out;
        for (int k = 0; k < kEntries; ++k) out.push_back(prefix + two(reverse ? kEntries - 1 - k : k));
        return out;
    };
    EXPECT_EQ(keysBelow(s1, {"nodes", "Alpha", "rundis", "run"}), names("prog", true));
    std::vector<std::string> ppp;
    for (int k = 0; k < kEntries; ++k) ppp.push_back("ppp" + std::to_string(kFirstPpp + k));
    std::vector<std::string> interfaces = keysBelow(s1, {"nodes", "Alpha", "network", "interfaces"});
    interfaces.erase(std::remove(interfaces.begin(), interfaces.end(), "br0"), interfaces.end());
    EXPECT_EQ(interfaces, ppp);
    EXPECT_EQ(keysBelow(s1, {"nodes", "Alpha", "network", "endpoints"}), names("ep"));
    EXPECT_EQ(keysBelow(s1, {"nodes", "Alpha", "sip", "accounts"}), names("20"));
    EXPECT_EQ(keysBelow(s1, {"system", "conferences"}), names("conf"));
    EXPECT_EQ(keysBelow(s1, {"system", "events"}), names("event"));
    EXPECT_EQ(keysBelow(s1, {"system", "global phone book"}), names("contact"));
    EXPECT_EQ(keysBelow(s1, {"users", "Anna", "monitors"}), names("u"));
    EXPECT_EQ(keysBelow(s1, {"users", "Anna", "private phone book"}), names("own"));
    std::vector<std::string> menu, positions;
    for (int k = kEntries - 1; k >= 0; --k) menu.push_back("set " + std::string(1, static_cast<char>('a' + k)));
    EXPECT_EQ(keysBelow(s1, {"users", "Anna", "settings menu"}), menu);
    for (int k = 1; k <= 16; ++k) positions.push_back("position " + std::to_string(k));
    ASSERT_EQ(keysBelow(s1, {"users", "Anna", "ffs menu"}), positions);
    for (int k = 1; k <= 16; ++k)
        EXPECT_EQ(valueAt(s1, {"users", "Anna", "ffs menu", "position " + std::to_string(k), "user"}),
                  "u" + two(k % kEntries));
}
