// The button icons in the configuration file: the pages the export writes, what the import makes
// of whole, truncated and forged sections, deletions that survive a save, and the start-up import.
#include "handlers/icon_store.h"
#include "handlers/icons.h"
#include "handlers/tuna/export/export.h"
#include "handlers/tuna/import/import.h"

#include "round_trip_support.h"

#include <glib.h>
#include <zlib.h>

#include <ctime>
#include <cstdio>
#include <filesystem>
#include <optional>

using namespace round_trip;

namespace {

const std::string kShippedDefault = std::string(TEST_DATA_DIR) + "/../../../run/default.conf";
const char* const kSuccess = "{\n\t\"status\" : \"success\"\n}\n";

uint32_t zlibCrc(const uint8_t* bytes, size_t length)
{
    return static_cast<uint32_t>(crc32(0L, bytes, static_cast<uInt>(length)));
}

// The store after `text` is copied over the start of `before`, as a load must leave it.
icon_store_bytes overlaid(const icon_store_bytes& before, const std::string& text)
{
    icon_store_bytes out = before;
    gsize length = 0;
    guchar* decoded = g_base64_decode(text.c_str(), &length);
    std::copy_n(decoded, std::min<size_t>(length, out.size()), out.begin());
    g_free(decoded);
    return out;
}

class ConfigIcons : public WorkingDirectory {
protected:
    void TearDown() override
    {
        {
            auto lock = lock_store();
            import_icons(nullptr);
        }
        WorkingDirectory::TearDown();
    }

    // The built-in store with two icons cleared, one on the first page and one on the last.
    icon_store_bytes useEditedIcons()
    {
        auto lock = lock_store();
        import_icons(nullptr);
        clear_icon(find_icon("radio.bmp"));
        clear_icon(find_icon("gauge_ds.bmp"));
        return icon_store();
    }

    icon_store_bytes currentIcons()
    {
        auto lock = lock_store();
        return icon_store();
    }

    // The export's "system"/"icons" node for the current store.
    ConfigNode* exportIcons(tuna_export::ExportContext& ex)
    {
        auto lock = lock_store();
        tuna_export::writeIcons(ex, ex.root);
        return ex.root.get("system", "icons");
    }

    std::vector<std::string> pagesOfCurrentIcons()
    {
        tuna_export::ExportContext ex(store());
        std::vector<std::string> pages;
        for (const auto& page : exportIcons(ex)->get("pages")->children) pages.push_back(page->value);
        return pages;
    }

    // "system"/"icons" of a whole ".conf" text, as lines.
    static std::string iconsSection(const std::string& text)
    {
        size_t start = text.find("\n\t|icons|\n");
        if (start == std::string::npos) return {};
        size_t end = start + 1;
        do end = text.find('\n', end) + 1;
        while (end < text.size() && text.compare(end, 2, "\t\t") == 0);
        return text.substr(start + 1, end - start - 1);
    }
};

std::string pageLine(int n, const std::string& text)
{
    char key[16];
    snprintf(key, sizeof key, "%03d", n);
    return std::string("\t\t\t|") + key + "|" + (text.empty() ? "" : " = |" + text + "|") + "\n";
}

} // namespace

TEST_F(ConfigIcons, ExportCutsTheStoreIntoNumberedPagesWithCountAndFootprint)
{
    icon_store_bytes edited = useEditedIcons();
    tuna_export::ExportContext ex(store());
    ConfigNode* icons = exportIcons(ex);
    ASSERT_NE(icons, nullptr);

    std::string count, footprint;
    ASSERT_TRUE(icons->getString("count", count));
    ASSERT_TRUE(icons->getString("footprint", footprint));
    EXPECT_EQ(count, "131");
    EXPECT_EQ(footprint, std::to_string(zlibCrc(edited.data(), kIconBytes)));

    ConfigNode* pages = icons->get("pages");
    ASSERT_NE(pages, nullptr);
    ASSERT_EQ(pages->children.size(), 131u);
    std::string joined;
    for (int n = 0; n < static_cast<int>(pages->children.size()); ++n) {
        const ConfigNode& page = *pages->children[n];
        char key[16];
        snprintf(key, sizeof key, "%03d", n);
        EXPECT_EQ(page.key, key);
        EXPECT_EQ(page.value.size(), n < 130 ? 128u : 6u) << key;
        joined += page.value;
    }
    std::string text;
    {
        auto lock = lock_store();
        text = export_icons();
    }
    EXPECT_EQ(joined + "==", text);
    EXPECT_EQ(overlaid(icon_store_bytes{}, joined + "=="), edited);

    // Written sorted by key, the pages stay in page order under count and footprint.
    std::string written = ex.root.saveToText();
    std::string section = iconsSection(written);
    const std::string head = "\t|icons|\n\t\t|count| = |131|\n\t\t|footprint| = |" + footprint + "|\n\t\t|pages|\n" +
                             pageLine(0, pages->children[0]->value) + pageLine(1, pages->children[1]->value);
    EXPECT_EQ(section.substr(0, head.size()), head);
    EXPECT_NE(section.find(pageLine(129, joined.substr(129 * 128, 128)) + pageLine(130, joined.substr(130 * 128))),
              std::string::npos);
}

