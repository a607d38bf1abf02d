#include "common/paths.h"
#include "handlers/default.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

TEST(Paths, SafeFileNames)
{
    for (const char* good : {"a.conf", "x", "..a", "a..", "Žluť.wav"}) EXPECT_TRUE(is_safe_file_name(good)) << good;
    for (const std::string& bad : std::initializer_list<std::string>{"", ".", "..", "a/b", "a\\b", std::string("a\0b", 3), "a\nb", std::string(256, 'a')})
        EXPECT_FALSE(is_safe_file_name(bad)) << bad;

    EXPECT_EQ(safe_base_name("../x"), "x");
    EXPECT_EQ(safe_base_name("C:\\fakepath\\a.conf"), "a.conf");
    EXPECT_EQ(safe_base_name("dir/.."), std::nullopt);
    EXPECT_EQ(safe_base_name("dir/"), std::nullopt);
}

class Tree : public ::testing::Test {
protected:
    fs::path base = fs::temp_directory_path() / ("paths-test-" + std::to_string(getpid()));
    void SetUp() override
    {
        fs::remove_all(base);
        fs::create_directories(base / "root/sub");
        fs::create_directories(base / "outside");
        std::ofstream(base / "root/sub/file.txt") << "in";
        std::ofstream(base / "outside/secret") << "out";
        fs::create_directory_symlink(base / "outside", base / "root/link");
    }
    void TearDown() override { fs::remove_all(base); }
};

TEST_F(Tree, ResolveStaysInsideTheRoot)
{
    std::string root = (base / "root").string();
    EXPECT_EQ(resolve_inside(root, "sub/file.txt"), fs::canonical(base / "root/sub/file.txt").string());
    for (const char* bad : {"../outside/secret", "sub/../sub/file.txt", "link/secret", "missing", "sub/\x01"})
        EXPECT_EQ(resolve_inside(root, bad), std::nullopt) << bad;
}

TEST_F(Tree, RemoveTreeNeverFollowsLinksOut)
{
    remove_tree((base / "root").string() + "/", false);
    EXPECT_TRUE(fs::exists(base / "root"));
    EXPECT_TRUE(fs::is_empty(base / "root"));
    EXPECT_TRUE(fs::exists(base / "outside/secret"));

    fs::create_directory_symlink(base / "outside", base / "tmp-link");
    remove_tree((base / "tmp-link").string() + "/", true);
    EXPECT_TRUE(fs::exists(base / "outside/secret"));
}

TEST(ContentType, ByTheFileNamesExtension)
{
    struct Case {
        const char* path;
        const char* type;
    } cases[] = {
        {"index.html", "text/html; charset=utf-8"}, {"a.htm", "text/html; charset=utf-8"},
        {"a.js", "text/javascript; charset=utf-8"}, {"a.JS", "text/plain; charset=utf-8"},
        {"a.json", "application/json"},             {"a.css", "text/css; charset=utf-8"},
        {"a.jpeg", "image/jpeg"},                   {"a.tar", "application/tar"},
        {"a.xyz", "text/plain; charset=utf-8"},     {"README", ""},
        {"dir.d/README", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(content_type_for(c.path), c.type) << c.path;
}
