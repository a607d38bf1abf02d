#include "common/file_read.h"
#include "common/paths.h"
#include "handlers/default.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

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

// The kernel's walk below an open root and the real-path check behind it answer alike, links
// included, whether the caller opened the root or not.
TEST_F(Tree, OpenInsideStaysInsideTheRoot)
{
    fs::create_symlink("sub/file.txt", base / "root/near");
    fs::create_symlink(base / "root/sub/file.txt", base / "root/absolute");
    fs::create_symlink("../outside/secret", base / "root/up");
    const std::string root = (base / "root").string();
    const int root_fd = open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(root_fd, 0);
    const struct {
        const char* relative;
        bool opened;
    } cases[] = {
        {"sub/file.txt", true}, {"near", true},  {"absolute", true},         {"/sub/file.txt", true},
        {"up", false},          {"link/secret", false}, {"../outside/secret", false},
        {"sub/../sub/file.txt", false}, {"missing", false}, {"sub/\x01", false},
    };
    for (const auto& c : cases)
        for (int given : {-1, root_fd}) {
            int fd = open_inside(root, c.relative, given);
            std::string data;
            EXPECT_EQ(fd >= 0 && read_exactly(fd, 2, data) && data == "in", c.opened) << c.relative << " " << given;
            if (fd >= 0) close(fd);
        }
    close(root_fd);
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
