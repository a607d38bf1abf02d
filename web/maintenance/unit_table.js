// The unit list: one row per unit with its job's progress, sortable by any column, filtered by text,
// with a check box per row for the units a job goes to. A filter never leaves a hidden unit chosen:
// a job goes only to units the technician sees.
import {html, useEffect, useMemo} from "../lib/preact-htm.js";
import {Table, TableFilter, useTable} from "../common/table.js";
import {JobCell} from "./job_cell.js";
import {jobLabel} from "./actions.js";

/**
 * @typedef {import("./units.js").Unit} Unit @typedef {import("./jobs.js").Job} Job
 * @typedef {{unit: Unit, job: Job | undefined, onOpen: (mac: string) => void, onDownload: (mac: string) => void}} UnitRow
 */

/** The name a person knows a unit by: its description, else its configuration's name. @param {Unit} u */
export function unitName(u) {
    return u.info?.description || u.info?.configuration || "";
}

const GONE = new Set(["down", "probably down"]);

/** Whether the unit does not answer now. @param {Unit} u */
export function unitGone(u) {
    return GONE.has(u.status);
}

/** The job's state in words, as its cell says it: what the filter finds and the column sorts by. @param {Job | undefined} job */
export function jobText(job) {
    if (!job) return "";
    const label = jobLabel(job.type);
    if (job.state === "running") return [`${label}: ${job.step || "running"}`, job.trouble, job.notice].filter(Boolean).join("\n");
    if (job.state === "restarting") return `${label}: restarting`;
    if (job.state === "success") return `${label}: done`;
    return `${label}: ${job.error}`;
}

/** A unit whose last job failed. @param {Job | undefined} job */
export function jobFailed(job) {
    return job?.state === "error";
}

/** @param {UnitRow} r */
function NameCell(r) {
    const u = r.unit;
    const name = unitName(u);
    return html`<button type="button" class="link" title=${`Details of ${u.macAddress}`} onClick=${() => r.onOpen(u.macAddress)}>
            <bdi title=${name}>${name || "(no name)"}</bdi></button>
        ${u.info?.configuration && u.info.configuration !== name && html`<div class="muted small">${u.info.configuration}</div>`}`;
}

/** @type {import("../common/table.js").TableColumn[]} */
const COLUMNS = [
    {key: "name", label: "Name", text: (/** @type {UnitRow} */ r) => [unitName(r.unit), r.unit.info?.configuration]
        .filter((t, i, all) => t && all.indexOf(t) === i).join("\n"), cell: NameCell},
    {key: "type", label: "Model", text: (/** @type {UnitRow} */ r) => r.unit.type, width: "5rem"},
    {key: "mac", label: "MAC address", text: (/** @type {UnitRow} */ r) => r.unit.macAddress, sort: "hex", width: "10.8rem",
     className: "mono"},
    {key: "ip", label: "IP address", text: (/** @type {UnitRow} */ r) => r.unit.info?.ipAddress ?? "", sort: "address",
     width: "8.8rem", className: "mono"},
    {key: "protocol", label: "Protocol", text: (/** @type {UnitRow} */ r) => String(r.unit.protocolVersion), sort: "number",
     width: "5.4rem"},
    {key: "software", label: "Software", text: (/** @type {UnitRow} */ r) => r.unit.info?.dis ?? "", width: "6rem"},
    {key: "state", label: "State", text: (/** @type {UnitRow} */ r) => `${r.unit.status}${r.unit.bricked ? " (locked)" : ""}`,
     width: "5.6rem", className: "state",
     cell: (/** @type {UnitRow} */ r) => html`<span class=${"state-" + r.unit.status.replace(/\s+/g, "-")}>${
         r.unit.status}${r.unit.bricked ? " (locked)" : ""}</span>`},
    {key: "job", label: "Job", text: (/** @type {UnitRow} */ r) => jobText(r.job), width: "18rem", className: "job",
     cell: (/** @type {UnitRow} */ r) => html`<${JobCell} job=${r.job} unitGone=${unitGone(r.unit)}
         onDownload=${() => r.onDownload(r.unit.macAddress)}/>`},
];

/**
 * @param {{units: Unit[], jobs: Record<string, Job>, selected: Set<string>, setSelected: (s: Set<string>) => void,
 *          onOpen: (mac: string) => void, onDownload: (mac: string) => void, onView?: (macs: string[]) => void,
 *          tools?: (shown: (mac: string) => boolean) => any}} props
 * `onView` hears the units in view, `tools` draws the controls beside the filter.
 */
export function UnitTable({units, jobs, selected, setSelected, onOpen, onDownload, onView, tools}) {
    const rows = useMemo(() => units.map(unit => ({unit, job: jobs[unit.macAddress], onOpen, onDownload})), [units, jobs]);
    const table = useTable(rows, COLUMNS, {rowKey: (/** @type {UnitRow} */ r) => r.unit.macAddress,
                                           sort: {column: "mac", descending: false}});

    useEffect(() => {
        if (!table.filter) return;
        const kept = [...selected].filter(mac => table.isShown(mac));
        if (kept.length !== selected.size) setSelected(new Set(kept));
    }, [table.shown, table.filter, selected]);

    const down = units.filter(unitGone).length;

    return html`<section class="units" aria-labelledby="units-title">
        <div class="units-bar">
            <h2 id="units-title">Units</h2>
            <span class="muted" role="status">${units.length} ${units.length === 1 ? "unit" : "units"}${
                down ? `, ${down} not answering` : ""}${
                table.shown.length < units.length ? `, ${table.shown.length} shown` : ""}, ${selected.size} selected</span>
            ${tools && tools(table.isShown)}
            <${TableFilter} table=${table}/>
        </div>
        <${Table} table=${table} label="Units" className="unit-table" rowHeight=${48} height="calc(100vh - 15rem)"
            rowClass=${(/** @type {UnitRow} */ r) => unitGone(r.unit) ? "gone" : ""} onView=${onView}
            empty="No unit matches the filter."
            selection=${{selected, onChange: setSelected, label: (/** @type {UnitRow} */ r) => `Select ${r.unit.macAddress}`,
                         allLabel: "Select all shown units"}}/>
    </section>`;
}
