// The serial ports: what each one's reconnaissance found, the one the page works on, and a new check.
import {html} from "../lib/preact-htm.js";
import {ErrorText, useCommand} from "../common/ui.js";
import * as curtain from "../common/api/curtain.js";

/** What a port's console is, in words. @param {curtain.PortDetails} port */
export function consoleText(port) {
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

/**
 * @param {{ports: curtain.PortDetails[] | null, error: string, locked: boolean,
 *   change: import("./port_feed.js").PortFeed["change"]}} props
 */
export function Ports({ports, error, locked, change}) {
    const select = useCommand();
    const check = useCommand();
    const choose = (/** @type {string} */ name) => select.run(() => change(() => curtain.selectPort(name)));
    const list = ports || [];
    return html`<section class="panel" aria-labelledby="ports-title">
        <h2 id="ports-title">1. Serial port</h2>
        ${ports === null && !error && html`<p class="muted">Looking for serial ports…</p>`}
        ${ports !== null && list.length === 0 && html`<p class="hint">No serial port found. Plug in the USB serial
            adapter with the unit's console cable; a new port shows here within a few seconds.</p>`}
        ${list.length > 0 && html`<table class="ports">
            <thead><tr><th scope="col">Port</th><th scope="col">Console</th><th scope="col">MAC address</th>
                <th scope="col">Flash</th></tr></thead>
            <tbody>${list.map(port => html`<tr key=${port.name} class=${port.selected ? "selected" : ""}>
                <td><label class="port-choice"><input type="radio" name="port" value=${port.name} aria-label=${port.name}
                    checked=${port.selected} disabled=${locked || select.pending}
                    onChange=${() => choose(port.name)}/> <${PortName} name=${port.name}/></label></td>
                <td class=${"console " + (consoleText(port) === "no answer" ? "missing" : "")}>${consoleText(port)}</td>
                <td class="mono mac">${port.macAddress || "—"}</td>
                <td class="flash">${port.flashSizeMb > 0 ? `${port.flashSizeMb} MiB` : "—"}</td>
            </tr>`)}</tbody>
        </table>`}
        ${list.length > 0 && !list.some(p => p.selected) && html`<p class="hint">Choose the port of the unit to recover.</p>`}
        <div class="buttons">
            <button type="button" disabled=${locked || check.pending || list.length === 0}
                title="Asks every port's console again"
                onClick=${() => check.run(() => change(curtain.checkPorts))}>Check ports</button>
        </div>
        <${ErrorText} message=${error || select.error || check.error}/>
    </section>`;
}
