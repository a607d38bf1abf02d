// Jobs on units: started through the server, then followed unit by unit until each ends. A job is
// shown running only while the server says its program runs; anything else ends it, in words.
import {useCallback, useRef, useState} from "../lib/preact-htm.js";
import {describe, usePolling} from "../common/ui.js";
import {jobProgress, startJob} from "../common/api/updater.js";
import {ServerGone} from "../common/client.js";
import {jobLabel} from "./actions.js";

const PROGRESS_MS = 500;
const PROGRESS_REQUESTS = 6;
// A unit the server no longer lists for this long has gone for good.
const GONE_POLLS = 6;
let lastJobId = 0;

/**
 * @typedef {{id: number, type: string, state: "running" | "success" | "error", current: number, overall: number,
 *            step: string, work: string, error: string, gonePolls: number, notice?: string}} Job
 * @typedef {{time: Date, unit: string, job: string, outcome: string}} LogEntry
 */

// A failed job ends with the release of the unit; the step that failed is the one before it.
const RELEASE = /^releas/i;

/** Words for a failed program, from the server's answer and the last step of work it reported. */
function failureText(/** @type {any} */ reply, /** @type {string} */ work) {
    const reason = reply.description && reply.description !== "Unknown" ? reply.description : "the unit did not finish it";
    const where = work ? ` while ${work}` : "";
    const code = typeof reply.code === "number" ? ` (code ${reply.code})` : "";
    return `Failed${where}: ${reason}${code}`;
}

/** The page's log: each job, unit and outcome with its time. */
export function useLog() {
    const [entries, setEntries] = useState(/** @type {LogEntry[]} */ ([]));
    const add = useCallback((/** @type {string} */ unit, /** @type {string} */ job, /** @type {string} */ outcome) =>
        setEntries(old => [...old, {time: new Date(), unit, job, outcome}]), []);
    return {entries, add};
}

/** The log as text, one line per entry. @param {LogEntry[]} entries */
export function logText(entries) {
    return entries.map(e => `${e.time.toISOString()}\t${e.unit}\t${e.job}\t${e.outcome}\n`).join("");
}

/**
 * @param {(unit: string, job: string, outcome: string) => void} log
 * @param {(mac: string) => void} onEnd called when a unit's job ended, either way
 */
export function useJobs(log, onEnd) {
    const [jobs, setJobs] = useState(/** @type {Record<string, Job>} */ ({}));
    const current = useRef(jobs);
    current.current = jobs;

    const update = useCallback((/** @type {string} */ mac, /** @type {Partial<Job>} */ change) => {
        setJobs(old => ({...old, [mac]: {...old[mac], ...change}}));
    }, []);

    const end = useCallback((/** @type {string} */ mac, /** @type {Job} */ job, /** @type {Partial<Job>} */ change) => {
        update(mac, change);
        log(mac, jobLabel(job.type), change.state === "success" ? "success" : `error: ${change.error}`);
        onEnd(mac);
    }, []);

    /**
     * Starts `type` on `units`. Resolves when the server answered; a refusal of the whole request
     * throws its reason, a unit's own refusal ends that unit's job at once.
     * @param {string} type @param {string[]} units @param {Record<string, any>} params
     */
    const start = useCallback(async (type, units, params) => {
        const label = jobLabel(type);
        let records;
        try {
            records = await startJob(type, units, params);
        } catch (error) {
            log(units.join(","), label, `refused: ${describe(error)}`);
            throw error;
        }
        const fresh = /** @type {Record<string, Job>} */ ({});
        for (const record of records) {
            const accepted = record.status === "commandAccepted";
            fresh[record.macAddress] = {id: ++lastJobId, type, state: accepted ? "running" : "error", current: 0, overall: 0,
                                        step: accepted ? "starting" : "", work: "", gonePolls: 0,
                                        error: accepted ? "" : `Refused: ${record.description || "no reason given"}`};
            log(record.macAddress, label, accepted ? "accepted" : `refused: ${record.description}`);
        }
        setJobs(old => {
            const next = {...old};
            for (const [mac, job] of Object.entries(fresh)) {
                // A refusal does not hide a job that still runs: it is said beside it.
                next[mac] = job.state === "error" && old[mac]?.state === "running"
                    ? {...old[mac], notice: `${label}: ${job.error}`} : job;
            }
            return next;
        });
        return records;
    }, []);

    const follow = useCallback(async (/** @type {string} */ mac, /** @type {Job} */ job) => {
        let reply;
        try {
            reply = await jobProgress(mac);
        } catch (error) {
            if (error instanceof ServerGone) return; // the banner says it; the job is asked again after
            reply = {status: "error", code: "none", description: `the server could not say how the job stands: ${describe(error)}`};
        }
        if (current.current[mac]?.id !== job.id) return; // a newer job took its place meanwhile
        if (reply.status === "progress") {
            const step = reply.description || job.step;
            update(mac, {current: reply.current, overall: reply.overall, step, gonePolls: 0,
                         work: RELEASE.test(step) ? job.work : step});
        } else if (reply.status === "success") {
            end(mac, job, {state: "success", current: job.overall, step: "", error: ""});
        } else if (reply.status === "error" && reply.description === "no unit") {
            // Replaced under another protocol version, or gone: the new object answers for it soon.
            if (job.gonePolls + 1 >= GONE_POLLS) end(mac, job, {state: "error", error: "Failed: the unit is no longer on the network"});
            else update(mac, {gonePolls: job.gonePolls + 1});
        } else if (reply.status === "error") {
            end(mac, job, {state: "error", error: failureText(reply, job.work)});
        } else {
            end(mac, job, {state: "error", error: `The server answered an unknown job state: ${reply.status}`});
        }
    }, []);

    usePolling(async () => {
        const running = Object.entries(current.current).filter(([, job]) => job.state === "running");
        let next = 0;
        const worker = async () => {
            while (next < running.length) {
                const [mac, job] = running[next++];
                await follow(mac, job);
            }
        };
        await Promise.all(Array.from({length: Math.min(PROGRESS_REQUESTS, running.length)}, worker));
    }, PROGRESS_MS);

    /**
     * Follows a unit's program that this page did not start (before a reload, or from another
     * page), once the server says one runs.
     * @param {string} mac
     */
    const adopt = useCallback(async mac => {
        const reply = await jobProgress(mac).catch(() => null);
        if (reply?.status !== "progress" || current.current[mac]?.state === "running") return;
        setJobs(old => ({...old, [mac]: {id: ++lastJobId, type: "", state: "running", current: reply.current,
                                         overall: reply.overall, step: reply.description, work: reply.description,
                                         error: "", gonePolls: 0}}));
    }, []);

    return {jobs, start, adopt};
}
