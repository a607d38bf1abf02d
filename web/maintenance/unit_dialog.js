// One unit up close: everything the server says of it, its roles, its modules and its files. Each
// question to the unit waits for the unit's answer, so each section has its own button and error.
import {html} from "../lib/preact-htm.js";
import {Dialog} from "../common/ui.js";
import {unitName} from "./unit_table.js";
import {Information} from "./unit_information.js";
import {Roles} from "./unit_roles.js";
import {Modules} from "./unit_modules.js";
import {Files} from "./unit_files.js";

/**
 * @typedef {(type: string, units: string[], params: Record<string, any>, sent?: string) => Promise<any[]>} Start
 * @typedef {{unit: import("./units.js").Unit, job: import("./jobs.js").Job | undefined, start: Start,
 *            log: import("./page_log.js").Log}} SectionProps
 */

/** @param {SectionProps & {onClose: () => void}} props */
export function UnitDialog({unit, job, start, log, onClose}) {
    return html`<${Dialog} title=${`${unitName(unit) || "Unit"} (${unit.macAddress})`} onClose=${onClose} className="unit-dialog">
        <div class="unit-sections">
            <${Information} unit=${unit}/>
            <div>
                <${Roles} unit=${unit} job=${job} start=${start} log=${log}/>
                <${Modules} unit=${unit} job=${job} start=${start} log=${log}/>
            </div>
        </div>
        <${Files} unit=${unit} job=${job} start=${start} log=${log}/>
        <div class="buttons"><button type="button" onClick=${onClose}>Close</button></div>
    <//>`;
}
