// One table for every list of the pages: columns described as data, sorted by any column's header,
// filtered by the text typed, rows chosen by check box or radio button, and only the rows in view
// drawn, so ten thousand rows scroll as smoothly as ten. A cell keeps its row to at most two lines
// and shows its whole text on hover, isolated from the text around it in either direction.
import {html, useCallback, useEffect, useMemo, useRef, useState} from "../lib/preact-htm.js";

/**
 * How a column sorts: "text" by the user's language (numbers in text by value), "number",
 * "hex" as hexadecimal numbers whatever separates their digits (MAC addresses), "address" as IPv4
 * addresses by their four numbers (anything else in it as a hexadecimal number); null: not sortable.
 * @typedef {"text" | "number" | "hex" | "address" | null} SortKind
 */

/**
 * A column: `text(row)` is what it shows, filters and sorts by, and its hover text; `cell(row)`, when
 * given, draws the cell instead (a link, a progress bar) with the same text on hover.
 * @typedef {{key: string, label: string, text: (row: any) => string, sort?: SortKind,
 *            cell?: (row: any) => any, width?: string, className?: string}} TableColumn
 * @typedef {{column: string, descending: boolean}} TableSort
 * @typedef {{row: any, key: string, texts: string[], folded: string}} TableRow
 * @typedef {{columns: TableColumn[], rowKey: (row: any) => string, total: number, shown: TableRow[],
 *            filter: string, setFilter: (text: string) => void, sort: TableSort, sortBy: (column: string) => void,
 *            isShown: (key: string) => boolean}} TableState
 * @typedef {{selected: Set<string>, onChange: (keys: Set<string>) => void, label: (row: any) => string,
 *            multiple?: boolean, allLabel?: string}} TableSelection
 */

const collator = new Intl.Collator(undefined, {numeric: true, sensitivity: "base"});

/** Text as the filter compares it: without case and accents, blanks as one space. @param {string} text */
export function fold(text) {
    return text.normalize("NFD").replace(/\p{M}+/gu, "").toLowerCase().replace(/\s+/g, " ");
}

/** A hexadecimal number's key: ordered by length, then digits. @param {string} text */
function hexKey(text) {
    const digits = text.toLowerCase().replace(/[^0-9a-f]/g, "").replace(/^0+/, "");
    return `${String(digits.length).padStart(4, "0")}${digits}`;
}

const IPV4 = /^(\d{1,3})\.(\d{1,3})\.(\d{1,3})\.(\d{1,3})$/;

/** @param {SortKind} kind @param {string} text @returns {string | number} */
function sortKey(kind, text) {
    if (kind === "number") {
        const value = text.trim() === "" ? NaN : Number(text);
        return Number.isNaN(value) ? -Infinity : value;
    }
    if (kind === "hex") return hexKey(text);
    if (kind === "address") {
        if (!text.trim()) return "";
        const parts = IPV4.exec(text.trim());
        return parts ? `4${parts.slice(1).map(p => p.padStart(3, "0")).join("")}` : `6${hexKey(text)}`;
    }
    return text;
}

/**
 * `rows` in the order `sort` gives, ties kept in the order of `rows`.
 * @param {TableRow[]} rows @param {TableColumn[]} columns @param {TableSort} sort
 */
export function sortRows(rows, columns, sort) {
    const index = columns.findIndex(c => c.key === sort.column);
    const kind = index < 0 ? null : columns[index].sort ?? "text";
    if (!kind) return rows.slice();
    const sign = sort.descending ? -1 : 1;
    const keyed = rows.map((row, at) => ({row, at, key: sortKey(kind, row.texts[index])}));
    keyed.sort((a, b) => {
        const order = kind === "text" ? collator.compare(/** @type {string} */ (a.key), /** @type {string} */ (b.key))
            : a.key < b.key ? -1 : a.key > b.key ? 1 : 0;
        return sign * order || a.at - b.at;
    });
    return keyed.map(k => k.row);
}

/**
 * The rows with a cell that holds the typed text, whatever its case, accents and runs of blanks.
 * @param {TableRow[]} rows @param {string} filter
 */
export function filterRows(rows, filter) {
    const needle = fold(filter).trim();
    return needle ? rows.filter(r => r.folded.includes(needle)) : rows;
}

