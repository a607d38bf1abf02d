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
    return checkWavHeader(reinterpret_cast<const unsigned char*>(file.data()), file.size(), format, rate);
}

void writeFile(const fs::path& path, const std::string& content)
{
    if (path.has_parent_path()) fs::create_directories(path.parent_path());
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
        // Only the header counts: the declared length is taken as it is, whatever follows.
        {"header without samples", makeWav({.dataBytes = 0}), 44},
        {"RIFF size beyond the file", makeWav({.riffSizeError = 100}), 16144},
        {"padding byte after the RIFF chunk", makeWav({}) + '\0', 16044},
        {"RIFF size short of the file", makeWav({.riffSizeError = -2}), 16042},
        {"RIFF size zero", makeWav({.riffSizeError = -16036}), 8},
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
    writeFile("announcements/German/padded.wav", makeWav({}) + '\0');
    writeFile("announcements/German/tagged.wav", makeWav({}) + std::string("LIST\4\0\0\0INFO", 12));
    writeFile("announcements/German/wrapped.wav", makeWav({.riffSizeError = 0x7fffffff}));
    writeFile("announcements/German/short.wav", "RIFF");
    writeFile("announcements/plain", makeWav({})); // acceptable but no ".wav": kept, not listed
    writeFile("announcements/.hidden.wav", "ignored");
    writeFile("outside/keep.wav", "not a sound either");
    fs::create_symlink(dir / "outside", "announcements/Linked");
    fs::create_symlink(dir / "outside/keep.wav", "announcements/link.wav");

    scan();

    EXPECT_EQ(repository(), (std::map<std::string, std::string>{
                                {"bye/English", "16044 8000 PCM 1000"},
                                {"cut/German", "16044 8000 PCM 1000"}, // the declared length, not the file's
                                {"empty/German", "44 8000 PCM 0"},
                                {"fast/Common", "16044 16000 PCM 500"},
                                {"hello/Common", "16044 8000 PCM 1000"},
                                {"hello/English", "16044 8000 u-Law 2000"},
                                {"padded/German", "16044 8000 PCM 1000"},
                                {"tagged/German", "16044 8000 PCM 1000"},
                            }));
    std::vector<std::string> files = names("audioFiles");
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"bye", "cut", "empty", "fast", "hello", "padded", "tagged"}));
    EXPECT_EQ(store().audioFileCounts, (std::map<std::string, int32_t>{{"bye", 1},
                                                                        {"cut", 1},
                                                                        {"empty", 1},
                                                                        {"fast", 1},
                                                                        {"hello", 2},
                                                                        {"padded", 1},
                                                                        {"tagged", 1}}));
    std::vector<std::string> languages = names("globalOverviewLanguages");
    std::sort(languages.begin(), languages.end());
    EXPECT_EQ(languages, (std::vector<std::string>{"English", "German"}));

    for (const char* gone : {"English/notes.txt", "German/stereo.wav", "German/short.wav", "German/wrapped.wav"})
        EXPECT_FALSE(fs::exists(fs::path("announcements") / gone)) << gone;
    for (const char* kept : {"announcements/plain", "announcements/.hidden.wav", "outside/keep.wav",
                             "announcements/link.wav", "announcements/English/bye.wav.bak",
                             "announcements/German/padded.wav", "announcements/German/tagged.wav"})
        EXPECT_TRUE(fs::exists(fs::symlink_status(kept))) << kept;
}

TEST_F(Announcements, ScanWithoutRepositoryRegistersNothing)
{
    fs::remove_all("announcements");
    scan();
    EXPECT_TRUE(repository().empty());
    EXPECT_TRUE(store().audioFileCounts.empty());
}

