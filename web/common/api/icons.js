// The "icons" handler: each button icon as the server renders it, and the commands that replace,
// clear and archive them.
import {download, getJson, postJson, url} from "../client.js";

/** The base names of the icons, in the server's order; each has a normal and a disabled icon. */
const BASE_NAMES = [
    "empty", "commander", "operator", "radio", "radio_vyx", "receiver", "receiver_ssb", "phone", "field_phone",
    "conference", "conference_with_radio", "talk_to", "conferences", "radios", "monitoring", "retranslation",
    "radio_on_speaker", "radio_in_conference", "radio_exclusive", "radio_sharing", "radio_vox", "speaker",
    "speaker_erase", "phones", "phones_erase", "speakers", "left_right", "error", "radio_silence_off",
    "radio_silence_on", "settings", "me", "call", "volume_limit_off", "volume_limit_on", "information", "critical",
    "question", "exclamation", "conference_on_demand", "dtmf", "disconnect", "gps", "ok", "c", "exit",
    "cursor_down", "cursor_up", "cursor_left", "cursor_right", "shift_on", "shift_off", "voip", "sip",
    "display_on", "display_off", "data", "monitor_radio", "monitor_operator", "monitor_commander",
    "monitor_radio_vyx", "monitor_receiver", "monitor_conference", "monitor_conference_with_radio",
    "monitor_field_phone", "monitor_phone", "player_play", "player_stop", "player_next", "player_previous",
    "player_playlist", "player_fft", "player_exit", "garex_player", "speaker_radio", "speaker_operator",
    "speaker_commander", "speaker_radio_vyx", "speaker_receiver", "speaker_conference",
    "speaker_conference_with_radio", "speaker_field_phone", "speaker_phone", "command_vehicle", "wheeled_vehicle",
    "tracked_vehicle", "bms", "messages", "message", "messages_received", "messages_sent", "radio_data",
    "navigation", "usb", "dorix", "detonator", "ktx_rotate", "ktx_opt", "ktx_mode", "ktx_call", "ktx_wait",
    "ktx_pre", "ktx_zero", "gauge",
];

/** The 208 icon file names: each base name's normal icon, then its disabled one. */
export const ICON_NAMES = BASE_NAMES.flatMap(base => [`${base}.bmp`, `${base}_ds.bmp`]);

/** An icon's side in pixels; icons are two-coloured, black on white. */
export const ICON_SIDE = 20;

const HANDLER = "/icons/";

/**
 * The icon's picture. `version` changes the address after a change, so the page shows the new one
 * (the server reads the name only and ignores the query).
 * @param {string} name @param {string} [version]
 */
export function iconUrl(name, version) {
    return url(HANDLER + encodeURIComponent(name), version ? {v: version} : undefined);
}

/**
 * Replaces an icon by an image file: 20 x 20 pixels in black and white (BMP, PNG, GIF or JPEG).
 * @param {string} name @param {Blob} image
 */
export function replaceIcon(name, image) {
    const file = image instanceof File ? image : new File([image], name.replace(/\.bmp$/, ".png"), {type: image.type});
    return postJson(HANDLER, {command: "load_icons", originalName: name}, {file});
}

/** Clears an icon to white. @param {string} name */
export function clearIcon(name) {
    return getJson(HANDLER, {command: "deleteIcon", originalName: name});
}

/** Downloads the archive of the icons ("icons.zip"). */
export function downloadIcons() {
    return download(HANDLER, {command: "save_icons"});
}
