// The modules a unit lists, and removing one: a job whose outcome shows here and in the unit's row.
import {html, useEffect, useState} from "../lib/preact-htm.js";
import {ErrorText, useCommand, useConfirm} from "../common/ui.js";
import {unitModules} from "../common/api/updater.js";
import {Table, useTable} from "../common/table.js";
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
    const columns = /** @type {import("../common/table.js").TableColumn[]} */ ([
        {key: "module", label: "Module", text: m => m.displayName || m.name},
        {key: "version", label: "Version", text: m => m.version, width: "6rem"},
        {key: "description", label: "Description", text: m => m.description},
        {key: "remove", label: "", text: m => m.removable ? `Remove ${m.name}` : "", sort: null, width: "6rem",
         cell: m => m.removable && html`<button type="button" class="small" aria-label=${`Remove module ${m.name}`}
             onClick=${() => remove(m.name)}>Remove</button>`},
    ]);
    const table = useTable(modules ?? [], columns, {rowKey: m => m.name});
    return html`<section aria-label="Modules"><h3>Modules</h3>
        <button type="button" onClick=${load} disabled=${pending}>List modules</button>
        ${modules && (modules.length
            ? html`<${Table} table=${table} label="Modules of the unit" className="small-grid" rowHeight=${32} height="14rem"/>`
            : html`<p>The unit lists no module.</p>`)}
        ${job?.type === "moduleRemove" && html`<${JobCell} job=${job} unitGone=${false} onDownload=${() => {}}/>`}
        <${ErrorText} message=${query.error || removal.error}/>
        ${confirmDialog}
    </section>`;
}
