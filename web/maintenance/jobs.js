// Jobs on units: started through the server, then followed unit by unit until each ends. A job is
// shown running while the server says its program runs; only the server's own result ends it. A
// progress question that fails is said beside the job and asked again. Each unit's last job is also
// read from the server's unit list, so a job started in another window or before a reload, and one
// that ended while no page followed it, is shown and logged as it went.
import {useCallback, useRef, useState} from "../lib/preact-htm.js";
import {describe, usePolling} from "../common/ui.js";
import {jobProgress, startJob, unitList} from "../common/api/updater.js";
import {ServerGone, WINDOW} from "../common/client.js";
import {limiter} from "../common/limit.js";
import {actionOf, jobLabel} from "./actions.js";
import {codeText, failureText, refusalText} from "./job_words.js";

const PROGRESS_MS = 500;
// Progress questions a few at a time, so a job on many units does not flood the server.
const progressLimit = limiter(6);
// A unit the server no longer lists for this long has gone for good.
const GONE_POLLS = 6;
// States in which a restarted unit has not announced itself again.
const NOT_BACK = new Set(["down", "probably down", "rebooting"]);
let lastJobId = 0;

/**
 * @typedef {{id: number, type: string, state: "running" | "restarting" | "success" | "error", current: number,
 *            overall: number, step: string, work: string, error: string, gonePolls: number, sent: string,
 *            notice?: string, trouble?: string, number?: number, key?: string, since?: number}} Job
 * `trouble` says why the last progress question failed; the job is asked again. `key` names the job
 * in every window (the starting page's name for it, kept in the server's record of the unit's last
 * job), `number` is that record's number once the page has seen it; `since` is when this page
 * started it (ms since 1970).
 */

// A failed job ends with the release of the unit; the step that failed is the one before it.
const RELEASE = /^releas/i;

/**
 * @param {import("./page_log.js").Log} log
 * @param {(mac: string) => void} onEnd called when a unit's job ended, either way
 */
