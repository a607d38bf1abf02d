// The job bar: which job, its fields and file, and the button that starts it on the selected units.
// A chosen file is uploaded at once, and the server's description of it (or its refusal) is shown
// before it is sent to any unit; a job that replaces what units hold asks first.
import {html, useEffect, useState} from "../lib/preact-htm.js";
import {ErrorText, Progress, describe, useCommand, useConfirm} from "../common/ui.js";
import {chooseFile} from "../common/upload.js";
import {buttonData, sendButtonFile} from "../common/api/updater.js";
import {configurationAsFile} from "../common/api/tuna.js";
import {ACTIONS, FILE_SLOTS, actionOf} from "./actions.js";
import {announcementContents, jobQuestion, sentText} from "./job_question.js";

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
 * @param {{selected: string[], units: import("./units.js").Unit[],
 *          start: (type: string, units: string[], params: Record<string, any>, sent?: string) => Promise<any>}} props
 */
export function JobForm({selected, units: allUnits, start}) {
    const [type, setType] = useState("reboot");
    const [values, setValues] = useState(/** @type {Record<string, string>} */ ({}));
    const [files, setFiles] = useFileDescriptions();
    const command = useCommand();
    const fileCommand = useCommand();
    const [ask, confirmDialog] = useConfirm();
    const [uploading, setUploading] = useState(/** @type {{name: string, percent: number} | null} */ (null));
    const action = actionOf(type);
    const slot = action.file;
    const file = slot && files[slot.buttonId];

    const needs = slot ? `Needs on the PC: a ${slot.label} (.${slot.kind}), chosen here; the server checks that a unit can take it.`
        : action.needs ? `Needs on the PC: ${action.needs}.` : "";

    const setValue = (/** @type {string} */ name, /** @type {string} */ value) => setValues(old => ({...old, [name]: value}));

    const keep = (/** @type {FileDescription} */ description, /** @type {File} */ chosen, /** @type {string} */ realPath) => {
        setFiles(old => ({...old, [slot.buttonId]: {...description, updaterName: chosen.name, updaterPath: realPath}}));
        if (slot === FILE_SLOTS.configuration) setValue("role", "");
    };

    // The file goes to the server, which describes it or says why no unit could take it.
    const send = async (/** @type {File} */ chosen, /** @type {string} */ realPath) => {
        setUploading({name: chosen.name, percent: 0});
        try {
            keep(await sendButtonFile(slot.buttonId, slot.uploadType, chosen, realPath,
                                      percent => setUploading({name: chosen.name, percent})), chosen, realPath);
        } catch (error) {
            setFiles(old => ({...old, [slot.buttonId]: undefined}));
            throw new Error(`${chosen.name} cannot be used: ${describe(error)}.`);
        } finally {
            setUploading(null);
        }
    };
    const pick = async () => {
        const chosen = await chooseFile(slot.kind);
        if (!chosen) return;
        await fileCommand.run(() => send(chosen.file, chosen.realPath));
    };
    const useInUse = () => fileCommand.run(async () => send(await configurationAsFile(), ""));

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
        let sent = "";
        if (action.replaces) {
            const announcements = type === "announcementsUpload" ? await command.run(announcementContents) : null;
            if (type === "announcementsUpload" && !announcements) return; // its error is said
            sent = sentText(action, params, file, announcements);
            const question = jobQuestion(action, selected, allUnits, sent, announcements);
            if ("refusal" in question) return command.setError(question.refusal);
            if (!(await ask({...question, danger: true}))) return;
        } else {
            sent = sentText(action, params, file, null);
        }
        await command.run(async () => {
            try {
                return await start(type, selected, params, sent);
            } catch (error) {
                throw new Error(`${action.label} was refused: ${describe(error)}.`);
            }
        });
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
            <span class="file-description" aria-live="polite">${uploading
                ? html`<${Progress} value=${uploading.percent} label=${`Sending ${uploading.name} to the server: ${uploading.percent} %`}/>`
                : file
                ? html`<strong>${file.updaterName}</strong>${describeFile(file, slot.uploadType) && `: ${describeFile(file, slot.uploadType)}`}`
                : html`<span class="muted">no file chosen</span>`}</span>
        </span>`}
        <button type="submit" class="primary" disabled=${command.pending || selected.length === 0}>
            ${action.label} on ${selected.length} ${selected.length === 1 ? "unit" : "units"}</button>
        ${needs && html`<p class="needs muted">${needs}</p>`}
        <${ErrorText} message=${fileCommand.error || command.error}/>
        ${confirmDialog}
    </form>`;
}
