#include "common/store_lock.h"
#include "handlers/icon_store.h"
#include "handlers/icons.h"
#include "include/params.h"

#include <gtest/gtest.h>

#include <archive.h>
#include <archive_entry.h>
#include <glib.h>
#include <jansson.h>
#include <unistd.h>
#include <wand/MagickWand.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <thread>

namespace fs = std::filesystem;

namespace {

using PixelColour = std::function<const char*(int x, int y)>;

// An image made with MagickWand in the given format ("PNG", "GIF", ...).
std::string make_image(int width, int height, const PixelColour& colour, const char* format)
{
    MagickWand* wand = NewMagickWand();
    PixelWand* background = NewPixelWand();
    PixelSetColor(background, "white");
    MagickNewImage(wand, width, height, background);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            PixelIterator* it = NewPixelRegionIterator(wand, x, y, 1, 1);
            size_t count = 0;
            PixelWand** row = PixelGetNextIteratorRow(it, &count);
            PixelSetColor(row[0], colour(x, y));
            PixelSyncIterator(it);
            DestroyPixelIterator(it);
        }
    MagickSetImageFormat(wand, format);
    size_t length = 0;
    unsigned char* blob = MagickGetImageBlob(wand, &length);
    std::string bytes(reinterpret_cast<char*>(blob), length);
    MagickRelinquishMemory(blob);
    DestroyPixelWand(background);
    DestroyMagickWand(wand);
    return bytes;
}

// A recognisable two-colour pattern: a frame and a diagonal.
bool pattern(int x, int y)
{
    return x == 0 || y == 0 || x == 19 || y == 19 || x == y;
}

const char* two_colours(int x, int y)
{
    return pattern(x, y) ? "black" : "white";
}

struct Decoded {
    size_t width = 0, height = 0;
    icon_pixels pixels{};
};

Decoded decode(const std::string& bytes)
{
    Decoded out;
    MagickWand* wand = NewMagickWand();
    if (MagickReadImageBlob(wand, bytes.data(), bytes.size()) != MagickFalse) {
        out.width = MagickGetImageWidth(wand);
        out.height = MagickGetImageHeight(wand);
        if (out.width == 20 && out.height == 20) {
            unsigned char grey[400];
            MagickExportImagePixels(wand, 0, 0, 20, 20, "I", CharPixel, grey);
            for (int y = 0; y < 20; ++y)
                for (int x = 0; x < 20; ++x) out.pixels[x][y] = grey[y * 20 + x] < 128;
        }
    }
    DestroyMagickWand(wand);
    return out;
}

icon_pixels pattern_pixels()
{
    icon_pixels pixels{};
    for (int x = 0; x < 20; ++x)
        for (int y = 0; y < 20; ++y) pixels[x][y] = pattern(x, y);
    return pixels;
}

void write_file(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

uint32_t zlib_crc(const uint8_t* data, size_t size)
{
    return static_cast<uint32_t>(crc32(0L, data, static_cast<uInt>(size)));
}

std::map<std::string, std::string> unzip(const std::string& zip)
{
    std::map<std::string, std::string> entries;
    struct archive* reader = archive_read_new();
    archive_read_support_format_zip(reader);
    EXPECT_EQ(archive_read_open_memory(reader, zip.data(), zip.size()), ARCHIVE_OK);
    struct archive_entry* entry;
    while (archive_read_next_header(reader, &entry) == ARCHIVE_OK) {
        std::string data(static_cast<size_t>(archive_entry_size(entry)), '\0');
        EXPECT_EQ(archive_read_data(reader, data.data(), data.size()), static_cast<la_ssize_t>(data.size()));
        EXPECT_EQ(archive_entry_perm(entry), 0644u);
        entries[archive_entry_pathname(entry)] = data;
    }
    archive_read_free(reader);
    return entries;
}

// The icon tests run in a working directory of their own, whose "./tmp/" is the temporary directory.
class Icons : public testing::Test {
protected:
    static void SetUpTestSuite() { init_icons(); }
    static void TearDownTestSuite() { cleanup_icons(); }

    void SetUp() override
    {
        old_dir = fs::current_path();
        char name[] = "/tmp/icons-test-XXXXXX";
        dir = mkdtemp(name);
        fs::current_path(dir);
        fs::create_directory("tmp");
        auto lock = lock_store();
        import_icons(nullptr);
    }
    void TearDown() override
    {
        fs::current_path(old_dir);
        fs::remove_all(dir);
    }

    struct Reply {
        http_request request;
        std::string status, description;
    };

    // Runs the handler on a URL with the given parameters; name "file=" marks an upload path.
    Reply call(const std::string& url, const std::vector<std::pair<std::string, std::string>>& args)
    {
        param_list params;
        for (const auto& [name, value] : args) {
            if (name == "file=") {
                add_param(params, "file", std::nullopt, PARAM_POST)->upload_path = value;
            } else {
                add_param(params, name, value, PARAM_POST);
            }
        }
        Reply reply;
        reply.request.url = url;
        reply.request.params = &params;
        icons_handler(reply.request);
        reply.request.params = nullptr;
        if (reply.request.content_type == "application/json; charset=utf-8") {
            json_t* json = json_loads(reply.request.data.c_str(), 0, nullptr);
            EXPECT_NE(json, nullptr) << reply.request.data;
            if (json) {
                reply.status = json_string_value(json_object_get(json, "status"));
                reply.description = json_string_value(json_object_get(json, "description"));
                json_decref(json);
            }
        }
        return reply;
    }

    fs::path old_dir, dir;
};

} // namespace