export function useJobs(log, onEnd) {
    const [jobs, setJobs] = useState(/** @type {Record<string, Job>} */ ({}));
    const current = useRef(jobs);
    current.current = jobs;

    const update = useCallback((/** @type {string} */ mac, /** @type {Partial<Job>} */ change) => {
        setJobs(old => ({...old, [mac]: {...old[mac], ...change}}));
    }, []);

    const end = useCallback((/** @type {string} */ mac, /** @type {Job} */ job, /** @type {Partial<Job>} */ change,
                             /** @type {string} */ outcome) => {
        update(mac, {...change, trouble: ""});
        log(mac, jobLabel(job.type), outcome, job.sent, endOnce(mac, job.key));
        onEnd(mac);
    }, []);

    /**
     * Starts `type` on `units`. Resolves when the server answered; a refusal of the whole request
     * throws its reason, a unit's own refusal ends that unit's job at once. `sent` names what the
     * job sends (file, version, role) for the log.
     * @param {string} type @param {string[]} units @param {Record<string, any>} params @param {string} [sent]
     */
    const start = useCallback(async (type, units, params, sent = "") => {
        const label = jobLabel(type);
        // The window's name with the job's number here names the job in every window.
        const key = `${WINDOW}-${++lastJobId}`;
        const since = Date.now();
        let records;
        try {
            records = await startJob(type, units, params, sent, key);
        } catch (error) {
            for (const mac of units) log(mac, label, `refused: ${describe(error)}`, sent);
            throw error;
        }
        const fresh = /** @type {Record<string, Job>} */ ({});
        for (const record of records) {
            const accepted = record.status === "commandAccepted";
            const error = accepted ? "" : refusalText(record.description);
            fresh[record.macAddress] = {id: ++lastJobId, type, state: accepted ? "running" : "error", current: 0, overall: 0,
                                        step: accepted ? "starting" : "", work: "", gonePolls: 0, sent, error,
                                        key, since};
            log(record.macAddress, label, accepted ? "accepted" : error, sent);
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
            if (current.current[mac]?.id === job.id)
                update(mac, {trouble: `The server could not say how the job stands (${describe(error)}); asking again.`});
            return;
        }
        if (current.current[mac]?.id !== job.id) return; // a newer job took its place meanwhile
        if (reply.status === "progress") {
            const step = reply.description || job.step;
            update(mac, {current: reply.current, overall: reply.overall, step, gonePolls: 0, trouble: "",
                         work: RELEASE.test(step) ? job.work : step});
        } else if (reply.status === "success") {
            if (actionOf(job.type)?.restarts) {
                update(mac, {state: "restarting", current: job.overall, step: "restarting", trouble: ""});
            } else {
                end(mac, job, {state: "success", current: job.overall, step: "", error: ""}, "done");
            }
        } else if (reply.status === "error" && reply.description === "no unit") {
            // Replaced under another protocol version, or gone: the new object answers for it soon.
            if (job.gonePolls + 1 >= GONE_POLLS)
                end(mac, job, {state: "error", error: "Failed: the unit is no longer on the network."}, "failed: the unit left the network");
            else update(mac, {gonePolls: job.gonePolls + 1});
        } else if (reply.status === "error" && typeof reply.code === "number") {
            const error = failureText(reply, job.work);
            end(mac, job, {state: "error", error}, `failed${codeText(reply)}: ${error}`);
        } else {
            // Not the program's result: the server could not answer this time.
            const said = reply.status === "error" ? reply.description : `an unknown job state "${reply.status}"`;
            update(mac, {trouble: `The server could not say how the job stands (${said}); asking again.`});
        }
    }, []);

    /** Ends the restarts of the units that announced themselves again, by a list asked after the restart. */
    const settleRestarts = useCallback(async (/** @type {[string, Job][]} */ restarting) => {
        let list;
        try {
            list = await unitList();
        } catch (error) {
            return; // asked again at the next turn
        }
        for (const [mac, job] of restarting) {
            const record = list.find(u => u.macAddress === mac);
            if (!record || NOT_BACK.has(record.status) || current.current[mac]?.id !== job.id) continue;
            end(mac, job, {state: "success", step: "", error: ""}, "done; the unit announced itself again");
        }
    }, []);

    usePolling(async () => {
        const all = Object.entries(current.current);
        const running = all.filter(([, job]) => job.state === "running");
        const restarting = all.filter(([, job]) => job.state === "restarting");
        await Promise.all([...running.map(([mac, job]) => progressLimit.run(() => follow(mac, job), mac)),
                           restarting.length ? settleRestarts(restarting) : null]);
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
                                         error: "", gonePolls: 0, sent: ""}}));
    }, []);

    /**
     * Takes each unit's last job from the server's list where it is newer than what this page shows:
     * a job that ended while no page followed it is logged once, whichever window reads it first.
     * @param {import("./units.js").Unit[]} units
     */
    const fromServer = useCallback(units => {
        const taken = /** @type {Record<string, Job>} */ ({});
        const numbered = /** @type {Record<string, number>} */ ({});
        for (const unit of units) {
            const record = unit.lastJob;
            const mine = current.current[unit.macAddress];
            if (!record || mine?.number === record.number) continue;
            // The job this page started: it follows the job itself. A job started elsewhere after it
            // (this one refused, or over) takes its place; an older one does not.
            if (mine?.key && mine.key === record.key) numbered[unit.macAddress] = record.number;
            else if (mine?.number !== undefined || record.started >= (mine?.since ?? 0))
                taken[unit.macAddress] = recordedJob(record, unit.status);
        }
        if (Object.keys(numbered).length)
            setJobs(old => Object.fromEntries(Object.entries(old).map(([mac, job]) =>
                [mac, mac in numbered ? {...job, number: numbered[mac]} : job])));
        if (!Object.keys(taken).length) return;
        setJobs(old => ({...old, ...taken}));
        for (const [mac, job] of Object.entries(taken)) {
            const record = /** @type {import("../common/api/updater.js").UnitJobRecord} */ (units.find(u => u.macAddress === mac)?.lastJob);
            if (job.state === "success") log(mac, jobLabel(job.type), "done", job.sent, endOnce(mac, job.key, record.ended));
            else if (job.state === "error")
                log(mac, jobLabel(job.type), `failed${codeText(record)}: ${job.error}`, job.sent, endOnce(mac, job.key, record.ended));
        }
    }, []);

    return {jobs, start, adopt, fromServer};
}

/**
 * The log's key of a unit's job's end, so that two windows that see it end write it once.
 * @param {string} mac @param {string} [key] @param {number} [at]
 */
function endOnce(mac, key, at) {
    return key ? {once: `end ${key} ${mac}`, at} : {};
}

/**
 * A job as the server's record of it says.
 * @param {import("../common/api/updater.js").UnitJobRecord} record @param {string} unitStatus
 * @returns {Job}
 */
function recordedJob(record, unitStatus) {
    const job = {id: ++lastJobId, number: record.number, key: record.key || `server-${record.number}`, type: record.type,
                 sent: record.sent, current: 0, overall: 0, step: "", work: "", gonePolls: 0, error: "", trouble: ""};
    if (record.state === "running") return {...job, state: "running", step: "running"};
    if (record.state === "success")
        return {...job, state: actionOf(record.type)?.restarts && NOT_BACK.has(unitStatus) ? "restarting" : "success"};
    return {...job, state: "error", error: failureText(record, "")};
}