/**
 * A table's rows with its filter and sort, for `Table` and `TableFilter` to draw and for the page to
 * ask what is shown.
 * @param {any[]} rows @param {TableColumn[]} columns
 * @param {{rowKey: (row: any) => string, sort?: TableSort}} options
 * @returns {TableState}
 */
export function useTable(rows, columns, {rowKey, sort: initial}) {
    const [filter, setFilter] = useState("");
    const [sort, setSort] = useState(initial ?? {column: columns[0]?.key ?? "", descending: false});
    const prepared = useMemo(() => rows.map(row => {
        const texts = columns.map(c => c.text(row) ?? "");
        return {row, key: rowKey(row), texts, folded: texts.map(fold).join("\0")};
    }), [rows, columns]);
    const shown = useMemo(() => sortRows(filterRows(prepared, filter), columns, sort), [prepared, filter, sort]);
    const shownKeys = useMemo(() => new Set(shown.map(r => r.key)), [shown]);
    const sortBy = useCallback((/** @type {string} */ column) =>
        setSort(s => ({column, descending: s.column === column ? !s.descending : false})), []);
    return {columns, rowKey, total: rows.length, shown, filter, setFilter, sort, sortBy,
            isShown: key => shownKeys.has(key)};
}

/** The field that filters a table. @param {{table: TableState, className?: string}} props */
export function TableFilter({table, className = "filter"}) {
    return html`<label class=${className}>Filter <input type="search" aria-label="Filter" value=${table.filter}
        onInput=${(/** @type {any} */ e) => table.setFilter(e.currentTarget.value)}/></label>`;
}

/** "12 rows", or "3 of 12 rows" while the filter hides some. @param {TableState} table @param {string} [noun] */
export function shownCount(table, noun = "rows") {
    return table.shown.length === table.total ? `${table.total} ${noun}` : `${table.shown.length} of ${table.total} ${noun}`;
}

const EXTRA_ROWS = 8;
// A cell's padding and border, in pixels: its row's height less this is what the cell may fill.
const CELL_PADDING = 8;

/**
 * The table itself: a header that sorts, and the rows in view of its scrolling body.
 * @param {{table: TableState, label: string, className?: string, rowHeight?: number, height?: string,
 *          selection?: TableSelection | null, rowClass?: (row: any) => string, empty?: string,
 *          onView?: (keys: string[]) => void}} props
 * `onView` hears the keys of the rows in view, top first, whenever they change.
 */