TEST(IconNames, PairsOfNormalAndDisabled)
{
    std::map<int, std::string> known = {{0, "empty.bmp"},   {1, "empty_ds.bmp"},          {6, "radio.bmp"},
                                        {7, "radio_ds.bmp"}, {88, "c.bmp"},                {146, "garex_player.bmp"},
                                        {206, "gauge.bmp"},  {207, "gauge_ds.bmp"}};
    for (const auto& [index, name] : known) EXPECT_STREQ(icon_names[index], name.c_str());
    for (int i = 0; i < kIconCount; i += 2) {
        std::string normal = icon_names[i];
        ASSERT_EQ(normal.substr(normal.size() - 4), ".bmp");
        EXPECT_EQ(std::string(icon_names[i + 1]), normal.substr(0, normal.size() - 4) + "_ds.bmp");
    }
}

TEST(IconPacking, BitLayout)
{
    struct Case {
        int x, y;
        size_t byte;
        uint8_t bit;
    };
    for (const Case& c : {Case{0, 0, 0, 0x01}, Case{3, 7, 3, 0x80}, Case{3, 9, 23, 0x02}, Case{19, 15, 39, 0x80},
                          Case{0, 16, 40, 0x01}, Case{19, 19, 59, 0x08}}) {
        icon_pixels pixels{};
        pixels[c.x][c.y] = 1;
        uint8_t packed[60];
        pack_icon(pixels, packed);
        for (size_t i = 0; i < 60; ++i) EXPECT_EQ(packed[i], i == c.byte ? c.bit : 0) << c.x << "," << c.y;
        EXPECT_EQ(unpack_icon(packed), pixels);
    }
}

TEST(IconStore, DefaultStoreAndItsCrc)
{
    const auto& store = default_icon_store();
    uint32_t trailer = store[12480] | store[12481] << 8 | store[12482] << 16 | static_cast<uint32_t>(store[12483]) << 24;
    EXPECT_EQ(trailer, zlib_crc(store.data(), 12480));

    // Icon 0 and its twin are blank; every other button has a drawing, and its disabled twin
    // shows less of it.
    auto count = [&](int i) {
        int black = 0;
        for (size_t b = 0; b < 60; ++b) black += __builtin_popcount(store[i * 60 + b]);
        return black;
    };
    EXPECT_EQ(count(0), 0);
    EXPECT_EQ(count(1), 0);
    for (int i = 2; i < kIconCount; i += 2) {
        EXPECT_GT(count(i), 10) << icon_names[i];
        EXPECT_GT(count(i + 1), 0) << icon_names[i + 1];
        EXPECT_LE(count(i + 1), count(i)) << icon_names[i + 1];
    }
    // Rows 20 and beyond do not exist: the high nibble of the last 20 bytes stays clear.
    for (int i = 0; i < kIconCount; ++i)
        for (size_t b = 40; b < 60; ++b) ASSERT_EQ(store[i * 60 + b] & 0xF0, 0);
}

TEST_F(Icons, ExportImportRoundTrip)
{
    auto lock = lock_store();
    std::string text = export_icons();
    ASSERT_EQ(text.size(), 16648u);
    EXPECT_EQ(text.substr(text.size() - 2), "==");
    gsize length = 0;
    guchar* decoded = g_base64_decode(text.c_str(), &length);
    ASSERT_EQ(length, kIconStoreSize);
    EXPECT_EQ(memcmp(decoded, icon_store().data(), length), 0);
    g_free(decoded);
    EXPECT_EQ(get_icons_crc(), zlib_crc(icon_store().data(), 12480));

    // A store with a changed icon travels whole.
    clear_icon(find_icon("radio.bmp"));
    std::string changed = export_icons();
    import_icons(nullptr);
    EXPECT_NE(export_icons(), changed);
    EXPECT_EQ(import_icons(changed.c_str()), kIconStoreSize);
    EXPECT_EQ(export_icons(), changed);
    EXPECT_EQ(find_icon("radio.bmp")->pixels, icon_pixels{});
}

