// The question asked before a job that replaces what units hold: which units, and what will be sent
// to them. A job with nothing to send is refused here, with the reason.
import {COMMON, listAnnouncements, listLanguages} from "../common/api/announcements.js";
import {unitName} from "./unit_table.js";

/** @typedef {import("./actions.js").Action} Action @typedef {import("./units.js").Unit} Unit */

// Units named one by one in a question; the rest are counted.
const NAMED_UNITS = 6;

/** @param {number} n @param {string} one @param {string} [many] */
export function count(n, one, many = `${one}s`) {
    return `${n} ${n === 1 ? one : many}`;
}

/** "Bus 1 (00:..:01), Bus 2 (00:..:02) and 3 more units". @param {string[]} macs @param {Unit[]} units */
export function unitNames(macs, units) {
    const named = macs.slice(0, NAMED_UNITS).map(mac => {
        const unit = units.find(u => u.macAddress === mac);
        const name = unit ? unitName(unit) : "";
        return name ? `${name} (${mac})` : mac;
    });
    const rest = macs.length - named.length;
    if (rest > 0) return `${named.join(", ")} and ${count(rest, "more unit")}`;
    return named.length > 1 ? `${named.slice(0, -1).join(", ")} and ${named[named.length - 1]}` : named[0] ?? "";
}

/**
 * The recordings of the PC's announcement repository, by language ("Common" for every language);
 * languages without a recording are left out.
 * @returns {Promise<{language: string, recordings: number}[]>}
 */
export async function announcementContents() {
    const languages = [COMMON, ...(await listLanguages()).filter(name => name !== COMMON).sort()];
    const counts = await Promise.all(languages.map(async language => ({
        language, recordings: (await listAnnouncements(language)).length})));
    return counts.filter(c => c.recordings > 0);
}

/**
 * What a job sends, in words: for the question, and for the page's log.
 * @param {Action} action @param {Record<string, string>} params
 * @param {import("../common/api/updater.js").FileDescription | undefined} file
 * @param {{language: string, recordings: number}[] | null} announcements
 */
export function sentText(action, params, file, announcements) {
    const parts = [];
    if (file) {
        parts.push(`${action.file?.label ?? "file"} ${file.updaterName}`);
        if (file.version) parts.push(`version ${file.version}`);
        if (file.type) parts.push(`type ${file.type}`);
    }
    if (action.type === "configurationUpload") parts.push(params.role ? `role "${params.role}"` : "the file's own role");
    else if (params.role) parts.push(`role "${params.role}"`);
    if (params.name) parts.push(`module "${params.name}"`);
    if (params.description) parts.push(`description "${params.description}"`);
    if (announcements) {
        parts.push("announcements: " + announcements.map(a => `${a.language} ${count(a.recordings, "recording")}`).join(", "));
    } else if (action.needs && !file) {
        parts.push(action.needs);
    }
    return parts.join(", ");
}

/**
 * The question before `action` on `macs`, or the reason it cannot start.
 * @param {Action} action @param {string[]} macs @param {Unit[]} units @param {string} sent
 * @param {{language: string, recordings: number}[] | null} announcements
 * @returns {{refusal: string} | {title: string, text: string, confirmLabel: string}}
 */
export function jobQuestion(action, macs, units, sent, announcements) {
    if (announcements && announcements.length === 0) {
        return {refusal: "Nothing to send: the PC's announcement repository is empty, and the job would only empty " +
            "the units' announcements. Add recordings under Audio set-up in the configuration first."};
    }
    const them = macs.length === 1 ? "the unit" : "the units";
    const lines = [`${action.label} on ${count(macs.length, "unit")}: ${unitNames(macs, units)}.`,
                   `To be sent: ${sent}.`];
    if (announcements)
        lines.push("Each unit receives the common recordings and those of the languages it offers.");
    lines.push(`This replaces ${action.replaces} on ${them}.`);
    return {title: `${action.label}?`, text: lines.join("\n"), confirmLabel: action.label};
}
