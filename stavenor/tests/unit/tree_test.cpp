#include "tree/config_node.h"
#include "../tree_shape.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void write_file(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// The text without its header line (which holds the date).
std::string body_of(const std::string& text)
{
    size_t cut = text.find('\n');
    return cut == std::string::npos ? std::string() : text.substr(cut + 1);
}

class TempDir {
public:
    TempDir()
    {
        char name[] = "/tmp/tree-test-XXXXXX";
        path = mkdtemp(name);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    std::string path;
};

} // namespace

TEST(ConfigTreeText, FileRoundTripIsByteForByteButTheDate)
{
    ConfigNode root;
    int line = -1;
    ASSERT_EQ(root.loadFromFile(TEST_DATA_DIR "/tree/sample.conf", &line), ConfigNode::kRead);
    EXPECT_EQ(line, 0);
    EXPECT_EQ(root.get("system", "title")->value, " spaces = and=signs ");
    EXPECT_EQ(root.get("nodes", "unit 1", "services", "sip")->value, "1");

    TempDir dir;
    ASSERT_EQ(root.saveToFile(dir / "out.conf"), ConfigNode::kSaved);
    std::string written = read_file(dir / "out.conf");
    EXPECT_EQ(body_of(written), body_of(read_file(TEST_DATA_DIR "/tree/sample.conf")));
    EXPECT_EQ(written.rfind("# config file ", 0), 0u);
    // ctime form: 24 characters and its own line feed, then the empty line.
    EXPECT_EQ(written.find('\n'), 14u + 24u);
    EXPECT_EQ(written.substr(39, 1), "\n");
    EXPECT_FALSE(fs::exists(dir / "out.conf.tmp")); // no temporary twin is left behind
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);
}

TEST(ConfigTreeText, WriterFormAndOrder)
{
    ConfigNode root;
    ConfigNode* system = root.addChild("system");
    system->addChild("organization");
    system->addChild("filename", "demo");
    root.addChild("net");
    root.addChild("Zeta");
    root.addChild("network");
    root.addChild(" blank");
    root.addChild("");
    ConfigNode* list = root.addChild("list");
    list->keepOrder = true;
    list->addChild("b", "first");
    list->addChild("a", "second");
    ConfigNode* twins = root.addChild("twins");
    twins->addChild("k", "1");
    twins->addChild("a");
    twins->addChild("k", "2");

    EXPECT_EQ(body_of(root.saveToText()), "\n"
                                          "||\n"
                                          "| blank|\n"
                                          "|Zeta|\n"
                                          "|list|\n"
                                          "\t|b| = |first|\n"
                                          "\t|a| = |second|\n"
                                          "|net|\n"
                                          "|network|\n"
                                          "|system|\n"
                                          "\t|filename| = |demo|\n"
                                          "\t|organization|\n"
                                          "|twins|\n"
                                          "\t|a|\n"
                                          "\t|k| = |1|\n"
                                          "\t|k| = |2|\n");
    // The sort stays in the tree.
    EXPECT_EQ(root.children.front()->key, "");

    ConfigNode back;
    ASSERT_EQ(back.loadFromText(root.saveToText()), ConfigNode::kRead);
    EXPECT_EQ(shape(back), shape(root));
}

TEST(ConfigTreeText, LinesOfAnyLengthRoundTrip)
{
    ConfigNode root;
    std::string longValue(100 * 1024, 'v');
    std::string longKey(300, 'k');
    root.makePath("system", longKey)->value = longValue;
    root.makePath("system", "after")->value = "x";
    TempDir dir;
    ASSERT_EQ(root.saveToFile(dir / "long.conf"), ConfigNode::kSaved);

    ConfigNode back;
    ASSERT_EQ(back.loadFromFile(dir / "long.conf"), ConfigNode::kRead);
    ASSERT_NE(back.get("system", longKey), nullptr);
    EXPECT_EQ(back.get("system", longKey)->value, longValue);
    EXPECT_EQ(back.get("system", "after")->value, "x");
}

struct ReadCase {
    const char* name;
    std::string text;
    int result;
    int errorLine;
    std::string shape; // of what was read, errors included
};

// Keeps the test list readable: a case prints as its name, not as its bytes.
void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class ConfigTreeRead : public testing::TestWithParam<ReadCase> {};