TEST_F(Icons, ShortImportChangesOnlyTheDecodedBytes)
{
    auto lock = lock_store();
    const icon_store_bytes before = icon_store();
    uint8_t sixty[60];
    memset(sixty, 0xFF, sizeof sixty);
    gchar* text = g_base64_encode(sixty, sizeof sixty);
    EXPECT_EQ(import_icons(text), 60u);
    g_free(text);
    const icon_store_bytes& after = icon_store();
    for (size_t i = 0; i < 60; ++i) ASSERT_EQ(after[i], 0xFF);
    EXPECT_TRUE(std::equal(after.begin() + 60, after.end(), before.begin() + 60)); // trailer untouched
    EXPECT_EQ(find_icon("empty.bmp")->pixels[5][19], 1);

    EXPECT_EQ(import_icons("=="), 0u);
    EXPECT_LE(import_icons("not base64 at all! \xff\x01"), kIconStoreSize);
    import_icons(nullptr);
    EXPECT_EQ(icon_store(), default_icon_store());
}

TEST_F(Icons, FindIconIsExact)
{
    auto lock = lock_store();
    ASSERT_NE(find_icon("radio.bmp"), nullptr);
    EXPECT_EQ(find_icon("radio.bmp")->index, 6);
    EXPECT_EQ(find_icon("radio_ds.bmp")->index, 7);
    EXPECT_EQ(find_icon("Radio.bmp"), nullptr);
    EXPECT_EQ(find_icon("radio"), nullptr);
    EXPECT_EQ(find_icon(""), nullptr);
}

