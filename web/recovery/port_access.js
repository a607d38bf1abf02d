// Ports this user may not open stay listed, each with why and what mends it.
import {html} from "../lib/preact-htm.js";
import {Limits} from "../common/network_status.js";

/** @param {{ports: import("../common/api/curtain.js").PortDetails[]}} props */
export function PortRefusals({ports}) {
    const refused = ports.filter(port => port.reason);
    return refused.length > 0
        ? html`<${Limits} title="A port that cannot be opened cannot recover a unit." reasons=${refused.map(p => p.reason)}/>`
        : null;
}
