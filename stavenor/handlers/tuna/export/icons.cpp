// The button-icon store under "system"/"icons": its base64 text in numbered pages, the page count
// and the store's CRC-32 as "footprint".
#include "handlers/tuna/export/export.h"

#include "handlers/icon_store.h"

#include <cstdio>

namespace tuna_export {

namespace {

// Short pages keep every line of the file well inside what its readers accept.
constexpr size_t kIconPageSize = 128;

} // namespace

void writeIcons(ExportContext&, ConfigNode& root)
{
    ConfigNode& icons = *root.makePath("system", "icons");
    std::string text = export_icons();
    // The store's 12,484 bytes always end in the padding "=="; the import puts it back.
    if (text.size() < 2) return;
    text.resize(text.size() - 2);

    const int count = static_cast<int>((text.size() + kIconPageSize - 1) / kIconPageSize);
    icons.addInt("count", count);
    char footprint[16];
    snprintf(footprint, sizeof footprint, "%u", get_icons_crc());
    icons.addValue("footprint", footprint);

    ConfigNode& pages = *root.makePath("system", "icons", "pages");
    for (int n = 0; n < count; ++n) {
        char key[16];
        snprintf(key, sizeof key, "%03d", n);
        pages.addValue(key, text.substr(n * kIconPageSize, kIconPageSize));
    }
}

} // namespace tuna_export
