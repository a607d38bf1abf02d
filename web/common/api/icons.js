// The "icons" handler: each button icon as the server renders it, and the commands that replace,
// clear and archive them.
import {ServerError, download, getJson, postJson, url} from "../client.js";

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

/** What the icon store takes, in the words that a refusal names. */
export const ICON_RULE = `${ICON_SIDE} × ${ICON_SIDE} pixels in black and white (two colours), BMP, PNG, GIF or JPEG, at most 1 MiB`;
const MAX_BYTES = 1024 * 1024;
const SIGNATURES = [[0x42, 0x4d], [0x89, 0x50, 0x4e, 0x47], [0x47, 0x49, 0x46, 0x38], [0xff, 0xd8, 0xff]];

/**
 * Why the icon store would refuse `image`, as far as the browser can tell; "" when it would take it.
 * Checked before the upload starts.
 * @param {File} image @returns {Promise<string>}
 */
export async function iconProblem(image) {
    const name = `"${image.name}"`;
    if (image.size > MAX_BYTES) return `${name} is larger than 1 MiB (${image.size.toLocaleString("en")} bytes): an icon image may be at most 1 MiB.`;
    const head = new Uint8Array(await image.slice(0, 4).arrayBuffer());
    if (!SIGNATURES.some(signature => signature.every((byte, i) => head[i] === byte)))
        return `${name} is not a BMP, PNG, GIF or JPEG image: an icon must be ${ICON_RULE}.`;
    let bitmap;
    try {
        bitmap = await createImageBitmap(image);
    } catch (e) {
        return `${name} cannot be read as an image (it may be damaged): an icon must be ${ICON_RULE}.`;
    }
    const {width, height} = bitmap;
    if (width !== ICON_SIDE || height !== ICON_SIDE) {
        bitmap.close();
        return `${name} is ${width} × ${height} pixels: an icon must be ${ICON_SIDE} × ${ICON_SIDE} pixels.`;
    }
    const canvas = document.createElement("canvas");
    canvas.width = canvas.height = ICON_SIDE;
    const context = /** @type {CanvasRenderingContext2D} */ (canvas.getContext("2d"));
    context.drawImage(bitmap, 0, 0);
    bitmap.close();
    const pixels = new Uint32Array(context.getImageData(0, 0, ICON_SIDE, ICON_SIDE).data.buffer);
    const colours = new Set(pixels).size;
    if (colours > 2) return `${name} has ${colours} colours: an icon must be black and white (two colours).`;
    return "";
}

/** The icon handler's refusals that do not say what is wrong in words a user can act on. */
const REFUSALS = [
    [/not found \(possible read error\)/, "it is not an image that can be read"],
    [/^Wrong icon size/, `it is not ${ICON_SIDE} × ${ICON_SIDE} pixels`],
    [/^Wrong icon colorspace/, "it is not black and white (two colours)"],
];

/**
 * Replaces an icon by an image file: 20 x 20 pixels in black and white (BMP, PNG, GIF or JPEG). A
 * file that the store would refuse is refused here, before anything is sent.
 * @param {string} name @param {Blob} image
 */
export async function replaceIcon(name, image) {
    const file = image instanceof File ? image : new File([image], name.replace(/\.bmp$/, ".png"), {type: image.type});
    const problem = await iconProblem(file);
    if (problem) throw new Error(problem);
    try {
        return await postJson(HANDLER, {command: "load_icons", originalName: name}, {file});
    } catch (e) {
        const found = e instanceof ServerError ? REFUSALS.find(([pattern]) => /** @type {RegExp} */ (pattern).test(e.message)) : undefined;
        if (found) throw new ServerError(`"${file.name}" is refused: ${found[1]}. An icon must be ${ICON_RULE}.`, e.status);
        throw e;
    }
}

/** Clears an icon to white. @param {string} name */
export function clearIcon(name) {
    return getJson(HANDLER, {command: "deleteIcon", originalName: name});
}

/** Downloads the archive of the icons ("icons.zip"). */
export function downloadIcons() {
    return download(HANDLER, {command: "save_icons"});
}
