// One input per column kind. Every field is labelled, says its own error, and hands back the
// column's text as the store keeps it ("true"/"false", decimal numbers, ids of referenced rows).
import {html, useEffect, useState} from "../lib/preact-htm.js";
import {namesOf} from "./state.js";

// Beyond this many names a reference is typed with suggestions instead of picked from a list.
const LONGEST_LIST = 300;

/** @typedef {import("./schema.js").Column} Column */

/**
 * What is wrong with a value for its column, or "".
 * @param {Column} column @param {string} value
 */
export function problemOf(column, value) {
    if (column.required && value.trim() === "") return `${column.label} is required.`;
    if (value === "") return "";
    if (column.kind === "number") {
        if (!/^-?\d+$/.test(value.trim())) return `${column.label} must be a whole number.`;
        const n = Number(value);
        if (n < column.min || n > column.max) return `${column.label} must be from ${column.min} to ${column.max}.`;
    }
    if (column.kind === "ref" && value.startsWith("?")) return `${column.label}: nothing is named "${value.slice(1)}".`;
    return "";
}

/** The names of a column's referenced table, once loaded. @param {Column} column */
export function useNames(column) {
    const [names, setNames] = useState(/** @type {Map<string, string> | undefined} */ (undefined));
    useEffect(() => {
        if (column.kind !== "ref" && column.kind !== "refName") return;
        let live = true;
        namesOf(column.table).then(n => live && setNames(n), () => live && setNames(new Map()));
        return () => { live = false; };
    }, [column.table]);
    return names;
}

/** @param {{column: Column, value: string, onInput: (v: string) => void, error: string, id: string}} props */
export function Field({column, value, onInput, error, id}) {
    const names = useNames(column);
    const errorId = `${id}-error`;
    const common = {id, "aria-invalid": error ? "true" : undefined, "aria-describedby": error ? errorId : undefined,
        required: column.required};
    let control;
    if (column.kind === "bool" && ["true", "false", ""].includes(value)) {
        control = html`<input type="checkbox" ...${common} checked=${value === "true"}
            onChange=${(/** @type {any} */ e) => onInput(e.currentTarget.checked ? "true" : "false")}/>`;
    } else if (column.kind === "number") {
        control = html`<input type="number" inputmode="numeric" min=${column.min} max=${column.max} step="1" ...${common}
            value=${value} onInput=${(/** @type {any} */ e) => onInput(e.currentTarget.value)}/>`;
    } else if (column.kind === "choice") {
        const choices = column.choices.includes(value) || value === "" ? column.choices : [value, ...column.choices];
        control = html`<select ...${common} value=${value} onChange=${(/** @type {any} */ e) => onInput(e.currentTarget.value)}>
            <option value="">(none)</option>
            ${choices.map(c => html`<option value=${c}>${c}</option>`)}
        </select>`;
    } else if (column.kind === "ref" || column.kind === "refName") {
        control = html`<${Reference} column=${column} names=${names} value=${value} onInput=${onInput} common=${common}/>`;
    } else {
        control = html`<input type="text" ...${common} value=${value} onInput=${(/** @type {any} */ e) => onInput(e.currentTarget.value)}/>`;
    }
    return html`<div class=${"field" + (column.kind === "bool" ? " field-bool" : "")}>
        <label for=${id} class=${column.required ? "required" : undefined}>${column.label}</label>
        ${control}
        ${error ? html`<p class="error field-error" id=${errorId} role="alert">${error}</p>` : null}
    </div>`;
}

/**
 * A reference chosen by name. The store keeps the row's id ("ref") or its name ("refName").
 * @param {{column: Column, names: Map<string, string> | undefined, value: string, onInput: (v: string) => void, common: any}} props
 */
function Reference({column, names, value, onInput, common}) {
    const entries = names ? [...names] : [];
    const byValue = column.kind === "ref";
    const options = entries.map(([id, name]) => ({value: byValue ? id : name, label: name}));
    const known = options.some(o => o.value === value);
    const shown = byValue ? names?.get(value) ?? value : value;
    const [typed, setTyped] = useState(shown);
    useEffect(() => setTyped(shown), [shown]);
    if (options.length <= LONGEST_LIST) {
        return html`<select ...${common} value=${value} disabled=${!names}
                onChange=${(/** @type {any} */ e) => onInput(e.currentTarget.value)}>
            <option value="">(none)</option>
            ${!known && value ? html`<option value=${value}>${byValue ? `(missing: ${value})` : value}</option>` : null}
            ${options.map(o => html`<option value=${o.value}>${o.label}</option>`)}
        </select>`;
    }
    // Many names: typed, with suggestions; the name becomes the id once it names one row.
    const listId = `${common.id}-names`;
    return html`<span>
        <input type="text" list=${listId} ...${common} value=${typed} onInput=${(/** @type {any} */ e) => {
            const name = e.currentTarget.value;
            setTyped(name);
            const match = options.find(o => o.label === name);
            onInput(match ? match.value : name === "" ? "" : byValue ? `?${name}` : name);
        }}/>
        <datalist id=${listId}>${options.map(o => html`<option value=${o.label}></option>`)}</datalist>
    </span>`;
}
