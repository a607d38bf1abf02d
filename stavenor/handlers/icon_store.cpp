#include "handlers/icon_store.h"

#include "common/crc.h"
#include "common/logger.h"

#include <fcntl.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wand/MagickWand.h>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

const char* const icon_names[kIconCount] = {
    "empty.bmp", "empty_ds.bmp", // 0
    "commander.bmp", "commander_ds.bmp", // 2
    "operator.bmp", "operator_ds.bmp", // 4
    "radio.bmp", "radio_ds.bmp", // 6
    "radio_vyx.bmp", "radio_vyx_ds.bmp", // 8
    "receiver.bmp", "receiver_ds.bmp", // 10
    "receiver_ssb.bmp", "receiver_ssb_ds.bmp", // 12
    "phone.bmp", "phone_ds.bmp", // 14
    "field_phone.bmp", "field_phone_ds.bmp", // 16
    "conference.bmp", "conference_ds.bmp", // 18
    "conference_with_radio.bmp", "conference_with_radio_ds.bmp", // 20
    "talk_to.bmp", "talk_to_ds.bmp", // 22
    "conferences.bmp", "conferences_ds.bmp", // 24
    "radios.bmp", "radios_ds.bmp", // 26
    "monitoring.bmp", "monitoring_ds.bmp", // 28
    "retranslation.bmp", "retranslation_ds.bmp", // 30
    "radio_on_speaker.bmp", "radio_on_speaker_ds.bmp", // 32
    "radio_in_conference.bmp", "radio_in_conference_ds.bmp", // 34
    "radio_exclusive.bmp", "radio_exclusive_ds.bmp", // 36
    "radio_sharing.bmp", "radio_sharing_ds.bmp", // 38
    "radio_vox.bmp", "radio_vox_ds.bmp", // 40
    "speaker.bmp", "speaker_ds.bmp", // 42
    "speaker_erase.bmp", "speaker_erase_ds.bmp", // 44
    "phones.bmp", "phones_ds.bmp", // 46
    "phones_erase.bmp", "phones_erase_ds.bmp", // 48
    "speakers.bmp", "speakers_ds.bmp", // 50
    "left_right.bmp", "left_right_ds.bmp", // 52
    "error.bmp", "error_ds.bmp", // 54
    "radio_silence_off.bmp", "radio_silence_off_ds.bmp", // 56
    "radio_silence_on.bmp", "radio_silence_on_ds.bmp", // 58
    "settings.bmp", "settings_ds.bmp", // 60
    "me.bmp", "me_ds.bmp", // 62
    "call.bmp", "call_ds.bmp", // 64
    "volume_limit_off.bmp", "volume_limit_off_ds.bmp", // 66
    "volume_limit_on.bmp", "volume_limit_on_ds.bmp", // 68
    "information.bmp", "information_ds.bmp", // 70
    "critical.bmp", "critical_ds.bmp", // 72
    "question.bmp", "question_ds.bmp", // 74
    "exclamation.bmp", "exclamation_ds.bmp", // 76
    "conference_on_demand.bmp", "conference_on_demand_ds.bmp", // 78
    "dtmf.bmp", "dtmf_ds.bmp", // 80
    "disconnect.bmp", "disconnect_ds.bmp", // 82
    "gps.bmp", "gps_ds.bmp", // 84
    "ok.bmp", "ok_ds.bmp", // 86
    "c.bmp", "c_ds.bmp", // 88
    "exit.bmp", "exit_ds.bmp", // 90
    "cursor_down.bmp", "cursor_down_ds.bmp", // 92
    "cursor_up.bmp", "cursor_up_ds.bmp", // 94
    "cursor_left.bmp", "cursor_left_ds.bmp", // 96
    "cursor_right.bmp", "cursor_right_ds.bmp", // 98
    "shift_on.bmp", "shift_on_ds.bmp", // 100
    "shift_off.bmp", "shift_off_ds.bmp", // 102
    "voip.bmp", "voip_ds.bmp", // 104
    "sip.bmp", "sip_ds.bmp", // 106
    "display_on.bmp", "display_on_ds.bmp", // 108
    "display_off.bmp", "display_off_ds.bmp", // 110
    "data.bmp", "data_ds.bmp", // 112
    "monitor_radio.bmp", "monitor_radio_ds.bmp", // 114
    "monitor_operator.bmp", "monitor_operator_ds.bmp", // 116
    "monitor_commander.bmp", "monitor_commander_ds.bmp", // 118
    "monitor_radio_vyx.bmp", "monitor_radio_vyx_ds.bmp", // 120
    "monitor_receiver.bmp", "monitor_receiver_ds.bmp", // 122
    "monitor_conference.bmp", "monitor_conference_ds.bmp", // 124
    "monitor_conference_with_radio.bmp", "monitor_conference_with_radio_ds.bmp", // 126
    "monitor_field_phone.bmp", "monitor_field_phone_ds.bmp", // 128
    "monitor_phone.bmp", "monitor_phone_ds.bmp", // 130
    "player_play.bmp", "player_play_ds.bmp", // 132
    "player_stop.bmp", "player_stop_ds.bmp", // 134
    "player_next.bmp", "player_next_ds.bmp", // 136
    "player_previous.bmp", "player_previous_ds.bmp", // 138
    "player_playlist.bmp", "player_playlist_ds.bmp", // 140
    "player_fft.bmp", "player_fft_ds.bmp", // 142
    "player_exit.bmp", "player_exit_ds.bmp", // 144
    "garex_player.bmp", "garex_player_ds.bmp", // 146
    "speaker_radio.bmp", "speaker_radio_ds.bmp", // 148
    "speaker_operator.bmp", "speaker_operator_ds.bmp", // 150
    "speaker_commander.bmp", "speaker_commander_ds.bmp", // 152
    "speaker_radio_vyx.bmp", "speaker_radio_vyx_ds.bmp", // 154
    "speaker_receiver.bmp", "speaker_receiver_ds.bmp", // 156
    "speaker_conference.bmp", "speaker_conference_ds.bmp", // 158
    "speaker_conference_with_radio.bmp", "speaker_conference_with_radio_ds.bmp", // 160
    "speaker_field_phone.bmp", "speaker_field_phone_ds.bmp", // 162
    "speaker_phone.bmp", "speaker_phone_ds.bmp", // 164
    "command_vehicle.bmp", "command_vehicle_ds.bmp", // 166
    "wheeled_vehicle.bmp", "wheeled_vehicle_ds.bmp", // 168
    "tracked_vehicle.bmp", "tracked_vehicle_ds.bmp", // 170
    "bms.bmp", "bms_ds.bmp", // 172
    "messages.bmp", "messages_ds.bmp", // 174
    "message.bmp", "message_ds.bmp", // 176
    "messages_received.bmp", "messages_received_ds.bmp", // 178
    "messages_sent.bmp", "messages_sent_ds.bmp", // 180
    "radio_data.bmp", "radio_data_ds.bmp", // 182
    "navigation.bmp", "navigation_ds.bmp", // 184
    "usb.bmp", "usb_ds.bmp", // 186
    "dorix.bmp", "dorix_ds.bmp", // 188
    "detonator.bmp", "detonator_ds.bmp", // 190
    "ktx_rotate.bmp", "ktx_rotate_ds.bmp", // 192
    "ktx_opt.bmp", "ktx_opt_ds.bmp", // 194
    "ktx_mode.bmp", "ktx_mode_ds.bmp", // 196
    "ktx_call.bmp", "ktx_call_ds.bmp", // 198
    "ktx_wait.bmp", "ktx_wait_ds.bmp", // 200
    "ktx_pre.bmp", "ktx_pre_ds.bmp", // 202
    "ktx_zero.bmp", "ktx_zero_ds.bmp", // 204
    "gauge.bmp", "gauge_ds.bmp", // 206
};

