// The one IPv4 check of the pages. A dotted quad is four decimal numbers from 0 to 255 without
// leading zeros: a unit reads "010" as octal 8, so "010.0.0.1" would not be the address meant.

/** The four numbers of a dotted quad, or null. @param {string} text */
export function quadOf(text) {
    const parts = text.split(".");
    if (parts.length !== 4 || !parts.every(p => /^(0|[1-9][0-9]{0,2})$/.test(p))) return null;
    const numbers = parts.map(Number);
    return numbers.every(n => n <= 255) ? numbers : null;
}

/** A net mask: four mask bytes with contiguous ones from the left, or a prefix length from 0 to 32. @param {string} text */
export function isNetMask(text) {
    if (/^(0|[1-9][0-9]?)$/.test(text)) return Number(text) <= 32;
    const q = quadOf(text);
    if (!q) return false;
    const inverted = 2 ** 32 - 1 - q.reduce((all, n) => all * 256 + n, 0);
    // ones then zeros: the inverted mask plus one is a power of two
    return ((inverted + 1) & inverted) === 0;
}

/** Whether a dotted quad is a multicast group (224.0.0.0 to 239.255.255.255). @param {string} text */
export function isMulticast(text) {
    const q = quadOf(text);
    return q !== null && q[0] >= 224 && q[0] <= 239;
}

/**
 * Why a dotted quad cannot be a device's own address, or "": it names no device, or every one.
 * @param {string} text
 */
export function ownAddressProblem(text) {
    const q = quadOf(text);
    if (!q) return "";
    if (q.every(n => n === 0)) return "0.0.0.0 means “no address”";
    if (q.every(n => n === 255)) return "255.255.255.255 is the broadcast address";
    if (q[0] >= 224) return `${text} is a ${q[0] <= 239 ? "multicast" : "reserved"} address`;
    if (q[0] === 127) return `${text} is a loopback address`;
    return "";
}
