// The units whose last job failed: chosen in one step, or given the same job again (with the same
// file, fields and question) once the cause is mended.
import {html, useCallback, useRef} from "../lib/preact-htm.js";
import {ErrorText, useCommand, useConfirm} from "../common/ui.js";
import {actionOf} from "./actions.js";
import {jobQuestion} from "./job_question.js";
import {jobFailed, jobText, unitName} from "./unit_table.js";

/**
 * @typedef {(type: string, units: string[], params: Record<string, any>, sent?: string) => Promise<any>} Start
 * @typedef {{type: string, params: Record<string, any>, sent: string}} Started
 */

/**
 * `start` that remembers what each unit was last given, so that its job can be started again.
 * @param {Start} start
 * @returns {{start: Start, startedOn: (mac: string) => Started | undefined}}
 */
export function useRemembered(start) {
    const started = useRef(/** @type {Map<string, Started>} */ (new Map()));
    const remembered = useCallback(/** @type {Start} */ ((type, units, params, sent = "") => {
        for (const mac of units) started.current.set(mac, {type, params, sent});
        return start(type, units, params, sent);
    }), [start]);
    return {start: remembered, startedOn: useCallback(mac => started.current.get(mac), [])};
}

/**
 * A job as the server kept it, when it can be started again from that alone: the server keeps no
 * password, so a job that asks for one is started again only from the window that has it.
 * @param {import("../common/api/updater.js").UnitJobRecord | undefined} record @returns {Started | undefined}
 */
function recorded(record) {
    if (!record || actionOf(record.type)?.fields?.some(f => f.kind === "password")) return undefined;
    return {type: record.type, params: record.params, sent: record.sent};
}

/**
 * "Select failed" and "Retry failed" for the failed units that the filter shows.
 * @param {{units: import("./units.js").Unit[], jobs: Record<string, import("./jobs.js").Job>,
 *          shown: (mac: string) => boolean, setSelected: (s: Set<string>) => void,
 *          start: Start, startedOn: (mac: string) => Started | undefined}} props
 */
export function FailedUnits({units, jobs, shown, setSelected, start, startedOn}) {
    const command = useCommand();
    const [ask, confirmDialog] = useConfirm();
    const failed = units.map(u => u.macAddress).filter(mac => jobFailed(jobs[mac]) && shown(mac));
    /** What the unit's last job was given: as this page started it, else as the server kept it. @param {string} mac */
    const given = mac => startedOn(mac) ?? recorded(units.find(u => u.macAddress === mac)?.lastJob);
    const again = failed.filter(mac => given(mac)?.type === jobs[mac].type);

    const retry = () => command.run(async () => {
        setSelected(new Set(failed));
        const groups = new Map();
        for (const mac of again) {
            const job = /** @type {Started} */ (given(mac));
            const key = JSON.stringify([job.type, job.params, job.sent]);
            groups.set(key, {...job, macs: [...(groups.get(key)?.macs ?? []), mac]});
        }
        for (const {type, params, sent, macs} of groups.values()) {
            const action = actionOf(type);
            if (action?.replaces) {
                const question = jobQuestion(action, macs, units, sent, null);
                if ("refusal" in question) throw new Error(question.refusal);
                if (!(await ask({...question, danger: true}))) continue;
            }
            await start(type, macs, params, sent);
        }
    });

    if (!failed.length) return null;
    return html`<button type="button" onClick=${() => setSelected(new Set(failed))}>Select failed (${failed.length})</button>
        ${again.length > 0 && html`<button type="button" disabled=${command.pending} onClick=${retry}>Retry failed (${again.length})</button>`}
        <${ErrorText} message=${command.error}/>
        ${confirmDialog}`;
}

/**
 * Why each failed job failed, in full: a row's cell has room for the start of the reason only.
 * @param {{units: import("./units.js").Unit[], jobs: Record<string, import("./jobs.js").Job>}} props
 */
export function FailureReasons({units, jobs}) {
    const failed = units.filter(u => jobFailed(jobs[u.macAddress]));
    if (!failed.length) return null;
    return html`<section class="failure-reasons" aria-labelledby="failure-reasons">
        <h2 id="failure-reasons">Why jobs failed</h2>
        <ul>${failed.map(u => html`<li key=${u.macAddress}>
            <bdi class="unit-name">${unitName(u) || u.macAddress}</bdi> <span class="mono small">(${u.macAddress})</span>:${" "}
            <span class="error-text">${jobText(jobs[u.macAddress])}</span></li>`)}</ul>
    </section>`;
}
