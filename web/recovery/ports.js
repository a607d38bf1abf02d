// The serial ports: what each one's reconnaissance found, the one the page works on, and a new check.
import {html} from "../lib/preact-htm.js";
import {ErrorText, useCommand} from "../common/ui.js";
import {Table, useTable} from "../common/table.js";
import * as curtain from "../common/api/curtain.js";
import {PortRefusals} from "./port_access.js";

/** What a port's console is, in words. @param {curtain.PortDetails} port */
export function consoleText(port) {
    if (port.reason) return "not opened";
    if (port.flashing) return "recovery running";
    if (port.checking) return "checking…";
    if (port.console === "boot loader" || port.console === "Linux shell") return port.console;
    return "no answer";
}

/** A port's name that may wrap after a "/" but never inside a word. @param {{name: string}} props */
function PortName({name}) {
    const parts = name.split(/(?<=\/)/);
    return html`<span class="port-name">${parts.map((part, i) => html`${i > 0 && html`<wbr/>`}${part}`)}</span>`;
}

/** @type {import("../common/table.js").TableColumn[]} */
const COLUMNS = [
    {key: "name", label: "Port", text: port => port.name, cell: port => html`<${PortName} name=${port.name}/>`},
    {key: "console", label: "Console", text: consoleText, width: "6.2rem",
        className: "console", cell: port => html`<span class=${["no answer", "not opened"].includes(consoleText(port)) ? "missing" : ""}>${consoleText(port)}</span>`},
    {key: "mac", label: "MAC address", text: port => port.macAddress || "—", sort: "hex", width: "10.6rem",
        className: "mac", cell: port => html`<span class="mono">${port.macAddress || "—"}</span>`},
    {key: "flash", label: "Flash", text: port => port.flashSizeMb > 0 ? `${port.flashSizeMb} MiB` : "—",
        width: "3.9rem", className: "flash"},
];

/**
 * @param {{ports: curtain.PortDetails[] | null, error: string, locked: boolean,
 *   change: import("./port_feed.js").PortFeed["change"]}} props
 */
export function Ports({ports, error, locked, change}) {
    const select = useCommand();
    const check = useCommand();
    const list = ports || [];
    const table = useTable(list, COLUMNS, {rowKey: port => port.name});
    const chosen = list.find(p => p.selected);
    const selection = {
        selected: new Set(chosen ? [chosen.name] : []),
        multiple: false,
        label: (/** @type {curtain.PortDetails} */ port) => port.name,
        onChange: (/** @type {Set<string>} */ keys) => {
            const [name] = keys;
            if (name && name !== chosen?.name) select.run(() => change(() => curtain.selectPort(name)));
        },
    };
    return html`<section class="panel" aria-labelledby="ports-title">
        <h2 id="ports-title">1. Serial port</h2>
        ${ports === null && !error && html`<p class="muted">Looking for serial ports…</p>`}
        ${ports !== null && list.length === 0 && html`<p class="hint">No serial port found. Plug in the USB serial
            adapter with the unit's console cable; a new port shows here within a few seconds.</p>`}
        ${list.length > 0 && html`<fieldset class="ports" disabled=${locked || select.pending}>
            <${Table} table=${table} label="Serial ports" height="12rem" rowHeight=${44} selection=${selection}
                rowClass=${(/** @type {curtain.PortDetails} */ port) => port.selected ? "selected" : ""}/>
        </fieldset>`}
        <${PortRefusals} ports=${list}/>
        ${list.length > 0 && !chosen && html`<p class="hint">Choose the port of the unit to recover.</p>`}
        <div class="buttons">
            <button type="button" disabled=${locked || check.pending || list.length === 0}
                title="Asks every port's console again"
                onClick=${() => check.run(() => change(curtain.checkPorts))}>Check ports</button>
        </div>
        <${ErrorText} message=${error || select.error || check.error}/>
    </section>`;
}
