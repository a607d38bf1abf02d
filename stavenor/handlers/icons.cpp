#include "handlers/icons.h"

#include "common/logger.h"
#include "common/paths.h"
#include "common/store_lock.h"
#include "handlers/icon_store.h"
#include "handlers/tuna/tuna_handler.h"
#include "include/configuration.h"
#include "include/params.h"
#include "include/status_reply.h"

#include <archive.h>
#include <archive_entry.h>
#include <wand/MagickWand.h>

#include <ctime>

namespace {

// The archive holds the first 190 icons only, as the browser's editor expects.
constexpr int kArchivedIcons = 190;

const char* text_or_null(const std::string* text)
{
    return text ? text->c_str() : "(null)";
}

void answer_none(http_request& request)
{
    request.status = 404;
    request.data = "none";
    request.content_type = "text/plain; charset=utf-8";
}

// A path below the temporary directory, given by its configured name ("./tmp/x.png"), its real
// path, or relative to it ("x.png"); none when it would leave the directory.
std::optional<std::string> inside_temporary_directory(const std::string& path)
{
    const std::string root = temporary_directory();
    std::string relative = path;
    auto real_root = resolve_inside(root, ".");
    if (path.compare(0, root.size(), root) == 0)
        relative = path.substr(root.size());
    else if (real_root && path.compare(0, real_root->size() + 1, *real_root + "/") == 0)
        relative = path.substr(real_root->size() + 1);
    if (relative.empty()) return std::nullopt;
    return resolve_inside(root, relative);
}

// The uploaded image: the request's file upload ("file", else the first one), or "filePath" when
// it names a file in the temporary directory. Nothing outside that directory is ever read.
std::optional<std::string> uploaded_image(const param_list* params, std::string& shown)
{
    if (!params) return std::nullopt;
    const request_param* upload = find_param(*params, "file");
    if (!upload || !upload->upload_path) {
        upload = nullptr;
        for (const auto& item : params->items)
            if (item->upload_path) {
                upload = item.get();
                break;
            }
    }
    const std::string* file_path = get_param(*params, "filePath");
    std::string candidate;
    if (upload)
        candidate = *upload->upload_path;
    else if (file_path)
        candidate = *file_path;
    else
        return std::nullopt;
    shown = candidate;
    return inside_temporary_directory(candidate);
}

// True when the icon changed.
bool delete_icon(http_request& request)
{
    const std::string* name = request.params ? get_param(*request.params, "originalName") : nullptr;
    icon_record* record = name ? find_icon(*name) : nullptr;
    LOG(LOG_ICONS, "clear icon: [%s] [%p]", text_or_null(name), static_cast<void*>(record));
    if (!record) {
        status_reply(request, false, "Wrong icon");
        return false;
    }
    // The packed store follows, so the deletion reaches the archive and the saved configuration.
    clear_icon(record);
    status_reply(request, true, "Icon \"" + record->name + "\" deleted");
    return true;
}

bool load_icon(http_request& request)
{
    const std::string* name = request.params ? get_param(*request.params, "originalName") : nullptr;
    icon_record* record = name ? find_icon(*name) : nullptr;
    std::string shown = "(null)";
    std::optional<std::string> image = uploaded_image(request.params, shown);
    LOG(LOG_ICONS, "file: [%s] [%p] -> %s", text_or_null(name), static_cast<void*>(record), shown.c_str());
    if (!record) {
        status_reply(request, false, "Icon \"" + std::string(name ? *name : "") + "\" not recognized");
        return false;
    }
    if (!image) LOG(LOG_ICONS, "no icon image inside the temporary directory: [%s]", shown.c_str());
    switch (image ? convert_icon(*image, record) : ICON_UNREADABLE) {
    case ICON_CONVERTED:
        LOG(LOG_ICONS, "upload icon file: [%s]", image->c_str());
        status_reply(request, true, "Icon \"" + record->name + "\" uploaded successfully");
        return true;
    case ICON_WRONG_SIZE:
        status_reply(request, false, "Wrong icon size (not equal to 20x20px)");
        break;
    case ICON_WRONG_COLOURS:
        status_reply(request, false, "Wrong icon colorspace");
        break;
    default:
        status_reply(request, false, "Icon \"" + record->name + "\" not found (possible read error)");
        break;
    }
    return false;
}

void save_icons(http_request& request)
{
    std::optional<std::string> zip = build_icons_zip();
    if (!zip) {
        // No answer: the daemon sends its error page.
        LOG(LOG_ERROR, "icons archive could not be built");
        return;
    }
    request.status = 200;
    request.data = std::move(*zip);
    request.content_type = "application/zip";
    request.content_transfer_encoding = "binary";
    request.content_disposition = "attachment; filename=\"icons.zip\"";
}

void show_icon(http_request& request)
{
    if (request.url.find(".bmp") == std::string::npos) {
        answer_none(request);
        return;
    }
    // The icon's file name follows "/icons/".
    const std::string name = request.url.size() > 7 ? request.url.substr(7) : std::string();
    icon_record* record = find_icon(name);
    if (!record) {
        LOG(LOG_ICONS, "ICON NOT FOUND [%s]", request.url.c_str());
        answer_none(request);
        return;
    }
    std::optional<std::string> bmp = render_icon(record->pixels);
    if (!bmp) {
        LOG(LOG_ERROR, "icon could not be rendered [%s]", name.c_str());
        return;
    }
    request.status = 200;
    request.data = std::move(*bmp);
    request.content_type = "image/bmp";
}

la_ssize_t append_to_string(struct archive*, void* client, const void* buffer, size_t length)
{
    static_cast<std::string*>(client)->append(static_cast<const char*>(buffer), length);
    return static_cast<la_ssize_t>(length);
}

bool add_zip_entry(struct archive* zip, const std::string& name, const std::string& bytes, time_t now)
{
    struct archive_entry* entry = archive_entry_new();
    archive_entry_set_pathname(entry, name.c_str());
    archive_entry_set_filetype(entry, AE_IFREG);
    archive_entry_set_perm(entry, 0644);
    archive_entry_set_size(entry, static_cast<la_int64_t>(bytes.size()));
    archive_entry_set_mtime(entry, now, 0);
    bool ok = archive_write_header(zip, entry) == ARCHIVE_OK &&
              archive_write_data(zip, bytes.data(), bytes.size()) == static_cast<la_ssize_t>(bytes.size());
    archive_entry_free(entry);
    return ok;
}

} // namespace

