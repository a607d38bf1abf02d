#include "common/asset_cache.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string read_file(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void write_file(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string cache_name(std::string name)
{
    cacheFileName(name);
    return name;
}

// Each test packs its own archive with the 7z tool, in a directory of its own.
class AssetCache : public testing::Test {
protected:
    void SetUp() override
    {
        if (std::system("command -v 7z >/dev/null 2>&1") != 0) GTEST_SKIP() << "7z is not installed";
        char name[] = "/tmp/asset-cache-test-XXXXXX";
        dir = mkdtemp(name);
        data_db = (dir / "data.db").string();
        cache = (dir / "cache/").string();
    }
    void TearDown() override
    {
        if (!dir.empty()) fs::remove_all(dir);
    }

    // Packs `arguments` (run from `from`) into data.db, its signature turned into "XJ".
    void pack(const fs::path& from, const std::string& arguments)
    {
        fs::path archive = dir / "packed.7z";
        fs::remove(archive);
        std::string command = "cd '" + from.string() + "' && 7z a -t7z -bd -y '" + archive.string() + "' " + arguments +
                  " >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        std::string bytes = read_file(archive);
        ASSERT_EQ(bytes.substr(0, 2), "7z");
        bytes.replace(0, 2, "XJ");
        write_file(data_db, bytes);
    }

    fs::path dir;
    std::string data_db, cache;
};

} // namespace

TEST(AssetCacheName, Renaming)
{
    struct Case {
        std::string name, cached;
    };
    for (const Case& c : {Case{"abc.txt", "defbw_w"}, Case{"web/index.html", "zheblqgh_bkwpo"}, Case{"../x", "bbb_"},
                          Case{">?@AZ[\\]^_`w", "ABCD]^_`abcz"}, Case{"xyz{|}~0-9 ", "___________"},
                          Case{"_", "b"}, // '_' (0x5F) lies in the shifted range
                          Case{std::string("a\0\n\x7f\xff", 5), "d____"}, Case{"", ""}}) {
        EXPECT_EQ(cache_name(c.name), c.cached) << c.name;
    }
}

TEST_F(AssetCache, UnpacksWithTheCacheNames)
{
    write_file(dir / "in/abc.txt", "alpha");
    write_file(dir / "in/web/index.html", "<html/>");
    write_file(dir / "in/web/empty/.keep", "");
    write_file(dir / "in/big.bin", std::string(kMaxCachedAssetSize + 1000, 'z'));
    pack(dir / "in", "abc.txt web big.bin");
    const std::string packed = read_file(data_db);

    extractAssetCache(data_db, cache);

    EXPECT_EQ(read_file(data_db), packed); // still "XJ", byte for byte
    EXPECT_EQ(read_file(dir / "cache/defbw_w"), "alpha");
    EXPECT_EQ(read_file(dir / "cache" / cache_name("web/index.html")), "<html/>");
    EXPECT_TRUE(fs::exists(dir / "cache" / cache_name("web/empty/.keep")));
    EXPECT_FALSE(fs::exists(dir / "cache" / cache_name("web")));   // directories are not files
    for (const auto& item : fs::directory_iterator(dir / "cache")) EXPECT_TRUE(item.is_regular_file());

    std::string data;
    EXPECT_EQ(readCachedFile("abc.txt", data, cache), ASSET_READ);
    EXPECT_EQ(data, "alpha");
    EXPECT_EQ(readCachedFile("web/index.html", data, cache), ASSET_READ);
    EXPECT_EQ(data, "<html/>");
    EXPECT_EQ(readCachedFile("big.bin", data, cache), ASSET_READ);
    EXPECT_EQ(data.size(), kMaxCachedAssetSize);
    EXPECT_EQ(readCachedFile("missing.txt", data, cache), ASSET_NOT_CACHED);
    EXPECT_EQ(readCachedFile("", data, cache), ASSET_NOT_CACHED);

    // Once complete, a second extraction does nothing ...
    fs::remove(dir / "cache/defbw_w");
    extractAssetCache(data_db, cache);
    EXPECT_FALSE(fs::exists(dir / "cache/defbw_w"));
    // ... until the cache is purged.
    purgeAssetCache(cache);
    EXPECT_FALSE(fs::exists(dir / "cache"));
    extractAssetCache(data_db, cache);
    EXPECT_EQ(read_file(dir / "cache/defbw_w"), "alpha");
    purgeAssetCache(cache);
}

TEST_F(AssetCache, FailedExtractionIsTriedAgain)
{
    write_file(data_db, "XJ this is no archive");
    write_file(dir / "cache/stale", "old");
    extractAssetCache(data_db, cache);
    EXPECT_FALSE(fs::exists(dir / "cache/stale"));
    EXPECT_EQ(read_file(data_db), "XJ this is no archive");

    extractAssetCache((dir / "missing.db").string(), cache); // no file: nothing happens

    write_file(dir / "in/abc.txt", "alpha");
    pack(dir / "in", "abc.txt");
    extractAssetCache(data_db, cache);
    EXPECT_EQ(read_file(dir / "cache/defbw_w"), "alpha");
    purgeAssetCache(cache);
}

TEST_F(AssetCache, NamesNeverLeaveTheCache)
{
    write_file(dir / "in/x", "outside?");
    write_file(dir / "in/sub/keep", "");
    // -spf keeps the names as given, "../x" and an absolute path included.
    pack(dir / "in/sub", "-spf ../x '" + (dir / "in/x").string() + "'");
    fs::remove(dir / "in/x");
    const auto before = std::distance(fs::recursive_directory_iterator(dir), fs::recursive_directory_iterator());

    extractAssetCache(data_db, cache);

    EXPECT_FALSE(fs::exists(dir / "x"));
    EXPECT_FALSE(fs::exists(dir / "in/x"));
    EXPECT_EQ(read_file(dir / "cache" / cache_name("../x")), "outside?");
    EXPECT_EQ(read_file(dir / "cache" / cache_name((dir / "in/x").string())), "outside?");
    // Only the cache directory and its two files are new.
    EXPECT_EQ(std::distance(fs::recursive_directory_iterator(dir), fs::recursive_directory_iterator()), before + 3);

    std::string data;
    EXPECT_EQ(readCachedFile("../x", data, cache), ASSET_READ);
    EXPECT_EQ(data, "outside?");
    purgeAssetCache(cache);
}

TEST_F(AssetCache, ALinkInPlaceOfTheCacheIsNotFollowed)
{
    write_file(dir / "in/abc.txt", "alpha");
    pack(dir / "in", "abc.txt");
    fs::create_directory(dir / "elsewhere");
    fs::create_directory_symlink(dir / "elsewhere", dir / "cache");
    extractAssetCache(data_db, cache);
    EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));
}

TEST_F(AssetCache, ANameWhoseRewriteHoldsABackslashIsCachedToo)
{
    // 'Y' becomes '\': an ordinary file-name character here, which must not stop the extraction.
    write_file(dir / "in/Yes.txt", "yes");
    write_file(dir / "in/after.txt", "after");
    pack(dir / "in", "Yes.txt after.txt");
    extractAssetCache(data_db, cache);
    std::string data;
    ASSERT_EQ(readCachedFile("Yes.txt", data, cache), ASSET_READ);
    EXPECT_EQ(data, "yes");
    ASSERT_EQ(readCachedFile("after.txt", data, cache), ASSET_READ);
    EXPECT_EQ(data, "after");
    purgeAssetCache(cache);
}