TEST_P(ConfigTreeRead, Case)
{
    const ReadCase& c = GetParam();
    ConfigNode root;
    int line = -1;
    testing::internal::CaptureStderr();
    EXPECT_EQ(root.loadFromText(c.text, &line), c.result);
    std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_EQ(line, c.errorLine);
    EXPECT_EQ(shape(root), c.shape);
    if (c.result == ConfigNode::kDepthJump)
        EXPECT_EQ(messages, "Line " + std::to_string(c.errorLine) + " : error -4\n");
    else if (c.result != ConfigNode::kRead)
        EXPECT_EQ(messages, "Error (" + std::to_string(c.result) + ") reading configuration at line " +
                                std::to_string(c.errorLine) + "!\n");
    else
        EXPECT_EQ(messages, "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConfigTreeRead,
    testing::Values(
        ReadCase{"Empty", "", 0, 0, ""},
        ReadCase{"HeaderOnly", "# config file Thu Jan  1 00:00:00 1970\n\n", 0, 0, ""},
        ReadCase{"ByteOrderMark", "\xEF\xBB\xBF|a| = |1|\n", 0, 0, "0[a]=[1]\n"},
        ReadCase{"ByteOrderMarkBeforeHeader", "\xEF\xBB\xBF# config file x\n\n|a|\n", 0, 0, "0[a]=[]\n"},
        ReadCase{"EmptyValueBars", "|a| = ||\n", 0, 0, "0[a]=[]\n"},
        ReadCase{"EmptyKey", "||\n", 0, 0, "0[]=[]\n"},
        ReadCase{"CrLf", "# config file x\r\n\r\n|a| = |1|\r\n\t|b|\r\n", 0, 0, "0[a]=[1]\n1[b]=[]\n"},
        ReadCase{"NoFinalLineFeed", "|a|\n\t|b| = |2|", 0, 0, "0[a]=[]\n1[b]=[2]\n"},
        ReadCase{"SkippedLines", "|a|\n\tno bar here\n # |x|\n\n\t|b|\n", 0, 0, "0[a]=[]\n1[b]=[]\n"},
        ReadCase{"BackThreeLevels", "|a|\n\t|b|\n\t\t|c|\n\t\t\t|d|\n|e|\n", 0, 0,
                 "0[a]=[]\n1[b]=[]\n2[c]=[]\n3[d]=[]\n0[e]=[]\n"},
        ReadCase{"TextAroundBarsIgnored", "|a|junk|v|tail|\n", 0, 0, "0[a]=[v]\n"},
        ReadCase{"TabsInsideValue", "|a| = |\tx\t|\n", 0, 0, "0[a]=[\tx\t]\n"},
        ReadCase{"LoneBar", "|a|\n|\n|b|\n", -2, 2, "0[a]=[]\n"},
        ReadCase{"KeyUnclosed", "|a|\n\t|key\n", -2, 2, "0[a]=[]\n"},
        ReadCase{"ValueUnclosed", "# h\n\n|a| = |open\n", -3, 3, ""},
        ReadCase{"DepthJump", "|a|\n\t\t|c|\n", -4, 2, "0[a]=[]\n"},
        ReadCase{"FirstNodeTooDeep", "# h\n\t|a|\n|b|\n", -4, 2, ""},
        ReadCase{"NulInsideLine", std::string("|a\0b| = |v|\n", 12), 0, 0, std::string("0[a\0b]=[v]\n", 11)}),
    [](const testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

TEST(ConfigTreeRead, MissingFileIsCannotRead)
{
    ConfigNode root;
    int line = -1;
    EXPECT_EQ(root.loadFromFile("/nonexistent/dir/x.conf", &line), ConfigNode::kCannotRead);
    EXPECT_EQ(line, 0);
}

TEST(ConfigTreeText, UnwritableTextsAreRefused)
{
    struct Case {
        std::string text;
        bool writable;
    };
    for (const Case& c : {Case{"plain = text\twith tab", true}, Case{"", true}, Case{"\xC3\xA9", true},
                          Case{"a|b", false}, Case{"a\rb", false}, Case{"a\nb", false},
                          Case{std::string("a\0b", 3), false}}) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ConfigNode::isWritableText(c.text), c.writable);

        for (bool inKey : {false, true}) {
            ConfigNode root;
            ConfigNode* parent = root.addChild("system");
            if (inKey)
                parent->addChild(c.text, "v");
            else
                parent->addChild("k", c.text);
            TempDir dir;
            write_file(dir / "old.conf", "old");
            EXPECT_EQ(root.saveToFile(dir / "old.conf"), c.writable ? ConfigNode::kSaved : ConfigNode::kUnwritable);
            if (!c.writable) {
                EXPECT_EQ(read_file(dir / "old.conf"), "old");
            }
            char buffer[256];
            char* cursor = buffer;
            int32_t room = sizeof buffer;
            EXPECT_EQ(root.saveToBuffer(cursor, room), c.writable ? ConfigNode::kSaved : ConfigNode::kUnwritable);
        }
    }
}

TEST(ConfigTreeText, FailedSaveKeepsTheOldFile)
{
    TempDir dir;
    EXPECT_EQ(ConfigNode().saveToFile(dir / "missing/x.conf"), ConfigNode::kCannotCreate);

    // A file size limit makes the write itself fail part-way.
    write_file(dir / "saved.conf", "previous");
    ConfigNode root;
    for (int i = 0; i < 2000; ++i) root.addChild("key" + std::to_string(i), std::string(100, 'v'));
    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int result = root.saveToFile(dir / "saved.conf");
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(result, ConfigNode::kWriteFailed);
    EXPECT_EQ(read_file(dir / "saved.conf"), "previous");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);
}

