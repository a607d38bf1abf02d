// The announcement repository: the WAV check, the scan of the disk and the repository command.
#include "common/store_lock.h"
#include "handlers/tuna/announcements.h"
#include "tuna_test_support.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace tuna_test;

namespace {

struct Wav {
    int format = kWavPcm;
    int channels = 1;
    uint32_t rate = 8000;
    int bits = 16;
    size_t dataBytes = 16000;
    // Added to the correct RIFF chunk size.
    int64_t riffSizeError = 0;
};

void put16(std::string& out, size_t at, uint32_t value)
{
    out[at] = static_cast<char>(value & 0xff);
    out[at + 1] = static_cast<char>((value >> 8) & 0xff);
}

void put32(std::string& out, size_t at, uint32_t value)
{
    put16(out, at, value & 0xffff);
    put16(out, at + 2, value >> 16);
}

// A canonical 44-byte header and `dataBytes` of silence.
std::string makeWav(const Wav& wav)
{
    std::string out(44 + wav.dataBytes, '\0');
    out.replace(0, 4, "RIFF");
    put32(out, 4, static_cast<uint32_t>(static_cast<int64_t>(36 + wav.dataBytes) + wav.riffSizeError));
    out.replace(8, 4, "WAVE");
    out.replace(12, 4, "fmt ");
    put32(out, 16, 16);
    put16(out, 20, static_cast<uint32_t>(wav.format));
    put16(out, 22, static_cast<uint32_t>(wav.channels));
    put32(out, 24, wav.rate);
    put32(out, 28, wav.rate * static_cast<uint32_t>(wav.channels * wav.bits / 8));
    put16(out, 32, static_cast<uint32_t>(wav.channels * wav.bits / 8));
    put16(out, 34, static_cast<uint32_t>(wav.bits));
    out.replace(36, 4, "data");
    put32(out, 40, static_cast<uint32_t>(wav.dataBytes));
    return out;
}

int32_t check(const std::string& file)
{
    int format = 0;
    int rate = 0;
    return checkWavFile(reinterpret_cast<const unsigned char*>(file.data()), file.size(), file.size(), format, rate);
}

void writeFile(const fs::path& path, const std::string& content)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

} // namespace

TEST(WavCheck, AcceptsExactlyTheUnitsFormatsAndSizes)
{
    auto corrupt = [](size_t at, const char* with) {
        std::string file = makeWav({});
        file.replace(at, 4, with);
        return file;
    };
    std::string stereo = makeWav({.channels = 2});
    struct Case {
        const char* what;
        std::string file;
        int32_t result;
    } cases[] = {
        {"16-bit PCM 8000 Hz", makeWav({}), 16044},
        {"16-bit PCM 16000 Hz", makeWav({.rate = 16000}), 16044},
        {"8-bit u-law 8000 Hz", makeWav({.format = kWavUlaw, .bits = 8}), 16044},
        {"8-bit u-law 16000 Hz", makeWav({.format = kWavUlaw, .rate = 16000, .bits = 8}), 16044},
        {"20 bytes", makeWav({}).substr(0, 20), -1},
        {"not RIFF", corrupt(0, "RIFX"), -2},
        {"not WAVE", corrupt(8, "AVI "), -3},
        {"no fmt", corrupt(12, "LIST"), -4},
        {"IEEE float", makeWav({.format = 3, .bits = 32}), -5},
        {"stereo", stereo, -6},
        {"44100 Hz", makeWav({.rate = 44100}), -7},
        {"8-bit PCM", makeWav({.bits = 8}), -8},
        {"16-bit u-law", makeWav({.format = kWavUlaw}), -8},
        {"header without samples", makeWav({.dataBytes = 0}), 0},
        {"RIFF size too large", makeWav({.riffSizeError = 100}), kWavWrongSize},
        {"RIFF size too small", makeWav({.riffSizeError = -2}), kWavWrongSize},
        {"RIFF size wrapping negative", makeWav({.riffSizeError = 0x7fffffff}), static_cast<int32_t>(0x80003eabu)},
    };
    for (const Case& c : cases) EXPECT_EQ(check(c.file), c.result) << c.what;
}

TEST(WavCheck, DurationInMilliseconds)
{
    EXPECT_EQ(wavDuration(16044, 8000, kWavPcm), 1000);
    EXPECT_EQ(wavDuration(16044, 8000, kWavUlaw), 2000);
    EXPECT_EQ(wavDuration(16044, 16000, kWavPcm), 500);
    EXPECT_EQ(wavDuration(16059, 16000, kWavPcm), 500); // truncated
}

