// The texts of the audio set-up with their translations into one language at a time. A changed
// translation is sent when it is committed (Enter, or leaving the field); a failure keeps what was typed.
import {html, useEffect, useRef, useState} from "../lib/preact-htm.js";
import {listLanguages, listTranslations, saveTranslation} from "../common/api/announcements.js";
import {ErrorText, useCommand} from "../common/ui.js";

function TranslationRow({row, language, index, onSaved}) {
    const [value, setValue] = useState(row.translation);
    const [saved, setSaved] = useState(row.translation);
    const [id, setId] = useState(row.id);
    const [notice, setNotice] = useState("");
    const command = useCommand();
    const errorId = `translation-error-${index}`;

    // The text last sent, so that one edit is sent once however many ways it is committed.
    const sent = useRef(row.translation);
    const save = async () => {
        if (value === sent.current) return;
        const typed = value;
        sent.current = typed;
        setNotice("");
        const done = await command.run(async () => {
            setId(await saveTranslation({text: row.text, language, translation: typed, id}));
            return true;
        });
        if (!done) {
            sent.current = saved;
            return;
        }
        setSaved(typed);
        setNotice("Saved");
        onSaved();
    };
    return html`<tr>
        <th scope="row">${row.text}</th>
        <td>
            <input type="text" value=${value} aria-label=${`Translation of "${row.text}"`}
                aria-invalid=${command.error ? "true" : undefined} aria-describedby=${command.error ? errorId : undefined}
                onInput=${(/** @type {any} */ e) => setValue(e.currentTarget.value)} onChange=${save}/>
            <${ErrorText} message=${command.error} id=${errorId}/>
        </td>
        <td class="translation-state" role="status">${command.pending ? "Saving…" : value !== saved ? "Not saved" : notice}</td>
    </tr>`;
}

export function AudioTranslations({onChange}) {
    const [languages, setLanguages] = useState(/** @type {string[] | null} */ (null));
    const [language, setLanguage] = useState("");
    const [rows, setRows] = useState(/** @type {import("../common/api/announcements.js").Translation[] | null} */ (null));
    const load = useCommand();

    useEffect(() => {
        load.run(async () => {
            const names = await listLanguages();
            setLanguages(names);
            setLanguage(names[0] ?? "");
        });
    }, []);
    useEffect(() => {
        setRows(null);
        if (language) load.run(async () => setRows(await listTranslations(language)));
    }, [language]);

    return html`<section class="translations" aria-labelledby="translations-title">
        <h1 id="translations-title">Audio-setup translations</h1>
        ${languages && languages.length === 0
            ? html`<p class="muted">The configuration has no languages yet: add one under the languages first.</p>`
            : html`<div class="translation-language">
                <label for="translation-language">Language</label>
                <select id="translation-language" value=${language} onChange=${(/** @type {any} */ e) => setLanguage(e.currentTarget.value)}>
                    ${(languages ?? []).map(name => html`<option value=${name}>${name}</option>`)}
                </select>
            </div>`}
        <${ErrorText} message=${load.error}/>
        ${rows && (rows.length === 0
            ? html`<p class="muted">The configuration has no texts to translate.</p>`
            : html`<table class="translation-table">
                <thead><tr><th scope="col">Text</th><th scope="col">${`Translation into ${language}`}</th><th scope="col"><span class="visually-hidden">State</span></th></tr></thead>
                <tbody>${rows.map((row, index) => html`<${TranslationRow} key=${language + "\n" + row.text} row=${row} language=${language} index=${index} onSaved=${() => onChange?.()}/>`)}</tbody>
            </table>`)}
    </section>`;
}
