// The texts of the audio set-up with their translations into one language at a time. A changed
// translation is sent when it is committed (Enter, or leaving the field) as one undoable change; a
// failure keeps what was typed, and Enter sends it again. After any change (an undo, say) the texts are read again, and each
// field shows what the store holds unless the user typed something else into it.
import {html, useEffect, useMemo, useRef, useState} from "../lib/preact-htm.js";
import {listLanguages, listTranslations, saveTranslation} from "../common/api/announcements.js";
import {Table, TableFilter, shownCount, useTable} from "../common/table.js";
import {ErrorText, describe, useCommand} from "../common/ui.js";
import {useSession} from "./state.js";

/** @typedef {import("../common/api/announcements.js").Translation} Translation */

/**
 * What a row's field shows beside the store: `typed` while it differs from the store, the state of
 * its last save (`saved` is the text that save stored).
 * @typedef {{typed?: string, pending?: boolean, error?: string, saved?: string}} Draft
 */

// Beside the field, in the room of its row: the list now shows the store, the field what was typed.
const ELSEWHERE = "Changed elsewhere meanwhile; read again. Press Enter to save yours.";

/** The translation of `text`, as the field shows it. @param {Translation} row @param {Draft} draft */
const shownValue = (row, draft) => draft.typed ?? row.translation;

/** @param {{row: Translation, draft: Draft, index: number, onType: (value: string) => void, onCommit: () => void}} props */
function TranslationField({row, draft, index, onType, onCommit}) {
    return html`<input type="text" value=${shownValue(row, draft)} aria-label=${`Translation of "${row.text}"`}
        aria-invalid=${draft.error ? "true" : undefined} aria-describedby=${draft.error ? `translation-error-${index}` : undefined}
        onInput=${(/** @type {any} */ e) => onType(e.currentTarget.value)} onChange=${onCommit}
        onKeyDown=${(/** @type {KeyboardEvent} */ e) => e.key === "Enter" && onCommit()}/>`;
}

/** @param {{row: Translation, draft: Draft, index: number}} props */
function TranslationState({row, draft, index}) {
    if (draft.pending) return html`<span role="status">Saving…</span>`;
    const differs = shownValue(row, draft) !== row.translation;
    return html`<span role="status">${differs ? "Not saved" : draft.saved === row.translation ? "Saved" : ""}</span>
        <${ErrorText} message=${differs ? draft.error : ""} id=${`translation-error-${index}`}/>`;
}

export function AudioTranslations() {
    const session = useSession();
    const [languages, setLanguages] = useState(/** @type {string[] | null} */ (null));
    const [language, setLanguage] = useState("");
    const [rows, setRows] = useState(/** @type {Translation[] | null} */ (null));
    const [drafts, setDrafts] = useState(/** @type {Record<string, Draft>} */ ({}));
    const load = useCommand();

    useEffect(() => {
        load.run(async () => {
            const names = await listLanguages();
            setLanguages(names);
            setLanguage(old => names.includes(old) ? old : names[0] ?? "");
        });
    }, [session.version]);
    const shown = useRef("");
    useEffect(() => {
        // Another language starts afresh; the same one is read again in place, keeping what is typed.
        if (shown.current !== language) {
            setRows(null);
            setDrafts({});
        }
        shown.current = language;
        if (language) load.run(async () => setRows(await listTranslations(language)));
    }, [language, session.version]);

    // A save can fail because the store's row is no longer the one this view read (another window
    // changed it, or undid its making): the view reads the store again, and the next save goes to
    // the row as it is now.
    const changedElsewhere = async (/** @type {Translation} */ row) => {
        const now = await listTranslations(language).catch(() => null);
        const stored = now?.find(r => r.text === row.text);
        if (!now || (stored && stored.id === row.id && stored.translation === row.translation)) return false;
        setRows(now);
        return true;
    };
    const update = (/** @type {string} */ text, /** @type {Draft} */ change) =>
        setDrafts(old => ({...old, [text]: {...old[text], ...change}}));
    // One edit is sent once however many ways it is committed.
    const sending = useRef(new Set());
    const commit = async (/** @type {Translation} */ row) => {
        const typed = drafts[row.text]?.typed;
        if (typed === undefined || typed === row.translation || sending.current.has(row.text)) return;
        sending.current.add(row.text);
        update(row.text, {pending: true, error: ""});
        try {
            await session.change(() => saveTranslation({text: row.text, language, translation: typed, id: row.id}),
                `translation of "${row.text}" into ${language} changed`);
            setDrafts(old => ({...old, [row.text]: {saved: typed, typed: old[row.text]?.typed === typed ? undefined : old[row.text]?.typed}}));
        } catch (e) {
            update(row.text, {pending: false, error: (await changedElsewhere(row)) ? ELSEWHERE : describe(e)});
        } finally {
            sending.current.delete(row.text);
        }
    };

    const columns = useMemo(() => /** @type {import("../common/table.js").TableColumn[]} */ ([
        {key: "text", label: "Text", text: (/** @type {Translation} */ r) => r.text},
        {key: "translation", label: `Translation into ${language}`, width: "35%",
            text: (/** @type {Translation} */ r) => shownValue(r, drafts[r.text] ?? {}),
            cell: (/** @type {Translation} */ r) => html`<${TranslationField} row=${r} draft=${drafts[r.text] ?? {}}
                index=${rows?.indexOf(r) ?? 0} onType=${(/** @type {string} */ value) => update(r.text, {typed: value})}
                onCommit=${() => commit(r)}/>`},
        {key: "state", label: "State", sort: null, width: "22rem", className: "translation-state",
            text: (/** @type {Translation} */ r) => drafts[r.text]?.error ?? "",
            cell: (/** @type {Translation} */ r) => html`<${TranslationState} row=${r} draft=${drafts[r.text] ?? {}}
                index=${rows?.indexOf(r) ?? 0}/>`},
    ]), [language, rows, drafts]);
    const table = useTable(rows ?? [], columns, {rowKey: r => r.text});

    return html`<section class="translations" aria-labelledby="translations-title">
        <h1 id="translations-title">Audio-setup translations</h1>
        ${languages && languages.length === 0
            ? html`<p class="muted">The configuration has no languages yet: add one under the languages first.</p>`
            : html`<div class="translation-language">
                <label for="translation-language">Language</label>
                <select id="translation-language" value=${language} onChange=${(/** @type {any} */ e) => setLanguage(e.currentTarget.value)}>
                    ${(languages ?? []).map(name => html`<option value=${name}>${name}</option>`)}
                </select>
                ${rows && rows.length > 0 && html`<${TableFilter} table=${table}/> <span class="muted" role="status">${shownCount(table, "texts")}</span>`}
            </div>`}
        <${ErrorText} message=${load.error}/>
        ${rows && (rows.length === 0
            ? html`<p class="muted">The configuration has no texts to translate.</p>`
            : html`<${Table} table=${table} label=${`Translations into ${language}`} className="translation-table" rowHeight=${72}/>`)}
    </section>`;
}
