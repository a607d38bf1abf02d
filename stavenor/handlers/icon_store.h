// The button-icon store: 208 icons of 20x20 two-colour pixels, packed 60 bytes each with a
// CRC-32 trailer (the form the configuration file carries), and one unpacked record per icon.
//
// The store is part of the configuration store: every caller holds lock_store()
// (common/store_lock.h) around these calls. None of them takes the lock itself, so that the
// configuration import and export can call import_icons and export_icons under their own hold.
#pragma once

#include "handlers/icon_drawings.h"

#include <array>
#include <cstdint>
#include <string>

constexpr size_t kIconStoreSize = kIconBytes + 4; // the icons and the little-endian CRC-32
// An uploaded image larger than this is not read (a 20x20 picture is a few kilobytes at most).
constexpr size_t kMaxIconImageSize = 1024 * 1024;

using icon_store_bytes = std::array<uint8_t, kIconStoreSize>;

struct icon_record {
    std::string name;  // from icon_names
    icon_pixels pixels{}; // [x][y], 1 black
    int index = 0;     // 0 ... 207
};

// "empty.bmp", "empty_ds.bmp", "commander.bmp", ...: the normal icon of each button at the even
// index, its disabled twin ("_ds") at the odd one.
extern const char* const icon_names[kIconCount];

// The built-in store: the default drawings with their CRC-32.
const icon_store_bytes& default_icon_store();
// The live packed store.
const icon_store_bytes& icon_store();

void unpack_icons();
void free_icons();
// The record of that exact file name (case-sensitive), or null; valid until the next unpack.
icon_record* find_icon(const std::string& name);

enum icon_convert_result {
    ICON_CONVERTED = 0,
    ICON_WRONG_SIZE = 1,
    ICON_WRONG_COLOURS = 2,
    ICON_UNREADABLE = 3,
};
// Reads the image file (BMP, PNG, GIF or JPEG, told by its first bytes), checks it is 20x20 with
// fewer than three colours, and stores it in the record and the packed store: exactly black
// pixels are black, every other colour white. MagickWand must be started (init_icons).
int convert_icon(const std::string& path, icon_record* record);
// Blanks the icon in both forms, packed store and CRC included.
void clear_icon(icon_record* record);

void compute_icons_crc();
uint32_t get_icons_crc(); // the trailer as stored, not recomputed

// The standard base64 text of all 12,484 bytes (16,648 characters).
std::string export_icons();
// With a text: its base64 decoding is copied over the start of the store (at most 12,484 bytes;
// the rest keeps its bytes, the trailer is whatever the text carried). Without one (null): the
// built-in store. Then every record is rebuilt. Returns the number of bytes copied.
size_t import_icons(const char* text);
