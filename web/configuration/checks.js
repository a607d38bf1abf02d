// What a unit can take in each kind of column. A check only judges: it never changes a value, so
// a loaded value that fails is shown as it is, marked, until the user changes it.
import {isMulticast, isNetMask, ownAddressProblem, quadOf} from "../common/address.js";

/** @typedef {import("./schema.js").Column} Column @typedef {import("./schema.js").Kind} Kind */

/** The spellings of a flag that the file keeps as it stands. */
const FLAG_SPELLINGS = ["1", "0", "true", "false"];

/** @type {Partial<Record<Kind, (value: string) => boolean>>} */
const SHAPES = {
    address: v => quadOf(v) !== null,
    ownAddress: v => quadOf(v) !== null && !ownAddressProblem(v),
    routerId: v => quadOf(v) !== null,
    multicast: isMulticast,
    netMask: isNetMask,
    // Digits, with the dial pad's * and #, a leading + before a digit and blanks between groups.
    phone: v => /^(?:\+(?=[0-9]))?[0-9*#]+(?: [0-9*#]+)*$/.test(v),
};

/** What each shape must look like, said to the user. */
const EXPECTED = {
    address: "an IPv4 address such as 192.168.1.10 (no leading zeros)",
    ownAddress: "an IPv4 address such as 192.168.1.10 (no leading zeros)",
    routerId: "four numbers from 0 to 255 separated by dots, such as 1.1.1.1",
    multicast: "a multicast address from 224.0.0.0 to 239.255.255.255",
    netMask: "a net mask such as 255.255.255.0 (or a prefix length from 0 to 32)",
    phone: "a number of digits (with * and #, and a + before the first digit)",
};

/**
 * The kind of a column in one row: a column whose meaning depends on another column of the row
 * (a PPP link's remote IP holds a USB link's net mask) takes the kind that column names.
 * @param {Column} column @param {Record<string, string>} [row]
 */
export function kindOf(column, row = {}) {
    const when = column.kindWhen;
    return when && row[when.column] === when.value ? when.kind : column.kind;
}

/** Whether blanks around a value are dropped before it is judged and saved, as they are for names. @param {Column} column */
export const isTrimmed = column => column.name === "name" || (column.kind in SHAPES) || column.kind === "number";

/**
 * A flag set on or off, spelled as its present value is ("1"/"0" stay digits; "true"/"false" otherwise).
 * @param {string} value @param {boolean} on
 */
export function flagValue(value, on) {
    const spelledAsDigits = value === "1" || value === "0";
    return on ? (spelledAsDigits ? "1" : "true") : (spelledAsDigits ? "0" : "false");
}

/** Whether a flag's text stands for on, off, or neither (null). @param {string} value */
export const flagState = value => FLAG_SPELLINGS.includes(value) ? value === "1" || value === "true" : null;

/**
 * What is wrong with a value for its column, or "".
 * @param {Column} column @param {string} value @param {Record<string, string>} [row] the other values of its row
 */
export function problemOf(column, value, row) {
    if (isTrimmed(column)) value = value.trim();
    if (column.required && value === "") return `${column.label} is required.`;
    if (value === "") return "";
    // The configuration file's own separators: the store refuses them.
    if (/[|\r\n\0]/.test(value)) return `${column.label} may not hold a "|" or a line break.`;
    const kind = kindOf(column, row);
    if (kind === "number") {
        if (!/^(0|-?[1-9][0-9]*)$/.test(value))
            return `${column.label} must be a whole number from ${column.min} to ${column.max}, without leading zeros.`;
        const n = Number(value);
        if (n < column.min || n > column.max) return `${column.label} must be from ${column.min} to ${column.max}.`;
    }
    if ((kind === "ref" || kind === "refName") && value.startsWith("?"))
        return `${column.label}: nothing is named "${value.slice(1)}". Choose one of the suggested names.`;
    if (kind === "bool" && value !== "true" && value !== "false") return `${column.label} must be on or off.`;
    if (kind === "flag" && flagState(value) === null) return `${column.label} must be on or off.`;
    if (kind === "ownAddress" && quadOf(value) && ownAddressProblem(value))
        return `${column.label}: ${ownAddressProblem(value)}; a unit needs an address of its own.`;
    if (SHAPES[kind] && !SHAPES[kind](value)) return `${column.label} must be ${EXPECTED[kind]}.`;
    return "";
}
