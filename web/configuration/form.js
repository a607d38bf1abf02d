// One row of any table as a form, drawn from the table's description. An update sends the whole
// row (the store empties every column that an update leaves out); every field is checked as it is
// typed and again before anything is sent; a refusal is said beside the field it concerns, and
// what the user typed stays in it.
import {html, useEffect, useRef, useState} from "../lib/preact-htm.js";
import * as tuna from "../common/api/tuna.js";
import {ErrorText, describe, useConfirm} from "../common/ui.js";
import {isTrimmed, problemOf} from "./checks.js";
import {Field, Name} from "./fields.js";
import {namesOf, rowLabel, useSession} from "./state.js";

/** @typedef {import("./schema.js").Table} Table */

/**
 * Whether another row or object already has this row's name. The store checks names only when a
 * row is updated, so a new row is checked here under the same rules, and an update of a table
 * whose rows share the register's ids is checked against every object.
 * @param {Table} table @param {Record<string, string>} values @param {string | null} id
 */
async function takenName(table, values, id) {
    if (!table.named || !values.name) return false;
    if (table.sharesIds && [...(await namesOf("ids"))].some(([other, name]) => name === values.name && other !== id))
        return true;
    const scope = Object.fromEntries((table.nameUnique || []).map(c => [c, values[c] ?? ""]));
    const rows = await tuna.listRows(table.name, ["name", ...Object.keys(scope)], {name: values.name});
    return rows.some(row => row.id !== id && row.name === values.name && Object.entries(scope).every(([c, v]) => row[c] === v));
}

/** The column that a refusal of the store names ("the value of name holds ..."), if the table has it. @param {Table} table @param {string} words */
function columnOfRefusal(table, words) {
    const named = /the value of (\w+)/.exec(words)?.[1];
    if (named && table.columns.some(c => c.name === named)) return named;
    return /collision|already|same name/i.test(words) && table.named ? "name" : "";
}

/** Every marked field of a row: what fails its column's check. @param {Table} table @param {Record<string, string>} values */
function problemsOf(table, values) {
    return Object.fromEntries(table.columns.filter(c => !c.hidden).map(c => [c.name, problemOf(c, values[c.name] ?? "", values)])
        .filter(([, p]) => p));
}

/**
 * What a save sends: the typed values, blanks around checked values dropped as they are around a
 * name; a column the user left as it was loaded is sent as it is.
 * @param {Table} table @param {Record<string, string>} values @param {Record<string, string>} loaded
 */
function sentValues(table, values, loaded) {
    return Object.fromEntries(Object.entries(values).map(([name, value]) => {
        const column = table.columns.find(c => c.name === name);
        const keep = !column || !isTrimmed(column) || (value === (loaded[name] ?? "") && name !== "name");
        return [name, keep ? value : value.trim()];
    }));
}

/**
 * @param {{table: Table, id: string | null, preset?: Record<string, string>,
 *          onSaved: (id: string) => void, onDeleted?: () => void, onCancel?: () => void}} props
 * `id` null: a new row, with `preset` columns filled in (its owner, for example).
 */
