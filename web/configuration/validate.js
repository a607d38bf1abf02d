// Validation: what the store would drop from the export (crew stations whose unit is gone, units
// without a name), rows that lack what the next load needs, and references to rows that are gone.
// Each finding leads to its row; the store's own validation then removes what it cannot export.
import {html, useEffect, useState} from "../lib/preact-htm.js";
import * as tuna from "../common/api/tuna.js";
import {ErrorText, describe, useCommand} from "../common/ui.js";
import {Name} from "./fields.js";
import {href} from "./router.js";
import {SCHEMA} from "./schema.js";
import {namesOf, registerId, useSession} from "./state.js";

/** @typedef {{table: string, id: string, name: string, text: string, removed: boolean}} Finding */

/** @returns {Promise<Finding[]>} */
async function findings() {
    /** @type {Finding[]} */
    const found = [];
    const register = new Set((await tuna.listRows("ids", [])).map(r => registerId(r.id)));
    const units = await tuna.listRows("centralUnits", ["name"]);
    const unitIds = new Set(units.map(u => u.id));
    for (const u of units)
        if (!u.name) found.push({table: "centralUnits", id: u.id, name: "", text: "The central unit has no name.", removed: true});
    for (const table of SCHEMA.values()) {
        const checked = table.columns.filter(c => c.required || c.kind === "ref");
        if (!checked.length || table.name === "ids") continue;
        const rows = await tuna.listRows(table.name, ["name", ...checked.map(c => c.name)]);
        for (const row of rows) {
            for (const c of checked) {
                const value = row[c.name] ?? "";
                if (c.required && !value.trim())
                    found.push({table: table.name, id: row.id, name: row.name, text: `${c.label} is missing.`, removed: false});
                else if (c.kind === "ref" && value && value !== c.none) {
                    const exists = c.table === "centralUnits" ? unitIds.has(value) : c.table === "ids" ? register.has(value)
                        : (await namesOf(c.table)).has(value);
                    if (!exists)
                        found.push({table: table.name, id: row.id, name: row.name, removed: table.name === "crewStation" && c.name === "breltID",
                            text: `${c.label} refers to ${value}, which no longer exists.`});
                }
            }
        }
    }
    return found;
}

export function Validation() {
    const session = useSession();
    const [list, setList] = useState(/** @type {Finding[] | null} */ (null));
    const [error, setError] = useState("");
    const command = useCommand();

    useEffect(() => {
        let live = true;
        setList(null);
        findings().then(f => live && setList(f), e => live && setError(describe(e)));
        return () => { live = false; };
    }, [session.version]);

    const removable = (list || []).filter(f => f.removed).length;
    return html`<section aria-labelledby="validate-title">
        <h1 id="validate-title">Validation</h1>
        <${ErrorText} message=${error}/>
        ${!list && !error ? html`<p class="muted" role="status">Checking the configuration…</p>` : null}
        ${list && !list.length ? html`<p class="notice" role="status">No findings: the configuration is complete.</p>` : null}
        ${list && list.length ? html`<p role="status">${list.length} finding${list.length === 1 ? "" : "s"}.</p>
            <ul class="findings">${list.map(f => html`<li>
                <a href=${href(["row", f.table, f.id])}>${SCHEMA.get(f.table).label}: ${f.name ? html`<${Name} name=${f.name}/>` : f.id}</a> — ${f.text}
                ${f.removed ? html`<span class="muted"> (the store's validation removes this row)</span>` : null}
            </li>`)}</ul>` : null}
        ${removable ? html`<div class="buttons">
            <button type="button" class="danger" disabled=${command.pending}
                onClick=${() => command.run(() => session.change(() => tuna.validate(), "rows that cannot be exported removed"))}>Remove the ${removable} row${removable === 1 ? "" : "s"} that cannot be exported</button>
        </div>` : null}
        <${ErrorText} message=${command.error}/>
    </section>`;
}