TEST(WavCheck, ReadWholeFile)
{
    char name[] = "/tmp/announcements-read-XXXXXX";
    fs::path dir = mkdtemp(name);
    writeFile(dir / "ten", "0123456789");
    fs::create_symlink(dir / "ten", dir / "link");
    unsigned char buffer[16];
    EXPECT_EQ(readWholeFile(dir / "ten", buffer, 4), 4);
    EXPECT_EQ(readWholeFile(dir / "ten", buffer, sizeof buffer), 10);
    EXPECT_EQ(readWholeFile(dir / "missing", buffer, sizeof buffer), 0);
    EXPECT_EQ(readWholeFile(dir / "link", buffer, sizeof buffer), 0);
    EXPECT_EQ(readWholeFile(dir, buffer, sizeof buffer), 0);
    fs::remove_all(dir);
}

// A store whose working directory, with its "announcements" and "./tmp/", belongs to the test.
class Announcements : public Store {
protected:
    void SetUp() override
    {
        oldDir = fs::current_path();
        char name[] = "/tmp/announcements-test-XXXXXX";
        dir = mkdtemp(name);
        fs::current_path(dir);
        fs::create_directories("announcements");
        fs::create_directories("tmp");
        Store::SetUp();
    }
    void TearDown() override
    {
        Store::TearDown();
        fs::current_path(oldDir);
        fs::remove_all(dir);
    }

    // As every load does: a fresh database, then the scan.
    void scan()
    {
        auto lock = lock_store();
        store().openDatabase();
        store().scanAnnouncements();
    }

    // name/languageId -> "size rate type duration" of every repository row.
    std::map<std::string, std::string> repository()
    {
        std::map<std::string, std::string> rows;
        Statement select(store().database,
                         Sql("SELECT name, languageId, size, rate, type, duration FROM globalAudioSetupAudioRepository"));
        while (select.next())
            rows[select.text(0) + "/" + select.text(1)] =
                select.text(2) + " " + select.text(3) + " " + select.text(4) + " " + select.text(5);
        return rows;
    }

    fs::path oldDir;
    fs::path dir;
};

TEST_F(Announcements, ScanRegistersAcceptableFilesAndDeletesTheOthers)
{
    writeFile("announcements/hello.wav", makeWav({}));
    writeFile("announcements/fast.wav", makeWav({.rate = 16000}));
    writeFile("announcements/English/hello.wav", makeWav({.format = kWavUlaw, .bits = 8}));
    writeFile("announcements/English/bye.wav.bak", makeWav({}));
    writeFile("announcements/English/notes.txt", "not a sound\n");
    writeFile("announcements/German/stereo.wav", makeWav({.channels = 2}));
    writeFile("announcements/German/empty.wav", makeWav({.dataBytes = 0}));
    writeFile("announcements/German/cut.wav", makeWav({}).substr(0, 1000));
    writeFile("announcements/German/short.wav", "RIFF");
    writeFile("announcements/plain", makeWav({})); // acceptable but no ".wav": kept, not listed
    writeFile("announcements/.hidden.wav", "ignored");
    writeFile("outside/keep.wav", "not a sound either");
    fs::create_symlink(dir / "outside", "announcements/Linked");
    fs::create_symlink(dir / "outside/keep.wav", "announcements/link.wav");

    scan();

    EXPECT_EQ(repository(), (std::map<std::string, std::string>{
                                {"bye/English", "16044 8000 PCM 1000"},
                                {"fast/Common", "16044 16000 PCM 500"},
                                {"hello/Common", "16044 8000 PCM 1000"},
                                {"hello/English", "16044 8000 u-Law 2000"},
                            }));
    std::vector<std::string> files = names("audioFiles");
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"bye", "fast", "hello"}));
    EXPECT_EQ(store().audioFileCounts, (std::map<std::string, int32_t>{{"bye", 1}, {"fast", 1}, {"hello", 2}}));
    std::vector<std::string> languages = names("globalOverviewLanguages");
    std::sort(languages.begin(), languages.end());
    EXPECT_EQ(languages, (std::vector<std::string>{"English", "German"}));

    for (const char* gone : {"English/notes.txt", "German/stereo.wav", "German/empty.wav", "German/cut.wav",
                             "German/short.wav"})
        EXPECT_FALSE(fs::exists(fs::path("announcements") / gone)) << gone;
    for (const char* kept : {"announcements/plain", "announcements/.hidden.wav", "outside/keep.wav",
                             "announcements/link.wav", "announcements/English/bye.wav.bak"})
        EXPECT_TRUE(fs::exists(fs::symlink_status(kept))) << kept;
}

TEST_F(Announcements, ScanWithoutRepositoryRegistersNothing)
{
    fs::remove_all("announcements");
    scan();
    EXPECT_TRUE(repository().empty());
    EXPECT_TRUE(store().audioFileCounts.empty());
}
