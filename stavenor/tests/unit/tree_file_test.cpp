#include "tree/tree_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

class TreeFileRead : public ::testing::Test {
protected:
    std::string path = (std::filesystem::temp_directory_path() /
                        ("tree_file_" + std::to_string(::getpid()) + ".conf")).string();
    TreeFile tree;

    void TearDown() override { std::filesystem::remove(path); }
    int load(const std::string& text)
    {
        std::ofstream(path, std::ios::binary) << text;
        return tree_load(path, tree);
    }
};

TEST_F(TreeFileRead, SectionsValuesAndEnds)
{
    ASSERT_EQ(load("# h\n|s|\n\t|v| = |x|\n"), 1);
    ASSERT_EQ(tree.nodes.size(), 2u);
    EXPECT_EQ(tree.ends[0], 2);
    std::string name;
    int cursor = 0;
    EXPECT_EQ(tree_next_child(tree, 0, cursor, name), 1);
    EXPECT_EQ(name, "v");
    EXPECT_EQ(tree_next_child(tree, 0, cursor, name), 0);
}

TEST_F(TreeFileRead, LineShapes)
{
    const struct {
        std::string body;
        int loaded, errorLine;
        std::string value;  // of the first node, when loaded
    } cases[] = {
        {" |s|\n|t|\n", 1, -1, ""},                       // a blank-led line is a comment
        {"|a| = |b|c|d|\n", 0, 2, ""},                    // five bars without :=
        {"|a| := |b|c|\n", 1, -1, "b|c"},                  // := keeps a bar in the value
        {"|a| = |x\n", 0, 2, ""},                         // three bars
        {"# |a|b|c|d|e|f|\n|s|\n", 0, 2, ""},             // six bars in a comment
        {"|s| = trailing\n", 1, -1, ""},                   // two bars: a section, the rest ignored
        {"|s|\n\n\r\n|t|\n", 1, -1, ""},
        {"|a| = |b| = |c|\n", 0, 2, ""},                  // a second '=' behind two bars
        {"|a|\t\n|b|\nno bars\n", 0, 4, ""},
    };
    for (const auto& c : cases) {
        tree.errorLine = -1;
        EXPECT_EQ(load("# header\n" + c.body), c.loaded) << c.body;
        EXPECT_EQ(tree.errorLine, c.errorLine) << c.body;
        if (c.loaded) EXPECT_EQ(tree.nodes[0].value, c.value) << c.body;
        else EXPECT_TRUE(tree.nodes.empty());
    }
}

TEST_F(TreeFileRead, RefusedFiles)
{
    tree.errorKind = 7;
    EXPECT_EQ(load("# only the header\n"), 0);
    EXPECT_EQ(load("no header\n|s|\n"), 0);
    EXPECT_EQ(tree.errorKind, 7);
    EXPECT_EQ(tree_load(path + ".missing", tree), 0);
    EXPECT_EQ(tree.errorKind, 2);
    EXPECT_EQ(load("# h\n" + std::string(128, '\t') + "|deep|\n"), 0);
    EXPECT_EQ(tree.errorKind, 1);
    EXPECT_EQ(load("# h\n" + std::string(127, '\t') + "|deep|\n"), 1);
}

TEST_F(TreeFileRead, LongLinesLoadWhole)
{
    const std::string value(5000, 'v');
    ASSERT_EQ(load("# h\n|system|\n\t|filename| = |" + value + "|\n"), 1);
    std::string found;
    EXPECT_EQ(tree_value(tree, tree_find(tree, -1, {"system", "filename"}), found), 1);
    EXPECT_EQ(found, value);
}

TEST_F(TreeFileRead, Lookups)
{
    ASSERT_EQ(load("# h\n|filename| = |top|\n|other|\n\t|filename| = |o|\n|system|\n\t|sub|\n\t\t|x| = |1|\n"
                   "\t|filename| = |cfg|\n\t|name| = |n|\n"),
              1);
    std::string value;
    const int system = tree_find(tree, -1, {"system"});
    EXPECT_EQ(tree_value(tree, tree_find(tree, -1, {"system", "filename"}), value), 1);
    EXPECT_EQ(value, "cfg");
    EXPECT_EQ(tree_find(tree, -1, {"system", "x"}), -1);
    EXPECT_EQ(tree_find(tree, -1, {"filename", "x"}), -1);
    EXPECT_EQ(tree_find_child(tree, system, "name", value), 1);
    EXPECT_EQ(value, "n");
    EXPECT_EQ(tree_find_child(tree, system, "sub", value), 0);
    EXPECT_EQ(tree_value(tree, system, value), 0);
    std::vector<std::string> children;
    std::string name;
    for (int cursor = 0; tree_next_child(tree, system, cursor, name);) children.push_back(name);
    EXPECT_EQ(children, (std::vector<std::string>{"sub", "filename", "name"}));
}

TEST_F(TreeFileRead, ReadsWhatTheStoreWrites)
{
    ASSERT_EQ(tree_load(TEST_DATA_DIR "/tree/sample.conf", tree), 1);
    std::string value;
    EXPECT_EQ(tree_value(tree, tree_find(tree, -1, {"system", "title"}), value), 1);
    EXPECT_EQ(value, " spaces = and=signs ");
}

} // namespace