TEST(ConfigTreeText, ASaveRemovesOnlyTheTemporariesThatAKilledSaveOfItsFileLeft)
{
    TempDir dir;
    const std::string cut = "# config file Thu Dec 10 18:00:00 2026\n\n|system|\n\t|na";
    // (file beside the target, what it holds, whether the save removes it)
    const std::tuple<std::string, std::string, bool> cases[] = {
        {"big500.conf.HotjvP", cut, true},
        {"big500.conf.a1B2c3", "", true}, // made, killed before a byte was written
        {"big500.conf.backup", cut, false},  // a word, not mkstemp's letters
        {"big500.conf.202401", cut, false},
        {"big500.conf.HotjvP7", cut, false},
        {"big500.conf.Hot-vP", cut, false},
        {"big500.conf.QzX9ab", "the user's own notes", false},
        {"other.conf.HotjvP", cut, false},
        {"big500.confXHotjvP", cut, false},
    };
    for (const auto& [name, text, _] : cases) write_file(dir / name, text);
    fs::create_directory(dir / "big500.conf.Dir1ab");
    fs::create_symlink(dir / "other.conf.HotjvP", dir / "big500.conf.Lnk1ab");

    ConfigNode root;
    root.addChild("name", "big");
    ASSERT_EQ(root.saveToFile(dir / "big500.conf"), ConfigNode::kSaved);
    for (const auto& [name, text, removed] : cases) EXPECT_EQ(fs::exists(dir / name), !removed) << name;
    EXPECT_TRUE(fs::is_directory(dir / "big500.conf.Dir1ab"));
    EXPECT_TRUE(fs::is_symlink(dir / "big500.conf.Lnk1ab"));
    EXPECT_EQ(body_of(read_file(dir / "big500.conf")), "\n|name| = |big|\n");
}

TEST(ConfigTreeText, BufferWriterStaysInsideItsRoom)
{
    ConfigNode root;
    root.makePath("system", "filename")->value = "demo";
    const std::string full = root.saveToText();

    for (int32_t size : {0, 10, 40, static_cast<int32_t>(full.size()), static_cast<int32_t>(full.size()) + 1, 500}) {
        SCOPED_TRACE(size);
        std::vector<char> memory(static_cast<size_t>(size) + 16, '#');
        char* cursor = memory.data();
        int32_t room = size;
        int result = root.saveToBuffer(cursor, room);
        bool fits = static_cast<size_t>(size) > full.size();
        EXPECT_EQ(result, fits ? ConfigNode::kSaved : ConfigNode::kWriteFailed);
        for (size_t i = static_cast<size_t>(size); i < memory.size(); ++i) ASSERT_EQ(memory[i], '#');
        EXPECT_EQ(cursor - memory.data() + (size > 0 ? 1 : 0) + room, size);
        if (fits) {
            EXPECT_EQ(body_of(std::string(memory.data())), body_of(full));
        }
    }
}

