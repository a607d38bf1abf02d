// What the recovery page checks before it sends anything: the server takes only whole flash images,
// dotted-quad addresses, and MAC addresses and dates in the unit's own forms.
import {quadOf} from "../common/address.js";

export const MIB = 1 << 20;
/** The two flash sizes of a central unit, as image sizes in bytes. */
export const IMAGE_SIZES = [32 * MIB, 64 * MIB];

/** A byte count for a person: "32 MiB", "31.5 MiB", "512 KiB", "12 bytes". @param {number} bytes */
export function formatSize(bytes) {
    if (bytes >= MIB) return `${Number.isInteger(bytes / MIB) ? bytes / MIB : (bytes / MIB).toFixed(1)} MiB`;
    if (bytes >= 1024) return `${Math.round(bytes / 1024)} KiB`;
    return `${bytes} bytes`;
}

/** Why an image file cannot be taken, or "" when it can. @param {{name: string, size: number}} file */
export function imageProblem(file) {
    if (IMAGE_SIZES.includes(file.size)) return "";
    return `“${file.name}” is refused: it holds ${formatSize(file.size)} (${file.size.toLocaleString("en")} bytes), ` +
        "but a unit image is exactly 32 MiB or 64 MiB. Choose the image made for this unit's flash.";
}

/**
 * Why a text is no IPv4 address at all, or "". What else keeps an address from the PC or the unit
 * (no address, a broadcast, outside the PC's network) the server says, which knows the network.
 * @param {string} text
 */
export function addressProblem(text) {
    if (quadOf(text)) return "";
    return `“${text}” is not an IPv4 address: write four numbers from 0 to 255 with dots between them and no ` +
        "leading zeros (for example 192.168.1.20).";
}

const RESERVED_MACS = ["00:00:00:00:00:00", "ff:ff:ff:ff:ff:ff", "00:11:22:33:44:56"];

/** Why a MAC address is refused, or "". @param {string} text */
export function macProblem(text) {
    const mac = text.trim().toLowerCase();
    if (!/^([0-9a-f]{2}:){5}[0-9a-f]{2}$/.test(mac))
        return "Write six pairs of hexadecimal digits with colons between them, for example 00:a0:c6:12:34:5e.";
    if (RESERVED_MACS.includes(mac)) return `${mac} is a placeholder, not a unit's address: use the one on the unit's label.`;
    return "";
}

/** Why a date is refused, or "". @param {string} text */
export function dateProblem(text) {
    const m = /^(\d{4})-(\d{2})-(\d{2}) (\d{2}):(\d{2})$/.exec(text.trim());
    if (!m) return "Write the date and time as YYYY-MM-DD hh:mm, for example 2024-05-17 14:05.";
    const [month, day, hour, minute] = [m[2], m[3], m[4], m[5]].map(Number);
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59)
        return `${text.trim()} is not a time of day on a calendar date.`;
    return "";
}

/** The PC's local time as the unit asks for it: YYYY-MM-DD hh:mm. @param {Date} [now] */
export function formatDate(now = new Date()) {
    const two = (/** @type {number} */ n) => String(n).padStart(2, "0");
    return `${now.getFullYear()}-${two(now.getMonth() + 1)}-${two(now.getDate())} ${two(now.getHours())}:${two(now.getMinutes())}`;
}
