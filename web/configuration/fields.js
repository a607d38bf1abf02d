// One input per column kind. Every field is labelled, says its own error, and hands back the
// column's text as the store keeps it ("true"/"false", decimal numbers, ids of referenced rows).
// A value that the field cannot show in its usual control is shown as text, never dropped.
import {html, useEffect, useState} from "../lib/preact-htm.js";
import {flagState, flagValue} from "./checks.js";
import {namesOf} from "./state.js";

// Beyond this many names a reference is typed with suggestions instead of picked from a list.
const LONGEST_LIST = 300;

/** @typedef {import("./schema.js").Column} Column */

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

/** A name as text that keeps its own direction and shows whole on hover. @param {{name: string}} props */
export function Name({name}) {
    return html`<bdi class="name" title=${name}>${name}</bdi>`;
}

/** @param {{column: Column, value: string, onInput: (v: string) => void, error: string, id: string}} props */
export function Field({column, value, onInput, error, id}) {
    const errorId = `${id}-error`;
    const common = {id, "aria-invalid": error ? "true" : undefined, "aria-describedby": error ? errorId : undefined,
        required: column.required};
    const typed = (/** @type {any} */ e) => onInput(e.currentTarget.value);
    // A flag keeps the spelling that it was loaded with; a true/false column is only "true" or "false".
    const isBool = column.kind === "flag" ? value === "" || flagState(value) !== null
        : column.kind === "bool" && ["true", "false", ""].includes(value);
    let control;
    if (isBool) {
        control = html`<input type="checkbox" ...${common} checked=${flagState(value) === true}
            onChange=${(/** @type {any} */ e) => onInput(flagValue(value, e.currentTarget.checked))}/>`;
    } else if (column.kind === "choice") {
        // A value outside the list (a model this page does not know) stays and can be kept.
        const choices = column.choices.includes(value) || value === "" ? column.choices : [value, ...column.choices];
        control = html`<select ...${common} value=${value} onChange=${typed}>
            ${column.required && value !== "" ? null : html`<option value="">(none)</option>`}
            ${choices.map(c => html`<option value=${c} dir="auto">${c}</option>`)}
        </select>`;
    } else if (column.kind === "ref" || column.kind === "refName") {
        control = html`<${Reference} column=${column} value=${value} onInput=${onInput} common=${common}/>`;
    } else {
        // Numbers too are typed as text: a number input hands back "" for "abc", and that would be saved.
        const numeric = column.kind === "number" ? "numeric" : column.kind === "text" ? undefined : "decimal";
        control = html`<input type="text" inputmode=${numeric} dir="auto" ...${common} value=${value} onInput=${typed}/>`;
    }
    return html`<div class=${"field" + (isBool ? " field-bool" : "")}>
        <label for=${id} class=${column.required ? "required" : undefined}>${column.label}</label>
        ${control}
        ${error ? html`<p class="error field-error" id=${errorId} role="alert">${error}</p>` : null}
    </div>`;
}

/**
 * A reference chosen by name. The store keeps the row's id ("ref") or its name ("refName"); a
 * typed name that names no row is handed back as "?" and the name, so the form can say so.
 * @param {{column: Column, value: string, onInput: (v: string) => void, common: any}} props
 */
function Reference({column, value, onInput, common}) {
    const names = useNames(column);
    const byId = column.kind === "ref";
    const options = [...(names || [])].map(([id, name]) => ({value: byId ? id : name, label: name}));
    const none = column.none ?? "";
    const isNone = value === "" || value === none;
    const unresolved = value.startsWith("?") ? value.slice(1) : null;
    const shown = isNone ? "" : unresolved ?? (byId ? names?.get(value) ?? value : value);
    if (options.length <= LONGEST_LIST) {
        const known = isNone || options.some(o => o.value === value);
        return html`<select ...${common} value=${isNone ? none : value} disabled=${!names} title=${shown}
                onChange=${(/** @type {any} */ e) => onInput(e.currentTarget.value)}>
            <option value=${none}>(none)</option>
            ${known ? null : html`<option value=${value}>${`(missing: ${shown})`}</option>`}
            ${options.map(o => html`<option value=${o.value} dir="auto">${o.label}</option>`)}
        </select>`;
    }
    return html`<${TypedReference} options=${options} shown=${shown} none=${none} onInput=${onInput} common=${common}/>`;
}

/**
 * Many names: typed, with the names as suggestions. What is typed stays as typed; the value
 * becomes the row once the text names one.
 * @param {{options: {value: string, label: string}[], shown: string, none: string,
 *          onInput: (v: string) => void, common: any}} props
 */
function TypedReference({options, shown, none, onInput, common}) {
    const [text, setText] = useState(shown);
    // Follow a change from outside (an undo, a reload) without touching what is being typed.
    useEffect(() => { if (shown !== text) setText(shown); }, [shown]);
    const listId = `${common.id}-names`;
    return html`<span class="typed-reference">
        <input type="text" list=${listId} dir="auto" autocomplete="off" ...${common} value=${text} title=${text}
            onInput=${(/** @type {any} */ e) => {
                const name = e.currentTarget.value;
                setText(name);
                const match = options.find(o => o.label === name);
                onInput(match ? match.value : name === "" ? none : `?${name}`);
            }}/>
        <datalist id=${listId}>${options.map(o => html`<option value=${o.label}></option>`)}</datalist>
    </span>`;
}
