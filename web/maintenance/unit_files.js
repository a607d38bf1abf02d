// A unit's files: a directory listed, a file fetched, removed, or a module file sent into it.
import {html, useState} from "../lib/preact-htm.js";
import {ErrorText, useConfirm} from "../common/ui.js";
import {chooseFile} from "../common/upload.js";
import {downloadUnitFile, listDirectory, removeFile, uploadModuleFile} from "../common/api/updater.js";
import {useLogged} from "./unit_logged.js";

/** @param {string} path @param {string} name */
function joinPath(path, name) {
    return (path.endsWith("/") ? path : path + "/") + name;
}

/** @param {import("./unit_dialog.js").SectionProps} props */
export function Files({unit, log}) {
    const [path, setPath] = useState("/");
    const [listing, setListing] = useState(/** @type {{path: string, entries: any[]} | null} */ (null));
    const command = useLogged(log, unit.macAddress);
    const [ask, confirmDialog] = useConfirm();
    const mac = unit.macAddress;
    const list = (/** @type {string} */ where) => command.run(`List ${where}`, async () => {
        const entries = await listDirectory(mac, where);
        setPath(where);
        setListing({path: where, entries});
    });
    const up = () => {
        const parent = listing.path.replace(/\/+$/, "").replace(/\/[^/]*$/, "") || "/";
        list(parent);
    };
    const remove = async (/** @type {string} */ name) => {
        if (!(await ask({title: "Remove file", text: `Remove ${joinPath(listing.path, name)} from the unit?`, confirmLabel: "Remove file", danger: true})))
            return;
        if (await command.run(`Remove ${joinPath(listing.path, name)}`, () => removeFile(mac, listing.path, name)))
            list(listing.path);
    };
    const download = (/** @type {string} */ name) => command.run(`Download ${joinPath(listing.path, name)}`,
                                                                  () => downloadUnitFile(mac, joinPath(listing.path, name)));
    const upload = async () => {
        const chosen = await chooseFile("mod");
        if (!chosen) return;
        if (await command.run(`Upload ${chosen.file.name} into ${listing.path}`, () => uploadModuleFile(mac, listing.path, chosen.file)))
            list(listing.path);
    };
    return html`<section aria-label="Files"><h3>Files</h3>
        <form class="row" onSubmit=${(/** @type {Event} */ e) => { e.preventDefault(); list(path); }}>
            <label>Directory <input aria-label="Directory" value=${path} onInput=${(/** @type {any} */ e) => setPath(e.target.value)}/></label>
            <button type="submit" disabled=${command.pending}>List</button>
            ${listing && html`<button type="button" onClick=${up} disabled=${command.pending || listing.path === "/"}>Up</button>
                <button type="button" onClick=${upload} disabled=${command.pending}>Upload module file here</button>`}
        </form>
        ${listing && (listing.entries.length ? html`<table class="small-table" aria-label=${`Contents of ${listing.path}`}>
            <tbody>${listing.entries.map(entry => html`<tr key=${entry.name}>
                <td>${entry.directory
                    ? html`<button type="button" class="link" aria-label=${`Open ${entry.name}`} onClick=${() => list(joinPath(listing.path, entry.name))}>${entry.name}/</button>`
                    : entry.name}</td>
                <td>${!entry.directory && html`<button type="button" class="small" aria-label=${`Download ${entry.name}`} onClick=${() => download(entry.name)}>Download</button>
                    <button type="button" class="small" aria-label=${`Remove ${entry.name}`} onClick=${() => remove(entry.name)}>Remove</button>`}</td>
            </tr>`)}</tbody></table>` : html`<p>${listing.path} is empty.</p>`)}
        <${ErrorText} message=${command.error}/>
        ${confirmDialog}
    </section>`;
}
