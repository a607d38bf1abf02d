// The unit list: one row per unit with its job's progress, sortable by any column, filtered by text,
// with a check box per row for the units a job goes to.
import {html, useMemo, useState} from "../lib/preact-htm.js";
import {JobCell} from "./job_cell.js";

/** @typedef {import("./units.js").Unit} Unit @typedef {import("./jobs.js").Job} Job */

/** @type {{key: string, label: string, value: (u: Unit) => string | number}[]} */
export const COLUMNS = [
    {key: "name", label: "Name", value: u => unitName(u)},
    {key: "type", label: "Model", value: u => u.type},
    {key: "mac", label: "MAC address", value: u => u.macAddress},
    {key: "ip", label: "IP address", value: u => u.info?.ipAddress ?? ""},
    {key: "protocol", label: "Protocol", value: u => u.protocolVersion},
    {key: "software", label: "Software", value: u => u.info?.dis ?? ""},
    {key: "state", label: "State", value: u => u.status},
];

/** The name a person knows a unit by: its description, else its configuration's name. @param {Unit} u */
export function unitName(u) {
    return u.info?.description || u.info?.configuration || "";
}

const GONE = new Set(["down", "probably down"]);

/**
 * @param {{units: Unit[], jobs: Record<string, Job>, selected: Set<string>, setSelected: (s: Set<string>) => void,
 *          onOpen: (mac: string) => void, onDownload: (mac: string) => void}} props
 */
export function UnitTable({units, jobs, selected, setSelected, onOpen, onDownload}) {
    const [sort, setSort] = useState({key: "mac", ascending: true});
    const [filter, setFilter] = useState("");

    const shown = useMemo(() => {
        const column = COLUMNS.find(c => c.key === sort.key) || COLUMNS[2];
        const words = filter.trim().toLowerCase().split(/\s+/).filter(Boolean);
        const rows = units.filter(u => {
            if (!words.length) return true;
            const text = COLUMNS.map(c => String(c.value(u))).join(" ").toLowerCase();
            return words.every(w => text.includes(w));
        });
        const sign = sort.ascending ? 1 : -1;
        return rows.sort((a, b) => {
            const x = column.value(a), y = column.value(b);
            const order = typeof x === "number" && typeof y === "number" ? x - y
                : String(x).localeCompare(String(y), undefined, {numeric: true});
            return sign * order || a.macAddress.localeCompare(b.macAddress);
        });
    }, [units, sort, filter]);

    const toggle = (/** @type {string} */ mac) => {
        const next = new Set(selected);
        if (next.has(mac)) next.delete(mac);
        else next.add(mac);
        setSelected(next);
    };
    const allShown = shown.length > 0 && shown.every(u => selected.has(u.macAddress));
    const toggleAll = () => {
        const next = new Set(selected);
        for (const u of shown) {
            if (allShown) next.delete(u.macAddress);
            else next.add(u.macAddress);
        }
        setSelected(next);
    };
    const down = units.filter(u => GONE.has(u.status)).length;

    return html`<section class="units" aria-labelledby="units-title">
        <div class="units-bar">
            <h2 id="units-title">Units</h2>
            <span class="muted" role="status">${units.length} ${units.length === 1 ? "unit" : "units"}${down ? `, ${down} not answering` : ""}, ${selected.size} selected</span>
            <label class="filter">Filter <input type="search" aria-label="Filter" value=${filter} onInput=${(/** @type {any} */ e) => setFilter(e.target.value)}/></label>
        </div>
        <div class="table-wrap">
        <table class="unit-table">
            <thead><tr>
                <th class="check"><input type="checkbox" aria-label="Select all shown units" checked=${allShown} onChange=${toggleAll}/></th>
                ${COLUMNS.map(c => html`<th aria-sort=${sort.key === c.key ? (sort.ascending ? "ascending" : "descending") : undefined}>
                    <button type="button" class="sort" onClick=${() => setSort({key: c.key, ascending: sort.key === c.key ? !sort.ascending : true})}>
                        ${c.label}${sort.key === c.key ? (sort.ascending ? " \u25b2" : " \u25bc") : ""}</button></th>`)}
                <th>Job</th>
            </tr></thead>
            <tbody>
            ${shown.map(u => html`<tr key=${u.macAddress} class=${GONE.has(u.status) ? "gone" : ""} aria-selected=${selected.has(u.macAddress)}>
                <td class="check"><input type="checkbox" aria-label=${`Select ${u.macAddress}`} checked=${selected.has(u.macAddress)} onChange=${() => toggle(u.macAddress)}/></td>
                <td><button type="button" class="link" title=${`Details of ${u.macAddress}`} onClick=${() => onOpen(u.macAddress)}>${unitName(u) || "(no name)"}</button>
                    ${u.info?.configuration && u.info.configuration !== unitName(u) && html`<div class="muted small">${u.info.configuration}</div>`}</td>
                <td>${u.type}</td>
                <td class="mono">${u.macAddress}</td>
                <td class="mono">${u.info?.ipAddress ?? ""}</td>
                <td>${u.protocolVersion}</td>
                <td>${u.info?.dis ?? ""}</td>
                <td class=${"state state-" + u.status.replace(/\s+/g, "-")}>${u.status}${u.bricked ? " (locked)" : ""}</td>
                <td class="job"><${JobCell} job=${jobs[u.macAddress]} unitGone=${GONE.has(u.status)} onDownload=${() => onDownload(u.macAddress)}/></td>
            </tr>`)}
            </tbody>
        </table>
        </div>
        ${units.length > 0 && shown.length === 0 && html`<p class="muted">No unit matches the filter.</p>`}
    </section>`;
}
