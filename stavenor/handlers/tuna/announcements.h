// The announcement repository: WAV files on disk below "announcements", the files directly in it
// for every language ("Common"), one directory per language for the others. The store's tables
// mirror the disk; TunaHandler::scanAnnouncements rebuilds them from it, and the command
// "globalAudioSetupAudioRepository.json" uploads, deletes and lists the files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr const char* kAnnouncementDirectory = "announcements";
// Languages' name for the files directly in the repository's root.
inline constexpr const char* kCommonLanguage = "Common";
// The only header the units play: the canonical one, at fixed offsets.
inline constexpr size_t kWavHeaderBytes = 44;
// The largest upload that is stored.
inline constexpr size_t kMaxAnnouncementBytes = 1048576;

inline constexpr int kWavPcm = 1;  // 16-bit linear
inline constexpr int kWavUlaw = 7; // 8-bit µ-law

// Reads up to `length` bytes of the file into `buffer`: `length` when all came, fewer when the
// file ends first, 0 when it cannot be opened, -1 on a read error. A symbolic link is not followed.
int64_t readWholeFile(const std::string& path, unsigned char* buffer, size_t length);

// The header rules, in order, the first failure deciding: -1 fewer than 44 bytes, -2 no "RIFF",
// -3 no "WAVE", -4 no "fmt ", -5 format not PCM or µ-law, -6 not mono, -7 rate not 8000 or 16000,
// -8 bits per sample not 16 for PCM or 8 for µ-law. Otherwise the declared length (RIFF chunk
// size + 8, wrapping as a signed 32-bit number). `format` and `rate` receive what was read.
// A result above 0 is an acceptable announcement; what follows the header is not looked at, so
// a padding byte or a trailing chunk after the RIFF chunk is kept as it is.
int32_t checkWavHeader(const unsigned char* header, size_t count, int& format, int& rate);

// Playing time in milliseconds of a file of `size` bytes (header included).
int64_t wavDuration(int64_t size, int rate, int format);
// "PCM" or "u-Law", as the repository table stores it.
const char* wavTypeName(int format);