// Whatever the section holds, the store ends as its pages 0 .. count - 1 (those present, in number
// order) decoded over the start of the store, never more than the store's 12,484 bytes.
TEST_F(ConfigIcons, ImportJoinsThePagesThatAreThere)
{
    useEditedIcons();
    const std::vector<std::string> p = pagesOfCurrentIcons();
    ASSERT_EQ(p.size(), 131u);
    std::string all, allLines, reversedLines, first50;
    for (int n = 0; n < 131; ++n) {
        all += p[n];
        allLines += pageLine(n, p[n]);
        reversedLines = pageLine(n, p[n]) + reversedLines;
        if (n < 50) first50 += pageLine(n, p[n]);
    }
    const std::string pages = "\t\t|pages|\n";
    auto count = [](const std::string& value) { return "\t\t|count| = |" + value + "|\n"; };

    struct Case {
        const char* what;
        std::optional<std::string> icons; // the lines under "icons"; none: no "icons" node
        std::string joined;              // the page texts the import must join
    } cases[] = {
        {"no icons node", std::nullopt, ""},
        {"whole section", count("131") + pages + allLines, all},
        {"count 0 and no pages", count("0"), ""},
        {"no count", pages + allLines, ""},
        {"count not a number", count("many") + pages + allLines, ""},
        {"negative count", count("-3") + pages + allLines, ""},
        {"count beyond the int range", count("99999999999") + pages + allLines, ""},
        {"count above the pages there are", count("200") + pages + allLines, all},
        {"count of two billion", count("2147483647") + pages + allLines, all},
        {"no pages node", count("131"), ""},
        {"truncated after 50 pages", count("131") + pages + first50, all.substr(0, 50 * 128)},
        {"count cuts the pages", count("2") + pages + allLines, p[0] + p[1]},
        {"gaps", count("3") + pages + pageLine(0, p[0]) + pageLine(2, p[2]), p[0] + p[2]},
        {"pages out of order", count("131") + pages + reversedLines, all},
        {"keys that are no page numbers",
         count("131") + pages + "\t\t\t|7| = |AAAA|\n\t\t\t|0007| = |AAAA|\n\t\t\t|x| = |AAAA|\n\t\t\t|-01| = |AAAA|\n"
             "\t\t\t|00a| = |AAAA|\n\t\t\t| 01| = |AAAA|\n\t\t\t|0000| = |AAAA|\n" + pageLine(1, p[1]),
         p[1]},
        {"a repeated key: the first counts", count("1") + pages + pageLine(0, p[5]) + pageLine(0, p[0]), p[5]},
        {"pages without a value", count("3") + pages + pageLine(0, "") + pageLine(1, p[1]) + pageLine(2, ""), p[1]},
        {"characters outside base64 and odd lengths", count("3") + pages + pageLine(0, "!!@@ A") + pageLine(1, "Q") +
                                                          pageLine(2, "=Zm9v*"),
         "!!@@ AQ=Zm9v*"},
        {"more text than the store holds", count("3") + pages + pageLine(0, all) + pageLine(1, std::string(40000, 'B')),
         all + std::string(40000, 'B')},
    };

    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ConfigNode root;
        std::string text = "|system|\n\t|name| = |s|\n";
        if (c.icons) text += "\t|icons|\n" + *c.icons;
        ASSERT_EQ(root.loadFromText(text), 0);

        icon_store_bytes before;
        {
            auto lock = lock_store();
            import_icons(nullptr);
            before = icon_store();
        }
        // The import's own processor time, which a second suite on the machine does not stretch.
        const std::clock_t started = std::clock();
        {
            auto lock = lock_store();
            store().resetConfiguration();
            tuna_import::importTree(store(), root);
        }
        EXPECT_LT(double(std::clock() - started) / CLOCKS_PER_SEC, 5.0);
        icon_store_bytes after = currentIcons();
        EXPECT_EQ(after, overlaid(before, c.joined + "=="));
        // The records follow the packed store.
        auto lock = lock_store();
        icon_record* radio = find_icon("radio.bmp");
        ASSERT_NE(radio, nullptr);
        bool blank = std::all_of(after.begin() + 6 * 60, after.begin() + 7 * 60, [](uint8_t b) { return b == 0; });
        EXPECT_EQ(radio->pixels == icon_pixels{}, blank);
    }
}

