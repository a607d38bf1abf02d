// A table's rows as a grid on the common table: sortable by any shown column, filtered by what the
// user types, and drawn only where it is visible.
import {html, useEffect, useMemo, useState} from "../lib/preact-htm.js";
import * as tuna from "../common/api/tuna.js";
import {ErrorText, describe, useConfirm} from "../common/ui.js";
import {Table, TableFilter, shownCount, useTable} from "../common/table.js";
import {gridColumns} from "./schema.js";
import {namesOf, rowLabel, useSession} from "./state.js";

/** @typedef {import("./schema.js").Table} Table */
/** @typedef {import("./schema.js").Column} Column */

/** @param {Column} column @param {string} value @param {Map<string, Map<string, string>>} names */
function shown(column, value, names) {
    if (column.kind === "ref") return value ? names.get(column.table)?.get(value) ?? `(missing ${value})` : "";
    if (column.kind === "bool") return value === "true" ? "on" : value === "false" ? "off" : value;
    return value;
}

/**
 * @param {{table: Table, filters: Record<string, string>, onOpen: (id: string) => void, onAdd: () => void}} props
 */
export function Grid({table, filters, onOpen, onAdd}) {
    const session = useSession();
    const [rows, setRows] = useState(/** @type {Record<string, string>[] | null} */ (null));
    const [names, setNames] = useState(/** @type {Map<string, Map<string, string>>} */ (new Map()));
    const [error, setError] = useState("");
    const [rowError, setRowError] = useState({id: "", text: ""});
    const [ask, confirmDialog] = useConfirm();
    const filterKey = JSON.stringify(filters);
    const fields = useMemo(() => gridColumns(table), [table]);

    useEffect(() => {
        let live = true;
        setError("");
        const refTables = [...new Set(fields.filter(c => c.kind === "ref").map(c => c.table))];
        Promise.all([
            tuna.listRows(table.name, fields.map(c => c.name), filters),
            Promise.all(refTables.map(async t => /** @type {[string, Map<string, string>]} */ ([t, await namesOf(t)]))),
        ]).then(([found, maps]) => {
            if (!live) return;
            setRows(found);
            setNames(new Map(maps));
        }, e => live && setError(describe(e)));
        return () => { live = false; };
    }, [table.name, filterKey, session.version]);

    const remove = async (/** @type {Record<string, string>} */ row) => {
        const label = row.name || row.id;
        if (!(await ask({title: `Delete ${label}?`, text: `The row is removed from ${table.label}. Undo brings it back.`,
            confirmLabel: "Delete", danger: true}))) return;
        setRowError({id: "", text: ""});
        try {
            await session.change(() => tuna.deleteRow(table.name, row.id, {row}), `${rowLabel(table, row.name, row.id)} deleted`);
        } catch (e) {
            setRowError({id: row.id, text: describe(e)});
        }
    };

    /** @type {import("../common/table.js").TableColumn[]} */
    const columns = useMemo(() => [
        ...fields.map((c, i) => ({
            key: c.name, label: c.label,
            sort: /** @type {import("../common/table.js").SortKind} */ (c.kind === "number" ? "number" : "text"),
            text: (/** @type {Record<string, string>} */ row) => shown(c, row[c.name] ?? "", names),
            cell: i > 0 ? undefined : (/** @type {Record<string, string>} */ row) =>
                html`<button type="button" class="link" onClick=${() => onOpen(row.id)}>${shown(c, row[c.name] ?? "", names) || `(${row.id})`}</button>`,
        })),
        {key: "", label: "Actions", sort: null, width: "6rem", text: () => "",
         cell: (/** @type {Record<string, string>} */ row) => html`<button type="button" class="small"
             aria-label=${`Delete ${row.name || row.id}`} onClick=${() => remove(row)}>Delete</button>`},
    ], [fields, names]);
    const grid = useTable(rows ?? [], columns, {rowKey: row => row.id});

    if (error) return html`<${ErrorText} message=${error}/>`;
    if (!rows) return html`<p class="muted" role="status">Loading ${table.label}…</p>`;

    return html`<div class="grid-tools">
            <${TableFilter} table=${grid} className="grid-filter"/>
            <span class="muted" role="status">${shownCount(grid)}</span>
            <button type="button" class="primary" onClick=${onAdd}>Add</button>
        </div>
        <${Table} table=${grid} label=${table.label} rowHeight=${36} height="calc(100vh - 17rem)"/>
        ${rowError.text ? html`<${ErrorText} message=${`${rowError.id}: ${rowError.text}`}/>` : null}
        ${confirmDialog}`;
}
