// The job bar: which job, its fields and file, and the button that starts it on the selected units.
// A chosen file is uploaded at once, and the server's description of it is shown before it is sent
// to any unit.
import {html, useEffect, useState} from "../lib/preact-htm.js";
import {ErrorText, useCommand, useConfirm} from "../common/ui.js";
import {chooseFile} from "../common/upload.js";
import {buttonData, sendButtonFile} from "../common/api/updater.js";
import {configurationAsFile} from "../common/api/tuna.js";
import {ACTIONS, FILE_SLOTS, actionOf} from "./actions.js";

/** @typedef {import("../common/api/updater.js").FileDescription} FileDescription */

/**
 * The server's description of a chosen file, in words.
 * @param {FileDescription} d @param {string} uploadType
 */
export function describeFile(d, uploadType) {
    const parts = [];
    if (d.name) parts.push(uploadType === "module" ? `module ${d.name}` : `configuration "${d.name}"`);
    if (d.type) parts.push(`type ${d.type}`);
    if (d.version) parts.push(`version ${d.version}`);
    if (d.organization) parts.push(`organization ${d.organization}`);
    if (d.date) parts.push(`dated ${d.date}`);
    if (d.roles) parts.push(`${d.roles.length} ${d.roles.length === 1 ? "role" : "roles"}`);
    return parts.join(", ");
}

/** The descriptions of the three file buttons, kept by the server across reloads. */
function useFileDescriptions() {
    const [files, setFiles] = useState(/** @type {Record<string, FileDescription>} */ ({}));
    useEffect(() => {
        for (const slot of Object.values(FILE_SLOTS)) {
            buttonData(slot.buttonId).then(d => {
                if (d?.updaterName) setFiles(old => ({...old, [slot.buttonId]: d}));
            }, () => { /* nothing kept: the button shows no file */ });
        }
    }, []);
    return /** @type {[typeof files, typeof setFiles]} */ ([files, setFiles]);
}

/**
 * @param {{selected: string[], start: (type: string, units: string[], params: Record<string, any>) => Promise<any>}} props
 */
export function JobForm({selected, start}) {
    const [type, setType] = useState("reboot");
    const [values, setValues] = useState(/** @type {Record<string, string>} */ ({}));
    const [files, setFiles] = useFileDescriptions();
    const command = useCommand();
    const fileCommand = useCommand();
    const [ask, confirmDialog] = useConfirm();
    const action = actionOf(type);
    const slot = action.file;
    const file = slot && files[slot.buttonId];

    const setValue = (/** @type {string} */ name, /** @type {string} */ value) => setValues(old => ({...old, [name]: value}));

    const keep = (/** @type {FileDescription} */ description, /** @type {File} */ chosen, /** @type {string} */ realPath) => {
        setFiles(old => ({...old, [slot.buttonId]: {...description, updaterName: chosen.name, updaterPath: realPath}}));
        if (slot === FILE_SLOTS.configuration) setValue("role", "");
    };

    const pick = async () => {
        const chosen = await chooseFile(slot.kind);
        if (!chosen) return;
        await fileCommand.run(async () => keep(await sendButtonFile(slot.buttonId, slot.uploadType, chosen.file, chosen.realPath),
                                                chosen.file, chosen.realPath));
    };
    const useInUse = () => fileCommand.run(async () => {
        const inUse = await configurationAsFile();
        keep(await sendButtonFile(slot.buttonId, slot.uploadType, inUse, ""), inUse, "");
    });

    const submit = async (/** @type {Event} */ event) => {
        event.preventDefault();
        const params = /** @type {Record<string, string>} */ ({});
        for (const field of action.fields ?? []) {
            const value = values[field.name] ?? "";
            if (field.required && !value.trim()) return command.setError(`Enter the ${field.label.toLowerCase()} first.`);
            if (value !== "") params[field.name] = value;
        }
        if (slot) {
            if (!file) return command.setError(`Choose a ${slot.label} first.`);
            params.fileName = file.updaterName;
            params.updaterPath = file.updaterPath ?? "";
        }
        if (action.confirm && !(await ask({title: action.label, text: action.confirm, confirmLabel: action.label, danger: true})))
            return;
        await command.run(() => start(type, selected, params));
    };

    return html`<form class="job-form" onSubmit=${submit} aria-label="Job">
        <label>Job <select aria-label="Job" value=${type} onChange=${(/** @type {any} */ e) => { setType(e.target.value); command.setError(""); }}>
            ${ACTIONS.map(a => html`<option value=${a.type}>${a.label}</option>`)}
        </select></label>
        ${(action.fields ?? []).map(field => field.kind === "role"
            ? html`<label>${field.label} <select aria-label=${field.label} value=${values.role ?? ""} onChange=${(/** @type {any} */ e) => setValue("role", e.target.value)}>
                <option value="">(the file's own)</option>
                ${(file?.roles ?? []).map(r => html`<option value=${r.name}>${r.name}</option>`)}
              </select></label>`
            : html`<label>${field.label} <input aria-label=${field.label} type=${field.kind === "password" ? "password" : "text"} value=${values[field.name] ?? ""}
                autocomplete="off" onInput=${(/** @type {any} */ e) => setValue(field.name, e.target.value)}/></label>`)}
        ${slot && html`<span class="file-slot">
            <button type="button" onClick=${pick} disabled=${fileCommand.pending}>Choose ${slot.label}</button>
            ${slot === FILE_SLOTS.configuration && html`<button type="button" onClick=${useInUse} disabled=${fileCommand.pending}>Use the configuration in use</button>`}
            <span class="file-description" aria-live="polite">${file
                ? html`<strong>${file.updaterName}</strong>${describeFile(file, slot.uploadType) && `: ${describeFile(file, slot.uploadType)}`}`
                : html`<span class="muted">no file chosen</span>`}</span>
        </span>`}
        <button type="submit" class="primary" disabled=${command.pending || selected.length === 0}>
            ${action.label} on ${selected.length} ${selected.length === 1 ? "unit" : "units"}</button>
        <${ErrorText} message=${fileCommand.error || command.error}/>
        ${confirmDialog}
    </form>`;
}
