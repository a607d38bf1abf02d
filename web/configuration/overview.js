// The installation at a glance: every central unit with what belongs to it, the operators with
// their own tables, and the catalogues that the whole installation shares. Each entry opens its
// editor. A unit's counts come from one listing per table, grouped here, however many units; the
// common table draws only the rows in view.
import {html, useEffect, useMemo, useState} from "../lib/preact-htm.js";
import * as tuna from "../common/api/tuna.js";
import {Table, TableFilter, shownCount, useTable} from "../common/table.js";
import {ErrorText, describe} from "../common/ui.js";
import {Name} from "./fields.js";
import {href} from "./router.js";
import {OPERATOR_TABLES, SCHEMA, UNIT_GROUPS, tableOf} from "./schema.js";
import {useSession} from "./state.js";

/** The catalogues of the whole installation: the tables marked so, then the pages of their own. */
const CATALOGUES = [
    ...[...SCHEMA.values()].filter(t => t.catalogue)
        .map(t => ({label: t.label, link: t.single ? href(["form", t.name]) : href(["table", t.name])})),
    {label: "Announcements", link: href(["announcements"])},
    {label: "Audio-setup translations", link: href(["translations"])},
    {label: "Icons", link: href(["icons"])},
    {label: "All tables", link: href(["tables"])},
];

/** @param {Record<string, string>[]} rows @param {string} column */
function countBy(rows, column) {
    /** @type {Map<string, number>} */
    const counts = new Map();
    for (const row of rows) counts.set(row[column], (counts.get(row[column]) || 0) + 1);
    return counts;
}

/** @param {string} table */
const parentOf = table => tableOf(table)?.parent || "breltID";

/**
 * @typedef {Map<string, Map<string, number>>} Counts rows of each table by owner
 * @typedef {Record<string, string>} Row
 */

/**
 * The links to an owner's rows of `tables`, each with its count.
 * @param {{counts: Counts, tables: string[], owner: string}} props
 */
function PartLinks({counts, tables, owner}) {
    return html`<ul class="parts">${tables.map(table => {
        const n = counts.get(table)?.get(owner) || 0;
        const label = tableOf(table).label;
        return html`<li><a href=${href(["table", table], {[parentOf(table)]: owner})}
            aria-label=${`${label}: ${n}`}>${label} ${n}</a></li>`;
    })}</ul>`;
}

/**
 * A column of an owner's rows in some tables: links with counts, and the same as text for the
 * filter and the hover.
 * @param {string} key @param {string[]} tables @param {Counts} counts
 */
const partsColumn = (key, tables, counts) => ({key, label: key, sort: null, width: tables.length > 3 ? "36%" : undefined,
    text: (/** @type {Row} */ r) => tables.map(t => `${tableOf(t).label} ${counts.get(t)?.get(r.id) || 0}`).join(", "),
    cell: (/** @type {Row} */ r) => html`<${PartLinks} counts=${counts} tables=${tables} owner=${r.id}/>`});

/** The column of a row's name (and model), linking to its form. @param {string} label @param {string} table */
const nameColumn = (label, table) => ({key: "name", label, width: "20%", text: (/** @type {Row} */ r) => r.name,
    cell: (/** @type {Row} */ r) => html`<a href=${href(["row", table, r.id])}>${r.name ? html`<${Name} name=${r.name}/>`
        : "(no name)"}</a>${r.type ? html` <span class="muted unit-type"><${Name} name=${r.type}/></span>` : null}`});

/** @param {{title: string, id: string, rows: Row[], columns: any[], noun: string, children: any}} props */
function OwnerTable({title, id, rows, columns, noun, children}) {
    const table = useTable(rows, columns, {rowKey: (/** @type {Row} */ r) => r.id});
    return html`<section aria-labelledby=${id}>
        <h2 id=${id}>${title} (${rows.length})</h2>
        <div class="buttons">${children}<${TableFilter} table=${table}/>
            <span class="muted" role="status">${shownCount(table, noun)}</span></div>
        <${Table} table=${table} label=${title} rowHeight=${64} height="22rem"/>
    </section>`;
}

export function Overview() {
    const session = useSession();
    const [data, setData] = useState(/** @type {{units: any[], operators: any[], counts: Counts} | null} */ (null));
    const [error, setError] = useState("");

    useEffect(() => {
        let live = true;
        const partTables = [...UNIT_GROUPS.flatMap(p => p.tables), ...OPERATOR_TABLES];
        Promise.all([
            tuna.listRows("centralUnits", ["name", "type"]),
            tuna.listRows("operatorGeneral", ["name"]),
            ...partTables.map(t => tuna.listRows(t, [parentOf(t)])),
        ]).then(([units, operators, ...parts]) => {
            if (!live) return;
            const counts = new Map(partTables.map((t, i) => [t, countBy(parts[i], parentOf(t))]));
            setData({units, operators, counts});
        }, e => live && setError(describe(e)));
        return () => { live = false; };
    }, [session.version]);

    const counts = data?.counts;
    const unitColumns = useMemo(() => counts ? [nameColumn("Unit", "centralUnits"),
        ...UNIT_GROUPS.map(({group, tables}) => partsColumn(group, tables, counts))] : [], [counts]);
    const operatorColumns = useMemo(() => counts ? [nameColumn("Operator", "operatorGeneral"),
        partsColumn("Lists", OPERATOR_TABLES, counts)] : [], [counts]);

    if (error) return html`<${ErrorText} message=${error}/>`;
    if (!data) return html`<p class="muted" role="status">Loading the overview…</p>`;

    return html`<section class="overview" aria-labelledby="overview-title">
        <h1 id="overview-title">Overview</h1>
        <${OwnerTable} title="Central units" id="units-title" rows=${data.units} columns=${unitColumns} noun="units">
            <a class="button" href=${href(["row", "centralUnits", "new"])}>Add central unit</a>
            <a class="button" href=${href(["table", "centralUnits"])}>All central units</a>
        </${OwnerTable}>
        <${OwnerTable} title="Operators" id="operators-title" rows=${data.operators} columns=${operatorColumns}
                noun="operators">
            <a class="button" href=${href(["row", "operatorGeneral", "new"])}>Add operator</a>
            <a class="button" href=${href(["table", "operatorGeneral"])}>All operators</a>
        </${OwnerTable}>
        <section aria-labelledby="catalogues-title">
            <h2 id="catalogues-title">Installation-wide</h2>
            <ul class="catalogues">${CATALOGUES.map(c => html`<li><a href=${c.link}>${c.label}</a></li>`)}</ul>
        </section>
    </section>`;
}