TEST_F(Icons, ConvertTable)
{
    struct Case {
        const char* name;
        std::string bytes;
        int result;
    };
    // Black and a grey so dark that only its exact value tells it from black: the grey reads as white.
    auto black_on_grey = [](int x, int y) { return pattern(x, y) ? "black" : "#010101"; };
    auto three = [](int x, int y) { return x == 4 && y == 4 ? "red" : two_colours(x, y); };
    std::string huge_png = make_image(20, 20, two_colours, "PNG");
    // The header claims 10000x10000: refused on the size alone, never decoded.
    const unsigned char big_size[8] = {0, 0, 0x27, 0x10, 0, 0, 0x27, 0x10};
    huge_png.replace(16, 8, reinterpret_cast<const char*>(big_size), 8);
    uint32_t header_crc = zlib_crc(reinterpret_cast<const uint8_t*>(huge_png.data()) + 12, 17);
    for (int i = 0; i < 4; ++i) huge_png[29 + i] = static_cast<char>(header_crc >> (24 - 8 * i));

    const Case cases[] = {
        {"png", make_image(20, 20, two_colours, "PNG"), ICON_CONVERTED},
        {"gif", make_image(20, 20, two_colours, "GIF"), ICON_CONVERTED},
        {"bmp", make_image(20, 20, two_colours, "BMP"), ICON_CONVERTED},
        {"windows bmp", make_image(20, 20, two_colours, "BMP3"), ICON_CONVERTED},
        {"os/2 bmp", make_image(20, 20, two_colours, "BMP2"), ICON_CONVERTED},
        {"grey counts as white", make_image(20, 20, black_on_grey, "PNG"), ICON_CONVERTED},
        {"21x20", make_image(21, 20, two_colours, "PNG"), ICON_WRONG_SIZE},
        {"21x20 three colours", make_image(21, 20, three, "PNG"), ICON_WRONG_SIZE},
        {"huge header", huge_png, ICON_WRONG_SIZE},
        {"three colours", make_image(20, 20, three, "PNG"), ICON_WRONG_COLOURS},
        {"text", "just some text\n", ICON_UNREADABLE},
        {"pnm is not allowed", make_image(20, 20, two_colours, "PNM"), ICON_UNREADABLE},
        {"svg is not allowed", "<svg xmlns='http://www.w3.org/2000/svg' width='20' height='20'/>", ICON_UNREADABLE},
        {"png signature then garbage", std::string("\x89PNG\r\n\x1a\n", 8) + "garbage", ICON_UNREADABLE},
        {"empty", "", ICON_UNREADABLE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto lock = lock_store();
        import_icons(nullptr);
        icon_record* record = find_icon("phone.bmp");
        const icon_pixels before = record->pixels;
        write_file("tmp/image", c.bytes);
        EXPECT_EQ(convert_icon("tmp/image", record), c.result);
        if (c.result != ICON_CONVERTED) {
            EXPECT_EQ(record->pixels, before);
            EXPECT_EQ(icon_store(), default_icon_store());
            continue;
        }
        icon_pixels expected = pattern_pixels();
        EXPECT_EQ(record->pixels, expected);
        EXPECT_EQ(unpack_icon(icon_store().data() + record->index * 60), expected);
        EXPECT_EQ(get_icons_crc(), zlib_crc(icon_store().data(), 12480));
    }
    auto lock = lock_store();
    EXPECT_EQ(convert_icon("tmp/does-not-exist.png", find_icon("phone.bmp")), ICON_UNREADABLE);
    fs::create_directory("tmp/a-directory.png");
    EXPECT_EQ(convert_icon("tmp/a-directory.png", find_icon("phone.bmp")), ICON_UNREADABLE);
}

TEST_F(Icons, ShowsOneIconAsBmp)
{
    Reply reply = call("/icons/radio.bmp", {});
    EXPECT_EQ(reply.request.status, 200);
    EXPECT_EQ(reply.request.content_type, "image/bmp");
    EXPECT_EQ(reply.request.data.substr(0, 2), "BM");
    Decoded picture = decode(reply.request.data);
    EXPECT_EQ(picture.width, 20u);
    EXPECT_EQ(picture.height, 20u);
    EXPECT_EQ(picture.pixels, unpack_icon(default_icon_store().data() + 6 * 60));

    for (const char* url : {"/icons/nosuch.bmp", "/icons/radio", "/icons/", "/icons/../radio.bmp", "/icons/Radio.bmp"}) {
        SCOPED_TRACE(url);
        Reply missing = call(url, {});
        EXPECT_EQ(missing.request.status, 404);
        EXPECT_EQ(missing.request.data, "none");
        EXPECT_EQ(missing.request.content_type, "text/plain; charset=utf-8");
    }
    // A command the handler does not know shows the icon of the URL.
    EXPECT_EQ(call("/icons/radio.bmp", {{"command", "other"}}).request.status, 200);
}

TEST_F(Icons, DeleteIsKeptInThePackedStore)
{
    Reply reply = call("/icons/", {{"command", "xxdeleteIconyy"}, {"originalName", "radio.bmp"}});
    EXPECT_EQ(reply.request.status, 200);
    EXPECT_EQ(reply.status, "success");
    EXPECT_EQ(reply.description, "Icon \"radio.bmp\" deleted");

    EXPECT_EQ(decode(call("/icons/radio.bmp", {}).request.data).pixels, icon_pixels{});
    {
        auto lock = lock_store();
        EXPECT_EQ(unpack_icon(icon_store().data() + 6 * 60), icon_pixels{});
        EXPECT_EQ(get_icons_crc(), zlib_crc(icon_store().data(), 12480));
        // What the configuration export carries decodes to the blank icon too.
        std::string text = export_icons();
        gsize length = 0;
        guchar* decoded = g_base64_decode(text.c_str(), &length);
        EXPECT_EQ(unpack_icon(decoded + 6 * 60), icon_pixels{});
        g_free(decoded);
    }
    auto entries = unzip(call("/icons/", {{"command", "save_icons"}}).request.data);
    EXPECT_EQ(decode(entries["006_normal.bmp"]).pixels, icon_pixels{});
    EXPECT_NE(decode(entries["008_normal.bmp"]).pixels, icon_pixels{});

    for (auto args : {std::vector<std::pair<std::string, std::string>>{{"command", "deleteIcon"}, {"originalName", "nosuch.bmp"}},
                      std::vector<std::pair<std::string, std::string>>{{"command", "deleteIcon"}}}) {
        Reply wrong = call("/icons/", args);
        EXPECT_EQ(wrong.status, "error");
        EXPECT_EQ(wrong.description, "Wrong icon");
    }
}

TEST_F(Icons, LoadIconReplies)
{
    write_file("tmp/good.png", make_image(20, 20, two_colours, "PNG"));
    write_file("tmp/wide.png", make_image(21, 20, two_colours, "PNG"));
    auto three = [](int x, int y) { return x == 4 && y == 4 ? "red" : two_colours(x, y); };
    write_file("tmp/three.png", make_image(20, 20, three, "PNG"));
    write_file("outside.png", make_image(20, 20, two_colours, "PNG"));
    fs::create_symlink(dir / "outside.png", "tmp/link.png");
    const std::string tmp = (dir / "tmp").string();

    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> args;
        const char* status;
        std::string description;
    };
    const std::string read_error = "Icon \"phone.bmp\" not found (possible read error)";
    const Case cases[] = {
        {"upload", {{"file=", "./tmp/good.png"}}, "success", "Icon \"phone.bmp\" uploaded successfully"},
        {"upload by real path", {{"file=", tmp + "/good.png"}}, "success", "Icon \"phone.bmp\" uploaded successfully"},
        {"filePath in tmp", {{"filePath", "./tmp/good.png"}}, "success", "Icon \"phone.bmp\" uploaded successfully"},
        {"filePath relative to tmp", {{"filePath", "good.png"}}, "success", "Icon \"phone.bmp\" uploaded successfully"},
        {"upload wins over filePath", {{"file=", "./tmp/good.png"}, {"filePath", "wide.png"}}, "success",
         "Icon \"phone.bmp\" uploaded successfully"},
        {"wrong size", {{"file=", "./tmp/wide.png"}}, "error", "Wrong icon size (not equal to 20x20px)"},
        {"three colours", {{"file=", "./tmp/three.png"}}, "error", "Wrong icon colorspace"},
        {"filePath outside tmp", {{"filePath", (dir / "outside.png").string()}}, "error", read_error},
        {"filePath climbing out", {{"filePath", "../outside.png"}}, "error", read_error},
        {"filePath with coder prefix", {{"filePath", "png:./tmp/good.png"}}, "error", read_error},
        {"link out of tmp", {{"filePath", "link.png"}}, "error", read_error},
        {"upload outside tmp", {{"file=", (dir / "outside.png").string()}}, "error", read_error},
        {"no image", {}, "error", read_error},
        {"missing file", {{"filePath", "gone.png"}}, "error", read_error},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            auto lock = lock_store();
            import_icons(nullptr);
        }
        auto args = c.args;
        args.insert(args.begin(), {{"command", "load_icons"}, {"originalName", "phone.bmp"}});
        Reply reply = call("/icons/", args);
        EXPECT_EQ(reply.request.status, 200);
        EXPECT_EQ(reply.status, c.status);
        EXPECT_EQ(reply.description, c.description);
        auto lock = lock_store();
        EXPECT_EQ(find_icon("phone.bmp")->pixels == pattern_pixels(), std::string(c.status) == "success");
    }

    Reply unknown = call("/icons/", {{"command", "load_icons"}, {"originalName", "nosuch.bmp"}, {"file=", "./tmp/good.png"}});
    EXPECT_EQ(unknown.status, "error");
    EXPECT_EQ(unknown.description, "Icon \"nosuch.bmp\" not recognized");
}

