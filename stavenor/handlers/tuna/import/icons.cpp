// The button icons of "system"/"icons": the pages joined back into the store's base64 text.
#include "handlers/tuna/import/import.h"

#include "handlers/icon_store.h"

#include <map>

namespace tuna_import {

namespace {

// The number n whose "%03d" text the key is, or -1 for any other key ("7", "0007", "x").
long long pageNumber(const std::string& key)
{
    if (key.size() < 3 || key.size() > 10 || (key.size() > 3 && key[0] == '0')) return -1;
    long long n = 0;
    for (char c : key) {
        if (c < '0' || c > '9') return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

} // namespace

void readIcons(ImportContext&, const ConfigNode& system)
{
    const ConfigNode* icons = system.get("icons");
    if (!icons) return; // the store keeps its icons
    int count = 0;
    if (!icons->getInt("count", count)) count = 0;

    // Page n (0 <= n < count) is the first child keyed "%03d" of n. The pages that are there are
    // walked rather than every number up to the count, so a forged count of billions costs nothing;
    // missing pages add nothing.
    std::map<long long, const std::string*> pages;
    if (const ConfigNode* node = icons->get("pages"))
        for (const auto& page : node->children) {
            long long n = pageNumber(page->key);
            if (n >= 0 && n < count) pages.emplace(n, &page->value);
        }
    std::string text;
    for (const auto& [n, value] : pages) text += *value;
    text += "==";
    // The decoding never writes past the store: at most its 12,484 bytes are taken.
    import_icons(text.c_str());
}

} // namespace tuna_import
