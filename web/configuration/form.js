// One row of any table as a form, drawn from the table's description. An update sends the whole
// row (the store empties every column that an update leaves out); every field is checked as it is
// typed and again before anything is sent; a refusal is said beside the field it concerns, and
// what the user typed stays in it. A save carries the row as the form read it and the server run
// it came from: the store refuses it over a change made elsewhere, and the form then shows what the
// row holds now beside what was typed (no merge: the user applies the typed values again or not).
import {html, useEffect, useRef, useState} from "../lib/preact-htm.js";
import * as tuna from "../common/api/tuna.js";
import {serverRun} from "../common/client.js";
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
 * Where the row now differs from what the form read (null: the row is gone): what it holds now
 * beside what was typed.
 * @param {{table: Table, read: Record<string, string>, now: Record<string, string> | null,
 *          typed: Record<string, string>, onApply: () => void, pending: boolean}} props
 */
function ChangedElsewhere({table, read, now, typed, onApply, pending}) {
    const changed = now ? table.columns.filter(c => !c.hidden && (now[c.name] ?? "") !== (read[c.name] ?? "")) : [];
    return html`<div class="changed-elsewhere" role="alert">
        <p><strong>${now ? "This row was changed elsewhere (in another window, or by an undo) after this form read it. Nothing was saved."
            : "This row is gone: it was deleted or undone elsewhere after this form read it. Nothing was saved."}</strong></p>
        ${changed.length ? html`<table class="compare">
            <thead><tr><th scope="col">Field</th><th scope="col">Now in the store</th><th scope="col">Typed here</th></tr></thead>
            <tbody>${changed.map(c => html`<tr><th scope="row">${c.label}</th><td>${now?.[c.name] ?? ""}</td><td>${typed[c.name] ?? ""}</td></tr>`)}</tbody>
        </table>` : null}
        ${now ? html`<p class="buttons"><button type="button" class="primary" disabled=${pending} onClick=${onApply}>Apply my values again</button>
            <span class="muted">Saves the fields typed here over what the row holds now; the others keep its values.</span></p>`
            : html`<p class="muted">What was typed stays in the form to copy.</p>`}
    </div>`;
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
    // The server run that the row was read from: a save never goes to another run's rows.
    const readRun = useRef("");
    // The row as the store holds it now, after a save was refused over a change made elsewhere.
    const [conflict, setConflict] = useState(/** @type {{now: Record<string, string> | null} | null} */ (null));
    const self = useRef({});
    // The columns typed into since the row was read: what "Apply my values again" applies.
    const typedColumns = useRef(new Set());
    const markEdited = (/** @type {boolean} */ on) => {
        edited.current = on;
        session.draft(self.current, on ? (row?.name || values.name || rowLabel(table, "", id)) : null);
    };

    useEffect(() => {
        edited.current = false;
        setConflict(null);
        return () => session.draft(self.current, null);
    }, [table.name, id]);

    useEffect(() => {
        let live = true;
        if (edited.current) return;
        setError("");
        if (id === null) {
            const empty = Object.fromEntries(table.columns.map(c => [c.name, c.initial ?? ""]));
            readRun.current = serverRun();
            setRow(empty);
            setValues({...empty, ...preset});
            setProblems({});
            return;
        }
        tuna.getRow(table.name, id).then(found => {
            if (!live) return;
            if (!found) setNotice("");
            if (!found) return setError(`There is no row ${id} in ${table.label}. It may have been undone or removed.`);
            if (edited.current) return;
            readRun.current = serverRun();
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

    // The row was read from a server run that is gone: what is typed stays, and is never sent.
    const runGone = edited.current && readRun.current !== "" && readRun.current !== serverRun();

    const set = (/** @type {string} */ column, /** @type {string} */ value) => {
        markEdited(true);
        typedColumns.current.add(column);
        const next = {...values, [column]: value};
        setValues(next);
        // Judged with the whole row: a field's kind may follow another (a PPP link's owner kind).
        setProblems(problemsOf(table, next));
        setNotice("");
        setError("");
    };

    const save = async (/** @type {Event} */ event) => {
        event.preventDefault();
        await saveOver(row);
    };

    /** Saves the form over `base`, the row as the form read it (or as it is now, to apply the typed values again). */
    const saveOver = async (/** @type {Record<string, string>} */ base, shown = values) => {
        if (runGone) return;
        // Blanks around a name are never meant: "CU-B " would stand beside "CU-B".
        const sent = sentValues(table, shown, base);
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
        setConflict(null);
        try {
            if ((id === null || sent.name !== base.name) && await takenName(table, sent, id)) {
                setProblems({name: `"${sent.name}" already names another ${table.sharesIds ? "object of the configuration"
                    : `row of ${table.label}`}. Choose another name.`});
                setError("Please correct the marked fields.");
                return;
            }
            if (id === null) {
                const newId = await session.change(() => tuna.insertRow(table.name, sent, {run: readRun.current}),
                    `${rowLabel(table, sent.name, null)} added`);
                markEdited(false);
                onSaved(newId);
            } else {
                // The whole row, the edited columns over the stored ones.
                await session.change(() => tuna.updateRow(table.name, {...base, ...sent, id}, {run: readRun.current, row: base}),
                    `${rowLabel(table, sent.name, id)} changed`);
                markEdited(false);
                typedColumns.current.clear();
                setRow({...base, ...sent});
                // In the configuration, not yet in its file: the file bar counts it until Save.
                setNotice("Saved. Save in the file bar writes it to the file.");
                onSaved(id);
            }
        } catch (e) {
            const words = describe(e);
            if (id !== null && await changedSince(base)) return;
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

    /** Whether the row no longer holds `base`; the form then shows what it holds now. @param {Record<string, string>} base */
    const changedSince = async base => {
        if (readRun.current !== serverRun()) return false;
        const now = await tuna.getRow(table.name, /** @type {string} */ (id)).catch(() => undefined);
        if (now === undefined || (now && table.columns.every(c => (now[c.name] ?? "") === (base[c.name] ?? "")))) return false;
        setConflict({now});
        return true;
    };

    // The typed fields over what the row holds now; the fields not typed keep the other window's values.
    const applyAgain = () => {
        const now = conflict?.now;
        if (!now) return;
        const shown = {...now, ...Object.fromEntries([...typedColumns.current].map(c => [c, values[c] ?? ""]))};
        setRow(now);
        saveOver(now, shown);
    };

    const remove = async () => {
        if (!(await ask({title: `Delete ${values.name || id}?`, text: `The row is removed from ${table.label}. Undo brings it back.`,
            confirmLabel: "Delete", danger: true}))) return;
        setPending(true);
        try {
            await session.change(() => tuna.deleteRow(table.name, /** @type {string} */ (id), {run: readRun.current, row}),
                `${rowLabel(table, values.name, id)} deleted`);
            markEdited(false);
            onDeleted?.();
        } catch (e) {
            if (await changedSince(row)) return;
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
            <button type="submit" class="primary" disabled=${pending || runGone}>${id === null ? "Add" : "Save changes"}</button>
            ${onCancel ? html`<button type="button" onClick=${onCancel}>Back</button>` : null}
            ${id !== null && onDeleted ? html`<button type="button" class="danger" disabled=${pending} onClick=${remove}>Delete</button>` : null}
            ${notice ? html`<span class="notice" role="status">${notice}</span>` : null}
        </div>
        ${runGone ? html`<p class="error" role="alert">The server restarted: the row this form edited went with its earlier run.
            What is typed here is not saved into the new run's rows; it stays in the form to copy.</p>` : null}
        ${conflict ? html`<${ChangedElsewhere} table=${table} read=${row} now=${conflict.now} typed=${values}
            onApply=${applyAgain} pending=${pending}/>` : null}
        <${ErrorText} message=${error}/>
        ${confirmDialog}
    </form>`;
}