TEST_F(Icons, SaveIconsAnswersAZipOfTheFirst190)
{
    Reply reply = call("/icons/", {{"command", "save_icons"}});
    EXPECT_EQ(reply.request.status, 200);
    EXPECT_EQ(reply.request.content_type, "application/zip");
    EXPECT_EQ(reply.request.content_transfer_encoding, "binary");
    EXPECT_EQ(reply.request.content_disposition, "attachment; filename=\"icons.zip\"");
    EXPECT_FALSE(fs::exists("tmp/icons.zip")); // built in memory

    auto entries = unzip(reply.request.data);
    ASSERT_EQ(entries.size(), 190u);
    for (int i = 0; i < 190; ++i) {
        char name[32];
        snprintf(name, sizeof name, i % 2 == 0 ? "%03d_normal.bmp" : "%03d_disabled.bmp", i);
        ASSERT_EQ(entries.count(name), 1u) << name;
        Decoded picture = decode(entries[name]);
        ASSERT_EQ(picture.width, 20u);
        EXPECT_EQ(picture.pixels, unpack_icon(default_icon_store().data() + i * 60)) << name;
    }
}

TEST_F(Icons, ConcurrentArchivesAreWhole)
{
    std::string zips[4];
    std::vector<std::thread> threads;
    for (auto& zip : zips)
        threads.emplace_back([this, &zip] { zip = call("/icons/", {{"command", "save_icons"}}).request.data; });
    for (auto& thread : threads) thread.join();
    for (const auto& zip : zips) EXPECT_EQ(unzip(zip).size(), 190u);
}
