// A unit's job in its row: the progress while it runs (with the trouble of a progress question,
// which does not end it), "restarting" until the unit is back, and how it ended, in words.
import {html} from "../lib/preact-htm.js";
import {Progress} from "../common/ui.js";
import {jobLabel} from "./actions.js";

/** @typedef {import("./jobs.js").Job} Job */

/** @param {{job: Job | undefined, unitGone: boolean, onDownload: () => void}} props */
export function JobCell({job, unitGone, onDownload}) {
    if (!job) return null;
    const label = jobLabel(job.type);
    if (job.state === "running") {
        const percent = job.overall > 0 ? Math.round(100 * job.current / job.overall) : null;
        return html`<${Progress} value=${percent} state="running"
            label=${`${label}: ${job.step || "running"}${percent === null ? "" : ` (${percent} %)`}`}/>
            ${job.trouble && html`<p class="notice small">${job.trouble}</p>`}
            ${job.notice && html`<p class="error small">${job.notice}</p>`}`;
    }
    if (job.state === "restarting") {
        return html`<${Progress} value=${null} state="running"
            label=${`${label}: restarting, until the unit announces itself again`}/>`;
    }
    if (job.state === "success") {
        return html`<div class="job-end">
            <${Progress} value=${100} state="success" label=${`${label}: done`}/>
            ${job.type === "configurationDownload" && html`<button type="button" class="small" onClick=${onDownload}>Download configuration</button>`}
        </div>`;
    }
    const hint = unitGone && !/does not answer|stopped answering|not responding/.test(job.error) ? " The unit does not answer now." : "";
    return html`<${Progress} value=${0} state="error" label=${`${label}: ${job.error}${hint}`}/>`;
}
