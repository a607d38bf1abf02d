// The page's log: every job on every unit, what was sent and how it ended. It is kept in the
// browser's storage, so a reload of the page does not lose it, and it is one list for every window
// of the page: each line is added to what the storage holds at that moment, and a window shows the
// lines that another one adds.
import {useCallback, useEffect, useRef, useState} from "../lib/preact-htm.js";
import {unitName} from "./unit_table.js";

const STORAGE_KEY = "stavenor.updater.log";
// The oldest lines go first once the log holds this many, so the storage never fills up.
const KEEP_LINES = 5000;

/**
 * @typedef {{time: string, mac: string, name: string, job: string, sent: string, outcome: string, once?: string}} LogEntry
 * `time` as an ISO text; `name` the unit's name when the line was written; `once` a key that no
 * other line may carry (the end of one job, seen by several windows).
 * @typedef {{once?: string, at?: number}} LogOptions `at`: when it happened, when not now (ms since 1970).
 * @typedef {(mac: string, job: string, outcome: string, sent?: string, options?: LogOptions) => void} Log
 */

/** The stored lines, or null when the storage cannot be read. @returns {LogEntry[] | null} */
function stored() {
    try {
        const entries = JSON.parse(localStorage.getItem(STORAGE_KEY) || "[]");
        return Array.isArray(entries) ? entries : [];
    } catch (e) {
        return null;
    }
}

/** @param {LogEntry[]} entries */
function store(entries) {
    try {
        localStorage.setItem(STORAGE_KEY, JSON.stringify(entries));
    } catch (e) { /* storage full or refused: the lines stay in the page until it is left */ }
}

/**
 * The log and `add(mac, job, outcome, sent)`; the unit's name is taken from `units`.
 * @param {import("./units.js").Unit[]} units
 */
export function useLog(units) {
    const [entries, setEntries] = useState(() => stored() ?? []);
    const shown = useRef(entries);
    shown.current = entries;
    const known = useRef(units);
    known.current = units;
    useEffect(() => {
        /** @param {StorageEvent} event */
        const changed = event => {
            const lines = event.key === STORAGE_KEY ? stored() : null;
            if (lines) setEntries(lines);
        };
        addEventListener("storage", changed);
        return () => removeEventListener("storage", changed);
    }, []);
    const add = useCallback(/** @type {Log} */ ((mac, job, outcome, sent = "", {once, at} = {}) => {
        const unit = known.current.find(u => u.macAddress === mac);
        // Read before write: the lines another window added since are kept.
        const old = stored() ?? shown.current;
        if (once && old.some(e => e.once === once)) return setEntries(old);
        const entry = {time: new Date(at ?? Date.now()).toISOString(), mac, name: unit ? unitName(unit) : "", job, sent,
                       outcome, ...(once ? {once} : {})};
        const next = [...old, entry].slice(-KEEP_LINES);
        store(next);
        shown.current = next;
        setEntries(next);
    }), []);
    return {entries, add};
}

/** @param {number} n */
const two = n => String(n).padStart(2, "0");

/** A moment in the PC's local time, with its offset from UTC. @param {Date} t */
export function localTime(t) {
    const offset = -t.getTimezoneOffset();
    const sign = offset < 0 ? "-" : "+";
    const zone = `${sign}${two(Math.floor(Math.abs(offset) / 60))}:${two(Math.abs(offset) % 60)}`;
    return `${t.getFullYear()}-${two(t.getMonth() + 1)}-${two(t.getDate())} ` +
        `${two(t.getHours())}:${two(t.getMinutes())}:${two(t.getSeconds())} ${zone}`;
}

/**
 * The log as text, one line per entry, its fields separated by tabs: local time, the unit's name
 * and MAC address, the job, what was sent, the outcome. @param {LogEntry[]} entries
 */
export function logText(entries) {
    return entries.map(e => [localTime(new Date(e.time)), e.name ? `${e.name} (${e.mac})` : e.mac, e.job, e.sent, e.outcome]
        .map(field => String(field ?? "").replace(/[\t\r\n]+/g, " ")).join("\t") + "\n").join("");
}
