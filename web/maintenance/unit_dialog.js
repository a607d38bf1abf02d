// One unit up close: everything the server says of it, its roles, its modules and its files. Each
// question to the unit waits for the unit's answer, so each section has its own button and error.
import {html, useState} from "../lib/preact-htm.js";
import {Dialog, ErrorText, describe, useCommand, useConfirm} from "../common/ui.js";
import {chooseFile} from "../common/upload.js";
import {downloadUnitFile, listDirectory, removeFile, unitModules, unitRoles, uploadModuleFile} from "../common/api/updater.js";
import {unitName} from "./unit_table.js";

/** @typedef {import("./units.js").Unit} Unit @typedef {(unit: string, job: string, outcome: string) => void} Log */

const INFO_LABELS = [
    ["configuration", "Configuration"], ["date", "Date"], ["organization", "Organization"],
    ["description", "Description"], ["ipAddress", "IP address"], ["dis", "Software"], ["base", "Base"],
    ["cubMember", "CUB member"], ["cubRole", "CUB role"], ["id", "Id"], ["bricked", "Locked"],
];

/** The unit's languages, each marked when the unit lacks its texts. @param {Record<string, any>} info */
function languages(info) {
    if (!Array.isArray(info.languages)) return info.languages;
    const available = info.availableLanguages ?? [];
    return info.languages.map((name, i) => available[i] === false ? `${name} (not available)` : name).join(", ") || "none";
}

/** @param {any} value */
function shown(value) {
    if (typeof value === "boolean") return value ? "yes" : "no";
    if (Array.isArray(value)) return value.map(shown).join(", ") || "none";
    return String(value ?? "");
}

/** A command on the unit that also goes into the page's log. */
function useLogged(/** @type {Log} */ log, /** @type {string} */ mac) {
    const command = useCommand();
    const run = (/** @type {string} */ what, /** @type {() => Promise<any>} */ fn) => command.run(async () => {
        try {
            const result = await fn();
            log(mac, what, "success");
            return result ?? true;
        } catch (error) {
            log(mac, what, `error: ${describe(error)}`);
            throw error;
        }
    });
    return {...command, run};
}

function Information({unit}) {
    const info = unit.info ?? {};
    const rows = [["MAC address", unit.macAddress], ["Model", unit.type], ["State", unit.status],
                  ["Protocol version", unit.protocolVersion], ["CUB capable", unit.cubCapable],
                  ...INFO_LABELS.filter(([key]) => key in info).map(([key, label]) => [label, info[key]]),
                  ...("languages" in info ? [["Languages", languages(info)]] : [])];
    return html`<section aria-label="Information"><h3>Information</h3>
        <dl class="facts">${rows.map(([label, value]) => html`<dt>${label}</dt><dd>${shown(value)}</dd>`)}</dl>
        <${ErrorText} message=${unit.infoError}/>
    </section>`;
}

function Roles({unit, start, log}) {
    const [roles, setRoles] = useState(/** @type {string[] | null} */ (null));
    const [role, setRole] = useState("");
    const command = useLogged(log, unit.macAddress);
    const load = () => command.run("List roles", async () => setRoles(await unitRoles(unit.macAddress)));
    const set = () => command.run("Set role", async () => {
        const [record] = await start("setRole", [unit.macAddress], {role});
        if (record?.status !== "commandAccepted") throw new Error(record?.description || "refused");
    });
    return html`<section aria-label="Roles"><h3>Roles</h3>
        <div class="row">
            <button type="button" onClick=${load} disabled=${command.pending}>List roles</button>
            ${roles && html`<label>Role <select aria-label="Role" value=${role} onChange=${(/** @type {any} */ e) => setRole(e.target.value)}>
                <option value="" disabled>choose</option>
                ${roles.filter(Boolean).map(r => html`<option value=${r}>${r}</option>`)}</select></label>
                <button type="button" onClick=${set} disabled=${command.pending || !role}>Set role</button>`}
        </div>
        ${roles && html`<p>${roles.filter(Boolean).length ? `The unit offers: ${roles.filter(Boolean).join(", ")}` : "The unit offers no role."}</p>`}
        <${ErrorText} message=${command.error}/>
    </section>`;
}

function Modules({unit, start, log}) {
    const [modules, setModules] = useState(/** @type {any[] | null} */ (null));
    const command = useLogged(log, unit.macAddress);
    const [ask, confirmDialog] = useConfirm();
    const load = () => command.run("List modules", async () => setModules(await unitModules(unit.macAddress)));
    const remove = async (/** @type {string} */ name) => {
        if (!(await ask({title: "Remove module", text: `Remove the module "${name}" from ${unit.macAddress}?`, confirmLabel: "Remove module", danger: true})))
            return;
        await command.run(`Remove module ${name}`, async () => {
            const [record] = await start("moduleRemove", [unit.macAddress], {name});
            if (record?.status !== "commandAccepted") throw new Error(record?.description || "refused");
        });
    };
    return html`<section aria-label="Modules"><h3>Modules</h3>
        <button type="button" onClick=${load} disabled=${command.pending}>List modules</button>
        ${modules && (modules.length ? html`<table class="small-table">
            <thead><tr><th>Module</th><th>Version</th><th>Description</th><th></th></tr></thead>
            <tbody>${modules.map(m => html`<tr key=${m.name}><td>${m.displayName || m.name}</td><td>${m.version}</td><td>${m.description}</td>
                <td>${m.removable && html`<button type="button" class="small" aria-label=${`Remove module ${m.name}`} onClick=${() => remove(m.name)}>Remove</button>`}</td></tr>`)}</tbody>
        </table>` : html`<p>The unit lists no module.</p>`)}
        <${ErrorText} message=${command.error}/>
        ${confirmDialog}
    </section>`;
}

/** @param {string} path @param {string} name */
function joinPath(path, name) {
    return (path.endsWith("/") ? path : path + "/") + name;
}

function Files({unit, log}) {
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
    const fetch = (/** @type {string} */ name) => command.run(`Download ${joinPath(listing.path, name)}`,
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
                <td>${!entry.directory && html`<button type="button" class="small" aria-label=${`Download ${entry.name}`} onClick=${() => fetch(entry.name)}>Download</button>
                    <button type="button" class="small" aria-label=${`Remove ${entry.name}`} onClick=${() => remove(entry.name)}>Remove</button>`}</td>
            </tr>`)}</tbody></table>` : html`<p>${listing.path} is empty.</p>`)}
        <${ErrorText} message=${command.error}/>
        ${confirmDialog}
    </section>`;
}

/**
 * @param {{unit: Unit, start: (type: string, units: string[], params: Record<string, any>) => Promise<any>,
 *          log: Log, onClose: () => void}} props
 */
export function UnitDialog({unit, start, log, onClose}) {
    return html`<${Dialog} title=${`${unitName(unit) || "Unit"} (${unit.macAddress})`} onClose=${onClose} className="unit-dialog">
        <div class="unit-sections">
            <${Information} unit=${unit}/>
            <div>
                <${Roles} unit=${unit} start=${start} log=${log}/>
                <${Modules} unit=${unit} start=${start} log=${log}/>
            </div>
        </div>
        <${Files} unit=${unit} log=${log}/>
        <div class="buttons"><button type="button" onClick=${onClose}>Close</button></div>
    <//>`;
}
