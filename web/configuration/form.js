// One row of any table as a form, drawn from the table's description. An update sends the whole
// row (the store empties every column that an update leaves out); a refused change is said at the
// form, and what the user typed stays in it.
import {html, useEffect, useRef, useState} from "../lib/preact-htm.js";
import * as tuna from "../common/api/tuna.js";
import {ErrorText, describe, useConfirm} from "../common/ui.js";
import {Field, problemOf} from "./fields.js";
import {namesOf, rowLabel, useSession} from "./state.js";

/** @typedef {import("./schema.js").Table} Table */

/** Tables whose new rows are given the id of an existing object of the same name. */
const SHARED_NAMES = new Set(["radio", "globalOverviewConferences", "operatorGeneral", "speaker", "telephone",
    "telephoneLine", "centralUnits", "globalEvents"]);

/**
 * A new row's collision with an existing one: the store checks names only when a row is updated,
 * so a new row is checked here under the same rules.
 * @param {Table} table @param {Record<string, string>} values
 */
async function takenName(table, values) {
    if (!table.named || !values.name) return false;
    // A new object of these kinds takes the id of any object that has its name already.
    if (SHARED_NAMES.has(table.name) && [...(await namesOf("ids")).values()].includes(values.name)) return true;
    const scope = Object.fromEntries((table.nameUnique || []).map(c => [c, values[c] ?? ""]));
    const rows = await tuna.listRows(table.name, ["name", ...Object.keys(scope)], {name: values.name});
    return rows.some(row => row.name === values.name && Object.entries(scope).every(([c, v]) => row[c] === v));
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
            const empty = Object.fromEntries(table.columns.map(c => [c.name, ""]));
            setRow(empty);
            setValues({...empty, ...preset});
            return;
        }
        tuna.getRow(table.name, id).then(found => {
            if (!live) return;
            if (!found) return setError(`There is no row ${id} in ${table.label}. It may have been undone or removed.`);
            if (edited.current) return;
            setRow(found);
            setValues(found);
        }, e => live && setError(describe(e)));
        return () => { live = false; };
    }, [table.name, id, session.version]);

    if (!row) return html`${error ? html`<${ErrorText} message=${error}/>` : html`<p class="muted">Loading…</p>`}`;

    const set = (/** @type {string} */ column, /** @type {string} */ value) => {
        edited.current = true;
        setValues(v => ({...v, [column]: value}));
        setProblems(p => ({...p, [column]: ""}));
        setNotice("");
    };

    const save = async (/** @type {Event} */ event) => {
        event.preventDefault();
        const found = Object.fromEntries(table.columns.map(c => [c.name, problemOf(c, values[c.name] ?? "")]).filter(([, p]) => p));
        setProblems(found);
        setNotice("");
        if (Object.keys(found).length) {
            setError("Please correct the marked fields.");
            return;
        }
        setPending(true);
        setError("");
        try {
            if (id === null) {
                if (await takenName(table, values)) {
                    setProblems({name: `"${values.name}" already names another row or object of the configuration.`});
                    throw new Error("collision detection: the name is taken. Choose another name.");
                }
                const newId = await session.change(() => tuna.insertRow(table.name, values), `${rowLabel(table, values.name, null)} added`);
                onSaved(newId);
            } else {
                // The whole row, the edited columns over the stored ones.
                await session.change(() => tuna.updateRow(table.name, {...row, ...values, id}),
                    `${rowLabel(table, values.name, id)} changed`);
                edited.current = false;
                setRow({...row, ...values});
                setNotice("Saved.");
                onSaved(id);
            }
        } catch (e) {
            const words = describe(e);
            if (/collision/i.test(words) && table.named) {
                setProblems(p => ({...p, name: p.name || `Another row of ${table.label} already has this name. Choose another name.`}));
                setError(`The store refused the change (${words}): the name is already taken. Change the name and save again.`);
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

    const fieldId = (/** @type {string} */ column) => `field-${table.name}-${column}`;
    return html`<form class="row-form" onSubmit=${save} aria-label=${`${table.label}: ${id === null ? "new row" : values.name || id}`} novalidate>
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