namespace {

icon_store_bytes& live_store()
{
    static icon_store_bytes store = default_icon_store();
    return store;
}

std::vector<icon_record>& records()
{
    static std::vector<icon_record> list;
    return list;
}

void store_crc(icon_store_bytes& store)
{
    uint32_t crc = crc32_of(store.data(), kIconBytes);
    for (int i = 0; i < 4; ++i) store[kIconBytes + i] = static_cast<uint8_t>(crc >> (8 * i));
}

// Only these coders ever see an upload, picked by the file's own first bytes.
const char* image_format(std::string_view bytes)
{
    if (bytes.substr(0, 2) == "BM") return "BMP";
    if (bytes.substr(0, 8) == "\x89PNG\r\n\x1a\n") return "PNG";
    if (bytes.substr(0, 6) == "GIF87a" || bytes.substr(0, 6) == "GIF89a") return "GIF";
    if (bytes.substr(0, 3) == "\xFF\xD8\xFF") return "JPEG";
    return nullptr;
}

bool read_image_file(const std::string& path, std::string& bytes)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
              static_cast<uint64_t>(st.st_size) <= kMaxIconImageSize;
    if (ok) {
        bytes.resize(static_cast<size_t>(st.st_size));
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t got = read(fd, bytes.data() + done, bytes.size() - done);
            if (got <= 0) break;
            done += static_cast<size_t>(got);
        }
        ok = done == bytes.size();
    }
    close(fd);
    return ok;
}

bool is_icon_sized(MagickWand* wand)
{
    MagickSetFirstIterator(wand);
    return MagickGetImageWidth(wand) == kIconSide && MagickGetImageHeight(wand) == kIconSide;
}

