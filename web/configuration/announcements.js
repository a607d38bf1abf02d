// The announcements the central units play: WAV files on the server's disk, for every language
// ("Common") and for each language of the installation. They are not part of the configuration
// file, so uploading or deleting one is no unsaved change.
import {html, useEffect, useMemo, useState} from "../lib/preact-htm.js";
import {COMMON, deleteAnnouncement, listAnnouncements, listLanguages, uploadAnnouncement} from "../common/api/announcements.js";
import {Table, useTable} from "../common/table.js";
import {chooseFile} from "../common/upload.js";
import {ErrorText, useCommand, useConfirm} from "../common/ui.js";

/** @param {number} ms */
const seconds = ms => `${(ms / 1000).toFixed(1)} s`;

/** @typedef {import("../common/api/announcements.js").Announcement} Announcement */

/** @param {{files: Announcement[], language: string, title: string, busy: boolean, onDelete: (name: string) => void}} props */
function FileTable({files, language, title, busy, onDelete}) {
    const columns = useMemo(() => /** @type {import("../common/table.js").TableColumn[]} */ ([
        {key: "name", label: "Announcement", text: (/** @type {Announcement} */ f) => f.name},
        {key: "duration", label: "Duration", text: (/** @type {Announcement} */ f) => seconds(f.duration),
            className: "number", width: "7rem"},
        {key: "delete", label: "Actions", text: () => "", sort: null, width: "6rem",
            cell: (/** @type {Announcement} */ f) => html`<button type="button" disabled=${busy}
                aria-label=${`Delete ${f.name} (${language})`} onClick=${() => onDelete(f.name)}>Delete</button>`},
    ]), [language, busy, onDelete]);
    const table = useTable(files, columns, {rowKey: f => f.id});
    return html`<${Table} table=${table} label=${`Announcements of ${title}`} className="announcement-files" height="20rem"/>`;
}

function LanguageFiles({language, index}) {
    const [files, setFiles] = useState(/** @type {import("../common/api/announcements.js").Announcement[] | null} */ (null));
    const [notice, setNotice] = useState("");
    const load = useCommand();
    const command = useCommand();
    const [ask, confirmDialog] = useConfirm();
    const title = language === COMMON ? "Common (every language)" : language;

    const reload = () => load.run(async () => setFiles(await listAnnouncements(language)));
    useEffect(() => { reload(); }, [language]);

    const upload = async () => {
        setNotice("");
        const chosen = await chooseFile("wav");
        if (!chosen) return;
        await command.run(async () => {
            await uploadAnnouncement(language, chosen.file);
            setNotice(`${chosen.file.name} uploaded.`);
            await reload();
        });
    };
    const remove = async (/** @type {string} */ name) => {
        setNotice("");
        if (!await ask({title: "Delete announcement", text: `Delete the announcement "${name}" of ${title}? Its file is removed from the server's disk.`,
            confirmLabel: "Delete", danger: true})) return;
        await command.run(async () => {
            await deleteAnnouncement(language, name);
            setNotice(`"${name}" deleted.`);
            await reload();
        });
    };

    const headingId = `announcements-${index}`;
    return html`<section class="announcement-language" aria-labelledby=${headingId}>
        <div class="announcement-head">
            <h2 id=${headingId}>${title}</h2>
            <button type="button" disabled=${command.pending} onClick=${upload}>${`Upload WAV to ${language}…`}</button>
        </div>
        <${ErrorText} message=${command.error || load.error}/>
        ${notice && html`<p class="notice" role="status">${notice}</p>`}
        ${files === null ? (load.pending && html`<p class="muted">Loading…</p>`)
            : files.length === 0 ? html`<p class="muted">No announcements.</p>`
            : html`<${FileTable} files=${files} language=${language} title=${title} busy=${command.pending} onDelete=${remove}/>`}
        ${confirmDialog}
    </section>`;
}

export function Announcements() {
    const [languages, setLanguages] = useState(/** @type {string[]} */ ([]));
    const load = useCommand();
    useEffect(() => { load.run(async () => setLanguages(await listLanguages())); }, []);
    return html`<section class="announcements" aria-labelledby="announcements-title">
        <h1 id="announcements-title">Announcements</h1>
        <p class="muted">WAV files: mono, 16-bit PCM or 8-bit µ-law, 8000 or 16000 Hz, at most 1 MiB. An upload is named
            like its file up to the first dot and replaces the announcement of that name in its language.</p>
        <${ErrorText} message=${load.error}/>
        ${[COMMON, ...languages.filter(l => l !== COMMON)].map((language, index) => html`<${LanguageFiles} key=${language} language=${language} index=${index}/>`)}
    </section>`;
}