TEST_F(ConfigIcons, ADeletedIconIsSavedAndLoadedBack)
{
    {
        auto lock = lock_store();
        import_icons(nullptr);
    }
    param_list params;
    add_param(params, "command", std::string("deleteIcon"), PARAM_GET);
    add_param(params, "originalName", std::string("radio.bmp"), PARAM_GET);
    http_request request;
    request.url = "/icons/";
    request.params = &params;
    icons_handler(request);
    ASSERT_NE(request.data.find("deleted"), std::string::npos) << request.data;
    icon_store_bytes deleted = currentIcons();
    ASSERT_NE(deleted, default_icon_store());

    ASSERT_EQ(saveFile("deleted.conf"), 0);
    ConfigNode saved;
    ASSERT_EQ(saved.loadFromFile("deleted.conf"), 0);
    ConfigNode* icons = saved.get("system", "icons");
    ASSERT_NE(icons, nullptr);
    std::string joined;
    for (const auto& page : icons->get("pages")->children) joined += page->value;
    icon_store_bytes carried = overlaid(icon_store_bytes{}, joined + "==");
    EXPECT_EQ(carried, deleted);
    EXPECT_TRUE(std::all_of(carried.begin() + 6 * 60, carried.begin() + 7 * 60, [](uint8_t b) { return b == 0; }));
    std::string footprint;
    icons->getString("footprint", footprint);
    EXPECT_EQ(footprint, std::to_string(zlibCrc(carried.data(), kIconBytes)));
    uint32_t trailer = 0;
    for (int i = 0; i < 4; ++i) trailer |= static_cast<uint32_t>(carried[kIconBytes + i]) << (8 * i);
    EXPECT_EQ(footprint, std::to_string(trailer));

    // The built-in icons back, then the saved file: the deletion returns with it.
    {
        auto lock = lock_store();
        import_icons(nullptr);
        ASSERT_NE(find_icon("radio.bmp")->pixels, icon_pixels{});
    }
    EXPECT_EQ(loadFile("deleted.conf"), kSuccess);
    EXPECT_EQ(currentIcons(), deleted);
    auto lock = lock_store();
    EXPECT_EQ(find_icon("radio.bmp")->pixels, icon_pixels{});
    EXPECT_NE(find_icon("radio_ds.bmp")->pixels, icon_pixels{});
}

TEST_F(ConfigIcons, SaveLoadSaveGivesTheSamePages)
{
    icon_store_bytes edited = useEditedIcons();
    ASSERT_EQ(saveFile("s1.conf"), 0);
    {
        auto lock = lock_store();
        import_icons(nullptr);
    }
    ASSERT_EQ(loadFile("s1.conf"), kSuccess);
    EXPECT_EQ(currentIcons(), edited);
    ASSERT_EQ(saveFile("s2.conf"), 0);
    std::string s1 = iconsSection(readFile("s1.conf")), s2 = iconsSection(readFile("s2.conf"));
    EXPECT_EQ(std::count(s1.begin(), s1.end(), '\n'), 1 + 2 + 1 + 131);
    EXPECT_EQ(s1, s2);
}

// The start-up import runs before the "icons" handler is registered; registering it must not put
// the built-in icons back over the file's.
TEST_F(ConfigIcons, StartUpKeepsTheIconsOfDefaultConf)
{
    icon_store_bytes edited = useEditedIcons();
    ASSERT_EQ(saveFile("edited.conf"), 0);

    struct Case {
        const char* what;
        std::string defaultConf; // empty: no default.conf
        icon_store_bytes expected;
    } cases[] = {
        {"default.conf with icons", readFile("edited.conf"), edited},
        {"default.conf without icons", readFile(kShippedDefault), default_icon_store()},
        {"no default.conf", "", default_icon_store()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove("default.conf");
        if (!c.defaultConf.empty()) writeFile("default.conf", c.defaultConf);
        // As in a fresh process: the built-in store, no records yet.
        {
            auto lock = lock_store();
            import_icons(nullptr);
            free_icons();
        }
        stop_store();
        start_store();
        init_icons();
        EXPECT_EQ(currentIcons(), c.expected);
        {
            auto lock = lock_store();
            ASSERT_NE(find_icon("radio.bmp"), nullptr);
            EXPECT_EQ(find_icon("radio.bmp")->pixels == icon_pixels{}, c.expected == edited);
        }
        // saved.conf, written at start, carries them on.
        ConfigNode saved;
        ASSERT_EQ(saved.loadFromFile("saved.conf"), 0);
        std::string joined;
        for (const auto& page : saved.get("system", "icons", "pages")->children) joined += page->value;
        EXPECT_EQ(overlaid(icon_store_bytes{}, joined + "=="), c.expected);
    }
}
