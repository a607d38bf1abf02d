// The roles a unit offers, and setting one: a job whose outcome shows here and in the unit's row.
import {html, useState} from "../lib/preact-htm.js";
import {ErrorText, useCommand} from "../common/ui.js";
import {unitRoles} from "../common/api/updater.js";
import {JobCell} from "./job_cell.js";
import {startOnUnit, useLogged} from "./unit_logged.js";

/** @typedef {import("./unit_dialog.js").SectionProps} SectionProps */

/** @param {SectionProps} props */
export function Roles({unit, job, start, log}) {
    const [roles, setRoles] = useState(/** @type {string[] | null} */ (null));
    const [role, setRole] = useState("");
    const query = useLogged(log, unit.macAddress);
    const setting = useCommand();
    const load = () => query.run("List roles", async () => setRoles(await unitRoles(unit.macAddress)));
    const set = () => setting.run(() => startOnUnit(start, unit.macAddress, "setRole", {role}, `role "${role}"`));
    const pending = query.pending || setting.pending;
    const offered = roles?.filter(Boolean) ?? [];
    return html`<section aria-label="Roles"><h3>Roles</h3>
        <div class="row">
            <button type="button" onClick=${load} disabled=${pending}>List roles</button>
            ${roles && html`<label>Role <select aria-label="Role" value=${role} onChange=${(/** @type {any} */ e) => setRole(e.target.value)}>
                <option value="" disabled>choose</option>
                ${offered.map(r => html`<option value=${r}>${r}</option>`)}</select></label>
                <button type="button" onClick=${set} disabled=${pending || !role}>Set role</button>`}
        </div>
        ${roles && html`<p>${offered.length ? `The unit offers: ${offered.join(", ")}` : "The unit offers no role."}</p>`}
        ${job?.type === "setRole" && html`<${JobCell} job=${job} unitGone=${false} onDownload=${() => {}}/>`}
        <${ErrorText} message=${query.error || setting.error}/>
    </section>`;
}
