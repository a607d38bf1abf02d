// A table's rows as a grid: sortable by any shown column, filtered by what the user types, and
// drawn only where it is visible, so ten thousand rows scroll as smoothly as ten.
import {html, useEffect, useMemo, useRef, useState} from "../lib/preact-htm.js";
import * as tuna from "../common/api/tuna.js";
import {ErrorText, describe, useConfirm} from "../common/ui.js";
import {gridColumns} from "./schema.js";
import {namesOf, rowLabel, useSession} from "./state.js";

const ROW_HEIGHT = 32;
const EXTRA_ROWS = 8;

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
    const columns = useMemo(() => gridColumns(table), [table]);
    const [rows, setRows] = useState(/** @type {Record<string, string>[] | null} */ (null));
    const [names, setNames] = useState(/** @type {Map<string, Map<string, string>>} */ (new Map()));
    const [error, setError] = useState("");
    const [rowError, setRowError] = useState({id: "", text: ""});
    const [sort, setSort] = useState({column: columns[0]?.name ?? "id", descending: false});
    const [filter, setFilter] = useState("");
    const [scrollTop, setScrollTop] = useState(0);
    const [viewHeight, setViewHeight] = useState(480);
    const body = useRef(/** @type {HTMLDivElement | null} */ (null));
    const [ask, confirmDialog] = useConfirm();
    const filterKey = JSON.stringify(filters);

    useEffect(() => {
        let live = true;
        setError("");
        const refTables = [...new Set(columns.filter(c => c.kind === "ref").map(c => c.table))];
        Promise.all([
            tuna.listRows(table.name, columns.map(c => c.name), filters),
            Promise.all(refTables.map(async t => /** @type {[string, Map<string, string>]} */ ([t, await namesOf(t)]))),
        ]).then(([found, maps]) => {
            if (!live) return;
            setRows(found);
            setNames(new Map(maps));
        }, e => live && setError(describe(e)));
        return () => { live = false; };
    }, [table.name, filterKey, session.version]);

    useEffect(() => {
        const element = body.current;
        if (!element) return;
        const measure = () => setViewHeight(element.clientHeight || 480);
        measure();
        const observer = new ResizeObserver(measure);
        observer.observe(element);
        return () => observer.disconnect();
    }, [rows !== null]);

    // Each row's shown texts, made once per load so sorting and filtering only compare strings.
    const prepared = useMemo(() => (rows || []).map(row => ({
        id: row.id, row, texts: columns.map(c => shown(c, row[c.name] ?? "", names)),
    })), [rows, names]);

    const visible = useMemo(() => {
        const needle = filter.trim().toLowerCase();
        const picked = needle ? prepared.filter(p => p.texts.some(t => t.toLowerCase().includes(needle))) : prepared.slice();
        const index = Math.max(0, columns.findIndex(c => c.name === sort.column));
        const numeric = columns[index]?.kind === "number";
        const collator = new Intl.Collator(undefined, {numeric: true, sensitivity: "base"});
        picked.sort((a, b) => {
            const x = a.texts[index], y = b.texts[index];
            const order = numeric ? (Number(x) || 0) - (Number(y) || 0) : collator.compare(x, y);
            return sort.descending ? -order : order;
        });
        return picked;
    }, [prepared, filter, sort]);

    if (error) return html`<${ErrorText} message=${error}/>`;
    if (!rows) return html`<p class="muted" role="status">Loading ${table.label}…</p>`;

    const first = Math.max(0, Math.floor(scrollTop / ROW_HEIGHT) - EXTRA_ROWS);
    const last = Math.min(visible.length, Math.ceil((scrollTop + viewHeight) / ROW_HEIGHT) + EXTRA_ROWS);
    const template = `${columns.map(() => "minmax(8rem, 1fr)").join(" ")} 6rem`;

    const remove = async (/** @type {Record<string, string>} */ row) => {
        const label = row.name || row.id;
        if (!(await ask({title: `Delete ${label}?`, text: `The row is removed from ${table.label}. Undo brings it back.`,
            confirmLabel: "Delete", danger: true}))) return;
        setRowError({id: "", text: ""});
        try {
            await session.change(() => tuna.deleteRow(table.name, row.id), `${rowLabel(table, row.name, row.id)} deleted`);
        } catch (e) {
            setRowError({id: row.id, text: describe(e)});
        }
    };

    const sortBy = (/** @type {string} */ column) =>
        setSort(s => ({column, descending: s.column === column ? !s.descending : false}));

    return html`<div class="grid-tools">
            <label class="grid-filter">Filter <input type="search" value=${filter} aria-label="Filter"
                onInput=${(/** @type {any} */ e) => { setFilter(e.currentTarget.value); if (body.current) body.current.scrollTop = 0; setScrollTop(0); }}/></label>
            <span class="muted" role="status">${visible.length === rows.length ? `${rows.length} rows` : `${visible.length} of ${rows.length} rows`}</span>
            <button type="button" class="primary" onClick=${onAdd}>Add</button>
        </div>
        <div class="grid" role="table" aria-label=${table.label} aria-rowcount=${visible.length + 1}>
            <div class="grid-head" role="row" style=${{gridTemplateColumns: template}}>
                ${columns.map(c => html`<div role="columnheader" aria-sort=${sort.column === c.name ? (sort.descending ? "descending" : "ascending") : "none"}>
                    <button type="button" class="sort" onClick=${() => sortBy(c.name)}>${c.label}${sort.column === c.name ? (sort.descending ? " ▼" : " ▲") : ""}</button>
                </div>`)}
                <div role="columnheader"><span class="visually-hidden">Actions</span></div>
            </div>
            <div class="grid-body" ref=${body} tabindex="0" aria-label=${`${table.label}, rows`} onScroll=${(/** @type {any} */ e) => setScrollTop(e.currentTarget.scrollTop)}>
                <div class="grid-space" style=${{height: `${visible.length * ROW_HEIGHT}px`}}>
                    ${visible.slice(first, last).map((p, i) => html`<div role="row" key=${p.id} class="grid-row"
                            aria-rowindex=${first + i + 2} style=${{top: `${(first + i) * ROW_HEIGHT}px`, gridTemplateColumns: template}}>
                        ${p.texts.map((t, c) => html`<div role="cell" title=${t}>${c === 0
                            ? html`<button type="button" class="link" onClick=${() => onOpen(p.id)}>${t || `(${p.id})`}</button>` : t}</div>`)}
                        <div role="cell"><button type="button" class="small" aria-label=${`Delete ${p.row.name || p.id}`}
                            onClick=${() => remove(p.row)}>Delete</button></div>
                    </div>`)}
                </div>
            </div>
        </div>
        ${rowError.text ? html`<${ErrorText} message=${`${rowError.id}: ${rowError.text}`}/>` : null}
        ${confirmDialog}`;
}