int decode_icon(const std::string& bytes, const char* format, icon_pixels& pixels)
{
    MagickWand* wand = NewMagickWand();
    // The size is checked on the header alone, so a huge picture is never decoded.
    MagickSetFormat(wand, format);
    if (MagickPingImageBlob(wand, bytes.data(), bytes.size()) == MagickFalse) {
        DestroyMagickWand(wand);
        return ICON_UNREADABLE;
    }
    if (!is_icon_sized(wand)) {
        DestroyMagickWand(wand);
        return ICON_WRONG_SIZE;
    }
    ClearMagickWand(wand);
    MagickSetFormat(wand, format);
    if (MagickReadImageBlob(wand, bytes.data(), bytes.size()) == MagickFalse) {
        DestroyMagickWand(wand);
        return ICON_UNREADABLE;
    }
    // The coder that read it must be the one the signature named; its variants count as it
    // ("BMP3" is the common Windows bitmap, "GIF87" the older GIF).
    char* read_as = MagickGetImageFormat(wand);
    bool same_coder = read_as && strncmp(read_as, format, strlen(format)) == 0;
    MagickRelinquishMemory(read_as);
    int result = ICON_CONVERTED;
    if (!same_coder) {
        result = ICON_UNREADABLE;
    } else if (!is_icon_sized(wand)) {
        result = ICON_WRONG_SIZE;
    } else if (MagickGetImageColors(wand) >= 3) {
        result = ICON_WRONG_COLOURS;
    } else {
        // 16-bit samples, so that only a truly black pixel reads as black.
        uint16_t rgb[kIconSide * kIconSide * 3];
        if (MagickExportImagePixels(wand, 0, 0, kIconSide, kIconSide, "RGB", ShortPixel, rgb) == MagickFalse) {
            result = ICON_UNREADABLE;
        } else {
            for (int y = 0; y < kIconSide; ++y)
                for (int x = 0; x < kIconSide; ++x) {
                    const uint16_t* p = rgb + 3 * (y * kIconSide + x);
                    pixels[x][y] = p[0] == 0 && p[1] == 0 && p[2] == 0 ? 1 : 0;
                }
        }
    }
    DestroyMagickWand(wand);
    return result;
}

void store_record(const icon_record& record)
{
    pack_icon(record.pixels, live_store().data() + static_cast<size_t>(record.index) * kPackedIconSize);
    compute_icons_crc();
}

} // namespace

const icon_store_bytes& default_icon_store()
{
    static const icon_store_bytes store = [] {
        icon_store_bytes bytes{};
        const auto& drawings = default_icon_drawings();
        std::copy(drawings.begin(), drawings.end(), bytes.begin());
        store_crc(bytes);
        return bytes;
    }();
    return store;
}

const icon_store_bytes& icon_store()
{
    return live_store();
}

void unpack_icons()
{
    auto& list = records();
    list.clear();
    list.resize(kIconCount);
    for (int i = 0; i < kIconCount; ++i) {
        list[i].name = icon_names[i];
        list[i].index = i;
        list[i].pixels = unpack_icon(live_store().data() + static_cast<size_t>(i) * kPackedIconSize);
    }
}

void free_icons()
{
    records().clear();
}

icon_record* find_icon(const std::string& name)
{
    for (auto& record : records())
        if (record.name == name) return &record;
    return nullptr;
}

int convert_icon(const std::string& path, icon_record* record)
{
    std::string bytes;
    if (!record || !read_image_file(path, bytes)) return ICON_UNREADABLE;
    const char* format = image_format(bytes);
    if (!format) {
        LOG(LOG_ICONS, "icon image is not BMP, PNG, GIF or JPEG: [%s]", path.c_str());
        return ICON_UNREADABLE;
    }
    icon_pixels pixels{};
    int result = decode_icon(bytes, format, pixels);
    if (result != ICON_CONVERTED) return result;
    record->pixels = pixels;
    store_record(*record);
    return ICON_CONVERTED;
}

void clear_icon(icon_record* record)
{
    if (!record) return;
    record->pixels = icon_pixels{};
    store_record(*record);
}

void compute_icons_crc()
{
    store_crc(live_store());
}

uint32_t get_icons_crc()
{
    const auto& store = live_store();
    uint32_t crc = 0;
    for (int i = 0; i < 4; ++i) crc |= static_cast<uint32_t>(store[kIconBytes + i]) << (8 * i);
    return crc;
}

std::string export_icons()
{
    gchar* text = g_base64_encode(live_store().data(), live_store().size());
    std::string out = text ? text : "";
    g_free(text);
    return out;
}

size_t import_icons(const char* text)
{
    auto& store = live_store();
    size_t copied = 0;
    if (text) {
        gsize length = 0;
        guchar* decoded = g_base64_decode(text, &length);
        copied = std::min<size_t>(length, store.size());
        if (decoded && copied > 0) memcpy(store.data(), decoded, copied);
        g_free(decoded);
    } else {
        store = default_icon_store();
        copied = store.size();
    }
    free_icons();
    unpack_icons();
    return copied;
}
