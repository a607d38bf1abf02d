// The installation at a glance: every central unit with what belongs to it, the operators with
// their own tables, and the catalogues that the whole installation shares. Each entry opens its
// editor. A unit's counts come from one listing per table, grouped here, however many units.
import {html, useEffect, useState} from "../lib/preact-htm.js";
import * as tuna from "../common/api/tuna.js";
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

export function Overview() {
    const session = useSession();
    const [data, setData] = useState(/** @type {any} */ (null));
    const [error, setError] = useState("");

    useEffect(() => {
        let live = true;
        const partTables = [...UNIT_GROUPS.flatMap(p => p.tables), ...OPERATOR_TABLES];
        Promise.all([
            tuna.listRows("centralUnits", ["name", "type", "ipAddress"]),
            tuna.listRows("operatorGeneral", ["name"]),
            ...partTables.map(t => tuna.listRows(t, [parentOf(t)])),
        ]).then(([units, operators, ...parts]) => {
            if (!live) return;
            const counts = new Map(partTables.map((t, i) => [t, countBy(parts[i], parentOf(t))]));
            setData({units, operators, counts});
        }, e => live && setError(describe(e)));
        return () => { live = false; };
    }, [session.version]);

    if (error) return html`<${ErrorText} message=${error}/>`;
    if (!data) return html`<p class="muted" role="status">Loading the overview…</p>`;
    const {units, operators, counts} = data;

    const countLink = (/** @type {string} */ table, /** @type {string} */ owner) => {
        const n = counts.get(table)?.get(owner) || 0;
        const label = tableOf(table).label;
        return html`<a href=${href(["table", table], {[parentOf(table)]: owner})} aria-label=${`${label}: ${n}`}>${label} ${n}</a>`;
    };

    return html`<section class="overview" aria-labelledby="overview-title">
        <h1 id="overview-title">Overview</h1>
        <section aria-labelledby="units-title">
            <h2 id="units-title">Central units (${units.length})</h2>
            <div class="buttons"><a class="button" href=${href(["row", "centralUnits", "new"])}>Add central unit</a>
                <a class="button" href=${href(["table", "centralUnits"])}>All central units</a></div>
            <table class="overview-table">
                <thead><tr><th scope="col">Unit</th>${UNIT_GROUPS.map(p => html`<th scope="col">${p.group}</th>`)}</tr></thead>
                <tbody>${units.map((/** @type {Record<string, string>} */ u) => html`<tr key=${u.id}>
                    <th scope="row"><a href=${href(["row", "centralUnits", u.id])}>${u.name ? html`<${Name} name=${u.name}/>` : "(no name)"}</a>
                        <span class="muted unit-type"><${Name} name=${u.type}/></span></th>
                    ${UNIT_GROUPS.map(p => html`<td><ul class="parts">${p.tables.map(t => html`<li>${countLink(t, u.id)}</li>`)}</ul></td>`)}
                </tr>`)}</tbody>
            </table>
        </section>
        <section aria-labelledby="operators-title">
            <h2 id="operators-title">Operators (${operators.length})</h2>
            <div class="buttons"><a class="button" href=${href(["row", "operatorGeneral", "new"])}>Add operator</a>
                <a class="button" href=${href(["table", "operatorGeneral"])}>All operators</a></div>
            <table class="overview-table">
                <tbody>${operators.map((/** @type {Record<string, string>} */ o) => html`<tr key=${o.id}>
                    <th scope="row"><a href=${href(["row", "operatorGeneral", o.id])}>${o.name ? html`<${Name} name=${o.name}/>` : "(no name)"}</a></th>
                    <td><ul class="parts">${OPERATOR_TABLES.map(t => html`<li>${countLink(t, o.id)}</li>`)}</ul></td>
                </tr>`)}</tbody>
            </table>
        </section>
        <section aria-labelledby="catalogues-title">
            <h2 id="catalogues-title">Installation-wide</h2>
            <ul class="catalogues">${CATALOGUES.map(c => html`<li><a href=${c.link}>${c.label}</a></li>`)}</ul>
        </section>
    </section>`;
}
