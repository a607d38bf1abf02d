// Where the unit list stands empty: the Ethernet interfaces the server listens on, or why it can
// listen on none, so an empty list is never taken for a cable without units.
import {html} from "../lib/preact-htm.js";
import {Limits, useNetworkStatus} from "../common/network_status.js";

const NO_UNIT_YET = "No central unit has answered yet. Units appear here as soon as they announce themselves.";

/** @param {{noUnits: boolean}} props */
export function NetworkNotice({noUnits}) {
    const interfaces = useNetworkStatus()?.interfaces;
    if (!interfaces) return noUnits ? html`<p class="muted">${NO_UNIT_YET}</p>` : null;
    const open = interfaces.filter(i => i.open).map(i => i.name);
    const failed = interfaces.filter(i => !i.open).map(i => `${i.name}: ${i.reason}`);
    if (open.length === 0)
        return html`<${Limits} title="No central unit can be found: the server cannot listen on any Ethernet interface."
            reasons=${failed.length > 0 ? failed
                : ["This PC has no Ethernet interface: connect the adapter that leads to the units."]}/>`;
    return html`<p class="muted">Listening for units on ${open.join(", ")}.${noUnits ? " " + NO_UNIT_YET : ""}</p>
        ${failed.length > 0 && html`<p class="muted">Not listening on ${failed.join("; ")}.</p>`}`;
}