export function RowForm({table, id, preset = {}, onSaved, onDeleted, onCancel}) {
    const session = useSession();
    const [row, setRow] = useState(/** @type {Record<string, string> | null} */ (null));
    const [values, setValues] = useState(/** @type {Record<string, string>} */ ({}));
    const [problems, setProblems] = useState(/** @type {Record<string, string>} */ ({}));
    const [error, setError] = useState("");
    const [notice, setNotice] = useState("");
    const [pending, setPending] = useState(false);
    const [ask, confirmDialog] = useConfirm();
    // Edits not yet saved: a change elsewhere (an undo, say) does not overwrite them.
    const edited = useRef(false);

    useEffect(() => {
        edited.current = false;
    }, [table.name, id]);

    useEffect(() => {
        let live = true;
        if (edited.current) return;
        setError("");
        if (id === null) {
            const empty = Object.fromEntries(table.columns.map(c => [c.name, c.initial ?? ""]));
            setRow(empty);
            setValues({...empty, ...preset});
            setProblems({});
            return;
        }
        tuna.getRow(table.name, id).then(found => {
            if (!live) return;
            if (!found) return setError(`There is no row ${id} in ${table.label}. It may have been undone or removed.`);
            if (edited.current) return;
            setRow(found);
            setValues(found);
            // What the file holds is shown as it is; what fails a check is marked, not changed.
            setProblems(problemsOf(table, found));
        }, e => live && setError(describe(e)));
        return () => { live = false; };
    }, [table.name, id, session.version]);

    const fieldId = (/** @type {string} */ column) => `field-${table.name}-${column}`;
    const title = id === null ? `New ${table.row.toLowerCase()}` : table.single ? table.label : `${table.row} `;
    // The heading stands from the first moment, so that a move to the form finds it for the keyboard.
    const heading = html`<h1 id=${fieldId("title")} class="form-title">${title}${id !== null && !table.single && row?.name
        ? html`<${Name} name=${row.name}/>` : null}</h1>`;
    if (!row) return html`<form class="row-form" aria-labelledby=${fieldId("title")}>${heading}
        ${error ? html`<${ErrorText} message=${error}/>` : html`<p class="muted">Loading…</p>`}</form>`;

    const set = (/** @type {string} */ column, /** @type {string} */ value) => {
        edited.current = true;
        const next = {...values, [column]: value};
        setValues(next);
        // Judged with the whole row: a field's kind may follow another (a PPP link's owner kind).
        setProblems(problemsOf(table, next));
        setNotice("");
        setError("");
    };

    const save = async (/** @type {Event} */ event) => {
        event.preventDefault();
        // Blanks around a name are never meant: "CU-B " would stand beside "CU-B".
        const sent = sentValues(table, values, row);
        setValues(sent);
        const found = problemsOf(table, sent);
        setProblems(found);
        setNotice("");
        // A loaded value that fails stays marked, but only what the user changed holds the save back.
        if (Object.keys(found).some(column => id === null || sent[column] !== (row[column] ?? ""))) {
            setError("Please correct the marked fields.");
            return;
        }
        setPending(true);
        setError("");
        try {
            if ((id === null || sent.name !== row.name) && await takenName(table, sent, id)) {
                setProblems({name: `"${sent.name}" already names another ${table.sharesIds ? "object of the configuration"
                    : `row of ${table.label}`}. Choose another name.`});
                setError("Please correct the marked fields.");
                return;
            }
            if (id === null) {
                const newId = await session.change(() => tuna.insertRow(table.name, sent), `${rowLabel(table, sent.name, null)} added`);
                onSaved(newId);
            } else {
                // The whole row, the edited columns over the stored ones.
                await session.change(() => tuna.updateRow(table.name, {...row, ...sent, id}),
                    `${rowLabel(table, sent.name, id)} changed`);
                edited.current = false;
                setRow({...row, ...sent});
                // In the configuration, not yet in its file: the file bar counts it until Save.
                setNotice("Saved. Save in the file bar writes it to the file.");
                onSaved(id);
            }
        } catch (e) {
            const words = describe(e);
            const column = columnOfRefusal(table, words);
            if (column) {
                setProblems(p => ({...p, [column]: `The store refused this value: ${words}.`}));
                setError("Please correct the marked fields.");
            } else {
                setError(words);
            }
        } finally {
            setPending(false);
        }
    };

    const remove = async () => {
        if (!(await ask({title: `Delete ${values.name || id}?`, text: `The row is removed from ${table.label}. Undo brings it back.`,
            confirmLabel: "Delete", danger: true}))) return;
        setPending(true);
        try {
            await session.change(() => tuna.deleteRow(table.name, id), `${rowLabel(table, values.name, id)} deleted`);
            onDeleted?.();
        } catch (e) {
            setError(describe(e));
        } finally {
            setPending(false);
        }
    };

    return html`<form class="row-form" onSubmit=${save} aria-labelledby=${fieldId("title")} novalidate>
        ${heading}
        <div class="fields">
            ${table.columns.filter(c => !c.hidden).map(c => html`<${Field} key=${c.name} column=${c} id=${fieldId(c.name)}
                value=${values[c.name] ?? ""} error=${problems[c.name] || ""} onInput=${(/** @type {string} */ v) => set(c.name, v)}/>`)}
        </div>
        <div class="buttons form-buttons">
            <button type="submit" class="primary" disabled=${pending}>${id === null ? "Add" : "Save changes"}</button>
            ${onCancel ? html`<button type="button" onClick=${onCancel}>Back</button>` : null}
            ${id !== null && onDeleted ? html`<button type="button" class="danger" disabled=${pending} onClick=${remove}>Delete</button>` : null}
            ${notice ? html`<span class="notice" role="status">${notice}</span>` : null}
        </div>
        <${ErrorText} message=${error}/>
        ${confirmDialog}
    </form>`;
}