TEST(ConfigTreeNodes, LookupAndBuilding)
{
    ConfigNode root;
    EXPECT_EQ(root.get("system", "icons"), nullptr);
    EXPECT_TRUE(root.children.empty());
    ConfigNode* icons = root.makePath("system", "icons");
    EXPECT_EQ(root.makePath("system", "icons"), icons);
    EXPECT_EQ(root.get("system", "icons"), icons);
    EXPECT_EQ(root.children.size(), 1u);

    ConfigNode* first = root.addChild("dup", "1");
    root.addChild("dup", "2");
    EXPECT_EQ(root.findChild("dup"), first);
    EXPECT_EQ(root.get("dup"), first);
    root.addValue("empty", "");
    EXPECT_EQ(root.findChild("empty"), nullptr);
    EXPECT_EQ(root.addInt("n", -42)->value, "-42");
    EXPECT_EQ(root.addBool("b", true)->value, "1");

    std::string text;
    EXPECT_FALSE(root.getString("system", text)); // empty value
    EXPECT_TRUE(root.getString("dup", text));
    EXPECT_EQ(text, "1");

    struct IntCase {
        const char* value;
        bool found;
        int number;
    };
    for (const IntCase& c : {IntCase{"12abc", true, 12}, IntCase{"  7", true, 7}, IntCase{"-3", true, -3},
                             IntCase{"+5", true, 5}, IntCase{"abc", false, 0}, IntCase{"   ", false, 0},
                             IntCase{"", false, 0}, IntCase{"2147483647", true, 2147483647},
                             IntCase{"-2147483648", true, -2147483647 - 1}, IntCase{"2147483648", false, 0},
                             IntCase{"99999999999999999999", false, 0}}) {
        SCOPED_TRACE(c.value);
        ConfigNode node;
        node.addChild("k", c.value);
        int number = 0;
        EXPECT_EQ(node.getInt("k", number), c.found);
        if (c.found) {
            EXPECT_EQ(number, c.number);
        }
    }
    int number = 0;
    EXPECT_FALSE(root.getInt("missing", number));
    bool flag = false;
    root.addChild("zero", "0");
    EXPECT_TRUE(root.getBool("zero", flag));
    EXPECT_FALSE(flag);

    root.clear();
    EXPECT_TRUE(root.children.empty());
}

// Random texts never crash the reader, and whatever it reads writes back to the same shape.
TEST(ConfigTreeFuzz, RandomInputsNeverCrash)
{
    std::mt19937 random(12345);
    const std::string alphabet = std::string("||||\t\t\t\n\n\r =ab\xEF\xBB\xBF", 17) + std::string(1, '\0');
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (int round = 0; round < 3000 && std::chrono::steady_clock::now() < deadline; ++round) {
        std::string text;
        size_t length = random() % 400;
        for (size_t i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
        ConfigNode root;
        testing::internal::CaptureStderr();
        int result = root.loadFromText(text);
        testing::internal::GetCapturedStderr();
        ASSERT_TRUE(result == 0 || result == -2 || result == -3 || result == -4) << result;

        // What was read holds no bar or LF; CR and NUL may be read, and are then refused by the writer.
        int saved = 0;
        std::string written = root.saveToText(&saved);
        if (saved != ConfigNode::kSaved) {
            ASSERT_EQ(saved, ConfigNode::kUnwritable);
            continue;
        }
        ConfigNode back;
        ASSERT_EQ(back.loadFromText(written), ConfigNode::kRead) << written;
        ASSERT_EQ(shape(back), shape(root));
    }
}

// Random trees of writable texts come back from their text with the same shape.
TEST(ConfigTreeFuzz, RandomTreesRoundTrip)
{
    std::mt19937 random(777);
    const std::string alphabet = "ab =\t#\xC3\xA9-";
    auto text = [&] {
        std::string out;
        for (size_t i = random() % 6; i > 0; --i) out += alphabet[random() % alphabet.size()];
        return out;
    };
    for (int round = 0; round < 300; ++round) {
        ConfigNode root;
        std::vector<ConfigNode*> nodes{&root};
        for (int i = random() % 60; i > 0; --i) {
            ConfigNode* parent = nodes[random() % nodes.size()];
            nodes.push_back(parent->addChild(text(), text()));
        }
        std::string first = root.saveToText(); // sorts the tree
        ConfigNode back;
        ASSERT_EQ(back.loadFromText(first), ConfigNode::kRead);
        ASSERT_EQ(shape(back), shape(root));
        ASSERT_EQ(body_of(back.saveToText()), body_of(first));
    }
}
