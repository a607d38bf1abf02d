// What a unit can take in each kind of column. A check only judges: it never changes a value, so
// a loaded value that fails is shown as it is, marked, until the user changes it.

/** @typedef {import("./schema.js").Column} Column */

/** The four numbers of a dotted quad, or null. @param {string} value */
function quad(value) {
    const parts = value.split(".");
    if (parts.length !== 4 || !parts.every(p => /^\d{1,3}$/.test(p))) return null;
    const numbers = parts.map(Number);
    return numbers.every(n => n <= 255) ? numbers : null;
}

/** A net mask: contiguous ones from the left, written dotted or as a prefix length. @param {string} value */
function isNetMask(value) {
    if (/^\d{1,2}$/.test(value)) return Number(value) <= 32;
    const q = quad(value);
    if (!q) return false;
    const bits = q.reduce((all, n) => all * 256 + n, 0);
    const inverted = 2 ** 32 - 1 - bits;
    // ones then zeros: the inverted mask plus one is a power of two
    return ((inverted + 1) & inverted) === 0;
}

/** @type {Record<string, (value: string) => boolean>} */
const SHAPES = {
    address: v => quad(v) !== null,
    routerId: v => quad(v) !== null,
    multicast: v => { const q = quad(v); return q !== null && q[0] >= 224 && q[0] <= 239; },
    netMask: isNetMask,
    // Digits, with the dial pad's * and #, a leading + and blanks between groups.
    phone: v => /^\+?[0-9*#]+( [0-9*#]+)*$/.test(v),
};

/** What each shape must look like, said to the user. */
const EXPECTED = {
    address: "an IPv4 address such as 192.168.1.10",
    routerId: "four numbers from 0 to 255 separated by dots, such as 1.1.1.1",
    multicast: "a multicast address from 224.0.0.0 to 239.255.255.255",
    netMask: "a net mask such as 255.255.255.0 (or a prefix length from 0 to 32)",
    phone: "a number of digits (with * # and a leading + allowed)",
};

/**
 * What is wrong with a value for its column, or "".
 * @param {Column} column @param {string} value
 */
export function problemOf(column, value) {
    if (column.required && value.trim() === "") return `${column.label} is required.`;
    if (value === "") return "";
    // The configuration file's own separators: the store refuses them.
    if (/[|\r\n\0]/.test(value)) return `${column.label} may not hold a "|" or a line break.`;
    if (column.kind === "number") {
        if (!/^-?\d+$/.test(value)) return `${column.label} must be a whole number from ${column.min} to ${column.max}.`;
        const n = Number(value);
        if (n < column.min || n > column.max) return `${column.label} must be from ${column.min} to ${column.max}.`;
    }
    if ((column.kind === "ref" || column.kind === "refName") && value.startsWith("?"))
        return `${column.label}: nothing is named "${value.slice(1)}". Choose one of the suggested names.`;
    if (column.kind === "bool" && value !== "true" && value !== "false") return `${column.label} must be on or off.`;
    if (SHAPES[column.kind] && !SHAPES[column.kind](value)) return `${column.label} must be ${EXPECTED[column.kind]}.`;
    return "";
}