export function Table({table, label, className = "", rowHeight = 40, height = "calc(100vh - 16rem)",
                       selection = null, rowClass = () => "", empty = "", onView = undefined}) {
    const body = useRef(/** @type {HTMLDivElement | null} */ (null));
    const [scrollTop, setScrollTop] = useState(0);
    const [viewHeight, setViewHeight] = useState(600);
    const {columns, shown, sort} = table;

    useEffect(() => {
        const element = body.current;
        if (!element) return;
        const measure = () => setViewHeight(element.clientHeight || 600);
        measure();
        const observer = new ResizeObserver(measure);
        observer.observe(element);
        return () => observer.disconnect();
    }, []);
    // A new filter shows its rows from the first.
    useEffect(() => {
        if (body.current) body.current.scrollTop = 0;
        setScrollTop(0);
    }, [table.filter]);

    const first = Math.max(0, Math.floor(scrollTop / rowHeight) - EXTRA_ROWS);
    const last = Math.min(shown.length, Math.ceil((scrollTop + viewHeight) / rowHeight) + EXTRA_ROWS);
    const inView = shown.slice(Math.floor(scrollTop / rowHeight), Math.ceil((scrollTop + viewHeight) / rowHeight))
        .map(r => r.key).join("\n");
    useEffect(() => {
        if (onView && inView) onView(inView.split("\n"));
    }, [inView]);
    // Text keeps to two lines; a drawn cell (a bar and a button) to the row's height.
    const cellStyle = {maxHeight: `${rowHeight - CELL_PADDING}px`};
    const span = columns.length + (selection ? 1 : 0);
    const spacer = (/** @type {number} */ rowCount) => rowCount > 0 && html`<tr class="grid-space" aria-hidden="true">
        <td colspan=${span} style=${{height: `${rowCount * rowHeight}px`}}></td></tr>`;

    return html`<div class="grid-body" ref=${body} tabindex="0" aria-label=${`${label}, rows`} style=${{maxHeight: height}}
            onScroll=${(/** @type {any} */ e) => setScrollTop(e.currentTarget.scrollTop)}>
        <table class=${`grid ${className}`} aria-label=${label} aria-rowcount=${shown.length + 1}>
            <colgroup>
                ${selection && html`<col class="check"/>`}
                ${columns.map(c => html`<col key=${c.key} style=${c.width ? {width: c.width} : undefined}/>`)}
            </colgroup>
            <thead><tr aria-rowindex="1">
                ${selection && html`<th class="check">${selection.multiple !== false && html`<${SelectShown} table=${table} selection=${selection}/>`}</th>`}
                ${columns.map(c => html`<th key=${c.key} class=${c.className}
                        aria-sort=${sort.column === c.key ? (sort.descending ? "descending" : "ascending") : undefined}>
                    ${c.sort === null ? c.label : html`<button type="button" class="sort" onClick=${() => table.sortBy(c.key)}>${c.label}${
                        sort.column === c.key ? (sort.descending ? " \u25bc" : " \u25b2") : ""}</button>`}</th>`)}
            </tr></thead>
            <tbody>
                ${spacer(first)}
                ${shown.slice(first, last).map((r, i) => html`<tr key=${r.key}
                        class=${`grid-row ${selection ? "choosable " : ""}${rowClass(r.row)}`}
                        aria-rowindex=${first + i + 2} aria-selected=${selection ? selection.selected.has(r.key) : undefined}
                        style=${{height: `${rowHeight}px`}} onClick=${selection ? chooseByRow : undefined}>
                    ${selection && html`<td class="check"><${Choice} row=${r} selection=${selection}/></td>`}
                    ${columns.map((c, at) => html`<td key=${c.key} class=${c.className}>
                        <div class="cell" dir="auto" title=${r.texts[at]} style=${cellStyle}>${c.cell ? c.cell(r.row) : r.texts[at]}</div></td>`)}
                </tr>`)}
                ${spacer(shown.length - last)}
            </tbody>
        </table>
        ${shown.length === 0 && table.total > 0 && html`<p class="muted grid-empty">${empty || "No row matches the filter."}</p>`}
    </div>`;
}

/**
 * A click anywhere on a row (its name, its other cells) chooses it as its own check box or radio button
 * does, through that control: a control disabled (a locked list) ignores it. A click on a control in
 * the row, or one that ends a text selection, is left to them.
 * @param {MouseEvent} event
 */
function chooseByRow(event) {
    const target = /** @type {Element} */ (event.target);
    if (target.closest("input, button, a, select, textarea, label")) return;
    if (String(window.getSelection() || "")) return;
    const choice = /** @type {HTMLElement} */ (event.currentTarget).querySelector("td.check input");
    if (choice instanceof HTMLInputElement) choice.click();
}

/** A row's check box or radio button. @param {{row: TableRow, selection: TableSelection}} props */
function Choice({row, selection}) {
    const {selected, onChange, multiple = true} = selection;
    const toggle = () => {
        if (!multiple) return onChange(new Set([row.key]));
        const next = new Set(selected);
        if (next.has(row.key)) next.delete(row.key);
        else next.add(row.key);
        onChange(next);
    };
    return html`<input type=${multiple ? "checkbox" : "radio"} aria-label=${selection.label(row.row)}
        checked=${selected.has(row.key)} onChange=${toggle}/>`;
}

/** The header's check box: every row the filter shows, chosen or let go at once. */
function SelectShown({table, selection}) {
    const {selected, onChange} = selection;
    const all = table.shown.length > 0 && table.shown.every(r => selected.has(r.key));
    const toggle = () => {
        const next = new Set(selected);
        for (const r of table.shown) {
            if (all) next.delete(r.key);
            else next.add(r.key);
        }
        onChange(next);
    };
    return html`<input type="checkbox" aria-label=${selection.allLabel ?? "Select all shown rows"} checked=${all} onChange=${toggle}/>`;
}