namespace {

// A call of the repository command; "file=" gives the upload path of the field "file".
Reply repositoryCall(const Params& args)
{
    param_list list;
    for (const auto& [name, value] : args) {
        if (name == "file=")
            add_param(list, "file", std::nullopt, PARAM_POST)->upload_path = value;
        else
            add_param(list, name, value, PARAM_POST);
    }
    http_request request;
    request.url = "/tuna/globalAudioSetupAudioRepository.json";
    request.params = &list;
    tuna_handler(request);
    return {request.status, request.data, request.content_type.value_or(""), ""};
}

std::string slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

class Repository : public Announcements {
protected:
    // Puts `content` into the temporary directory as the daemon would, and uploads it.
    Reply upload(const std::string& fileName, const std::string& content, Params more = {})
    {
        writeFile(fs::path("tmp") / fileName, content);
        more.emplace_back("command", "new_file");
        more.emplace_back("file=", "./tmp/" + fileName);
        return repositoryCall(more);
    }
    Reply remove(const std::string& name, const std::string& code = "")
    {
        Params args{{"command", "delete_file"}, {"name", name}};
        if (!code.empty()) args.emplace_back("code", code);
        return repositoryCall(args);
    }
    std::string list(const std::string& language = "")
    {
        Reply reply = repositoryCall(language.empty() ? Params{} : Params{{"languageId", language}});
        EXPECT_TRUE(isJson(reply.body)) << reply.body;
        return reply.body;
    }
    // Every file below the working directory but the temporary directory and the store's own ".conf".
    std::vector<std::string> filesOnDisk()
    {
        std::vector<std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator("."))
            if (!entry.is_directory() && entry.path().string().rfind("./tmp/", 0) != 0 &&
                entry.path().extension() != ".conf")
                files.push_back(entry.path().string());
        std::sort(files.begin(), files.end());
        return files;
    }
};

