// The packed asset cache: a 7z archive stored with "XJ" in place of its "7z" signature, unpacked
// once per process into a cache directory and read back one asset at a time by name.
#pragma once

#include <cstddef>
#include <string>

constexpr size_t kMaxCachedAssetSize = 4 * 1024 * 1024; // larger assets are read cut to this size

enum asset_read_result { ASSET_READ = 0, ASSET_NOT_CACHED = 2 };

// Unpacks every file of the archive into the cache directory (emptied first), each under
// cacheFileName of its entry name; does nothing once a complete extraction of that directory
// has been made. The archive is read as it lies: its "XJ" bytes are never rewritten.
void extractAssetCache(const std::string& dataFile = "./data.db", const std::string& cacheDir = "./cache/");
// ASSET_READ with at most kMaxCachedAssetSize bytes of the asset, or ASSET_NOT_CACHED.
int readCachedFile(const std::string& name, std::string& data, const std::string& cacheDir = "./cache/");
// Deletes the cache directory with its content; the next extraction unpacks again.
void purgeAssetCache(const std::string& cacheDir = "./cache/");
// The cache's name of an asset, rewritten in place: '.' and '/' become 'b', '>' to 'w' move three
// places on, everything else becomes '_'. The result never holds a separator or a dot.
void cacheFileName(std::string& name);