std::optional<std::string> render_icon(const icon_pixels& pixels)
{
    unsigned char rgb[kIconSide * kIconSide * 3];
    for (int y = 0; y < kIconSide; ++y)
        for (int x = 0; x < kIconSide; ++x)
            for (int c = 0; c < 3; ++c) rgb[3 * (y * kIconSide + x) + c] = pixels[x][y] ? 0 : 255;

    MagickWand* wand = NewMagickWand();
    PixelWand* white = NewPixelWand();
    PixelSetColor(white, "white");
    std::optional<std::string> bmp;
    if (MagickNewImage(wand, kIconSide, kIconSide, white) != MagickFalse &&
        MagickImportImagePixels(wand, 0, 0, kIconSide, kIconSide, "RGB", CharPixel, rgb) != MagickFalse &&
        MagickSetImageFormat(wand, "BMP") != MagickFalse) {
        size_t length = 0;
        unsigned char* blob = MagickGetImageBlob(wand, &length);
        if (blob && length > 0) bmp.emplace(reinterpret_cast<const char*>(blob), length);
        MagickRelinquishMemory(blob);
    }
    DestroyPixelWand(white);
    DestroyMagickWand(wand);
    return bmp;
}

std::optional<std::string> build_icons_zip()
{
    std::string bytes;
    struct archive* zip = archive_write_new();
    bool ok = archive_write_set_format_zip(zip) == ARCHIVE_OK &&
              archive_write_set_bytes_in_last_block(zip, 1) == ARCHIVE_OK &&
              archive_write_open(zip, &bytes, nullptr, append_to_string, nullptr) == ARCHIVE_OK;
    const time_t now = time(nullptr);
    for (int i = 0; ok && i < kArchivedIcons; ++i) {
        // From the packed store, which is what the configuration file carries.
        std::optional<std::string> bmp = render_icon(unpack_icon(icon_store().data() + i * kPackedIconSize));
        char name[32];
        snprintf(name, sizeof name, i % 2 == 0 ? "%03d_normal.bmp" : "%03d_disabled.bmp", i);
        ok = bmp && add_zip_entry(zip, name, *bmp, now);
    }
    ok = archive_write_close(zip) == ARCHIVE_OK && ok;
    archive_write_free(zip);
    if (!ok) return std::nullopt;
    return bytes;
}

void icons_handler(http_request& request)
{
    auto lock = lock_store();
    const std::string* command = request.params ? get_param(*request.params, "command") : nullptr;
    LOG(LOG_ICONS, "%s - %s [%s]", "icons_handler", request.url.c_str(), text_or_null(command));
    if (command) {
        // Commands are matched as parts of the text, in this order.
        const std::string* name = get_param(*request.params, "originalName");
        // An icon is kept with the configuration: a changed one is an unsaved change of the store.
        auto changed = [&](bool done) {
            if (done && tunaStore()) tunaStore()->noteOtherChange("button icon " + *name + " changed", request.window);
        };
        if (command->find("deleteIcon") != std::string::npos) return changed(delete_icon(request));
        if (command->find("load_icons") != std::string::npos) return changed(load_icon(request));
        if (command->find("save_icons") != std::string::npos) return save_icons(request);
    }
    show_icon(request);
}

void init_icons()
{
    LOG(LOG_ICONS, "%s\n", "init_icons");
    MagickWandGenesis();
    // Icons are 20x20: worker threads would only cost start-up time.
    MagickSetResourceLimit(ThreadResource, 1);
    auto lock = lock_store();
    // The configuration imported at start may have brought its icons: keep them.
    if (!find_icon(icon_names[0])) import_icons(nullptr);
}

void cleanup_icons()
{
    LOG(LOG_ICONS, "%s\n", "cleanup_icons");
    auto lock = lock_store();
    MagickWandTerminus();
    free_icons();
}