TEST_F(Repository, UploadStoresOnlyAcceptableFiles)
{
    std::string exactlyTheLimit = makeWav({.dataBytes = kMaxAnnouncementBytes - 44});
    struct Case {
        const char* what;
        std::string file;
        const char* error; // none: stored
    } cases[] = {
        {"16-bit PCM mono 8000 Hz", makeWav({}), nullptr},
        {"8-bit u-law 16000 Hz", makeWav({.format = kWavUlaw, .rate = 16000, .bits = 8}), nullptr},
        {"exactly the limit", exactlyTheLimit, nullptr},
        {"header without samples", makeWav({.dataBytes = 0}), nullptr},
        {"padding byte after the RIFF chunk", makeWav({}) + '\0', nullptr},
        {"RIFF size beyond the file", makeWav({.riffSizeError = 1000}), nullptr},
        {"RIFF size short of the file", makeWav({.riffSizeError = -100}), nullptr},
        {"RIFF size wrapping negative", makeWav({.riffSizeError = 0x7fffffff}), "unknown (-2147467605)"},
        {"stereo", makeWav({.channels = 2}), "not mono"},
        {"MP3", std::string("ID3\x04\0\0\0\0\0\0", 10) + std::string(100, 'x'), "not WAV file"},
        {"20 bytes", makeWav({}).substr(0, 20), "unknown (0)"},
        {"IEEE float", makeWav({.format = 3, .bits = 32}), "not pcm nor ulaw"},
        {"44100 Hz", makeWav({.rate = 44100}), "wrong sampling rate"},
        {"8-bit PCM", makeWav({.bits = 8}), "wrong bits per sample"},
        {"one byte over the limit", exactlyTheLimit + "x", "file too large"},
        {"2 MiB", makeWav({.dataBytes = 2 * kMaxAnnouncementBytes - 44}), "file too large"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Reply reply = upload("clip.wav", c.file, {{"code", "English"}});
        ASSERT_TRUE(isJson(reply.body)) << reply.body;
        fs::path stored = "announcements/English/clip.wav";
        if (c.error) {
            EXPECT_EQ(member(reply.body, "status"), "error");
            EXPECT_EQ(member(reply.body, "description"), c.error);
            EXPECT_FALSE(fs::exists(stored));
        } else {
            EXPECT_EQ(reply.body, "{\n\t\"status\" : \"success\"\n}\n");
            EXPECT_EQ(slurp(stored), c.file);
            EXPECT_EQ(remove("clip", "English").body, "{\n\t\"status\" : \"success\"\n}\n");
        }
    }
    EXPECT_EQ(filesOnDisk(), std::vector<std::string>{}); // no temporary twin is left anywhere
}

TEST_F(Repository, UploadIsListedInItsLanguage)
{
    ASSERT_EQ(member(upload("hello.wav", makeWav({}), {{"code", "English"}}).body, "status"), "success");
    ASSERT_EQ(member(upload("x.wav", makeWav({.format = kWavUlaw, .bits = 8}), {{"name", "beep"}}).body, "status"),
              "success");
    EXPECT_EQ(filesOnDisk(), (std::vector<std::string>{"./announcements/English/hello.wav", "./announcements/beep.wav"}));
    EXPECT_EQ(repository(), (std::map<std::string, std::string>{{"beep/Common", "16044 8000 u-Law 2000"},
                                                                 {"hello/English", "16044 8000 PCM 1000"}}));

    std::string helloId = column(call("/tuna/list/globalAudioSetupAudioRepository.json", {{"name", "hello"}}).body, "id")
                              .at(0);
    std::string beepId = column(call("/tuna/list/globalAudioSetupAudioRepository.json", {{"name", "beep"}}).body, "id")
                             .at(0);
    EXPECT_EQ(list("English"), "[[\"hello\", \"" + helloId + "\", \"1000\"], [\"beep\", \"\", \"\"]]\n");
    EXPECT_EQ(list(), "[[\"hello\", \"\", \"\"], [\"beep\", \"" + beepId + "\", \"2000\"]]\n");
    EXPECT_EQ(list("German"), "[[\"hello\", \"\", \"\"], [\"beep\", \"\", \"\"]]\n");
    EXPECT_EQ(list("Common"), list());
}

TEST_F(Repository, UploadTakesItsNameFromTheFileWhenNoneIsGiven)
{
    struct Case {
        const char* file;
        const char* name;
    } cases[] = {{"greeting.final.wav", "greeting"}, {"noext", "noext"},
                 {"a123456789b123456789c123456789d123456789e123456789f123456789g123456789.wav",
                  "a123456789b123456789c123456789d123456789e123456789f123456789g12"}};
    for (const Case& c : cases) {
        EXPECT_EQ(member(upload(c.file, makeWav({})).body, "status"), "success") << c.file;
        EXPECT_TRUE(fs::exists(fs::path("announcements") / (std::string(c.name) + ".wav"))) << c.file;
    }
}

TEST_F(Repository, NamesNeverLeaveTheRepository)
{
    fs::create_directories("announcements/English");
    struct Case {
        const char* name;
        const char* code;
        const char* error;
    } cases[] = {
        {"../escape", "", "invalid name"},
        {"..", "", "invalid name"},
        {"a/b", "", "invalid name"},
        {"back\\slash", "", "invalid name"},
        {".hidden", "", "invalid name"},
        {"line\nbreak", "", "invalid name"},
        {"", "", "invalid name"},
        {"ok", "..", "invalid language"},
        {"ok", "../..", "invalid language"},
        {"ok", "English/..", "invalid language"},
        {"ok", ".hidden", "invalid language"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " in " + c.code);
        Params args{{"name", c.name}};
        if (*c.code) args.emplace_back("code", c.code);
        Reply uploaded = upload("clip.wav", makeWav({}), args);
        EXPECT_EQ(member(uploaded.body, "description"), c.error) << uploaded.body;
        Reply removed = remove(c.name, c.code);
        EXPECT_EQ(member(removed.body, "description"), c.error) << removed.body;
    }
    EXPECT_EQ(filesOnDisk(), std::vector<std::string>{});
    EXPECT_FALSE(fs::exists(dir.parent_path() / "ok.wav"));
    for (const auto& entry : fs::directory_iterator("."))
        EXPECT_TRUE(entry.path().filename() == "announcements" || entry.path().filename() == "tmp" ||
                    entry.path().extension() == ".conf")
            << entry.path();
}

TEST_F(Repository, UploadReadsOnlyFromTheTemporaryDirectory)
{
    writeFile("outside.wav", makeWav({}));
    for (const char* path : {"outside.wav", "./outside.wav", "./tmp/../outside.wav", "/etc/passwd", "./tmp/"}) {
        Reply reply = repositoryCall({{"command", "new_file"}, {"file=", path}, {"name", "stolen"}});
        EXPECT_EQ(member(reply.body, "description"), "no file") << path;
    }
    Reply plainField = repositoryCall({{"command", "new_file"}, {"file", "./tmp/clip.wav"}});
    EXPECT_EQ(member(plainField.body, "description"), "no file");
    EXPECT_FALSE(fs::exists("announcements/stolen.wav"));
}

TEST_F(Repository, ReplacingAndDeletingKeepTheTablesInStep)
{
    auto audioFiles = [&] { return names("audioFiles"); };
    auto count = [&](const std::string& name) {
        auto it = store().audioFileCounts.find(name);
        return it == store().audioFileCounts.end() ? -1 : it->second;
    };

    upload("hello.wav", makeWav({}), {{"code", "English"}});
    upload("hello.wav", makeWav({.rate = 16000, .dataBytes = 32000}), {{"code", "English"}}); // replaces
    EXPECT_EQ(repository(), (std::map<std::string, std::string>{{"hello/English", "32044 16000 PCM 1000"}}));
    upload("hello.wav", makeWav({}), {{"code", "German"}});
    EXPECT_EQ(repository().size(), 2u);
    EXPECT_EQ(audioFiles(), std::vector<std::string>{"hello"});
    EXPECT_EQ(count("hello"), 2);

    EXPECT_EQ(member(remove("hello", "English").body, "status"), "success");
    EXPECT_EQ(audioFiles(), std::vector<std::string>{"hello"});
    EXPECT_EQ(count("hello"), 1);
    EXPECT_EQ(member(remove("hello", "German").body, "status"), "success");
    EXPECT_EQ(audioFiles(), std::vector<std::string>{});
    EXPECT_EQ(count("hello"), -1);

    Reply missing = remove("hello", "German");
    EXPECT_EQ(member(missing.body, "description"), "could not remove file (No such file or directory)"
                                                   "(announcements/German/hello.wav)");

    // A file that no row stands for: deleting it leaves the counts alone, so a later upload is listed.
    writeFile("announcements/stray.wav", makeWav({}));
    EXPECT_EQ(member(remove("stray").body, "status"), "success");
    EXPECT_EQ(count("stray"), -1);
    upload("stray.wav", makeWav({}));
    EXPECT_EQ(audioFiles(), std::vector<std::string>{"stray"});
}

TEST_F(Repository, RepliesStayJsonWhateverTheNamesHold)
{
    const std::string name = "it's \"quoted\" and \xff";
    Reply reply = upload("clip.wav", makeWav({}), {{"name", name}, {"code", "O'Brien"}});
    ASSERT_EQ(member(reply.body, "status"), "success") << reply.body;
    EXPECT_TRUE(fs::exists("announcements/O'Brien/" + name + ".wav"));
    EXPECT_EQ(repository().count(name + "/O'Brien"), 1u);
    std::string listed = list("O'Brien");
    EXPECT_NE(listed.find("it's \\\"quoted\\\" and \\ufffd"), std::string::npos) << listed;
    EXPECT_EQ(member(remove(name, "O'Brien").body, "status"), "success");
    EXPECT_TRUE(repository().empty());
}

TEST_F(Repository, WithoutRepositoryDirectoryUploadFails)
{
    fs::remove_all("announcements");
    EXPECT_EQ(member(upload("clip.wav", makeWav({})).body, "description"), "file is already in repository");
    EXPECT_EQ(member(upload("clip.wav", makeWav({}), {{"code", "English"}}).body, "description"),
              "file is already in repository");
    EXPECT_EQ(list(), "[]\n");
}

// The translations command beside the table commands that fill its tables.
class Translations : public Store {
protected:
    std::string translations(const Params& params = {})
    {
        Reply reply = call("/tuna/globalAudioSetupTranslations.json", params);
        EXPECT_EQ(reply.status, 200);
        EXPECT_TRUE(isJson(reply.body)) << reply.body;
        return reply.body;
    }
};

TEST_F(Translations, ListsEveryTextBesideItsTranslation)
{
    EXPECT_EQ(translations(), "[]\n");
    EXPECT_EQ(translations({{"languageId", "German"}}), "[]\n");

    insert("Texts", {{"name", "Hello"}});
    insert("Texts", {{"name", "Bye \"now\""}});
    std::string hallo =
        insert("globalAudioSetupTranslations", {{"name", "Hello"}, {"translation", "Hallo"}, {"languageId", "German"}});
    insert("globalAudioSetupTranslations", {{"name", "Hello"}, {"translation", "Bonjour"}, {"languageId", "French"}});

    EXPECT_EQ(translations(), "[[\"Hello\", \"\"], [\"Bye \\\"now\\\"\", \"\"]]\n");
    EXPECT_EQ(translations({{"languageId", "German"}}),
              "[[\"Hello\", \"Hallo\", \"" + hallo + "\"], [\"Bye \\\"now\\\"\", \"\", \"\"]]\n");
    EXPECT_EQ(translations({{"languageId", "Spanish"}}), "[[\"Hello\", \"\", \"\"], [\"Bye \\\"now\\\"\", \"\", \"\"]]\n");
    EXPECT_EQ(translations({{"languageId", ""}}), "[[\"Hello\", \"\", \"\"], [\"Bye \\\"now\\\"\", \"\", \"\"]]\n");
    EXPECT_EQ(translations({{"languageId", "x' OR '1'='1"}}),
              "[[\"Hello\", \"\", \"\"], [\"Bye \\\"now\\\"\", \"\", \"\"]]\n");
}
