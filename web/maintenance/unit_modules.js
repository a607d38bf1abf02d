// The modules a unit lists, and removing one: a job whose outcome shows here and in the unit's row.
import {html, useEffect, useState} from "../lib/preact-htm.js";
import {ErrorText, useCommand, useConfirm} from "../common/ui.js";
import {unitModules} from "../common/api/updater.js";
import {JobCell} from "./job_cell.js";
import {startOnUnit, useLogged} from "./unit_logged.js";

/** @param {import("./unit_dialog.js").SectionProps} props */
export function Modules({unit, job, start, log}) {
    const [modules, setModules] = useState(/** @type {any[] | null} */ (null));
    const query = useLogged(log, unit.macAddress);
    const removal = useCommand();
    const [ask, confirmDialog] = useConfirm();
    const load = () => query.run("List modules", async () => setModules(await unitModules(unit.macAddress)));
    const remove = async (/** @type {string} */ name) => {
        if (!(await ask({title: "Remove module", text: `Remove the module "${name}" from ${unit.macAddress}?`, confirmLabel: "Remove module", danger: true})))
            return;
        await removal.run(() => startOnUnit(start, unit.macAddress, "moduleRemove", {name}, `module "${name}"`));
    };
    // Once a removal ended, the list shows what the unit holds now.
    const removed = job?.type === "moduleRemove" && job.state === "success";
    useEffect(() => {
        if (removed && modules) load();
    }, [removed]);
    const pending = query.pending || removal.pending;
    return html`<section aria-label="Modules"><h3>Modules</h3>
        <button type="button" onClick=${load} disabled=${pending}>List modules</button>
        ${modules && (modules.length ? html`<table class="small-table">
            <thead><tr><th>Module</th><th>Version</th><th>Description</th><th></th></tr></thead>
            <tbody>${modules.map(m => html`<tr key=${m.name}><td>${m.displayName || m.name}</td><td>${m.version}</td><td>${m.description}</td>
                <td>${m.removable && html`<button type="button" class="small" aria-label=${`Remove module ${m.name}`} onClick=${() => remove(m.name)}>Remove</button>`}</td></tr>`)}</tbody>
        </table>` : html`<p>The unit lists no module.</p>`)}
        ${job?.type === "moduleRemove" && html`<${JobCell} job=${job} unitGone=${false} onDownload=${() => {}}/>`}
        <${ErrorText} message=${query.error || removal.error}/>
        ${confirmDialog}
    </section>`;
}
